// The process-wide configuration and tables, their construction on worker
// threads, and k*G through them.
#include "arith/precompute.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "support/env.h"

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace qorvex {

namespace {

// Guards the configuration, the building and replacing of the tables, and
// the list of replaced tables still in use.
std::mutex g_lock;
PrecomputeConfig g_config;
bool g_configured = false;
// The current tables: owned here, published in g_published for readers that
// take no lock. Only holders of g_lock change either.
PrecomputeContextPtr g_current;
std::atomic<const PrecomputeContext*> g_published{nullptr};

// Readers announce the tables they use in slots of their own thread (hazard
// pointers): a reader stores the published pointer in a slot and checks that
// it is still published; whoever replaces the tables publishes first and
// then frees the old ones only once no slot holds them. Replaced tables that
// are still held wait in g_retired; the last reader to let go (or the next
// replacement) frees them. A record of slots belongs to one thread at a time
// and is reused after that thread ends. Records come from a static pool, so
// that taking tables allocates nothing; only threads beyond the pool's size
// get records from the heap, which are never freed.
constexpr int kSlotsPerThread = 4;
constexpr size_t kPooledRecords = 256;
struct ReaderSlots {
    std::atomic<const PrecomputeContext*> held[kSlotsPerThread] = {};
    std::atomic<bool> taken{false};
    ReaderSlots* next = nullptr;
};
ReaderSlots g_slot_pool[kPooledRecords];
std::atomic<ReaderSlots*> g_slot_records{nullptr};  // beyond the pool
std::vector<PrecomputeContextPtr> g_retired;  // under g_lock
std::atomic<bool> g_retired_pending{false};

// This thread's record, claimed (or made) on first use; nullptr when none
// could be made, and the reader then takes a counted copy under the lock.
struct ThreadSlots {
    ReaderSlots* record = nullptr;
    bool tried = false;
    ~ThreadSlots() {
        if (record) record->taken.store(false, std::memory_order_release);
    }
};
thread_local ThreadSlots t_slots;

ReaderSlots* thread_slots() {
    ThreadSlots& t = t_slots;
    if (t.record || t.tried) return t.record;
    t.tried = true;
    auto claim = [](ReaderSlots& r) {
        bool free = false;
        return !r.taken.load(std::memory_order_relaxed) &&
               r.taken.compare_exchange_strong(free, true, std::memory_order_acq_rel);
    };
    for (ReaderSlots& r : g_slot_pool) {
        if (claim(r)) return t.record = &r;
    }
    for (ReaderSlots* r = g_slot_records.load(std::memory_order_acquire); r; r = r->next) {
        if (claim(*r)) return t.record = r;
    }
    ReaderSlots* r = new (std::nothrow) ReaderSlots();
    if (!r) return nullptr;
    r->taken.store(true, std::memory_order_relaxed);
    r->next = g_slot_records.load(std::memory_order_relaxed);
    while (!g_slot_records.compare_exchange_weak(r->next, r, std::memory_order_release, std::memory_order_relaxed)) {
    }
    return t.record = r;
}

bool held_by_a_reader(const PrecomputeContext* c) noexcept {
    auto holds = [c](const ReaderSlots& r) {
        for (const auto& h : r.held) {
            if (h.load(std::memory_order_seq_cst) == c) return true;
        }
        return false;
    };
    for (const ReaderSlots& r : g_slot_pool) {
        if (holds(r)) return true;
    }
    for (ReaderSlots* r = g_slot_records.load(std::memory_order_acquire); r; r = r->next) {
        if (holds(*r)) return true;
    }
    return false;
}

// Frees the replaced tables no reader holds any more. Under g_lock.
void reclaim_retired_locked() noexcept {
    std::erase_if(g_retired, [](const PrecomputeContextPtr& c) { return !held_by_a_reader(c.get()); });
    g_retired_pending.store(!g_retired.empty(), std::memory_order_release);
}

// Room to retire the current tables, made before anything changes: once
// they are unpublished they must not be freed under a reader, so their
// retirement cannot be allowed to fail. Under g_lock; may throw bad_alloc.
void reserve_retirement_locked() {
    if (g_current) g_retired.reserve(g_retired.size() + 1);
}

// Installs next (nullptr to drop the tables), after
// reserve_retirement_locked. Under g_lock.
void publish_locked(PrecomputeContextPtr next) noexcept {
    PrecomputeContextPtr old = std::move(g_current);
    g_current = std::move(next);
    g_published.store(g_current.get(), std::memory_order_seq_cst);
    if (old) g_retired.push_back(std::move(old));
    reclaim_retired_locked();
}
// A directory chosen through qorvex_set_cache_dir. The first context installs
// a fresh configuration; without this, a directory set before it would be
// silently dropped.
bool g_cache_dir_chosen = false;
// SECP256K1_CACHE_DIR as the last configuration read it, which an empty
// qorvex_set_cache_dir returns to.
std::string g_env_cache_dir;

// The environment may name a directory or file, but never one reached
// through "..".
bool acceptable_path_env(const char* v) {
    if (!v || !*v) return false;
    return std::strstr(v, "..") == nullptr;
}

bool env_flag(const char* name) {
    const char* v = env_lookup(name);
    return v && (v[0] == '1' || v[0] == 'T' || v[0] == 't' || v[0] == 'Y' || v[0] == 'y');
}

// The cache-related variables over c, and the per-user default place.
void apply_environment(PrecomputeConfig& c) {
    const char* dir = env_lookup("SECP256K1_CACHE_DIR");
    if (acceptable_path_env(dir)) c.cache_dir = dir;
    const char* path = env_lookup("SECP256K1_CACHE_PATH");
    if (acceptable_path_env(path)) {
        c.cache_path = path;
        c.use_cache_path = true;
    }
    if (const char* mw = env_lookup("SECP256K1_MAX_WINDOWS")) {
        const unsigned long v = std::strtoul(mw, nullptr, 10);
        if (v != 0) c.max_windows = v > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(v);
    }
    c.default_dir = default_cache_dir();
}

// Runs fn(i) for i in [0, count) on up to `count` threads sharing an atomic
// counter; the first exception thrown by any of them is rethrown here after
// all have been joined.
template <typename Fn>
void parallel_for(size_t count, Fn&& fn) {
    const unsigned hw = std::thread::hardware_concurrency();
    const size_t workers = std::min<size_t>(count, hw == 0 ? 1 : hw);
    std::atomic<size_t> next{0};
    std::exception_ptr failure;
    std::mutex failure_lock;
    auto work = [&] {
        try {
            for (size_t i = next.fetch_add(1); i < count; i = next.fetch_add(1)) fn(i);
        } catch (...) {
            std::lock_guard<std::mutex> g(failure_lock);
            if (!failure) failure = std::current_exception();
            next.store(count);
        }
    };
    if (workers <= 1) {
        work();
    } else {
        std::vector<std::thread> threads;
        threads.reserve(workers);
        try {
            for (size_t t = 0; t < workers; ++t) threads.emplace_back(work);
        } catch (...) {
            next.store(count);
            for (auto& th : threads) th.join();
            throw;
        }
        for (auto& th : threads) th.join();
    }
    if (failure) std::rethrow_exception(failure);
}

// Window i: j * B for j < 2^w, B = 2^(w i) G given in affine form. The
// multiples are summed in Jacobian form and made affine with one inversion
// for the whole window.
void build_window(std::vector<TableEntry>& t, const AffinePoint& base, size_t entries) {
    reserve_table_row(t, entries);
    t.assign(entries, TableEntry{FieldElement::zero(), FieldElement::zero()});
    t[1] = TableEntry{base.x, base.y};
    const size_t m = entries - 2;  // entries 2 .. 2^w - 1
    std::vector<FieldElement> xs(m), ys(m), zs(m);
    Point acc = Point::from_affine(base);
    for (size_t j = 0; j < m; ++j) {
        acc.add_affine_assign(base.x, base.y);
        xs[j] = acc.X;
        ys[j] = acc.Y;
        zs[j] = acc.Z;
    }
    FieldElement::batch_inverse(zs.data(), m);
    for (size_t j = 0; j < m; ++j) {
        const FieldElement zi2 = zs[j].sqr();
        t[j + 2] = TableEntry{xs[j] * zi2, ys[j] * zi2 * zs[j]};
    }
}

// Signed radix-2^w digits of k over `count` windows, every digit in
// (-2^(w-1), 2^(w-1)] except the top one, which takes the final carry
// unsigned and lies in [0, 2^w]. When w does not divide 256 the top window
// holds only a few bits of k, so it never reaches 2^(w-1) and the recoding is
// the plain signed one.
void recode_windows(const Scalar& k, uint32_t w, size_t count, int64_t* digits) {
    const int64_t full = int64_t{1} << w, half = full >> 1;
    uint64_t carry = 0;
    for (size_t i = 0; i < count; ++i) {
        const int64_t m = static_cast<int64_t>(k.bits(static_cast<unsigned>(i * w), w) + carry);
        if (i + 1 < count && m >= half) {
            digits[i] = m - full;
            carry = 1;
        } else {
            digits[i] = m;
            carry = 0;
        }
    }
}

// Adds digit * (table row) to acc; a top digit of exactly 2^w is split into
// two lookups because rows end at 2^w - 1.
void add_digit(Point& acc, const std::vector<TableEntry>& row, int64_t d) {
    if (d == 0) return;
    const uint64_t mag = static_cast<uint64_t>(d < 0 ? -d : d);
    if (mag > row.size()) throw std::runtime_error("Digit index out of range during accumulation");
    // The Z3 = Z1 H mixed addition: fewer operations than madd-2007-bl, and
    // the same point.
    auto add_entry = [&](size_t idx) {
        const TableEntry& e = row[idx];
        acc.add_affine_var(e.x, d < 0 ? e.y.negate() : e.y);
    };
    if (mag == row.size()) {
        add_entry(row.size() - 1);
        add_entry(1);
    } else {
        add_entry(mag);
    }
}

// Starts loading the entries add_digit will read for d. Each entry is one
// cache line; one word of it is actually loaded, not merely hinted with a
// prefetch instruction: hints that miss the address-translation caches were
// seen to be dropped, while independent loads all proceed in parallel and
// the core waits for them at most about once.
void fetch_digit(const std::vector<TableEntry>& row, int64_t d) {
    if (d == 0) return;
    const uint64_t mag = static_cast<uint64_t>(d < 0 ? -d : d);
    auto touch = [](const TableEntry& e) {
        uint64_t v = e.x.limb[0];
#if defined(__GNUC__) || defined(__clang__)
        __asm__ volatile("" : : "r"(v));
#else
        volatile uint64_t sink = v;
        (void)sink;
#endif
    };
    if (mag < row.size()) {
        touch(row[mag]);
    } else if (mag == row.size()) {
        touch(row[row.size() - 1]);
        touch(row[1]);
    }
}

// u*G + v*lambda*G from the joint form of the two GLV halves.
Point jsf_mul(const Scalar& k) {
    const GlvSplit s = k.split_lambda_var();
    const JsfResult j = Scalar::compute_jsf(s.k1, s.k2);
    const Point g = Point::generator();
    const Point lg = g.endomorphism();
    Point table[9];  // index (u + 1) * 3 + (v + 1)
    for (int u = -1; u <= 1; ++u) {
        for (int v = -1; v <= 1; ++v) {
            Point p = Point::infinity_point();
            if (u) p.add_assign(u > 0 ? g : g.negate());
            if (v) p.add_assign(v > 0 ? lg : lg.negate());
            table[(u + 1) * 3 + (v + 1)] = p;
        }
    }
    Point acc = Point::infinity_point();
    for (size_t i = j.count; i-- > 0;) {
        acc.dbl_assign();
        const int u = s.neg1 ? -j.d1[i] : j.d1[i];
        const int v = s.neg2 ? -j.d2[i] : j.d2[i];
        if (u || v) acc.add_assign(table[(u + 1) * 3 + (v + 1)]);
    }
    return acc;
}

void ensure_built_locked() {
    if (g_current) return;
    std::string path = cache_file_path(g_config);
    // The default place is used only when it is (or can be made) a
    // directory of our own; otherwise the tables stay in memory.
    const bool default_place = !g_config.use_cache_path && g_config.cache_dir.empty();
    if (!path.empty() && default_place && !prepare_default_dir(g_config.default_dir)) path.clear();
    CacheFileState state = CacheFileState::missing;
    if (!path.empty()) {
        if (auto loaded = load_cache(path, g_config, &state)) {
            publish_locked(std::move(loaded));
            return;
        }
    }
    auto built = build_context(g_config);
    if (!validate(*built)) throw std::runtime_error("Precompute context validation failed after cache fallback rebuild");
    publish_locked(built);
    // A failed save (read-only directory, full disk, a file that appeared
    // meanwhile) only means the next process builds again. A damaged file
    // is replaced, or every later start would rebuild; files of another
    // setup, and anything refused, are left alone.
    if (!path.empty()) (void)save_cache(*built, path, state == CacheFileState::damaged);
}

}  // namespace

void reserve_table_row(std::vector<TableEntry>& row, size_t entries) {
    row.reserve(entries);
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    // Only whole 2 MiB pages inside the buffer can be backed that way; the
    // advice is taken before the first write, when the pages get allocated.
    constexpr uintptr_t kLarge = uintptr_t{1} << 21;
    const uintptr_t start = reinterpret_cast<uintptr_t>(row.data());
    const uintptr_t end = start + entries * sizeof(TableEntry);
    const uintptr_t from = (start + kLarge - 1) & ~(kLarge - 1), to = end & ~(kLarge - 1);
    if (to > from) (void)::madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
#endif
}

void configure(const PrecomputeConfig& config) {
    std::lock_guard<std::mutex> g(g_lock);
    reserve_retirement_locked();
    const std::string chosen_dir = g_config.cache_dir;
    g_config = config;
    if (g_cache_dir_chosen && g_config.cache_dir.empty()) g_config.cache_dir = chosen_dir;
    apply_environment(g_config);
    g_env_cache_dir = acceptable_path_env(env_lookup("SECP256K1_CACHE_DIR")) ? g_config.cache_dir : std::string();
    g_configured = true;
    publish_locked(nullptr);
}

PrecomputeConfig config_from_environment() {
    PrecomputeConfig cfg;
    if (const char* wb = env_lookup("SECP256K1_WINDOW_BITS")) {
        const unsigned long w = std::strtoul(wb, nullptr, 10);
        if (w >= 2 && w <= 30) cfg.window_bits = static_cast<uint32_t>(w);
    }
    if (env_flag("SECP256K1_ENABLE_GLV")) cfg.enable_glv = true;
    if (env_flag("SECP256K1_USE_JSF")) {
        cfg.enable_glv = true;
        cfg.use_jsf = true;
    }
    return cfg;
}

void configure_from_environment() {
    const PrecomputeConfig want = config_from_environment();
    {
        std::lock_guard<std::mutex> g(g_lock);
        if (g_configured && g_config.window_bits == want.window_bits && g_config.enable_glv == want.enable_glv &&
            g_config.use_jsf == want.use_jsf)
            return;
    }
    configure(want);
}

void ensure_built() {
    std::lock_guard<std::mutex> g(g_lock);
    ensure_built_locked();
}

PrecomputeContextPtr current_context() {
    std::lock_guard<std::mutex> g(g_lock);
    return g_current;
}

PrecomputeConfig current_config() {
    std::lock_guard<std::mutex> g(g_lock);
    return g_config;
}

void set_cache_dir(const std::string& dir) {
    std::lock_guard<std::mutex> g(g_lock);
    std::string next = dir.empty() ? g_env_cache_dir : dir;
    reserve_retirement_locked();
    g_config.cache_dir = std::move(next);
    g_cache_dir_chosen = !dir.empty();
    publish_locked(nullptr);
}

std::string cache_location() {
    std::lock_guard<std::mutex> g(g_lock);
    PrecomputeConfig c = g_config;
    if (!g_configured) {
        c = config_from_environment();
        c.cache_dir = g_config.cache_dir;
        apply_environment(c);
    }
    std::string path = cache_file_path(c);
    if (!path.empty() && !cache_place_possible(path, !c.use_cache_path && c.cache_dir.empty())) path.clear();
    return path;
}

bool validate(const PrecomputeContext& c) {
    const uint32_t w = c.window_bits;
    if (w < 2 || w > 30) return false;
    if (c.window_count != window_count_for(w) || c.entries_per_window != (size_t{1} << w)) return false;
    auto shaped = [&](const std::vector<std::vector<TableEntry>>& t) {
        if (t.size() != c.window_count) return false;
        for (const auto& row : t) {
            if (row.size() != c.entries_per_window) return false;
        }
        return true;
    };
    if (!shaped(c.tables)) return false;
    return c.config.enable_glv ? shaped(c.glv_tables) : c.glv_tables.empty();
}

std::shared_ptr<PrecomputeContext> build_context(const PrecomputeConfig& config) {
    const uint32_t w = config.window_bits;
    if (w < 2 || w > 30) throw std::runtime_error("window_bits must be between 2 and 30");
    auto c = std::make_shared<PrecomputeContext>();
    c->config = config;
    c->window_bits = w;
    c->window_count = window_count_for(w);
    c->entries_per_window = size_t{1} << w;
    c->beta = FieldElement::beta();
    c->tables.resize(c->window_count);
    if (config.enable_glv) c->glv_tables.resize(c->window_count);

    // Window bases 2^(w i) G, made affine together.
    std::vector<Point> bases(c->window_count);
    bases[0] = Point::generator();
    for (size_t i = 1; i < c->window_count; ++i) {
        bases[i] = bases[i - 1];
        for (uint32_t d = 0; d < w; ++d) bases[i].dbl_assign();
    }
    std::vector<AffinePoint> affine_bases(c->window_count);
    for (size_t i = 0; i < c->window_count; ++i) affine_bases[i] = bases[i].to_affine();

    parallel_for(c->window_count, [&](size_t i) {
        build_window(c->tables[i], affine_bases[i], c->entries_per_window);
        if (config.enable_glv) {
            auto& g = c->glv_tables[i];
            reserve_table_row(g, c->entries_per_window);
            g.resize(c->entries_per_window);
            g[0] = c->tables[i][0];
            for (size_t j = 1; j < c->entries_per_window; ++j)
                g[j] = TableEntry{c->tables[i][j].x * c->beta, c->tables[i][j].y};
        }
    });
    return c;
}

TablesHold::TablesHold() {
    ReaderSlots* r = thread_slots();
    std::atomic<const PrecomputeContext*>* slot = nullptr;
    if (r) {
        for (auto& h : r->held) {
            // Only this thread writes its slots.
            if (!h.load(std::memory_order_relaxed)) {
                slot = &h;
                break;
            }
        }
    }
    if (!slot) {
        std::lock_guard<std::mutex> g(g_lock);
        ensure_built_locked();
        owned_ = g_current;
        tables_ = owned_.get();
        return;
    }
    for (;;) {
        const PrecomputeContext* p = g_published.load(std::memory_order_seq_cst);
        if (!p) {
            std::lock_guard<std::mutex> g(g_lock);
            ensure_built_locked();
            continue;
        }
        slot->store(p, std::memory_order_seq_cst);
        // Still published after the announcement: whoever replaces it from
        // now on sees the slot and keeps the tables.
        if (g_published.load(std::memory_order_seq_cst) == p) {
            tables_ = p;
            slot_ = slot;
            return;
        }
        slot->store(nullptr, std::memory_order_relaxed);
    }
}

TablesHold::~TablesHold() {
    if (!slot_) return;
    static_cast<std::atomic<const PrecomputeContext*>*>(slot_)->store(nullptr, std::memory_order_seq_cst);
    // Replaced tables wait for their last reader: free them if that was us,
    // unless the lock is busy (its holder, or a later reader, will).
    if (g_retired_pending.load(std::memory_order_acquire)) {
        std::unique_lock<std::mutex> g(g_lock, std::try_to_lock);
        if (g.owns_lock()) reclaim_retired_locked();
    }
}

PrecomputedGenTerm::PrecomputedGenTerm(const Scalar& k) : k_(k) {
    if (!validate(*tables_)) throw std::runtime_error("Invalid precompute context");
    const PrecomputeContext& c = *tables_;
    if (!c.config.enable_glv) {
        recode_windows(k, c.window_bits, c.window_count, d1_);
        for (size_t i = 0; i < c.window_count; ++i) fetch_digit(c.tables[i], d1_[i]);
    } else if (!c.config.use_jsf) {
        const GlvSplit s = k.split_lambda_var();
        recode_windows(s.k1, c.window_bits, c.window_count, d1_);
        recode_windows(s.k2, c.window_bits, c.window_count, d2_);
        for (size_t i = 0; i < c.window_count; ++i) {
            if (s.neg1) d1_[i] = -d1_[i];
            if (s.neg2) d2_[i] = -d2_[i];
            fetch_digit(c.tables[i], d1_[i]);
            fetch_digit(c.glv_tables[i], d2_[i]);
        }
    }
}

void PrecomputedGenTerm::add_to(Point& acc) const {
    const PrecomputeContext& c = *tables_;
    if (!c.config.enable_glv) {
        for (size_t i = 0; i < c.window_count; ++i) add_digit(acc, c.tables[i], d1_[i]);
    } else if (!c.config.use_jsf) {
        for (size_t i = 0; i < c.window_count; ++i) {
            add_digit(acc, c.tables[i], d1_[i]);
            add_digit(acc, c.glv_tables[i], d2_[i]);
        }
    } else {
        acc.add_assign(jsf_mul(k_));
    }
}

Point precomputed_gen_mul(const Scalar& k) {
    const PrecomputedGenTerm term(k);
    Point acc = Point::infinity_point();
    term.add_to(acc);
    return acc;
}

bool check_entries(const PrecomputeContext& c) {
    if (!validate(c)) return false;
    // Window i's entry 1 must be 2^(w i) G.
    std::vector<Point> bases(c.window_count);
    bases[0] = Point::generator();
    for (size_t i = 1; i < c.window_count; ++i) {
        bases[i] = bases[i - 1];
        for (uint32_t d = 0; d < c.window_bits; ++d) bases[i].dbl_assign();
    }
    std::atomic<bool> ok{true};
    parallel_for(c.window_count, [&](size_t i) {
        const auto& t = c.tables[i];
        const TableEntry& b = t[1];
        bool good = t[0].x.is_zero() && t[0].y.is_zero() && bases[i].equals(Point::from_affine(b.x, b.y));
        // Entry 2 is the tangent at entry 1: with s = 3 x^2 and u = 2 y,
        // x2 u^2 = s^2 - 2 x u^2 and (y2 + y) u = s (x - x2).
        if (good) {
            const TableEntry& r = t[2];
            const FieldElement s = b.x.sqr() * FieldElement::from_u64(3);
            const FieldElement u = b.y.dbl();
            const FieldElement u2 = u.sqr();
            good = !u.is_zero() && (r.x * u2).equal(s.sqr() - (b.x.dbl() * u2)) &&
                   ((r.y + b.y) * u).equal(s * (b.x - r.x));
        }
        // Entry j >= 3 is the chord through entry j-1 and entry 1, checked
        // without inversions: with dx = x1 - xp and dy = y1 - yp,
        // xj dx^2 = dy^2 - (xp + x1) dx^2 and (yj + yp) dx = dy (xp - xj).
        for (size_t j = 3; good && j < c.entries_per_window; ++j) {
            const TableEntry& p = t[j - 1];
            const TableEntry& r = t[j];
            const FieldElement dx = b.x - p.x;
            const FieldElement dy = b.y - p.y;
            const FieldElement dx2 = dx.sqr();
            good = !dx.is_zero() && (r.x * dx2).equal(dy.sqr() - (p.x + b.x) * dx2) &&
                   ((r.y + p.y) * dx).equal(dy * (p.x - r.x));
        }
        if (good && c.config.enable_glv) {
            const auto& g = c.glv_tables[i];
            good = g[0].x.is_zero() && g[0].y.is_zero();
            for (size_t j = 1; good && j < c.entries_per_window; ++j)
                good = g[j].x.equal(t[j].x * c.beta) && g[j].y.equal(t[j].y);
        }
        if (!good) ok.store(false);
    });
    return ok.load();
}

}  // namespace qorvex
