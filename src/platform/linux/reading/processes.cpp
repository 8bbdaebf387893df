#include "platform/linux/reading/processes.hpp"
#include "platform/linux/os/file_reading.hpp"
#include "platform/linux/text/lines.hpp"

#include <algorithm>
#include <charconv>

#include "foundation/text.hpp"

namespace bootsmith::linux_backend {

namespace {

// A command line longer than this is cut; the program and first arguments are what count.
constexpr std::size_t max_cmdline_bytes = 256 * 1024;
constexpr std::size_t max_small_proc_bytes = 64 * 1024;

std::optional<std::uint32_t> pid_of(std::string_view name) {
    std::uint32_t pid = 0;
    auto [end, error] = std::from_chars(name.data(), name.data() + name.size(), pid);
    if (name.empty() || error != std::errc() || end != name.data() + name.size()) {
        return std::nullopt;
    }
    return pid;
}

std::vector<std::string> split_cmdline(std::string_view bytes) {
    std::vector<std::string> argv;
    while (!bytes.empty()) {
        std::size_t nul = bytes.find('\0');
        std::string_view part = bytes.substr(0, nul);
        if (!part.empty()) {
            argv.push_back(util::decode_text(part));
        }
        if (nul == std::string_view::npos) {
            break;
        }
        bytes.remove_prefix(nul + 1);
    }
    return argv;
}

unsigned real_uid(std::string_view status) {
    unsigned uid = 0;
    bool found = false;
    for_each_line(status, [&](std::string_view line) {
        if (found || !line.starts_with("Uid:")) {
            return;
        }
        found = true;
        line.remove_prefix(4);
        std::size_t start = line.find_first_not_of(" \t");
        if (start == std::string_view::npos) {
            return;
        }
        line.remove_prefix(start);
        std::from_chars(line.data(), line.data() + line.size(), uid);
    });
    return uid;
}

std::optional<ProcessInfo> read_process(const Roots& roots, std::uint32_t pid) {
    const std::string base = "/proc/" + std::to_string(pid);
    auto cmdline =
        read_regular_bytes(roots.at(base + "/cmdline"), max_cmdline_bytes, Overflow::truncate);
    ProcessInfo process;
    process.pid = pid;
    process.argv = split_cmdline(cmdline.value_or(""));
    if (process.argv.empty()) {
        return std::nullopt;  // a kernel thread
    }
    auto exe = read_link_text(roots.at(base + "/exe"));
    if (!exe) {
        return std::nullopt;
    }
    constexpr std::string_view deleted = " (deleted)";
    process.exe = util::decode_text(*exe);
    if (process.exe.ends_with(deleted)) {
        process.exe.resize(process.exe.size() - deleted.size());
    }
    auto status =
        read_regular_bytes(roots.at(base + "/status"), max_small_proc_bytes, Overflow::truncate);
    process.uid = status ? real_uid(*status) : 0;
    process.cwd = util::decode_text(read_link_text(roots.at(base + "/cwd")).value_or(""));
    auto cgroup =
        read_regular_bytes(roots.at(base + "/cgroup"), max_small_proc_bytes, Overflow::truncate);
    if (cgroup) {
        read_cgroup(util::decode_text(*cgroup), process);
    }
    return process;
}

}  // namespace

void read_cgroup(std::string_view text, ProcessInfo& process) {
    bool found = false;
    for_each_line(text, [&](std::string_view line) {
        if (found || !line.starts_with("0::")) {
            return;
        }
        found = true;
        std::string_view path = line.substr(3);
        std::string_view last;
        while (!path.empty()) {
            std::size_t slash = path.find('/');
            std::string_view part = path.substr(0, slash);
            if (part.starts_with("user@") && part.ends_with(".service")) {
                process.in_user_manager = true;
            }
            if (!part.empty()) {
                last = part;
            }
            path = slash == std::string_view::npos ? std::string_view() : path.substr(slash + 1);
        }
        if (last.ends_with(".service") && !last.starts_with("user@")) {
            process.unit = std::string(last);
        }
    });
}

std::vector<ProcessInfo> read_processes(const Roots& roots) {
    std::vector<std::uint32_t> pids;
    for (const auto& name : list_names(roots.at("/proc")).value_or(std::vector<std::string>{})) {
        if (auto pid = pid_of(name)) {
            pids.push_back(*pid);
        }
    }
    std::sort(pids.begin(), pids.end());
    std::vector<ProcessInfo> processes;
    for (std::uint32_t pid : pids) {
        if (auto process = read_process(roots, pid)) {
            processes.push_back(std::move(*process));
        }
    }
    return processes;
}

std::string own_executable(const Roots& roots) {
    auto target = read_link_text(roots.at("/proc/self/exe"));
    return target ? roots.canonical(*target) : std::string();
}

}  // namespace bootsmith::linux_backend
