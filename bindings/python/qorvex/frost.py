"""FROST t-of-N threshold Schnorr signatures with dealerless key generation,
ending in a BIP-340 signature under the x-only group key.

Key generation (each participant i of 1..N)::

    round1 = keygen_begin(i, t, N)            # publish round1.commitment,
                                              # send round1.shares[j-1] to j only
    package = keygen_finalize(i, t, N, all_commitments, shares_received_by_i)

Signing (t or more signers)::

    nonce = SigningNonce(package.participant_id)      # publish nonce.commitment
    psig = package.sign(nonce, msg32, commitments)    # consumes nonce
    sig = aggregate(psigs, commitments, package.group_public_key, msg32)

Key packages and share entries are secret. A SigningNonce signs once, and
the object refuses a second use (ValueError); it cannot be copied or pickled.
"""

from __future__ import annotations

import ctypes
from typing import TYPE_CHECKING, Iterable, List, Optional, Sequence

from . import _core
from ._core import ctx as _ctx, failure as _failure, fixed as _fixed
from ._ffi import C
from .constants import (FROST_COMMITMENT_SIZE, FROST_KEYPKG_SIZE, FROST_MAX_PARTICIPANTS,
                        FROST_NONCE_COMMIT_SIZE, FROST_NONCE_SIZE, FROST_PARTIAL_SIG_SIZE,
                        FROST_SHARE_ENTRY_SIZE, FROST_SHARES_SIZE)
from ._types import BytesLike, PublicKeyLike

if TYPE_CHECKING:  # pragma: no cover
    from .keys import PublicKey

__all__ = ["KeygenRound", "keygen_begin", "keygen_finalize", "KeyPackage", "SigningNonce",
           "verify_partial", "aggregate"]

_U32 = 0xFFFFFFFF


class KeygenRound:
    """A participant's first key-generation round: ``commitment`` for
    everybody, ``shares[j - 1]`` (36 bytes, secret) for participant j only."""

    __slots__ = ("commitment", "shares")

    def __init__(self, commitment: bytes, shares: List[bytes]) -> None:
        self.commitment = commitment
        self.shares = shares

    def __repr__(self):
        return "KeygenRound(<%d shares>)" % len(self.shares)


def _tn(threshold, num_participants):
    _core.check_int(threshold, "threshold", 0, _U32)
    _core.check_int(num_participants, "num_participants", 0, FROST_MAX_PARTICIPANTS)
    return threshold, num_participants


def keygen_begin(participant_id: int, threshold: int, num_participants: int,
                 seed32: Optional[BytesLike] = None) -> KeygenRound:
    """Participant ``participant_id``'s contribution to a threshold-of-N key.
    ``seed32``: 32 secret random bytes used for this key generation only
    (None: fresh bytes from the operating system)."""
    t, n = _tn(threshold, num_participants)
    _core.check_int(participant_id, "participant_id", 0, _U32)
    # The seed fixes the share polynomial: one drawn here is wiped after use.
    seed = _core.random_buffer(32) if seed32 is None else _fixed(seed32, 32, "seed32")
    # t above N is refused before anything is written: size for min(t, N).
    csize, ssize = FROST_COMMITMENT_SIZE(min(t, n)), FROST_SHARES_SIZE(n)
    commits = _core.array_type(max(csize, 1))()
    shares = _core.array_type(max(ssize, 1))()
    clen, slen = ctypes.c_size_t(csize), ctypes.c_size_t(ssize)
    c = _ctx()
    try:
        rc = C.qorvex_frost_keygen_begin(c, participant_id, t, n, seed, commits, ctypes.byref(clen), shares,
                                         ctypes.byref(slen))
    finally:
        if seed32 is None:
            _core.wipe(seed)
    if rc:
        raise _failure(rc, c)
    e = FROST_SHARE_ENTRY_SIZE
    entries = [shares[i:i + e] for i in range(0, slen.value, e)]  # one copy each, none of the whole
    _core.wipe(shares)
    return KeygenRound(ctypes.string_at(commits, clen.value), entries)


def keygen_finalize(participant_id: int, threshold: int, num_participants: int,
                    commitments: Iterable[BytesLike], shares: Sequence[BytesLike]) -> "KeyPackage":
    """The KeyPackage of ``participant_id`` from all N commitment blobs and
    the N share entries addressed to it (its own included), any order."""
    t, n = _tn(threshold, num_participants)
    _core.check_int(participant_id, "participant_id", 0, _U32)
    commit_blob = b"".join(bytes(_core.var(x, "commitment")[0]) for x in commitments)
    share_buf = _core.array_type(max(FROST_SHARE_ENTRY_SIZE * len(shares), 1))()
    for i, s in enumerate(shares):
        ctypes.memmove(ctypes.byref(share_buf, FROST_SHARE_ENTRY_SIZE * i),
                       _fixed(s, FROST_SHARE_ENTRY_SIZE, "shares[%d]" % i), FROST_SHARE_ENTRY_SIZE)
    out = _core.array_type(FROST_KEYPKG_SIZE)()
    c = _ctx()
    try:
        rc = C.qorvex_frost_keygen_finalize(c, participant_id, commit_blob or b"\0", len(commit_blob),
                                            share_buf, FROST_SHARE_ENTRY_SIZE * len(shares), t, n, out)
    finally:
        _core.wipe(share_buf)
    if rc:
        raise _failure(rc, c)
    return KeyPackage._adopt(out)


