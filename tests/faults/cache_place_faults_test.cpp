// Where the table cache lives and what it does with whatever it finds there:
// links and files planted at the cache's names, a damaged file, default
// places that are missing, not ours or read-only, and the explicit settings
// over the default. Every case is a fresh process (a forked child) that
// creates its first context from the environment, as an application would.
#include <gtest/gtest.h>

#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "arith/precompute.h"
#include "faults/faults_helpers.h"
#include "qorvex.h"

namespace qorvex::test {
namespace {

namespace fs = std::filesystem;

// Width-8 tables: 32 windows of 256 entries.
constexpr uint64_t kFullSize = 32 + 32 * (1 + 65 * 255);

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void write_text(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

PrecomputeConfig small_config() {
    PrecomputeConfig c;
    c.window_bits = 8;
    return c;
}

class CachePlace : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/qorvex-place-XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(tmpl));
        dir_ = tmpl;
        // Others must reach the home below it when a case runs as another
        // user or looks at ownership.
        chmod(dir_.c_str(), 0755);
        for (const char* d : {"/home", "/cwd", "/elsewhere"}) fs::create_directories(dir_ + d);
        write_text(victim(), "precious");
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    std::string home() const { return dir_ + "/home"; }
    std::string default_dir() const { return home() + "/.cache/qorvex"; }
    std::string cwd() const { return dir_ + "/cwd"; }
    std::string victim() const { return dir_ + "/victim"; }
    // The usual start: HOME below dir_, nothing else set, the current
    // directory an empty one of its own; `before` prepares the child.
    int start(const std::function<int()>& before = {}) const {
        return in_child([&] {
            clean_table_environment();
            setenv("HOME", home().c_str(), 1);
            if (chdir(cwd().c_str()) != 0) return 10;
            if (before) {
                if (const int rc = before()) return rc;
            }
            return create_context_and_use();
        });
    }
    // Every file below dir_ whose name has the temporary-file marker.
    std::vector<std::string> leftovers() const {
        std::vector<std::string> found;
        for (const auto& e : fs::recursive_directory_iterator(dir_))
            if (e.path().filename().string().find(".tmp.") != std::string::npos) found.push_back(e.path());
        return found;
    }
    bool cwd_is_empty() const { return fs::is_empty(cwd()); }
    std::string dir_;
};

// The issue a new user met: a link at the temporary name made the first
// context write the tables through it into another file.
TEST_F(CachePlace, LinkAtTheTemporaryNameIsNeitherFollowedNorRemoved) {
    fs::create_directories(default_dir());
    EXPECT_EQ(0, start([&] {
        const std::string link = default_dir() + "/cache_w8.bin.tmp." + std::to_string(getpid());
        return symlink(victim().c_str(), link.c_str()) == 0 ? 0 : 2;
    }));
    EXPECT_EQ("precious", slurp(victim()));
    EXPECT_FALSE(fs::exists(default_dir() + "/cache_w8.bin")) << "no cache file is written through the link";
    // The child's link is still there, a link: nothing we did not create
    // is removed.
    std::vector<std::string> links;
    for (const auto& e : fs::directory_iterator(default_dir()))
        if (fs::is_symlink(e.symlink_status())) links.push_back(e.path());
    EXPECT_EQ(1u, links.size());
    EXPECT_TRUE(cwd_is_empty());
}

TEST_F(CachePlace, RegularFileAtTheTemporaryNameIsLeftAlone) {
    fs::create_directories(default_dir());
    EXPECT_EQ(0, start([&] {
        const std::string planted = default_dir() + "/cache_w8.bin.tmp." + std::to_string(getpid());
        write_text(planted, "someone's file");
        return 0;
    }));
    // The parent does not know the child's pid; find the file by name.
    std::vector<std::string> found = leftovers();
    ASSERT_EQ(1u, found.size());
    EXPECT_EQ("someone's file", slurp(found[0]));
    EXPECT_FALSE(fs::exists(default_dir() + "/cache_w8.bin"));
}

TEST_F(CachePlace, LinkAtTheCacheNameIsRefused) {
    fs::create_directories(default_dir());
    const std::string file = default_dir() + "/cache_w8.bin";
    // A link to a valid cache file is refused as well: whoever planted it
    // chose what we would read.
    const std::string good = dir_ + "/elsewhere/good.bin";
    ASSERT_TRUE(save_cache(*build_context(small_config()), good));
    for (const std::string& target : {victim(), good}) {
        SCOPED_TRACE(target);
        fs::remove(file);
        ASSERT_EQ(0, symlink(target.c_str(), file.c_str()));
        CacheFileState state = CacheFileState::loaded;
        EXPECT_EQ(nullptr, load_cache(file, small_config(), &state));
        EXPECT_EQ(CacheFileState::refused, state);
        EXPECT_EQ(0, start());
        EXPECT_TRUE(fs::is_symlink(fs::symlink_status(file)));
        EXPECT_EQ(target, fs::read_symlink(file).string());
    }
    EXPECT_EQ("precious", slurp(victim()));
    EXPECT_EQ(kFullSize, fs::file_size(good));
    EXPECT_TRUE(leftovers().empty());
}

// A file that is ours in every respect but is not the caller's nor root's is
// refused before it is read; a directory of another user is not used at all.
TEST_F(CachePlace, FilesAndDirectoriesOfOtherUsers) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to give files to another user";
    const uid_t nobody = 65534;
    fs::create_directories(default_dir());
    const std::string file = default_dir() + "/cache_w8.bin";
    ASSERT_TRUE(save_cache(*build_context(small_config()), file));
    ASSERT_EQ(0, chown(file.c_str(), nobody, nobody));
    // Loaded as root: root's own files and root-owned ones are accepted, a
    // stranger's not.
    CacheFileState state = CacheFileState::loaded;
    EXPECT_EQ(nullptr, load_cache(file, small_config(), &state));
    EXPECT_EQ(CacheFileState::refused, state);
    ASSERT_EQ(0, chown(file.c_str(), 0, 0));
    EXPECT_NE(nullptr, load_cache(file, small_config()));

