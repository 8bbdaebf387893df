#include "engine/history.hpp"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>
#include <set>

#include "engine/data_folders.hpp"
#include "foundation/clock.hpp"
#include "foundation/file_bytes.hpp"
#include "foundation/files.hpp"
#include "foundation/temporaries.hpp"

namespace bootsmith::engine {

namespace {

std::atomic<std::uint64_t> last_seq{0};

const char* const journal_name = "journal.jsonl";

void read_folder(const std::filesystem::path& folder, std::vector<JournalRecord>& records) {
    auto bytes = util::read_file_bytes(folder / journal_name);
    if (!bytes) {
        return;
    }
    std::string_view rest = *bytes;
    while (!rest.empty()) {
        std::size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        if (line.find_first_not_of(" \t\r\n") == std::string_view::npos) {
            continue;
        }
        auto value = json::parse(line);
        if (value && value->is_object()) {
            records.push_back(record_from_json(*value));
        }
    }
}

}  // namespace

json::JsonValue to_json(const JournalRecord& record) {
    return json::JsonValue::object()
        .with_u64("seq", record.seq)
        .with_str("time", record.time)
        .with_str("action", record.action)
        .with_str("id", record.id)
        .with_str("name", record.name)
        .with_str("detail", record.detail)
        .with_bool("ok", record.ok)
        .with_u64("of", record.of)
        .with("spec", model::stored_spec_json(record.spec))
        .with_bool("stop_now", record.stop_now);
}

JournalRecord record_from_json(const json::JsonValue& value) {
    JournalRecord record;
    record.seq = json::to_u64(value.get("seq"));
    record.time = value.get_str("time");
    record.action = value.get_str("action");
    record.id = value.get_str("id");
    record.name = value.get_str("name");
    record.detail = value.get_str("detail");
    record.ok = value.get_bool("ok");
    record.of = json::to_u64(value.get("of"));
    record.spec = model::stored_spec_from_json(value.get("spec"));
    record.stop_now = value.get_bool("stop_now");
    return record;
}

std::uint64_t next_seq() {
    std::uint64_t now = util::now_millis();
    std::uint64_t last = last_seq.load();
    std::uint64_t next = 0;
    do {
        next = now > last ? now : last + 1;
    } while (!last_seq.compare_exchange_weak(last, next));
    return next;
}

Status append_record(const platform::SystemInfo& system, JournalRecord record) {
    record.seq = next_seq();
    if (record.time.empty()) {
        record.time = util::now_text();
    }
    std::filesystem::path folder = data_folder(system);
    BOOTSMITH_CHECK(util::create_folders(folder));
    util::remove_stale_temporaries(folder);
    return util::append_line(folder / journal_name, json::to_text(to_json(record)));
}

std::vector<JournalRecord> read_records(const platform::SystemInfo& system) {
    std::vector<JournalRecord> records;
    for (const auto& folder : folders_to_read(system)) {
        read_folder(folder, records);
    }
    std::stable_sort(records.begin(), records.end(),
                     [](const auto& a, const auto& b) { return a.seq < b.seq; });
    auto same_seq = [](const auto& a, const auto& b) { return a.seq == b.seq; };
    records.erase(std::unique(records.begin(), records.end(), same_seq), records.end());
    return records;
}

std::vector<HistoryEntry> history_list(const platform::SystemInfo& system) {
    std::vector<JournalRecord> records = read_records(system);
    std::set<std::uint64_t> undone;
    for (const auto& record : records) {
        if (record.action == "undo" && record.ok) {
            undone.insert(record.of);
        }
    }
    static const std::set<std::string> undoable = {"enable", "disable", "create", "remove"};
    std::vector<HistoryEntry> entries;
    for (auto it = records.rbegin(); it != records.rend(); ++it) {
        HistoryEntry entry{*it, undone.contains(it->seq), false};
        entry.can_undo = !entry.undone && it->ok && undoable.contains(it->action);
        entries.push_back(std::move(entry));
    }
    return entries;
}

model::StoredSpec creation_spec(const std::vector<JournalRecord>& records,
                                const model::Item& item) {
    for (auto it = records.rbegin(); it != records.rend(); ++it) {
        if (it->action == "create" && it->ok && it->id == item.id) {
            return it->spec;
        }
    }
    return model::to_stored({item.name, item.command, item.exe, item.extra.get("workdir"),
                             item.extra.get("mode"), item.extra.get("run_as"), item.description});
}

}  // namespace bootsmith::engine
