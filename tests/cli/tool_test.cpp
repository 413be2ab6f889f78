// The tool as a whole: help for every command, version, selftest, demo and
// bench, usage errors, --json on every subcommand, and where the generator
// tables are cached by default.
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>

#include "cli/cli_helpers.h"

namespace qorvex::test {
namespace {

const std::string kOne = "0000000000000000000000000000000000000000000000000000000000000001";
const std::string kG = "0279be667ef9dcbbac55a06295ce870b07029bfcdb2dce28d959f2815b16f81798";
const auto npos = std::string::npos;

// Names listed under "heading" in a help text, one "  name  summary" per line.
std::vector<std::string> listed(const std::string& help, const std::string& heading) {
    std::vector<std::string> names;
    std::istringstream in(help.substr(help.find(heading) + heading.size()));
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line) && line.rfind("  ", 0) == 0) names.push_back(line.substr(2, line.find(' ', 2) - 2));
    return names;
}

using CliTool = CliTest;

TEST_F(CliTool, HelpForEveryCommand) {
    const CliResult top = run({"--help"});
    ASSERT_EQ(top.status, 0);
    EXPECT_NE(top.out.find("Exit status"), npos);
    const std::vector<std::string> commands = listed(top.out, "Commands:");
    EXPECT_GE(commands.size(), 12u) << top.out;
    for (const std::string& cmd : commands) {
        SCOPED_TRACE(cmd);
        const CliResult h = run({cmd, "--help"});
        EXPECT_EQ(h.status, 0) << h.dump();
        EXPECT_NE(h.out.find("Usage: qorvex " + cmd), npos) << h.out;
        EXPECT_NE(h.out.find("Example:"), npos) << h.out;
        EXPECT_EQ(run({"help", cmd}).out, h.out);
        for (const std::string& sub : listed(h.out, "Subcommands:")) {
            const CliResult sh = run({cmd, sub, "--help"});
            EXPECT_EQ(sh.status, 0) << sh.dump();
            EXPECT_NE(sh.out.find("Usage: qorvex " + cmd + " " + sub), npos) << sh.out;
            EXPECT_NE(sh.out.find("Example:"), npos) << sh.out;
        }
    }
}

TEST_F(CliTool, VersionAndSelftest) {
    const Json v = run_json({"version"});
    EXPECT_EQ(v["library"].str(), v["header"].str());
    EXPECT_EQ(v["library_abi"].integer(), v["header_abi"].integer());
    EXPECT_EQ(v["table_cache"].str(), dir / "cache_w8.bin");
    EXPECT_EQ(run({"--version"}).out, run({"version"}).out);

    const CliResult text = run({"selftest"});
    EXPECT_EQ(text.status, 0) << text.dump();
    const Json s = run_json({"selftest"});
    EXPECT_TRUE(s["passed"].boolean());
    ASSERT_GE(s["checks"].size(), 10u);
    for (const Json& c : s["checks"].array()) {
        EXPECT_TRUE(c["ok"].boolean()) << c["name"].str() << ": " << c["got"].str();
        EXPECT_EQ(c["got"].str(), c["expected"].str());
    }
}

TEST_F(CliTool, DemoWalksThroughEveryStep) {
    const CliResult r = run({"demo"});
    ASSERT_EQ(r.status, 0) << r.dump();
    const Json j = run_json({"demo"});
    const auto& steps = j["steps"].array();
    ASSERT_GE(steps.size(), 6u);
    for (size_t i = 0; i < steps.size(); ++i) {
        const std::string head = "[" + std::to_string(i + 1) + "/" + std::to_string(steps.size()) + "] " +
                                 steps[i]["title"].str();
        EXPECT_NE(r.out.find(head), npos) << head;
    }
    // Fixed inputs: every run prints the same thing.
    EXPECT_EQ(run({"demo"}).out, r.out);
    // The ECDSA step's signature verifies with the CLI too.
    const Json& keys = steps[1]["results"];
    const Json& ecdsa = steps[2]["results"];
    const CliResult v = run({"verify", "--pubkey", keys["public_key"].str(), "--signature", ecdsa["signature"].str(),
                             "--digest", ecdsa["sha256"].str()});
    EXPECT_EQ(v.status, 0) << v.dump();
}

