// Constant-time cases: hashes of possibly secret data.
#include "ctime.h"
#include <vector>

namespace qorvex::ctime {

CT_FAMILY(hashes) {
    // --- Hashes: what they hash may be secret (seeds, passphrases, derived
    // keys); the length is public. Lengths cover the one-block, two-block
    // and streaming paths. ---
    static const size_t kLengths[] = {0, 31, 55, 56, 64, 119, 200};
    auto hash_case = [](auto hash, size_t out_len) {
        return [hash, out_len](bool mark, Observed& o) {
            for (const size_t len : kLengths) {
                std::vector<uint8_t> data(len + 1);
                for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 37 + len);
                uint8_t out[64] = {0};
                if (mark) secret(data.data(), len);
                o.code(hash(data.data(), len, out));
                o.add(out, out_len);
            }
        };
    };
    t.push_back(CT_CASE(qorvex_sha256, "data", hash_case(qorvex_sha256, 32)));
    t.push_back(CT_CASE(qorvex_sha512, "data", hash_case(qorvex_sha512, 64)));
    t.push_back(CT_CASE(qorvex_hash160, "data", hash_case(qorvex_hash160, 20)));
    t.push_back(CT_CASE(qorvex_keccak256, "data", hash_case(qorvex_keccak256, 32)));
    t.push_back(CT_CASE(qorvex_eth_personal_hash, "message", hash_case(qorvex_eth_personal_hash, 32)));
    t.push_back(CT_CASE(qorvex_tagged_hash, "data (the tag is public)",
                        hash_case([](const uint8_t* d, size_t n, uint8_t* out) {
                            return qorvex_tagged_hash("qorvex/ctime", d, n, out);
                        }, 32)));
}

}  // namespace qorvex::ctime
