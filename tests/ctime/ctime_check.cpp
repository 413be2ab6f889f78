// Constant-time check of every export that handles a secret.
//
// Run under valgrind's memcheck: each secret input is marked undefined
// before the call, so any branch, lookup index or division whose outcome
// depends on it is reported as a use of an uninitialised value. After the
// call the return code and the public outputs are marked defined again. The
// library marks the values that become public by design (a signature's r, a
// public key, a validity verdict) with its declassify helper, which this
// build turns on.
//
// Every case runs twice, first with nothing marked (the reference), then
// with its secrets marked; both must give the same bytes, so the marked run
// is known to have taken the path being checked. The whole table runs once
// without and once with the calling thread's blinding.
//
// Outside valgrind the program still checks the results and exits non-zero
// on a mismatch; the error count comes from valgrind (--error-exitcode).
#include <valgrind/memcheck.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "arith/field_mul.h"
#include "hash/sha256.h"
#include "qorvex.h"
#include "support/declassify.h"

namespace {

void secret(const void* p, size_t n) { (void)VALGRIND_MAKE_MEM_UNDEFINED(p, n); }
void reveal(const void* p, size_t n) { (void)VALGRIND_MAKE_MEM_DEFINED(p, n); }

// What a call shows the caller: its code and its outputs.
class Observed {
public:
    void code(int rc) {
        reveal(&rc, sizeof rc);
        add(&rc, sizeof rc);
    }
    void add(const void* p, size_t n) {
        reveal(p, n);
        const auto* b = static_cast<const uint8_t*>(p);
        bytes_.insert(bytes_.end(), b, b + n);
    }
    const std::vector<uint8_t>& bytes() const { return bytes_; }

private:
    std::vector<uint8_t> bytes_;
};

qorvex_ctx* g_ctx = nullptr;

// Fixed inputs. Secrets are copied into local buffers by each case, so the
// marks never touch these.
struct Bytes32 {
    uint8_t b[32];
};

Bytes32 bytes32(uint8_t fill, uint8_t last) {
    Bytes32 v;
    std::memset(v.b, fill, 32);
    v.b[31] = last;
    return v;
}

const Bytes32 kKey = bytes32(0x4d, 0x17);
const Bytes32 kTweak = bytes32(0x21, 0x09);
const Bytes32 kMsg = bytes32(0xa5, 0x3c);
const Bytes32 kAux = bytes32(0x5e, 0x01);
const Bytes32 kSeed = bytes32(0x77, 0x42);
// n, an invalid key: the verdict paths are checked too.
const Bytes32 kOrder = {{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                         0xFF, 0xFF, 0xFF, 0xFF, 0xFE, 0xBA, 0xAE, 0xDC, 0xE6, 0xAF, 0x48,
                         0xA0, 0x3B, 0xBF, 0xD2, 0x5E, 0x8C, 0xD0, 0x36, 0x41, 0x41}};
// n - key: tweak_add then sums to zero, the arithmetic-failure path.
Bytes32 negated(const Bytes32& k) {
    Bytes32 v = k;
    if (qorvex_seckey_negate(g_ctx, v.b) != QORVEX_OK) std::abort();
    return v;
}

using Run = std::function<void(bool mark, Observed&)>;

struct Case {
    const char* name;     // the export
    const char* secrets;  // the inputs marked undefined
    Run run;
};

// The export's own name, so that the table cannot name a function that does
// not exist.
#define CT_CASE(fn, secrets, ...) Case{((void)&fn, #fn), secrets, __VA_ARGS__}

// Exports that take a value one might think secret but that is public by
// design; they are not marked, and the reason is printed with the report.
struct Exception {
    const char* name;
    const char* reason;
};
#define CT_EXCEPTION(fn, reason) Exception{((void)&fn, #fn), reason}

// Secret-key inputs: one valid key and one invalid (n), so that both sides
// of the validity verdict are checked.
const Bytes32* const kKeys[] = {&kKey, &kOrder};

std::vector<Case> cases() {
    std::vector<Case> t;

    // --- Private keys ---
    t.push_back(CT_CASE(qorvex_seckey_verify, "key", [](bool mark, Observed& o) {
        for (const Bytes32* k : kKeys) {
            Bytes32 key = *k;
            if (mark) secret(key.b, 32);
            o.code(qorvex_seckey_verify(g_ctx, key.b));
        }
    }));
    t.push_back(CT_CASE(qorvex_seckey_negate, "key", [](bool mark, Observed& o) {
        for (const Bytes32* k : kKeys) {
            Bytes32 key = *k;
            if (mark) secret(key.b, 32);
            o.code(qorvex_seckey_negate(g_ctx, key.b));
            o.add(key.b, 32);
        }
    }));
    struct TweakInput {
        Bytes32 key, tweak;
    };
    // A plain tweak, a tweak that sums to zero, an out-of-range tweak and an
    // invalid key.
    static const TweakInput kTweaks[] = {
        {kKey, kTweak}, {kKey, negated(kKey)}, {kKey, kOrder}, {kOrder, kTweak}};
    t.push_back(CT_CASE(qorvex_seckey_tweak_add, "key, tweak", [](bool mark, Observed& o) {
        for (const auto& in : kTweaks) {
            TweakInput v = in;
            if (mark) secret(&v, sizeof v);
            o.code(qorvex_seckey_tweak_add(g_ctx, v.key.b, v.tweak.b));
            o.add(v.key.b, 32);
        }
    }));
    t.push_back(CT_CASE(qorvex_seckey_tweak_mul, "key, tweak", [](bool mark, Observed& o) {
        for (const auto& in : kTweaks) {
            TweakInput v = in;
            if (mark) secret(&v, sizeof v);
            o.code(qorvex_seckey_tweak_mul(g_ctx, v.key.b, v.tweak.b));
            o.add(v.key.b, 32);
        }
    }));

    // --- Public keys from private keys ---
    t.push_back(CT_CASE(qorvex_pubkey_create, "key", [](bool mark, Observed& o) {
        for (const Bytes32* k : kKeys) {
            Bytes32 key = *k;
            uint8_t out[33] = {0};
            if (mark) secret(key.b, 32);
            o.code(qorvex_pubkey_create(g_ctx, key.b, out));
            o.add(out, sizeof out);
        }
    }));
    t.push_back(CT_CASE(qorvex_pubkey_create_uncompressed, "key", [](bool mark, Observed& o) {
        for (const Bytes32* k : kKeys) {
            Bytes32 key = *k;
            uint8_t out[65] = {0};
            if (mark) secret(key.b, 32);
            o.code(qorvex_pubkey_create_uncompressed(g_ctx, key.b, out));
            o.add(out, sizeof out);
        }
    }));
    t.push_back(CT_CASE(qorvex_pubkey_xonly, "key", [](bool mark, Observed& o) {
        for (const Bytes32* k : kKeys) {
            Bytes32 key = *k;
            uint8_t out[32] = {0};
            if (mark) secret(key.b, 32);
            o.code(qorvex_pubkey_xonly(g_ctx, key.b, out));
            o.add(out, sizeof out);
        }
    }));

    // --- Blinding: the seed, and a signature made under the blinding it
    // gives (its state is then secret too) ---
    t.push_back(CT_CASE(qorvex_context_randomize, "blinding seed", [](bool mark, Observed& o) {
        Bytes32 seed = kSeed, key = kKey;
        if (mark) secret(seed.b, 32);
        o.code(qorvex_context_randomize(g_ctx, seed.b));
        uint8_t sig[64] = {0};
        if (mark) secret(key.b, 32);
        o.code(qorvex_ecdsa_sign(g_ctx, kMsg.b, key.b, sig));
        o.add(sig, sizeof sig);
    }));

    // --- ECDSA signing ---
    t.push_back(CT_CASE(qorvex_ecdsa_sign, "key", [](bool mark, Observed& o) {
        for (const Bytes32* k : kKeys) {
            Bytes32 key = *k;
            uint8_t sig[64] = {0};
            if (mark) secret(key.b, 32);
            o.code(qorvex_ecdsa_sign(g_ctx, kMsg.b, key.b, sig));
            o.add(sig, sizeof sig);
        }
    }));
    t.push_back(CT_CASE(qorvex_ecdsa_sign_recoverable, "key", [](bool mark, Observed& o) {
        for (const Bytes32* k : kKeys) {
            Bytes32 key = *k;
            uint8_t sig[64] = {0};
            int recid = -1;
            if (mark) secret(key.b, 32);
            o.code(qorvex_ecdsa_sign_recoverable(g_ctx, kMsg.b, key.b, sig, &recid));
            o.add(sig, sizeof sig);
            o.add(&recid, sizeof recid);
        }
    }));
    t.push_back(CT_CASE(qorvex_ecdsa_sign_verified, "key", [](bool mark, Observed& o) {
        for (const Bytes32* k : kKeys) {
            Bytes32 key = *k;
            uint8_t sig[64] = {0};
            if (mark) secret(key.b, 32);
            o.code(qorvex_ecdsa_sign_verified(g_ctx, kMsg.b, key.b, sig));
            o.add(sig, sizeof sig);
        }
    }));

    // --- Schnorr signing ---
    t.push_back(CT_CASE(qorvex_schnorr_sign, "key, aux", [](bool mark, Observed& o) {
        for (const Bytes32* k : kKeys) {
            Bytes32 key = *k, aux = kAux;
            uint8_t sig[64] = {0};
            if (mark) secret(key.b, 32), secret(aux.b, 32);
            o.code(qorvex_schnorr_sign(g_ctx, kMsg.b, key.b, aux.b, sig));
            o.add(sig, sizeof sig);
        }
    }));
    t.push_back(CT_CASE(qorvex_schnorr_sign_verified, "key, aux", [](bool mark, Observed& o) {
        for (const Bytes32* k : kKeys) {
            Bytes32 key = *k, aux = kAux;
            uint8_t sig[64] = {0};
            if (mark) secret(key.b, 32), secret(aux.b, 32);
            o.code(qorvex_schnorr_sign_verified(g_ctx, kMsg.b, key.b, aux.b, sig));
            o.add(sig, sizeof sig);
        }
    }));
    t.push_back(CT_CASE(qorvex_schnorr_sign_msg, "key, aux", [](bool mark, Observed& o) {
        static const char kText[] = "a message of any length, hashed with its BIP-340 tag";
        for (const Bytes32* k : kKeys) {
            Bytes32 key = *k, aux = kAux;
            uint8_t sig[64] = {0};
            if (mark) secret(key.b, 32), secret(aux.b, 32);
            o.code(qorvex_schnorr_sign_msg(g_ctx, key.b, reinterpret_cast<const uint8_t*>(kText),
                                           sizeof kText - 1, aux.b, sig));
            o.add(sig, sizeof sig);
        }
    }));

    // --- Ethereum signing ---
    t.push_back(CT_CASE(qorvex_eth_sign, "key", [](bool mark, Observed& o) {
        for (const uint64_t chain : {uint64_t{0}, uint64_t{1}}) {
            for (const Bytes32* k : kKeys) {
                Bytes32 key = *k;
                uint8_t r[32], s[32];
                uint64_t v = 0;
                if (mark) secret(key.b, 32);
                o.code(qorvex_eth_sign(g_ctx, kMsg.b, key.b, r, s, &v, chain));
                o.add(r, 32);
                o.add(s, 32);
                o.add(&v, sizeof v);
            }
        }
    }));

    // --- Hashes: what they hash may be secret (seeds, passphrases, derived
    // keys); the length is public. Lengths cover the one-block, two-block
    // and streaming paths. ---
    static const size_t kLengths[] = {0, 31, 55, 56, 64, 119, 200};
    auto hash_case = [](auto hash, size_t out_len) {
        return [hash, out_len](bool mark, Observed& o) {
            for (const size_t len : kLengths) {
                std::vector<uint8_t> data(len + 1);
                for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 37 + len);
                uint8_t out[64] = {0};
                if (mark) secret(data.data(), len);
                o.code(hash(data.data(), len, out));
                o.add(out, out_len);
            }
        };
    };
    t.push_back(CT_CASE(qorvex_sha256, "data", hash_case(qorvex_sha256, 32)));
    t.push_back(CT_CASE(qorvex_sha512, "data", hash_case(qorvex_sha512, 64)));
    t.push_back(CT_CASE(qorvex_hash160, "data", hash_case(qorvex_hash160, 20)));
    t.push_back(CT_CASE(qorvex_keccak256, "data", hash_case(qorvex_keccak256, 32)));
    t.push_back(CT_CASE(qorvex_eth_personal_hash, "message", hash_case(qorvex_eth_personal_hash, 32)));
    t.push_back(CT_CASE(qorvex_tagged_hash, "data (the tag is public)",
                        hash_case([](const uint8_t* d, size_t n, uint8_t* out) {
                            return qorvex_tagged_hash("qorvex/ctime", d, n, out);
                        }, 32)));
    return t;
}

