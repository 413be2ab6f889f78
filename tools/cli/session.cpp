// The session: the library context (created on first use, with the table
// width the command wants), error reporting and output.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "cli.h"

namespace qcli {

void choose_table_width(bool full_tables) {
    // The library reads the variable when its first context is created;
    // nothing else in this process reads or changes the environment, and no
    // thread runs yet.
    if (!full_tables && std::getenv("SECP256K1_WINDOW_BITS") == nullptr) setenv("SECP256K1_WINDOW_BITS", "8", 1);
}

std::string table_cache_location() {
    char path[4096];
    size_t len = sizeof path;
    const int rc = qorvex_cache_location(path, &len);
    if (rc == QORVEX_OK) return std::string(path, len);
    if (rc == QORVEX_ERR_NOT_FOUND) return "none (the tables are kept in memory)";
    return std::string("unknown (") + qorvex_error_str(rc) + ")";
}

namespace {

// The default tables take a second or so to build the first time: say so
// on a terminal, once.
void announce_first_build() {
    if (!::isatty(STDERR_FILENO)) return;
    char path[4096];
    size_t len = sizeof path;
    if (qorvex_cache_location(path, &len) != QORVEX_OK) return;
    struct stat st {};
    if (::stat(path, &st) == 0) return;
    std::fprintf(stderr, "qorvex: building the generator tables (first run only): %s\n", path);
}

}  // namespace

Session::Session(std::string command, bool json, bool full_tables)
    : command_(std::move(command)), json_(json), full_tables_(full_tables) {}

Session::~Session() { qorvex_ctx_destroy(ctx_); }

qorvex_ctx* Session::ctx() {
    if (ctx_ != nullptr) return ctx_;
    choose_table_width(full_tables_);
    if (full_tables_) announce_first_build();
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
