// mnemonic, hd, address and wif: the published vectors end to end (BIP-39
// entropy to mnemonic to seed to master key; BIP-86's mnemonic to its P2TR
// address; BIP-32 chains), secrets kept off the output unless asked for,
// and the exit codes of refused inputs.
#include <sys/stat.h>

#include "cli/cli_helpers.h"
#include "support/vectors.h"

namespace qorvex::test {
namespace {

const std::string kOne = "0000000000000000000000000000000000000000000000000000000000000001";
const std::string kG = "0279be667ef9dcbbac55a06295ce870b07029bfcdb2dce28d959f2815b16f81798";
const auto npos = std::string::npos;

using CliWallet = CliTest;

TEST_F(CliWallet, Bip39VectorsEndToEnd) {
    const Json doc = load_json_vectors("bip39/vectors.json");
    write_file(dir / "pass", "TREZOR\n");  // the final line break is not part of it
    for (size_t i = 0; i < 24; i += 5) {
        const Json& v = doc["english"][i];
        SCOPED_TRACE(v[1].str());
        write_file(dir / "entropy", v[0].str() + "\n");
        const Json m = run_json({"mnemonic", "new", "--entropy-file", dir / "entropy", "--show-secret"});
        EXPECT_EQ(v[1].str(), m["mnemonic"].str());
        // One word per line in the file: the words are joined by spaces.
        std::string lines = v[1].str();
        for (char& c : lines)
            if (c == ' ') c = '\n';
        write_file(dir / "words", lines + "\n");
        EXPECT_EQ(run({"mnemonic", "check", "--mnemonic-file", dir / "words"}).status, 0);
        const Json s = run_json(
            {"mnemonic", "seed", "--mnemonic-file", dir / "words", "--passphrase-file", dir / "pass", "--show-secret"});
        EXPECT_EQ(v[2].str(), s["seed"].str());
        write_file(dir / "seed", s["seed"].str());
        const Json k = run_json({"hd", "master", "--seed-file", dir / "seed", "--show-secret"});
        EXPECT_EQ(v[3].str(), k["xprv"].str());
        const Json k2 = run_json(
            {"hd", "master", "--mnemonic-file", dir / "words", "--passphrase-file", dir / "pass", "--show-secret"});
        EXPECT_EQ(v[3].str(), k2["xprv"].str());
    }
}

TEST_F(CliWallet, Bip86MnemonicToTaprootAddress) {
    const Json v = load_json_vectors("bip86/bip86_vectors.json");
    write_file(dir / "words", v["mnemonic"].str() + "\n");
    const Json root = run_json({"hd", "master", "--mnemonic-file", dir / "words", "--out", dir / "root.xprv"});
    EXPECT_EQ(v["rootpub"].str(), root["xpub"].str());
    EXPECT_FALSE(root.has("xprv"));
    EXPECT_EQ(v["rootpriv"].str() + "\n", slurp(dir / "root.xprv"));
    struct stat st {};
    ASSERT_EQ(0, ::stat((dir / "root.xprv").c_str(), &st));
    EXPECT_EQ(0600u, st.st_mode & 0777);
    const Json account = run_json({"hd", "derive", "--key-file", dir / "root.xprv", "--path", v["account"]["path"].str()});
    EXPECT_EQ(v["account"]["xpub"].str(), account["xpub"].str());
    for (const auto& a : v["addresses"].array()) {
        SCOPED_TRACE(a["path"].str());
        const Json k =
            run_json({"hd", "derive", "--key-file", dir / "root.xprv", "--path", a["path"].str(), "--show-secret"});
        EXPECT_EQ(a["xprv"].str(), k["xprv"].str());
        EXPECT_EQ(a["xpub"].str(), k["xpub"].str());
        EXPECT_EQ(a["internal_key"].str(), k["public_key"].str().substr(2));
        // The same key below the account xpub, by public derivation.
        const std::string rest = a["path"].str().substr(v["account"]["path"].str().size());
        const Json pub = run_json({"hd", "derive", "--xpub", account["xpub"].str(), "--path", "m" + rest});
        EXPECT_EQ(a["xpub"].str(), pub["xpub"].str());
        const CliResult r = run({"address", "--xpub", a["xpub"].str(), "--type", "p2tr"});
        EXPECT_EQ(r.status, 0) << r.dump();
        EXPECT_EQ(a["address"].str() + "\n", r.out);
    }
}

TEST_F(CliWallet, Bip32ChainsAndShow) {
    const Json doc = load_json_vectors("bip32/bip32_vectors.json");
    const Json& v = doc["valid"][0];
    const Json& m = v["chains"][0];
    write_file(dir / "m.xprv", m["ext_prv"].str() + "\n");
    for (const auto& c : v["chains"].array()) {
        SCOPED_TRACE(c["chain"].str());
        const Json k = run_json({"hd", "derive", "--key-file", dir / "m.xprv", "--path", c["chain"].str(), "--show-secret"});
        EXPECT_EQ(c["ext_prv"].str(), k["xprv"].str());
        EXPECT_EQ(c["ext_pub"].str(), k["xpub"].str());
    }
    const Json shown = run_json({"hd", "show", "--xpub", v["chains"][2]["ext_pub"].str()});
    EXPECT_EQ("public", shown["kind"].str());
    EXPECT_EQ(2, shown["depth"].integer());
    EXPECT_EQ("1", shown["child_number"].str());
    const Json priv = run_json({"hd", "show", "--key-file", dir / "m.xprv", "--show-secret"});
    EXPECT_EQ("e8f32e723decf4051aefac8e2c93c9c5b214313817cdb01a1494b917c8436b35", priv["private_key"].str());
    EXPECT_EQ("3442193e", priv["fingerprint"].str());
}

TEST_F(CliWallet, AddressesOfKeyOne) {
    const Json j = run_json({"address", "--key-file", key_file(kOne)});
    EXPECT_EQ("1BgGZ9tcN4rm9KBzDn7KprQz87SZ26SAMH", j["p2pkh"].str());
    EXPECT_EQ("3JvL6Ymt8MVWiCNHC7oWU6nLeHNJKLZGLN", j["p2sh_p2wpkh"].str());
    EXPECT_EQ("bc1qw508d6qejxtdg4y5r3zarvary0c5xw7kv8f3t4", j["p2wpkh"].str());
    const Json t = run_json({"address", "--pubkey", kG, "--testnet"});
    EXPECT_EQ("mrCDrCybB6J1vRfbwM5hemdJz73FwDBC8r", t["p2pkh"].str());
    EXPECT_EQ("tb1qw508d6qejxtdg4y5r3zarvary0c5xw7kxpjzsx", t["p2wpkh"].str());
    EXPECT_EQ(run({"address", "--pubkey", kG, "--type", "p2sh-p2wpkh", "--testnet"}).out,
              "2NAUYAHhujozruyzpsFRP63mbrdaU5wnEpN\n");
    EXPECT_EQ(run({"address", "--pubkey", kG, "--type", "p2x"}).status, 2);
    EXPECT_EQ(run({"address", "--pubkey", "04" + kG.substr(2)}).status, 3);  // 33 bytes with prefix 04
}

TEST_F(CliWallet, WifBothWays) {
    const std::string key = key_file(kOne);
    const Json e = run_json({"wif", "encode", "--key-file", key, "--show-secret"});
    EXPECT_EQ("KwDiBf89QgGbjEhKnhXJuH7LrciVrZi3qYjgd9M7rFU73sVHnoWn", e["wif"].str());
    EXPECT_EQ(run({"wif", "encode", "--key-file", key, "--uncompressed", "--testnet", "--out", dir / "k.wif"}).status, 0);
    EXPECT_EQ("91avARGdfge8E4tZfYLoxeJ5sGBdNJQH4kvjJoQFacbgwmaKkrx\n", slurp(dir / "k.wif"));
    const Json d = run_json({"wif", "decode", "--wif-file", "-", "--show-secret"},
                            "KwDiBf89QgGbjEhKnhXJuH7LrciVrZi3qYjgd9M7rFU73sVHnoWn\n");
    EXPECT_EQ(kOne, d["private_key"].str());
    EXPECT_EQ(kG, d["public_key"].str());
    EXPECT_TRUE(d["compressed"].boolean());
    EXPECT_EQ("mainnet", d["network"].str());
    // The decoded key file feeds the other commands.
    EXPECT_EQ(run({"wif", "decode", "--wif-file", dir / "k.wif", "--out", dir / "k.hex"}).status, 0);
    EXPECT_EQ(kOne + "\n", slurp(dir / "k.hex"));
    // The key n is refused rather than read as zero.
    const CliResult bad = run({"wif", "decode", "--wif-file", "-"}, "L5oLkpV3aqBjhki6LmvChTCV6odsp4SXM6FfU2Gppt5kFqRzExJJ");
    EXPECT_EQ(bad.status, 3);
    EXPECT_NE(bad.err.find("invalid WIF string"), npos);
}

// Secrets appear only with --show-secret (or in --out files).
TEST_F(CliWallet, SecretsStayOffTheOutput) {
    write_file(dir / "words", "abandon abandon abandon abandon abandon abandon abandon abandon abandon abandon abandon about");
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string must_not_contain;
    };
    const std::string key = key_file(kOne);
    const Case cases[] = {
        {{"mnemonic", "new"}, 2, ""},
        {{"mnemonic", "seed", "--mnemonic-file", dir / "words"}, 2, ""},
        {{"wif", "encode", "--key-file", key}, 2, ""},
        {{"hd", "master", "--mnemonic-file", dir / "words"}, 0, "xprv"},
        {{"hd", "derive", "--key-file", dir / "m.xprv", "--path", "m/0"}, 0, "xprv"},
        {{"wif", "decode", "--wif-file", dir / "k.wif"}, 0, kOne},
    };
    ASSERT_EQ(run({"hd", "master", "--mnemonic-file", dir / "words", "--out", dir / "m.xprv"}).status, 0);
    write_file(dir / "k.wif", "KwDiBf89QgGbjEhKnhXJuH7LrciVrZi3qYjgd9M7rFU73sVHnoWn");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.args[1]);
        for (const bool json : {false, true}) {
            std::vector<std::string> args = c.args;
            if (json) args.push_back("--json");
            const CliResult r = run(args);
            EXPECT_EQ(r.status, c.status) << r.dump();
            if (!c.must_not_contain.empty()) {
                EXPECT_EQ(r.out.find(c.must_not_contain), npos) << r.dump();
            }
        }
    }
    // --out never replaces a file without --force.
    EXPECT_EQ(run({"hd", "master", "--mnemonic-file", dir / "words", "--out", dir / "m.xprv"}).status, 2);
    EXPECT_EQ(run({"hd", "master", "--mnemonic-file", dir / "words", "--out", dir / "m.xprv", "--force"}).status, 0);
}

