#include "foundation/text.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "foundation/file_bytes.hpp"
#include "foundation/files.hpp"
#include "support/result_matchers.hpp"
#include "support/temp_dir.hpp"

namespace {

using bootsmith::testing::FailsWith;
using bootsmith::testing::IsOk;
using bootsmith::testing::TempDir;
using namespace bootsmith::util;
using Words = std::vector<std::string>;

struct DecodeCase {
    const char* name;
    std::string bytes;
    std::string text;
};

class DecodeText : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(DecodeText, GivesTheText) {
    EXPECT_EQ(decode_text(GetParam().bytes), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Encodings, DecodeText,
    ::testing::Values(
        DecodeCase{"Utf16LittleEndian",
                   std::string("\xFF\xFE"
                               "a\0b\0",
                               6),
                   "ab"},
        DecodeCase{"Utf16BigEndian", std::string("\xFE\xFF\0a\0b", 6), "ab"},
        DecodeCase{"Utf16OddLastByteDropped",
                   std::string("\xFF\xFE"
                               "a\0b",
                               5),
                   "a"},
        DecodeCase{"Utf16SurrogatePair", std::string("\xFF\xFE\x3D\xD8\x00\xDE", 6),
                   "\xF0\x9F\x98\x80"},
        DecodeCase{"Utf16LoneHighSurrogate",
                   std::string("\xFF\xFE\x3D\xD8"
                               "a\0",
                               6),
                   "\xEF\xBF\xBD"
                   "a"},
        DecodeCase{"Utf16LoneLowSurrogate", std::string("\xFE\xFF\xDE\x00", 4), "\xEF\xBF\xBD"},
        DecodeCase{"Utf16HighSurrogateAtEnd", std::string("\xFE\xFF\xD8\x3D", 4), "\xEF\xBF\xBD"},
        DecodeCase{"Utf16NonLatin", std::string("\xFE\xFF\x04\x16\x00\xE9", 6), "Жé"},
        DecodeCase{"Utf8MarkRemoved",
                   "\xEF\xBB\xBF"
                   "a",
                   "a"},
        DecodeCase{"Utf8Kept", "Grüße €", "Grüße €"}, DecodeCase{"Latin1SingleByte", "\xE9", "é"},
        DecodeCase{"Latin1Mixed", "caf\xE9 \xFF", "café ÿ"},
        DecodeCase{"Utf8MarkThenLatin1", "\xEF\xBB\xBF\xE9", "é"},
        DecodeCase{"OverlongIsLatin1", "\xC0\xAF", "À¯"},
        DecodeCase{"EncodedSurrogateIsLatin1", "\xED\xA0\x80", "í\xC2\xA0\xC2\x80"},
        DecodeCase{"SingleMarkByteIsLatin1", "\xFF", "ÿ"}, DecodeCase{"Empty", "", ""}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(ReadTextFile, DecodesTheFile) {
    TempDir dir;
    auto path = dir.write("utf16.txt", std::string("\xFF\xFE"
                                                   "h\0i\0",
                                                   6));
    EXPECT_EQ(read_text_file(path), "hi");
}

TEST(ReadTextFile, GivesTheSystemReason) {
    TempDir dir;
    EXPECT_THAT(read_text_file(dir.path() / "missing"), FailsWith("No such file or directory"));
    EXPECT_THAT(read_text_file(dir.path()), FailsWith("Is a directory"));
}

TEST(ReadTextFile, RefusesPipesAndDevicesWithoutWaiting) {
    // Nobody ever writes into the pipe: opening it to read must not wait for that.
    TempDir dir;
    const auto pipe = dir.path() / "journal.jsonl";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    for (const std::filesystem::path& path : {pipe, std::filesystem::path("/dev/zero")}) {
        EXPECT_THAT(read_text_file(path), FailsWith(not_regular_text)) << path;
    }
    EXPECT_THAT(append_line(pipe, "{}"),
                FailsWith("cannot write " + pipe.string() + ": it is not a regular file"));
    const auto big = dir.write("big.json", std::string(70000, 'x'));
    EXPECT_THAT(read_file_bytes(big, 65536), FailsWith("File too large"));
}

TEST(Utf8, ValidityFollowsTheStandard) {
    EXPECT_TRUE(is_valid_utf8("plain ascii"));
    EXPECT_TRUE(is_valid_utf8("\xF4\x8F\xBF\xBF"));   // U+10FFFF
    EXPECT_FALSE(is_valid_utf8("\xF4\x90\x80\x80"));  // above U+10FFFF
    EXPECT_FALSE(is_valid_utf8("\xE0\x80\xAF"));      // overlong
    EXPECT_FALSE(is_valid_utf8("\xED\xBF\xBF"));      // surrogate
    EXPECT_FALSE(is_valid_utf8("a\xE2\x82"));         // cut short
    EXPECT_FALSE(is_valid_utf8("\x80"));              // lone continuation
}

TEST(Utf8, AppendEncodesAndReplacesTheImpossible) {
    std::string out;
    for (char32_t code : {U'A', U'é', U'€', U'\U0001F600', char32_t{0xD800}, char32_t{0x110000}}) {
        append_utf8(out, code);
    }
    EXPECT_EQ(out, "Aé€\U0001F600\uFFFD\uFFFD");
}

TEST(EnvText, UnsetOrNotUnicodeIsEmpty) {
    ::setenv("BOOTSMITH_TEXT_TEST", "Grüße", 1);
    EXPECT_EQ(env_text("BOOTSMITH_TEXT_TEST"), "Grüße");
    ::setenv("BOOTSMITH_TEXT_TEST", "caf\xE9", 1);
    EXPECT_EQ(env_text("BOOTSMITH_TEXT_TEST"), "");
    ::unsetenv("BOOTSMITH_TEXT_TEST");
    EXPECT_EQ(env_text("BOOTSMITH_TEXT_TEST"), "");
}

TEST(CharCount, CountsCharactersNotBytes) {
    EXPECT_EQ(char_count(""), 0u);
    EXPECT_EQ(char_count("héllo…"), 6u);
    EXPECT_EQ(char_count("a\xFF"
                         "b"),
              3u);  // a stray byte counts as one
}

TEST(Shorten, CutsByCharacters) {
    std::string two_hundred;
    for (int i = 0; i < 200; ++i) {
        two_hundred += "é";
    }
    std::string shortened = shorten(two_hundred, 160);
    EXPECT_EQ(char_count(shortened), 160u);
    EXPECT_TRUE(shortened.ends_with("é…"));
    EXPECT_EQ(shortened.substr(0, shortened.size() - 3), two_hundred.substr(0, 159 * 2));

    std::string exactly = two_hundred.substr(0, 160 * 2);
    EXPECT_EQ(shorten(exactly, 160), exactly);
    EXPECT_EQ(shorten("abcdef", 4), "abc…");
    EXPECT_EQ(shorten("abc", 1), "…");
    EXPECT_EQ(shorten("abc", 0), "");
}

TEST(PadRight, PadsToCharacters) {
    EXPECT_EQ(pad_right("é", 3), "é  ");
    EXPECT_EQ(pad_right("long", 2), "long");
}

struct CaseCase {
    std::string text;
    std::string lower;
    std::string upper;
};

class CaseMappingTest : public ::testing::TestWithParam<CaseCase> {};

TEST_P(CaseMappingTest, MapsInFull) {
    EXPECT_EQ(to_lower(GetParam().text), GetParam().lower);
    EXPECT_EQ(to_upper(GetParam().text), GetParam().upper);
}

INSTANTIATE_TEST_SUITE_P(
    Letters, CaseMappingTest,
    ::testing::Values(
        CaseCase{"ABC xyz 09", "abc xyz 09", "ABC XYZ 09"}, CaseCase{"École", "école", "ÉCOLE"},
        CaseCase{"ΣΊΣΥΦΟΣ", "σίσυφοσ", "ΣΊΣΥΦΟΣ"},  // no context-dependent final sigma
        CaseCase{"İstanbul", "i\u0307stanbul", "İSTANBUL"}, CaseCase{"straße", "straße", "STRASSE"},
        CaseCase{"ﬁx", "ﬁx", "FIX"}, CaseCase{"ŉ", "ŉ", "\u02BCN"},
        CaseCase{"Ǆ ǅ ǆ", "ǆ ǆ ǆ", "Ǆ Ǆ Ǆ"},
        CaseCase{"Ā ā Ĳ", "ā ā ĳ", "Ā Ā Ĳ"},    // alternating pairs
        CaseCase{"Ꭰ ꭰ", "ꭰ ꭰ", "Ꭰ Ꭰ"},  // Cherokee maps upward
        CaseCase{"\U00010400 \U00010428", "\U00010428 \U00010428", "\U00010400 \U00010400"},
        CaseCase{"\u212A", "k", "\u212A"},  // Kelvin sign
        CaseCase{"日本", "日本", "日本"},
        CaseCase{"A\xFF"
                 "B\xC3",
                 "a\xFF"
                 "b\xC3",
                 "A\xFF"
                 "B\xC3"}));

TEST(AsciiCase, OnlyAsciiLettersChange) {
    EXPECT_EQ(ascii_lower("ÉTÉ Hidden"), "ÉtÉ hidden");
    EXPECT_TRUE(equals_ignore_ascii_case("TRUE", "true"));
    EXPECT_FALSE(equals_ignore_ascii_case("É", "é"));
    EXPECT_FALSE(equals_ignore_ascii_case("true", "tru"));
}

TEST(ContainsIgnoreCase, LowersBothInFull) {
    EXPECT_TRUE(contains_ignore_case("Network Manager", "MANAGER"));
    EXPECT_TRUE(contains_ignore_case("ÉCOLE", "éco"));
    EXPECT_TRUE(contains_ignore_case("ΟΔΥΣΣΕΥΣ", "σσ"));
    EXPECT_TRUE(contains_ignore_case("İzmir", "i\u0307z"));
    EXPECT_TRUE(contains_ignore_case("anything", ""));
    EXPECT_FALSE(contains_ignore_case("abc", "abcd"));
    EXPECT_FALSE(contains_ignore_case("ecole", "éco"));
}

TEST(Trim, RemovesUnicodeWhiteSpace) {
    EXPECT_EQ(trim(" \t\r\n a b \u00A0\u3000"), "a b");
    EXPECT_EQ(trim("\u2003x\u2028"), "x");
    EXPECT_EQ(trim("   "), "");
    EXPECT_EQ(trim(""), "");
    EXPECT_EQ(trim("\u200Bx"), "\u200Bx");  // zero-width space is not white space
    std::size_t length = 0;
    EXPECT_TRUE(starts_with_space("\u3000a", length));
    EXPECT_EQ(length, 3u);
    EXPECT_FALSE(starts_with_space("a ", length));
    EXPECT_FALSE(starts_with_space("", length));
}

struct SplitCase {
    const char* name;
    std::string line;
    ShellRules rules;
    Words words;
};

class SplitWords : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitWords, GivesTheWords) {
    EXPECT_EQ(split_words(GetParam().line, GetParam().rules), GetParam().words);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, SplitWords,
    ::testing::Values(
        SplitCase{
            "ShellQuotes", R"(a "b c" 'd e' f\ g)", ShellRules::on, {"a", "b c", "d e", "f g"}},
        SplitCase{"PlainQuotes",
                  R"(a "b c" 'd e' f\ g)",
                  ShellRules::off,
                  {"a", "b c", "'d", "e'", "f\\", "g"}},
        SplitCase{"EmptyQuotesMakeAWord", R"(x "")", ShellRules::on, {"x", ""}},
        SplitCase{"EmptyQuotesWithoutShell", R"(x "")", ShellRules::off, {"x", ""}},
        SplitCase{"EmptySingleQuotes", "x ''", ShellRules::on, {"x", ""}},
        SplitCase{"PythonCommand",
                  R"w(python3 -c "print('hi')" 'a b' c\ d)w",
                  ShellRules::on,
                  {"python3", "-c", "print('hi')", "a b", "c d"}},
        SplitCase{"GluedQuotes", R"("a"b'c')", ShellRules::on, {"abc"}},
        SplitCase{
            "EscapesInDoubleQuotes", R"("\" \$ \\ \` \n")", ShellRules::on, {"\" $ \\ ` \\n"}},
        SplitCase{
            "BackslashInDoubleQuotesWithoutShell", R"("a\" b")", ShellRules::off, {"a\\", "b"}},
        SplitCase{"SingleQuotesAreLiteral", R"('a\ "b"')", ShellRules::on, {"a\\ \"b\""}},
        SplitCase{"TrailingBackslashDropped", "a b\\", ShellRules::on, {"a", "b"}},
        SplitCase{"LoneTrailingBackslash", "a \\", ShellRules::on, {"a"}},
        SplitCase{"EscapedQuote", R"(it\'s)", ShellRules::on, {"it's"}},
        SplitCase{"UnclosedDoubleQuote", R"(a "b c)", ShellRules::on, {"a", "b c"}},
        SplitCase{"UnclosedSingleQuote", "a 'b c", ShellRules::on, {"a", "b c"}},
        SplitCase{"RunsOfSpace", "  a \t\n b  ", ShellRules::off, {"a", "b"}},
        SplitCase{"UnicodeSpaceSeparates", "a\u3000b\u00A0c", ShellRules::on, {"a", "b", "c"}},
        SplitCase{"EscapedUnicodeSpace", "a\\\u3000b", ShellRules::on, {"a\u3000b"}},
        SplitCase{"QuotedSpaceKept", "\"a\u2003b\"", ShellRules::off, {"a\u2003b"}},
        SplitCase{"NonAsciiWords", "été naïve", ShellRules::on, {"été", "naïve"}},
        SplitCase{"Empty", "", ShellRules::on, {}},
        SplitCase{"OnlySpace", " \t ", ShellRules::on, {}}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(ProgramPath, FindsTheProgramPart) {
    TempDir dir;
    const std::string app = dir.write("My App/run", "#!/bin/sh\n").string();
    const std::string folder = (dir.path() / "My App").string();
    const std::string missing = (dir.path() / "Gone App/run").string();
    const std::string missing_first = (dir.path() / "Gone").string();
    struct Case {
        std::string command;
        std::string program;
    };
    const std::vector<Case> cases = {
        {"\"" + app + "\" --x", app},
        {"  \"" + app, app},  // unclosed quote: the rest
        {app + " --x", app},
        {app, app},
        {folder + " --x", dir.path().string() + "/My"},  // a folder is no program
        {missing + " --x", missing_first},
        {"  " + app + " --x  ", app},
        {"", ""},
        {"   ", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(program_path(c.command), c.program) << c.command;
    }
}

TEST(FileNameText, GivesTheLastComponent) {
    EXPECT_EQ(file_name_text("/usr/share/applications/firefox.desktop"), "firefox.desktop");
    EXPECT_EQ(file_name_text("name"), "name");
    EXPECT_EQ(file_name_text("/etc/xdg/autostart/"), "autostart");
    EXPECT_EQ(file_name_text("/"), "");
    EXPECT_EQ(file_name_text(""), "");
}

TEST(DesktopEntryPairs, ReadsOnlyTheDesktopEntryGroup) {
    const std::string text =
        "# comment\r\n"
        "[Other]\n"
        "Name=Wrong\n"
        "[Desktop Entry]\r\n"
        "  Name = Files  \r\n"
        "; another comment\n"
        "\n"
        "Exec=nautilus --new-window %U\n"
        "Name[de]=Dateien\n"
        "no equals sign\n"
        "Name=Second\n"
        "Comment=a=b\n"
        "[Desktop Action new]\n"
        "Exec=after\n";
    const Pairs pairs = desktop_entry_pairs(text);
    const Pairs expected = {{"Name", "Files"},
                            {"Exec", "nautilus --new-window %U"},
                            {"Name[de]", "Dateien"},
                            {"Name", "Second"},
                            {"Comment", "a=b"}};
    EXPECT_EQ(pairs, expected);
    EXPECT_EQ(pair_value(pairs, "Name"), "Files");
    EXPECT_EQ(pair_value(pairs, "Comment"), "a=b");
    EXPECT_EQ(pair_value(pairs, "Hidden"), "");
}

TEST(DesktopEntryPairs, NoGroupGivesNothing) {
    EXPECT_TRUE(desktop_entry_pairs("Name=x\nExec=y\n").empty());
    EXPECT_TRUE(desktop_entry_pairs("[desktop entry]\nName=x\n").empty());
    EXPECT_TRUE(desktop_entry_pairs("").empty());
}

}  // namespace

namespace {

TEST(Split, KeepsEmptyPartsAndLongSeparators) {
    using Parts = std::vector<std::string_view>;
    const std::tuple<std::string_view, std::string_view, Parts> cases[] = {
        {"alice:x:1000", ":", {"alice", "x", "1000"}},
        {"a::b:", ":", {"a", "", "b", ""}},
        {"", ":", {""}},
        {"GET / HTTP/1.1\r\nHost: x\r\n\r\n", "\r\n", {"GET / HTTP/1.1", "Host: x", "", ""}},
        {"no separator", "&", {"no separator"}},
        {"a,b", "", {"a,b"}},
    };
    for (const auto& [text, separator, parts] : cases) {
        EXPECT_EQ(split(text, separator), parts) << text;
    }
}

}  // namespace
