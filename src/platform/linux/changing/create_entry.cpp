// Creating start-up entries: the checks every method shares, desktop autostart
// entries ("login") and cron @reboot lines ("cron").
#include "platform/linux/changing/create_entry.hpp"
#include "platform/linux/changing/create_unit.hpp"
#include "platform/linux/changing/crontab.hpp"
#include "platform/linux/changing/entry_texts.hpp"
#include "platform/linux/changing/slug.hpp"
#include "platform/linux/os/system.hpp"
#include "platform/linux/text/command_text.hpp"
#include "platform/linux/text/listing_text.hpp"

namespace bootsmith::linux_backend {

namespace {

constexpr std::string_view our_origin = "Created by Bootsmith";

std::string joined_words(const std::vector<std::string>& words) {
    std::string line;
    for (std::size_t i = 0; i < words.size(); ++i) {
        line += (i > 0 ? " " : "") + words[i];
    }
    return line;
}

Status check_fields(const model::CreateRequest& request) {
    BOOTSMITH_CHECK(check_one_line(request.name, "name"));
    BOOTSMITH_CHECK(check_one_line(request.command, "command"));
    BOOTSMITH_CHECK(check_one_line(request.workdir, "working folder"));
    BOOTSMITH_CHECK(check_one_line(request.user, "user name"));
    // Without a name the entry would be listed under its file name, not as created.
    if (util::trim(request.name).empty()) {
        return fail("A name is required.");
    }
    return {};
}

Result<model::Item> create_login(const ChangeContext& context, const model::CreateRequest& request,
                                 const std::vector<std::string>& words) {
    const std::string folder = user_autostart_folder(context.user);
    const std::string file_name =
        free_file_name(context.files, folder, slug_of(request.name), ".desktop");
    const std::string path = folder + "/" + file_name;
    BOOTSMITH_CHECK(
        context.files.write(path, desktop_file_text(request, words), 0644, Replace::never));

    // As the scan reads it back: names are trimmed there.
    model::Item item("autostart", "Desktop autostart (this user)", "user", folder,
                     std::string(util::trim(request.name)));
    item.command = joined_words(words);
    item.exe = program_of(words);
    item.description = "Started at sign-in. Created by Bootsmith.";
    item.enabled = true;
    item.state_text = "Enabled";
    item.extra.set("file", path);
    item.extra.set("fname", file_name);
    item.extra.set("user_dir", folder);
    item.extra.set("short", file_name);
    item.managed = true;
    item.origin = std::string(our_origin);
    return item;
}

Result<model::Item> create_cron(const ChangeContext& context, const model::CreateRequest& request) {
    const std::string text = cron_command_text(util::trim(request.command), request.workdir);
    const std::string line = "@reboot " + text + std::string(cron_tag) + slug_of(request.name);
    const util::Descriptor lock = BOOTSMITH_TRY(lock_for_editing(context, context.user.home));
    std::string crontab = BOOTSMITH_TRY(read_user_crontab(context));
    if (!crontab.empty() && !crontab.ends_with('\n')) {
        crontab += '\n';
    }
    crontab += line + "\n";
    BOOTSMITH_CHECK(write_user_crontab(context, crontab));

    model::Item item("cron", "cron @reboot", "user", "crontab",
                     "@reboot " + util::shorten(text, 48));
    item.command = text;
    item.exe = program_of(shell_words(text));
    item.enabled = true;
    item.state_text = "Enabled (runs at boot)";
    item.managed = true;
    item.origin = std::string(our_origin);
    item.extra.set("short", util::file_name_text(item.exe));
    item.extra.set("line_cmd", text);
    item.extra.set("runs_as", "");
    return item;
}

// The id the new entry will be listed under, where it follows from the request
// alone (a service gets a file name of its own, so its id is always free).
std::string id_of_new_entry(const ChangeContext& context, const model::CreateRequest& request) {
    if (request.mode == "login") {
        return model::Item("autostart", "", "user", user_autostart_folder(context.user),
                           std::string(util::trim(request.name)))
            .id;
    }
    if (request.mode == "cron") {
        return model::Item("cron", "", "user", "crontab",
                           "@reboot " + util::shorten(cron_command_text(util::trim(request.command),
                                                                        request.workdir),
                                                      48))
            .id;
    }
    return {};
}

std::string taken_id_problem(const std::string& mode, const model::Item& taken) {
    if (mode == "cron") {
        return "Your crontab has a line that starts this command at boot already (\"" + taken.name +
               "\"); two such lines could not be told apart.";
    }
    return "An entry called \"" + taken.name +
           "\" starts with the computer already, and two entries of one name could not be "
           "told apart; choose another name with --name.";
}

}  // namespace

std::vector<std::string> creation_problems(const ChangeContext& context,
                                           const model::CreateRequest& request,
                                           const std::vector<model::Item>& present) {
    std::vector<std::string> problems;
    const std::string& mode = request.mode;
    if ((mode == "user-service" || mode == "boot") && !systemd_present(context.options.roots)) {
        problems.push_back(
            "This computer does not run systemd, so a systemd service cannot start the program; "
            "choose --mode login or --mode cron.");
    }
    if (mode == "cron" && !on_path("crontab")) {
        problems.push_back(
            "cron is not installed on this computer (there is no crontab program), so an "
            "@reboot line would never run; choose another --mode, or install cron first.");
    }
    const std::string id = id_of_new_entry(context, request);
    for (const auto& item : present) {
        if (!id.empty() && item.id == id) {
            problems.push_back(taken_id_problem(mode, item));
            break;
        }
    }
    return problems;
}

Result<model::Item> create_entry(const ChangeContext& context,
                                 const model::CreateRequest& request) {
    BOOTSMITH_CHECK(check_fields(request));
    auto words = shell_words(request.command);
    if (words.empty()) {
        return fail("The command is empty.");
    }
    const std::string& mode = request.mode;
    if (mode == "login") {
        return create_login(context, request, words);
    }
    if (mode == "user-service" || mode == "boot") {
        return create_unit(context, request, std::move(words));
    }
    if (mode == "cron") {
        return create_cron(context, request);
    }
    if (mode == "service-enable") {
        return fail("Use the existing service entry to switch this on.");
    }
    return fail("\"" + mode + "\" is not a way to start a program on Linux.");
}

}  // namespace bootsmith::linux_backend
