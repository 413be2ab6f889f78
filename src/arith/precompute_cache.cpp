// The table cache file: a 32-byte little-endian header, then every entry of
// tables[0], tables[1], ... (and of the GLV tables) as a flag byte (1 for
// infinity) followed, for finite entries, by x and y as 32 big-endian bytes.
//
// A file is used only after every entry has been checked to be the multiple
// of G it stands for: a corrupted or planted file would otherwise make
// verification compute wrong multiples of G without any sign. Before that, a
// file is refused unless it is a regular file (not reached through a
// symbolic link) owned by the calling user or root, so that a file planted
// by someone else does not even cost a rebuild-and-check.
//
// The file is written through a temporary name beside it, created so that
// it can only be a new regular file of our own: nothing already at that name
// (a link to another file, someone's file) is ever written through or
// removed.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "arith/precompute.h"
#include "support/bytes.h"
#include "support/env.h"

#if defined(__unix__) || defined(__APPLE__)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#if defined(__linux__)
#include <sys/syscall.h>
#endif
#define QORVEX_POSIX_FILES 1
#else
#include <filesystem>
#define QORVEX_POSIX_FILES 0
#endif

namespace qorvex {

namespace {

constexpr uint32_t kMagic = 0x53454350;  // bytes "PCES"
constexpr uint32_t kVersion = 2;
constexpr size_t kHeaderSize = 32;

// Sequential reads through a large buffer.
class Reader {
public:
    explicit Reader(std::FILE* f) : f_(f), buf_(1 << 20) {}
    bool read(uint8_t* dst, size_t n) {
        while (n) {
            if (pos_ == len_) {
                len_ = std::fread(buf_.data(), 1, buf_.size(), f_);
                pos_ = 0;
                if (len_ == 0) return false;
            }
            const size_t take = std::min(n, len_ - pos_);
            std::memcpy(dst, buf_.data() + pos_, take);
            pos_ += take;
            dst += take;
            n -= take;
        }
        return true;
    }

private:
    std::FILE* f_;
    std::vector<uint8_t> buf_;
    size_t pos_ = 0, len_ = 0;
};

// Opens the cache file for reading and reports its size. A FIFO, device or
// directory in the cache's place is refused without blocking on it, and so
// are a symbolic link and a file that neither we nor root own.
std::FILE* open_regular(const std::string& path, uint64_t& size, CacheFileState& state) {
    state = CacheFileState::missing;
#if QORVEX_POSIX_FILES
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) {
        if (errno == ELOOP) state = CacheFileState::refused;
        return nullptr;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || (st.st_uid != ::geteuid() && st.st_uid != 0)) {
        state = CacheFileState::refused;
        ::close(fd);
        return nullptr;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    size = static_cast<uint64_t>(st.st_size);
    std::FILE* f = ::fdopen(fd, "rb");
    if (!f) ::close(fd);
    return f;
#else
    std::error_code ec;
    const auto st = std::filesystem::symlink_status(path, ec);
    if (ec) return nullptr;
    if (!std::filesystem::is_regular_file(st)) {
        state = CacheFileState::refused;
        return nullptr;
    }
    size = std::filesystem::file_size(path, ec);
    if (ec) return nullptr;
    return std::fopen(path.c_str(), "rb");
#endif
}

// Creates the temporary file: only a new regular file, never through
// whatever is at the name already.
std::FILE* create_new_file(const std::string& tmp) {
#if QORVEX_POSIX_FILES
    const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) return nullptr;
    std::FILE* f = ::fdopen(fd, "wb");
    if (!f) {
        ::close(fd);
        ::unlink(tmp.c_str());
    }
    return f;
#else
    return std::fopen(tmp.c_str(), "wbx");
#endif
}

bool rename_replacing(const std::string& tmp, const std::string& path) {
#if QORVEX_POSIX_FILES
    return std::rename(tmp.c_str(), path.c_str()) == 0;
#else
    std::error_code ec;
    std::filesystem::rename(tmp, path, ec);
    return !ec;
#endif
}

// Moves tmp to path unless path already exists; an existing cache file is
// never replaced.
bool rename_no_replace(const std::string& tmp, const std::string& path) {
#if defined(__linux__) && defined(SYS_renameat2)
    // RENAME_NOREPLACE = 1
    if (::syscall(SYS_renameat2, AT_FDCWD, tmp.c_str(), AT_FDCWD, path.c_str(), 1) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
#endif
#if QORVEX_POSIX_FILES
    // Where renameat2 is unsupported, link() also fails when the target
    // exists.
    if (::link(tmp.c_str(), path.c_str()) != 0) return false;
    ::unlink(tmp.c_str());
    return true;
#else
    std::error_code ec;
    if (std::filesystem::exists(path, ec)) return false;
    return std::rename(tmp.c_str(), path.c_str()) == 0;
#endif
}

long process_id() {
#if QORVEX_POSIX_FILES
    return static_cast<long>(::getpid());
#else
    return 0;
#endif
}

void write_header(uint8_t h[kHeaderSize], const PrecomputeContext& c) {
    std::memset(h, 0, kHeaderSize);
    store_le32(h, kMagic);
    store_le32(h + 4, kVersion);
    store_le32(h + 8, c.window_bits);
    store_le32(h + 12, static_cast<uint32_t>(c.window_count));
    store_le64(h + 16, c.entries_per_window);
    h[24] = c.config.enable_glv ? 1 : 0;
}

bool read_rows(Reader& in, std::vector<std::vector<TableEntry>>& rows, size_t entries) {
    uint8_t rec[64];
    for (auto& row : rows) {
        reserve_table_row(row, entries);
        row.resize(entries);
        for (size_t j = 0; j < entries; ++j) {
            uint8_t flag;
            if (!in.read(&flag, 1)) return false;
            // Only the multiple 0 is infinity; anything else is a bad file.
            if ((flag != 0) != (j == 0)) return false;
            if (flag != 0) {
                row[j] = TableEntry{FieldElement::zero(), FieldElement::zero()};
                continue;
            }
            if (!in.read(rec, 64)) return false;
            row[j] = TableEntry{FieldElement::from_bytes_reduce(rec), FieldElement::from_bytes_reduce(rec + 32)};
        }
    }
    return true;
}

bool write_rows(std::FILE* f, const std::vector<std::vector<TableEntry>>& rows) {
    std::vector<uint8_t> buf;
    buf.reserve(65 * 16384);
    for (const auto& row : rows) {
        for (size_t j = 0; j < row.size(); ++j) {
            if (j == 0) {
                buf.push_back(1);
            } else {
                uint8_t rec[65];
                rec[0] = 0;
                row[j].x.to_bytes(rec + 1);
                row[j].y.to_bytes(rec + 33);
                buf.insert(buf.end(), rec, rec + 65);
            }
            if (buf.size() >= 65 * 16000) {
                if (std::fwrite(buf.data(), 1, buf.size(), f) != buf.size()) return false;
                buf.clear();
            }
        }
    }
    return buf.empty() || std::fwrite(buf.data(), 1, buf.size(), f) == buf.size();
}

}  // namespace

std::string cache_file_name(uint32_t window_bits, const PrecomputeConfig& config) {
    const std::string& dir = !config.cache_dir.empty() ? config.cache_dir : config.default_dir;
    if (dir.empty()) return {};
    return dir + "/cache_w" + std::to_string(window_bits) + (config.enable_glv ? "_glv" : "") + ".bin";
}

std::string cache_file_path(const PrecomputeConfig& config) {
    return config.use_cache_path ? config.cache_path : cache_file_name(config.window_bits, config);
}

std::string default_cache_dir() {
    // The XDG base-directory rules ignore a relative XDG_CACHE_HOME; a
    // relative HOME would put the file below whatever the current directory
    // happens to be, so it is ignored too.
    auto absolute = [](const char* v) -> std::string {
        if (!v || v[0] != '/') return {};
        std::string d = v;
        while (d.size() > 1 && d.back() == '/') d.pop_back();
        return d == "/" ? std::string() : d;
    };
    const char* xdg = env_lookup("XDG_CACHE_HOME");
    if (xdg && xdg[0] == '/') return absolute(xdg) + "/qorvex";
    const char* home = env_lookup("HOME");
    if (!home || home[0] != '/') return {};
    return absolute(home) + "/.cache/qorvex";
}

bool prepare_default_dir(const std::string& dir) {
#if QORVEX_POSIX_FILES
    if (dir.empty() || dir[0] != '/') return false;
    for (size_t pos = 1; pos <= dir.size(); ++pos) {
        if (pos != dir.size() && dir[pos] != '/') continue;
        if (::mkdir(dir.substr(0, pos).c_str(), 0700) != 0 && errno != EEXIST) return false;
    }
    struct stat st;
    return ::stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid();
#else
    // Without a way to tell who owns a directory there is no safe default:
    // the tables stay in memory unless a place is chosen.
    (void)dir;
    return false;
#endif
}

bool cache_place_possible(const std::string& path, bool default_place) {
#if QORVEX_POSIX_FILES
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return true;
    const std::string dir = slash == 0 ? std::string("/") : path.substr(0, slash);
    struct stat st;
    if (::stat(dir.c_str(), &st) != 0) return errno == ENOENT;
    return S_ISDIR(st.st_mode) && (!default_place || st.st_uid == ::geteuid());
#else
    (void)path;
    return !default_place;
#endif
}

std::shared_ptr<PrecomputeContext> load_cache(const std::string& path, const PrecomputeConfig& config,
                                              CacheFileState* state_out) {
    CacheFileState ignored;
    CacheFileState& state = state_out ? *state_out : ignored;
    uint64_t size = 0;
    std::FILE* f = open_regular(path, size, state);
    if (!f) return nullptr;
    struct Closer {
        std::FILE* f;
        ~Closer() {
            if (f) std::fclose(f);
        }
    } closer{f};

    // From here on the file is ours and in the cache's place: anything
    // wrong with it, short of being made for another setup, is damage that
    // a fresh save should repair.
    state = CacheFileState::damaged;
    uint8_t h[kHeaderSize];
    if (std::fread(h, 1, kHeaderSize, f) != kHeaderSize) return nullptr;
    const uint32_t magic = load_le32(h), version = load_le32(h + 4), w = load_le32(h + 8);
    const uint32_t count = load_le32(h + 12), glv = load_le32(h + 24);
    const uint64_t entries = load_le64(h + 16);
    if (magic != kMagic) return nullptr;
    // Another format version is another library's file, not damage.
    if (version != kVersion) {
        state = CacheFileState::other_setup;
        return nullptr;
    }
    if (glv > 1) return nullptr;
    if (w < 2 || w > 30 || count != window_count_for(w) || entries != (uint64_t{1} << w)) return nullptr;
    if (w != config.window_bits || (glv == 1) != config.enable_glv ||
        (config.max_windows != 0 && config.max_windows < count)) {
        state = CacheFileState::other_setup;
        return nullptr;
    }
    if (size < (glv ? 2 : 1) * uint64_t{count} * entries + kHeaderSize) return nullptr;

    auto c = std::make_shared<PrecomputeContext>();
    c->config = config;
    c->window_bits = w;
    c->window_count = count;
    c->entries_per_window = static_cast<size_t>(entries);
    c->beta = FieldElement::beta();
    c->tables.resize(count);
    if (glv) c->glv_tables.resize(count);
    Reader in(f);
    if (!read_rows(in, c->tables, c->entries_per_window)) return nullptr;
    if (glv && !read_rows(in, c->glv_tables, c->entries_per_window)) return nullptr;
    closer.f = nullptr;
    if (std::fclose(f) != 0) {
        state = CacheFileState::missing;
        return nullptr;
    }
    if (!validate(*c) || !check_entries(*c)) return nullptr;
    state = CacheFileState::loaded;
    return c;
}

bool save_cache(const PrecomputeContext& c, const std::string& path, bool replace) noexcept {
    // A failed save only means the next process builds again, so nothing
    // escapes from here: not a failed write, and not a failed allocation of
    // the names or the write buffer either. The file is closed and the
    // temporary removed on every path, provided this call created it.
    std::string tmp;
    std::FILE* f = nullptr;
    bool ok = false;
    try {
        tmp = path + ".tmp." + std::to_string(process_id());
        f = create_new_file(tmp);
        if (!f) return false;
        uint8_t h[kHeaderSize];
        write_header(h, c);
        ok = std::fwrite(h, 1, kHeaderSize, f) == kHeaderSize && write_rows(f, c.tables);
        if (ok && c.config.enable_glv) ok = write_rows(f, c.glv_tables);
    } catch (...) {
        ok = false;
    }
    if (f && std::fclose(f) != 0) ok = false;
    if (ok) ok = replace ? rename_replacing(tmp, path) : rename_no_replace(tmp, path);
    if (!ok && f) std::remove(tmp.c_str());
    return ok;
}

}  // namespace qorvex
