// The session: the library context (created on first use, after the table
// cache has been pointed at the user's cache directory), error reporting and
// output.
#include <dirent.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "cli.h"

namespace qcli {

namespace {

// The library ignores these variables when empty or when they contain "..";
// the tool treats them the same way.
bool env_names_cache(const char* name) {
    const char* v = std::getenv(name);
    if (v == nullptr || *v == '\0') return false;
    return std::strlen(v) < 2 || std::strstr(v, "..") == nullptr;
}

// mkdir -p with mode 0700 for every directory it creates.
bool make_private_dirs(const std::string& path, std::string& error) {
    for (size_t pos = 1; pos <= path.size(); ++pos) {
        if (pos != path.size() && path[pos] != '/') continue;
        const std::string part = path.substr(0, pos);
        if (::mkdir(part.c_str(), 0700) == 0) {
            ::chmod(part.c_str(), 0700);  // whatever the umask says
            continue;
        }
        if (errno != EEXIST) {
            error = part + ": " + std::strerror(errno);
            return false;
        }
    }
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        error = path + ": not a directory";
        return false;
    }
    return true;
}

bool holds_tables(const std::string& dir) {
    DIR* d = ::opendir(dir.c_str());
    if (d == nullptr) return false;
    bool found = false;
    while (const dirent* e = ::readdir(d)) {
        if (std::strncmp(e->d_name, "cache_w", 7) == 0) found = true;
    }
    ::closedir(d);
    return found;
}

void prepare_table_cache() {
    const std::string dir = default_cache_dir();
    if (dir.empty()) {
        if (!env_names_cache("SECP256K1_CACHE_DIR") && !env_names_cache("SECP256K1_CACHE_PATH")) {
            std::fprintf(stderr,
                         "qorvex: warning: no home directory, so the generator tables are cached in the "
                         "current directory (set SECP256K1_CACHE_DIR to choose one)\n");
        }
        return;
    }
    std::string error;
    if (!make_private_dirs(dir, error)) {
        // Still point the library there: saving fails quietly and nothing
        // is written to the working directory.
        std::fprintf(stderr,
                     "qorvex: warning: cannot create the table cache directory (%s); the generator "
                     "tables will be rebuilt on every run\n",
                     error.c_str());
    } else if (::isatty(STDERR_FILENO) && !holds_tables(dir)) {
        std::fprintf(stderr, "qorvex: building the generator tables in %s (first run only)\n", dir.c_str());
    }
    if (qorvex_set_cache_dir(dir.c_str()) != QORVEX_OK) {
        std::fprintf(stderr, "qorvex: warning: cannot set the table cache directory\n");
    }
}

}  // namespace

std::string default_cache_dir() {
    if (env_names_cache("SECP256K1_CACHE_DIR") || env_names_cache("SECP256K1_CACHE_PATH")) return {};
    const char* xdg = std::getenv("XDG_CACHE_HOME");
    if (xdg != nullptr && xdg[0] == '/') return std::string(xdg) + "/qorvex";
    const char* home = std::getenv("HOME");
    if (home == nullptr || *home == '\0') {
        const passwd* pw = ::getpwuid(::getuid());
        home = pw != nullptr ? pw->pw_dir : nullptr;
    }
    if (home == nullptr || *home == '\0') return {};
    std::string base = home;
    while (base.size() > 1 && base.back() == '/') base.pop_back();
    return (base == "/" ? std::string() : base) + "/.cache/qorvex";
}

std::string table_cache_location() {
    for (const char* name : {"SECP256K1_CACHE_PATH", "SECP256K1_CACHE_DIR"}) {
        if (env_names_cache(name)) return std::getenv(name);
    }
    const std::string d = default_cache_dir();
    return d.empty() ? std::string("the current directory") : d;
}

Session::Session(std::string command, bool json) : command_(std::move(command)), json_(json) {}

Session::~Session() { qorvex_ctx_destroy(ctx_); }

qorvex_ctx* Session::ctx() {
    if (ctx_ != nullptr) return ctx_;
    prepare_table_cache();
    const int rc = qorvex_ctx_create(&ctx_);
    if (rc != QORVEX_OK) {
        ctx_ = nullptr;
        throw Failure{kExitLibrary, std::string("cannot create a library context: ") + qorvex_error_str(rc), rc};
    }
    return ctx_;
}

std::string Session::library_message(int rc) const {
    // Functions without a context, and qorvex_seckey_verify, leave no message:
    // use the code's fixed text for them.
    if (ctx_ != nullptr && qorvex_last_error(ctx_) == rc) return qorvex_last_error_msg(ctx_);
    return qorvex_error_str(rc);
}

void Session::check(int rc) const {
    if (rc == QORVEX_OK) return;
    throw Failure{kExitLibrary, library_message(rc), rc};
}

bool Session::verdict(int rc) {
    if (rc == QORVEX_OK) return true;
    if (rc == QORVEX_ERR_VERIFY_FAIL) {
        verify_message_ = library_message(rc);
        return false;
    }
    check(rc);
    return false;
}

void Session::emit(const Json& result, const std::string* text) const {
    std::string out = json_ ? result.dump() : text != nullptr ? *text : render_text(result);
    if (json_) out += '\n';
    std::fwrite(out.data(), 1, out.size(), stdout);
    wipe(out.data(), out.size());  // it may hold a secret the user asked to see
}

}  // namespace qcli
