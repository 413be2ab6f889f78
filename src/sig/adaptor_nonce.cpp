// The adaptor-signature layouts and the nonce both schemes share.
#include <cstring>

#include "hash/tagged_hash.h"
#include "sig/adaptor.h"
#include "support/bytes.h"
#include "support/ct.h"
#include "support/wipe.h"

namespace qorvex::adaptor {

namespace {

constexpr char kNonceTag[] = "adaptor_nonce_v1";

}  // namespace

Scalar nonce_from_hash(uint8_t h32[32]) {
    // In range exactly when reducing changes nothing and the value is not 0.
    WipeOnExit<Scalar> first([&] { return Scalar::from_bytes_reduce(h32); });
    uint64_t raw_diff = 0;
    for (int i = 0; i < 4; ++i) raw_diff |= first->limb[i] ^ load_be64(h32 + 24 - 8 * i);
    const uint64_t in_range = ct::is_zero_mask(raw_diff) & ~first->is_zero_mask();
    h32[31] ^= 1;
    WipeOnExit<Scalar> second([&] { return Scalar::from_bytes_reduce(h32); });
    secure_wipe(h32, 32);
    return Scalar::select_ct(in_range, *second, *first);
}

Scalar nonce(const Scalar& key, const uint8_t msg32[32], const uint8_t t33[33], const uint8_t* aux, size_t aux_len) {
    SecretBytes<32 + 32 + 33 + 32> buf;
    key.to_bytes(buf.data());
    std::memcpy(buf.data() + 32, msg32, 32);
    std::memcpy(buf.data() + 64, t33, 33);
    if (aux_len) std::memcpy(buf.data() + 97, aux, aux_len);
    SecretBytes<32> h;
    tagged_hash(kNonceTag, buf.data(), 97 + aux_len, h.data());
    return nonce_from_hash(h.data());
}

SchnorrPresig::ParseError SchnorrPresig::parse(const uint8_t in97[97], SchnorrPresig& out) {
    out.r_hat = Point::decompress(in97 + kSchnorrRHatOffset);
    if (out.r_hat.infinity) return ParseError::r_hat;
    if (!Scalar::parse_strict(in97 + kSchnorrSHatOffset, out.s_hat)) return ParseError::s_hat;
    out.negated = in97[kSchnorrFlagOffset] != 0;
    return ParseError::ok;
}

bool EcdsaPresig::parse(const uint8_t in162[162], EcdsaPresig& out) {
    out.r_hat = Point::decompress(in162 + kEcdsaRHatOffset);
    out.r = Point::decompress(in162 + kEcdsaROffset);
    if (out.r_hat.infinity || out.r.infinity) return false;
    if (!Scalar::parse_strict(in162 + kEcdsaSHatOffset, out.s_hat) || !Scalar::parse_strict(in162 + kEcdsaEOffset, out.e) ||
        !Scalar::parse_strict(in162 + kEcdsaVOffset, out.v))
        return false;
    out.r_scalar = Scalar::from_bytes_reduce(in162 + kEcdsaROffset + 1);
    return true;
}

}  // namespace qorvex::adaptor
