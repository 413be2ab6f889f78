#include "bitcoin/bip32.h"

#include <cstring>

#include "arith/gen_mul.h"
#include "arith/precompute.h"
#include "bitcoin/base58.h"
#include "hash/hmac_sha512.h"
#include "hash/ripemd160.h"
#include "support/bytes.h"
#include "support/declassify.h"
#include "support/wipe.h"

namespace qorvex::bip32 {

namespace {

constexpr uint8_t kMasterKey[] = {'B', 'i', 't', 'c', 'o', 'i', 'n', ' ', 's', 'e', 'e', 'd'};

// The left half of an HMAC output as a scalar in [1, n - 1]. Whether it is
// one is public: the derivation fails on it (with probability below
// 2^-127).
bool parse_il(const uint8_t il[32], Scalar& out) { return declassify_bool(Scalar::parse_nonzero(il, out)); }

}  // namespace

bool master(std::span<const uint8_t> seed, ExtendedKey& out) {
    secure_wipe_value(out);
    if (seed.size() < kMinSeed || seed.size() > kMaxSeed) return false;
    SecretBytes<64> i;
    hmac_sha512(kMasterKey, sizeof kMasterKey, seed.data(), seed.size(), i.data());
    WipeOnExit<Scalar> k;
    if (!parse_il(i.data(), *k)) return false;
    std::memcpy(out.key, i.data(), 32);
    std::memcpy(out.chain_code, i.data() + 32, 32);
    out.is_private = 1;
    return true;
}

Scalar private_key(const ExtendedKey& k) {
    Scalar d = Scalar::zero();
    if (!k.is_private) return d;
    // Only a corrupt key fails here, which the caller reports.
    if (!declassify_bool(Scalar::parse_nonzero(k.key, d))) return Scalar::zero();
    return d;
}

Point public_key(const ExtendedKey& k) {
    if (k.is_private) {
        WipeOnExit<Scalar> d([&] { return private_key(k); });
        if (declassify_bool(d->is_zero())) return Point::infinity_point();
        return public_key_point(*d);
    }
    uint8_t enc[33];
    enc[0] = k.public_prefix;
    std::memcpy(enc + 1, k.key, 32);
    return Point::decompress(enc);
}

bool public_key_bytes(const ExtendedKey& k, uint8_t out33[33]) {
    const Point p = public_key(k);
    if (p.infinity) return false;
    p.to_compressed(out33);
    return true;
}

namespace {

// derive_child; without the fingerprint, a hardened step below a private key
// leaves the child's parent fingerprint zero and never multiplies.
bool derive_one(const ExtendedKey& parent, uint32_t index, bool fingerprint, ExtendedKey& out) {
    const bool hardened = index >= kHardened;
    if ((hardened && !parent.is_private) || parent.depth >= kMaxDepth) {
        secure_wipe_value(out);
        return false;
    }
    // The parent's public key: the normal data and the child's fingerprint.
    // (A private parent's key is never zero here: key records and derived
    // keys are checked, so the multiplication only gives what it would.)
    const bool need_point = fingerprint || !hardened || !parent.is_private;
    const Point parent_point = need_point ? public_key(parent) : Point{};
    if (need_point && parent_point.infinity) {
        secure_wipe_value(out);
        return false;
    }
    uint8_t pub[33] = {};
    if (need_point) parent_point.to_compressed(pub);

    SecretBytes<37> data;
    if (hardened) {
        data[0] = 0x00;
        std::memcpy(data.data() + 1, parent.key, 32);
    } else {
        std::memcpy(data.data(), pub, 33);
    }
    store_be32(data.data() + 33, index);
    SecretBytes<64> i;
    hmac_sha512(parent.chain_code, 32, data.data(), data.size(), i.data());

    WipeOnExit<ExtendedKey> child;
    WipeOnExit<Scalar> il;
    bool ok = parse_il(i.data(), *il);
    if (ok && parent.is_private) {
        WipeOnExit<Scalar> k([&] { return private_key(parent); });
        WipeOnExit<Scalar> sum([&] { return il->add_ct(*k); });
        // A zero sum (IL = n - k) fails the derivation; the failure is the
        // public outcome.
        ok = !declassify_bool((k->is_zero_mask() | sum->is_zero_mask()) != 0);
        if (ok) {
            sum->to_bytes(child->key);
            child->is_private = 1;
        }
    } else if (ok) {
        // An xpub and its chain code are public: the variable-time tables
        // are used, as for any tweak of a public key.
        Point p = parent_point;
        PrecomputedGenTerm(*il).add_to(p);
        ok = !p.infinity;
        if (ok) {
            p.to_affine_assign();
            p.X.to_bytes(child->key);
            child->public_prefix = static_cast<uint8_t>(0x02 | (p.Y.limb[0] & 1));
        }
    }
    if (!ok) {
        secure_wipe_value(out);
        return false;
    }
    std::memcpy(child->chain_code, i.data() + 32, 32);
    child->depth = static_cast<uint8_t>(parent.depth + 1);
    child->child_number = index;
    if (need_point) {
        uint8_t fp[20];
        hash160(pub, 33, fp);
        std::memcpy(child->parent_fingerprint, fp, 4);
    }
    out = *child;
    return true;
}

}  // namespace

bool derive_child(const ExtendedKey& parent, uint32_t index, ExtendedKey& out) {
    return derive_one(parent, index, true, out);
}

bool derive_steps(const ExtendedKey& parent, std::span<const uint32_t> steps, ExtendedKey& out) {
    WipeOnExit<ExtendedKey> k([&] { return parent; });
    for (size_t s = 0; s < steps.size(); ++s) {
        if (!derive_one(*k, steps[s], s + 1 == steps.size(), *k)) {
            secure_wipe_value(out);
            return false;
        }
    }
    out = *k;
    return true;
}

bool parse_path(std::string_view text, Path& out) {
    out.count = 0;
    if (text.empty() || text[0] != 'm') return false;
    size_t pos = 1;
    while (pos < text.size()) {
        if (text[pos] != '/') return false;
        ++pos;
        uint64_t value = 0;
        size_t digits = 0;
        while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
            value = value * 10 + static_cast<uint64_t>(text[pos] - '0');
            if (value >= kHardened) return false;
            ++pos;
            ++digits;
        }
        if (digits == 0) return false;
        if (pos < text.size() && (text[pos] == '\'' || text[pos] == 'h' || text[pos] == 'H')) {
            value += kHardened;
            ++pos;
        }
        if (out.count == kMaxDepth) return false;
        out.index[out.count++] = static_cast<uint32_t>(value);
    }
    return true;
}

