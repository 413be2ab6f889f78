// What the tool does with secrets and files beyond the happy path: key files
// replaced through links, keys in error messages and in argv, oversized
// secret input, and the small generator tables of one-shot commands.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "cli/cli_helpers.h"

namespace qorvex::test {
namespace {

const std::string kOne = "0000000000000000000000000000000000000000000000000000000000000001";
const std::string kKey = "c90fdaa22168c234c4c6628b80dc1cd129024e088a67cc74020bbea63b14e5c7";
const auto npos = std::string::npos;

using CliHardening = CliTest;

std::vector<std::string> names_in(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir)) names.push_back(e.path().filename().string());
    return names;
}

// keygen --out FILE --force with FILE a link: the link is replaced by the
// new key file, its target is untouched, and a reader that had the old file
// open still reads the old key.
TEST_F(CliHardening, KeyFilesAreReplacedByRenameNeverWrittenThrough) {
    const std::string victim = dir / "victim.txt", link = dir / "link.key", old_key = dir / "old.key";
    write_file(victim, "not a key\n");
    ASSERT_EQ(0, ::symlink(victim.c_str(), link.c_str()));
    ASSERT_EQ(run({"keygen", "--out", link, "--force"}).status, 0);
    EXPECT_EQ(slurp(victim), "not a key\n");
    struct stat st {};
    ASSERT_EQ(0, ::lstat(link.c_str(), &st));
    EXPECT_TRUE(S_ISREG(st.st_mode)) << "the link itself is replaced";
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(slurp(link).size(), 65u);

    ASSERT_EQ(run({"keygen", "--out", old_key}).status, 0);
    const std::string before = slurp(old_key);
    const int fd = ::open(old_key.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(run({"keygen", "--out", old_key, "--force"}).status, 0);
    char buf[128] = {};
    EXPECT_EQ(::pread(fd, buf, sizeof buf - 1, 0), 65);
    ::close(fd);
    EXPECT_EQ(std::string(buf), before) << "the old file is not rewritten in place";
    EXPECT_NE(slurp(old_key), before);

    // Without --force an existing name is refused, whatever it is, and no
    // temporary file is left behind.
    const std::string dangling = dir / "dangling.key";
    ASSERT_EQ(0, ::symlink((dir / "nowhere").c_str(), dangling.c_str()));
    for (const std::string& taken : {old_key, dangling}) {
        const CliResult r = run({"keygen", "--out", taken});
        EXPECT_EQ(r.status, 2) << r.dump();
        EXPECT_NE(r.err.find("already exists"), npos) << r.err;
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "nowhere"));
    for (const std::string& name : names_in(dir.path())) EXPECT_EQ(name.find(".tmp."), npos) << name;
}

// A key typed where an option name, a command or a positional argument was
// expected is never echoed.
TEST_F(CliHardening, ErrorsDoNotEchoValues) {
    const std::vector<std::vector<std::string>> cases = {
        {"keygen", "--show-secret", "-from-hex=" + kKey},
        {"keygen", "--show-secret", "--fromhex=" + kKey},
        {"keygen", "--show-secret", "--from-hex", kKey, "--bogus=" + kKey},
        {"pubkey", "--key-file", "k", kKey},
        {"version", kKey},
        {kKey},
        {"eth", kKey},
        {"help", kKey},
    };
    for (const auto& args : cases) {
        SCOPED_TRACE(args.back());
        const CliResult r = run(args);
        EXPECT_EQ(r.status, 2) << r.dump();
        EXPECT_EQ(r.err.find(kKey.substr(0, 16)), npos) << r.err;
        EXPECT_EQ(r.out.find(kKey.substr(0, 16)), npos) << r.out;
    }
    EXPECT_NE(run({"keygen", "-from-hex=" + kKey}).err.find("unknown option -from-hex"), npos);
    EXPECT_NE(run({"keygen", "--fromhex=" + kKey}).err.find("unknown option --fromhex"), npos);
}

