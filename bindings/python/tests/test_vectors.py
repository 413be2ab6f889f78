"""Published vectors through the Python layer: BIP-340, BIP-32, BIP-39,
BIP-85, BIP-86, BIP-143 and BIP-341."""

import csv
import json
import unittest

import support
from support import h
from qorvex import HDKey, Mnemonic, PrivateKey, QorvexError, XOnlyPublicKey, bitcoin, taproot, tx


def load_json(*parts):
    with open(support.vector_path(*parts)) as f:
        return json.load(f)


class Bip340Test(unittest.TestCase):
    def test_vectors(self):
        with open(support.vector_path("bip340", "test-vectors.csv"), newline="") as f:
            rows = list(csv.DictReader(f))
        self.assertEqual(len(rows), 19)
        checked = 0
        for row in rows:
            with self.subTest(index=row["index"]):
                msg = h(row["message"])
                pub, sig = h(row["public key"]), h(row["signature"])
                expected = row["verification result"] == "TRUE"
                if row["secret key"]:
                    key = PrivateKey(h(row["secret key"]))
                    self.assertEqual(key.x_only_public_key.format(), pub)
                    if len(msg) == 32:
                        self.assertEqual(key.sign_schnorr(msg, h(row["aux_rand"])), sig)
                if len(msg) != 32:
                    # The library signs 32-byte messages (or their "BIP0340/msg"
                    # hash), not the raw messages of rows 15 to 18.
                    continue
                try:
                    x = XOnlyPublicKey(pub)
                except QorvexError as e:
                    self.assertFalse(expected)
                    self.assertEqual(e.code, 3)
                else:
                    self.assertEqual(x.verify(sig, msg), expected)
                checked += 1
        self.assertEqual(checked, 15)


class Bip32Test(unittest.TestCase):
    def test_valid_chains(self):
        data = load_json("bip32", "bip32_vectors.json")
        for vector in data["valid"]:
            master = HDKey.from_seed(h(vector["seed"]))
            for chain in vector["chains"]:
                with self.subTest(vector=vector["vector"], chain=chain["chain"]):
                    path = chain["chain"].replace("H", "'")
                    key = master.derive(path)
                    self.assertEqual(key.xprv, chain["ext_prv"])
                    self.assertEqual(key.xpub, chain["ext_pub"])
                    step = master
                    for index in chain["indices"]:
                        step = step.derive(index)
                    self.assertEqual(step, key)
                    self.assertEqual(HDKey.from_text(chain["ext_prv"]), key)
                    pub = HDKey.from_text(chain["ext_pub"])
                    self.assertFalse(pub.is_private)
                    self.assertEqual(pub, key.public())
                    self.assertEqual(pub.public_key, key.public_key)
                    self.assertEqual(key.depth, len(chain["indices"]))
                    if chain["indices"]:
                        self.assertEqual(key.child_number, chain["indices"][-1])
                    unhardened = [i for i in chain["indices"] if i < 2**31]
                    if len(unhardened) == len(chain["indices"]) and chain["indices"]:
                        # all-normal paths derive from the xpub too
                        self.assertEqual(master.public().derive(path).xpub, chain["ext_pub"])

    def test_invalid_keys(self):
        data = load_json("bip32", "bip32_vectors.json")
        self.assertGreater(len(data["invalid"]), 10)
        for case in data["invalid"]:
            with self.subTest(reason=case["reason"]):
                with self.assertRaises(QorvexError) as cm:
                    HDKey.from_text(case["ext_key"])
                self.assertIn(cm.exception.code, (2, 3, 5))

    def test_fields_and_errors(self):
        master = HDKey.from_seed(bytes(range(16)))
        child = master.derive("m/0'")
        self.assertEqual(child.parent_fingerprint, master.fingerprint)
        self.assertEqual(child.child_number, 2**31)
        self.assertEqual(len(child.chain_code), 32)
        self.assertEqual(len(child.record), 82)
        self.assertEqual(HDKey(child.record), child)
        with self.assertRaises(QorvexError) as cm:
            master.derive("m/0'/")
        self.assertEqual((cm.exception.code, cm.exception.message), (5, "invalid BIP-32 path"))
        with self.assertRaises(QorvexError) as cm:
            master.public().derive(2**31)
        self.assertEqual((cm.exception.code, cm.exception.message), (9, "BIP-32 derivation failed"))
        with self.assertRaises(QorvexError) as cm:
            master.public().private_key
        self.assertEqual((cm.exception.code, cm.exception.message), (2, "key is public, not private"))
        with self.assertRaises(QorvexError) as cm:
            HDKey(child.record[:78] + b"\x02" + bytes(3))
        self.assertEqual((cm.exception.code, cm.exception.message), (5, "invalid BIP-32 key kind"))
        with self.assertRaises(ValueError):
            HDKey.from_seed(bytes(15))
        with self.assertRaises(ValueError):
            master.public().xprv
        with self.assertRaises(QorvexError) as cm:
            HDKey.from_text("xprv")
        self.assertEqual((cm.exception.code, cm.exception.message), (5, "invalid extended key text"))


