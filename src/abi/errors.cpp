// Error texts, the per-thread message buffer and failure recording.
#include "abi/frame.h"

namespace qorvex::abi {

namespace {

constexpr const char* kCodeText[] = {
    "OK",
    "NULL argument",
    "invalid private key",
    "invalid public key",
    "invalid signature",
    "malformed input",
    "verification failed",
    "arithmetic error",
    "self-test failed",
    "internal error",
    "buffer too small",
    "item not found",
    "deprecated ABI; call the _v2 variant",
};

thread_local char t_message[QORVEX_ERROR_MSG_MAX_LEN + 1];

}  // namespace

char* thread_message_buffer() { return t_message; }

const char* code_text(int code) {
    if (code < 0 || code >= static_cast<int>(sizeof(kCodeText) / sizeof(kCodeText[0]))) return "unknown error";
    return kCodeText[code];
}

int set_error(qorvex_ctx* ctx, ErrorCode code, const char* message) {
    const int c = static_cast<int>(code);
    ctx->last_error.store(c, std::memory_order_relaxed);
    char* buf = t_message;
    size_t i = 0;
    for (; i < QORVEX_ERROR_MSG_MAX_LEN && message[i] != '\0'; ++i) buf[i] = message[i];
    buf[i] = '\0';
    return c;
}

int set_error(qorvex_ctx* ctx, ErrorCode code) { return set_error(ctx, code, code_text(static_cast<int>(code))); }

int write_out(qorvex_ctx* ctx, uint8_t* buf, size_t* size_inout, const uint8_t* bytes, size_t len) {
    return write_out(ctx, buf, size_inout, bytes, len, kBufferTooSmall);
}

int write_out(qorvex_ctx* ctx, uint8_t* buf, size_t* size_inout, const uint8_t* bytes, size_t len,
              const char* too_small) {
    if (*size_inout < len) return set_error(ctx, ErrorCode::BufTooSmall, too_small);
    if (len != 0) std::memcpy(buf, bytes, len);
    *size_inout = len;
    return QORVEX_OK;
}

int write_text_out(qorvex_ctx* ctx, char* buf, size_t* size_inout, const char* text, size_t len) {
    return write_text_out(ctx, buf, size_inout, text, len, kBufferTooSmall);
}

int write_text_out(qorvex_ctx* ctx, char* buf, size_t* size_inout, const char* text, size_t len,
                   const char* too_small) {
    if (*size_inout <= len) return set_error(ctx, ErrorCode::BufTooSmall, too_small);
    if (len != 0) std::memcpy(buf, text, len);
    buf[len] = '\0';
    *size_inout = len;
    return QORVEX_OK;
}

}  // namespace qorvex::abi

extern "C" {

QORVEX_API const char* qorvex_error_str(int code) { return qorvex::abi::code_text(code); }

QORVEX_API int qorvex_last_error(const qorvex_ctx* ctx) {
    if (!ctx) return QORVEX_ERR_NULL_ARG;
    return ctx->last_error.load(std::memory_order_relaxed);
}

QORVEX_API const char* qorvex_last_error_msg(const qorvex_ctx* ctx) {
    if (!ctx) return "NULL context";
    const int code = ctx->last_error.load(std::memory_order_relaxed);
    const char* msg = qorvex::abi::thread_message_buffer();
    if (code != 0 && msg[0] != '\0') return msg;
    return qorvex::abi::code_text(code);
}

}  // extern "C"
