#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/linux/change_tree.hpp"
#include "support/result_matchers.hpp"

namespace bootsmith::linux_backend {
namespace {

using bootsmith::testing::as_nobody;
using bootsmith::testing::ChangeTree;
using bootsmith::testing::facts_of;
using bootsmith::testing::FailsWith;
using bootsmith::testing::IsOk;

constexpr const char* user_dir = "/home/alice/.config/autostart";
constexpr const char* tray_file = "/etc/xdg/autostart/tray.desktop";
constexpr const char* tray_override = "/home/alice/.config/autostart/tray.desktop";
constexpr const char* tray_text = "[Desktop Entry]\nName=Tray\nExec=tray --quiet\n";

model::Item entry(std::string_view scope, std::string_view folder, std::string_view fname) {
    model::Item item("autostart", "Desktop autostart", std::string(scope), std::string(folder),
                     "Tray");
    item.extra.set("file", std::string(folder) + "/" + std::string(fname));
    item.extra.set("fname", std::string(fname));
    item.extra.set("user_dir", user_dir);
    return item;
}

class AutostartSwitch : public ::testing::Test {
  protected:
    AutostartSwitch() { changes.tree.write(tray_file, tray_text); }

    Result<platform::ChangeOutcome> toggle(bool enable, bool via_root = false) {
        return LinuxPlatform(changes.options(via_root)).toggle(machine, enable, false);
    }

    model::Item machine = entry("machine", "/etc/xdg/autostart", "tray.desktop");
    ChangeTree changes;
};

TEST_F(AutostartSwitch, TheUsersOwnEntryIsEditedInPlace) {
    const std::string file = std::string(user_dir) + "/mine.desktop";
    changes.tree.write(file,
                       "[Desktop Entry]\nName=Tray\nX-GNOME-Autostart-enabled=true\n[X]\nA=b\n");
    auto own = entry("user", user_dir, "mine.desktop");
    LinuxPlatform platform(changes.options());
    auto off = platform.toggle(own, false, false);
    ASSERT_THAT(off, IsOk());
    EXPECT_TRUE(off->notes.empty());
    EXPECT_EQ(off->message,
              "Tray will no longer start when you sign in (a personal setting; the program's own "
              "file is untouched).");
    EXPECT_EQ(
        changes.file(file),
        "[Desktop Entry]\nName=Tray\nX-GNOME-Autostart-enabled=false\nHidden=true\n[X]\nA=b\n");
    auto on = platform.toggle(own, true, false);
    ASSERT_THAT(on, IsOk());
    EXPECT_TRUE(on->notes.empty());
    EXPECT_EQ(on->message,
              "Tray will start when you sign in (a personal setting; the program's own file is "
              "untouched).");
    EXPECT_EQ(
        changes.file(file),
        "[Desktop Entry]\nName=Tray\nX-GNOME-Autostart-enabled=true\nHidden=false\n[X]\nA=b\n");
    EXPECT_EQ(facts_of(changes.at(file)).mode, 0644u);
}

TEST_F(AutostartSwitch, AComputerEntryOffAndOnLeavesNoFileBehind) {
    ASSERT_THAT(toggle(false, true), IsOk());
    EXPECT_EQ(changes.file(tray_override), std::string(tray_text) +
                                               "Hidden=true\nX-GNOME-Autostart-enabled=false\n"
                                               "X-Bootsmith-Override=true\n");
    EXPECT_EQ(facts_of(changes.at(tray_override)).uid, 1000u);
    EXPECT_EQ(facts_of(changes.at(user_dir)).uid, 1000u);
    ASSERT_THAT(toggle(true, true), IsOk());
    EXPECT_FALSE(changes.exists(tray_override));
    EXPECT_TRUE(std::filesystem::is_empty(changes.at(user_dir)));
    EXPECT_EQ(changes.file(tray_file), tray_text);
}

TEST_F(AutostartSwitch, AnOverrideTheUserMadeIsEditedNeverDeleted) {
    const std::string mine = "[Desktop Entry]\nName=Tray\nHidden=true\n";
    changes.tree.write(tray_override, mine);
    ASSERT_THAT(toggle(true), IsOk());
    EXPECT_EQ(changes.file(tray_override),
              "[Desktop Entry]\nName=Tray\nHidden=false\nX-GNOME-Autostart-enabled=true\n");
    ASSERT_THAT(toggle(false), IsOk());
    EXPECT_EQ(changes.file(tray_override),
              "[Desktop Entry]\nName=Tray\nHidden=true\nX-GNOME-Autostart-enabled=false\n");
    EXPECT_EQ(changes.file(tray_file), tray_text);
}

TEST_F(AutostartSwitch, AnEntryOffInTheComputersOwnFileGetsAnOverrideToStart) {
    struct Case {
        const char* computer_text;
        const char* override_text;  ///< nullptr: none is needed
    };
    const Case cases[] = {
        {"[Desktop Entry]\nName=Tray\nHidden=TRUE\n",
         "[Desktop Entry]\nName=Tray\nHidden=false\nX-GNOME-Autostart-enabled=true\n"
         "X-Bootsmith-Override=true\n"},
        {"[Desktop Entry]\nName=Tray\nX-GNOME-Autostart-enabled=false\n",
         "[Desktop Entry]\nName=Tray\nX-GNOME-Autostart-enabled=true\nHidden=false\n"
         "X-Bootsmith-Override=true\n"},
        {"[Desktop Entry]\nName=Tray\nHidden=false\n", nullptr},
    };
    for (const auto& c : cases) {
        changes.tree.remove(tray_override);
        changes.tree.write(tray_file, c.computer_text);
        ASSERT_THAT(toggle(true), IsOk());
        ASSERT_EQ(changes.exists(tray_override), c.override_text != nullptr) << c.computer_text;
        if (c.override_text) {
            EXPECT_EQ(changes.file(tray_override), c.override_text);
            // Switched off and on again, it still starts: the override stays.
            ASSERT_THAT(toggle(false), IsOk());
            ASSERT_THAT(toggle(true), IsOk());
            EXPECT_EQ(changes.file(tray_override), c.override_text);
        }
    }
}

TEST_F(AutostartSwitch, FilesThatCannotBeRewrittenAreLeftAlone) {
    changes.tree.write(tray_file, "[Desktop Entry]\nName=Caf\xe9\n");
    EXPECT_THAT(toggle(false), FailsWith("/etc/xdg/autostart/tray.desktop is not UTF-8 text, so "
                                         "Bootsmith will not rewrite it. Edit it by hand."));
    EXPECT_FALSE(changes.exists(tray_override));
    changes.tree.remove(tray_file);
    EXPECT_THAT(toggle(false), FailsWith("Could not read /etc/xdg/autostart/tray.desktop: No such "
                                         "file or directory"));
    model::Item unknown("autostart", "Desktop autostart", "user", user_dir, "Tray");
    EXPECT_THAT(LinuxPlatform(changes.options()).toggle(unknown, true, false),
                FailsWith("The autostart entry's file is not known; scan again."));
}

TEST_F(AutostartSwitch, ARefusedDeletionAsksForAdministratorRights) {
    changes.tree.write(tray_override, std::string(tray_text) + "X-Bootsmith-Override=true\n");
    std::filesystem::permissions(changes.tree.root(), std::filesystem::perms(0755));
    const std::string message = as_nobody([&] {
        auto outcome = toggle(true);
        return outcome ? outcome->message : outcome.error();
    });
    EXPECT_EQ(message, "ADMIN: Permission was refused to remove the override.");
    EXPECT_TRUE(changes.exists(tray_override));
}

}  // namespace
}  // namespace bootsmith::linux_backend
