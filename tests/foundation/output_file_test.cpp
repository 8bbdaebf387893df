#include "foundation/output_file.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "foundation/file_bytes.hpp"
#include "foundation/files.hpp"
#include "support/result_matchers.hpp"
#include "support/temp_dir.hpp"

namespace {

namespace fs = std::filesystem;
using bootsmith::testing::FailsWith;
using bootsmith::testing::IsOk;
using bootsmith::testing::read_file;
using bootsmith::testing::TempDir;
using namespace bootsmith::util;

constexpr unsigned alice = 65534;

unsigned owner_of(const fs::path& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 ? info.st_uid : 4242u;
}

// Root writes a file a user named while it acts for that user (sudo): links
// the user planted in folders they control are never followed, and what is
// written for them is theirs.
TEST(WriteOutputFileForAnAccount, NeverFollowsTheAccountsLinksAndHandsItsFilesToIt) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "acting for another account needs root";
    }
    TempDir dir;
    fs::permissions(dir.path(), fs::perms(0755));
    const fs::path home = dir.path() / "home" / "alice";
    const fs::path system = dir.path() / "etc";
    const fs::path theirs = dir.path() / "srv";
    for (const fs::path& folder : {home, system, theirs}) {
        fs::create_directories(folder);
    }
    ASSERT_EQ(::chown(home.c_str(), alice, alice), 0);
    ASSERT_EQ(::chown(theirs.c_str(), alice, alice), 0);
    const fs::path victim = dir.write("etc/bashrc", "precious");
    dir.write("home/alice/old.json", "old");
    dir.write("etc/target.json", "old");
    fs::create_symlink(victim, home / "b.json");
    fs::create_symlink(system, home / "sub");
    fs::create_symlink(system / "target.json", system / "link.json");
    const ActingAccount account{{alice, alice}, home.string()};

    struct Case {
        const char* what;
        fs::path out;
        bool written;
        unsigned owner;
    };
    const Case cases[] = {
        {"a link planted as the file", home / "b.json", false, 0},
        {"a link planted as a folder", home / "sub" / "y.json", false, 0},
        {"a new file in the home", home / "new.json", true, alice},
        {"a file in the home replaced", home / "old.json", true, alice},
        {"a folder the account owns", theirs / "x.json", true, alice},
        {"a plain path in root's folder", system / "x.json", true, 0},
        {"root's own link", system / "link.json", true, 0},
        {"a device", "/dev/null", true, 0},
    };
    for (const Case& c : cases) {
        auto done = write_output_file(c.out, "backup", 0600, account);
        if (!c.written) {
            EXPECT_THAT(done, FailsWith(refused_link_text())) << c.what;
            continue;
        }
        ASSERT_THAT(done, IsOk()) << c.what;
        const fs::path real = fs::canonical(c.out);
        if (c.out != "/dev/null") {
            EXPECT_EQ(read_file(real), "backup") << c.what;
            EXPECT_EQ(owner_of(real), c.owner) << c.what;
        }
    }
    EXPECT_EQ(read_file(victim), "precious");
    EXPECT_EQ(owner_of(victim), 0u);
    EXPECT_FALSE(fs::exists(system / "y.json")) << "written through the folder link";
    EXPECT_TRUE(fs::is_symlink(home / "b.json"));
    EXPECT_TRUE(fs::is_symlink(system / "link.json"));
}

// Reading a file a user named (a backup to restore, a pack to import) does not
// follow that user's links either: root would show what they cannot read.
TEST(ReadFileBytes, NeverFollowsALinkAnotherAccountCanPlant) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "another account's folder needs root";
    }
    TempDir dir;
    const fs::path secret = dir.write("root/secret.json", "{\"secret\":1}");
    const fs::path home = dir.path() / "home";
    fs::create_directories(home);
    ASSERT_EQ(::chown(home.c_str(), alice, alice), 0);
    fs::create_symlink(secret, home / "pack.json");
    fs::create_symlink(secret.parent_path(), home / "sub");
    fs::create_symlink(secret, dir.path() / "roots-link.json");
    EXPECT_THAT(read_file_bytes(home / "pack.json"), FailsWith(refused_link_text()));
    EXPECT_THAT(read_file_bytes(home / "sub" / "secret.json"), FailsWith(refused_link_text()));
    EXPECT_THAT(read_file_bytes(dir.path() / "roots-link.json"), IsOk());
}

}  // namespace
