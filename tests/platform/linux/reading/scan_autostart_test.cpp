#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>

#include "platform/linux/linux_platform.hpp"
#include "platform/linux/linux_tree.hpp"

namespace bootsmith::linux_backend {
namespace {

using bootsmith::testing::LinuxTree;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

// Autostart tests run without systemd so that only desktop entries are listed.
class AutostartScan : public ::testing::Test {
  protected:
    AutostartScan() { tree.remove("/run/systemd"); }

    platform::ScanResult scan() const { return LinuxPlatform(tree.options()).scan(); }

    static std::vector<std::string> names(const platform::ScanResult& result) {
        std::vector<std::string> names;
        for (const auto& item : result.items) {
            names.push_back(item.name);
        }
        return names;
    }

    LinuxTree tree;
};

TEST_F(AutostartScan, TheSameNameInTwoFilesGivesTwoIds) {
    tree.write("/home/alice/.config/autostart/b.desktop", "[Desktop Entry]\nName=Sync\nExec=b\n");
    tree.write("/home/alice/.config/autostart/a.desktop", "[Desktop Entry]\nName=Sync\nExec=a\n");
    auto result = scan();
    ASSERT_EQ(result.items.size(), 2u);
    const std::string id = "autostart|user|/home/alice/.config/autostart|Sync";
    EXPECT_EQ(result.items[0].id, id);
    EXPECT_EQ(result.items[0].extra.get("fname"), "a.desktop");
    EXPECT_EQ(result.items[1].id, id + "#2");
    EXPECT_EQ(result.items[1].extra.get("fname"), "b.desktop");
}

TEST_F(AutostartScan, ComputerEntryWithAHidingOverrideIsListedOnceAndOff) {
    tree.write("/etc/xdg/autostart/nm-applet.desktop",
               "[Desktop Entry]\nName=Network\nExec=nm-applet %U\nComment=Network applet\n");
    tree.write("/home/alice/.config/autostart/nm-applet.desktop",
               "[Desktop Entry]\nHidden=true\nX-Bootsmith-Override=true\n");
    auto result = scan();
    ASSERT_EQ(result.items.size(), 1u);
    const model::Item& item = result.items[0];
    EXPECT_EQ(item.id, "autostart|machine|/etc/xdg/autostart|Network");
    EXPECT_EQ(item.kind_label, "Desktop autostart (all users)");
    EXPECT_EQ(item.scope, "machine");
    EXPECT_EQ(item.location, "/etc/xdg/autostart");
    EXPECT_FALSE(item.enabled);
    EXPECT_EQ(item.state_text, "Disabled");
    EXPECT_EQ(item.toggle, "ok");
    EXPECT_EQ(item.toggle_note,
              "Switching it off here is a personal setting for this account; other users are not "
              "affected.");
    EXPECT_EQ(item.extra.get("has_override"), "1");
    EXPECT_EQ(item.extra.get("file"), "/etc/xdg/autostart/nm-applet.desktop");
    EXPECT_EQ(item.extra.get("fname"), "nm-applet.desktop");
    EXPECT_EQ(item.extra.get("user_dir"), "/home/alice/.config/autostart");
    EXPECT_EQ(item.extra.get("short"), "nm-applet.desktop");
    std::vector<std::string> keys;
    for (const auto& [key, value] : item.extra) {
        keys.push_back(key);
    }
    EXPECT_THAT(keys, ElementsAre("file", "fname", "user_dir", "has_override", "short"));
}

struct SwitchCase {
    const char* label;
    const char* computer;        ///< lines after the group header and Exec
    const char* override_lines;  ///< nullptr: no override file
    bool enabled;
};

TEST_F(AutostartScan, TheEffectiveEntryDecidesOnOrOff) {
    const SwitchCase cases[] = {
        {"plain", "", nullptr, true},
        {"hidden", "Hidden=true\n", nullptr, false},
        {"hidden any case", "Hidden=TRUE\n", nullptr, false},
        {"gnome off", "X-GNOME-Autostart-enabled=false\n", nullptr, false},
        {"gnome odd value", "X-GNOME-Autostart-enabled=no\n", nullptr, true},
        {"override shows a hidden entry", "Hidden=true\n", "Hidden=false\n", true},
        {"override switches gnome on", "X-GNOME-Autostart-enabled=false\n",
         "X-GNOME-Autostart-enabled=true\n", true},
        {"override without a verdict", "Hidden=true\n", "Name=Mine\n", true},
        {"override off", "", "X-GNOME-Autostart-enabled=false\n", false},
    };
    for (const auto& c : cases) {
        tree.remove("/etc/xdg/autostart");
        tree.remove("/home/alice/.config/autostart");
        tree.write("/etc/xdg/autostart/app.desktop",
                   std::string("[Desktop Entry]\nExec=app\n") + c.computer);
        if (c.override_lines) {
            tree.write("/home/alice/.config/autostart/app.desktop",
                       std::string("[Desktop Entry]\n") + c.override_lines);
        }
        auto result = scan();
        ASSERT_EQ(result.items.size(), 1u) << c.label;
        EXPECT_EQ(result.items[0].enabled, c.enabled) << c.label;
        EXPECT_EQ(result.items[0].extra.get("has_override"), c.override_lines ? "1" : "")
            << c.label;
    }
}

TEST_F(AutostartScan, UsersOwnEntries) {
    tree.write("/home/alice/.config/autostart/zeta.desktop",
               "[Desktop Entry]\nExec=env GDK_BACKEND=x11 \"/opt/My App/zeta\" --tray %F\n"
               "Comment=Zeta tray\nOnlyShowIn=GNOME;KDE;\nHidden=true\n");
    tree.write("/home/alice/.config/autostart/alpha.desktop",
               "[Desktop Entry]\nName=Alpha\nExec=alpha\nOnlyShowIn=XFCE;\n");
    tree.write("/home/alice/.config/autostart/bootsmith-tool.desktop",
               "[Desktop Entry]\nName=My tool\nExec=/usr/bin/tool\nX-Bootsmith=true\n");
    tree.write("/home/alice/.config/autostart/notes.txt",
               "[Desktop Entry]\nName=not a desktop file\n");
    auto result = scan();
    ASSERT_THAT(names(result), ElementsAre("Alpha", "My tool", "zeta"));
    const model::Item& alpha = result.items[0];
    EXPECT_EQ(alpha.id, "autostart|user|/home/alice/.config/autostart|Alpha");
    EXPECT_EQ(alpha.kind_label, "Desktop autostart (this user)");
    EXPECT_EQ(alpha.scope, "user");
    EXPECT_EQ(alpha.description, "(only in: XFCE;)");
    EXPECT_EQ(alpha.toggle_note, "");
    EXPECT_EQ(alpha.exe, "alpha");  // not on PATH: the bare word
    EXPECT_TRUE(alpha.enabled);

    const model::Item& tool = result.items[1];
    EXPECT_TRUE(tool.managed);
    EXPECT_EQ(tool.origin, "Created by Bootsmith");

    const model::Item& zeta = result.items[2];
    EXPECT_EQ(zeta.command, "env GDK_BACKEND=x11 /opt/My App/zeta --tray");
    EXPECT_EQ(zeta.exe, "/opt/My App/zeta");
    EXPECT_EQ(zeta.description, "Zeta tray (only in: GNOME;KDE;)");
    EXPECT_FALSE(zeta.enabled);
    EXPECT_EQ(zeta.extra.get("has_override"), "");
    EXPECT_EQ(zeta.origin, "Installed program");
}

TEST_F(AutostartScan, FoldersFollowThePackOrderAndFilesTheirNames) {
    tree.write("/etc/xdg/autostart/b.desktop", "[Desktop Entry]\nName=B\nExec=b\n");
    tree.write("/etc/xdg/autostart/a.desktop", "[Desktop Entry]\nName=A\nExec=a\n");
    tree.write("/usr/share/gnome/autostart/c.desktop", "[Desktop Entry]\nName=C\nExec=c\n");
    tree.write("/home/alice/.config/autostart/u.desktop", "[Desktop Entry]\nName=U\nExec=u\n");
    tree.write("/home/alice/.kde/Autostart/k.desktop", "[Desktop Entry]\nName=K\nExec=k\n");
    LinuxOptions options = tree.options();
    options.locations->linux_autostart_dirs = {"~/.config/autostart", "/etc/xdg/autostart",
                                               "~/.kde/Autostart", "/usr/share/gnome/autostart",
                                               "/does/not/exist"};
    auto result = LinuxPlatform(options).scan();
    EXPECT_THAT(names(result), ElementsAre("U", "A", "B", "K", "C"));
    EXPECT_EQ(result.items[3].scope, "user");
    EXPECT_EQ(result.items[3].extra.get("user_dir"), "/home/alice/.config/autostart");
    EXPECT_EQ(result.items[4].scope, "machine");
}

TEST_F(AutostartScan, WithoutAUserFolderInThePackTheDefaultOneHoldsOverrides) {
    tree.write("/etc/xdg/autostart/a.desktop", "[Desktop Entry]\nName=A\nExec=a\n");
    tree.write("/home/alice/.config/autostart/a.desktop", "[Desktop Entry]\nHidden=true\n");
    LinuxOptions options = tree.options();
    options.locations->linux_autostart_dirs = {"/etc/xdg/autostart"};
    auto result = LinuxPlatform(options).scan();
    ASSERT_EQ(result.items.size(), 1u);
    EXPECT_FALSE(result.items[0].enabled);
    EXPECT_EQ(result.items[0].extra.get("user_dir"), "/home/alice/.config/autostart");
}

TEST_F(AutostartScan, PackagesGiveTheOrigin) {
    tree.fakes().add("tray-tool", "exit 0");
    tree.fakes().add_logged(
        "dpkg-query",
        "if [ \"$1\" = -S ]; then shift; for p in \"$@\"; do case \"$p\" in\n"
        "  */tray-tool) echo \"tray-pkg: $p\";;\n"
        "  /usr/bin/base) echo \"base-pkg:amd64: $p\";; esac; done; exit 0; fi\n"
        "shift; shift; for n in \"$@\"; do case \"$n\" in\n"
        "  base-pkg) printf 'base-pkg\\timportant\\tno\\n';;\n"
        "  tray-pkg) printf 'tray-pkg\\toptional\\tno\\n';; esac; done");
    tree.write("/etc/xdg/autostart/tray.desktop", "[Desktop Entry]\nName=Tray\nExec=tray-tool\n");
    tree.write("/etc/xdg/autostart/base.desktop",
               "[Desktop Entry]\nName=Base\nExec=/usr/bin/base\n");
    tree.write("/etc/xdg/autostart/loose.desktop", "[Desktop Entry]\nName=Loose\nExec=loose\n");
    auto result = scan();
    ASSERT_THAT(names(result), ElementsAre("Base", "Loose", "Tray"));
    EXPECT_EQ(result.items[0].package, "base-pkg");
    EXPECT_EQ(result.items[0].extra.get("pkg_priority"), "important");
    EXPECT_EQ(result.items[0].origin, "Operating system");
    EXPECT_EQ(result.items[1].package, "");
    EXPECT_EQ(result.items[1].origin, "Installed program");
    EXPECT_EQ(result.items[2].package, "tray-pkg");
    EXPECT_EQ(result.items[2].origin, "Installed program");
    EXPECT_EQ(result.items[2].exe, (tree.fakes().bin() / "tray-tool").string());
    // One owner call for the two absolute program paths, one priority call.
    EXPECT_EQ(tree.call_count("dpkg-query"), 2u);
    EXPECT_THAT(tree.fakes().calls(), ::testing::Not(::testing::HasSubstr(" loose")));
}

TEST_F(AutostartScan, HostileFilesAreSkippedWithoutHarm) {
    const std::string folder = "/etc/xdg/autostart/";
    tree.write(folder + "good.desktop", "[Desktop Entry]\nName=Good\nExec=good\n");
    tree.write(folder + "latin1.desktop", "[Desktop Entry]\nName=Caf\xe9\nExec=cafe\n");
    tree.write(folder + "huge.desktop",
               "[Desktop Entry]\nName=Huge\nExec=huge\n" + std::string(10 * 1024 * 1024, '#'));
    tree.write(folder + "nogroup.desktop", "Name=Loose\nExec=loose\n");
    tree.write(folder + "binary.desktop", std::string("\x00\x01\x02\xff[Desktop Entry]\n", 20));
    tree.link(folder + "loop-a.desktop", "loop-b.desktop");
    tree.link(folder + "loop-b.desktop", "loop-a.desktop");
    tree.link(folder + "dangling.desktop", "/nowhere/x.desktop");
    tree.make_folder(folder + "folder.desktop");
    ASSERT_EQ(::mkfifo((tree.root() / "etc/xdg/autostart/fifo.desktop").c_str(), 0644), 0);
    tree.write(folder + ".desktop", "[Desktop Entry]\nName=No stem\nExec=x\n");
    // The user's folder is a link to itself.
    tree.link("/home/alice/.config/autostart", "autostart");

    auto started = std::chrono::steady_clock::now();
    auto result = scan();
    auto seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    EXPECT_THAT(names(result), ElementsAre("Good", "Café"));
    EXPECT_THAT(result.notes, ::testing::Contains("/etc/xdg/autostart/huge.desktop was skipped: "
                                                  "it is larger than 1 MB, far more than any "
                                                  "start-up file needs."));
    EXPECT_LT(seconds, 5.0);
}

TEST_F(AutostartScan, UnreadableFileIsSkipped) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root reads every file";
    }
    tree.write("/etc/xdg/autostart/secret.desktop", "[Desktop Entry]\nName=Secret\nExec=s\n");
    tree.set_mode("/etc/xdg/autostart/secret.desktop", 0);
    EXPECT_THAT(scan().items, IsEmpty());
}

}  // namespace
}  // namespace bootsmith::linux_backend
