"""Signed messages (signmessage, BIP-322) and PSBT partial signatures."""

import base64
import hashlib
import json
import unittest

import support
from support import h
from qorvex import (ErrorCode, HDKey, PrivateKey, PublicKey, QorvexError, bitcoin, ecdsa, hashes, messages,
                    psbt)


def sha256d(data):
    return hashlib.sha256(hashlib.sha256(data).digest()).digest()


def compact_size(n):
    if n < 0xFD:
        return bytes([n])
    if n <= 0xFFFF:
        return b"\xfd" + n.to_bytes(2, "little")
    return b"\xfe" + n.to_bytes(4, "little")


def bip322_vectors():
    with open(support.vector_path("bip322", "basic-test-vectors.json"), encoding="utf-8") as f:
        return json.load(f)


class SignMessageTest(unittest.TestCase):
    def test_hash_matches_its_definition(self):
        for msg in (b"", b"Hello World", bytes(300), "pay ünïcode".encode()):
            expected = sha256d(b"\x18Bitcoin Signed Message:\n" + compact_size(len(msg)) + msg)
            self.assertEqual(messages.message_hash(msg), expected)
        self.assertEqual(messages.message_hash("Hello World"), messages.message_hash(b"Hello World"))

    def test_sign_gives_a_recoverable_signature_of_the_hash(self):
        key = PrivateKey(support.key(0xC0FFEE))
        for msg in (b"", b"Hello World", bytearray(b"in place")):
            text = messages.sign(key, msg)
            self.assertEqual(len(text), 88)
            raw = base64.b64decode(text, validate=True)
            self.assertIn(raw[0], range(31, 35))  # compressed key, recovery id 0..3
            recovered = PublicKey.recover(messages.message_hash(msg), raw[1:], raw[0] - 31)
            self.assertEqual(recovered, key.public_key)
            self.assertTrue(messages.verify(key.public_key, msg, text))
            self.assertFalse(messages.verify(key.public_key, bytes(msg) + b"!", text))
            self.assertFalse(messages.verify(PrivateKey(support.key(2)).public_key, msg, text))

    def test_errors(self):
        key = PrivateKey(support.key(5))
        text = messages.sign(key, b"m")
        self.assertFalse(messages.verify(key.public_key, b"m", "not base64!"))
        self.assertFalse(messages.verify(key.public_key, b"m", text[:-4]))
        with self.assertRaises(QorvexError) as cm:
            messages.verify(b"\x02" + bytes(32), b"m", text)
        self.assertEqual((cm.exception.code, cm.exception.message), (ErrorCode.BAD_PUBKEY, "invalid pubkey"))
        with self.assertRaises(QorvexError) as cm:
            messages.sign(bytes(32), b"m")
        self.assertEqual(cm.exception.code, ErrorCode.BAD_KEY)
        with self.assertRaisesRegex(ValueError, "secret key must be 32 bytes, got 31"):
            messages.sign(bytes(31), b"m")
        with self.assertRaisesRegex(ValueError, "public key must be 33 bytes, got 32"):
            messages.verify(bytes(32), b"m", text)


