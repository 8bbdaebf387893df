#include "platform/linux/reading/packages.hpp"
#include "platform/linux/linux_tree.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace bootsmith::linux_backend {
namespace {

using bootsmith::testing::FakePrograms;
using bootsmith::testing::LinuxTree;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Pair;
using ::testing::UnorderedElementsAre;

const TimeLimits limits = TimeLimits::all(5);

TEST(PackageManager, FoundInTheOrderDpkgRpmPacman) {
    const std::tuple<std::vector<const char*>, PackageManager, const char*> cases[] = {
        {{"dpkg-query", "rpm", "pacman"}, PackageManager::dpkg, "dpkg"},
        {{"rpm", "pacman"}, PackageManager::rpm, "rpm"},
        {{"pacman"}, PackageManager::pacman, "pacman"},
        {{"dpkg"}, PackageManager::none, ""},
        {{}, PackageManager::none, ""},
    };
    for (const auto& [programs, manager, name] : cases) {
        FakePrograms fakes(true);
        for (const char* program : programs) {
            fakes.add(program, "exit 0");
        }
        EXPECT_EQ(find_package_manager(), manager) << name;
        EXPECT_EQ(manager_name(find_package_manager()), name);
    }
}

TEST(DpkgOwners, AsksEightyPathsPerCall) {
    LinuxTree tree;
    tree.fakes().add_logged("dpkg-query",
                            "shift; for p in \"$@\"; do echo \"owner${p##*/f}: $p\"; done");
    std::vector<std::string> paths;
    for (int i = 0; i < 170; ++i) {
        paths.push_back("/opt/tool/f" + std::to_string(i));
    }
    paths.push_back("/opt/tool/f3");  // asked once only
    paths.push_back("relative/word");
    paths.push_back("");
    auto owners = package_owners(PackageManager::dpkg, paths, limits);
    EXPECT_EQ(owners.size(), 170u);
    EXPECT_EQ(owners["/opt/tool/f0"], "owner0");
    EXPECT_EQ(owners["/opt/tool/f169"], "owner169");
    EXPECT_EQ(tree.call_count("dpkg-query -S"), 3u);
    EXPECT_THAT(tree.fakes().calls(), HasSubstr(" /opt/tool/f79\ndpkg-query -S /opt/tool/f80 "));
    EXPECT_THAT(tree.fakes().calls(), HasSubstr(" /opt/tool/f159\ndpkg-query -S /opt/tool/f160 "));
    EXPECT_THAT(tree.fakes().calls(), ::testing::Not(HasSubstr("relative/word")));
}

TEST(DpkgOwners, MergedUsrPathsAreAskedBothWays) {
    LinuxTree tree;
    tree.fakes().add_logged(
        "dpkg-query",
        "shift; for p in \"$@\"; do case \"$p\" in\n"
        "  /lib/*) echo \"libpkg:amd64, other: $p\";;\n"
        "  /usr/bin/both) echo \"diversion by divert from: $p\"; echo \"real, x: $p\";;\n"
        "  /usr/bin/odd) echo \"notasked: /somewhere/else\"; echo \" spaced ,y: $p\";;\n"
        "  *) echo \"dpkg-query: no path found matching pattern $p\" >&2;; esac; done; exit 1");
    auto owners = package_owners(
        PackageManager::dpkg,
        {"/usr/lib/systemd/system/a.service", "/usr/bin/both", "/usr/bin/odd", "/usr/bin/none"},
        limits);
    EXPECT_THAT(owners, UnorderedElementsAre(Pair("/lib/systemd/system/a.service", "libpkg"),
                                             Pair("/usr/lib/systemd/system/a.service", "libpkg"),
                                             Pair("/usr/bin/both", "real"),
                                             Pair("/usr/bin/odd", "spaced")));
    EXPECT_EQ(tree.fakes().calls(),
              "dpkg-query -S /usr/lib/systemd/system/a.service /lib/systemd/system/a.service "
              "/usr/bin/both /usr/bin/odd /usr/bin/none\n");
}

TEST(RpmOwners, MatchesAnswerLinesToPathsInOrder) {
    LinuxTree tree;
    // printf keeps the arguments as they came (echo would turn "\\n" into a line break).
    tree.fakes().add("rpm", "printf '[%s]' \"$@\" > " +
                                bootsmith::testing::shell_quoted(tree.root() / "rpm-args") +
                                "\necho systemd; echo 'file /opt/x is not owned by any package'; "
                                "echo; echo cronie");
    auto owners = package_owners(
        PackageManager::rpm, {"/usr/lib/systemd/a", "/opt/x", "/opt/y", "/usr/sbin/crond"}, limits);
    EXPECT_THAT(owners, UnorderedElementsAre(Pair("/usr/lib/systemd/a", "systemd"),
                                             Pair("/usr/sbin/crond", "cronie")));
    EXPECT_EQ(bootsmith::testing::read_file(tree.root() / "rpm-args"),
              "[-qf][--qf][%{NAME}\\n][/usr/lib/systemd/a][/opt/x][/opt/y][/usr/sbin/crond]");
}

TEST(PacmanOwners, OneCallPerPath) {
    LinuxTree tree;
    tree.fakes().add_logged("pacman",
                            "case \"$2\" in /usr/bin/a) echo apkg;; /usr/bin/b) echo; ;;"
                            " *) echo 'error: No package owns' >&2; exit 1;; esac");
    auto owners =
        package_owners(PackageManager::pacman, {"/usr/bin/a", "/usr/bin/b", "/usr/bin/c"}, limits);
    EXPECT_THAT(owners, UnorderedElementsAre(Pair("/usr/bin/a", "apkg")));
    EXPECT_EQ(tree.call_count("pacman -Qoq"), 3u);
}

TEST(PackageOwners, NoManagerAsksNothing) {
    LinuxTree tree;
    tree.fakes().add_logged("dpkg-query", "echo 'x: /usr/bin/a'");
    EXPECT_THAT(package_owners(PackageManager::none, {"/usr/bin/a"}, limits), IsEmpty());
    EXPECT_THAT(package_owners(PackageManager::dpkg, {"", "word"}, limits), IsEmpty());
    EXPECT_EQ(tree.fakes().calls(), "");
}

TEST(Priorities, ReadFromDpkgWithEssentialFirst) {
    LinuxTree tree;
    tree.fakes().add_logged("dpkg-query",
                            "printf 'libc6\\trequired\\tyes\\n'\n"
                            "printf 'cron\\timportant\\tno\\n'\n"
                            "printf 'tool\\toptional\\n'\n"
                            "printf 'broken\\n'\n"
                            "printf 'noprio\\t\\t\\n'\n"
                            "echo 'dpkg-query: no packages found matching ghost' >&2; exit 1");
    auto priorities =
        package_priorities(PackageManager::dpkg,
                           {"libc6", "cron", "tool", "broken", "noprio", "ghost", "cron"}, limits);
    EXPECT_THAT(priorities,
                UnorderedElementsAre(Pair("libc6", "essential"), Pair("cron", "important"),
                                     Pair("tool", "optional"), Pair("noprio", "")));
    EXPECT_EQ(
        tree.fakes().calls(),
        "dpkg-query -W -f=${Package}\t${Priority}\t${Essential}\n libc6 cron tool broken noprio "
        "ghost\n");
}

TEST(Priorities, EightyNamesPerCallAndOnlyForDpkg) {
    LinuxTree tree;
    tree.fakes().add_logged("dpkg-query", "exit 0");
    std::vector<std::string> names;
    for (int i = 0; i < 170; ++i) {
        names.push_back("p" + std::to_string(i));
    }
    (void)package_priorities(PackageManager::dpkg, names, limits);
    EXPECT_EQ(tree.call_count("dpkg-query -W"), 3u);
    EXPECT_THAT(tree.fakes().calls(), HasSubstr(" p79\ndpkg-query -W"));
    EXPECT_THAT(package_priorities(PackageManager::rpm, names, limits), IsEmpty());
    EXPECT_EQ(tree.call_count("dpkg-query"), 3u);
}

TEST(Priorities, SystemPriorities) {
    for (const char* priority : {"essential", "required", "important", "standard"}) {
        EXPECT_TRUE(is_system_priority(priority)) << priority;
    }
    for (const char* priority : {"optional", "extra", "", "Required"}) {
        EXPECT_FALSE(is_system_priority(priority)) << priority;
    }
}

}  // namespace
}  // namespace bootsmith::linux_backend
