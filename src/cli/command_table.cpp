#include "cli/command_table.hpp"

#include <array>

namespace bootsmith::cli {

namespace {

constexpr OptionSpec json_option{"--json", "", "print the result as JSON instead of a table"};
constexpr OptionSpec yes_option{"--yes", "",
                                "accept a change that needs a decision (nothing asks you)"};

constexpr std::array<OptionSpec, 3> globals = {{
    {"--demo", "", "use invented data instead of this computer (changes nothing)"},
    {"--help", "", "show the help of the command instead of running it (also -h)"},
    {"--version", "", "show the version"},
}};

constexpr std::array<OptionSpec, 2> serve_options = {{
    {"--port", "N", "listen on this port (0, the default: any free port)"},
    {"--no-browser", "", "print the link instead of opening the browser"},
}};

constexpr std::array<OptionSpec, 6> list_options = {{
    {"--filter", "TEXT", "only items whose name, command or type contains TEXT (any case)"},
    {"--on", "", "only items that are switched on"},
    {"--off", "", "only items that are switched off"},
    {"--level", "LEVEL", "only items of this level (see below; capitals are fine)"},
    {"--full", "", "shorten no column, however wide the terminal is"},
    json_option,
}};

constexpr std::array<OptionSpec, 2> program_options = {{
    {"--all", "", "also list the programs of the operating system itself"},
    json_option,
}};

constexpr std::array<OptionSpec, 1> json_only = {{json_option}};

constexpr std::array<OptionSpec, 3> disable_options = {{
    yes_option,
    {"--stop-now", "", "also stop it now, not only at the next start"},
    {"--with-triggers", "",
     "also switch off the sockets, timers and other entries that would still start it"},
}};

constexpr std::array<OptionSpec, 1> yes_only = {{yes_option}};

constexpr std::array<OptionSpec, 5> add_options = {{
    {"--name", "N", "the name of the new entry (default: the program's name)"},
    {"--mode", "MODE", "how it starts (see below)"},
    {"--args", "TEXT", "arguments for the program; a value may begin with -, as in --args -v"},
    {"--workdir", "DIR", "the folder it starts in"},
    yes_option,
}};

constexpr std::array<OptionSpec, 2> backup_options = {{
    {"--out", "FILE", "write the backup to FILE instead of the backups folder"},
    {"--label", "TEXT", "a label to recognise it by (default: Manual backup)"},
}};

constexpr std::array<OptionSpec, 4> restore_options = {{
    {"--apply", "", "make the changes marked DO"},
    {"--yes", "", "accept the changes that need a decision"},
    {"--all", "", "also do the changes marked ask (they are not done by default)"},
    {"--json", "", "print the comparison as JSON (not with --apply)"},
}};

constexpr std::array<OptionSpec, 2> knowledge_options = {{
    {"--url", "U", "update: fetch from this https address instead of the usual one"},
    {"--json", "", "status: print the status as JSON"},
}};

// Shared paragraphs, as literals so that a command's details can join them.
#define LEVELS                                                                    \
    "Levels (what switching an item off could do), from harmless to dangerous:\n" \
    "  safe      nothing you rely on stops working\n"                             \
    "  low       a small convenience is lost\n"                                   \
    "  caution   something you may use stops working; a change needs --yes\n"     \
    "  high      something important may stop working; a change needs --yes\n"    \
    "  critical  the computer may not work properly; it is never switched off\n"  \
    "  unknown   Bootsmith does not know it; a change needs --yes\n"

#define NAMES                                                                           \
    "NAME is an item's name, its short name or its full id (shown by 'list --json').\n" \
    "A part of a name is enough to find an item; a change by a part of a name shows\n"  \
    "the item it found and needs --yes.\n"

constexpr std::array<CommandSpec, 20> commands = {{
    {"serve", "bootsmith serve [--no-browser] [--port N]",
     "Open the window: a page served on this computer only (also 'open', or no command).", 0, 0, "",
     serve_options, false, "", "  bootsmith serve --no-browser\n"},
    {"list", "bootsmith list [--filter TEXT] [--on|--off] [--level LEVEL] [--full] [--json]",
     "Show every entry that starts with the computer, and what switching it off could do.", 0, 0,
     "", list_options, true,
     "On a terminal the last column is as wide as the terminal; piped, it is cut at 70\n"
     "characters.\n\n" LEVELS,
     "  bootsmith list --off\n  bootsmith list --level caution --filter print\n"},
    {"running", "bootsmith running [--all] [--json]",
     "Show programs running now that do not start with the computer.", 0, 0, "", program_options,
     true, "", "  bootsmith running\n"},
    {"apps", "bootsmith apps [--all] [--json]",
     "Show installed programs that do not start with the computer.", 0, 0, "", program_options,
     true, "", "  bootsmith apps --all\n"},
    {"assess", "bootsmith assess NAME [--json]",
     "Say what switching one entry off would do, and why.", 1, 1, "NAME", json_only, true,
     NAMES "\n" LEVELS, "  bootsmith assess cups\n  bootsmith assess \"Acme Notes\"\n"},
    {"disable", "bootsmith disable NAME [--yes] [--stop-now] [--with-triggers]",
     "Stop an entry starting with the computer; nothing is deleted, and History can undo it.", 1, 1,
     "NAME", disable_options, false,
     NAMES "\n"
           "A socket, timer or path unit, or another entry, may still start it; disable names\n"
           "them and waits for --yes. --with-triggers switches those off too, in the same\n"
           "batch: each is its own line in the history, undone on its own.\n",
     "  bootsmith disable cups --stop-now\n  bootsmith disable bluetooth --yes\n"
     "  bootsmith disable cups --with-triggers --yes\n"},
    {"enable", "bootsmith enable NAME [--yes]", "Make an entry start with the computer again.", 1,
     1, "NAME", yes_only, false, NAMES, "  bootsmith enable cups\n"},
    {"add", "bootsmith add PROGRAM [--name N] [--mode MODE] [--args TEXT] [--workdir DIR] [--yes]",
     "Make a program start with the computer: a running or installed program, or a path.", 1, 1,
     "PROGRAM", add_options, false,
     "Modes (how the program starts):\n"
     "  login         when you sign in to the desktop (desktop autostart)\n"
     "  user-service  in the background when you sign in (systemd user service)\n"
     "  boot          at boot, before anyone signs in (systemd system service; needs sudo)\n"
     "  cron          at boot, from your crontab (cron @reboot)\n"
     "Without --mode the way recommended for the program is used.\n",
     "  bootsmith add firefox\n  bootsmith add ~/bin/sync-notes --mode user-service --args -v\n"},
    {"remove", "bootsmith remove NAME [--yes]",
     "Delete an entry that Bootsmith created; the program itself is not touched.", 1, 1, "NAME",
     yes_only, false, NAMES, "  bootsmith remove \"Sync notes\" --yes\n"},
    {"backup", "bootsmith backup [--out FILE] [--label TEXT]",
     "Save a backup of every entry and its state.", 0, 0, "", backup_options, false, "",
     "  bootsmith backup --label \"before the upgrade\"\n"},
    {"backups", "bootsmith backups [--json]", "List the saved backups.", 0, 0, "", json_only, true,
     "", "  bootsmith backups\n"},
    {"restore", "bootsmith restore FILE|NAME [--apply] [--yes] [--all] [--json]",
     "Compare a backup with now; with --apply, change what differs back.", 1, 1, "FILE-or-NAME",
     restore_options, true,
     "Without --apply nothing is changed. Each line is marked DO (done by --apply),\n"
     "ask (done only with --all), SKIP (not possible) or note (nothing to do).\n",
     "  bootsmith restore bootsmith-backup-20261208T044659-laptop.json\n"
     "  bootsmith restore backup.json --apply --yes\n"},
    {"knowledge", "bootsmith knowledge status|update [--url U]|import FILE|rollback|export",
     "The rules Bootsmith judges entries by, and how to update them.", 0, 2, "", knowledge_options,
     true, "'status' is the default; only 'status' has a JSON form.\n",
     "  bootsmith knowledge update\n  bootsmith knowledge import pack.json\n"},
    {"doctor", "bootsmith doctor [--json]",
     "Check that every place Bootsmith reads still works on this computer.", 0, 0, "", json_only,
     true, "", "  bootsmith doctor\n"},
    {"boot", "bootsmith boot [--json]",
     "Show how long this start-up took and the entries that took longest to start.", 0, 0, "",
     json_only, true,
     "TIME is how long an entry took from being started to being ready, in this boot.\n"
     "WAITED says whether the start-up could not finish before it: something the boot\n"
     "reaches is ordered after it, and it was ready before the start-up finished.\n"
     "The last line names slow entries that are safe or low to switch off.\n",
     "  bootsmith boot\n  bootsmith boot --json\n"},
    {"history", "bootsmith history [--json]",
     "Show the changes Bootsmith made, newest first, with the number to undo each by.", 0, 0, "",
     json_only, true, "", "  bootsmith history\n"},
    {"undo", "bootsmith undo [NUMBER] [--yes]",
     "Undo a recorded change: the newest one that can be undone, or the one with this number.", 0,
     1, "NUMBER", yes_only, false,
     "NUMBER is the number in the first column of 'bootsmith history', or the change's SEQ.\n",
     "  bootsmith undo\n  bootsmith undo 3\n"},
    {"help",
     "bootsmith help [COMMAND]",
     "Show the help, or the help of one command.",
     0,
     1,
     "COMMAND",
     {},
     false,
     "",
     "  bootsmith help add\n"},
    {"version", "bootsmith version [--json]", "Show the version.", 0, 0, "", json_only, true, "",
     "  bootsmith version --json\n"},
    {"open", "bootsmith open [--no-browser] [--port N]", "The same as 'serve'.", 0, 0, "",
     serve_options, false, "", "  bootsmith open\n"},
}};

#undef LEVELS
#undef NAMES

constexpr std::array<std::string_view, 6> levels = {"safe", "low",      "caution",
                                                    "high", "critical", "unknown"};
// The four ways of this system, and the Windows one the demonstration offers.
constexpr std::array<std::string_view, 5> modes = {"login", "user-service", "boot", "cron",
                                                   "service-auto"};

}  // namespace

std::span<const OptionSpec> global_options() {
    return globals;
}

const CommandSpec* find_command(std::string_view word) {
    for (const auto& spec : commands) {
        if (spec.word == word) {
            return &spec;
        }
    }
    return nullptr;
}

std::span<const CommandSpec> all_commands() {
    return commands;
}

std::span<const std::string_view> level_words() {
    return levels;
}

std::span<const std::string_view> mode_words() {
    return modes;
}

}  // namespace bootsmith::cli
