// coin and descriptor: the tool's coin list against the library (every
// style and purpose derived and checked with hd derive and coin address),
// BIP-86's mnemonic and account key end to end, the demo's multi-coin step,
// secrets kept off the output and the command line, and the exit codes of
// refused inputs.
#include <sys/stat.h>

#include "cli/cli_helpers.h"
#include "support/vectors.h"

namespace qorvex::test {
namespace {

const std::string kG = "0279be667ef9dcbbac55a06295ce870b07029bfcdb2dce28d959f2815b16f81798";
const auto npos = std::string::npos;

using CliCoins = CliTest;

TEST_F(CliCoins, DerivedKeysFollowTheListedPaths) {
    const Json v86 = load_json_vectors("bip86/bip86_vectors.json");
    write_file(dir / "words", v86["mnemonic"].str() + "\n");
    write_file(dir / "root.xprv", v86["rootpriv"].str() + "\n");
    const Json list = run_json({"coin", "list"});
    ASSERT_EQ(28u, list["coins"].size());
    // One coin of each style and purpose.
    for (const char* ticker : {"BTC", "DGB", "DOGE", "ETH", "BCH", "TRX", "ZEN", "QTUM"}) {
        SCOPED_TRACE(ticker);
        const Json d = run_json({"coin", "derive", "--coin", ticker, "--mnemonic-file", dir / "words", "--index", "2"});
        const Json k = run_json({"hd", "derive", "--key-file", dir / "root.xprv", "--path", d["path"].str()});
        EXPECT_EQ(k["public_key"].str(), d["public_key"].str());
        const Json a = run_json({"coin", "address", "--coin", ticker, "--pubkey", d["public_key"].str()});
        EXPECT_EQ(d["address"].str(), a["address"].str());
        EXPECT_FALSE(d.has("private_key"));
    }
    // Bitcoin's first key is BIP-86's, shown as P2WPKH.
    const Json btc = run_json({"coin", "derive", "--coin", "btc", "--mnemonic-file", dir / "words"});
    EXPECT_EQ("m/86'/0'/0'/0/0", btc["path"].str());
    EXPECT_EQ(v86["addresses"][0]["internal_key"].str(), btc["public_key"].str().substr(2));
    EXPECT_EQ("bc1q", btc["address"].str().substr(0, 4));
    // A coin type works as well as its ticker.
    EXPECT_EQ(run_json({"coin", "derive", "--coin", "145", "--mnemonic-file", dir / "words"})["address"].str(),
              run_json({"coin", "derive", "--coin", "BCH", "--mnemonic-file", dir / "words"})["address"].str());
}

TEST_F(CliCoins, SecretsOnlyWhenAsked) {
    const Json v86 = load_json_vectors("bip86/bip86_vectors.json");
    write_file(dir / "words", v86["mnemonic"].str() + "\n");
    const CliResult plain = run({"coin", "derive", "--coin", "LTC", "--mnemonic-file", dir / "words"});
    ASSERT_EQ(plain.status, 0) << plain.dump();
    EXPECT_EQ(plain.out.find("private key"), npos);
    const Json shown =
        run_json({"coin", "derive", "--coin", "LTC", "--mnemonic-file", dir / "words", "--show-secret"});
    const std::string sk = shown["private_key"].str();
    EXPECT_EQ(64u, sk.size());
    EXPECT_EQ('T', shown["wif"].str()[0]);  // Litecoin's 0xB0, compressed
    // --out writes a key file (mode 0600) that the other commands read.
    const Json saved = run_json(
        {"coin", "derive", "--coin", "LTC", "--mnemonic-file", dir / "words", "--out", dir / "ltc.key"});
    EXPECT_EQ(sk + "\n", slurp(dir / "ltc.key"));
    struct stat st {};
    ASSERT_EQ(0, ::stat((dir / "ltc.key").c_str(), &st));
    EXPECT_EQ(0600u, st.st_mode & 0777);
    EXPECT_EQ(saved["public_key"].str(), run_json({"pubkey", "--key-file", dir / "ltc.key"})["compressed"].str());
    const Json wif = run_json({"coin", "wif", "--coin", "LTC", "--key-file", dir / "ltc.key", "--show-secret"});
    EXPECT_EQ(shown["wif"].str(), wif["wif"].str());
    // Ethereum shows the hex key and no WIF.
    const Json eth =
        run_json({"coin", "derive", "--coin", "ETH", "--mnemonic-file", dir / "words", "--show-secret"});
    EXPECT_TRUE(eth.has("private_key"));
    EXPECT_FALSE(eth.has("wif"));
}

TEST_F(CliCoins, RefusedInputs) {
    const std::string key = key_file("0000000000000000000000000000000000000000000000000000000000000001");
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string message;
    };
    const Case cases[] = {
        {{"coin", "address", "--coin", "XYZ", "--pubkey", kG}, 2, "unknown ticker"},
        {{"coin", "address", "--coin", "1", "--pubkey", kG}, 3, "unknown coin type"},
        {{"coin", "address", "--pubkey", kG}, 2, "missing --coin"},
        {{"coin", "address", "--coin", "BTC"}, 2, "give one of"},
        {{"coin", "wif", "--coin", "BTC", "--key-file", key}, 2, "--show-secret"},
        {{"coin", "wif", "--coin", "ETH", "--key-file", key, "--show-secret"}, 2, "no WIF"},
        {{"coin", "derive", "--coin", "BTC", "--seed-file", key, "--account", "2147483648"}, 2, "below 2^31"},
        {{"descriptor", "address", "wpkh(" + kG + ")#8fhd9pwu"}, 3, "unsupported descriptor type"},
        {{"descriptor", "address", "wpkh(" + kG + ")", "--range", "5..2"}, 2, "--range"},
        {{"descriptor", "address", "wpkh(" + kG + ")", "--index", "1", "--range", "0..2"}, 2, "not both"},
        {{"descriptor", "address"}, 2, "give the descriptor"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.args[1]);
        const CliResult r = run(c.args);
        EXPECT_EQ(c.status, r.status) << r.dump();
        EXPECT_NE(r.err.find(c.message), npos) << r.err;
    }
}

TEST_F(CliCoins, DescriptorAddresses) {
    const Json v86 = load_json_vectors("bip86/bip86_vectors.json");
    const std::string xpub = v86["account"]["xpub"].str(), xprv = v86["account"]["xprv"].str();
    const CliResult one = run({"descriptor", "address", "tr(" + xpub + "/0/*)", "--index", "1"});
    ASSERT_EQ(one.status, 0) << one.dump();
    EXPECT_EQ(v86["addresses"][1]["address"].str() + "\n", one.out);
    const Json range = run_json({"descriptor", "address", "tr(" + xpub + "/<0;1>/*)", "--range", "0..1"});
    EXPECT_EQ("tr", range["kind"].str());
    ASSERT_EQ(2u, range["addresses"].size());
    EXPECT_EQ(v86["addresses"][0]["address"].str(), range["addresses"][0]["address"].str());
    EXPECT_EQ(v86["addresses"][0]["internal_key"].str(), range["addresses"][0]["key"].str());
    // A private key stays off the command line, and is never echoed.
    const CliResult refused = run({"descriptor", "address", "tr(" + xprv + "/0/*)"});
    EXPECT_EQ(2, refused.status);
    EXPECT_EQ(refused.err.find(xprv.substr(4, 20)), npos);
    write_file(dir / "wallet.desc", "tr(" + xprv + "/1/*)\n");
    const CliResult file = run({"descriptor", "address", "--descriptor-file", dir / "wallet.desc", "--json"});
    ASSERT_EQ(file.status, 0) << file.dump();
    EXPECT_EQ(v86["addresses"][2]["address"].str(), file.json()["address"].str());
    EXPECT_EQ(file.out.find(xprv.substr(4, 20)), npos);
    const CliResult piped = run({"descriptor", "address", "--descriptor-file", "-"}, "tr(" + xprv + "/1/*)");
    EXPECT_EQ(v86["addresses"][2]["address"].str() + "\n", piped.out);
}

// The demo's coins step shows what coin derive gives for its mnemonic.
TEST_F(CliCoins, DemoCoinsStep) {
    const Json demo = run_json({"demo"});
    const auto& steps = demo["steps"].array();
    const Json* wallet = nullptr;
    const Json* coins = nullptr;
    for (const Json& s : steps) {
        if (s["title"].str().find("Wallet") != npos) wallet = &s["results"];
        if (s["title"].str().find("coins") != npos) coins = &s["results"];
    }
    ASSERT_TRUE(wallet && coins);
    write_file(dir / "demo.words", (*wallet)["mnemonic"].str() + "\n");
    const struct {
        const char* ticker;
        const char* field;
    } checks[] = {{"BTC", "bitcoin"}, {"LTC", "litecoin"}, {"DOGE", "dogecoin"}, {"ETH", "ethereum"}, {"BCH", "bitcoin_cash"}};
    for (const auto& c : checks) {
        SCOPED_TRACE(c.ticker);
        EXPECT_EQ(run_json({"coin", "derive", "--coin", c.ticker, "--mnemonic-file", dir / "demo.words"})["address"].str(),
                  (*coins)[c.field].str());
    }
}

}  // namespace
}  // namespace qorvex::test
