// ECIES: encryption to a compressed public key and decryption with the
// matching private key, in one self-contained envelope.
#include <cstdint>
#include <cstring>
#include <memory>

#include "abi/frame.h"
#include "abi/inputs.h"
#include "protocols/ecies.h"
#include "sig/ecdh.h"
#include "support/wipe.h"

using namespace qorvex;
using namespace qorvex::abi;

namespace {

constexpr char kPlaintextTooLarge[] = "plaintext_len too large";
constexpr char kEnvelopeTooSmall[] = "envelope buffer too small";
constexpr char kBadRecipient[] = "invalid recipient pubkey";
constexpr char kEncryptFailed[] = "ECIES encryption failed";
constexpr char kPlaintextTooSmall[] = "plaintext buffer too small";
constexpr char kDecryptFailed[] = "ECIES decryption failed (bad key or tampered)";

// Scratch space for a result whose buffer overlaps an input: the result is
// made here and copied out once it is complete. Wiped when released.
class Scratch {
public:
    explicit Scratch(size_t n) : bytes_(std::make_unique<uint8_t[]>(n)), n_(n) {}
    ~Scratch() { secure_wipe(bytes_.get(), n_); }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;
    uint8_t* data() { return bytes_.get(); }

private:
    std::unique_ptr<uint8_t[]> bytes_;
    size_t n_;
};

}  // namespace

extern "C" {

QORVEX_API int qorvex_ecies_encrypt(qorvex_ctx* ctx, const uint8_t* recipient_pub33, const uint8_t* plaintext,
                                    size_t plaintext_len, uint8_t* envelope_out, size_t* envelope_len) {
    if (!ctx || !recipient_pub33 || !plaintext || !envelope_out || !envelope_len) return QORVEX_ERR_NULL_ARG;
    // An empty message is refused before the context is touched.
    if (plaintext_len == 0) return QORVEX_ERR_BAD_INPUT;
    clear_error(ctx);
    if (plaintext_len > SIZE_MAX - ecies::kOverhead)
        return set_error(ctx, ErrorCode::BadInput, kPlaintextTooLarge);
    const size_t total = plaintext_len + ecies::kOverhead;
    if (*envelope_len < total) return set_error(ctx, ErrorCode::BufTooSmall, kEnvelopeTooSmall);
    Point p;
    if (!parse33(recipient_pub33, p) || !ecdh::on_curve(p))
        return set_error(ctx, ErrorCode::BadPubkey, kBadRecipient);
    return guarded(ctx, [&] {
        // An envelope buffer that overlaps the plaintext is filled only once
        // the whole plaintext has been read: the envelope is made aside.
        if (!buffers_overlap(envelope_out, total, plaintext, plaintext_len)) {
            if (!ecies::encrypt(p, plaintext, plaintext_len, envelope_out))
                return set_error(ctx, ErrorCode::Internal, kEncryptFailed);
        } else {
            Scratch out(total);
            if (!ecies::encrypt(p, plaintext, plaintext_len, out.data()))
                return set_error(ctx, ErrorCode::Internal, kEncryptFailed);
            std::memmove(envelope_out, out.data(), total);
        }
        *envelope_len = total;
        return QORVEX_OK;
    });
}

QORVEX_API int qorvex_ecies_decrypt(qorvex_ctx* ctx, const uint8_t* seckey32, const uint8_t* envelope,
                                    size_t envelope_len, uint8_t* plaintext_out, size_t* plaintext_len) {
    if (!ctx || !seckey32 || !envelope || !plaintext_out || !plaintext_len) return QORVEX_ERR_NULL_ARG;
    // Too short to hold even one byte: refused before the context is touched.
    if (envelope_len < ecies::kOverhead + 1) return QORVEX_ERR_BAD_INPUT;
    clear_error(ctx);
    const size_t len = envelope_len - ecies::kOverhead;
    if (*plaintext_len < len) return set_error(ctx, ErrorCode::BufTooSmall, kPlaintextTooSmall);
    WipeOnExit<Scalar> d;
    if (!parse_seckey(seckey32, *d)) return set_error(ctx, ErrorCode::BadKey, kBadPrivkey);
    return guarded(ctx, [&] {
        if (!buffers_overlap(plaintext_out, len, envelope, envelope_len)) {
            if (!ecies::decrypt(*d, envelope, envelope_len, plaintext_out))
                return set_error(ctx, ErrorCode::VerifyFail, kDecryptFailed);
        } else {
            Scratch out(len);
            if (!ecies::decrypt(*d, envelope, envelope_len, out.data()))
                return set_error(ctx, ErrorCode::VerifyFail, kDecryptFailed);
            std::memmove(plaintext_out, out.data(), len);
        }
        *plaintext_len = len;
        return QORVEX_OK;
    });
}

}  // extern "C"
