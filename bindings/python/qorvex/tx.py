"""Transaction digests (BIP-143, BIP-341, BIP-342) and ids (BIP-144).

Hashes and txids are 32 bytes in serialized order (the reverse of the hex
that block explorers show). Integers inside digests are little-endian; the
functions take Python ints.
"""

from __future__ import annotations

import ctypes
from typing import Optional, Sequence, Tuple

from . import _core
from ._core import ctx as _ctx, failure as _failure, fixed as _fixed
from ._ffi import C

__all__ = ["p2wpkh_script_code", "bip143_sighash", "txid", "wtxid", "witness_commitment",
           "taproot_keypath_sighash", "tapscript_sighash", "SIGHASH_DEFAULT", "SIGHASH_ALL",
           "SIGHASH_NONE", "SIGHASH_SINGLE", "SIGHASH_ANYONECANPAY"]

from .constants import (SIGHASH_ALL, SIGHASH_ANYONECANPAY, SIGHASH_DEFAULT,  # noqa: E402
                        SIGHASH_NONE, SIGHASH_SINGLE)
from ._types import BytesLike

#: An input of the spending transaction: (txid32 of the output it spends, vout,
#: sequence, amount of that output in satoshis, its script_pubkey).
Input = Tuple[BytesLike, int, int, int, BytesLike]
#: An output: (amount in satoshis, script_pubkey).
Output = Tuple[int, BytesLike]

_B32 = _core.array_type(32)
_U32 = 0xFFFFFFFF
_U64 = 0xFFFFFFFFFFFFFFFF


def _i32(value, what):
    """A 32-bit field passed as int32_t: -2**31 .. 2**32 - 1, the upper half
    meaning the same bits as the unsigned value."""
    _core.check_int(value, what, -2**31, 2**32 - 1)
    return value - 2**32 if value >= 2**31 else value


def p2wpkh_script_code(key_hash20: BytesLike) -> bytes:
    """The BIP-143 script code of a P2WPKH input (76 a9 14 <hash> 88 ac)."""
    out = _core.array_type(25)()
    rc = C.qorvex_bip143_p2wpkh_script_code(_fixed(key_hash20, 20, "key_hash20"), out)
    if rc:
        raise _failure(rc)
    return out.raw


def bip143_sighash(*, version: int, hash_prevouts: BytesLike, hash_sequence: BytesLike,
                   outpoint_txid: BytesLike, outpoint_vout: int, script_code: BytesLike, amount: int,
                   sequence: int, hash_outputs: BytesLike, lock_time: int, sighash_type: int) -> bytes:
    """The BIP-143 signature hash of a segwit v0 input. The three aggregate
    hashes are the transaction's (double SHA-256 each); the hash-type rules
    that zero them are applied here."""
    code, n = _core.var(script_code, "script_code")
    out = _B32()
    c = _ctx()
    rc = C.qorvex_bip143_sighash(
        c, _i32(version, "version"),
        _fixed(hash_prevouts, 32, "hash_prevouts"), _fixed(hash_sequence, 32, "hash_sequence"),
        _fixed(outpoint_txid, 32, "outpoint_txid"), _core.check_int(outpoint_vout, "outpoint_vout", 0, _U32),
        code, n, _core.check_int(amount, "amount", 0, _U64), _core.check_int(sequence, "sequence", 0, _U32),
        _fixed(hash_outputs, 32, "hash_outputs"), _core.check_int(lock_time, "lock_time", 0, _U32),
        _core.check_int(sighash_type, "sighash_type", 0, _U32), out)
    if rc:
        raise _failure(rc, c)
    return out.raw


def _txid(fn, tx):
    src, n = _core.var(tx, "transaction")
    out = _B32()
    rc = fn(_ctx(), src, n, out)
    if rc:
        raise _failure(rc)  # these record no message
    return out.raw


def txid(tx: BytesLike) -> bytes:
    """The txid of a serialized transaction (legacy or BIP-144 witness form),
    parsed completely; QorvexError 5 for malformed bytes."""
    return _txid(C.qorvex_bip144_txid, tx)


def wtxid(tx: BytesLike) -> bytes:
    """The wtxid: double SHA-256 of all the bytes (the txid without witness)."""
    return _txid(C.qorvex_bip144_wtxid, tx)


def witness_commitment(witness_root32: BytesLike, reserved32: BytesLike) -> bytes:
    """The block witness commitment, double SHA-256 of root || reserved value."""
    out = _B32()
    rc = C.qorvex_bip144_witness_commitment(_fixed(witness_root32, 32, "witness_root32"),
                                            _fixed(reserved32, 32, "reserved32"), out)
    if rc:
        raise _failure(rc)
    return out.raw


