"""Signed messages: Bitcoin's signmessage form and BIP-322.

``sign`` / ``verify`` are the signmessage form (a recoverable ECDSA
signature in Base64, checked against a compressed key). ``simple_sign`` /
``simple_verify`` are BIP-322 "simple" signatures, the form wallets exchange,
checked against a P2WPKH or P2TR address. ``bip322_sign`` /
``bip322_verify`` are the simplified form without the virtual transactions
(a signature of the BIP-322 tagged message hash).

``addr_type`` is "p2wpkh" / BIP322_P2WPKH (1) or "p2tr" / BIP322_P2TR (2).
Messages are bytes-like (str is encoded as UTF-8).
"""

from __future__ import annotations

import ctypes
from typing import TYPE_CHECKING, Optional, Union

from . import _core
from ._core import ctx as _ctx, failure as _failure
from ._ffi import C
from .constants import (BIP322_ECDSA_SIG_SIZE, BIP322_P2TR, BIP322_P2WPKH, BIP322_SIMPLE_SIG_MAX_SIZE,
                        BTC_MESSAGE_SIG_TEXT_SIZE)
from .errors import ErrorCode
from ._types import BytesLike, PublicKeyLike, SecretKeyLike, Text

if TYPE_CHECKING:  # pragma: no cover
    from .keys import PublicKey, XOnlyPublicKey

__all__ = ["message_hash", "sign", "verify", "bip322_sign", "bip322_verify", "simple_sign", "simple_verify",
           "P2WPKH", "P2TR"]

P2WPKH = BIP322_P2WPKH
P2TR = BIP322_P2TR
_TYPES = {"p2wpkh": BIP322_P2WPKH, "p2tr": BIP322_P2TR}
_FALSE = (ErrorCode.VERIFY_FAIL, ErrorCode.BAD_SIG)


def _message(message):
    if isinstance(message, str):
        message = message.encode("utf-8")
    return _core.var(message, "message")


def _addr_type(value):
    if isinstance(value, str):
        try:
            return _TYPES[value.lower()]
        except KeyError:
            raise ValueError("addr_type must be 'p2wpkh' or 'p2tr', got %r" % value) from None
    return _core.check_int(value, "addr_type", -2**31, 2**31 - 1)


def message_hash(message: Union[str, BytesLike]) -> bytes:
    """The signmessage hash: double SHA-256 of 0x18 "Bitcoin Signed
    Message:\\n", the compact size of the message and the message."""
    src, n = _message(message)
    out = _core.array_type(32)()
    rc = C.qorvex_btc_message_hash(src, n, out)
    if rc:
        raise _failure(rc)
    return out.raw


def sign(seckey: SecretKeyLike, message: Union[str, BytesLike]) -> str:
    """The signmessage signature (88 Base64 characters) of a message by a
    key, for its compressed public key (RFC 6979, low S)."""
    from .keys import _secret_of
    key = _secret_of(seckey)
    src, n = _message(message)
    buf = ctypes.create_string_buffer(BTC_MESSAGE_SIG_TEXT_SIZE)
    size = ctypes.c_size_t(BTC_MESSAGE_SIG_TEXT_SIZE)
    c = _ctx()
    rc = C.qorvex_btc_message_sign(c, src, n, key, buf, ctypes.byref(size))
    if rc:
        raise _failure(rc, c)
    return buf.raw[:size.value].decode("ascii")


def verify(pubkey: PublicKeyLike, message: Union[str, BytesLike], signature_b64: Text) -> bool:
    """True when the Base64 signmessage signature is valid for the message
    and the compressed key; False for a malformed or wrong signature."""
    from .keys import _pub33
    pub = _pub33(pubkey)
    src, n = _message(message)
    sig = _core.text(signature_b64, "signature")
    c = _ctx()
    return _core.verdict(C.qorvex_btc_message_verify(c, src, n, pub, sig), c, _FALSE)


