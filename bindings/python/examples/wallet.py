#!/usr/bin/env python3
"""A small wallet from end to end: a mnemonic, BIP-84 and BIP-86 accounts, a
signed P2WPKH spend digest, a Taproot key-path signature, an encrypted note.

    python3 examples/wallet.py                      # a fresh random mnemonic
    python3 examples/wallet.py --mnemonic "abandon ... about"
"""

import argparse
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))

import qorvex  # noqa: E402
from qorvex import HDKey, Mnemonic, bitcoin, hashes, tx  # noqa: E402


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--mnemonic", help="an existing BIP-39 mnemonic (else a new one)")
    parser.add_argument("--passphrase", default="")
    args = parser.parse_args()

    # A short-lived program: small generator tables start in milliseconds.
    qorvex.configure(window_bits=8)

    words = Mnemonic(args.mnemonic) if args.mnemonic else Mnemonic.generate(12)
    with words.to_hd_key(args.passphrase) as root:
        print("fingerprint", root.fingerprint.hex())

        # BIP-84: native segwit, first receiving address and its xpub.
        account = root.derive("m/84'/0'/0'")
        print("bip84 xpub", account.xpub)
        receive = account.derive("m/0/0")  # "m" is the key derived from
        print("bip84 address", receive.address("p2wpkh"))
        # The watch-only side derives the same address from the xpub alone.
        watch = HDKey.from_text(account.xpub).derive("m/0/0")
        assert watch.address("p2wpkh") == receive.address("p2wpkh")

        # Spend a 50,000 sat output of that address: the BIP-143 digest.
        key = receive.private_key
        pub = key.public_key
        prevout = hashes.sha256(b"funding transaction")
        outpoint = prevout + (0).to_bytes(4, "little")
        sequence = (0xFFFFFFFF).to_bytes(4, "little")
        dest = bitcoin.p2wpkh_script_pubkey(hashes.hash160(pub.format()))
        output = (49_000).to_bytes(8, "little") + bytes([len(dest)]) + dest
        digest = tx.bip143_sighash(
            version=2, hash_prevouts=hashes.sha256(hashes.sha256(outpoint)),
            hash_sequence=hashes.sha256(hashes.sha256(sequence)), outpoint_txid=prevout,
            outpoint_vout=0, script_code=tx.p2wpkh_script_code(hashes.hash160(pub.format())),
            amount=50_000, sequence=0xFFFFFFFF, hash_outputs=hashes.sha256(hashes.sha256(output)),
            lock_time=0, sighash_type=tx.SIGHASH_ALL)
        signature = key.sign_ecdsa(digest)
        assert pub.verify(signature, digest)
        print("p2wpkh input signature", qorvex.ecdsa.compact_to_der(signature).hex() + "01")

        # BIP-86: a Taproot key-path account.
        taproot_key = root.derive("m/86'/0'/0'/0/0")
        print("bip86 address", taproot_key.address("p2tr"))
        output_key, _parity = taproot_key.public_key.x_only()[0].taproot_tweak()
        signer = taproot_key.private_key.taproot_tweak()
        message = hashes.tagged_hash("TapSighash", b"example")
        schnorr = signer.sign_schnorr(message)
        assert output_key.verify(schnorr, message)
        print("taproot signature verifies", output_key.verify(schnorr, message))

        # A note only this wallet can read.
        envelope = pub.encrypt(b"backup reminder")
        assert key.decrypt(envelope) == b"backup reminder"
        print("encrypted note bytes", len(envelope))
        key.wipe()
        signer.wipe()
    words.wipe()


if __name__ == "__main__":
    main()
