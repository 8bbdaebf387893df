// The window end to end: the built program serving its demonstration,
// spoken to over real sockets on 127.0.0.1.
#include <sys/socket.h>
#include <unistd.h>

#include <barrier>
#include <filesystem>
#include <regex>
#include <thread>

#include <gtest/gtest.h>

#include "server/window_fixture.hpp"

namespace bootsmith::testing {
namespace {

using namespace std::chrono_literals;

TEST_F(Window, PrintsTheLinkAndAnswersWithTheExactHead) {
    EXPECT_TRUE(std::regex_match(
        window.printed(),
        std::regex("Bootsmith 1\\.0\\.0 is running\\. Its window is at:\n"
                   "  http://127\\.0\\.0\\.1:[0-9]+/#k=[0-9a-f]{64}\n"
                   "The link works once: it opens the window and is then useless\\. Close the "
                   "browser tab, or press Ctrl\\+C here, to stop it\\.\n")));
    const std::string fixed =
        "\r\nCache-Control: no-store\r\nConnection: close\r\nX-Content-Type-Options: nosniff\r\n"
        "Referrer-Policy: no-referrer\r\nX-Frame-Options: DENY\r\nContent-Security-Policy: "
        "default-src 'self'; ";
    const std::string tail =
        "; style-src 'self' 'unsafe-inline'; img-src 'self' data:; connect-src 'self'; "
        "frame-ancestors 'none'; base-uri 'none'; form-action 'none'\r\n\r\n";
    std::vector<std::string> nonces;
    for (std::string_view path : {"/", "/index.html"}) {
        HttpAnswer page = call(port, "GET", path, "");
        std::smatch m;
        ASSERT_TRUE(std::regex_search(page.head, m, std::regex("'nonce-([0-9a-f]{24})'")));
        nonces.push_back(m[1].str());
        EXPECT_EQ(page.head,
                  "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8"
                  "\r\nContent-Length: " +
                      std::to_string(page.body.size()) + fixed + "script-src 'self' 'nonce-" +
                      nonces.back() + "'" + tail);
        EXPECT_NE(page.body.find("<script nonce=\"" + nonces.back() + "\">"), std::string::npos);
        EXPECT_EQ(page.body.find("{{NONCE}}"), std::string::npos);
    }
    EXPECT_NE(nonces[0], nonces[1]);

    HttpAnswer missing = call(port, "GET", "/favicon.ico", "");
    EXPECT_EQ(missing.raw,
              "HTTP/1.1 404 Not Found\r\nContent-Type: application/json; "
              "charset=utf-8\r\nContent-Length: 33" +
                  fixed + "script-src 'self'" + tail + error_body("Not found."));
}

TEST_F(Window, RefusesForeignHostsOriginsAndMethods) {
    struct Case {
        std::string headers;
        int code;
        std::string body;
    };
    const std::string p = std::to_string(port);
    const std::string wrong_host = error_body("Wrong host name.");
    const std::string cross = error_body("Cross-origin requests are not allowed.");
    for (const Case& c : std::vector<Case>{
             {"Host: localhost:" + p, 200, ""},
             {"Host: LOCALHOST:" + p, 200, ""},
             {"Host: 127.0.0.1", 403, wrong_host},
             {"Host: 0.0.0.0:" + p, 403, wrong_host},
             {"Host: 127.1:" + p, 403, wrong_host},
             {"Host: localhost.:" + p, 403, wrong_host},
             {"Host: [::1]:" + p, 403, wrong_host},
             {"Host: ", 403, wrong_host},
             {"Host: 127.0.0.1:" + p + "\r\nHost: 127.0.0.1:" + p, 403, wrong_host},
             {"Host: 127.0.0.1:" + p + "\r\nOrigin: http://localhost:" + p, 200, ""},
             {"Host: 127.0.0.1:" + p + "\r\nOrigin: http://evil.example", 403, cross},
             {"Host: 127.0.0.1:" + p + "\r\nOrigin: null", 403, cross},
         }) {
        HttpAnswer a = send_raw(port, "GET /api/state HTTP/1.1\r\n" + c.headers +
                                          "\r\nX-Bootsmith-Token: " + token + "\r\n\r\n");
        EXPECT_EQ(a.code, c.code) << c.headers;
        if (c.code != 200) {
            EXPECT_EQ(a.body, c.body) << c.headers;
        }
    }
    EXPECT_EQ(call(port, "PUT", "/", "").body, error_body("GET only."));
    EXPECT_EQ(call(port, "PUT", "/", "").code, 405);
    EXPECT_EQ(call(port, "GET", "/api/scan", token).body, error_body("Unknown request."));
    EXPECT_EQ(call(port, "POST", "/api/state", token).body, error_body("Unknown request."));
    EXPECT_EQ(call(port, "DELETE", "/api/state", token).code, 404);
}

TEST(WindowLink, WorksExactlyOnceEvenForFortyEightAtTheSameMoment) {
    WindowProcess window;
    ASSERT_TRUE(window.started());
    const std::uint16_t port = window.port();
    const std::string refused = error_body(
        "This link has already been used, or is wrong. Press Quit in the window that is open, or "
        "start Bootsmith again.");
    std::string wrong = window.key();
    wrong[0] = wrong[0] == 'a' ? 'b' : 'a';
    for (std::string body : {R"({"k":")" + wrong + R"("})", std::string(R"({"k":""})"),
                             std::string("[1]"), std::string("not json")}) {
        EXPECT_EQ(call(port, "POST", "/api/bootstrap", "", body).body, refused) << body;
    }
    EXPECT_EQ(call(port, "GET", "/api/bootstrap", "").code, 400);

    // All 48 requests are sent but for their last byte, then finished together.
    const std::string text =
        request_text(port, "POST", "/api/bootstrap", "", R"({"k":")" + window.key() + R"("})");
    std::vector<int> sockets;
    for (int i = 0; i < 48; ++i) {
        sockets.push_back(connect_local(port));
        ASSERT_GE(sockets.back(), 0);
        ASSERT_GT(::send(sockets.back(), text.data(), text.size() - 1, MSG_NOSIGNAL), 0);
    }
    std::vector<HttpAnswer> answers(sockets.size());
    std::barrier start(static_cast<std::ptrdiff_t>(sockets.size()));
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < sockets.size(); ++i) {
        threads.emplace_back([&, i] {
            start.arrive_and_wait();
            ::send(sockets[i], text.data() + text.size() - 1, 1, MSG_NOSIGNAL);
            answers[i] = read_answer(sockets[i]);
            ::close(sockets[i]);
        });
    }
    for (auto& t : threads) {
        t.join();
    }
    int won = 0;
    for (const HttpAnswer& a : answers) {
        if (a.code == 200) {
            ++won;
            EXPECT_TRUE(
                std::regex_match(a.body, std::regex(R"(\{"ok":true,"token":"[0-9a-f]{64}"\})")));
        } else {
            EXPECT_EQ(a.code, 403);
            EXPECT_EQ(a.body, refused);
        }
    }
    EXPECT_EQ(won, 1);
    EXPECT_EQ(window.bootstrap(), "");
}

TEST_F(Window, WantsTheTokenInTheHeaderAndOnlyByeMayCarryItInTheQuery) {
    EXPECT_EQ(get("/api/state").code, 200);
    const std::string missing = error_body("Missing or wrong token.");
    std::string wrong = token;
    wrong[5] = wrong[5] == '0' ? '1' : '0';
    EXPECT_EQ(call(port, "GET", "/api/state", "").body, missing);
    EXPECT_EQ(call(port, "GET", "/api/state", wrong).body, missing);
    EXPECT_EQ(call(port, "GET", "/api/state", token + "0").code, 403);
    EXPECT_EQ(call(port, "GET", "/api/state?k=" + token, "").body, missing);
    EXPECT_EQ(call(port, "POST", "/api/ping?k=" + token, "", "{}").body, missing);
    EXPECT_EQ(call(port, "POST", "/api/bye?k=" + wrong, "", "bye").body, missing);
    HttpAnswer bye = call(port, "POST", "/api/bye?x=1&k=" + token, "", "bye");
    EXPECT_EQ(bye.body, R"({"ok":true})");
}

TEST_F(Window, ClosesOversizedSlowAndSurplusRequests) {
    // 413 comes before any byte of the body is sent.
    int fd = connect_local(port);
    std::string head = request_text(port, "POST", "/api/scan", token, "");
    head.replace(head.find("Content-Length: 0"), 17, "Content-Length: 5000000");
    ::send(fd, head.data(), head.size(), MSG_NOSIGNAL);
    HttpAnswer big = read_answer(fd, 20s);
    ::close(fd);
    EXPECT_EQ(big.code, 413);
    EXPECT_EQ(big.body, error_body("The request was too large or did not arrive in time."));

    std::string huge = "GET / HTTP/1.1\r\nX-Fill: " + std::string(40000, 'a') + "\r\n\r\n";
    EXPECT_EQ(send_raw(port, huge).raw, "");

    // 48 connections that say nothing hold every handler; the 49th is closed at once.
    std::vector<int> held;
    for (int i = 0; i < 48; ++i) {
        held.push_back(connect_local(port));
    }
    std::this_thread::sleep_for(300ms);
    int extra = connect_local(port);
    auto before = std::chrono::steady_clock::now();
    HttpAnswer refused = read_answer(extra, 4s);
    EXPECT_EQ(refused.raw, "");
    EXPECT_LT(std::chrono::steady_clock::now() - before, 3s) << "the 49th waited for an answer";
    ::close(extra);
    for (int h : held) {
        ::close(h);
    }
    HttpAnswer again;
    for (int i = 0; i < 50 && again.code != 200; ++i) {
        std::this_thread::sleep_for(100ms);
        again = get("/api/state");
    }
    EXPECT_EQ(again.code, 200) << "the server answers again once they are gone";

    // One byte a second: the head is given up after 10 seconds, unanswered.
    fd = connect_local(port);
    std::string slow = request_text(port, "GET", "/api/state", token);
    before = std::chrono::steady_clock::now();
    bool closed = false;
    for (std::size_t i = 0; i + 1 < slow.size() && !closed; ++i) {
        closed = ::send(fd, &slow[i], 1, MSG_NOSIGNAL) < 0;
        HttpAnswer partial = read_answer(fd, 1s);
        closed =
            closed || !partial.raw.empty() || std::chrono::steady_clock::now() - before > 10500ms;
        ASSERT_EQ(partial.raw, "");
    }
    EXPECT_LT(std::chrono::steady_clock::now() - before, 30s);
    EXPECT_EQ(read_answer(fd, 10s).raw, "");
    ::close(fd);
}

TEST_F(Window, AnswersOnlyTheFirstOfTwoPipelinedRequests) {
    std::string both = request_text(port, "GET", "/api/state", token) +
                       request_text(port, "POST", "/api/backup/create", token, "{}");
    HttpAnswer a = send_raw(port, both);
    EXPECT_EQ(a.code, 200);
    EXPECT_NE(a.body.find(R"("version":"1.0.0")"), std::string::npos);
    EXPECT_EQ(a.raw.find("HTTP/1.1", 1), std::string::npos);
    std::this_thread::sleep_for(500ms);
    EXPECT_NE(get("/api/backup/list").body.find(R"("backups":[])"), std::string::npos)
        << "the second request ran";
}

TEST_F(Window, SurvivesBadInputWithoutLeakingOrChangingAnything) {
    ASSERT_EQ(get("/api/state").code, 200);
    std::this_thread::sleep_for(300ms);
    const std::size_t fds = open_descriptors();
    const std::size_t idle_threads = threads();
    const std::string folder = tree_of(data_folder());
    const std::string p = std::to_string(port);
    const std::string host = "Host: 127.0.0.1:" + p + "\r\nX-Bootsmith-Token: " + token + "\r\n";
    auto post_with = [&](std::string_view length, std::string_view body) {
        return "POST /api/scan HTTP/1.1\r\n" + host + "Content-Length: " + std::string(length) +
               "\r\n\r\n" + std::string(body);
    };
    struct Case {
        std::string what;
        std::string request;
        int code;  ///< 0: closed without an answer
        std::string body_start;
    };
    std::string deep = std::string(65, '[') + std::string(65, ']');
    const std::string unclear = R"({"ok":false,"error":"Bad request: the length)";
    std::string long_text = "\"" + std::string(4'100'000, 'x') + "\"";
    for (const Case& c : std::vector<Case>{
             {"no target", "GET\r\n" + host + "\r\n", 0, ""},
             {"empty request line", "\r\n" + host + "\r\n", 0, ""},
             {"header without colon", "GET /api/state HTTP/1.1\r\n" + host + "Junk\r\n\r\n", 200,
              R"({"ok":true,"version")"},
             {"invalid UTF-8 in the head",
              "GET /api/state HTTP/1.1\r\n" + host + "X: \xff\xfe\r\n\r\n", 200,
              R"({"ok":true,"version")"},
             {"non-numeric length", post_with("abc", "{}"), 400, unclear},
             {"negative length", post_with("-2", "{}"), 400, unclear},
             {"30-digit length", post_with(std::string(30, '9'), "{}"), 400, unclear},
             {"two lengths", post_with("2\r\nContent-Length: 3", "{}"), 400, unclear},
             {"chunked", post_with("2\r\nTransfer-Encoding: chunked", "{}"), 400, unclear},
             {"array body", post_with("3", "[1]"), 200, R"({"ok":true,"items")"},
             {"number body", post_with("2", "42"), 200, R"({"ok":true,"items")"},
             {"64 deep", post_with(std::to_string(deep.size()), deep), 400,
              R"({"ok":false,"error":"Bad request body: )"},
             {"4 MB string", post_with(std::to_string(long_text.size()), long_text), 200,
              R"({"ok":true,"items")"},
             {"what of the wrong type", post_with("10", R"({"what":5})"), 200,
              R"({"ok":true,"items")"},
             {"broken JSON", post_with("5", "{\"a\":"), 400,
              R"({"ok":false,"error":"Bad request body: )"},
         }) {
        HttpAnswer a = send_raw(port, c.request);
        EXPECT_EQ(a.code, c.code) << c.what;
        EXPECT_TRUE(a.body.starts_with(c.body_start)) << c.what << ": " << a.body.substr(0, 200);
    }
    // A body shorter than announced, its sender gone quiet.
    int fd = connect_local(port);
    std::string cut = post_with("100", "{\"what\":");
    ::send(fd, cut.data(), cut.size(), MSG_NOSIGNAL);
    ::shutdown(fd, SHUT_WR);
    EXPECT_EQ(read_answer(fd, 20s).code, 413);
    ::close(fd);
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(open_descriptors(), fds);
    EXPECT_EQ(threads(), idle_threads);
    EXPECT_EQ(tree_of(data_folder()), folder) << "a bad request changed the data folder";
    // Members of the wrong type read as empty (an undo saves the automatic backup first).
    EXPECT_EQ(post("/api/undo", R"({"seq":"12","ack":"yes"})").body.substr(0, 12),
              R"({"ok":false,)");
    EXPECT_EQ(post("/api/backup/get", R"({"name":7})").body,
              R"({"ok":false,"message":"That is not a backup file name."})");
    EXPECT_EQ(post("/api/plan", R"({"changes":{"action":"disable"}})").body,
              R"({"ok":true,"plans":[]})");
}

}  // namespace
}  // namespace bootsmith::testing