const Exception kExceptions[] = {
    CT_EXCEPTION(qorvex_pubkey_tweak_add,
                 "the tweak of a public key is public by design: it goes through the variable-time "
                 "multiplication, like a verification; secret tweaks use qorvex_seckey_tweak_add"),
    CT_EXCEPTION(qorvex_pubkey_tweak_mul,
                 "the tweak of a public key is public by design (variable-time multiplication); secret "
                 "tweaks use qorvex_seckey_tweak_mul"),
};

unsigned error_count() { return VALGRIND_COUNT_ERRORS; }

}  // namespace

int main() {
    // Small generator tables keep the self-test quick under valgrind; the
    // tables are used only on public values.
    setenv("SECP256K1_WINDOW_BITS", "8", 0);
    if (qorvex_ctx_create(&g_ctx) != QORVEX_OK) {
        std::fprintf(stderr, "cannot create a context\n");
        return 2;
    }
    std::printf("constant-time check: field back end %s, SHA-256 back end %s, %s\n", qorvex::field_backend_name(),
                qorvex::sha256_backend_name(), RUNNING_ON_VALGRIND ? "under valgrind" : "NOT under valgrind");

    const std::vector<Case> table = cases();
    int mismatches = 0;
    for (const bool blinded : {false, true}) {
        std::printf("-- %s\n", blinded ? "with this thread's blinding on" : "without blinding");
        for (const Case& c : table) {
            auto set_blinding = [&] {
                if (qorvex_context_randomize(g_ctx, blinded ? kSeed.b : nullptr) != QORVEX_OK) std::abort();
            };
            set_blinding();
            Observed reference;
            c.run(false, reference);
            set_blinding();
            const unsigned before = error_count();
            Observed marked;
            c.run(true, marked);
            const unsigned errors = error_count() - before;
            const bool same = reference.bytes() == marked.bytes();
            if (!same) ++mismatches;
            std::printf("%-5s %-36s secret: %-26s errors: %u%s\n", errors == 0 && same ? "ok" : "FAIL", c.name,
                        c.secrets, errors, same ? "" : "  (results differ)");
        }
    }
    qorvex_context_randomize(g_ctx, nullptr);

    std::printf("-- declared exceptions: exports whose inputs are public by design (not marked)\n");
    for (const Exception& e : kExceptions) std::printf("      %-36s %s\n", e.name, e.reason);

    const auto sites = qorvex::declassify_sites_reached();
    std::printf("-- declassify sites reached\n");
    for (const auto& [file, line] : sites) std::printf("      %s:%u\n", file.c_str(), line);

    // The declared exceptions of the suppression file are counted by the
    // script that runs this under valgrind (run_ctime.cmake).
    std::printf("table: %zu functions, %u errors, %zu declassify sites, %zu exports public by design\n",
                table.size(), error_count(), sites.size(), sizeof kExceptions / sizeof kExceptions[0]);
    qorvex_ctx_destroy(g_ctx);
    return mismatches == 0 ? 0 : 1;
}
