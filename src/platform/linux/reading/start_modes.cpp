#include "platform/linux/reading/start_modes.hpp"

namespace bootsmith::linux_backend {

namespace {

struct ModeRow {
    const char* id;
    const char* label;
    const char* detail;
    bool needs_admin;
};

constexpr ModeRow login_row{
    "login", "Start when I sign in to the desktop",
    "Adds a desktop autostart entry for your account. The program opens its window as usual. No "
    "administrator rights are needed.",
    false};
constexpr ModeRow user_service_row{
    "user-service", "Run in the background when I sign in (systemd user service)",
    "Creates a systemd user service for your account and switches it on. It starts when you sign "
    "in and runs without a window. No administrator rights are needed.",
    false};
constexpr ModeRow boot_row{
    "boot", "Run at boot, before anyone signs in (systemd system service)",
    "Creates a systemd service for the whole computer that runs as your user at boot. Needs "
    "administrator rights.",
    true};
constexpr ModeRow cron_row{
    "cron", "Run at boot (cron @reboot)",
    "Adds an @reboot line to your crontab. This computer does not use systemd.", false};

model::StartMode make(const ModeRow& row, bool recommended) {
    return model::StartMode(row.id, row.label, row.detail, row.needs_admin, recommended);
}

}  // namespace

std::vector<model::StartMode> linux_start_modes(DesktopProgram desktop, Systemd systemd) {
    const bool is_desktop = desktop == DesktopProgram::yes;
    std::vector<model::StartMode> modes;
    if (is_desktop) {
        modes.push_back(make(login_row, true));
    }
    if (systemd == Systemd::present) {
        modes.push_back(make(user_service_row, !is_desktop));
        modes.push_back(make(boot_row, false));
    } else {
        modes.push_back(make(cron_row, !is_desktop));
    }
    return modes;
}

model::StartMode service_enable_mode(bool needs_admin) {
    return model::StartMode(
        "service-enable", "Switch the service on at start-up",
        "Enables the existing systemd unit so it starts at boot like the others.", needs_admin,
        true);
}

}  // namespace bootsmith::linux_backend
