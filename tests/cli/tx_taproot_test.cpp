// tx txid|wtxid and taproot tweak|verify, run as a user would run them:
// the published transactions and Taproot vectors, the input forms, and the
// exit codes.
#include <sys/stat.h>

#include <algorithm>

#include "cli/cli_helpers.h"
#include "support/tx_fields.h"
#include "support/vectors.h"

namespace qorvex::test {
namespace {

const auto npos = std::string::npos;
using Bytes = std::vector<uint8_t>;

using CliTx = CliTest;

// A one-input, one-output transaction whose txid was computed independently.
const std::string kSmallTx =
    "020000000111111111111111111111111111111111111111111111111111111111111111110000000000ffffffff01e8030000000000"
    "000000000000";
const std::string kSmallTxid = "ea25fee4f2e42d1044a0e81009d02faeda50e12e4078663dd069fb454271ed48";

std::string reversed_hex(const std::string& hex) {
    std::string out;
    for (size_t i = hex.size(); i >= 2; i -= 2) out += hex.substr(i - 2, 2);
    return out;
}

TEST_F(CliTx, IdsOfAKnownTransactionInEveryInputForm) {
    const CliResult r = run({"tx", "txid", kSmallTx});
    ASSERT_EQ(r.status, 0) << r.dump();
    EXPECT_EQ(r.out, kSmallTxid + "\n");
    const Json j = run_json({"tx", "wtxid", kSmallTx});
    EXPECT_EQ(j["wtxid"].str(), kSmallTxid);
    EXPECT_EQ(j["internal_order"].str(), reversed_hex(kSmallTxid));
    EXPECT_EQ(j["size"].integer(), 60);
    EXPECT_FALSE(j["witness_form"].boolean());

    // Hex text with line breaks from a file or stdin, raw bytes from a file.
    const std::string wrapped = kSmallTx.substr(0, 50) + "\n" + kSmallTx.substr(50) + "\n";
    write_file(dir / "tx.hex", wrapped);
    EXPECT_EQ(run({"tx", "txid", "--file", dir / "tx.hex"}).out, kSmallTxid + "\n");
    EXPECT_EQ(run({"tx", "txid"}, wrapped).out, kSmallTxid + "\n");
    const Bytes raw = from_hex(kSmallTx);
    write_file(dir / "tx.bin", std::string(raw.begin(), raw.end()));
    EXPECT_EQ(run({"tx", "txid", "--file", dir / "tx.bin"}).out, kSmallTxid + "\n");
}

TEST_F(CliTx, SignedTransactionsHaveDistinctIds) {
    const Json v = load_json_vectors("bip143/bip143_vectors.json");
    const std::string signed_tx = v["examples"][static_cast<size_t>(0)]["signed_tx"].str();
    const Bytes legacy = serialize_tx(parse_tx(from_hex(signed_tx)), false);
    const std::string legacy_hex = to_hex(legacy);
    const Json id = run_json({"tx", "txid", signed_tx});
    const Json wid = run_json({"tx", "wtxid", signed_tx});
    EXPECT_TRUE(id["witness_form"].boolean());
    EXPECT_NE(id["txid"].str(), wid["wtxid"].str());
    // The txid is that of the legacy serialization, whose wtxid is the same.
    EXPECT_EQ(id["txid"].str(), run_json({"tx", "txid", legacy_hex})["txid"].str());
    EXPECT_EQ(id["txid"].str(), run_json({"tx", "wtxid", legacy_hex})["wtxid"].str());
}

TEST_F(CliTx, RefusalsAndUsageErrors) {
    // One byte short: the library refuses it (exit 3) and the tool says why.
    const CliResult cut = run({"tx", "txid", kSmallTx.substr(0, kSmallTx.size() - 2)});
    EXPECT_EQ(cut.status, 3) << cut.dump();
    EXPECT_NE(cut.err.find("not a serialized transaction"), npos) << cut.err;
    const CliResult cut_json = run({"tx", "wtxid", kSmallTx + "00", "--json"});
    EXPECT_EQ(cut_json.status, 3);
    EXPECT_EQ(cut_json.json()["library_code"].integer(), 5);

    write_file(dir / "tx.hex", kSmallTx);
    EXPECT_EQ(run({"tx", "txid", kSmallTx, "--file", dir / "tx.hex"}).status, 2);
    EXPECT_EQ(run({"tx", "txid", "zz"}).status, 2);
    EXPECT_EQ(run({"tx", "txid"}).status, 2);  // empty stdin
    EXPECT_EQ(run({"tx", "txid", "--file", dir / "missing"}).status, 2);
    EXPECT_EQ(run({"tx", "nosuch"}).status, 2);
}

using CliTaproot = CliTest;

TEST_F(CliTaproot, TweakAndVerifyThePublishedOutputKeys) {
    const Json v = load_json_vectors("bip341/wallet-test-vectors.json");
    for (const Json& c : v["scriptPubKey"].array()) {
        const std::string internal = c["given"]["internalPubkey"].str();
        SCOPED_TRACE(internal);
        std::vector<std::string> args = {"taproot", "tweak", "--internal-key", internal};
        std::vector<std::string> root_args;
        if (!c["intermediary"]["merkleRoot"].is_null())
            root_args = {"--merkle-root", c["intermediary"]["merkleRoot"].str()};
        args.insert(args.end(), root_args.begin(), root_args.end());
        const Json j = run_json(args);
        EXPECT_EQ(j["output_key"].str(), c["intermediary"]["tweakedPubkey"].str());
        EXPECT_EQ(j["tweak"].str(), c["intermediary"]["tweak"].str());
        EXPECT_EQ(j["script_pubkey"].str(), c["expected"]["scriptPubKey"].str());
        const int parity = static_cast<int>(j["parity"].integer());

        std::vector<std::string> check = {"taproot", "verify", "--output-key", j["output_key"].str(), "--parity",
                                          std::to_string(parity), "--internal-key", internal};
        check.insert(check.end(), root_args.begin(), root_args.end());
        const CliResult ok = run(check);
        EXPECT_EQ(ok.status, 0) << ok.dump();
        EXPECT_EQ(ok.out, "valid\n");
        check[5] = std::to_string(1 - parity);
        const CliResult bad = run(check);
        EXPECT_EQ(bad.status, 1) << bad.dump();
        EXPECT_EQ(bad.out, "invalid\n");
        EXPECT_NE(bad.err.find("taproot commitment invalid"), npos);
        // The 33-byte form carries the parity in its prefix.
        const std::string prefixed = (parity ? "03" : "02") + j["output_key"].str();
        std::vector<std::string> check33 = {"taproot", "verify", "--output-key", prefixed, "--internal-key",
                                            "02" + internal};
        check33.insert(check33.end(), root_args.begin(), root_args.end());
        EXPECT_EQ(run(check33).status, 0);
    }
}

TEST_F(CliTaproot, TweakedPrivateKeyOnlyWhenAskedFor) {
    const Json v = load_json_vectors("bip341/wallet-test-vectors.json");
    const Json& in = v["keyPathSpending"][static_cast<size_t>(0)]["inputSpending"][static_cast<size_t>(1)];
    const std::string key = key_file(in["given"]["internalPrivkey"].str());
    const std::string root = in["given"]["merkleRoot"].str();
    const std::string tweaked = in["intermediary"]["tweakedPrivkey"].str();

    const CliResult quiet = run({"taproot", "tweak", "--key-file", key, "--merkle-root", root});
    ASSERT_EQ(quiet.status, 0) << quiet.dump();
    EXPECT_EQ(quiet.out.find(tweaked), npos);
    EXPECT_NE(quiet.out.find(in["intermediary"]["internalPubkey"].str()), npos);

    const Json shown = run_json({"taproot", "tweak", "--key-file", key, "--merkle-root", root, "--show-secret"});
    EXPECT_EQ(shown["tweaked_secret"].str(), tweaked);
    const CliResult shown_text = run({"taproot", "tweak", "--key-file", key, "--merkle-root", root, "--show-secret"});
    EXPECT_NE(shown_text.out.find(tweaked), npos);

    const std::string out = dir / "tweaked.key";
    const Json saved = run_json({"taproot", "tweak", "--key-file", "-", "--merkle-root", root, "--out", out},
                                in["given"]["internalPrivkey"].str() + "\n");
    EXPECT_FALSE(saved.has("tweaked_secret"));
    EXPECT_EQ(slurp(out), tweaked + "\n");
    struct stat st {};
    ASSERT_EQ(::stat(out.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    // The saved key's public key is the output key.
    const Json pub = run_json({"pubkey", "--key-file", out});
    EXPECT_EQ(pub["x_only"].str(), saved["output_key"].str());
}

TEST_F(CliTaproot, UsageAndLibraryErrors) {
    const std::string x = "d6889cb081036e0faefa3a35157ad71086b123b2b144b649798b494c300a961d";
    EXPECT_EQ(run({"taproot", "tweak"}).status, 2);
    EXPECT_EQ(run({"taproot", "tweak", "--internal-key", x, "--key-file", key_file(x)}).status, 2);
    EXPECT_EQ(run({"taproot", "tweak", "--internal-key", x, "--show-secret"}).status, 2);
    EXPECT_EQ(run({"taproot", "tweak", "--internal-key", "abcd"}).status, 2);
    EXPECT_EQ(run({"taproot", "tweak", "--internal-key", x, "--merkle-root", "00"}).status, 2);
    // A key that is no x coordinate: the library refuses it.
    const CliResult off = run({"taproot", "tweak", "--internal-key", std::string(63, '0') + "5"});
    EXPECT_EQ(off.status, 3);
    EXPECT_NE(off.err.find("taproot output key derivation failed"), npos) << off.err;
    EXPECT_EQ(run({"taproot", "verify", "--output-key", x, "--internal-key", x}).status, 2);  // no parity
    EXPECT_EQ(run({"taproot", "verify", "--output-key", "02" + x, "--parity", "1", "--internal-key", x}).status, 2);
    EXPECT_EQ(run({"taproot", "verify", "--output-key", x, "--parity", "2", "--internal-key", x}).status, 2);
    EXPECT_EQ(run({"taproot", "verify", "--output-key", x, "--parity", "0", "--internal-key", x}).status, 1);
}

}  // namespace
}  // namespace qorvex::test
