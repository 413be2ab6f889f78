// Constant-time cases: the silent-payment address, the sender's output key
// and the receiver's scan, each over valid keys, an invalid one, and keys
// whose sum is zero.
#include <cstring>
#include <vector>

#include "ctime.h"

namespace qorvex::ctime {

namespace {

struct Recipient {
    uint8_t scan_pub[33];
    uint8_t spend_pub[33];
};

// The recipient of the fixed keys: scan key kKey, spend key kTweak.
const Recipient& recipient() {
    static Recipient r;
    static const bool made = qorvex_pubkey_create(g_ctx, kKey.b, r.scan_pub) == QORVEX_OK &&
                             qorvex_pubkey_create(g_ctx, kTweak.b, r.spend_pub) == QORVEX_OK;
    if (!made) std::abort();
    return r;
}

// Input key sets: one key, two keys, a valid key then n, and a key with its
// negation (the sum is zero).
std::vector<std::vector<Bytes32>> input_sets() {
    return {{kSeed}, {kSeed, kAux}, {kSeed, kOrder}, {kSeed, negated(kSeed)}};
}

// A transaction paying the recipient at positions 0 and 2 (1 is not ours):
// input public keys of kSeed and kAux, output x-only keys.
struct Transaction {
    std::vector<uint8_t> input_pubs;
    std::vector<uint8_t> outputs;
};

const Transaction& transaction() {
    static const Transaction tx = [] {
        Transaction t;
        t.input_pubs.resize(66);
        std::vector<uint8_t> keys(kSeed.b, kSeed.b + 32);
        keys.insert(keys.end(), kAux.b, kAux.b + 32);
        if (qorvex_pubkey_create(g_ctx, kSeed.b, t.input_pubs.data()) != QORVEX_OK ||
            qorvex_pubkey_create(g_ctx, kAux.b, t.input_pubs.data() + 33) != QORVEX_OK)
            std::abort();
        t.outputs.assign(96, 0x33);
        for (int k : {0, 2}) {
            uint8_t out[33];
            if (qorvex_silent_payment_create_output(g_ctx, keys.data(), 2, recipient().scan_pub, recipient().spend_pub, k,
                                                    out, nullptr) != QORVEX_OK)
                std::abort();
            std::memcpy(t.outputs.data() + 32 * k, out + 1, 32);
        }
        return t;
    }();
    return tx;
}

void run_address(bool mark, Observed& o) {
    for (const Bytes32* s : kKeys) {
        for (const Bytes32* b : kKeys) {
            Bytes32 scan = *s, spend = *b;
            uint8_t scan_pub[33] = {0}, spend_pub[33] = {0};
            char text[QORVEX_SILENT_PAYMENT_ADDRESS_SIZE] = {0};
            size_t len = sizeof text;
            if (mark) {
                secret(scan.b, 32);
                secret(spend.b, 32);
            }
            o.code(qorvex_silent_payment_address(g_ctx, scan.b, spend.b, scan_pub, spend_pub, text, &len));
            o.add(scan_pub, sizeof scan_pub);
            o.add(spend_pub, sizeof spend_pub);
            o.add(&len, sizeof len);
            o.add(text, sizeof text);
        }
    }
}

void run_create_output(bool mark, Observed& o) {
    for (const auto& set : input_sets()) {
        std::vector<uint8_t> keys;
        for (const Bytes32& k : set) keys.insert(keys.end(), k.b, k.b + 32);
        for (int k : {0, 3}) {
            std::vector<uint8_t> in = keys;
            uint8_t out[33] = {0}, tweak[32] = {0};
            if (mark) secret(in.data(), in.size());
            o.code(qorvex_silent_payment_create_output(g_ctx, in.data(), set.size(), recipient().scan_pub,
                                                       recipient().spend_pub, k, out, tweak));
            o.add(out, sizeof out);
            o.add(tweak, sizeof tweak);
        }
    }
}

void run_scan(bool mark, Observed& o) {
    const Transaction& tx = transaction();
    // The recipient's own keys (two matches), another scan key (none), and
    // an invalid spend key.
    const std::pair<Bytes32, Bytes32> pairs[] = {{kKey, kTweak}, {kMsg, kTweak}, {kKey, kOrder}};
    for (const auto& [s, b] : pairs) {
        Bytes32 scan = s, spend = b;
        int idx[3] = {-1, -1, -1};
        uint8_t keys[96] = {0};
        size_t found = 3;
        if (mark) {
            secret(scan.b, 32);
            secret(spend.b, 32);
        }
        o.code(qorvex_silent_payment_scan(g_ctx, scan.b, spend.b, tx.input_pubs.data(), 2, tx.outputs.data(), 3, idx,
                                          keys, &found));
        o.add(&found, sizeof found);
        o.add(idx, sizeof idx);
        o.add(keys, sizeof keys);
    }
}

}  // namespace

CT_FAMILY(silent_payment) {
    t.push_back(CT_CASE(qorvex_silent_payment_address, "scan key, spend key", run_address));
    t.push_back(CT_CASE(qorvex_silent_payment_create_output, "input keys", run_create_output));
    t.push_back(CT_CASE(qorvex_silent_payment_scan, "scan key, spend key", run_scan));
}

}  // namespace qorvex::ctime
