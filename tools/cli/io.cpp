// Inputs: files and stdin, secret keys, messages, public keys; randomness;
// the private-file writer; secret wiping.
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "cli.h"

namespace qcli {

void wipe(void* p, size_t n) {
    volatile uint8_t* v = static_cast<volatile uint8_t*>(p);
    for (size_t i = 0; i < n; ++i) v[i] = 0;
}

void SecretBuffer::clear() {
    // Wipe the whole allocation, not only the bytes in use.
    data_.resize(data_.capacity());
    wipe(data_.data(), data_.size());
    data_.clear();
}

namespace {

std::string errno_text() { return std::strerror(errno); }

bool is_space(uint8_t c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Appends everything readable from fd to out. A read error throws.
void read_all(int fd, std::vector<uint8_t>& out, const std::string& name) {
    uint8_t chunk[65536];
    for (;;) {
        const ssize_t r = ::read(fd, chunk, sizeof chunk);
        if (r < 0) {
            if (errno == EINTR) continue;
            const std::string err = errno_text();
            wipe(chunk, sizeof chunk);
            usage_error("cannot read " + name + ": " + err);
        }
        if (r == 0) break;
        out.insert(out.end(), chunk, chunk + r);
    }
    wipe(chunk, sizeof chunk);
}

}  // namespace

void read_file(const std::string& path, std::vector<uint8_t>& out) {
    if (path == "-") {
        read_all(STDIN_FILENO, out, "stdin");
        return;
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) usage_error("cannot open " + path + ": " + errno_text());
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        usage_error("cannot read " + path + ": it is a directory");
    }
    try {
        read_all(fd, out, path);
    } catch (...) {
        ::close(fd);
        throw;
    }
    ::close(fd);
}

bool decode_base64(std::string_view text, std::vector<uint8_t>& out) {
    static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    out.clear();
    if (text.size() % 4 != 0) return false;
    size_t pad = 0;
    while (pad < 2 && pad < text.size() && text[text.size() - 1 - pad] == '=') ++pad;
    uint32_t acc = 0;
    int bits = 0;
    for (size_t i = 0; i + pad < text.size(); ++i) {
        const char* p = std::strchr(kAlphabet, text[i]);
        if (text[i] == '\0' || p == nullptr) return false;
        acc = (acc << 6) | static_cast<uint32_t>(p - kAlphabet);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out.push_back(static_cast<uint8_t>(acc >> bits));
        }
    }
    return true;
}

void random_bytes(uint8_t* out, size_t n) {
    size_t done = 0;
    while (done < n) {
        const ssize_t r = ::getrandom(out + done, n - done, 0);
        if (r < 0) {
            if (errno == EINTR) continue;
            break;  // no getrandom: fall back to the device
        }
        done += static_cast<size_t>(r);
    }
    if (done == n) return;
    const int fd = ::open("/dev/urandom", O_RDONLY | O_CLOEXEC);
    if (fd < 0) runtime_error("no source of random bytes: " + errno_text());
    while (done < n) {
        const ssize_t r = ::read(fd, out + done, n - done);
        if (r <= 0) {
            if (r < 0 && errno == EINTR) continue;
            ::close(fd);
            runtime_error("cannot read /dev/urandom");
        }
        done += static_cast<size_t>(r);
    }
    ::close(fd);
}

void write_private_file(const std::string& path, std::string_view content, bool overwrite) {
    const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (overwrite ? O_TRUNC : O_EXCL);
    const int fd = ::open(path.c_str(), flags, 0600);
    if (fd < 0) {
        if (errno == EEXIST) usage_error(path + " already exists (give --force to replace it)");
        usage_error("cannot create " + path + ": " + errno_text());
    }
    // A replaced file keeps its old mode unless we set it.
    if (::fchmod(fd, 0600) != 0) {
        ::close(fd);
        runtime_error("cannot restrict the mode of " + path + ": " + errno_text());
    }
    size_t done = 0;
    while (done < content.size()) {
        const ssize_t w = ::write(fd, content.data() + done, content.size() - done);
        if (w < 0) {
            if (errno == EINTR) continue;
            const std::string err = errno_text();
            ::close(fd);
            runtime_error("cannot write " + path + ": " + err);
        }
        done += static_cast<size_t>(w);
    }
    if (::fsync(fd) != 0 || ::close(fd) != 0) runtime_error("cannot write " + path + ": " + errno_text());
}

