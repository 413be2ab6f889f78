// Constant-time cases: WIF encoding and decoding of private keys.
#include <string>

#include "ctime.h"

namespace qorvex::ctime {

namespace {

// The WIF texts the decoding case reads: three of kKey (both forms, both
// networks), one with its last character changed (checksum), and the key n.
std::vector<std::string> wif_texts() {
    std::vector<std::string> out;
    for (const auto& [compressed, network] : {std::pair{1, 0}, std::pair{0, 0}, std::pair{1, 1}}) {
        char buf[QORVEX_WIF_MAX_SIZE];
        size_t len = sizeof buf;
        if (qorvex_wif_encode(g_ctx, kKey.b, compressed, network, buf, &len) != QORVEX_OK) std::abort();
        out.emplace_back(buf, len);
    }
    std::string bad = out[0];
    bad.back() = bad.back() == 'z' ? 'y' : 'z';
    out.push_back(bad);
    out.emplace_back("L5oLkpV3aqBjhki6LmvChTCV6odsp4SXM6FfU2Gppt5kFqRzExJJ");
    return out;
}

}  // namespace

CT_FAMILY(wif) {
    t.push_back(CT_CASE(qorvex_wif_encode, "key", [](bool mark, Observed& o) {
        for (const Bytes32* k : kKeys) {
            for (const int compressed : {0, 1}) {
                for (const int network : {0, 1}) {
                    Bytes32 key = *k;
                    char text[QORVEX_WIF_MAX_SIZE] = {0};
                    size_t len = sizeof text;
                    if (mark) secret(key.b, 32);
                    o.code(qorvex_wif_encode(g_ctx, key.b, compressed, network, text, &len));
                    o.add(&len, sizeof len);
                    o.add(text, sizeof text);
                }
            }
        }
    }));
    t.push_back(CT_CASE(qorvex_wif_decode, "WIF text", [](bool mark, Observed& o) {
        for (const std::string& w : wif_texts()) {
            std::string text = w;
            uint8_t key[32] = {0};
            int compressed = 7, network = 7;
            if (mark) secret(text.data(), text.size());
            o.code(qorvex_wif_decode(g_ctx, text.c_str(), key, &compressed, &network));
            o.add(key, sizeof key);
            o.add(&compressed, sizeof compressed);
            o.add(&network, sizeof network);
        }
    }));
}

}  // namespace qorvex::ctime
