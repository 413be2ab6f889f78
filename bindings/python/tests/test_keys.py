"""Keys, ECDSA, Schnorr, key pairs and ECDH through the Python layer."""

import unittest
from unittest import mock

import support
from support import h, key
from qorvex import (ErrorCode, KeyPair, PrivateKey, PublicKey, QorvexError, XOnlyPublicKey, ecdsa,
                    hashes)
from qorvex._ffi import C

G = h("0279be667ef9dcbbac55a06295ce870b07029bfcdb2dce28d959f2815b16f81798")
G_UNCOMPRESSED = h("0479be667ef9dcbbac55a06295ce870b07029bfcdb2dce28d959f2815b16f81798"
                   "483ada7726a3c4655da4fbfc0e1108a8fd17b448a68554199c47d08ffb10d4b8")
TWO_G = h("02c6047f9441ed7d6d3045406e95c07cd85c778e4b8cef3ca7abac09b95c709ee5")


class LibraryErrorMixin:
    def assertFails(self, code, message, fn, *args):
        with self.assertRaises(QorvexError) as cm:
            fn(*args)
        self.assertEqual((cm.exception.code, cm.exception.message), (code, message))
        return cm.exception


class PrivateKeyTest(LibraryErrorMixin, unittest.TestCase):
    def test_valid_and_invalid_keys(self):
        self.assertEqual(PrivateKey(key(1)).public_key.format(), G)
        self.assertEqual(PrivateKey(support.key(support.N - 1)).secret, key(support.N - 1))
        for bad in (bytes(32), support.N_BYTES, b"\xff" * 32):
            self.assertFails(ErrorCode.BAD_KEY, "invalid private key", PrivateKey, bad)

    def test_generate_gives_distinct_valid_keys(self):
        a, b = PrivateKey.generate(), PrivateKey.generate()
        self.assertNotEqual(a, b)
        self.assertEqual(len(a.secret), 32)

    def test_generate_retries_a_bad_key_and_nothing_else(self):
        real = C.qorvex_seckey_verify
        answers = iter([ErrorCode.BAD_KEY])
        with mock.patch.object(C, "qorvex_seckey_verify", side_effect=lambda c, k: next(answers, None) or real(c, k)):
            self.assertEqual(len(PrivateKey.generate().secret), 32)
        with mock.patch.object(C, "qorvex_seckey_verify", return_value=ErrorCode.NULL_ARG):
            with self.assertRaises(QorvexError) as cm:
                PrivateKey.generate()
        self.assertEqual(cm.exception.code, ErrorCode.NULL_ARG)

    def test_public_key_forms(self):
        k = PrivateKey(key(1))
        self.assertEqual(k.public_key_uncompressed(), G_UNCOMPRESSED)
        self.assertEqual(k.x_only_public_key.format(), G[1:])
        for i in (2, 3, 0xdeadbeef, support.N - 5):
            kk = PrivateKey(key(i))
            self.assertEqual(kk.public_key.format(compressed=False), kk.public_key_uncompressed())

    def test_tweaks_agree_with_public_tweaks(self):
        k = PrivateKey(key(1000))
        t = key(77)
        self.assertEqual(k.tweak_add(t).public_key, k.public_key.tweak_add(t))
        self.assertEqual(k.tweak_mul(t).public_key, k.public_key.tweak_mul(t))
        self.assertEqual(k.negate().public_key, -k.public_key)
        self.assertEqual(k.secret, key(1000), "tweaks return new keys")
        self.assertFails(5, "tweak >= n", k.tweak_add, support.N_BYTES)
        self.assertFails(7, "tweak_add resulted in zero", k.tweak_add, key(support.N - 1000))
        self.assertFails(5, "tweak is zero or >= n", k.tweak_mul, bytes(32))

    def test_wipe_and_repr(self):
        k = PrivateKey(key(3))
        self.assertNotIn("03", repr(k))
        k.wipe()
        self.assertEqual(k.secret, bytes(32))
        with self.assertRaises(TypeError):
            import pickle
            pickle.dumps(PrivateKey(key(3)))


