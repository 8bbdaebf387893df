#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "support/window_client.hpp"

namespace bootsmith::testing {

inline std::string error_body(std::string_view message) {
    return R"({"ok":false,"error":")" + std::string(message) + R"("})";
}

inline std::size_t count_entries(const std::filesystem::path& folder) {
    std::error_code ec;
    std::size_t n = 0;
    for (auto it = std::filesystem::directory_iterator(folder, ec);
         !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
        ++n;
    }
    return n;
}

// Every file below a folder with its size, to prove that nothing changed.
inline std::string tree_of(const std::filesystem::path& folder) {
    std::string listing;
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(folder, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        listing += it->path().string() + " " +
                   std::to_string(it->is_regular_file() ? it->file_size() : 0) + "\n";
    }
    return listing;
}

class Window : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(window.started()) << window.printed();
        port = window.port();
        token = window.bootstrap();
        ASSERT_EQ(token.size(), 64u);
    }
    HttpAnswer get(std::string_view path) { return call(port, "GET", path, token); }
    HttpAnswer post(std::string_view path, std::string_view body = "{}") {
        return call(port, "POST", path, token, body);
    }
    std::filesystem::path data_folder() const {
        for (const auto& entry : std::filesystem::directory_iterator(window.tmp().path())) {
            if (entry.path().filename().string().starts_with("bootsmith-demo-")) {
                return entry.path();
            }
        }
        return {};
    }
    std::size_t open_descriptors() const {
        return count_entries("/proc/" + std::to_string(window.pid()) + "/fd");
    }
    std::size_t threads() const {
        return count_entries("/proc/" + std::to_string(window.pid()) + "/task");
    }

    WindowProcess window;
    std::uint16_t port = 0;
    std::string token;
};

}  // namespace bootsmith::testing
