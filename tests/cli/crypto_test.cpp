// ecdh, encrypt, decrypt and commit, run as a user would run them.
#include <sys/stat.h>

#include "cli/cli_helpers.h"
#include "support/vectors.h"

namespace qorvex::test {
namespace {

const std::string kAlice = "00000000000000000000000000000000000000000000000000000000000a11ce";
const std::string kBob = "0000000000000000000000000000000000000000000000000000000000000b0b";
const auto npos = std::string::npos;

class CliCrypto : public CliTest {
protected:
    std::string pub(const std::string& key_path) const {
        return run_json({"pubkey", "--key-file", key_path})["compressed"].str();
    }
};

TEST_F(CliCrypto, EcdhBothSidesAgreeAndTheSecretIsNeverPrintedUnasked) {
    const std::string a = key_file(kAlice, "a.key"), b = key_file(kBob, "b.key");
    const std::string pa = pub(a), pb = pub(b);
    for (const std::string form : {"hashed", "xonly", "raw"}) {
        SCOPED_TRACE(form);
        const Json ab = run_json({"ecdh", "--key-file", a, "--pubkey", pb, "--form", form, "--show-secret"});
        const Json ba = run_json({"ecdh", "--key-file", b, "--pubkey", pa, "--form", form, "--show-secret"});
        EXPECT_EQ(ab["secret"].str(), ba["secret"].str());
        EXPECT_EQ(ab["secret"].str().size(), 64u);
    }
    // raw is x(S) for S = 0xa11ce * 0xb0b G; the default form hashes S.
    const Json raw = run_json({"ecdh", "--key-file", a, "--pubkey", pb, "--form", "raw", "--show-secret"});
    const Json hashed = run_json({"ecdh", "--key-file", a, "--pubkey", pb, "--show-secret"});
    EXPECT_EQ(hashed["form"].str(), "hashed");
    EXPECT_NE(raw["secret"].str(), hashed["secret"].str());

    // Saved to a private file, and not printed.
    const std::string out = dir / "ab.secret";
    const CliResult saved = run({"ecdh", "--key-file", a, "--pubkey", pb, "--out", out});
    ASSERT_EQ(saved.status, 0) << saved.dump();
    EXPECT_EQ(slurp(out), hashed["secret"].str() + "\n");
    EXPECT_EQ(saved.out.find(hashed["secret"].str()), npos);
    struct stat st {};
    ASSERT_EQ(::stat(out.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    const CliResult refused = run({"ecdh", "--key-file", a, "--pubkey", pb});
    EXPECT_EQ(refused.status, 2) << refused.dump();
    EXPECT_EQ(run({"ecdh", "--key-file", a, "--pubkey", pb, "--form", "sha3", "--show-secret"}).status, 2);
    // An invalid peer key: the library refuses it (exit 3).
    const CliResult bad = run({"ecdh", "--key-file", a, "--pubkey", "02" + std::string(64, 'f'), "--show-secret"});
    EXPECT_EQ(bad.status, 3) << bad.dump();
}

TEST_F(CliCrypto, EncryptDecryptRoundTripsInBinaryAndHex) {
    const std::string b = key_file(kBob, "b.key"), a = key_file(kAlice, "a.key");
    const std::string pb = pub(b);
    std::string data;
    for (int i = 0; i < 5000; ++i) data += static_cast<char>(i * 7);
    write_file(dir / "plain.bin", data);

    const CliResult enc = run({"encrypt", "--to", pb, "--in", dir / "plain.bin", "--out", dir / "env.bin"});
    ASSERT_EQ(enc.status, 0) << enc.dump();
    EXPECT_EQ(slurp(dir / "env.bin").size(), data.size() + 81);
    const CliResult dec = run({"decrypt", "--key-file", b, "--in", dir / "env.bin", "--out", dir / "back.bin"});
    ASSERT_EQ(dec.status, 0) << dec.dump();
    EXPECT_EQ(slurp(dir / "back.bin"), data);

    // Hex through pipes; decrypt recognises hex by itself.
    const CliResult hex = run({"encrypt", "--to", pb, "--hex"}, "meet at noon\n");
    ASSERT_EQ(hex.status, 0) << hex.dump();
    EXPECT_EQ(hex.out.size(), 2 * (13 + 81) + 1);
    const CliResult plain = run({"decrypt", "--key-file", b}, hex.out);
    ASSERT_EQ(plain.status, 0) << plain.dump();
    EXPECT_EQ(plain.out, "meet at noon\n");

    // --json carries the envelope and the plaintext as hex.
    const Json j = run_json({"encrypt", "--to", pb}, "x");
    EXPECT_EQ(j["envelope_length"].integer(), 82);
    const Json k = run_json({"decrypt", "--key-file", b}, j["envelope"].str());
    EXPECT_EQ(k["plaintext"].str(), "78");
    EXPECT_TRUE(k["valid"].boolean());

    // The wrong key or a changed envelope: exit 1, nothing written.
    const CliResult wrong = run({"decrypt", "--key-file", a, "--in", dir / "env.bin", "--out", dir / "no.bin"});
    EXPECT_EQ(wrong.status, 1) << wrong.dump();
    EXPECT_NE(wrong.err.find("ECIES decryption failed"), npos) << wrong.err;
    EXPECT_FALSE(std::ifstream(dir / "no.bin").good());
    std::string env = slurp(dir / "env.bin");
    env[100] ^= 1;
    write_file(dir / "bad.bin", env);
    const CliResult tampered = run({"decrypt", "--key-file", b, "--in", dir / "bad.bin", "--json"});
    EXPECT_EQ(tampered.status, 1) << tampered.dump();
    EXPECT_FALSE(tampered.json()["valid"].boolean());
}

TEST_F(CliCrypto, EncryptDecryptUsageErrors) {
    const std::string b = key_file(kBob, "b.key");
    const std::string pb = pub(b);
    EXPECT_EQ(run({"encrypt", "--hex"}, "x").status, 2);                       // no --to
    EXPECT_EQ(run({"encrypt", "--to", pb, "--hex"}, "").status, 2);            // empty input
    EXPECT_EQ(run({"encrypt", "--to", "02abcd", "--hex"}, "x").status, 2);     // not a key's length
    EXPECT_EQ(run({"decrypt", "--key-file", b}, "0203").status, 2);            // too short
    EXPECT_EQ(run({"decrypt", "--key-file", "-"}, kBob).status, 2);            // stdin taken by the key
    EXPECT_EQ(run({"decrypt", "--key-file", b, "--hex"}, std::string(90, 'z')).status, 2);
}

TEST_F(CliCrypto, CommitMakesAndChecksCommitments) {
    // value 1 with blinding 0 is H itself.
    const std::string zero = key_file(std::string(64, '0'), "zero.blind");
    const Json h = run_json({"commit", "--value", "1", "--blinding-file", zero});
    EXPECT_EQ(h["commitment"].str(), "0211a7d308481858bae0d13b4ea865f68d19f85d93708fd04212d8892ae2d26106");

    const std::string blind = dir / "pay.blind";
    const Json made = run_json({"commit", "--value", "5000", "--random-blinding", "--blinding-out", blind});
    const std::string c = made["commitment"].str();
    EXPECT_FALSE(made.has("blinding"));
    struct stat st {};
    ASSERT_EQ(::stat(blind.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(run_json({"commit", "--value", "5000", "--blinding-file", blind})["commitment"].str(), c);
    EXPECT_EQ(run_json({"commit", "--value-hex", std::string(60, '0') + "1388", "--blinding-file", blind})["commitment"].str(), c);

    const CliResult ok = run({"commit", "--value", "5000", "--blinding-file", blind, "--verify", c});
    EXPECT_EQ(ok.status, 0) << ok.dump();
    EXPECT_EQ(ok.out, "valid\n");
    const CliResult no = run({"commit", "--value", "5001", "--blinding-file", blind, "--verify", c});
    EXPECT_EQ(no.status, 1) << no.dump();
    EXPECT_EQ(no.out, "invalid\n");

    // The switch term changes the commitment.
    const std::string sw = key_file(std::string(63, '0') + "7", "sw.blind");
    const Json with = run_json({"commit", "--value", "5000", "--blinding-file", blind, "--switch-blind-file", sw});
    EXPECT_NE(with["commitment"].str(), c);
    EXPECT_TRUE(with["switch"].boolean());

    EXPECT_EQ(run({"commit", "--value", "1", "--random-blinding"}).status, 2);
    EXPECT_EQ(run({"commit", "--value", "1"}).status, 2);
    EXPECT_EQ(run({"commit", "--value", "1", "--value-hex", std::string(64, '0'), "--blinding-file", zero}).status, 2);
    // A blinding factor of n or more is the library's refusal.
    const std::string big = key_file(std::string(64, 'f'), "big.blind");
    EXPECT_EQ(run({"commit", "--value", "1", "--blinding-file", big}).status, 3);
}

}  // namespace
}  // namespace qorvex::test