// The demo's MuSig2 and FROST signatures are plain BIP-340 signatures: the
// tool's own verification accepts them under the aggregate and group keys.
TEST_F(CliTool, DemoThresholdSignaturesVerifyAsSchnorr) {
    const Json j = run_json({"demo"});
    std::string digest;
    std::vector<std::pair<std::string, std::string>> checks;  // key, signature
    for (const Json& step : j["steps"].array()) {
        const Json& r = step["results"];
        const std::string title = step["title"].str();
        if (title.rfind("ECDSA: sign", 0) == 0) digest = r["sha256"].str();
        if (title.rfind("MuSig2", 0) == 0) checks.push_back({r["aggregate_key"].str(), r["signature"].str()});
        if (title.rfind("FROST", 0) == 0) checks.push_back({r["x_only"].str(), r["signature"].str()});
    }
    ASSERT_EQ(2u, checks.size());
    ASSERT_FALSE(digest.empty());
    for (const auto& [key, sig] : checks) {
        const CliResult v = run({"verify", "--scheme", "schnorr", "--pubkey", key, "--signature", sig, "--digest", digest});
        EXPECT_EQ(v.status, 0) << v.dump();
    }
}

TEST_F(CliTool, BenchReportsEveryOperation) {
    const CliResult r = run({"bench", "--seconds", "0.2", "--json"});
    ASSERT_EQ(r.status, 0) << r.dump();
    EXPECT_NE(r.err.find("bench:"), npos) << "progress on stderr";
    const Json j = r.json();
    std::vector<std::string> names;
    for (const Json& op : j["results"].array()) {
        names.push_back(op["operation"].str());
        EXPECT_GT(op["ops_per_second"].num(), 0) << names.back();
        EXPECT_GT(op["iterations"].num(), 0) << names.back();
    }
    const std::vector<std::string> expected = {"pubkey create",  "ECDSA sign",     "ECDSA verify",
                                               "ECDSA recover",  "Schnorr sign",   "Schnorr verify",
                                               "ECDH",           "ECIES encrypt (64 B)",
                                               "SHA-256 (64 B)", "Keccak-256 (64 B)"};
    EXPECT_EQ(names, expected);
    EXPECT_EQ(run({"bench", "--seconds", "0.05", "--quiet"}).err, "");
}

TEST_F(CliTool, UsageErrorsExitTwo) {
    const std::string key = key_file(kOne);
    const std::string digest(64, 'a');
    struct Case {
        std::vector<std::string> args;
        std::string message;  // part of the stderr text
        std::string stdin_data = {};
    };
    const Case cases[] = {
        {{"frobnicate"}, "unknown command"},
        {{"hash", "sha256", "--text", "a", "--bogus"}, "unknown option --bogus"},
        {{"sign", "--key-file"}, "needs a value"},
        {{"keygen"}, "--show-secret"},
        {{"pubkey", "--key-file", dir / "missing.key"}, "cannot open"},
        {{"sign", "--key-file", key, "--digest", "1234"}, "expected 32 bytes"},
        {{"sign", "--key-file", key, "--digest", std::string(63, 'a') + "z"}, "not hex"},
        {{"sign", "--key-file", key, "--digest", digest, "--message", "x"}, "only one of"},
        {{"sign", "--key-file", key, "--scheme", "rsa", "--digest", digest}, "--scheme"},
        {{"sign", "--key-file", key, "--aux", digest, "--digest", digest}, "does not apply"},
        {{"sign", "--key-file", "-"}, "the key is read from stdin", kOne},
        {{"verify", "--pubkey", kG, "--digest", digest}, "missing --signature"},
        {{"recover", "--signature", std::string(128, '1'), "--digest", digest}, "missing --recid"},
        {{"der", "to-der", "3044"}, "expected 64 bytes"},
        {{"der"}, "missing subcommand"},
        {{"eth", "frob"}, "unknown subcommand"},
        {{"eth", "ecrecover", "--signature", std::string(128, '1'), "--digest", digest}, "needs --v"},
        {{"hash", "md5", "--text", "a"}, "unknown algorithm"},
        {{"hash", "tagged", "--text", "a"}, "--tag"},
        {{"bench", "--seconds", "0"}, "--seconds"},
        {{"version", "extra"}, "unexpected argument"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0] + (c.args.size() > 1 ? " " + c.args[1] : ""));
        const CliResult r = run(c.args, c.stdin_data);
        EXPECT_EQ(r.status, 2) << r.dump();
        EXPECT_NE(r.err.find(c.message), npos) << r.err;
        EXPECT_EQ(r.out, "") << "errors go to stderr";
        // With --json, the same error as an object on stdout as well.
        std::vector<std::string> args = c.args;
        args.push_back("--json");
        const CliResult j = run(args, c.stdin_data);
        EXPECT_EQ(j.status, 2);
        EXPECT_EQ(j.json()["exit_code"].integer(), 2) << j.out;
    }
    const CliResult none = run({});
    EXPECT_EQ(none.status, 2);
    EXPECT_NE(none.err.find("Usage:"), npos);
}

