"""Batch verification and signing, multi-scalar multiplication.

Batches are lists of tuples, (public key, message, signature) for every
verification function, whatever the order of the library's records.
"""

from __future__ import annotations

import ctypes
from typing import TYPE_CHECKING, Iterable, List, Optional, Tuple

from . import _core
from ._core import ctx as _ctx, failure as _failure, fixed as _fixed
from ._ffi import C
from .constants import BATCH_MAX_COUNT
from ._types import BytesLike, PublicKeyLike, SecretKeyLike, XOnlyLike

if TYPE_CHECKING:  # pragma: no cover
    from .keys import PublicKey

#: (public key, 32-byte message hash, 64-byte signature): compact for the
#: ECDSA batch functions, opaque for ecdsa_verify_opaque_batch.
EcdsaItem = Tuple[PublicKeyLike, BytesLike, BytesLike]
#: (x-only public key, 32-byte message, 64-byte BIP-340 signature).
SchnorrItem = Tuple[XOnlyLike, BytesLike, BytesLike]

__all__ = ["ecdsa_batch_verify", "ecdsa_batch_identify_invalid", "ecdsa_verify_opaque_batch",
           "ecdsa_verify_opaque_rows", "schnorr_batch_verify", "schnorr_batch_identify_invalid",
           "ecdsa_sign_batch", "schnorr_sign_batch", "multi_scalar_mul", "shamir_trick"]

_FALSE = (6, 4)


def _count(n):
    if n > BATCH_MAX_COUNT:
        raise ValueError("batch of %d items: at most %d" % (n, BATCH_MAX_COUNT))
    return n


def _ecdsa_items(items):
    from .keys import _pub33
    rows = []
    for i, item in enumerate(items):
        pub, msg, sig = item
        rows.append(bytes(_fixed(msg, 32, "items[%d] message" % i)) + bytes(_pub33(pub)) +
                    bytes(_fixed(sig, 64, "items[%d] signature" % i)))
    return b"".join(rows), _count(len(rows))


def _schnorr_items(items):
    from .keys import _xonly32
    rows = []
    for i, item in enumerate(items):
        pub, msg, sig = item
        rows.append(bytes(_xonly32(pub)) + bytes(_fixed(msg, 32, "items[%d] message" % i)) +
                    bytes(_fixed(sig, 64, "items[%d] signature" % i)))
    return b"".join(rows), _count(len(rows))


def ecdsa_batch_verify(items: Iterable[EcdsaItem], threads: Optional[int] = None) -> bool:
    """True when every (pubkey33, msg32, compact sig64) item holds a valid
    low-S signature. ``threads``: None for the calling thread alone, 0 for
    one thread per processor, or a count (batches up to 4096 items run on
    the calling thread either way)."""
    blob, n = _ecdsa_items(items)
    c = _ctx()
    if threads is None:
        rc = C.qorvex_ecdsa_batch_verify(c, blob, n)
    else:
        rc = C.qorvex_ecdsa_batch_verify_mt(c, blob, n, _core.check_int(threads, "threads", 0, 2**32))
    return _core.verdict(rc, c, _FALSE)


def _identify(fn, blob, n):
    # Capacity for every item: the count the library reports never exceeds it.
    found = (ctypes.c_size_t * max(n, 1))()
    count = ctypes.c_size_t(n)
    c = _ctx()
    rc = fn(c, blob, n, found, ctypes.byref(count))
    if rc:
        raise _failure(rc, c)
    return list(found[:count.value])


def ecdsa_batch_identify_invalid(items: Iterable[EcdsaItem]) -> List[int]:
    """The indices of the items whose signature is invalid (each verified
    alone; a valid high-S signature counts as valid). A key or signature
    that does not parse raises QorvexError."""
    blob, n = _ecdsa_items(items)
    return _identify(C.qorvex_ecdsa_batch_identify_invalid, blob, n)


def schnorr_batch_verify(items: Iterable[SchnorrItem]) -> bool:
    """True when every (x-only pubkey32, msg32, sig64) BIP-340 item verifies
    (from 97 items on, as one random linear combination)."""
    blob, n = _schnorr_items(items)
    c = _ctx()
    return _core.verdict(C.qorvex_schnorr_batch_verify(c, blob, n), c, _FALSE)


def schnorr_batch_identify_invalid(items: Iterable[SchnorrItem]) -> List[int]:
    """The indices of the invalid BIP-340 items."""
    blob, n = _schnorr_items(items)
    return _identify(C.qorvex_schnorr_batch_identify_invalid, blob, n)


def ecdsa_verify_opaque_batch(items: Iterable[EcdsaItem]) -> List[bool]:
    """A list of booleans, one per (pubkey33, msg32, opaque sig64) item
    (high-S accepted; a malformed item is False)."""
    from .keys import _pub33
    items = list(items)
    n = _count(len(items))
    msgs = b"".join(bytes(_fixed(m, 32, "message")) for _p, m, _s in items)
    pubs = b"".join(bytes(_pub33(p)) for p, _m, _s in items)
    sigs = b"".join(bytes(_fixed(s, 64, "opaque signature")) for _p, _m, s in items)
    results = _core.array_type(max(n, 1))()
    c = _ctx()
    rc = C.qorvex_ecdsa_verify_opaque_batch(c, msgs or b"\0", pubs or b"\0", sigs or b"\0", n, results)
    if rc:
        raise _failure(rc, c)
    return [b == 1 for b in results.raw[:n]]


