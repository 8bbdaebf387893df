#include "cli/run.hpp"

#include <sys/stat.h>

#include <algorithm>
#include <functional>
#include <iostream>
#include <memory>
#include <ostream>

#include "cli/change_commands.hpp"
#include "cli/command.hpp"
#include "cli/command_table.hpp"
#include "cli/help.hpp"
#include "cli/knowledge_command.hpp"
#include "cli/listing_commands.hpp"
#include "cli/maintenance_commands.hpp"
#include "cli/terminal_text.hpp"
#include "cli/usage.hpp"
#include "engine/data_folders.hpp"
#include "foundation/clock.hpp"
#include "foundation/random.hpp"
#include "foundation/text.hpp"
#include "knowledge/store.hpp"
#include "platform/demo/demo_platform.hpp"
#include "platform/linux/linux_platform.hpp"

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

// A fresh folder of its own for each demonstration run, so that it never
// touches the real history or backups.
std::filesystem::path make_demo_folder() {
    std::string tmp = util::env_text("TMPDIR");
    std::filesystem::path base = tmp.empty() ? std::string("/tmp") : tmp;
    for (int attempt = 0; attempt < 10; ++attempt) {
        std::string suffix = util::random_hex(6).value_or(std::to_string(util::now_unix()));
        std::filesystem::path folder = base / ("bootsmith-demo-" + suffix);
        if (::mkdir(folder.c_str(), 0777) == 0) {
            return folder;
        }
    }
    return base / "bootsmith-demo";
}

int run_serve(Invocation& inv) {
    inv.err << "The window is not part of this version yet; the commands of 'bootsmith help' "
               "do everything it would.\n";
    return exit_failed;
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
    bool demo = args.has("--demo");
    if (demo) {
        engine::set_data_folder_override(make_demo_folder());
    }
    std::unique_ptr<platform::Platform> platform;
    if (demo) {
        platform = std::make_unique<demo::DemoPlatform>();
    } else {
        platform = linux_backend::make_linux_platform();
    }
    engine::Engine engine(std::move(platform));
    knowledge::load_store(engine::knowledge_folders(engine.system()));
    Invocation inv{args, engine, out, err};
    return dispatch(inv);
}

}  // namespace bootsmith::cli
