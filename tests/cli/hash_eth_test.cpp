// hash and eth: published known answers through every input path, and the
// Ethereum sign / ecrecover round trip.
#include "cli/cli_helpers.h"
#include "support/vectors.h"

namespace qorvex::test {
namespace {

const std::string kOne = "0000000000000000000000000000000000000000000000000000000000000001";
const std::string kG = "0279be667ef9dcbbac55a06295ce870b07029bfcdb2dce28d959f2815b16f81798";
const std::string kAddressOfOne = "0x7E5F4552091A69125d5DfCb7b8C2659029395Bdf";
const auto npos = std::string::npos;

using CliHash = CliTest;

TEST_F(CliHash, PublishedDigests) {
    const Json vectors = load_json_vectors("hashes/hash_known_answers.json");
    int cases = 0;
    for (const char* alg : {"sha256", "sha512", "keccak256"}) {
        for (const Json& v : vectors["algorithms"][alg].array()) {
            std::vector<std::string> args = {"hash", alg};
            if (v.has("message_repeat")) {  // one million bytes: through a file
                const auto& rep = v["message_repeat"];
                const std::string data(static_cast<size_t>(rep["count"].integer()),
                                       static_cast<char>(std::stoi(rep["byte"].str(), nullptr, 16)));
                write_file(dir / "big.bin", data);
                args.push_back(dir / "big.bin");
            } else {
                args.insert(args.end(), {"--hex", v["message"].str()});
            }
            SCOPED_TRACE(std::string(alg) + " of " + (v.has("message") ? v["message"].str() : "a long input"));
            const CliResult r = run(args);
            EXPECT_EQ(r.status, 0) << r.dump();
            EXPECT_EQ(r.out, lower(v["digest"].str()) + "\n");
            ++cases;
        }
    }
    EXPECT_GE(cases, 10);
}

TEST_F(CliHash, InputsAndTaggedHashes) {
    const std::string abc_sha256 = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
    write_file(dir / "abc.txt", "abc");
    struct Case {
        std::vector<std::string> args;
        std::string stdin_data, digest;
    };
    const Case cases[] = {
        {{"hash", "sha256", "--text", "abc"}, "", abc_sha256},
        {{"hash", "sha256", dir / "abc.txt"}, "", abc_sha256},
        {{"hash", "sha256"}, "abc", abc_sha256},
        {{"hash", "sha256", "-"}, "abc", abc_sha256},
        {{"hash", "hash160", "--text", "abc"}, "", "bb1be98c142444d7a56aa3981c3942a978e4dc33"},
        {{"hash", "hash160", "--hex", ""}, "", "b472a266d0bd89c13706a4132ccfb16f7c3b9fcb"},
        // SHA-256(SHA-256(tag) || SHA-256(tag) || data)
        {{"hash", "tagged", "--tag", "BIP0340/challenge", "--text", "abc"}, "",
         "770a5b7e7c304bbcc3ea107343ff951dd404312ef418db0c3b94e2ebfbb50087"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[1] + " " + (c.args.size() > 2 ? c.args.back() : "stdin"));
        const CliResult r = run(c.args, c.stdin_data);
        EXPECT_EQ(r.status, 0) << r.dump();
        EXPECT_EQ(r.out, c.digest + "\n");
    }
    const Json j = run_json({"hash", "tagged", "--tag", "BIP0340/challenge", "--text", "abc"});
    EXPECT_EQ(j["algorithm"].str(), "tagged");
    EXPECT_EQ(j["tag"].str(), "BIP0340/challenge");
    EXPECT_EQ(j["input_length"].integer(), 3);
}

using CliEth = CliTest;

TEST_F(CliEth, AddressesAndChecksums) {
    EXPECT_EQ(run({"eth", "address", "--key-file", key_file(kOne)}).out, kAddressOfOne + "\n");
    const Json j = run_json({"eth", "address", "--pubkey", kG});
    EXPECT_EQ(j["address"].str(), kAddressOfOne);
    EXPECT_EQ(j["address_lower"].str(), lower(kAddressOfOne));

    const Json vectors = load_json_vectors("eip55/eip55_vectors.json");
    for (const Json& group : vectors["groups"].array()) {
        for (const Json& a : group["addresses"].array()) {
            const std::string good = a.str();
            SCOPED_TRACE(good);
            EXPECT_EQ(run({"eth", "checksum", lower(good)}).out, good + "\n");
            EXPECT_EQ(run({"eth", "checksum", good}).status, 0);
        }
    }
    // One letter in the wrong case: the checksum fails.
    std::string wrong = kAddressOfOne;
    wrong[3] = 'e';  // 0x7E... -> 0x7e..., with the rest still mixed case
    const CliResult r = run({"eth", "checksum", wrong, "--json"});
    EXPECT_EQ(r.status, 1) << r.dump();
    EXPECT_FALSE(r.json()["valid"].boolean());
    EXPECT_EQ(r.json()["address"].str(), kAddressOfOne);
}

TEST_F(CliEth, PersonalMessageHash) {
    // Keccak-256("\x19Ethereum Signed Message:\n5hello")
    const std::string expected = "50b2c43fd39106bafbba0da34fc430e1f91e3c96ea2acee2bc34119f92b37750";
    EXPECT_EQ(run({"eth", "personal-hash", "--message", "hello"}).out, expected + "\n");
    EXPECT_EQ(run({"eth", "personal-hash", "--message-file", "-"}, "hello").out, expected + "\n");
    std::string prefixed = "\x19" "Ethereum Signed Message:\n5hello";
    EXPECT_EQ(run({"hash", "keccak256", "--text", prefixed}).out, expected + "\n");
}

TEST_F(CliEth, SignAndEcrecover) {
    const std::string key = dir / "k";
    ASSERT_EQ(run({"keygen", "--out", key}).status, 0);
    const std::string address = run({"eth", "address", "--key-file", key}).out.substr(0, 42);
    const std::string hash = run({"eth", "personal-hash", "--message", "I own this address"}).out.substr(0, 64);

    for (const uint64_t chain : {0ull, 1ull, 1000000ull}) {
        SCOPED_TRACE("chain id " + std::to_string(chain));
        const Json s = run_json({"eth", "sign", "--key-file", key, "--message", "I own this address", "--chain-id",
                                 std::to_string(chain)});
        EXPECT_EQ(s["hash"].str(), hash);
        EXPECT_EQ(s["address"].str(), address);
        const uint64_t v = static_cast<uint64_t>(s["v"].num());
        const uint64_t base = chain == 0 ? 27 : 2 * chain + 35;
        EXPECT_TRUE(v == base || v == base + 1) << v;
        // Signing the hash itself gives the same (deterministic) signature.
        const Json d = run_json({"eth", "sign", "--key-file", key, "--digest", hash, "--chain-id", std::to_string(chain)});
        EXPECT_EQ(d["r"].str(), s["r"].str());
        EXPECT_EQ(d["s"].str(), s["s"].str());

        const std::string rs = s["r"].str() + s["s"].str();
        std::vector<std::string> sig_args = {"--signature", rs, "--v", std::to_string(v)};
        if (v <= 255) {
            EXPECT_EQ(s["signature"].str().substr(0, 128), rs);
            sig_args = {"--signature", s["signature"].str()};
        } else {
            EXPECT_FALSE(s.has("signature")) << "v does not fit in the 65-byte form";
        }
        std::vector<std::string> args = {"eth", "ecrecover", "--message", "I own this address", "--expect", address};
        args.insert(args.end(), sig_args.begin(), sig_args.end());
        const CliResult ok = run(args);
        EXPECT_EQ(ok.status, 0) << ok.dump();
        EXPECT_NE(ok.out.find(address), npos);

        // Another message recovers another address: exit 1 with --expect.
        args[3] = "I own that address";
        const CliResult other = run(args);
        EXPECT_EQ(other.status, 1) << other.dump();
        EXPECT_NE(other.err.find("not the --expect address"), npos) << other.err;
    }
}

}  // namespace
}  // namespace qorvex::test
