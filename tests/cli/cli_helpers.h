// Running the qorvex executable from tests: its stdin, stdout, stderr and
// exit status go through files in a temporary directory, and its environment
// is built from scratch so the tests never touch the real cache or home.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/json.h"

extern char** environ;

namespace qorvex::test {

struct CliResult {
    int status = -1;  // the exit code, or -1 if the tool did not exit normally
    std::string out;
    std::string err;

    Json json() const { return Json::parse(out); }
    // For failure messages: the whole exchange.
    std::string dump() const {
        return "exit " + std::to_string(status) + "\n--- stdout\n" + out + "--- stderr\n" + err;
    }
};

inline std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

inline void write_file(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

// A fresh directory under the system's temporary directory, removed with
// everything in it at the end of the test.
class TempDir {
public:
    TempDir() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "qorvex-cli-XXXXXX").string();
        if (::mkdtemp(tmpl.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
        path_ = tmpl;
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

struct CliOptions {
    std::string stdin_data;  // empty: stdin is /dev/null
    // Environment changes: a value sets the variable, nullopt removes it.
    std::map<std::string, std::optional<std::string>> env;
    std::string cwd;  // empty: the test's own directory
};

// Runs the tool with args. `scratch` holds the captured streams.
inline CliResult run_tool(const std::vector<std::string>& args, const CliOptions& opt, const TempDir& scratch) {
    static int serial = 0;
    const std::string tag = std::to_string(++serial);
    const std::string in_path = scratch / ("stdin." + tag), out_path = scratch / ("stdout." + tag),
                      err_path = scratch / ("stderr." + tag);
    write_file(in_path, opt.stdin_data);

    std::vector<std::string> env_strings;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        const std::string name = entry.substr(0, entry.find('='));
        if (opt.env.count(name) == 0) env_strings.push_back(entry);
    }
    for (const auto& [name, value] : opt.env) {
        if (value) env_strings.push_back(name + "=" + *value);
    }
    std::vector<char*> envp;
    for (auto& s : env_strings) envp.push_back(s.data());
    envp.push_back(nullptr);

    std::vector<std::string> argv_strings = {QORVEX_CLI_PATH};
    argv_strings.insert(argv_strings.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& s : argv_strings) argv.push_back(s.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, in_path.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (!opt.cwd.empty()) posix_spawn_file_actions_addchdir_np(&actions, opt.cwd.c_str());
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, QORVEX_CLI_PATH, &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    CliResult r;
    if (rc != 0) {
        r.err = std::string("posix_spawn failed: ") + std::strerror(rc);
        return r;
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = slurp(out_path);
    r.err = slurp(err_path);
    return r;
}

// The usual setting: small generator tables (width 8) in a cache directory
// of the test's own, and a home directory that is not the user's.
class CliTest : public ::testing::Test {
protected:
    TempDir dir;

    CliOptions options(std::string stdin_data = {}) const {
        CliOptions o;
        o.stdin_data = std::move(stdin_data);
        o.env["SECP256K1_CACHE_DIR"] = dir.path();
        o.env["SECP256K1_WINDOW_BITS"] = "8";
        o.env["SECP256K1_CACHE_PATH"] = std::nullopt;
        o.env["HOME"] = dir.path();
        o.env["XDG_CACHE_HOME"] = std::nullopt;
        return o;
    }

    CliResult run(const std::vector<std::string>& args, std::string stdin_data = {}) const {
        return run_tool(args, options(std::move(stdin_data)), dir);
    }

    // Runs a command that must succeed with --json, and returns its object.
    Json run_json(std::vector<std::string> args, std::string stdin_data = {}) const {
        args.push_back("--json");
        const CliResult r = run(args, std::move(stdin_data));
        EXPECT_EQ(r.status, 0) << r.dump();
        return r.json();
    }

    // A key file holding hex text, private to the user as keygen makes it
    // (a file others can read draws a warning).
    std::string key_file(const std::string& hex, const std::string& name = "key.hex") const {
        write_file(dir / name, hex + "\n");
        ::chmod((dir / name).c_str(), 0600);
        return dir / name;
    }
};

}  // namespace qorvex::test
