// Faults around the generator-table cache file that need a process of their
// own: a disk that fills up during the save, and the whole start-up path
// (qorvex_ctx_create reading the environment) with unusable or refused
// locations. Every case must end with right results, no crash, no hang and
// no stray file. The damaged-file table, FIFOs, concurrent savers and the
// never-replace rule at the level of the cache functions are in
// tests/arith/precompute_test.cpp.
//
// Each case runs in a forked child, so that the environment, resource limits
// and the process-wide tables of one case cannot reach another; a child
// that hangs is ended by an alarm and reported.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "arith/gen_mul.h"
#include "arith/precompute.h"
#include "faults/faults_helpers.h"
#include "qorvex.h"

namespace qorvex::test {
namespace {

namespace fs = std::filesystem;

class TableFileFaults : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/qorvex-faults-XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(tmpl));
        dir_ = tmpl;
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    std::string path(const std::string& name) const { return dir_ + "/" + name; }
    // Files whose name has the temporary-file marker, anywhere below dir_.
    std::vector<std::string> leftovers() const {
        std::vector<std::string> found;
        for (const auto& e : fs::recursive_directory_iterator(dir_))
            if (e.path().filename().string().find(".tmp.") != std::string::npos) found.push_back(e.path());
        return found;
    }
    std::string dir_;
};

// k*G through the current tables equals the constant-time comb, which never
// touches them.
bool tables_give_right_results() {
    for (const char* hex : {"01", "c0ffee", "fffffffffffffffffffffffffffffffebaaedce6af48a03bbfd25e8cd0364140"}) {
        std::string h(64 - std::strlen(hex), '0');
        h += hex;
        const Scalar k = Scalar::from_hex(h.c_str());
        if (!precomputed_gen_mul(k).equals(gen_mul_ct(k))) return false;
    }
    return true;
}

PrecomputeConfig small_config(const std::string& cache_dir) {
    PrecomputeConfig c;
    c.window_bits = 8;
    c.cache_dir = cache_dir;
    return c;
}

