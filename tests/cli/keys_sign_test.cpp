// keygen, pubkey, sign, verify, recover and der, run as a user would run
// them: known answers from the published vectors, and round trips.
#include <sys/stat.h>

#include "cli/cli_helpers.h"
#include "support/vectors.h"

namespace qorvex::test {
namespace {

const std::string kOne = "0000000000000000000000000000000000000000000000000000000000000001";
const std::string kG = "0279be667ef9dcbbac55a06295ce870b07029bfcdb2dce28d959f2815b16f81798";
const auto npos = std::string::npos;

using CliKeys = CliTest;

TEST_F(CliKeys, KeygenSavesAPrivateFileAndNeverPrintsTheKey) {
    const std::string path = dir / "new.key";
    const CliResult r = run({"keygen", "--out", path});
    ASSERT_EQ(r.status, 0) << r.dump();
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    const std::string content = slurp(path);
    ASSERT_EQ(content.size(), 65u) << "64 hex digits and a newline";
    const std::string secret = content.substr(0, 64);
    EXPECT_EQ(r.out.find(secret), npos);
    EXPECT_EQ(r.err.find(secret), npos);

    // The public key printed is the saved key's.
    const Json pk = run_json({"pubkey", "--key-file", path});
    EXPECT_NE(r.out.find(pk["compressed"].str()), npos) << r.out;

    // An existing file is replaced only with --force.
    EXPECT_EQ(run({"keygen", "--out", path}).status, 2);
    EXPECT_EQ(slurp(path), content);
    EXPECT_EQ(run({"keygen", "--out", path, "--force"}).status, 0);
    EXPECT_NE(slurp(path), content);
}

TEST_F(CliKeys, KeygenFromHexAndRandomKeys) {
    const Json shown = run_json({"keygen", "--from-hex", kOne, "--show-secret"});
    EXPECT_EQ(shown["secret"].str(), kOne);
    EXPECT_EQ(shown["public_key"].str(), kG);
    EXPECT_EQ(shown["source"].str(), "hex");

    // From stdin into a file: the secret is not in the output.
    const Json saved = run_json({"keygen", "--from-hex", "-", "--out", dir / "one.key"}, kOne + "\n");
    EXPECT_FALSE(saved.has("secret"));
    EXPECT_EQ(slurp(dir / "one.key"), kOne + "\n");

    const Json a = run_json({"keygen", "--show-secret"});
    const Json b = run_json({"keygen", "--show-secret"});
    EXPECT_EQ(a["source"].str(), "random");
    EXPECT_NE(a["secret"].str(), b["secret"].str());
    EXPECT_EQ(a["secret"].str().size(), 64u);
}

TEST_F(CliKeys, PubkeyEncodingsOfKnownKeys) {
    struct Case {
        std::string key, compressed, uncompressed;
    };
    const Case cases[] = {
        {kOne, kG,
         "0479be667ef9dcbbac55a06295ce870b07029bfcdb2dce28d959f2815b16f81798"
         "483ada7726a3c4655da4fbfc0e1108a8fd17b448a68554199c47d08ffb10d4b8"},
        {"0000000000000000000000000000000000000000000000000000000000000002",
         "02c6047f9441ed7d6d3045406e95c07cd85c778e4b8cef3ca7abac09b95c709ee5",
         "04c6047f9441ed7d6d3045406e95c07cd85c778e4b8cef3ca7abac09b95c709ee5"
         "1ae168fea63dc339a3c58419466ceaeef7f632653266d0e1236431a950cfe52a"},
        {"fffffffffffffffffffffffffffffffebaaedce6af48a03bbfd25e8cd0364140",
         "0379be667ef9dcbbac55a06295ce870b07029bfcdb2dce28d959f2815b16f81798",
         "0479be667ef9dcbbac55a06295ce870b07029bfcdb2dce28d959f2815b16f81798"
         "b7c52588d95c3b9aa25b0403f1eef75702e84bb7597aabe663b82f6f04ef2777"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        const Json j = run_json({"pubkey", "--key-file", key_file(c.key)});
        EXPECT_EQ(j["compressed"].str(), c.compressed);
        EXPECT_EQ(j["uncompressed"].str(), c.uncompressed);
        EXPECT_EQ(j["x_only"].str(), c.compressed.substr(2));

        // A given uncompressed key is checked and compressed.
        EXPECT_EQ(run_json({"pubkey", "--pubkey", c.uncompressed})["compressed"].str(), c.compressed);
        // --format prints one bare line.
        EXPECT_EQ(run({"pubkey", "--key-file", dir / "key.hex", "--format", "x-only"}).out, c.compressed.substr(2) + "\n");
    }
    // The key may also be 32 raw bytes, here on stdin.
    std::string raw(31, '\0');
    raw += '\x01';
    EXPECT_EQ(run_json({"pubkey", "--key-file", "-"}, raw)["compressed"].str(), kG);
}

using CliEcdsa = CliTest;

TEST_F(CliEcdsa, KeygenPubkeySignVerifyRecover) {
    const std::string key = dir / "alice.key";
    ASSERT_EQ(run({"keygen", "--out", key}).status, 0);
    const std::string secret = slurp(key).substr(0, 64);
    const std::string pub = run({"pubkey", "--key-file", key, "--format", "compressed"}).out.substr(0, 66);
    const std::string pub65 = run_json({"pubkey", "--key-file", key})["uncompressed"].str();
    const std::string msg = dir / "invoice.txt";
    write_file(msg, "pay bob 5 coins\n");

    const CliResult signed_ = run({"sign", "--key-file", key, "--message-file", msg, "--recoverable", "--json"});
    ASSERT_EQ(signed_.status, 0) << signed_.dump();
    EXPECT_EQ(signed_.out.find(secret), npos) << "the key must not be printed";
    const Json s = signed_.json();
    EXPECT_EQ(s["scheme"].str(), "ecdsa");
    EXPECT_EQ(s["public_key"].str(), pub);
    // The digest is the message's SHA-256, as 'hash sha256' computes it.
    EXPECT_EQ(s["digest"].str() + "\n", run({"hash", "sha256", msg}).out);
    const std::string sig = s["signature"].str(), der = s["der"].str(), digest = s["digest"].str();
    const long long recid = s["recid"].integer();
    ASSERT_GE(recid, 0);
    ASSERT_LE(recid, 3);

    struct Check {
        const char* what;
        std::vector<std::string> args;
        std::string stdin_data;
    };
    const Check valid[] = {
        {"message file", {"--signature", sig, "--pubkey", pub, "--message-file", msg}, ""},
        {"digest", {"--signature", sig, "--pubkey", pub, "--digest", digest}, ""},
        {"DER signature", {"--signature", der, "--pubkey", pub, "--message-file", msg}, ""},
        {"uncompressed key", {"--signature", sig, "--pubkey", pub65, "--message-file", msg}, ""},
        {"message on stdin", {"--signature", sig, "--pubkey", pub, "--message-file", "-"}, "pay bob 5 coins\n"},
    };
    for (const Check& c : valid) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> args = {"verify"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const CliResult r = run(args, c.stdin_data);
        EXPECT_EQ(r.status, 0) << r.dump();
        EXPECT_EQ(r.out, "valid\n");
    }

    // Another message: exit 1, "invalid", and the library's reason.
    const CliResult bad = run({"verify", "--signature", sig, "--pubkey", pub, "--message", "pay bob 500 coins\n"});
    EXPECT_EQ(bad.status, 1) << bad.dump();
    EXPECT_EQ(bad.out, "invalid\n");
    EXPECT_NE(bad.err.find("ECDSA verify failed"), npos) << bad.err;

    // Recovery gives the key back, from 64 bytes and --recid or from 65 bytes.
    const std::string rid = std::to_string(recid);
    const Json rec = run_json({"recover", "--signature", sig, "--recid", rid, "--message-file", msg, "--expect", pub});
    EXPECT_EQ(rec["public_key"].str(), pub);
    EXPECT_TRUE(rec["matches"].boolean());
    const std::string sig65 = sig + "0" + rid;
    EXPECT_EQ(run_json({"recover", "--signature", sig65, "--digest", digest})["public_key"].str(), pub);
    const CliResult other = run({"recover", "--signature", sig65, "--message", "another", "--expect", pub});
    EXPECT_EQ(other.status, 1) << other.dump();
}

TEST_F(CliEcdsa, Rfc6979Vectors) {
    const Json vectors = load_json_vectors("rfc6979/rfc6979_secp256k1_sha256.json");
    for (const Json& c : vectors["cases"].array()) {
        SCOPED_TRACE(c["message_ascii"].str());
        const std::string key = key_file(c["private_key"].str());
        const std::string compact = c["r"].str() + c["s"].str();
        // The message is hashed with SHA-256, and a digest is signed as given.
        const Json by_message = run_json({"sign", "--key-file", key, "--message", c["message_ascii"].str()});
        const Json by_digest = run_json({"sign", "--key-file", key, "--digest", c["message_sha256"].str()});
        for (const Json* j : {&by_message, &by_digest}) {
            EXPECT_EQ((*j)["digest"].str(), c["message_sha256"].str());
            EXPECT_EQ((*j)["signature"].str(), compact);
            EXPECT_EQ((*j)["der"].str(), c["signature_der"].str());
        }
        EXPECT_EQ(run({"der", "to-der", compact}).out, c["signature_der"].str() + "\n");
        EXPECT_EQ(run({"der", "to-compact", c["signature_der"].str()}).out, compact + "\n");
    }
}

TEST_F(CliEcdsa, MalformedSignaturesAreLibraryErrors) {
    const std::string n = "fffffffffffffffffffffffffffffffebaaedce6af48a03bbfd25e8cd0364141";
    const std::string digest(64, '1');
    struct Case {
        const char* what;
        std::vector<std::string> args;
        int library_code;
    };
    const Case cases[] = {
        {"r = n", {"verify", "--signature", n + n.substr(0, 62) + "00", "--pubkey", kG, "--digest", digest}, 4},
        {"bad DER", {"der", "to-compact", "3006020101020100"}, 4},
        {"recid 4", {"recover", "--signature", std::string(128, '1'), "--recid", "4", "--digest", digest}, 5},
        {"pubkey off the curve", {"verify", "--signature", std::string(128, '1'), "--pubkey", "02" + std::string(64, '0'),
                                  "--digest", digest}, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> args = c.args;
        args.push_back("--json");
        const CliResult r = run(args);
        EXPECT_EQ(r.status, 3) << r.dump();
        const Json j = r.json();
        EXPECT_EQ(j["exit_code"].integer(), 3);
        EXPECT_EQ(j["library_code"].integer(), c.library_code);
        EXPECT_FALSE(j["error"].str().empty());
        EXPECT_NE(r.err.find(j["error"].str()), npos) << "stderr carries the library's message";
    }
}

using CliSchnorr = CliTest;

TEST_F(CliSchnorr, SignVerifyRoundTrip) {
    const std::string key = dir / "k";
    ASSERT_EQ(run({"keygen", "--out", key}).status, 0);
    const Json pk = run_json({"pubkey", "--key-file", key});
    const std::string msg = dir / "m.txt";
    write_file(msg, "a message of any length");

    const Json s = run_json({"sign", "--scheme", "schnorr", "--key-file", key, "--message-file", msg});
    EXPECT_EQ(s["public_key"].str(), pk["x_only"].str());
    // The digest shown is the message's "BIP0340/msg" tagged hash.
    EXPECT_EQ(s["digest"].str() + "\n", run({"hash", "tagged", "--tag", "BIP0340/msg", msg}).out);
    const std::string sig = s["signature"].str();

    for (const std::string& pub : {pk["x_only"].str(), pk["compressed"].str()}) {
        for (const std::vector<std::string>& message :
             {std::vector<std::string>{"--message-file", msg}, std::vector<std::string>{"--digest", s["digest"].str()}}) {
            std::vector<std::string> args = {"verify", "--scheme", "schnorr", "--signature", sig, "--pubkey", pub};
            args.insert(args.end(), message.begin(), message.end());
            const CliResult r = run(args);
            EXPECT_EQ(r.status, 0) << r.dump();
        }
    }
    const CliResult bad = run({"verify", "--scheme", "schnorr", "--signature", sig, "--pubkey", pk["x_only"].str(),
                               "--message", "a message of another length", "--json"});
    EXPECT_EQ(bad.status, 1) << bad.dump();
    EXPECT_FALSE(bad.json()["valid"].boolean());
    EXPECT_NE(bad.err.find("Schnorr verify failed"), npos) << bad.err;

    // Fresh auxiliary randomness each time, unless --aux fixes it.
    const std::string aux(64, '7');
    const auto sign = [&](std::vector<std::string> extra) {
        std::vector<std::string> args = {"sign", "--scheme", "schnorr", "--key-file", key, "--message", "x"};
        args.insert(args.end(), extra.begin(), extra.end());
        return run_json(args)["signature"].str();
    };
    EXPECT_NE(sign({}), sign({}));
    EXPECT_EQ(sign({"--aux", aux}), sign({"--aux", aux}));
}

// BIP-340 rows with a 32-byte message: the signing rows sign to the
// published signature, and every row verifies (exit 0) or fails as expected:
// exit 1 when the signature does not verify, 3 when the library rejects an
// input as malformed (a public key not on the curve or >= p, r >= p, s >= n).
TEST_F(CliSchnorr, Bip340Vectors) {
    const std::map<int, int> failure_exit = {{5, 3}, {6, 1}, {7, 1}, {8, 1}, {9, 1},
                                             {10, 1}, {11, 1}, {12, 3}, {13, 3}, {14, 3}};
    std::istringstream csv(read_text_file(vector_path("bip340/test-vectors.csv")));
    std::string line;
    std::getline(csv, line);  // header
    int rows = 0;
    while (std::getline(csv, line)) {
        std::vector<std::string> f;
        std::stringstream ss(line);
        for (std::string cell; f.size() < 7 && std::getline(ss, cell, ',');) f.push_back(cell);
        ASSERT_EQ(f.size(), 7u) << line;
        if (f[4].size() != 64) continue;  // messages of other lengths: not a digest
        SCOPED_TRACE("BIP-340 vector " + f[0]);
        const int index = std::stoi(f[0]);
        const std::string pub = lower(f[2]), aux = lower(f[3]), msg = lower(f[4]), sig = lower(f[5]);
        ++rows;
        if (!f[1].empty()) {
            const Json s = run_json({"sign", "--scheme", "schnorr", "--key-file", key_file(f[1]), "--digest", msg,
                                     "--aux", aux});
            EXPECT_EQ(s["signature"].str(), sig);
            EXPECT_EQ(s["public_key"].str(), pub);
        }
        const CliResult v = run({"verify", "--scheme", "schnorr", "--pubkey", pub, "--signature", sig, "--digest", msg});
        const int expected = f[6] == "TRUE" ? 0 : failure_exit.at(index);
        EXPECT_EQ(v.status, expected) << v.dump();
    }
    EXPECT_EQ(rows, 15);
}

}  // namespace
}  // namespace qorvex::test
