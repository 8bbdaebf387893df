#include "server/exchange.hpp"

#include "foundation/random.hpp"
#include "server/api.hpp"

namespace bootsmith::resources {
extern const std::string_view window_page;
}  // namespace bootsmith::resources

namespace bootsmith::server {

namespace {

constexpr std::string_view link_refused =
    "This link has already been used, or is wrong. Press Quit in the window that is open, or "
    "start Bootsmith again.";

Response page(const ServerState& state, const Request& request) {
    if (request.method != "GET") {
        return error_response(405, "GET only.");
    }
    std::optional<std::string> nonce = util::random_hex(12);
    if (!nonce) {
        return error_response(500, "No random numbers.");
    }
    std::string text;
    std::string_view rest = state.page;
    constexpr std::string_view slot = "{{NONCE}}";
    for (std::size_t at = rest.find(slot); at != std::string_view::npos; at = rest.find(slot)) {
        text.append(rest.substr(0, at)).append(*nonce);
        rest.remove_prefix(at + slot.size());
    }
    text.append(rest);
    return {200, "text/html; charset=utf-8", std::move(text), std::move(*nonce), false};
}

Response bootstrap(ServerState& state, Request& request, const BodyReader& read_body) {
    if (request.method != "POST" || !read_body(request, bootstrap_body_limit)) {
        return error_response(400, "Bad request.");
    }
    auto body = json::parse(request.body);
    std::string key = body ? body->get_str("k") : std::string();
    // The key is compared first, so that a wrong key can never use up the link.
    if (util::equal_constant_time(key, state.link_key) && !state.link_used.exchange(true)) {
        return json_response(
            200, json::JsonValue::object().with_bool("ok", true).with_str("token", state.token));
    }
    return error_response(403, link_refused);
}

bool token_presented(const ServerState& state, const Request& request) {
    std::vector<std::string_view> tokens = header_values(request, "x-bootsmith-token");
    if (!tokens.empty() && util::equal_constant_time(tokens.front(), state.token)) {
        return true;
    }
    // The page's goodbye is a beacon, which cannot carry a header.
    if (request.path == "/api/bye") {
        std::optional<std::string_view> key = query_value(request.query, "k");
        return key && util::equal_constant_time(*key, state.token);
    }
    return false;
}

}  // namespace

Response answer(ServerState& state, Request& request, const BodyReader& read_body,
                std::optional<ChangeGate::Pass>& pass) {
    if (!host_allowed(request, state.port)) {
        return error_response(403, "Wrong host name.");
    }
    if (!origin_allowed(request, state.port)) {
        return error_response(403, "Cross-origin requests are not allowed.");
    }
    if (request.unclear_length) {
        return error_response(400, "Bad request: the length of its body is unclear.");
    }
    if (request.path == "/" || request.path == "/index.html") {
        return page(state, request);
    }
    if (!request.path.starts_with("/api/")) {
        return error_response(404, "Not found.");
    }
    if (request.path == "/api/bootstrap") {
        return bootstrap(state, request, read_body);
    }
    if (!token_presented(state, request)) {
        return error_response(403, "Missing or wrong token.");
    }
    json::JsonValue body = json::JsonValue::object();
    if (request.method == "POST") {
        if (!read_body(request, body_limit)) {
            return error_response(413, "The request was too large or did not arrive in time.");
        }
        if (!request.body.empty() && request.path != "/api/bye") {
            auto parsed = json::parse(request.body);
            if (!parsed) {
                return error_response(400, "Bad request body: " + parsed.error());
            }
            body = std::move(*parsed);
        }
    }
    ApiCall call{state, body, pass};
    std::optional<json::JsonValue> result = route(call, request.method, request.path);
    if (!result) {
        return error_response(404, "Unknown request.");
    }
    return json_response(200, *result);
}

}  // namespace bootsmith::server
