// Running an external program with captured output and a hard time limit.
//
// Signals: nothing process-wide is changed. The thread that feeds the
// program's input blocks SIGPIPE for itself only, so a program that exits
// without reading its input gives that thread EPIPE instead of killing us.
// The program itself starts with every signal at its default action and an
// empty signal mask, whatever our process has set up.
//
// Descriptors: every pipe is created close-on-exec, so concurrent runs never
// leak descriptors into each other's programs; the child also closes every
// descriptor above 2 before it starts.
#include "foundation/process.hpp"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <spawn.h>
#include <sys/eventfd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <functional>
#include <thread>
#include <utility>

#include "foundation/descriptor.hpp"
#include "foundation/files.hpp"

extern char** environ;

namespace bootsmith::util {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto poll_interval = std::chrono::milliseconds(8);
// How long the readers keep taking output after the program ended, for the
// case that a program it started still holds the pipe and keeps writing.
constexpr auto drain_limit = std::chrono::milliseconds(200);

using Fd = Descriptor;

// A thread started with pthread_create, which reports failure as a value
// where std::thread would throw.
class Worker {
  public:
    Worker() = default;
    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;
    ~Worker() { join(); }

    // False (with errno set) when the thread could not be created.
    bool start(std::function<void()> task) {
        m_task = std::move(task);
        int error = ::pthread_create(&m_thread, nullptr, &Worker::run, this);
        if (error != 0) {
            errno = error;
            return false;
        }
        m_running = true;
        return true;
    }
    void join() {
        if (m_running) {
            ::pthread_join(m_thread, nullptr);
            m_running = false;
        }
    }

  private:
    static void* run(void* self) {
        static_cast<Worker*>(self)->m_task();
        return nullptr;
    }
    std::function<void()> m_task;
    pthread_t m_thread{};
    bool m_running = false;
};

// Moves a descriptor above 0-2, so that wiring up the child's standard
// descriptors can never overwrite another pipe end (possible when our own
// standard descriptors were closed).
bool above_standard(Fd& fd) {
    if (fd.get() > STDERR_FILENO) {
        return true;
    }
    Fd moved(::fcntl(fd.get(), F_DUPFD_CLOEXEC, STDERR_FILENO + 1));
    fd = std::move(moved);
    return fd.valid();
}

bool open_pipe(Fd& read_end, Fd& write_end) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        return false;
    }
    read_end = Fd(fds[0]);
    write_end = Fd(fds[1]);
    return above_standard(read_end) && above_standard(write_end);
}

