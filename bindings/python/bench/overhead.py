#!/usr/bin/env python3
"""Per-call overhead of the Python binding: each call timed with timeit
through the package, and the same C call on the same inputs timed in a C
loop (c_call_timing.c, compiled here and loaded into this process, so both
use one copy of the library and its tables). Rounds alternate the two; the
figures are medians over the rounds, the overhead the median of the
per-round differences. Both sides count the CPU time of the calling thread
(CLOCK_THREAD_CPUTIME_ID, time.thread_time), so other work on a shared
machine does not enter the figures.

    QORVEX_LIBRARY=build/release/libqorvex.so python3 bindings/python/bench/overhead.py

Needs a C compiler (cc) and the repository's include/qorvex.h.
"""

import argparse
import ctypes
import os
import statistics
import subprocess
import sys
import tempfile
import time
import timeit

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.dirname(HERE))
REPO = os.path.dirname(os.path.dirname(os.path.dirname(HERE)))


def build_helper(library_path, workdir):
    out = os.path.join(workdir, "libqorvex_c_timing.so")
    libdir = os.path.dirname(os.path.realpath(library_path))
    subprocess.run(["cc", "-O2", "-shared", "-fPIC", "-I", os.path.join(REPO, "include"),
                    os.path.join(HERE, "c_call_timing.c"), "-o", out, "-L", libdir, "-l:" +
                    os.path.basename(os.path.realpath(library_path)), "-Wl,-rpath," + libdir], check=True)
    return ctypes.CDLL(out)


def main():
    parser = argparse.ArgumentParser(description="Python binding overhead against C")
    parser.add_argument("--rounds", type=int, default=15)
    parser.add_argument("--calls", type=int, default=2000, help="calls per timing")
    parser.add_argument("--window-bits", type=int, default=8,
                        help="generator tables (verification cost only; 8 keeps start-up short)")
    args = parser.parse_args()

    import qorvex
    from qorvex import PrivateKey, hashes, _core
    from qorvex._ffi import C
    tmp = tempfile.mkdtemp(prefix="qorvex-overhead-")
    qorvex.configure(window_bits=args.window_bits, cache_dir=tmp)

    key = PrivateKey(hashes.sha256(b"overhead key"))
    msg, aux = hashes.sha256(b"message"), hashes.sha256(b"aux")
    pub, xonly = key.public_key, key.x_only_public_key
    ecdsa_sig, schnorr_sig = key.sign_ecdsa(msg), key.sign_schnorr(msg, aux)
    data32 = bytes(32)
    ctx = _core.ctx()

    helper = build_helper(qorvex.library_path, tmp)
    for name in ("qt_schnorr_sign", "qt_ecdsa_verify", "qt_schnorr_verify"):
        getattr(helper, name).restype = ctypes.c_double
        getattr(helper, name).argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_char_p, ctypes.c_char_p,
                                          ctypes.c_long]
    helper.qt_sha256.restype = ctypes.c_double
    helper.qt_sha256.argtypes = [ctypes.c_char_p, ctypes.c_size_t, ctypes.c_long]

    secret = key._k.raw
    out64 = ctypes.create_string_buffer(64)
    ops = [
        ("PrivateKey.sign_schnorr", lambda: key.sign_schnorr(msg, aux),
         lambda n: helper.qt_schnorr_sign(ctx, msg, secret, aux, n),
         lambda: C.qorvex_schnorr_sign(ctx, msg, secret, aux, out64)),
        ("PublicKey.verify (ECDSA)", lambda: pub.verify(ecdsa_sig, msg),
         lambda n: helper.qt_ecdsa_verify(ctx, msg, ecdsa_sig, pub.format(), n),
         lambda: C.qorvex_ecdsa_verify(ctx, msg, ecdsa_sig, pub.format())),
        ("XOnlyPublicKey.verify", lambda: xonly.verify(schnorr_sig, msg),
         lambda n: helper.qt_schnorr_verify(ctx, msg, schnorr_sig, xonly.format(), n),
         lambda: C.qorvex_schnorr_verify(ctx, msg, schnorr_sig, xonly.format())),
        ("hashes.sha256, 32 bytes", lambda: hashes.sha256(data32),
         lambda n: helper.qt_sha256(data32, 32, n),
         lambda: C.qorvex_sha256(data32, 32, out64)),
    ]
    results = {name: ([], [], [], []) for name, *_ in ops}
    for _round in range(args.rounds):
        for name, py_call, c_loop, raw_call in ops:
            c_ns = c_loop(args.calls)
            py_ns = timeit.timeit(py_call, timer=time.thread_time, number=args.calls) / args.calls * 1e9
            raw_ns = timeit.timeit(raw_call, timer=time.thread_time, number=args.calls) / args.calls * 1e9
            r = results[name]
            r[0].append(c_ns)
            r[1].append(py_ns)
            r[2].append(py_ns - c_ns)
            r[3].append(raw_ns - c_ns)

    print("library %s, window bits %d, %d rounds of %d calls, Python %s" % (
        qorvex.library_path, args.window_bits, args.rounds, args.calls, sys.version.split()[0]))
    print("%-26s %10s %10s %10s %12s" % ("call", "C ns", "Python ns", "overhead", "raw ctypes"))
    for name, *_ in ops:
        c_ns, py_ns, over, raw = (statistics.median(v) for v in results[name])
        print("%-26s %10.0f %10.0f %10.0f %12.0f" % (name, c_ns, py_ns, over, raw))
    print("overhead: Python call minus the C call (median of per-round differences); "
          "raw ctypes: the bare prepared ctypes call minus the C call")


if __name__ == "__main__":
    main()
