// Shared pieces of the qorvex command-line tool: exit codes, the command
// table entry, argument parsing, output (text or JSON), input helpers and the
// session that owns the library context.
#pragma once

#include <qorvex.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qcli {

// ---------------------------------------------------------------------------
// Exit codes. Every path out of main() ends with one of these.

enum ExitCode : int {
    kExitOk = 0,            // success
    kExitVerifyFailed = 1,  // a signature, key or checksum does not verify
    kExitUsage = 2,         // bad arguments or unreadable input
    kExitLibrary = 3,       // the library refused (any other error code)
};

// Thrown to end a command early; main() reports it on stderr (and, with
// --json, as an object on stdout) and exits with exit_code.
struct Failure {
    int exit_code;
    std::string message;
    int library_code = 0;  // the qorvex_* return code, when one caused it
};

[[noreturn]] void usage_error(std::string message);
[[noreturn]] void runtime_error(std::string message);  // exit 3, no library code

// ---------------------------------------------------------------------------
// Secrets: fixed-size buffers wiped when they go out of scope.

void wipe(void* p, size_t n);

struct SecretKey {
    uint8_t bytes[QORVEX_SECKEY_SIZE] = {};
    SecretKey() = default;
    SecretKey(const SecretKey&) = delete;
    SecretKey& operator=(const SecretKey&) = delete;
    ~SecretKey() { wipe(bytes, sizeof bytes); }
};

// A byte buffer wiped on destruction (file contents that may hold a key).
// Filled by read_secret_file, which grows it by moving to a new allocation
// and wiping the old one; whatever else fills it sizes it once, so that no
// reallocation leaves an unwiped copy behind.
class SecretBuffer {
public:
    SecretBuffer() = default;
    SecretBuffer(const SecretBuffer&) = delete;
    SecretBuffer& operator=(const SecretBuffer&) = delete;
    ~SecretBuffer() { clear(); }
    std::vector<uint8_t>& data() { return data_; }
    void clear();

private:
    std::vector<uint8_t> data_;
};

// ---------------------------------------------------------------------------
// JSON values, kept in insertion order; also the model of the text output.

class Json {
public:
    enum class Kind { Null, Bool, Int, Uint, Real, String, Array, Object };

    Json() = default;
    Json(bool b) : kind_(Kind::Bool), b_(b) {}
    Json(int v) : kind_(Kind::Int), i_(v) {}
    Json(long v) : kind_(Kind::Int), i_(v) {}
    Json(long long v) : kind_(Kind::Int), i_(v) {}
    Json(unsigned v) : kind_(Kind::Uint), u_(v) {}
    Json(unsigned long v) : kind_(Kind::Uint), u_(v) {}
    Json(unsigned long long v) : kind_(Kind::Uint), u_(v) {}
    Json(double v) : kind_(Kind::Real), d_(v) {}
    Json(const char* s) : kind_(Kind::String), s_(s) {}
    Json(std::string s) : kind_(Kind::String), s_(std::move(s)) {}

    static Json object() { Json j; j.kind_ = Kind::Object; return j; }
    static Json array() { Json j; j.kind_ = Kind::Array; return j; }

    Kind kind() const { return kind_; }
    // Adds a member to an object. The text output shows `label` (default:
    // the key with '_' read as ' ').
    Json& set(std::string key, Json value, std::string label = {});
    Json& push(Json value);  // appends to an array

    // Object members: key(i), label(i) and value(i) for i < member_count().
    size_t member_count() const { return values_.size(); }
    const std::string& key(size_t i) const { return names_[i].first; }
    const std::string& label(size_t i) const { return names_[i].second; }
    const Json& value(size_t i) const { return values_[i]; }
    // Array items.
    const std::vector<Json>& items() const { return items_; }

    // Overwrites every string held (for results that carry a secret).
    void scrub();