bool derive_path(const ExtendedKey& parent, std::string_view path, ExtendedKey& out) {
    Path steps;
    if (!parse_path(path, steps)) {
        secure_wipe_value(out);
        return false;
    }
    return derive_steps(parent, std::span<const uint32_t>(steps.index, steps.count), out);
}

void serialize(const ExtendedKey& k, uint8_t out78[kSerializedSize]) {
    store_be32(out78 + kOffVersion, k.is_private ? kXprvVersion : kXpubVersion);
    out78[kOffDepth] = k.depth;
    std::memcpy(out78 + kOffFingerprint, k.parent_fingerprint, 4);
    store_be32(out78 + kOffChildNumber, k.child_number);
    std::memcpy(out78 + kOffChainCode, k.chain_code, 32);
    out78[kOffKeyData] = k.is_private ? 0x00 : k.public_prefix;
    std::memcpy(out78 + kOffKeyData + 1, k.key, 32);
}

RecordError parse_record(const uint8_t rec[kRecordSize], ExtendedKey& out) {
    secure_wipe_value(out);
    const uint8_t kind = rec[kOffKind];
    if (kind >= 2) return RecordError::kind;
    if ((rec[kOffReserved] | rec[kOffReserved + 1] | rec[kOffReserved + 2]) != 0) return RecordError::reserved;
    const uint32_t version = load_be32(rec + kOffVersion);
    if (version != (kind == kKindPrivate ? kXprvVersion : kXpubVersion)) return RecordError::version;
    const uint8_t* data = rec + kOffKeyData;
    if (kind == kKindPrivate) {
        if (data[0] != 0x00) return RecordError::private_marker;
        WipeOnExit<Scalar> d;
        if (!declassify_bool(Scalar::parse_nonzero(data + 1, *d))) return RecordError::private_key;
        out.is_private = 1;
    } else {
        if (data[0] != 0x02 && data[0] != 0x03) return RecordError::public_prefix;
        if (Point::decompress(data).infinity) return RecordError::public_key;
        out.public_prefix = data[0];
    }
    std::memcpy(out.key, data + 1, 32);
    std::memcpy(out.chain_code, rec + kOffChainCode, 32);
    out.depth = rec[kOffDepth];
    out.child_number = load_be32(rec + kOffChildNumber);
    std::memcpy(out.parent_fingerprint, rec + kOffFingerprint, 4);
    return RecordError::ok;
}

void write_record(const ExtendedKey& k, uint8_t rec[kRecordSize]) {
    serialize(k, rec);
    rec[kOffKind] = k.is_private ? kKindPrivate : kKindPublic;
    rec[kOffReserved] = rec[kOffReserved + 1] = rec[kOffReserved + 2] = 0;
}

bool to_base58(const ExtendedKey& k, char* text, size_t& len) {
    SecretBytes<kSerializedSize> ser;
    serialize(k, ser.data());
    return base58check_encode(std::span<const uint8_t>(ser.data(), ser.size()), std::span<char>(text, kTextRoom),
                              len);
}

bool record_from_base58(std::string_view text, uint8_t rec[kRecordSize]) {
    SecretBytes<kSerializedSize + 4> buf;
    size_t n = 0;
    if (!base58check_decode(text, std::span<uint8_t>(buf.data(), buf.size()), n) || n != kSerializedSize) return false;
    // Version, depth, fingerprint and child number are the key's public
    // metadata (an xpub shows them too), as is the marker in front of the
    // key; only the chain code and the key itself are secret.
    const uint8_t* p = buf.data();
    declassify(p, kOffChainCode);
    declassify(p + kOffKeyData, 1);
    const uint32_t fingerprint = load_be32(p + kOffFingerprint);
    const uint32_t child = load_be32(p + kOffChildNumber);
    if (p[kOffDepth] == 0 && (fingerprint != 0 || child != 0)) return false;
    std::memcpy(rec, p, kSerializedSize);
    rec[kOffKind] = load_be32(p + kOffVersion) == kXpubVersion ? kKindPublic : kKindPrivate;
    rec[kOffReserved] = rec[kOffReserved + 1] = rec[kOffReserved + 2] = 0;
    return true;
}

}  // namespace qorvex::bip32
