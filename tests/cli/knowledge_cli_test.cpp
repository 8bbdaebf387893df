// The knowledge command: its status block and usage checks as functions, and
// the built program run with --demo.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

#include "cli/knowledge_command.hpp"
#include "cli_fixture.hpp"
#include "engine/data_folders.hpp"
#include "knowledge/store.hpp"
#include "platform/demo/demo_platform.hpp"
#include "support/fake_programs.hpp"
#include "support/scoped_env.hpp"

namespace bootsmith::testing {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

TEST(KnowledgeStatusText, NothingInstalledAndNeverChecked) {
    json::JsonValue record = json::JsonValue::object()
                                 .with_str("builtin_version", "2026.10.13.1")
                                 .with_u64("builtin_rules", 501)
                                 .with_str("pack_version", "")
                                 .with_u64("local_rules", 0)
                                 .with_bool("auto_check", false)
                                 .with_str("url", "https://h/bootsmith/knowledge.json")
                                 .with_str("last_check", "")
                                 .with(std::string_view("notes"), json::JsonValue::array());
    EXPECT_EQ(cli::knowledge_status_text(record),
              "Built-in knowledge:  2026.10.13.1 (501 rules)\n"
              "Installed update:    none\n"
              "Your own rules:      0\n"
              "Update address:      https://h/bootsmith/knowledge.json\n"
              "Check at start-up:   no (only when you ask)\n"
              "Last checked:        never\n");
}

TEST(KnowledgeStatusText, InstalledCheckedAndNoted) {
    json::JsonValue record =
        json::JsonValue::object()
            .with_str("builtin_version", "2026.10.13.1")
            .with_u64("builtin_rules", 501)
            .with_str("pack_version", "2027.1")
            .with_str("pack_published", "2027-01-02")
            .with_str("pack_description", "Newer rules")
            .with_u64("local_rules", 3)
            .with_bool("auto_check", true)
            .with_str("url", "https://u")
            .with_str("last_check", "2027-01-03 04:05:06")
            .with_str("last_result", "Failed: Updates are only fetched over https.")
            .with_str_list("notes", {"Knowledge file a.json was ignored: x", "second note"});
    EXPECT_THAT(lines_of(cli::knowledge_status_text(record)),
                ElementsAre("Built-in knowledge:  2026.10.13.1 (501 rules)",
                            "Installed update:    2027.1 (published 2027-01-02) Newer rules",
                            "Your own rules:      3", "Update address:      https://u",
                            "Check at start-up:   yes",
                            "Last checked:        2027-01-03 04:05:06 - Failed: Updates are only "
                            "fetched over https.",
                            "Knowledge file a.json was ignored: x", "second note"));
}

struct UsageCase {
    std::vector<std::string> words;
    int status;  ///< -1: no usage error
    const char* message;
};

class KnowledgeUsage : public ::testing::TestWithParam<UsageCase> {};

TEST_P(KnowledgeUsage, IsDecidedBeforeAnythingIsRead) {
    std::ostringstream err;
    auto status = cli::knowledge_usage_error(cli::parse_args(GetParam().words), err);
    EXPECT_EQ(status.value_or(-1), GetParam().status);
    EXPECT_EQ(err.str(), GetParam().message);
}

const char* const try_line =
    "Try: bootsmith knowledge status | update | import FILE | rollback | export\n";

INSTANTIATE_TEST_SUITE_P(
    Words, KnowledgeUsage,
    ::testing::Values(
        UsageCase{{"knowledge"}, -1, ""}, UsageCase{{"knowledge", "status"}, -1, ""},
        UsageCase{{"knowledge", "update", "--url", "https://x"}, -1, ""},
        UsageCase{{"knowledge", "rollback"}, -1, ""}, UsageCase{{"knowledge", "export"}, -1, ""},
        UsageCase{{"knowledge", "import", "pack.json"}, -1, ""},
        UsageCase{{"knowledge", "import"}, 2, "Which file? bootsmith knowledge import FILE\n"},
        UsageCase{
            {"knowledge", "import", "--demo"}, 2, "Which file? bootsmith knowledge import FILE\n"},
        UsageCase{{"knowledge", "Status"}, 2, try_line},
        UsageCase{{"knowledge", "install", "x"}, 2, try_line}));

const std::string pack_2027 =
    R"({"format":"bootsmith-knowledge","schema":1,"version":"2027.1","published":"2027-02-03",)"
    R"("rules":{"linux":[{"match":"x","level":"low","effect":"y"}]}})";

class KnowledgeCli : public CliTest {
  protected:
    /// Runs the knowledge command in this process on the demonstration, whose
    /// data folder ($ProgramData/Bootsmith: it runs as administrator on
    /// "windows") outlives the command, unlike a demonstration run's own
    /// folder; returns its exit status.
    int in_process(const std::vector<std::string>& words) {
        engine::Engine context(std::make_unique<demo::DemoPlatform>());
        knowledge::load_store(engine::knowledge_folders(context.system()));
        cli::ParsedArgs args = cli::parse_args(words);
        std::ostringstream out;
        std::ostringstream err;
        cli::Invocation inv{args, context, out, err};
        return cli::run_knowledge(inv);
    }
    /// A file of that data folder's "knowledge" folder ("" when missing).
    [[nodiscard]] std::string knowledge_file(const fs::path& relative) const {
        return read_file(data.path() / "Bootsmith" / "knowledge" / relative);
    }

