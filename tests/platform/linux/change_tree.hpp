#pragma once

// A fake Linux system for the changing operations: the LinuxTree plus fake
// programs that remember what they were told, so that a change can be made
// and then seen, and a whole off-and-on round trip checked.

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "platform/linux/linux_platform.hpp"
#include "platform/linux/linux_tree.hpp"

namespace bootsmith::testing {

class ChangeTree {
  public:
    ChangeTree() {
        const std::string answers = shell_quoted(tree.answers());
        const std::string root = shell_quoted(tree.root());
        // systemctl keeps one state file per unit: enable and disable write it,
        // is-enabled reads it. "<scope>/fail-<command>" makes a command fail
        // with that text; "<scope>/sticky-<unit>" keeps a unit enabled.
        tree.fakes().add_logged(
            "systemctl",
            "base=" + answers + "/system; units=" + root +
                "/etc/systemd/system\n"
                "if [ \"$1\" = --user ]; then base=" +
                answers + "/user; units=" + root +
                "/home/alice/.config/systemd/user; shift; fi\n"
                "state=\"$base/state\"; /bin/mkdir -p \"$state\"\n"
                "cmd=\"$1\"; shift\n"
                "if [ -f \"$base/fail-$cmd\" ]; then /bin/cat \"$base/fail-$cmd\" >&2; exit 1; fi\n"
                "case \"$cmd\" in\n"
                "  enable) for u in \"$@\"; do echo enabled > \"$state/$u\"; done;;\n"
                "  disable) for u in \"$@\"; do [ \"$u\" = --now ] && continue;"
                " [ -f \"$base/sticky-$u\" ] || echo disabled > \"$state/$u\"; done;;\n"
                "  is-enabled) if [ -f \"$base/is-enabled\" ]; then /bin/cat \"$base/is-enabled\";"
                " exit 0; fi; s=$(/bin/cat \"$state/$1\" 2>/dev/null || echo disabled);"
                " echo \"$s\"; [ \"$s\" = enabled ];;\n"
                "  list-unit-files) for f in \"$state\"/*; do [ -f \"$f\" ] &&"
                " echo \"${f##*/} $(/bin/cat \"$f\")\"; done;;\n"
                "  show) for u in \"$@\"; do f=\"$units/$u\"; [ -f \"$f\" ] || continue;"
                " echo \"Id=$u\"; echo \"FragmentPath=${f#" +
                root +
                "}\"; echo \"Description=$(/bin/sed -n 's/^Description= *//p' \"$f\")\"; echo;"
                " done;;\n"
                "esac\n");
        // crontab keeps the user's crontab in answers/crontab; what it was
        // given to install is described in answers/crontab.given.
        tree.make_folder("/tmp");
        tree.fakes().add_logged(
            "crontab", "f=" + answers +
                           "/crontab\n"
                           "[ \"$1\" = -u ] && shift 2\n"
                           "if [ \"$1\" != -l ]; then\n"
                           "  [ -f \"$f.refuse\" ] && { /bin/cat \"$f.refuse\" >&2; exit 1; }\n"
                           "  src=\"$1\"; [ \"$src\" = - ] && src=/dev/stdin\n"
                           "  /usr/bin/stat -c '%a %F' \"$src\" > \"$f.given\"\n"
                           "  /bin/cat \"$src\" > \"$f\"; exit 0\n"
                           "fi\n"
                           "[ -f \"$f.broken\" ] && { /bin/cat \"$f.broken\" >&2; exit 1; }\n"
                           "[ -f \"$f\" ] || { echo 'no crontab for alice' >&2; exit 1; }\n"
                           "/bin/cat \"$f\"\n"
                           // A slow reader widens the window between reading and writing.
                           "[ -f \"$f.slow\" ] && /bin/sleep 0.2\n"
                           "exit 0\n");
        // runuser runs the command after "--" (dropping the leading env word).
        tree.fakes().add_logged("runuser",
                                "while [ \"$1\" != -- ]; do shift; done; shift\n"
                                "[ \"$1\" = env ] && shift\n"
                                "exec /usr/bin/env \"$@\"\n");
    }

    /// Ordinary alice, or root acting for alice through sudo.
    [[nodiscard]] linux_backend::LinuxOptions options(bool via_root = false) const {
        tree.set_uid(via_root ? 0 : 1000);
        linux_backend::LinuxOptions options = tree.options();
        if (via_root) {
            options.env.sudo_user = "alice";
        }
        return options;
    }
    /// Root acting as itself (an administrator).
    [[nodiscard]] linux_backend::LinuxOptions admin() const {
        tree.set_uid(0);
        linux_backend::LinuxOptions options = tree.options();
        options.env.user = "root";
        options.env.home = "/root";
        return options;
    }

    [[nodiscard]] std::string crontab() const { return read_file(tree.answers() / "crontab"); }
    void set_crontab(std::string_view text) const { tree.answer("crontab", text); }
    [[nodiscard]] std::string unit_state(std::string_view scope, std::string_view unit) const {
        return read_file(tree.answers() / scope / "state" / unit);
    }
    [[nodiscard]] std::string file(std::string_view system_path) const {
        return read_file(at(system_path));
    }
    [[nodiscard]] std::filesystem::path at(std::string_view system_path) const {
        return tree.root() / std::filesystem::path(system_path).relative_path();
    }
    [[nodiscard]] bool exists(std::string_view system_path) const {
        struct stat info {};
        return ::lstat(at(system_path).c_str(), &info) == 0;
    }
    [[nodiscard]] std::string calls() const { return tree.fakes().calls(); }

    LinuxTree tree;
};

/// Owner and permission bits of a file (not following a link).
struct FileFacts {
    unsigned uid = 0;
    unsigned gid = 0;
    unsigned mode = 0;
};
inline FileFacts facts_of(const std::filesystem::path& path) {
    struct stat info {};
    ::lstat(path.c_str(), &info);
    return {info.st_uid, info.st_gid, static_cast<unsigned>(info.st_mode & 07777)};
}

/// Runs `work` in a child process as the account "nobody" (uid 65534), so that
/// the system refuses permission as it would for an ordinary user, and returns
/// the text it produced.
inline std::string as_nobody(const std::function<std::string()>& work) {
    int fds[2];
    if (::pipe(fds) != 0) {
        return "pipe failed";
    }
    pid_t child = ::fork();
    if (child == 0) {
        ::close(fds[0]);
        std::string text = ::setgid(65534) == 0 && ::setuid(65534) == 0 ? work() : "setuid failed";
        (void)::write(fds[1], text.data(), text.size());
        ::_exit(0);
    }
    ::close(fds[1]);
    std::string text;
    char buffer[4096];
    ssize_t got = 0;
    while ((got = ::read(fds[0], buffer, sizeof buffer)) > 0) {
        text.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(fds[0]);
    ::waitpid(child, nullptr, 0);
    return text;
}

/// Waits up to five seconds for the calls log to contain `part`.
inline bool wait_for_call(const ChangeTree& tree, std::string_view part) {
    for (int i = 0; i < 250; ++i) {
        if (tree.calls().find(part) != std::string::npos) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

}  // namespace bootsmith::testing
