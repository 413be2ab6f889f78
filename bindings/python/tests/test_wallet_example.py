"""The end-to-end wallet script, run as a user would run it."""

import os
import subprocess
import sys
import unittest

import support

SCRIPT = os.path.join(support.PACKAGE_ROOT, "examples", "wallet.py")
MNEMONIC = "abandon " * 11 + "about"


class WalletScriptTest(unittest.TestCase):
    def run_script(self, *args):
        r = subprocess.run([sys.executable, SCRIPT, *args], env=support.subprocess_env(SECP256K1_WINDOW_BITS=None),
                           capture_output=True, text=True, timeout=120)
        self.assertEqual(r.returncode, 0, r.stderr)
        return dict(line.rsplit(" ", 1) for line in r.stdout.strip().split("\n"))

    def test_known_mnemonic(self):
        out = self.run_script("--mnemonic", MNEMONIC)
        # BIP-84 and BIP-86 publish these for the "abandon ... about" wallet.
        self.assertEqual(out["bip84 address"], "bc1qcr8te4kr609gcawutmrza0j4xv80jy8z306fyu")
        self.assertEqual(out["bip84 xpub"], "xpub6CatWdiZiodmUeTDp8LT5or8nmbKNcuyvz7WyksVFkKB4RHwCD3XyuvPEbvqAQY3rAPshWcMLoP2fMFMKHPJ4ZeZXYVUhLv1VMrjPC7PW6V")
        self.assertEqual(out["bip86 address"], "bc1p5cyxnuxmeuwuvkwfem96lqzszd02n6xdcjrs20cac6yqjjwudpxqkedrcr")
        self.assertEqual(out["fingerprint"], "73c5da0a")
        self.assertEqual(out["taproot signature verifies"], "True")
        self.assertEqual(out["encrypted note bytes"], "96")
        self.assertTrue(out["p2wpkh input signature"].startswith("30"))

    def test_fresh_wallet(self):
        out = self.run_script()
        self.assertTrue(out["bip84 address"].startswith("bc1q"))
        self.assertTrue(out["bip86 address"].startswith("bc1p"))


if __name__ == "__main__":
    unittest.main()
