// Writes the seed corpora of the fuzz targets (fuzz/corpus/<target>/) from
// the published vectors under tests/vectors/, in each target's input
// layout. Deterministic: the same vectors give the same files.
//
//   make_corpus DIR          write DIR/<target>/<name> (DIR is emptied per target)
//   make_corpus --check DIR  fail unless DIR holds exactly what would be written
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "qorvex.h"
#include "support/vectors.h"

namespace {

using Bytes = std::vector<uint8_t>;
using qorvex::test::from_hex;
using qorvex::test::load_json_vectors;

// target -> file name -> content
using Corpus = std::map<std::string, std::map<std::string, Bytes>>;

qorvex_ctx* ctx() {
    static qorvex_ctx* c = [] {
        qorvex_ctx* made = nullptr;
        if (qorvex_ctx_create(&made) != QORVEX_OK) std::abort();
        return made;
    }();
    return c;
}

Bytes cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

Bytes byte(uint8_t b) { return Bytes{b}; }

Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }

Bytes le64(uint64_t v) {
    Bytes out(8);
    for (int i = 0; i < 8; ++i) out[i] = static_cast<uint8_t>(v >> (8 * i));
    return out;
}

Bytes sha256(const Bytes& m) {
    Bytes out(32);
    static const uint8_t kEmpty = 0;
    qorvex_sha256(m.empty() ? &kEmpty : m.data(), m.size(), out.data());
    return out;
}

const Bytes kOrder = from_hex("fffffffffffffffffffffffffffffffebaaedce6af48a03bbfd25e8cd0364141");
const Bytes kOrderMinus1 = from_hex("fffffffffffffffffffffffffffffffebaaedce6af48a03bbfd25e8cd0364140");
const Bytes kP = from_hex("fffffffffffffffffffffffffffffffffffffffffffffffffffffffefffffc2f");
const Bytes kZero32(32, 0);
const Bytes kOnes32(32, 0xFF);

Bytes pubkey33(const Bytes& key) {
    Bytes out(33);
    if (qorvex_pubkey_create(ctx(), key.data(), out.data()) != QORVEX_OK) std::abort();
    return out;
}

Bytes compress(const Bytes& pub65) {
    Bytes out(33);
    if (qorvex_pubkey_parse(ctx(), pub65.data(), pub65.size(), out.data()) != QORVEX_OK) std::abort();
    return out;
}

// A 64-byte compact signature from DER, or empty when it does not decode.
Bytes compact_from_der(const Bytes& der) {
    Bytes out(64);
    if (der.empty() || qorvex_ecdsa_sig_from_der(ctx(), der.data(), der.size(), out.data()) != QORVEX_OK) return {};
    return out;
}

struct Bip340Row {
    std::string index;
    Bytes key, pub, aux, msg, sig;
};

std::vector<Bip340Row> bip340_rows() {
    std::istringstream in(qorvex::test::read_text_file(qorvex::test::vector_path("bip340/test-vectors.csv")));
    std::vector<Bip340Row> rows;
    std::string line;
    std::getline(in, line);  // header
    while (std::getline(in, line)) {
        std::vector<std::string> f;
        std::string cell;
        std::istringstream ls(line);
        while (std::getline(ls, cell, ',')) f.push_back(cell);
        if (f.size() < 7) continue;
        rows.push_back({f[0], from_hex(f[1]), from_hex(f[2]), from_hex(f[3]), from_hex(f[4]), from_hex(f[5])});
    }
    return rows;
}

struct Rfc6979Case {
    Bytes key, hash;
};

std::vector<Rfc6979Case> rfc6979_cases() {
    std::vector<Rfc6979Case> out;
    const auto doc = load_json_vectors("rfc6979/rfc6979_secp256k1_sha256.json");
    for (const auto& c : doc["cases"].array())
        out.push_back({from_hex(c["private_key"].str()), from_hex(c["message_sha256"].str())});
    return out;
}

struct Multiple {
    Bytes k, pub65;
};

std::vector<Multiple> multiples(size_t limit) {
    std::vector<Multiple> out;
    const auto doc = load_json_vectors("curve/multiples.json");
    for (const auto& c : doc["cases"].array()) {
        if (c["x"].is_null()) continue;
        out.push_back({from_hex(c["k"].str()), cat({byte(4), from_hex(c["x"].str()), from_hex(c["y"].str())})});
        if (out.size() == limit) break;
    }
    return out;
}

std::string name(size_t i, const std::string& what) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%03zu-", i);
    std::string s = buf + what;
    for (char& ch : s)
        if (!std::isalnum(static_cast<unsigned char>(ch)) && ch != '-') ch = '_';
    return s;
}

class Target {
public:
    Target(Corpus& c, const std::string& t) : files_(c[t]) {}
    void add(const std::string& what, const Bytes& content) { files_[name(files_.size(), what)] = content; }

private:
    std::map<std::string, Bytes>& files_;
};

void make_pubkey(Corpus& corpus) {
    Target t(corpus, "pubkey");
    const auto ms = multiples(10);
    for (size_t i = 0; i < ms.size(); ++i) {
        const Bytes c33 = compress(ms[i].pub65);
        const Bytes& tweak = ms[(i + 1) % ms.size()].k;
        t.add("uncompressed", ms[i].pub65);
        t.add("compressed-and-tweak", cat({c33, tweak}));
        t.add("two-keys", cat({c33, compress(ms[(i + 3) % ms.size()].pub65)}));
    }
    const Bytes g = compress(ms[0].pub65);
    Bytes g_neg = g;
    g_neg[0] ^= 1;
    t.add("key-and-its-negation", cat({g, g_neg}));
    t.add("three-keys", cat({g, compress(ms[1].pub65), compress(ms[2].pub65)}));
    t.add("tweak-n-minus-1", cat({g, kOrderMinus1}));
    t.add("tweak-n", cat({g, kOrder}));
    Bytes hybrid = ms[0].pub65;
    hybrid[0] = static_cast<uint8_t>(6 | (hybrid[64] & 1));
    t.add("hybrid", hybrid);
    t.add("x-equal-p", cat({byte(2), kP}));
    t.add("x-all-ones", cat({byte(3), kOnes32}));
    Bytes off_curve = ms[1].pub65;
    off_curve[64] ^= 1;
    t.add("off-curve", off_curve);
    t.add("bad-prefix", cat({byte(5), Bytes(ms[0].pub65.begin() + 1, ms[0].pub65.begin() + 33)}));
    // Keys from the Wycheproof groups, a few of them.
    const auto doc = load_json_vectors("wycheproof/ecdsa_secp256k1_sha256_test.json");
    const auto& groups = doc["testGroups"].array();
    for (size_t i = 0; i < groups.size(); i += 12) t.add("wycheproof-key", from_hex(groups[i]["publicKey"]["uncompressed"].str()));
}

void make_seckey(Corpus& corpus) {
    Target t(corpus, "seckey");
    const auto rows = bip340_rows();
    std::vector<Bytes> keys;
    for (const auto& r : rows)
        if (!r.key.empty()) keys.push_back(r.key);
    for (const auto& c : rfc6979_cases()) keys.push_back(c.key);
    for (size_t i = 0; i < keys.size(); ++i) t.add("key-and-tweak", cat({keys[i], keys[(i + 1) % keys.size()]}));
    Bytes neg = keys[0];
    qorvex_seckey_negate(ctx(), neg.data());
    t.add("tweak-is-negation", cat({keys[0], neg}));
    t.add("zero-key", cat({kZero32, keys[0]}));
    t.add("key-n", cat({kOrder, keys[0]}));
    t.add("key-n-minus-1", cat({kOrderMinus1, kOrderMinus1}));
    t.add("tweak-zero", cat({keys[1], kZero32}));
    t.add("tweak-n", cat({keys[1], kOrder}));
    t.add("all-ones", cat({kOnes32, kOnes32}));
}

