#include "foundation/temporaries.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <ctime>
#include <filesystem>
#include <string>

#include "foundation/files.hpp"
#include "support/temp_dir.hpp"

namespace {

namespace fs = std::filesystem;
using bootsmith::testing::TempDir;
using namespace bootsmith::util;

void age(const fs::path& path, long seconds) {
    const timespec then{std::time(nullptr) - seconds, 0};
    const timespec times[2] = {then, then};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << path;
}

// A run killed while writing leaves its temporary file; the next write into
// one of our own folders clears what is stale, and nothing that is not ours.
TEST(StaleTemporaries, OnlyOldRegularFilesOfOursGoWhenWritingIntoOurFolder) {
    enum Kind { file, link, folder };
    struct Case {
        const char* name;
        Kind kind;
        long age_seconds;
        bool kept;
    };
    const Case cases[] = {
        {".bootsmith-41-1234.tmp", file, 2 * 3600, false},
        {".bootsmith-staged-pack-1.json.tmp", file, 2 * 3600, false},
        {".bootsmith-42-99.tmp", file, 60, true},  // a run writing now
        {".bootsmith-43-7.tmp", link, 2 * 3600, true},
        {".bootsmith-44-8.tmp", folder, 2 * 3600, true},
        {"bootsmith-45-9.tmp", file, 2 * 3600, true},
        {".bootsmith-46-1.json", file, 2 * 3600, true},
        {"journal.jsonl", file, 2 * 3600, true},
    };
    for (Sweep sweep : {Sweep::no, Sweep::own_folder}) {
        TempDir dir;
        const fs::path victim = dir.write("elsewhere/victim", "keep");
        for (const Case& c : cases) {
            const fs::path path = dir.path() / c.name;
            if (c.kind == file) {
                dir.write(c.name, "left over");
            } else if (c.kind == link) {
                fs::create_symlink(victim, path);
            } else {
                fs::create_directory(path);
            }
            age(path, c.age_seconds);
        }
        WriteOptions options;
        options.sweep = sweep;
        ASSERT_TRUE(write_file(dir.path() / "settings.json", "{}", options));
        for (const Case& c : cases) {
            const bool kept = sweep == Sweep::no || c.kept;
            EXPECT_EQ(fs::exists(fs::symlink_status(dir.path() / c.name)), kept) << c.name;
        }
        EXPECT_EQ(dir.read("elsewhere/victim"), "keep");
    }
}

}  // namespace
