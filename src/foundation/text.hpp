#pragma once

#include <cstddef>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "foundation/result.hpp"

namespace bootsmith::util {

using Pairs = std::vector<std::pair<std::string, std::string>>;

/// Reads all bytes of a file and decodes them with decode_text; the error is
/// the system's reason (for example "No such file or directory").
[[nodiscard]] Result<std::string> read_text_file(const std::filesystem::path& path);

/// UTF-16 with a byte-order mark, UTF-8 (mark removed) or, failing both,
/// ISO-8859-1, so that no input is ever rejected.
[[nodiscard]] std::string decode_text(std::string_view bytes);

/// One character read from UTF-8 text.
struct Utf8Char {
    char32_t code = 0;       ///< the code point, or the byte itself when not valid
    std::size_t length = 1;  ///< bytes taken: 1 to 4; always 1 for an invalid byte
    bool valid = false;
};

/// Reads the character that starts at `pos` (which must be < text.size()).
/// Overlong forms, surrogates and values above U+10FFFF are not valid.
[[nodiscard]] Utf8Char read_utf8_char(std::string_view text, std::size_t pos);

/// Appends the UTF-8 form of a code point (U+FFFD for a surrogate or a value
/// above U+10FFFF).
void append_utf8(std::string& out, char32_t code);

/// The value of an environment variable, or "" when unset or not valid UTF-8.
[[nodiscard]] std::string env_text(const char* name);

/// Whether the bytes are well-formed UTF-8 (no surrogates, no overlongs).
[[nodiscard]] bool is_valid_utf8(std::string_view bytes);

/// The number of Unicode characters of a UTF-8 text (invalid bytes count one each).
[[nodiscard]] std::size_t char_count(std::string_view text);

/// At most n characters: a longer text becomes its first n-1 characters and "…".
[[nodiscard]] std::string shorten(std::string_view text, std::size_t n);

/// The text padded on the right with spaces to at least `width` characters.
[[nodiscard]] std::string pad_right(std::string_view text, std::size_t width);

/// Full Unicode lower-casing (special casing included: "İ" becomes "i̇").
[[nodiscard]] std::string to_lower(std::string_view text);
/// Full Unicode upper-casing ("ß" becomes "SS").
[[nodiscard]] std::string to_upper(std::string_view text);
/// Only the ASCII letters A-Z turned to a-z.
[[nodiscard]] std::string ascii_lower(std::string_view text);
[[nodiscard]] bool equals_ignore_ascii_case(std::string_view a, std::string_view b);

/// Whether `part` occurs in `text` after both were lower-cased in full.
[[nodiscard]] bool contains_ignore_case(std::string_view text, std::string_view part);

/// Whether the character at the start of `text` is Unicode white space; sets
/// `length` to its byte length.
[[nodiscard]] bool starts_with_space(std::string_view text, std::size_t& length);
/// Whether a Unicode white-space character occurs anywhere in the text.
[[nodiscard]] bool contains_space(std::string_view text);
/// The text without leading and trailing Unicode white space.
[[nodiscard]] std::string_view trim(std::string_view text);
/// The parts between the separators, empty ones included: "a::b" on ":" gives
/// "a", "", "b"; an empty separator leaves the text whole. The parts point
/// into `text`.
[[nodiscard]] std::vector<std::string_view> split(std::string_view text,
                                                  std::string_view separator);

enum class ShellRules { off, on };

/// Splits a command line into words, with double quotes always and, with shell
/// rules on, single quotes and backslashes as a POSIX shell reads them.
[[nodiscard]] std::vector<std::string> split_words(std::string_view line, ShellRules rules);

/// The program part of a command line: the quoted first part, or the longest
/// run of leading words that names an existing regular file, or the first word.
[[nodiscard]] std::string program_path(std::string_view command);

/// The last component of a path as text ("" for none).
[[nodiscard]] std::string file_name_text(std::string_view path);

/// The (key, value) pairs of the "Desktop Entry" group of a desktop file.
[[nodiscard]] Pairs desktop_entry_pairs(std::string_view text);
/// The value of the first pair with that key, or "".
[[nodiscard]] std::string pair_value(const Pairs& pairs, std::string_view key);

/// The texts joined with the separator between each two.
[[nodiscard]] std::string join(const std::vector<std::string>& texts, std::string_view separator);
/// Whether the word equals one of the words.
[[nodiscard]] bool is_one_of(std::string_view word, std::initializer_list<std::string_view> words);

}  // namespace bootsmith::util
