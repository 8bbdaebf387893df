#include "server/request.hpp"

#include <gtest/gtest.h>

namespace bootsmith::server {
namespace {

TEST(RequestHead, FindsTheEndOfTheHead) {
    EXPECT_EQ(head_length("GET / HTTP/1.1\r\n\r\nrest"), 18u);
    EXPECT_EQ(head_length("GET / HTTP/1.1\r\n\r"), std::nullopt);
    EXPECT_EQ(head_length("GET / HTTP/1.1\n\n"), std::nullopt);
}

TEST(RequestHead, SplitsRequestLineTargetAndHeaders) {
    auto r = parse_head(
        "POST /api/bye?k=abc&x=1 HTTP/1.1\r\nHost:  127.0.0.1:8 \r\n"
        "no colon here\r\nX-A: b: c\r\nContent-Length: 12");
    ASSERT_TRUE(r);
    EXPECT_EQ(r->method, "POST");
    EXPECT_EQ(r->path, "/api/bye");
    EXPECT_EQ(r->query, "k=abc&x=1");
    ASSERT_EQ(r->headers.size(), 3u);
    EXPECT_EQ(r->headers[0].value, "127.0.0.1:8");
    EXPECT_EQ(r->headers[1].name, "X-A");
    EXPECT_EQ(r->headers[1].value, "b: c");
    EXPECT_EQ(r->content_length, 12u);
}

TEST(RequestHead, RefusesARequestLineWithoutTarget) {
    for (std::string_view head : {"", "GET", "GET ", " /", "\r\nHost: x"}) {
        EXPECT_FALSE(parse_head(head)) << head;
    }
}

TEST(RequestHead, ReplacesInvalidUtf8) {
    auto r = parse_head("GET /\xff HTTP/1.1\r\nX-\xc3: \xe2\x82");
    ASSERT_TRUE(r);
    EXPECT_EQ(r->path, "/\xef\xbf\xbd");
    EXPECT_EQ(r->headers.at(0).name, "X-\xef\xbf\xbd");
}

TEST(RequestHead, ContentLengthIsAnUnsignedDecimalOrUnclear) {
    struct Case {
        std::string_view headers;
        std::optional<std::uint64_t> length;  ///< nothing: the length is unclear
    };
    for (Case c : std::initializer_list<Case>{
             {"", 0},
             {"Content-Length: 0", 0},
             {"Content-Length: 4194304", 4194304},
             {"Content-Length: 18446744073709551615", UINT64_MAX},
             {"content-LENGTH: 7\r\nContent-Length: 7", 7},
             {"Content-Length: 123456789012345678901234567890", std::nullopt},
             {"Content-Length: -5", std::nullopt},
             {"Content-Length: +5", std::nullopt},
             {"Content-Length: 12abc", std::nullopt},
             {"Content-Length: 0x10", std::nullopt},
             {"Content-Length: ", std::nullopt},
             {"Content-Length: 7\r\nContent-Length: 9", std::nullopt},
             {"Transfer-Encoding: chunked", std::nullopt},
             {"Content-Length: 5\r\ntransfer-encoding: identity", std::nullopt}}) {
        auto r = parse_head("POST / HTTP/1.1\r\n" + std::string(c.headers));
        ASSERT_TRUE(r) << c.headers;
        EXPECT_EQ(r->unclear_length, !c.length) << c.headers;
        EXPECT_EQ(r->content_length, c.length.value_or(0)) << c.headers;
    }
}

TEST(RequestHead, QueryValueTakesTheFirstPartOfThatName) {
    EXPECT_EQ(query_value("a=1&k=x&k=y", "k"), "x");
    EXPECT_EQ(query_value("k", "k"), "");
    EXPECT_EQ(query_value("kk=1&k==2", "k"), "=2");
    EXPECT_EQ(query_value("", "k"), std::nullopt);
    EXPECT_EQ(query_value("K=1", "k"), std::nullopt);
}

TEST(RequestHead, HostAndOriginMustNameThisServer) {
    struct Case {
        std::string_view headers;
        bool host;
        bool origin;
    };
    for (Case c : std::initializer_list<Case>{
             {"Host: 127.0.0.1:4242", true, true},
             {"Host: localhost:4242", true, true},
             {"hOsT: LOCALHOST:4242", true, true},
             {"Host: 127.0.0.1", false, true},
             {"Host: 127.0.0.1:424", false, true},
             {"Host: 0.0.0.0:4242", false, true},
             {"Host: 127.1:4242", false, true},
             {"Host: localhost.:4242", false, true},
             {"Host: [::1]:4242", false, true},
             {"Host:", false, true},
             {"X: y", false, true},
             {"Host: 127.0.0.1:4242\r\nHost: 127.0.0.1:4242", false, true},
             {"Host: 127.0.0.1:4242\r\nOrigin: http://127.0.0.1:4242", true, true},
             {"Host: 127.0.0.1:4242\r\nOrigin: http://localhost:4242", true, true},
             {"Host: 127.0.0.1:4242\r\nOrigin: null", true, false},
             {"Host: 127.0.0.1:4242\r\nOrigin: http://evil.example", true, false},
             {"Host: 127.0.0.1:4242\r\nOrigin: https://127.0.0.1:4242", true, false},
             {"Host: 127.0.0.1:4242\r\nOrigin: HTTP://LOCALHOST:4242", true, false},
             {"Host: 127.0.0.1:4242\r\nOrigin: http://127.0.0.1:4242\r\nOrigin: "
              "http://127.0.0.1:4242",
              true, false},
         }) {
        auto r = parse_head("GET / HTTP/1.1\r\n" + std::string(c.headers));
        ASSERT_TRUE(r);
        EXPECT_EQ(host_allowed(*r, 4242), c.host) << c.headers;
        EXPECT_EQ(origin_allowed(*r, 4242), c.origin) << c.headers;
    }
}

}  // namespace
}  // namespace bootsmith::server
