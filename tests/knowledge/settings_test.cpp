#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "foundation/json.hpp"
#include "knowledge/pack_text.hpp"
#include "knowledge/store.hpp"
#include "support/result_matchers.hpp"
#include "support/temp_dir.hpp"

namespace bootsmith::knowledge {
namespace {

namespace fs = std::filesystem;
using testing::FailsWith;
using testing::IsOk;
using testing::TempDir;

class Settings : public ::testing::Test {
  protected:
    TempDir dir;
    fs::path first = dir.path() / "user" / "knowledge";
    fs::path second = dir.path() / "machine" / "knowledge";
    std::vector<fs::path> folders{first, second};
};

TEST(DefaultUpdateUrl, IsHttpsAndEndsInTheKnowledgeFile) {
    std::string url = default_update_url();
    EXPECT_TRUE(url.starts_with("https://")) << url;
    EXPECT_TRUE(url.ends_with("/bootsmith/knowledge.json")) << url;
}

struct ReadCase {
    const char* name;
    const char* first;   ///< settings.json of the first folder (nullptr: none)
    const char* second;  ///< of the second folder
    bool auto_check;
    const char* url;  ///< "" means the default address
    const char* last_check;
    const char* last_result;
};

void PrintTo(const ReadCase& c, std::ostream* os) {
    *os << c.name;
}

class ReadSettings : public Settings, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(ReadSettings, FallsBackMemberByMember) {
    const ReadCase& c = GetParam();
    if (c.first) {
        testing::write_file(first / "settings.json", c.first);
    }
    if (c.second) {
        testing::write_file(second / "settings.json", c.second);
    }
    KnowledgeSettings settings = read_settings(folders);
    EXPECT_EQ(settings.auto_check, c.auto_check);
    EXPECT_EQ(settings.url, *c.url ? std::string(c.url) : default_update_url());
    EXPECT_EQ(settings.last_check, c.last_check);
    EXPECT_EQ(settings.last_result, c.last_result);
}

INSTANTIATE_TEST_SUITE_P(
    Files, ReadSettings,
    ::testing::Values(
        ReadCase{"none", nullptr, nullptr, false, "", "", ""},
        ReadCase{"auto_check_only", R"({"auto_check":true})", nullptr, true, "", "", ""},
        ReadCase{
            "all_members",
            R"({"auto_check":true,"url":"https://h/k.json","last_check":"2026-10-13 08:05:09","last_result":"ok"})",
            nullptr, true, "https://h/k.json", "2026-10-13 08:05:09", "ok"},
        ReadCase{"wrong_types", R"({"auto_check":"yes","url":5,"last_check":1,"last_result":[]})",
                 R"({"auto_check":true})", false, "", "", ""},
        ReadCase{"empty_url_keeps_default", R"({"url":""})", nullptr, false, "", "", ""},
        ReadCase{"not_an_object_still_stops", "[1,2]", R"({"auto_check":true})", false, "", "", ""},
        ReadCase{"unparsable_falls_to_next", "{", R"({"auto_check":true,"url":"https://m/x"})",
                 true, "https://m/x", "", ""},
        ReadCase{"only_second", nullptr, R"({"last_result":"Failed: x"})", false, "", "",
                 "Failed: x"},
        ReadCase{"first_member_of_duplicates", R"({"url":"https://a","url":"https://b"})", nullptr,
                 false, "https://a", "", ""},
        ReadCase{"byte_order_mark", "\xEF\xBB\xBF{\"auto_check\":true}", nullptr, true, "", "",
                 ""}),
    [](const auto& test) { return std::string(test.param.name); });

TEST_F(Settings, WriteCreatesTheFolderAndWritesMembersInOrder) {
    KnowledgeSettings settings{true, "https://example.test/bootsmith/knowledge.json",
                               "2026-10-13 08:05:09", "Said \"hi\" \u2026"};
    ASSERT_THAT(write_settings(first, settings), IsOk());
    std::string text = testing::read_file(first / "settings.json");
    EXPECT_EQ(text, R"({"auto_check":true,"url":"https://example.test/bootsmith/knowledge.json",)"
                    R"("last_check":"2026-10-13 08:05:09","last_result":"Said \"hi\" )"
                    "\u2026\"}");
    ASSERT_THAT(write_settings(first, settings), IsOk());
    EXPECT_EQ(testing::read_file(first / "settings.json"), text);
    KnowledgeSettings back = read_settings(folders);
    EXPECT_EQ(back.auto_check, settings.auto_check);
    EXPECT_EQ(back.url, settings.url);
    EXPECT_EQ(back.last_check, settings.last_check);
    EXPECT_EQ(back.last_result, settings.last_result);
}

TEST_F(Settings, WriteReplacesTheWholeFileAndLeavesNoTemporaryFile) {
    testing::write_file(first / "settings.json", R"({"extra":1,"auto_check":true})");
    ASSERT_THAT(write_settings(first, KnowledgeSettings{false, "https://x", "", ""}), IsOk());
    EXPECT_EQ(testing::read_file(first / "settings.json"),
              R"({"auto_check":false,"url":"https://x","last_check":"","last_result":""})");
    std::size_t files = 0;
    for (const auto& entry : fs::directory_iterator(first)) {
        (void)entry;
        ++files;
    }
    EXPECT_EQ(files, 1u);
}

TEST_F(Settings, WriteFailsWhenTheFolderCannotBeMade) {
    testing::write_file(dir.path() / "blocker", "a file where a folder should be");
    fs::path folder = dir.path() / "blocker" / "knowledge";
    Status result = write_settings(folder, KnowledgeSettings{});
    ASSERT_FALSE(result.has_value());
    EXPECT_THAT(result.error(), ::testing::StartsWith("cannot create " + folder.string() + ": "));
}

TEST_F(Settings, AFailedWriteGivesTheSystemsReason) {
    fs::path folder = dir.path() / "knowledge";
    fs::create_directories(folder / "settings.json" / "in-the-way");
    EXPECT_THAT(write_settings(folder, KnowledgeSettings{}), FailsWith("Is a directory"));
}

TEST(StatusRecord, HoldsEveryMemberInOrder) {
    KnowledgeStore store;
    store.builtin_version = "2026.10.13.1";
    store.builtin_rules = 501;
    store.pack = InstalledPack{"2027.1", "2027-01-02", "Newer"};
    store.local_rules = 2;
    store.notes = {"Knowledge file x.json was ignored: y"};
    KnowledgeSettings settings{true, "https://u", "2026-10-13 08:05:09", "ok"};
    json::JsonValue record = status_record(store, settings, "/data/knowledge");
    EXPECT_EQ(json::to_text(record),
              R"({"builtin_version":"2026.10.13.1","builtin_rules":501,"pack_version":"2027.1",)"
              R"("pack_published":"2027-01-02","pack_description":"Newer","local_rules":2,)"
              R"("auto_check":true,"url":"https://u","last_check":"2026-10-13 08:05:09",)"
              R"("last_result":"ok","notes":["Knowledge file x.json was ignored: y"],)"
              R"("folder":"/data/knowledge"})");
    store.pack.reset();
    record = status_record(store, KnowledgeSettings{}, "");
    EXPECT_EQ(record.get_str("pack_version"), "");
    EXPECT_EQ(record.get_str("pack_published"), "");
    EXPECT_EQ(record.get_str("pack_description"), "");
}

}  // namespace
}  // namespace bootsmith::knowledge
