#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace bootsmith::server {

/// The most bytes a request head may have before it is given up.
inline constexpr std::size_t head_limit = 32768;
/// The largest body an API request may carry.
inline constexpr std::uint64_t body_limit = 4194304;
/// The largest body of the one-time bootstrap.
inline constexpr std::uint64_t bootstrap_body_limit = 4096;

struct Header {
    std::string name;
    std::string value;
};

/// One request as it arrived: the head's parts and, once read, the body.
struct Request {
    std::string method;
    std::string path;   ///< the target up to the first "?"
    std::string query;  ///< the text after the first "?"
    std::vector<Header> headers;
    std::uint64_t content_length = 0;  ///< 0 when missing or unclear
    /// A Content-Length that is not a number, two that differ, or a
    /// Transfer-Encoding (which this server does not read): taking such a
    /// body as empty would carry out a request with values it never sent.
    bool unclear_length = false;
    /// The bytes that came after the head; once the body is read, exactly the body.
    std::string body;
};

/// The length of the head including its closing CR LF CR LF, or nothing when
/// the bytes do not hold a whole head yet.
[[nodiscard]] std::optional<std::size_t> head_length(std::string_view bytes);

/// Splits a head (invalid UTF-8 replaced) into the request line and headers.
/// Nothing when the first line lacks a method or a target.
[[nodiscard]] std::optional<Request> parse_head(std::string_view head);

/// A Content-Length value as an unsigned decimal number; nothing when it is
/// anything else.
[[nodiscard]] std::optional<std::uint64_t> parse_content_length(std::string_view text);

/// The values of every header with this name, compared without ASCII case.
[[nodiscard]] std::vector<std::string_view> header_values(const Request& request,
                                                          std::string_view name);

/// The value of the first "name=value" part of a query split at "&", or
/// nothing when no part has that name.
[[nodiscard]] std::optional<std::string_view> query_value(std::string_view query,
                                                          std::string_view name);

/// Exactly one Host header, naming 127.0.0.1 or localhost with this port.
[[nodiscard]] bool host_allowed(const Request& request, std::uint16_t port);
/// No Origin header, or exactly one naming this server.
[[nodiscard]] bool origin_allowed(const Request& request, std::uint16_t port);

}  // namespace bootsmith::server
