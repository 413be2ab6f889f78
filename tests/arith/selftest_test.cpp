// The self-test: its tests per depth by name and count, its report line by
// line, the external vector file (comments only, wrong coordinates, bad
// records, a missing file), and the table configuration it installs from
// the environment.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "arith/precompute.h"
#include "arith/selftest.h"

namespace qorvex::test {
namespace {

constexpr auto npos = std::string::npos;

// What a run writes to its report, captured through a temporary file.
class Capture {
public:
    Capture() : f_(std::tmpfile()) {}
    ~Capture() {
        if (f_) std::fclose(f_);
    }
    std::FILE* file() { return f_; }
    std::string text() {
        std::fflush(f_);
        std::rewind(f_);
        std::string s;
        char buf[4096];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f_)) > 0) s.append(buf, n);
        return s;
    }

private:
    std::FILE* f_;
};

size_t count_of(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != npos; at = text.find(what, at + what.size())) ++n;
    return n;
}

// A vector file in a fresh directory, removed afterwards.
class VectorFile {
public:
    explicit VectorFile(const std::string& content) {
        dir_ = std::filesystem::temp_directory_path() / ("qorvex-selftest-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir_);
        path_ = (dir_ / "vectors.txt").string();
        std::ofstream(path_, std::ios::binary) << content;
        ::setenv("SECP256K1_SELFTEST_VECTORS", path_.c_str(), 1);
    }
    ~VectorFile() {
        ::unsetenv("SECP256K1_SELFTEST_VECTORS");
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    const std::string& path() const { return path_; }

private:
    std::filesystem::path dir_;
    std::string path_;
};

// 3G and 5G, and a few records that hold.
const std::string k3Gx = "f9308a019258c31049344f85f89d5229b531c845836f99b08601f113bce036f9";
const std::string k3Gy = "388f7b0f632de8140fe337e62a37f3566500a99934c2231b6cb9fd7584b8e672";
const std::string k2Gx = "c6047f9441ed7d6d3045406e95c07cd85c778e4b8cef3ca7abac09b95c709ee5";
const std::string k2Gy = "1ae168fea63dc339a3c58419466ceaeef7f632653266d0e1236431a950cfe52a";
const std::string k5Gx = "2f8bde4d1a07209355b4a7250a5c5128e88b84bddc619ab7cba8d569b240efe4";
const std::string k5Gy = "d8ac222636e5e3d6d4dba9dda6c9c426f788271bab0d6840dca87d3aa6ac62d6";
const std::string kGx = "79be667ef9dcbbac55a06295ce870b07029bfcdb2dce28d959f2815b16f81798";
const std::string kGy = "483ada7726a3c4655da4fbfc0e1108a8fd17b448a68554199c47d08ffb10d4b8";
const std::string kThree = "0000000000000000000000000000000000000000000000000000000000000003";

std::string upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// The variables the tests set, restored afterwards: the rest of the program
// runs on the narrow tables the test environment asks for.
constexpr const char* kVariables[] = {"SECP256K1_SELFTEST_VECTORS", "SECP256K1_WINDOW_BITS", "SECP256K1_ENABLE_GLV",
                                      "SECP256K1_USE_JSF"};

class Selftest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* v : kVariables) {
            const char* value = std::getenv(v);
            saved_.emplace_back(value != nullptr, value ? value : "");
        }
        ::unsetenv("SECP256K1_SELFTEST_VECTORS");
    }
    void TearDown() override {
        for (size_t i = 0; i < saved_.size(); ++i) {
            if (saved_[i].first)
                ::setenv(kVariables[i], saved_[i].second.c_str(), 1);
            else
                ::unsetenv(kVariables[i]);
        }
        // Back to the tables of that environment.
        configure(config_from_environment());
    }

private:
    std::vector<std::pair<bool, std::string>> saved_;
};

