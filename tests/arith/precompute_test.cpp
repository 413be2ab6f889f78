#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "arith/point_mul.h"
#include "arith/precompute.h"
#include "arith_helpers.h"
#include "qorvex.h"
#include "support/vectors.h"

namespace qorvex::test {
namespace {

namespace fs = std::filesystem;

// Every test here reinstalls the configuration it needs and puts back the
// small-table configuration the rest of the arithmetic tests run with.
class Precompute : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/qorvex-cache-XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(tmpl));
        dir_ = tmpl;
        // The suite's cache directory, for the configuration put back at the
        // end; and a home of our own, so that the default place is never the
        // user's.
        if (const char* d = std::getenv("SECP256K1_CACHE_DIR")) suite_cache_dir_ = d;
        if (const char* h = std::getenv("HOME")) home_ = h;
        setenv("HOME", (dir_ + "/home").c_str(), 1);
        for (const char* v : {"SECP256K1_CACHE_DIR", "SECP256K1_CACHE_PATH", "SECP256K1_MAX_WINDOWS", "XDG_CACHE_HOME"})
            unsetenv(v);
    }
    void TearDown() override {
        for (const char* v : {"SECP256K1_CACHE_DIR", "SECP256K1_CACHE_PATH", "SECP256K1_MAX_WINDOWS"}) unsetenv(v);
        setenv("HOME", home_.c_str(), 1);
        set_cache_dir("");
        PrecomputeConfig small;
        small.window_bits = 8;
        small.cache_dir = suite_cache_dir_.empty() ? dir_ : suite_cache_dir_;
        configure(small);
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    PrecomputeConfig config(uint32_t w, bool glv = false, bool jsf = false) const {
        PrecomputeConfig c;
        c.window_bits = w;
        c.enable_glv = glv;
        c.use_jsf = jsf;
        c.cache_dir = dir_;
        return c;
    }
    std::string path(const std::string& name) const { return dir_ + "/" + name; }
    std::string dir_, suite_cache_dir_, home_;
};

std::vector<Scalar> test_scalars(uint64_t seed) {
    Rng rng(seed);
    std::vector<Scalar> ks = {Scalar::zero(), Scalar::one(), sc(N() - BigUint(1)), Scalar::lambda(),
                              sc_hex("28817a3ec6ecd50c8f7dae7a37933ea0082")};
    for (int i = 0; i < 6; ++i) ks.push_back(rng.scalar());
    return ks;
}

// Scalars whose top window, at width w, is all ones or exactly 2^(w-1): the
// cases where the signed recoding carries out of the top window.
std::vector<Scalar> carry_scalars(uint32_t w) {
    std::vector<Scalar> ks;
    const size_t top = window_count_for(w) * w - w;  // first bit of the top window
    if (top < 256) {
        const BigUint all = ((BigUint(1) << 256) - BigUint(1));
        ks.push_back(sc(all % N()));
        ks.push_back(sc(N() - BigUint(1)));
        ks.push_back(sc((BigUint(1) << (top + w - 1)) % N()));
        ks.push_back(sc(((BigUint(1) << (top + w - 1)) - BigUint(1)) % N()));
    }
    return ks;
}

TEST_F(Precompute, EveryWidthAgreesWithTheBinaryMethod) {
    for (uint32_t w = 2; w <= 16; ++w) {
        SCOPED_TRACE("w=" + std::to_string(w));
        configure(config(w));
        auto ks = test_scalars(w);
        for (const Scalar& k : carry_scalars(w)) ks.push_back(k);
        for (const Scalar& k : ks) {
            ASSERT_TRUE(precomputed_gen_mul(k).equals(binary_mul(Point::generator(), k))) << big(k).to_hex();
        }
    }
}

TEST_F(Precompute, GlvAndJointFormAgree) {
    for (bool jsf : {false, true}) {
        for (uint32_t w : {4u, 7u, 10u}) {
            SCOPED_TRACE("w=" + std::to_string(w) + (jsf ? " jsf" : " glv"));
            configure(config(w, true, jsf));
            for (const Scalar& k : test_scalars(w + 100)) {
                ASSERT_TRUE(precomputed_gen_mul(k).equals(binary_mul(Point::generator(), k))) << big(k).to_hex();
            }
        }
    }
}

