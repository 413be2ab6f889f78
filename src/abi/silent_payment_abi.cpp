// Silent payments: the sp address of a key pair, the sender's output key,
// and the receiver's scan of a transaction.
#include "abi/frame.h"
#include "abi/inputs.h"
#include "arith/gen_mul.h"
#include "bitcoin/silent_payment.h"
#include "support/wipe.h"

using namespace qorvex;
using namespace qorvex::abi;
namespace sp = qorvex::silent_payment;

namespace {

constexpr char kBadScanKey[] = "scan privkey is zero or >= n";
constexpr char kBadSpendKey[] = "spend privkey is zero or >= n";
constexpr char kAddressTooSmall[] = "address buffer too small";
constexpr char kInputCountTooLarge[] = "input count too large";
constexpr char kInputArrayOverflow[] = "input privkey array size overflow";
constexpr char kBadInputKey[] = "input privkey is zero or >= n";
constexpr char kBadRecipientKey[] = "invalid recipient pubkey";
constexpr char kNegativeK[] = "output index k is negative";
constexpr char kKeysCancel[] = "input privkeys sum to zero";
constexpr char kOutputInfinity[] = "output point is infinity";
constexpr char kScanCountTooLarge[] = "input/output count too large";
constexpr char kScanArrayOverflow[] = "silent payment array size overflow";
constexpr char kBadInputPubkey[] = "invalid input pubkey";

// count * size without wrapping.
bool array_size(size_t count, size_t size, size_t& total) {
    if (count > SIZE_MAX / size) return false;
    total = count * size;
    return true;
}

int create_output_frame(qorvex_ctx* ctx, const uint8_t* keys, size_t n_inputs, const uint8_t* scan_pub33,
                        const uint8_t* spend_pub33, int32_t k, uint8_t* out33, uint8_t* tweak32_out) {
    WipeOnExit<Scalar> sum;
    for (size_t i = 0; i < n_inputs; ++i) {
        WipeOnExit<Scalar> a;
        if (!parse_seckey(keys + 32 * i, *a)) return set_error(ctx, ErrorCode::BadKey, kBadInputKey);
        *sum = sum->add_ct(*a);
    }
    Point b_scan, b_spend;
    if (!parse33(scan_pub33, b_scan) || !parse33(spend_pub33, b_spend))
        return set_error(ctx, ErrorCode::BadPubkey, kBadRecipientKey);
    // The scanner tries k = 0, 1, ... only: an output made for a negative k
    // could never be found, and its funds would be lost.
    if (k < 0) return set_error(ctx, ErrorCode::BadInput, kNegativeK);
    uint8_t out[33];
    SecretBytes<32> tweak;
    switch (sp::create_output(*sum, b_scan, b_spend, static_cast<uint32_t>(k), out, tweak.data())) {
        case sp::CreateResult::keys_cancel:
            return set_error(ctx, ErrorCode::Arith, kKeysCancel);
        case sp::CreateResult::infinity:
            return set_error(ctx, ErrorCode::Arith, kOutputInfinity);
        case sp::CreateResult::ok:
            break;
    }
    std::memcpy(out33, out, 33);
    if (tweak32_out) std::memcpy(tweak32_out, tweak.data(), 32);
    return QORVEX_OK;
}

int scan_frame(qorvex_ctx* ctx, const uint8_t* scan_key32, const uint8_t* spend_key32, const uint8_t* inputs,
               size_t n_inputs, const uint8_t* outputs, size_t n_outputs, int* found_idx, uint8_t* found_keys,
               size_t* n_found) {
    WipeOnExit<Scalar> b_scan, b_spend;
    if (!parse_seckey(scan_key32, *b_scan)) return set_error(ctx, ErrorCode::BadKey, kBadScanKey);
    if (!parse_seckey(spend_key32, *b_spend)) return set_error(ctx, ErrorCode::BadKey, kBadSpendKey);
    // Every input key is parsed before any arithmetic on a secret.
    Point a_sum = Point::infinity_point();
    for (size_t i = 0; i < n_inputs; ++i) {
        Point a;
        if (!parse33(inputs + 33 * i, a)) return set_error(ctx, ErrorCode::BadPubkey, kBadInputPubkey);
        a_sum.add_affine_var(a.X, a.Y);
    }
    const size_t capacity = *n_found;
    // Input keys that cancel give S at infinity and a shared secret anybody
    // can compute: no output can be ours.
    if (a_sum.infinity) {
        *n_found = 0;
        return QORVEX_OK;
    }
    a_sum.to_affine_assign();
    const Point b_spend_point = public_key_point(*b_spend);
    const sp::Scanner scanner(*b_scan, a_sum);
    const std::vector<uint32_t> found = scanner.matches(b_spend_point, {outputs, 32 * n_outputs});
    // Every input has been read: the results may now go to buffers that
    // overlap them.
    const size_t written = found.size() < capacity ? found.size() : capacity;
    for (size_t j = 0; j < written; ++j) {
        if (found_idx) found_idx[j] = static_cast<int>(found[j]);
        if (found_keys) scanner.output_key(*b_spend, found[j], found_keys + 32 * j);
    }
    *n_found = found.size();
    return QORVEX_OK;
}

}  // namespace

