// Unicode normalisation form KD of UTF-8 text, as BIP-39 applies it to
// mnemonics and passphrases (through ICU's normaliser).
#pragma once

#include <string_view>

#include "support/secret_buffer.h"

namespace qorvex {

enum class NfkdResult {
    ascii,       // plain ASCII (or empty): its own NFKD form, copied as it is
    normalized,  // out holds the NFKD form
    failed,      // not valid UTF-8, too long for the normaliser, or ICU
                 // failed: out holds the bytes unchanged
};

// NFKD(text) into out (made to measure; the text may be secret, and every
// intermediate buffer is wiped). Throws std::bad_alloc. Whether the text is
// plain ASCII decides the path taken and so is made public; ICU's
// normaliser itself is table-driven and not constant time.
NfkdResult nfkd(std::string_view text, SecretBuffer& out);

}  // namespace qorvex
