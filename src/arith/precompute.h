// Per-window tables of multiples of G for variable-time k*G: window i holds
// j * 2^(w i) * G for j = 0 .. 2^w - 1, so k*G costs one addition per window
// and no doublings. The tables are built once per process by worker threads
// and kept in a cache file between runs. One mutex guards the configuration
// and the building and replacing of the current tables; the tables are
// immutable once installed and published so that multiplications take them
// without the lock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "arith/point.h"
#include "arith/scalar.h"

namespace qorvex {

struct PrecomputeConfig {
    uint32_t window_bits = 18;  // 2 .. 30
    bool enable_glv = false;    // also tables of lambda * entries, scalars split
    bool use_jsf = false;       // with GLV: the joint form instead of the tables
    std::string cache_path;     // explicit cache file
    bool use_cache_path = false;
    std::string cache_dir;      // directory chosen for the derived file name
    // The per-user place ($XDG_CACHE_HOME/qorvex, else $HOME/.cache/qorvex),
    // used when neither cache_path nor cache_dir names one; empty when the
    // environment gives none, and then the tables stay in memory.
    std::string default_dir;
    uint32_t max_windows = 0;   // non-zero: refuse cache files with more windows
};

// What load_cache found at the path.
enum class CacheFileState {
    loaded,
    missing,      // nothing there, or nothing that could be opened
    refused,      // a symbolic link, not a regular file, or not ours nor root's
    other_setup,  // a cache of another format version, width or GLV setting, or
                  // more windows than max_windows allows
    damaged,      // our width and setting, but cut short or with wrong entries
};

// An affine table entry, one cache line. Entry 0 of every window is the
// point at infinity; its index alone says so, and its coordinates are zero.
struct alignas(64) TableEntry {
    FieldElement x, y;
};

class PrecomputeContext {
public:
    PrecomputeConfig config;
    uint32_t window_bits = 0;
    size_t window_count = 0;        // (w + 255) / w
    size_t entries_per_window = 0;  // 2^w
    FieldElement beta;
    std::vector<std::vector<TableEntry>> tables;
    std::vector<std::vector<TableEntry>> glv_tables;  // empty without GLV
};

using PrecomputeContextPtr = std::shared_ptr<const PrecomputeContext>;

// Installs a configuration (the cache-related environment variables override
// it) and drops the current tables so the next use rebuilds or reloads them.
void configure(const PrecomputeConfig& config);
// The width and GLV switches from SECP256K1_WINDOW_BITS (2..30),
// SECP256K1_ENABLE_GLV and SECP256K1_USE_JSF (which implies GLV), over the
// defaults.
PrecomputeConfig config_from_environment();
// configure(config_from_environment()) the first time, and later only when
// the environment asks for another width or GLV setting: the current tables
// stay in use otherwise.
void configure_from_environment();
// Makes sure current tables exist: loads the cache file, or builds the tables
// and saves them. Throws std::runtime_error (or std::bad_alloc, or
// std::system_error from threads) when it cannot.
void ensure_built();
PrecomputeContextPtr current_context();
// A copy of the process-wide configuration.
PrecomputeConfig current_config();
// Sets the cache directory (empty: back to the default place) and drops the
// current tables.
void set_cache_dir(const std::string& dir);
// The cache file the tables are read from and written to: the one in use
// once a configuration is installed, else the one the first configuration
// would take from the environment. Empty when the tables stay in memory.
std::string cache_location();

// k*G through the current tables, as a Jacobian point.
Point precomputed_gen_mul(const Scalar& k);

// The current tables, held for as long as the object lives: the tables are
// not freed while any thread holds them, even when configure or
// set_cache_dir replace them meanwhile. Taking them costs no lock and no
// write to memory another thread uses (each thread announces what it holds
// in slots of its own), except when there are no current tables yet: then
// they are loaded or built under the lock. Throws as ensure_built does.
class TablesHold {
public:
    TablesHold();
    ~TablesHold();
    TablesHold(const TablesHold&) = delete;
    TablesHold& operator=(const TablesHold&) = delete;
    const PrecomputeContext& operator*() const { return *tables_; }
    const PrecomputeContext* operator->() const { return tables_; }

private:
    const PrecomputeContext* tables_ = nullptr;
    void* slot_ = nullptr;          // this thread's slot announcing tables_
    PrecomputeContextPtr owned_;    // when no slot was free: a counted copy
};

// k*G through the current tables in two steps, so that the table entries
// (the tables are far larger than the caches) are fetched from memory while
// other work runs: the constructor takes the current tables exactly as
// precomputed_gen_mul does (same checks, same exceptions), recodes k and
// starts loading every entry it will read; add_to then adds k*G to a point
// with the same additions in the same order as precomputed_gen_mul, which is
// add_to applied to infinity. The object holds the tables.
class PrecomputedGenTerm {
public:
    explicit PrecomputedGenTerm(const Scalar& k);
    void add_to(Point& acc) const;

private:
    TablesHold tables_;
    Scalar k_;
    int64_t d1_[128];
    int64_t d2_[128];
};

// The steps, exposed for tests.
std::shared_ptr<PrecomputeContext> build_context(const PrecomputeConfig& config);
bool validate(const PrecomputeContext& ctx);
// Reads a cache file written for `config` (width, GLV setting, window limit)
// and checks every entry; nullptr when the file is missing, refused,
// malformed, made for another configuration, or holds a wrong point, and
// *state (when given) says which.
std::shared_ptr<PrecomputeContext> load_cache(const std::string& path, const PrecomputeConfig& config,
                                              CacheFileState* state = nullptr);
// Writes ctx to path through a new temporary file beside it, created so that
// it can only be a new regular file of our own, then renamed to path. Without
// `replace` an existing path is never replaced; with it, a rename replaces
// the file atomically. True on success; on failure only the temporary file
// this call created is removed.
bool save_cache(const PrecomputeContext& ctx, const std::string& path, bool replace = false) noexcept;
// "cache_w<w>[_glv].bin" inside config.cache_dir when that is set, else
// inside config.default_dir; empty when neither is set.
std::string cache_file_name(uint32_t window_bits, const PrecomputeConfig& config);
// The cache file for a configuration: cache_path when use_cache_path is set,
// else cache_file_name. Empty for none.
std::string cache_file_path(const PrecomputeConfig& config);
// The per-user default directory from the environment, or empty.
std::string default_cache_dir();
// Makes the default directory exist (mode 0700 for each directory created)
// and checks that it is a directory of the calling user. False when it is
// not usable: the cache then stays off disk.
bool prepare_default_dir(const std::string& dir);
// Whether a cache file at path could be used at all, without creating
// anything: false when its directory exists but is not a directory (such as
// /dev/null), or, for the default place, is not the caller's.
bool cache_place_possible(const std::string& path, bool default_place);
// Whether every entry of ctx's tables is the multiple it claims to be.
bool check_entries(const PrecomputeContext& ctx);

// Reserves room for `entries` entries in an empty row without touching it,
// and asks the system to back the row with large pages where it can: the
// rows are read at random, and with ordinary pages nearly every lookup would
// also miss the address-translation caches.
void reserve_table_row(std::vector<TableEntry>& row, size_t entries);

// Window count and table width for a width.
inline size_t window_count_for(uint32_t w) { return (w + 255) / w; }

}  // namespace qorvex
