#include "server/request.hpp"

#include <charconv>

#include "foundation/text.hpp"

namespace bootsmith::server {

namespace {

constexpr std::string_view head_end = "\r\n\r\n";

// The head as text: every byte that does not start a valid UTF-8 character
// becomes U+FFFD, so that names and values compared later are valid text.
std::string as_text(std::string_view bytes) {
    if (util::is_valid_utf8(bytes)) {
        return std::string(bytes);
    }
    std::string text;
    for (std::size_t pos = 0; pos < bytes.size();) {
        util::Utf8Char c = util::read_utf8_char(bytes, pos);
        if (c.valid) {
            text.append(bytes.substr(pos, c.length));
        } else {
            util::append_utf8(text, U'\uFFFD');
        }
        pos += c.length;
    }
    return text;
}

// "{scheme}127.0.0.1:{port}" or "{scheme}localhost:{port}", exactly.
bool names_this_server(std::string_view text, std::string_view scheme, std::uint16_t port) {
    for (std::string_view host : {"127.0.0.1", "localhost"}) {
        std::string expected(scheme);
        expected.append(host).append(":").append(std::to_string(port));
        if (text == expected) {
            return true;
        }
    }
    return false;
}

}  // namespace

std::optional<std::size_t> head_length(std::string_view bytes) {
    std::size_t at = bytes.find(head_end);
    if (at == std::string_view::npos) {
        return std::nullopt;
    }
    return at + head_end.size();
}

std::optional<Request> parse_head(std::string_view head) {
    std::string text = as_text(head);
    std::vector<std::string_view> lines = util::split(text, "\r\n");
    std::vector<std::string_view> words = util::split(lines.front(), " ");
    if (words.size() < 2 || words[0].empty() || words[1].empty()) {
        return std::nullopt;
    }
    Request request;
    request.method = words[0];
    std::string_view target = words[1];
    std::size_t question = target.find('?');
    request.path = target.substr(0, question);
    if (question != std::string_view::npos) {
        request.query = target.substr(question + 1);
    }
    for (std::size_t i = 1; i < lines.size(); ++i) {
        std::size_t colon = lines[i].find(':');
        // A line without a colon names nothing and is passed over.
        if (colon == std::string_view::npos) {
            continue;
        }
        request.headers.push_back({std::string(util::trim(lines[i].substr(0, colon))),
                                   std::string(util::trim(lines[i].substr(colon + 1)))});
    }
    request.unclear_length = !header_values(request, "transfer-encoding").empty();
    std::vector<std::string_view> lengths = header_values(request, "content-length");
    for (std::string_view value : lengths) {
        std::optional<std::uint64_t> length = parse_content_length(value);
        if (!length || (value != lengths.front() && *length != request.content_length)) {
            request.unclear_length = true;
            break;
        }
        request.content_length = *length;
    }
    if (request.unclear_length) {
        request.content_length = 0;
    }
    return request;
}

std::optional<std::uint64_t> parse_content_length(std::string_view text) {
    std::uint64_t value = 0;
    const char* end = text.data() + text.size();
    auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end || text.front() == '+') {
        return std::nullopt;
    }
    return value;
}

std::vector<std::string_view> header_values(const Request& request, std::string_view name) {
    std::vector<std::string_view> values;
    for (const Header& header : request.headers) {
        if (util::equals_ignore_ascii_case(header.name, name)) {
            values.push_back(header.value);
        }
    }
    return values;
}

std::optional<std::string_view> query_value(std::string_view query, std::string_view name) {
    for (std::string_view part : util::split(query, "&")) {
        std::size_t equals = part.find('=');
        if (part.substr(0, equals) == name) {
            return equals == std::string_view::npos ? std::string_view() : part.substr(equals + 1);
        }
    }
    return std::nullopt;
}

bool host_allowed(const Request& request, std::uint16_t port) {
    std::vector<std::string_view> hosts = header_values(request, "host");
    return hosts.size() == 1 && names_this_server(util::ascii_lower(hosts.front()), "", port);
}

bool origin_allowed(const Request& request, std::uint16_t port) {
    std::vector<std::string_view> origins = header_values(request, "origin");
    return origins.empty() ||
           (origins.size() == 1 && names_this_server(origins.front(), "http://", port));
}

}  // namespace bootsmith::server
