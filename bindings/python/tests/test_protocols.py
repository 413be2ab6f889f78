"""MuSig2, FROST, ECIES, Pedersen commitments, proofs, adaptor signatures,
SNARK witnesses and block filters."""

import copy
import pickle
import unittest
from unittest import mock

import support
from support import key
from qorvex import (PrivateKey, PublicKey, QorvexError, adaptor, ecdsa, ecies, filters, frost,
                    hashes, musig2, pedersen, zk)
from qorvex import _core


class LibraryError:
    def assertFails(self, code, message, fn, *args, **kwargs):
        with self.assertRaises(QorvexError) as cm:
            fn(*args, **kwargs)
        self.assertEqual((cm.exception.code, cm.exception.message), (code, message))


class MuSig2Test(LibraryError, unittest.TestCase):
    def run_session(self, keys, msg):
        agg = musig2.KeyAggregation([k.public_key for k in keys])
        nonces = [musig2.SecretNonce(k, agg, msg) for k in keys]
        aggnonce = musig2.aggregate_nonces([n.public for n in nonces])
        session = musig2.Session(agg, aggnonce, msg)
        psigs = [session.sign(n, k, i) for i, (n, k) in enumerate(zip(nonces, keys))]
        return agg, nonces, session, psigs

    def test_two_and_three_signers(self):
        msg = hashes.sha256(b"musig2")
        for count in (2, 3):
            keys = [PrivateKey(key(100 + i)) for i in range(count)]
            agg, nonces, session, psigs = self.run_session(keys, msg)
            for i, (n, k) in enumerate(zip(nonces, keys)):
                self.assertTrue(session.verify_partial(psigs[i], n.public, k.public_key, i))
            self.assertFalse(session.verify_partial(psigs[0], nonces[0].public, keys[0].public_key, 1))
            sig = session.aggregate(psigs)
            self.assertTrue(agg.aggregate_key.verify(sig, msg))
            self.assertEqual(len(agg.blob), 165)
            self.assertEqual(agg.pubkeys, [k.public_key for k in keys])

    def test_a_nonce_signs_once(self):
        keys = [PrivateKey(key(7)), PrivateKey(key(8))]
        msg = bytes(32)
        agg, nonces, session, _ = self.run_session(keys, msg)
        self.assertTrue(nonces[0].used)
        with self.assertRaisesRegex(ValueError, "already signed"):
            session.sign(nonces[0], keys[0], 0)
        with self.assertRaises(TypeError):
            copy.copy(musig2.SecretNonce(keys[0], agg, msg))
        with self.assertRaises(TypeError):
            pickle.dumps(musig2.SecretNonce(keys[0], agg, msg))
        # The library wipes it even when signing fails.
        fresh = musig2.SecretNonce(keys[0], agg, msg)
        self.assertFails(5, "signer_index out of range", session.sign, fresh, keys[0], 5)
        self.assertTrue(fresh.used)
        self.assertEqual(fresh._sec.raw, bytes(64))

    def test_errors(self):
        k = PrivateKey(key(7))
        self.assertFails(5, "need >= 2 pubkeys", musig2.KeyAggregation, [k.public_key])
        self.assertFails(5, "too many pubkeys for keyagg blob", musig2.KeyAggregation, [k.public_key] * 4)
        self.assertFails(3, "invalid pubkey in key list", musig2.KeyAggregation,
                         [k.public_key, b"\x02" + bytes(32)])
        self.assertFails(5, "need >= 2 nonces", musig2.aggregate_nonces, [bytes(66)])
        agg = musig2.KeyAggregation([k.public_key, PrivateKey(key(9)).public_key])
        self.assertFails(5, "invalid agg nonce R1", musig2.Session, agg, b"\x05" + bytes(65), bytes(32))
        with self.assertRaises(TypeError):
            musig2.Session(agg.blob, bytes(66), bytes(32))