// u1*G + u2*P takes u1's part from the current tables, whatever their
// configuration, and adds it to the variable-base part.
TEST_F(Precompute, DualMultiplicationUnderEveryConfiguration) {
    Rng rng(41);
    const Point p = binary_mul(Point::generator(), rng.scalar());
    struct Cfg {
        uint32_t w;
        bool glv, jsf;
    };
    for (const Cfg& cfg : {Cfg{2, false, false}, Cfg{5, false, false}, Cfg{8, false, false}, Cfg{16, false, false},
                           Cfg{6, true, false}, Cfg{9, true, true}}) {
        SCOPED_TRACE("w=" + std::to_string(cfg.w) + (cfg.glv ? " glv" : "") + (cfg.jsf ? " jsf" : ""));
        configure(config(cfg.w, cfg.glv, cfg.jsf));
        std::vector<Scalar> u1s = test_scalars(cfg.w + 200);
        for (const Scalar& k : carry_scalars(cfg.w)) u1s.push_back(k);
        for (const Scalar& u1 : u1s) {
            const Scalar u2 = rng.scalar();
            const Point want = binary_mul(Point::generator(), u1).add(binary_mul(p, u2));
            ASSERT_TRUE(dual_mul(u1, u2, p).equals(want)) << big(u1).to_hex();
        }
    }
}

TEST_F(Precompute, MultiplesFromThePublishedFile) {
    configure(config(6));
    const Json v = load_json_vectors("curve/multiples.json");
    for (const Json& c : v["cases"].array()) {
        const Point p = precomputed_gen_mul(sc_hex(c["k"].str()));
        if (c["x"].is_null()) {
            EXPECT_TRUE(p.infinity);
        } else {
            EXPECT_EQ(lower(c["x"].str()) + "," + lower(c["y"].str()), affine_hex(p)) << c["label"].str();
        }
    }
}

TEST_F(Precompute, BuildRejectsBadWidths) {
    for (uint32_t w : {0u, 1u, 31u}) {
        try {
            (void)build_context(config(w));
            ADD_FAILURE() << w;
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ("window_bits must be between 2 and 30", e.what());
        }
    }
}

TEST_F(Precompute, DefaultWidthIsSavedThenLoaded) {
    configure(config(18));
    ensure_built();
    const auto built = current_context();
    ASSERT_EQ(15u, built->window_count);
    ASSERT_EQ(262144u, built->entries_per_window);
    const std::string file = path("cache_w18.bin");
    ASSERT_TRUE(fs::exists(file));
    EXPECT_EQ(32u + 15u * (1u + 65u * 262143u), fs::file_size(file));
    // A new configuration drops the tables; the next use loads the file.
    configure(config(18));
    const auto loaded = load_cache(file, config(18));
    ASSERT_NE(nullptr, loaded);
    EXPECT_EQ(0, std::memcmp(loaded->tables[14].data(), built->tables[14].data(), 64 * 262144));
    const Scalar k = sc_hex("c0ffee");
    EXPECT_TRUE(precomputed_gen_mul(k).equals(binary_mul(Point::generator(), k)));
}

// Byte offset of entry j of window i in a file without GLV.
size_t entry_offset(size_t entries, size_t i, size_t j) {
    const size_t per_window = 1 + 65 * (entries - 1);
    return 32 + i * per_window + (j == 0 ? 0 : 1 + 65 * (j - 1));
}

