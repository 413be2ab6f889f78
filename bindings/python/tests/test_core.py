"""Errors, configuration, argument checks and per-thread contexts."""

import pickle
import subprocess
import sys
import threading
import unittest

import support
import qorvex
from qorvex import ErrorCode, PrivateKey, PublicKey, QorvexError, _core


class QorvexErrorTest(unittest.TestCase):
    def test_attributes_come_from_the_library(self):
        with self.assertRaises(QorvexError) as cm:
            PublicKey(b"\x02" + bytes(32))
        e = cm.exception
        self.assertEqual(e.code, 3)
        self.assertIs(type(e.code), ErrorCode)
        self.assertEqual(e.name, "QORVEX_ERR_BAD_PUBKEY")
        self.assertEqual(e.message, "decompression failed")
        self.assertEqual(str(e), "decompression failed (QORVEX_ERR_BAD_PUBKEY, code 3)")
        again = pickle.loads(pickle.dumps(e))
        self.assertEqual((again.code, again.name, again.message), (e.code, e.name, e.message))

    def test_unknown_codes_keep_their_integer(self):
        e = QorvexError(99, "x")
        self.assertEqual((e.code, e.name), (99, "QORVEX_ERR_UNKNOWN"))

    def test_a_message_is_never_stale(self):
        # A failure that records its message, then one with the same code
        # from a function that records none (and leaves the context's code
        # alone): the second must report its own text, not the first's.
        with self.assertRaises(QorvexError) as first:
            PublicKey(b"\x05" + bytes(32))
        self.assertEqual((first.exception.code, first.exception.message), (5, "expected 33 or 65 byte pubkey"))
        with self.assertRaises(QorvexError) as second:
            qorvex.tx.txid(b"\x00" * 12)
        self.assertEqual((second.exception.code, second.exception.message), (5, "malformed input"))


class ConfigureTest(unittest.TestCase):
    def run_python(self, code, **env):
        r = subprocess.run([sys.executable, "-c", code], env=support.subprocess_env(**env),
                           capture_output=True, text=True, timeout=120)
        self.assertEqual(r.returncode, 0, r.stderr)
        return r.stdout

    def test_after_the_first_context_it_raises(self):
        PrivateKey(support.key(1)).public_key  # a context exists
        with self.assertRaises(QorvexError) as cm:
            qorvex.configure(window_bits=8)
        self.assertEqual(cm.exception.code, ErrorCode.BAD_INPUT)
        self.assertIn("before the first context", cm.exception.message)

    def test_arguments_are_checked_first(self):
        with self.assertRaises(ValueError):
            qorvex.configure(window_bits=31)
        with self.assertRaises(ValueError):
            qorvex.configure(window_bits=1)
        with self.assertRaises(TypeError):
            qorvex.configure(window_bits="8")
        with self.assertRaises(ValueError):
            qorvex.configure(cache_dir="a\0b")

    def test_width_and_directory_reach_the_library(self):
        import tempfile
        with tempfile.TemporaryDirectory() as d:
            out = self.run_python(
                "import os, qorvex\n"
                "qorvex.configure(window_bits=6, cache_dir=%r)\n"
                "k = qorvex.PrivateKey(bytes(31) + b'\\x01')\n"
                "assert k.public_key.verify(k.sign_ecdsa(bytes(32)), bytes(32))\n"
                "print(qorvex.cache_location())\n"
                "print(sorted(os.listdir(%r)))\n" % (d, d),
                SECP256K1_WINDOW_BITS=None, SECP256K1_CACHE_DIR=None, SECP256K1_CACHE_PATH=None)
            self.assertEqual(out.split("\n")[:2], [d + "/cache_w6.bin", "['cache_w6.bin']"])

    def test_the_library_default_is_kept(self):
        # Without a width the library's default (18 bits) stays; asking for
        # the cache file builds no tables.
        import tempfile
        with tempfile.TemporaryDirectory() as d:
            out = self.run_python("import qorvex\nqorvex.configure(cache_dir=%r)\nprint(qorvex.cache_location())\n"
                                  "from qorvex import _core\nprint(_core.context_exists())\n" % d,
                                  SECP256K1_WINDOW_BITS=None, SECP256K1_CACHE_DIR=None, SECP256K1_CACHE_PATH=None)
            self.assertEqual(out.split("\n")[:2], [d + "/cache_w18.bin", "False"])

    def test_off_disk_tables(self):
        out = self.run_python("import qorvex\nqorvex.configure(window_bits=8, cache_dir='/dev/null')\n"
                              "qorvex.PrivateKey(bytes(31) + b'\\x02').public_key\n"
                              "print(qorvex.cache_location())\n",
                              SECP256K1_WINDOW_BITS=None, SECP256K1_CACHE_DIR=None)
        self.assertEqual(out.strip(), "None")

    def test_the_cache_location_of_this_process(self):
        self.assertEqual(qorvex.cache_location(), support.CACHE_DIR + "/cache_w8.bin")