def _arrays(inputs, outputs, input_index):
    """The parallel arrays of the BIP-341 functions. inputs: (txid32, vout,
    sequence, amount, script_pubkey) of every input, the amount and script
    being those of the output it spends; outputs: (amount, script_pubkey)."""
    inputs = list(inputs)
    outputs = list(outputs)
    n_in, n_out = len(inputs), len(outputs)
    _core.check_int(input_index, "input_index", 0, 2**64 - 1)
    if input_index >= n_in:
        raise ValueError("input_index %d out of range for %d inputs" % (input_index, n_in))
    txids = b"".join(bytes(_fixed(i[0], 32, "inputs[%d] txid" % k)) for k, i in enumerate(inputs))
    vouts = (ctypes.c_uint32 * max(n_in, 1))(*[_core.check_int(i[1], "vout", 0, _U32) for i in inputs])
    seqs = (ctypes.c_uint32 * max(n_in, 1))(*[_core.check_int(i[2], "sequence", 0, _U32) for i in inputs])
    amounts = (ctypes.c_uint64 * max(n_in, 1))(*[_core.check_int(i[3], "amount", 0, _U64) for i in inputs])
    spks = [bytes(_core.var(i[4], "script_pubkey")[0]) for i in inputs]
    spk_ptrs = (ctypes.c_char_p * max(n_in, 1))(*spks)
    spk_lens = (ctypes.c_size_t * max(n_in, 1))(*[len(s) for s in spks])
    out_amounts = (ctypes.c_uint64 * max(n_out, 1))(*[_core.check_int(o[0], "amount", 0, _U64) for o in outputs])
    scripts = [bytes(_core.var(o[1], "output script")[0]) for o in outputs]
    out_ptrs = (ctypes.c_char_p * max(n_out, 1))(*scripts)
    out_lens = (ctypes.c_size_t * max(n_out, 1))(*[len(s) for s in scripts])
    return (n_in, txids or b"\0", vouts, amounts, seqs, spk_ptrs, spk_lens,
            n_out, out_amounts, out_ptrs, out_lens, input_index)


def _annex(annex):
    if annex is None:
        return None, 0
    return _core.var(annex, "annex")


def taproot_keypath_sighash(*, version: int, lock_time: int, inputs: Sequence[Input],
                            outputs: Sequence[Output], input_index: int, hash_type: int = 0,
                            annex: Optional[BytesLike] = None) -> bytes:
    """The BIP-341 key-path signature hash of input ``input_index``.

    ``inputs``: (txid32, vout, sequence, amount, script_pubkey) for every
    input, amount and script_pubkey of the output it spends; ``outputs``:
    (amount, script_pubkey). ``hash_type`` 0x00 (DEFAULT), 0x01-0x03 or
    0x81-0x83; ``annex`` with its 0x50 prefix, or None.
    """
    arrays = _arrays(inputs, outputs, input_index)
    ann, ann_len = _annex(annex)
    out = _B32()
    c = _ctx()
    rc = C.qorvex_taproot_keypath_sighash(
        c, _i32(version, "version"),
        _i32(lock_time, "lock_time"),
        *arrays, _core.check_int(hash_type, "hash_type", -2**31, 2**31 - 1), ann, ann_len, out)
    if rc:
        raise _failure(rc, c)
    return out.raw


def tapscript_sighash(*, version: int, lock_time: int, inputs: Sequence[Input],
                      outputs: Sequence[Output], input_index: int, tapleaf_hash: BytesLike,
                      hash_type: int = 0, key_version: int = 0, codesep_pos: int = 0xFFFFFFFF,
                      annex: Optional[BytesLike] = None) -> bytes:
    """The BIP-342 script-path signature hash (arguments as
    taproot_keypath_sighash, with the leaf hash of the executed script, the
    key version and the position of the last executed OP_CODESEPARATOR)."""
    arrays = _arrays(inputs, outputs, input_index)
    ann, ann_len = _annex(annex)
    out = _B32()
    c = _ctx()
    rc = C.qorvex_tapscript_sighash(
        c, _i32(version, "version"),
        _i32(lock_time, "lock_time"),
        *arrays, _core.check_int(hash_type, "hash_type", -2**31, 2**31 - 1),
        _fixed(tapleaf_hash, 32, "tapleaf_hash"), _core.check_int(key_version, "key_version", 0, 255),
        _core.check_int(codesep_pos, "codesep_pos", 0, _U32), ann, ann_len, out)
    if rc:
        raise _failure(rc, c)
    return out.raw
