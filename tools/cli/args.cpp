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

}  // namespace

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
        if (arg[1] != '-') usage_error(std::string("unknown option ") + arg);
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
