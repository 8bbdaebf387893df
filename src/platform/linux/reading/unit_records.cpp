#include "platform/linux/reading/unit_records.hpp"
#include "platform/linux/reading/scan.hpp"
#include "platform/linux/text/boot_text.hpp"

#include <algorithm>

namespace bootsmith::linux_backend {

namespace {

std::vector<std::string> show_arguments(const std::vector<std::string>& units) {
    std::vector<std::string> args = {"show", "--no-pager", "-p", "Id", "-p", "Description", "-p",
                                     "FragmentPath", "-p", "ExecStart", "-p", "User", "-p",
                                     "RequiredBy", "-p", "BoundBy", "-p", "Triggers",
                                     // Who pulls it in, to tell a unit that starts although
                                     // systemd calls it disabled.
                                     "-p", "WantedBy",
                                     // The state of an instance, which the unit-file list
                                     // does not have.
                                     "-p", "UnitFileState",
                                     // What can start it although it is switched off.
                                     "-p", "TriggeredBy",
                                     // The aliases and bus name D-Bus activation
                                     // may start it by.
                                     "-p", "Names", "-p", "BusName"};
    // How long it took to start in this boot, in the same call.
    for (std::string_view property : unit_timing_properties) {
        args.insert(args.end(), {"-p", std::string(property)});
    }
    // A name starting with "-" would be read as an option ("-Hhost" even as a host).
    bool risky = std::any_of(units.begin(), units.end(),
                             [](const std::string& unit) { return unit.starts_with('-'); });
    if (risky) {
        args.push_back("--");
    }
    args.insert(args.end(), units.begin(), units.end());
    return args;
}

// Files every block of one answer under its Id; true when systemctl answered in time.
bool show_batch_into(const SystemctlRunner& systemctl, const std::vector<std::string>& batch,
                     std::map<std::string, ShowRecord>& records) {
    auto run = systemctl(show_arguments(batch));
    for (auto& record : parse_show(run.out)) {
        std::string id = show_value(record, "Id");
        if (!id.empty()) {
            records.emplace(std::move(id), std::move(record));
        }
    }
    return !run.timed_out;
}

// Asked alone, the one block of the answer belongs to the unit even when its Id
// differs (an alias answers with the name of the unit it points to).
bool show_alone_into(const SystemctlRunner& systemctl, const std::string& unit,
                     std::map<std::string, ShowRecord>& records) {
    auto run = systemctl(show_arguments({unit}));
    auto blocks = parse_show(run.out);
    if (blocks.size() == 1) {
        records.emplace(unit, std::move(blocks.front()));
    } else {
        for (auto& block : blocks) {
            if (show_value(block, "Id") == unit) {
                records.emplace(unit, std::move(block));
                break;
            }
        }
    }
    return !run.timed_out;
}

}  // namespace

std::map<std::string, ShowRecord> describe_units(const SystemctlRunner& systemctl,
                                                 const std::vector<std::string>& units) {
    std::map<std::string, ShowRecord> records;
    std::vector<std::string> regular;
    std::vector<std::string> templates;
    for (const auto& unit : units) {
        (is_template_unit(unit) ? templates : regular).push_back(unit);
    }
    // Once systemctl has hung, asking it again unit by unit would only multiply
    // the wait, so the remaining units simply stay undescribed.
    bool answering = true;
    for (std::size_t start = 0; start < regular.size() && answering; start += show_batch) {
        auto first = regular.begin() + static_cast<std::ptrdiff_t>(start);
        auto last = regular.begin() +
                    static_cast<std::ptrdiff_t>(std::min(regular.size(), start + show_batch));
        answering = show_batch_into(systemctl, std::vector<std::string>(first, last), records);
    }
    for (const auto& unit : regular) {
        if (!answering) {
            break;
        }
        if (!records.contains(unit)) {
            answering = show_alone_into(systemctl, unit, records);
        }
    }
    for (const auto& unit : templates) {
        if (!answering) {
            break;
        }
        auto run = systemctl({"cat", "--no-pager", "--", unit});
        answering = !run.timed_out;
        if (run.ok() && !util::trim(run.out).empty()) {
            records.emplace(unit, parse_unit_cat(run.out, unit));
        }
    }
    return records;
}

}  // namespace bootsmith::linux_backend
