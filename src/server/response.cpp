#include "server/response.hpp"

namespace bootsmith::server {

namespace {

std::string_view reason(int code) {
    switch (code) {
        case 200:
            return "OK";
        case 400:
            return "Bad Request";
        case 403:
            return "Forbidden";
        case 404:
            return "Not Found";
        case 405:
            return "Method Not Allowed";
        case 413:
            return "Payload Too Large";
        default:
            return "Internal Server Error";
    }
}

}  // namespace

std::string response_bytes(const Response& response) {
    std::string script = response.nonce.empty()
                             ? std::string("script-src 'self'")
                             : "script-src 'self' 'nonce-" + response.nonce + "'";
    std::string bytes;
    bytes.reserve(response.body.size() + 600);
    bytes += "HTTP/1.1 " + std::to_string(response.code) + " ";
    bytes += reason(response.code);
    bytes += "\r\nContent-Type: " + response.content_type;
    bytes += "\r\nContent-Length: " + std::to_string(response.body.size());
    bytes +=
        "\r\nCache-Control: no-store"
        "\r\nConnection: close"
        "\r\nX-Content-Type-Options: nosniff"
        "\r\nReferrer-Policy: no-referrer"
        "\r\nX-Frame-Options: DENY"
        "\r\nContent-Security-Policy: default-src 'self'; ";
    bytes += script;
    bytes +=
        "; style-src 'self' 'unsafe-inline'; img-src 'self' data:; connect-src 'self'; "
        "frame-ancestors 'none'; base-uri 'none'; form-action 'none'\r\n\r\n";
    bytes += response.body;
    return bytes;
}

Response json_response(int code, const json::JsonValue& value) {
    return {code, "application/json; charset=utf-8", json::to_text(value), "", false};
}

Response error_response(int code, std::string_view message) {
    Response response = json_response(
        code, json::JsonValue::object().with_bool("ok", false).with_str("error", message));
    response.error = true;
    return response;
}

}  // namespace bootsmith::server
