"""BIP-158 compact block filters (Golomb-coded sets, P = 19, M = 784931).

A filter here is the coded bit stream only; the element count N that
BIP-158 serializes in front of it is kept by the caller and passed to the
queries. ``key16`` is the first 16 bytes of the block hash as serialized.
"""

from __future__ import annotations

import ctypes
from typing import Iterable

from . import _core
from ._core import failure as _failure, fixed as _fixed
from ._ffi import C
from .constants import GCS_M, GCS_P
from ._types import BytesLike

__all__ = ["build", "match", "match_any"]


def _elements(elements, what):
    elements = [bytes(_core.var(e, what)[0]) for e in elements]
    n = len(elements)
    ptrs = (ctypes.c_char_p * max(n, 1))(*elements)
    lens = (ctypes.c_size_t * max(n, 1))(*[len(e) for e in elements])
    return ptrs, lens, n


def build(key16: BytesLike, elements: Iterable[BytesLike]) -> bytes:
    """The filter of a list of elements (duplicates kept: remove them first,
    as BIP-158 builds from a set)."""
    key = _fixed(key16, 16, "key16")
    ptrs, lens, n = _elements(elements, "element")
    # Every code takes P + 1 bits and the unary quotients add up to at most
    # N * M >> P, so this bound always holds; the retry is for safety only.
    size = (n * (GCS_P + 1) + ((n * GCS_M) >> GCS_P)) // 8 + 8
    for _attempt in (0, 1):
        out = _core.array_type(size)()
        length = ctypes.c_size_t(size)
        rc = C.qorvex_gcs_build(key, ptrs, lens, n, out, ctypes.byref(length))
        if rc == 10:
            size *= 2
            continue
        if rc:
            raise _failure(rc)
        return out.raw[:length.value]
    raise _failure(rc)


def match(key16: BytesLike, filter_bytes: BytesLike, n: int, element: BytesLike) -> bool:
    """True when the element matches the filter of n elements (false
    positives with probability 1/M); QorvexError 5 when the filter holds
    fewer than n codes."""
    f, flen = _core.var(filter_bytes, "filter")
    e, elen = _core.var(element, "element")
    rc = C.qorvex_gcs_match(_fixed(key16, 16, "key16"), f, flen,
                            _core.check_int(n, "n", 0, 2**64 - 1), e, elen)
    if rc == 0:
        return True
    if rc == 11:
        return False
    raise _failure(rc)


def match_any(key16: BytesLike, filter_bytes: BytesLike, n: int, elements: Iterable[BytesLike]) -> bool:
    """True when any of the elements matches (one pass over the filter)."""
    f, flen = _core.var(filter_bytes, "filter")
    ptrs, lens, count = _elements(elements, "element")
    rc = C.qorvex_gcs_match_any(_fixed(key16, 16, "key16"), f, flen,
                                _core.check_int(n, "n", 0, 2**64 - 1), ptrs, lens, count)
    if rc == 0:
        return True
    if rc == 11:
        return False
    raise _failure(rc)
