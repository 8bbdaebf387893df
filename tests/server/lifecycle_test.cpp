// How the window ends: after a goodbye without a ping, on quit, and never in
// the middle of a change.
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <thread>

#include <gtest/gtest.h>

#include "foundation/json.hpp"
#include "server/window_fixture.hpp"

namespace bootsmith::testing {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using json::JsonValue;

std::size_t lines_of(const std::filesystem::path& file) {
    std::ifstream in(file);
    std::size_t n = 0;
    for (std::string line; std::getline(in, line);) {
        ++n;
    }
    return n;
}

using Lifecycle = Window;

TEST_F(Lifecycle, AGoodbyeEndsItUnlessAPingFollows) {
    EXPECT_EQ(post("/api/ping").body, R"({"ok":true})");
    EXPECT_EQ(call(port, "POST", "/api/bye?k=" + token, "", "bye").code, 200);
    std::this_thread::sleep_for(1100ms);
    EXPECT_EQ(post("/api/ping").code, 200) << "a reload pings again";
    EXPECT_EQ(window.wait_exit(16s), std::nullopt) << "a ping after the goodbye keeps it alive";

    EXPECT_EQ(post("/api/bye").code, 200);
    Clock::time_point bye = Clock::now();
    EXPECT_EQ(window.wait_exit(8s), std::nullopt) << "it waits 11 seconds for a ping";
    EXPECT_EQ(window.wait_exit(30s), 0);
    EXPECT_GT(Clock::now() - bye, 10s);
}

TEST(WindowQuit, WithoutACommandTheWindowStartsAndQuitEndsIt) {
    WindowProcess window({"--demo"});
    ASSERT_TRUE(window.started()) << window.printed();
    std::string token = window.bootstrap();
    EXPECT_EQ(call(window.port(), "POST", "/api/quit", token, "{}").body, R"({"ok":true})");
    EXPECT_EQ(window.wait_exit(20s), 0);
}

TEST_F(Lifecycle, QuitWaitsForAChangeInFlightAndRefusesNewOnes) {
    // A long batch of switches makes an apply that takes seconds.
    JsonValue scan = json::parse(post("/api/scan").body).value_or(JsonValue());
    std::string id;
    for (const JsonValue& item : *scan.get("items")->as_array()) {
        if (item.get_bool("enabled") && item.get_str("toggle") == "ok" &&
            !item.get("risk")->get_bool("blocked")) {
            id = item.get_str("id");
            break;
        }
    }
    ASSERT_FALSE(id.empty());
    auto batch = [&](int switches) {
        JsonValue changes = JsonValue::array();
        for (int i = 0; i < switches; ++i) {
            changes.push_back(JsonValue::object()
                                  .with_str("action", i % 2 == 0 ? "disable" : "enable")
                                  .with_str("id", id)
                                  .with_bool("ack", true));
        }
        return json::to_text(JsonValue::object().with("changes", std::move(changes)));
    };
    // Sized from a trial so that it takes about four seconds, with or
    // without a sanitizer.
    Clock::time_point trial = Clock::now();
    ASSERT_EQ(post("/api/apply", batch(100)).code, 200);
    auto per_100 = std::max<std::int64_t>(
        1, std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - trial).count());
    const int switches =
        static_cast<int>(std::clamp<std::int64_t>(4000 * 100 / per_100, 200, 20000));
    // The demonstration folder goes with the window; a second name for its
    // journal keeps the records for the count at the end.
    const std::filesystem::path kept = window.tmp().path() / "journal-kept.jsonl";
    std::filesystem::create_hard_link(data_folder() / "journal.jsonl", kept);
    const std::size_t records_before = lines_of(kept);
    std::string body = batch(switches);
    HttpAnswer applied;
    Clock::time_point applied_at;
    std::thread apply([&] {
        int fd = connect_local(port);
        std::string text = request_text(port, "POST", "/api/apply", token, body);
        ::send(fd, text.data(), text.size(), MSG_NOSIGNAL);
        applied = read_answer(fd, 120s);
        ::close(fd);
        applied_at = Clock::now();
    });
    std::this_thread::sleep_for(1s);
    EXPECT_EQ(post("/api/quit").body, R"({"ok":true})");
    Clock::time_point quit_at = Clock::now();
    EXPECT_EQ(
        post("/api/backup/create").body,
        R"({"ok":false,"message":"Bootsmith is stopping, so it makes no more changes. Start it again to go on."})");
    apply.join();
    EXPECT_EQ(window.wait_exit(90s), 0);
    ASSERT_EQ(applied.code, 200);
    EXPECT_GT(applied_at, quit_at) << "the apply was done before the quit came; make it slower";
    JsonValue results = json::parse(applied.body).value_or(JsonValue());
    ASSERT_NE(results.get("results"), nullptr) << applied.body.substr(0, 300);
    const json::JsonArray& done = *results.get("results")->as_array();
    EXPECT_EQ(done.size(), static_cast<std::size_t>(switches));
    std::size_t made = std::count_if(done.begin(), done.end(),
                                     [](const JsonValue& r) { return r.get_bool("ok"); });
    EXPECT_GT(made, 0u);
    EXPECT_EQ(lines_of(kept) - records_before, made) << "every change made has its record";
}

}  // namespace
}  // namespace bootsmith::testing