TEST_F(Selftest, TestsPerModeByNameAndCount) {
    const std::vector<std::string> smoke = {
        "scalar_mul_vector_1", "scalar_mul_vector_2", "scalar_mul_vector_3", "scalar_mul_vector_4",
        "scalar_mul_vector_5", "scalar_mul_vector_6", "scalar_mul_vector_7", "scalar_mul_vector_8",
        "scalar_mul_vector_9", "scalar_mul_vector_10", "point_addition", "point_subtraction", "field_arithmetic",
        "scalar_arithmetic", "point_identities", "point_serialization", "batch_inverse", "addition_constants",
        "subtraction_constants", "doubling_constants", "negation_constants", "boundary_scalar_vectors",
        "field_limb_boundaries", "extended_kg_vectors", "point_advanced"};
    const std::vector<std::string> ci_more = {
        "external_vectors", "doubling_chain_vs_scalar", "large_scalar_cross_checks", "squared_scalar_cases",
        "batch_inverse_expanded", "batch_inverse_zero_safe", "bilinearity_K_times_Q", "batch_inverse_sweep",
        "fixedK_plan", "sequential_increment_property", "fast_vs_generic_kG", "repeated_addition_consistency",
        "field_stress", "scalar_stress", "naf_wnaf"};
    const std::vector<std::string> stress_more = {"stress_fast_vs_generic_kG_1000", "stress_field_algebraic_laws_500",
                                                  "stress_bilinearity_100", "stress_batch_inverse_8192"};
    std::vector<std::string> ci = smoke, stress;
    ci.insert(ci.end(), ci_more.begin(), ci_more.end());
    stress = ci;
    stress.insert(stress.end(), stress_more.begin(), stress_more.end());
    const struct {
        SelftestMode mode;
        const std::vector<std::string>& names;
        int count;
    } cases[] = {{SelftestMode::smoke, smoke, 25}, {SelftestMode::ci, ci, 40}, {SelftestMode::stress, stress, 44}};
    for (const auto& c : cases) {
        SCOPED_TRACE(selftest_mode_name(c.mode));
        std::vector<std::string> names;
        const SelftestCounts counts = run_selftest_tests(c.mode, 0, nullptr, &names);
        EXPECT_EQ(c.count, counts.run);
        EXPECT_EQ(c.count, counts.passed);
        EXPECT_EQ(c.names, names);
    }
    // The whole run (configuration and tables first) gives the same.
    const SelftestCounts ci_run = run_selftest(SelftestMode::ci, 0, nullptr);
    EXPECT_EQ(40, ci_run.run);
    EXPECT_TRUE(ci_run.ok());
    EXPECT_TRUE(selftest(false, SelftestMode::smoke, 0));
}

TEST_F(Selftest, OtherSeedsPassToo) {
    for (uint64_t seed : {uint64_t{1}, uint64_t{0xDEADBEEFCAFEF00D}, ~uint64_t{0}, kDefaultSelftestSeed}) {
        SCOPED_TRACE(seed);
        const SelftestCounts c = run_selftest_tests(SelftestMode::ci, seed, nullptr);
        EXPECT_EQ(40, c.run);
        EXPECT_TRUE(c.ok());
    }
}

TEST_F(Selftest, VerboseReportLines) {
    for (const SelftestMode mode : {SelftestMode::smoke, SelftestMode::ci}) {
        SCOPED_TRACE(selftest_mode_name(mode));
        Capture cap;
        const SelftestCounts counts = run_selftest(mode, 0, cap.file());
        const std::string out = cap.text();
        const std::string name = selftest_mode_name(mode);
        const std::string rule = "==============================================\n";
        // The banner, first.
        EXPECT_EQ(0u, out.find("\n" + rule + "  SECP256K1 Library Self-Test\n" + rule + "  Mode:     " + name +
                               "\n  Seed:     0x53454350324b3147\n  Compiler: "))
            << out.substr(0, 300);
        for (const char* label : {"\n  Platform: ", "\n  Build:    ", "\n  ASM:      "}) EXPECT_NE(out.find(label), npos);
        EXPECT_NE(out.find("\n  Repro:    Selftest(true, SelftestMode::" + name + ", 0x53454350324b3147)\n"), npos);
        // Each test's verdict, and the headings of the Part's own lines.
        EXPECT_EQ(static_cast<size_t>(counts.run), count_of(out, "    PASS\n"));
        EXPECT_EQ(0u, count_of(out, "    FAIL\n"));
        for (const char* line : {"  Testing: Vector 1\n", "  Testing: 1*G (Generator)\n", "  Testing: (n-1)*G = -G\n",
                                 "  Testing: 2*G + 3*G = 5*G\n", "  Testing: 5*G - 2*G = 3*G\n",
                                 "\nPoint Addition (constants): G + 2G = 3G\n"})
            EXPECT_EQ(1u, count_of(out, line)) << line;
        // The summary, last.
        const std::string tail =
            mode == SelftestMode::smoke
                ? "\n" + rule + "  Results: 25/25 tests passed (smoke)\n  [OK] ALL SMOKE TESTS PASSED\n" + rule + "\n"
                : "\n" + rule + "  Results: 40/40 tests passed (ci)\n  [OK] ALL TESTS PASSED\n" + rule + "\n";
        ASSERT_GE(out.size(), tail.size());
        EXPECT_EQ(tail, out.substr(out.size() - tail.size()));
    }
    // A seed of one's own is shown, and repeated in the Repro line.
    Capture cap;
    run_selftest(SelftestMode::smoke, 0x1234, cap.file());
    EXPECT_NE(cap.text().find("  Seed:     0x0000000000001234\n"), npos);
    EXPECT_NE(cap.text().find("Selftest(true, SelftestMode::smoke, 0x0000000000001234)\n"), npos);
}