void make_ecdsa_der(Corpus& corpus) {
    Target t(corpus, "ecdsa_der");
    const auto rfc = load_json_vectors("rfc6979/rfc6979_secp256k1_sha256.json");
    for (const auto& c : rfc["cases"].array())
        t.add("rfc6979", from_hex(c["signature_der"].str()));
    // One signature per kind of Wycheproof test, the short ones.
    std::map<std::string, bool> seen;
    for (const char* file : {"wycheproof/ecdsa_secp256k1_sha256_test.json", "wycheproof/ecdsa_secp256k1_sha256_bitcoin_test.json"}) {
        const auto doc = load_json_vectors(file);
        for (const auto& g : doc["testGroups"].array()) {
            for (const auto& test : g["tests"].array()) {
                const std::string kind = test["comment"].str();
                const Bytes sig = from_hex(test["sig"].str());
                if (seen[kind] || sig.size() > 80 || seen.size() >= 45) continue;
                seen[kind] = true;
                t.add("wycheproof-" + test["result"].str(), sig);
            }
        }
    }
}

void make_ecdsa_verify(Corpus& corpus) {
    Target t(corpus, "ecdsa_verify");
    for (const auto& c : rfc6979_cases()) {
        Bytes sig(64);
        qorvex_ecdsa_sign(ctx(), c.hash.data(), c.key.data(), sig.data());
        t.add("rfc6979-valid", cat({byte(0), c.hash, sig, pubkey33(c.key)}));
        t.add("rfc6979-signed", cat({byte(1), c.key, c.hash}));
        t.add("rfc6979-signed-flip", cat({byte(1), c.key, c.hash, byte(40), byte(0x80)}));
    }
    for (const char* file : {"wycheproof/ecdsa_secp256k1_sha256_test.json", "wycheproof/ecdsa_secp256k1_sha256_bitcoin_test.json"}) {
        size_t taken = 0;
        const auto doc = load_json_vectors(file);
        for (const auto& g : doc["testGroups"].array()) {
            const Bytes pub = compress(from_hex(g["publicKey"]["uncompressed"].str()));
            for (const auto& test : g["tests"].array()) {
                const Bytes sig = compact_from_der(from_hex(test["sig"].str()));
                if (sig.empty() || taken >= 12) continue;
                ++taken;
                t.add("wycheproof-" + test["result"].str(), cat({byte(0), sha256(from_hex(test["msg"].str())), sig, pub}));
                break;
            }
        }
    }
}

void make_ecdsa_recover(Corpus& corpus) {
    Target t(corpus, "ecdsa_recover");
    for (const auto& c : rfc6979_cases()) {
        Bytes sig(64);
        int recid = 0;
        qorvex_ecdsa_sign_recoverable(ctx(), c.hash.data(), c.key.data(), sig.data(), &recid);
        t.add("rfc6979", cat({byte(0), c.hash, sig, byte(static_cast<uint8_t>(recid + 1))}));
        t.add("rfc6979-other-id", cat({byte(0), c.hash, sig, byte(static_cast<uint8_t>(((recid + 1) % 4) + 1))}));
        t.add("rfc6979-signed", cat({byte(1), c.key, c.hash}));
    }
    t.add("bad-id", cat({byte(0), kZero32, kOrderMinus1, kOrderMinus1, byte(0)}));
    t.add("r-plus-n-id", cat({byte(0), kZero32, Bytes(31, 0), byte(1), kOrderMinus1, byte(3)}));
}

void make_ecdsa_sign(Corpus& corpus) {
    Target t(corpus, "ecdsa_sign");
    for (const auto& c : rfc6979_cases()) t.add("rfc6979", cat({c.key, c.hash, c.key}));
    for (const auto& r : bip340_rows())
        if (!r.key.empty() && r.msg.size() == 32) t.add("bip340-key", cat({r.key, r.msg, r.aux}));
    t.add("key-n-minus-1", cat({kOrderMinus1, kOnes32, kZero32}));
    t.add("key-n", cat({kOrder, kOnes32, kZero32}));
}

void make_schnorr_verify(Corpus& corpus) {
    Target t(corpus, "schnorr_verify");
    for (const auto& r : bip340_rows()) {
        if (r.msg.size() == 32) t.add("bip340-" + r.index, cat({byte(0), r.msg, r.sig, r.pub}));
        else t.add("bip340-long-" + r.index, cat({byte(0), Bytes(32, 0), r.sig, r.pub, r.msg}));
        if (!r.key.empty() && r.msg.size() == 32) {
            t.add("bip340-signed-" + r.index, cat({byte(1), r.key, r.aux, r.msg}));
            t.add("bip340-signed-flip-" + r.index, cat({byte(1), r.key, r.aux, r.msg, byte(70), byte(1)}));
        }
    }
}

void make_schnorr_sign(Corpus& corpus) {
    Target t(corpus, "schnorr_sign");
    for (const auto& r : bip340_rows()) {
        if (r.key.empty()) continue;
        if (r.msg.size() == 32) t.add("bip340-" + r.index, cat({r.key, r.aux, r.msg}));
        else t.add("bip340-long-" + r.index, cat({r.key, r.aux, Bytes(32, 0), r.msg}));
        t.add("bip340-with-text-" + r.index, cat({r.key, r.aux, sha256(r.key), text("message of any length")}));
    }
    t.add("key-n", cat({kOrder, kZero32, kZero32}));
}

void make_eth(Corpus& corpus) {
    Target t(corpus, "eth");
    const uint64_t chains[] = {0, 1, 56, 137, 0x7FFFFFFFull};
    size_t i = 0;
    for (const auto& c : rfc6979_cases()) {
        const uint64_t chain = chains[i++ % 5];
        t.add("sign", cat({byte(1), c.key, c.hash, le64(chain)}));
        Bytes r(32), s(32);
        uint64_t v = 0;
        qorvex_eth_sign(ctx(), c.hash.data(), c.key.data(), r.data(), s.data(), &v, chain);
        t.add("ecrecover", cat({byte(0), c.hash, r, s, le64(v)}));
        t.add("ecrecover-v-flipped", cat({byte(0), c.hash, r, s, le64(v ^ 1)}));
        t.add("address", cat({byte(2), pubkey33(c.key)}));
    }
    t.add("ecrecover-v-26", cat({byte(0), kZero32, kOrderMinus1, kOrderMinus1, le64(26)}));
    t.add("ecrecover-r-is-n", cat({byte(0), kZero32, kOrder, kOrderMinus1, le64(27)}));
    t.add("address-bad-key", cat({byte(2), byte(2), kP}));
    t.add("personal-empty", byte(3));
    t.add("personal-hello", cat({byte(3), text("hello")}));
    const auto eip55 = load_json_vectors("eip55/eip55_vectors.json");
    for (const auto& g : eip55["groups"].array())
        t.add("personal-address-text", cat({byte(3), text(g["addresses"][0].str())}));
}

void make_hashes(Corpus& corpus) {
    Target t(corpus, "hashes");
    const std::string tags[] = {"BIP0340/challenge", "", "TapLeaf", "BIP0340/msg"};
    size_t i = 0;
    const auto doc = load_json_vectors("hashes/hash_known_answers.json");
    const auto& algorithms = doc["algorithms"];
    for (const char* alg : {"sha256", "sha512", "ripemd160", "keccak256"}) {
        for (const auto& c : algorithms[alg].array()) {
            if (!c.has("message")) continue;
            const Bytes msg = from_hex(c["message"].str());
            if (msg.size() > 300) continue;
            const std::string& tag = tags[i % 4];
            t.add(alg, cat({byte(static_cast<uint8_t>(tag.size())), text(tag), byte(static_cast<uint8_t>(i * 5)),
                            byte(static_cast<uint8_t>(i * 11)), msg}));
            ++i;
        }
    }
}

// --- Transaction ids, digests and Taproot keys ---

// Deterministic filler bytes: a SHA-256 chain from a label.
Bytes filler(const std::string& label, size_t n) {
    Bytes out;
    Bytes block = sha256(text(label));
    while (out.size() < n) {
        out.insert(out.end(), block.begin(), block.end());
        block = sha256(block);
    }
    out.resize(n);
    return out;
}