    // The default directory belongs to someone else: no file is read or
    // written there, and the tables are built in memory.
    fs::remove(file);
    ASSERT_EQ(0, chown(default_dir().c_str(), nobody, nobody));
    EXPECT_EQ(0, start());
    EXPECT_TRUE(fs::is_empty(default_dir()));
    EXPECT_TRUE(cwd_is_empty());
}

// A truncated file of our width is rebuilt once and replaced; the next start
// loads it. Two processes repairing at once both write complete files.
TEST_F(CachePlace, DamagedFileIsReplacedByOneRebuild) {
    fs::create_directories(default_dir());
    const std::string file = default_dir() + "/cache_w8.bin";
    for (int racers : {1, 2}) {
        SCOPED_TRACE(std::to_string(racers) + " process(es)");
        fs::remove(file);
        ASSERT_TRUE(save_cache(*build_context(small_config()), file));
        fs::resize_file(file, 100000);
        std::vector<pid_t> pids;
        for (int i = 0; i < racers; ++i) {
            std::fflush(nullptr);
            const pid_t pid = fork();
            ASSERT_GE(pid, 0);
            if (pid == 0) {
                clean_table_environment();
                setenv("HOME", home().c_str(), 1);
                _exit(chdir(cwd().c_str()) == 0 ? create_context_and_use() : 10);
            }
            pids.push_back(pid);
        }
        for (pid_t pid : pids) {
            int status = 0;
            waitpid(pid, &status, 0);
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        }
        EXPECT_EQ(kFullSize, fs::file_size(file));
        CacheFileState state = CacheFileState::missing;
        EXPECT_NE(nullptr, load_cache(file, small_config(), &state));
        EXPECT_EQ(CacheFileState::loaded, state) << "the next start loads it";
        EXPECT_TRUE(leftovers().empty());
    }
    // A file of another width is not damage and stays as it is.
    PrecomputeConfig w7 = small_config();
    w7.window_bits = 7;
    fs::remove(file);
    const auto other = build_context(w7);
    ASSERT_TRUE(save_cache(*other, file));
    const auto size = fs::file_size(file);
    EXPECT_EQ(0, start());
    EXPECT_EQ(size, fs::file_size(file));
}