TEST_F(Selftest, FailuresInTheSummary) {
    // One wrong record fails external_vectors only: 39 of 40.
    const VectorFile f("SCALARMUL;" + kThree + ";" + k3Gx + ";" + k2Gy + ";3G, wrong y\n");
    Capture cap;
    const SelftestCounts c = run_selftest(SelftestMode::ci, 0, cap.file());
    EXPECT_EQ(40, c.run);
    EXPECT_EQ(39, c.passed);
    const std::string out = cap.text();
    EXPECT_NE(out.find("  Results: 39/40 tests passed (ci)\n  [FAIL] SOME TESTS FAILED\n"), npos) << out;
    EXPECT_EQ(1u, count_of(out, "    FAIL\n"));
    EXPECT_FALSE(selftest(false, SelftestMode::stress, 0));
    // Smoke mode does not read the file.
    EXPECT_TRUE(selftest(false, SelftestMode::smoke, 0));
}

// --- The external vector file. ---

struct FileCase {
    const char* what;
    std::string content;
    bool passes;
    std::vector<size_t> failing_lines;
};

TEST_F(Selftest, VectorFileRecords) {
    const std::string good_mul = "SCALARMUL;" + kThree + ";" + k3Gx + ";" + k3Gy + ";3G";
    const std::string good_add = "ADD;" + kGx + ";" + kGy + ";" + k2Gx + ";" + k2Gy + ";" + k3Gx + ";" + k3Gy + ";G+2G";
    const std::string good_sub = "SUB;" + k5Gx + ";" + k5Gy + ";" + k2Gx + ";" + k2Gy + ";" + k3Gx + ";" + k3Gy + ";5G-2G";
    const FileCase cases[] = {
        {"comments and empty lines only", "# a comment\n\n#SCALARMUL;garbage\n\n", true, {}},
        {"empty file", "", true, {}},
        {"good records, either case, CRLF", "# header\n" + good_mul + "\n" + upper(good_add) + "\r\n" + good_sub, true, {}},
        {"unknown record types are ignored", "POINT;1;2\nscalarmul;x\n" + good_mul + "\n", true, {}},
        {"a wrong coordinate", "# first\n" + good_mul + "\n\n" + "SCALARMUL;" + kThree + ";" + k3Gx + ";" + k2Gy + ";bad y\n",
         false, {4}},
        {"a wrong sum", good_add + "\nADD;" + kGx + ";" + kGy + ";" + k2Gx + ";" + k2Gy + ";" + k5Gx + ";" + k5Gy + ";x\n",
         false, {2}},
        {"too few fields", "SCALARMUL;" + kThree + ";" + k3Gx + ";" + k3Gy + "\nADD;" + kGx + ";" + kGy + ";" + k2Gx +
                               ";" + k2Gy + ";" + k3Gx + ";" + k3Gy + "\n",
         false, {1, 2}},
        {"a scalar of 63 digits, and one with a letter", "SCALARMUL;" + kThree.substr(1) + ";" + k3Gx + ";" + k3Gy +
                                                             ";short\nSCALARMUL;" + kThree.substr(0, 63) + "g;" + k3Gx +
                                                             ";" + k3Gy + ";letter\n" + good_mul + "\n",
         false, {1, 2}},
        {"a coordinate of 65 digits", "ADD;0" + kGx + ";" + kGy + ";" + k2Gx + ";" + k2Gy + ";" + k3Gx + ";" + k3Gy + ";x\n",
         false, {1}},
        {"a point off the curve", "ADD;" + kGx + ";" + k2Gy + ";" + k2Gx + ";" + k2Gy + ";" + k3Gx + ";" + k3Gy + ";x\n",
         false, {1}},
        {"a sum at infinity", "SUB;" + kGx + ";" + kGy + ";" + kGx + ";" + kGy + ";" + k3Gx + ";" + k3Gy + ";G-G\n", false,
         {1}},
        {"a line beyond 4096 characters", good_mul + std::string(5000, ';') + "\n" + good_mul + "\n", false, {1}},
        {"failures keep counting lines", "x\nSCALARMUL;1\n#\nSCALARMUL;2\n", false, {2, 4}},
    };
    for (const FileCase& c : cases) {
        SCOPED_TRACE(c.what);
        std::istringstream in(c.content);
        Capture cap;
        EXPECT_EQ(c.passes, check_vector_stream(in, cap.file()));
        std::string want;
        for (size_t line : c.failing_lines) want += "    FAIL (line " + std::to_string(line) + ")\n";
        EXPECT_EQ(want, cap.text());
    }
}

