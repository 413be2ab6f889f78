// Allocation failure through every export that allocates: with the global
// operator new replaced (failing_new.cpp), allocation k fails for k = 0, 1,
// 2, ... until a call gets through without reaching it. Each failing call
// must return 9 with "allocation failed" and leave its outputs untouched —
// or succeed with the right outputs when the allocation was an optional one
// (a per-thread cache) — and leave no block behind.
//
// The generator tables are where most allocation happens; each attempt
// starts with them dropped, and the table states below decide whether the
// call rebuilds them (with or without saving the cache file) or loads them.
// Each attempt runs on a new thread, so the per-thread caches start empty.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "arith/precompute.h"
#include "failing_new.h"
#include "qorvex.h"

namespace qorvex::test {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

// No call here needs anywhere near this many allocations; reaching it means
// the loop does not end.
constexpr long kMaxAttempts = 2000;

Bytes filled(size_t n, uint8_t v) { return Bytes(n, v); }

Bytes hex32(const char* fill) {
    Bytes b(32);
    for (size_t i = 0; i < 32; ++i) b[i] = static_cast<uint8_t>(fill[i % std::strlen(fill)]);
    return b;
}

// Inputs shared by the cases, made once with allocation untouched.
struct Inputs {
    qorvex_ctx* ctx = nullptr;
    Bytes key = hex32("qorvex-alloc-key"), tweak = hex32("tweak"), msg = hex32("message"), aux = hex32("aux");
    Bytes pub33 = Bytes(33), xonly = Bytes(32), ecdsa_sig = Bytes(64), opaque = Bytes(64), schnorr_sig = Bytes(64);
    Bytes eth_r = Bytes(32), eth_s = Bytes(32);
    uint64_t eth_v = 0;
    int recid = 0;
    qorvex_bip32_key xprv{}, xpub{};
    std::string mnemonic;
    std::string tr_descriptor, wpkh_descriptor;

