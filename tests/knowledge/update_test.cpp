// update_knowledge with a fake curl that serves files from a temporary folder.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "foundation/sha256.hpp"
#include "knowledge/outcome_printer.hpp"
#include "knowledge/pack_text.hpp"
#include "knowledge/store.hpp"
#include "knowledge/updates.hpp"
#include "support/fake_programs.hpp"
#include "support/temp_dir.hpp"

namespace bootsmith::knowledge {
namespace {

namespace fs = std::filesystem;
using testing::FakePrograms;
using ::testing::MatchesRegex;
using testing::TempDir;

const std::string address = "https://fake.test/bootsmith/knowledge.json";
const char* const checked_for_form =
    "No checksum was published beside it, so it was checked for form only.";

class Update : public ::testing::Test {
  protected:
    TempDir dir;
    FakePrograms fakes;
    fs::path served = dir.path() / "served";
    fs::path folder = dir.path() / "data" / "knowledge";
    std::vector<fs::path> folders{folder};
    std::string builtin_version;

    void SetUp() override {
        // Answers like a web server: the file named by the address, or "not found".
        fakes.add_logged("curl", "for last; do :; done\nf=\"" + served.string() +
                                     "/${last#https://fake.test/}\"\n"
                                     "[ -f \"$f\" ] || exit 22\ncat \"$f\"");
        fs::create_directories(served);
        load_store(folders);
        builtin_version = current_store()->builtin_version;
    }

