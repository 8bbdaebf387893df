#pragma once

#include <streambuf>

namespace bootsmith::cli {

/// Passes text on to another stream buffer with every control character that
/// could steer a terminal (C0 except tab and line feed, DEL, and the C1 range
/// U+0080 to U+009F) shown as "?". Names, paths and commands come from other
/// accounts' files and processes; printed raw, an escape sequence in one could
/// erase or forge rows of what an administrator reads.
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

    std::streambuf* m_target;
    bool m_lead_pending = false;  ///< a 0xC2 byte whose follower decides
};

}  // namespace bootsmith::cli
