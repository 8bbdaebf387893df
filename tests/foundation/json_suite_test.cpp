// The public JSON conformance files, when the shared test data is present.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "foundation/json.hpp"
#include "support/temp_dir.hpp"

namespace {

namespace fs = std::filesystem;
using bootsmith::json::parse;
using bootsmith::json::to_text;

fs::path suite_folder() {
    return fs::path(BOOTSMITH_SOURCE_DIR "/../shared/testdata/json-suite");
}

/// Names (without ".json") of the files in test_parsing that start with `prefix`.
std::vector<std::string> files_starting_with(const std::string& prefix) {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(suite_folder() / "test_parsing", error)) {
        const std::string name = entry.path().stem().string();
        if (name.starts_with(prefix)) {
            names.push_back(name);
        }
    }
    return names;
}

bool has_infinity(const bootsmith::json::JsonValue& value) {
    if (const auto number = value.as_number()) {
        return std::isinf(*number);
    }
    if (const auto* elements = value.as_array()) {
        return std::any_of(elements->begin(), elements->end(), has_infinity);
    }
    if (const auto* members = value.as_object()) {
        return std::any_of(members->begin(), members->end(),
                           [](const auto& member) { return has_infinity(member.value); });
    }
    return false;
}

std::string content(const std::string& name) {
    return bootsmith::testing::read_file(suite_folder() / "test_parsing" / (name + ".json"));
}

class JsonSuite : public ::testing::Test {
  protected:
    void SetUp() override {
        std::error_code error;
        if (!fs::is_directory(suite_folder() / "test_parsing", error)) {
            GTEST_SKIP() << "no conformance files at " << suite_folder();
        }
    }
};

TEST_F(JsonSuite, AcceptsEveryValidDocument) {
    const auto names = files_starting_with("y_");
    EXPECT_FALSE(names.empty());
    for (const auto& name : names) {
        EXPECT_TRUE(parse(content(name)).has_value()) << name;
    }
}

TEST_F(JsonSuite, RejectsInvalidDocumentsExceptTheDeliberateLeniencies) {
    // Numbers with a sign, leading zeros or a bare point, and raw control
    // characters inside strings, are read on purpose.
    const std::set<std::string> lenient = {
        "n_number_+1",
        "n_number_-01",
        "n_number_neg_int_starting_with_zero",
        "n_number_with_leading_zero",
        "n_number_.2e-3",
        "n_number_starting_with_dot",
        "n_number_neg_real_without_int_part",
        "n_number_-2.",
        "n_number_real_without_fractional_part",
        "n_number_0.e1",
        "n_number_2.e3",
        "n_number_2.e+3",
        "n_number_2.e-3",
        "n_string_unescaped_ctrl_char",
        "n_string_unescaped_newline",
        "n_string_unescaped_tab",
    };
    const auto names = files_starting_with("n_");
    EXPECT_FALSE(names.empty());
    std::set<std::string> accepted;
    for (const auto& name : names) {
        if (parse(content(name)).has_value()) {
            accepted.insert(name);
        }
    }
    EXPECT_EQ(accepted, lenient);
}

TEST_F(JsonSuite, ReadsOrRejectsTheOpenCasesSoundly) {
    const auto names = files_starting_with("i_");
    EXPECT_FALSE(names.empty());
    for (const auto& name : names) {
        const auto value = parse(content(name));
        if (!value) {
            EXPECT_FALSE(value.error().empty()) << name;
            continue;
        }
        // What is accepted must survive writing, except for the huge numbers
        // that became infinities, which have no JSON form.
        if (has_infinity(*value)) {
            continue;
        }
        const std::string text = to_text(*value);
        const auto back = parse(text);
        ASSERT_TRUE(back.has_value()) << name << ": " << text;
        EXPECT_EQ(*back, *value) << name;
    }
}

}  // namespace