class FrostTest(LibraryError, unittest.TestCase):
    def keygen(self, t, n):
        rounds = [frost.keygen_begin(i, t, n, bytes([i]) * 32) for i in range(1, n + 1)]
        commitments = [r.commitment for r in rounds]
        return [frost.keygen_finalize(j, t, n, commitments, [r.shares[j - 1] for r in rounds])
                for j in range(1, n + 1)]

    def test_two_of_three(self):
        packages = self.keygen(2, 3)
        group = packages[0].group_public_key
        self.assertTrue(all(p.group_public_key == group for p in packages))
        self.assertEqual([(p.participant_id, p.threshold, p.num_participants) for p in packages],
                         [(1, 2, 3), (2, 2, 3), (3, 2, 3)])
        msg = hashes.sha256(b"frost")
        for signers in ((0, 1), (1, 2), (0, 1, 2)):
            nonces = {i: frost.SigningNonce(packages[i].participant_id) for i in signers}
            commitments = [nonces[i].commitment for i in signers]
            psigs = [packages[i].sign(nonces[i], msg, commitments) for i in signers]
            for i, psig in zip(signers, psigs):
                self.assertTrue(frost.verify_partial(psig, packages[i].verification_share, commitments, msg, group))
            wrong = packages[signers[1]].verification_share
            self.assertFalse(frost.verify_partial(psigs[0], wrong, commitments, msg, group))
            sig = frost.aggregate(psigs, commitments, group, msg)
            self.assertTrue(group.x_only()[0].verify(sig, msg))
        again = frost.KeyPackage(packages[0].blob)
        self.assertEqual(again.verification_share, packages[0].verification_share)

    def test_a_nonce_signs_once_and_errors(self):
        packages = self.keygen(2, 2)
        nonce = frost.SigningNonce(1, bytes(32))
        other = frost.SigningNonce(2, bytes([1]) * 32)
        commitments = [nonce.commitment, other.commitment]
        packages[0].sign(nonce, bytes(32), commitments)
        with self.assertRaisesRegex(ValueError, "already signed"):
            packages[0].sign(nonce, bytes(32), commitments)
        self.assertFails(5, "n_signers below threshold (FROST requires >= t signers)", packages[0].sign,
                         frost.SigningNonce(1), bytes(32), [commitments[0]])
        self.assertFails(5, "invalid threshold", frost.keygen_begin, 1, 1, 3)
        self.assertFails(5, "invalid participant_id", frost.keygen_begin, 4, 2, 3)
        self.assertFails(5, "invalid participant_id", frost.SigningNonce, 0)
        round1 = frost.keygen_begin(1, 2, 2, bytes(32))
        self.assertEqual(len(round1.commitment), 33 * 2 + 72)
        self.assertFails(5, "all_commits length does not match threshold and num_participants",
                         frost.keygen_finalize, 1, 2, 2, [round1.commitment], round1.shares)

    def test_a_wiped_nonce_cannot_sign(self):
        keys = [PrivateKey(key(7)), PrivateKey(key(8))]
        agg = musig2.KeyAggregation([k.public_key for k in keys])
        for nonce in (frost.SigningNonce(1), musig2.SecretNonce(keys[0], agg, bytes(32))):
            with nonce:
                pass
            self.assertTrue(nonce.used)
            self.assertEqual(nonce._sec.raw, bytes(len(nonce._sec)))
            with self.assertRaisesRegex(ValueError, "already signed"):
                nonce._take()

    def test_drawn_seeds_are_wiped(self):
        drawn = []

        def draw(n, real=_core.random_buffer):
            drawn.append(real(n))
            return drawn[-1]
        with mock.patch.object(_core, "random_buffer", draw):
            frost.SigningNonce(1)
            frost.keygen_begin(1, 2, 2)
        self.assertEqual([b.raw for b in drawn], [bytes(32)] * 2)


class EciesTest(LibraryError, unittest.TestCase):
    def test_round_trip_and_tampering(self):
        k = PrivateKey(key(0xec1e5))
        for plaintext in (b"x", bytes(1000)):
            envelope = k.public_key.encrypt(plaintext)
            self.assertEqual(len(envelope), len(plaintext) + ecies.OVERHEAD)
            self.assertEqual(k.decrypt(envelope), plaintext)
            into = bytearray(len(plaintext))
            self.assertIsNone(ecies.decrypt(k, envelope, into=into))
            self.assertEqual(bytes(into), plaintext)
        envelope = bytearray(k.public_key.encrypt(b"secret"))
        envelope[-1] ^= 1
        self.assertFails(6, "ECIES decryption failed (bad key or tampered)", k.decrypt, envelope)
        self.assertFails(6, "ECIES decryption failed (bad key or tampered)", PrivateKey(key(2)).decrypt,
                         k.public_key.encrypt(b"secret"))
        self.assertFails(3, "invalid recipient pubkey", ecies.encrypt, b"\x02" + bytes(32), b"x")
        with self.assertRaises(ValueError):
            ecies.encrypt(k.public_key, b"")
        with self.assertRaises(ValueError):
            ecies.decrypt(k, bytes(81))


class PedersenTest(LibraryError, unittest.TestCase):
    def test_commitments_balance(self):
        b1, b2 = key(11), key(22)
        c1 = pedersen.commit(30, b1)
        c2 = pedersen.commit(12, b2)
        self.assertTrue(pedersen.verify(c1, 30, b1))
        self.assertFalse(pedersen.verify(c1, 31, b1))
        self.assertEqual(pedersen.commit(0, bytes(32)), bytes(33))
        change = pedersen.blind_sum([b1], [b2])
        self.assertEqual(change, key((11 - 22) % support.N))
        c3 = pedersen.commit(18, change)
        self.assertTrue(pedersen.verify_sum([c1], [c2, c3]))
        self.assertFalse(pedersen.verify_sum([c1], [c2]))
        self.assertTrue(pedersen.verify_sum([], []))
        self.assertNotEqual(pedersen.switch_commit(30, b1, key(5)), c1)
        self.assertFails(5, "value >= n", pedersen.commit, support.N, b1)
        self.assertFails(5, "blinding >= n", pedersen.commit, 1, support.N_BYTES)
        self.assertFails(5, "invalid commitment point", pedersen.verify, bytes(33), 0, bytes(32))
        self.assertFails(5, "invalid input blind", pedersen.blind_sum, [support.N_BYTES], [])


