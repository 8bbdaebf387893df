// Restarting with administrator rights, and opening the window in a browser.
#include "platform/linux/os/elevation.hpp"
#include "platform/linux/os/spawn.hpp"
#include "platform/linux/os/system.hpp"
#include "platform/linux/text/command_text.hpp"
#include "platform/linux/text/listing_text.hpp"

#include <array>
#include <charconv>
#include <filesystem>
#include <system_error>

#include "foundation/files.hpp"

namespace bootsmith::linux_backend {

namespace {

using namespace std::chrono_literals;

constexpr std::string_view from_terminal = "Run it from a terminal with: sudo bootsmith";
constexpr std::string_view declined =
    "The administrator prompt was declined or is not available. Run it from a terminal: sudo "
    "bootsmith";
constexpr auto prompt_look = 1500ms;

constexpr std::array<std::string_view, 5> session_names = {
    "DISPLAY", "XAUTHORITY", "WAYLAND_DISPLAY", "XDG_RUNTIME_DIR", "DBUS_SESSION_BUS_ADDRESS"};

// "NAME=value" for each session variable that is set, in the fixed order, for `env`.
std::vector<std::string> session_settings(const Environment& env) {
    std::vector<std::string> settings;
    for (std::string_view name : session_names) {
        std::string value = env.session_value(name);
        if (!value.empty()) {
            settings.push_back(std::string(name) + "=" + value);
        }
    }
    return settings;
}

Result<std::string> running_program(const Roots& roots) {
    std::error_code error;
    auto path = std::filesystem::read_symlink(roots.at("/proc/self/exe"), error);
    if (error) {
        return fail("Could not find the running program: " + error.message());
    }
    return path.string();
}

bool has_display(const Environment& env) {
    return !env.session_value("DISPLAY").empty() || !env.session_value("WAYLAND_DISPLAY").empty();
}

// The account the browser belongs to when root acts for someone.
std::string browser_account(const LinuxOptions& options) {
    if (!options.env.sudo_user.empty() && options.env.sudo_user != "root") {
        return options.env.sudo_user;
    }
    const std::string& text = options.env.pkexec_uid;
    unsigned uid = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), uid);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
        return {};
    }
    auto account = account_by_uid(options, uid);
    return account ? account->name : std::string();
}

}  // namespace

Status elevate_program(const LinuxOptions& options, const std::vector<std::string>& args) {
    auto program = running_program(options.roots);
    if (!program) {
        return fail(program.error());
    }
    auto pkexec = find_on_path("pkexec");
    if (!has_display(options.env) || !pkexec) {
        return fail(std::string(from_terminal));
    }
    std::vector<std::string> full = {"env"};
    for (auto& setting : session_settings(options.env)) {
        full.push_back(std::move(setting));
    }
    full.push_back(*program);
    full.insert(full.end(), args.begin(), args.end());
    auto state = spawn_detached(*pkexec, full, ChildOutput::inherited, prompt_look);
    if (!state) {
        return fail("Could not start pkexec: " + util::system_error_text(state.error()));
    }
    if (*state == ChildState::failed) {
        return fail(std::string(declined));
    }
    return {};
}

void open_in_browser(const LinuxOptions& options, const platform::SystemInfo& info,
                     const std::string& address) {
    const std::string account = info.admin ? browser_account(options) : std::string();
    auto runuser = account.empty() ? std::nullopt : find_on_path("runuser");
    if (runuser) {
        std::vector<std::string> args = {"-u", account, "--", "env"};
        for (auto& setting : session_settings(options.env)) {
            args.push_back(std::move(setting));
        }
        args.insert(args.end(), {"xdg-open", address});
        (void)spawn_detached(*runuser, args, ChildOutput::discarded, 0ms);
        return;
    }
    if (auto xdg_open = find_on_path("xdg-open")) {
        (void)spawn_detached(*xdg_open, {address}, ChildOutput::discarded, 0ms);
    }
}

}  // namespace bootsmith::linux_backend
