// Per-thread blinding of signing's k*G.
#include <cstring>

#include "abi/frame.h"
#include "arith/gen_mul.h"
#include "hash/sha256.h"
#include "support/declassify.h"
#include "support/wipe.h"

using namespace qorvex;
using namespace qorvex::abi;

namespace {

constexpr char kBlindingZero[] = "blinding scalar is zero";

}  // namespace

extern "C" {

QORVEX_API int qorvex_context_randomize(qorvex_ctx* ctx, const uint8_t* seed32) {
    if (!ctx) return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    if (!seed32) {
        blinding_clear();
        return QORVEX_OK;
    }
    // b = SHA-256(seed || "QVBLIND" || 0x00) mod n.
    SecretBytes<40> msg;
    std::memcpy(msg.data(), seed32, 32);
    std::memcpy(msg.data() + 32, "QVBLIND", 7);
    msg[39] = 0;
    SecretBytes<32> digest;
    sha256(msg.data(), msg.size(), digest.data());
    WipeOnExit<Scalar> b([&] { return Scalar::from_bytes_reduce(digest.data()); });
    // A zero scalar needs a digest of 0 or n; the failure code makes that
    // public anyway.
    if (declassify_bool(b->is_zero())) return set_error(ctx, ErrorCode::Internal, kBlindingZero);
    blinding_set(*b);
    return QORVEX_OK;
}

}  // extern "C"
