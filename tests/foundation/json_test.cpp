// The reader: accepted forms, every failure message with its position, nesting.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "foundation/json.hpp"
#include "json_printer.hpp"
#include "support/result_matchers.hpp"

namespace {

using bootsmith::json::JsonArray;
using bootsmith::json::JsonValue;
using bootsmith::json::parse;
using bootsmith::testing::FailsWith;
using bootsmith::testing::IsOk;

std::string repeat(std::string_view piece, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) {
        out += piece;
    }
    return out;
}

struct FailureCase {
    std::string input;
    std::string message;
};

class JsonReadFailure : public ::testing::TestWithParam<FailureCase> {};

TEST_P(JsonReadFailure, GivesTheMessageAndPosition) {
    EXPECT_THAT(parse(GetParam().input), FailsWith(GetParam().message))
        << "input: " << GetParam().input;
}

INSTANTIATE_TEST_SUITE_P(
    Messages, JsonReadFailure,
    ::testing::Values(
        FailureCase{"", "unexpected end"}, FailureCase{" \t\r\n", "unexpected end"},
        FailureCase{"[1,", "unexpected end"}, FailureCase{"[", "unexpected end"},
        FailureCase{"{\"a\":", "unexpected end"}, FailureCase{"tru", "bad literal at byte 0"},
        FailureCase{"[nul]", "bad literal at byte 1"},
        FailureCase{"  fals", "bad literal at byte 2"}, FailureCase{"True", "bad number at byte 0"},
        FailureCase{"[1,]", "bad number at byte 3"}, FailureCase{"-", "bad number at byte 0"},
        FailureCase{"1.2.3", "bad number at byte 0"}, FailureCase{"1e", "bad number at byte 0"},
        FailureCase{"[0,+-1]", "bad number at byte 3"}, FailureCase{"--1", "bad number at byte 0"},
        FailureCase{".", "bad number at byte 0"}, FailureCase{"1e+", "bad number at byte 0"},
        FailureCase{"1e5.5", "bad number at byte 0"}, FailureCase{"[x]", "bad number at byte 1"},
        FailureCase{"]", "bad number at byte 0"}, FailureCase{"{\"a\":}", "bad number at byte 5"},
        FailureCase{"\xEF\xBB\xBF{}", "bad number at byte 0"},
        FailureCase{"\f1", "bad number at byte 0"}, FailureCase{"\"abc", "unterminated string"},
        FailureCase{"\"a\\n", "unterminated string"},
        FailureCase{"[\"a\\\"]", "unterminated string"}, FailureCase{"\"abc\\", "bad escape"},
        FailureCase{"\"\\q\"", "bad escape"}, FailureCase{"\"\\U0041\"", "bad escape"},
        FailureCase{"\"\\x41\"", "bad escape"}, FailureCase{"\"\\u\"", "short \\u escape"},
        FailureCase{"\"\\u12\"", "short \\u escape"},
        FailureCase{"\"\\ud800\\u12\"", "short \\u escape"},
        FailureCase{"[\"\\u12\"]", "bad \\u escape"}, FailureCase{"\"\\u12\" ", "bad \\u escape"},
        FailureCase{"\"\\u12zz\"", "bad \\u escape"}, FailureCase{"\"\\u+123\"", "bad \\u escape"},
        FailureCase{"\"\\ud800\\uzzzz\"", "bad \\u escape"},
        FailureCase{"\"\\u\xFF\xFF\xFF\xFF\"", "bad \\u escape"},
        FailureCase{"\"\\u00\xC3\xA9\"", "bad \\u escape"},
        FailureCase{"[\"\\u0\xC3\"]", "bad \\u escape"},
        FailureCase{"\"\\ud800\\u\xE2\x80\xAE"
                    "0\"",
                    "bad \\u escape"},
        FailureCase{"\"\xFF\"", "string is not valid UTF-8"},
        FailureCase{"{\"\xC3\":1}", "string is not valid UTF-8"},
        FailureCase{"\"\xC0\xAF\"", "string is not valid UTF-8"},
        FailureCase{"\"\xED\xA0\x80\"", "string is not valid UTF-8"},
        FailureCase{"\"\xF4\x90\x80\x80\"", "string is not valid UTF-8"},
        FailureCase{"\"\xE2\x82\"", "string is not valid UTF-8"},
        FailureCase{"\"\xC3\\u00a9\"", "string is not valid UTF-8"},
        // Escape faults are found while reading, UTF-8 faults only at the quote.
        FailureCase{"\"\xFF\\q\"", "bad escape"}, FailureCase{"\"\xFF", "unterminated string"},
        FailureCase{"[1 2]", "expected , or ] at byte 3"},
        FailureCase{"[1", "expected , or ] at byte 2"},
        FailureCase{"[1:2]", "expected , or ] at byte 2"},
        FailureCase{"{\"a\":1 \"b\":2}", "expected , or } at byte 7"},
        FailureCase{"{\"a\":1", "expected , or } at byte 6"},
        FailureCase{"{\"a\":1]", "expected , or } at byte 6"},
        FailureCase{"{\"a\" 1}", "expected : at byte 5"},
        FailureCase{"{\"a\"", "expected : at byte 4"},
        FailureCase{"{1:2}", "expected a key at byte 1"},
        FailureCase{"{\"a\":1,}", "expected a key at byte 7"},
        FailureCase{"{'a':1}", "expected a key at byte 1"},
        FailureCase{"{", "expected a key at byte 1"},
        FailureCase{"{\"a\":1} x", "unexpected data at byte 8"},
        FailureCase{"truex", "unexpected data at byte 4"},
        FailureCase{"1 2", "unexpected data at byte 2"},
        FailureCase{"[]]", "unexpected data at byte 2"},
        FailureCase{"1\f", "unexpected data at byte 1"},
        FailureCase{std::string("0\0", 2), "unexpected data at byte 1"}));