// Every subcommand prints one JSON object with --json.
TEST_F(CliTool, JsonOnEverySubcommand) {
    const std::string key = key_file(kOne);
    const std::string digest(64, 'a');
    const std::string sig =
        "af340daf02cc15c8d5d08d7735dfe6b98a474ed373bdb5fbecf7571be52b3842"
        "5009fb27f37034a9b24b707b7c6b79ca23ddef9e25f7282e8a797efe53a8f124";
    struct Case {
        std::vector<std::string> args;
        std::string member;  // a member the object must have
    };
    const Case cases[] = {
        {{"keygen", "--show-secret"}, "public_key"},
        {{"pubkey", "--key-file", key}, "x_only"},
        {{"sign", "--key-file", key, "--digest", digest, "--recoverable"}, "recid"},
        {{"verify", "--pubkey", kG, "--signature", sig, "--digest", digest}, "valid"},  // exit 1
        {{"recover", "--signature", sig, "--recid", "0", "--digest", digest}, "public_key"},
        {{"der", "to-der", sig}, "der"},
        {{"der", "to-compact", "3006020101020101"}, "signature"},
        {{"hash", "keccak256", "--text", ""}, "digest"},
        {{"eth", "address", "--pubkey", kG}, "address"},
        {{"eth", "checksum", "0x7e5f4552091a69125d5dfcb7b8c2659029395bdf"}, "address"},
        {{"eth", "personal-hash", "--message", "hi"}, "hash"},
        {{"eth", "sign", "--key-file", key, "--message", "hi", "--chain-id", "1"}, "v"},
        {{"eth", "ecrecover", "--signature", sig + "1b", "--digest", digest}, "address"},
        {{"demo"}, "steps"},
        {{"selftest"}, "checks"},
        {{"bench", "--seconds", "0.05", "--quiet"}, "results"},
        {{"version"}, "library"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0] + (c.args.size() > 1 ? " " + c.args[1] : ""));
        std::vector<std::string> args = c.args;
        args.push_back("--json");
        const CliResult r = run(args);
        EXPECT_TRUE(r.status == 0 || r.status == 1) << r.dump();
        ASSERT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1) << "one line: " << r.out;
        const Json j = r.json();
        ASSERT_TRUE(j.is_object());
        EXPECT_TRUE(j.has(c.member)) << r.out;
    }
}

// Without SECP256K1_CACHE_DIR or SECP256K1_CACHE_PATH the tables go to the
// user's cache directory, never to the working directory.
TEST(CliCache, DefaultLocationIsTheUserCacheDirectory) {
    struct Case {
        const char* what;
        bool xdg;
    };
    for (const Case c : {Case{"XDG_CACHE_HOME", true}, Case{"HOME", false}}) {
        SCOPED_TRACE(c.what);
        TempDir root;
        const std::string home = root / "home", xdg = root / "xdg", work = root / "work";
        for (const std::string& d : {home, work}) ASSERT_EQ(::mkdir(d.c_str(), 0700), 0);
        CliOptions o;
        o.cwd = work;
        o.env = {{"SECP256K1_CACHE_DIR", std::nullopt},
                 {"SECP256K1_CACHE_PATH", std::nullopt},
                 {"SECP256K1_WINDOW_BITS", "8"},
                 {"HOME", home},
                 {"XDG_CACHE_HOME", c.xdg ? std::optional<std::string>(xdg) : std::nullopt}};
        const std::string cache = c.xdg ? xdg + "/qorvex" : home + "/.cache/qorvex";

        CliOptions with_key = o;
        with_key.stdin_data = kOne;
        const CliResult r = run_tool({"pubkey", "--key-file", "-", "--format", "compressed"}, with_key, root);
        ASSERT_EQ(r.status, 0) << r.dump();
        EXPECT_EQ(r.out, kG + "\n");

        struct stat st {};
        ASSERT_EQ(::stat((cache + "/cache_w8.bin").c_str(), &st), 0) << "no table file in " << cache;
        ASSERT_EQ(::stat(cache.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0700u);
        DIR* d = ::opendir(work.c_str());
        ASSERT_NE(d, nullptr);
        while (const dirent* e = ::readdir(d)) {
            EXPECT_NE(std::string(e->d_name).rfind("cache_w", 0), 0u) << e->d_name << " left in the working directory";
        }
        ::closedir(d);
        // The next run reports where the tables are.
        EXPECT_EQ(run_tool({"version", "--json"}, o, root).json()["table_cache"].str(), cache + "/cache_w8.bin");
    }
}

}  // namespace
}  // namespace qorvex::test
