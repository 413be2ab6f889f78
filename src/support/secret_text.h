// Reading NUL-terminated texts whose characters are secret (WIF strings,
// extended private keys, mnemonics, passphrases).
#pragma once

#include <cstddef>

#include "support/declassify.h"

namespace qorvex {

// The length of a secret text. Where it ends is public (the caller handed
// over a text of that length); what it holds is not, so only the test for
// the terminator is made public, character by character.
inline size_t secret_strlen(const char* s) {
    size_t n = 0;
    while (!declassify_bool(s[n] == '\0')) ++n;
    return n;
}

}  // namespace qorvex
