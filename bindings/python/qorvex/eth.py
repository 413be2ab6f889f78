"""Ethereum addresses, EIP-191 message hashes and signatures."""

from __future__ import annotations

import ctypes
from typing import Tuple

from . import _core
from ._core import ctx as _ctx, failure as _failure, fixed as _fixed
from ._ffi import C
from ._types import BytesLike, SecretKeyLike, PublicKeyLike

__all__ = ["address", "address_checksummed", "personal_hash", "sign", "ecrecover"]

_CHECKSUMMED_SIZE = 43  # "0x", 40 hex digits and the NUL


def address(pubkey: PublicKeyLike) -> bytes:
    """The 20-byte address of a public key (PublicKey or 33 bytes)."""
    from .keys import _pub33
    out = _core.array_type(20)()
    c = _ctx()
    rc = C.qorvex_eth_address(c, _pub33(pubkey), out)
    if rc:
        raise _failure(rc, c)
    return out.raw


def address_checksummed(pubkey: PublicKeyLike) -> str:
    """The EIP-55 address text, "0x" and 40 mixed-case hex digits."""
    from .keys import _pub33
    buf = ctypes.create_string_buffer(_CHECKSUMMED_SIZE)
    n = ctypes.c_size_t(_CHECKSUMMED_SIZE)
    c = _ctx()
    rc = C.qorvex_eth_address_checksummed(c, _pub33(pubkey), buf, ctypes.byref(n))
    if rc:
        raise _failure(rc, c)
    return buf.raw[:n.value].decode("ascii")


def personal_hash(message: BytesLike) -> bytes:
    """EIP-191: Keccak-256 of "\\x19Ethereum Signed Message:\\n" + length + message."""
    src, n = _core.var(message, "message")
    out = _core.array_type(32)()
    rc = C.qorvex_eth_personal_hash(src, n, out)
    if rc:
        raise _failure(rc)
    return out.raw


def sign(hash32: BytesLike, seckey: SecretKeyLike, chain_id: int = 0) -> Tuple[bytes, bytes, int]:
    """(r32, s32, v) of a 32-byte hash: v = 27 + recid, or the EIP-155 value
    2 * chain_id + 35 + recid when chain_id is not 0."""
    from .keys import _secret_of
    r = _core.array_type(32)()
    s = _core.array_type(32)()
    v = ctypes.c_uint64()
    c = _ctx()
    rc = C.qorvex_eth_sign(c, _fixed(hash32, 32, "hash32"), _secret_of(seckey), r, s, ctypes.byref(v),
                           _core.check_int(chain_id, "chain_id", 0, 2**64 - 1))
    if rc:
        raise _failure(rc, c)
    return r.raw, s.raw, v.value


def ecrecover(hash32: BytesLike, r32: BytesLike, s32: BytesLike, v: int) -> bytes:
    """The 20-byte address that signed hash32 with (r, s, v)."""
    out = _core.array_type(20)()
    c = _ctx()
    rc = C.qorvex_eth_ecrecover(c, _fixed(hash32, 32, "hash32"), _fixed(r32, 32, "r"),
                                _fixed(s32, 32, "s"), _core.check_int(v, "v", 0, 2**64 - 1), out)
    if rc:
        raise _failure(rc, c)
    return out.raw
