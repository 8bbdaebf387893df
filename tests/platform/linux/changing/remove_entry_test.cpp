#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/linux/change_tree.hpp"
#include "support/result_matchers.hpp"

namespace bootsmith::linux_backend {
namespace {

using bootsmith::testing::ChangeTree;
using bootsmith::testing::FailsWith;
using bootsmith::testing::IsOk;

constexpr const char* not_our_file =
    "That file is not where Bootsmith creates its own, so it will not be deleted.";
constexpr const char* not_our_unit =
    "That unit file is not where Bootsmith creates its own, so it will not be deleted.";

model::Item managed(std::string_view kind, std::string_view scope, std::string_view location,
                    std::string_view name) {
    model::Item item(std::string(kind), "label", std::string(scope), std::string(location),
                     std::string(name));
    item.managed = true;
    return item;
}

model::Item autostart_file(std::string_view file) {
    auto item = managed("autostart", "user", "/home/alice/.config/autostart", "Tool");
    item.extra.set("file", std::string(file));
    return item;
}

model::Item unit(std::string_view kind, std::string_view file) {
    const std::string name = util::file_name_text(file);
    auto item = managed(kind, kind == "systemd" ? "machine" : "user", file, name);
    item.extra.set("unit", name);
    return item;
}

class Remove : public ::testing::Test {
  protected:
    ChangeTree changes;
};

TEST_F(Remove, OwnUserServicesGoWithTheirLinks) {
    LinuxPlatform platform(changes.options(true));
    auto created = platform.create({"Svc", "/usr/bin/x", "", "", "user-service", "", ""});
    ASSERT_THAT(created, IsOk());
    const std::string link =
        "/home/alice/.config/systemd/user/default.target.wants/bootsmith-svc.service";
    changes.tree.link(link, created->location);
    std::filesystem::remove(changes.tree.fakes().root() / "calls.log");
    auto removed = platform.remove(*created);
    ASSERT_THAT(removed, IsOk());
    EXPECT_TRUE(removed->notes.empty());
    EXPECT_EQ(removed->message, "Removed the service bootsmith-svc.service.");
    EXPECT_FALSE(changes.exists(created->location));
    EXPECT_FALSE(changes.exists(link));
    const std::string runuser =
        "runuser -u alice -- env XDG_RUNTIME_DIR=/run/user/1000 "
        "DBUS_SESSION_BUS_ADDRESS=unix:path=/run/user/1000/bus systemctl --user ";
    EXPECT_EQ(changes.calls(), runuser +
                                   "disable --now bootsmith-svc.service\n"
                                   "systemctl --user disable --now bootsmith-svc.service\n" +
                                   runuser + "daemon-reload\nsystemctl --user daemon-reload\n");
}

TEST_F(Remove, BootServicesNeedAdministratorRights) {
    const std::string file = "/etc/systemd/system/bootsmith-b.service";
    changes.tree.write(file, "[Unit]\n");
    EXPECT_THAT(LinuxPlatform(changes.options()).remove(unit("systemd", file)),
                FailsWith("ADMIN: Removing a system service needs administrator rights."));
    auto removed = LinuxPlatform(changes.admin()).remove(unit("systemd", file));
    ASSERT_THAT(removed, IsOk());
    EXPECT_FALSE(changes.exists(file));
    EXPECT_EQ(changes.calls(),
              "systemctl disable --now bootsmith-b.service\nsystemctl daemon-reload\n");
}

TEST_F(Remove, OnlyFilesInOurOwnPlacesAreDeleted) {
    changes.tree.write("/etc/xdg/autostart/other.desktop", "[Desktop Entry]\n");
    changes.tree.write("/etc/xdg/autostart/bootsmith-x.desktop", "[Desktop Entry]\n");
    changes.tree.write("/home/alice/.config/autostart/renamed.desktop", "[Desktop Entry]\n");
    changes.tree.write("/home/alice/.config/autostart/sub/bootsmith-x.desktop", "x");
    changes.tree.link("/home/alice/.config/autostart/bootsmith-link.desktop",
                      changes.at("/etc/xdg/autostart/other.desktop").string());
    changes.tree.write("/etc/systemd/system/sub/bootsmith-b.service", "x");
    changes.tree.write("/home/alice/.config/systemd/user/mine.service", "x");
    struct Case {
        model::Item item;
        const char* failure;
        const char* kept;
    };
    const Case cases[] = {
        {autostart_file("/home/alice/.config/autostart/renamed.desktop"), not_our_file,
         "/home/alice/.config/autostart/renamed.desktop"},
        {autostart_file("/etc/xdg/autostart/bootsmith-x.desktop"), not_our_file,
         "/etc/xdg/autostart/bootsmith-x.desktop"},
        {autostart_file("/home/alice/.config/autostart/sub/bootsmith-x.desktop"), not_our_file,
         "/home/alice/.config/autostart/sub/bootsmith-x.desktop"},
        {autostart_file("/home/alice/.config/autostart/../autostart/bootsmith-x.desktop"),
         not_our_file, "/etc/xdg/autostart/bootsmith-x.desktop"},
        {autostart_file("/home/alice/.config/autostart/bootsmith-link.desktop"), not_our_file,
         "/home/alice/.config/autostart/bootsmith-link.desktop"},
        {unit("systemd", "/etc/systemd/system/sub/bootsmith-b.service"), not_our_unit,
         "/etc/systemd/system/sub/bootsmith-b.service"},
        {unit("systemd-user", "/home/alice/.config/systemd/user/mine.service"), not_our_unit,
         "/home/alice/.config/systemd/user/mine.service"},
    };
    LinuxPlatform platform(changes.admin());
    for (const auto& c : cases) {
        EXPECT_THAT(platform.remove(c.item), FailsWith(c.failure)) << c.item.location;
        EXPECT_TRUE(changes.exists(c.kept)) << c.kept;
    }
    EXPECT_TRUE(changes.exists("/etc/xdg/autostart/other.desktop"));
    EXPECT_EQ(changes.calls(), "");
}

TEST_F(Remove, OwnAutostartEntriesAreDeleted) {
    LinuxPlatform platform(changes.options(true));
    auto created = platform.create({"Tool", "/usr/bin/x", "", "", "login", "", ""});
    ASSERT_THAT(created, IsOk());
    auto removed = platform.remove(*created);
    ASSERT_THAT(removed, IsOk());
    EXPECT_TRUE(removed->notes.empty());
    EXPECT_EQ(removed->message, "Removed the autostart entry Tool.");
    EXPECT_FALSE(changes.exists(created->extra.get("file")));
    EXPECT_THAT(platform.remove(*created),
                FailsWith("Could not delete the autostart file: No such file or directory"));
}

TEST_F(Remove, OnlyOurTaggedCronLineGoes) {
    const std::string original = "# mine\n@reboot /opt/run.sh\n";
    changes.set_crontab(original);
    LinuxPlatform platform(changes.options());
    auto created = platform.create({"Run", "/opt/run.sh", "", "", "cron", "", ""});
    ASSERT_THAT(created, IsOk());
    changes.set_crontab(
        "# mine\n@reboot /opt/run.sh\n#bootsmith-off# @reboot /opt/run.sh # "
        "bootsmith:run\n");
    auto removed = platform.remove(*created);
    ASSERT_THAT(removed, IsOk());
    EXPECT_TRUE(removed->notes.empty());
    EXPECT_EQ(removed->message, "Removed the cron line.");
    EXPECT_EQ(changes.crontab(), original);
    EXPECT_THAT(platform.remove(*created), FailsWith("The cron line was not found any more."));

    auto machine = managed("cron", "machine", "/etc/crontab", "@reboot /opt/run.sh");
    machine.extra.set("line_cmd", "/opt/run.sh");
    EXPECT_THAT(platform.remove(machine),
                FailsWith("That cron line is not where Bootsmith creates its own, so it will not "
                          "be deleted."));
    EXPECT_EQ(changes.crontab(), original);

    // Of twin tagged lines the named one goes; a twin that is the user's own stays.
    const std::string tagged = "@reboot /opt/run.sh # bootsmith:run\n";
    auto second = managed("cron", "user", "crontab", "@reboot /opt/run.sh");
    second.extra.set("line_cmd", "/opt/run.sh");
    second.extra.set("twin", "2");
    changes.set_crontab("@reboot /opt/run.sh # bootsmith:a\n@reboot /opt/run.sh # bootsmith:b\n");
    ASSERT_THAT(platform.remove(second), IsOk());
    EXPECT_EQ(changes.crontab(), "@reboot /opt/run.sh # bootsmith:a\n");
    changes.set_crontab(tagged + "@reboot /opt/run.sh\n");
    EXPECT_THAT(platform.remove(second), FailsWith("The cron line was not found any more."));
    EXPECT_EQ(changes.crontab(), tagged + "@reboot /opt/run.sh\n");
}

}  // namespace
}  // namespace bootsmith::linux_backend
