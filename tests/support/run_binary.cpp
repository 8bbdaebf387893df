#include "support/run_binary.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

extern char** environ;

namespace bootsmith::testing {

namespace {

std::vector<std::string> child_environment(const EnvChanges& env) {
    std::vector<std::string> result;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        std::string text = *entry;
        std::string name = text.substr(0, text.find('='));
        if (env.find(name) == env.end()) {
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

}  // namespace

Outcome run_command(const std::string& program, const std::vector<std::string>& args,
                    const EnvChanges& env, const std::string& input) {
    int in_pipe[2], out_pipe[2], err_pipe[2];
    if (pipe2(in_pipe, O_CLOEXEC) != 0 || pipe2(out_pipe, O_CLOEXEC) != 0 ||
        pipe2(err_pipe, O_CLOEXEC) != 0) {
        return {};
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in_pipe[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out_pipe[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err_pipe[1], 2);

    std::vector<std::string> argv_text{program};
    argv_text.insert(argv_text.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : argv_text)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> env_text = child_environment(env);
    std::vector<char*> envp;
    for (auto& e : env_text)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    pid_t pid = 0;
    int rc = posix_spawnp(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(in_pipe[0]);
    close(out_pipe[1]);
    close(err_pipe[1]);
    Outcome outcome;
    if (rc != 0) {
        close(in_pipe[1]);
        close(out_pipe[0]);
        close(err_pipe[0]);
        outcome.err = std::strerror(rc);
        return outcome;
    }
    signal(SIGPIPE, SIG_IGN);
    std::size_t written = 0;
    int in_fd = in_pipe[1];
    if (input.empty()) {
        close(in_fd);
        in_fd = -1;
    }
    int out_fd = out_pipe[0], err_fd = err_pipe[0];
    char buffer[65536];
    while (out_fd >= 0 || err_fd >= 0) {
        pollfd fds[3];
        int n = 0;
        if (out_fd >= 0)
            fds[n++] = {out_fd, POLLIN, 0};
        if (err_fd >= 0)
            fds[n++] = {err_fd, POLLIN, 0};
        if (in_fd >= 0)
            fds[n++] = {in_fd, POLLOUT, 0};
        if (poll(fds, static_cast<nfds_t>(n), -1) < 0)
            continue;
        for (int i = 0; i < n; ++i) {
            if (fds[i].revents == 0)
                continue;
            if (fds[i].fd == in_fd) {
                ssize_t w = write(in_fd, input.data() + written, input.size() - written);
                if (w > 0)
                    written += static_cast<std::size_t>(w);
                if (w < 0 || written == input.size()) {
                    close(in_fd);
                    in_fd = -1;
                }
                continue;
            }
            ssize_t r = read(fds[i].fd, buffer, sizeof buffer);
            std::string& sink = fds[i].fd == out_fd ? outcome.out : outcome.err;
            if (r > 0) {
                sink.append(buffer, static_cast<std::size_t>(r));
            } else {
                close(fds[i].fd);
                (fds[i].fd == out_fd ? out_fd : err_fd) = -1;
            }
        }
    }
    if (in_fd >= 0)
        close(in_fd);
    int status = 0;
    waitpid(pid, &status, 0);
    outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return outcome;
}

std::string bootsmith_binary() {
    return BOOTSMITH_BINARY;
}
std::string source_dir() {
    return BOOTSMITH_SOURCE_DIR;
}

Outcome run_bootsmith(const std::vector<std::string>& args, const EnvChanges& env,
                      const std::string& input) {
    EnvChanges all = env;
    all.emplace("LC_ALL", "C");
    return run_command(bootsmith_binary(), args, all, input);
}

}  // namespace bootsmith::testing