class Bip322Test(unittest.TestCase):
    def test_published_simple_signatures_verify(self):
        vectors = [v for v in bip322_vectors()["simple"] if v["type"] in ("p2wpkh", "p2tr")]
        self.assertEqual(len(vectors), 3)
        for v in vectors:
            for sig in v["bip322_signatures"]:
                self.assertTrue(messages.simple_verify(v["address"], v["message"], sig), v)
                other = sig[3:] if sig.startswith("smp") else "smp" + sig  # with and without the prefix
                self.assertTrue(messages.simple_verify(v["address"], v["message"], other), v)
                self.assertFalse(messages.simple_verify(v["address"], v["message"] + "x", sig), v)
            key = PrivateKey.from_wif(v["private_keys"][0])
            address = (bitcoin.p2wpkh(key.public_key) if v["type"] == "p2wpkh"
                       else bitcoin.p2tr(key.x_only_public_key.taproot_tweak()[0]))
            self.assertEqual(address, v["address"])
            mine = messages.simple_sign(key, v["message"], v["type"])
            self.assertTrue(messages.simple_verify(v["address"], v["message"], mine))
            if v["type"] == "p2wpkh":  # RFC 6979: the same signature as the published one
                self.assertIn(mine, [s[3:] if s.startswith("smp") else s for s in v["bip322_signatures"]])

    def test_other_address_types_are_refused(self):
        v = next(v for v in bip322_vectors()["simple"] if v["type"] not in ("p2wpkh", "p2tr"))
        with self.assertRaises(QorvexError) as cm:
            messages.simple_verify(v["address"], v["message"], v["bip322_signatures"][0])
        self.assertEqual((cm.exception.code, cm.exception.message),
                         (ErrorCode.BAD_INPUT, "BIP-322 simple signatures need a P2WPKH or P2TR address"))

    def test_published_errors(self):
        for v in bip322_vectors()["error"]:
            try:
                ok = messages.simple_verify(v["address"], v["message"], v["signature"])
            except QorvexError as e:
                self.assertEqual(e.code, ErrorCode.BAD_INPUT, v)
                continue
            self.assertFalse(ok, v)
        with self.assertRaises(QorvexError) as cm:
            messages.simple_verify("bc1qnotanaddress", b"", "AA==")
        self.assertEqual((cm.exception.code, cm.exception.message), (ErrorCode.BAD_INPUT, "invalid address"))

    def test_taproot_simple_signature(self):
        key = PrivateKey(support.key(0xB1B))
        output, _parity = key.x_only_public_key.taproot_tweak()
        address = bitcoin.p2tr(output)
        sig = messages.simple_sign(key, "Hello World", "p2tr", aux32=bytes(range(32)))
        self.assertTrue(messages.simple_verify(address, "Hello World", sig))
        self.assertEqual(messages.simple_sign(key, "x", messages.P2TR), messages.simple_sign(key, "x", "p2tr"))
        with self.assertRaisesRegex(ValueError, "aux32 must be 32 bytes"):
            messages.simple_sign(key, "x", "p2tr", aux32=bytes(31))
        with self.assertRaisesRegex(ValueError, "addr_type must be 'p2wpkh' or 'p2tr'"):
            messages.simple_sign(key, "x", "p2pkh")

    def test_simplified_form_signs_the_tagged_hash(self):
        key = PrivateKey(support.key(77))
        for v in bip322_vectors()["tx_hashes"]:
            digest = hashes.tagged_hash("BIP0322-signed-message", v["message"].encode())
            self.assertEqual(digest, h(v["message_hash"]))
            sig = messages.bip322_sign(key, v["message"], "p2tr")
            self.assertEqual(sig, key.sign_schnorr(digest, bytes(32)))
            self.assertTrue(messages.bip322_verify(key.x_only_public_key, v["message"], sig, "p2tr"))
            sig = messages.bip322_sign(key, v["message"])
            self.assertEqual(sig, key.sign_ecdsa(digest) + b"\x01")
            self.assertTrue(messages.bip322_verify(key.public_key, v["message"], sig))
            self.assertFalse(messages.bip322_verify(key.public_key, v["message"] + "!", sig))
        with self.assertRaisesRegex(ValueError, "p2tr public key must be 32 bytes"):
            messages.bip322_verify(key.public_key, b"m", bytes(64), "p2tr")
        with self.assertRaises(QorvexError) as cm:
            messages.bip322_verify(b"\x02" + bytes(32), b"m", bytes(65))
        self.assertEqual(cm.exception.code, ErrorCode.BAD_PUBKEY)


class PsbtTest(unittest.TestCase):
    def test_partial_signatures(self):
        key = PrivateKey(support.key(0x5157))
        digest = hashes.sha256(b"an input's digest")
        for fn in (psbt.sign_legacy, psbt.sign_segwit):
            for sighash in (0x01, 0x83):
                sig = fn(digest, key, sighash)
                self.assertEqual(sig[-1], sighash)
                self.assertEqual(ecdsa.der_to_compact(sig[:-1]), key.sign_ecdsa(digest))
                self.assertLessEqual(len(sig), 73)
        self.assertEqual(psbt.sign_taproot(digest, key), key.sign_schnorr(digest, bytes(32)))
        self.assertEqual(psbt.sign_taproot(digest, key, 0x01, bytes(range(32))),
                         key.sign_schnorr(digest, bytes(range(32))) + b"\x01")
        with self.assertRaises(QorvexError) as cm:
            psbt.sign_segwit(digest, bytes(32))
        self.assertEqual((cm.exception.code, cm.exception.message), (ErrorCode.BAD_KEY, "privkey is zero or >= n"))
        with self.assertRaisesRegex(ValueError, "digest32 must be 32 bytes, got 33"):
            psbt.sign_legacy(digest + b"\x00", key)

    def test_derive_key(self):
        root = HDKey.from_seed(bytes(range(16)))
        path = "m/84'/0'/0'/0/3"
        self.assertEqual(psbt.derive_key(root, path), root.derive(path).private_key)
        with self.assertRaises(QorvexError) as cm:
            psbt.derive_key(root.public(), "m/0/1")
        self.assertEqual((cm.exception.code, cm.exception.message), (ErrorCode.BAD_KEY, "key is public, not private"))
        with self.assertRaises(TypeError):
            psbt.derive_key(root.record, path)


if __name__ == "__main__":
    unittest.main()