class KeyPackage(_core.SecretHolder):
    """A participant's 141-byte key package: identifier, t, N, the signing
    share (secret), the verification share and the group key. Wiped by
    ``wipe()``, a ``with`` block and the finalizer."""

    __slots__ = ("_p", "__weakref__")
    _SECRET = "_p"
    _STORED = "blob"

    def __init__(self, blob: BytesLike) -> None:
        p = _core.array_type(FROST_KEYPKG_SIZE)()
        ctypes.memmove(p, _fixed(blob, FROST_KEYPKG_SIZE, "key package"), FROST_KEYPKG_SIZE)
        self._p = p

    @property
    def blob(self) -> bytes:
        """The 141 bytes (secret: store them like a private key)."""
        return self._p.raw

    @property
    def participant_id(self) -> int:
        """This participant's identifier (1..N)."""
        return int.from_bytes(self._p[0:4], "little")

    @property
    def threshold(self) -> int:
        """The number of signers a signature needs (t)."""
        return int.from_bytes(self._p[4:8], "little")

    @property
    def num_participants(self) -> int:
        """The number of participants (N)."""
        return int.from_bytes(self._p[8:12], "little")

    @property
    def verification_share(self) -> "PublicKey":
        """This participant's public verification share, for ``verify_partial``."""
        from .keys import PublicKey
        return PublicKey._trusted(self._p[44:77])

    @property
    def group_public_key(self) -> "PublicKey":
        """The 33-byte group key; its x-only form (``.x_only()[0]``) verifies
        the signatures."""
        from .keys import PublicKey
        return PublicKey._trusted(self._p[77:110])

    def sign(self, nonce: "SigningNonce", msg32: BytesLike, nonce_commitments: Iterable[BytesLike]) -> bytes:
        """This signer's 36-byte partial signature of msg32 over the signing
        set's nonce commitments (the coordinator's order, its own among
        them). ``nonce`` is consumed, whatever the outcome."""
        if not isinstance(nonce, SigningNonce):
            raise TypeError("nonce must be a SigningNonce")
        blob, n = _commitments(nonce_commitments)
        msg = _fixed(msg32, 32, "msg32")
        sec = nonce._take()
        out = _core.array_type(FROST_PARTIAL_SIG_SIZE)()
        c = _ctx()
        rc = C.qorvex_frost_sign(c, self._p, sec, msg, blob, n, out)
        _core.wipe(sec)
        if rc:
            raise _failure(rc, c)
        return out.raw

    def __repr__(self):
        return "KeyPackage(participant %d of %d, threshold %d)" % (
            self.participant_id, self.num_participants, self.threshold)


class SigningNonce(_core.SingleUseNonce):
    """A signer's nonce pair for one signing run: ``commitment`` (70 bytes)
    to publish, the secret half inside. ``seed32`` must never serve another
    run; None (the default) takes fresh bytes from the operating system."""

    __slots__ = ("commitment", "__weakref__")
    _WHAT = "FROST signing nonce"

    def __init__(self, participant_id: int, seed32: Optional[BytesLike] = None) -> None:
        _core.check_int(participant_id, "participant_id", 0, _U32)
        # The seed determines the secret nonce: one drawn here is wiped after use.
        seed = _core.random_buffer(32) if seed32 is None else _fixed(seed32, 32, "seed32")
        sec = _core.array_type(FROST_NONCE_SIZE)()
        com = _core.array_type(FROST_NONCE_COMMIT_SIZE)()
        c = _ctx()
        try:
            rc = C.qorvex_frost_sign_nonce_gen(c, participant_id, seed, sec, com)
        finally:
            if seed32 is None:
                _core.wipe(seed)
        if rc:
            raise _failure(rc, c)
        self._sec = sec
        self._used = False
        self.commitment = com.raw


def _commitments(nonce_commitments):
    blob, n = _core.records(nonce_commitments, FROST_NONCE_COMMIT_SIZE, "nonce_commitments")
    if n == 0:
        raise ValueError("nonce_commitments must not be empty")
    return blob, n


def verify_partial(partial_sig: BytesLike, verification_share: PublicKeyLike,
                   nonce_commitments: Iterable[BytesLike], msg32: BytesLike,
                   group_public_key: PublicKeyLike) -> bool:
    """True when a 36-byte partial signature is valid for its signer's
    verification share (from that signer's key package)."""
    from .keys import _pub33
    blob, n = _commitments(nonce_commitments)
    c = _ctx()
    rc = C.qorvex_frost_verify_partial(c, _fixed(partial_sig, FROST_PARTIAL_SIG_SIZE, "partial_sig"),
                                       _pub33(verification_share, "verification share"), blob, n,
                                       _fixed(msg32, 32, "msg32"), _pub33(group_public_key, "group key"))
    return _core.verdict(rc, c, (6, 4))


def aggregate(partial_sigs: Iterable[BytesLike], nonce_commitments: Iterable[BytesLike],
              group_public_key: PublicKeyLike, msg32: BytesLike) -> bytes:
    """The 64-byte BIP-340 signature from the partial signatures of every
    signer in the commitment list (not verified here)."""
    from .keys import _pub33
    psigs, np_ = _core.records(partial_sigs, FROST_PARTIAL_SIG_SIZE, "partial_sigs")
    blob, n = _commitments(nonce_commitments)
    out = _core.array_type(64)()
    c = _ctx()
    rc = C.qorvex_frost_aggregate(c, psigs or b"\0", np_, blob, n, _pub33(group_public_key, "group key"),
                                  _fixed(msg32, 32, "msg32"), out)
    if rc:
        raise _failure(rc, c)
    return out.raw
