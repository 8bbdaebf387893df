#include "cli/terminal_text.hpp"

#include <gtest/gtest.h>

#include <ostream>
#include <sstream>

#include "cli_fixture.hpp"

namespace bootsmith::cli {
namespace {

std::string through_filter(const std::string& text) {
    std::ostringstream target;
    {
        TerminalText filter(target.rdbuf());
        std::ostream out(&filter);
        out << text << std::flush;
    }
    return target.str();
}

TEST(TerminalText, ShowsWhatCouldSteerATerminalAsQuestionMarks) {
    const struct {
        std::string in, out;
    } cases[] = {
        {"plain text, tab\tand line\n", "plain text, tab\tand line\n"},
        {"\x1b[2J\x1b]2;title\x07", "?[2J?]2;title?"},
        {"back\bspace\rreturn\x7f", "back?space?return?"},
        {std::string("nul\0byte", 8), "nul?byte"},
        {"C1 CSI \xc2\x9b"
         "2J and NEL \xc2\x85",
         "C1 CSI ?2J and NEL ?"},
        {"Latin \xc2\xa0\xc2\xbf Ünïcødé €", "Latin \xc2\xa0\xc2\xbf Ünïcødé €"},
        {"ends with a lead \xc2", "ends with a lead \xc2"},
        {"Bidi \u202Etxt.exe\u202C", "Bidi ?txt.exe?"},
        {"\u202A\u202B\u202D \u2066\u2067\u2068\u2069 \u200E\u200F \u061C", "??? ???? ?? ?"},
        {"kept: \u2028 \u200B \u2065 \u206A \u202F \u061B \u00E9 \u20AC",
         "kept: \u2028 \u200B \u2065 \u206A \u202F \u061B \u00E9 \u20AC"},
        {"cut \xe2\x80 short \xe2\x80", "cut \xe2\x80 short \xe2\x80"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(through_filter(c.in), c.out) << c.in;
    }
}

TEST(TerminalText, ACharacterSplitAcrossAFlushIsStillCaught) {
    std::ostringstream target;
    {
        TerminalText filter(target.rdbuf());
        std::ostream out(&filter);
        out << "x\xc2" << std::flush << "\x9b"
            << "y\xe2" << std::flush << "\x80" << std::flush << "\xae";
    }
    EXPECT_EQ(target.str(), "x?y?");
}

class TerminalOutput : public testing::CliTest {};

TEST_F(TerminalOutput, TypedAndListedTextReachesTheTerminalDefused) {
    testing::Outcome o = demo({"assess", "\x1b[2Jgone"});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, "nothing matches \"?[2Jgone\"\n");
    o = demo({"assess", "Bidi \u202Etxt.exe\u202C"});
    EXPECT_EQ(o.err, "nothing matches \"Bidi ?txt.exe?\"\n");
}

}  // namespace
}  // namespace bootsmith::cli
