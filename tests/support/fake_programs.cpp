#include "support/fake_programs.hpp"

#include <stdlib.h>

namespace bootsmith::testing {

namespace fs = std::filesystem;

FakePrograms::FakePrograms(bool only) {
    m_bin = m_dir.path() / "bin";
    fs::create_directories(m_bin);
    const char* old = std::getenv("PATH");
    m_had_path = old != nullptr;
    m_old_path = old ? old : "";
    std::string path = m_bin.string();
    if (!only && m_had_path) {
        path += ":" + m_old_path;
    }
    setenv("PATH", path.c_str(), 1);
}

FakePrograms::~FakePrograms() {
    if (m_had_path) {
        setenv("PATH", m_old_path.c_str(), 1);
    } else {
        unsetenv("PATH");
    }
}

fs::path FakePrograms::add(std::string_view name, std::string_view body) const {
    fs::path script = m_bin / name;
    write_file(script, "#!/bin/sh\n" + std::string(body) + "\n");
    fs::permissions(script, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                fs::perms::others_read | fs::perms::others_exec);
    return script;
}

fs::path FakePrograms::add_logged(std::string_view name, std::string_view body) const {
    std::string log = (m_dir.path() / "calls.log").string();
    std::string script = "echo \"" + std::string(name) + " $*\" >> '" + log + "'\n";
    return add(name, script + std::string(body));
}

std::string FakePrograms::calls() const {
    return read_file(m_dir.path() / "calls.log");
}

}  // namespace bootsmith::testing
