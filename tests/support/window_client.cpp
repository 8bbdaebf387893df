#include "support/window_client.hpp"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <regex>
#include <thread>

extern char** environ;

namespace bootsmith::testing {

namespace {

using Clock = std::chrono::steady_clock;

std::vector<std::string> environment_with(const EnvChanges& env) {
    std::vector<std::string> result;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        std::string text = *entry;
        if (env.find(text.substr(0, text.find('='))) == env.end()) {
            result.push_back(text);
        }
    }
    for (const auto& [name, value] : env) {
        if (value) {
            result.push_back(name + "=" + *value);
        }
    }
    return result;
}

std::vector<char*> pointers(std::vector<std::string>& texts) {
    std::vector<char*> result;
    for (auto& t : texts) {
        result.push_back(t.data());
    }
    result.push_back(nullptr);
    return result;
}

}  // namespace

WindowProcess::WindowProcess(std::vector<std::string> args, const EnvChanges& env) {
    EnvChanges changes = env;
    changes.emplace("BOOTSMITH_NO_BROWSER", "1");
    changes.emplace("TMPDIR", m_tmp.path().string());
    changes.emplace("LC_ALL", "C");
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) {
        return;
    }
    std::string err_file = (m_tmp.path() / "stderr.txt").string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, err_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    std::vector<std::string> argv_text{bootsmith_binary()};
    argv_text.insert(argv_text.end(), args.begin(), args.end());
    std::vector<std::string> env_text = environment_with(changes);
    int rc = posix_spawn(&m_pid, argv_text.front().c_str(), &actions, nullptr,
                         pointers(argv_text).data(), pointers(env_text).data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    if (rc != 0) {
        m_pid = -1;
        ::close(out[0]);
        return;
    }
    // The three lines come at once; a sanitizer build may take a while to start.
    Clock::time_point deadline = Clock::now() + std::chrono::seconds(60);
    char buffer[1024];
    while (std::count(m_printed.begin(), m_printed.end(), '\n') < 3 && Clock::now() < deadline) {
        pollfd p{out[0], POLLIN, 0};
        if (::poll(&p, 1, 1000) <= 0) {
            continue;
        }
        ssize_t n = ::read(out[0], buffer, sizeof buffer);
        if (n <= 0) {
            break;
        }
        m_printed.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(out[0]);
    std::smatch m;
    static const std::regex link(R"(http://127\.0\.0\.1:(\d+)/#k=([0-9a-f]{64}))");
    if (std::regex_search(m_printed, m, link)) {
        m_port = static_cast<std::uint16_t>(std::stoi(m[1].str()));
        m_key = m[2].str();
    }
}

WindowProcess::~WindowProcess() {
    if (m_pid > 0 && !m_status) {
        ::kill(m_pid, SIGKILL);
        int status = 0;
        ::waitpid(m_pid, &status, 0);
    }
}

std::optional<int> WindowProcess::wait_exit(std::chrono::milliseconds limit) {
    Clock::time_point deadline = Clock::now() + limit;
    while (!m_status && m_pid > 0) {
        int status = 0;
        pid_t done = ::waitpid(m_pid, &status, WNOHANG);
        if (done == m_pid) {
            m_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            break;
        }
        if (Clock::now() >= deadline) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return m_status;
}

std::string WindowProcess::bootstrap() const {
    HttpAnswer a = call(m_port, "POST", "/api/bootstrap", "", R"({"k":")" + m_key + R"("})");
    std::smatch m;
    static const std::regex token(R"re("token":"([0-9a-f]{64})")re");
    return std::regex_search(a.body, m, token) ? m[1].str() : std::string();
}

int connect_local(std::uint16_t port) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

HttpAnswer read_answer(int fd, std::chrono::milliseconds limit) {
    HttpAnswer answer;
    Clock::time_point deadline = Clock::now() + limit;
    char buffer[8192];
    while (Clock::now() < deadline) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 200) <= 0) {
            continue;
        }
        ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) {
            break;
        }
        answer.raw.append(buffer, static_cast<std::size_t>(n));
    }
    std::size_t end = answer.raw.find("\r\n\r\n");
    if (end != std::string::npos && answer.raw.starts_with("HTTP/1.1 ")) {
        answer.head = answer.raw.substr(0, end + 4);
        answer.body = answer.raw.substr(end + 4);
        answer.code = std::atoi(answer.raw.c_str() + 9);
    }
    return answer;
}

HttpAnswer send_raw(std::uint16_t port, std::string_view bytes) {
    int fd = connect_local(port);
    if (fd < 0) {
        return {};
    }
    ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    HttpAnswer answer = read_answer(fd);
    ::close(fd);
    return answer;
}

std::string request_text(std::uint16_t port, std::string_view method, std::string_view target,
                         std::string_view token, std::string_view body,
                         std::string_view extra_headers) {
    std::string text = std::string(method) + " " + std::string(target) + " HTTP/1.1\r\n";
    text += "Host: 127.0.0.1:" + std::to_string(port) + "\r\n";
    if (!token.empty()) {
        text += "X-Bootsmith-Token: " + std::string(token) + "\r\n";
    }
    if (method == "POST") {
        text += "Content-Type: application/json\r\nContent-Length: " + std::to_string(body.size()) +
                "\r\n";
    }
    text += std::string(extra_headers) + "\r\n";
    text += body;
    return text;
}

HttpAnswer call(std::uint16_t port, std::string_view method, std::string_view target,
                std::string_view token, std::string_view body) {
    return send_raw(port, request_text(port, method, target, token, body));
}

}  // namespace bootsmith::testing