class Bip39Test(unittest.TestCase):
    def test_english_vectors(self):
        data = load_json("bip39", "vectors.json")["english"]
        self.assertEqual(len(data), 24)
        for entropy, phrase, seed, xprv in data:
            with self.subTest(phrase=phrase[:30]):
                m = Mnemonic.from_entropy(h(entropy))
                self.assertEqual(m.phrase, phrase)
                self.assertEqual(Mnemonic(phrase).entropy, h(entropy))
                self.assertEqual(m.to_seed("TREZOR"), h(seed))
                self.assertEqual(m.to_hd_key("TREZOR").xprv, xprv)

    def test_invalid_mnemonics(self):
        good = "abandon " * 11 + "about"
        self.assertTrue(Mnemonic.is_valid(good))
        self.assertTrue(Mnemonic.is_valid(bytearray(good.encode())))
        for bad in ("abandon " * 12, "abandon " * 11 + "zzz", "", "Abandon " + "abandon " * 10 + "about"):
            self.assertFalse(Mnemonic.is_valid(bad))
            with self.assertRaises(QorvexError) as cm:
                Mnemonic(bad)
            self.assertEqual((cm.exception.code, cm.exception.message), (5, "invalid mnemonic"))
        with self.assertRaises(QorvexError) as cm:
            Mnemonic.from_entropy(bytes(17))
        self.assertEqual((cm.exception.code, cm.exception.message), (5, "entropy must be 16/20/24/28/32"))

    def test_a_nul_is_refused_from_every_kind_of_text(self):
        good = "abandon " * 11 + "about"
        for text in (good + "\0", (good + "\0").encode(), bytearray((good + "\0").encode()),
                     memoryview(bytearray((good + "\0").encode()))):
            with self.assertRaisesRegex(ValueError, "must not contain a NUL"):
                Mnemonic(text)
        self.assertEqual(repr(Mnemonic(bytearray(good.encode()))), "Mnemonic(<12 words>)")

    def test_generate(self):
        for words in (12, 15, 18, 21, 24):
            m = Mnemonic.generate(words)
            self.assertEqual(len(m.words), words)
            self.assertEqual(Mnemonic(m.phrase).entropy, m.entropy)
        with self.assertRaises(ValueError):
            Mnemonic.generate(13)
        m = Mnemonic.generate()
        m.wipe()
        self.assertEqual(m.phrase, "")


class Bip85Test(unittest.TestCase):
    def test_vectors(self):
        cases = load_json("bip85", "bip85_vectors.json")["cases"]
        done = 0
        for case in cases:
            master = HDKey.from_text(case["master_xprv"])
            with self.subTest(path=case["path"]):
                if "derived_key" in case:
                    self.assertEqual(master.derive(case["path"]).private_key.secret, h(case["derived_key"]))
                if "derived_bip39_mnemonic" in case:
                    words = int(case["path"].split("/")[4].rstrip("'"))
                    self.assertEqual(master.bip85_mnemonic(words, 0).phrase, case["derived_bip39_mnemonic"])
                    done += 1
                entropy = h(case["derived_entropy"])
                if "derived_xprv" not in case:
                    n = min(32, len(entropy))
                    self.assertEqual(master.bip85_entropy(case["path"], n), entropy[:n])
                    done += 1
        self.assertGreater(done, 8)
        with self.assertRaises(QorvexError) as cm:
            master.bip85_mnemonic(13, 0)
        self.assertEqual((cm.exception.code, cm.exception.message), (5, "words must be 12, 18, or 24"))
        with self.assertRaises(QorvexError) as cm:
            master.public().bip85_entropy("m/83696968'/0'/0'", 32)
        self.assertEqual((cm.exception.code, cm.exception.message), (2, "BIP-85 requires xprv (private key)"))


class Bip86Test(unittest.TestCase):
    def test_vectors(self):
        data = load_json("bip86", "bip86_vectors.json")
        root = Mnemonic(data["mnemonic"]).to_hd_key(data["passphrase"])
        self.assertEqual(root.xprv, data["rootpriv"])
        self.assertEqual(root.xpub, data["rootpub"])
        account = root.derive(data["account"]["path"])
        self.assertEqual((account.xprv, account.xpub), (data["account"]["xprv"], data["account"]["xpub"]))
        for a in data["addresses"]:
            with self.subTest(path=a["path"]):
                key = root.derive(a["path"])
                self.assertEqual(key.xpub, a["xpub"])
                internal, _ = key.public_key.x_only()
                self.assertEqual(internal.format(), h(a["internal_key"]))
                output, parity = internal.taproot_tweak()
                self.assertEqual(output.format(), h(a["output_key"]))
                self.assertTrue(taproot.verify_commitment(output, parity, internal))
                self.assertFalse(taproot.verify_commitment(output, 1 - parity, internal))
                self.assertEqual(bitcoin.p2tr_script_pubkey(output), h(a["scriptPubKey"]))
                self.assertEqual(key.address("p2tr"), a["address"])
                tweaked = key.private_key.taproot_tweak()
                self.assertEqual(tweaked.x_only_public_key, output)