    void publish(std::string_view text) {
        testing::write_file(served / "bootsmith/knowledge.json", text);
    }
    void publish_checksum(std::string_view text) {
        testing::write_file(served / "bootsmith/knowledge.json.sha256", text);
    }
    KnowledgeSettings settings() const { return read_settings(folders); }
    bool installed(std::string_view version) const {
        return fs::exists(folder / ("pack-" + std::string(version) + ".json"));
    }
    std::string updated_to(std::string_view version, std::string_view note) const {
        return "Updated the knowledge from " + builtin_version + " to " + std::string(version) +
               " (2027-02-03). " + std::string(note);
    }
};

TEST_F(Update, WithoutChecksumItIsCheckedForFormOnly) {
    std::string pack = testing::small_pack_text("2027.1.1");
    publish(pack);
    UpdateOutcome outcome = update_knowledge(address, folders);
    EXPECT_EQ(outcome, (UpdateOutcome{false, updated_to("2027.1.1", checked_for_form)}));
    EXPECT_EQ(testing::read_file(folder / "pack-2027.1.1.json"), pack);
    EXPECT_EQ(current_store()->pack->version, "2027.1.1");
    KnowledgeSettings recorded = settings();
    EXPECT_EQ(recorded.last_result, outcome.message);
    EXPECT_THAT(recorded.last_check,
                MatchesRegex("[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}"));
    EXPECT_THAT(fakes.calls(), ::testing::HasSubstr(address + ".sha256\n"));
}

struct ChecksumCase {
    const char* name;
    std::string checksum;  ///< the .sha256 file; "@" stands for the pack's digest
    bool with_bom;         ///< the served pack starts with a byte-order mark
    const char* note;
};

void PrintTo(const ChecksumCase& c, std::ostream* os) {
    *os << c.name;
}

class Checksum : public Update, public ::testing::WithParamInterface<ChecksumCase> {};

TEST_P(Checksum, DecidesTheNote) {
    const ChecksumCase& c = GetParam();
    std::string pack = testing::small_pack_text("2027.2");
    std::string served_text = c.with_bom ? "\xEF\xBB\xBF" + pack : pack;
    publish(served_text);
    std::string digest = util::sha256_hex(served_text);
    std::string checksum = c.checksum;
    if (auto at = checksum.find('@'); at != std::string::npos) {
        checksum.replace(at, 1, digest);
    }
    if (checksum == "UPPER") {
        checksum = digest;
        for (char& ch : checksum) {
            ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
        }
        checksum += "  knowledge.json\n";
    }
    publish_checksum(checksum);
    EXPECT_EQ(update_knowledge(address, folders),
              (UpdateOutcome{false, updated_to("2027.2", c.note)}));
    EXPECT_EQ(testing::read_file(folder / "pack-2027.2.json"), pack) << "stored without the mark";
}

INSTANTIATE_TEST_SUITE_P(
    Files, Checksum,
    ::testing::Values(
        ChecksumCase{"matching", "@", false, "Its checksum matched."},
        ChecksumCase{"surrounded_by_space", "\n  @\n", false, "Its checksum matched."},
        ChecksumCase{"upper_case_then_name", "UPPER", false, "Its checksum matched."},
        ChecksumCase{"of_the_file_with_its_mark", "@", true, "Its checksum matched."},
        ChecksumCase{"only_63_digits", std::string(63, 'a'), false, checked_for_form},
        ChecksumCase{"not_hexadecimal", std::string(64, 'g'), false, checked_for_form},
        ChecksumCase{"empty", "", false, checked_for_form}),
    [](const auto& test) { return std::string(test.param.name); });

TEST_F(Update, WrongChecksumInstallsNothing) {
    publish(testing::small_pack_text("2027.3"));
    publish_checksum(std::string(64, '0') + "  knowledge.json\n");
    const char* message =
        "The downloaded file does not match its published checksum, so it was not used.";
    EXPECT_EQ(update_knowledge(address, folders), (UpdateOutcome{true, message}));
    EXPECT_FALSE(installed("2027.3"));
    EXPECT_FALSE(current_store()->pack.has_value());
    EXPECT_EQ(settings().last_result, std::string("Failed: ") + message);
}

struct RefusedCase {
    const char* name;
    const char* address;
    const char* message;
};

void PrintTo(const RefusedCase& c, std::ostream* os) {
    *os << c.name;
}

class RefusedAddress : public Update, public ::testing::WithParamInterface<RefusedCase> {};

TEST_P(RefusedAddress, FailsBeforeAnythingRuns) {
    KnowledgeSettings before{true, "https://kept.test/bootsmith/knowledge.json", "", ""};
    ASSERT_TRUE(write_settings(folder, before).has_value());
    EXPECT_EQ(update_knowledge(GetParam().address, folders),
              (UpdateOutcome{true, GetParam().message}));
    EXPECT_EQ(fakes.calls(), "");
    KnowledgeSettings after = settings();
    EXPECT_EQ(after.last_result, std::string("Failed: ") + GetParam().message);
    EXPECT_FALSE(after.last_check.empty());
    EXPECT_TRUE(after.auto_check);
    EXPECT_EQ(after.url, before.url);
}

const char* const https_only = "Updates are only fetched over https.";
const char* const not_valid = "That address is not valid.";

INSTANTIATE_TEST_SUITE_P(
    Addresses, RefusedAddress,
    ::testing::Values(RefusedCase{"http", "http://fake.test/k.json", https_only},
                      RefusedCase{"upper_case_scheme", "HTTPS://fake.test/k.json", https_only},
                      RefusedCase{"empty", "", https_only},
                      RefusedCase{"leading_space", " https://fake.test/k.json", https_only},
                      RefusedCase{"space", "https://fake.test/a b.json", not_valid},
                      RefusedCase{"apostrophe", "https://fake.test/a'b.json", not_valid},
                      RefusedCase{"double_quote", "https://fake.test/a\"b.json", not_valid},
                      RefusedCase{"backtick", "https://fake.test/a`b.json", not_valid},
                      RefusedCase{"tab", "https://fake.test/a\tb.json", not_valid},
                      RefusedCase{"no_break_space", "https://fake.test/a\u00a0b.json", not_valid},
                      RefusedCase{"ideographic_space", "https://fake.test/\u3000", not_valid}),
    [](const auto& test) { return std::string(test.param.name); });

TEST_F(Update, NothingPublished) {
    const char* message =
        "The address answered \"not found\". No knowledge update has been published there yet.";
    EXPECT_EQ(update_knowledge(address, folders), (UpdateOutcome{true, message}));
    EXPECT_EQ(settings().last_result, std::string("Failed: ") + message);
}

TEST_F(Update, WithoutADownloadToolTheFailureIsRecorded) {
    FakePrograms nothing_on_path(true);
    const std::string message = "Neither curl nor wget is available to download with.";
    EXPECT_EQ(update_knowledge(address, folders), (UpdateOutcome{true, message}));
    EXPECT_EQ(settings().last_result, "Failed: " + message);
    EXPECT_FALSE(settings().last_check.empty());
    EXPECT_FALSE(fs::exists(folder / "previous"));
}

TEST_F(Update, InvalidPackIsRefusedWithItsValidationMessage) {
    publish(testing::small_pack_text("2027.4x"));
    EXPECT_EQ(update_knowledge(address, folders),
              (UpdateOutcome{true,
                             "The pack's version must be numbers separated by dots, like "
                             "2026.11.02."}));
    EXPECT_FALSE(fs::exists(folder / "previous"));
}

TEST_F(Update, SameOrOlderVersionIsAlreadyUpToDate) {
    publish(testing::small_pack_text(builtin_version));
    std::string message = "Already up to date (knowledge " + builtin_version +
                          "; the published one is " + builtin_version + ").";
    EXPECT_EQ(update_knowledge(address, folders), (UpdateOutcome{false, message}));
    EXPECT_EQ(settings().last_result, message);
    EXPECT_FALSE(fs::exists(folder / "previous"));

    publish(testing::small_pack_text("2027.5"));
    ASSERT_FALSE(update_knowledge(address, folders).failed);
    publish(testing::small_pack_text("2027.4.9"));
    EXPECT_EQ(update_knowledge(address, folders),
              (UpdateOutcome{false,
                             "Already up to date (knowledge 2027.5; the published one is "
                             "2027.4.9)."}));
    EXPECT_TRUE(installed("2027.5"));
}

TEST_F(Update, ANewerPackMovesTheOldOneToPrevious) {
    publish(testing::small_pack_text("2027.6"));
    ASSERT_FALSE(update_knowledge(address, folders).failed);
    publish(testing::small_pack_text("2027.7"));
    EXPECT_EQ(update_knowledge(address, folders).message,
              "Updated the knowledge from 2027.6 to 2027.7 (2027-02-03). " +
                  std::string(checked_for_form));
    EXPECT_TRUE(installed("2027.7"));
    EXPECT_FALSE(installed("2027.6"));
    EXPECT_TRUE(fs::exists(folder / "previous" / "pack-2027.6.json"));
}

TEST_F(Update, AutomaticCheckRunsOnlyWhenAskedAndNeverInTheDemonstration) {
    publish(testing::small_pack_text("2027.8"));
    run_automatic_check(folders, false);
    EXPECT_EQ(fakes.calls(), "") << "auto_check is off by default";

    std::string own = "https://fake.test/bootsmith/knowledge.json";
    ASSERT_TRUE(write_settings(folder, KnowledgeSettings{true, own, "", ""}).has_value());
    run_automatic_check(folders, true);
    EXPECT_EQ(fakes.calls(), "");

    run_automatic_check(folders, false);
    EXPECT_TRUE(installed("2027.8"));
    EXPECT_EQ(settings().last_result, updated_to("2027.8", checked_for_form));
}

}  // namespace
}  // namespace bootsmith::knowledge
