#include <gtest/gtest.h>

#include <string_view>

#include "support/run_binary.hpp"
#include "support/temp_dir.hpp"

namespace bootsmith::resources {
extern const std::string_view test_sample;
}

namespace {

TEST(EmbeddedResource, HoldsTheFileByteForByte) {
    std::string file =
        bootsmith::testing::read_file(bootsmith::testing::source_dir() +
                                      "/tests/foundation/embedded_sample.txt");
    ASSERT_FALSE(file.empty());
    EXPECT_EQ(bootsmith::resources::test_sample, file);
    // The generated array ends with a NUL that is not part of the text.
    EXPECT_EQ(bootsmith::resources::test_sample.size(), file.size());
}

}  // namespace
