#include "cli/terminal_text.hpp"

namespace bootsmith::cli {

namespace {

// In UTF-8 the C1 controls are 0xC2 followed by 0x80 to 0x9F.
constexpr unsigned char c1_lead = 0xC2;

bool steers_terminal(unsigned char byte) {
    return (byte < 0x20 && byte != '\t' && byte != '\n') || byte == 0x7F;
}

}  // namespace

TerminalText::~TerminalText() {
    if (m_lead_pending) {
        m_target->sputc(static_cast<char>(c1_lead));
    }
    m_target->pubsync();
}

bool TerminalText::put(unsigned char byte) {
    using traits = traits_type;
    if (m_lead_pending) {
        m_lead_pending = false;
        if (byte >= 0x80 && byte <= 0x9F) {
            return m_target->sputc('?') != traits::eof();
        }
        if (m_target->sputc(static_cast<char>(c1_lead)) == traits::eof()) {
            return false;
        }
    }
    if (byte == c1_lead) {
        m_lead_pending = true;
        return true;
    }
    const char shown = steers_terminal(byte) ? '?' : static_cast<char>(byte);
    return m_target->sputc(shown) != traits::eof();
}

TerminalText::int_type TerminalText::overflow(int_type c) {
    if (traits_type::eq_int_type(c, traits_type::eof())) {
        return traits_type::not_eof(c);
    }
    return put(static_cast<unsigned char>(traits_type::to_char_type(c))) ? c : traits_type::eof();
}

std::streamsize TerminalText::xsputn(const char* text, std::streamsize count) {
    for (std::streamsize i = 0; i < count; ++i) {
        if (!put(static_cast<unsigned char>(text[i]))) {
            return i;
        }
    }
    return count;
}

// A lead byte stays pending across a flush: its follower decides what it is.
int TerminalText::sync() {
    return m_target->pubsync();
}

}  // namespace bootsmith::cli
