#pragma once

#include <array>
#include <cstddef>
#include <streambuf>

namespace bootsmith::cli {

/// Passes text on to another stream buffer with every character that could
/// steer a terminal or hide what a line says shown as "?": the C0 controls
/// except tab and line feed, DEL, the C1 range U+0080 to U+009F, and the
/// direction controls (U+061C, U+200E, U+200F, U+202A to U+202E, U+2066 to
/// U+2069). Names, paths and commands come from other accounts' files and
/// processes; printed raw, an escape sequence in one could erase or forge rows
/// of what an administrator reads, and a direction control could make
/// "evil.exe" read as something harmless.
class TerminalText final : public std::streambuf {
  public:
    explicit TerminalText(std::streambuf* target) : m_target(target) {}
    TerminalText(const TerminalText&) = delete;
    TerminalText& operator=(const TerminalText&) = delete;
    ~TerminalText() override;

  protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* text, std::streamsize count) override;
    int sync() override;

  private:
    bool put(unsigned char byte);
    bool start(unsigned char byte);
    bool release_pending();

    std::streambuf* m_target;
    /// The first bytes of a character that may have to be hidden; the rest of
    /// it decides.
    std::array<unsigned char, 3> m_pending{};
    std::size_t m_pending_size = 0;
    std::size_t m_pending_length = 0;  ///< the byte count of the whole character
};

}  // namespace bootsmith::cli