    const std::string& text() const { return s_; }  // a string's value
    std::string dump() const;    // compact JSON
    std::string scalar() const;  // a scalar as text ("yes"/"no" for booleans)

private:
    Kind kind_ = Kind::Null;
    bool b_ = false;
    long long i_ = 0;
    unsigned long long u_ = 0;
    double d_ = 0;
    std::string s_;
    std::vector<Json> items_;
    std::vector<std::pair<std::string, std::string>> names_;  // key, label
    std::vector<Json> values_;
};

// Plain text of a result: "label  value" lines, nested objects indented.
std::string render_text(const Json& value, int indent = 0);

// ---------------------------------------------------------------------------
// Hex, files and randomness.

std::string to_hex(const uint8_t* p, size_t n);
inline std::string to_hex(const std::vector<uint8_t>& v) { return to_hex(v.data(), v.size()); }

// Decodes hex text (an optional 0x prefix, surrounding whitespace ignored).
// `what` names the input in error messages. Throws a usage error.
std::vector<uint8_t> parse_hex(std::string_view text, std::string_view what);
// As parse_hex, and the result must be exactly n bytes.
void parse_hex_exact(std::string_view text, uint8_t* out, size_t n, std::string_view what);

// Base64 text (RFC 4648, '=' padding) into out; false for anything else.
// The library reads signatures itself; this is for the tool's own look at
// their bytes.
bool decode_base64(std::string_view text, std::vector<uint8_t>& out);

// Reads a whole file, or stdin for "-" (`what` names the input if stdin was
// already read). Throws a usage error.
void read_file(const std::string& path, std::vector<uint8_t>& out, std::string_view what = "an input file");
// Stdin holds one input: every reader of it calls this first, and a second
// reader is a usage error naming both.
void claim_stdin(std::string_view what);
// A hex value given as "-" is read from stdin: returns its text (kept until
// exit), or the value itself when it is not "-".
const char* stdin_or(const char* value, std::string_view what);
// Reads a file, or stdin for "-", that may hold secrets (a key file, a key
// on stdin, a batch of keys) into out, leaving no copy behind as it grows;
// out keeps room for one byte more than it holds (a NUL). Input of more than
// `limit` bytes is a usage error "WHAT: more than LIMIT bytes" followed by
// `hint`. A file that group or others can read is warned about on stderr
// (the command goes on: the secret is already exposed).
inline constexpr size_t kNoLimit = static_cast<size_t>(-1);
void read_secret_file(const std::string& path, SecretBuffer& out, size_t limit, const std::string& what,
                      std::string_view hint = {});
// Key files are small: 64 hex digits or 32 bytes, and a little whitespace.
inline constexpr size_t kSecretFileLimit = 4096;

// Cryptographically secure random bytes from the kernel. Throws exit 3.
void random_bytes(uint8_t* out, size_t n);

// Writes a file of mode 0600: a new temporary file beside path (mode 0600
// from creation, never through anything already there), then renamed to
// path. Without overwrite an existing path is refused; with it, the rename
// replaces path itself (a link, not its target; a reader of the old file
// keeps the old contents).
void write_private_file(const std::string& path, std::string_view content, bool overwrite);

// ---------------------------------------------------------------------------
// Arguments.

struct Option {
    const char* name;        // long name without the dashes, e.g. "key-file"
    const char* value_name;  // "PATH", or nullptr for a flag
    const char* help;
    // The value is a secret (a key on the command line): it is moved out of
    // argv, and wiped there, before anything else looks at the arguments.
    bool secret = false;
};

// Moves the values of every secret option of every command out of argv into
// wiped storage, and points argv at the copies; called first thing. Values
// too long to be a key are replaced by a text no command accepts.
void take_secret_arguments(int argc, char** argv);
// Wipes the copies (at exit).
void wipe_secret_arguments();

class Args {
public:
    bool has(std::string_view name) const;
    // The value of an option, or nullptr when absent.
    const char* get(std::string_view name) const;
    // The option's value in argv itself, so a secret can be wiped there.
    char* raw(std::string_view name) const;
    const std::vector<char*>& positional() const { return positional_; }
    bool help() const { return has("help"); }