void make_bip144(Corpus& corpus) {
    Target t(corpus, "bip144");
    const auto v = load_json_vectors("bip143/bip143_vectors.json");
    for (const auto& ex : v["examples"].array())
        for (const char* key : {"signed_tx", "signed_tx_swapped", "tx", "unsigned_tx"})
            if (ex.has(key)) t.add(std::string("bip143-") + key, cat({byte(0), from_hex(ex[key].str())}));
    const auto k = load_json_vectors("bip341/wallet-test-vectors.json")["keyPathSpending"][static_cast<size_t>(0)];
    const Bytes bip341_tx = from_hex(k["given"]["rawUnsignedTx"].str());
    t.add("bip341-unsigned", cat({byte(0), bip341_tx}));
    t.add("bip341-truncated", cat({byte(0), Bytes(bip341_tx.begin(), bip341_tx.end() - 1)}));
    t.add("nine-bytes", cat({byte(0), Bytes(9, 0)}));
    t.add("ten-bytes", cat({byte(0), from_hex("02000000000011223344")}));
    for (const size_t n : {size_t{40}, size_t{300}, size_t{900}}) t.add("built", cat({byte(1), filler("bip144-" + std::to_string(n), n)}));
}

void make_tx_sighash(Corpus& corpus) {
    Target t(corpus, "tx_sighash");
    for (const size_t n : {size_t{0}, size_t{120}, size_t{400}, size_t{800}, size_t{1500}})
        t.add("filler", filler("tx_sighash-" + std::to_string(n), n));
}

void make_taproot(Corpus& corpus) {
    Target t(corpus, "taproot");
    const auto v = load_json_vectors("bip341/wallet-test-vectors.json");
    auto root_field = [](const qorvex::test::Json& j) {
        return j.is_null() ? cat({byte(0), kZero32}) : cat({byte(32), from_hex(j.str())});
    };
    for (const auto& c : v["scriptPubKey"].array())
        t.add("bip341-output-key",
              cat({byte(0), from_hex(c["given"]["internalPubkey"].str()), root_field(c["intermediary"]["merkleRoot"])}));
    for (const auto& in : v["keyPathSpending"][static_cast<size_t>(0)]["inputSpending"].array())
        t.add("bip341-private-key",
              cat({byte(1), from_hex(in["given"]["internalPrivkey"].str()), root_field(in["given"]["merkleRoot"])}));
    t.add("zero-key", cat({byte(0), kZero32, byte(0), kZero32}));
    t.add("x-is-p", cat({byte(0), kP, byte(32), kOnes32}));
    t.add("short-root", cat({byte(0), from_hex(v["scriptPubKey"][static_cast<size_t>(0)]["given"]["internalPubkey"].str()),
                             byte(5), kOnes32}));
    t.add("key-n", cat({byte(1), kOrder, byte(0), kZero32}));
}

// --- Wallet formats ---

std::string wif_of(const Bytes& key, int compressed, int network) {
    char text[QORVEX_WIF_MAX_SIZE];
    size_t len = sizeof text;
    if (qorvex_wif_encode(ctx(), key.data(), compressed, network, text, &len) != QORVEX_OK) std::abort();
    return std::string(text, len);
}

void make_wif(Corpus& corpus) {
    Target t(corpus, "wif");
    size_t i = 0;
    for (const auto& c : rfc6979_cases()) {
        const int compressed = static_cast<int>(i & 1), network = static_cast<int>((i >> 1) & 1);
        t.add("text", cat({byte(0), text(wif_of(c.key, compressed, network))}));
        t.add("encode", cat({byte(1), c.key, byte(static_cast<uint8_t>(compressed)), byte(static_cast<uint8_t>(network))}));
        t.add("tampered", cat({byte(2), c.key, byte(1), byte(0), byte(static_cast<uint8_t>(i * 7)), byte(0x01)}));
        ++i;
    }
    const auto bip85 = load_json_vectors("bip85/bip85_vectors.json");
    for (const auto& c : bip85["cases"].array())
        if (c.has("derived_wif")) t.add("bip85-wif", cat({byte(0), text(c["derived_wif"].str())}));
    t.add("key-n", cat({byte(0), text("L5oLkpV3aqBjhki6LmvChTCV6odsp4SXM6FfU2Gppt5kFqRzExJJ")}));
    t.add("encode-key-n", cat({byte(1), kOrder, byte(1), byte(0)}));
    t.add("encode-bad-network", cat({byte(1), kOrderMinus1, byte(1), byte(0xFF)}));
    t.add("address", cat({byte(0), text("1BgGZ9tcN4rm9KBzDn7KprQz87SZ26SAMH")}));
}

void make_bip32_text(Corpus& corpus) {
    Target t(corpus, "bip32_text");
    const auto doc = load_json_vectors("bip32/bip32_vectors.json");
    for (const auto& v : doc["valid"].array()) {
        const Bytes seed = from_hex(v["seed"].str());
        for (const auto& ch : v["chains"].array()) {
            t.add("xprv", cat({byte(0), text(ch["ext_prv"].str())}));
            t.add("xpub", cat({byte(0), text(ch["ext_pub"].str())}));
            t.add("seed-and-path", cat({byte(1), byte(static_cast<uint8_t>(seed.size() - 16)), seed, text(ch["chain"].str())}));
            qorvex_bip32_key k;
            if (qorvex_bip32_from_base58(ctx(), ch["ext_pub"].str().c_str(), &k) != QORVEX_OK) std::abort();
            t.add("xpub-record", cat({byte(2), Bytes(k.data, k.data + 82), Bytes{0, 0, 0, 5}}));
            if (qorvex_bip32_from_base58(ctx(), ch["ext_prv"].str().c_str(), &k) != QORVEX_OK) std::abort();
            t.add("xprv-record", cat({byte(2), Bytes(k.data, k.data + 82), Bytes{0x80, 0, 0, 1}}));
        }
    }
    for (const auto& v : doc["invalid"].array()) t.add("invalid", cat({byte(0), text(v["ext_key"].str())}));
    const Bytes seed16(16, 0x42);
    for (const char* path : {"m", "m/0'/1h/2H/3", "m/2147483647'", "m/2147483648", "m//0", "m/0/", "M/0", "m/007"})
        t.add("path", cat({byte(1), byte(0), seed16, text(path)}));
}

void make_mnemonic(Corpus& corpus) {
    Target t(corpus, "mnemonic");
    const auto doc = load_json_vectors("bip39/vectors.json");
    size_t i = 0;
    for (const auto& v : doc["english"].array()) {
        const std::string m = v[1].str();
        t.add("english", cat({byte(i % 8 == 0 ? 0x80 : 0), text(m)}));
        const Bytes e = from_hex(v[0].str());
        t.add("entropy", cat({byte(1), byte(static_cast<uint8_t>((e.size() - 16) / 4)), e, byte(static_cast<uint8_t>(i * 9)), byte(0x20)}));
        ++i;
    }
    const std::string m = doc["english"][0][1].str();
    t.add("spaced", cat({byte(0), text("\t  " + m + " \n")}));
    t.add("upper", cat({byte(0), text("ABANDON" + m.substr(7))}));
    t.add("thirteen", cat({byte(0), text(m + " abandon")}));
    t.add("japanese", cat({byte(0), text(doc["japanese"][0][1].str())}));
    const auto bip85 = load_json_vectors("bip85/bip85_vectors.json");
    for (const auto& c : bip85["cases"].array())
        if (c.has("derived_bip39_mnemonic")) t.add("bip85", cat({byte(0), text(c["derived_bip39_mnemonic"].str())}));
}

