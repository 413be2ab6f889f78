#include "bitcoin/nfkd.h"

#include <unicode/unorm2.h>
#include <unicode/ustring.h>

#include <climits>
#include <cstdint>

#include "support/declassify.h"

namespace qorvex {

namespace {

// Unicode's bound on NFKD growth in UTF-16 code units (UAX #15: a code
// point expands to at most 18), and the UTF-8 bytes per UTF-16 unit.
constexpr size_t kNfkdGrowth = 18;
constexpr size_t kUtf8PerUnit = 3;

NfkdResult unchanged(std::string_view text, SecretBuffer& out, NfkdResult why) {
    out = SecretBuffer(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    return why;
}

}  // namespace

NfkdResult nfkd(std::string_view text, SecretBuffer& out) {
    uint8_t high = 0;
    for (const char c : text) high |= static_cast<uint8_t>(c);
    if (!declassify_bool((high & 0x80) == 0)) {
        // ICU takes int32_t lengths: the largest buffer below must fit.
        if (text.size() > static_cast<size_t>(INT32_MAX) / (kNfkdGrowth * kUtf8PerUnit))
            return unchanged(text, out, NfkdResult::failed);
        const auto n = static_cast<int32_t>(text.size());

        // UTF-8 to UTF-16: never more units than bytes. Invalid UTF-8 is an
        // error, not a replacement character: two different passphrases
        // must not become one.
        SecretBuffer utf16(text.size() * sizeof(UChar));
        auto* u16 = reinterpret_cast<UChar*>(utf16.data());
        int32_t n16 = 0;
        UErrorCode err = U_ZERO_ERROR;
        u_strFromUTF8(u16, n, &n16, text.data(), n, &err);
        if (U_FAILURE(err)) return unchanged(text, out, NfkdResult::failed);

        const UNormalizer2* form = unorm2_getNFKDInstance(&err);
        if (U_FAILURE(err) || form == nullptr) return unchanged(text, out, NfkdResult::failed);
        const size_t cap16 = static_cast<size_t>(n16) * kNfkdGrowth;
        SecretBuffer normal16(cap16 * sizeof(UChar));
        auto* d16 = reinterpret_cast<UChar*>(normal16.data());
        const int32_t m16 = unorm2_normalize(form, u16, n16, d16, static_cast<int32_t>(cap16), &err);
        if (U_FAILURE(err)) return unchanged(text, out, NfkdResult::failed);

        SecretBuffer utf8(static_cast<size_t>(m16) * kUtf8PerUnit);
        int32_t m8 = 0;
        u_strToUTF8(reinterpret_cast<char*>(utf8.data()), static_cast<int32_t>(utf8.size()), &m8, d16, m16, &err);
        if (U_FAILURE(err)) return unchanged(text, out, NfkdResult::failed);
        utf8.shrink(static_cast<size_t>(m8));
        out = std::move(utf8);
        return NfkdResult::normalized;
    }
    return unchanged(text, out, NfkdResult::ascii);
}

}  // namespace qorvex
