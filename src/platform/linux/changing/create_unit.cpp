// Creating systemd services: "user-service" for the user's own systemd,
// "boot" for the whole computer.
#include "platform/linux/changing/create_unit.hpp"
#include "foundation/files.hpp"
#include "foundation/text.hpp"
#include "platform/linux/changing/entry_texts.hpp"
#include "platform/linux/changing/slug.hpp"
#include "platform/linux/changing/switch_units.hpp"
#include "platform/linux/os/file_reading.hpp"
#include "platform/linux/text/command_text.hpp"
#include "platform/linux/text/listing_text.hpp"

namespace bootsmith::linux_backend {

namespace {

constexpr std::string_view system_unit_folder = "/etc/systemd/system";

struct UnitPlan {
    UnitKind kind = UnitKind::user;
    std::vector<std::string> words;  ///< the first one an absolute path
    std::string user;                ///< User= of a "boot" service
    std::string workdir;             ///< WorkingDirectory=, when it is an existing folder
};

Result<std::string> absolute_program(const std::string& word) {
    if (word.starts_with('/')) {
        return word;
    }
    // systemd runs no relative path ("./run"); a bare word is looked up like a shell would.
    if (word.find('/') == std::string::npos) {
        if (auto found = find_on_path(word)) {
            return *found;
        }
    }
    return fail(
        "systemd needs the full path of the program. Edit the command to start with one, for "
        "example /usr/bin/tool.");
}

// systemd joins a line ending in a backslash with the next one (a folder
// ending in one would swallow the User= line below it) and trims white space
// at either end, so such a value would not name the folder it was given.
bool fits_a_unit_line(std::string_view value) {
    return !value.ends_with('\\') && util::trim(value) == value;
}

Result<UnitPlan> plan_unit(const ChangeContext& context, const model::CreateRequest& request,
                           std::vector<std::string> words) {
    UnitPlan plan;
    plan.kind = request.mode == "boot" ? UnitKind::system : UnitKind::user;
    if (!systemd_present(context.options.roots)) {
        return fail("This computer does not use systemd.");
    }
    if (plan.kind == UnitKind::system && !context.info.admin) {
        return fail("ADMIN: Creating a service for the whole computer needs administrator rights.");
    }
    words.front() = BOOTSMITH_TRY(absolute_program(words.front()));
    plan.words = std::move(words);
    if (plan.kind == UnitKind::system && !request.user.empty()) {
        if (!account_by_name(context.options, request.user)) {
            return fail("The account \"" + request.user +
                        "\" could not be looked up, so the service was not created (it would "
                        "have run as root).");
        }
        plan.user = request.user;
    }
    if (request.workdir.starts_with('/') && fits_a_unit_line(request.workdir) &&
        is_folder(context.options.roots.at(request.workdir))) {
        plan.workdir = request.workdir;
    }
    return plan;
}

std::string unit_file_text(const model::CreateRequest& request, const UnitPlan& plan) {
    const bool boot = plan.kind == UnitKind::system;
    std::string text = "[Unit]\n";
    text += "Description=" + escape_specifiers(request.name) + " (started by Bootsmith)\n";
    if (boot) {
        text += "After=network.target\n";
    }
    text += "X-Bootsmith=true\n\n[Service]\nType=simple\n";
    text += "ExecStart=" + exec_start_value(plan.words) + "\n";
    if (!plan.workdir.empty()) {
        text += "WorkingDirectory=" + escape_specifiers(plan.workdir) + "\n";
    }
    if (!plan.user.empty()) {
        text += "User=" + escape_specifiers(plan.user) + "\n";
    }
    text += "Restart=no\n\n[Install]\n";
    text += boot ? "WantedBy=multi-user.target\n" : "WantedBy=default.target\n";
    return text;
}

// Takes back a unit file whose enabling failed; returns the failure to report.
std::string take_back(const ChangeContext& context, const UnitPlan& plan, const std::string& path,
                      const std::string& unit, const std::string& text,
                      const util::RunResult& reload, const util::RunResult& enable) {
    if (plan.kind == UnitKind::user) {
        auto linked = link_user_unit(context, text, path, unit, true);
        if (linked) {
            return {};
        }
        (void)context.files.remove(path, "delete " + path);
        return "Could not enable the service: " +
               util::system_error_text(linked.error().error_number);
    }
    (void)context.files.remove(path, "delete " + path);
    // systemd loaded the unit at the reload; it must forget it again.
    (void)run_systemctl(context, plan.kind, {"daemon-reload"});
    return "systemctl could not enable the service: " + util::shorten(call_output(reload), 100) +
           " " + util::shorten(call_output(enable), 160);
}

model::Item unit_item(const model::CreateRequest& request, const UnitPlan& plan,
                      const std::string& path, const std::string& unit) {
    const bool boot = plan.kind == UnitKind::system;
    model::Item item(boot ? "systemd" : "systemd-user",
                     boot ? "systemd service" : "systemd service (this user)",
                     boot ? "machine" : "user", path, unit);
    // systemd shows a setting's value without the white space around it.
    item.description = std::string(util::trim(request.name + " (started by Bootsmith)"));
    for (std::size_t i = 0; i < plan.words.size(); ++i) {
        item.command += (i > 0 ? " " : "") + plan.words[i];
    }
    item.exe = plan.words.front();
    item.enabled = true;
    item.state_text = "enabled";
    item.managed = true;
    item.origin = "Created by Bootsmith";
    item.extra.set("unit", unit);
    item.extra.set("state", "enabled");
    return item;
}

}  // namespace

Result<model::Item> create_unit(const ChangeContext& context, const model::CreateRequest& request,
                                std::vector<std::string> words) {
    const UnitPlan plan = BOOTSMITH_TRY(plan_unit(context, request, std::move(words)));
    const std::string folder = plan.kind == UnitKind::system ? std::string(system_unit_folder)
                                                             : user_unit_folder(context.user);
    const std::string unit =
        free_file_name(context.files, folder, slug_of(request.name), ".service");
    const std::string path = folder + "/" + unit;
    const std::string text = unit_file_text(request, plan);
    BOOTSMITH_CHECK(context.files.write(path, text, 0644, Replace::never));

    auto reload = run_systemctl(context, plan.kind, {"daemon-reload"});
    auto enable = run_systemctl(context, plan.kind, {"enable", unit});
    if (!enable.ok()) {
        std::string failure = take_back(context, plan, path, unit, text, reload, enable);
        if (!failure.empty()) {
            return fail(failure);
        }
    }
    return unit_item(request, plan, path, unit);
}

}  // namespace bootsmith::linux_backend
