// The writer: number and string forms, compact layout, and round trips.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>

#include "foundation/json.hpp"
#include "json_printer.hpp"
#include "support/result_matchers.hpp"

namespace {

using bootsmith::json::JsonArray;
using bootsmith::json::JsonValue;
using bootsmith::json::parse;
using bootsmith::json::to_text;
using bootsmith::testing::IsOk;

struct WriteCase {
    JsonValue value;
    std::string text;
};

class JsonWrite : public ::testing::TestWithParam<WriteCase> {};

TEST_P(JsonWrite, GivesTheText) {
    EXPECT_EQ(to_text(GetParam().value), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Numbers, JsonWrite,
    ::testing::Values(WriteCase{2.0, "2"}, WriteCase{2.5, "2.5"}, WriteCase{-2.5, "-2.5"},
                      WriteCase{0.5, "0.5"}, WriteCase{0.1, "0.1"}, WriteCase{-0.0, "0"},
                      WriteCase{-3.0, "-3"}, WriteCase{1e20, "100000000000000000000"},
                      WriteCase{-1e20, "-100000000000000000000"}, WriteCase{1e-7, "0.0000001"},
                      WriteCase{9e15, "9000000000000000"}, WriteCase{-9e15, "-9000000000000000"},
                      WriteCase{8999999999999999.0, "8999999999999999"},
                      WriteCase{123456789012.0, "123456789012"},
                      WriteCase{123456.789, "123456.789"},
                      WriteCase{1e23, "1" + std::string(23, '0')},
                      WriteCase{1.5e300, "15" + std::string(299, '0')},
                      WriteCase{5e-324, "0." + std::string(323, '0') + "5"},
                      WriteCase{std::numeric_limits<double>::quiet_NaN(), "NaN"},
                      WriteCase{std::numeric_limits<double>::infinity(), "inf"},
                      WriteCase{-std::numeric_limits<double>::infinity(), "-inf"}));

INSTANTIATE_TEST_SUITE_P(
    Strings, JsonWrite,
    ::testing::Values(WriteCase{"", R"("")"}, WriteCase{"a\"b\\c", R"("a\"b\\c")"},
                      WriteCase{"\n\r\t", R"("\n\r\t")"},
                      WriteCase{"\b\f\x1F\x01", R"("\u0008\u000c\u001f\u0001")"},
                      WriteCase{std::string("a\0b", 3), R"("a\u0000b")"},
                      WriteCase{"/\x7F caf\xC3\xA9 \xF0\x9F\x98\x80",
                                "\"/\x7F caf\xC3\xA9 \xF0\x9F\x98\x80\""}));

INSTANTIATE_TEST_SUITE_P(
    Structures, JsonWrite,
    ::testing::Values(
        WriteCase{nullptr, "null"}, WriteCase{true, "true"}, WriteCase{false, "false"},
        WriteCase{JsonValue::array(), "[]"}, WriteCase{JsonValue::object(), "{}"},
        WriteCase{JsonArray{1, "a", JsonValue::object().with("k", JsonArray{nullptr})},
                  R"([1,"a",{"k":[null]}])"},
        WriteCase{JsonValue::object().with_num("a", 1).with_num("a", 2).with_str("q\"", "x"),
                  R"({"a":1,"a":2,"q\"":"x"})"}));

TEST(JsonWrite, RawControlCharactersReadAreWrittenEscaped) {
    const auto value = parse("\"a\tb\nc\"");
    ASSERT_THAT(value, IsOk());
    EXPECT_EQ(to_text(*value), R"("a\tb\nc")");
}

// A reproducible generator of trees with awkward strings and numbers.
class TreeMaker {
  public:
    explicit TreeMaker(unsigned seed) : m_random(seed) {}

    JsonValue value(int depth) {
        const int kind = pick(depth > 6 ? 4 : 6);
        switch (kind) {
            case 0:
                return nullptr;
            case 1:
                return pick(2) == 1;
            case 2:
                return number();
            case 3:
                return text();
            case 4: {
                auto array = JsonValue::array();
                for (int i = pick(5); i > 0; --i) {
                    array.push_back(value(depth + 1));
                }
                return array;
            }
            default: {
                auto object = JsonValue::object();
                for (int i = pick(5); i > 0; --i) {
                    object = std::move(object).with(text(), value(depth + 1));
                }
                return object;
            }
        }
    }

  private:
    int pick(int count) { return std::uniform_int_distribution<int>(0, count - 1)(m_random); }

    double number() {
        switch (pick(4)) {
            case 0:
                return pick(2000) - 1000;
            case 1:
                return std::uniform_real_distribution<double>(-1e6, 1e6)(m_random);
            case 2:
                return std::ldexp(1.0 + pick(1000), pick(200) - 100);
            default: {
                // Any finite bit pattern, subnormals and extremes included.
                double any = NAN;
                while (!std::isfinite(any)) {
                    any = std::bit_cast<double>(static_cast<std::uint64_t>(m_random()) << 32 |
                                                m_random());
                }
                return any;
            }
        }
    }

    std::string text() {
        static const std::string pieces[] = {"a",
                                             "Z",
                                             " ",
                                             "\"",
                                             "\\",
                                             "/",
                                             "\n",
                                             "\t",
                                             "\x01",
                                             "\x1F",
                                             "\x7F",
                                             "\xC3\xA9",
                                             "\xE2\x82\xAC",
                                             "\xF0\x9F\x98\x80",
                                             "key",
                                             "u0041"};
        std::string out;
        for (int i = pick(8); i > 0; --i) {
            out += pieces[pick(std::size(pieces))];
        }
        return out;
    }

    std::mt19937 m_random;
};

TEST(JsonRoundTrip, WrittenTreesReadBackEqual) {
    TreeMaker maker(20240613);
    for (int i = 0; i < 500; ++i) {
        const JsonValue value = maker.value(0);
        const std::string text = to_text(value);
        const auto back = parse(text);
        ASSERT_THAT(back, IsOk()) << text;
        ASSERT_EQ(*back, value) << text;
        ASSERT_EQ(to_text(*back), text);
    }
}

TEST(JsonRoundTrip, FiniteNumbersReadBackExactly) {
    std::mt19937_64 random(7);
    for (int i = 0; i < 20000; ++i) {
        const double number = std::bit_cast<double>(random());
        if (!std::isfinite(number)) {
            continue;
        }
        const std::string text = to_text(number);
        ASSERT_EQ(text.find_first_of("eE"), std::string::npos) << text;
        const auto back = parse(text);
        ASSERT_THAT(back, IsOk()) << text;
        ASSERT_EQ(back->as_number(), number) << text;
    }
}

}  // namespace