    Inputs() {
        if (qorvex_ctx_create(&ctx) != QORVEX_OK) std::abort();
        qorvex_pubkey_create(ctx, key.data(), pub33.data());
        qorvex_pubkey_xonly(ctx, key.data(), xonly.data());
        qorvex_ecdsa_sign_recoverable(ctx, msg.data(), key.data(), ecdsa_sig.data(), &recid);
        qorvex_ecdsa_sig_compact_to_opaque(ctx, ecdsa_sig.data(), opaque.data());
        qorvex_schnorr_sign(ctx, msg.data(), key.data(), aux.data(), schnorr_sig.data());
        qorvex_eth_sign(ctx, msg.data(), key.data(), eth_r.data(), eth_s.data(), &eth_v, 1);
        // A master key and its xpub record (the layout of qorvex.h).
        qorvex_bip32_master(ctx, key.data(), 32, &xprv);
        xpub = xprv;
        const uint8_t version[4] = {0x04, 0x88, 0xB2, 0x1E};
        std::memcpy(xpub.data, version, 4);
        qorvex_bip32_pubkey(ctx, &xprv, xpub.data + 45);
        xpub.data[78] = 0;
        char m[QORVEX_BIP39_MNEMONIC_MAX_SIZE];
        size_t len = sizeof m;
        qorvex_bip39_generate(ctx, 16, key.data(), m, &len);
        mnemonic.assign(m, len);
        char t[QORVEX_BIP32_TEXT_SIZE];
        len = sizeof t;
        qorvex_bip32_to_base58(ctx, &xpub, t, &len);
        tr_descriptor = "tr(" + std::string(t, len) + "/<0;1>/*)";
        wpkh_descriptor = "wpkh(" + std::string(t, len) + "/0/*)";
    }
};

bool g_context_made = false;

Inputs& inputs() {
    static Inputs in;
    g_context_made = true;
    return in;
}

// The first context of a process runs the self-test and builds the tables;
// allocation failing anywhere in there gives 9 and no context, and a later
// call tries again. Only meaningful in a process where no context was made
// yet, which is how ctest runs it.
TEST(AllocationFailureFirstContext, CreateRetriesAfterFailure) {
    if (g_context_made) GTEST_SKIP() << "a context already exists in this process";
    long k = 0;
    for (; k < kMaxAttempts; ++k) {
        qorvex_ctx* out = reinterpret_cast<qorvex_ctx*>(&k);  // anything but NULL
        alloc::arm(k);
        const int rc = qorvex_ctx_create(&out);
        alloc::disarm();
        if (!alloc::failure_injected()) {
            ASSERT_EQ(QORVEX_OK, rc);
            ASSERT_NE(nullptr, out);
            uint8_t key[32] = {1}, pub[33];
            EXPECT_EQ(QORVEX_OK, qorvex_pubkey_create(out, key, pub));
            qorvex_ctx_destroy(out);
            break;
        }
        EXPECT_EQ(QORVEX_ERR_INTERNAL, rc) << "k=" << k;
        EXPECT_EQ(nullptr, out) << "k=" << k;
        if (::testing::Test::HasFailure()) break;
    }
    EXPECT_GT(k, 1);
    EXPECT_LT(k, kMaxAttempts);
    std::printf("  qorvex_ctx_create (first)      %4ld allocations, each made to fail in turn\n", k);
}

// An export under test: it writes its outputs into `out` (out_size bytes,
// pre-filled by the caller) and returns its code.
struct AllocCase {
    const char* name;
    size_t out_size;
    std::function<int(qorvex_ctx*, uint8_t* out)> call;
};

std::vector<AllocCase> table_cases() {
    Inputs& in = inputs();
    return {
        {"qorvex_pubkey_tweak_add", 33,
         [&in](qorvex_ctx* c, uint8_t* out) { return qorvex_pubkey_tweak_add(c, in.pub33.data(), in.tweak.data(), out); }},
        {"qorvex_pubkey_tweak_mul", 33,
         [&in](qorvex_ctx* c, uint8_t* out) { return qorvex_pubkey_tweak_mul(c, in.pub33.data(), in.tweak.data(), out); }},
        {"qorvex_ecdsa_verify", 0,
         [&in](qorvex_ctx* c, uint8_t*) {
             return qorvex_ecdsa_verify(c, in.msg.data(), in.ecdsa_sig.data(), in.pub33.data());
         }},
        {"qorvex_ecdsa_verify_opaque", 0,
         [&in](qorvex_ctx* c, uint8_t*) {
             return qorvex_ecdsa_verify_opaque(c, in.msg.data(), in.opaque.data(), in.pub33.data());
         }},
        {"qorvex_ecdsa_recover", 33,
         [&in](qorvex_ctx* c, uint8_t* out) {
             return qorvex_ecdsa_recover(c, in.msg.data(), in.ecdsa_sig.data(), in.recid, out);
         }},
        {"qorvex_ecdsa_sign_verified", 64,
         [&in](qorvex_ctx* c, uint8_t* out) {
             return qorvex_ecdsa_sign_verified(c, in.msg.data(), in.key.data(), out);
         }},
        {"qorvex_schnorr_sign", 64,
         [&in](qorvex_ctx* c, uint8_t* out) {
             return qorvex_schnorr_sign(c, in.msg.data(), in.key.data(), in.aux.data(), out);
         }},
        {"qorvex_schnorr_sign_msg", 64,
         [&in](qorvex_ctx* c, uint8_t* out) {
             return qorvex_schnorr_sign_msg(c, in.key.data(), in.msg.data(), 32, in.aux.data(), out);
         }},
        {"qorvex_schnorr_sign_verified", 64,
         [&in](qorvex_ctx* c, uint8_t* out) {
             return qorvex_schnorr_sign_verified(c, in.msg.data(), in.key.data(), in.aux.data(), out);
         }},
        {"qorvex_schnorr_verify", 0,
         [&in](qorvex_ctx* c, uint8_t*) {
             return qorvex_schnorr_verify(c, in.msg.data(), in.schnorr_sig.data(), in.xonly.data());
         }},
        {"qorvex_schnorr_verify_msg", 0,
         [&in](qorvex_ctx* c, uint8_t*) {
             uint8_t sig[64];
             if (qorvex_schnorr_sign_msg(c, in.key.data(), in.msg.data(), 5, in.aux.data(), sig) != QORVEX_OK) return -1;
             return qorvex_schnorr_verify_msg(c, in.xonly.data(), in.msg.data(), 5, sig);
         }},
        {"qorvex_eth_ecrecover", 20,
         [&in](qorvex_ctx* c, uint8_t* out) {
             return qorvex_eth_ecrecover(c, in.msg.data(), in.eth_r.data(), in.eth_s.data(), in.eth_v, out);
         }},
        // The output key zeroes its outputs before it reaches the tables, so
        // they are copied out on success only: out holds the key and parity.
        {"qorvex_taproot_output_key", 33,
         [&in](qorvex_ctx* c, uint8_t* out) {
             uint8_t q[32];
             int parity = 0;
             const int rc = qorvex_taproot_output_key(c, in.xonly.data(), in.tweak.data(), q, &parity);
             if (rc == QORVEX_OK) {
                 std::memcpy(out, q, 32);
                 out[32] = static_cast<uint8_t>(parity);
             }
             return rc;
         }},
        {"qorvex_taproot_verify", 0,
         [&in](qorvex_ctx* c, uint8_t*) {
             uint8_t q[32];
             int parity = 0;
             const int rc = qorvex_taproot_output_key(c, in.xonly.data(), nullptr, q, &parity);
             if (rc != QORVEX_OK) return rc;
             return qorvex_taproot_verify(c, q, parity, in.xonly.data(), nullptr, 0);
         }},
        // Public derivation takes k*G from the tables.
        {"qorvex_bip32_derive (xpub)", QORVEX_BIP32_KEY_SIZE,
         [&in](qorvex_ctx* c, uint8_t* out) {
             return qorvex_bip32_derive(c, &in.xpub, 7, reinterpret_cast<qorvex_bip32_key*>(out));
         }},
        {"qorvex_bip32_derive_path (xpub)", QORVEX_BIP32_KEY_SIZE,
         [&in](qorvex_ctx* c, uint8_t* out) {
             return qorvex_bip32_derive_path(c, &in.xpub, "m/0/1", reinterpret_cast<qorvex_bip32_key*>(out));
         }},
        // Descriptors: the text's copy and the path, then public derivation
        // and the output key through the tables. The record's kind is
        // written before derivation, so the record and the address are
        // copied out on success only.
        {"qorvex_descriptor_parse (tr, xpub)", sizeof(qorvex_descriptor) + QORVEX_ADDRESS_MAX_SIZE,
         [&in](qorvex_ctx* c, uint8_t* out) {
             qorvex_descriptor rec{};
             char addr[QORVEX_ADDRESS_MAX_SIZE] = {0};
             size_t len = sizeof addr;
             const int rc = qorvex_descriptor_parse(c, in.tr_descriptor.c_str(), 7, &rec, addr, &len);
             if (rc == QORVEX_OK) {
                 std::memcpy(out, &rec, sizeof rec);
                 std::memcpy(out + sizeof rec, addr, sizeof addr);
             }
             return rc;
         }},
        {"qorvex_descriptor_address (wpkh, xpub)", QORVEX_ADDRESS_MAX_SIZE,
         [&in](qorvex_ctx* c, uint8_t* out) {
             size_t len = QORVEX_ADDRESS_MAX_SIZE;
             return qorvex_descriptor_address(c, in.wpkh_descriptor.c_str(), 3, reinterpret_cast<char*>(out), &len);
         }},
        // Copies of the mnemonic and passphrase, their NFKD forms, the salt.
        {"qorvex_bip39_to_seed", QORVEX_BIP39_SEED_SIZE,
         [&in](qorvex_ctx* c, uint8_t* out) {
             return qorvex_bip39_to_seed(c, in.mnemonic.c_str(), "caf\xc3\xa9 passphrase", out);
         }},
    };
}

// How the generator tables stand when an attempt starts.
enum class Tables {
    rebuild_nowhere_to_save,  // no usable cache directory
    rebuild_and_save,         // a writable directory without the file
    load,                     // a directory holding a good file
    current,                  // already built: only per-thread state allocates
};

const char* to_string(Tables t) {
    switch (t) {
        case Tables::rebuild_nowhere_to_save: return "rebuild, nowhere to save";
        case Tables::rebuild_and_save: return "rebuild and save";
        case Tables::load: return "load the cache file";
        case Tables::current: return "tables current";
    }
    return "?";
}

struct Outcome {
    int rc = -1;
    bool injected = false;
    long allocations = 0;
    long leaked = 0;  // blocks still live once the tables are dropped again
    bool temporaries_left = false;
    long fds_leaked = 0;  // file descriptors left open
    std::string message;
    Bytes out;
};

class AllocationFailure : public ::testing::TestWithParam<Tables> {
protected:
    static void SetUpTestSuite() {
        char tmpl[] = "/tmp/qorvex-alloc-XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(tmpl));
        root_ = tmpl;
        fs::create_directories(root_ + "/save");
        fs::create_directories(root_ + "/load");
        std::FILE* f = std::fopen((root_ + "/plain-file").c_str(), "w");
        ASSERT_NE(nullptr, f);
        std::fclose(f);
        // The current directory is where a bare cache name would go.
        ASSERT_EQ(0, chdir(root_.c_str()));
        inputs();
        qorvex_set_cache_dir((root_ + "/load").c_str());
        ensure_built();  // writes the good file
        ASSERT_TRUE(fs::exists(cache_file_name(current_config().window_bits, current_config())));
    }
    static void TearDownTestSuite() {
        std::error_code ec;
        fs::remove_all(root_, ec);
    }

