"""ECDSA signature formats and public-key recovery.

Signatures are 64-byte compact (r || s, big-endian) unless named otherwise;
"opaque" signatures hold r and s little-endian each (libsecp256k1's in-memory
form). Signing and verification are methods of PrivateKey and PublicKey.
"""

from __future__ import annotations

import ctypes
from typing import TYPE_CHECKING, Tuple

from . import _core
from ._core import ctx as _ctx, failure as _failure, fixed as _fixed
from ._ffi import C
from ._types import BytesLike

if TYPE_CHECKING:  # pragma: no cover
    from .keys import PublicKey

__all__ = ["der_to_compact", "compact_to_der", "compact_to_opaque", "opaque_to_compact",
           "normalize_opaque", "recover"]

_DER_MAX = 72


def der_to_compact(der: BytesLike) -> bytes:
    """The compact form of a strict DER signature (QorvexError 4 "bad DER: ...")."""
    src, n = _core.var(der, "DER signature")
    out = _core.array_type(64)()
    c = _ctx()
    rc = C.qorvex_ecdsa_sig_from_der(c, src, n, out)
    if rc:
        raise _failure(rc, c)
    return out.raw


def compact_to_der(signature64: BytesLike) -> bytes:
    """The minimal DER encoding (at most 72 bytes) of a compact signature."""
    out = _core.array_type(_DER_MAX)()
    n = ctypes.c_size_t(_DER_MAX)
    c = _ctx()
    rc = C.qorvex_ecdsa_sig_to_der(c, _fixed(signature64, 64, "signature"), out, ctypes.byref(n))
    if rc:
        raise _failure(rc, c)
    return out.raw[:n.value]


def _convert(fn, sig, what):
    out = _core.array_type(64)()
    c = _ctx()
    rc = fn(c, _fixed(sig, 64, what), out)
    if rc:
        raise _failure(rc, c)
    return out.raw


def compact_to_opaque(signature64: BytesLike) -> bytes:
    """The opaque form of a compact signature (r and s each little-endian)."""
    return _convert(C.qorvex_ecdsa_sig_compact_to_opaque, signature64, "signature")


def opaque_to_compact(opaque64: BytesLike) -> bytes:
    """The compact form (r || s, big-endian) of an opaque signature."""
    return _convert(C.qorvex_ecdsa_sig_opaque_to_compact, opaque64, "opaque signature")


def normalize_opaque(opaque64: BytesLike) -> Tuple[bytes, bool]:
    """(low-S opaque signature, True when it differs from the input)."""
    out = _core.array_type(64)()
    changed = ctypes.c_int()
    c = _ctx()
    rc = C.qorvex_ecdsa_sig_normalize_opaque(c, _fixed(opaque64, 64, "opaque signature"), out,
                                             ctypes.byref(changed))
    if rc:
        raise _failure(rc, c)
    return out.raw, bool(changed.value)


def recover(msg32: BytesLike, signature64: BytesLike, recid: int) -> "PublicKey":
    """The PublicKey that made a compact signature of msg32 with recovery id
    0..3 (high-S signatures are accepted). QorvexError 6 when none did."""
    from .keys import PublicKey
    _core.check_int(recid, "recid", 0, 3)
    out = _core.array_type(33)()
    c = _ctx()
    rc = C.qorvex_ecdsa_recover(c, _fixed(msg32, 32, "msg32"), _fixed(signature64, 64, "signature"),
                                recid, out)
    if rc:
        raise _failure(rc, c)
    return PublicKey._trusted(out.raw)
