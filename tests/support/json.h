// A small JSON reader for the test vector files (test code only).
#pragma once

#include <cstdlib>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace qorvex::test {

class Json {
public:
    enum class Type { Null, Bool, Number, String, Array, Object };

    Type type() const { return type_; }
    bool is_null() const { return type_ == Type::Null; }
    bool is_string() const { return type_ == Type::String; }
    bool is_array() const { return type_ == Type::Array; }
    bool is_object() const { return type_ == Type::Object; }

    const std::string& str() const { return expect(Type::String), str_; }
    double num() const { return expect(Type::Number), num_; }
    long long integer() const { return static_cast<long long>(num()); }
    bool boolean() const { return expect(Type::Bool), bool_; }
    const std::vector<Json>& array() const { return expect(Type::Array), arr_; }
    const std::map<std::string, Json>& object() const { return expect(Type::Object), obj_; }

    size_t size() const { return type_ == Type::Array ? arr_.size() : object().size(); }
    const Json& operator[](size_t i) const { return array().at(i); }
    const Json& operator[](const std::string& key) const {
        const auto& o = object();
        auto it = o.find(key);
        if (it == o.end()) throw std::runtime_error("missing JSON key: " + key);
        return it->second;
    }
    bool has(const std::string& key) const { return is_object() && obj_.count(key) != 0; }

    static Json parse(const std::string& text) {
        size_t pos = 0;
        Json j = parse_value(text, pos);
        skip_ws(text, pos);
        if (pos != text.size()) throw std::runtime_error("trailing data in JSON");
        return j;
    }

private:
    Type type_ = Type::Null;
    bool bool_ = false;
    double num_ = 0;
    std::string str_;
    std::vector<Json> arr_;
    std::map<std::string, Json> obj_;

    void expect(Type t) const {
        if (type_ != t) throw std::runtime_error("unexpected JSON type");
    }

    static void skip_ws(const std::string& s, size_t& p) {
        while (p < s.size() && (s[p] == ' ' || s[p] == '\n' || s[p] == '\r' || s[p] == '\t')) ++p;
    }

    static void append_utf8(std::string& out, unsigned cp) {
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }

    static std::string parse_string(const std::string& s, size_t& p) {
        if (s[p] != '"') throw std::runtime_error("expected JSON string");
        ++p;
        std::string out;
        while (p < s.size() && s[p] != '"') {
            char c = s[p++];
            if (c != '\\') {
                out += c;
                continue;
            }
            char e = s.at(p++);
            switch (e) {
                case 'n': out += '\n'; break;
                case 't': out += '\t'; break;
                case 'r': out += '\r'; break;
                case 'b': out += '\b'; break;
                case 'f': out += '\f'; break;
                case 'u': {
                    unsigned cp = std::stoul(s.substr(p, 4), nullptr, 16);
                    p += 4;
                    if (cp >= 0xD800 && cp < 0xDC00 && s.compare(p, 2, "\\u") == 0) {
                        const unsigned lo = std::stoul(s.substr(p + 2, 4), nullptr, 16);
                        cp = 0x10000 + ((cp - 0xD800) << 10) + (lo - 0xDC00);
                        p += 6;
                    }
                    append_utf8(out, cp);
                    break;
                }
                default: out += e; break;
            }
        }
        ++p;
        return out;
    }

    static Json parse_value(const std::string& s, size_t& p) {
        skip_ws(s, p);
        if (p >= s.size()) throw std::runtime_error("unexpected end of JSON");
        Json j;
        const char c = s[p];
        if (c == '{') {
            j.type_ = Type::Object;
            ++p;
            skip_ws(s, p);
            if (s[p] == '}') return ++p, j;
            for (;;) {
                skip_ws(s, p);
                std::string key = parse_string(s, p);
                skip_ws(s, p);
                if (s[p++] != ':') throw std::runtime_error("expected ':' in JSON");
                j.obj_.emplace(std::move(key), parse_value(s, p));
                skip_ws(s, p);
                if (s[p] == ',') {
                    ++p;
                    continue;
                }
                if (s[p++] != '}') throw std::runtime_error("expected '}' in JSON");
                return j;
            }
        }
        if (c == '[') {
            j.type_ = Type::Array;
            ++p;
            skip_ws(s, p);
            if (s[p] == ']') return ++p, j;
            for (;;) {
                j.arr_.push_back(parse_value(s, p));
                skip_ws(s, p);
                if (s[p] == ',') {
                    ++p;
                    continue;
                }
                if (s[p++] != ']') throw std::runtime_error("expected ']' in JSON");
                return j;
            }
        }
        if (c == '"') {
            j.type_ = Type::String;
            j.str_ = parse_string(s, p);
            return j;
        }
        if (s.compare(p, 4, "true") == 0) return p += 4, j.type_ = Type::Bool, j.bool_ = true, j;
        if (s.compare(p, 5, "false") == 0) return p += 5, j.type_ = Type::Bool, j;
        if (s.compare(p, 4, "null") == 0) return p += 4, j;
        char* end = nullptr;
        j.type_ = Type::Number;
        j.num_ = std::strtod(s.c_str() + p, &end);
        if (end == s.c_str() + p) throw std::runtime_error("bad JSON value");
        p = static_cast<size_t>(end - s.c_str());
        return j;
    }
};

}  // namespace qorvex::test
