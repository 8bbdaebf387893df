// Request reading: head splitting, header parsing, the content length, the
// query and the Host and Origin checks, on arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "server/request.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace bootsmith::server;
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::optional<std::size_t> length = head_length(bytes);
    std::string_view head = length ? bytes.substr(0, *length - 4) : bytes;
    if (auto request = parse_head(head)) {
        // A head never leaks a line end or a query into what it was split into.
        if (request->method.empty() || request->path.find('?') != std::string::npos) {
            __builtin_trap();
        }
        for (const Header& header : request->headers) {
            if (header.name.find("\r\n") != std::string::npos ||
                header.value.find("\r\n") != std::string::npos) {
                __builtin_trap();
            }
        }
        (void)host_allowed(*request, 8080);
        (void)origin_allowed(*request, 8080);
        (void)query_value(request->query, "k");
        for (const Header& header : request->headers) {
            (void)parse_content_length(header.value);
        }
    }
    (void)parse_content_length(bytes);
    (void)query_value(bytes, "k");
    return 0;
}
