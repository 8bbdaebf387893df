#include "server/serve.hpp"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <pthread.h>
#include <sys/socket.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>
#include <thread>

#include "engine/data_folders.hpp"
#include "engine/run.hpp"
#include "foundation/clock.hpp"
#include "foundation/descriptor.hpp"
#include "foundation/random.hpp"
#include "foundation/version.hpp"
#include "knowledge/updates.hpp"
#include "server/connection.hpp"
#include "server/stop_rules.hpp"

namespace bootsmith::resources {
extern const std::string_view window_page;
}  // namespace bootsmith::resources

namespace bootsmith::server {

namespace {

constexpr std::uint64_t max_handlers = 48;
constexpr std::chrono::milliseconds change_wait{60000};

std::atomic<bool> g_ending{false};

// Ends the process with status 0 once the changes in flight are done (at
// most a minute), so that no change is left made but not recorded.
[[noreturn]] void end_process(ServerState& state) {
    if (g_ending.exchange(true)) {
        // Another thread is already ending it.
        while (true) {
            std::this_thread::sleep_for(std::chrono::seconds(60));
        }
    }
    state.changes.close_and_wait(change_wait);
    engine::remove_demo_folders();
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(0);
}

// A thread that is never joined; false when it could not be started.
template <typename Work>
bool start_detached(Work work) {
    auto* owned = new Work(std::move(work));
    pthread_attr_t attr;
    ::pthread_attr_init(&attr);
    ::pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
    pthread_t thread;
    int failed = ::pthread_create(
        &thread, &attr,
        [](void* arg) -> void* {
            std::unique_ptr<Work> w(static_cast<Work*>(arg));
            (*w)();
            return nullptr;
        },
        owned);
    ::pthread_attr_destroy(&attr);
    if (failed != 0) {
        delete owned;
        return false;
    }
    return true;
}

void watch(ServerState& state) {
    while (true) {
        std::this_thread::sleep_for(std::chrono::seconds(2));
        StopTimes times{util::now_unix(), state.start, state.last_ping.load(), state.bye.load(),
                        state.opened.load()};
        StopReason reason = stop_reason(times);
        if (reason == StopReason::keep_running) {
            continue;
        }
        if (reason == StopReason::never_opened) {
            std::cerr << "No window was opened in 15 minutes; stopping.\n" << std::flush;
        }
        end_process(state);
    }
}

[[noreturn]] void accept_forever(ServerState& state, int listener) {
    while (true) {
        int fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno != EINTR) {
                // Out of descriptors, for instance: let handlers finish first.
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            continue;
        }
        util::Descriptor connection(fd);
        if (state.active.fetch_add(1) >= max_handlers) {
            state.active.fetch_sub(1);
            continue;
        }
        auto* socket = new util::Descriptor(std::move(connection));
        bool started = start_detached([&state, socket] {
            handle_connection(state, std::move(*socket));
            delete socket;
            state.active.fetch_sub(1);
        });
        if (!started) {
            delete socket;
            state.active.fetch_sub(1);
        }
    }
}

// The listener on 127.0.0.1 and the port it got, or the reason it failed.
Result<std::pair<util::Descriptor, std::uint16_t>> listen_on(std::uint16_t port) {
    util::Descriptor listener(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (!listener.valid() ||
        ::bind(listener.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener.get(), 128) != 0 ||
        ::getsockname(listener.get(), reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        return fail("Cannot listen on 127.0.0.1:" + std::to_string(port) + ": " +
                    std::strerror(errno));
    }
    return std::pair{std::move(listener), ntohs(address.sin_port)};
}

}  // namespace

int serve(engine::Engine& engine, std::uint16_t port, Browser browser) {
    auto listening = listen_on(port);
    if (!listening) {
        std::cerr << listening.error() << "\n";
        return 1;
    }
    auto [listener, bound] = std::move(*listening);
    std::optional<std::string> key = util::random_hex(32);
    std::optional<std::string> token = key ? util::random_hex(32) : std::nullopt;
    if (!token) {
        std::cerr << "The operating system could not provide random numbers, so the window cannot "
                     "be made safe. Nothing was started.\n";
        return 1;
    }
    // Lives until the process ends: every thread refers to it.
    auto* state =
        new ServerState(engine, *key, *token, bound, util::now_unix(), resources::window_page);
    state->quit = [state] {
        if (!start_detached([state] {
                std::this_thread::sleep_for(std::chrono::milliseconds(400));
                end_process(*state);
            })) {
            end_process(*state);
        }
    };
    std::string link = "http://127.0.0.1:" + std::to_string(bound) + "/#k=" + *key;
    std::cout << "Bootsmith " << program_version << " is running. Its window is at:\n  " << link
              << "\nThe link works once: it opens the window and is then useless. Close the "
                 "browser tab, or press Ctrl+C here, to stop it.\n"
              << std::flush;
    if (browser == Browser::open) {
        engine.platform().open_browser(link);
    }
    const bool demo = engine.demo();
    start_detached([state, demo] {
        // A knowledge install is a change like any other: stopping waits for it.
        if (auto pass = state->changes.enter()) {
            knowledge::run_automatic_check(engine::knowledge_folders(state->engine.system()), demo);
        }
    });
    if (!start_detached([state] { watch(*state); })) {
        std::cerr << "The window could not start its watchdog. Nothing was started.\n";
        return 1;
    }
    accept_forever(*state, listener.get());
}

}  // namespace bootsmith::server
