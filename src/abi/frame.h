// What every exported function stands on: the context block, error
// recording into the per-thread message buffer, and the exception boundary.
// Only the src/abi/ frames include this header.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>

#include "qorvex.h"

// The context block: 136 bytes, laid out as documented. last_error is an
// atomic of the same size so that a context shared between threads is
// race-free; relaxed ordering is enough because it carries no other data.
struct qorvex_ctx {
    std::atomic<int32_t> last_error;
    uint8_t message_area[128];
    uint8_t selftest_ok;
};
static_assert(sizeof(std::atomic<int32_t>) == 4, "last_error must stay 4 bytes");
static_assert(sizeof(qorvex_ctx) == QORVEX_CTX_SIZE, "context layout is part of the ABI");

namespace qorvex::abi {

enum class ErrorCode : int {
    Ok = QORVEX_OK,
    NullArg = QORVEX_ERR_NULL_ARG,
    BadKey = QORVEX_ERR_BAD_KEY,
    BadPubkey = QORVEX_ERR_BAD_PUBKEY,
    BadSig = QORVEX_ERR_BAD_SIG,
    BadInput = QORVEX_ERR_BAD_INPUT,
    VerifyFail = QORVEX_ERR_VERIFY_FAIL,
    Arith = QORVEX_ERR_ARITH,
    Selftest = QORVEX_ERR_SELFTEST,
    Internal = QORVEX_ERR_INTERNAL,
    BufTooSmall = QORVEX_ERR_BUF_TOO_SMALL,
    NotFound = QORVEX_ERR_NOT_FOUND,
    Deprecated = QORVEX_ERR_DEPRECATED,
};

inline constexpr char kAllocationFailed[] = "allocation failed";
inline constexpr char kInternalError[] = "internal error";
inline constexpr char kBufferTooSmall[] = "buffer too small";

// Fixed text of a code; "unknown error" outside the table.
const char* code_text(int code);

// The calling thread's message buffer: 127 characters and a NUL.
char* thread_message_buffer();

inline void clear_error(qorvex_ctx* ctx) { ctx->last_error.store(0, std::memory_order_relaxed); }

// Records a failure: the code in the context, the message (cut to 127
// characters) in this thread's buffer. Returns the code.
int set_error(qorvex_ctx* ctx, ErrorCode code, const char* message);

// Records a failure whose message is the code's own text.
int set_error(qorvex_ctx* ctx, ErrorCode code);

// Runs an exported function's body so that no exception crosses the C ABI:
// std::bad_alloc becomes 9 "allocation failed", anything else 9 "internal
// error".
template <typename Body>
int guarded(qorvex_ctx* ctx, Body&& body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return set_error(ctx, ErrorCode::Internal, kAllocationFailed);
    } catch (...) {
        return set_error(ctx, ErrorCode::Internal, kInternalError);
    }
}

// Copies a variable-size result to a caller buffer whose capacity is in
// *size_inout; too small gives 10 and touches neither.
int write_out(qorvex_ctx* ctx, uint8_t* buf, size_t* size_inout, const uint8_t* bytes, size_t len);

// Text result: needs room for the NUL; *size_inout receives the length
// without it.
int write_text_out(qorvex_ctx* ctx, char* buf, size_t* size_inout, const char* text, size_t len);

// The same two with the family's own message for code 10.
int write_out(qorvex_ctx* ctx, uint8_t* buf, size_t* size_inout, const uint8_t* bytes, size_t len,
              const char* too_small);
int write_text_out(qorvex_ctx* ctx, char* buf, size_t* size_inout, const char* text, size_t len,
                   const char* too_small);

}  // namespace qorvex::abi
