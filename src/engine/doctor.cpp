#include "engine/doctor.hpp"

#include "engine/data_folders.hpp"
#include "foundation/files.hpp"
#include "knowledge/store.hpp"

namespace bootsmith::engine {

namespace {

platform::Probe knowledge_probe(const knowledge::KnowledgeStore& store) {
    std::string detail = "Built-in " + store.builtin_version + " (" +
                         std::to_string(store.builtin_rules) + " rules)";
    if (store.pack) {
        detail += ", update " + store.pack->version + " installed";
    }
    if (store.local_rules > 0) {
        detail += ", " + std::to_string(store.local_rules) + " of your own rules";
    }
    bool broken = store.builtin_version.find("broken") != std::string::npos;
    return {"Knowledge", detail + ".", broken ? "fail" : "ok"};
}

platform::Probe folder_probe(const platform::SystemInfo& system) {
    std::filesystem::path folder = data_folder(system);
    std::string shown = folder_display(system);
    std::error_code ec;
    if (!std::filesystem::exists(folder, ec)) {
        return {"History and backups folder",
                shown +
                    " (it does not exist yet; it is made when the first change or backup is "
                    "saved)",
                "ok"};
    }
    std::filesystem::path probe = folder / ".write-test";
    bool written =
        static_cast<bool>(util::replace_file(probe, "x", util::own_folder_options(0600)));
    // Only our own probe is deleted: when the write failed, what carries that
    // name is someone else's.
    if (written) {
        std::filesystem::remove(probe, ec);
    }
    return {"History and backups folder", shown, written ? "ok" : "fail"};
}

}  // namespace

std::vector<platform::Probe> doctor(Engine& engine) {
    std::vector<platform::Probe> probes = engine.platform().doctor();
    auto store = knowledge::current_store();
    probes.push_back(knowledge_probe(*store));
    for (const auto& note : store->notes) {
        probes.push_back({"Knowledge file", note, "warn"});
    }
    probes.push_back(folder_probe(engine.system()));
    return probes;
}

}  // namespace bootsmith::engine
