// Silent-payment scanning of untrusted transactions: input public keys and
// output keys chosen by whoever made the transaction.
//
// Input: a mode byte, the scan key (32), the spend key (32), an input count
// (byte, 0 to 8), an output count (byte, 0 to 8) and a capacity (byte, 0 to
// 9). Without mode bit 0, the input keys (33 bytes each) and the output keys
// (32 each) follow as they are. With it, the input private keys follow (32
// bytes each) and the transaction is made from them: their public keys, and
// for each output a flag byte that says whether it pays the scan/spend key
// pair at its position (made by qorvex_silent_payment_create_output) or
// holds the 32 bytes that follow. Whatever is left then flips bits of the
// transaction. The input and output arrays are copied into buffers of
// exactly their size, so a sanitizer sees any read past their end.
//
// Properties: the scan answers 0, 2, 3 or 5; on success the matches are at
// most the outputs, in increasing position, each found key times G has the
// matched output's x, nothing is written past min(matches, capacity), and a
// scan with capacity 0 counts the same. An untampered transaction made from
// valid keys is found at every position that pays the key pair.
#include <memory>
#include <vector>

#include "fuzz_common.h"

using namespace qorvex::fuzz;

QORVEX_FUZZ_EXPORTS(qorvex_silent_payment_scan, qorvex_silent_payment_create_output);

namespace {

constexpr uint8_t kNone = 0;

template <typename T>
std::unique_ptr<T[]> exact_copy(const std::vector<T>& v) {
    std::unique_ptr<T[]> p(new T[v.empty() ? 1 : v.size()]);
    for (size_t i = 0; i < v.size(); ++i) p[i] = v[i];
    return p;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Input in(data, size);
    const uint8_t mode = in.byte();
    uint8_t scan_key[32], spend_key[32];
    in.bytes(scan_key, 32);
    in.bytes(spend_key, 32);
    const size_t n_in = in.byte() % 9, n_out = in.byte() % 9, capacity = in.byte() % 10;

    std::vector<uint8_t> inputs(33 * n_in), outputs(32 * n_out);
    std::vector<bool> paying(n_out, false);
    bool made = false;
    if (mode & 1) {
        std::vector<uint8_t> seckeys(32 * n_in);
        in.bytes(seckeys.data(), seckeys.size());
        made = n_in > 0 && n_out > 0;
        for (size_t i = 0; i < n_in; ++i)
            made &= qorvex_pubkey_create(ctx(), &seckeys[32 * i], &inputs[33 * i]) == QORVEX_OK;
        uint8_t scan_pub[33], spend_pub[33];
        made &= qorvex_pubkey_create(ctx(), scan_key, scan_pub) == QORVEX_OK &&
                qorvex_pubkey_create(ctx(), spend_key, spend_pub) == QORVEX_OK;
        for (size_t i = 0; i < n_out; ++i) {
            uint8_t out[33];
            if (made && (in.byte() & 1) &&
                qorvex_silent_payment_create_output(ctx(), seckeys.empty() ? &kNone : seckeys.data(), n_in, scan_pub,
                                                    spend_pub, static_cast<int32_t>(i), out, nullptr) == QORVEX_OK) {
                std::memcpy(&outputs[32 * i], out + 1, 32);
                paying[i] = true;
            } else {
                in.bytes(&outputs[32 * i], 32);
            }
        }
        if (in.rest_size() > 1) {
            made = false;
            std::vector<uint8_t> tx = inputs;
            tx.insert(tx.end(), outputs.begin(), outputs.end());
            if (!tx.empty()) {
                tamper(in, tx.data(), tx.size());
                std::memcpy(inputs.data(), tx.data(), inputs.size());
                std::memcpy(outputs.data(), tx.data() + inputs.size(), outputs.size());
            }
        }
    } else {
        in.bytes(inputs.data(), inputs.size());
        in.bytes(outputs.data(), outputs.size());
    }

    const auto exact_in = exact_copy(inputs);
    const auto exact_out = exact_copy(outputs);
    std::vector<int> idx(10, -7);
    std::vector<uint8_t> keys(320, 0xA5);
    size_t found = capacity;
    const int rc = qorvex_silent_payment_scan(ctx(), scan_key, spend_key, exact_in.get(), n_in, exact_out.get(), n_out,
                                              idx.data(), keys.data(), &found);
    FUZZ_CHECK(rc == QORVEX_OK || rc == QORVEX_ERR_BAD_KEY || rc == QORVEX_ERR_BAD_PUBKEY ||
               rc == QORVEX_ERR_BAD_INPUT);
    if (n_in == 0 || n_out == 0) FUZZ_CHECK(rc == QORVEX_ERR_BAD_INPUT);
    if (rc != QORVEX_OK) {
        FUZZ_CHECK(found == capacity);
        FUZZ_CHECK(!made);
        return 0;
    }
    FUZZ_CHECK(found <= n_out);
    const size_t written = found < capacity ? found : capacity;
    for (size_t j = 0; j < written; ++j) {
        FUZZ_CHECK(idx[j] >= 0 && static_cast<size_t>(idx[j]) < n_out);
        if (j > 0) FUZZ_CHECK(idx[j] > idx[j - 1]);
        uint8_t x[32];
        FUZZ_CHECK(qorvex_pubkey_xonly(ctx(), &keys[32 * j], x) == QORVEX_OK);
        FUZZ_CHECK(std::memcmp(x, &outputs[32 * static_cast<size_t>(idx[j])], 32) == 0);
    }
    for (size_t j = written; j < 10; ++j) {
        FUZZ_CHECK(idx[j] == -7);
        for (size_t b = 0; b < 32; ++b) FUZZ_CHECK(keys[32 * j + b] == 0xA5);
    }
    size_t count = 0;
    FUZZ_CHECK(qorvex_silent_payment_scan(ctx(), scan_key, spend_key, exact_in.get(), n_in, exact_out.get(), n_out,
                                          nullptr, nullptr, &count) == QORVEX_OK);
    FUZZ_CHECK(count == found);
    if (made && capacity >= n_out) {
        size_t j = 0;
        for (size_t i = 0; i < n_out; ++i) {
            if (!paying[i]) continue;
            while (j < found && static_cast<size_t>(idx[j]) < i) ++j;
            FUZZ_CHECK(j < found && static_cast<size_t>(idx[j]) == i);
        }
    }
    return 0;
}