TEST_F(Precompute, DamagedFilesAreRejectedAndRebuilt) {
    const uint32_t w = 5;
    const size_t entries = 32, windows = window_count_for(w);
    auto good = build_context(config(w));
    const std::string file = path("cache_w5.bin");
    ASSERT_TRUE(save_cache(*good, file));
    ASSERT_NE(nullptr, load_cache(file, config(w)));
    std::vector<uint8_t> bytes(fs::file_size(file));
    std::ifstream(file, std::ios::binary).read(reinterpret_cast<char*>(bytes.data()), static_cast<long>(bytes.size()));

    // A valid point in the wrong place: entry 7 of window 3 replaced by entry 8.
    auto swapped = bytes;
    std::memcpy(&swapped[entry_offset(entries, 3, 7)], &bytes[entry_offset(entries, 3, 8)], 65);
    auto flipped = bytes;
    flipped[entry_offset(entries, 4, 20) + 10] ^= 0x01;
    auto flipped_y = bytes;
    flipped_y[entry_offset(entries, 0, 1) + 64] ^= 0x80;
    auto bad_base = bytes;  // window 1 holding window 2's multiples
    std::memcpy(&bad_base[entry_offset(entries, 1, 1)], &bytes[entry_offset(entries, 2, 1)], 65 * (entries - 1));
    auto infinity_flag = bytes;
    infinity_flag[entry_offset(entries, 2, 5)] = 1;
    auto header = [&](size_t at, uint8_t v) {
        auto b = bytes;
        b[at] = v;
        return b;
    };
    struct Case {
        const char* what;
        std::vector<uint8_t> content;
        PrecomputeConfig cfg;
        // In use, a damaged file of this setup is replaced by the rebuilt
        // tables; a file of another version or over the window limit, and
        // the files of other setups (other names), are left as they are.
        bool replaced;
    };
    PrecomputeConfig glv = config(w, true);
    PrecomputeConfig w6 = config(6);
    PrecomputeConfig limited = config(w);
    limited.max_windows = static_cast<uint32_t>(windows - 1);
    const Case cases[] = {
        {"empty", {}, config(w), true},
        {"31 bytes", std::vector<uint8_t>(bytes.begin(), bytes.begin() + 31), config(w), true},
        {"header only", std::vector<uint8_t>(bytes.begin(), bytes.begin() + 32), config(w), true},
        {"truncated body", std::vector<uint8_t>(bytes.begin(), bytes.end() - 65), config(w), true},
        {"wrong magic", header(0, 0x51), config(w), true},
        {"wrong version", header(4, 3), config(w), false},
        {"GLV field 2", header(24, 2), config(w), true},
        {"GLV byte above", header(25, 1), config(w), true},
        {"width mismatch", bytes, w6, false},
        {"GLV mismatch", bytes, glv, false},
        {"window limit", bytes, limited, false},
        {"entry swapped for another curve point", swapped, config(w), true},
        {"flipped x bit", flipped, config(w), true},
        {"flipped y bit", flipped_y, config(w), true},
        {"wrong window base", bad_base, config(w), true},
        {"stray infinity flag", infinity_flag, config(w), true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::ofstream(file, std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(c.content.data()), static_cast<long>(c.content.size()));
        CacheFileState state = CacheFileState::loaded;
        EXPECT_EQ(nullptr, load_cache(file, c.cfg, &state));
        EXPECT_EQ(c.replaced ? CacheFileState::damaged : CacheFileState::other_setup, state);
        // In use: the tables are rebuilt and results stay right.
        configure(c.cfg);
        const Scalar k = sc_hex("123456789abcdef");
        EXPECT_TRUE(precomputed_gen_mul(k).equals(binary_mul(Point::generator(), k)));
        if (c.replaced) {
            EXPECT_EQ(bytes.size(), fs::file_size(file));
            EXPECT_NE(nullptr, load_cache(file, config(w)));
        } else {
            EXPECT_EQ(c.content.size(), fs::file_size(file));
        }
    }
    // The window limit applies only below the count.
    PrecomputeConfig enough = config(w);
    enough.max_windows = static_cast<uint32_t>(windows);
    std::ofstream(file, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
    EXPECT_NE(nullptr, load_cache(file, enough));
}

TEST_F(Precompute, GlvFilesRoundTrip) {
    auto c = build_context(config(4, true));
    const std::string file = path("cache_w4_glv.bin");
    ASSERT_TRUE(save_cache(*c, file));
    auto loaded = load_cache(file, config(4, true));
    ASSERT_NE(nullptr, loaded);
    EXPECT_EQ(0, std::memcmp(loaded->glv_tables[10].data(), c->glv_tables[10].data(), 64 * 16));
    EXPECT_EQ(nullptr, load_cache(file, config(4, false)));
}

TEST_F(Precompute, FileNamesAndEnvironment) {
    // No directory at all: no file, never the current directory.
    PrecomputeConfig c;
    EXPECT_EQ("", cache_file_name(18, c));
    EXPECT_EQ("", cache_file_path(c));
    c.default_dir = "/home/u/.cache/qorvex";
    EXPECT_EQ("/home/u/.cache/qorvex/cache_w18.bin", cache_file_name(18, c));
    c.enable_glv = true;
    EXPECT_EQ("/home/u/.cache/qorvex/cache_w18_glv.bin", cache_file_name(18, c));
    c.cache_dir = "/some/dir";
    EXPECT_EQ("/some/dir/cache_w18_glv.bin", cache_file_name(18, c));
    c.cache_path = "/a/file.bin";
    c.use_cache_path = true;
    EXPECT_EQ("/a/file.bin", cache_file_path(c));

    setenv("SECP256K1_CACHE_DIR", "/tmp/../etc", 1);
    setenv("SECP256K1_MAX_WINDOWS", "junk", 1);
    configure(config(7));
    EXPECT_EQ(dir_, current_config().cache_dir);
    EXPECT_EQ(0u, current_config().max_windows);

    setenv("SECP256K1_CACHE_DIR", "/tmp/elsewhere", 1);
    setenv("SECP256K1_CACHE_PATH", (dir_ + "/explicit.bin").c_str(), 1);
    setenv("SECP256K1_MAX_WINDOWS", "12", 1);
    configure(config(7));
    const PrecomputeConfig got = current_config();
    EXPECT_EQ("/tmp/elsewhere", got.cache_dir);
    EXPECT_TRUE(got.use_cache_path);
    EXPECT_EQ(dir_ + "/explicit.bin", got.cache_path);
    EXPECT_EQ(12u, got.max_windows);
    // The explicit path wins over the directory.
    ensure_built();
    EXPECT_TRUE(fs::exists(dir_ + "/explicit.bin"));
    EXPECT_FALSE(fs::exists(path("cache_w7.bin")));
}

TEST_F(Precompute, CacheDirIsWhereTheFileGoes) {
    configure(config(3));
    ensure_built();
    EXPECT_TRUE(fs::exists(path("cache_w3.bin")));
    const std::string other = dir_ + "/other";
    fs::create_directory(other);
    set_cache_dir(other);
    EXPECT_EQ(nullptr, current_context());
    const Scalar k = sc_hex("77");
    EXPECT_TRUE(precomputed_gen_mul(k).equals(binary_mul(Point::generator(), k)));
    EXPECT_TRUE(fs::exists(other + "/cache_w3.bin"));
}

TEST_F(Precompute, CacheDirChosenBeforeTheFirstConfigurationIsKept) {
    set_cache_dir(dir_);
    PrecomputeConfig plain;
    plain.window_bits = 3;
    configure(plain);
    EXPECT_EQ(dir_, current_config().cache_dir);
    ensure_built();
    EXPECT_TRUE(fs::exists(path("cache_w3.bin")));
    // The environment still wins, and an explicit directory in the
    // configuration too.
    setenv("SECP256K1_CACHE_DIR", "/tmp/env-dir", 1);
    configure(plain);
    EXPECT_EQ("/tmp/env-dir", current_config().cache_dir);
    unsetenv("SECP256K1_CACHE_DIR");
    configure(config(3));
    EXPECT_EQ(dir_, current_config().cache_dir);
    set_cache_dir("");
}

TEST_F(Precompute, UnusableLocationsStillGiveRightResults) {
    // A FIFO in the file's place must not block start-up; a missing or
    // unwritable directory only skips the save.
    ASSERT_EQ(0, mkfifo(path("cache_w4.bin").c_str(), 0600));
    configure(config(4));
    const Scalar k = sc_hex("abcdef");
    EXPECT_TRUE(precomputed_gen_mul(k).equals(binary_mul(Point::generator(), k)));

    PrecomputeConfig missing = config(4);
    missing.cache_dir = dir_ + "/does/not/exist";
    configure(missing);
    EXPECT_TRUE(precomputed_gen_mul(k).equals(binary_mul(Point::generator(), k)));

    const std::string ro = dir_ + "/readonly";
    fs::create_directory(ro);
    chmod(ro.c_str(), 0500);
    PrecomputeConfig readonly = config(4);
    readonly.cache_dir = ro;
    configure(readonly);
    EXPECT_TRUE(precomputed_gen_mul(k).equals(binary_mul(Point::generator(), k)));
    if (geteuid() != 0) {
        EXPECT_FALSE(fs::exists(ro + "/cache_w4.bin"));
    }
    // No temporary files are left behind.
    for (const auto& e : fs::recursive_directory_iterator(dir_))
        EXPECT_EQ(std::string::npos, e.path().string().find(".tmp.")) << e.path();
}

TEST_F(Precompute, ExistingFileIsNeverReplaced) {
    auto a = build_context(config(3));
    const std::string file = path("cache_w3.bin");
    std::ofstream(file) << "someone else's file";
    EXPECT_FALSE(save_cache(*a, file));
    std::string content;
    std::getline(std::ifstream(file), content);
    EXPECT_EQ("someone else's file", content);
}

// Readers take the current tables without the lock while the cache
// directory changes under them (the tables are dropped, then loaded or
// rebuilt and saved) and configurations of other widths come and go: every
// product stays right, and the old tables live as long as a reader holds
// them.
TEST_F(Precompute, ReadersRaceCacheDirectoryChangesAndRebuilds) {
    const std::string a = dir_ + "/a", b = dir_ + "/b";
    fs::create_directory(a);
    fs::create_directory(b);
    configure(config(5));
    const std::vector<Scalar> ks = test_scalars(77);
    std::vector<Point> want;
    for (const Scalar& k : ks) want.push_back(binary_mul(Point::generator(), k));
    std::atomic<bool> stop{false};
    std::atomic<long> done{0}, wrong{0};
    std::vector<std::thread> readers;
    for (size_t t = 0; t < 3; ++t) {
        readers.emplace_back([&, t] {
            for (size_t i = t; !stop.load(); ++i) {
                if (!precomputed_gen_mul(ks[i % ks.size()]).equals(want[i % ks.size()])) wrong.fetch_add(1);
                done.fetch_add(1);
            }
        });
    }
    // Each change waits for a few products on the new setting before the
    // next, so the readers meet every state; bounded in time all the same.
    auto let_readers_run = [&] {
        const long from = done.load();
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (done.load() < from + 6 && std::chrono::steady_clock::now() < until) std::this_thread::yield();
    };
    for (int round = 0; round < 12; ++round) {
        EXPECT_EQ(QORVEX_OK, qorvex_set_cache_dir((round % 2 ? a : b).c_str()));
        let_readers_run();
        if (round % 3 == 2) {
            configure(config(round % 2 ? 4 : 6));
            let_readers_run();
        }
    }
    stop.store(true);
    for (auto& th : readers) th.join();
    EXPECT_EQ(0, wrong.load());
    EXPECT_GT(done.load(), 12 * 6);
}

TEST_F(Precompute, TwoProcessesSavingAtOnceLeaveOneValidFile) {
    auto c = build_context(config(9));
    const std::string file = path("cache_w9.bin");
    for (int round = 0; round < 3; ++round) {
        fs::remove(file);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) _exit(save_cache(*c, file) ? 0 : 1);
        const bool mine = save_cache(*c, file);
        int status = 0;
        waitpid(child, &status, 0);
        const bool theirs = WIFEXITED(status) && WEXITSTATUS(status) == 0;
        EXPECT_TRUE(mine != theirs) << "exactly one rename wins";
        EXPECT_NE(nullptr, load_cache(file, config(9)));
    }
    for (const auto& e : fs::directory_iterator(dir_)) EXPECT_EQ(std::string::npos, e.path().string().find(".tmp."));
}

}  // namespace
}  // namespace qorvex::test
