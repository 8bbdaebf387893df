#include "platform/linux/os/system.hpp"
#include "foundation/text.hpp"
#include "platform/linux/os/file_reading.hpp"
#include "platform/linux/text/command_text.hpp"
#include "platform/linux/text/desktop_text.hpp"
#include "platform/linux/text/lines.hpp"
#include "platform/linux/text/listing_text.hpp"

#include <charconv>

namespace bootsmith::linux_backend {

namespace {

// Large directory-backed systems keep big passwd files; more is not plausible.
constexpr std::size_t max_passwd_bytes = 16 * 1024 * 1024;
constexpr std::size_t max_proc_bytes = 64 * 1024;

std::optional<unsigned> parse_number(std::string_view text) {
    unsigned value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

template <typename Wanted>
std::optional<Account> find_in_passwd(const Roots& roots, Wanted wanted) {
    auto bytes = read_regular_bytes(roots.at("/etc/passwd"), max_passwd_bytes);
    if (!bytes) {
        return std::nullopt;
    }
    std::optional<Account> found;
    for_each_line(*bytes, [&](std::string_view line) {
        if (found) {
            return;
        }
        auto account = parse_passwd_line(line);
        if (account && wanted(*account)) {
            found = std::move(account);
        }
    });
    return found;
}

template <typename Wanted>
std::optional<Account> ask_getent(const LinuxOptions& options, const std::string& key,
                                  Wanted wanted) {
    if (!on_path("getent")) {
        return std::nullopt;
    }
    auto run =
        util::run_program("getent", {"passwd", key}, {}, std::nullopt, options.limits.getent);
    if (!run.ok()) {
        return std::nullopt;
    }
    auto account = parse_passwd_line(run.out.substr(0, run.out.find('\n')));
    // getent takes a number as a user id, so the answer must really be the one asked for.
    if (account && wanted(*account)) {
        return account;
    }
    return std::nullopt;
}

std::string status_field(const Roots& roots, std::string_view label, std::size_t index) {
    auto bytes =
        read_regular_bytes(roots.at("/proc/self/status"), max_proc_bytes, Overflow::truncate);
    if (!bytes) {
        return {};
    }
    std::string field;
    for_each_line(*bytes, [&](std::string_view line) {
        if (!field.empty() || !line.starts_with(label)) {
            return;
        }
        auto words = white_space_fields(line);
        if (words.size() > index) {
            field = words[index];
        }
    });
    return field;
}

std::string unquoted(std::string_view value) {
    value = util::trim(value);
    if (value.size() >= 2 && ((value.front() == '"' && value.back() == '"') ||
                              (value.front() == '\'' && value.back() == '\''))) {
        value = value.substr(1, value.size() - 2);
    }
    return std::string(value);
}

std::string os_version(const Roots& roots) {
    std::string pretty;
    if (auto text = read_config_text(roots.at("/etc/os-release"))) {
        bool found = false;
        for_each_line(*text, [&](std::string_view line) {
            if (!found && line.starts_with("PRETTY_NAME=")) {
                pretty = unquoted(line.substr(12));
                found = true;
            }
        });
    }
    if (pretty.empty()) {
        pretty = "Linux";
    }
    auto kernel = read_regular_bytes(roots.at("/proc/sys/kernel/osrelease"), max_proc_bytes,
                                     Overflow::truncate);
    if (kernel) {
        std::string release(util::trim(util::decode_text(*kernel)));
        if (!release.empty()) {
            pretty += " (kernel " + release + ")";
        }
    }
    return pretty;
}

std::string host_name(const Roots& roots) {
    auto bytes = read_regular_bytes(roots.at("/proc/sys/kernel/hostname"), max_proc_bytes,
                                    Overflow::truncate);
    return bytes ? std::string(util::trim(util::decode_text(*bytes))) : std::string();
}

}  // namespace

std::optional<Account> parse_passwd_line(std::string_view line) {
    if (!line.empty() && line.back() == '\r') {
        line.remove_suffix(1);
    }
    auto fields = util::split(line, ":");
    if (fields.size() < 6) {
        return std::nullopt;
    }
    auto uid = parse_number(fields[2]);
    if (!uid) {
        return std::nullopt;
    }
    return Account{std::string(fields[0]), std::string(fields[5]), *uid,
                   parse_number(fields[3]).value_or(0)};
}

std::optional<Account> account_by_name(const LinuxOptions& options, std::string_view name) {
    if (name.empty() || name.find_first_of(":\n") != std::string_view::npos) {
        return std::nullopt;
    }
    auto same_name = [name](const Account& account) { return account.name == name; };
    if (auto account = find_in_passwd(options.roots, same_name)) {
        return account;
    }
    return ask_getent(options, std::string(name), same_name);
}

std::optional<Account> account_by_uid(const LinuxOptions& options, unsigned uid) {
    auto same_uid = [uid](const Account& account) { return account.uid == uid; };
    if (auto account = find_in_passwd(options.roots, same_uid)) {
        return account;
    }
    return ask_getent(options, std::to_string(uid), same_uid);
}

unsigned own_effective_uid(const Roots& roots) {
    return parse_number(status_field(roots, "Uid:", 2)).value_or(1000);
}

std::string acting_account(const LinuxOptions& options, unsigned euid) {
    const Environment& env = options.env;
    std::string default_name = env.user.empty() ? env.logname : env.user;
    if (euid != 0) {
        if (auto account = account_by_uid(options, euid)) {
            return account->name;
        }
        return default_name;
    }
    if (!env.sudo_user.empty() && env.sudo_user != "root") {
        return env.sudo_user;
    }
    if (auto uid = parse_number(env.pkexec_uid)) {
        if (auto account = account_by_uid(options, *uid)) {
            return account->name;
        }
    }
    return default_name.empty() ? std::string("root") : default_name;
}

platform::SystemInfo linux_system_info(const LinuxOptions& options) {
    platform::SystemInfo info;
    unsigned euid = own_effective_uid(options.roots);
    info.os = "linux";
    info.os_version = os_version(options.roots);
    info.host = host_name(options.roots);
    info.user = acting_account(options, euid);
    auto account = account_by_name(options, info.user);
    info.home = account && !account->home.empty() ? account->home : options.env.home;
    info.admin = euid == 0;
    info.demo = false;
    return info;
}

UserContext user_context(const LinuxOptions& options, const platform::SystemInfo& info) {
    UserContext context;
    context.user = info.user;
    context.home = info.home;
    if (auto account = account_by_name(options, info.user)) {
        context.uid = account->uid;
        context.gid = account->gid;
    } else {
        context.uid = own_effective_uid(options.roots);
        context.gid = 0;
    }
    context.via_root = info.admin && context.uid != 0;
    return context;
}

util::RunResult run_user_systemctl(const UserContext& context, const std::vector<std::string>& args,
                                   int limit_seconds) {
    if (!context.via_root) {
        return util::run_program("systemctl", args, {}, std::nullopt, limit_seconds);
    }
    if (!on_path("runuser")) {
        util::RunResult refused;
        refused.exit_code = -1;
        refused.err = "runuser is not available, so a command cannot be run as that user";
        return refused;
    }
    const std::string runtime = "/run/user/" + std::to_string(context.uid);
    std::vector<std::string> full = {"-u",
                                     context.user,
                                     "--",
                                     "env",
                                     "XDG_RUNTIME_DIR=" + runtime,
                                     "DBUS_SESSION_BUS_ADDRESS=unix:path=" + runtime + "/bus",
                                     "systemctl"};
    full.insert(full.end(), args.begin(), args.end());
    return util::run_program("runuser", full, {}, std::nullopt, limit_seconds);
}

bool systemd_present(const Roots& roots) {
    return is_folder(roots.at("/run/systemd/system"));
}

ExpandedFolder expand_home(std::string_view folder, std::string_view home) {
    if (folder != "~" && !folder.starts_with("~/")) {
        return {std::string(folder), false};
    }
    while (!home.empty() && home.back() == '/') {
        home.remove_suffix(1);
    }
    return {std::string(home) + std::string(folder.substr(1)), true};
}

}  // namespace bootsmith::linux_backend