TEST_F(CachePlace, NoHomeAndNoXdgCacheHomeMeansMemoryOnly) {
    EXPECT_EQ(0, in_child([&] {
        clean_table_environment();  // HOME and XDG_CACHE_HOME unset
        if (chdir(cwd().c_str()) != 0) return 10;
        char where[512];
        size_t len = sizeof where;
        if (qorvex_cache_location(where, &len) != QORVEX_ERR_NOT_FOUND) return 2;
        return create_context_and_use();
    }));
    EXPECT_TRUE(cwd_is_empty());
    // A relative HOME or XDG_CACHE_HOME counts as unset.
    EXPECT_EQ(0, in_child([&] {
        clean_table_environment();
        setenv("HOME", "relative/home", 1);
        setenv("XDG_CACHE_HOME", "relative/cache", 1);
        if (chdir(cwd().c_str()) != 0) return 10;
        return create_context_and_use();
    }));
    EXPECT_TRUE(cwd_is_empty());
}

// The default directory exists but cannot be written: the tables are built
// in memory, nothing is left behind. Root ignores mode bits, so for root the
// directory is made read-only with a read-only bind mount in a mount
// namespace of the child's own.
TEST_F(CachePlace, ReadOnlyDefaultDirectory) {
    fs::create_directories(default_dir());
    chmod(default_dir().c_str(), 0500);
    const int rc = start([&] {
        if (geteuid() != 0) return 0;
        if (unshare(CLONE_NEWNS) != 0) return 77;
        if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) return 77;
        if (mount(default_dir().c_str(), default_dir().c_str(), nullptr, MS_BIND, nullptr) != 0) return 77;
        if (mount(nullptr, default_dir().c_str(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr) != 0) return 77;
        // Check that it is in force before relying on it.
        const std::string probe = default_dir() + "/probe";
        if (std::FILE* f = std::fopen(probe.c_str(), "w")) {
            std::fclose(f);
            return 78;
        }
        return 0;
    });
    chmod(default_dir().c_str(), 0700);
    if (rc == 77) GTEST_SKIP() << "no mount namespace here";
    EXPECT_EQ(0, rc);
    EXPECT_TRUE(fs::is_empty(default_dir()));
    EXPECT_TRUE(cwd_is_empty());
}

TEST_F(CachePlace, DefaultPlaceWhenNothingIsConfigured) {
    // $HOME/.cache/qorvex, each directory created private.
    EXPECT_EQ(0, start());
    EXPECT_EQ(kFullSize, fs::file_size(default_dir() + "/cache_w8.bin"));
    for (const std::string& d : {home() + "/.cache", default_dir()}) {
        struct stat st {};
        ASSERT_EQ(0, stat(d.c_str(), &st));
        EXPECT_EQ(0700u, st.st_mode & 0777) << d;
    }
    EXPECT_TRUE(cwd_is_empty());
    // $XDG_CACHE_HOME/qorvex comes first.
    const std::string xdg = dir_ + "/xdg";
    EXPECT_EQ(0, start([&] { return setenv("XDG_CACHE_HOME", xdg.c_str(), 1); }));
    EXPECT_EQ(kFullSize, fs::file_size(xdg + "/qorvex/cache_w8.bin"));
    EXPECT_TRUE(cwd_is_empty());
    EXPECT_TRUE(leftovers().empty());
}