void make_segwit(Corpus& corpus) {
    Target t(corpus, "segwit");
    const auto doc = load_json_vectors("bech32/bech32_vectors.json");
    for (const char* list : {"segwit_addresses_bip173_valid", "segwit_addresses_bip350_valid"})
        for (const auto& v : doc[list].array()) t.add("script", cat({byte(0), from_hex(v["scriptPubKey"].str())}));
    t.add("p2pkh-script", cat({byte(0), from_hex("76a914751e76e8199196d454941c45d1b3a323f1433bd688ac")}));
    t.add("op-0x50", cat({byte(0), from_hex("5002751e")}));
    t.add("push-1", cat({byte(0), from_hex("0001aa")}));
    t.add("empty-script", byte(0));
    const Bytes g = from_hex(doc["bip173_examples"]["public_key"].str());
    for (const uint8_t net : {0, 1, 2}) t.add("key", cat({byte(1), g, byte(net)}));
    for (const auto& c : rfc6979_cases()) t.add("key", cat({byte(1), pubkey33(c.key), byte(0)}));
    t.add("key-uncompressed-prefix", cat({byte(1), byte(4), Bytes(g.begin() + 1, g.end()), byte(0)}));
    for (const auto& r : bip340_rows())
        if (r.pub.size() == 32) t.add("xonly", cat({byte(2), r.pub, byte(static_cast<uint8_t>(r.index.size() & 1))}));
    t.add("xonly-zero", cat({byte(2), kZero32, byte(0)}));
}

// --- Signed messages ---

// A WIF private key's 32 bytes.
Bytes wif_key(const std::string& wif) {
    Bytes key(32);
    int compressed = 0, network = 0;
    if (qorvex_wif_decode(ctx(), wif.c_str(), key.data(), &compressed, &network) != QORVEX_OK) std::abort();
    return key;
}

// A length byte and the bytes, cut to 255.
Bytes sized(const Bytes& b) {
    const Bytes cut(b.begin(), b.begin() + static_cast<std::ptrdiff_t>(std::min<size_t>(b.size(), 255)));
    return cat({byte(static_cast<uint8_t>(cut.size())), cut});
}

void make_bip322_simple(Corpus& corpus) {
    Target t(corpus, "bip322_simple");
    for (const char* file : {"bip322/basic-test-vectors.json", "bip322/generated-test-vectors.json"}) {
        const auto v = load_json_vectors(file);
        for (const auto& c : v["simple"].array()) {
            const Bytes msg = text(c["message"].str());
            for (const auto& sig : c["bip322_signatures"].array())
                t.add("simple", cat({byte(0), sized(text(c["address"].str())), sized(msg), text(sig.str())}));
            if (c["private_keys"].size() != 1) continue;
            const Bytes key = wif_key(c["private_keys"][0].str());
            const uint8_t type = c["type"].str() == "p2tr" ? 0 : 1;
            t.add("signed", cat({byte(1), key, byte(type), byte(0), kZero32, sized(msg)}));
            t.add("signed-flip", cat({byte(1), key, byte(type), byte(1), kOnes32, sized(msg), byte(9), byte(1)}));
        }
        for (const auto& c : v["error"].array())
            t.add("error", cat({byte(0), sized(text(c["address"].str())), sized(text(c["message"].str())),
                                text(c["signature"].str())}));
    }
}

void make_messages(Corpus& corpus) {
    Target t(corpus, "messages");
    const std::string texts[] = {"", "Hello World", std::string(200, 'm')};
    size_t i = 0;
    for (const auto& c : rfc6979_cases()) {
        const Bytes msg = text(texts[i++ % 3]);
        t.add("legacy-signed", cat({byte(1), c.key, sized(msg)}));
        t.add("legacy-signed-flip", cat({byte(1), c.key, sized(msg), byte(0), byte(3)}));
        char sig[QORVEX_BTC_MESSAGE_SIG_TEXT_SIZE];
        size_t len = sizeof sig;
        static const uint8_t kAny = 0;
        if (qorvex_btc_message_sign(ctx(), msg.empty() ? &kAny : msg.data(), msg.size(), c.key.data(), sig, &len) !=
            QORVEX_OK)
            std::abort();
        t.add("legacy", cat({byte(0), pubkey33(c.key), sized(msg), text(std::string(sig, len))}));
        for (const int type : {1, 2}) {
            t.add("bip322-signed", cat({byte(3), c.key, byte(static_cast<uint8_t>(type)), msg}));
            Bytes s(65);
            size_t n = s.size();
            if (qorvex_bip322_sign(ctx(), c.key.data(), type, msg.empty() ? nullptr : msg.data(), msg.size(), s.data(),
                                   &n) != QORVEX_OK)
                std::abort();
            s.resize(n);
            Bytes pub = pubkey33(c.key);
            if (type == 2) pub.erase(pub.begin());
            t.add("bip322", cat({byte(2), byte(static_cast<uint8_t>(type)), byte(static_cast<uint8_t>(pub.size())), pub,
                                 byte(static_cast<uint8_t>(n)), s, msg}));
        }
    }
    t.add("legacy-key-n", cat({byte(1), kOrder, byte(0)}));
}

// --- MuSig2 and FROST ---

void make_musig2(Corpus& corpus) {
    Target t(corpus, "musig2");
    const auto doc = load_json_vectors("bip327/sign_verify_vectors.json");
    const Bytes sk = from_hex(doc["sk"].str());
    const Bytes secnonce97 = from_hex(doc["secnonces"][0].str());
    const Bytes secnonce(secnonce97.begin(), secnonce97.begin() + 64);
    for (const auto& c : doc["valid_test_cases"].array()) {
        const Bytes msg = from_hex(doc["msgs"][static_cast<size_t>(c["msg_index"].integer())].str());
        if (msg.size() != 32) continue;
        Bytes keys, nonces;
        for (const auto& i : c["key_indices"].array()) keys = cat({keys, from_hex(doc["pubkeys"][static_cast<size_t>(i.integer())].str())});
        for (const auto& i : c["nonce_indices"].array()) nonces = cat({nonces, from_hex(doc["pnonces"][static_cast<size_t>(i.integer())].str())});
        const size_t n = keys.size() / 33;
        const size_t signer = static_cast<size_t>(c["signer_index"].integer());
        const Bytes aggnonce = from_hex(doc["aggnonces"][static_cast<size_t>(c["aggnonce_index"].integer())].str());
        Bytes keyagg(165), agg(32), session(165);
        qorvex_musig2_key_agg(ctx(), keys.data(), n, keyagg.data(), agg.data());
        qorvex_musig2_start_sign_session(ctx(), aggnonce.data(), keyagg.data(), msg.data(), session.data());
        const Bytes psig = from_hex(c["expected"].str());
        const Bytes xonly(keys.begin() + static_cast<std::ptrdiff_t>(33 * signer + 1),
                          keys.begin() + static_cast<std::ptrdiff_t>(33 * signer + 33));
        // The raw layout verifies against the first public nonce: the
        // signer's goes first (the sum does not change).
        Bytes ordered;
        for (size_t i = 0; i < n; ++i) {
            const size_t j = i == 0 ? signer : (i <= signer ? i - 1 : i);
            ordered = cat({ordered, Bytes(nonces.begin() + static_cast<std::ptrdiff_t>(66 * j),
                                          nonces.begin() + static_cast<std::ptrdiff_t>(66 * j + 66))});
        }
        t.add("bip327-sign", cat({byte(0), byte(static_cast<uint8_t>(n)), keys, byte(static_cast<uint8_t>(n)), ordered,
                                  aggnonce, keyagg, session, byte(1), psig, xonly, msg,
                                  byte(static_cast<uint8_t>(signer)), sk, secnonce}));
    }
    const auto agg_doc = load_json_vectors("bip327/key_agg_vectors.json");
    for (const auto& c : agg_doc["error_test_cases"].array()) {
        Bytes keys;
        for (const auto& i : c["key_indices"].array()) keys = cat({keys, from_hex(agg_doc["pubkeys"][static_cast<size_t>(i.integer())].str())});
        t.add("bip327-keyagg-error", cat({byte(0), byte(static_cast<uint8_t>(keys.size() / 33)), keys}));
    }
    const auto nonce_doc = load_json_vectors("bip327/nonce_agg_vectors.json");
    for (const char* group : {"valid_test_cases", "error_test_cases"}) {
        for (const auto& c : nonce_doc[group].array()) {
            Bytes nonces;
            for (const auto& i : c["pnonce_indices"].array()) nonces = cat({nonces, from_hex(nonce_doc["pnonces"][static_cast<size_t>(i.integer())].str())});
            t.add("bip327-nonceagg", cat({byte(0), byte(0), byte(2), nonces}));
        }
    }
    // Real runs, untouched and with each blob flipped.
    for (uint8_t region = 0; region < 5; ++region) {
        for (uint8_t n = 0; n < 2; ++n) {
            const Bytes run = filler("musig2 run " + std::to_string(region) + std::to_string(n), 32 * 3 + 32 + 32 * 3);
            t.add("run", cat({byte(1), byte(n), run, byte(region)}));
            t.add("run-flipped", cat({byte(1), byte(n), run, byte(region), byte(static_cast<uint8_t>(17 + region * 29)), byte(0x40)}));
        }
    }
}

