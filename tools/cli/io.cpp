// Inputs: files and stdin, secret keys, messages, public keys; randomness;
// the private-file writer; secret wiping.
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
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

// What the refusal of an oversized key file adds.
constexpr std::string_view kKeyFileHint = "; a key is 64 hex digits or 32 bytes";

// WIF text: 51 (uncompressed) or 52 (compressed) Base58 characters. 32 raw
// bytes never pass for it: the lengths differ.
constexpr size_t kWifMaxChars = 52;

bool looks_like_wif(std::string_view t) {
    static const char kBase58[] = "123456789ABCDEFGHJKLMNPQRSTUVWXYZabcdefghijkmnopqrstuvwxyz";
    if (t.size() != 51 && t.size() != kWifMaxChars) return false;
    for (const char c : t) {
        if (c == '\0' || std::strchr(kBase58, c) == nullptr) return false;
    }
    return true;
}

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

// Warns on stderr when a file holding a secret can be read by group or
// others; the command goes on, as the secret is already exposed.
void warn_if_exposed(const struct stat& st, const std::string& path) {
    if (!S_ISREG(st.st_mode) || (st.st_mode & (S_IRGRP | S_IROTH)) == 0) return;
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
    std::fprintf(stderr, "qorvex: warning: %s holds a secret and can be read by other users (mode %s); chmod 600 %s\n",
                 path.c_str(), mode, path.c_str());
}

// What has read stdin so far: it holds one input, so a second reader would
// silently get nothing.
std::string g_stdin_reader;

}  // namespace

void claim_stdin(std::string_view what) {
    if (!g_stdin_reader.empty()) {
        usage_error("stdin can give only one input: " + g_stdin_reader + " and " + std::string(what) +
                    " both ask for it");
    }
    g_stdin_reader = what;
}

const char* stdin_or(const char* value, std::string_view what) {
    if (value == nullptr || std::strcmp(value, "-") != 0) return value;
    // One claim per process, so one buffer; it is wiped at exit, as the
    // value may be a secret.
    static SecretBuffer text;
    read_secret_file("-", text, kNoLimit, std::string(what));
    std::vector<uint8_t>& d = text.data();
    if (std::memchr(d.data(), '\0', d.size()) != nullptr) usage_error(std::string(what) + " (stdin): not hex (a NUL byte)");
    d.push_back('\0');  // the reader leaves room for it
    return reinterpret_cast<const char*>(d.data());
}

