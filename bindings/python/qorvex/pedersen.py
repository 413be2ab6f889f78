"""Pedersen commitments C = value*H + blinding*G (+ switch_blind*J).

Values are ints (0 <= value < n) or 32 big-endian bytes; blinding factors
32 bytes below n (zero allowed). Commitments are 33 bytes, compressed (33
zero bytes for value = blinding = 0).
"""

from __future__ import annotations
from typing import Iterable, Union


from . import _core
from ._core import ctx as _ctx, failure as _failure, fixed as _fixed
from ._ffi import C
from .constants import PEDERSEN_MAX_COUNT
from ._types import BytesLike

__all__ = ["commit", "switch_commit", "verify", "verify_sum", "blind_sum"]


def _value(v):
    if isinstance(v, int) and not isinstance(v, bool):
        if not 0 <= v < 2**256:
            raise ValueError("value must be between 0 and 2**256 - 1")
        return v.to_bytes(32, "big")
    return _fixed(v, 32, "value")


def _commit_out(rc, c, out):
    if rc:
        raise _failure(rc, c)
    return out.raw


def commit(value: Union[int, BytesLike], blinding32: BytesLike) -> bytes:
    """The 33-byte commitment value*H + blinding*G. ``value`` is an int
    (0 <= value < 2**256) or 32 big-endian bytes, below n like the blinding."""
    out = _core.array_type(33)()
    c = _ctx()
    return _commit_out(C.qorvex_pedersen_commit(c, _value(value), _fixed(blinding32, 32, "blinding"), out),
                       c, out)


def switch_commit(value: Union[int, BytesLike], blinding32: BytesLike, switch_blind32: BytesLike) -> bytes:
    """As commit, plus switch_blind*J (a switch commitment)."""
    out = _core.array_type(33)()
    c = _ctx()
    rc = C.qorvex_pedersen_switch_commit(c, _value(value), _fixed(blinding32, 32, "blinding"),
                                         _fixed(switch_blind32, 32, "switch_blind"), out)
    return _commit_out(rc, c, out)


def verify(commitment33: BytesLike, value: Union[int, BytesLike], blinding32: BytesLike) -> bool:
    """True when the commitment opens to value and blinding."""
    c = _ctx()
    rc = C.qorvex_pedersen_verify(c, _fixed(commitment33, 33, "commitment"), _value(value),
                                  _fixed(blinding32, 32, "blinding"))
    return _core.verdict(rc, c, (6,))


def _list(items, size, what):
    blob, n = _core.records(items, size, what)
    if n > PEDERSEN_MAX_COUNT:
        raise ValueError("%s: at most %d items" % (what, PEDERSEN_MAX_COUNT))
    return blob or b"\0", n


def verify_sum(positives: Iterable[BytesLike], negatives: Iterable[BytesLike]) -> bool:
    """True when the commitments of the two lists sum to the same point."""
    p, np_ = _list(positives, 33, "positives")
    n, nn = _list(negatives, 33, "negatives")
    c = _ctx()
    return _core.verdict(C.qorvex_pedersen_verify_sum(c, p, np_, n, nn), c, (6,))


def blind_sum(input_blinds: Iterable[BytesLike], output_blinds: Iterable[BytesLike]) -> bytes:
    """sum(inputs) - sum(outputs) mod n, 32 bytes (the blinding that
    balances a transaction)."""
    i, ni = _list(input_blinds, 32, "input_blinds")
    o, no = _list(output_blinds, 32, "output_blinds")
    out = _core.array_type(32)()
    c = _ctx()
    rc = C.qorvex_pedersen_blind_sum(c, i, ni, o, no, out)
    if rc:
        raise _failure(rc, c)
    return _core.take_secret(out)