// Each way of naming a place, alone and against the default, and what
// qorvex_cache_location reports for it before and after the first context.
TEST_F(CachePlace, EveryExplicitSettingWins) {
    const std::string elsewhere = dir_ + "/elsewhere";
    struct Case {
        const char* what;
        std::function<void()> before;  // in the child, before the first context
        std::function<void()> after;   // in the child, after it
        std::string file;              // where the tables must be
    };
    const Case cases[] = {
        {"SECP256K1_CACHE_DIR", [&] { setenv("SECP256K1_CACHE_DIR", elsewhere.c_str(), 1); }, {},
         elsewhere + "/cache_w8.bin"},
        {"SECP256K1_CACHE_PATH", [&] { setenv("SECP256K1_CACHE_PATH", (elsewhere + "/named.bin").c_str(), 1); }, {},
         elsewhere + "/named.bin"},
        {"SECP256K1_CACHE_PATH over SECP256K1_CACHE_DIR",
         [&] {
             setenv("SECP256K1_CACHE_DIR", home().c_str(), 1);
             setenv("SECP256K1_CACHE_PATH", (elsewhere + "/named.bin").c_str(), 1);
         },
         {}, elsewhere + "/named.bin"},
        {"qorvex_set_cache_dir before the first context", [&] { qorvex_set_cache_dir(elsewhere.c_str()); }, {},
         elsewhere + "/cache_w8.bin"},
        {"qorvex_set_cache_dir after it", {}, [&] { qorvex_set_cache_dir(elsewhere.c_str()); },
         elsewhere + "/cache_w8.bin"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(home() + "/.cache");
        fs::remove_all(elsewhere);
        fs::create_directories(elsewhere);
        EXPECT_EQ(0, in_child([&] {
            clean_table_environment();
            setenv("HOME", home().c_str(), 1);
            if (chdir(cwd().c_str()) != 0) return 10;
            if (c.before) c.before();
            char where[512];
            size_t len = sizeof where;
            const bool after = static_cast<bool>(c.after);
            if (qorvex_cache_location(where, &len) != QORVEX_OK) return 2;
            if ((where == c.file) == after) return 3;
            if (const int rc = create_context_and_use()) return rc;
            if (c.after) {
                c.after();
                if (const int rc = create_context_and_use()) return rc;
            }
            len = sizeof where;
            if (qorvex_cache_location(where, &len) != QORVEX_OK || where != c.file || len != c.file.size()) return 4;
            return 0;
        }));
        EXPECT_EQ(kFullSize, fs::file_size(c.file));
        if (!c.after) {
            EXPECT_FALSE(fs::exists(home() + "/.cache")) << "the default place is not touched";
        }
        EXPECT_TRUE(cwd_is_empty());
    }
    // "/dev/null" (any path that is not a directory) keeps the tables off
    // disk; NULL goes back to the default place.
    fs::remove_all(home() + "/.cache");
    EXPECT_EQ(0, start([&] { return qorvex_set_cache_dir("/dev/null"); }));
    EXPECT_FALSE(fs::exists(home() + "/.cache"));
    EXPECT_EQ(0, start([&] {
        qorvex_set_cache_dir(elsewhere.c_str());
        return qorvex_set_cache_dir(nullptr);
    }));
    EXPECT_TRUE(fs::exists(default_dir() + "/cache_w8.bin"));
    EXPECT_TRUE(cwd_is_empty());
    EXPECT_TRUE(leftovers().empty());
}

TEST_F(CachePlace, LocationReportsErrorsLikeEveryTextOutput) {
    EXPECT_EQ(0, in_child([&] {
        clean_table_environment();
        setenv("SECP256K1_CACHE_PATH", "/x/y.bin", 1);
        char buf[16];
        std::memset(buf, 'z', sizeof buf);
        size_t len = 8;  // "/x/y.bin" needs 9 with its NUL
        if (qorvex_cache_location(buf, &len) != QORVEX_ERR_BUF_TOO_SMALL || len != 8 || buf[0] != 'z') return 2;
        len = 9;
        if (qorvex_cache_location(buf, &len) != QORVEX_OK || len != 8 || std::strcmp(buf, "/x/y.bin") != 0) return 3;
        if (qorvex_cache_location(nullptr, &len) != QORVEX_ERR_NULL_ARG) return 4;
        if (qorvex_cache_location(buf, nullptr) != QORVEX_ERR_NULL_ARG) return 5;
        return 0;
    }));
}

}  // namespace
}  // namespace qorvex::test