void make_frost(Corpus& corpus) {
    Target t(corpus, "frost");
    // A real 2-of-3 key generation and signing by 1 and 2, laid out raw.
    const uint32_t th = 2, n = 3;
    const size_t cs = 33 * th + 72;
    Bytes commits(cs * n), all_shares(36 * n * n);
    for (uint32_t id = 1; id <= n; ++id) {
        const Bytes seed = filler("frost seed " + std::to_string(id), 32);
        size_t cl = cs, sl = 36 * n;
        qorvex_frost_keygen_begin(ctx(), id, th, n, seed.data(), commits.data() + cs * (id - 1), &cl,
                                  all_shares.data() + 36 * n * (id - 1), &sl);
    }
    Bytes mine;
    for (uint32_t m = 0; m < n; ++m) mine = cat({mine, Bytes(all_shares.begin() + static_cast<std::ptrdiff_t>(36 * n * m), all_shares.begin() + static_cast<std::ptrdiff_t>(36 * n * m + 36))});
    Bytes keypkg(141);
    qorvex_frost_keygen_finalize(ctx(), 1, commits.data(), commits.size(), mine.data(), mine.size(), th, n, keypkg.data());
    Bytes nonce(64), list(140), other(64), psigs(72);
    const Bytes s1 = filler("frost nonce 1", 32), s2 = filler("frost nonce 2", 32), msg = filler("frost msg", 32);
    qorvex_frost_sign_nonce_gen(ctx(), 1, s1.data(), nonce.data(), list.data());
    qorvex_frost_sign_nonce_gen(ctx(), 2, s2.data(), other.data(), list.data() + 70);
    Bytes nonce_copy = nonce;
    qorvex_frost_sign(ctx(), keypkg.data(), nonce_copy.data(), msg.data(), list.data(), 2, psigs.data());
    const Bytes share(keypkg.begin() + 44, keypkg.begin() + 77), group(keypkg.begin() + 77, keypkg.begin() + 110);
    t.add("raw-2-of-3", cat({byte(0), byte(th), byte(n), byte(1), commits, mine, keypkg, nonce, byte(2), list, psigs, share, group, msg}));
    t.add("raw-wrong-t", cat({byte(0), byte(3), byte(n), byte(1), commits, mine, keypkg, nonce, byte(2), list, psigs, share, group, msg}));
    // Nothing at all: every count zero, every list empty.
    t.add("empty", Bytes{});
    t.add("raw-one-signer", cat({byte(0), byte(th), byte(n), byte(2), commits, mine, keypkg, nonce, byte(1), list, psigs, share, group, msg}));
    // Real runs, untouched and with each blob flipped.
    for (uint8_t region = 0; region < 6; ++region) {
        for (uint8_t shape = 0; shape < 2; ++shape) {
            const Bytes run = filler("frost run " + std::to_string(region) + std::to_string(shape), 32 * 3 + 32 + 32 * 3);
            t.add("run", cat({byte(1), byte(shape), byte(1), run, byte(region)}));
            t.add("run-flipped", cat({byte(1), byte(shape), byte(1), run, byte(region), byte(static_cast<uint8_t>(5 + region * 23)), byte(0x08)}));
        }
    }
}

// --- ECDH, ECIES, commitments, proofs and adaptor signatures ---

void make_ecies_decrypt(Corpus& corpus) {
    Target t(corpus, "ecies_decrypt");
    const auto cases = rfc6979_cases();
    const auto hkdf = load_json_vectors("rfc5869/rfc5869_hkdf_sha256.json");
    for (size_t i = 0; i < cases.size(); ++i) {
        const Bytes& key = cases[i].key;
        const Bytes msg = from_hex(hkdf["cases"][i % 3]["okm"].str());
        t.add("sealed", cat({byte(1), key, byte(static_cast<uint8_t>(msg.size() - 1)), msg}));
        t.add("sealed-flip", cat({byte(1), key, byte(static_cast<uint8_t>(msg.size() - 1)), msg, byte(50), byte(0x80)}));
        t.add("sealed-flip-tag", cat({byte(1), key, byte(0), byte(0x61), byte(81), byte(1)}));
    }
    // Raw envelopes: too short, the shortest, and one whose E does not parse.
    const Bytes& key = cases[0].key;
    t.add("raw-81", cat({byte(0), key, Bytes(81, 0)}));
    t.add("raw-82", cat({byte(0), key, pubkey33(cases[1].key), Bytes(49, 0)}));
    t.add("raw-bad-e", cat({byte(0), key, byte(2), kP, Bytes(60, 7)}));
    t.add("raw-key-n", cat({byte(0), kOrder, pubkey33(cases[1].key), Bytes(60, 7)}));
}

void make_zk_verify(Corpus& corpus) {
    Target t(corpus, "zk_verify");
    const auto cases = rfc6979_cases();
    for (size_t i = 0; i < cases.size(); ++i) {
        const Rfc6979Case& c = cases[i];
        const Bytes& b = cases[(i + 1) % cases.size()].key;
        t.add("proved", cat({byte(1), c.key, c.hash, c.hash, b}));
        t.add("proved-flip", cat({byte(1), c.key, c.hash, c.hash, b, byte(40), byte(2)}));
        t.add("proved-flip-statement", cat({byte(1), c.key, c.hash, c.hash, b, byte(64), byte(1)}));
    }
    const Bytes g = pubkey33(cases[0].key);
    t.add("raw-zero-proof", cat({byte(0), Bytes(64, 0), g, kZero32, g, g, g, g}));
    t.add("raw-s-is-n", cat({byte(0), kOnes32, kOrder, g, kZero32, g, g, g, g}));
    t.add("raw-bad-point", cat({byte(0), kOnes32, kOnes32, byte(2), kP, kZero32}));
}

void make_adaptor_verify(Corpus& corpus) {
    Target t(corpus, "adaptor_verify");
    for (const auto& r : bip340_rows()) {
        if (r.key.empty() || r.msg.size() != 32) continue;
        const Bytes adaptor_secret = sha256(r.key);
        t.add("signed-" + r.index, cat({byte(1), r.key, adaptor_secret, r.msg, r.aux}));
        t.add("signed-flip-" + r.index, cat({byte(1), r.key, adaptor_secret, r.msg, r.aux, byte(65), byte(3)}));
        t.add("signed-flip-r-" + r.index, cat({byte(1), r.key, adaptor_secret, r.msg, r.aux, byte(0), byte(1)}));
    }
    const auto rows = bip340_rows();
    const Bytes g = pubkey33(rows[0].key);
    t.add("raw-zero", cat({byte(0), Bytes(97, 0), kZero32, kZero32, g}));
    t.add("raw-s-is-n", cat({byte(0), g, kOrder, Bytes(32, 0), rows[0].pub, rows[0].msg, g}));
}

void make_pedersen(Corpus& corpus) {
    Target t(corpus, "pedersen");
    const auto cases = rfc6979_cases();
    for (size_t i = 0; i < cases.size(); ++i) {
        const Bytes& a = cases[i].key;
        const Bytes& b = cases[(i + 1) % cases.size()].key;
        const Bytes& h = cases[i].hash;
        t.add("balanced", cat({byte(1), a, b, h, b, h, a}));
        t.add("balanced-flip", cat({byte(1), a, b, h, b, h, a, byte(34), byte(4)}));
        t.add("balanced-negate", cat({byte(1), a, b, h, b, h, a, byte(0), byte(1), byte(33), byte(1)}));
    }
    const Bytes c1 = pubkey33(cases[0].key), c2 = pubkey33(cases[1].key);
    t.add("raw-verify-sums", cat({byte(0), c1, kZero32, kOrderMinus1, byte(2), byte(2), c1, c2, c2, c1}));
    t.add("raw-zero-commitment", cat({byte(0), Bytes(33, 0), kZero32, kZero32, byte(1), byte(0), Bytes(33, 0)}));
    t.add("raw-value-n", cat({byte(0), c1, kOrder, kZero32, byte(0), byte(0)}));
}

