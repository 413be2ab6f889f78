// BIP-352 silent payments: addresses, labels, input keys, the sender, the
// receiver in its full and light-client forms, and the tweak index servers
// publish.
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include "abi/frame.h"
#include "abi/inputs.h"
#include "bitcoin/bip352.h"
#include "sig/pubkey_cache.h"
#include "sig/schnorr.h"
#include "support/declassify.h"
#include "support/wipe.h"

using namespace qorvex;
using namespace qorvex::abi;

namespace {

constexpr char kBadNetwork[] = "invalid network";
constexpr char kBadScanKey[] = "invalid scan public key";
constexpr char kBadSpendKey[] = "invalid spend public key";
constexpr char kAddressTooSmall[] = "address buffer too small";
constexpr char kAddressTooLong[] = "address longer than 1023 characters";
constexpr char kAddressMalformed[] = "malformed address";
constexpr char kAddressChecksum[] = "invalid address checksum";
constexpr char kAddressPrefix[] = "unknown silent payment address prefix";
constexpr char kAddressVersion[] = "unsupported silent payment address version";
constexpr char kAddressLength[] = "invalid silent payment address length";
constexpr char kBadScanPrivkey[] = "scan privkey is zero or >= n";
constexpr char kLabelRange[] = "label tweak out of range";
constexpr char kLabelInfinity[] = "labelled spend key is infinity";
constexpr char kBadWitness[] = "malformed witness stack";
constexpr char kNotEligible[] = "input not eligible";
constexpr char kFutureSegwit[] = "input spends a segwit version above 1; skip the transaction";
constexpr char kTooManyInputs[] = "too many inputs";
constexpr char kTooManyOutpoints[] = "too many outpoints";
constexpr char kTooManyRecipients[] = "too many recipients";
constexpr char kTooManyLabels[] = "too many labels";
constexpr char kTooManyOutputs[] = "too many outputs";
constexpr char kNoInputs[] = "no eligible inputs";
constexpr char kNoOutpoints[] = "no outpoints";
constexpr char kNoRecipients[] = "no recipients";
constexpr char kBadTaprootFlag[] = "taproot flag is not 0 or 1";
constexpr char kBadInputPrivkey[] = "input privkey is zero or >= n";
constexpr char kBadRecipientScan[] = "invalid recipient scan public key";
constexpr char kBadRecipientSpend[] = "invalid recipient spend public key";
constexpr char kGroupTooLarge[] = "more than 2323 recipients share a scan key";
constexpr char kZeroSum[] = "input private keys sum to zero";
constexpr char kInputHashRange[] = "input hash out of range";
constexpr char kSharedTweakRange[] = "shared secret tweak out of range";
constexpr char kOutputInfinity[] = "output key is infinity";
constexpr char kBadLabel[] = "invalid label record";
constexpr char kBadInputPubkey[] = "invalid input public key";
constexpr char kInfinitySum[] = "input public keys sum to infinity";
constexpr char kBadTweak[] = "invalid tweak point";
constexpr char kForeignLabel[] = "label record does not belong to the scan key";
constexpr char kMatchesTooSmall[] = "match buffer too small";

constexpr size_t kMaxCount = QORVEX_BIP352_MAX_COUNT;

static_assert(QORVEX_BIP352_OUTPOINT_SIZE == bip352::kOutpointSize);
static_assert(QORVEX_BIP352_RECIPIENT_SIZE == bip352::kRecipientSize);
static_assert(QORVEX_BIP352_LABEL_SIZE == bip352::kLabelSize);
static_assert(QORVEX_BIP352_MATCH_SIZE == bip352::kMatchSize);
static_assert(QORVEX_BIP352_K_MAX == bip352::kKMax);

void put32le(uint32_t v, uint8_t* out) {
    for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(v >> (8 * i));
}

void put32be(uint32_t v, uint8_t* out) {
    for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(v >> (24 - 8 * i));
}

std::span<const uint8_t> bytes(const uint8_t* p, size_t n) { return n ? std::span<const uint8_t>(p, n) : std::span<const uint8_t>(); }

// Label records: ser32(m) || 04 || x || y. The coordinates are checked,
// not recomputed: recomputing needs the scan key and a multiplication per
// label, which is what the record saves.
bool parse_labels(const uint8_t* records, size_t n, std::vector<bip352::Label>& out) {
    out.resize(n);
    for (size_t i = 0; i < n; ++i) {
        const uint8_t* r = records + i * bip352::kLabelSize;
        bip352::Label& l = out[i];
        l.m = (uint32_t{r[0]} << 24) | (uint32_t{r[1]} << 16) | (uint32_t{r[2]} << 8) | r[3];
        if (Point::parse_uncompressed(r + 4, l.point) != ParseResult::ok) return false;
        l.point.to_compressed(l.enc);
    }
    return true;
}

// The match records, once the whole scan has succeeded.
int write_matches(qorvex_ctx* ctx, const std::vector<bip352::Match>& found, const uint8_t* outputs,
                  uint8_t* matches_out, size_t* n_matches) {
    if (found.size() > *n_matches) return set_error(ctx, ErrorCode::BufTooSmall, kMatchesTooSmall);
    for (size_t i = 0; i < found.size(); ++i) {
        uint8_t* r = matches_out + i * bip352::kMatchSize;
        put32le(found[i].output_index, r);
        put32le(found[i].label_index, r + 4);
        found[i].tweak.to_bytes(r + 8);
        std::memcpy(r + 40, outputs + 32 * static_cast<size_t>(found[i].output_index), 32);
    }
    *n_matches = found.size();
    return QORVEX_OK;
}

// The matches hold tweaks: wiped however the scan ends.
struct MatchList {
    std::vector<bip352::Match> v;
    ~MatchList() {
        if (!v.empty()) secure_wipe(v.data(), v.size() * sizeof(bip352::Match));
    }
};

// The receiver's own inputs, checked first by both forms.
struct Receiver {
    WipeOnExit<Scalar> b_scan;
    Point spend;
    std::vector<bip352::Label> labels;
};

int parse_receiver(qorvex_ctx* ctx, const uint8_t* scan_seckey32, const uint8_t* spend_pub33, const uint8_t* labels,
                   size_t n_labels, Receiver& r) {
    if (!parse_seckey(scan_seckey32, *r.b_scan)) return set_error(ctx, ErrorCode::BadKey, kBadScanPrivkey);
    // A wallet scans transaction after transaction with the same spend
    // key: the thread's key cache saves its square root after the first.
    const Point* spend = cached_pubkey(spend_pub33);
    if (!spend) return set_error(ctx, ErrorCode::BadPubkey, kBadSpendKey);
    r.spend = *spend;
    if (!parse_labels(labels, n_labels, r.labels)) return set_error(ctx, ErrorCode::BadPubkey, kBadLabel);
    return QORVEX_OK;
}

// The scan shared by both forms, from S = (b_scan * c) * q. The outputs are
// copied first: the match records may overlap them.
int scan_frame(qorvex_ctx* ctx, Receiver& r, const Scalar& c, const Point& q, const uint8_t* outputs,
               size_t n_outputs, uint8_t* matches_out, size_t* n_matches) {
    const std::vector<uint8_t> outs(outputs, outputs + 32 * n_outputs);
    MatchList found;
    found.v.reserve(n_outputs < bip352::kKMax ? n_outputs : bip352::kKMax);
    switch (bip352::scan(*r.b_scan, c, q, r.spend, r.labels, outs.data(), n_outputs, found.v)) {
        case bip352::ScanError::none:
            break;
        case bip352::ScanError::tweak_range:
            return set_error(ctx, ErrorCode::Arith, kSharedTweakRange);
        case bip352::ScanError::foreign_label:
            return set_error(ctx, ErrorCode::BadInput, kForeignLabel);
    }
    return write_matches(ctx, found.v, outs.data(), matches_out, n_matches);
}

// The sum of n compressed keys, affine unless infinity; false for a key
// that does not parse.
bool sum_pubkeys(const uint8_t* keys, size_t n, Point& sum) {
    sum = Point::infinity_point();
    for (size_t i = 0; i < n; ++i) {
        Point p;
        if (!parse33(keys + 33 * i, p)) return false;
        sum.add_assign(p);
    }
    if (!sum.infinity) sum.to_affine_assign();
    return true;
}

int check_counts(qorvex_ctx* ctx, size_t n_outpoints) {
    if (n_outpoints > kMaxCount) return set_error(ctx, ErrorCode::BadInput, kTooManyOutpoints);
    if (n_outpoints == 0) return set_error(ctx, ErrorCode::BadInput, kNoOutpoints);
    return QORVEX_OK;
}

}  // namespace