TEST_F(Selftest, VectorFileFromTheEnvironment) {
    // Not set: passes without a word about a file.
    {
        Capture cap;
        EXPECT_TRUE(check_external_vectors(cap.file()));
        EXPECT_EQ("", cap.text());
    }
    // Comments only: the heading with the path, and a pass.
    {
        const VectorFile f("# nothing but comments\n\n# and blank lines\n");
        Capture cap;
        EXPECT_TRUE(check_external_vectors(cap.file()));
        EXPECT_EQ("\nExternal Vector Tests (" + f.path() + "):\n", cap.text());
        Capture run;
        const SelftestCounts c = run_selftest(SelftestMode::ci, 0, run.file());
        EXPECT_TRUE(c.ok());
        EXPECT_NE(run.text().find("\nExternal Vector Tests (" + f.path() + "):\n    PASS\n"), npos);
    }
    // A wrong coordinate: the line number, then the test's FAIL.
    {
        const VectorFile f("# line 1\nSCALARMUL;" + kThree + ";" + k3Gx + ";" + k3Gy + ";ok\nSCALARMUL;" + kThree + ";" +
                           k2Gx + ";" + k3Gy + ";wrong x\n");
        Capture run;
        const SelftestCounts c = run_selftest(SelftestMode::ci, 0, run.file());
        EXPECT_EQ(39, c.passed);
        EXPECT_NE(run.text().find("\nExternal Vector Tests (" + f.path() + "):\n    FAIL (line 3)\n    FAIL\n"), npos)
            << run.text();
    }
    // A missing file passes, with the note.
    {
        const VectorFile f("");
        const std::string missing = f.path() + ".missing";
        ::setenv("SECP256K1_SELFTEST_VECTORS", missing.c_str(), 1);
        Capture cap;
        EXPECT_TRUE(check_external_vectors(cap.file()));
        EXPECT_EQ("\n[Selftest] Vector file not found: " + missing + " (skipping)\n", cap.text());
        // A directory or a device is no vector file either.
        for (const char* p : {"/", "/dev/zero"}) {
            ::setenv("SECP256K1_SELFTEST_VECTORS", p, 1);
            Capture c2;
            EXPECT_TRUE(check_external_vectors(c2.file()));
            EXPECT_EQ(std::string("\n[Selftest] Vector file not found: ") + p + " (skipping)\n", c2.text());
        }
    }
    // A path through ".." is not read, even when the file is there and wrong.
    {
        const VectorFile f("SCALARMUL;" + kThree + ";" + k2Gx + ";" + k3Gy + ";wrong\n");
        const std::filesystem::path p(f.path());
        const std::string dotted = (p.parent_path() / ".." / p.parent_path().filename() / p.filename()).string();
        ::setenv("SECP256K1_SELFTEST_VECTORS", dotted.c_str(), 1);
        Capture cap;
        EXPECT_TRUE(check_external_vectors(cap.file()));
        EXPECT_EQ("", cap.text());
    }
}

