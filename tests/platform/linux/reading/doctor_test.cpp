#include "platform/linux/reading/doctor.hpp"
#include "platform/linux/linux_platform.hpp"
#include "platform/linux/process_tree.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace bootsmith::linux_backend {
namespace {

using bootsmith::testing::add_process;
using bootsmith::testing::LinuxTree;
using ::testing::ElementsAre;

std::string rows(int count, const char* suffix) {
    std::string text;
    for (int i = 0; i < count; ++i) {
        text += "u" + std::to_string(i) + ".service " + suffix + "\n";
    }
    return text;
}

std::vector<std::string> lines(const std::vector<platform::Probe>& probes) {
    std::vector<std::string> lines;
    for (const auto& probe : probes) {
        lines.push_back(probe.name + " | " + probe.status + " | " + probe.detail);
    }
    return lines;
}

class Doctor : public ::testing::Test {
  protected:
    Doctor() {
        tree.write("/etc/os-release", "PRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n");
        tree.add_systemctl();
        tree.answer("system/unit-files", rows(11, "enabled enabled"));
        tree.answer("system/units", rows(6, "loaded active running Thing"));
        tree.answer("user/unit-files", rows(2, "enabled enabled"));
        tree.make_folder("/etc/xdg/autostart");
        for (const char* program : {"crontab", "dpkg-query", "curl", "xdg-open"}) {
            tree.fakes().add(program, "exit 0");
        }
        for (std::uint32_t pid = 100; pid < 104; ++pid) {
            add_process(tree, pid, {"/bin/x"}, "/bin/x");
        }
    }

    std::vector<platform::Probe> doctor(const LinuxOptions& options) const {
        return LinuxPlatform(options).doctor();
    }
    std::vector<platform::Probe> doctor() const { return doctor(tree.options()); }

    LinuxTree tree;
};

TEST_F(Doctor, AllGood) {
    EXPECT_THAT(
        lines(doctor()),
        ElementsAre("Operating system | ok | Debian GNU/Linux 12 (bookworm), ordinary rights",
                    "systemd | ok | systemd 252 (252.38-1~deb12u1)",
                    "System unit list | ok | 11 unit files read.",
                    "Unit states | ok | 6 units reported with their state.",
                    "Your own units | ok | 2 user unit files read.",
                    "Desktop autostart folders | ok | 1 of 2 folders exist.",
                    "cron | ok | crontab is present.",
                    "Package manager | ok | dpkg is used to find which package owns a unit.",
                    "Running programs | ok | 4 programs could be inspected through /proc.",
                    "Download tool | ok | curl is present.",
                    "Opening the window | ok | xdg-open is present."));
    EXPECT_THAT(tree.fakes().calls(),
                ::testing::HasSubstr("systemctl list-unit-files --no-legend --no-pager --plain\n"
                                     "systemctl list-units --all --no-legend --no-pager --plain\n"
                                     "systemctl --user list-unit-files --no-legend --no-pager "
                                     "--plain\n"));
}

TEST_F(Doctor, NamesTheStartUpFilesSkippedForTheirSize) {
    const std::string big(2 * 1024 * 1024, '#');
    tree.write("/home/alice/.config/autostart/huge.desktop", "[Desktop Entry]\n" + big);
    tree.write("/etc/cron.d/huge", big);
    tree.write("/etc/cron.d/small", "@reboot root true\n");
    auto found = lines(doctor());
    EXPECT_THAT(found, ::testing::Contains("Start-up files | warn | Skipped because they are "
                                           "larger than 1 MB: "
                                           "/home/alice/.config/autostart/huge.desktop, "
                                           "/etc/cron.d/huge."));
}

TEST_F(Doctor, EverythingMissing) {
    LinuxTree bare;
    bare.remove("/run/systemd");
    bare.remove("/proc");
    EXPECT_THAT(
        lines(LinuxPlatform(bare.options()).doctor()),
        ElementsAre("Operating system | ok | Linux, ordinary rights",
                    "systemd | warn | This computer does not use systemd; only autostart "
                    "entries and cron are listed.",
                    "Desktop autostart folders | warn | 0 of 2 folders exist.",
                    "cron | warn | crontab is not installed; @reboot jobs cannot be read or "
                    "created.",
                    "Package manager | warn | None recognised; the package that owns a "
                    "unit is not shown.",
                    "Running programs | warn | 0 of this account's own programs could be "
                    "inspected. Without administrator rights the other accounts' "
                    "programs cannot be seen; run with sudo to see them all.",
                    "Download tool | warn | Neither curl nor wget is installed, so "
                    "knowledge updates cannot be downloaded (importing a file still "
                    "works).",
                    "Opening the window | warn | xdg-open is missing; open the link by "
                    "hand."));
    EXPECT_EQ(bare.call_count("systemctl"), 0u);
}

TEST_F(Doctor, SystemdThatDoesNotAnswerWell) {
    tree.answer("system/unit-files", rows(10, "enabled"));
    tree.answer("system/units", rows(5, "loaded active running x"));
    std::filesystem::remove(tree.answers() / "user/unit-files");
    tree.add_systemctl("[ \"$1\" = --version ] && exit 1\n");
    auto probes = doctor();
    ASSERT_GE(probes.size(), 5u);
    EXPECT_THAT(lines({probes.begin() + 1, probes.begin() + 5}),
                ElementsAre("systemd | fail | systemctl did not answer",
                            "System unit list | fail | 10 unit files read.",
                            "Unit states | warn | 5 units reported with their state.",
                            "Your own units | warn | No user session is running for this account; "
                            "user units are skipped."));
}

TEST_F(Doctor, RootSkipsTheUserUnitsAndCountsEveryProgram) {
    tree.set_uid(0);
    tree.remove("/proc/102");
    tree.remove("/proc/103");
    LinuxOptions options = tree.options();
    options.env.user = "root";
    auto all = lines(doctor(options));
    EXPECT_EQ(all[0], "Operating system | ok | Debian GNU/Linux 12 (bookworm), running as root");
    EXPECT_THAT(all, ::testing::Not(::testing::Contains(::testing::HasSubstr("Your own units"))));
    EXPECT_THAT(all, ::testing::Contains(
                         "Running programs | fail | 2 programs could be inspected through /proc."));
}

TEST_F(Doctor, DownloadToolFallsBackToWget) {
    std::filesystem::remove(tree.fakes().bin() / "curl");
    tree.fakes().add("wget", "exit 0");
    EXPECT_THAT(lines(doctor()), ::testing::Contains("Download tool | ok | wget is present."));
}

}  // namespace
}  // namespace bootsmith::linux_backend
