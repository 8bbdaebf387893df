#include "cli/maintenance_commands.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <charconv>
#include <filesystem>

#include "cli/json_forms.hpp"
#include "cli/output.hpp"
#include "engine/backups.hpp"
#include "engine/data_folders.hpp"
#include "engine/doctor.hpp"
#include "engine/history.hpp"
#include "engine/restore.hpp"
#include "engine/restore_selection.hpp"
#include "engine/since_backup.hpp"
#include "engine/undo.hpp"
#include "foundation/files.hpp"
#include "foundation/output_file.hpp"
#include "foundation/text.hpp"

namespace bootsmith::cli {

namespace {

Result<std::string> backup_text(Invocation& inv, const std::string& argument) {
    std::error_code ec;
    if (std::filesystem::is_regular_file(argument, ec)) {
        auto text = util::read_text_file(argument);
        if (!text) {
            return fail("cannot read the file");
        }
        return text;
    }
    return engine::read_backup(inv.engine.system(), argument);
}

// Prints one planned change of a restore.
void print_restore_change(Invocation& inv, const engine::PlannedRestoreChange& step) {
    const engine::RestoreChange& change = step.change;
    if (!step.plan) {
        inv.out << "[note] " << util::pad_right(change.what, 8) << " " << change.name << " - "
                << change.note << "\n";
        return;
    }
    const char* mark = step.choice == engine::RestoreChoice::skip     ? "SKIP"
                       : step.choice == engine::RestoreChoice::chosen ? "DO  "
                                                                      : "ask ";
    inv.out << "[" << mark << "] " << util::pad_right(change.what, 8) << " " << change.name << " - "
            << change.note << "\n";
    if (step.choice == engine::RestoreChoice::skip) {
        inv.out << "         not possible: " << engine::refusal_reason(*step.plan) << "\n";
    } else if (step.plan->risk.needs_ack()) {
        inv.out << "         level " << model::level_name(step.plan->risk.level) << ": "
                << step.plan->risk.effect << "\n";
    }
    if (!change.runs_as.empty()) {
        inv.out << "         command: " << change.command << "\n"
                << "         method: " << change.mode << "; runs as: " << change.runs_as << "\n"
                << "         " << change.warning << "\n";
    }
}

// Output sent elsewhere (a file, a pipe) was not read before the change was
// made, so what a re-creation made start is also said where the user looks.
void report_recreations(Invocation& inv, const std::vector<const engine::RestoreChange*>& done,
                        const std::vector<engine::ChangeResult>& results) {
    if (::isatty(STDOUT_FILENO) != 0) {
        return;
    }
    for (std::size_t i = 0; i < results.size() && i < done.size(); ++i) {
        if (results[i].ok && !done[i]->runs_as.empty()) {
            inv.err << "note: " << results[i].name << " was created again; it runs "
                    << done[i]->command << " as " << done[i]->runs_as << " (" << done[i]->mode
                    << ").\n";
        }
    }
}

// The mark of a change in the JSON form: "do" (done by --apply), "ask" (done
// only with --all), "skip" (not possible) or "note" (nothing to do).
std::string mark_word(engine::RestoreChoice choice) {
    switch (choice) {
        case engine::RestoreChoice::chosen:
            return "do";
        case engine::RestoreChoice::unticked:
            return "ask";
        case engine::RestoreChoice::skip:
            return "skip";
        case engine::RestoreChoice::note:
            break;
    }
    return "note";
}

int print_restore_json(Invocation& inv, const engine::RestorePlan& plan,
                       const std::vector<engine::PlannedRestoreChange>& steps) {
    std::vector<MarkedChange> marked;
    for (const auto& step : steps) {
        marked.push_back({&step.change, mark_word(step.choice)});
    }
    inv.out << json::to_text(restore_json(plan, marked)) << "\n";
    return exit_done;
}

void print_restore_header(Invocation& inv, const engine::RestorePlan& plan) {
    const json::JsonValue& h = plan.header;
    inv.out << "Backup taken " << h.get_str("created") << " on " << h.get_str("host") << " ("
            << h.get_str("os_version") << "), " << json::to_u64(h.get("count"))
            << " items; label: " << h.get_str("label") << "\n";
    if (plan.wrong_machine) {
        inv.out << "WARNING: this backup comes from a different computer or operating system. "
                   "Only items that exist here are considered.\n";
    }
    inv.out << plan.same << " items already match; " << plan.appeared
            << " items appeared since the backup and are left alone.\n\n";
}

// Ends the self-check with what changed behind the user's back since the
// newest backup.
int with_since_backup(Invocation& inv, int status) {
    inv.out << "\n";
    for (const auto& line : engine::since_backup_lines(engine::since_last_backup(inv.engine))) {
        inv.out << line << "\n";
    }
    return status;
}

// Root acting for an ordinary account (sudo) writes that account's output
// files for it: they are handed to whoever owns its home.
std::optional<util::ActingAccount> acting_account(const platform::SystemInfo& system) {
    struct stat home {};
    if (!system.admin || system.demo || ::geteuid() != 0 || system.home.empty() ||
        system.home == "/" || ::stat(system.home.c_str(), &home) != 0 || home.st_uid == 0) {
        return std::nullopt;
    }
    return util::ActingAccount{{home.st_uid, home.st_gid}, system.home};
}

}  // namespace

int run_backup(Invocation& inv) {
    std::string label = inv.args.value("--label");
    json::JsonValue document =
        engine::make_backup(inv.engine, label.empty() ? "Manual backup" : label);
    std::uint64_t count = json::to_u64(document.get("count"));
    std::string out_file = inv.args.value("--out");
    if (out_file.empty()) {
        auto saved = engine::save_backup(inv.engine.system(), document, false);
        if (!saved) {
            inv.err << saved.error() << "\n";
            return exit_failed;
        }
        inv.out << "Saved " << count << " items to " << saved->string() << "\n";
        return exit_done;
    }
    auto written = util::write_output_file(out_file, json::to_text(document), 0600,
                                           acting_account(inv.engine.system()));
    if (!written) {
        inv.err << "Could not write " << out_file << ": " << written.error() << "\n";
        return exit_failed;
    }
    inv.out << "Saved " << count << " items to " << out_file << "\n";
    return exit_done;
}

int run_backups(Invocation& inv) {
    if (inv.args.has("--json")) {
        inv.out << json::to_text(backups_json(engine::backups_folder_display(inv.engine.system()),
                                              engine::list_backups(inv.engine.system())))
                << "\n";
        return exit_done;
    }
    inv.out << "Backups are kept in " << engine::backups_folder_display(inv.engine.system())
            << "\n";
    inv.out << util::pad_right("TAKEN (UTC)", 20) << " " << util::pad_right("ITEMS", 6) << " "
            << util::pad_right("AUTO", 5) << " " << util::pad_right("LABEL", 26)
            << " NAME (use with: bootsmith restore NAME)\n";
    std::vector<engine::BackupListing> backups = engine::list_backups(inv.engine.system());
    if (backups.empty()) {
        inv.out << "(none yet; 'bootsmith backup' makes one, and one is made automatically before "
                   "any change)\n";
    }
    for (const auto& b : backups) {
        inv.out << util::pad_right(b.created, 20) << " "
                << util::pad_right(std::to_string(b.count), 6) << " "
                << util::pad_right(b.automatic ? "yes" : "-", 5) << " " << column(b.label, 26)
                << " " << b.name << "\n";
    }
    return exit_done;
}

int run_restore(Invocation& inv) {
    auto text = backup_text(inv, inv.args.positional(1));
    auto document =
        text ? engine::parse_backup(*text) : Result<json::JsonValue>(fail(text.error()));
    if (!document) {
        inv.err << document.error() << "\n";
        return exit_failed;
    }
    engine::RestorePlan plan = engine::restore_plan(inv.engine, *document);
    auto steps = engine::choose_restore_changes(inv.engine, plan, inv.args.has("--all"));
    if (inv.args.has("--json")) {
        return print_restore_json(inv, plan, steps);
    }
    print_restore_header(inv, plan);
    for (const auto& step : steps) {
        print_restore_change(inv, step);
    }
    std::vector<engine::ChangeRequest> batch =
        engine::chosen_requests(steps, inv.args.has("--yes"));
    std::vector<const engine::RestoreChange*> chosen;
    for (const auto& step : steps) {
        if (step.choice == engine::RestoreChoice::chosen) {
            chosen.push_back(&step.change);
        }
    }
    bool apply = inv.args.has("--apply");
    if (!apply) {
        inv.out << "\nNothing was changed. Add --apply to do the items marked DO"
                << (inv.args.has("--yes") ? ""
                                          : " (and --yes to accept the ones that need a decision)")
                << ".\n";
        return exit_done;
    }
    // A restore is one step back: when part of it waits for a decision, none
    // of it is made, rather than a part.
    std::vector<engine::Plan> held = engine::held_for_decision(steps, inv.args.has("--yes"));
    if (!held.empty()) {
        std::vector<std::string> names;
        for (const auto& waiting : held) {
            names.push_back(waiting.name);
        }
        inv.err << "\n"
                << counted(held.size(), "change needs", "changes need")
                << " a decision and nothing was changed: " << util::join(names, ", ")
                << ". Run it again with --yes if you accept them.\n";
        return exit_decision;
    }
    bool failed = false;
    std::vector<engine::ChangeResult> results = engine::apply(inv.engine, batch);
    for (const auto& result : results) {
        inv.out << (result.ok ? "ok  " : "FAIL") << " " << result.name << ": " << result.message
                << "\n";
        failed = failed || !result.ok;
    }
    report_recreations(inv, chosen, results);
    return failed ? exit_failed : exit_done;
}

int run_doctor(Invocation& inv) {
    std::vector<platform::Probe> probes = engine::doctor(inv.engine);
    if (inv.args.has("--json")) {
        json::JsonValue report = doctor_json(probes);
        inv.out << json::to_text(report) << "\n";
        return json::to_u64(report.get("failed")) == 0 ? exit_done : exit_failed;
    }
    print_system_line(inv.err, inv.engine.system());
    std::size_t failed = 0;
    std::size_t warnings = 0;
    for (const auto& probe : probes) {
        std::string word = probe_status_word(probe.status);
        failed += word == "fail" ? 1 : 0;
        warnings += word == "warn" ? 1 : 0;
        std::string status = word == "ok" ? "ok  " : word == "warn" ? "WARN" : "FAIL";
        inv.out << "[" << status << "] " << util::pad_right(probe.name, 34) << " " << probe.detail
                << "\n";
    }
    if (failed == 0 && warnings == 0) {
        inv.out << "\nEverything Bootsmith reads on this computer is working.\n";
        return with_since_backup(inv, exit_done);
    }
    if (failed == 0) {
        // A warning is a part that works with a limit; the closing line must not
        // contradict the lines above it.
        inv.out << "\nEverything Bootsmith reads on this computer is working, with "
                << counted(warnings, "warning", "warnings") << " above.\n";
        return with_since_backup(inv, exit_done);
    }
    inv.out << "\n"
            << failed
            << " source(s) did not work. The rest of the program still runs; for each failed line "
               "the matching part of the list will be missing or incomplete.\n"
               "A knowledge update may cover a changed location (bootsmith knowledge update). If "
               "it does not, this operating system version needs a newer Bootsmith.\n";
    return with_since_backup(inv, exit_failed);
}

int run_history(Invocation& inv) {
    std::vector<engine::HistoryEntry> entries = engine::history_list(inv.engine.system());
    if (inv.args.has("--json")) {
        inv.out << json::to_text(history_json(entries)) << "\n";
        return exit_done;
    }
    inv.out << util::pad_right("#", 4) << " " << util::pad_right("SEQ", 14) << " "
            << util::pad_right("TIME (UTC)", 20) << " " << util::pad_right("ACTION", 9) << " "
            << util::pad_right("ITEM", 28) << " RESULT\n";
    for (const auto& entry : entries) {
        const engine::JournalRecord& r = entry.record;
        inv.out << util::pad_right(std::to_string(entry.number), 4) << " "
                << util::pad_right(std::to_string(r.seq), 14) << " " << util::pad_right(r.time, 20)
                << " " << util::pad_right(r.action, 9) << " " << column(r.name, 28) << " "
                << util::shorten(r.detail, 60) << (entry.undone ? "  [undone]" : "") << "\n";
    }
    return exit_done;
}

int run_undo(Invocation& inv) {
    std::string text = inv.args.positional(1);
    std::optional<std::uint64_t> typed;
    if (!text.empty()) {
        typed.emplace(0);
        std::from_chars(text.data(), text.data() + text.size(), *typed);
    }
    std::vector<engine::HistoryEntry> entries = engine::history_list(inv.engine.system());
    auto seq = engine::undo_target(entries, typed);
    if (!seq) {
        inv.err << seq.error() << "\n";
        return exit_failed;
    }
    if (!typed) {
        for (const auto& entry : entries) {
            if (entry.record.seq == *seq) {
                inv.out << "Undoing the newest change (" << entry.number
                        << "): " << entry.record.action << " " << entry.record.name << ", "
                        << entry.record.time << "\n";
            }
        }
    }
    engine::Outcome outcome = engine::undo(inv.engine, *seq, inv.args.has("--yes"));
    switch (outcome.kind) {
        case engine::OutcomeKind::done:
            inv.out << outcome.message << "\n";
            return exit_done;
        case engine::OutcomeKind::needs_confirmation:
            inv.err << outcome.message << "\nRun it again with --yes if you accept that.\n";
            return exit_decision;
        case engine::OutcomeKind::admin_needed:
            inv.err << outcome.message << " " << sudo_advice << "\n";
            return exit_admin;
        case engine::OutcomeKind::failed:
            break;
    }
    inv.err << outcome.message << "\n";
    return exit_failed;
}

}  // namespace bootsmith::cli
