#include "platform/linux/os/safe_files.hpp"
#include "platform/linux/change_tree.hpp"
#include "platform/linux/os/file_paths.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <cerrno>

#include "support/result_matchers.hpp"

namespace bootsmith::linux_backend {
namespace {

using bootsmith::testing::as_nobody;
using bootsmith::testing::ChangeTree;
using bootsmith::testing::facts_of;
using bootsmith::testing::FailsWith;
using bootsmith::testing::IsOk;
using ::testing::MatchesRegex;

Status as_status(const FileResult<void>& done) {
    if (!done) {
        return fail(describe(done.error()));
    }
    return {};
}

TEST(FileFailures, PermissionProblemsAskForAdministratorRights) {
    struct Case {
        int error_number;
        const char* text;
    };
    const Case cases[] = {
        {EACCES, "ADMIN: Permission was refused to write /etc/x."},
        {EPERM, "ADMIN: Permission was refused to write /etc/x."},
        {ENOENT, "Could not write /etc/x: No such file or directory"},
        {EROFS, "Could not write /etc/x: Read-only file system"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(describe({"write /etc/x", c.error_number}), c.text);
    }
}

TEST(FilePaths, ComparedComponentByComponent) {
    struct Case {
        const char* path;
        const char* folder;
        bool inside;
    };
    const Case cases[] = {
        {"/home/alice/.config/x", "/home/alice", true},
        {"/home/alice", "/home/alice/", true},
        {"//home//alice/./x", "/home/alice", true},
        {"/home/alice2/x", "/home/alice", false},
        {"/home", "/home/alice", false},
        {"/etc/x", "/home/alice", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(is_inside(c.path, c.folder), c.inside) << c.path << " in " << c.folder;
    }
    EXPECT_EQ(parent_of("/a/b/c"), "/a/b");
    EXPECT_EQ(parent_of("/c"), "/");
    EXPECT_EQ(parent_of("c"), "");
}

class SafeFilesTest : public ::testing::Test {
  protected:
    Result<FileText> read(bool via_root, std::string_view path) {
        auto options = changes.options(via_root);
        LinuxPlatform platform(options);
        auto user = user_context(options, platform.system_info());
        return SafeFiles(options.roots, user).read_for_rewrite(path);
    }
    Status write(bool via_root, std::string_view path, std::string_view text,
                 unsigned mode = 0644) {
        auto options = changes.options(via_root);
        LinuxPlatform platform(options);
        auto user = user_context(options, platform.system_info());
        return SafeFiles(options.roots, user).write(path, text, mode);
    }
    // Only the named file may be in the folder: no temporary file left behind.
    void expect_alone(std::string_view folder, std::string_view name) {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(changes.at(folder))) {
            names.push_back(entry.path().filename().string());
        }
        EXPECT_THAT(names, ::testing::ElementsAre(std::string(name)));
    }

    ChangeTree changes;
};

TEST_F(SafeFilesTest, WritesCreateFoldersAndReplaceWhole) {
    const std::string path = "/home/alice/.config/autostart/x.desktop";
    ASSERT_THAT(write(false, path, "one\n"), IsOk());
    EXPECT_EQ(changes.file(path), "one\n");
    EXPECT_EQ(facts_of(changes.at(path)).mode, 0644u);
    ASSERT_THAT(write(false, path, "two\n", 0600), IsOk());
    EXPECT_EQ(changes.file(path), "two\n");
    EXPECT_EQ(facts_of(changes.at(path)).mode, 0600u);
    expect_alone("/home/alice/.config/autostart", "x.desktop");
    // Acting as alice herself, nothing is handed over: the test runs as root.
    EXPECT_EQ(facts_of(changes.at(path)).uid, 0u);
}

TEST_F(SafeFilesTest, RootActingForTheUserHandsNewFoldersAndFilesToThem) {
    const std::string path = "/home/alice/.config/autostart/x.desktop";
    ASSERT_THAT(write(true, path, "x\n"), IsOk());
    for (const char* level :
         {"/home/alice/.config", "/home/alice/.config/autostart", path.c_str()}) {
        EXPECT_EQ(facts_of(changes.at(level)).uid, 1000u) << level;
        EXPECT_EQ(facts_of(changes.at(level)).gid, 1000u) << level;
    }
    EXPECT_EQ(facts_of(changes.at(path)).mode, 0644u);
    // Outside the home nothing is handed over.
    ASSERT_THAT(write(true, "/etc/cron.d/job", "x\n"), IsOk());
    EXPECT_EQ(facts_of(changes.at("/etc/cron.d")).uid, 0u);
    EXPECT_EQ(facts_of(changes.at("/etc/cron.d/job")).uid, 0u);
}

TEST_F(SafeFilesTest, APlantedLinkAtTheFileIsReplacedNotFollowed) {
    changes.tree.write("/outside/victim", "secret\n");
    changes.tree.link("/home/alice/.config/autostart/x.desktop",
                      (changes.at("/outside/victim")).string());
    EXPECT_THAT(read(true, "/home/alice/.config/autostart/x.desktop"),
                FailsWith("Could not read /home/alice/.config/autostart/x.desktop: Too many "
                          "levels of symbolic links"));
    ASSERT_THAT(write(true, "/home/alice/.config/autostart/x.desktop", "mine\n"), IsOk());
    EXPECT_EQ(changes.file("/outside/victim"), "secret\n");
    EXPECT_EQ(facts_of(changes.at("/outside/victim")).uid, 0u);
    EXPECT_EQ(changes.file("/home/alice/.config/autostart/x.desktop"), "mine\n");
    EXPECT_TRUE(std::filesystem::is_regular_file(
        std::filesystem::symlink_status(changes.at("/home/alice/.config/autostart/x.desktop"))));
}

TEST_F(SafeFilesTest, APlantedLinkAsAFolderInsideTheHomeIsNotFollowed) {
    changes.tree.make_folder("/outside/dir");
    changes.tree.link("/home/alice/.config", changes.at("/outside/dir").string());
    EXPECT_THAT(write(true, "/home/alice/.config/autostart/x.desktop", "x\n"),
                FailsWith("Could not create /home/alice/.config/autostart: Not a directory"));
    EXPECT_FALSE(changes.exists("/outside/dir/autostart"));
    EXPECT_EQ(facts_of(changes.at("/outside/dir")).uid, 0u);
    // The user's own links are followed when Bootsmith runs as the user.
    EXPECT_THAT(write(false, "/home/alice/.config/autostart/x.desktop", "x\n"), IsOk());
    EXPECT_EQ(changes.file("/outside/dir/autostart/x.desktop"), "x\n");
}

TEST_F(SafeFilesTest, ReadingForRewritingRefusesWhatItCannotKeep) {
    changes.tree.write("/etc/cron.d/latin", "@reboot caf\xe9\n");
    EXPECT_THAT(read(false, "/etc/cron.d/latin"),
                FailsWith("/etc/cron.d/latin is not UTF-8 text, so Bootsmith will not rewrite it. "
                          "Edit it by hand."));
    EXPECT_THAT(read(false, "/etc/cron.d/none"),
                FailsWith("Could not read /etc/cron.d/none: No such file or directory"));
    changes.tree.make_folder("/etc/cron.d/folder");
    EXPECT_THAT(read(false, "/etc/cron.d/folder"),
                FailsWith("Could not read /etc/cron.d/folder: Is a directory"));
    changes.tree.write("/etc/cron.d/job", "caf\xc3\xa9\n");
    changes.tree.set_mode("/etc/cron.d/job", 0600);
    auto text = read(false, "/etc/cron.d/job");
    ASSERT_THAT(text, IsOk());
    EXPECT_EQ(text->text, "caf\xc3\xa9\n");
    EXPECT_EQ(text->mode, 0600u);
}

TEST_F(SafeFilesTest, AWriteThatFailsHalfWayLeavesTheOldFileAndNoTemporaryFile) {
    changes.tree.write("/etc/cron.d/job", "old\n");
    // A file-size limit holds for root too: the temporary file cannot be filled.
    struct rlimit old_limit {};
    ::getrlimit(RLIMIT_FSIZE, &old_limit);
    auto old_handler = ::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old_limit;
    small.rlim_cur = 4;
    ::setrlimit(RLIMIT_FSIZE, &small);
    auto written = write(false, "/etc/cron.d/job", "a much longer new text\n");
    ::setrlimit(RLIMIT_FSIZE, &old_limit);
    ::signal(SIGXFSZ, old_handler);
    ASSERT_FALSE(written);
    EXPECT_THAT(written.error(),
                MatchesRegex("Could not write /etc/cron\\.d/\\.bootsmith-[0-9]+-[0-9]+\\.tmp: "
                             "File too large"));
    EXPECT_EQ(changes.file("/etc/cron.d/job"), "old\n");
    expect_alone("/etc/cron.d", "job");
}

TEST_F(SafeFilesTest, AFailedReplaceLeavesNoTemporaryFile) {
    changes.tree.write("/etc/cron.d/job/inside", "x\n");
    EXPECT_THAT(write(false, "/etc/cron.d/job", "new\n"),
                FailsWith("Could not replace /etc/cron.d/job: Is a directory"));
    expect_alone("/etc/cron.d", "job");
    changes.tree.write("/etc/file", "x\n");
    EXPECT_THAT(write(false, "/etc/file/job", "new\n"),
                FailsWith("Could not create /etc/file: Not a directory"));
}

TEST_F(SafeFilesTest, ARefusedPermissionIsAnAdministratorMessage) {
    changes.tree.make_folder("/etc/cron.d");
    std::filesystem::permissions(changes.tree.root(), std::filesystem::perms(0755));
    std::string message = as_nobody([&] {
        auto written = write(false, "/etc/cron.d/job", "x\n");
        return written ? std::string("written") : written.error();
    });
    EXPECT_THAT(message, MatchesRegex("ADMIN: Permission was refused to write "
                                      "/etc/cron\\.d/\\.bootsmith-[0-9]+-[0-9]+\\.tmp\\."));
    EXPECT_FALSE(changes.exists("/etc/cron.d/job"));
}

TEST_F(SafeFilesTest, AFailedHandOverDoesNotStopTheWrite) {
    // Without the right to change owners (as on a FAT home), handing the file
    // to alice fails; the file is written all the same.
    changes.tree.make_folder("/home/alice/.config/autostart");
    std::filesystem::permissions(changes.tree.root(), std::filesystem::perms(0777));
    for (const char* level :
         {"/home", "/home/alice", "/home/alice/.config", "/home/alice/.config/autostart"}) {
        std::filesystem::permissions(changes.at(level), std::filesystem::perms(0777));
    }
    auto options = changes.options(true);
    LinuxPlatform platform(options);
    // SafeFiles keeps references, so the user record must outlive it.
    const auto user = user_context(options, platform.system_info());
    SafeFiles files(options.roots, user);
    const std::string path = "/home/alice/.config/autostart/x.desktop";
    std::string message = as_nobody([&] {
        auto written = files.write(path, "x\n", 0644);
        return written ? std::string("written") : written.error();
    });
    EXPECT_EQ(message, "written");
    EXPECT_EQ(changes.file(path), "x\n");
    EXPECT_EQ(facts_of(changes.at(path)).uid, 65534u) << "alice cannot be given the file";
    EXPECT_EQ(facts_of(changes.at(path)).mode, 0644u);
    expect_alone("/home/alice/.config/autostart", "x.desktop");
}

TEST_F(SafeFilesTest, LinksAreMadeReplacedAndDeletedThemselves) {
    auto options = changes.options(true);
    LinuxPlatform platform(options);
    auto user = user_context(options, platform.system_info());
    SafeFiles files(options.roots, user);
    const std::string link = "/home/alice/.config/systemd/user/default.target.wants/a.service";
    ASSERT_THAT(as_status(files.link(link, "/elsewhere/a.service")), IsOk());
    ASSERT_THAT(as_status(files.link(link, "/home/alice/a.service")), IsOk());
    EXPECT_EQ(std::filesystem::read_symlink(changes.at(link)).string(), "/home/alice/a.service");
    EXPECT_EQ(facts_of(changes.at(link)).uid, 1000u);
    EXPECT_EQ(facts_of(changes.at("/home/alice/.config/systemd")).uid, 1000u);
    EXPECT_TRUE(files.exists(link));  // dangling, but there

    changes.tree.write("/home/alice/real", "x\n");
    EXPECT_THAT(as_status(files.link("/home/alice/real", "/x")),
                FailsWith("Could not link /home/alice/real: File exists"));

    changes.tree.write("/outside/target", "keep\n");
    changes.tree.link("/home/alice/pointer", changes.at("/outside/target").string());
    ASSERT_THAT(as_status(files.remove("/home/alice/pointer", "delete it")), IsOk());
    EXPECT_FALSE(changes.exists("/home/alice/pointer"));
    EXPECT_EQ(changes.file("/outside/target"), "keep\n");
}

}  // namespace
}  // namespace bootsmith::linux_backend
