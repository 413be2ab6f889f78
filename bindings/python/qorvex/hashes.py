"""SHA-256, BIP-340 tagged hashes, SHA-512, Hash160 and Keccak-256."""

from __future__ import annotations


from . import _core
from ._ffi import C
from ._types import BytesLike, Text

__all__ = ["sha256", "tagged_hash", "sha512", "hash160", "keccak256"]

_B20 = _core.array_type(20)
_B32 = _core.array_type(32)
_B64 = _core.array_type(64)


def _hash(fn, data, out_type):
    src, n = _core.var(data, "data")
    out = out_type()
    rc = fn(src, n, out)
    if rc:
        raise _core.failure(rc)
    return out.raw


def sha256(data: BytesLike) -> bytes:
    """SHA-256 of data (32 bytes)."""
    return _hash(C.qorvex_sha256, data, _B32)


def sha512(data: BytesLike) -> bytes:
    """SHA-512 of data (64 bytes)."""
    return _hash(C.qorvex_sha512, data, _B64)


def hash160(data: BytesLike) -> bytes:
    """RIPEMD-160(SHA-256(data))."""
    return _hash(C.qorvex_hash160, data, _B20)


def keccak256(data: BytesLike) -> bytes:
    """Keccak-256 as Ethereum uses it (original padding, not SHA3-256)."""
    return _hash(C.qorvex_keccak256, data, _B32)


def tagged_hash(tag: Text, data: BytesLike) -> bytes:
    """SHA-256(SHA-256(tag) || SHA-256(tag) || data) (BIP-340)."""
    t = _core.text(tag, "tag")
    src, n = _core.var(data, "data")
    out = _B32()
    rc = C.qorvex_tagged_hash(t, src, n, out)
    if rc:
        raise _core.failure(rc)
    return out.raw