// --- The table configuration the self-test installs. ---

struct EnvCase {
    const char* what;
    std::vector<std::pair<const char*, const char*>> env;
    uint32_t window_bits;
    bool glv, jsf;
};

TEST_F(Selftest, TableConfigurationFromTheEnvironment) {
    const EnvCase cases[] = {
        {"width 1 is ignored", {{"SECP256K1_WINDOW_BITS", "1"}}, 18, false, false},
        {"width 31 is ignored", {{"SECP256K1_WINDOW_BITS", "31"}}, 18, false, false},
        {"width 20 is used", {{"SECP256K1_WINDOW_BITS", "20"}}, 20, false, false},
        {"width 2 and 30 are the limits", {{"SECP256K1_WINDOW_BITS", "2"}}, 2, false, false},
        {"width 30", {{"SECP256K1_WINDOW_BITS", "30"}}, 30, false, false},
        {"GLV yes", {{"SECP256K1_ENABLE_GLV", "yes"}}, 18, true, false},
        {"GLV True", {{"SECP256K1_ENABLE_GLV", "True"}}, 18, true, false},
        {"GLV 0", {{"SECP256K1_ENABLE_GLV", "0"}}, 18, false, false},
        {"GLV no", {{"SECP256K1_ENABLE_GLV", "no"}}, 18, false, false},
        {"JSF 1 turns on GLV too", {{"SECP256K1_USE_JSF", "1"}}, 18, true, true},
        {"JSF n", {{"SECP256K1_USE_JSF", "n"}}, 18, false, false},
    };
    for (const EnvCase& c : cases) {
        SCOPED_TRACE(c.what);
        for (const char* v : {"SECP256K1_WINDOW_BITS", "SECP256K1_ENABLE_GLV", "SECP256K1_USE_JSF"}) ::unsetenv(v);
        for (const auto& [name, value] : c.env) ::setenv(name, value, 1);
        const PrecomputeConfig cfg = config_from_environment();
        EXPECT_EQ(c.window_bits, cfg.window_bits);
        EXPECT_EQ(c.glv, cfg.enable_glv);
        EXPECT_EQ(c.jsf, cfg.use_jsf);
    }
}

// The self-test installs what the environment says and leaves the tables
// built for it; every test passes on them, with and without GLV and JSF.
TEST_F(Selftest, InstallsTheTablesItTests) {
    const EnvCase cases[] = {
        {"width 9", {{"SECP256K1_WINDOW_BITS", "9"}}, 9, false, false},
        {"width 8 with GLV", {{"SECP256K1_WINDOW_BITS", "8"}, {"SECP256K1_ENABLE_GLV", "1"}}, 8, true, false},
        {"width 8 with JSF", {{"SECP256K1_WINDOW_BITS", "8"}, {"SECP256K1_USE_JSF", "y"}}, 8, true, true},
        {"width 8", {{"SECP256K1_WINDOW_BITS", "8"}}, 8, false, false},
    };
    for (const EnvCase& c : cases) {
        SCOPED_TRACE(c.what);
        for (const char* v : {"SECP256K1_WINDOW_BITS", "SECP256K1_ENABLE_GLV", "SECP256K1_USE_JSF"}) ::unsetenv(v);
        for (const auto& [name, value] : c.env) ::setenv(name, value, 1);
        const SelftestCounts counts = run_selftest(SelftestMode::ci, 0, nullptr);
        EXPECT_EQ(40, counts.run);
        EXPECT_TRUE(counts.ok());
        const PrecomputeContextPtr t = current_context();
        ASSERT_TRUE(t);
        EXPECT_EQ(c.window_bits, t->window_bits);
        EXPECT_EQ(c.glv, t->config.enable_glv);
        EXPECT_EQ(c.jsf, t->config.use_jsf);
    }
    // Run again on demand with the same environment: the tables in use stay
    // (no reload, no rebuild, no wait for the other threads).
    const PrecomputeContextPtr before = current_context();
    EXPECT_TRUE(run_selftest(SelftestMode::smoke, 0, nullptr).ok());
    EXPECT_EQ(before.get(), current_context().get());
}

}  // namespace
}  // namespace qorvex::test