// --- Range proofs ---

void make_rangeproof_verify(Corpus& corpus) {
    Target t(corpus, "rangeproof_verify");
    const auto cases = rfc6979_cases();
    const uint64_t values[] = {0, 1, uint64_t{1} << 63, ~uint64_t{0}};
    for (size_t i = 0; i < 4 && i < cases.size(); ++i) {
        const Bytes head = cat({byte(1), le64(values[i]), cases[i].key, cases[i].hash});
        const std::string n = std::to_string(i);
        t.add("proved-" + n, head);
        t.add("proved-flip-" + n, cat({head, byte(static_cast<uint8_t>(40 * i + 7)), byte(1)}));
    }
    t.add("proved-zero-zero", cat({byte(1), le64(0), kZero32, kZero32}));
    // A valid proof given raw, then cut, lengthened and spoilt.
    const Bytes& key = cases[0].key;
    Bytes v32(32, 0);
    v32[31] = 5;
    Bytes com(33), proof(QORVEX_ZK_RANGE_PROOF_SIZE);
    size_t len = proof.size();
    if (qorvex_pedersen_commit(ctx(), v32.data(), key.data(), com.data()) != QORVEX_OK ||
        qorvex_zk_range_prove(ctx(), 5, key.data(), com.data(), cases[0].hash.data(), proof.data(), &len) !=
            QORVEX_OK)
        std::abort();
    t.add("raw-valid", cat({byte(0), com, proof}));
    t.add("raw-short", cat({byte(0), com, Bytes(proof.begin(), proof.end() - 1)}));
    t.add("raw-long", cat({byte(0), com, proof, byte(0)}));
    Bytes bad = proof;
    bad[0] = 0x04;
    t.add("raw-bad-point", cat({byte(0), com, bad}));
    bad = proof;
    std::fill(bad.begin() + 196, bad.begin() + 228, 0xFF);
    t.add("raw-bad-scalar", cat({byte(0), com, bad}));
    t.add("raw-zero-commitment", cat({byte(0), Bytes(33, 0), proof}));
}

// --- Block filters and SNARK witnesses ---

Bytes le16(uint16_t v) { return Bytes{static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)}; }

// One gcs input: mode, key, count (u16, or u64 with mode bit 1), the
// candidates with their length bytes, the filter.
Bytes gcs_input(uint8_t mode, const Bytes& key, uint64_t n, const std::vector<Bytes>& candidates,
                const Bytes& filter) {
    Bytes out = cat({byte(mode), key, (mode & 2) ? le64(n) : le16(static_cast<uint16_t>(n)),
                     byte(static_cast<uint8_t>(candidates.size()))});
    for (const Bytes& c : candidates) out = cat({out, byte(static_cast<uint8_t>(c.size())), c});
    return cat({out, filter});
}

void make_gcs(Corpus& corpus) {
    Target t(corpus, "gcs");
    const auto rows = load_json_vectors("bip158/testnet-19.json");
    for (size_t i = 1; i < rows.size(); ++i) {
        const Bytes block = from_hex(rows[i][2].str());
        const Bytes header(block.begin(), block.begin() + 80);
        const Bytes hash = sha256(sha256(header));
        const Bytes key(hash.begin(), hash.begin() + 16);
        const Bytes serialized = from_hex(rows[i][5].str());
        const uint64_t n = serialized[0];
        const Bytes filter(serialized.begin() + 1, serialized.end());
        // The spent scripts short enough to be candidates, and one that is
        // in no filter.
        std::vector<Bytes> candidates;
        for (const auto& s : rows[i][3].array()) {
            const Bytes script = from_hex(s.str());
            if (script.size() < 64 && candidates.size() < 14) candidates.push_back(script);
        }
        candidates.push_back(from_hex("0014000102030405060708090a0b0c0d0e0f10111213"));
        const std::string height = std::to_string(rows[i][static_cast<size_t>(0)].integer());
        t.add("bip158-" + height, gcs_input(0, key, n, candidates, filter));
        if (!filter.empty()) {
            t.add("bip158-cut-" + height, gcs_input(1, key, n, candidates, Bytes(filter.begin(), filter.end() - 1)));
            t.add("bip158-padded-" + height, gcs_input(1, key, n, candidates, cat({filter, Bytes(9, 0xFF)})));
        }
    }
    const Bytes key = from_hex("000102030405060708090a0b0c0d0e0f");
    const std::vector<Bytes> few = {text("a"), Bytes{}, from_hex("51"), text("filter element")};
    t.add("all-ones", gcs_input(1, key, 3, few, Bytes(40, 0xFF)));
    t.add("all-zeros", gcs_input(1, key, 30, few, Bytes(80, 0x00)));
    t.add("absurd-count", gcs_input(3, key, 0xFFFFFFFFFFFFFFFFull, few, Bytes(16, 0x5A)));
    t.add("count-just-too-large", gcs_input(3, key, 11, few, Bytes(25, 0x00)));
    t.add("empty-set", gcs_input(4, key, 0, {Bytes{}}, Bytes{}));
    t.add("build-only", gcs_input(0, key, 0, few, Bytes{}));
}

void make_snark_witness(Corpus& corpus) {
    Target t(corpus, "snark_witness");
    for (const auto& c : rfc6979_cases()) {
        t.add("rfc6979-signed", cat({byte(1), c.key, c.hash}));
        t.add("rfc6979-signed-flip", cat({byte(1), c.key, c.hash, byte(5), byte(0x01)}));
        t.add("rfc6979-signed-flip-s", cat({byte(1), c.key, c.hash, byte(64), byte(0x80)}));
    }
    // The BIP-340 rows as given; the key's prefix is arbitrary for ECDSA.
    for (const auto& r : bip340_rows())
        if (r.msg.size() == 32) t.add("bip340-" + r.index, cat({byte(0), r.msg, r.sig, byte(2), r.pub}));
    t.add("r-zero", cat({byte(0), kOnes32, kZero32, kOrderMinus1, byte(3), kOnes32}));
    t.add("s-is-n", cat({byte(0), kOnes32, kOrderMinus1, kOrder, byte(2), kZero32}));
    t.add("key-x-is-p", cat({byte(0), kZero32, kOrderMinus1, kOrderMinus1, byte(2), kP}));
}

// Batches: mode byte (bit 0 Schnorr, bit 1 made by signing, bit 2 repeated
// to 100 items), then the fields of the chosen mode.
void make_batch_verify(Corpus& corpus) {
    Target t(corpus, "batch_verify");
    const auto cases = rfc6979_cases();
    Bytes triples, raw_ecdsa;
    for (size_t i = 0; i < cases.size() && i < 4; ++i) {
        triples = cat({triples, cases[i].key, cases[i].hash, sha256(cases[i].key)});
        Bytes sig(64);
        qorvex_ecdsa_sign(ctx(), cases[i].hash.data(), cases[i].key.data(), sig.data());
        raw_ecdsa = cat({raw_ecdsa, cases[i].hash, pubkey33(cases[i].key), sig});
    }
    const uint8_t n = static_cast<uint8_t>(std::min<size_t>(cases.size(), 4) - 1);
    t.add("ecdsa-signed", cat({byte(2), byte(n), triples}));
    t.add("ecdsa-signed-flip", cat({byte(2), byte(n), triples, byte(70), byte(1)}));
    t.add("ecdsa-signed-repeated", cat({byte(6), byte(n), triples}));
    t.add("ecdsa-repeated-flip", cat({byte(6), byte(n), triples, byte(200), byte(0x10)}));
    t.add("ecdsa-raw", cat({byte(0), raw_ecdsa}));
    t.add("ecdsa-raw-truncated", cat({byte(0), Bytes(raw_ecdsa.begin(), raw_ecdsa.end() - 7)}));
    t.add("schnorr-signed", cat({byte(3), byte(n), triples}));
    t.add("schnorr-signed-flip", cat({byte(3), byte(n), triples, byte(100), byte(4)}));
    t.add("schnorr-signed-repeated", cat({byte(7), byte(n), triples}));
    t.add("schnorr-repeated-flip", cat({byte(7), byte(n), triples, byte(33), byte(0x80)}));
    Bytes raw_schnorr;
    for (const auto& r : bip340_rows())
        if (r.msg.size() == 32) raw_schnorr = cat({raw_schnorr, r.pub, r.msg, r.sig});
    t.add("schnorr-raw-bip340", cat({byte(1), raw_schnorr}));
    t.add("schnorr-raw-bip340-repeated", cat({byte(5), raw_schnorr}));
}

