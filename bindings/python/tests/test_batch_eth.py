"""Batch verification and signing, multi-scalar multiplication, Ethereum."""

import unittest

import support
from support import h, key
from qorvex import PrivateKey, PublicKey, QorvexError, batch, ecdsa, eth, hashes


class LibraryError:
    def assertFails(self, code, message, fn, *args, **kwargs):
        with self.assertRaises(QorvexError) as cm:
            fn(*args, **kwargs)
        self.assertEqual((cm.exception.code, cm.exception.message), (code, message))


class BatchTest(LibraryError, unittest.TestCase):
    def setUp(self):
        self.keys = [PrivateKey(key(1000 + i)) for i in range(6)]
        self.msgs = [hashes.sha256(bytes([i])) for i in range(6)]

    def test_ecdsa(self):
        items = [(k.public_key, m, k.sign_ecdsa(m)) for k, m in zip(self.keys, self.msgs)]
        self.assertTrue(batch.ecdsa_batch_verify(items))
        self.assertTrue(batch.ecdsa_batch_verify(items, threads=2))
        self.assertTrue(batch.ecdsa_batch_verify([]))
        bad = list(items)
        bad[2] = (bad[2][0], bytes(32), bad[2][2])
        bad[4] = (bad[3][0], bad[4][1], bad[4][2])
        self.assertFalse(batch.ecdsa_batch_verify(bad))
        self.assertEqual(batch.ecdsa_batch_identify_invalid(bad), [2, 4])
        self.assertEqual(batch.ecdsa_batch_identify_invalid(items), [])
        broken = [(b"\x02" + bytes(32), self.msgs[0], items[0][2])]
        self.assertFails(3, "invalid pubkey in batch", batch.ecdsa_batch_verify, broken)
        self.assertFalse(batch.ecdsa_batch_verify([(items[0][0], items[0][1], bytes(64))]))
        self.assertFails(4, "invalid ECDSA sig in batch", batch.ecdsa_batch_identify_invalid,
                         [(items[0][0], items[0][1], bytes(64))])

    def test_opaque(self):
        items = [(k.public_key, m, ecdsa.compact_to_opaque(k.sign_ecdsa(m))) for k, m in zip(self.keys, self.msgs)]
        items[1] = (items[1][0], bytes(32), items[1][2])
        self.assertEqual(batch.ecdsa_verify_opaque_batch(items), [True, False, True, True, True, True])
        rows = b"".join(m + bytes(p) + s + b"pad" for p, m, s in items)
        self.assertEqual(batch.ecdsa_verify_opaque_rows(rows, 132, 6), [True, False, True, True, True, True])
        self.assertEqual(batch.ecdsa_verify_opaque_batch([]), [])
        with self.assertRaises(ValueError):
            batch.ecdsa_verify_opaque_rows(rows, 128, 6)

    def test_schnorr(self):
        items = [(k.x_only_public_key, m, k.sign_schnorr(m)) for k, m in zip(self.keys, self.msgs)]
        self.assertTrue(batch.schnorr_batch_verify(items))
        bad = list(items)
        bad[0] = (bad[1][0], bad[0][1], bad[0][2])
        self.assertFalse(batch.schnorr_batch_verify(bad))
        self.assertEqual(batch.schnorr_batch_identify_invalid(bad), [0])
        self.assertFails(3, "non-canonical pubkey (x>=p) in batch", batch.schnorr_batch_verify,
                         [(b"\xff" * 32, self.msgs[0], items[0][2])])

    def test_signing(self):
        sigs = batch.ecdsa_sign_batch(self.msgs, self.keys)
        self.assertEqual(sigs, [k.sign_ecdsa(m) for k, m in zip(self.keys, self.msgs)])
        aux = [bytes([i]) * 32 for i in range(6)]
        ssigs = batch.schnorr_sign_batch(self.msgs, [k.secret for k in self.keys], aux)
        self.assertEqual(ssigs, [k.sign_schnorr(m, a) for k, m, a in zip(self.keys, self.msgs, aux)])
        fresh = batch.schnorr_sign_batch(self.msgs, self.keys)
        self.assertTrue(all(k.x_only_public_key.verify(s, m) for k, m, s in zip(self.keys, self.msgs, fresh)))
        self.assertEqual(batch.ecdsa_sign_batch([], []), [])
        self.assertFails(2, "privkey[i] is zero or >= n", batch.ecdsa_sign_batch, self.msgs[:2],
                         [self.keys[0], bytes(32)])
        with self.assertRaises(ValueError):
            batch.ecdsa_sign_batch(self.msgs, self.keys[:2])

    def test_msm_and_shamir(self):
        g = PrivateKey(key(1)).public_key
        p = PrivateKey(key(5)).public_key
        self.assertEqual(batch.multi_scalar_mul([(key(2), g), (key(3), p)]), PrivateKey(key(17)).public_key)
        self.assertEqual(batch.shamir_trick(key(2), g, key(3), p), PrivateKey(key(17)).public_key)
        self.assertFails(7, "MSM result is infinity", batch.multi_scalar_mul, [(key(5), g), (key(1), -p)])
        self.assertFails(5, "scalar a >= n", batch.shamir_trick, support.N_BYTES, g, key(1), p)
        with self.assertRaises(ValueError):
            batch.multi_scalar_mul([])


class EthTest(LibraryError, unittest.TestCase):
    def test_address_sign_recover(self):
        k = PrivateKey(key(1))
        self.assertEqual(eth.address(k.public_key).hex(), "7e5f4552091a69125d5dfcb7b8c2659029395bdf")
        self.assertEqual(k.public_key.eth_address(), "0x7E5F4552091A69125d5DfCb7b8C2659029395Bdf")
        digest = eth.personal_hash(b"hello")
        self.assertEqual(digest, hashes.keccak256(b"\x19Ethereum Signed Message:\n5hello"))
        r, s, v = eth.sign(digest, k)
        self.assertIn(v, (27, 28))
        self.assertEqual(eth.ecrecover(digest, r, s, v), eth.address(k.public_key))
        r1, s1, v1 = eth.sign(digest, k, chain_id=1)
        self.assertEqual((r1, s1, v1 - 37), (r, s, v - 27))  # EIP-155: 2 * 1 + 35 + recid
        self.assertEqual(eth.ecrecover(digest, r1, s1, v1), eth.address(k.public_key))
        self.assertFails(3, "invalid compressed pubkey", eth.address, b"\x02" + bytes(32))
        self.assertFails(2, "privkey is zero or >= n", eth.sign, digest, bytes(32))
        self.assertFails(4, "ecrecover failed", eth.ecrecover, digest, bytes(32), s, v)


if __name__ == "__main__":
    unittest.main()
