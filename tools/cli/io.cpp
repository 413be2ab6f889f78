// Inputs: files and stdin, secret keys, messages, public keys; randomness;
// the private-file writer; secret wiping.
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/syscall.h>
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

void read_secret_file(const std::string& path, SecretBuffer& out, size_t limit, const std::string& what) {
    const bool from_stdin = path == "-";
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
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) usage_error("cannot read " + path + ": it is a directory");
    // All the room there will ever be, reserved before the first byte
    // arrives: the bytes are read straight into it and never moved.
    std::vector<uint8_t>& d = out.data();
    out.clear();
    d.reserve(limit + 1);
    d.resize(limit + 1);
    size_t len = 0;
    while (len <= limit) {
        const ssize_t r = ::read(fd, d.data() + len, limit + 1 - len);
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
        usage_error(what + ": more than " + std::to_string(limit) + " bytes; a key is 64 hex digits or 32 bytes");
    }
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
    const std::string name = std::strcmp(path, "-") == 0 ? std::string("stdin") : std::string(path);
    SecretBuffer buf;
    read_secret_file(path, buf, kSecretFileLimit, "key from " + name);
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