struct ReadCase {
    std::string input;
    JsonValue expected;
};

class JsonReadValue : public ::testing::TestWithParam<ReadCase> {};

TEST_P(JsonReadValue, GivesTheValue) {
    const auto value = parse(GetParam().input);
    ASSERT_THAT(value, IsOk()) << "input: " << GetParam().input;
    EXPECT_EQ(*value, GetParam().expected) << "input: " << GetParam().input;
}

const double inf = std::numeric_limits<double>::infinity();

INSTANTIATE_TEST_SUITE_P(
    Literals, JsonReadValue,
    ::testing::Values(ReadCase{"true", true}, ReadCase{"false", false}, ReadCase{"null", nullptr},
                      ReadCase{" \t\r\n[ true , false,null ] \n", JsonArray{true, false, nullptr}},
                      ReadCase{"[[],{}]", JsonArray{JsonValue::array(), JsonValue::object()}}));

INSTANTIATE_TEST_SUITE_P(
    Numbers, JsonReadValue,
    ::testing::Values(ReadCase{"0", 0.0}, ReadCase{"-12", -12.0}, ReadCase{"+5", 5.0},
                      ReadCase{"01", 1.0}, ReadCase{".5", 0.5}, ReadCase{"5.", 5.0},
                      ReadCase{"-.5", -0.5}, ReadCase{"1E2", 100.0}, ReadCase{"1e+2", 100.0},
                      ReadCase{"-1.5e-3", -0.0015}, ReadCase{"0.e1", 0.0}, ReadCase{"2.e-3", 0.002},
                      ReadCase{"123456789012", 123456789012.0}, ReadCase{"1e400", inf},
                      ReadCase{"-1e400", -inf}, ReadCase{"1" + std::string(400, '0'), inf},
                      ReadCase{"0." + std::string(400, '0') + "1e-10", 0.0},
                      ReadCase{"1e-400", 0.0}, ReadCase{"1e99999999999999999999999", inf},
                      ReadCase{"0.001e-99999999999999999999", 0.0}, ReadCase{"4.9e-324", 4.9e-324},
                      ReadCase{"1.7976931348623157e308", 1.7976931348623157e308},
                      ReadCase{"[1,2.5]", JsonArray{1.0, 2.5}}));

