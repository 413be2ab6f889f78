// Per-window tables of multiples of G for variable-time k*G: window i holds
// j * 2^(w i) * G for j = 0 .. 2^w - 1, so k*G costs one addition per window
// and no doublings. The tables are built once per process by worker threads
// and kept in a cache file between runs; one mutex guards the configuration
// and the current tables, which are immutable once installed.
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
    std::string cache_dir;      // directory for the derived file name
    uint32_t max_windows = 0;   // non-zero: refuse cache files with more windows
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
// Makes sure current tables exist: loads the cache file, or builds the tables
// and saves them. Throws std::runtime_error (or std::bad_alloc, or
// std::system_error from threads) when it cannot.
void ensure_built();
PrecomputeContextPtr current_context();
// A copy of the process-wide configuration.
PrecomputeConfig current_config();
// Sets the cache directory (empty for none) and drops the current tables.
void set_cache_dir(const std::string& dir);

// k*G through the current tables, as a Jacobian point.
Point precomputed_gen_mul(const Scalar& k);

// k*G through the current tables in two steps, so that the table entries
// (the tables are far larger than the caches) are fetched from memory while
// other work runs: the constructor takes the current tables exactly as
// precomputed_gen_mul does (same lock, same checks, same exceptions), recodes
// k and starts loading every entry it will read; add_to then adds k*G to a point
// with the same additions in the same order as precomputed_gen_mul, which is
// add_to applied to infinity. The object keeps the tables alive.
class PrecomputedGenTerm {
public:
    explicit PrecomputedGenTerm(const Scalar& k);
    void add_to(Point& acc) const;

private:
    PrecomputeContextPtr ctx_;
    Scalar k_;
    int64_t d1_[128];
    int64_t d2_[128];
};

// The steps, exposed for tests.
std::shared_ptr<PrecomputeContext> build_context(const PrecomputeConfig& config);
bool validate(const PrecomputeContext& ctx);
// Reads a cache file written for `config` (width, GLV setting, window limit)
// and checks every entry; nullptr when the file is missing, malformed, made
// for another configuration, or holds a wrong point.
std::shared_ptr<PrecomputeContext> load_cache(const std::string& path, const PrecomputeConfig& config);
// Writes ctx to path through a temporary file; never replaces an existing
// file. True on success.
bool save_cache(const PrecomputeContext& ctx, const std::string& path) noexcept;
// "cache_w<w>[_glv].bin", inside config.cache_dir when that is set, else
// relative to the current directory.
std::string cache_file_name(uint32_t window_bits, const PrecomputeConfig& config);
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