bool set_non_blocking(int fd) {
    int flags = ::fcntl(fd, F_GETFL);
    return flags >= 0 && ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

void signal_ended(int ended) {
    std::uint64_t one = 1;
    while (::write(ended, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

// Writes the whole input, then closes the pipe so the program sees its end.
// Gives up when the program ends without reading it all.
void feed(Fd& fd, std::string_view data, int ended) {
    sigset_t pipe_signal;
    ::sigemptyset(&pipe_signal);
    ::sigaddset(&pipe_signal, SIGPIPE);
    ::pthread_sigmask(SIG_BLOCK, &pipe_signal, nullptr);
    while (!data.empty()) {
        ssize_t done = ::write(fd.get(), data.data(), data.size());
        if (done > 0) {
            data.remove_prefix(static_cast<std::size_t>(done));
        } else if (done < 0 && errno == EAGAIN) {
            pollfd fds[2] = {{fd.get(), POLLOUT, 0}, {ended, POLLIN, 0}};
            if (::poll(fds, 2, -1) > 0 && (fds[1].revents & POLLIN) != 0) {
                break;
            }
        } else if (!(done < 0 && errno == EINTR)) {
            break;  // EPIPE: the program closed its input
        }
    }
    fd.reset();
    // Take back the SIGPIPE a refused write raised, while it is still blocked.
    timespec no_wait{};
    while (::sigtimedwait(&pipe_signal, nullptr, &no_wait) > 0) {
    }
}

// Stops the reading of an output that grew past its limit; the waiting
// thread then ends the program.
struct OutputLimit {
    std::size_t bytes = 0;  // 0: none
    std::atomic<bool> passed{false};
};

// Reads until the end of the output; after the program ended, only what is
// already there (bounded by drain_limit).
void drain(int fd, int ended, std::string& out, OutputLimit* limit = nullptr) {
    char buffer[65536];
    bool ending = false;
    Clock::time_point ending_since;
    while (true) {
        pollfd fds[2] = {{fd, POLLIN, 0}, {ended, POLLIN, 0}};
        int ready = ::poll(fds, ending ? 1 : 2, ending ? 0 : -1);
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready <= 0) {
            return;
        }
        if (fds[0].revents != 0) {
            ssize_t got = ::read(fd, buffer, sizeof buffer);
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got <= 0) {
                return;
            }
            out.append(buffer, static_cast<std::size_t>(got));
            if (limit != nullptr && limit->bytes != 0 && out.size() > limit->bytes) {
                limit->passed = true;
                return;
            }
            if (ending && Clock::now() - ending_since > drain_limit) {
                return;
            }
        } else {
            ending = true;
            ending_since = Clock::now();
        }
    }
}

// The inherited environment with the extra pairs added; an extra pair replaces
// an inherited variable of the same name, and a later pair an earlier one.
std::vector<std::string> child_environment(const Pairs& extra) {
    std::vector<std::string> entries;
    auto overridden = [&](std::string_view entry) {
        std::string_view name = entry.substr(0, entry.find('='));
        for (const auto& pair : extra) {
            if (pair.first == name) {
                return true;
            }
        }
        return false;
    };
    for (char** variable = environ; variable != nullptr && *variable != nullptr; ++variable) {
        if (!overridden(*variable)) {
            entries.emplace_back(*variable);
        }
    }
    for (std::size_t i = 0; i < extra.size(); ++i) {
        bool later = false;
        for (std::size_t j = i + 1; j < extra.size(); ++j) {
            later = later || extra[j].first == extra[i].first;
        }
        if (!later) {
            entries.push_back(extra[i].first + "=" + extra[i].second);
        }
    }
    return entries;
}

std::vector<char*> pointers(std::vector<std::string>& texts) {
    std::vector<char*> result;
    result.reserve(texts.size() + 1);
    for (std::string& text : texts) {
        result.push_back(text.data());
    }
    result.push_back(nullptr);
    return result;
}

// The pipes of one run and the event that tells its threads the program ended.
struct Channels {
    Fd input_read, input_write;
    Fd output_read, output_write;
    Fd error_read, error_write;
    Fd ended;
};

// Creates the pipes; returns 0 or the errno value of the first failure.
int open_channels(Channels& c, bool with_input) {
    if (with_input && !open_pipe(c.input_read, c.input_write)) {
        return errno;
    }
    if (!open_pipe(c.output_read, c.output_write) || !open_pipe(c.error_read, c.error_write)) {
        return errno;
    }
    c.ended = Fd(::eventfd(0, EFD_CLOEXEC));
    if (!c.ended.valid()) {
        return errno;
    }
    // Only our end is non-blocking, so the feeding thread can give up when the
    // program ends without reading; the program's end stays as usual.
    if (c.input_write.valid() && !set_non_blocking(c.input_write.get())) {
        return errno;
    }
    return 0;
}

// Starts the program; returns its pid, or the errno value as a negative number.
pid_t spawn(const std::string& program, const std::vector<std::string>& args, const Pairs& extra,
            const Channels& c) {
    std::vector<std::string> argv_texts{program};
    argv_texts.insert(argv_texts.end(), args.begin(), args.end());
    std::vector<std::string> env_texts = child_environment(extra);
    std::vector<char*> argv = pointers(argv_texts);
    std::vector<char*> envp = pointers(env_texts);

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawnattr_init(&attributes);
    if (c.input_read.valid()) {
        ::posix_spawn_file_actions_adddup2(&actions, c.input_read.get(), STDIN_FILENO);
    } else {
        ::posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    }
    ::posix_spawn_file_actions_adddup2(&actions, c.output_write.get(), STDOUT_FILENO);
    ::posix_spawn_file_actions_adddup2(&actions, c.error_write.get(), STDERR_FILENO);
    ::posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
    sigset_t all;
    sigset_t none;
    ::sigfillset(&all);
    ::sigemptyset(&none);
    ::posix_spawnattr_setsigdefault(&attributes, &all);
    ::posix_spawnattr_setsigmask(&attributes, &none);
    ::posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

    pid_t pid = -1;
    int error =
        ::posix_spawnp(&pid, program.c_str(), &actions, &attributes, argv.data(), envp.data());
    ::posix_spawn_file_actions_destroy(&actions);
    ::posix_spawnattr_destroy(&attributes);
    return error == 0 ? pid : -error;
}

// Waits without blocking; true once the program has ended (status filled in).
bool has_ended(pid_t pid, int& status) {
    while (true) {
        pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid) {
            return true;
        }
        if (done == 0) {
            return false;
        }
        if (errno != EINTR) {
            // Someone else reaped it (SIGCHLD ignored): it ended, status unknown.
            status = -1;
            return true;
        }
    }
}

// Polls every few milliseconds until the program ends or a limit is passed,
// in which case it is killed and reaped.
void wait_for(pid_t pid, int limit_seconds, const OutputLimit& output, RunResult& result) {
    const auto limit = std::chrono::seconds(limit_seconds < 0 ? 0 : limit_seconds);
    const auto start = Clock::now();
    int status = 0;
    while (!has_ended(pid, status)) {
        const bool too_long = output.passed;
        if (too_long || Clock::now() - start > limit) {
            ::kill(pid, SIGKILL);
            while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
            result.timed_out = !too_long;
            result.too_long = too_long;
            result.exit_code = -1;
            return;
        }
        std::this_thread::sleep_for(poll_interval);
    }
    result.exit_code = status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

RunResult start_failure(const std::string& program, int error_number) {
    RunResult result;
    result.err = program + ": " + system_error_text(error_number);
    return result;
}

}  // namespace

RunResult run_program(const std::string& program, const std::vector<std::string>& args,
                      const Pairs& extra_env, const std::optional<std::string>& input,
                      int limit_seconds, std::size_t output_limit) {
    Channels c;
    if (int error = open_channels(c, input.has_value()); error != 0) {
        return start_failure(program, error);
    }
    pid_t pid = spawn(program, args, extra_env, c);
    if (pid < 0) {
        return start_failure(program, -pid);
    }
    // Our copies of the program's ends must go, or the readers never see the end.
    c.input_read.reset();
    c.output_write.reset();
    c.error_write.reset();

    std::string output, error_output;
    OutputLimit limit;
    limit.bytes = output_limit;
    Worker feeder, output_reader, error_reader;
    bool started =
        (!input || feeder.start([&] { feed(c.input_write, *input, c.ended.get()); })) &&
        output_reader.start([&] { drain(c.output_read.get(), c.ended.get(), output, &limit); }) &&
        error_reader.start([&] { drain(c.error_read.get(), c.ended.get(), error_output); });
    int thread_error = errno;

    RunResult result;
    if (started) {
        wait_for(pid, limit_seconds, limit, result);
    } else {
        ::kill(pid, SIGKILL);
        while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
    signal_ended(c.ended.get());
    feeder.join();
    output_reader.join();
    error_reader.join();
    if (!started) {
        return start_failure(program, thread_error);
    }
    // Also when the program ended by itself while its last output was read.
    if (limit.passed) {
        result.too_long = true;
        result.timed_out = false;
        result.exit_code = -1;
    }
    result.out = decode_text(output);
    result.err = decode_text(error_output);
    result.raw_out = std::move(output);
    return result;
}

}  // namespace bootsmith::util