extern "C" {

QORVEX_API int qorvex_silent_payment_address(qorvex_ctx* ctx, const uint8_t* scan_seckey32,
                                             const uint8_t* spend_seckey32, uint8_t* scan_pub33_out,
                                             uint8_t* spend_pub33_out, char* address_out, size_t* address_len) {
    if (!ctx || !scan_seckey32 || !spend_seckey32 || !scan_pub33_out || !spend_pub33_out || !address_out ||
        !address_len)
        return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    WipeOnExit<Scalar> b_scan, b_spend;
    if (!parse_seckey(scan_seckey32, *b_scan)) return set_error(ctx, ErrorCode::BadKey, kBadScanKey);
    if (!parse_seckey(spend_seckey32, *b_spend)) return set_error(ctx, ErrorCode::BadKey, kBadSpendKey);
    const Point scan_point = public_key_point(*b_scan);
    const Point spend_point = public_key_point(*b_spend);
    scan_point.to_compressed(scan_pub33_out);
    spend_point.to_compressed(spend_pub33_out);
    char text[sp::kAddressLength];
    size_t len = 0;
    if (!sp::address(scan_point, spend_point, text, len)) return set_error(ctx, ErrorCode::Internal, kInternalError);
    return write_text_out(ctx, address_out, address_len, text, len, kAddressTooSmall);
}

QORVEX_API int qorvex_silent_payment_create_output(qorvex_ctx* ctx, const uint8_t* input_seckeys32,
                                                   size_t n_inputs, const uint8_t* scan_pub33,
                                                   const uint8_t* spend_pub33, int32_t k, uint8_t* output_pub33_out,
                                                   uint8_t* tweak32_out) {
    if (!ctx || !input_seckeys32 || n_inputs == 0 || !scan_pub33 || !spend_pub33 || !output_pub33_out)
        return QORVEX_ERR_NULL_ARG;
    if (n_inputs > sp::kMaxInputs) return set_error(ctx, ErrorCode::BadInput, kInputCountTooLarge);
    size_t bytes = 0;
    if (!array_size(n_inputs, 32, bytes)) return set_error(ctx, ErrorCode::BadInput, kInputArrayOverflow);
    clear_error(ctx);
    return guarded(ctx, [&] {
        return create_output_frame(ctx, input_seckeys32, n_inputs, scan_pub33, spend_pub33, k, output_pub33_out,
                                   tweak32_out);
    });
}

QORVEX_API int qorvex_silent_payment_scan(qorvex_ctx* ctx, const uint8_t* scan_seckey32,
                                          const uint8_t* spend_seckey32, const uint8_t* input_pubkeys33,
                                          size_t n_inputs, const uint8_t* output_xonly32, size_t n_outputs,
                                          int* found_indices_out, uint8_t* found_seckeys32_out, size_t* n_found) {
    if (!ctx || !scan_seckey32 || !spend_seckey32 || !input_pubkeys33 || !output_xonly32 || !n_found)
        return QORVEX_ERR_NULL_ARG;
    if (n_inputs == 0 || n_outputs == 0) return QORVEX_ERR_BAD_INPUT;
    if (n_inputs > sp::kMaxInputs || n_outputs > sp::kMaxOutputs)
        return set_error(ctx, ErrorCode::BadInput, kScanCountTooLarge);
    size_t in_bytes = 0, out_bytes = 0;
    if (!array_size(n_inputs, 33, in_bytes) || !array_size(n_outputs, 32, out_bytes))
        return set_error(ctx, ErrorCode::BadInput, kScanArrayOverflow);
    clear_error(ctx);
    return guarded(ctx, [&] {
        return scan_frame(ctx, scan_seckey32, spend_seckey32, input_pubkeys33, n_inputs, output_xonly32, n_outputs,
                          found_indices_out, found_seckeys32_out, n_found);
    });
}

}  // extern "C"