    // Parses argv[first..argc) against the options (plus --json and --help).
    // Throws a usage error for unknown options, missing values and repeats.
    static Args parse(int argc, char** argv, int first, const std::vector<Option>& options);

private:
    std::vector<std::pair<std::string, char*>> values_;  // flags hold nullptr
    std::vector<char*> positional_;
};

// ---------------------------------------------------------------------------
// The session: output mode and the library context, created on first use.

class Session {
public:
    // full_tables: the command verifies or signs many times in one process
    // (bench, batches) and wants the library's default generator tables;
    // one-shot commands take small ones (8-bit windows) unless
    // SECP256K1_WINDOW_BITS says otherwise.
    Session(std::string command, bool json, bool full_tables = false);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    const std::string& command() const { return command_; }
    bool json() const { return json_; }

    // The library context, created on the first call (which runs the
    // library's self-test and makes its generator tables exist).
    qorvex_ctx* ctx();

    // Throws Failure(exit 3) with the library's message when rc is not 0.
    void check(int rc) const;
    // For calls whose failure means "does not verify": true for 0, false for
    // QORVEX_ERR_VERIFY_FAIL (the message is kept in verify_message()), and
    // any other code throws as check() does.
    bool verdict(int rc);
    const std::string& verify_message() const { return verify_message_; }
    // Records why a check made by the tool itself (a recovered key, an
    // address, a checksum) did not match.
    void set_verify_message(std::string why) { verify_message_ = std::move(why); }
    // The library's text for rc, as check() would report it.
    std::string library_message(int rc) const;

    // Prints a result: one JSON object with --json, else `text` if given,
    // else render_text(result).
    void emit(const Json& result, const std::string* text = nullptr) const;

private:
    std::string command_;
    bool json_;
    qorvex_ctx* ctx_ = nullptr;
    bool full_tables_ = false;
    std::string verify_message_;
};

// Table width for a command: unless the user chose one, one-shot commands
// ask the library for 8-bit windows (0.5 MB of tables, instant start-up)
// instead of its default (255 MB, about half a second to load). Called
// before the library first reads its environment.
void choose_table_width(bool full_tables);
// The generator-table cache file the library uses (its own default place
// unless the environment names one), or "none" when the tables are kept in
// memory, for display.
std::string table_cache_location();

// ---------------------------------------------------------------------------
// Commands. A command is one entry of the table in commands.cpp; a group
// (such as "eth") has subcommands instead of a run function.

struct Command {
    const char* name;
    const char* summary;      // one line for the command list
    const char* synopsis;     // usage line(s) after "qorvex "
    const char* description;  // a paragraph or two, wrapped by hand
    std::vector<Option> options;
    const char* examples;     // one or more "$ qorvex ..." lines
    int (*run)(Session&, const Args&) = nullptr;
    std::vector<const Command*> subcommands = {};
    size_t max_positional = 0;
    // Many verifications or signatures in one process: the library's
    // default (large) generator tables; see Session.
    bool full_tables = false;
};

const std::vector<const Command*>& command_table();
std::string command_help(const Command& cmd, const std::string& path);

// ---------------------------------------------------------------------------
// Inputs shared by several commands.

// The message to sign or verify: a ready 32-byte digest, or bytes to hash
// with the scheme's own hash.
struct MessageInput {
    bool is_digest = false;
    std::vector<uint8_t> bytes;
};

// --digest HEX, --message TEXT, --message-file FILE ("-" for stdin) and
// --allow-empty. One source must be given (stdin is never read unasked), and
// an empty message is refused unless --allow-empty is given.
std::vector<Option> message_options(const char* digest_help,
                                    const char* message_help = "the message as text (hashed as the scheme does)");
// with_digest: the command offers --digest (the messages name it only then).
MessageInput read_message(const Args& args, bool stdin_taken, bool with_digest = true);

