#include "bitcoin/wif.h"

#include <cstring>
#include <span>

#include "arith/scalar.h"
#include "bitcoin/base58.h"
#include "support/declassify.h"
#include "support/wipe.h"

namespace qorvex {

bool wif_encode(const uint8_t key32[32], bool compressed, Network net, char* text, size_t& len) {
    return wif_encode_version(network_prefixes(net).wif, key32, compressed, text, len);
}

bool wif_encode_version(uint8_t version, const uint8_t key32[32], bool compressed, char* text, size_t& len) {
    SecretBytes<34> payload;
    payload[0] = version;
    std::memcpy(payload.data() + 1, key32, 32);
    payload[33] = 0x01;
    const size_t n = compressed ? 34 : 33;
    return base58check_encode(std::span<const uint8_t>(payload.data(), n), std::span<char>(text, kWifEncodeRoom),
                              len);
}

bool wif_decode(std::string_view text, WifKey& out) {
    secure_wipe_value(out);
    // Room for the longest payload and its checksum; a longer text fails in
    // the decoder.
    SecretBytes<38> buf;
    size_t n = 0;
    if (!base58check_decode(text, std::span<uint8_t>(buf.data(), buf.size()), n)) return false;
    // The version byte and the length say which network and whether the
    // key is marked compressed: outputs of the call, so public.
    const uint8_t version = buf[0];
    declassify_value(version);
    Network net;
    if (version == network_prefixes(Network::mainnet).wif) {
        net = Network::mainnet;
    } else if (version == network_prefixes(Network::testnet).wif) {
        net = Network::testnet;
    } else {
        return false;
    }
    if (n == 34) {
        const uint8_t flag = buf[33];
        declassify_value(flag);
        if (flag != 0x01) return false;
    } else if (n != 33) {
        return false;
    }
    // The key must already be in range: reducing n to zero (or n + 1 to 1)
    // would turn a corrupt string into a different key.
    WipeOnExit<Scalar> k;
    if (!declassify_bool(Scalar::parse_nonzero(buf.data() + 1, *k))) return false;
    std::memcpy(out.key, buf.data() + 1, 32);
    out.compressed = n == 34;
    out.network = net;
    return true;
}

}  // namespace qorvex
