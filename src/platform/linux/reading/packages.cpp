#include "platform/linux/reading/packages.hpp"
#include "platform/linux/text/command_text.hpp"
#include "platform/linux/text/lines.hpp"
#include "platform/linux/text/listing_text.hpp"

#include <algorithm>
#include <set>

#include "foundation/process.hpp"

namespace bootsmith::linux_backend {

namespace {

// Each distinct text once, in first-seen order, without empty ones.
std::vector<std::string> distinct(const std::vector<std::string>& texts) {
    std::vector<std::string> out;
    std::set<std::string> seen;
    for (const auto& text : texts) {
        if (!text.empty() && seen.insert(text).second) {
            out.push_back(text);
        }
    }
    return out;
}

template <typename Ask>
void in_batches(const std::vector<std::string>& all, Ask ask) {
    for (std::size_t start = 0; start < all.size(); start += package_batch) {
        auto first = all.begin() + static_cast<std::ptrdiff_t>(start);
        auto last =
            all.begin() + static_cast<std::ptrdiff_t>(std::min(all.size(), start + package_batch));
        ask(std::vector<std::string>(first, last));
    }
}

std::vector<std::string> absolute_paths(const std::vector<std::string>& paths) {
    std::vector<std::string> absolute;
    for (const auto& path : distinct(paths)) {
        if (path.starts_with('/')) {
            absolute.push_back(path);
        }
    }
    return absolute;
}

// "pkg-a:amd64, pkg-b: /usr/bin/x" gives pkg-a for /usr/bin/x.
void read_dpkg_owners(std::string_view out, const std::set<std::string>& asked,
                      std::map<std::string, std::string>& owners) {
    for_each_line(out, [&](std::string_view line) {
        std::size_t separator = line.find(": ");
        // "diversion by X from: /path" lines name no owner.
        if (separator == std::string_view::npos || line.starts_with("diversion by ") ||
            line.starts_with("local diversion")) {
            return;
        }
        std::string path(util::trim(line.substr(separator + 2)));
        if (!asked.contains(path)) {
            return;
        }
        std::string_view first = line.substr(0, separator);
        first = util::trim(first.substr(0, first.find(',')));
        first = first.substr(0, first.find(':'));
        if (first.empty()) {
            return;
        }
        owners.emplace(path, std::string(first));
        if (path.starts_with("/lib/")) {
            owners.emplace("/usr" + path, std::string(first));
        }
    });
}

std::map<std::string, std::string> dpkg_owners(const std::vector<std::string>& paths,
                                               const TimeLimits& limits) {
    std::vector<std::string> asked;
    for (const auto& path : paths) {
        asked.push_back(path);
        // Merged-/usr systems register a file under either spelling.
        if (path.starts_with("/usr/lib/")) {
            asked.push_back(path.substr(4));
        }
    }
    asked = distinct(asked);
    const std::set<std::string> asked_set(asked.begin(), asked.end());
    std::map<std::string, std::string> owners;
    in_batches(asked, [&](std::vector<std::string> batch) {
        batch.insert(batch.begin(), "-S");
        // dpkg-query fails when any one path is unowned but still lists the others.
        auto run = util::run_program("dpkg-query", batch, {}, std::nullopt, limits.package_query);
        read_dpkg_owners(run.out, asked_set, owners);
    });
    return owners;
}

std::map<std::string, std::string> rpm_owners(const std::vector<std::string>& paths,
                                              const TimeLimits& limits) {
    std::map<std::string, std::string> owners;
    in_batches(paths, [&](const std::vector<std::string>& batch) {
        std::vector<std::string> args = {"-qf", "--qf", "%{NAME}\\n"};
        args.insert(args.end(), batch.begin(), batch.end());
        auto run = util::run_program("rpm", args, {}, std::nullopt, limits.package_query);
        std::size_t index = 0;
        for_each_line(run.out, [&](std::string_view line) {
            if (index >= batch.size()) {
                return;
            }
            std::string name(util::trim(line));
            if (!name.empty() && !line.starts_with("file ")) {
                owners.emplace(batch[index], name);
            }
            ++index;
        });
    });
    return owners;
}

std::map<std::string, std::string> pacman_owners(const std::vector<std::string>& paths,
                                                 const TimeLimits& limits) {
    std::map<std::string, std::string> owners;
    for (const auto& path : paths) {
        auto run = util::run_program("pacman", {"-Qoq", path}, {}, std::nullopt, limits.pacman);
        std::string name(util::trim(run.out));
        if (run.ok() && !name.empty()) {
            owners.emplace(path, name.substr(0, name.find('\n')));
        }
    }
    return owners;
}

}  // namespace

PackageManager find_package_manager() {
    if (on_path("dpkg-query")) {
        return PackageManager::dpkg;
    }
    if (on_path("rpm")) {
        return PackageManager::rpm;
    }
    if (on_path("pacman")) {
        return PackageManager::pacman;
    }
    return PackageManager::none;
}

std::string manager_name(PackageManager manager) {
    switch (manager) {
        case PackageManager::dpkg:
            return "dpkg";
        case PackageManager::rpm:
            return "rpm";
        case PackageManager::pacman:
            return "pacman";
        case PackageManager::none:
            break;
    }
    return {};
}

std::map<std::string, std::string> package_owners(PackageManager manager,
                                                  const std::vector<std::string>& paths,
                                                  const TimeLimits& limits) {
    std::vector<std::string> asked = absolute_paths(paths);
    if (asked.empty()) {
        return {};
    }
    switch (manager) {
        case PackageManager::dpkg:
            return dpkg_owners(asked, limits);
        case PackageManager::rpm:
            return rpm_owners(asked, limits);
        case PackageManager::pacman:
            return pacman_owners(asked, limits);
        case PackageManager::none:
            break;
    }
    return {};
}

std::map<std::string, std::string> package_priorities(PackageManager manager,
                                                      const std::vector<std::string>& names,
                                                      const TimeLimits& limits) {
    std::map<std::string, std::string> priorities;
    if (manager != PackageManager::dpkg) {
        return priorities;
    }
    in_batches(distinct(names), [&](const std::vector<std::string>& batch) {
        std::vector<std::string> args = {"-W", "-f=${Package}\t${Priority}\t${Essential}\n"};
        args.insert(args.end(), batch.begin(), batch.end());
        auto run = util::run_program("dpkg-query", args, {}, std::nullopt, limits.package_query);
        for_each_line(run.out, [&](std::string_view line) {
            std::vector<std::string_view> fields;
            std::size_t start = 0;
            while (true) {
                std::size_t tab = line.find('\t', start);
                fields.push_back(
                    line.substr(start, tab == std::string_view::npos ? tab : tab - start));
                if (tab == std::string_view::npos) {
                    break;
                }
                start = tab + 1;
            }
            if (fields.size() < 2 || fields[0].empty()) {
                return;
            }
            std::string priority(util::trim(fields[1]));
            if (fields.size() >= 3 && util::trim(fields[2]) == "yes") {
                priority = "essential";
            }
            priorities.emplace(std::string(util::trim(fields[0])), priority);
        });
    });
    return priorities;
}

bool is_system_priority(std::string_view priority) {
    return priority == "essential" || priority == "required" || priority == "important" ||
           priority == "standard";
}

}  // namespace bootsmith::linux_backend
