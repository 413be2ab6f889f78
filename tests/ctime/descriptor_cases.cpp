// Constant-time cases: descriptors holding xprv and tprv keys, in every
// kind, with hardened and normal steps, a wildcard and a multipath group.
// The key's characters are marked; the kind, the parentheses and the path
// are public.
#include <string>

#include "../support/ref_encoders.h"
#include "ctime.h"

namespace qorvex::ctime {

namespace {

struct Desc {
    std::string text;
    size_t key_at, key_len;  // where the marked characters are
};

std::string xprv_text(const qorvex_bip32_key& k) {
    char text[QORVEX_BIP32_TEXT_SIZE];
    size_t len = sizeof text;
    if (qorvex_bip32_to_base58(g_ctx, &k, text, &len) != QORVEX_OK) std::abort();
    return std::string(text, len);
}

std::vector<Desc> descriptors() {
    qorvex_bip32_key m, child;
    if (qorvex_bip32_master(g_ctx, kSeed.b, 32, &m) != QORVEX_OK) std::abort();
    if (qorvex_bip32_derive_path(g_ctx, &m, "m/84'/0'/0'", &child) != QORVEX_OK) std::abort();
    const std::string root = xprv_text(m), account = xprv_text(child);
    // The account key as a tprv.
    auto payload = test::ref::unbase58check(account);
    if (!payload) std::abort();
    const uint8_t tprv[4] = {0x04, 0x35, 0x83, 0x94};
    std::memcpy(payload->data(), tprv, 4);
    const std::string testnet = test::ref::base58check(*payload);
    std::string corrupt = account;
    corrupt[70] = corrupt[70] == 'z' ? 'y' : 'z';
    const struct {
        const char* open;
        const std::string* key;
        const char* rest;
    } forms[] = {
        {"wpkh(", &account, "/0/*)"},        {"sh(wpkh(", &account, "/<0;1>/*))"}, {"tr(", &root, "/86'/0'/0'/0/*)"},
        {"pkh(", &testnet, "/1/*)"},         {"pk(", &root, ")"},                  {"wpkh(", &corrupt, "/0/*)"},
        {"tr(", &account, "/0'/<0;1>/*)"},
    };
    std::vector<Desc> out;
    for (const auto& f : forms) out.push_back({std::string(f.open) + *f.key + f.rest, std::strlen(f.open), f.key->size()});
    return out;
}

}  // namespace

CT_FAMILY(descriptor) {
    t.push_back(CT_CASE(qorvex_descriptor_parse, "xprv characters", [](bool mark, Observed& o) {
        for (const Desc& d : descriptors()) {
            for (const int index : {0, 5}) {
                std::string text = d.text;
                qorvex_descriptor rec;
                std::memset(&rec, 0, sizeof rec);
                char addr[QORVEX_ADDRESS_MAX_SIZE] = {0};
                size_t len = sizeof addr;
                if (mark) secret(text.data() + d.key_at, d.key_len);
                o.code(qorvex_descriptor_parse(g_ctx, text.c_str(), index, &rec, addr, &len));
                o.add(&rec, sizeof rec);
                o.add(&len, sizeof len);
                o.add(addr, sizeof addr);
            }
        }
    }));
    t.push_back(CT_CASE(qorvex_descriptor_address, "xprv characters", [](bool mark, Observed& o) {
        for (const Desc& d : descriptors()) {
            std::string text = d.text;
            char addr[QORVEX_ADDRESS_MAX_SIZE] = {0};
            size_t len = sizeof addr;
            if (mark) secret(text.data() + d.key_at, d.key_len);
            o.code(qorvex_descriptor_address(g_ctx, text.c_str(), 3, addr, &len));
            o.add(&len, sizeof len);
            o.add(addr, sizeof addr);
        }
    }));
}

}  // namespace qorvex::ctime
