"""Addresses, WIF, segwit scripts, hashes and transaction helpers."""

import ctypes
import unittest
from unittest import mock

import support
from support import h, key
from qorvex import HDKey, PrivateKey, PublicKey, QorvexError, bitcoin, hashes, tx

G = h("0279be667ef9dcbbac55a06295ce870b07029bfcdb2dce28d959f2815b16f81798")
NOT_ON_CURVE = b"\x02" + bytes(31) + b"\x05"


class LibraryError:
    def assertFails(self, code, message, fn, *args, **kwargs):
        with self.assertRaises(QorvexError) as cm:
            fn(*args, **kwargs)
        self.assertEqual((cm.exception.code, cm.exception.message), (code, message))


class AddressTest(LibraryError, unittest.TestCase):
    def test_key_addresses(self):
        g = PublicKey(G)
        self.assertEqual(g.p2pkh(), "1BgGZ9tcN4rm9KBzDn7KprQz87SZ26SAMH")
        self.assertEqual(bitcoin.p2pkh(G, "testnet"), "mrCDrCybB6J1vRfbwM5hemdJz73FwDBC8r")
        self.assertEqual(g.p2wpkh(), "bc1qw508d6qejxtdg4y5r3zarvary0c5xw7kv8f3t4")
        self.assertEqual(g.p2wpkh(1), "tb1qw508d6qejxtdg4y5r3zarvary0c5xw7kxpjzsx")
        self.assertEqual(g.p2sh_p2wpkh(), "3JvL6Ymt8MVWiCNHC7oWU6nLeHNJKLZGLN")
        self.assertEqual(bitcoin.p2sh(b"\x00\x14" + hashes.hash160(G)), g.p2sh_p2wpkh())
        self.assertEqual(bitcoin.p2sh(b"", 1)[0], "2")
        self.assertFails(3, "invalid pubkey", bitcoin.p2wpkh, NOT_ON_CURVE)
        self.assertFails(3, "invalid pubkey", bitcoin.p2pkh, NOT_ON_CURVE)
        self.assertFails(3, "invalid pubkey", bitcoin.p2sh_p2wpkh, NOT_ON_CURVE)
        with self.assertRaisesRegex(ValueError, "network must be between 0 and 1, got 2"):
            bitcoin.p2wpkh(G, 2)
        with self.assertRaises(ValueError):
            bitcoin.p2wpkh(G[:-1])

    def test_p2tr(self):
        x = PublicKey(G).x_only()[0]
        self.assertEqual(x.p2tr(), "bc1p0xlxvlhemja6c4dqv22uapctqupfhlxm9h8z3k2e72q4k9hcz7vqzk5jj0")
        self.assertEqual(bitcoin.p2tr(bytes(x)), x.p2tr())
        self.assertFails(3, "zero x-only key", bitcoin.p2tr, bytes(32))

    def test_wif(self):
        k = PrivateKey(key(1))
        self.assertEqual(k.to_wif(), "KwDiBf89QgGbjEhKnhXJuH7LrciVrZi3qYjgd9M7rFU73sVHnoWn")
        self.assertEqual(k.to_wif(compressed=False), "5HpHagT65TZzG1PH3CSu63k8DbpvD8s5ip4nEB3kEsreAnchuDf")
        testnet = k.to_wif(network="testnet")
        back, compressed, network = bitcoin.wif_decode(testnet)
        self.assertEqual((back, compressed, network), (k, True, 1))
        self.assertEqual(PrivateKey.from_wif(k.to_wif(compressed=False)), k)
        self.assertFails(5, "invalid WIF string", bitcoin.wif_decode, "KwDiBf89QgGbjEhKnhXJuH7LrciVrZi3qYjgd9M7rFU73sVHnoWm")
        self.assertFails(2, "privkey is zero or >= n", bitcoin.wif_encode, bytes(32))
        with self.assertRaises(ValueError):
            bitcoin.wif_decode("a\0b")

    def test_secret_texts_leave_no_copy_in_their_buffers(self):
        hd = HDKey.from_seed(bytes(range(16)))
        made = []

        def buffer(size, real=ctypes.create_string_buffer):
            made.append(real(size))
            return made[-1]
        with mock.patch.object(ctypes, "create_string_buffer", buffer):
            wif = PrivateKey(key(1)).to_wif()
            xprv = hd.xprv
        self.assertEqual((wif[0], xprv[:4], len(made)), ("K", "xprv", 2))
        self.assertEqual([b.raw.strip(b"\0") for b in made], [b""] * 2)

    def test_secret_texts_are_read_from_a_wipeable_bytearray(self):
        hd = HDKey.from_seed(bytes(range(16)))
        wif, xprv = bytearray(PrivateKey(key(1)).to_wif().encode()), bytearray(hd.xprv.encode())
        self.assertEqual(bitcoin.wif_decode(wif), (PrivateKey(key(1)), True, 0))
        self.assertEqual(PrivateKey.from_wif(wif), PrivateKey(key(1)))
        self.assertEqual(HDKey.from_text(xprv), hd)


