// Which inputs count for a silent payment, and the public key each one
// contributes, read from hostile scriptSig, witness and scriptPubKey bytes.
#include <cstring>
#include <vector>

#include "bitcoin/bip352.h"
#include "bitcoin/compact_size.h"
#include "bitcoin/tx_parse.h"
#include "hash/ripemd160.h"

namespace qorvex::bip352 {

namespace {

using Bytes = std::span<const uint8_t>;

// x of BIP-341's NUMS point H: a Taproot internal key without a known
// private key, so a script-path spend revealing it cannot take part.
constexpr uint8_t kNumsH[32] = {0x50, 0x92, 0x9b, 0x74, 0xc1, 0xa0, 0x49, 0x54, 0xb7, 0x8b, 0x4b,
                                0x60, 0x35, 0xe9, 0x7a, 0x5e, 0x07, 0x8a, 0x5a, 0x0f, 0x28, 0xec,
                                0x96, 0xd5, 0x47, 0xbf, 0xee, 0x9a, 0xce, 0x80, 0x3a, 0xc0};

bool is_p2pkh(Bytes s) {
    return s.size() == 25 && s[0] == 0x76 && s[1] == 0xa9 && s[2] == 0x14 && s[23] == 0x88 && s[24] == 0xac;
}
bool is_p2sh(Bytes s) { return s.size() == 23 && s[0] == 0xa9 && s[1] == 0x14 && s[22] == 0x87; }
bool is_p2wpkh(Bytes s) { return s.size() == 22 && s[0] == 0x00 && s[1] == 0x14; }
bool is_p2tr(Bytes s) { return s.size() == 34 && s[0] == 0x51 && s[1] == 0x20; }
// A witness program of version 2 to 16: OP_2 .. OP_16 and one push of 2 to
// 40 bytes.
bool is_future_segwit(Bytes s) {
    return s.size() >= 4 && s.size() <= 42 && s[0] >= 0x52 && s[0] <= 0x60 && s[1] + 2u == s.size();
}

bool compressed_key(Bytes k, uint8_t out33[33]) {
    if (k.size() != 33 || (k[0] != 0x02 && k[0] != 0x03)) return false;
    if (Point::decompress(k.data()).infinity) return false;
    std::memcpy(out33, k.data(), 33);
    return true;
}

// The serialized stack: the count first, checked against the bytes before
// room for the items is made.
bool parse_stack(Bytes w, std::vector<Bytes>& items) {
    if (w.empty()) return true;
    const auto count = compact_size::decode(w);
    if (!count || count->value > w.size() - count->size) return false;
    items.resize(static_cast<size_t>(count->value));
    const auto got = tx::parse_witness_stack(w, items);
    return got && *got == items.size();
}

}  // namespace

InputKind input_pubkey(Bytes script_sig, Bytes witness, Bytes script_pubkey, uint8_t out33[33]) {
    std::vector<Bytes> stack;
    if (!parse_stack(witness, stack)) return InputKind::bad_witness;

    if (is_p2pkh(script_pubkey)) {
        // The key is not taken from the script's structure, which a third
        // party can change (malleability), but as the last 33 bytes of the
        // scriptSig that hash to the key hash.
        const uint8_t* want = script_pubkey.data() + 3;
        for (size_t end = script_sig.size(); end >= 33; --end) {
            uint8_t h[20];
            hash160(script_sig.data() + end - 33, 33, h);
            if (std::memcmp(h, want, 20) == 0 && compressed_key(script_sig.subspan(end - 33, 33), out33))
                return InputKind::eligible;
        }
        return InputKind::not_eligible;
    }
    if (is_p2sh(script_pubkey)) {
        // Only P2SH-P2WPKH: the scriptSig pushes exactly the 22-byte program.
        const bool nested = script_sig.size() == 23 && script_sig[0] == 0x16 && is_p2wpkh(script_sig.subspan(1));
        if (!nested || stack.empty()) return InputKind::not_eligible;
        return compressed_key(stack.back(), out33) ? InputKind::eligible : InputKind::not_eligible;
    }
    if (is_p2wpkh(script_pubkey)) {
        if (stack.empty()) return InputKind::not_eligible;
        return compressed_key(stack.back(), out33) ? InputKind::eligible : InputKind::not_eligible;
    }
    if (is_p2tr(script_pubkey)) {
        if (stack.empty()) return InputKind::not_eligible;
        size_t n = stack.size();
        // An annex (last item starting 0x50, with another item before it).
        if (n > 1 && !stack[n - 1].empty() && stack[n - 1][0] == 0x50) --n;
        if (n > 1) {
            // Script path: the control block holds the internal key.
            const Bytes control = stack[n - 1];
            if (control.size() >= 33 && std::memcmp(control.data() + 1, kNumsH, 32) == 0)
                return InputKind::not_eligible;
        }
        uint8_t key[33];
        key[0] = 0x02;
        std::memcpy(key + 1, script_pubkey.data() + 2, 32);
        return compressed_key(Bytes(key, 33), out33) ? InputKind::eligible : InputKind::not_eligible;
    }
    if (is_future_segwit(script_pubkey)) return InputKind::future_segwit;
    return InputKind::not_eligible;
}

}  // namespace qorvex::bip352
