"""Schnorr and ECDSA adaptor signatures.

A pre-signature is bound to an adaptor point T = t*G; the adaptor secret t
turns it into an ordinary signature, and that signature with the
pre-signature gives t back. Schnorr pre-signatures are 97 bytes, ECDSA ones
162 bytes.
"""

from __future__ import annotations

import os
from typing import Optional

from . import _core
from ._core import ctx as _ctx, failure as _failure, fixed as _fixed
from ._ffi import C
from .constants import ECDSA_ADAPTOR_PRESIG_SIZE as _E, SCHNORR_ADAPTOR_PRESIG_SIZE as _S
from ._types import BytesLike, SecretKeyLike, PublicKeyLike, XOnlyLike

__all__ = ["schnorr_sign", "schnorr_verify", "schnorr_adapt", "schnorr_extract",
           "ecdsa_sign", "ecdsa_verify", "ecdsa_adapt", "ecdsa_extract"]

_FALSE = (6, 4)


def _done(rc, c, out, secret=False):
    if rc:
        raise _failure(rc, c)
    return _core.take_secret(out) if secret else out.raw


def schnorr_sign(seckey: SecretKeyLike, msg32: BytesLike, adaptor_point: PublicKeyLike,
                 aux32: Optional[BytesLike] = None) -> bytes:
    """The 97-byte Schnorr pre-signature of msg32 for adaptor point T."""
    from .keys import _pub33, _secret_of
    aux = os.urandom(32) if aux32 is None else _fixed(aux32, 32, "aux32")
    out = _core.array_type(_S)()
    c = _ctx()
    rc = C.qorvex_schnorr_adaptor_sign(c, _secret_of(seckey), _fixed(msg32, 32, "msg32"),
                                       _pub33(adaptor_point, "adaptor point"), aux, out)
    return _done(rc, c, out)


def schnorr_verify(presig97: BytesLike, xonly_pubkey: XOnlyLike, msg32: BytesLike,
                   adaptor_point: PublicKeyLike) -> bool:
    """True when the 97-byte pre-signature adapts, with the secret of
    adaptor_point, to a BIP-340 signature of msg32 under xonly_pubkey."""
    from .keys import _pub33, _xonly32
    c = _ctx()
    rc = C.qorvex_schnorr_adaptor_verify(c, _fixed(presig97, _S, "pre-signature"), _xonly32(xonly_pubkey),
                                         _fixed(msg32, 32, "msg32"), _pub33(adaptor_point, "adaptor point"))
    return _core.verdict(rc, c, _FALSE)


def schnorr_adapt(presig97: BytesLike, secret32: BytesLike) -> bytes:
    """The BIP-340 signature the adaptor secret completes."""
    from .keys import _secret_of
    out = _core.array_type(64)()
    c = _ctx()
    rc = C.qorvex_schnorr_adaptor_adapt(c, _fixed(presig97, _S, "pre-signature"),
                                        _secret_of(secret32, "adaptor secret"), out)
    return _done(rc, c, out)


def schnorr_extract(presig97: BytesLike, signature64: BytesLike) -> bytes:
    """The adaptor secret, from the pre-signature and the adapted signature."""
    out = _core.array_type(32)()
    c = _ctx()
    rc = C.qorvex_schnorr_adaptor_extract(c, _fixed(presig97, _S, "pre-signature"),
                                          _fixed(signature64, 64, "signature"), out)
    return _done(rc, c, out, secret=True)


def ecdsa_sign(seckey: SecretKeyLike, msg32: BytesLike, adaptor_point: PublicKeyLike) -> bytes:
    """The 162-byte ECDSA pre-signature of msg32 for adaptor point T."""
    from .keys import _pub33, _secret_of
    out = _core.array_type(_E)()
    c = _ctx()
    rc = C.qorvex_ecdsa_adaptor_sign(c, _secret_of(seckey), _fixed(msg32, 32, "msg32"),
                                     _pub33(adaptor_point, "adaptor point"), out)
    return _done(rc, c, out)


def ecdsa_verify(presig162: BytesLike, pubkey: PublicKeyLike, msg32: BytesLike,
                 adaptor_point: PublicKeyLike) -> bool:
    """True when the 162-byte pre-signature adapts, with the secret of
    adaptor_point, to an ECDSA signature of msg32 under pubkey."""
    from .keys import _pub33
    c = _ctx()
    rc = C.qorvex_ecdsa_adaptor_verify(c, _fixed(presig162, _E, "pre-signature"), _pub33(pubkey),
                                       _fixed(msg32, 32, "msg32"), _pub33(adaptor_point, "adaptor point"))
    return _core.verdict(rc, c, _FALSE)


def ecdsa_adapt(presig162: BytesLike, secret32: BytesLike) -> bytes:
    """The compact signature (not normalised to low-S: normalise with
    ecdsa.normalize_opaque before PublicKey.verify if it is high-S)."""
    from .keys import _secret_of
    out = _core.array_type(64)()
    c = _ctx()
    rc = C.qorvex_ecdsa_adaptor_adapt(c, _fixed(presig162, _E, "pre-signature"),
                                      _secret_of(secret32, "adaptor secret"), out)
    return _done(rc, c, out)


def ecdsa_extract(presig162: BytesLike, signature64: BytesLike) -> bytes:
    """The adaptor secret (n - t for a signature normalised to low-S)."""
    out = _core.array_type(32)()
    c = _ctx()
    rc = C.qorvex_ecdsa_adaptor_extract(c, _fixed(presig162, _E, "pre-signature"),
                                        _fixed(signature64, 64, "signature"), out)
    return _done(rc, c, out, secret=True)