def ecdsa_verify_opaque_rows(rows: BytesLike, stride: int, count: int) -> List[bool]:
    """As ecdsa_verify_opaque_batch over ``count`` rows of ``stride`` bytes
    (message, key and opaque signature at offsets 0, 32 and 65)."""
    src, n = _core.var(rows, "rows")
    _core.check_int(stride, "stride", 129, 2**63)
    _count(_core.check_int(count, "count", 0, 2**63))
    if count and n < stride * (count - 1) + 129:
        raise ValueError("rows must hold %d rows of stride %d, got %d bytes" % (count, stride, n))
    results = _core.array_type(max(count, 1))()
    c = _ctx()
    rc = C.qorvex_ecdsa_verify_opaque_rows(c, src, stride, count, results)
    if rc:
        raise _failure(rc, c)
    return [b == 1 for b in results.raw[:count]]


def _secret_blob(seckeys):
    from .keys import _secret_of
    n = len(seckeys)
    buf = _core.array_type(max(32 * n, 1))()
    for i, k in enumerate(seckeys):
        ctypes.memmove(ctypes.byref(buf, 32 * i), _secret_of(k, "seckeys[%d]" % i), 32)
    return buf


def _sign_batch(fn, msgs, seckeys, aux):
    msgs = list(msgs)
    seckeys = list(seckeys)
    if len(msgs) != len(seckeys):
        raise ValueError("%d messages for %d keys" % (len(msgs), len(seckeys)))
    n = _count(len(msgs))
    if n == 0:
        return []
    m_blob, _n = _core.records(msgs, 32, "msgs")
    keys = _secret_blob(seckeys)
    out = _core.array_type(64 * n)()
    c = _ctx()
    try:
        rc = fn(c, n, m_blob, keys, out) if aux is None else fn(c, n, m_blob, keys, aux, out)
    finally:
        _core.wipe(keys)
    if rc:
        raise _failure(rc, c)
    raw = out.raw
    return [raw[64 * i:64 * i + 64] for i in range(n)]


def ecdsa_sign_batch(msgs: Iterable[BytesLike], seckeys: Iterable[SecretKeyLike]) -> List[bytes]:
    """Compact low-S signatures of msgs[i] with seckeys[i], byte for byte
    those of PrivateKey.sign_ecdsa, on up to 64 threads."""
    return _sign_batch(C.qorvex_ecdsa_sign_batch, msgs, seckeys, None)


def schnorr_sign_batch(msgs: Iterable[BytesLike], seckeys: Iterable[SecretKeyLike],
                       aux: Optional[Iterable[BytesLike]] = None) -> List[bytes]:
    """BIP-340 signatures of msgs[i] with seckeys[i] and aux[i] (None: fresh
    random bytes for each)."""
    import os
    msgs = list(msgs)
    if aux is None:
        aux_blob = os.urandom(32 * len(msgs)) or b"\0"
    else:
        aux = list(aux)
        if len(aux) != len(msgs):
            raise ValueError("%d aux values for %d messages" % (len(aux), len(msgs)))
        aux_blob = _core.records(aux, 32, "aux")[0] or b"\0"
    return _sign_batch(C.qorvex_schnorr_sign_batch, msgs, seckeys, aux_blob)


def multi_scalar_mul(terms: Iterable[Tuple[BytesLike, PublicKeyLike]]) -> "PublicKey":
    """The PublicKey sum of scalar * point over (scalar32, point) terms
    (variable time: public data only)."""
    from .keys import PublicKey, _pub33
    terms = list(terms)
    n = _count(len(terms))
    if n == 0:
        raise ValueError("terms must not be empty")
    scalars = _core.records([s for s, _p in terms], 32, "scalars")[0]
    points = b"".join(bytes(_pub33(p, "points")) for _s, p in terms)
    out = _core.array_type(33)()
    c = _ctx()
    rc = C.qorvex_multi_scalar_mul(c, scalars, points, n, out)
    if rc:
        raise _failure(rc, c)
    return PublicKey._trusted(out.raw)


def shamir_trick(a32: BytesLike, p: PublicKeyLike, b32: BytesLike, q: PublicKeyLike) -> "PublicKey":
    """The PublicKey a*P + b*Q (variable time)."""
    from .keys import PublicKey, _pub33
    out = _core.array_type(33)()
    c = _ctx()
    rc = C.qorvex_shamir_trick(c, _fixed(a32, 32, "a"), _pub33(p, "P"), _fixed(b32, 32, "b"),
                               _pub33(q, "Q"), out)
    if rc:
        raise _failure(rc, c)
    return PublicKey._trusted(out.raw)