class ProofTest(LibraryError, unittest.TestCase):
    def test_knowledge_and_dleq(self):
        x = PrivateKey(key(0x5eed))
        msg = bytes(32)
        proof = zk.knowledge_prove(x, x.public_key, msg, bytes(32))
        self.assertTrue(zk.knowledge_verify(proof, x.public_key, msg))
        self.assertFalse(zk.knowledge_verify(proof, x.public_key, b"\x01" * 32))
        self.assertFails(5, "invalid knowledge proof", zk.knowledge_verify, proof[:32] + bytes(32),
                         x.public_key, msg)
        base2 = PrivateKey(key(77)).public_key
        g = PrivateKey(key(1)).public_key
        pub2 = base2.tweak_mul(x.secret)
        proof = zk.dleq_prove(x, g, base2, x.public_key, pub2)
        self.assertTrue(zk.dleq_verify(proof, g, base2, x.public_key, pub2))
        self.assertFalse(zk.dleq_verify(proof, g, base2, x.public_key, g))
        self.assertFails(5, "DLEQ statement does not hold", zk.dleq_prove, x, g, base2, x.public_key, g)
        self.assertFails(3, "invalid DLEQ point", zk.dleq_verify, proof, b"\x02" + bytes(32), base2,
                         x.public_key, pub2)

    def test_snark_witnesses(self):
        k = PrivateKey(key(0x77))
        msg = hashes.sha256(b"w")
        record = zk.ecdsa_snark_witness(msg, k.public_key, k.sign_ecdsa(msg))
        self.assertEqual(len(record), 756)
        self.assertEqual(record[752:], b"\x01\x00\x00\x00")
        bad = zk.ecdsa_snark_witness(bytes(32), k.public_key, k.sign_ecdsa(msg))
        self.assertEqual(bad[752:], bytes(4))
        srec = zk.schnorr_snark_witness(msg, k.x_only_public_key, k.sign_schnorr(msg))
        self.assertEqual((len(srec), srec[464:]), (468, b"\x01\x00\x00\x00"))
        self.assertFails(5, "invalid sig s", zk.schnorr_snark_witness, msg, k.x_only_public_key, bytes(64))


class AdaptorTest(LibraryError, unittest.TestCase):
    def test_schnorr_cycle(self):
        k, t = PrivateKey(key(0xaa)), PrivateKey(key(0xbb))
        msg = bytes(range(32))
        pre = adaptor.schnorr_sign(k, msg, t.public_key)
        self.assertTrue(adaptor.schnorr_verify(pre, k.x_only_public_key, msg, t.public_key))
        self.assertFalse(adaptor.schnorr_verify(pre, k.x_only_public_key, bytes(32), t.public_key))
        sig = adaptor.schnorr_adapt(pre, t)
        self.assertTrue(k.x_only_public_key.verify(sig, msg))
        self.assertEqual(adaptor.schnorr_extract(pre, sig), t.secret)
        self.assertFails(5, "adaptor secret is zero or >= n", adaptor.schnorr_adapt, pre, bytes(32))
        self.assertFails(3, "invalid adaptor point", adaptor.schnorr_sign, k, msg, b"\x02" + bytes(32))

    def test_ecdsa_cycle(self):
        k, t = PrivateKey(key(0xcc)), PrivateKey(key(0xdd))
        msg = hashes.sha256(b"adaptor")
        pre = adaptor.ecdsa_sign(k, msg, t.public_key)
        self.assertTrue(adaptor.ecdsa_verify(pre, k.public_key, msg, t.public_key))
        self.assertFalse(adaptor.ecdsa_verify(pre, t.public_key, msg, t.public_key))
        sig = adaptor.ecdsa_adapt(pre, t)
        low, _ = ecdsa.normalize_opaque(ecdsa.compact_to_opaque(sig))
        self.assertTrue(k.public_key.verify(ecdsa.opaque_to_compact(low), msg))
        self.assertEqual(adaptor.ecdsa_extract(pre, sig), t.secret)
        self.assertFails(4, "invalid adaptor pre-signature", adaptor.ecdsa_adapt, bytes(162), t)


class FilterTest(LibraryError, unittest.TestCase):
    def test_build_and_match(self):
        k = bytes(range(16))
        elements = [b"script-%d" % i for i in range(50)]
        f = filters.build(k, elements)
        self.assertTrue(all(filters.match(k, f, 50, e) for e in elements))
        self.assertFalse(filters.match(k, f, 50, b"absent"))
        self.assertTrue(filters.match_any(k, f, 50, [b"absent", elements[7]]))
        self.assertFalse(filters.match_any(k, f, 50, []))
        self.assertEqual(filters.build(k, []), b"")
        self.assertFails(5, "malformed input", filters.match, k, f, 10 ** 6, b"x")
        with self.assertRaises(ValueError):
            filters.build(bytes(15), elements)


if __name__ == "__main__":
    unittest.main()
