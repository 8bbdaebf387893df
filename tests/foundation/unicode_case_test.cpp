#include "foundation/unicode_case.hpp"

#include <gtest/gtest.h>

#include <charconv>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/temp_dir.hpp"

namespace {

using namespace bootsmith::util;
using Sequence = std::vector<char32_t>;

constexpr char32_t last_code_point = 0x10FFFF;
const std::filesystem::path ucd = "/usr/share/unicode";

Sequence as_sequence(const CaseMapping& mapping) {
    return Sequence(mapping.chars.begin(),
                    mapping.chars.begin() + static_cast<std::ptrdiff_t>(mapping.count));
}

TEST(UnicodeCase, MapsSamples) {
    struct Case {
        char32_t code;
        Sequence lower;
        Sequence upper;
    };
    const Case cases[] = {
        {U'A', {U'a'}, {U'A'}},
        {U'z', {U'z'}, {U'Z'}},
        {U'1', {U'1'}, {U'1'}},
        {0xC9, {0xE9}, {0xC9}},                   // É
        {0x3A3, {0x3C3}, {0x3A3}},                // Σ
        {0x3C2, {0x3C2}, {0x3A3}},                // final ς
        {0x130, {0x69, 0x307}, {0x130}},          // İ
        {0x131, {0x131}, {0x49}},                 // ı
        {0xDF, {0xDF}, {0x53, 0x53}},             // ß
        {0x1E9E, {0xDF}, {0x1E9E}},               // ẞ
        {0xFB03, {0xFB03}, {0x46, 0x46, 0x49}},   // ﬃ
        {0x390, {0x390}, {0x399, 0x308, 0x301}},  // ΐ
        {0x1F80, {0x1F80}, {0x1F08, 0x399}},      // ᾀ
        {0x1F88, {0x1F80}, {0x1F08, 0x399}},      // ᾈ: title case, upper expands
        {0x101, {0x101}, {0x100}},                // inside an alternating run
        {0x102, {0x103}, {0x102}},
        {0x10FFFF, {0x10FFFF}, {0x10FFFF}},
        {0x1E921, {0x1E943}, {0x1E921}},  // Adlam
    };
    for (const Case& c : cases) {
        EXPECT_EQ(as_sequence(lower_mapping(c.code)), c.lower)
            << std::hex << static_cast<unsigned>(c.code);
        EXPECT_EQ(as_sequence(upper_mapping(c.code)), c.upper)
            << std::hex << static_cast<unsigned>(c.code);
    }
}

TEST(UnicodeCase, KnowsTheWhiteSpace) {
    const char32_t spaces[] = {0x9,    0xA,    0xB,    0xC,    0xD,    0x20,
                               0x85,   0xA0,   0x1680, 0x2000, 0x2005, 0x200A,
                               0x2028, 0x2029, 0x202F, 0x205F, 0x3000};
    for (char32_t c : spaces) {
        EXPECT_TRUE(is_white_space(c)) << std::hex << static_cast<unsigned>(c);
    }
    for (char32_t c : {U'a', U'\0', char32_t{0x8}, char32_t{0x200B}, char32_t{0x180E},
                       char32_t{0xFEFF}, char32_t{0x200E}}) {
        EXPECT_FALSE(is_white_space(c)) << std::hex << static_cast<unsigned>(c);
    }
}

// Each code point's mapping as the Unicode Character Database states it: the
// simple mapping, replaced by SpecialCasing's where it has no condition.
class FromDatabase {
  public:
    FromDatabase() {
        std::istringstream data(bootsmith::testing::read_file(ucd / "UnicodeData.txt"));
        for (std::string line; std::getline(data, line);) {
            std::vector<std::string> fields = split(line, ';');
            if (fields.size() < 14) {
                continue;
            }
            const char32_t code = parse(fields[0]).front();
            if (!fields[12].empty()) {
                upper[code] = parse(fields[12]);
            }
            if (!fields[13].empty()) {
                lower[code] = parse(fields[13]);
            }
        }
        std::istringstream special(bootsmith::testing::read_file(ucd / "SpecialCasing.txt"));
        for (std::string line; std::getline(special, line);) {
            std::vector<std::string> fields = split(line.substr(0, line.find('#')), ';');
            if (fields.size() < 4 ||
                (fields.size() > 4 && fields[4].find_first_not_of(' ') != std::string::npos)) {
                continue;
            }
            const char32_t code = parse(fields[0]).front();
            lower[code] = parse(fields[1]);
            upper[code] = parse(fields[3]);
        }
    }

    static Sequence mapped(const std::map<char32_t, Sequence>& table, char32_t code) {
        auto found = table.find(code);
        return found == table.end() ? Sequence{code} : found->second;
    }

    std::map<char32_t, Sequence> lower;
    std::map<char32_t, Sequence> upper;

  private:
    static std::vector<std::string> split(const std::string& line, char separator) {
        std::vector<std::string> fields;
        std::istringstream in(line);
        for (std::string field; std::getline(in, field, separator);) {
            fields.push_back(field);
        }
        return fields;
    }

    static Sequence parse(const std::string& text) {
        Sequence codes;
        std::istringstream in(text);
        for (std::string hex; in >> hex;) {
            unsigned value = 0;
            std::from_chars(hex.data(), hex.data() + hex.size(), value, 16);
            codes.push_back(value);
        }
        return codes;
    }
};

TEST(UnicodeCase, AgreesWithTheDatabaseForEveryCodePoint) {
    if (!std::filesystem::exists(ucd / "UnicodeData.txt")) {
        GTEST_SKIP() << "the unicode-data package is not installed";
    }
    const FromDatabase database;
    ASSERT_GT(database.lower.size(), 1000u);
    // Every cased letter lies in the first two planes; above them each
    // character maps to itself, which a sample checks.
    constexpr char32_t last_cased_plane_end = 0x1FFFF;
    ASSERT_LE(database.lower.rbegin()->first, last_cased_plane_end);
    ASSERT_LE(database.upper.rbegin()->first, last_cased_plane_end);
    for (char32_t code = last_cased_plane_end + 1; code <= last_code_point; code += 0x1001) {
        EXPECT_EQ(as_sequence(lower_mapping(code)), Sequence{code});
        EXPECT_EQ(as_sequence(upper_mapping(code)), Sequence{code});
    }
    int mismatches = 0;
    for (char32_t code = 0; code <= last_cased_plane_end && mismatches < 10; ++code) {
        if (as_sequence(lower_mapping(code)) != FromDatabase::mapped(database.lower, code) ||
            as_sequence(upper_mapping(code)) != FromDatabase::mapped(database.upper, code)) {
            ADD_FAILURE() << "mapping differs for U+" << std::hex << static_cast<unsigned>(code);
            ++mismatches;
        }
    }
}

}  // namespace