INSTANTIATE_TEST_SUITE_P(
    Strings, JsonReadValue,
    ::testing::Values(
        ReadCase{"\"\"", ""}, ReadCase{"\"plain\"", "plain"},
        ReadCase{R"("\"\\\/\b\f\n\r\t")", "\"\\/\b\f\n\r\t"},
        ReadCase{R"("\u00e9\u00C9")", "\xC3\xA9\xC3\x89"},
        ReadCase{R"("a\u0000b")", std::string("a\0b", 3)}, ReadCase{R"("\u20AC")", "\xE2\x82\xAC"},
        ReadCase{R"("\ud83d\ude00")", "\xF0\x9F\x98\x80"},
        ReadCase{R"("\ud800x")", "\xEF\xBF\xBDx"}, ReadCase{R"("\udc00")", "\xEF\xBF\xBD"},
        ReadCase{R"("\ud800\n")", "\xEF\xBF\xBD\n"},
        ReadCase{R"("\udbff\udfff")", "\xF4\x8F\xBF\xBF"},
        // The second unit of a pair is taken as it comes.
        ReadCase{R"("\ud800\u0041")", "\xF0\x90\x81\x81"},
        ReadCase{R"("\ud800\ud800")", "\xF0\x90\x80\x80"},
        ReadCase{"\"tab\there\nnew line\"", "tab\there\nnew line"},
        ReadCase{"\"\x01\x1F\x7F\"", "\x01\x1F\x7F"},
        ReadCase{"\"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80\"",
                 "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"},
        ReadCase{"\"\xC3\xA9\\n\xC3\xA9\"", "\xC3\xA9\n\xC3\xA9"},
        ReadCase{"{\"k\\u00e9y\":\"v\"}", JsonValue::object().with_str("k\xC3\xA9y", "v")}));

TEST(JsonRead, KeepsMembersInOrderAndDuplicates) {
    const auto value = parse(R"({"b":1,"a":2,"a":3,"c":{"a":4}})");
    ASSERT_THAT(value, IsOk());
    const auto* members = value->as_object();
    ASSERT_NE(members, nullptr);
    ASSERT_EQ(members->size(), 4U);
    EXPECT_EQ((*members)[0].key, "b");
    EXPECT_EQ((*members)[1].key, "a");
    EXPECT_EQ((*members)[2].key, "a");
    EXPECT_EQ((*members)[2].value, JsonValue(3));
    EXPECT_EQ(value->get("a")->as_number(), 2.0);
    EXPECT_EQ(bootsmith::json::to_text(*value), R"({"b":1,"a":2,"a":3,"c":{"a":4}})");
}

TEST(JsonRead, KeepsTheSignOfMinusZero) {
    const auto value = parse("-0");
    ASSERT_THAT(value, IsOk());
    ASSERT_TRUE(value->as_number().has_value());
    EXPECT_TRUE(std::signbit(*value->as_number()));
}

struct DepthCase {
    std::string input;
    bool accepted;
};

class JsonDepth : public ::testing::TestWithParam<DepthCase> {};

TEST_P(JsonDepth, AllowsSixtyFourLevels) {
    const auto value = parse(GetParam().input);
    if (GetParam().accepted) {
        EXPECT_THAT(value, IsOk());
    } else {
        EXPECT_THAT(value, FailsWith("nested too deeply"));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Levels, JsonDepth,
    ::testing::Values(DepthCase{repeat("[", 64) + repeat("]", 64), true},
                      DepthCase{repeat("[", 63) + "1" + repeat("]", 63), true},
                      DepthCase{repeat("[", 64) + "1" + repeat("]", 64), false},
                      DepthCase{repeat("[", 65) + repeat("]", 65), false},
                      DepthCase{repeat("{\"a\":", 63) + "{}" + repeat("}", 63), true},
                      DepthCase{repeat("{\"a\":", 64) + "null" + repeat("}", 64), false},
                      DepthCase{repeat("[{\"a\":", 32) + "1" + repeat("}]", 32), false},
                      DepthCase{repeat("[", 65), false}, DepthCase{repeat("[", 100000), false},
                      // Depth is counted down again after each value.
                      DepthCase{"[" + repeat(repeat("[", 62) + repeat("]", 62) + ",", 50) + "1]",
                                true}));

}  // namespace
