// Lookups and builders of JsonValue.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "foundation/json.hpp"
#include "json_printer.hpp"
#include "support/result_matchers.hpp"

namespace {

using bootsmith::json::JsonArray;
using bootsmith::json::JsonValue;
using bootsmith::json::parse;
using bootsmith::json::to_text;
using bootsmith::testing::IsOk;

JsonValue read(std::string_view text) {
    auto value = parse(text);
    EXPECT_THAT(value, IsOk()) << text;
    return value ? *value : JsonValue();
}

TEST(JsonLookup, ReadsMembersOfTheRightTypeOnly) {
    const JsonValue record =
        read(R"({"s":"text","b":true,"t":"true","one":1,"n":null,"s":"later"})");
    EXPECT_EQ(record.get_str("s"), "text");
    EXPECT_EQ(record.get_str("b"), "");
    EXPECT_EQ(record.get_str("missing"), "");
    EXPECT_TRUE(record.get_bool("b"));
    EXPECT_FALSE(record.get_bool("t"));
    EXPECT_FALSE(record.get_bool("one"));
    EXPECT_FALSE(record.get_bool("missing"));
    ASSERT_NE(record.get("n"), nullptr);
    EXPECT_TRUE(record.get("n")->is_null());
    EXPECT_EQ(record.get("S"), nullptr);
}

TEST(JsonLookup, ValuesThatAreNotObjectsHaveNoMembers) {
    for (const char* text : {"null", "true", "3", R"("s")", R"([{"a":"x"}])"}) {
        const JsonValue value = read(text);
        EXPECT_EQ(value.get("a"), nullptr) << text;
        EXPECT_EQ(value.get_str("a"), "") << text;
        EXPECT_FALSE(value.get_bool("a")) << text;
        EXPECT_EQ(value.as_object(), nullptr) << text;
    }
}

TEST(JsonLookup, AsStrOnlyForStrings) {
    EXPECT_EQ(JsonValue("x").as_str(), "x");
    EXPECT_EQ(JsonValue(std::string()).as_str(), "");
    EXPECT_FALSE(JsonValue(1).as_str().has_value());
    EXPECT_FALSE(JsonValue(nullptr).as_str().has_value());
    EXPECT_FALSE(JsonValue::array().as_str().has_value());
}

TEST(JsonLookup, TagsAreNumberedInTheFormatOrder) {
    const JsonValue all = read(R"([null,false,0,"",[],{}])");
    ASSERT_NE(all.as_array(), nullptr);
    int tag = 0;
    for (const auto& element : *all.as_array()) {
        EXPECT_EQ(static_cast<int>(element.type()), tag++);
    }
}

TEST(JsonBuild, AppendsEveryMemberInOrder) {
    const std::string owned = "moved";
    const JsonValue record = JsonValue::object()
                                 .with_str("a", std::string_view("view"))
                                 .with_str("b", std::string(owned))
                                 .with_num("c", 2.5)
                                 .with_u64("d", 18446744073709551615ULL)
                                 .with_bool("e", true)
                                 .with_str_list("f", {"x", "y"})
                                 .with_str_list("g", {})
                                 .with("h", JsonArray{1, nullptr})
                                 .with_bool("e", false);
    EXPECT_EQ(to_text(record),
              R"({"a":"view","b":"moved","c":2.5,"d":18446744073709552000,"e":true,)"
              R"("f":["x","y"],"g":[],"h":[1,null],"e":false})");
    EXPECT_TRUE(record.get_bool("e"));
}

TEST(JsonBuild, LeavesValuesThatAreNotObjectsUnchanged) {
    for (const JsonValue& start :
         {JsonValue(nullptr), JsonValue(true), JsonValue(4), JsonValue("s"), JsonValue::array()}) {
        JsonValue value = JsonValue(start)
                              .with("k", JsonValue(1))
                              .with_str("k", std::string_view("v"))
                              .with_str("k", std::string("v"))
                              .with_num("k", 1)
                              .with_u64("k", 1)
                              .with_bool("k", true)
                              .with_str_list("k", {"v"});
        EXPECT_EQ(value, start) << to_text(start);
    }
}

TEST(JsonBuild, PushBackAppendsToArraysOnly) {
    auto array = JsonValue::array();
    array.push_back(1);
    array.push_back("two");
    EXPECT_EQ(to_text(array), R"([1,"two"])");
    auto object = JsonValue::object();
    object.push_back(1);
    EXPECT_EQ(to_text(object), "{}");
}

TEST(JsonValueCopy, CopiesTheWholeTree) {
    JsonValue original = read(R"({"list":[1,2]})");
    JsonValue copy = original;
    copy.as_object()->front().value.push_back(3);
    EXPECT_EQ(to_text(original), R"({"list":[1,2]})");
    EXPECT_EQ(to_text(copy), R"({"list":[1,2,3]})");
    EXPECT_NE(original, copy);
}

}  // namespace
