// Command-line parsing: long options with "--name value" or "--name=value",
// flags, "--" to end the options, and positional arguments.
#include <cstring>

#include "cli.h"

namespace qcli {

namespace {

const std::vector<Option>& global_options() {
    static const std::vector<Option> globals = {
        {"json", nullptr, "print the result as one JSON object"},
        {"help", nullptr, "show this help"},
    };
    return globals;
}

const Option* find_option(std::string_view name, const std::vector<Option>& options) {
    for (const auto& o : options) {
        if (name == o.name) return &o;
    }
    for (const auto& o : global_options()) {
        if (name == o.name) return &o;
    }
    return nullptr;
}

// The copies of secret option values: fixed storage, wiped at exit, so the
// values exist nowhere else (argv is wiped in place).
constexpr size_t kSecretSlots = 8;
constexpr size_t kSecretSlotSize = 512;
char g_secret_args[kSecretSlots][kSecretSlotSize];
size_t g_secret_used = 0;
// What replaces a value that does not fit: no command accepts it as a key.
char g_too_long[] = "(value too long)";

bool has_secret_option(const Command& c, const char* name, size_t len) {
    for (const Option& o : c.options) {
        if (o.secret && std::strlen(o.name) == len && std::strncmp(o.name, name, len) == 0) return true;
    }
    for (const Command* sub : c.subcommands) {
        if (has_secret_option(*sub, name, len)) return true;
    }
    return false;
}

bool is_secret_option(const char* name, size_t len) {
    for (const Command* c : command_table()) {
        if (has_secret_option(*c, name, len)) return true;
    }
    return false;
}

// Copies text into a slot, wipes it in argv, and returns the copy.
char* take(char* text) {
    const size_t n = std::strlen(text);
    char* copy = g_too_long;
    if (n < kSecretSlotSize && g_secret_used < kSecretSlots) {
        copy = g_secret_args[g_secret_used++];
        std::memcpy(copy, text, n + 1);
    }
    wipe(text, n);
    return copy;
}

}  // namespace

void take_secret_arguments(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        char* arg = argv[i];
        if (std::strcmp(arg, "--") == 0) return;
        if (arg[0] != '-') continue;
        // "--name" and, mistyped, "-name": both are taken.
        const char* name = arg + (arg[1] == '-' ? 2 : 1);
        const char* eq = std::strchr(name, '=');
        const size_t len = eq ? static_cast<size_t>(eq - name) : std::strlen(name);
        if (len == 0 || !is_secret_option(name, len)) continue;
        if (eq) {
            argv[i] = take(arg);
        } else if (i + 1 < argc) {
            argv[i + 1] = take(argv[i + 1]);
            ++i;
        }
    }
}

void wipe_secret_arguments() {
    wipe(g_secret_args, sizeof g_secret_args);
    g_secret_used = 0;
}

bool Args::has(std::string_view name) const {
    for (const auto& [key, value] : values_) {
        if (key == name) return true;
    }
    return false;
}

const char* Args::get(std::string_view name) const { return raw(name); }

char* Args::raw(std::string_view name) const {
    for (const auto& [key, value] : values_) {
        if (key == name) return value;
    }
    return nullptr;
}

Args Args::parse(int argc, char** argv, int first, const std::vector<Option>& options) {
    Args args;
    bool options_done = false;
    for (int i = first; i < argc; ++i) {
        char* arg = argv[i];
        if (options_done || arg[0] != '-' || std::strcmp(arg, "-") == 0) {
            args.positional_.push_back(arg);
            continue;
        }
        if (std::strcmp(arg, "--") == 0) {
            options_done = true;
            continue;
        }
        if (std::strcmp(arg, "-h") == 0) {
            if (!args.has("help")) args.values_.emplace_back("help", nullptr);
            continue;
        }
        // Only the name of an unknown option is echoed: what follows '=' may
        // be a key given to a mistyped option.
        if (arg[1] != '-') usage_error("unknown option " + std::string(arg, std::strcspn(arg, "=")));
        std::string name = arg + 2;
        char* inline_value = nullptr;
        if (char* eq = std::strchr(arg + 2, '=')) {
            name.resize(static_cast<size_t>(eq - (arg + 2)));
            inline_value = eq + 1;
        }
        const Option* opt = find_option(name, options);
        if (opt == nullptr) usage_error("unknown option --" + name);
        if (args.has(name)) {
            if (opt->value_name == nullptr) continue;  // a repeated flag is harmless
            usage_error("--" + name + " given twice");
        }
        if (opt->value_name == nullptr) {
            if (inline_value != nullptr) usage_error("--" + name + " takes no value");
            args.values_.emplace_back(name, nullptr);
            continue;
        }
        if (inline_value == nullptr) {
            if (i + 1 >= argc) usage_error("--" + name + " needs a value (" + opt->value_name + ")");
            inline_value = argv[++i];
        }
        args.values_.emplace_back(name, inline_value);
    }
    return args;
}

}  // namespace qcli
