#include "protocols/musig2_blobs.h"

#include <cstring>

#include "support/bytes.h"

namespace qorvex::musig2 {

namespace {

bool decompresses(const uint8_t in33[33]) { return !Point::decompress(in33).infinity; }

// Records why a parse failed and gives the empty result.
template <typename T, typename F>
std::optional<T> failed(F& fault, F why) {
    fault = why;
    return std::nullopt;
}

bool all_zero(const uint8_t* p, size_t n) {
    uint8_t acc = 0;
    for (size_t i = 0; i < n; ++i) acc |= p[i];
    return acc == 0;
}

}  // namespace

bool parse_point_or_infinity(const uint8_t in33[33], Point& out) {
    if (all_zero(in33, 33)) {
        out = Point::infinity_point();
        return true;
    }
    out = Point::decompress(in33);
    return !out.infinity;
}

std::optional<KeyAgg> KeyAgg::parse(const uint8_t blob[kKeyAggSize], Fault& fault) {
    using namespace keyagg_layout;
    KeyAgg ka;
    ka.n = load_le32(blob + kCount);
    if (ka.n < kMinKeys || ka.n > kMaxKeys) return failed<KeyAgg>(fault, Fault::participant_count);
    ka.q_negated = blob[kQNegated] != 0;
    if (!decompresses(blob + kQ)) return failed<KeyAgg>(fault, Fault::aggregate_key);
    std::memcpy(ka.q33, blob + kQ, 33);
    for (uint32_t i = 0; i < ka.n; ++i)
        if (!Scalar::parse_strict(blob + kCoefficients + 32 * i, ka.coef[i]))
            return failed<KeyAgg>(fault, Fault::coefficient);
    fault = Fault::none;
    return ka;
}

void KeyAgg::write(uint8_t blob[kKeyAggSize]) const {
    using namespace keyagg_layout;
    std::memset(blob, 0, kKeyAggSize);
    store_le32(blob + kCount, n);
    blob[kQNegated] = q_negated ? 1 : 0;
    std::memcpy(blob + kQ, q33, 33);
    // A slot is written only while it fits the blob; with at most three
    // keys every coefficient does.
    for (uint32_t i = 0; i < n && kCoefficients + 32 * (i + 1) <= kKeyAggSize; ++i)
        coef[i].to_bytes(blob + kCoefficients + 32 * i);
}

std::optional<Session> Session::parse(const uint8_t blob[kSessionSize], Fault& fault) {
    using namespace session_layout;
    Session s;
    if (!decompresses(blob + kR)) return failed<Session>(fault, Fault::r_point);
    std::memcpy(s.r33, blob + kR, 33);
    if (!Scalar::parse_strict(blob + kB, s.b)) return failed<Session>(fault, Fault::b);
    if (!Scalar::parse_strict(blob + kE, s.e)) return failed<Session>(fault, Fault::e);
    s.r_negated = blob[kRNegated] != 0;
    s.n = load_le32(blob + kCount);
    if (s.n < kMinKeys || s.n > kMaxKeys) return failed<Session>(fault, Fault::participant_count);
    fault = Fault::none;
    return s;
}

void Session::write(uint8_t blob[kSessionSize]) const {
    using namespace session_layout;
    std::memset(blob, 0, kSessionSize);
    std::memcpy(blob + kR, r33, 33);
    b.to_bytes(blob + kB);
    e.to_bytes(blob + kE);
    blob[kRNegated] = r_negated ? 1 : 0;
    store_le32(blob + kCount, n);
}

std::optional<PubNonce> PubNonce::parse(const uint8_t in[kPubNonceSize], Fault& fault) {
    PubNonce p;
    p.r1 = Point::decompress(in);
    if (p.r1.infinity) return failed<PubNonce>(fault, Fault::r1);
    p.r2 = Point::decompress(in + 33);
    if (p.r2.infinity) return failed<PubNonce>(fault, Fault::r2);
    fault = Fault::none;
    return p;
}

std::optional<AggNonce> AggNonce::parse(const uint8_t in[kAggNonceSize], Fault& fault) {
    AggNonce a;
    if (!parse_point_or_infinity(in, a.r1)) return failed<AggNonce>(fault, Fault::r1);
    if (!parse_point_or_infinity(in + 33, a.r2)) return failed<AggNonce>(fault, Fault::r2);
    fault = Fault::none;
    return a;
}

}  // namespace qorvex::musig2
