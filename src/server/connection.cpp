#include "server/connection.hpp"

#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>

#include <algorithm>
#include <array>
#include <chrono>

#include "server/exchange.hpp"

namespace bootsmith::server {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr milliseconds read_timeout{5000};
constexpr milliseconds head_time{10000};
constexpr milliseconds body_time{30000};
constexpr milliseconds drain_wait{150};
// A peer that keeps trickling an error's body cannot hold a handler forever.
constexpr milliseconds drain_time{10000};

void set_timeouts(int fd) {
    timeval read{5, 0};
    timeval write{30, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &read, sizeof read);
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &write, sizeof write);
}

// Waits until the socket has bytes (or its end) within `wait`; then reads up
// to `size` bytes. 0 for the end, a time-out or an error.
std::size_t read_some(int fd, char* buffer, std::size_t size, milliseconds wait) {
    pollfd p{fd, POLLIN, 0};
    int ready = 0;
    do {
        ready = ::poll(&p, 1, static_cast<int>(std::max<milliseconds::rep>(wait.count(), 0)));
    } while (ready < 0 && errno == EINTR);
    if (ready <= 0) {
        return 0;
    }
    ssize_t n = 0;
    do {
        n = ::recv(fd, buffer, size, 0);
    } while (n < 0 && errno == EINTR);
    return n > 0 ? static_cast<std::size_t>(n) : 0;
}

milliseconds left_until(Clock::time_point deadline) {
    return std::chrono::duration_cast<milliseconds>(deadline - Clock::now());
}

// The head, and the bytes that came after it in `rest`; nothing when it did
// not arrive whole, in time and within its limit.
std::optional<std::string> read_head(int fd, std::string& rest) {
    std::array<char, 4096> buffer;
    std::string bytes;
    Clock::time_point deadline = Clock::now() + head_time;
    while (true) {
        milliseconds left = left_until(deadline);
        if (left.count() <= 0) {
            return std::nullopt;
        }
        std::size_t n = read_some(fd, buffer.data(), buffer.size(), std::min(left, read_timeout));
        if (n == 0) {
            return std::nullopt;
        }
        bytes.append(buffer.data(), n);
        if (std::optional<std::size_t> length = head_length(bytes)) {
            if (*length > head_limit) {
                return std::nullopt;
            }
            rest = bytes.substr(*length);
            bytes.resize(*length - 4);
            return bytes;
        }
        if (bytes.size() > head_limit) {
            return std::nullopt;
        }
    }
}

bool read_body(int fd, Request& request, std::uint64_t limit) {
    if (request.content_length > limit) {
        return false;
    }
    const std::size_t wanted = static_cast<std::size_t>(request.content_length);
    if (request.body.size() > wanted) {
        request.body.resize(wanted);
    }
    std::array<char, 8192> buffer;
    Clock::time_point deadline = Clock::now() + body_time;
    while (request.body.size() < wanted) {
        milliseconds left = left_until(deadline);
        if (left.count() <= 0) {
            return false;
        }
        std::size_t piece = std::min(buffer.size(), wanted - request.body.size());
        std::size_t n = read_some(fd, buffer.data(), piece, std::min(left, read_timeout));
        if (n == 0) {
            return false;
        }
        request.body.append(buffer.data(), n);
    }
    return true;
}

// Reads and drops up to `left` bytes, each read waiting at most `wait`.
void discard(int fd, std::uint64_t left, milliseconds wait) {
    std::array<char, 4096> buffer;
    Clock::time_point deadline = Clock::now() + drain_time;
    while (left > 0 && Clock::now() < deadline) {
        std::size_t n =
            read_some(fd, buffer.data(), std::min<std::uint64_t>(buffer.size(), left), wait);
        if (n == 0) {
            return;
        }
        left -= n;
    }
}

void send_all(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

}  // namespace

void handle_connection(ServerState& state, util::Descriptor socket) {
    const int fd = socket.get();
    set_timeouts(fd);
    std::string rest;
    std::optional<std::string> head = read_head(fd, rest);
    if (!head) {
        return;
    }
    std::optional<Request> request = parse_head(*head);
    if (!request) {
        return;
    }
    request->body = std::move(rest);
    std::optional<ChangeGate::Pass> pass;
    BodyReader reader = [fd](Request& r, std::uint64_t limit) { return read_body(fd, r, limit); };
    Response response = answer(state, *request, reader, pass);
    send_all(fd, response_bytes(response));
    pass.reset();
    std::uint64_t received = std::min<std::uint64_t>(request->body.size(), request->content_length);
    if (response.error) {
        discard(fd, request->content_length - received, drain_wait);
    }
    // Bytes left unread would turn the close into a reset, which can cost the
    // peer the answer it has not read yet; whatever has arrived is dropped.
    ::shutdown(fd, SHUT_WR);
    discard(fd, head_limit + body_limit, milliseconds(0));
}

}  // namespace bootsmith::server