    // Puts the tables into the state; the same call afterwards frees what an
    // attempt left, so that the count of live blocks can be compared.
    static void prepare(Tables t) {
        switch (t) {
            case Tables::rebuild_nowhere_to_save:
                qorvex_set_cache_dir((root_ + "/plain-file/sub").c_str());
                break;
            case Tables::rebuild_and_save:
                for (const auto& e : fs::directory_iterator(root_ + "/save")) fs::remove(e.path());
                qorvex_set_cache_dir((root_ + "/save").c_str());
                break;
            case Tables::load:
                qorvex_set_cache_dir((root_ + "/load").c_str());
                break;
            case Tables::current:
                qorvex_set_cache_dir((root_ + "/load").c_str());
                ensure_built();
                break;
        }
    }

    static long open_fds() {
        long n = 0;
        for ([[maybe_unused]] const auto& e : fs::directory_iterator("/proc/self/fd")) ++n;
        return n;
    }

    static std::vector<std::string> temporaries() {
        std::vector<std::string> found;
        for (const auto& e : fs::recursive_directory_iterator(root_))
            if (e.path().filename().string().find(".tmp.") != std::string::npos) found.push_back(e.path());
        return found;
    }

    // One call on a fresh thread with allocation k failing (k < 0: none),
    // the tables in the given state.
    static Outcome run_once(const AllocCase& c, long k, Tables state) {
        Outcome o;
        o.out = filled(c.out_size, 0xA5);
        o.message.reserve(QORVEX_MAX_MESSAGE_LEN + 1);  // no allocation during the count
        prepare(state);
        const long fds_before = open_fds();
        const long before = alloc::live_blocks();
        std::thread t([&] {
            qorvex_ctx* ctx = inputs().ctx;
            alloc::arm(k);
            o.rc = c.call(ctx, o.out.data());
            o.allocations = alloc::disarm();
            o.injected = alloc::failure_injected();
            o.message = qorvex_last_error_msg(ctx);  // this thread's message
        });
        t.join();
        o.temporaries_left = !temporaries().empty();
        o.fds_leaked = open_fds() - fds_before;
        prepare(state);
        o.leaked = alloc::live_blocks() - before;
        return o;
    }

