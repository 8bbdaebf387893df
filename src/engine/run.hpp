#pragma once

#include <filesystem>
#include <functional>
#include <memory>

#include "engine/engine.hpp"
#include "platform/platform.hpp"

namespace bootsmith::engine {

/// The data folder of a demonstration run. The folder it made, with
/// everything in it, is removed when its owner ends, or at the latest when
/// the process exits normally; only a crash leaves it behind.
class DemoFolder {
  public:
    DemoFolder() = default;
    /// Owns `folder` when `made` (it was created for this run).
    DemoFolder(std::filesystem::path folder, bool made);
    DemoFolder(DemoFolder&& other) noexcept;
    DemoFolder& operator=(DemoFolder&& other) noexcept;
    DemoFolder(const DemoFolder&) = delete;
    DemoFolder& operator=(const DemoFolder&) = delete;
    ~DemoFolder();

    [[nodiscard]] const std::filesystem::path& path() const { return m_path; }

  private:
    void remove();

    std::filesystem::path m_path;
    bool m_made = false;
};

/// A fresh folder "bootsmith-demo-<12 hex digits>" in $TMPDIR (else /tmp);
/// after ten failed attempts "bootsmith-demo" there, which is not made and
/// so never removed.
[[nodiscard]] DemoFolder make_demo_folder();

/// Makes the platform of a run; `demo` asks for the demonstration. Only the
/// front end that starts the process knows the back ends, so it supplies this.
using PlatformFactory = std::function<std::unique_ptr<platform::Platform>(bool demo)>;

/// One run of the program: the engine (the command context) and, for the
/// demonstration, its data folder. The engine ends before the folder goes.
struct Run {
    DemoFolder demo_folder;
    std::unique_ptr<Engine> engine;
};

/// Opens a run: for the demonstration a fresh data folder, set as the
/// process-wide data-folder override before anything reads a data file; then
/// the platform, the engine around it, and the knowledge store loaded.
[[nodiscard]] Run open_run(bool demo, const PlatformFactory& make_platform);

}  // namespace bootsmith::engine
