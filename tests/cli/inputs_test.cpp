// Where inputs come from: an explicit message source for every command that
// hashes a message, the empty message only when asked for, hex values from
// stdin ("-"), key files holding WIF text, and the warning for key files
// other users can read. Also the demo's values, printed whole.
#include <sys/stat.h>

#include "cli/cli_helpers.h"

namespace qorvex::test {
namespace {

const std::string kOne = "0000000000000000000000000000000000000000000000000000000000000001";
const std::string kG = "0279be667ef9dcbbac55a06295ce870b07029bfcdb2dce28d959f2815b16f81798";
const std::string kXonlyG = kG.substr(2);
const std::string kEmptySha256 = "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855";
const auto npos = std::string::npos;

using CliInputs = CliTest;

// A job with stdin on /dev/null and no message option used to sign the empty
// message. Every command that hashes a message now asks for its source.
TEST_F(CliInputs, NoMessageSourceIsAUsageError) {
    const std::string key = key_file(kOne);
    const std::string sig(128, '1');
    const std::vector<std::vector<std::string>> commands = {
        {"sign", "--key-file", key},
        {"sign", "--key-file", key, "--scheme", "schnorr"},
        {"verify", "--pubkey", kG, "--signature", sig},
        {"recover", "--signature", sig, "--recid", "0"},
        {"eth", "sign", "--key-file", key},
        {"eth", "ecrecover", "--signature", sig + "1b"},
        {"eth", "personal-hash"},
    };
    for (const auto& args : commands) {
        SCOPED_TRACE(args[0] + " " + args[1]);
        const CliResult r = run(args);  // stdin: an empty file, as /dev/null gives
        EXPECT_EQ(r.status, 2) << r.dump();
        EXPECT_EQ(r.out, "");
        for (const char* option : {"--message", "--message-file", "--digest"}) {
            if (args[0] == "eth" && args[1] == "personal-hash" && std::string(option) == "--digest") continue;
            EXPECT_NE(r.err.find(option), npos) << option << "\n" << r.err;
        }
    }
}

TEST_F(CliInputs, EmptyMessageOnlyWithAllowEmpty) {
    const std::string key = key_file(kOne);
    const std::string empty = dir / "empty.txt";
    write_file(empty, "");
    struct Source {
        const char* what;
        std::vector<std::string> args;
    };
    const Source sources[] = {
        {"--message ''", {"--message", ""}},
        {"empty file", {"--message-file", empty}},
        {"empty stdin", {"--message-file", "-"}},
    };
    for (const Source& src : sources) {
        for (const char* scheme : {"ecdsa", "schnorr"}) {
            SCOPED_TRACE(std::string(src.what) + ", " + scheme);
            std::vector<std::string> args = {"sign", "--key-file", key, "--scheme", scheme};
            args.insert(args.end(), src.args.begin(), src.args.end());
            const CliResult refused = run(args);
            EXPECT_EQ(refused.status, 2) << refused.dump();
            EXPECT_NE(refused.err.find("--allow-empty"), npos) << refused.err;

            args.push_back("--allow-empty");
            const Json s = run_json(args);
            const std::string sig = s["signature"].str();
            ASSERT_EQ(sig.size(), 128u);
            if (std::string(scheme) == "ecdsa") {
                EXPECT_EQ(s["digest"].str(), kEmptySha256);
            }
            // The signature is of the empty message: verify agrees when asked
            // for the empty message too, and not for another one.
            const std::string pub = std::string(scheme) == "ecdsa" ? kG : kXonlyG;
            std::vector<std::string> check = {"verify", "--scheme", scheme, "--pubkey", pub, "--signature", sig};
            check.insert(check.end(), src.args.begin(), src.args.end());
            EXPECT_EQ(run(check).status, 2);
            check.push_back("--allow-empty");
            const CliResult ok = run(check);
            EXPECT_EQ(ok.status, 0) << ok.dump();
            EXPECT_EQ(run({"verify", "--scheme", scheme, "--pubkey", pub, "--signature", sig, "--message", "x"}).status,
                      1);
        }
    }
    const Json eth = run_json({"eth", "personal-hash", "--message", "", "--allow-empty"});
    EXPECT_EQ(eth["hash"].str().size(), 64u);
}

TEST_F(CliInputs, MessageFromStdinWhenNamed) {
    const std::string key = key_file(kOne);
    const Json piped = run_json({"sign", "--key-file", key, "--message-file", "-"}, "pay bob 5");
    const Json given = run_json({"sign", "--key-file", key, "--message", "pay bob 5"});
    EXPECT_EQ(piped["signature"].str(), given["signature"].str());
    // The key and the message cannot share stdin.
    const CliResult both = run({"sign", "--key-file", "-", "--message-file", "-"}, kOne);
    EXPECT_EQ(both.status, 2) << both.dump();
}

// "-" in place of a hex value reads it from stdin (surrounding white space
// and a 0x prefix allowed, as on the command line); stdin feeds one input.
TEST_F(CliInputs, HexValuesFromStdin) {
    const std::string key = key_file(kOne);
    const Json s = run_json({"sign", "--key-file", key, "--digest", kEmptySha256});
    const std::string sig = s["signature"].str(), der = s["der"].str();

    EXPECT_EQ(run({"der", "to-der", "-"}, sig + "\n").out, der + "\n");
    EXPECT_EQ(run({"der", "to-compact", "-"}, "0x" + der + "\n").out, sig + "\n");
    EXPECT_EQ(run({"verify", "--pubkey", kG, "--digest", kEmptySha256, "--signature", "-"}, sig).out, "valid\n");
    EXPECT_EQ(run({"verify", "--pubkey", "-", "--digest", kEmptySha256, "--signature", sig}, kG + "\n").out, "valid\n");
    EXPECT_EQ(run_json({"sign", "--key-file", key, "--digest", "-"}, kEmptySha256 + "\n")["signature"].str(), sig);
    EXPECT_EQ(run({"hash", "sha256", "--hex", "-"}, "616263\n").out,
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad\n");
    EXPECT_EQ(run({"eth", "checksum", "-"}, "0x7e5f4552091a69125d5dfcb7b8c2659029395bdf\n").out,
              "0x7E5F4552091A69125d5DfCb7b8C2659029395Bdf\n");

    const CliResult twice = run({"verify", "--pubkey", "-", "--digest", kEmptySha256, "--signature", "-"}, sig);
    EXPECT_EQ(twice.status, 2) << twice.dump();
    EXPECT_NE(twice.err.find("stdin can give only one input"), npos) << twice.err;
    const CliResult key_too = run({"sign", "--key-file", "-", "--digest", "-"}, kOne);
    EXPECT_EQ(key_too.status, 2) << key_too.dump();
    EXPECT_NE(key_too.err.find("stdin can give only one input"), npos) << key_too.err;
    EXPECT_EQ(run({"der", "to-der", "-"}, "").status, 2);  // no hex at all
}

TEST_F(CliInputs, KeyFileReadableByOthersWarns) {
    const std::string key = key_file(kOne);
    const CliResult private_file = run({"pubkey", "--key-file", key, "--format", "compressed"});
    EXPECT_EQ(private_file.status, 0);
    EXPECT_EQ(private_file.err, "");
    for (const mode_t mode : {0640, 0604, 0644}) {
        SCOPED_TRACE(mode);
        ASSERT_EQ(::chmod(key.c_str(), mode), 0);
        const CliResult r = run({"pubkey", "--key-file", key, "--format", "compressed"});
        EXPECT_EQ(r.status, 0) << r.dump();  // a warning, not a failure
        EXPECT_EQ(r.out, kG + "\n");
        EXPECT_NE(r.err.find("warning"), npos) << r.err;
        EXPECT_NE(r.err.find(key), npos) << r.err;
        EXPECT_NE(r.err.find("can be read by other users"), npos) << r.err;
        EXPECT_EQ(r.err.find(kOne), npos) << "the key itself is never shown";
    }
    // A failing command still warns, and keeps its own exit status.
    const CliResult failing = run({"sign", "--key-file", key});
    EXPECT_EQ(failing.status, 2);
    EXPECT_NE(failing.err.find("can be read by other users"), npos) << failing.err;
    // Other secret files (here a mnemonic) warn the same way.
    const std::string words = dir / "wallet.words";
    write_file(words, "abandon abandon abandon abandon abandon abandon abandon abandon abandon abandon abandon about\n");
    ASSERT_EQ(::chmod(words.c_str(), 0644), 0);
    const CliResult mnemonic = run({"mnemonic", "check", "--mnemonic-file", words});
    EXPECT_EQ(mnemonic.status, 0) << mnemonic.dump();
    EXPECT_NE(mnemonic.err.find("can be read by other users"), npos) << mnemonic.err;
}

TEST_F(CliInputs, KeyFilesTakeWifText) {
    const std::string key = key_file(kOne);
    struct Form {
        std::vector<std::string> options;
        const char* prefix;  // what mainnet/testnet WIF of key 1 starts with
    };
    const Form forms[] = {{{}, "K"}, {{"--uncompressed"}, "5"}, {{"--testnet"}, "c"}};
    for (const Form& f : forms) {
        std::vector<std::string> args = {"wif", "encode", "--key-file", key, "--show-secret"};
        args.insert(args.end(), f.options.begin(), f.options.end());
        const std::string wif = run_json(args)["wif"].str();
        SCOPED_TRACE(wif);
        ASSERT_EQ(wif.substr(0, 1), f.prefix);
        const std::string wif_file = key_file(wif, "key.wif");
        EXPECT_EQ(run({"pubkey", "--key-file", wif_file, "--format", "compressed"}).out, kG + "\n");
        EXPECT_EQ(run({"pubkey", "--key-file", "-", "--format", "compressed"}, "  " + wif + "\r\n").out, kG + "\n");
        EXPECT_EQ(run_json({"sign", "--key-file", wif_file, "--digest", kEmptySha256})["signature"].str(),
                  run_json({"sign", "--key-file", key, "--digest", kEmptySha256})["signature"].str());
        // One character changed: the checksum fails, and the library says so.
        std::string bad = wif;
        bad[10] = bad[10] == 'a' ? 'b' : 'a';
        const CliResult r = run({"pubkey", "--key-file", key_file(bad, "bad.wif")});
        EXPECT_EQ(r.status, 3) << r.dump();
        EXPECT_NE(r.err.find("invalid WIF string"), npos) << r.err;
        EXPECT_EQ(r.err.find(bad), npos) << "the key text is never shown";
    }
}

// Hex values copied from the demo's text must paste: each is on one line.
TEST_F(CliInputs, DemoPrintsWholeValues) {
    const CliResult text = run({"demo"});
    ASSERT_EQ(text.status, 0) << text.dump();
    const Json j = run_json({"demo"});
    size_t long_values = 0;
    for (const Json& step : j["steps"].array()) {
        const Json& r = step["results"];
        for (const char* name : {"uncompressed", "signature", "der", "seed", "recovered", "group_key"}) {
            if (!r.has(name)) continue;
            const std::string v = r[name].str();
            if (v.size() > 72) ++long_values;
            EXPECT_NE(text.out.find("  " + v + "\n"), npos) << name << " " << v;
        }
    }
    EXPECT_GE(long_values, 5u);
}

TEST_F(CliInputs, HelpSpeaksOfWhatEachCommandTakes) {
    const std::string recover = run({"recover", "--help"}).out;
    EXPECT_EQ(recover.find("as the scheme"), npos) << recover;
    EXPECT_NE(recover.find("SHA-256"), npos) << recover;
    const std::string sign = run({"sign", "--help"}).out;
    EXPECT_NE(sign.find("--allow-empty"), npos);
    EXPECT_NE(sign.find("own convention"), npos) << sign;
    EXPECT_EQ(run({"eth", "sign", "--help"}).out.find("as the scheme"), npos);
}

// A secret result never goes to stdout through "--out -": it is refused
// before the secret exists, whatever the command.
TEST_F(CliInputs, SecretOutputToDashRefused) {
    const std::string key = key_file(kOne);
    const std::string words = dir / "wallet.words";
    write_file(words, "abandon abandon abandon abandon abandon abandon abandon abandon abandon abandon abandon about\n");
    const std::string wif = dir / "one.wif";
    write_file(wif, "KwDiBf89QgGbjEhKnhXJuH7LrciVrZi3qYjgd9M7rFU73sVHnoWn\n");
    const std::vector<std::vector<std::string>> commands = {
        {"keygen", "--out", "-"},
        {"ecdh", "--key-file", key, "--pubkey", kG, "--out", "-"},
        {"wif", "encode", "--key-file", key, "--out", "-"},
        {"wif", "decode", "--wif-file", wif, "--out", "-"},
        {"coin", "wif", "--coin", "BTC", "--key-file", key, "--out", "-"},
        {"coin", "derive", "--coin", "BTC", "--mnemonic-file", words, "--out", "-"},
        {"mnemonic", "new", "--out", "-"},
        {"mnemonic", "seed", "--mnemonic-file", words, "--out", "-"},
        {"hd", "master", "--mnemonic-file", words, "--out", "-"},
        {"taproot", "tweak", "--key-file", key, "--out", "-"},
        {"commit", "--value", "1", "--random-blinding", "--blinding-out", "-"},
    };
    for (const auto& args : commands) {
        SCOPED_TRACE(args[0] + " " + args[1]);
        const CliResult r = run(args);
        EXPECT_EQ(r.status, 2) << r.dump();
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find("needs a file; use --show-secret"), npos) << r.err;
    }
}

// Commands without --digest do not offer it when the message is missing.
TEST_F(CliInputs, NoMessageNamesOnlyTheOptionsOffered) {
    const std::string key = key_file(kOne);
    const std::vector<std::vector<std::string>> commands = {
        {"message", "sign", "--key-file", key},
        {"message", "verify", "--pubkey", kG, "--signature", "AAAA"},
        {"eth", "personal-hash"},
    };
    for (const auto& args : commands) {
        SCOPED_TRACE(args[0] + " " + args[1]);
        const CliResult r = run(args);
        EXPECT_EQ(r.status, 2) << r.dump();
        EXPECT_NE(r.err.find("no message"), npos) << r.err;
        EXPECT_NE(r.err.find("--message-file"), npos) << r.err;
        EXPECT_EQ(r.err.find("--digest"), npos) << r.err;
    }
}

// The amount of a commitment is secret: --value-hex reads "-" itself (into
// wiped storage) and gives what --value gives.
TEST_F(CliInputs, CommitValueHexFromStdin) {
    const std::string blind = dir / "b.blind";
    write_file(blind, std::string(63, '0') + "7\n");
    ASSERT_EQ(::chmod(blind.c_str(), 0600), 0);
    const std::string by_value = run_json({"commit", "--value", "5000", "--blinding-file", blind})["commitment"].str();
    const std::string amount = std::string(60, '0') + "1388";  // 5000
    const CliResult piped = run({"commit", "--value-hex", "-", "--blinding-file", blind, "--json"}, amount + "\n");
    ASSERT_EQ(piped.status, 0) << piped.dump();
    EXPECT_NE(piped.out.find(by_value), npos) << piped.out;
    EXPECT_EQ(run_json({"commit", "--value-hex", amount, "--blinding-file", blind})["commitment"].str(), by_value);
    EXPECT_EQ(run({"commit", "--value-hex", "-", "--blinding-file", "-"}, amount).status, 2);  // one stdin
    // A blinding file other users can read is warned about, as a key file is.
    ASSERT_EQ(::chmod(blind.c_str(), 0644), 0);
    const CliResult exposed = run({"commit", "--value", "5000", "--blinding-file", blind});
    EXPECT_EQ(exposed.status, 0) << exposed.dump();
    EXPECT_NE(exposed.err.find("can be read by other users"), npos) << exposed.err;
}

}  // namespace
}  // namespace qorvex::test
