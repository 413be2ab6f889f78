// qorvex: secp256k1 keys, signatures and hashes from the command line.
// Finds the command in the table, parses its options, runs it and turns the
// outcome into an exit code.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <exception>
#include <new>

#include "cli.h"

namespace qcli {

namespace {

const char* const kExitCodes =
    "Exit status:\n"
    "  0  success\n"
    "  1  verification failed: a signature, recovered key or checksum does not match\n"
    "  2  usage error: bad arguments, malformed hex, unreadable input file\n"
    "  3  library error: the library refused an input (its message is printed)\n";

std::string top_help() {
    std::string h = "qorvex " QORVEX_CLI_VERSION " - secp256k1 keys, signatures and hashes\n\n"
                    "Usage: qorvex COMMAND [OPTIONS]\n"
                    "       qorvex COMMAND --help\n\n"
                    "Commands:\n";
    size_t width = 0;
    for (const Command* c : command_table()) width = std::max(width, std::strlen(c->name) + 2);
    for (const Command* c : command_table()) {
        std::string name = c->name;
        name.resize(width, ' ');
        h += "  " + name + c->summary + "\n";
    }
    h += "\nEvery command takes --json (one JSON object on stdout) and --help.\n"
         "Secrets are read from files or stdin (--key-file PATH, \"-\" for stdin) and\n"
         "are never printed unless asked (--show-secret). A key written on the command\n"
         "line is visible to other users of the machine and stays in shell history:\n"
         "prefer a file or stdin.\n\n";
    h += kExitCodes;
    h += "\nStart with: qorvex demo\n";
    return h;
}

std::string option_line(const Option& o) {
    std::string left = std::string("  --") + o.name;
    if (o.value_name != nullptr) left += std::string(" ") + o.value_name;
    if (left.size() < 26) {
        left.resize(26, ' ');
    } else {
        left += std::string("\n") + std::string(26, ' ');
    }
    // Word-wrap the help text to 79 columns.
    std::string out = left, word;
    size_t col = 26;
    const std::string help = std::string(o.help) + " ";
    for (const char c : help) {
        if (c != ' ') {
            word += c;
            continue;
        }
        if (col > 26 && col + 1 + word.size() > 79) {
            out += "\n" + std::string(26, ' ');
            col = 26;
        }
        if (col > 26) {
            out += ' ';
            ++col;
        }
        out += word;
        col += word.size();
        word.clear();
    }
    return out + "\n";
}

bool requested_json(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0) return false;
        if (std::strcmp(argv[i], "--json") == 0) return true;
    }
    return false;
}

int report(const Failure& f, const std::string& path, bool json) {
    std::string msg = path + ": " + f.message;
    if (f.library_code != 0) msg += " (library code " + std::to_string(f.library_code) + ")";
    std::fprintf(stderr, "%s\n", msg.c_str());
    if (f.exit_code == kExitUsage) std::fprintf(stderr, "Try '%s --help'.\n", path.c_str());
    if (json) {
        Json j = Json::object();
        j.set("error", f.message);
        j.set("exit_code", f.exit_code);
        if (f.library_code != 0) j.set("library_code", f.library_code);
        std::printf("%s\n", j.dump().c_str());
    }
    return f.exit_code;
}

// A command or subcommand name as typed, for an error message: shown only
// when it looks like a name, so that a key typed in the wrong place is not
// printed.
std::string quoted_name(const char* typed) {
    const size_t n = std::strlen(typed);
    bool plain = n > 0 && n <= 24;
    for (size_t i = 0; plain && i < n; ++i) {
        const char c = typed[i];
        plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '-' || c == '_' || (i > 0 && c >= '0' && c <= '9');
    }
    return plain ? " '" + std::string(typed) + "'" : std::string();
}

const Command* find(const std::vector<const Command*>& list, const char* name) {
    for (const Command* c : list) {
        if (std::strcmp(c->name, name) == 0) return c;
    }
    return nullptr;
}