class ArgumentChecksTest(unittest.TestCase):
    def test_fixed_sizes_are_checked_before_the_call(self):
        k = PrivateKey(support.key(1))
        for bad in (b"", bytes(16), bytes(31), bytes(33)):
            with self.assertRaises(ValueError) as cm:
                k.sign_ecdsa(bad)
            self.assertEqual(str(cm.exception), "msg32 must be 32 bytes, got %d" % len(bad))
        with self.assertRaisesRegex(ValueError, "secret key must be 32 bytes, got 16"):
            PrivateKey(bytes(16))
        with self.assertRaisesRegex(ValueError, "signature must be 64 bytes, got 63"):
            k.public_key.verify(bytes(63), bytes(32))
        with self.assertRaisesRegex(TypeError, "msg32 must be bytes-like, not str"):
            k.sign_ecdsa("x" * 32)
        with self.assertRaisesRegex(TypeError, "keys must be a sequence of items, not one buffer"):
            PublicKey.combine(k.public_key.format())

    def test_every_bytes_like_input_is_accepted(self):
        k = PrivateKey(support.key(7))
        msg = bytes(range(32))
        expected = k.sign_ecdsa(msg)
        for form in (bytearray(msg), memoryview(msg), memoryview(bytearray(msg)),
                     _core.array_type(32).from_buffer_copy(msg)):
            self.assertEqual(k.sign_ecdsa(form), expected, type(form))
        with self.assertRaisesRegex(ValueError, "contiguous"):
            k.sign_ecdsa(memoryview(bytes(64))[::2])

    def test_bytearray_secrets_are_read_in_place_and_wipeable(self):
        secret = bytearray(support.key(5))
        k = PrivateKey(secret)
        secret[:] = bytes(32)  # the caller wipes its copy; the key has its own
        self.assertEqual(k.secret, support.key(5))
        k.wipe()
        self.assertEqual(k.secret, bytes(32))
        with PrivateKey(support.key(6)) as k2:
            buf = k2._k
        self.assertEqual(buf.raw, bytes(32))


class ThreadTest(unittest.TestCase):
    def test_each_thread_reports_its_own_failure(self):
        errors = {}
        barrier = threading.Barrier(4)

        def work(i):
            barrier.wait()
            for _ in range(200):
                try:
                    if i % 2:
                        PrivateKey(support.key(1)).tweak_add(support.N_BYTES)
                    else:
                        PublicKey(b"\x05" + bytes(32))
                except QorvexError as e:
                    errors.setdefault(i, set()).add((e.code, e.message))

        threads = [threading.Thread(target=work, args=(i,)) for i in range(4)]
        for t in threads:
            t.start()
        for t in threads:
            t.join()
        for i in range(4):
            expected = {(5, "tweak >= n")} if i % 2 else {(5, "expected 33 or 65 byte pubkey")}
            self.assertEqual(errors[i], expected)

    def test_blinding_changes_no_result(self):
        k = PrivateKey(support.key(9))
        msg = bytes(32)
        plain = k.sign_schnorr(msg, bytes(32))
        qorvex.randomize(bytes(range(32)))
        try:
            self.assertEqual(k.sign_schnorr(msg, bytes(32)), plain)
        finally:
            qorvex.randomize(None)
        with self.assertRaises(ValueError):
            qorvex.randomize(bytes(3))


if __name__ == "__main__":
    unittest.main()