// A full disk, imitated by a file-size limit with SIGXFSZ ignored: writes
// past the limit fail with EFBIG as they would with ENOSPC. The save fails
// cleanly wherever the disk fills up, and leaves neither the file nor its
// temporary.
TEST_F(TableFileFaults, DiskFullDuringSave) {
    const std::string file = path("cache_w8.bin");
    const auto tables = build_context(small_config(dir_));
    const uint64_t full_size = 32 + 32 * (1 + 65 * 255);
    struct Case {
        const char* what;
        rlim_t limit;
    };
    const Case cases[] = {
        {"no room at all", 0},
        {"inside the header", 16},
        {"just after the header", 32},
        {"inside the first window", 4096},
        {"one byte short", full_size - 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const int rc = in_child([&] {
            signal(SIGXFSZ, SIG_IGN);
            const struct rlimit lim = {c.limit, c.limit};
            if (setrlimit(RLIMIT_FSIZE, &lim) != 0) return 2;
            if (save_cache(*tables, file)) return 3;
            // In use, the failed save is silent and the tables are right.
            configure(small_config(dir_));
            if (!tables_give_right_results()) return 4;
            return 0;
        });
        EXPECT_EQ(0, rc);
        EXPECT_FALSE(fs::exists(file));
        EXPECT_TRUE(leftovers().empty());
    }
    // With room to spare the same save succeeds.
    EXPECT_TRUE(save_cache(*tables, file));
    EXPECT_EQ(full_size, fs::file_size(file));
}

// Start-up through the exported interface with the environment pointing at
// places that must not or cannot be used.
struct StartupCase {
    const char* what;
    // Prepares dir and returns the environment to set (name, value pairs;
    // "@" in a value stands for dir).
    std::function<std::vector<std::pair<std::string, std::string>>(const std::string& dir)> setup;
    // Checked in the parent afterwards.
    std::function<void(const std::string& dir)> check;
};

std::string expand(const std::string& v, const std::string& dir) {
    std::string out;
    for (char ch : v) out += ch == '@' ? dir : std::string(1, ch);
    return out;
}

// The first context of a child process, with the environment of a case;
// the home directory is dir/home, so the default place is dir/home/.cache.
int start_and_use(const std::vector<std::pair<std::string, std::string>>& env, const std::string& dir) {
    clean_table_environment();
    setenv("HOME", (dir + "/home").c_str(), 1);
    for (const auto& [name, value] : env) setenv(name.c_str(), expand(value, dir).c_str(), 1);
    if (chdir((dir + "/cwd").c_str()) != 0) return 10;
    return create_context_and_use();
}

TEST_F(TableFileFaults, StartupWithRefusedOrUnusableLocations) {
    const StartupCase cases[] = {
        {"'..' in SECP256K1_CACHE_DIR is ignored: the file goes to the default place",
         [](const std::string& d) {
             fs::create_directories(d + "/inner");
             return std::vector<std::pair<std::string, std::string>>{{"SECP256K1_CACHE_DIR", "@/inner/../inner"}};
         },
         [](const std::string& d) {
             EXPECT_FALSE(fs::exists(d + "/inner/cache_w8.bin"));
             EXPECT_FALSE(fs::exists(d + "/cwd/cache_w8.bin"));
             EXPECT_TRUE(fs::exists(d + "/home/.cache/qorvex/cache_w8.bin"));
         }},
        {"'..' in SECP256K1_CACHE_PATH is ignored as well",
         [](const std::string& d) {
             fs::create_directories(d + "/inner");
             return std::vector<std::pair<std::string, std::string>>{
                 {"SECP256K1_CACHE_PATH", "@/inner/../inner/explicit.bin"}};
         },
         [](const std::string& d) {
             EXPECT_FALSE(fs::exists(d + "/inner/explicit.bin"));
             EXPECT_FALSE(fs::exists(d + "/cwd/cache_w8.bin"));
             EXPECT_TRUE(fs::exists(d + "/home/.cache/qorvex/cache_w8.bin"));
         }},
        {"a FIFO named by SECP256K1_CACHE_PATH does not block start-up",
         [](const std::string& d) {
             EXPECT_EQ(0, mkfifo((d + "/fifo.bin").c_str(), 0600));
             return std::vector<std::pair<std::string, std::string>>{{"SECP256K1_CACHE_PATH", "@/fifo.bin"}};
         },
         [](const std::string& d) {
             EXPECT_TRUE(fs::is_fifo(d + "/fifo.bin"));
             EXPECT_FALSE(fs::exists(d + "/cwd/cache_w8.bin"));
             EXPECT_FALSE(fs::exists(d + "/home/.cache"));
         }},
        {"a directory that cannot exist (its parent is a file): the save is skipped",
         [](const std::string& d) {
             std::FILE* f = std::fopen((d + "/plain-file").c_str(), "w");
             if (f) std::fclose(f);
             return std::vector<std::pair<std::string, std::string>>{{"SECP256K1_CACHE_DIR", "@/plain-file/sub"}};
         },
         [](const std::string& d) {
             EXPECT_FALSE(fs::exists(d + "/cwd/cache_w8.bin"));
             EXPECT_FALSE(fs::exists(d + "/home/.cache"));
         }},
        {"SECP256K1_MAX_WINDOWS below the window count: a good file is not loaded nor replaced",
         [](const std::string& d) {
             fs::create_directories(d + "/cache");
             EXPECT_TRUE(save_cache(*build_context(small_config(d + "/cache")), d + "/cache/cache_w8.bin"));
             fs::last_write_time(d + "/cache/cache_w8.bin", fs::file_time_type::clock::now() - std::chrono::hours(1));
             return std::vector<std::pair<std::string, std::string>>{{"SECP256K1_CACHE_DIR", "@/cache"},
                                                                     {"SECP256K1_MAX_WINDOWS", "31"}};
         },
         [](const std::string& d) {
             const auto age = fs::file_time_type::clock::now() - fs::last_write_time(d + "/cache/cache_w8.bin");
             EXPECT_GT(age, std::chrono::minutes(30)) << "the existing file was rewritten";
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string d = dir_ + "/" + std::to_string(&c - cases);
        fs::create_directories(d + "/cwd");
        const auto env = c.setup(d);
        EXPECT_EQ(0, in_child([&] { return start_and_use(env, d); }));
        c.check(d);
    }
    EXPECT_TRUE(leftovers().empty());
}

}  // namespace
}  // namespace qorvex::test
