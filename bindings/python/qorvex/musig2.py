"""MuSig2 (BIP-327) two- and three-party Schnorr multi-signatures.

A run::

    agg = KeyAggregation([pub_a, pub_b])           # same ordered list everywhere
    nonce_a = SecretNonce(key_a, agg, msg32)         # each signer; publish .public
    aggnonce = aggregate_nonces([nonce_a.public, nonce_b.public])
    session = Session(agg, aggnonce, msg32)
    psig_a = session.sign(nonce_a, key_a, 0)         # consumes nonce_a
    sig = session.aggregate([psig_a, psig_b])        # BIP-340 under agg.aggregate_key

A SecretNonce signs once: the library zeroes it in the signing call, and the
object refuses a second use (ValueError) before the library is reached. It
cannot be copied or pickled.
"""

from __future__ import annotations

from typing import TYPE_CHECKING, Iterable, Optional, Union

from . import _core
from ._core import ctx as _ctx, failure as _failure, fixed as _fixed
from ._ffi import C
from .constants import (MUSIG2_AGGNONCE_SIZE, MUSIG2_KEYAGG_SIZE, MUSIG2_MAX_NONCES,
                        MUSIG2_PARTIAL_SIG_SIZE, MUSIG2_PUBNONCE_SIZE, MUSIG2_SECNONCE_SIZE,
                        MUSIG2_SESSION_SIZE)
from ._types import BytesLike, SecretKeyLike, PublicKeyLike, XOnlyLike

if TYPE_CHECKING:  # pragma: no cover
    from .keys import PublicKey

__all__ = ["KeyAggregation", "SecretNonce", "Session", "aggregate_nonces"]


class KeyAggregation:
    """The aggregate of 2 or 3 compressed public keys, in the given order."""

    __slots__ = ("pubkeys", "blob", "aggregate_key", "_keys")

    def __init__(self, pubkeys: Iterable[PublicKeyLike]) -> None:
        from .keys import PublicKey, XOnlyPublicKey, _pub33
        keys = [bytes(_pub33(k, "pubkeys")) for k in pubkeys]
        blob = _core.array_type(MUSIG2_KEYAGG_SIZE)()
        agg = _core.array_type(32)()
        c = _ctx()
        rc = C.qorvex_musig2_key_agg(c, b"".join(keys) or b"\0", len(keys), blob, agg)
        if rc:
            raise _failure(rc, c)
        self._keys = b"".join(keys)
        self.pubkeys = [PublicKey._trusted(k) for k in keys]
        self.blob = blob.raw
        self.aggregate_key = XOnlyPublicKey._trusted(agg.raw)


class SecretNonce(_core.SingleUseNonce):
    """A signer's nonce pair for one session. ``public`` (66 bytes) is to be
    published; the secret half stays inside this object and signs once.

    ``extra_rand32`` must never repeat: None (the default) takes fresh bytes
    from the operating system."""

    __slots__ = ("public", "__weakref__")
    _WHAT = "MuSig2 secret nonce"

    def __init__(self, seckey: SecretKeyLike, keyagg: KeyAggregation, msg32: BytesLike,
                     extra_rand32: Optional[BytesLike] = None) -> None:
        from .keys import PrivateKey, _secret_of
        if not isinstance(keyagg, KeyAggregation):
            raise TypeError("keyagg must be a KeyAggregation")
        key = seckey if isinstance(seckey, PrivateKey) else PrivateKey(seckey)
        sec = _core.array_type(MUSIG2_SECNONCE_SIZE)()
        pub = _core.array_type(MUSIG2_PUBNONCE_SIZE)()
        # None reaches the library as NULL: it draws its own bytes and leaves no copy here.
        extra = _core.fixed_or_none(extra_rand32, 32, "extra_rand32")
        c = _ctx()
        rc = C.qorvex_musig2_nonce_gen(c, _secret_of(key), key.public_key.x_only()[0]._b,
                                       keyagg.aggregate_key._b, _fixed(msg32, 32, "msg32"), extra, sec, pub)
        if rc:
            raise _failure(rc, c)
        self._sec = sec
        self._used = False
        self.public = pub.raw