int run(int argc, char** argv) {
    // Before anything can fail: a key given with --from-hex leaves argv
    // (and so the process list) at once, whatever comes next.
    take_secret_arguments(argc, argv);
    const bool json = requested_json(argc, argv);
    if (argc < 2) {
        std::fputs(top_help().c_str(), stderr);
        return kExitUsage;
    }
    const char* first = argv[1];
    if (std::strcmp(first, "--help") == 0 || std::strcmp(first, "-h") == 0 || std::strcmp(first, "help") == 0) {
        // "qorvex help eth sign" shows the help of that command.
        const Command* cmd = nullptr;
        std::string path = "qorvex";
        for (int i = 2; i < argc; ++i) {
            const Command* next = find(cmd == nullptr ? command_table() : cmd->subcommands, argv[i]);
            if (next == nullptr) return report(Failure{kExitUsage, "no command" + quoted_name(argv[i])}, path, json);
            cmd = next;
            path += std::string(" ") + argv[i];
        }
        std::fputs(cmd == nullptr ? top_help().c_str() : command_help(*cmd, path).c_str(), stdout);
        return kExitOk;
    }
    if (std::strcmp(first, "--version") == 0) first = "version";

    const Command* cmd = find(command_table(), first);
    if (cmd == nullptr) {
        return report(Failure{kExitUsage, "unknown command" + quoted_name(first)}, "qorvex", json);
    }
    std::string path = std::string("qorvex ") + cmd->name;
    int next = 2;
    while (!cmd->subcommands.empty()) {
        if (next >= argc || argv[next][0] == '-') {
            const bool asked = next < argc && (std::strcmp(argv[next], "--help") == 0 || std::strcmp(argv[next], "-h") == 0);
            if (asked) {
                std::fputs(command_help(*cmd, path).c_str(), stdout);
                return kExitOk;
            }
            return report(Failure{kExitUsage, "missing subcommand"}, path, json);
        }
        const Command* sub = find(cmd->subcommands, argv[next]);
        if (sub == nullptr) {
            return report(Failure{kExitUsage, "unknown subcommand" + quoted_name(argv[next])}, path, json);
        }
        cmd = sub;
        path += std::string(" ") + cmd->name;
        ++next;
    }

    choose_table_width(cmd->full_tables);
    Session session(path, json, cmd->full_tables);
    try {
        const Args args = Args::parse(argc, argv, next, cmd->options);
        if (args.help()) {
            std::fputs(command_help(*cmd, path).c_str(), stdout);
            return kExitOk;
        }
        if (args.positional().size() > cmd->max_positional) {
            // Not echoed: it may be a key given in the wrong place.
            usage_error(cmd->max_positional == 0 ? std::string("unexpected argument: this command takes none")
                                                 : "unexpected argument: this command takes at most " +
                                                       std::to_string(cmd->max_positional));
        }
        const int rc = cmd->run(session, args);
        if (rc == kExitVerifyFailed) {
            std::fprintf(stderr, "%s: %s\n", path.c_str(), session.verify_message().c_str());
        }
        return rc;
    } catch (const Failure& f) {
        return report(f, path, json);
    } catch (const std::bad_alloc&) {
        return report(Failure{kExitLibrary, "out of memory"}, path, json);
    } catch (const std::exception& e) {
        return report(Failure{kExitLibrary, e.what()}, path, json);
    }
}

}  // namespace

std::string command_help(const Command& cmd, const std::string& path) {
    std::string h = path + " - " + cmd.summary + "\n\nUsage: qorvex " + cmd.synopsis + "\n";
    if (cmd.description != nullptr && *cmd.description != '\0') h += std::string("\n") + cmd.description + "\n";
    if (!cmd.subcommands.empty()) {
        h += "\nSubcommands:\n";
        for (const Command* sub : cmd.subcommands) {
            std::string name = sub->name;
            name.resize(15, ' ');
            h += "  " + name + sub->summary + "\n";
        }
        h += "\nRun '" + path + " SUBCOMMAND --help' for the options of each.\n";
    } else {
        h += "\nOptions:\n";
        for (const auto& o : cmd.options) h += option_line(o);
        h += option_line({"json", nullptr, "print the result as one JSON object on stdout"});
        h += option_line({"help", nullptr, "show this help"});
    }
    if (cmd.examples != nullptr && *cmd.examples != '\0') h += std::string("\nExample:\n") + cmd.examples;
    h += std::string("\n") + kExitCodes;
    return h;
}

}  // namespace qcli

int main(int argc, char** argv) {
    const int rc = qcli::run(argc, argv);
    qcli::wipe_secret_arguments();
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "qorvex: cannot write the output\n");
        return qcli::kExitLibrary;
    }
    return rc;
}
