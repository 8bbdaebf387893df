#include "cli/help.hpp"

#include <string>

#include "foundation/version.hpp"

namespace bootsmith::cli {

std::string_view help_text() {
    return "Bootsmith - see what starts with your computer, and switch it on or off.\n"
           "\n"
           "Made by the Bootsmith developers; free to use and to study.\n"
           "\n"
           "Usage:\n"
           "  bootsmith                       open the window (same as 'serve')\n"
           "  bootsmith serve [--no-browser] [--port N]\n"
           "  bootsmith list [--filter TEXT] [--on|--off] [--level LEVEL] [--json]\n"
           "  bootsmith running [--all] [--json]    programs running now that do not start with "
           "the computer\n"
           "  bootsmith apps [--all] [--json]       installed programs that do not start with the "
           "computer\n"
           "  bootsmith assess NAME                 what switching it off would do, and why\n"
           "  bootsmith disable NAME [--yes] [--stop-now]\n"
           "  bootsmith enable NAME [--yes]\n"
           "  bootsmith add PROGRAM [--name N] [--mode MODE] [--args TEXT] [--workdir DIR] "
           "[--yes]\n"
           "  bootsmith remove NAME [--yes]         remove an entry Bootsmith created\n"
           "  bootsmith backup [--out FILE] [--label TEXT]\n"
           "  bootsmith backups                     list the saved backups\n"
           "  bootsmith restore FILE|NAME [--apply] [--yes] [--all]\n"
           "                                        show what a backup would change; --apply "
           "does it\n"
           "  bootsmith knowledge status|update [--url U]|import FILE|rollback|export\n"
           "                                        the rules Bootsmith judges items by, and how "
           "to update them\n"
           "  bootsmith doctor                      check that every place Bootsmith reads still "
           "works here\n"
           "  bootsmith history\n"
           "  bootsmith undo SEQ\n"
           "  bootsmith version\n"
           "\n"
           "Options for any command:\n"
           "  --demo      use invented data instead of this computer (changes nothing)\n"
           "\n"
           "NAME is an item's name or its full id (shown by 'list --json').\n"
           "Changes are never made without --yes when the program says they need a decision,\n"
           "and items it considers critical are never switched off.\n";
}

std::string_view version_text() {
    static const std::string text = "Bootsmith " + std::string(program_version) +
                                    "\n"
                                    "Made by the Bootsmith developers.\n"
                                    "A start-up manager for Linux in one self-contained program.\n";
    return text;
}

}  // namespace bootsmith::cli
