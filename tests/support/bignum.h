// A deliberately simple arbitrary-precision unsigned integer for checking the
// library's arithmetic against an independent computation. Test code only:
// 32-bit limbs, schoolbook multiplication, bitwise long division.
#pragma once

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace qorvex::test {

class BigUint {
public:
    BigUint() = default;
    BigUint(uint64_t v) {  // NOLINT(google-explicit-constructor): numbers read naturally in tests
        while (v) {
            w_.push_back(static_cast<uint32_t>(v));
            v >>= 32;
        }
    }

    static BigUint from_hex(const std::string& hex) {
        BigUint r;
        for (char c : hex) {
            int d;
            if (c >= '0' && c <= '9')
                d = c - '0';
            else if (c >= 'a' && c <= 'f')
                d = c - 'a' + 10;
            else if (c >= 'A' && c <= 'F')
                d = c - 'A' + 10;
            else
                throw std::invalid_argument("bad hex digit");
            r = (r << 4) + BigUint(static_cast<uint64_t>(d));
        }
        return r;
    }

    // Four 64-bit limbs, least significant first.
    static BigUint from_limbs(const uint64_t l[4]) {
        BigUint r;
        for (int i = 0; i < 4; ++i) {
            r.w_.push_back(static_cast<uint32_t>(l[i]));
            r.w_.push_back(static_cast<uint32_t>(l[i] >> 32));
        }
        r.trim();
        return r;
    }

    static BigUint from_bytes_be(const uint8_t* p, size_t n) {
        BigUint r;
        for (size_t i = 0; i < n; ++i) r = (r << 8) + BigUint(p[i]);
        return r;
    }

    // Low 256 bits as four 64-bit limbs.
    void to_limbs(uint64_t l[4]) const {
        for (int i = 0; i < 4; ++i) l[i] = uint64_t{word(2 * i)} | (uint64_t{word(2 * i + 1)} << 32);
    }

    // Lower-case hex, zero-padded to `digits`.
    std::string to_hex(size_t digits = 64) const {
        static const char* d = "0123456789abcdef";
        std::string s;
        BigUint t = *this;
        while (!t.is_zero()) {
            s += d[t.w_[0] & 15];
            t = t >> 4;
        }
        while (s.size() < digits) s += '0';
        std::reverse(s.begin(), s.end());
        return s;
    }

    bool is_zero() const { return w_.empty(); }
    bool bit(size_t i) const { return (word(i / 32) >> (i % 32)) & 1; }
    size_t bit_length() const {
        if (w_.empty()) return 0;
        size_t n = 32 * (w_.size() - 1);
        uint32_t top = w_.back();
        while (top) {
            ++n;
            top >>= 1;
        }
        return n;
    }

    friend bool operator==(const BigUint& a, const BigUint& b) { return a.w_ == b.w_; }
    friend bool operator!=(const BigUint& a, const BigUint& b) { return !(a == b); }
    friend bool operator<(const BigUint& a, const BigUint& b) { return cmp(a, b) < 0; }
    friend bool operator<=(const BigUint& a, const BigUint& b) { return cmp(a, b) <= 0; }
    friend bool operator>(const BigUint& a, const BigUint& b) { return cmp(a, b) > 0; }
    friend bool operator>=(const BigUint& a, const BigUint& b) { return cmp(a, b) >= 0; }

    friend BigUint operator+(const BigUint& a, const BigUint& b) {
        BigUint r;
        const size_t n = std::max(a.w_.size(), b.w_.size());
        uint64_t carry = 0;
        for (size_t i = 0; i < n; ++i) {
            const uint64_t s = uint64_t{a.word(i)} + b.word(i) + carry;
            r.w_.push_back(static_cast<uint32_t>(s));
            carry = s >> 32;
        }
        if (carry) r.w_.push_back(static_cast<uint32_t>(carry));
        r.trim();
        return r;
    }

    // Requires a >= b.
    friend BigUint operator-(const BigUint& a, const BigUint& b) {
        if (a < b) throw std::underflow_error("BigUint subtraction below zero");
        BigUint r;
        int64_t borrow = 0;
        for (size_t i = 0; i < a.w_.size(); ++i) {
            int64_t d = static_cast<int64_t>(a.word(i)) - b.word(i) - borrow;
            borrow = d < 0;
            if (d < 0) d += int64_t{1} << 32;
            r.w_.push_back(static_cast<uint32_t>(d));
        }
        r.trim();
        return r;
    }

    friend BigUint operator*(const BigUint& a, const BigUint& b) {
        if (a.is_zero() || b.is_zero()) return BigUint();
        BigUint r;
        r.w_.assign(a.w_.size() + b.w_.size(), 0);
        for (size_t i = 0; i < a.w_.size(); ++i) {
            uint64_t carry = 0;
            for (size_t j = 0; j < b.w_.size(); ++j) {
                const uint64_t t = uint64_t{a.w_[i]} * b.w_[j] + r.w_[i + j] + carry;
                r.w_[i + j] = static_cast<uint32_t>(t);
                carry = t >> 32;
            }
            r.w_[i + b.w_.size()] = static_cast<uint32_t>(carry);
        }
        r.trim();
        return r;
    }

    friend BigUint operator<<(const BigUint& a, size_t s) {
        if (a.is_zero()) return a;
        BigUint r;
        r.w_.assign(a.w_.size() + s / 32 + 1, 0);
        for (size_t i = 0; i < a.w_.size(); ++i) {
            const uint64_t v = uint64_t{a.w_[i]} << (s % 32);
            r.w_[i + s / 32] |= static_cast<uint32_t>(v);
            r.w_[i + s / 32 + 1] |= static_cast<uint32_t>(v >> 32);
        }
        r.trim();
        return r;
    }

    friend BigUint operator>>(const BigUint& a, size_t s) {
        BigUint r;
        const size_t words = s / 32, bits = s % 32;
        for (size_t i = words; i < a.w_.size(); ++i) {
            uint64_t v = a.w_[i] >> bits;
            if (bits && i + 1 < a.w_.size()) v |= uint64_t{a.w_[i + 1]} << (32 - bits);
            r.w_.push_back(static_cast<uint32_t>(v));
        }
        r.trim();
        return r;
    }

    friend BigUint operator%(const BigUint& a, const BigUint& m) {
        if (m.is_zero()) throw std::domain_error("modulo zero");
        if (a < m) return a;
        BigUint r;
        for (size_t i = a.bit_length(); i-- > 0;) {
            r = r << 1;
            if (a.bit(i)) r = r + BigUint(1);
            if (r >= m) r = r - m;
        }
        return r;
    }

    friend BigUint operator/(const BigUint& a, const BigUint& m) {
        if (m.is_zero()) throw std::domain_error("division by zero");
        BigUint q, r;
        for (size_t i = a.bit_length(); i-- > 0;) {
            r = r << 1;
            if (a.bit(i)) r = r + BigUint(1);
            q = q << 1;
            if (r >= m) {
                r = r - m;
                q = q + BigUint(1);
            }
        }
        return q;
    }

    static BigUint pow_mod(BigUint base, const BigUint& exp, const BigUint& m) {
        BigUint r(1);
        base = base % m;
        for (size_t i = exp.bit_length(); i-- > 0;) {
            r = (r * r) % m;
            if (exp.bit(i)) r = (r * base) % m;
        }
        return r % m;
    }

    // Inverse modulo a prime, by Fermat.
    static BigUint inv_mod_prime(const BigUint& a, const BigUint& p) { return pow_mod(a, p - BigUint(2), p); }

private:
    std::vector<uint32_t> w_;  // least significant first, no leading zeros

    uint32_t word(size_t i) const { return i < w_.size() ? w_[i] : 0; }
    void trim() {
        while (!w_.empty() && w_.back() == 0) w_.pop_back();
    }
    static int cmp(const BigUint& a, const BigUint& b) {
        if (a.w_.size() != b.w_.size()) return a.w_.size() < b.w_.size() ? -1 : 1;
        for (size_t i = a.w_.size(); i-- > 0;) {
            if (a.w_[i] != b.w_[i]) return a.w_[i] < b.w_[i] ? -1 : 1;
        }
        return 0;
    }
};

}  // namespace qorvex::test
