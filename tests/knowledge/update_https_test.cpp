// update_knowledge end to end: the real curl against a real https server on
// 127.0.0.1 (openssl s_server) with a certificate made for the test.

#include <arpa/inet.h>
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <thread>

#include "foundation/sha256.hpp"
#include "knowledge/outcome_printer.hpp"
#include "knowledge/pack_text.hpp"
#include "knowledge/store.hpp"
#include "knowledge/updates.hpp"
#include "support/run_binary.hpp"
#include "support/scoped_env.hpp"
#include "support/temp_dir.hpp"

namespace bootsmith::knowledge {
namespace {

namespace fs = std::filesystem;
using testing::ScopedEnv;
using testing::TempDir;

bool on_path(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::string rest = path ? path : "";
    while (!rest.empty()) {
        std::size_t colon = rest.find(':');
        std::string dir = rest.substr(0, colon);
        if (!dir.empty() && access((dir + "/" + program).c_str(), X_OK) == 0) {
            return true;
        }
        rest = colon == std::string::npos ? "" : rest.substr(colon + 1);
    }
    return false;
}

bool accepts(int port) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bool ok = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return ok;
}

/// The port of the "ACCEPT 127.0.0.1:<port>" line that s_server prints once
/// it listens; 0 before that.
int announced_port(const fs::path& log) {
    std::string text = testing::read_file(log);
    std::size_t at = text.find("ACCEPT 127.0.0.1:");
    if (at == std::string::npos) {
        return 0;
    }
    return std::atoi(text.c_str() + at + std::string_view("ACCEPT 127.0.0.1:").size());
}

/// `openssl s_server -WWW` serving the files of one folder on a port the
/// system picks when it binds (so no other test can take it first); stopped
/// when destroyed.
class HttpsServer {
  public:
    HttpsServer(const fs::path& root, const fs::path& cert, const fs::path& key) {
        fs::path log = m_log.path() / "s_server.out";
        m_pid = fork();
        if (m_pid == 0) {
            int out = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            if (chdir(root.c_str()) != 0 || out < 0 || dup2(out, STDOUT_FILENO) < 0) {
                _exit(127);
            }
            execlp("openssl", "openssl", "s_server", "-WWW", "-accept", "127.0.0.1:0", "-cert",
                   cert.c_str(), "-key", key.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        for (int i = 0; i < 1500 && m_port == 0; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            m_port = announced_port(log);
        }
    }
    ~HttpsServer() {
        if (m_pid > 0) {
            kill(m_pid, SIGTERM);
            waitpid(m_pid, nullptr, 0);
        }
    }
    HttpsServer(const HttpsServer&) = delete;
    HttpsServer& operator=(const HttpsServer&) = delete;

    [[nodiscard]] bool running() const { return m_pid > 0 && m_port > 0 && accepts(m_port); }
    [[nodiscard]] std::string address(std::string_view file) const {
        return "https://127.0.0.1:" + std::to_string(m_port) + "/" + std::string(file);
    }

  private:
    TempDir m_log;
    int m_port = 0;
    pid_t m_pid = -1;
};

class RealHttps : public ::testing::Test {
  protected:
    TempDir dir;
    fs::path site = dir.path() / "site";
    fs::path folder = dir.path() / "data" / "knowledge";
    std::vector<fs::path> folders{folder};
    std::unique_ptr<HttpsServer> server;
    std::unique_ptr<ScopedEnv> trust;

    void SetUp() override {
        if (!on_path("openssl") || !on_path("curl")) {
            GTEST_SKIP() << "openssl and curl are needed for the https end-to-end tests";
        }
        fs::create_directories(site);
        fs::path cert = dir.path() / "cert.pem";
        fs::path key = dir.path() / "key.pem";
        auto made = testing::run_command(
            "openssl", {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=127.0.0.1",
                        "-addext", "subjectAltName=IP:127.0.0.1", "-days", "1", "-keyout",
                        key.string(), "-out", cert.string()});
        ASSERT_EQ(made.status, 0) << made.err;
        trust = std::make_unique<ScopedEnv>("CURL_CA_BUNDLE", cert.string());
        server = std::make_unique<HttpsServer>(site, cert, key);
        ASSERT_TRUE(server->running()) << "openssl s_server did not start";
        load_store(folders);
    }

    void publish(const std::string& name, std::string_view text) {
        testing::write_file(site / name, text);
    }
    std::string updated(std::string_view version, std::string_view note) {
        return "Updated the knowledge from " + current_store()->builtin_version + " to " +
               std::string(version) + " (2027-02-03). " + std::string(note);
    }
};

TEST_F(RealHttps, MatchingChecksum) {
    std::string pack = testing::small_pack_text("2027.1.1");
    publish("k.json", pack);
    publish("k.json.sha256", util::sha256_hex(pack) + "\n");
    UpdateOutcome outcome = update_knowledge(server->address("k.json"), folders);
    EXPECT_EQ(outcome, (UpdateOutcome{false, updated("2027.1.1", "Its checksum matched.")}));
    EXPECT_EQ(testing::read_file(folder / "pack-2027.1.1.json"), pack);
    EXPECT_EQ(current_store()->pack->version, "2027.1.1");
}

TEST_F(RealHttps, UpperCaseChecksumFollowedByTheFileName) {
    std::string pack = testing::small_pack_text("2027.2");
    std::string digest = util::sha256_hex(pack);
    for (char& c : digest) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    publish("k.json", pack);
    publish("k.json.sha256", digest + "  k.json\n");
    EXPECT_EQ(update_knowledge(server->address("k.json"), folders),
              (UpdateOutcome{false, updated("2027.2", "Its checksum matched.")}));
}

TEST_F(RealHttps, WrongChecksumInstallsNothing) {
    publish("k.json", testing::small_pack_text("2027.3"));
    publish("k.json.sha256", std::string(64, 'f') + "\n");
    EXPECT_EQ(update_knowledge(server->address("k.json"), folders),
              (UpdateOutcome{true,
                             "The downloaded file does not match its published checksum, so it "
                             "was not used."}));
    EXPECT_FALSE(fs::exists(folder / "pack-2027.3.json"));
    EXPECT_FALSE(current_store()->pack.has_value());
}

TEST_F(RealHttps, NoChecksumFile) {
    // s_server answers a missing file with an error text, which holds no digest.
    publish("k.json", testing::small_pack_text("2027.4"));
    EXPECT_EQ(update_knowledge(server->address("k.json"), folders),
              (UpdateOutcome{false, updated("2027.4",
                                            "No checksum was published beside it, so it was "
                                            "checked for form only.")}));
}

}  // namespace
}  // namespace bootsmith::knowledge
