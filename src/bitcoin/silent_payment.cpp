#include "bitcoin/silent_payment.h"

#include <array>

#include "arith/gen_mul.h"
#include "bitcoin/bech32.h"
#include "hash/tagged_hash.h"
#include "sig/ecdh.h"
#include "support/ct.h"
#include "support/declassify.h"

namespace qorvex::silent_payment {

namespace {

// Longest payload encode_address takes: BIP-352's 66 bytes with room to
// spare, so that the 5-bit values fit a fixed buffer.
constexpr size_t kMaxPayload = 128;

}  // namespace

const Sha256Context& shared_secret_tag() {
    static const Sha256Context midstate = [] {
        Sha256Context c;
        tagged_hash_init(c, "BIP0352/SharedSecret");
        return c;
    }();
    return midstate;
}

void shared_secret(const Scalar& d, const Point& p, uint8_t ser33_out[33]) {
    WipeOnExit<AffinePoint> s([&] { return ecdh::shared_point(d, p); });
    ecdh::write_compressed(*s, ser33_out);
}

void output_tweak(const uint8_t ser33[33], uint32_t k, Scalar& t_out) {
    WipeOnExit<Sha256Context> c([] { return shared_secret_tag(); });
    sha256_update(*c, ser33, 33);
    const uint8_t k_be[4] = {static_cast<uint8_t>(k >> 24), static_cast<uint8_t>(k >> 16),
                             static_cast<uint8_t>(k >> 8), static_cast<uint8_t>(k)};
    sha256_update(*c, k_be, 4);
    SecretBytes<32> h;
    sha256_final(*c, h.data());
    t_out = Scalar::from_bytes_reduce(h.data());
}

Point tweaked_point_ct(const Point& b_affine, const Scalar& t) {
    Point p = gen_mul_blinded(t);
    p.add_affine_complete_ct(b_affine.X, b_affine.Y, ct::mask(p.infinity), 0);
    return p;
}

uint64_t x_equals_mask(const Point& p, const FieldElement& x) {
    const FieldElement xz2 = x * p.Z.sqr();
    return p.X.equal_mask(xz2) & ~ct::mask(p.infinity);
}

bool encode_address(std::string_view hrp, unsigned version, std::span<const uint8_t> payload, std::span<char> out,
                    size_t& len) {
    if (version > 31 || payload.size() > kMaxPayload) return false;
    std::array<uint8_t, 1 + (kMaxPayload * 8 + 4) / 5> values;
    size_t n = 0;
    values[n++] = static_cast<uint8_t>(version);
    uint32_t acc = 0;
    unsigned bits = 0;
    for (const uint8_t b : payload) {
        acc = ((acc << 8) | b) & 0xFFF;
        bits += 8;
        while (bits >= 5) {
            bits -= 5;
            values[n++] = static_cast<uint8_t>((acc >> bits) & 31);
        }
    }
    if (bits > 0) values[n++] = static_cast<uint8_t>((acc << (5 - bits)) & 31);
    return bech32_encode(hrp, std::span<const uint8_t>(values.data(), n), Bech32Kind::bech32m, out, len);
}

bool address(const Point& b_scan, const Point& b_spend, std::span<char> out, size_t& len) {
    uint8_t payload[64];
    b_scan.X.to_bytes(payload);
    b_spend.X.to_bytes(payload + 32);
    return encode_address(kHrp, kVersion, payload, out, len);
}

CreateResult create_output(const Scalar& a_sum, const Point& b_scan, const Point& b_spend, uint32_t k,
                           uint8_t out33[33], uint8_t* tweak32_out) {
    // Keys that cancel would make S the point at infinity: a tweak from 33
    // zero bytes, which anyone can compute. Refusing them makes it public
    // only that this set of keys cancels.
    if (declassify_bool(a_sum.is_zero_mask() != 0)) return CreateResult::keys_cancel;
    SecretBytes<33> ser;
    shared_secret(a_sum, b_scan, ser.data());
    WipeOnExit<Scalar> t;
    output_tweak(ser.data(), k, *t);
    WipeOnExit<Point> p([&] { return tweaked_point_ct(b_spend, *t); });
    if (declassify_bool(p->infinity)) return CreateResult::infinity;
    p->to_affine_ct_assign();
    // P_k is the output key the transaction publishes.
    declassify_value(*p);
    p->to_compressed(out33);
    if (tweak32_out) t->to_bytes(tweak32_out);
    return CreateResult::ok;
}

Scanner::Scanner(const Scalar& b_scan, const Point& a_sum) { shared_secret(b_scan, a_sum, ser_.data()); }

std::vector<uint32_t> Scanner::matches(const Point& b_spend_point, std::span<const uint8_t> outputs) const {
    std::vector<uint32_t> found;
    const size_t count = outputs.size() / 32;
    for (size_t i = 0; i < count; ++i) {
        FieldElement x;
        // An x of p or more is no point's x: it matches nothing.
        if (!FieldElement::parse_strict(outputs.data() + 32 * i, x)) continue;
        WipeOnExit<Scalar> t;
        output_tweak(ser_.data(), static_cast<uint32_t>(i), *t);
        WipeOnExit<Point> p([&] { return tweaked_point_ct(b_spend_point, *t); });
        // Whether output i is ours is what scanning is for: public.
        if (declassify_bool(x_equals_mask(*p, x) != 0)) found.push_back(static_cast<uint32_t>(i));
    }
    return found;
}

void Scanner::output_key(const Scalar& b_spend, uint32_t k, uint8_t out32[32]) const {
    WipeOnExit<Scalar> t;
    output_tweak(ser_.data(), k, *t);
    WipeOnExit<Scalar> key([&] { return b_spend.add_ct(*t); });
    key->to_bytes(out32);
}

}  // namespace qorvex::silent_payment