extern "C" {

QORVEX_API int qorvex_bip352_address_encode(qorvex_ctx* ctx, const uint8_t* scan_pub33, const uint8_t* spend_pub33,
                                            int network, char* address_out, size_t* address_len) {
    if (!ctx || !scan_pub33 || !spend_pub33 || !address_out || !address_len) return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    if (network != QORVEX_NETWORK_MAINNET && network != QORVEX_NETWORK_TESTNET)
        return set_error(ctx, ErrorCode::BadInput, kBadNetwork);
    Point p;
    if (!parse33(scan_pub33, p)) return set_error(ctx, ErrorCode::BadPubkey, kBadScanKey);
    if (!parse33(spend_pub33, p)) return set_error(ctx, ErrorCode::BadPubkey, kBadSpendKey);
    return guarded(ctx, [&] {
        const bool testnet = network == QORVEX_NETWORK_TESTNET;
        char text[QORVEX_BIP352_ADDRESS_SIZE];
        size_t len = 0;
        if (!bip352::encode_address(testnet, scan_pub33, spend_pub33, text, len))
            return set_error(ctx, ErrorCode::Internal, kInternalError);
        return write_text_out(ctx, address_out, address_len, text, len, kAddressTooSmall);
    });
}

QORVEX_API int qorvex_bip352_address_decode(qorvex_ctx* ctx, const char* address, int* network_out,
                                            uint8_t* scan_pub33_out, uint8_t* spend_pub33_out) {
    if (!ctx || !address || !network_out || !scan_pub33_out || !spend_pub33_out) return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    // Bounded: a text without a NUL in the first 1024 bytes is too long,
    // and nothing past it is read.
    const size_t len = strnlen(address, bip352::kMaxAddressLength + 1);
    return guarded(ctx, [&] {
        bip352::Address a;
        switch (bip352::decode_address(std::string_view(address, len), a)) {
            case bip352::AddressError::none:
                break;
            case bip352::AddressError::too_long:
                return set_error(ctx, ErrorCode::BadInput, kAddressTooLong);
            case bip352::AddressError::malformed:
                return set_error(ctx, ErrorCode::BadInput, kAddressMalformed);
            case bip352::AddressError::bad_checksum:
                return set_error(ctx, ErrorCode::BadInput, kAddressChecksum);
            case bip352::AddressError::bad_prefix:
                return set_error(ctx, ErrorCode::BadInput, kAddressPrefix);
            case bip352::AddressError::bad_version:
                return set_error(ctx, ErrorCode::BadInput, kAddressVersion);
            case bip352::AddressError::bad_length:
                return set_error(ctx, ErrorCode::BadInput, kAddressLength);
            case bip352::AddressError::bad_scan_key:
                return set_error(ctx, ErrorCode::BadPubkey, kBadScanKey);
            case bip352::AddressError::bad_spend_key:
                return set_error(ctx, ErrorCode::BadPubkey, kBadSpendKey);
        }
        *network_out = a.testnet ? QORVEX_NETWORK_TESTNET : QORVEX_NETWORK_MAINNET;
        std::memcpy(scan_pub33_out, a.scan, 33);
        std::memcpy(spend_pub33_out, a.spend, 33);
        return QORVEX_OK;
    });
}

QORVEX_API int qorvex_bip352_label(qorvex_ctx* ctx, const uint8_t* scan_seckey32, const uint8_t* spend_pub33,
                                   uint32_t m, uint8_t* labelled_spend33_out, uint8_t* label_out) {
    if (!ctx || !scan_seckey32 || !spend_pub33 || !labelled_spend33_out) return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    WipeOnExit<Scalar> b_scan;
    if (!parse_seckey(scan_seckey32, *b_scan)) return set_error(ctx, ErrorCode::BadKey, kBadScanPrivkey);
    Point spend;
    if (!parse33(spend_pub33, spend)) return set_error(ctx, ErrorCode::BadPubkey, kBadSpendKey);
    Point b_m, l_m = Point::infinity_point();
    if (!bip352::labelled_spend_key(*b_scan, spend, m, b_m, l_m)) {
        // Which of the two it was is public: the label point is.
        return l_m.infinity ? set_error(ctx, ErrorCode::Arith, kLabelRange)
                            : set_error(ctx, ErrorCode::Arith, kLabelInfinity);
    }
    uint8_t record[bip352::kLabelSize];
    put32be(m, record);
    l_m.to_uncompressed(record + 4);
    b_m.to_compressed(labelled_spend33_out);
    if (label_out) std::memcpy(label_out, record, sizeof record);
    return QORVEX_OK;
}

QORVEX_API int qorvex_bip352_input_pubkey(qorvex_ctx* ctx, const uint8_t* script_sig, size_t script_sig_len,
                                          const uint8_t* witness, size_t witness_len, const uint8_t* script_pubkey,
                                          size_t script_pubkey_len, uint8_t* pub33_out) {
    if (!ctx || !pub33_out || (!script_sig && script_sig_len) || (!witness && witness_len) ||
        (!script_pubkey && script_pubkey_len))
        return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    return guarded(ctx, [&] {
        uint8_t key[33];
        switch (bip352::input_pubkey(bytes(script_sig, script_sig_len), bytes(witness, witness_len),
                                     bytes(script_pubkey, script_pubkey_len), key)) {
            case bip352::InputKind::eligible:
                break;
            case bip352::InputKind::not_eligible:
                return set_error(ctx, ErrorCode::NotFound, kNotEligible);
            case bip352::InputKind::future_segwit:
                return set_error(ctx, ErrorCode::NotFound, kFutureSegwit);
            case bip352::InputKind::bad_witness:
                return set_error(ctx, ErrorCode::BadInput, kBadWitness);
        }
        std::memcpy(pub33_out, key, 33);
        return QORVEX_OK;
    });
}

QORVEX_API int qorvex_bip352_send(qorvex_ctx* ctx, const uint8_t* input_seckeys, const uint8_t* taproot_flags,
                                  size_t n_inputs, const uint8_t* outpoints, size_t n_outpoints,
                                  const uint8_t* recipients, size_t n_recipients, uint8_t* outputs_out) {
    if (!ctx || (!input_seckeys && n_inputs) || (!taproot_flags && n_inputs) || (!outpoints && n_outpoints) ||
        (!recipients && n_recipients) || (!outputs_out && n_recipients))
        return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    if (n_inputs > kMaxCount) return set_error(ctx, ErrorCode::BadInput, kTooManyInputs);
    if (n_recipients > kMaxCount) return set_error(ctx, ErrorCode::BadInput, kTooManyRecipients);
    if (const int rc = check_counts(ctx, n_outpoints)) return rc;
    if (n_inputs == 0) return set_error(ctx, ErrorCode::BadInput, kNoInputs);
    if (n_recipients == 0) return set_error(ctx, ErrorCode::BadInput, kNoRecipients);
    for (size_t i = 0; i < n_inputs; ++i)
        if (taproot_flags[i] > 1) return set_error(ctx, ErrorCode::BadInput, kBadTaprootFlag);
    return guarded(ctx, [&] {
        // Every input is read before any output is written.
        std::vector<uint8_t> outpoint_l(36);
        std::memcpy(outpoint_l.data(), bip352::smallest_outpoint(outpoints, n_outpoints), 36);
        std::vector<uint8_t> keys(recipients, recipients + bip352::kRecipientSize * n_recipients);
        std::vector<bip352::Recipient> parsed(n_recipients);
        for (size_t i = 0; i < n_recipients; ++i) {
            const uint8_t* r = keys.data() + bip352::kRecipientSize * i;
            if (!parse33(r, parsed[i].scan)) return set_error(ctx, ErrorCode::BadPubkey, kBadRecipientScan);
            if (!parse33(r + 33, parsed[i].spend)) return set_error(ctx, ErrorCode::BadPubkey, kBadRecipientSpend);
            parsed[i].scan33 = r;
        }
        // a = Σ a_i, each Taproot key first negated when its point has odd y.
        // An input key is long-term, so its point comes from the blinded
        // BIP-340 key-pair code, as when the same key signs.
        WipeOnExit<Scalar> sum([] { return Scalar::zero(); });
        for (size_t i = 0; i < n_inputs; ++i) {
            WipeOnExit<Scalar> a;
            if (!parse_seckey(input_seckeys + 32 * i, *a))
                return set_error(ctx, ErrorCode::BadKey, kBadInputPrivkey);
            if (taproot_flags[i]) {
                WipeOnExit<SchnorrKeypair> kp;
                schnorr_keypair(*a, *kp);
                *a = kp->d;
            }
            *sum = sum->add_ct(*a);
        }
        std::vector<uint8_t> out(32 * n_recipients);
        switch (bip352::send(*sum, outpoint_l.data(), parsed, out.data())) {
            case bip352::SendError::none:
                break;
            case bip352::SendError::group_too_large:
                return set_error(ctx, ErrorCode::BadInput, kGroupTooLarge);
            case bip352::SendError::zero_sum:
                return set_error(ctx, ErrorCode::Arith, kZeroSum);
            case bip352::SendError::input_hash_range:
                return set_error(ctx, ErrorCode::Arith, kInputHashRange);
            case bip352::SendError::tweak_range:
                return set_error(ctx, ErrorCode::Arith, kSharedTweakRange);
            case bip352::SendError::infinity:
                return set_error(ctx, ErrorCode::Arith, kOutputInfinity);
        }
        std::memcpy(outputs_out, out.data(), out.size());
        return QORVEX_OK;
    });
}

QORVEX_API int qorvex_bip352_tweak(qorvex_ctx* ctx, const uint8_t* input_pubkeys, size_t n_input_pubkeys,
                                   const uint8_t* outpoints, size_t n_outpoints, uint8_t* tweak33_out) {
    if (!ctx || !tweak33_out || (!input_pubkeys && n_input_pubkeys) || (!outpoints && n_outpoints))
        return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    if (n_input_pubkeys > kMaxCount) return set_error(ctx, ErrorCode::BadInput, kTooManyInputs);
    if (const int rc = check_counts(ctx, n_outpoints)) return rc;
    if (n_input_pubkeys == 0) return set_error(ctx, ErrorCode::BadInput, kNoInputs);
    return guarded(ctx, [&] {
        Point a;
        if (!sum_pubkeys(input_pubkeys, n_input_pubkeys, a))
            return set_error(ctx, ErrorCode::BadPubkey, kBadInputPubkey);
        if (a.infinity) return set_error(ctx, ErrorCode::Arith, kInfinitySum);
        Point t;
        if (!bip352::tweak_point(a, bip352::smallest_outpoint(outpoints, n_outpoints), t))
            return set_error(ctx, ErrorCode::Arith, kInputHashRange);
        t.to_compressed(tweak33_out);
        return QORVEX_OK;
    });
}

QORVEX_API int qorvex_bip352_scan(qorvex_ctx* ctx, const uint8_t* scan_seckey32, const uint8_t* spend_pub33,
                                  const uint8_t* labels, size_t n_labels, const uint8_t* input_pubkeys,
                                  size_t n_input_pubkeys, const uint8_t* outpoints, size_t n_outpoints,
                                  const uint8_t* outputs, size_t n_outputs, uint8_t* matches_out,
                                  size_t* n_matches) {
    if (!ctx || !scan_seckey32 || !spend_pub33 || !n_matches || (!labels && n_labels) ||
        (!input_pubkeys && n_input_pubkeys) || (!outpoints && n_outpoints) || (!outputs && n_outputs) ||
        (!matches_out && *n_matches))
        return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    if (n_labels > kMaxCount) return set_error(ctx, ErrorCode::BadInput, kTooManyLabels);
    if (n_input_pubkeys > kMaxCount) return set_error(ctx, ErrorCode::BadInput, kTooManyInputs);
    if (n_outputs > kMaxCount) return set_error(ctx, ErrorCode::BadInput, kTooManyOutputs);
    if (const int rc = check_counts(ctx, n_outpoints)) return rc;
    return guarded(ctx, [&] {
        Receiver r;
        if (const int rc = parse_receiver(ctx, scan_seckey32, spend_pub33, labels, n_labels, r)) return rc;
        Point a;
        if (!sum_pubkeys(input_pubkeys, n_input_pubkeys, a))
            return set_error(ctx, ErrorCode::BadPubkey, kBadInputPubkey);
        // No eligible input, or keys that cancel: nothing can be found.
        if (a.infinity) {
            *n_matches = 0;
            return QORVEX_OK;
        }
        Scalar hash;
        if (!bip352::input_hash(bip352::smallest_outpoint(outpoints, n_outpoints), a, hash))
            return set_error(ctx, ErrorCode::Arith, kInputHashRange);
        return scan_frame(ctx, r, hash, a, outputs, n_outputs, matches_out, n_matches);
    });
}

QORVEX_API int qorvex_bip352_scan_tweak(qorvex_ctx* ctx, const uint8_t* scan_seckey32, const uint8_t* spend_pub33,
                                        const uint8_t* labels, size_t n_labels, const uint8_t* tweak33,
                                        const uint8_t* outputs, size_t n_outputs, uint8_t* matches_out,
                                        size_t* n_matches) {
    if (!ctx || !scan_seckey32 || !spend_pub33 || !tweak33 || !n_matches || (!labels && n_labels) ||
        (!outputs && n_outputs) || (!matches_out && *n_matches))
        return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    if (n_labels > kMaxCount) return set_error(ctx, ErrorCode::BadInput, kTooManyLabels);
    if (n_outputs > kMaxCount) return set_error(ctx, ErrorCode::BadInput, kTooManyOutputs);
    return guarded(ctx, [&] {
        Receiver r;
        if (const int rc = parse_receiver(ctx, scan_seckey32, spend_pub33, labels, n_labels, r)) return rc;
        Point q;
        if (!parse33(tweak33, q)) return set_error(ctx, ErrorCode::BadPubkey, kBadTweak);
        return scan_frame(ctx, r, Scalar::one(), q, outputs, n_outputs, matches_out, n_matches);
    });
}

}  // extern "C"
