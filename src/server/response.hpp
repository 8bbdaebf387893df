#pragma once

#include <string>
#include <string_view>

#include "foundation/json.hpp"

namespace bootsmith::server {

/// One answer; every connection carries exactly one.
struct Response {
    int code = 200;
    std::string content_type;
    std::string body;
    std::string nonce;   ///< allows the page's one script; empty for everything else
    bool error = false;  ///< an error response: the rest of the request is drained first
};

/// The head (CRLF line ends, the fixed headers, the security policy) and the body.
[[nodiscard]] std::string response_bytes(const Response& response);

/// The compact JSON text of a value as "application/json; charset=utf-8".
[[nodiscard]] Response json_response(int code, const json::JsonValue& value);

/// {"ok":false,"error":message}.
[[nodiscard]] Response error_response(int code, std::string_view message);

}  // namespace bootsmith::server
