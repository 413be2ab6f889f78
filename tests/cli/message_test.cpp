// message sign|verify, run as a user would run them: the published BIP-322
// signatures, signmessage signatures checked against every address kind
// they serve, and the exit codes.
#include <string>
#include <vector>

#include "cli/cli_helpers.h"
#include "support/vectors.h"

namespace qorvex::test {
namespace {

const auto npos = std::string::npos;

const std::string kOne = "0000000000000000000000000000000000000000000000000000000000000001";
const std::string kG = "0279be667ef9dcbbac55a06295ce870b07029bfcdb2dce28d959f2815b16f81798";
// The addresses of the key 1.
const std::string kP2pkh = "1BgGZ9tcN4rm9KBzDn7KprQz87SZ26SAMH";
const std::string kP2shP2wpkh = "3JvL6Ymt8MVWiCNHC7oWU6nLeHNJKLZGLN";
const std::string kP2wpkh = "bc1qw508d6qejxtdg4y5r3zarvary0c5xw7kv8f3t4";
const std::string kP2tr = "bc1pmfr3p9j00pfxjh0zmgp99y8zftmd3s5pmedqhyptwy6lm87hf5sspknck9";

class CliMessage : public CliTest {
protected:
    // A key file from a WIF text, through "wif decode".
    std::string wif_key_file(const std::string& wif, const std::string& name) const {
        write_file(dir / (name + ".wif"), wif + "\n");
        const CliResult r = run({"wif", "decode", "--wif-file", dir / (name + ".wif"), "--out", dir / name});
        EXPECT_EQ(r.status, 0) << r.dump();
        return dir / name;
    }
    std::string sign(const std::vector<std::string>& args) const {
        std::vector<std::string> a = {"message", "sign"};
        a.insert(a.end(), args.begin(), args.end());
        return run_json(a)["signature"].str();
    }
    CliResult verify(const std::vector<std::string>& args) const {
        std::vector<std::string> a = {"message", "verify"};
        a.insert(a.end(), args.begin(), args.end());
        return run(a);
    }
};

// The BIP-322 vector keys sign their messages to the listed signatures
// (where those are plain RFC 6979 ones) and every listed P2WPKH and P2TR
// signature verifies; the wrong message does not; a P2WSH address is
// outside what the tool reads.
TEST_F(CliMessage, Bip322SimpleVectors) {
    const Json v = load_json_vectors("bip322/basic-test-vectors.json");
    const Json& hello = v["simple"][static_cast<size_t>(1)];
    ASSERT_EQ(hello["message"].str(), "Hello World");
    const std::string key = wif_key_file(hello["private_keys"][static_cast<size_t>(0)].str(), "vector.key");
    const std::string address = hello["address"].str();
    EXPECT_EQ(sign({"--key-file", key, "--format", "bip322-simple", "--message", "Hello World", "--prefix"}),
              hello["bip322_signatures"][static_cast<size_t>(1)].str());
    for (const Json& sig : hello["bip322_signatures"].array()) {
        const CliResult r = verify({"--format", "bip322-simple", "--address", address, "--signature", sig.str(),
                                    "--message", "Hello World"});
        EXPECT_EQ(r.status, 0) << r.dump();
        EXPECT_EQ(r.out, "valid\n");
        const CliResult bad = verify({"--format", "bip322-simple", "--address", address, "--signature", sig.str(),
                                      "--message", "Hello world"});
        EXPECT_EQ(bad.status, 1) << bad.dump();
        EXPECT_EQ(bad.out, "invalid\n");
    }
    const Json& tr = v["simple"][static_cast<size_t>(3)];
    const Json j = run_json({"message", "verify", "--format", "bip322-simple", "--address", tr["address"].str(),
                             "--signature", tr["bip322_signatures"][static_cast<size_t>(0)].str(), "--message",
                             tr["message"].str()});
    EXPECT_TRUE(j["valid"].boolean());
    const Json& p2wsh = v["simple"][static_cast<size_t>(2)];
    const CliResult outside = verify({"--format", "bip322-simple", "--address", p2wsh["address"].str(), "--signature",
                                      p2wsh["bip322_signatures"][static_cast<size_t>(0)].str(), "--message",
                                      p2wsh["message"].str()});
    EXPECT_EQ(outside.status, 3) << outside.dump();
    EXPECT_NE(outside.err.find("need a P2WPKH or P2TR address"), npos) << outside.err;
}

// Own BIP-322 signatures for both address kinds, on both networks.
TEST_F(CliMessage, Bip322SimpleRoundTrips) {
    const std::string key = key_file(kOne);
    const std::string testnet_p2tr = run_json({"address", "--pubkey", kG, "--type", "p2tr", "--testnet"})["address"].str();
    for (const std::string& addr : {kP2wpkh, kP2tr, testnet_p2tr}) {
        SCOPED_TRACE(addr);
        const Json s = run_json({"message", "sign", "--key-file", key, "--format", "bip322-simple", "--address", addr,
                                 "--message", "proof"});
        EXPECT_EQ(s["address"].str(), addr);
        const CliResult r =
            verify({"--format", "bip322-simple", "--address", addr, "--signature", s["signature"].str(), "--message", "proof"});
        EXPECT_EQ(r.status, 0) << r.dump();
    }
    // Without --address: the key's P2WPKH address.
    EXPECT_EQ(run_json({"message", "sign", "--key-file", key, "--format", "bip322-simple", "--message", "x"})["address"]
                  .str(),
              kP2wpkh);
    // P2TR with fixed randomness is repeatable.
    const std::vector<std::string> fixed = {"--key-file", key, "--format", "bip322-simple", "--address", kP2tr,
                                            "--message", "x", "--aux", std::string(64, '7')};
    EXPECT_EQ(sign(fixed), sign(fixed));
}

// signmessage signatures: checked against the public key and against each
// address kind of the key they recover to.
TEST_F(CliMessage, LegacySignAndVerify) {
    const std::string key = key_file(kOne);
    const Json s = run_json({"message", "sign", "--key-file", key, "--message", "hello"});
    EXPECT_EQ(s["format"].str(), "legacy");
    EXPECT_EQ(s["address"].str(), kP2pkh);
    const std::string sig = s["signature"].str();
    EXPECT_EQ(sig.size(), 88u);
    for (const std::string& addr : {kP2pkh, kP2shP2wpkh, kP2wpkh}) {
        SCOPED_TRACE(addr);
        const CliResult r = verify({"--address", addr, "--signature", sig, "--message", "hello"});
        EXPECT_EQ(r.status, 0) << r.dump();
        EXPECT_EQ(r.out, "valid\n");
        EXPECT_EQ(sign({"--key-file", key, "--address", addr, "--message", "hello"}), sig);
    }
    EXPECT_EQ(verify({"--pubkey", kG, "--signature", sig, "--message", "hello"}).status, 0);

    const CliResult tampered = verify({"--address", kP2pkh, "--signature", sig, "--message", "hellO", "--json"});
    EXPECT_EQ(tampered.status, 1) << tampered.dump();
    EXPECT_FALSE(tampered.json()["valid"].boolean());
    const CliResult other = verify({"--address", "1BvBMSEYstWetqTFn5Au4m4GFg7xJaNVN2", "--signature", sig,
                                    "--message", "hello"});
    EXPECT_EQ(other.status, 1) << other.dump();
    EXPECT_EQ(verify({"--pubkey", kG, "--signature", sig, "--message", "hellO"}).status, 1);
    // A Taproot address has no signmessage form.
    EXPECT_EQ(verify({"--address", kP2tr, "--signature", sig, "--message", "hello"}).status, 1);
}

TEST_F(CliMessage, UsageAndLibraryErrors) {
    const std::string key = key_file(kOne);
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string err;  // part of the message
    };
    const std::string sig(87, 'A');
    const Case cases[] = {
        {{"sign", "--key-file", key, "--message", "m", "--format", "bip999"}, 2, "--format"},
        {{"sign", "--key-file", key, "--message", "m", "--address", "1BvBMSEYstWetqTFn5Au4m4GFg7xJaNVN2"}, 2,
         "not an address of this key"},
        {{"sign", "--key-file", key, "--message", "m", "--address", kP2tr}, 2, "P2TR"},
        {{"sign", "--key-file", key, "--message", "m", "--aux", std::string(64, '0')}, 2, "--aux"},
        {{"sign", "--key-file", key, "--message", "m", "--format", "bip322-simple", "--address", kP2pkh}, 2,
         "P2WPKH and P2TR"},
        {{"sign", "--key-file", key, "--message", "m", "--format", "bip322-simple", "--aux", std::string(64, '0')}, 2,
         "--aux applies to P2TR"},
        {{"sign", "--key-file", key, "--message", "m", "--digest", std::string(64, '0')}, 2, "--digest"},
        {{"verify", "--signature", sig, "--message", "m"}, 2, "--address"},
        {{"verify", "--address", kP2pkh, "--pubkey", kG, "--signature", sig, "--message", "m"}, 2, "--address"},
        {{"verify", "--format", "bip322-simple", "--pubkey", kG, "--signature", sig, "--message", "m"}, 2,
         "--address"},
        {{"verify", "--address", kP2pkh, "--message", "m"}, 2, "--signature"},
        {{"verify", "--address", kP2pkh, "--signature", sig, "--message", "m"}, 3, "invalid base64 signature"},
        {{"verify", "--pubkey", kG, "--signature", sig, "--message", "m"}, 3, "invalid base64 signature"},
        {{"verify", "--format", "bip322-simple", "--address", kP2wpkh, "--signature", "fulAAAA", "--message", "m"}, 3,
         "not supported"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"message"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        SCOPED_TRACE(args[1] + " " + c.err);
        const CliResult r = run(args);
        EXPECT_EQ(r.status, c.status) << r.dump();
        EXPECT_NE(r.err.find(c.err), npos) << r.err;
    }
}

}  // namespace
}  // namespace qorvex::test