// ---------------------------------------------------------------------------

std::vector<Option> message_options(const char* digest_help) {
    return {
        {"digest", "HEX", digest_help},
        {"message", "TEXT", "the message as text (hashed as the scheme does)"},
        {"message-file", "FILE", "read the message from FILE (\"-\" for stdin)"},
    };
}

MessageInput read_message(const Args& args, bool stdin_taken) {
    const int given = args.has("digest") + args.has("message") + args.has("message-file");
    if (given > 1) usage_error("give only one of --digest, --message and --message-file");
    MessageInput in;
    if (const char* d = args.get("digest")) {
        in.is_digest = true;
        in.bytes.resize(32);
        parse_hex_exact(d, in.bytes.data(), 32, "--digest");
        return in;
    }
    if (const char* m = args.get("message")) {
        in.bytes.assign(m, m + std::strlen(m));
        return in;
    }
    std::string path = "-";
    if (const char* f = args.get("message-file")) {
        path = f;
    } else if (stdin_taken) {
        usage_error("the key is read from stdin; give the message with --digest, --message or --message-file");
    } else if (::isatty(STDIN_FILENO)) {
        usage_error("no message: give --digest HEX, --message TEXT or --message-file FILE, or pipe it on stdin");
    }
    if (path == "-" && stdin_taken) usage_error("the key and the message cannot both come from stdin");
    read_file(path, in.bytes);
    return in;
}

Option key_file_option() {
    return {"key-file", "PATH", "read the private key from PATH (\"-\" for stdin): 64 hex digits or 32 raw bytes"};
}

bool key_from_stdin(const Args& args) {
    const char* k = args.get("key-file");
    return k != nullptr && std::strcmp(k, "-") == 0;
}

void read_secret_key(Session& s, const Args& args, SecretKey& key) {
    const char* path = args.get("key-file");
    if (path == nullptr) usage_error("missing --key-file PATH (\"-\" reads the key from stdin)");
    SecretBuffer buf;
    buf.data().reserve(4096);  // a key file fits: no reallocation leaves a copy behind
    read_file(path, buf.data());
    const std::string name = std::strcmp(path, "-") == 0 ? std::string("stdin") : std::string(path);
    std::vector<uint8_t>& d = buf.data();
    // Hex text (what keygen writes) or the 32 bytes themselves.
    size_t b = 0, e = d.size();
    while (b < e && is_space(d[b])) ++b;
    while (e > b && is_space(d[e - 1])) --e;
    size_t digits = e - b;
    if (digits >= 2 && d[b] == '0' && (d[b + 1] == 'x' || d[b + 1] == 'X')) digits -= 2;
    const std::string_view text(reinterpret_cast<const char*>(d.data()) + b, e - b);
    if (digits == 64) {
        parse_hex_exact(text, key.bytes, 32, "key from " + name);
    } else if (d.size() == 32) {
        std::memcpy(key.bytes, d.data(), 32);
    } else {
        usage_error("key from " + name + ": expected 64 hex digits or 32 raw bytes");
    }
    s.check(qorvex_seckey_verify(s.ctx(), key.bytes));
}

void parse_pubkey(Session& s, const char* hex, uint8_t out33[33], std::string_view what) {
    const std::vector<uint8_t> bytes = parse_hex(hex, what);
    if (bytes.size() != 33 && bytes.size() != 65) {
        usage_error(std::string(what) + ": expected a 33-byte compressed or 65-byte uncompressed public key, got " +
                    std::to_string(bytes.size()) + " bytes");
    }
    s.check(qorvex_pubkey_parse(s.ctx(), bytes.data(), bytes.size(), out33));
}

std::vector<Option> join(std::vector<Option> a, const std::vector<Option>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

uint64_t parse_u64(const char* text, std::string_view what) {
    const std::string t = text;
    if (t.empty() || t.size() > 20 || t.find_first_not_of("0123456789") != std::string::npos) {
        usage_error(std::string(what) + ": expected a decimal number, got \"" + t + "\"");
    }
    errno = 0;
    const unsigned long long v = std::strtoull(t.c_str(), nullptr, 10);
    if (errno == ERANGE) usage_error(std::string(what) + ": number too large");
    return v;
}

}  // namespace qcli