// Terms: a count byte (bit 7: repeat to 50), then scalar (32) and point (33).
void make_msm(Corpus& corpus) {
    Target t(corpus, "msm");
    const auto ms = multiples(8);
    Bytes terms;
    for (size_t i = 0; i < ms.size(); ++i) terms = cat({terms, ms[(i + 3) % ms.size()].k, compress(ms[i].pub65)});
    const uint8_t n = static_cast<uint8_t>(ms.size() - 1);
    t.add("multiples", cat({byte(n), terms}));
    t.add("multiples-repeated", cat({byte(static_cast<uint8_t>(0x80 | n)), terms}));
    t.add("two-terms", cat({byte(1), terms}));
    const Bytes p0 = compress(ms[0].pub65);
    Bytes neg = ms[2].k;
    qorvex_seckey_negate(ctx(), neg.data());
    t.add("cancelling", cat({byte(1), ms[2].k, p0, neg, p0}));
    t.add("scalar-n", cat({byte(1), kOrder, p0, ms[1].k, p0}));
    t.add("zero-scalars", cat({byte(0x81), kZero32, p0, kZero32, p0}));
    t.add("bad-point", cat({byte(1), ms[1].k, p0, ms[2].k, cat({byte(2), kP})}));
}

// --- BIP-352 silent payments ---

void make_bip352(Corpus& corpus) {
    const auto v = load_json_vectors("bip352/send_and_receive_test_vectors.json");
    Target addr(corpus, "bip352_address");
    Target inputs(corpus, "bip352_inputs");
    std::set<std::string> seen;
    for (const auto& c : v.array()) {
        for (const auto& s : c["sending"].array()) {
            for (const auto& r : s["given"]["recipients"].array()) {
                if (!seen.insert(r["address"].str()).second) continue;
                addr.add("address", cat({byte(0), text(r["address"].str())}));
                addr.add("keys", cat({byte(1), from_hex(r["scan_pub_key"].str()), from_hex(r["spend_pub_key"].str()),
                                      byte(static_cast<uint8_t>(seen.size() & 1))}));
            }
        }
        for (const auto& vin : c["sending"][static_cast<size_t>(0)]["given"]["vin"].array()) {
            const Bytes sig = from_hex(vin["scriptSig"].str()), wit = from_hex(vin["txinwitness"].str()),
                        spk = from_hex(vin["prevout"]["scriptPubKey"]["hex"].str());
            Bytes op = from_hex(vin["txid"].str());
            std::reverse(op.begin(), op.end());
            const auto vout = static_cast<uint32_t>(vin["vout"].integer());
            for (int i = 0; i < 4; ++i) op.push_back(static_cast<uint8_t>(vout >> (8 * i)));
            auto len = [](const Bytes& b) { return le16(static_cast<uint16_t>(b.size())); };
            inputs.add("vin", cat({len(sig), len(wit), len(spk), op, sig, wit, spk}));
        }
    }
    addr.add("bech32-checksum", cat({byte(0), text("sp1qqgste7k9hx0qftg6qmwlkqtwuy6cycyavzmzj85c6qdfhjdpdjtdgqjuexzk6murw56suy3e0rd2cgqvycxttddwsvgxe2usfpxumr70xc9pkqwq")}));
    addr.add("mixed-case", cat({byte(0), text("Sp1qqgste7k9hx0qftg6qmwlkqtwuy6cycyavzmzj85c6qdfhjdpdjtdgqjuexzk6murw56suy3e0rd2cgqvycxttddwsvgxe2usfpxumr70xc9pkqwv")}));
    addr.add("segwit-address", cat({byte(0), text("bc1p0xlxvlhemja6c4dqv22uapctqupfhlxm9h8z3k2e72q4k9hcz7vqzk5jj0")}));
    addr.add("bad-keys", cat({byte(1), Bytes(66, 0x02), byte(0)}));
    addr.add("bad-network", cat({byte(1), pubkey33(kOrderMinus1), pubkey33(kOrderMinus1), byte(2)}));
    inputs.add("empty", Bytes(42, 0));
    inputs.add("witness-count-too-large", cat({le16(0), le16(3), le16(34), Bytes(36, 0), {0xfd, 0xff, 0xff},
                                               {0x51, 0x20}, Bytes(32, 0x79)}));
}

// Silent-payment scans: mode, scan key, spend key, the counts and the
// capacity, then the transaction (see fuzz/silent_payment.cpp).
Bytes sp_input(uint8_t mode, const Bytes& scan, const Bytes& spend, uint8_t n_in, uint8_t n_out, uint8_t capacity,
               const Bytes& rest) {
    return cat({byte(mode), scan, spend, byte(n_in), byte(n_out), byte(capacity), rest});
}

void make_silent_payment(Corpus& corpus) {
    Target t(corpus, "silent_payment");
    const auto ms = multiples(6);
    const Bytes& scan = ms[0].k;
    const Bytes& spend = ms[1].k;
    // Made from private keys: outputs 0 and 2 pay the pair, 1 does not.
    const Bytes made = cat({ms[2].k, ms[3].k, byte(1), byte(0), Bytes(32, 0x42), byte(1)});
    t.add("paying", sp_input(1, scan, spend, 2, 3, 9, made));
    t.add("paying-capacity-1", sp_input(1, scan, spend, 2, 3, 1, made));
    t.add("paying-tampered", sp_input(1, scan, spend, 2, 3, 9, cat({made, byte(40), byte(1)})));
    Bytes neg = ms[2].k;
    qorvex_seckey_negate(ctx(), neg.data());
    t.add("keys-cancel", sp_input(1, scan, spend, 2, 1, 9, cat({ms[2].k, neg, byte(1), Bytes(32, 0x42)})));
    // Given as public keys.
    const Bytes raw = cat({compress(ms[4].pub65), compress(ms[5].pub65), Bytes(32, 0x42), Bytes(32, 0xFF)});
    t.add("public", sp_input(0, scan, spend, 2, 2, 9, raw));
    t.add("bad-input-key", sp_input(0, scan, spend, 1, 1, 9, cat({byte(4), Bytes(64, 0x11)})));
    t.add("scan-key-n", sp_input(0, kOrder, spend, 2, 2, 9, raw));
    t.add("no-outputs", sp_input(0, scan, spend, 2, 0, 9, raw));
}

// Self-test vector files: a mode byte (bit 7: through the export), then the
// file (see fuzz/selftest_vectors.cpp), from the multiples of G.
void make_selftest_vectors(Corpus& corpus) {
    Target t(corpus, "selftest_vectors");
    const auto ms = multiples(4);
    auto hex = [](const Bytes& b) { return qorvex::test::to_hex(b); };
    auto x = [&](size_t i) { return hex(Bytes(ms[i].pub65.begin() + 1, ms[i].pub65.begin() + 33)); };
    auto y = [&](size_t i) { return hex(Bytes(ms[i].pub65.begin() + 33, ms[i].pub65.end())); };
    std::string good = "# multiples of G\n\n";
    for (size_t i = 0; i < ms.size(); ++i) good += "SCALARMUL;" + hex(ms[i].k) + ";" + x(i) + ";" + y(i) + ";m\n";
    good += "ADD;" + x(0) + ";" + y(0) + ";" + x(1) + ";" + y(1) + ";" + x(2) + ";" + y(2) + ";G+2G\n";
    good += "SUB;" + x(2) + ";" + y(2) + ";" + x(1) + ";" + y(1) + ";" + x(0) + ";" + y(0) + ";3G-2G\n";
    const std::string wrong = "SCALARMUL;" + hex(ms[1].k) + ";" + x(1) + ";" + y(0) + ";wrong y\n";
    t.add("records", cat({byte(0), text(good)}));
    t.add("records-export", cat({byte(0x80), text(good)}));
    t.add("wrong-coordinate", cat({byte(0), text(good + wrong)}));
    t.add("wrong-coordinate-export", cat({byte(0x80), text(wrong)}));
    t.add("comments-only", cat({byte(0x80), text("# one\n\n# two\r\n")}));
    t.add("short-records", cat({byte(0), text("SCALARMUL;1;2;3\nADD;;;;;;;\nSUB\n")}));
    t.add("long-line", cat({byte(0), text(std::string(5000, ';') + "\n")}));
}

