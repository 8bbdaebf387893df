#include "engine/run.hpp"

#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <mutex>
#include <set>
#include <system_error>
#include <thread>

#include "engine/data_folders.hpp"
#include "foundation/clock.hpp"
#include "foundation/random.hpp"
#include "foundation/text.hpp"
#include "knowledge/store.hpp"

namespace bootsmith::engine {

namespace {

// Folders still owned when the process exits normally (for example when the
// window ends the process from one of its threads) are removed then.
std::mutex owned_mutex;
std::set<std::filesystem::path>& owned_folders() {
    static std::set<std::filesystem::path> folders;
    return folders;
}

void remove_owned_at_exit() {
    std::lock_guard lock(owned_mutex);
    for (const auto& folder : owned_folders()) {
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    }
    owned_folders().clear();
}

// Ctrl+C (or a plain kill) is how a user stops the window from its terminal.
// The signals are blocked in this thread before any other thread exists, so
// every later thread inherits the mask and only the waiting thread takes
// them: it removes the folders in ordinary code, not in a signal handler,
// and ends the process as the signal would have. Started programs get an
// empty mask back.
void remove_on_interrupt() {
    static std::once_flag started;
    std::call_once(started, [] {
        sigset_t signals;
        ::sigemptyset(&signals);
        for (int number : {SIGINT, SIGTERM, SIGHUP}) {
            ::sigaddset(&signals, number);
        }
        if (::pthread_sigmask(SIG_BLOCK, &signals, nullptr) != 0) {
            return;
        }
        std::thread([signals] {
            int number = 0;
            if (::sigwait(&signals, &number) == 0) {
                remove_owned_at_exit();
                ::_exit(128 + number);
            }
        }).detach();
    });
}

void own(const std::filesystem::path& folder) {
    static std::once_flag registered;
    // The set is made before the hook is registered, so it is destroyed only
    // after the hook has run.
    std::call_once(registered, [] {
        (void)owned_folders();
        std::atexit(remove_owned_at_exit);
    });
    std::lock_guard lock(owned_mutex);
    owned_folders().insert(folder);
}

}  // namespace

DemoFolder::DemoFolder(std::filesystem::path folder, bool made)
    : m_path(std::move(folder)), m_made(made) {
    if (m_made) {
        own(m_path);
        remove_on_interrupt();
    }
}

DemoFolder::DemoFolder(DemoFolder&& other) noexcept
    : m_path(std::move(other.m_path)), m_made(other.m_made) {
    other.m_made = false;
}

DemoFolder& DemoFolder::operator=(DemoFolder&& other) noexcept {
    if (this != &other) {
        remove();
        m_path = std::move(other.m_path);
        m_made = other.m_made;
        other.m_made = false;
    }
    return *this;
}

DemoFolder::~DemoFolder() {
    remove();
}

void DemoFolder::remove() {
    if (!m_made) {
        return;
    }
    m_made = false;
    // remove_all deletes links themselves, never what they point to.
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
    std::lock_guard lock(owned_mutex);
    owned_folders().erase(m_path);
}

void remove_demo_folders() {
    remove_owned_at_exit();
}

DemoFolder make_demo_folder() {
    std::string tmp = util::env_text("TMPDIR");
    std::filesystem::path base = tmp.empty() ? std::string("/tmp") : tmp;
    for (int attempt = 0; attempt < 10; ++attempt) {
        std::string suffix = util::random_hex(6).value_or(std::to_string(util::now_unix()));
        std::filesystem::path folder = base / ("bootsmith-demo-" + suffix);
        // Private: it sits in a folder that every account can write into.
        if (::mkdir(folder.c_str(), 0700) == 0) {
            return DemoFolder(folder, true);
        }
    }
    return DemoFolder(base / "bootsmith-demo", false);
}

Run open_run(bool demo, const PlatformFactory& make_platform) {
    Run run;
    if (demo) {
        run.demo_folder = make_demo_folder();
        set_data_folder_override(run.demo_folder.path());
    }
    run.engine = std::make_unique<Engine>(make_platform(demo));
    knowledge::load_store(knowledge_folders(run.engine->system()));
    return run;
}

}  // namespace bootsmith::engine