class SegwitTest(LibraryError, unittest.TestCase):
    def test_scripts(self):
        h20, h32 = bytes(range(20)), bytes(range(32))
        self.assertEqual(bitcoin.p2wpkh_script_pubkey(h20), b"\x00\x14" + h20)
        self.assertEqual(bitcoin.p2wsh_script_pubkey(h32), b"\x00\x20" + h32)
        self.assertEqual(bitcoin.p2tr_script_pubkey(h32), b"\x51\x20" + h32)
        self.assertEqual(bitcoin.witness_script_hash(b"\x51"), hashes.sha256(b"\x51"))
        self.assertEqual(bitcoin.witness_script_hash(b""), hashes.sha256(b""))
        self.assertTrue(bitcoin.is_witness_program(b"\x00\x14" + h20))
        self.assertFalse(bitcoin.is_witness_program(b"\x00\x14" + h20[:-1]))
        self.assertEqual(bitcoin.parse_witness_program(b"\x51\x20" + h32), (1, h32))
        self.assertFails(5, "malformed input", bitcoin.parse_witness_program, b"\x6a")
        with self.assertRaises(ValueError):
            bitcoin.p2wsh_script_pubkey(h20)


class HashTest(unittest.TestCase):
    def test_known_answers(self):
        self.assertEqual(hashes.sha256(b"abc").hex(),
                         "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad")
        self.assertEqual(hashes.sha512(b"abc")[:8].hex(), "ddaf35a193617aba")
        self.assertEqual(hashes.keccak256(b"").hex(),
                         "c5d2460186f7233c927e7db2dcc703c0e500b653ca82273b7bfad8045d85a470")
        self.assertEqual(hashes.hash160(G).hex(), "751e76e8199196d454941c45d1b3a323f1433bd6")
        tag = hashes.sha256(b"BIP0340/challenge")
        self.assertEqual(hashes.tagged_hash("BIP0340/challenge", b"x"), hashes.sha256(tag + tag + b"x"))
        self.assertEqual(hashes.sha256(bytearray(b"abc")), hashes.sha256(b"abc"))
        with self.assertRaises(ValueError):
            hashes.tagged_hash("a\0b", b"")
        with self.assertRaises(TypeError):
            hashes.sha256("abc")


class TxHelperTest(LibraryError, unittest.TestCase):
    def test_small_helpers(self):
        kh = bytes(range(20))
        self.assertEqual(tx.p2wpkh_script_code(kh), b"\x76\xa9\x14" + kh + b"\x88\xac")
        root, reserved = bytes(range(32)), bytes(32)
        self.assertEqual(tx.witness_commitment(root, reserved),
                         hashes.sha256(hashes.sha256(root + reserved)))
        self.assertFails(5, "malformed input", tx.txid, b"\x01\x00\x00\x00")
        self.assertFails(5, "malformed input", tx.wtxid, b"")

    def test_tapscript_sighash_differs_from_key_path(self):
        inputs = [(bytes(32), 0, 0xffffffff, 1000, b"\x51\x20" + bytes(range(32)))]
        outputs = [(900, b"\x00\x14" + bytes(20))]
        common = dict(version=2, lock_time=0, inputs=inputs, outputs=outputs, input_index=0)
        key_path = tx.taproot_keypath_sighash(**common)
        leaf = hashes.tagged_hash("TapLeaf", b"\xc0\x01\x51")
        script_path = tx.tapscript_sighash(tapleaf_hash=leaf, **common)
        self.assertNotEqual(key_path, script_path)
        self.assertEqual(tx.tapscript_sighash(tapleaf_hash=leaf, **common), script_path)
        self.assertNotEqual(tx.taproot_keypath_sighash(annex=b"\x50\x00", **common), key_path)
        self.assertEqual(tx.taproot_keypath_sighash(lock_time=0xffffffff, **{k: v for k, v in common.items()
                                                                                if k != "lock_time"}),
                         tx.taproot_keypath_sighash(lock_time=-1, **{k: v for k, v in common.items()
                                                                       if k != "lock_time"}))
        self.assertFails(5, "SIGHASH_SINGLE without a matching output", tx.taproot_keypath_sighash,
                         version=2, lock_time=0, inputs=inputs * 2, outputs=outputs, input_index=1,
                         hash_type=3)


if __name__ == "__main__":
    unittest.main()
