"""Knowledge and DLEQ proofs (64 bytes each) and SNARK witness records.

Points are PublicKey objects or 33 compressed bytes. ``aux32`` feeds the
deterministic nonces; None takes 32 fresh bytes from the operating system.
"""

from __future__ import annotations

import os
from typing import Optional

from . import _core
from ._core import ctx as _ctx, failure as _failure, fixed as _fixed
from ._ffi import C
from .constants import ZK_ECDSA_SNARK_WITNESS_SIZE, ZK_SCHNORR_SNARK_WITNESS_SIZE
from ._types import BytesLike, SecretKeyLike, PublicKeyLike, XOnlyLike

__all__ = ["knowledge_prove", "knowledge_verify", "dleq_prove", "dleq_verify",
           "ecdsa_snark_witness", "schnorr_snark_witness"]


def _aux(aux32):
    return os.urandom(32) if aux32 is None else _fixed(aux32, 32, "aux32")


def _out(rc, c, out):
    if rc:
        raise _failure(rc, c)
    return out.raw


def knowledge_prove(secret: SecretKeyLike, pubkey: PublicKeyLike, msg32: BytesLike,
                    aux32: Optional[BytesLike] = None) -> bytes:
    """A proof of knowledge of secret = log_G(pubkey), bound to msg32."""
    from .keys import _pub33, _secret_of
    out = _core.array_type(64)()
    c = _ctx()
    rc = C.qorvex_zk_knowledge_prove(c, _secret_of(secret, "secret"), _pub33(pubkey),
                                     _fixed(msg32, 32, "msg32"), _aux(aux32), out)
    return _out(rc, c, out)


def knowledge_verify(proof64: BytesLike, pubkey: PublicKeyLike, msg32: BytesLike) -> bool:
    """True when the 64-byte proof shows knowledge of pubkey's secret key,
    bound to msg32."""
    from .keys import _pub33
    c = _ctx()
    rc = C.qorvex_zk_knowledge_verify(c, _fixed(proof64, 64, "proof"), _pub33(pubkey),
                                      _fixed(msg32, 32, "msg32"))
    return _core.verdict(rc, c, (6,))


def _points(base1, base2, pub1, pub2):
    from .keys import _pub33
    return (_pub33(base1, "base1"), _pub33(base2, "base2"), _pub33(pub1, "pub1"),
            _pub33(pub2, "pub2"))


def dleq_prove(secret: SecretKeyLike, base1: PublicKeyLike, base2: PublicKeyLike, pub1: PublicKeyLike,
               pub2: PublicKeyLike, aux32: Optional[BytesLike] = None) -> bytes:
    """A proof that pub1 = x*base1 and pub2 = x*base2 for x = secret (a false
    statement is refused: QorvexError 5)."""
    from .keys import _secret_of
    out = _core.array_type(64)()
    c = _ctx()
    rc = C.qorvex_zk_dleq_prove(c, _secret_of(secret, "secret"), *_points(base1, base2, pub1, pub2),
                                _aux(aux32), out)
    return _out(rc, c, out)


def dleq_verify(proof64: BytesLike, base1: PublicKeyLike, base2: PublicKeyLike, pub1: PublicKeyLike,
                pub2: PublicKeyLike) -> bool:
    """True when the proof shows pub1 = x*base1 and pub2 = x*base2 for one x."""
    c = _ctx()
    rc = C.qorvex_zk_dleq_verify(c, _fixed(proof64, 64, "proof"), *_points(base1, base2, pub1, pub2))
    return _core.verdict(rc, c, (6,))


def ecdsa_snark_witness(msg32: BytesLike, pubkey: PublicKeyLike, signature64: BytesLike) -> bytes:
    """The 756-byte record of every intermediate value of an ECDSA
    verification (layout in include/qorvex.h); its last 4 bytes are 1 when
    the signature verifies."""
    from .keys import _pub33
    out = _core.array_type(ZK_ECDSA_SNARK_WITNESS_SIZE)()
    c = _ctx()
    rc = C.qorvex_zk_ecdsa_snark_witness(c, _fixed(msg32, 32, "msg32"), _pub33(pubkey),
                                         _fixed(signature64, 64, "signature"), out)
    return _out(rc, c, out)


def schnorr_snark_witness(msg32: BytesLike, xonly_pubkey: XOnlyLike, signature64: BytesLike) -> bytes:
    """The 468-byte record of a BIP-340 verification."""
    from .keys import _xonly32
    out = _core.array_type(ZK_SCHNORR_SNARK_WITNESS_SIZE)()
    c = _ctx()
    rc = C.qorvex_zk_schnorr_snark_witness(c, _fixed(msg32, 32, "msg32"), _xonly32(xonly_pubkey),
                                           _fixed(signature64, 64, "signature"), out)
    return _out(rc, c, out)
