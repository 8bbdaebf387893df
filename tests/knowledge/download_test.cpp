// download_text against fake curl and wget programs first on PATH.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "knowledge/updates.hpp"
#include "support/fake_programs.hpp"
#include "support/result_matchers.hpp"

namespace bootsmith::knowledge {
namespace {

using testing::FailsWith;
using testing::FakePrograms;

const std::string address = "https://example.test/bootsmith/knowledge.json";
const std::string curl_call =
    "curl -q -fsSL --proto =https --proto-redir =https --max-time 30 --max-filesize 3000000 -A "
    "Bootsmith/1.0.0 --globoff " +
    address + "\n";
const char* const no_tool = "Neither curl nor wget is available to download with.";

TEST(DownloadText, RunsCurlWithExactlyTheseArguments) {
    FakePrograms fakes;
    fakes.add_logged("curl", "printf '%s' '{\"pack\":1}'");
    auto text = download_text(address);
    ASSERT_THAT(text, testing::IsOk());
    EXPECT_EQ(*text, "{\"pack\":1}");
    EXPECT_EQ(fakes.calls(), curl_call);
}

TEST(DownloadText, DecodesWhatCurlPrinted) {
    FakePrograms fakes;
    fakes.add("curl", R"(printf '\357\273\277abc')");
    EXPECT_EQ(download_text(address).value_or("?"), "abc");
    fakes.add("curl", R"(printf '\377\376a\000b\000')");
    EXPECT_EQ(download_text(address).value_or("?"), "ab");
}

struct CurlFailure {
    const char* name;
    const char* script;
    std::string message;
};

void PrintTo(const CurlFailure& c, std::ostream* os) {
    *os << c.name;
}

class CurlFails : public ::testing::TestWithParam<CurlFailure> {};

TEST_P(CurlFails, WithItsMessage) {
    FakePrograms fakes;
    fakes.add_logged("curl", GetParam().script);
    fakes.add_logged("wget", "echo wget-must-not-run");
    EXPECT_THAT(download_text(address), FailsWith(GetParam().message));
    EXPECT_EQ(fakes.calls(), curl_call) << "only curl runs";
}

INSTANTIATE_TEST_SUITE_P(
    Codes, CurlFails,
    ::testing::Values(
        CurlFailure{"not_found",
                    "echo 'curl: (22) The requested URL returned error: 404' >&2; exit 22",
                    "The address answered \"not found\". No knowledge update has been published "
                    "there yet."},
        CurlFailure{"resolve", "printf '  curl: (6) Could not resolve host: x \\n\\n' >&2; exit 6",
                    "The download failed (6). curl: (6) Could not resolve host: x"},
        CurlFailure{"long_error", "printf '%0200d' 0 >&2; exit 35",
                    "The download failed (35). " + std::string(159, '0') + "\u2026"},
        CurlFailure{"exactly_160", "printf '%0160d' 0 >&2; exit 35",
                    "The download failed (35). " + std::string(160, '0')},
        CurlFailure{"signal", "kill -9 $$", "The download failed (-1). "},
        CurlFailure{"silent_failure", "exit 7", "The download failed (7). "}),
    [](const auto& case_info) { return std::string(case_info.param.name); });

TEST(DownloadText, TimeLimitEndsCurl) {
    FakePrograms fakes;
    fakes.add("curl", "echo 'started' >&2; exec /bin/sleep 20");
    auto result = download_text(address, 1);
    ASSERT_FALSE(result.has_value());
    EXPECT_THAT(result.error(), ::testing::StartsWith("The download failed (-1). "));
}

TEST(DownloadText, WgetStandsInWhenCurlIsMissing) {
    FakePrograms fakes(true);
    fakes.add_logged("wget", "printf '%s|%s' \"$WGETRC\" 'body'");
    auto text = download_text(address);
    ASSERT_THAT(text, testing::IsOk());
    EXPECT_EQ(*text, "/dev/null|body");
    EXPECT_EQ(fakes.calls(), "wget -q --https-only -T 30 -O - " + address + "\n");
}

TEST(DownloadText, AFailingWgetIsReportedAsSuch) {
    const struct {
        const char* script;
        std::string message;
    } cases[] = {
        {"exit 8",
         "The address answered \"not found\". No knowledge update has been published there yet."},
        {"exit 4", "The download with wget failed (4). The network could not be reached."},
        {"echo 'wget: unable to resolve host address' >&2; exit 1",
         "The download with wget failed (1). wget: unable to resolve host address"},
        {"kill -9 $$", "The download with wget failed (-1)."},
        {"exec /bin/cat /dev/zero",
         "The download was larger than 3000000 bytes, so it was stopped."},
    };
    for (const auto& c : cases) {
        FakePrograms fakes(true);
        fakes.add("wget", c.script);
        EXPECT_THAT(download_text(address), FailsWith(c.message)) << c.script;
    }
}

TEST(DownloadText, AnEndlessAnswerFromCurlIsCutOff) {
    FakePrograms fakes;
    fakes.add("curl", "exec cat /dev/zero");
    EXPECT_THAT(download_text(address),
                FailsWith("The download was larger than 3000000 bytes, so it was stopped."));
}

TEST(DownloadText, NeitherCurlNorWget) {
    FakePrograms fakes(true);
    EXPECT_THAT(download_text(address), FailsWith(no_tool));
}

}  // namespace
}  // namespace bootsmith::knowledge
