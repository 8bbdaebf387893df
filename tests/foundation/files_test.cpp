#include "foundation/files.hpp"

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "foundation/output_file.hpp"
#include "support/result_matchers.hpp"
#include "support/temp_dir.hpp"

namespace {

namespace fs = std::filesystem;
using bootsmith::testing::FailsWith;
using bootsmith::testing::IsOk;
using bootsmith::testing::read_file;
using bootsmith::testing::TempDir;
using namespace bootsmith::util;

std::vector<std::string> names_in(const fs::path& folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

unsigned mode_of(const fs::path& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

TEST(SystemErrorText, GivesTheSystemsWords) {
    EXPECT_EQ(system_error_text(ENOENT), "No such file or directory");
    EXPECT_EQ(system_error_text(EACCES), "Permission denied");
}

TEST(WriteFileAtomic, CreatesTheFileWithItsMode) {
    TempDir dir;
    const fs::path target = dir.path() / "bootsmith-x.desktop";
    ASSERT_TRUE(write_file_atomic(target, "[Desktop Entry]\n", 0640));
    EXPECT_EQ(read_file(target), "[Desktop Entry]\n");
    EXPECT_EQ(mode_of(target), 0640u);
    EXPECT_EQ(names_in(dir.path()), std::vector<std::string>{"bootsmith-x.desktop"});
}

TEST(WriteFileAtomic, ReplacesTheWholeFileByRenaming) {
    TempDir dir;
    const fs::path target = dir.write("unit.service", "old content that is rather long\n");
    const fs::path old_link = dir.path() / "old-link";
    fs::create_hard_link(target, old_link);
    ASSERT_TRUE(write_file_atomic(target, "new\n", 0644));
    EXPECT_EQ(read_file(target), "new\n");
    // The old file was never opened for writing: a reader holding it sees it whole.
    EXPECT_EQ(read_file(old_link), "old content that is rather long\n");
    EXPECT_EQ(names_in(dir.path()), (std::vector<std::string>{"old-link", "unit.service"}));
}

TEST(WriteFileAtomic, ReplacesAPlantedLinkInsteadOfWritingThroughIt) {
    TempDir dir;
    const fs::path elsewhere = dir.write("elsewhere", "precious\n");
    const fs::path target = dir.path() / "crontab";
    fs::create_symlink(elsewhere, target);
    ASSERT_TRUE(write_file_atomic(target, "@reboot x\n", 0600));
    EXPECT_FALSE(fs::is_symlink(target));
    EXPECT_EQ(read_file(target), "@reboot x\n");
    EXPECT_EQ(read_file(elsewhere), "precious\n");
}

TEST(WriteFileAtomic, HandsTheFileToTheOwner) {
    TempDir dir;
    const fs::path target = dir.path() / "owned";
    const bool root = ::geteuid() == 0;
    const FileOwner owner{root ? 12345u : ::geteuid(), root ? 23456u : ::getegid()};
    ASSERT_TRUE(write_file_atomic(target, "x", 0644, owner));
    struct stat info {};
    ASSERT_EQ(::stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, owner.uid);
    EXPECT_EQ(info.st_gid, owner.gid);
    EXPECT_EQ(info.st_mode & 07777, 0644u);
}

TEST(WriteFileAtomic, AFolderThatIsAFileFailsWhileWritingTheTemporaryFile) {
    TempDir dir;
    dir.write("plain", "a file, not a folder");
    auto written = write_file_atomic(dir.path() / "plain" / "target", "x", 0644);
    ASSERT_FALSE(written);
    EXPECT_EQ(written.error().step, WriteFailure::Step::write_temp);
    EXPECT_EQ(written.error().error_number, ENOTDIR);
    EXPECT_THAT(written.error().temp_path, ::testing::HasSubstr("/plain/.bootsmith-"));
    EXPECT_EQ(names_in(dir.path()), std::vector<std::string>{"plain"});
    const fs::path target = dir.path() / "plain" / "target";
    EXPECT_THAT(replace_file(target, "x", 0644), FailsWith("Not a directory"));
}

TEST(WriteFileAtomic, AFailedRenameLeavesTheOldAndNoTemporaryFile) {
    TempDir dir;
    dir.write("target/inside", "kept");
    auto written = write_file_atomic(dir.path() / "target", "new", 0644);
    ASSERT_FALSE(written);
    EXPECT_EQ(written.error().step, WriteFailure::Step::replace);
    EXPECT_EQ(written.error().error_number, EISDIR);
    EXPECT_EQ(names_in(dir.path()), std::vector<std::string>{"target"});
    EXPECT_EQ(dir.read("target/inside"), "kept");
}

TEST(WriteFileAtomic, ManyWritersOfOneFileLeaveOneWholeVersion) {
    TempDir dir;
    const fs::path target = dir.path() / "shared";
    std::vector<std::thread> writers;
    std::vector<int> failures(8, 0);
    for (int i = 0; i < 8; ++i) {
        writers.emplace_back([&, i] {
            const std::string content(100000, static_cast<char>('a' + i));
            for (int round = 0; round < 20; ++round) {
                failures[static_cast<std::size_t>(i)] +=
                    write_file_atomic(target, content, 0644) ? 0 : 1;
            }
        });
    }
    for (std::thread& writer : writers) {
        writer.join();
    }
    EXPECT_EQ(failures, std::vector<int>(8, 0));
    const std::string content = read_file(target);
    ASSERT_EQ(content.size(), 100000u);
    EXPECT_EQ(content.find_first_not_of(content[0]), std::string::npos);
    EXPECT_EQ(names_in(dir.path()), std::vector<std::string>{"shared"});
}

TEST(WriteNewFile, WritesOnlyWhereNoFileIs) {
    TempDir dir;
    const fs::path target = dir.path() / "backup.json";
    ASSERT_TRUE(write_new_file(target, "first", 0600));
    EXPECT_EQ(mode_of(target), 0600u);
    auto again = write_new_file(target, "second", 0600);
    ASSERT_FALSE(again);
    EXPECT_EQ(again.error().error_number, EEXIST);
    EXPECT_EQ(read_file(target), "first");
    EXPECT_EQ(names_in(dir.path()), std::vector<std::string>{"backup.json"});
}

TEST(WriteOutputFile, ReplacesFilesKeepsLinksAndWritesIntoPipes) {
    TempDir dir;
    const fs::path plain = dir.write("plain.json", "old");
    ASSERT_TRUE(write_output_file(plain, "new", 0600));
    EXPECT_EQ(read_file(plain), "new");
    EXPECT_EQ(mode_of(plain), 0600u);

    const fs::path link = dir.path() / "link.json";
    fs::create_symlink(plain, link);
    ASSERT_TRUE(write_output_file(link, "through the link", 0600));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(read_file(plain), "through the link");

    const fs::path pipe = dir.path() / "pipe";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    auto nobody_reads = write_output_file(pipe, "x", 0600);
    ASSERT_FALSE(nobody_reads) << "a pipe without a reader must not block";
    EXPECT_EQ(nobody_reads.error(), system_error_text(ENXIO));
    const int reader = ::open(pipe.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(reader, 0);
    EXPECT_TRUE(write_output_file(pipe, "into the pipe", 0600));
    char received[32] = {};
    EXPECT_EQ(::read(reader, received, sizeof received), 13);
    ::close(reader);
    EXPECT_EQ(std::string(received), "into the pipe");
    EXPECT_EQ(fs::status(pipe).type(), fs::file_type::fifo);

    auto missing = write_output_file(dir.path() / "no/such.json", "x", 0600);
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error(), system_error_text(ENOENT));
}

// As in /tmp: a sticky folder everyone may write into, holding a link that
// another account planted to `victim`; the link's path.
fs::path plant_shared_link(const TempDir& dir, const fs::path& victim) {
    const fs::path shared = dir.path() / "shared";
    fs::create_directory(shared);
    fs::permissions(dir.path(), fs::perms(0755));
    fs::permissions(shared, fs::perms(01777));
    const fs::path planted = shared / "out.json";
    pid_t child = ::fork();
    if (child == 0) {
        const bool made = ::setgid(65534) == 0 && ::setuid(65534) == 0 &&
                          ::symlink(victim.c_str(), planted.c_str()) == 0;
        ::_exit(made ? 0 : 1);
    }
    int status = 0;
    EXPECT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    return planted;
}

TEST(WriteOutputFile, ALinkAnotherAccountPlantedInASharedFolderIsNotFollowed) {
    // The link belongs to another account, so root must not let it choose
    // the file replaced or appended to.
    if (::geteuid() != 0) {
        GTEST_SKIP() << "planting a link as another account needs root";
    }
    TempDir dir;
    const fs::path victim = dir.write("victim", "precious");
    const fs::path planted = plant_shared_link(dir, victim);
    auto written = write_output_file(planted, "backup", 0600);
    ASSERT_FALSE(written);
    EXPECT_EQ(written.error(), refused_link_text());
    EXPECT_THAT(append_line(planted, "history"),
                FailsWith("cannot write " + planted.string() + ": " + refused_link_text()));
    EXPECT_EQ(read_file(victim), "precious");
}

TEST(AppendLine, AppendsWholeLinesAndCreatesTheFile) {
    TempDir dir;
    const fs::path journal = dir.path() / "journal.jsonl";
    const mode_t old_mask = ::umask(022);
    bootsmith::Status first = append_line(journal, R"({"seq":1})");
    ::umask(old_mask);
    EXPECT_THAT(first, IsOk());
    EXPECT_THAT(append_line(journal, R"({"seq":2})"), IsOk());
    EXPECT_EQ(read_file(journal), "{\"seq\":1}\n{\"seq\":2}\n");
    EXPECT_EQ(mode_of(journal), 0644u);
}

TEST(WritersTakeAPathThroughDotDot, AsADataFolderSetWithOneMay) {
    TempDir dir;
    fs::create_directory(dir.path() / "a");
    const fs::path through = dir.path() / "a" / ".." / "file";
    EXPECT_TRUE(write_file_atomic(through, "whole", 0600));
    EXPECT_THAT(append_line(through, "line"), IsOk());
    EXPECT_EQ(read_file(dir.path() / "file"), "whole\nline\n");
}

TEST(AppendLine, ALineCutShortDoesNotSwallowTheNextOne) {
    TempDir dir;
    const fs::path journal = dir.write("journal.jsonl", "{\"seq\":1}\n{\"se");
    EXPECT_THAT(append_line(journal, R"({"seq":2})"), IsOk());
    EXPECT_EQ(read_file(journal), "{\"seq\":1}\n{\"se\n{\"seq\":2}\n");
}

TEST(AppendLine, LinesFromManyThreadsNeverInterleave) {
    TempDir dir;
    const fs::path journal = dir.path() / "journal.jsonl";
    std::vector<std::thread> writers;
    for (int i = 0; i < 4; ++i) {
        writers.emplace_back([&, i] {
            const std::string line(5000, static_cast<char>('a' + i));
            for (int round = 0; round < 50; ++round) {
                (void)append_line(journal, line);
            }
        });
    }
    for (std::thread& writer : writers) {
        writer.join();
    }
    const std::string content = read_file(journal);
    ASSERT_EQ(content.size(), 4u * 50u * 5001u);
    for (std::size_t start = 0; start < content.size(); start += 5001) {
        const std::string_view line = std::string_view(content).substr(start, 5001);
        EXPECT_EQ(line.find_first_not_of(line[0]), 5000u);
        EXPECT_EQ(line.back(), '\n');
    }
}

TEST(AppendLine, ReportsWhyItCouldNotWrite) {
    TempDir dir;
    dir.write("plain", "x");
    const fs::path journal = dir.path() / "plain" / "journal.jsonl";
    EXPECT_THAT(append_line(journal, "x"),
                FailsWith("cannot write " + journal.string() + ": Not a directory"));
    // Opened, but the write fails: only the system's reason.
    if (fs::exists("/dev/full")) {
        EXPECT_THAT(append_line("/dev/full", "x"), FailsWith("No space left on device"));
    }
}

TEST(CreateFolders, CreatesEveryMissingLevel) {
    TempDir dir;
    const fs::path deep = dir.path() / "a" / "b" / "c";
    EXPECT_THAT(create_folders(deep), IsOk());
    EXPECT_TRUE(fs::is_directory(deep));
    EXPECT_THAT(create_folders(deep), IsOk());  // already there
}

TEST(CreateFolders, ReportsWhyItCouldNotCreate) {
    TempDir dir;
    dir.write("plain", "x");
    const fs::path below = dir.path() / "plain" / "sub";
    EXPECT_THAT(create_folders(below),
                FailsWith("cannot create " + below.string() + ": Not a directory"));
}

}  // namespace
