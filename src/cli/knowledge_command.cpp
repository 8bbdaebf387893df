#include "cli/knowledge_command.hpp"

#include <algorithm>
#include <array>

#include "engine/data_folders.hpp"
#include "foundation/file_bytes.hpp"
#include "foundation/folder_walk.hpp"
#include "foundation/text.hpp"
#include "knowledge/store.hpp"
#include "knowledge/updates.hpp"

namespace bootsmith::cli {

namespace {

constexpr std::size_t label_width = 21;
constexpr std::array<std::string_view, 5> subcommands = {"status", "update", "import", "rollback",
                                                         "export"};

std::string subcommand(const ParsedArgs& args) {
    std::string word = args.positional(1);
    return word.empty() ? std::string("status") : word;
}

std::string line(std::string_view label, std::string_view value) {
    return util::pad_right(label, label_width) + std::string(value) + "\n";
}

std::string number_text(const json::JsonValue& record, std::string_view key) {
    const json::JsonValue* value = record.get(key);
    double number = value != nullptr ? value->as_number().value_or(0) : 0;
    return std::to_string(static_cast<unsigned long long>(number));
}

int report(const knowledge::UpdateOutcome& outcome, Invocation& inv) {
    (outcome.failed ? inv.err : inv.out) << outcome.message << "\n";
    return outcome.failed ? exit_failed : exit_done;
}

int show_status(Invocation& inv, const knowledge::KnowledgeFolders& folders) {
    auto store = knowledge::current_store();
    auto settings = knowledge::read_settings(folders);
    std::string folder = folders.empty() ? std::string() : folders.front().string();
    inv.out << knowledge_status_text(knowledge::status_record(*store, settings, folder));
    return exit_done;
}

int run_update(Invocation& inv, const knowledge::KnowledgeFolders& folders) {
    std::string address = inv.args.value("--url");
    if (address.empty()) {
        address = knowledge::read_settings(folders).url;
    }
    inv.out << "Looking for a knowledge update at " << address << " ...\n";
    inv.out.flush();
    return report(knowledge::update_knowledge(address, folders), inv);
}

int run_import(Invocation& inv, const knowledge::KnowledgeFolders& folders) {
    std::string file = inv.args.positional(2);
    auto text = util::read_text_file(file);
    if (!text) {
        const bool special =
            text.error() == util::not_regular_text || text.error() == util::refused_link_text();
        inv.err << "Cannot read " << file << (special ? ": " + text.error() + "." : "") << "\n";
        return exit_failed;
    }
    return report(knowledge::import_pack(*text, folders), inv);
}

}  // namespace

std::optional<int> knowledge_usage_error(const ParsedArgs& args, std::ostream& err) {
    std::string word = subcommand(args);
    if (std::find(subcommands.begin(), subcommands.end(), word) == subcommands.end()) {
        err << "Try: bootsmith knowledge status | update | import FILE | rollback | export\n";
        return exit_usage;
    }
    if (word == "import" && args.positional(2).empty()) {
        err << "Which file? bootsmith knowledge import FILE\n";
        return exit_usage;
    }
    return std::nullopt;
}

int run_knowledge(Invocation& inv) {
    if (auto usage = knowledge_usage_error(inv.args, inv.err)) {
        return *usage;
    }
    auto folders = engine::knowledge_folders(inv.engine.system());
    std::string word = subcommand(inv.args);
    if (word == "update") {
        return run_update(inv, folders);
    }
    if (word == "import") {
        return run_import(inv, folders);
    }
    if (word == "rollback") {
        return report(knowledge::rollback_pack(folders), inv);
    }
    if (word == "export") {
        inv.out << knowledge::builtin_pack_text() << "\n";
        return exit_done;
    }
    return show_status(inv, folders);
}

std::string knowledge_status_text(const json::JsonValue& record) {
    std::string text =
        line("Built-in knowledge:", record.get_str("builtin_version") + " (" +
                                        number_text(record, "builtin_rules") + " rules)");
    std::string pack = record.get_str("pack_version");
    text += line("Installed update:", pack.empty() ? std::string("none")
                                                   : pack + " (published " +
                                                         record.get_str("pack_published") + ") " +
                                                         record.get_str("pack_description"));
    text += line("Your own rules:", number_text(record, "local_rules"));
    text += line("Update address:", record.get_str("url"));
    text += line("Check at start-up:",
                 record.get_bool("auto_check") ? "yes" : "no (only when you ask)");
    std::string last = record.get_str("last_check");
    text += line("Last checked:", last.empty() ? std::string("never")
                                               : last + " - " + record.get_str("last_result"));
    if (const json::JsonValue* notes = record.get("notes")) {
        if (const json::JsonArray* list = notes->as_array()) {
            for (const json::JsonValue& note : *list) {
                text += std::string(note.as_str().value_or("")) + "\n";
            }
        }
    }
    return text;
}

}  // namespace bootsmith::cli
