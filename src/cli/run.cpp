#include "cli/run.hpp"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <memory>
#include <ostream>

#include "cli/boot_command.hpp"
#include "cli/change_commands.hpp"
#include "cli/command.hpp"
#include "cli/command_table.hpp"
#include "cli/help.hpp"
#include "cli/knowledge_command.hpp"
#include "cli/listing_commands.hpp"
#include "cli/maintenance_commands.hpp"
#include "cli/terminal_text.hpp"
#include "cli/usage.hpp"
#include "engine/run.hpp"
#include "foundation/text.hpp"
#include "platform/demo/demo_platform.hpp"
#include "platform/linux/linux_platform.hpp"
#include "server/serve.hpp"

namespace bootsmith::cli {

namespace {

// Arguments that are not UTF-8 are read as ISO-8859-1, one character per byte,
// so that every text the program handles afterwards is valid UTF-8.
std::vector<std::string> as_utf8(const std::vector<std::string>& raw) {
    std::vector<std::string> args;
    for (const auto& word : raw) {
        args.push_back(util::is_valid_utf8(word) ? word : util::decode_text(word));
    }
    return args;
}

bool wants_help(const ParsedArgs& args) {
    return args.command() == "help" || args.has("--help") ||
           std::find(args.positionals.begin(), args.positionals.end(), "-h") !=
               args.positionals.end();
}

// `help`, `help COMMAND`, `COMMAND --help` and `COMMAND -h`: the general help,
// or the help of the command named; an unknown name is a usage error.
int print_help(ParsedArgs args, std::ostream& out, std::ostream& err) {
    std::erase(args.positionals, "-h");
    if (args.command() == "help") {
        if (auto status = usage_error(args, err)) {
            return *status;
        }
        args.positionals.erase(args.positionals.begin());
    }
    if (args.positionals.empty()) {
        out << help_text();
        return exit_done;
    }
    const CommandSpec* spec = find_command(args.command());
    if (spec == nullptr) {
        err << "There is no command \"" << args.command() << "\". Try: bootsmith help\n";
        return exit_usage;
    }
    out << command_help(*spec);
    return exit_done;
}

// The one place that knows the back ends: the demonstration, or this computer.
std::unique_ptr<platform::Platform> make_platform(bool demo) {
    if (demo) {
        return std::make_unique<demo::DemoPlatform>();
    }
    return linux_backend::make_linux_platform();
}

// "--port": 0 to 65535 with an optional leading "+"; anything else lets the
// system choose.
std::uint16_t port_option(const std::string& text) {
    std::string_view digits = text;
    if (digits.starts_with('+')) {
        digits.remove_prefix(1);
    }
    unsigned value = 0;
    auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (digits.empty() || error != std::errc() || end != digits.data() + digits.size() ||
        value > 65535) {
        return 0;
    }
    return static_cast<std::uint16_t>(value);
}

int run_serve(Invocation& inv) {
    bool browser = !inv.args.has("--no-browser") && std::getenv("BOOTSMITH_NO_BROWSER") == nullptr;
    return server::serve(inv.engine, port_option(inv.args.value("--port")),
                         browser ? server::Browser::open : server::Browser::leave_closed);
}

using Handler = std::function<int(Invocation&)>;

struct Route {
    std::vector<std::string_view> words;
    Handler handler;
};

std::vector<Route> routes() {
    return {
        {{"serve", "open"}, run_serve},
        {{"list"}, run_list},
        {{"running"}, run_running},
        {{"apps"}, run_apps},
        {{"assess"}, run_assess},
        {{"disable", "enable"}, run_switch},
        {{"add"}, run_add},
        {{"remove"}, run_remove},
        {{"backup"}, run_backup},
        {{"backups"}, run_backups},
        {{"restore"}, run_restore},
        {{"knowledge"}, run_knowledge},
        {{"doctor"}, run_doctor},
        {{"boot"}, run_boot},
        {{"history"}, run_history},
        {{"undo"}, run_undo},
    };
}

int dispatch(Invocation& inv) {
    std::string word = inv.args.command();
    for (const auto& route : routes()) {
        if (std::find(route.words.begin(), route.words.end(), word) != route.words.end()) {
            return route.handler(inv);
        }
    }
    inv.err << "Unknown command \"" << word << "\". Try: bootsmith help\n";
    return exit_usage;
}

}  // namespace

int run(const std::vector<std::string>& raw_args) {
    ParsedArgs args = parse_args(as_utf8(raw_args));
    // JSON escapes what it must, and an exported pack is printed byte for byte;
    // everything else meant for a reader passes the terminal filter.
    const bool data_out =
        args.has("--json") || (args.command() == "knowledge" && args.positional(1) == "export");
    TerminalText out_text(std::cout.rdbuf());
    TerminalText err_text(std::cerr.rdbuf());
    std::ostream out(data_out ? std::cout.rdbuf() : &out_text);
    std::ostream err(&err_text);
    err.setf(std::ios::unitbuf);
    if (wants_help(args)) {
        return print_help(args, out, err);
    }
    // The version reads nothing, so a stray word next to --version is harmless.
    if (!args.has("--version")) {
        if (auto status = usage_error(args, err)) {
            return *status;
        }
    }
    if (args.command() == "version" || args.has("--version")) {
        out << (args.has("--json") ? version_json() : std::string(version_text()));
        return exit_done;
    }
    engine::Run session = engine::open_run(args.has("--demo"), make_platform);
    Invocation inv{args, *session.engine, out, err};
    return dispatch(inv);
}

}  // namespace bootsmith::cli
