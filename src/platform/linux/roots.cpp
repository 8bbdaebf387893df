#include "platform/linux/roots.hpp"

#include <system_error>

#include "foundation/text.hpp"
#include "knowledge/store.hpp"

namespace bootsmith::linux_backend {

namespace fs = std::filesystem;

namespace {

bool is_plain_root(const fs::path& prefix) {
    return prefix.empty() || prefix == "/";
}

// The part of `real` below `base`, as "/..."; nullopt when it lies elsewhere.
std::optional<std::string> below(const std::string& real, const std::string& base) {
    if (real == base) {
        return std::string("/");
    }
    if (real.size() > base.size() && real.compare(0, base.size(), base) == 0 &&
        real[base.size()] == '/') {
        return real.substr(base.size());
    }
    return std::nullopt;
}

}  // namespace

fs::path Roots::at(std::string_view system_path) const {
    if (is_plain_root(prefix)) {
        return fs::path(system_path);
    }
    std::string_view rest = system_path;
    while (!rest.empty() && rest.front() == '/') {
        rest.remove_prefix(1);
    }
    return prefix / fs::path(rest);
}

std::string Roots::shown(const fs::path& real) const {
    if (is_plain_root(prefix)) {
        return real.string();
    }
    std::string base = prefix.string();
    while (base.size() > 1 && base.back() == '/') {
        base.pop_back();
    }
    return below(real.string(), base).value_or(real.string());
}

std::string Roots::canonical(std::string_view system_path) const {
    if (system_path.empty()) {
        return {};
    }
    std::error_code ec;
    fs::path resolved = fs::canonical(at(system_path), ec);
    if (ec) {
        return std::string(system_path);
    }
    if (is_plain_root(prefix)) {
        return resolved.string();
    }
    fs::path base = fs::canonical(prefix, ec);
    if (ec) {
        return std::string(system_path);
    }
    auto inside = below(resolved.string(), base.string());
    return inside ? *inside : std::string(system_path);
}

Environment Environment::from_process() {
    Environment env;
    env.user = util::env_text("USER");
    env.logname = util::env_text("LOGNAME");
    env.home = util::env_text("HOME");
    env.sudo_user = util::env_text("SUDO_USER");
    env.pkexec_uid = util::env_text("PKEXEC_UID");
    env.data_home = util::env_text("XDG_DATA_HOME");
    for (const char* name : {"DISPLAY", "XAUTHORITY", "WAYLAND_DISPLAY", "XDG_RUNTIME_DIR",
                             "DBUS_SESSION_BUS_ADDRESS"}) {
        std::string value = util::env_text(name);
        if (!value.empty()) {
            env.session.emplace_back(name, std::move(value));
        }
    }
    return env;
}

std::string Environment::session_value(std::string_view name) const {
    return util::pair_value(session, name);
}

TimeLimits TimeLimits::all(int seconds) {
    TimeLimits limits;
    limits.systemctl_system = seconds;
    limits.systemctl_user = seconds;
    limits.systemctl_change = seconds;
    limits.systemctl_check = seconds;
    limits.systemctl_version = seconds;
    limits.package_query = seconds;
    limits.pacman = seconds;
    limits.crontab = seconds;
    limits.getent = seconds;
    return limits;
}

LinuxOptions LinuxOptions::from_process() {
    LinuxOptions options;
    options.env = Environment::from_process();
    return options;
}

knowledge::KnowledgeLocations linux_locations(const LinuxOptions& options) {
    if (options.locations) {
        return *options.locations;
    }
    auto store = knowledge::current_store();
    if (!store) {
        return {};
    }
    return store->locations;
}

}  // namespace bootsmith::linux_backend