def parse_unsigned_tx(raw):
    """(version, inputs [(txid, vout, sequence)], outputs [(amount, script)],
    lock_time) of a transaction without witnesses (test helper)."""
    pos = 0

    def take(n):
        nonlocal pos
        out = raw[pos:pos + n]
        pos += n
        return out

    def varint():
        first = take(1)[0]
        if first < 0xfd:
            return first
        return int.from_bytes(take({0xfd: 2, 0xfe: 4, 0xff: 8}[first]), "little")

    version = int.from_bytes(take(4), "little")
    inputs = []
    for _ in range(varint()):
        txid, vout = take(32), int.from_bytes(take(4), "little")
        take(varint())
        inputs.append((txid, vout, int.from_bytes(take(4), "little")))
    outputs = []
    for _ in range(varint()):
        amount = int.from_bytes(take(8), "little")
        outputs.append((amount, take(varint())))
    lock_time = int.from_bytes(take(4), "little")
    assert pos == len(raw)
    return version, inputs, outputs, lock_time


class Bip341Test(unittest.TestCase):
    def setUp(self):
        self.data = load_json("bip341", "wallet-test-vectors.json")

    def test_script_pubkeys(self):
        for case in self.data["scriptPubKey"]:
            with self.subTest(key=case["given"]["internalPubkey"][:16]):
                internal = XOnlyPublicKey(h(case["given"]["internalPubkey"]))
                root = case["intermediary"]["merkleRoot"]
                output, parity = taproot.output_key(internal, h(root) if root else None)
                self.assertEqual(output.format(), h(case["intermediary"]["tweakedPubkey"]))
                self.assertTrue(taproot.verify_commitment(output, parity, internal, h(root) if root else b""))
                self.assertEqual(bitcoin.p2tr(output), case["expected"]["bip350Address"])

    def test_key_path_spending(self):
        spend = self.data["keyPathSpending"][0]
        version, txins, txouts, lock_time = parse_unsigned_tx(h(spend["given"]["rawUnsignedTx"]))
        utxos = spend["given"]["utxosSpent"]
        inputs = [(t, v, s, u["amountSats"], h(u["scriptPubKey"])) for (t, v, s), u in zip(txins, utxos)]
        self.assertEqual(len(spend["inputSpending"]), 7)
        for case in spend["inputSpending"]:
            given = case["given"]
            with self.subTest(input=given["txinIndex"]):
                digest = tx.taproot_keypath_sighash(version=version, lock_time=lock_time, inputs=inputs,
                                                    outputs=txouts, input_index=given["txinIndex"],
                                                    hash_type=given["hashType"])
                self.assertEqual(digest, h(case["intermediary"]["sigHash"]))
                root = given["merkleRoot"]
                key = PrivateKey(h(given["internalPrivkey"])).taproot_tweak(h(root) if root else None)
                self.assertEqual(key.secret, h(case["intermediary"]["tweakedPrivkey"]))
                sig = key.sign_schnorr(digest, bytes(32))
                witness = h(case["expected"]["witness"][0])
                self.assertEqual(sig, witness[:64])
        with self.assertRaises(ValueError):
            tx.taproot_keypath_sighash(version=2, lock_time=0, inputs=inputs, outputs=txouts, input_index=9)
        with self.assertRaises(QorvexError) as cm:
            tx.taproot_keypath_sighash(version=2, lock_time=0, inputs=inputs, outputs=txouts, input_index=0,
                                       hash_type=4)
        self.assertEqual((cm.exception.code, cm.exception.message), (5, "invalid taproot hash type"))


class Bip143Test(unittest.TestCase):
    def test_sighash_cases(self):
        examples = load_json("bip143", "bip143_vectors.json")["examples"]
        count = 0
        for example in examples:
            for case in example["sighash_cases"]:
                if "scriptCode" not in case:
                    continue  # printed without its preimage components
                with self.subTest(example=example["name"], input=case["input_index"]):
                    code = h(case["scriptCode"])
                    self.assertLess(code[0], 0xfd)
                    digest = tx.bip143_sighash(
                        version=int.from_bytes(h(case["nVersion"]), "little"),
                        hash_prevouts=h(case["hashPrevouts"]), hash_sequence=h(case["hashSequence"]),
                        outpoint_txid=h(case["outpoint"])[:32],
                        outpoint_vout=int.from_bytes(h(case["outpoint"])[32:], "little"),
                        script_code=code[1:], amount=int.from_bytes(h(case["amount"]), "little"),
                        sequence=int.from_bytes(h(case["nSequence"]), "little"),
                        hash_outputs=h(case["hashOutputs"]),
                        lock_time=int.from_bytes(h(case["nLockTime"]), "little"),
                        sighash_type=int.from_bytes(h(case["nHashType"]), "little"))
                    self.assertEqual(digest, h(case["sigHash"]))
                    count += 1
            if "signed_tx" not in example:
                continue
            signed = h(example["signed_tx"])
            unsigned = h(example["unsigned_tx"])
            self.assertEqual(tx.wtxid(unsigned), tx.txid(unsigned))
            self.assertNotEqual(tx.wtxid(signed), tx.txid(signed))
        self.assertGreaterEqual(count, 5)


if __name__ == "__main__":
    unittest.main()
