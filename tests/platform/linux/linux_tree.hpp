#pragma once

// A fake Linux system for component tests: a temporary folder tree that acts
// as "/" for a LinuxOptions, plus fake programs first on PATH that answer from
// files. Nothing here touches the real system.

#include <sys/stat.h>

#include <filesystem>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>

#include "platform/linux/roots.hpp"
#include "support/fake_programs.hpp"
#include "support/temp_dir.hpp"

namespace bootsmith::testing {

inline std::string shell_quoted(const std::filesystem::path& path) {
    return "'" + path.string() + "'";
}

class LinuxTree {
  public:
    /// A tree with alice (uid 1000) as the user, systemd present, and only fake
    /// programs on PATH.
    LinuxTree() : m_fakes(true) {
        m_root.write("etc/passwd",
                     "root:x:0:0:root:/root:/bin/bash\n"
                     "alice:x:1000:1000:Alice:/home/alice:/bin/bash\n"
                     "bob:x:1001:1001:Bob:/home/bob:/bin/bash\n");
        set_uid(1000);
        std::filesystem::create_directories(m_root.path() / "run/systemd/system");
        std::filesystem::create_directories(m_root.path() / "home/alice");
    }

    [[nodiscard]] const std::filesystem::path& root() const { return m_root.path(); }
    [[nodiscard]] const FakePrograms& fakes() const { return m_fakes; }
    [[nodiscard]] std::filesystem::path answers() const { return m_fakes.root() / "answers"; }

    /// Writes a file of the fake system ("/etc/crontab").
    std::filesystem::path write(std::string_view system_path, std::string_view content) const {
        std::string_view relative = system_path;
        while (relative.starts_with('/')) {
            relative.remove_prefix(1);
        }
        return m_root.write(relative, content);
    }
    void make_folder(std::string_view system_path) const {
        std::filesystem::create_directories(m_root.path() /
                                            std::filesystem::path(system_path).relative_path());
    }
    void remove(std::string_view system_path) const {
        std::filesystem::remove_all(m_root.path() /
                                    std::filesystem::path(system_path).relative_path());
    }
    void link(std::string_view system_path, std::string_view target) const {
        auto where = m_root.path() / std::filesystem::path(system_path).relative_path();
        std::filesystem::create_directories(where.parent_path());
        std::filesystem::create_symlink(target, where);
    }
    void set_mode(std::string_view system_path, unsigned mode) const {
        ::chmod((m_root.path() / std::filesystem::path(system_path).relative_path()).c_str(), mode);
    }
    void set_uid(unsigned uid) const {
        write("/proc/self/status", "Name:\tbootsmith\nUid:\t" + std::to_string(uid) + "\t" +
                                       std::to_string(uid) + "\t" + std::to_string(uid) + "\t" +
                                       std::to_string(uid) + "\n");
    }

    /// Options for this tree: alice's environment, short limits, the default locations.
    [[nodiscard]] linux_backend::LinuxOptions options() const {
        linux_backend::LinuxOptions options;
        options.roots.prefix = m_root.path();
        options.env.user = "alice";
        options.env.home = "/home/alice";
        options.limits = linux_backend::TimeLimits::all(5);
        knowledge::KnowledgeLocations locations;
        locations.linux_autostart_dirs = {"/etc/xdg/autostart", "~/.config/autostart"};
        locations.linux_app_dirs = {"/usr/share/applications", "~/.local/share/applications"};
        locations.linux_unit_types = {"service", "timer", "socket"};
        options.locations = locations;
        return options;
    }

    /// A systemctl that logs its calls and answers from answers/<scope>/: the
    /// files "unit-files" and "units", one "show/<unit>" block per unit, and
    /// "cat/<unit>". list-unit-files fails when its file is missing.
    void add_systemctl(std::string_view extra_body = "") const {
        const std::string base = shell_quoted(answers());
        m_fakes.add_logged("systemctl",
                           std::string(extra_body) + "base=" + base +
                               "/system\n"
                               "if [ \"$1\" = --user ]; then base=" +
                               base +
                               "/user; shift; fi\n"
                               "case \"$1\" in\n"
                               "  list-unit-files) [ -f \"$base/unit-files\" ] || exit 1;"
                               " /bin/cat \"$base/unit-files\";;\n"
                               "  list-units) /bin/cat \"$base/units\" 2>/dev/null;;\n"
                               "  show) for a in \"$@\"; do if [ -f \"$base/show/$a\" ];"
                               " then /bin/cat \"$base/show/$a\"; echo; fi; done;;\n"
                               "  cat) for a in \"$@\"; do if [ -f \"$base/cat/$a\" ];"
                               " then /bin/cat \"$base/cat/$a\"; fi; done;;\n"
                               "  --version) echo 'systemd 252 (252.38-1~deb12u1)';"
                               " echo '+PAM +AUDIT';;\n"
                               "esac\n");
    }

    void answer(std::string_view relative, std::string_view content) const {
        write_file(answers() / relative, content);
    }

    /// One `systemctl show` block for a unit of the system ("system") or user scope.
    void show(
        std::string_view scope, std::string_view unit,
        std::initializer_list<std::pair<std::string_view, std::string_view>> properties) const {
        std::string block = "Id=" + std::string(unit) + "\n";
        for (const auto& [key, value] : properties) {
            block += std::string(key) + "=" + std::string(value) + "\n";
        }
        answer(std::string(scope) + "/show/" + std::string(unit), block);
    }

    /// The lines of the calls log whose program is `name`.
    [[nodiscard]] std::size_t call_count(std::string_view name) const {
        std::size_t count = 0;
        std::string log = m_fakes.calls();
        std::size_t start = 0;
        while (start < log.size()) {
            std::size_t end = log.find('\n', start);
            if (end == std::string::npos) {
                end = log.size();
            }
            std::string_view line(log.data() + start, end - start);
            if (line.starts_with(std::string(name) + " ") || line == name) {
                ++count;
            }
            start = end + 1;
        }
        return count;
    }

  private:
    TempDir m_root;
    FakePrograms m_fakes;
};

}  // namespace bootsmith::testing