    TempDir data;
    ScopedEnv program_data{"ProgramData", data.path().string()};
};

TEST_F(KnowledgeCli, StatusIsTheDefault) {
    Outcome plain = demo({"knowledge"});
    Outcome status = demo({"knowledge", "status"});
    EXPECT_EQ(plain.status, 0);
    EXPECT_EQ(plain.out, status.out);
    EXPECT_THAT(
        lines_of(plain.out),
        ElementsAre("Built-in knowledge:  2026.10.13.1 (501 rules)", "Installed update:    none",
                    "Your own rules:      0",
                    ::testing::StartsWith("Update address:      https://"),
                    "Check at start-up:   no (only when you ask)", "Last checked:        never"));
}

TEST_F(KnowledgeCli, ExportPrintsTheBuiltInPackByteForByte) {
    Outcome outcome = demo({"knowledge", "export"});
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.out, read_file(fs::path(source_dir()) / "data" / "knowledge.json") + "\n");
}

TEST_F(KnowledgeCli, UsageErrors) {
    Outcome missing = demo({"knowledge", "import"});
    EXPECT_EQ(missing.status, 2);
    EXPECT_EQ(missing.err, "Which file? bootsmith knowledge import FILE\n");
    Outcome unknown = demo({"knowledge", "frob"});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_EQ(unknown.err, try_line);
    EXPECT_EQ(unknown.out, "");
}

TEST_F(KnowledgeCli, ImportReadsTheFile) {
    Outcome unreadable = demo({"knowledge", "import", (tmp.path() / "nope.json").string()});
    EXPECT_EQ(unreadable.status, 1);
    EXPECT_EQ(unreadable.err, "Cannot read " + (tmp.path() / "nope.json").string() + "\n");

    TempDir files;
    fs::path file = files.write("pack.json", pack_2027);
    Outcome imported = demo({"knowledge", "import", file.string()});
    EXPECT_EQ(imported.status, 0) << imported.err;
    EXPECT_EQ(imported.out, "Installed knowledge 2027.1 (published 2027-02-03).\n");
    EXPECT_EQ(in_process({"knowledge", "import", file.string()}), 0);
    EXPECT_EQ(knowledge_file("pack-2027.1.json"), pack_2027);

    fs::path bad = files.write("bad.json", R"({"format":"bootsmith-knowledge"})");
    Outcome refused = demo({"knowledge", "import", bad.string()});
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.err, "The pack has no format number.\n");
}

TEST_F(KnowledgeCli, RollbackWithNothingEarlier) {
    Outcome outcome = demo({"knowledge", "rollback"});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.err,
              "There is no earlier knowledge to go back to; the built-in knowledge is already in "
              "use.\n");
}

TEST_F(KnowledgeCli, UpdateAnnouncesTheAddressAndReportsTheOutcome) {
    Outcome refused = demo({"knowledge", "update", "--url", "http://plain.test/k.json"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.out, "Looking for a knowledge update at http://plain.test/k.json ...\n");
    EXPECT_EQ(refused.err, "Updates are only fetched over https.\n");

    FakePrograms fakes;
    TempDir site;
    site.write("k.json", pack_2027);
    fakes.add("curl", "for last; do :; done\ncase \"$last\" in *.sha256) exit 22;; esac\ncat '" +
                          (site.path() / "k.json").string() + "'");
    Outcome updated = demo({"knowledge", "update", "--url", "https://fake.test/k.json"});
    EXPECT_EQ(updated.status, 0) << updated.err;
    EXPECT_EQ(updated.out,
              "Looking for a knowledge update at https://fake.test/k.json ...\n"
              "Updated the knowledge from 2026.10.13.1 to 2027.1 (2027-02-03). No checksum was "
              "published beside it, so it was checked for form only.\n");
    EXPECT_EQ(in_process({"knowledge", "update", "--url", "https://fake.test/k.json"}), 0);
    EXPECT_THAT(knowledge_file("settings.json"),
                HasSubstr(R"("last_result":"Updated the knowledge from)"));
}

TEST_F(KnowledgeCli, UpdateWithoutUrlUsesTheConfiguredAddress) {
    FakePrograms fakes(true);
    Outcome outcome = demo({"knowledge", "update"});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_THAT(outcome.out,
                ::testing::MatchesRegex("Looking for a knowledge update at https://.*/bootsmith/"
                                        "knowledge\\.json \\.\\.\\.\n"));
    EXPECT_EQ(outcome.err, "Neither curl nor wget is available to download with.\n");
}

}  // namespace
}  // namespace bootsmith::testing