// The key given with --from-hex leaves argv before any argument error: the
// tool is held at its last write (stdout is a full pipe) after it reported
// the error, and its command line is read from /proc meanwhile.
TEST_F(CliHardening, KeyArgumentsAreWipedBeforeArgumentErrors) {
    for (const std::vector<std::string>& tail :
         {std::vector<std::string>{"--bogus", "--from-hex", kKey}, {"--from-hex=" + kKey, "--bogus"},
          {"--from-hex", kKey, "--show-secret", "--show-secret", "--out"}}) {
        SCOPED_TRACE(tail.front());
        int pipefd[2];
        ASSERT_EQ(0, ::pipe(pipefd));
        // Fill the pipe so that the tool's first write to stdout blocks.
        ::fcntl(pipefd[1], F_SETFL, O_NONBLOCK);
        const std::string block(4096, 'x');
        while (::write(pipefd[1], block.data(), block.size()) > 0) {
        }
        ::fcntl(pipefd[1], F_SETFL, 0);
        const std::string err_path = dir / "stderr.argv";
        std::vector<std::string> args = {QORVEX_CLI_PATH, "keygen", "--json"};
        args.insert(args.end(), tail.begin(), tail.end());
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipefd[1], 1);
        posix_spawn_file_actions_addclose(&actions, pipefd[0]);
        posix_spawn_file_actions_addopen(&actions, 2, err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        pid_t pid = 0;
        ASSERT_EQ(0, posix_spawn(&pid, QORVEX_CLI_PATH, &actions, nullptr, argv.data(), environ));
        posix_spawn_file_actions_destroy(&actions);
        ::close(pipefd[1]);
        // The error is on stderr once the arguments have been looked at.
        for (int i = 0; i < 5000 && slurp(err_path).empty(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        const std::string cmdline = slurp("/proc/" + std::to_string(pid) + "/cmdline");
        EXPECT_NE(slurp(err_path).find("qorvex keygen:"), npos);
        EXPECT_NE(cmdline.find("keygen"), npos) << "the process is still there";
        EXPECT_EQ(cmdline.find(kKey.substr(0, 16)), npos) << "the key is still in argv";
        // Let it finish.
        std::string drained;
        char buf[65536];
        for (ssize_t n; (n = ::read(pipefd[0], buf, sizeof buf)) > 0;) drained.append(buf, static_cast<size_t>(n));
        ::close(pipefd[0]);
        int status = 0;
        ::waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2);
        EXPECT_EQ(drained.find(kKey.substr(0, 16)), npos);
    }
}

TEST_F(CliHardening, SecretInputIsBounded) {
    const std::string big = dir / "big.key";
    write_file(big, kKey + std::string(5000, ' ') + "\n");
    for (const CliResult& r : {run({"pubkey", "--key-file", big}), run({"pubkey", "--key-file", "-"}, slurp(big)),
                               run({"keygen", "--show-secret", "--from-hex", "-"}, slurp(big))}) {
        EXPECT_EQ(r.status, 2) << r.dump();
        EXPECT_NE(r.err.find("more than 4096 bytes"), npos) << r.err;
    }
    // Up to the limit, whitespace around the key is fine.
    write_file(big, std::string(2000, ' ') + kKey + std::string(2000, '\n'));
    EXPECT_EQ(run({"pubkey", "--key-file", big}).status, 0);
}

// One-shot commands use 8-bit tables unless the user chose a width; the
// library's default place holds them.
TEST_F(CliHardening, OneShotCommandsTakeSmallTables) {
    const std::string home = dir / "home";
    CliOptions o = options(kOne);
    o.env["SECP256K1_CACHE_DIR"] = std::nullopt;
    o.env["SECP256K1_WINDOW_BITS"] = std::nullopt;
    o.env["HOME"] = home;
    const CliResult r = run_tool({"pubkey", "--key-file", "-", "--format", "compressed"}, o, dir);
    ASSERT_EQ(r.status, 0) << r.dump();
    EXPECT_EQ(names_in(home + "/.cache/qorvex"), std::vector<std::string>{"cache_w8.bin"});
    o.env["SECP256K1_WINDOW_BITS"] = "9";
    ASSERT_EQ(run_tool({"pubkey", "--key-file", "-"}, o, dir).status, 0);
    EXPECT_TRUE(std::filesystem::exists(home + "/.cache/qorvex/cache_w9.bin"));
    EXPECT_EQ(run_tool({"version", "--json"}, o, dir).json()["table_cache"].str(),
              home + "/.cache/qorvex/cache_w9.bin");
    // Off disk: SECP256K1_CACHE_DIR=/dev/null.
    o.env["SECP256K1_CACHE_DIR"] = "/dev/null";
    o.env["SECP256K1_WINDOW_BITS"] = "7";
    ASSERT_EQ(run_tool({"pubkey", "--key-file", "-"}, o, dir).status, 0);
    EXPECT_FALSE(std::filesystem::exists(home + "/.cache/qorvex/cache_w7.bin"));
}

}  // namespace
}  // namespace qorvex::test