// --key-file PATH ("-" for stdin): 64 hex digits, WIF text or 32 raw bytes.
// A key file other users can read is warned about on stderr.
Option key_file_option();
void read_secret_key(Session& s, const Args& args, SecretKey& key);
bool key_from_stdin(const Args& args);
// A secret 32-byte value given in hex as a secret option (moved out of argv
// by take_secret_arguments), or "-" to read it from stdin. The option's copy
// is wiped once read.
void read_secret_hex_option(const Args& args, const char* name, uint8_t out[32]);

// A public key given as hex (33 or 65 bytes), checked and compressed.
void parse_pubkey(Session& s, const char* hex, uint8_t out33[33], std::string_view what);

// ---------------------------------------------------------------------------
// Wallet texts: mnemonics, passphrases, seeds, WIF and xprv/xpub text. Every
// secret is read from a file or stdin ("-") into a wiped buffer, never from
// the command line.

// The text of a file with the surrounding white space removed, and a NUL
// after it, in out.data(). Throws a usage error when it cannot be read.
void read_secret_text(const char* path, SecretBuffer& out, std::string_view what);
// A mnemonic file: its words joined by single spaces (the sentence wallets
// hash), NUL-terminated.
void read_mnemonic_file(const char* path, SecretBuffer& out);
// A passphrase file: its text as it stands, less one final line break.
void read_passphrase_file(const char* path, SecretBuffer& out);
// The extended key of --key-file PATH (xprv or xpub text) or --xpub TEXT.
void read_extended_key(Session& s, const Args& args, qorvex_bip32_key& out);
// --pubkey HEX, --key-file PATH (a private key) and --xpub TEXT, and the
// compressed public key of the one given ("give one of ..." otherwise).
std::vector<Option> public_key_options();
void read_public_key(Session& s, const Args& args, uint8_t out33[33]);
bool is_private(const qorvex_bip32_key& k);
// The xpub record of a private record (a public record is copied).
void neuter(Session& s, const qorvex_bip32_key& in, qorvex_bip32_key& out);
// xprv/xpub text of a record.
std::string extended_key_text(Session& s, const qorvex_bip32_key& k);
// The first 4 bytes of Hash160 of the record's public key, in hex.
std::string key_fingerprint(Session& s, const qorvex_bip32_key& k);
// --seed-file PATH | --mnemonic-file PATH [--passphrase-file PATH], and
// the seed they give (16 to 64 bytes; 64 from a mnemonic) in seed[0..len).
// The caller wipes seed.
std::vector<Option> seed_options();
void read_seed(Session& s, const Args& args, uint8_t seed[QORVEX_BIP32_SEED_MAX_SIZE], size_t& seed_len);
// --out FILE, --force and --show-secret, for commands whose result is
// secret; the help texts are string literals.
std::vector<Option> secret_output_options(const char* out_help, const char* show_help);
// Checks where a secret result may go, before any secret exists. With
// `required`, one of --OPTION FILE and --show-secret must be given ("refusing
// to print NOUN without --show-secret; give --OPTION FILE to save it"). A
// file of "-" is refused either way ("--OPTION needs a file; use
// --show-secret to print[ SHOWN]"): stdout is --show-secret's.
void check_secret_output(const Args& args, bool required, std::string_view noun = "a secret",
                         std::string_view shown = {}, const char* option = "out");
// Writes value and a line break to a new file of mode 0600 at path (--force
// replaces one); nothing when path is null. The line is wiped in any case,
// and value too when the write fails.
void write_secret_line(const Args& args, const char* path, std::string& value);
// Prints a result that may hold secrets: its text is built in one buffer
// that is wiped after printing, and every string of the result is scrubbed.
void emit_secret_result(Session& s, Json& result);

// Concatenates option lists.
std::vector<Option> join(std::vector<Option> a, const std::vector<Option>& b);

// Parses a decimal unsigned integer option (usage error otherwise).
uint64_t parse_u64(const char* text, std::string_view what);

}  // namespace qcli
