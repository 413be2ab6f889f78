// sp: BIP-352 silent payments: addresses (plain and labelled, and parsing
// one), the sender's output keys and the receiver's scan, from JSON files
// shaped like the BIP's test vectors.
#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "cli.h"

namespace qcli {

namespace {

using Bytes = std::vector<uint8_t>;

// The largest input file: a transaction of 23,255 outputs (a full block)
// fits with room to spare.
constexpr size_t kFileLimit = size_t{16} << 20;

// A JSON value whose strings are views into the file's bytes, so that the
// private keys in it are never copied out of the wiped buffer. Escapes are
// kept as written (hex strings and addresses have none).
struct Value {
    enum class Kind { Null, Bool, Number, String, Array, Object } kind = Kind::Null;
    std::string_view text;  // a string's contents, or a number's digits
    std::vector<Value> items;
    std::vector<std::pair<std::string_view, Value>> members;

    const Value* find(std::string_view key) const {
        for (const auto& m : members)
            if (m.first == key) return &m.second;
        return nullptr;
    }
};

class Reader {
public:
    Reader(std::string_view text, std::string what) : t_(text), what_(std::move(what)) {}
    Value document() {
        Value v = value(0);
        ws();
        if (p_ != t_.size()) fail("trailing characters");
        return v;
    }

private:
    [[noreturn]] void fail(const std::string& why) const {
        usage_error(what_ + ": not valid JSON (" + why + " at byte " + std::to_string(p_) + ")");
    }
    void ws() {
        while (p_ < t_.size() && (t_[p_] == ' ' || t_[p_] == '\n' || t_[p_] == '\r' || t_[p_] == '\t')) ++p_;
    }
    bool take(char c) {
        ws();
        if (p_ < t_.size() && t_[p_] == c) {
            ++p_;
            return true;
        }
        return false;
    }
    std::string_view string() {
        if (!take('"')) fail("expected a string");
        const size_t start = p_;
        while (p_ < t_.size() && t_[p_] != '"') {
            if (static_cast<unsigned char>(t_[p_]) < 0x20) fail("control character in a string");
            p_ += t_[p_] == '\\' ? 2 : 1;
        }
        if (p_ >= t_.size()) fail("unterminated string");
        return t_.substr(start, p_++ - start);
    }
    Value value(int depth) {
        if (depth > 32) fail("nested too deeply");
        ws();
        if (p_ >= t_.size()) fail("unexpected end");
        Value v;
        const char c = t_[p_];
        if (c == '{') {
            ++p_;
            v.kind = Value::Kind::Object;
            if (take('}')) return v;
            do {
                const std::string_view key = string();
                if (!take(':')) fail("expected ':'");
                v.members.emplace_back(key, value(depth + 1));
            } while (take(','));
            if (!take('}')) fail("expected '}'");
        } else if (c == '[') {
            ++p_;
            v.kind = Value::Kind::Array;
            if (take(']')) return v;
            do v.items.push_back(value(depth + 1));
            while (take(','));
            if (!take(']')) fail("expected ']'");
        } else if (c == '"') {
            v.kind = Value::Kind::String;
            v.text = string();
        } else if (t_.substr(p_, 4) == "null") {
            p_ += 4;
        } else if (t_.substr(p_, 4) == "true" || t_.substr(p_, 5) == "false") {
            v.kind = Value::Kind::Bool;
            p_ += t_[p_] == 't' ? 4 : 5;
        } else {
            const size_t start = p_;
            while (p_ < t_.size() && std::strchr("+-0123456789.eE", t_[p_]) != nullptr) ++p_;
            if (p_ == start) fail("unexpected character");
            v.kind = Value::Kind::Number;
            v.text = t_.substr(start, p_ - start);
        }
        return v;
    }

