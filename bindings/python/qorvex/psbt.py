"""Partial signatures for PSBT inputs, over digests computed beforehand
(``qorvex.tx`` computes BIP-143 and BIP-341/342 digests).

Each returns the bytes a PSBT stores: DER(r, s) and the sighash byte for
legacy and segwit v0 inputs (at most 73 bytes), the BIP-340 signature and,
unless it is SIGHASH_DEFAULT, the sighash byte for Taproot inputs.
"""

from __future__ import annotations

import ctypes
from typing import TYPE_CHECKING, Optional

from . import _core
from ._core import ctx as _ctx, failure as _failure, fixed as _fixed
from ._ffi import C
from .constants import PSBT_ECDSA_SIG_MAX_SIZE, PSBT_TAPROOT_SIG_MAX_SIZE, SIGHASH_ALL, SIGHASH_DEFAULT
from ._types import BytesLike, SecretKeyLike, Text

if TYPE_CHECKING:  # pragma: no cover
    from .bip32 import HDKey
    from .keys import PrivateKey

__all__ = ["derive_key", "sign_legacy", "sign_segwit", "sign_taproot"]


def derive_key(hdkey: "HDKey", path: Text) -> "PrivateKey":
    """The PrivateKey at ``path`` below an HDKey (a BIP-32 derivation as
    PSBT key origins give it), without keeping the derived record."""
    from .bip32 import HDKey
    from .keys import PrivateKey
    if not isinstance(hdkey, HDKey):
        raise TypeError("hdkey must be an HDKey")
    out = _core.array_type(32)()
    c = _ctx()
    rc = C.qorvex_psbt_derive_key(c, hdkey._r, _core.text(path, "path"), out)
    if rc:
        raise _failure(rc, c)
    return PrivateKey._adopt(out)


def _ecdsa(fn, digest32, seckey, sighash_type):
    from .keys import _secret_of
    digest = _fixed(digest32, 32, "digest32")
    key = _secret_of(seckey)
    t = _core.check_int(sighash_type, "sighash_type", -2**31, 2**31 - 1)
    out = _core.array_type(PSBT_ECDSA_SIG_MAX_SIZE)()
    size = ctypes.c_size_t(PSBT_ECDSA_SIG_MAX_SIZE)
    c = _ctx()
    rc = fn(c, digest, key, t, out, ctypes.byref(size))
    if rc:
        raise _failure(rc, c)
    return out.raw[:size.value]


def sign_legacy(digest32: BytesLike, seckey: SecretKeyLike, sighash_type: int = SIGHASH_ALL) -> bytes:
    """DER(r, s) || the low byte of sighash_type, low-S RFC 6979 ECDSA over
    a legacy input's digest."""
    return _ecdsa(C.qorvex_psbt_sign_legacy, digest32, seckey, sighash_type)


def sign_segwit(digest32: BytesLike, seckey: SecretKeyLike, sighash_type: int = SIGHASH_ALL) -> bytes:
    """As sign_legacy, over a segwit v0 input's BIP-143 digest."""
    return _ecdsa(C.qorvex_psbt_sign_segwit, digest32, seckey, sighash_type)


def sign_taproot(digest32: BytesLike, seckey: SecretKeyLike, sighash_type: int = SIGHASH_DEFAULT,
                 aux32: Optional[BytesLike] = None) -> bytes:
    """The BIP-340 signature by the key as given (tweak it first for a
    key-path spend: ``PrivateKey.taproot_tweak``), then the sighash byte
    unless it is 0: 64 or 65 bytes. ``aux32``: auxiliary randomness (None:
    32 zero bytes)."""
    from .keys import _secret_of
    digest = _fixed(digest32, 32, "digest32")
    key = _secret_of(seckey)
    t = _core.check_int(sighash_type, "sighash_type", -2**31, 2**31 - 1)
    aux = _core.fixed_or_none(aux32, 32, "aux32")
    out = _core.array_type(PSBT_TAPROOT_SIG_MAX_SIZE)()
    size = ctypes.c_size_t(PSBT_TAPROOT_SIG_MAX_SIZE)
    c = _ctx()
    rc = C.qorvex_psbt_sign_taproot(c, digest, key, t, aux, out, ctypes.byref(size))
    if rc:
        raise _failure(rc, c)
    return out.raw[:size.value]
