#include "foundation/random.hpp"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

using bootsmith::util::equal_constant_time;
using bootsmith::util::random_hex;

TEST(RandomHex, GivesTwoLowerCaseDigitsPerByte) {
    for (std::size_t n : {0u, 1u, 16u, 32u, 1000u}) {
        std::optional<std::string> token = random_hex(n);
        ASSERT_TRUE(token.has_value());
        EXPECT_EQ(token->size(), 2 * n);
        EXPECT_EQ(token->find_first_not_of("0123456789abcdef"), std::string::npos);
    }
}

TEST(RandomHex, TokensDifferAndUseAllDigits) {
    std::set<std::string> tokens;
    std::set<char> digits;
    for (int i = 0; i < 50; ++i) {
        std::string token = random_hex(32).value_or("");
        tokens.insert(token);
        digits.insert(token.begin(), token.end());
    }
    EXPECT_EQ(tokens.size(), 50u);
    EXPECT_EQ(digits.size(), 16u);
}

TEST(EqualConstantTime, EqualOnlyWithSameLengthAndBytes) {
    struct Case {
        std::string a;
        std::string b;
        bool equal;
    };
    const Case cases[] = {
        {"abc", "abc", true},
        {"", "", true},
        {"abc", "abd", false},
        {"xbc", "abc", false},
        {"abc", "abcd", false},
        {"abcd", "abc", false},
        {"", "a", false},
        {std::string("a\0", 2), "a", false},  // a shorter input is not padded to equality
        {std::string(64, 'f'), std::string(64, 'f'), true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(equal_constant_time(c.a, c.b), c.equal) << c.a << " / " << c.b;
    }
}

}  // namespace
