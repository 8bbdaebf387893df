#include "cli/terminal_text.hpp"

namespace bootsmith::cli {

namespace {

bool steers_terminal(unsigned char byte) {
    return (byte < 0x20 && byte != '\t' && byte != '\n') || byte == 0x7F;
}

// The lead bytes of the characters that are hidden: 0xC2 (C1 controls),
// 0xD8 (U+061C) and 0xE2 (U+200E, U+200F, U+202A..U+202E, U+2066..U+2069).
std::size_t watched_length(unsigned char lead) {
    switch (lead) {
        case 0xC2:
        case 0xD8:
            return 2;
        case 0xE2:
            return 3;
        default:
            return 0;
    }
}

bool is_continuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

bool hidden_character(const std::array<unsigned char, 3>& b) {
    switch (b[0]) {
        case 0xC2:
            return b[1] <= 0x9F;
        case 0xD8:
            return b[1] == 0x9C;
        default:
            return (b[1] == 0x80 &&
                    (b[2] == 0x8E || b[2] == 0x8F || (b[2] >= 0xAA && b[2] <= 0xAE))) ||
                   (b[1] == 0x81 && b[2] >= 0xA6 && b[2] <= 0xA9);
    }
}

}  // namespace

TerminalText::~TerminalText() {
    release_pending();
    m_target->pubsync();
}

// Passes on the bytes held so far unchanged: they did not become a hidden character.
bool TerminalText::release_pending() {
    const std::size_t size = m_pending_size;
    m_pending_size = 0;
    for (std::size_t i = 0; i < size; ++i) {
        if (m_target->sputc(static_cast<char>(m_pending[i])) == traits_type::eof()) {
            return false;
        }
    }
    return true;
}

bool TerminalText::start(unsigned char byte) {
    if (std::size_t length = watched_length(byte); length != 0) {
        m_pending[0] = byte;
        m_pending_size = 1;
        m_pending_length = length;
        return true;
    }
    const char shown = steers_terminal(byte) ? '?' : static_cast<char>(byte);
    return m_target->sputc(shown) != traits_type::eof();
}

bool TerminalText::put(unsigned char byte) {
    if (m_pending_size == 0) {
        return start(byte);
    }
    if (!is_continuation(byte)) {
        return release_pending() && start(byte);
    }
    m_pending[m_pending_size++] = byte;
    if (m_pending_size < m_pending_length) {
        return true;
    }
    if (hidden_character(m_pending)) {
        m_pending_size = 0;
        return m_target->sputc('?') != traits_type::eof();
    }
    return release_pending();
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

// A character begun before a flush stays pending: its remaining bytes decide.
int TerminalText::sync() {
    return m_target->pubsync();
}

}  // namespace bootsmith::cli