def aggregate_nonces(pubnonces: Iterable[BytesLike]) -> bytes:
    """The 66-byte aggregate of every signer's public nonce (any order)."""
    blob, n = _core.records(pubnonces, MUSIG2_PUBNONCE_SIZE, "pubnonces")
    if n > MUSIG2_MAX_NONCES:
        raise ValueError("at most %d nonces" % MUSIG2_MAX_NONCES)
    out = _core.array_type(MUSIG2_AGGNONCE_SIZE)()
    c = _ctx()
    rc = C.qorvex_musig2_nonce_agg(c, blob or b"\0", n, out)
    if rc:
        raise _failure(rc, c)
    return out.raw


class Session:
    """A signing session: the key aggregation, the aggregate nonce and the
    message. Holds the library's 165-byte session blob in ``blob``."""

    __slots__ = ("keyagg", "blob")

    def __init__(self, keyagg: KeyAggregation, aggnonce: BytesLike, msg32: BytesLike) -> None:
        if not isinstance(keyagg, KeyAggregation):
            raise TypeError("keyagg must be a KeyAggregation")
        out = _core.array_type(MUSIG2_SESSION_SIZE)()
        c = _ctx()
        rc = C.qorvex_musig2_start_sign_session(c, _fixed(aggnonce, MUSIG2_AGGNONCE_SIZE, "aggnonce"),
                                                keyagg.blob, _fixed(msg32, 32, "msg32"), out)
        if rc:
            raise _failure(rc, c)
        self.keyagg = keyagg
        self.blob = out.raw

    def sign(self, nonce: SecretNonce, seckey: SecretKeyLike, signer_index: int) -> bytes:
        """The signer's 32-byte partial signature. ``nonce`` is consumed,
        whatever the outcome."""
        from .keys import _secret_of
        if not isinstance(nonce, SecretNonce):
            raise TypeError("nonce must be a SecretNonce")
        key = _secret_of(seckey)
        index = _core.check_int(signer_index, "signer_index", 0, 2**64 - 1)
        sec = nonce._take()
        out = _core.array_type(MUSIG2_PARTIAL_SIG_SIZE)()
        c = _ctx()
        rc = C.qorvex_musig2_partial_sign_v2(c, sec, key, self.keyagg._keys, self.keyagg.blob,
                                             self.blob, index, out)
        _core.wipe(sec)
        if rc:
            raise _failure(rc, c)
        return out.raw

    def verify_partial(self, partial_sig: BytesLike, pubnonce: BytesLike,
                           pubkey: Union["PublicKey", XOnlyLike], signer_index: int) -> bool:
        """True when partial_sig is signer_index's valid partial signature
        for its public nonce and key (PublicKey, XOnlyPublicKey or 32 bytes)."""
        from .keys import PublicKey, _xonly32
        if isinstance(pubkey, PublicKey):
            pubkey = pubkey.x_only()[0]
        c = _ctx()
        rc = C.qorvex_musig2_partial_verify(
            c, _fixed(partial_sig, MUSIG2_PARTIAL_SIG_SIZE, "partial_sig"),
            _fixed(pubnonce, MUSIG2_PUBNONCE_SIZE, "pubnonce"), _xonly32(pubkey),
            self.keyagg.blob, self.blob, _core.check_int(signer_index, "signer_index", 0, 2**64 - 1))
        return _core.verdict(rc, c, (6, 4))

    def aggregate(self, partial_sigs: Iterable[BytesLike]) -> bytes:
        """The 64-byte BIP-340 signature from every partial signature (not
        verified here: check them with verify_partial, or the result with
        XOnlyPublicKey.verify)."""
        blob, n = _core.records(partial_sigs, MUSIG2_PARTIAL_SIG_SIZE, "partial_sigs")
        out = _core.array_type(64)()
        c = _ctx()
        rc = C.qorvex_musig2_partial_sig_agg(c, blob or b"\0", n, self.blob, out)
        if rc:
            raise _failure(rc, c)
        return out.raw
