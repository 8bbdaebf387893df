#include "server/response.hpp"

#include <gtest/gtest.h>

namespace bootsmith::server {
namespace {

constexpr std::string_view policy_tail =
    "; style-src 'self' 'unsafe-inline'; img-src 'self' data:; connect-src 'self'; "
    "frame-ancestors 'none'; base-uri 'none'; form-action 'none'\r\n\r\n";

std::string head(int code, std::string_view reason, std::string_view type, std::size_t length,
                 std::string_view script) {
    return "HTTP/1.1 " + std::to_string(code) + " " + std::string(reason) +
           "\r\nContent-Type: " + std::string(type) +
           "\r\nContent-Length: " + std::to_string(length) +
           "\r\nCache-Control: no-store\r\nConnection: close\r\nX-Content-Type-Options: nosniff"
           "\r\nReferrer-Policy: no-referrer\r\nX-Frame-Options: DENY"
           "\r\nContent-Security-Policy: default-src 'self'; " +
           std::string(script) + std::string(policy_tail);
}

TEST(Response, WritesTheExactHeadForEveryCode) {
    struct Case {
        int code;
        std::string_view reason;
    };
    for (Case c : std::initializer_list<Case>{{200, "OK"},
                                              {400, "Bad Request"},
                                              {403, "Forbidden"},
                                              {404, "Not Found"},
                                              {405, "Method Not Allowed"},
                                              {413, "Payload Too Large"},
                                              {500, "Internal Server Error"},
                                              {418, "Internal Server Error"}}) {
        Response r = error_response(c.code, "Nope \"x\".");
        std::string body = R"({"ok":false,"error":"Nope \"x\"."})";
        EXPECT_EQ(response_bytes(r), head(c.code, c.reason, "application/json; charset=utf-8",
                                          body.size(), "script-src 'self'") +
                                         body);
        EXPECT_TRUE(r.error);
    }
}

TEST(Response, APageCarriesItsNonceAndTheByteLength) {
    Response r{200, "text/html; charset=utf-8", "<p>é</p>", "00ff", false};
    EXPECT_EQ(response_bytes(r),
              head(200, "OK", "text/html; charset=utf-8", 9, "script-src 'self' 'nonce-00ff'") +
                  "<p>é</p>");
}

}  // namespace
}  // namespace bootsmith::server
