"""Taproot output keys and tweaks (BIP-341, BIP-86)."""

from __future__ import annotations

import ctypes
from typing import TYPE_CHECKING, Optional, Tuple

from . import _core
from ._core import ctx as _ctx, failure as _failure
from ._ffi import C
from ._types import BytesLike, SecretKeyLike, XOnlyLike

if TYPE_CHECKING:  # pragma: no cover
    from .keys import PrivateKey, XOnlyPublicKey

__all__ = ["output_key", "tweak_seckey", "verify_commitment"]


def output_key(internal_key: XOnlyLike,
               merkle_root: Optional[BytesLike] = None) -> Tuple["XOnlyPublicKey", int]:
    """(XOnlyPublicKey, parity) of Q = P + t*G, t = TaggedHash("TapTweak",
    x(P) || merkle_root); merkle_root None for a key-path-only output."""
    from .keys import XOnlyPublicKey, _xonly32
    p = _xonly32(internal_key, "internal key")
    root = _core.fixed_or_none(merkle_root, 32, "merkle_root")
    out = _core.array_type(32)()
    parity = ctypes.c_int()
    c = _ctx()
    rc = C.qorvex_taproot_output_key(c, p, root, out, ctypes.byref(parity))
    if rc:
        raise _failure(rc, c)
    return XOnlyPublicKey._trusted(out.raw), parity.value


def tweak_seckey(seckey: SecretKeyLike, merkle_root: Optional[BytesLike] = None) -> "PrivateKey":
    """The PrivateKey that signs for the output key of seckey's x-only key."""
    from .keys import PrivateKey
    if not isinstance(seckey, PrivateKey):
        seckey = PrivateKey(seckey)
    return seckey.taproot_tweak(merkle_root)


def verify_commitment(output_key: XOnlyLike, parity: int, internal_key: XOnlyLike,
                      merkle_root: BytesLike = b"") -> bool:
    """True when (output_key, parity) is the Taproot output of internal_key
    and the merkle root bytes (0 to 32 of them)."""
    from .keys import _xonly32
    root, n = _core.var(merkle_root, "merkle_root")
    c = _ctx()
    rc = C.qorvex_taproot_verify(c, _xonly32(output_key, "output key"),
                                 _core.check_int(parity, "parity", -2**31, 2**31 - 1),
                                 _xonly32(internal_key, "internal key"), root, n)
    return _core.verdict(rc, c, (6,))