def bip322_sign(seckey: SecretKeyLike, message: Union[str, BytesLike],
                addr_type: Union[int, str] = "p2wpkh") -> bytes:
    """The simplified BIP-322 signature (no virtual transactions): for "p2tr"
    the 64-byte BIP-340 signature by the key as given (deterministic: zero
    auxiliary randomness); otherwise low-S ECDSA, r || s || 0x01."""
    from .keys import _secret_of
    key = _secret_of(seckey)
    t = _addr_type(addr_type)
    src, n = _message(message)
    out = _core.array_type(BIP322_ECDSA_SIG_SIZE)()
    size = ctypes.c_size_t(BIP322_ECDSA_SIG_SIZE)
    c = _ctx()
    rc = C.qorvex_bip322_sign(c, key, t, src, n, out, ctypes.byref(size))
    if rc:
        raise _failure(rc, c)
    return out.raw[:size.value]


def bip322_verify(pubkey: Union["PublicKey", "XOnlyPublicKey", BytesLike], message: Union[str, BytesLike],
                  signature: BytesLike, addr_type: Union[int, str] = "p2wpkh") -> bool:
    """True when a simplified BIP-322 signature is valid: for "p2tr" an
    x-only key (XOnlyPublicKey or 32 bytes), otherwise a compressed key."""
    from .keys import PublicKey, XOnlyPublicKey
    t = _addr_type(addr_type)
    if isinstance(pubkey, (PublicKey, XOnlyPublicKey)):
        pubkey = pubkey.format()
    pub, pub_len = _core.var(pubkey, "public key")
    if t == BIP322_P2TR and pub_len != 32:
        raise ValueError("a p2tr public key must be 32 bytes (x-only), got %d" % pub_len)
    if t != BIP322_P2TR and pub_len != 33:
        raise ValueError("public key must be 33 bytes (compressed), got %d" % pub_len)
    src, n = _message(message)
    sig, sig_len = _core.var(signature, "signature")
    c = _ctx()
    rc = C.qorvex_bip322_verify(c, pub, pub_len, t, src, n, sig, sig_len)
    return _core.verdict(rc, c, _FALSE + (ErrorCode.BAD_INPUT,))


def simple_sign(seckey: SecretKeyLike, message: Union[str, BytesLike], addr_type: Union[int, str] = "p2wpkh",
                aux32: Optional[BytesLike] = None) -> str:
    """The BIP-322 simple signature (Base64 witness, without the "smp"
    prefix) of a message for the key's P2WPKH address, or for "p2tr" its
    BIP-86 P2TR address. ``aux32``: BIP-340 auxiliary randomness for "p2tr"
    (None: 32 zero bytes, so the same signature on every call)."""
    from .keys import _secret_of
    key = _secret_of(seckey)
    t = _addr_type(addr_type)
    src, n = _message(message)
    aux = _core.fixed_or_none(aux32, 32, "aux32")
    buf = ctypes.create_string_buffer(BIP322_SIMPLE_SIG_MAX_SIZE)
    size = ctypes.c_size_t(BIP322_SIMPLE_SIG_MAX_SIZE)
    c = _ctx()
    rc = C.qorvex_bip322_simple_sign(c, key, t, src, n, aux, buf, ctypes.byref(size))
    if rc:
        raise _failure(rc, c)
    return buf.raw[:size.value].decode("ascii")


def simple_verify(address: Text, message: Union[str, BytesLike], signature_b64: Text) -> bool:
    """True when a BIP-322 simple signature (with or without "smp") is valid
    for a P2WPKH or P2TR address; False when it does not verify. An
    unsupported address or a signature that does not parse raises
    QorvexError 5."""
    addr = _core.text(address, "address")
    src, n = _message(message)
    sig = _core.text(signature_b64, "signature")
    c = _ctx()
    return _core.verdict(C.qorvex_bip322_simple_verify(c, addr, src, n, sig), c, (ErrorCode.VERIFY_FAIL,))
