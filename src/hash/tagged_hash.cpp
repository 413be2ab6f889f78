#include "hash/tagged_hash.h"

#include <array>
#include <cstring>

namespace qorvex {

namespace {

constexpr const char* kTagNames[kFixedTagCount] = {
    "BIP0340/aux",     "BIP0340/nonce",   "BIP0340/challenge", "BIP0340/msg",   "TapTweak",
    "KeyAgg list",     "KeyAgg coefficient", "MuSig/aux",      "MuSig/nonce",   "MuSig/noncecoef",
    "FROST_binding",   "Bulletproof/gen", "Bulletproof/ip",    "Bulletproof/x", "Bulletproof/y",
    "Bulletproof/z",   "ZK/dleq",         "ZK/knowledge",      "ZK/nonce",
};

// The state after compressing the block SHA-256(tag) || SHA-256(tag).
void init_from_tag_bytes(Sha256Context& ctx, const uint8_t* tag, size_t tag_len) {
    uint8_t prefix[64];
    sha256(tag, tag_len, prefix);
    std::memcpy(prefix + 32, prefix, 32);
    sha256_init(ctx);
    sha256_compress(ctx.state, prefix);
    ctx.buffered = 0;
    ctx.total = 64;
}

using MidstateTable = std::array<Sha256Context, kFixedTagCount>;

MidstateTable build_table() {
    MidstateTable table{};
    for (size_t i = 0; i < kFixedTagCount; ++i) {
        init_from_tag_bytes(table[i], reinterpret_cast<const uint8_t*>(kTagNames[i]), std::strlen(kTagNames[i]));
    }
    return table;
}

// Built on first use, so that code running during another file's static
// initialisation still finds it complete. The reference below makes that
// first use happen while the library loads, so no signing call pays for it.
const MidstateTable& table() {
    static const MidstateTable t = build_table();
    return t;
}

[[maybe_unused]] const bool g_table_built = (table(), true);

}  // namespace

const char* fixed_tag_name(FixedTag tag) { return kTagNames[static_cast<size_t>(tag)]; }

const Sha256Context& tag_midstate(FixedTag tag) { return table()[static_cast<size_t>(tag)]; }

void tagged_hash_init(Sha256Context& ctx, FixedTag tag) { ctx = tag_midstate(tag); }

void tagged_hash_init(Sha256Context& ctx, const char* tag) {
    init_from_tag_bytes(ctx, reinterpret_cast<const uint8_t*>(tag), std::strlen(tag));
}

void tagged_hash(FixedTag tag, const uint8_t* data, size_t len, uint8_t out32[32]) {
    Sha256Context ctx = tag_midstate(tag);
    sha256_update(ctx, data, len);
    sha256_final(ctx, out32);
}

void tagged_hash(const char* tag, const uint8_t* data, size_t len, uint8_t out32[32]) {
    Sha256Context ctx;
    tagged_hash_init(ctx, tag);
    sha256_update(ctx, data, len);
    sha256_final(ctx, out32);
}

}  // namespace qorvex
