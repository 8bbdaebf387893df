#include "platform/demo/demo_data.hpp"

#include <string_view>

#include "foundation/text.hpp"

namespace bootsmith::demo {

namespace {

struct ServiceRow {
    const char* name;
    const char* label;
    const char* state;
    bool on;
    bool running;
    bool system;
    const char* exe;
    const char* publisher;
    const char* description;
    std::vector<std::string> required_by;
};

const char* const svchost = "C:\\Windows\\System32\\svchost.exe";
const char* const microsoft = "Microsoft Corporation";
const char* const acme = "Acme Software Ltd";
const char* const google_update = "C:\\Program Files (x86)\\Google\\Update\\GoogleUpdate.exe";

std::vector<ServiceRow> service_rows() {
    return {
        {"RpcSs",
         "Remote Procedure Call (RPC)",
         "Automatic",
         true,
         true,
         true,
         svchost,
         microsoft,
         "Serves as the endpoint mapper and COM service control manager.",
         {"DCOM Server Process Launcher", "Windows Audio", "Print Spooler", "Windows Update",
          "Network Location Awareness"}},
        {"Dnscache",
         "DNS Client",
         "Automatic",
         true,
         true,
         true,
         svchost,
         microsoft,
         "Caches Domain Name System names and registers the full computer name.",
         {}},
        {"Spooler",
         "Print Spooler",
         "Automatic",
         true,
         true,
         true,
         "C:\\Windows\\System32\\spoolsv.exe",
         microsoft,
         "Loads files to memory for later printing.",
         {}},
        {"WinDefend",
         "Microsoft Defender Antivirus Service",
         "Automatic",
         true,
         true,
         true,
         "C:\\Program Files\\Windows Defender\\MsMpEng.exe",
         microsoft,
         "Helps protect users from malware and other potentially unwanted software.",
         {}},
        {"wuauserv",
         "Windows Update",
         "Manual (on demand)",
         false,
         true,
         true,
         svchost,
         microsoft,
         "Enables the detection, download, and installation of updates.",
         {}},
        {"DiagTrack",
         "Connected User Experiences and Telemetry",
         "Automatic",
         true,
         true,
         true,
         svchost,
         microsoft,
         "Enables features that support in-application and connected user experiences.",
         {}},
        {"SysMain",
         "SysMain",
         "Automatic",
         true,
         true,
         true,
         svchost,
         microsoft,
         "Maintains and improves system performance over time.",
         {}},
        {"WSearch",
         "Windows Search",
         "Automatic (delayed)",
         true,
         true,
         true,
         "C:\\Windows\\System32\\SearchIndexer.exe",
         microsoft,
         "Provides content indexing, property caching, and search results.",
         {}},
        {"TermService",
         "Remote Desktop Services",
         "Disabled",
         false,
         false,
         true,
         svchost,
         microsoft,
         "Allows users to connect interactively to a remote computer.",
         {}},
        {"sshd",
         "OpenSSH SSH Server",
         "Manual (on demand)",
         false,
         false,
         true,
         "C:\\Windows\\System32\\OpenSSH\\sshd.exe",
         microsoft,
         "SSH protocol based service to provide secure encrypted communications.",
         {}},
        {"AcmeSync",
         "Acme Sync Service",
         "Automatic",
         true,
         true,
         false,
         "C:\\Program Files\\Acme Sync\\syncsvc.exe",
         acme,
         "Keeps the Acme shared folder in step with the cloud.",
         {}},
        {"OemPanelHost",
         "OEM Panel Host",
         "Automatic",
         true,
         true,
         true,
         "C:\\Windows\\System32\\oempanel.exe",
         "",
         "",
         {}},
        {"AcmeDevDb",
         "Acme Dev Database",
         "Automatic",
         true,
         true,
         false,
         "C:\\Program Files\\Acme Dev\\devdb.exe",
         acme,
         "Local database used by the Acme developer tools.",
         {"Acme Dev Server"}},
        {"AcmeDevServer",
         "Acme Dev Server",
         "Automatic",
         true,
         true,
         false,
         "C:\\Program Files\\Acme Dev\\devserver.exe",
         acme,
         "Local web server for the Acme developer tools.",
         {}},
        {"gupdate",
         "Google Update Service (gupdate)",
         "Automatic (delayed)",
         true,
         false,
         false,
         google_update,
         "Google LLC",
         "Keeps your Google software up to date. Its scheduled task starts it as well.",
         {}},
    };
}

struct RunRow {
    const char* name;
    bool user_scope;
    const char* command;
    const char* exe;
    const char* publisher;
    const char* description;
    bool on;
};

std::vector<RunRow> run_rows() {
    return {
        {"OneDrive", true,
         "\"C:\\Users\\demouser\\AppData\\Local\\Microsoft\\OneDrive\\OneDrive.exe\" /background",
         "C:\\Users\\demouser\\AppData\\Local\\Microsoft\\OneDrive\\OneDrive.exe", microsoft,
         "Microsoft OneDrive", true},
        {"Spotify", true,
         "\"C:\\Users\\demouser\\AppData\\Roaming\\Spotify\\Spotify.exe\" --minimized",
         "C:\\Users\\demouser\\AppData\\Roaming\\Spotify\\Spotify.exe", "Spotify Ltd", "Spotify",
         true},
        {"Discord", true,
         "\"C:\\Users\\demouser\\AppData\\Local\\Discord\\Update.exe\" --processStart Discord.exe",
         "C:\\Users\\demouser\\AppData\\Local\\Discord\\Update.exe", "Discord Inc.", "Discord",
         true},
        {"Steam", true, "\"C:\\Program Files (x86)\\Steam\\steam.exe\" -silent",
         "C:\\Program Files (x86)\\Steam\\steam.exe", "Valve Corporation", "Steam Client", false},
        {"Acme Notes", true, "\"C:\\Program Files\\Acme Notes\\notes.exe\" --tray",
         "C:\\Program Files\\Acme Notes\\notes.exe", acme, "Acme Notes quick-capture", true},
        {"SecurityHealth", false, "%windir%\\system32\\SecurityHealthSystray.exe",
         "C:\\Windows\\System32\\SecurityHealthSystray.exe", microsoft,
         "Windows Security notification icon", true},
        {"RtkAudUService", false,
         "\"C:\\Windows\\System32\\DriverStore\\FileRepository\\rtk\\RtkAudUService64.exe\" "
         "-background",
         "C:\\Windows\\System32\\DriverStore\\FileRepository\\rtk\\RtkAudUService64.exe",
         "Realtek Semiconductor", "Realtek HD Audio Background Process", true},
    };
}

struct TaskRow {
    const char* name;
    const char* uri;
    const char* command;
    const char* exe;
    const char* publisher;
    bool system;
};

std::vector<TaskRow> task_rows() {
    return {
        {"GoogleUpdateTaskMachineCore", "\\GoogleUpdateTaskMachineCore",
         "\"C:\\Program Files (x86)\\Google\\Update\\GoogleUpdate.exe\" /c", google_update,
         "Google LLC", false},
        {"Acme Backup Nightly", "\\Acme\\Acme Backup Nightly",
         "\"C:\\Program Files\\Acme Backup\\backup.exe\" --nightly",
         "C:\\Program Files\\Acme Backup\\backup.exe", acme, false},
        {"ScheduledDefrag", "\\Microsoft\\Windows\\Defrag\\ScheduledDefrag",
         "%windir%\\system32\\defrag.exe -c -h -o -$", "C:\\Windows\\System32\\defrag.exe",
         microsoft, true},
    };
}

std::string in_quotes(std::string_view path) {
    return "\"" + std::string(path) + "\"";
}

model::Item service_item(const ServiceRow& row) {
    model::Item item("service", "Windows service", "machine", "Services", row.name);
    item.command = in_quotes(row.exe);
    item.exe = row.exe;
    item.publisher = row.publisher;
    item.description = row.description;
    item.state_text = row.state;
    item.enabled = row.on;
    item.running = row.running;
    item.origin = row.system ? "Operating system" : "Installed program";
    item.dependents = row.required_by;
    item.extra.set("label", row.label);
    return item;
}

model::Item run_item(std::string name, bool user_scope, std::string command, std::string exe,
                     std::string publisher, std::string description, bool on) {
    model::Item item("run", user_scope ? "Registry (Run, this user)" : "Registry (Run, all users)",
                     user_scope ? "user" : "machine",
                     user_scope ? "HKCU\\Run\\64" : "HKLM\\Run\\64", std::move(name));
    item.origin = util::ascii_lower(exe).starts_with("c:\\windows") ? "Operating system"
                                                                    : "Installed program";
    item.command = std::move(command);
    item.exe = std::move(exe);
    item.publisher = std::move(publisher);
    item.description = std::move(description);
    item.enabled = on;
    item.state_text = on ? "Enabled" : "Disabled";
    return item;
}

model::Item task_item(const TaskRow& row) {
    model::Item item("task", "Scheduled task", "machine", row.uri, row.name);
    item.extra.set("uri", row.uri);
    item.command = row.command;
    item.exe = row.exe;
    item.publisher = row.publisher;
    item.state_text = "Enabled (runs at boot)";
    item.enabled = true;
    item.origin = row.system ? "Operating system" : "Installed program";
    return item;
}

model::Item startup_shortcut() {
    model::Item item("folder", "Startup folder (this user)", "user",
                     "C:\\Users\\demouser\\AppData\\Roaming\\Microsoft\\Windows\\Start "
                     "Menu\\Programs\\Startup",
                     "Acme Screenshot");
    item.extra.set("fname", "Acme Screenshot.lnk");
    item.exe = "C:\\Program Files\\Acme Screenshot\\shot.exe";
    item.command = in_quotes(item.exe);
    item.publisher = acme;
    item.description = "Screenshot tool";
    item.enabled = true;
    item.state_text = "Enabled";
    return item;
}

std::vector<model::StartMode> windows_modes(bool system) {
    return {
        model::StartMode("login", "Start when I sign in",
                         "Adds an entry for your account only. No administrator rights are "
                         "needed. The program opens its window as usual.",
                         false, !system),
        model::StartMode("boot", "Start when the computer starts, before anyone signs in",
                         "Creates a scheduled task that runs as the system account at start-up. "
                         "Needs administrator rights. The program has no desktop, so this suits "
                         "background tools and servers, not programs with windows.",
                         true, false),
    };
}

model::Candidate candidate(std::string id, std::string name, std::string source, std::string exe,
                           std::string command, std::string publisher, std::string description,
                           bool system) {
    model::Candidate c;
    c.id = std::move(id);
    c.name = std::move(name);
    c.source = std::move(source);
    c.exe = std::move(exe);
    c.command = command.empty() ? in_quotes(c.exe) : std::move(command);
    c.publisher = std::move(publisher);
    c.description = std::move(description);
    c.system = system;
    c.modes = windows_modes(system);
    return c;
}

model::Candidate process(std::string id, std::string name, std::string exe, std::string command,
                         std::string publisher, std::string description,
                         std::vector<std::uint32_t> pids, bool system = false) {
    model::Candidate c =
        candidate(std::move(id), std::move(name), "process", std::move(exe), std::move(command),
                  std::move(publisher), std::move(description), system);
    c.user = "demouser";
    c.pids = std::move(pids);
    return c;
}

}  // namespace

std::vector<model::Item> initial_items(bool with_markup_item) {
    std::vector<model::Item> items;
    for (const auto& row : service_rows()) {
        items.push_back(service_item(row));
    }
    for (const auto& row : run_rows()) {
        items.push_back(run_item(row.name, row.user_scope, row.command, row.exe, row.publisher,
                                 row.description, row.on));
    }
    for (const auto& row : task_rows()) {
        items.push_back(task_item(row));
    }
    items.push_back(startup_shortcut());
    // Google's updater runs as a service and from a scheduled task that starts
    // it again: switching the service off alone does not keep it off.
    for (auto& item : items) {
        if (item.name == "gupdate") {
            item.also_started_by = {{"GoogleUpdateTaskMachineCore", "timer", true}};
        }
    }
    if (with_markup_item) {
        // Mark-up in every text proves that every front end shows texts literally.
        items.push_back(run_item("<img src=x onerror=\"window.__pwned=1\">Evil", true,
                                 "\"C:\\x\\evil.exe\"", "C:\\x\\evil.exe", "<b>Bad Inc</b>",
                                 "<script>window.__pwned=1</script>", true));
    }
    // Every item keeps the switch "ok": the demonstration acts as if it already
    // ran with administrator rights, so nothing asks for elevation.
    return items;
}

void refresh_start_paths(std::vector<model::Item>& items) {
    for (auto& item : items) {
        for (auto& path : item.also_started_by) {
            path.on = false;
            for (const auto& other : items) {
                if (other.name == path.name && other.enabled) {
                    path.on = true;
                }
            }
        }
    }
}

std::vector<model::Candidate> process_candidates() {
    return {
        process("proc|firefox", "Mozilla Firefox",
                "C:\\Program Files\\Mozilla Firefox\\firefox.exe", "", "Mozilla Corporation",
                "Firefox web browser", {4120, 4188, 4260, 5012}),
        process("proc|code", "Visual Studio Code",
                "C:\\Users\\demouser\\AppData\\Local\\Programs\\Microsoft VS Code\\Code.exe", "",
                microsoft, "Source code editor", {6040, 6112, 6180}),
        process("proc|keepass", "KeePass Password Safe",
                "C:\\Program Files\\KeePass Password Safe 2\\KeePass.exe", "", "Keyforge",
                "Password manager", {7324}),
        process("proc|node", "Acme dev server (node.exe)", "C:\\Program Files\\nodejs\\node.exe",
                "\"C:\\Program Files\\nodejs\\node.exe\" C:\\work\\acme\\server.js --port 8080",
                "OpenJS Foundation", "Node.js JavaScript runtime", {8801}),
        process("proc|explorer", "Windows Explorer", "C:\\Windows\\explorer.exe",
                "C:\\Windows\\explorer.exe", microsoft, "Windows Explorer", {2210}, true),
    };
}

model::Candidate service_candidate() {
    model::Candidate c;
    c.id = "svc|wuauserv";
    c.name = "Windows Update";
    c.source = "service";
    c.exe = svchost;
    c.command = "svchost.exe -k netsvcs -p -s wuauserv";
    c.publisher = microsoft;
    c.description = "Enables the detection, download, and installation of updates.";
    c.pids = {1432};
    c.system = true;
    c.entry_id = "service|machine|Services|wuauserv";
    c.notes = {"A Windows service that is running now but only starts when something asks for it."};
    c.modes = {model::StartMode("service-auto", "Start automatically with Windows",
                                "Changes this service's start type from Manual to Automatic, so "
                                "it starts at boot with the others. Needs administrator rights.",
                                true, true)};
    return c;
}

std::vector<model::Candidate> app_candidates() {
    return {
        candidate("app|vlc", "VLC media player", "app", "C:\\Program Files\\VideoLAN\\VLC\\vlc.exe",
                  "", "VideoLAN", "Media player", false),
        candidate("app|npp", "Notepad++", "app", "C:\\Program Files\\Notepad++\\notepad++.exe", "",
                  "Notepad++ Team", "Text editor", false),
        candidate("app|7zip", "7-Zip File Manager", "app", "C:\\Program Files\\7-Zip\\7zFM.exe", "",
                  "Zipwright", "File archiver", false),
        candidate("app|calc", "Calculator", "app", "C:\\Windows\\System32\\calc.exe",
                  "C:\\Windows\\System32\\calc.exe", microsoft, "Calculator", true),
    };
}

}  // namespace bootsmith::demo
