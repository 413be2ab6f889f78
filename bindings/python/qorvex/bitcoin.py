"""Bitcoin addresses, WIF and segwit output scripts.

``network`` is 0 / "mainnet" or 1 / "testnet" (which also serves signet and
regtest). Public keys are PublicKey objects or 33 compressed bytes; x-only
keys XOnlyPublicKey objects or 32 bytes.
"""

from __future__ import annotations

import ctypes
from typing import TYPE_CHECKING, Tuple

from . import _core
from ._core import ctx as _ctx, failure as _failure, fixed as _fixed, text_out as _text_out
from ._ffi import C
from .constants import ADDRESS_MAX_SIZE, SEGWIT_PROGRAM_MAX_SIZE, WIF_MAX_SIZE
from ._types import BytesLike, Network, SecretKeyLike, SecretText, PublicKeyLike, XOnlyLike

if TYPE_CHECKING:  # pragma: no cover
    from .keys import PrivateKey

__all__ = ["p2pkh", "p2sh", "p2sh_p2wpkh", "p2wpkh", "p2tr", "wif_encode", "wif_decode",
           "is_witness_program", "parse_witness_program", "p2wpkh_script_pubkey",
           "p2wsh_script_pubkey", "p2tr_script_pubkey", "witness_script_hash"]


def _key_address(fn, key, network):
    from .keys import _pub33
    pub = _pub33(key)
    net = _core.network(network)
    c = _ctx()
    return _text_out(lambda b, n: fn(c, pub, net, b, n), ADDRESS_MAX_SIZE, c)


def p2pkh(pubkey: PublicKeyLike, network: Network = 0) -> str:
    """Base58Check P2PKH address ("1..." / "m..." or "n...")."""
    return _key_address(C.qorvex_addr_p2pkh, pubkey, network)


def p2sh_p2wpkh(pubkey: PublicKeyLike, network: Network = 0) -> str:
    """P2SH-wrapped P2WPKH address ("3..." / "2...")."""
    return _key_address(C.qorvex_addr_p2sh_p2wpkh, pubkey, network)


def p2wpkh(pubkey: PublicKeyLike, network: Network = 0) -> str:
    """Bech32 P2WPKH address ("bc1q..." / "tb1q...")."""
    return _key_address(C.qorvex_addr_p2wpkh, pubkey, network)


def p2tr(output_key: XOnlyLike, network: Network = 0) -> str:
    """Bech32m P2TR address of an x-only output key, as given (tweak an
    internal key first with ``qorvex.taproot.output_key``)."""
    from .keys import _xonly32
    x = _xonly32(output_key, "output key")
    net = _core.network(network)
    c = _ctx()
    return _text_out(lambda b, n: C.qorvex_addr_p2tr(c, x, net, b, n), ADDRESS_MAX_SIZE, c)


def p2sh(redeem_script: BytesLike, network: Network = 0) -> str:
    """P2SH address of a redeem script."""
    src, length = _core.var(redeem_script, "redeem script")
    net = _core.network(network)
    return _text_out(lambda b, n: C.qorvex_addr_p2sh(src, length, net, b, n), ADDRESS_MAX_SIZE, None)


def wif_encode(seckey: SecretKeyLike, compressed: bool = True, network: Network = 0) -> str:
    """WIF text of a private key (PrivateKey or 32 bytes)."""
    from .keys import _secret_of
    k = _secret_of(seckey)
    net = _core.network(network)
    flag = 1 if compressed else 0
    c = _ctx()
    return _text_out(lambda b, n: C.qorvex_wif_encode(c, k, flag, net, b, n), WIF_MAX_SIZE, c, secret=True)


def wif_decode(text: SecretText) -> Tuple["PrivateKey", bool, int]:
    """(PrivateKey, compressed, network) of a WIF string. Any malformed text
    gives QorvexError 5 "invalid WIF string". The text is a secret: pass a
    bytearray to wipe it afterwards (a str cannot be wiped)."""
    from .keys import PrivateKey
    out = _core.array_type(32)()
    compressed = ctypes.c_int()
    net = ctypes.c_int()
    c = _ctx()
    with _core.SecretText(text, "WIF text") as t:
        rc = C.qorvex_wif_decode(c, t, out, ctypes.byref(compressed), ctypes.byref(net))
    if rc:
        raise _failure(rc, c)
    return PrivateKey._adopt(out), bool(compressed.value), net.value


def is_witness_program(script: BytesLike) -> bool:
    """True when the script is a witness program (version byte, then a 2- to 40-byte push)."""
    src, n = _core.var(script, "script")
    return C.qorvex_segwit_is_witness_program(src, n) == 1


def parse_witness_program(script: BytesLike) -> Tuple[int, bytes]:
    """(version 0..16, program bytes) of a witness program; QorvexError 5
    when the script is not one."""
    src, n = _core.var(script, "script")
    version = ctypes.c_int()
    program = _core.array_type(SEGWIT_PROGRAM_MAX_SIZE)()
    length = ctypes.c_size_t()
    rc = C.qorvex_segwit_parse_program(src, n, ctypes.byref(version), program, ctypes.byref(length))
    if rc:
        raise _failure(rc)
    return version.value, program.raw[:length.value]


def _spk(fn, data, size, what, out_size):
    out = _core.array_type(out_size)()
    rc = fn(_fixed(data, size, what), out)
    if rc:
        raise _failure(rc)
    return out.raw


def p2wpkh_script_pubkey(key_hash20: BytesLike) -> bytes:
    """0x00 0x14 || key hash."""
    return _spk(C.qorvex_segwit_p2wpkh_spk, key_hash20, 20, "key_hash20", 22)


def p2wsh_script_pubkey(script_hash32: BytesLike) -> bytes:
    """0x00 0x20 || script hash."""
    return _spk(C.qorvex_segwit_p2wsh_spk, script_hash32, 32, "script_hash32", 34)


def p2tr_script_pubkey(output_key: XOnlyLike) -> bytes:
    """0x51 0x20 || x-only output key."""
    from .keys import _xonly32
    return _spk(C.qorvex_segwit_p2tr_spk, _xonly32(output_key, "output key"), 32, "output key", 34)


def witness_script_hash(script: BytesLike) -> bytes:
    """SHA-256 of a witness script: the P2WSH program."""
    src, n = _core.var(script, "script")
    out = _core.array_type(32)()
    rc = C.qorvex_segwit_witness_script_hash(src, n, out)
    if rc:
        raise _failure(rc)
    return out.raw