    std::string_view t_;
    std::string what_;
    size_t p_ = 0;
};

// The member `key` of an object, of the kind wanted; a usage error naming
// `where` otherwise.
const Value& member(const Value& obj, std::string_view key, Value::Kind kind, const std::string& where) {
    const Value* v = obj.kind == Value::Kind::Object ? obj.find(key) : nullptr;
    if (v == nullptr || v->kind != kind) usage_error(where + ": missing or mistyped \"" + std::string(key) + "\"");
    return *v;
}

uint64_t number(const Value& v, const std::string& where) {
    if (v.kind != Value::Kind::Number) usage_error(where + ": expected a number");
    return parse_u64(std::string(v.text).c_str(), where);
}

// The file's own object, or the "given" object of a test-vector entry.
const Value& given(const Value& doc) {
    const Value* g = doc.find("given");
    return g != nullptr && g->kind == Value::Kind::Object ? *g : doc;
}

struct Input {
    Bytes outpoint;  // 36 bytes
    Bytes pub33;     // empty when not eligible
    bool taproot = false;
    const Value* private_key = nullptr;
};

// The transaction's inputs: the outpoint of each, and the key each eligible
// one contributes, from its raw scriptSig, witness and scriptPubKey.
std::vector<Input> read_inputs(Session& s, const Value& vins) {
    std::vector<Input> out;
    size_t index = 0;
    for (const Value& vin : vins.items) {
        const std::string where = "vin[" + std::to_string(index++) + "]";
        Input in;
        in.outpoint = parse_hex(member(vin, "txid", Value::Kind::String, where).text, where + " txid");
        if (in.outpoint.size() != 32) usage_error(where + ": txid is not 32 bytes");
        std::reverse(in.outpoint.begin(), in.outpoint.end());  // shown big-endian, serialized little-endian
        const uint64_t vout = number(member(vin, "vout", Value::Kind::Number, where), where + " vout");
        if (vout > 0xFFFFFFFFu) usage_error(where + ": vout too large");
        for (int i = 0; i < 4; ++i) in.outpoint.push_back(static_cast<uint8_t>(vout >> (8 * i)));
        const Value* sig_v = vin.find("scriptSig");
        const Value* wit_v = vin.find("txinwitness");
        const Bytes sig = sig_v ? parse_hex(sig_v->text, where + " scriptSig") : Bytes{};
        const Bytes wit = wit_v ? parse_hex(wit_v->text, where + " txinwitness") : Bytes{};
        const Value& prevout = member(vin, "prevout", Value::Kind::Object, where);
        const Value& spk_v = member(member(prevout, "scriptPubKey", Value::Kind::Object, where), "hex",
                                    Value::Kind::String, where + " prevout");
        const Bytes spk = parse_hex(spk_v.text, where + " scriptPubKey");
        uint8_t key[33];
        static const uint8_t kNone = 0;
        const int rc = qorvex_bip352_input_pubkey(s.ctx(), sig.empty() ? &kNone : sig.data(), sig.size(),
                                                  wit.empty() ? &kNone : wit.data(), wit.size(),
                                                  spk.empty() ? &kNone : spk.data(), spk.size(), key);
        if (rc == QORVEX_OK) {
            in.pub33.assign(key, key + 33);
            in.taproot = spk.size() == 34 && spk[0] == 0x51 && spk[1] == 0x20;
        } else if (rc == QORVEX_ERR_NOT_FOUND && std::strstr(s.library_message(rc).c_str(), "segwit version")) {
            throw Failure{kExitLibrary, where + ": spends a segwit version above 1; BIP-352 skips this transaction",
                          rc};
        } else if (rc != QORVEX_ERR_NOT_FOUND) {
            s.check(rc);
        }
        in.private_key = vin.find("private_key");
        out.push_back(std::move(in));
    }
    if (out.empty()) usage_error("vin: the transaction has no inputs");
    return out;
}

void read_file_json(const Args& args, SecretBuffer& buf, Value& doc) {
    if (args.positional().size() != 1) usage_error("give the JSON file (\"-\" for stdin)");
    const std::string path = args.positional()[0];
    read_secret_file(path, buf, kFileLimit, path);
    const auto& d = buf.data();
    doc = Reader(std::string_view(reinterpret_cast<const char*>(d.data()), d.size()), path).document();
    if (doc.kind != Value::Kind::Object) usage_error(path + ": expected a JSON object");
}

int network_of(const Args& args) { return args.has("testnet") ? QORVEX_NETWORK_TESTNET : QORVEX_NETWORK_MAINNET; }

std::string address_of(Session& s, const uint8_t scan[33], const uint8_t spend[33], int network) {
    char text[QORVEX_BIP352_ADDRESS_SIZE];
    size_t len = sizeof text;
    s.check(qorvex_bip352_address_encode(s.ctx(), scan, spend, network, text, &len));
    return std::string(text, len);
}

// "1,2,3" -> labels.
std::vector<uint32_t> parse_labels(const char* text) {
    std::vector<uint32_t> out;
    std::string_view rest(text);
    while (!rest.empty()) {
        const size_t comma = rest.find(',');
        const std::string item(rest.substr(0, comma));
        const uint64_t m = parse_u64(item.c_str(), "--labels");
        if (m > 0xFFFFFFFFu) usage_error("--labels: " + item + " is above 2^32 - 1");
        out.push_back(static_cast<uint32_t>(m));
        rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
    }
    return out;
}

int run_address(Session& s, const Args& args) {
    Json out = Json::object();
    if (const char* text = args.get("decode")) {
        int network = 0;
        uint8_t scan[33], spend[33];
        s.check(qorvex_bip352_address_decode(s.ctx(), text, &network, scan, spend));
        out.set("network", network == QORVEX_NETWORK_TESTNET ? "testnet" : "mainnet");
        out.set("scan_pub_key", to_hex(scan, 33));
        out.set("spend_pub_key", to_hex(spend, 33));
        s.emit(out);
        return kExitOk;
    }
    const char* spend_hex = args.get("spend-pubkey");
    if (spend_hex == nullptr) usage_error("missing --spend-pubkey HEX (or --decode ADDRESS)");
    uint8_t spend[33], scan[33];
    parse_pubkey(s, spend_hex, spend, "--spend-pubkey");
    SecretKey scan_key;
    const bool have_key = args.has("key-file");
    if (have_key) {
        read_secret_key(s, args, scan_key);
        s.check(qorvex_pubkey_create(s.ctx(), scan_key.bytes, scan));
        if (const char* hex = args.get("scan-pubkey")) {
            uint8_t given[33];
            parse_pubkey(s, hex, given, "--scan-pubkey");
            if (std::memcmp(given, scan, 33) != 0) usage_error("--scan-pubkey is not the key of --key-file");
        }
    } else if (const char* hex = args.get("scan-pubkey")) {
        parse_pubkey(s, hex, scan, "--scan-pubkey");
    } else {
        usage_error("missing --scan-pubkey HEX or --key-file PATH (the scan private key)");
    }
    const int network = network_of(args);
    const std::string address = address_of(s, scan, spend, network);
    out.set("address", address);
    std::string text = address + "\n";
    if (const char* labels = args.get("labels")) {
        if (!have_key) usage_error("--labels needs the scan private key (--key-file)");
        Json list = Json::array();
        for (const uint32_t m : parse_labels(labels)) {
            uint8_t b_m[33];
            s.check(qorvex_bip352_label(s.ctx(), scan_key.bytes, spend, m, b_m, nullptr));
            const std::string labelled = address_of(s, scan, b_m, network);
            Json item = Json::object();
            item.set("label", static_cast<unsigned long>(m));
            item.set("address", labelled);
            item.set("spend_pub_key", to_hex(b_m, 33));
            list.push(item);
            text += "label " + std::to_string(m) + "  " + labelled + "\n";
        }
        out.set("labelled", list);
    }
    s.emit(out, &text);
    return kExitOk;
}

int run_send(Session& s, const Args& args) {
    SecretBuffer buf;
    Value doc;
    read_file_json(args, buf, doc);
    const Value& g = given(doc);
    const std::vector<Input> inputs = read_inputs(s, member(g, "vin", Value::Kind::Array, "file"));
    Bytes outpoints, flags;
    std::vector<uint8_t> keys;  // sized once below, wiped at the end
    size_t eligible = 0;
    for (const Input& in : inputs) {
        outpoints.insert(outpoints.end(), in.outpoint.begin(), in.outpoint.end());
        eligible += !in.pub33.empty();
    }
    keys.resize(32 * eligible);
    struct Wipe {
        std::vector<uint8_t>& v;
        ~Wipe() { wipe(v.data(), v.size()); }
    } wipe_keys{keys};
    size_t k = 0;
    for (size_t i = 0; i < inputs.size(); ++i) {
        if (inputs[i].pub33.empty()) continue;
        const Value* pk = inputs[i].private_key;
        if (pk == nullptr || pk->kind != Value::Kind::String)
            usage_error("vin[" + std::to_string(i) + "]: an eligible input needs its \"private_key\"");
        parse_hex_exact(pk->text, keys.data() + 32 * k, 32, "vin[" + std::to_string(i) + "] private_key");
        flags.push_back(inputs[i].taproot ? 1 : 0);
        ++k;
    }
    Bytes recipients;
    std::vector<std::string> addresses;
    size_t index = 0;
    for (const Value& r : member(g, "recipients", Value::Kind::Array, "file").items) {
        const std::string where = "recipients[" + std::to_string(index++) + "]";
        const Value& a = r.kind == Value::Kind::String ? r : member(r, "address", Value::Kind::String, where);
        const std::string address(a.text);
        uint64_t count = 1;
        if (const Value* c = r.kind == Value::Kind::Object ? r.find("count") : nullptr) count = number(*c, where);
        if (count > QORVEX_BIP352_MAX_COUNT) usage_error(where + ": count too large");
        int network = 0;
        uint8_t scan[33], spend[33];
        s.check(qorvex_bip352_address_decode(s.ctx(), address.c_str(), &network, scan, spend));
        for (uint64_t j = 0; j < count; ++j) {
            recipients.insert(recipients.end(), scan, scan + 33);
            recipients.insert(recipients.end(), spend, spend + 33);
            addresses.push_back(address);
        }
    }
    if (addresses.empty()) usage_error("recipients: none given");
    Bytes outputs(32 * addresses.size());
    s.check(qorvex_bip352_send(s.ctx(), keys.data(), flags.data(), eligible, outpoints.data(), inputs.size(),
                               recipients.data(), addresses.size(), outputs.data()));
    Json list = Json::array();
    std::string text;
    for (size_t i = 0; i < addresses.size(); ++i) {
        Json item = Json::object();
        item.set("address", addresses[i]);
        item.set("output_key", to_hex(outputs.data() + 32 * i, 32));
        list.push(item);
        text += to_hex(outputs.data() + 32 * i, 32) + "  " + addresses[i] + "\n";
    }
    Json out = Json::object();
    out.set("eligible_inputs", static_cast<unsigned long>(eligible));
    out.set("outputs", list);
    s.emit(out, &text);
    return kExitOk;
}

int run_scan(Session& s, const Args& args) {
    SecretBuffer buf;
    Value doc;
    read_file_json(args, buf, doc);
    const Value& g = given(doc);
    const Value& km = member(g, "key_material", Value::Kind::Object, "file");
    SecretKey scan_key;
    parse_hex_exact(member(km, "scan_priv_key", Value::Kind::String, "key_material").text, scan_key.bytes, 32,
                    "scan_priv_key");
    uint8_t spend[33];
    if (const Value* pub = km.find("spend_pub_key")) {
        parse_pubkey(s, std::string(pub->text).c_str(), spend, "spend_pub_key");
    } else {
        SecretKey spend_key;
        parse_hex_exact(member(km, "spend_priv_key", Value::Kind::String, "key_material").text, spend_key.bytes, 32,
                        "spend_priv_key");
        s.check(qorvex_pubkey_create(s.ctx(), spend_key.bytes, spend));
    }
    std::vector<uint32_t> ms;
    if (const Value* labels = g.find("labels")) {
        for (const Value& m : labels->items) {
            const uint64_t v = number(m, "labels");
            if (v > 0xFFFFFFFFu) usage_error("labels: above 2^32 - 1");
            ms.push_back(static_cast<uint32_t>(v));
        }
    }
    Bytes labels;
    for (const uint32_t m : ms) {
        uint8_t b_m[33], rec[QORVEX_BIP352_LABEL_SIZE];
        s.check(qorvex_bip352_label(s.ctx(), scan_key.bytes, spend, m, b_m, rec));
        labels.insert(labels.end(), rec, rec + sizeof rec);
    }
    Bytes outputs;
    for (const Value& o : member(g, "outputs", Value::Kind::Array, "file").items) {
        if (o.kind != Value::Kind::String) usage_error("outputs: expected hex strings");
        const Bytes x = parse_hex(o.text, "outputs");
        if (x.size() != 32) usage_error("outputs: an x-only key is 32 bytes");
        outputs.insert(outputs.end(), x.begin(), x.end());
    }
    const size_t n_outputs = outputs.size() / 32;
    Bytes tweak(QORVEX_BIP352_TWEAK_SIZE);
    bool skipped = false;
    if (const Value* t = g.find("tweak"); t != nullptr && t->kind == Value::Kind::String) {
        parse_hex_exact(t->text, tweak.data(), tweak.size(), "tweak");
    } else {
        const std::vector<Input> inputs = read_inputs(s, member(g, "vin", Value::Kind::Array, "file"));
        Bytes keys, outpoints;
        for (const Input& in : inputs) {
            outpoints.insert(outpoints.end(), in.outpoint.begin(), in.outpoint.end());
            keys.insert(keys.end(), in.pub33.begin(), in.pub33.end());
        }
        // No eligible input, or keys that cancel: BIP-352 skips the
        // transaction.
        const int rc = keys.empty() ? QORVEX_ERR_ARITH
                                    : qorvex_bip352_tweak(s.ctx(), keys.data(), keys.size() / 33, outpoints.data(),
                                                          inputs.size(), tweak.data());
        if (rc == QORVEX_ERR_ARITH && (keys.empty() || std::strstr(s.library_message(rc).c_str(), "infinity")))
            skipped = true;
        else
            s.check(rc);
    }
    Json out = Json::object();
    Json list = Json::array();
    std::string text;
    size_t n = n_outputs;
    Bytes rec(QORVEX_BIP352_MATCH_SIZE * (n_outputs ? n_outputs : 1));
    if (!skipped) {
        static const uint8_t kNone = 0;
        s.check(qorvex_bip352_scan_tweak(s.ctx(), scan_key.bytes, spend, labels.empty() ? &kNone : labels.data(),
                                         ms.size(), tweak.data(), outputs.empty() ? &kNone : outputs.data(),
                                         n_outputs, rec.data(), &n));
        out.set("tweak", to_hex(tweak));
    } else {
        n = 0;
        out.set("tweak", Json());
        text += "no eligible inputs (or keys that cancel): nothing to scan\n";
    }
    for (size_t i = 0; i < n; ++i) {
        const uint8_t* r = rec.data() + QORVEX_BIP352_MATCH_SIZE * i;
        const uint32_t index = r[0] | uint32_t{r[1]} << 8 | uint32_t{r[2]} << 16 | uint32_t{r[3]} << 24;
        const uint32_t label = r[4] | uint32_t{r[5]} << 8 | uint32_t{r[6]} << 16 | uint32_t{r[7]} << 24;
        Json item = Json::object();
        item.set("output_index", static_cast<unsigned long>(index));
        item.set("pub_key", to_hex(r + 40, 32));
        item.set("label", label == QORVEX_BIP352_NO_LABEL ? Json() : Json(static_cast<unsigned long>(ms[label])));
        item.set("priv_key_tweak", to_hex(r + 8, 32));
        list.push(item);
        text += std::to_string(index) + "  " + to_hex(r + 40, 32) + "  tweak " + to_hex(r + 8, 32) +
                (label == QORVEX_BIP352_NO_LABEL ? std::string() : "  label " + std::to_string(ms[label])) + "\n";
    }
    wipe(rec.data(), rec.size());
    if (n == 0 && !skipped) text += "no output pays this wallet\n";
    out.set("matches", list);
    s.emit(out, &text);
    return kExitOk;
}

const Command address_command = {
    "address",
    "a silent payment address, labelled addresses, or the keys of one",
    "sp address (--scan-pubkey HEX | --key-file PATH) --spend-pubkey HEX [--labels M,...] [--testnet]\n"
    "       sp address --decode ADDRESS",
    "Prints the BIP-352 address (sp1q..., or tsp1q... with --testnet) of a scan\n"
    "key and a spend key. With --labels, also the labelled address of each label\n"
    "m (B_m = B_spend + hash(b_scan || m)*G), which needs the scan private key;\n"
    "m = 0 is the change label, never to be handed out. --decode prints the\n"
    "network and the two keys of an address instead.",
    {{"scan-pubkey", "HEX", "the scan public key (33 bytes)"},
     {"key-file", "PATH", "the scan private key (64 hex digits or 32 bytes; \"-\" for stdin)"},
     {"spend-pubkey", "HEX", "the spend public key (33 bytes)"},
     {"labels", "M,...", "labels to derive addresses for, comma-separated"},
     {"testnet", nullptr, "the testnet prefix tsp"},
     {"decode", "ADDRESS", "parse an address instead"}},
    "  $ qorvex sp address --scan-pubkey 0220bcfac5b99e04ad1a06ddfb016ee13582609d60b6291e98d01a9bc9a16c96d4 \\\n"
    "      --spend-pubkey 025cc9856d6f8375350e123978daac200c260cb5b5ae83106cab90484dcd8fcf36\n"
    "  sp1qqgste7k9hx0qftg6qmwlkqtwuy6cycyavzmzj85c6qdfhjdpdjtdgqjuexzk6murw56suy3e0rd2cgqvycxttddwsvgxe2usfpxumr70xc9pkqwv\n",
    run_address,
};

const Command send_command = {
    "send",
    "the output keys paying silent payment addresses",
    "sp send FILE",
    "Reads a JSON object shaped like a BIP-352 sending test (or its \"given\"\n"
    "part): \"vin\", the transaction's inputs (txid as shown, vout, scriptSig,\n"
    "txinwitness, prevout.scriptPubKey.hex, and private_key for every eligible\n"
    "one), and \"recipients\", addresses or {\"address\", \"count\"} objects. Prints\n"
    "the x-only output key for each recipient, in order. The file holds private\n"
    "keys: it is read into wiped memory and nothing of it is echoed.",
    {},
    "  $ qorvex sp send payment.json\n"
    "  3e9fce73d4e77a4809908e3c3a2e54ee147b9312dc5044a193d1fc85de46e3c1  sp1qqgste7k9...\n",
    run_send,
    {},
    1,
};

const Command scan_command = {
    "scan",
    "the outputs of a transaction that pay this wallet",
    "sp scan FILE",
    "Reads a JSON object shaped like a BIP-352 receiving test (or its \"given\"\n"
    "part): \"key_material\" (scan_priv_key, and spend_priv_key or\n"
    "spend_pub_key), \"labels\" (include 0 to find change), \"outputs\" (the\n"
    "transaction's x-only Taproot output keys, in order) and either \"vin\" (the\n"
    "inputs, as for sp send, without private keys) or \"tweak\", the 33-byte\n"
    "input_hash*A an index server publishes (the light-client form). Prints each\n"
    "match: output index, key, tweak (spend private key + tweak spends it) and\n"
    "label, and the transaction's tweak.",
    {},
    "  $ qorvex sp scan tx.json\n"
    "  0  3e9fce73d4e77a4809908e3c3a2e54ee147b9312dc5044a193d1fc85de46e3c1  tweak f438b401...\n",
    run_scan,
    {},
    1,
};

}  // namespace

// Listed in the command table (commands.cpp).
extern const Command sp_command = {
    "sp",
    "BIP-352 silent payments: address, send, scan",
    "sp SUBCOMMAND [OPTIONS]",
    "",
    {},
    "  $ qorvex sp scan tx.json --json\n",
    nullptr,
    {&address_command, &send_command, &scan_command},
};

}  // namespace qcli
