#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/linux/change_tree.hpp"
#include "support/result_matchers.hpp"

namespace bootsmith::linux_backend {
namespace {

using bootsmith::testing::ChangeTree;
using bootsmith::testing::facts_of;
using bootsmith::testing::FailsWith;
using bootsmith::testing::IsOk;
using ::testing::HasSubstr;

model::Item cron_item(std::string_view location, std::string_view command) {
    model::Item item("cron", "cron @reboot", location == "crontab" ? "user" : "machine",
                     std::string(location), "@reboot " + std::string(command));
    item.extra.set("line_cmd", std::string(command));
    return item;
}

class CronSwitch : public ::testing::Test {
  protected:
    Result<platform::ChangeOutcome> toggle(const model::Item& item, bool enable,
                                           bool via_root = false) {
        return LinuxPlatform(changes.options(via_root)).toggle(item, enable, false);
    }

    model::Item job = cron_item("crontab", "/opt/job.sh --x");
    ChangeTree changes;
};

TEST_F(CronSwitch, OffAndOnAgainGivesTheSameBytes) {
    const char* crontabs[] = {
        "@reboot /opt/job.sh --x\n",
        "# m h dom mon dow command\nMAILTO=alice\n\n@reboot /opt/job.sh --x\n*/5 * * * * /opt/x\n",
        "  @reboot   /opt/job.sh --x  \n# last comment\n\n\n",
        "@reboot /opt/job.sh --x\r\n@reboot /opt/other\r\n",
        "@reboot /opt/other\n@reboot /opt/job.sh --x # bootsmith:job\n",
    };
    for (const char* original : crontabs) {
        changes.set_crontab(original);
        auto off = toggle(job, false);
        ASSERT_THAT(off, IsOk()) << original;
        EXPECT_TRUE(off->notes.empty());
        EXPECT_EQ(off->message, "@reboot /opt/job.sh --x will no longer run at boot.");
        EXPECT_THAT(changes.crontab(), HasSubstr("#bootsmith-off# ")) << original;
        auto on = toggle(job, true);
        ASSERT_THAT(on, IsOk()) << original;
        EXPECT_TRUE(on->notes.empty());
        EXPECT_EQ(on->message, "@reboot /opt/job.sh --x will run at boot.");
        EXPECT_EQ(changes.crontab(), original);
    }
    // cron ignores a last line without its line feed, so the rewritten text
    // always has one; after that the round trip is exact again.
    changes.set_crontab("MAILTO=alice\n@reboot /opt/job.sh --x");
    ASSERT_THAT(toggle(job, false), IsOk());
    ASSERT_THAT(toggle(job, true), IsOk());
    EXPECT_EQ(changes.crontab(), "MAILTO=alice\n@reboot /opt/job.sh --x\n");
}

TEST_F(CronSwitch, ACrontabThatIsNotUtf8IsLeftAlone) {
    const std::string original = "# caf\xe9 (Latin-1)\n@reboot /opt/job.sh --x\n";
    changes.set_crontab(original);
    EXPECT_THAT(toggle(job, false),
                FailsWith("Your crontab is not UTF-8 text, so Bootsmith will not rewrite it. Edit "
                          "it by hand with crontab -e."));
    EXPECT_EQ(changes.crontab(), original);
}

TEST_F(CronSwitch, OnlyTheFirstLineInTheOtherStateChanges) {
    changes.set_crontab(
        "#bootsmith-off# @reboot /opt/job.sh --x\n@reboot /opt/job.sh --x\n@reboot /opt/job.sh "
        "--x\n");
    ASSERT_THAT(toggle(job, false), IsOk());
    EXPECT_EQ(changes.crontab(),
              "#bootsmith-off# @reboot /opt/job.sh --x\n#bootsmith-off# @reboot /opt/job.sh --x\n"
              "@reboot /opt/job.sh --x\n");
    // A marker written by hand, without its space, is understood too.
    changes.set_crontab("  #bootsmith-off#@reboot /opt/job.sh --x");
    ASSERT_THAT(toggle(job, true), IsOk());
    EXPECT_EQ(changes.crontab(), "@reboot /opt/job.sh --x\n");
}

TEST_F(CronSwitch, OfTwinLinesExactlyTheNamedOneChanges) {
    const std::string twins = "@reboot /opt/job.sh --x\n@reboot /opt/job.sh --x\n";
    const std::string second_off =
        "@reboot /opt/job.sh --x\n#bootsmith-off# @reboot /opt/job.sh --x\n";
    changes.set_crontab(twins);
    model::Item first = job, second = job;
    first.extra.set("twin", "1");
    second.extra.set("twin", "2");
    ASSERT_THAT(toggle(second, false), IsOk());
    EXPECT_EQ(changes.crontab(), second_off);
    // The first is already off in the scan's eyes when it is not any more: refused.
    EXPECT_THAT(toggle(first, true),
                FailsWith("The cron line was not found any more; scan again."));
    EXPECT_THAT(toggle(second, false),
                FailsWith("The cron line was not found any more; scan again."));
    ASSERT_THAT(toggle(first, false), IsOk());
    ASSERT_THAT(toggle(second, true), IsOk());
    EXPECT_EQ(changes.crontab(),
              "#bootsmith-off# @reboot /opt/job.sh --x\n@reboot /opt/job.sh --x\n");
    model::Item third = job;
    third.extra.set("twin", "3");
    EXPECT_THAT(toggle(third, false),
                FailsWith("The cron line was not found any more; scan again."));
}

TEST_F(CronSwitch, ALineThatChangedSinceTheScanIsNotFound) {
    const char* crontabs[] = {"@reboot /opt/job.sh --y\n",
                              "#bootsmith-off# @reboot /opt/job.sh --x\n",
                              "# @reboot /opt/job.sh --x\n", ""};
    for (const char* text : crontabs) {
        changes.set_crontab(text);
        EXPECT_THAT(toggle(job, false),
                    FailsWith("The cron line was not found any more; scan again."));
        EXPECT_EQ(changes.crontab(), text);
    }
    EXPECT_EQ(changes.tree.call_count("crontab"), 4u);  // only the readings
}

TEST_F(CronSwitch, RootActingForTheUserChangesTheirCrontab) {
    changes.set_crontab("@reboot /opt/job.sh --x\n");
    ASSERT_THAT(toggle(job, false, true), IsOk());
    // The new text reaches crontab as a whole private file, never through a
    // pipe that a killed run would cut short; the file is gone afterwards.
    const std::string temporary = (changes.tree.root() / "tmp/.bootsmith-crontab-").string();
    EXPECT_THAT(changes.calls(), ::testing::MatchesRegex("crontab -u alice -l\ncrontab -u alice " +
                                                         temporary + "[A-Za-z0-9]{6}\n"));
    EXPECT_EQ(bootsmith::testing::read_file(changes.tree.answers() / "crontab.given"),
              "600 regular file\n");
    EXPECT_TRUE(std::filesystem::is_empty(changes.at("/tmp")));
}

TEST_F(CronSwitch, LeftoversOfKilledRunsGoOnlyWhenTheyAreOursAndOld) {
    const auto old_time = std::filesystem::file_time_type::clock::now() - std::chrono::hours(2);
    changes.tree.write("/tmp/.bootsmith-crontab-old111", "@reboot half");
    changes.tree.write("/tmp/.bootsmith-crontab-new222", "@reboot in use");
    changes.tree.write("/tmp/other-old", "x");
    changes.tree.link("/tmp/.bootsmith-crontab-link33", "/etc/passwd");
    for (const char* name : {"/tmp/.bootsmith-crontab-old111", "/tmp/other-old"}) {
        std::filesystem::last_write_time(changes.at(name), old_time);
    }
    changes.set_crontab("@reboot /opt/job.sh --x\n");
    ASSERT_THAT(toggle(job, false), IsOk());
    EXPECT_FALSE(changes.exists("/tmp/.bootsmith-crontab-old111"));
    for (const char* kept :
         {"/tmp/.bootsmith-crontab-new222", "/tmp/other-old", "/tmp/.bootsmith-crontab-link33"}) {
        EXPECT_TRUE(changes.exists(kept)) << kept;
    }
}

TEST_F(CronSwitch, CrontabFailuresLeaveItAlone) {
    changes.set_crontab("@reboot /opt/job.sh --x\n");
    changes.tree.answer("crontab.broken", "crontab: cannot open /var/spool: Input/output error\n");
    EXPECT_THAT(toggle(job, false),
                FailsWith("The crontab could not be read, so it was left alone: crontab: cannot "
                          "open /var/spool: Input/output error"));
    std::filesystem::remove(changes.tree.answers() / "crontab.broken");
    changes.tree.answer("crontab.refuse", "\"-\":1: bad minute\nerrors in crontab file\n");
    EXPECT_THAT(toggle(job, false), FailsWith("crontab refused the change: \"-\":1: bad minute\n"
                                              "errors in crontab file"));
    EXPECT_EQ(changes.crontab(), "@reboot /opt/job.sh --x\n");
    std::filesystem::remove(changes.tree.fakes().bin() / "crontab");
    EXPECT_THAT(toggle(job, false), FailsWith("crontab is not installed."));
}

TEST_F(CronSwitch, ComputerWideFilesKeepTheirPermissionsAndAccountField) {
    const std::string original =
        "SHELL=/bin/sh\n@reboot   root /opt/job.sh --x # bootsmith:job\n@reboot www /opt/web\n";
    changes.tree.write("/etc/cron.d/jobs", original);
    changes.tree.set_mode("/etc/cron.d/jobs", 0600);
    auto machine_job = cron_item("/etc/cron.d/jobs", "/opt/job.sh --x");
    LinuxPlatform platform(changes.admin());
    ASSERT_THAT(platform.toggle(machine_job, false, false), IsOk());
    EXPECT_EQ(changes.file("/etc/cron.d/jobs"),
              "SHELL=/bin/sh\n#bootsmith-off# @reboot   root /opt/job.sh --x # bootsmith:job\n"
              "@reboot www /opt/web\n");
    EXPECT_EQ(facts_of(changes.at("/etc/cron.d/jobs")).mode, 0600u);
    ASSERT_THAT(platform.toggle(machine_job, true, false), IsOk());
    EXPECT_EQ(changes.file("/etc/cron.d/jobs"), original);
    EXPECT_EQ(changes.calls(), "");
}

}  // namespace
}  // namespace bootsmith::linux_backend
