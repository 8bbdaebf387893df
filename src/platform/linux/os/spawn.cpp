// Starting a program that outlives the call, without leaving a zombie behind.
//
// Shape: we fork a short-lived helper, which forks the waiter and ends at once
// (we reap the helper, so the waiter belongs to init or the nearest subreaper).
// The waiter starts the program, tells us through a pipe how it went within
// the look time, and then stays to reap the program. Between fork and exec only
// async-signal-safe calls are made: another thread may hold a lock at the fork.
#include "platform/linux/os/spawn.hpp"

#include <fcntl.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

namespace bootsmith::linux_backend {

namespace {

// What the waiter tells us; small enough for one atomic pipe write.
struct Report {
    enum Kind : int { running, ended, not_started } kind = not_started;
    int value = 0;  ///< the wait status (ended) or errno (not_started)
};

void send(int fd, Report report) {
    while (::write(fd, &report, sizeof report) < 0 && errno == EINTR) {
    }
}

void close_other_descriptors(int keep) {
    // Our sockets and files must not stay open for as long as the program runs.
    if (::syscall(SYS_close_range, 3u, static_cast<unsigned>(keep - 1), 0u) != 0 ||
        ::syscall(SYS_close_range, static_cast<unsigned>(keep + 1), UINT_MAX, 0u) != 0) {
        for (int fd = 3; fd < 4096; ++fd) {
            if (fd != keep) {
                ::close(fd);
            }
        }
    }
}

long long monotonic_ms() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

[[noreturn]] void become_program(const char* path, char* const* argv, ChildOutput output,
                                 int exec_error) {
    sigset_t none;
    ::sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    struct sigaction plain {};
    plain.sa_handler = SIG_DFL;
    for (int signal_number = 1; signal_number < NSIG; ++signal_number) {
        ::sigaction(signal_number, &plain, nullptr);
    }
    int null = ::open("/dev/null", O_RDWR);
    if (null >= 0) {
        ::dup2(null, STDIN_FILENO);
        if (output == ChildOutput::discarded) {
            ::dup2(null, STDOUT_FILENO);
            ::dup2(null, STDERR_FILENO);
        }
    }
    ::execve(path, argv, environ);
    int error_number = errno;
    while (::write(exec_error, &error_number, sizeof error_number) < 0 && errno == EINTR) {
    }
    ::_exit(127);
}

// Waits for the program until the look time is over; true when it ended.
bool watch(pid_t program, long long look_ms, int& status) {
    const long long deadline = monotonic_ms() + look_ms;
    const timespec pause{0, 20 * 1000 * 1000};
    while (true) {
        pid_t done = ::waitpid(program, &status, WNOHANG);
        if (done == program) {
            return true;
        }
        if (done < 0 && errno != EINTR) {
            status = 0;
            return true;
        }
        if (monotonic_ms() >= deadline) {
            return false;
        }
        ::nanosleep(&pause, nullptr);
    }
}

[[noreturn]] void be_waiter(const char* path, char* const* argv, ChildOutput output,
                            long long look_ms, int report) {
    close_other_descriptors(report);
    ::setsid();
    int exec_error[2];
    if (::pipe2(exec_error, O_CLOEXEC) != 0) {
        send(report, {Report::not_started, errno});
        ::_exit(0);
    }
    pid_t program = ::fork();
    if (program < 0) {
        send(report, {Report::not_started, errno});
        ::_exit(0);
    }
    if (program == 0) {
        ::close(exec_error[0]);
        ::close(report);
        become_program(path, argv, output, exec_error[1]);
    }
    ::close(exec_error[1]);
    int error_number = 0;
    ssize_t got = 0;
    while ((got = ::read(exec_error[0], &error_number, sizeof error_number)) < 0 &&
           errno == EINTR) {
    }
    int status = 0;
    if (got == sizeof error_number) {
        send(report, {Report::not_started, error_number});
    } else if (watch(program, look_ms, status)) {
        send(report, {Report::ended, status});
        ::_exit(0);
    } else {
        send(report, {Report::running, 0});
    }
    ::close(report);
    while (::waitpid(program, &status, 0) < 0 && errno == EINTR) {
    }
    ::_exit(0);
}

std::expected<ChildState, int> read_report(int fd) {
    Report report;
    ssize_t got = 0;
    while ((got = ::read(fd, &report, sizeof report)) < 0 && errno == EINTR) {
    }
    if (got != sizeof report) {
        return std::unexpected(got < 0 ? errno : ECHILD);
    }
    switch (report.kind) {
        case Report::running:
            return ChildState::running;
        case Report::ended:
            return WIFEXITED(report.value) && WEXITSTATUS(report.value) == 0 ? ChildState::succeeded
                                                                             : ChildState::failed;
        case Report::not_started:
            break;
    }
    return std::unexpected(report.value);
}

}  // namespace

std::expected<ChildState, int> spawn_detached(const std::string& program,
                                              const std::vector<std::string>& args,
                                              ChildOutput output, std::chrono::milliseconds look) {
    std::vector<std::string> texts{program};
    texts.insert(texts.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& text : texts) {
        argv.push_back(text.data());
    }
    argv.push_back(nullptr);
    const long long look_ms = look.count() < 0 ? 0 : static_cast<long long>(look.count());

    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0) {
        return std::unexpected(errno);
    }
    pid_t helper = ::fork();
    if (helper < 0) {
        int error_number = errno;
        ::close(report[0]);
        ::close(report[1]);
        return std::unexpected(error_number);
    }
    if (helper == 0) {
        ::close(report[0]);
        pid_t waiter = ::fork();
        if (waiter < 0) {
            send(report[1], {Report::not_started, errno});
        } else if (waiter == 0) {
            be_waiter(program.c_str(), argv.data(), output, look_ms, report[1]);
        }
        ::_exit(0);
    }
    ::close(report[1]);
    while (::waitpid(helper, nullptr, 0) < 0 && errno == EINTR) {
    }
    auto state = read_report(report[0]);
    ::close(report[0]);
    return state;
}

}  // namespace bootsmith::linux_backend