void read_file(const std::string& path, std::vector<uint8_t>& out, std::string_view what) {
    if (path == "-") {
        claim_stdin(what);
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

void read_secret_file(const std::string& path, SecretBuffer& out, size_t limit, const std::string& what,
                      std::string_view hint) {
    const bool from_stdin = path == "-";
    if (from_stdin) claim_stdin(what);
    const int fd = from_stdin ? STDIN_FILENO : ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) usage_error("cannot open " + path + ": " + errno_text());
    struct Closer {
        int fd;
        bool own;
        ~Closer() {
            if (own) ::close(fd);
        }
    } closer{fd, !from_stdin};
    struct stat st {};
    if (::fstat(fd, &st) == 0) {
        if (S_ISDIR(st.st_mode)) usage_error("cannot read " + path + ": it is a directory");
        // The mode of the file actually opened, not of whatever the name
        // points at by now.
        if (!from_stdin) warn_if_exposed(st, path);
    }
    // The buffer grows by moving to a new allocation and wiping the old
    // one, so no copy of the secret is left in freed memory. A small limit
    // (a key file) takes all its room at once: one allocation, never moved.
    const size_t most = limit == kNoLimit ? kNoLimit : limit + 1;
    std::vector<uint8_t>& d = out.data();
    out.clear();
    size_t len = 0;
    for (;;) {
        if (len == d.size()) {
            if (len == most) break;
            const size_t want = d.empty() ? 65536 : 2 * d.size();
            std::vector<uint8_t> bigger(most < want ? most : want);
            if (len) std::memcpy(bigger.data(), d.data(), len);
            out.clear();
            d.swap(bigger);
        }
        const ssize_t r = ::read(fd, d.data() + len, d.size() - len);
        if (r < 0) {
            if (errno == EINTR) continue;
            const std::string err = errno_text();
            out.clear();
            usage_error("cannot read " + (from_stdin ? std::string("stdin") : path) + ": " + err);
        }
        if (r == 0) break;
        len += static_cast<size_t>(r);
    }
    if (len > limit) {
        out.clear();
        usage_error(what + ": more than " + std::to_string(limit) + " bytes" + std::string(hint));
    }
    // Shrinking keeps the allocation, which clear() wipes whole; it holds at
    // least one byte more than was read.
    d.resize(len);
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
    // The new file is made beside the target, so the rename stays within one
    // file system; mkostemp creates it new (O_EXCL: nothing at the name is
    // followed or reused) with mode 0600 from the start.
    std::string tmp = path + ".tmp.XXXXXX";
    const int fd = ::mkostemp(tmp.data(), O_CLOEXEC);
    if (fd < 0) usage_error("cannot create " + path + ": " + errno_text());
    auto fail = [&](const std::string& why, bool usage) {
        ::unlink(tmp.c_str());
        if (usage) usage_error(why);
        runtime_error(why);
    };
    size_t done = 0;
    while (done < content.size()) {
        const ssize_t w = ::write(fd, content.data() + done, content.size() - done);
        if (w < 0) {
            if (errno == EINTR) continue;
            const std::string err = errno_text();
            ::close(fd);
            fail("cannot write " + path + ": " + err, false);
        }
        done += static_cast<size_t>(w);
    }
    if (::fsync(fd) != 0) {
        const std::string err = errno_text();
        ::close(fd);
        fail("cannot write " + path + ": " + err, false);
    }
    if (::close(fd) != 0) fail("cannot write " + path + ": " + errno_text(), false);
    if (overwrite) {
        // rename replaces the name itself: a link there is replaced, never
        // followed, and a process that has the old file open keeps reading
        // the old contents.
        if (::rename(tmp.c_str(), path.c_str()) != 0) fail("cannot create " + path + ": " + errno_text(), true);
    } else {
        // A rename that refuses an existing name, whatever is there; where
        // the kernel lacks it, link() refuses the same way.
        int rc = static_cast<int>(::syscall(SYS_renameat2, AT_FDCWD, tmp.c_str(), AT_FDCWD, path.c_str(), 1 /* RENAME_NOREPLACE */));
        if (rc != 0 && (errno == EINVAL || errno == ENOSYS)) {
            rc = ::link(tmp.c_str(), path.c_str());
            if (rc == 0) ::unlink(tmp.c_str());
        }
        if (rc != 0) {
            if (errno == EEXIST) fail(path + " already exists (give --force to replace it)", true);
            fail("cannot create " + path + ": " + errno_text(), true);
        }
    }
}

// ---------------------------------------------------------------------------

std::vector<Option> message_options(const char* digest_help, const char* message_help) {
    return {
        {"digest", "HEX", digest_help},
        {"message", "TEXT", message_help},
        {"message-file", "FILE", "read the message from FILE (\"-\" for stdin)"},
        {"allow-empty", nullptr, "accept an empty message (refused otherwise: an empty file or stdin is a mistake "
                                 "more often than a message)"},
    };
}

MessageInput read_message(const Args& args, bool stdin_taken, bool with_digest) {
    const int given = args.has("digest") + args.has("message") + args.has("message-file");
    if (given > 1) {
        usage_error(with_digest ? "give only one of --digest, --message and --message-file"
                                : "give only one of --message and --message-file");
    }
    // Never an implicit stdin: a job started with stdin on /dev/null would
    // sign (and verify) the empty message without anybody asking for it.
    if (given == 0 && stdin_taken) {
        usage_error(with_digest ? "the key is read from stdin; give the message with --message TEXT, --message-file "
                                  "FILE or --digest HEX"
                                : "the key is read from stdin; give the message with --message TEXT or "
                                  "--message-file FILE");
    }
    if (given == 0) {
        usage_error(with_digest
                        ? "no message: give --message TEXT, --message-file FILE (\"-\" reads stdin) or --digest HEX"
                        : "no message: give --message TEXT or --message-file FILE (\"-\" reads stdin)");
    }
    MessageInput in;
    if (const char* d = args.get("digest")) {
        in.is_digest = true;
        in.bytes.resize(32);
        parse_hex_exact(d, in.bytes.data(), 32, "--digest");
        return in;
    }
    if (const char* m = args.get("message")) {
        in.bytes.assign(m, m + std::strlen(m));
    } else {
        const std::string path = args.get("message-file");
        if (path == "-" && stdin_taken) usage_error("the key and the message cannot both come from stdin");
        read_file(path, in.bytes, "the message");
    }
    if (in.bytes.empty() && !args.has("allow-empty")) {
        usage_error("the message is empty; give --allow-empty if the empty message is meant");
    }
    return in;
}

Option key_file_option() {
    return {"key-file", "PATH",
            "read the private key from PATH (\"-\" for stdin): 64 hex digits, WIF text or 32 raw bytes"};
}

bool key_from_stdin(const Args& args) {
    const char* k = args.get("key-file");
    return k != nullptr && std::strcmp(k, "-") == 0;
}

void read_secret_hex_option(const Args& args, const char* name, uint8_t out[32]) {
    const std::string what = std::string("--") + name;
    char* text = args.raw(name);
    if (std::strcmp(text, "-") == 0) {
        SecretBuffer buf;
        read_secret_file("-", buf, kSecretFileLimit, what + " (stdin)", "; expected 64 hex digits");
        const std::string_view t(reinterpret_cast<const char*>(buf.data().data()), buf.data().size());
        parse_hex_exact(t, out, 32, what + " (stdin)");
        return;
    }
    try {
        parse_hex_exact(text, out, 32, what);
    } catch (...) {
        wipe(text, std::strlen(text));
        throw;
    }
    wipe(text, std::strlen(text));
}

void read_secret_key(Session& s, const Args& args, SecretKey& key) {
    const char* path = args.get("key-file");
    if (path == nullptr) usage_error("missing --key-file PATH (\"-\" reads the key from stdin)");
    const std::string name = std::strcmp(path, "-") == 0 ? std::string("stdin") : std::string(path);
    SecretBuffer buf;
    read_secret_file(path, buf, kSecretFileLimit, "key from " + name, kKeyFileHint);
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
    } else if (looks_like_wif(text)) {
        // The library's decoder wants the text NUL-terminated: a fixed,
        // wiped copy.
        char wif[kWifMaxChars + 1] = {};
        std::memcpy(wif, text.data(), text.size());
        int compressed = 0, network = 0;
        const int rc = qorvex_wif_decode(s.ctx(), wif, key.bytes, &compressed, &network);
        wipe(wif, sizeof wif);
        s.check(rc);
    } else if (d.size() == 32) {
        std::memcpy(key.bytes, d.data(), 32);
    } else {
        usage_error("key from " + name + ": expected 64 hex digits, WIF text or 32 raw bytes");
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