    static std::string root_;
};

std::string AllocationFailure::root_;

TEST_P(AllocationFailure, EveryAllocationOfTableUsers) {
    const Tables state = GetParam();
    for (const AllocCase& c : table_cases()) {
        const int parts_before = ::testing::UnitTest::GetInstance()->current_test_info()->result()->total_part_count();
        SCOPED_TRACE(std::string(c.name) + ", " + to_string(state));
        const Outcome reference = run_once(c, -1, state);
        ASSERT_EQ(QORVEX_OK, reference.rc) << reference.message;
        EXPECT_EQ(0, reference.leaked);
        long k = 0;
        for (; k < kMaxAttempts; ++k) {
            const Outcome o = run_once(c, k, state);
            if (!o.injected) {
                // Fewer than k + 1 allocations: the call went through.
                EXPECT_EQ(QORVEX_OK, o.rc) << "k=" << k;
                EXPECT_EQ(reference.out, o.out) << "k=" << k;
                break;
            }
            EXPECT_EQ(0, o.leaked) << "k=" << k << ": blocks left behind";
            // A failed save is silent and leaves nothing behind.
            EXPECT_FALSE(o.temporaries_left) << "k=" << k << ": a temporary cache file left behind";
            EXPECT_EQ(0, o.fds_leaked) << "k=" << k << ": file descriptors left open";
            if (o.rc == QORVEX_OK) {
                // An optional allocation (a cache) failed and was done without.
                EXPECT_EQ(reference.out, o.out) << "k=" << k;
            } else {
                EXPECT_EQ(QORVEX_ERR_INTERNAL, o.rc) << "k=" << k;
                EXPECT_EQ("allocation failed", o.message) << "k=" << k;
                EXPECT_EQ(filled(c.out_size, 0xA5), o.out) << "k=" << k << ": output touched";
            }
            // One report per case is enough.
            if (::testing::UnitTest::GetInstance()->current_test_info()->result()->total_part_count() > parts_before)
                break;
        }
        EXPECT_LT(k, kMaxAttempts);
        std::printf("  %-30s %4ld allocations, each made to fail in turn\n", c.name, k);
    }
}

INSTANTIATE_TEST_SUITE_P(TableStates, AllocationFailure,
                         ::testing::Values(Tables::rebuild_nowhere_to_save, Tables::rebuild_and_save, Tables::load,
                                           Tables::current),
                         [](const ::testing::TestParamInfo<Tables>& i) {
                             switch (i.param) {
                                 case Tables::rebuild_nowhere_to_save: return std::string("RebuildNowhereToSave");
                                 case Tables::rebuild_and_save: return std::string("RebuildAndSave");
                                 case Tables::load: return std::string("Load");
                                 case Tables::current: return std::string("Current");
                             }
                             return std::string("Unknown");
                         });

// The exports that take no context: the cache directory's string copy.
TEST(AllocationFailureNoContext, SetCacheDir) {
    inputs();
    const std::string before = current_config().cache_dir;
    const std::string wanted = before + "/a-directory-name-long-enough-to-need-the-heap";
    long k = 0;
    for (; k < kMaxAttempts; ++k) {
        alloc::arm(k);
        const int rc = qorvex_set_cache_dir(wanted.c_str());
        alloc::disarm();
        if (!alloc::failure_injected()) {
            EXPECT_EQ(QORVEX_OK, rc);
            EXPECT_EQ(wanted, current_config().cache_dir);
            break;
        }
        EXPECT_EQ(QORVEX_ERR_INTERNAL, rc) << "k=" << k;
        EXPECT_EQ(before, current_config().cache_dir) << "k=" << k << ": changed although it failed";
    }
    EXPECT_GT(k, 0) << "the copy did not allocate: the test proves nothing";
    std::printf("  qorvex_set_cache_dir           %4ld allocations, each made to fail in turn\n", k);
    qorvex_set_cache_dir(before.c_str());
}

// Context creation and cloning allocate the block without throwing.
TEST(AllocationFailureNoContext, CloneFailsCleanly) {
    qorvex_ctx* src = inputs().ctx;
    qorvex_ctx* out = reinterpret_cast<qorvex_ctx*>(&src);  // anything but NULL
    alloc::arm(0);
    EXPECT_EQ(QORVEX_ERR_INTERNAL, qorvex_ctx_clone(src, &out));
    alloc::disarm();
    EXPECT_EQ(nullptr, out);
    alloc::arm(0);
    EXPECT_EQ(QORVEX_ERR_INTERNAL, qorvex_ctx_create(&out));
    alloc::disarm();
    EXPECT_EQ(nullptr, out);
}

// Exports without the exception boundary must not allocate at all, once the
// process-wide and per-thread state they use exists: an allocation there
// could throw through the C interface. Each is called twice on one thread,
// the second time counted.
TEST(AllocationFailureNoContext, UnwrappedExportsDoNotAllocate) {
    Inputs& in = inputs();
    qorvex_ctx* c = in.ctx;
    struct Call {
        const char* name;
        std::function<int()> call;
    };
    const Call calls[] = {
        {"qorvex_ctx_size", [] { return static_cast<int>(qorvex_ctx_size()) - QORVEX_CTX_SIZE; }},
        {"qorvex_last_error", [c] { return qorvex_last_error(c); }},
        {"qorvex_last_error_msg", [c] { return qorvex_last_error_msg(c) ? 0 : 1; }},
        {"qorvex_error_str", [] { return qorvex_error_str(3) ? 0 : 1; }},
        {"qorvex_abi_version", [] { return qorvex_abi_version() == QORVEX_ABI_VERSION ? 0 : 1; }},
        {"qorvex_version", [] { return qorvex_version() == QORVEX_VERSION ? 0 : 1; }},
        {"qorvex_version_string", [] { return qorvex_version_string() ? 0 : 1; }},
        {"qorvex_seckey_verify", [&] { return qorvex_seckey_verify(c, in.key.data()); }},
        {"qorvex_seckey_negate", [&] {
             uint8_t k[32];
             std::memcpy(k, in.key.data(), 32);
             return qorvex_seckey_negate(c, k);
         }},
        {"qorvex_seckey_tweak_add", [&] {
             uint8_t k[32];
             std::memcpy(k, in.key.data(), 32);
             return qorvex_seckey_tweak_add(c, k, in.tweak.data());
         }},
        {"qorvex_seckey_tweak_mul", [&] {
             uint8_t k[32];
             std::memcpy(k, in.key.data(), 32);
             return qorvex_seckey_tweak_mul(c, k, in.tweak.data());
         }},
        {"qorvex_pubkey_create", [&] { uint8_t o[33]; return qorvex_pubkey_create(c, in.key.data(), o); }},
        {"qorvex_pubkey_create_uncompressed", [&] { uint8_t o[65]; return qorvex_pubkey_create_uncompressed(c, in.key.data(), o); }},
        {"qorvex_pubkey_xonly", [&] { uint8_t o[32]; return qorvex_pubkey_xonly(c, in.key.data(), o); }},
        {"qorvex_pubkey_parse", [&] { uint8_t o[33]; return qorvex_pubkey_parse(c, in.pub33.data(), 33, o); }},
        {"qorvex_pubkey_negate", [&] { uint8_t o[33]; return qorvex_pubkey_negate(c, in.pub33.data(), o); }},
        {"qorvex_pubkey_add", [&] {
             uint8_t n[33], o[33];
             qorvex_pubkey_create(c, in.tweak.data(), n);
             return qorvex_pubkey_add(c, in.pub33.data(), n, o);
         }},
        {"qorvex_pubkey_combine", [&] { uint8_t o[33]; return qorvex_pubkey_combine(c, in.pub33.data(), 1, o); }},
        {"qorvex_context_randomize", [&] {
             const int rc = qorvex_context_randomize(c, in.aux.data());
             return rc | qorvex_context_randomize(c, nullptr);
         }},
        {"qorvex_ecdsa_sign", [&] { uint8_t o[64]; return qorvex_ecdsa_sign(c, in.msg.data(), in.key.data(), o); }},
        {"qorvex_ecdsa_sign_recoverable", [&] {
             uint8_t o[64];
             int r;
             return qorvex_ecdsa_sign_recoverable(c, in.msg.data(), in.key.data(), o, &r);
         }},
        {"qorvex_ecdsa_sig_to_der and from_der", [&] {
             uint8_t der[72], back[64];
             size_t len = sizeof der;
             const int rc = qorvex_ecdsa_sig_to_der(c, in.ecdsa_sig.data(), der, &len);
             return rc | qorvex_ecdsa_sig_from_der(c, der, len, back);
         }},
        {"qorvex_ecdsa_sig_compact_to_opaque", [&] { uint8_t o[64]; return qorvex_ecdsa_sig_compact_to_opaque(c, in.ecdsa_sig.data(), o); }},
        {"qorvex_ecdsa_sig_opaque_to_compact", [&] { uint8_t o[64]; return qorvex_ecdsa_sig_opaque_to_compact(c, in.opaque.data(), o); }},
        {"qorvex_ecdsa_sig_normalize_opaque", [&] {
             uint8_t o[64];
             int ch;
             return qorvex_ecdsa_sig_normalize_opaque(c, in.opaque.data(), o, &ch);
         }},
        {"qorvex_eth_address", [&] { uint8_t o[20]; return qorvex_eth_address(c, in.pub33.data(), o); }},
        {"qorvex_eth_address_checksummed", [&] {
             char t[43];
             size_t len = sizeof t;
             return qorvex_eth_address_checksummed(c, in.pub33.data(), t, &len);
         }},
        {"qorvex_eth_personal_hash", [&] { uint8_t o[32]; return qorvex_eth_personal_hash(in.msg.data(), 32, o); }},
        {"qorvex_eth_sign", [&] {
             uint8_t r[32], s[32];
             uint64_t v;
             return qorvex_eth_sign(c, in.msg.data(), in.key.data(), r, s, &v, 1);
         }},
        {"qorvex_sha256", [&] { uint8_t o[32]; return qorvex_sha256(in.msg.data(), 32, o); }},
        {"qorvex_tagged_hash", [&] { uint8_t o[32]; return qorvex_tagged_hash("tag", in.msg.data(), 32, o); }},
        {"qorvex_sha512", [&] { uint8_t o[64]; return qorvex_sha512(in.msg.data(), 32, o); }},
        {"qorvex_hash160", [&] { uint8_t o[20]; return qorvex_hash160(in.msg.data(), 32, o); }},
        {"qorvex_keccak256", [&] { uint8_t o[32]; return qorvex_keccak256(in.msg.data(), 32, o); }},
        // Addresses, WIF and segwit scripts.
        {"qorvex_addr_p2pkh, _p2sh_p2wpkh, _p2wpkh, _p2tr", [&] {
             char a[QORVEX_ADDRESS_MAX_SIZE];
             size_t l1 = sizeof a, l2 = sizeof a, l3 = sizeof a, l4 = sizeof a;
             return qorvex_addr_p2pkh(c, in.pub33.data(), 0, a, &l1) |
                    qorvex_addr_p2sh_p2wpkh(c, in.pub33.data(), 1, a, &l2) |
                    qorvex_addr_p2wpkh(c, in.pub33.data(), 0, a, &l3) | qorvex_addr_p2tr(c, in.xonly.data(), 1, a, &l4);
         }},
        {"qorvex_addr_p2sh", [&] {
             char a[QORVEX_ADDRESS_MAX_SIZE];
             size_t len = sizeof a;
             return qorvex_addr_p2sh(in.msg.data(), 32, 0, a, &len);
         }},
        {"qorvex_wif_encode and _decode", [&] {
             char w[QORVEX_WIF_MAX_SIZE];
             size_t len = sizeof w;
             uint8_t k[32];
             int comp, net;
             const int rc = qorvex_wif_encode(c, in.key.data(), 1, 0, w, &len);
             return rc | qorvex_wif_decode(c, w, k, &comp, &net);
         }},
        {"qorvex_segwit_*", [&] {
             uint8_t spk[34], prog[40], h[32];
             int v;
             size_t len;
             int rc = qorvex_segwit_p2wsh_spk(in.msg.data(), spk) | qorvex_segwit_p2tr_spk(in.xonly.data(), spk) |
                      qorvex_segwit_p2wpkh_spk(in.msg.data(), spk) |
                      qorvex_segwit_witness_script_hash(in.msg.data(), 32, h);
             rc |= qorvex_segwit_parse_program(spk, 22, &v, prog, &len);
             return rc | (qorvex_segwit_is_witness_program(spk, 22) - 1);
         }},
        // BIP-32 (the private side; public derivation is guarded), BIP-39
        // without the seed, and BIP-85.
        {"qorvex_bip32_master, _derive, _derive_path (xprv)", [&] {
             qorvex_bip32_key k, child;
             const int rc = qorvex_bip32_master(c, in.msg.data(), 32, &k);
             return rc | qorvex_bip32_derive(c, &k, QORVEX_BIP32_HARDENED, &child) |
                    qorvex_bip32_derive_path(c, &k, "m/84'/0'/0'/0/0", &child);
         }},
        {"qorvex_bip32_privkey, _pubkey", [&] {
             uint8_t k[32], p[33];
             return qorvex_bip32_privkey(c, &in.xprv, k) | qorvex_bip32_pubkey(c, &in.xpub, p);
         }},
        {"qorvex_bip32_to_base58 and _from_base58", [&] {
             char t[QORVEX_BIP32_TEXT_SIZE];
             size_t len = sizeof t;
             qorvex_bip32_key k;
             const int rc = qorvex_bip32_to_base58(c, &in.xprv, t, &len);
             return rc | qorvex_bip32_from_base58(c, t, &k);
         }},
        {"qorvex_bip39_generate, _validate, _to_entropy", [&] {
             char m[QORVEX_BIP39_MNEMONIC_MAX_SIZE];
             size_t len = sizeof m, elen = 32;
             uint8_t e[32];
             int rc = qorvex_bip39_generate(c, 32, in.key.data(), m, &len);
             len = sizeof m;
             rc |= qorvex_bip39_generate(c, 16, nullptr, m, &len);
             return rc | qorvex_bip39_validate(c, m) | qorvex_bip39_to_entropy(c, m, e, &elen);
         }},
        // The coin table: every address style, WIF, private derivation.
        {"qorvex_coin_address (all styles)", [&] {
             char a[QORVEX_COIN_ADDRESS_MAX_SIZE];
             int rc = 0;
             for (const int type : {0, 3, 60, 145, 195, 133}) {
                 size_t len = sizeof a;
                 rc |= qorvex_coin_address(c, in.pub33.data(), type, type & 1, a, &len);
             }
             return rc;
         }},
        {"qorvex_coin_wif_encode, _derive_from_seed", [&] {
             char w[QORVEX_COIN_WIF_MAX_SIZE], a[QORVEX_COIN_ADDRESS_MAX_SIZE];
             size_t wlen = sizeof w, alen = sizeof a;
             uint8_t sk[32], pub[33];
             const int rc = qorvex_coin_wif_encode(c, in.key.data(), 2, 0, w, &wlen);
             return rc | qorvex_coin_derive_from_seed(c, in.msg.data(), 32, 60, 0, 0, 3, 0, sk, pub, a, &alen);
         }},
        {"qorvex_bip85_entropy, _bip39", [&] {
             uint8_t e[32];
             char m[QORVEX_BIP39_MNEMONIC_MAX_SIZE];
             size_t len = sizeof m;
             const int rc = qorvex_bip85_entropy(c, &in.xprv, "m/83696968'/0'/0'", e, 32);
             return rc | qorvex_bip85_bip39(c, &in.xprv, 24, 0, 1, m, &len);
         }},
    };
    for (const auto& call : calls) {
        SCOPED_TRACE(call.name);
        ASSERT_EQ(0, call.call());
        alloc::arm(-1);
        const int rc = call.call();
        const long n = alloc::disarm();
        EXPECT_EQ(0, rc);
        EXPECT_EQ(0, n) << "allocations in an export without the exception boundary";
    }
}

}  // namespace
}  // namespace qorvex::test
