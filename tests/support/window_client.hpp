#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "support/run_binary.hpp"
#include "support/temp_dir.hpp"

namespace bootsmith::testing {

/// The built bootsmith serving its window (BOOTSMITH_NO_BROWSER=1, TMPDIR a
/// private folder), started in the constructor and killed in the destructor
/// unless it ended by itself.
class WindowProcess {
  public:
    explicit WindowProcess(std::vector<std::string> args = {"--demo", "serve"},
                           const EnvChanges& env = {});
    ~WindowProcess();
    WindowProcess(const WindowProcess&) = delete;
    WindowProcess& operator=(const WindowProcess&) = delete;

    [[nodiscard]] bool started() const { return m_port != 0; }
    [[nodiscard]] std::uint16_t port() const { return m_port; }
    [[nodiscard]] const std::string& key() const { return m_key; }
    /// The three lines it printed.
    [[nodiscard]] const std::string& printed() const { return m_printed; }
    [[nodiscard]] const TempDir& tmp() const { return m_tmp; }
    [[nodiscard]] pid_t pid() const { return m_pid; }
    /// The exit status once it has ended within `limit`, else nothing.
    [[nodiscard]] std::optional<int> wait_exit(std::chrono::milliseconds limit);
    /// Claims the token with the printed key ("" when refused).
    [[nodiscard]] std::string bootstrap() const;

  private:
    TempDir m_tmp;
    pid_t m_pid = -1;
    std::optional<int> m_status;
    std::uint16_t m_port = 0;
    std::string m_key;
    std::string m_printed;
};

/// An answer as read from the socket; code 0 when nothing came.
struct HttpAnswer {
    int code = 0;
    std::string head;
    std::string body;
    std::string raw;
};

/// A connection to 127.0.0.1:port, or -1.
[[nodiscard]] int connect_local(std::uint16_t port);
/// Reads until the peer closes (or `limit` passes) and splits the answer.
[[nodiscard]] HttpAnswer read_answer(
    int fd, std::chrono::milliseconds limit = std::chrono::milliseconds(30000));
/// Sends raw bytes on a fresh connection and reads the answer.
[[nodiscard]] HttpAnswer send_raw(std::uint16_t port, std::string_view bytes);
/// A well-formed request with Host, the token header (when given) and a body.
[[nodiscard]] std::string request_text(std::uint16_t port, std::string_view method,
                                       std::string_view target, std::string_view token,
                                       std::string_view body = "",
                                       std::string_view extra_headers = "");
/// send_raw(request_text(...)).
[[nodiscard]] HttpAnswer call(std::uint16_t port, std::string_view method, std::string_view target,
                              std::string_view token, std::string_view body = "");

}  // namespace bootsmith::testing