class PublicKeyTest(LibraryErrorMixin, unittest.TestCase):
    def test_parse_and_serialize(self):
        self.assertEqual(PublicKey(G_UNCOMPRESSED).format(), G)
        self.assertEqual(PublicKey(G).format(compressed=False), G_UNCOMPRESSED)
        self.assertEqual(bytes(PublicKey(G)), G)
        self.assertEqual(PublicKey(G), PublicKey(bytearray(G)))
        self.assertEqual(len({PublicKey(G), PublicKey(G_UNCOMPRESSED)}), 1)
        self.assertFails(5, "expected 33 or 65 byte pubkey", PublicKey, b"\x06" + G_UNCOMPRESSED[1:])
        self.assertFails(3, "point not on curve", PublicKey, G_UNCOMPRESSED[:-1] + b"\x00")
        self.assertFails(3, "decompression failed", PublicKey, b"\x02" + b"\xff" * 32)
        self.assertFails(3, "coordinate >= p", PublicKey, b"\x04" + b"\xff" * 64)
        with self.assertRaisesRegex(ValueError, "public key must be 33 or 65 bytes, got 32"):
            PublicKey(G[1:])

    def test_arithmetic(self):
        g = PublicKey(G)
        self.assertEqual(g + g, PublicKey(TWO_G))
        self.assertEqual(PublicKey.combine([g, g]), PublicKey(TWO_G))
        self.assertEqual(PublicKey.combine([G, TWO_G, g]), PrivateKey(key(4)).public_key)
        self.assertEqual(g.tweak_add(key(1)), PublicKey(TWO_G))
        self.assertEqual(g.tweak_add(bytes(32)), g)
        self.assertEqual(g.tweak_mul(key(2)), PublicKey(TWO_G))
        self.assertFails(7, "sum is point at infinity", g.add, -g)
        self.assertFails(7, "combined pubkey is infinity", PublicKey.combine, [g, -g])
        self.assertFails(3, "invalid pubkey b", g.add, b"\x02" + bytes(32))
        self.assertFails(5, "tweak >= n", g.tweak_add, support.N_BYTES)
        self.assertFails(5, "tweak is zero or >= n", g.tweak_mul, bytes(32))
        with self.assertRaises(ValueError):
            PublicKey.combine([])

    def test_x_only(self):
        x, parity = PrivateKey(key(3)).public_key.x_only()
        self.assertEqual(x, PrivateKey(key(3)).x_only_public_key)
        self.assertIn(parity, (0, 1))
        self.assertEqual(XOnlyPublicKey(G[1:]).public_key(), PublicKey(G))
        self.assertFails(3, "decompression failed", XOnlyPublicKey, bytes(32))
        self.assertFails(3, "decompression failed", XOnlyPublicKey, b"\xff" * 32)


class EcdsaTest(LibraryErrorMixin, unittest.TestCase):
    def setUp(self):
        self.k = PrivateKey(key(0xc0ffee))
        self.msg = hashes.sha256(b"qorvex")

    def test_sign_verify_recover(self):
        sig = self.k.sign_ecdsa(self.msg)
        self.assertEqual(self.k.sign_ecdsa(self.msg, verified=True), sig)
        pub = self.k.public_key
        self.assertTrue(pub.verify(sig, self.msg))
        self.assertFalse(pub.verify(sig, bytes(32)))
        self.assertFalse(PublicKey(G).verify(sig, self.msg))
        self.assertFalse(pub.verify(bytes(64), self.msg), "r = 0 is no valid signature")
        rsig, recid = self.k.sign_recoverable(self.msg)
        self.assertEqual(rsig, sig)
        self.assertEqual(PublicKey.recover(self.msg, sig, recid), pub)
        self.assertFails(4, "non-canonical compact sig", ecdsa.recover, self.msg, bytes(64), 0)
        with self.assertRaises(ValueError):
            ecdsa.recover(self.msg, sig, 4)

    def test_high_s_is_false_for_verify_and_true_for_opaque(self):
        sig = self.k.sign_ecdsa(self.msg)
        s = int.from_bytes(sig[32:], "big")
        high = sig[:32] + (support.N - s).to_bytes(32, "big")
        pub = self.k.public_key
        self.assertFalse(pub.verify(high, self.msg))
        opaque_high = ecdsa.compact_to_opaque(high)
        self.assertTrue(pub.verify_opaque(opaque_high, self.msg))
        low, changed = ecdsa.normalize_opaque(opaque_high)
        self.assertTrue(changed)
        self.assertEqual(ecdsa.opaque_to_compact(low), sig)
        self.assertEqual(ecdsa.normalize_opaque(low), (low, False))

    def test_der(self):
        sig = self.k.sign_ecdsa(self.msg)
        der = ecdsa.compact_to_der(sig)
        self.assertEqual(der[0], 0x30)
        self.assertLessEqual(len(der), 72)
        self.assertEqual(ecdsa.der_to_compact(der), sig)
        with self.assertRaises(QorvexError) as cm:
            ecdsa.der_to_compact(der[:-1])
        self.assertEqual(cm.exception.code, ErrorCode.BAD_SIG)
        self.assertTrue(cm.exception.message.startswith("bad DER: "), cm.exception.message)
        self.assertFails(4, "non-canonical compact sig", ecdsa.compact_to_der, bytes(64))
        self.assertFails(4, "non-canonical compact sig", ecdsa.compact_to_opaque, bytes(64))
        self.assertFails(4, "invalid opaque ECDSA sig", ecdsa.opaque_to_compact, bytes(64))

    def test_signing_errors(self):
        # A PrivateKey is valid by construction; the functional forms take bytes.
        self.assertFails(2, "privkey is zero or >= n", ecdsa_sign_raw, self.msg, bytes(32))


