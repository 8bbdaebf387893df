// The texts of the entries this program creates.
#include "platform/linux/changing/entry_texts.hpp"
#include "platform/linux/text/command_text.hpp"
#include "platform/linux/text/desktop_text.hpp"

namespace bootsmith::linux_backend {

namespace {

std::string exec_start_word(std::string_view word, bool first) {
    std::string escaped;
    for (char c : word) {
        escaped += c;
        if (c == '%' || c == '$') {
            escaped += c;
        }
    }
    if (escaped.empty()) {
        return first ? escaped : std::string("\"\"");
    }
    if (escaped.find_first_of("\"';\\") == std::string::npos && !util::contains_space(escaped)) {
        return escaped;
    }
    std::string quoted = "\"";
    for (char c : escaped) {
        if (c == '\\' || c == '"') {
            quoted += '\\';
        }
        quoted += c;
    }
    return quoted + "\"";
}

}  // namespace

std::string user_autostart_folder(const UserContext& user) {
    return expand_home("~/.config/autostart", user.home).path;
}

std::string desktop_file_text(const model::CreateRequest& request,
                              const std::vector<std::string>& words) {
    std::string text = "[Desktop Entry]\nType=Application\n";
    text += "Name=" + request.name + "\n";
    text += "Exec=" + exec_value(words) + "\n";
    if (!request.workdir.empty()) {
        text += "Path=" + request.workdir + "\n";
    }
    text +=
        "Comment=Started at sign-in. Created by Bootsmith.\n"
        "Terminal=false\n"
        "X-GNOME-Autostart-enabled=true\n"
        "X-Bootsmith=true\n";
    return text;
}

std::string exec_start_value(const std::vector<std::string>& words) {
    std::string value;
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (i > 0) {
            value += ' ';
        }
        value += exec_start_word(words[i], i == 0);
    }
    return value;
}

std::string escape_specifiers(std::string_view text) {
    std::string escaped;
    for (char c : text) {
        escaped += c;
        if (c == '%') {
            escaped += '%';
        }
    }
    return escaped;
}

std::string cron_command_text(std::string_view command, std::string_view workdir) {
    std::string line(command);
    if (!workdir.empty()) {
        line = "cd " + quote_word(workdir) + " && " + line;
    }
    // cron turns a bare "%" into a line break, in the folder as much as in
    // the command; "\%" is a plain "%".
    std::string text;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '%' && (i == 0 || line[i - 1] != '\\')) {
            text += '\\';
        }
        text += line[i];
    }
    return text;
}

}  // namespace bootsmith::linux_backend
