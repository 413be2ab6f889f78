// Results as JSON or as aligned text, hex encoding, and the error helpers.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "cli.h"

namespace qcli {

[[noreturn]] void usage_error(std::string message) {
    throw Failure{kExitUsage, std::move(message), 0};
}

[[noreturn]] void runtime_error(std::string message) {
    throw Failure{kExitLibrary, std::move(message), 0};
}

Json& Json::set(std::string key, Json value, std::string label) {
    if (label.empty()) {
        label = key;
        for (char& c : label) {
            if (c == '_') c = ' ';
        }
    }
    names_.emplace_back(std::move(key), std::move(label));
    values_.push_back(std::move(value));
    return *this;
}

Json& Json::push(Json value) {
    items_.push_back(std::move(value));
    return *this;
}

namespace {

void append_escaped(std::string& out, const std::string& s) {
    out += '"';
    for (const char ch : s) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (c < 0x20 || c == 0x7f) {
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "\\u%04x", c);
                    out += buf;
                } else {
                    out += ch;
                }
        }
    }
    out += '"';
}

std::string format_real(double d) {
    if (!std::isfinite(d)) return "null";
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.6g", d);
    return buf;
}

void dump_into(const Json& j, std::string& out) {
    switch (j.kind()) {
        case Json::Kind::Array: {
            out += '[';
            bool first = true;
            for (const auto& item : j.items()) {
                if (!first) out += ',';
                first = false;
                dump_into(item, out);
            }
            out += ']';
            return;
        }
        case Json::Kind::Object: {
            out += '{';
            bool first = true;
            for (size_t i = 0; i < j.member_count(); ++i) {
                if (!first) out += ',';
                first = false;
                append_escaped(out, j.key(i));
                out += ':';
                dump_into(j.value(i), out);
            }
            out += '}';
            return;
        }
        case Json::Kind::String:
            append_escaped(out, j.text());
            return;
        case Json::Kind::Bool:
            out += j.scalar() == "yes" ? "true" : "false";
            return;
        default:
            out += j.scalar();
            return;
    }
}

bool is_scalar(const Json& j) {
    return j.kind() != Json::Kind::Array && j.kind() != Json::Kind::Object;
}

}  // namespace

std::string Json::scalar() const {
    switch (kind_) {
        case Kind::Null: return "null";
        case Kind::Bool: return b_ ? "yes" : "no";
        case Kind::Int: return std::to_string(i_);
        case Kind::Uint: return std::to_string(u_);
        case Kind::Real: return format_real(d_);
        case Kind::String: return s_;
        default: return {};
    }
}

void Json::scrub() {
    wipe(s_.data(), s_.size());
    for (auto& item : items_) item.scrub();
    for (auto& v : values_) v.scrub();
}

std::string Json::dump() const {
    std::string out;
    out.reserve(65536);  // one buffer, so a secret in it is wiped with it
    dump_into(*this, out);
    return out;
}

std::string render_text(const Json& value, int indent) {
    const std::string pad(static_cast<size_t>(indent), ' ');
    std::string out;
    if (value.kind() == Json::Kind::Array) {
        for (const auto& item : value.items()) {
            if (is_scalar(item)) {
                out += pad + item.scalar() + "\n";
            } else {
                out += render_text(item, indent);
                if (item.kind() == Json::Kind::Object) out += "\n";
            }
        }
        return out;
    }
    if (value.kind() != Json::Kind::Object) return pad + value.scalar() + "\n";
    size_t width = 0;
    for (size_t i = 0; i < value.member_count(); ++i) {
        if (is_scalar(value.value(i)) && value.label(i).size() > width) width = value.label(i).size();
    }
    for (size_t i = 0; i < value.member_count(); ++i) {
        const Json& v = value.value(i);
        std::string label = value.label(i);
        bool all_scalars = v.kind() == Json::Kind::Array;
        for (const auto& item : v.items()) all_scalars = all_scalars && is_scalar(item);
        if (is_scalar(v) || all_scalars) {
            std::string text = v.scalar();
            if (all_scalars) {
                text.clear();
                for (const auto& item : v.items()) {
                    if (!text.empty()) text += ' ';
                    text += item.scalar();
                }
            }
            label.resize(std::max(width, label.size()), ' ');
            out += pad + label + "  " + text + "\n";
            continue;
        }
        out += pad + label + ":\n" + render_text(v, indent + 2);
    }
    return out;
}

std::string to_hex(const uint8_t* p, size_t n) {
    static const char digits[] = "0123456789abcdef";
    std::string s(n * 2, '0');
    for (size_t i = 0; i < n; ++i) {
        s[2 * i] = digits[p[i] >> 4];
        s[2 * i + 1] = digits[p[i] & 15];
    }
    return s;
}

namespace {

int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string_view trim(std::string_view t) {
    const char* ws = " \t\r\n";
    const size_t b = t.find_first_not_of(ws);
    if (b == std::string_view::npos) return {};
    const size_t e = t.find_last_not_of(ws);
    return t.substr(b, e - b + 1);
}

}  // namespace

std::vector<uint8_t> parse_hex(std::string_view text, std::string_view what) {
    std::string_view t = trim(text);
    if (t.size() >= 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) t.remove_prefix(2);
    if (t.size() % 2 != 0) {
        usage_error(std::string(what) + ": odd number of hex digits (" + std::to_string(t.size()) + ")");
    }
    std::vector<uint8_t> out(t.size() / 2);
    for (size_t i = 0; i < out.size(); ++i) {
        const int hi = hex_value(t[2 * i]);
        const int lo = hex_value(t[2 * i + 1]);
        if (hi < 0 || lo < 0) {
            wipe(out.data(), out.size());
            usage_error(std::string(what) + ": not hex (bad character at position " + std::to_string(2 * i + (hi < 0 ? 0 : 1) + 1) + ")");
        }
        out[i] = static_cast<uint8_t>(hi << 4 | lo);
    }
    return out;
}

void parse_hex_exact(std::string_view text, uint8_t* out, size_t n, std::string_view what) {
    std::vector<uint8_t> v = parse_hex(text, what);
    if (v.size() != n) {
        const size_t got = v.size();
        wipe(v.data(), v.size());
        usage_error(std::string(what) + ": expected " + std::to_string(n) + " bytes (" + std::to_string(2 * n) +
                    " hex digits), got " + std::to_string(got));
    }
    for (size_t i = 0; i < n; ++i) out[i] = v[i];
    wipe(v.data(), v.size());
}

}  // namespace qcli