def ecdsa_sign_raw(msg, secret):
    from qorvex import _core
    from qorvex._ffi import C
    out = _core.array_type(64)()
    c = _core.ctx()
    rc = C.qorvex_ecdsa_sign(c, msg, secret, out)
    if rc:
        raise _core.failure(rc, c)
    return out.raw


class SchnorrTest(LibraryErrorMixin, unittest.TestCase):
    def test_sign_verify(self):
        k = PrivateKey(key(0xbeef))
        msg = bytes(range(32))
        sig = k.sign_schnorr(msg, bytes(32))
        self.assertEqual(k.sign_schnorr(msg, bytes(32), verified=True), sig)
        self.assertNotEqual(k.sign_schnorr(msg), sig, "fresh aux randomness by default")
        x = k.x_only_public_key
        self.assertTrue(x.verify(sig, msg))
        self.assertTrue(x.verify(k.sign_schnorr(msg), msg))
        self.assertFalse(x.verify(sig, bytes(32)))
        self.assertFalse(x.verify(b"\xff" * 64, msg), "r >= p")
        with self.assertRaisesRegex(ValueError, "aux32 must be 32 bytes"):
            k.sign_schnorr(msg, b"")

    def test_messages_of_any_length(self):
        k = PrivateKey(key(0xbeef))
        for message in (b"", b"a", bytes(1000)):
            sig = k.sign_schnorr_message(message, bytes(32))
            self.assertTrue(k.x_only_public_key.verify_message(sig, message))
            self.assertTrue(k.x_only_public_key.verify(sig, hashes.tagged_hash("BIP0340/msg", message)))
            self.assertFalse(k.x_only_public_key.verify_message(sig, message + b"!"))

    def test_keypair_signs_as_the_key(self):
        k = PrivateKey(key(0x1234))
        pair = KeyPair(k)
        self.assertEqual(pair.x_only_public_key, k.x_only_public_key)
        msg = bytes(32)
        self.assertEqual(pair.sign_schnorr(msg, bytes(32)), k.sign_schnorr(msg, bytes(32)))
        self.assertFails(2, "privkey is zero or >= n", KeyPair, bytes(32))
        pair.wipe()
        self.assertFails(2, "keypair secret is zero or >= n", pair.sign_schnorr, msg, bytes(32))


class EcdhTest(LibraryErrorMixin, unittest.TestCase):
    def test_both_sides_agree(self):
        a, b = PrivateKey(key(11)), PrivateKey(key(22))
        for name in ("ecdh", "ecdh_xonly", "ecdh_raw"):
            self.assertEqual(getattr(a, name)(b.public_key), getattr(b, name)(a.public_key))
        shared = PrivateKey(key(11 * 22)).public_key.format()
        self.assertEqual(a.ecdh_raw(b.public_key), shared[1:])
        self.assertEqual(a.ecdh_xonly(b.public_key), hashes.sha256(shared[1:]))
        self.assertEqual(a.ecdh(b.public_key), hashes.sha256(shared))
        self.assertFails(3, "invalid or infinity pubkey", a.ecdh, b"\x02" + bytes(32))


if __name__ == "__main__":
    unittest.main()