TEST_F(CliWallet, RefusedInputs) {
    write_file(dir / "bad", "abandon abandon abandon abandon abandon abandon abandon abandon abandon abandon abandon abandon");
    const CliResult check = run({"mnemonic", "check", "--mnemonic-file", dir / "bad"});
    EXPECT_EQ(check.status, 1) << check.dump();
    EXPECT_EQ(check.out, "invalid\n");
    EXPECT_EQ(run({"mnemonic", "seed", "--mnemonic-file", dir / "bad", "--show-secret"}).status, 3);
    EXPECT_EQ(run({"mnemonic", "new", "--words", "13", "--show-secret"}).status, 2);
    write_file(dir / "short", "00112233");
    EXPECT_EQ(run({"mnemonic", "new", "--entropy-file", dir / "short", "--show-secret"}).status, 2);
    const Json doc = load_json_vectors("bip32/bip32_vectors.json");
    const std::string xpub = doc["valid"][0]["chains"][0]["ext_pub"].str();
    EXPECT_EQ(run({"hd", "derive", "--xpub", xpub, "--path", "m/0'"}).status, 3);  // hardened below an xpub
    EXPECT_EQ(run({"hd", "derive", "--xpub", xpub, "--path", "m/0/"}).status, 3);
    EXPECT_EQ(run({"hd", "derive", "--xpub", xpub}).status, 2);  // no path
    const CliResult bad_text = run({"hd", "show", "--xpub", doc["invalid"][0]["ext_key"].str()});
    EXPECT_EQ(bad_text.status, 3);
    EXPECT_NE(bad_text.err.find("invalid BIP-32 public key prefix"), npos) << bad_text.dump();
    EXPECT_EQ(run({"hd", "show", "--xpub", doc["valid"][0]["chains"][0]["ext_prv"].str()}).status, 2);
}

}  // namespace
}  // namespace qorvex::test