// Descriptors: mode, index (4 bytes LE), then the text or the assembly
// bytes (see fuzz/descriptor.cpp).
void make_descriptor(Corpus& corpus) {
    Target t(corpus, "descriptor");
    const Bytes index7 = {7, 0, 0, 0}, index0 = {0, 0, 0, 0};
    const auto doc = load_json_vectors("bip32/bip32_vectors.json");
    const char* const forms[][2] = {{"wpkh(", ")"}, {"sh(wpkh(", "))"}, {"tr(", ")"}, {"pkh(", ")"}, {"pk(", ")"}};
    size_t i = 0;
    for (const auto& v : doc["valid"].array()) {
        for (const auto& c : v["chains"].array()) {
            const auto& f = forms[i++ % 5];
            t.add("xpub", cat({byte(0), index7, text(std::string(f[0]) + c["ext_pub"].str() + "/0/*" + f[1])}));
            t.add("xprv", cat({byte(0), index0, text(std::string(f[0]) + c["ext_prv"].str() + "/<0;1>/*" + f[1])}));
        }
    }
    const auto v86 = load_json_vectors("bip86/bip86_vectors.json");
    t.add("bip86-tr", cat({byte(0), index0, text("tr(" + v86["account"]["xpub"].str() + "/0/*)")}));
    const std::string x = "a34b99f22c790c4e36b2b3c2c35a36db06226e41c692fc82b8b56ac1c540c5bd";
    t.add("bip386-tr", cat({byte(0), index0, text("tr(" + x + ")")}));
    t.add("bip386-sh-tr", cat({byte(0), index0, text("sh(tr(" + x + "))")}));
    t.add("hex-64-in-wpkh", cat({byte(0), index0, text("wpkh(" + x + ")")}));
    t.add("checksum", cat({byte(0), index0, text("wpkh(02" + x + ")#8fhd9pwu")}));
    t.add("origin", cat({byte(0), index0, text("wpkh([d34db33f/84'/0'/0']02" + x + ")")}));
    t.add("tr-zero", cat({byte(0), index0, text("tr(" + std::string(64, '0') + ")")}));
    for (uint8_t kind = 0; kind < 5; ++kind) {
        for (uint8_t key = 0; key < 6; ++key) {
            Bytes raw = key >= 4 ? pubkey33(kOrderMinus1) : Bytes{};
            if (key == 5) raw.erase(raw.begin());
            // Path nibbles: 10 is '/', 11 an apostrophe, 12 '*', 13 to 15 "<;>".
            t.add("assembled", cat({byte(1), index7, byte(kind), byte(key), raw, Bytes{0xA0, 0xB0, 0xAC, 0xAD, 0x0E,
                                                                                        0x1F, 0xAC}}));
        }
    }
}

// Coins: mode 0 (coin type, testnet, key) and mode 1 (seed and path; see
// fuzz/coins.cpp).
void make_coins(Corpus& corpus) {
    Target t(corpus, "coins");
    const uint32_t types[] = {0, 2, 3, 5, 60, 145, 236, 133, 20, 7, 6, 28, 14, 17, 57, 175, 19167, 2301, 121, 156, 141, 195};
    const auto cases = rfc6979_cases();
    size_t i = 0;
    for (const uint32_t type : types) {
        const Bytes le = {static_cast<uint8_t>(type), static_cast<uint8_t>(type >> 8), 0, 0};
        t.add("address", cat({byte(0), le, byte(static_cast<uint8_t>(i & 1)), pubkey33(cases[i % cases.size()].key)}));
        ++i;
    }
    t.add("unknown-type", cat({byte(0), Bytes{1, 0, 0, 0}, byte(0), pubkey33(kOrderMinus1)}));
    t.add("bad-key", cat({byte(0), Bytes{0, 0, 0, 0}, byte(0), byte(2), kP}));
    const auto b39 = load_json_vectors("bip39/vectors.json");
    for (size_t j = 0; j < 22; ++j) {
        const Bytes seed = from_hex(b39["english"][j][2].str());
        t.add("derive", cat({byte(1), byte(64 - 14), seed, byte(static_cast<uint8_t>(j)), byte(0), byte(static_cast<uint8_t>(j)),
                             byte(static_cast<uint8_t>(j & 1)), byte(static_cast<uint8_t>(j >> 1 & 1))}));
    }
    t.add("derive-16", cat({byte(1), byte(2), Bytes(16, 0x42), byte(0), byte(0), byte(0), byte(0), byte(0)}));
    t.add("derive-hardened-account", cat({byte(1), byte(18), Bytes(32, 7), byte(0), byte(0x80), byte(0), byte(0), byte(0)}));
    t.add("derive-seed-15", cat({byte(1), byte(1), Bytes(15, 7), byte(0)}));
}


Corpus make_all() {
    Corpus c;
    make_pubkey(c);
    make_seckey(c);
    make_ecdsa_der(c);
    make_ecdsa_verify(c);
    make_ecdsa_recover(c);
    make_ecdsa_sign(c);
    make_schnorr_verify(c);
    make_schnorr_sign(c);
    make_eth(c);
    make_hashes(c);
    make_bip144(c);
    make_tx_sighash(c);
    make_taproot(c);
    make_wif(c);
    make_bip32_text(c);
    make_mnemonic(c);
    make_segwit(c);
    make_bip322_simple(c);
    make_messages(c);
    make_musig2(c);
    make_frost(c);
    make_ecies_decrypt(c);
    make_zk_verify(c);
    make_adaptor_verify(c);
    make_pedersen(c);
    make_gcs(c);
    make_snark_witness(c);
    make_batch_verify(c);
    make_msm(c);
    make_bip352(c);
    make_silent_payment(c);
    make_selftest_vectors(c);
    make_rangeproof_verify(c);
    make_descriptor(c);
    make_coins(c);
    return c;
}

Bytes read_file(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    const bool check = argc == 3 && std::string(argv[1]) == "--check";
    if (argc != 2 && !check) {
        std::fprintf(stderr, "usage: %s [--check] corpus-dir\n", argv[0]);
        return 2;
    }
    const fs::path dir = argv[argc - 1];
    setenv("SECP256K1_WINDOW_BITS", "8", 0);  // small tables: start-up is instant
    const Corpus corpus = make_all();
    int differences = 0;
    for (const auto& [target, files] : corpus) {
        const fs::path tdir = dir / target;
        if (check) {
            std::map<std::string, Bytes> found;
            if (fs::is_directory(tdir))
                for (const auto& e : fs::directory_iterator(tdir)) found[e.path().filename().string()] = read_file(e.path());
            if (found != files) {
                std::fprintf(stderr, "%s: the seed corpus differs from what the vectors give; rerun make_corpus\n",
                             tdir.string().c_str());
                ++differences;
            }
            continue;
        }
        fs::remove_all(tdir);
        fs::create_directories(tdir);
        for (const auto& [file, content] : files)
            std::ofstream(tdir / file, std::ios::binary)
                .write(reinterpret_cast<const char*>(content.data()), static_cast<std::streamsize>(content.size()));
        std::printf("%-16s %zu files\n", target.c_str(), files.size());
    }
    return differences == 0 ? 0 : 1;
}
