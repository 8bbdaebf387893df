#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/result.hpp"

namespace bootsmith::linux_backend {

// Pure text rules for command lines. None fails on bad input; only the PATH
// lookups look at the file system.

/// The words of a command line as a POSIX shell splits them.
[[nodiscard]] std::vector<std::string> shell_words(std::string_view line);

/// One word quoted for a shell: unchanged when it is made only of letters,
/// digits and "/._-=:,+@%", else in single quotes.
[[nodiscard]] std::string quote_word(std::string_view word);
/// Every word quoted, joined with one space.
[[nodiscard]] std::string quote_command(const std::vector<std::string>& words);

/// Fails with "The <what> contains a line break or control character, which is
/// not allowed." when the text holds a character below 32 other than the tab, or 127.
[[nodiscard]] Status check_one_line(std::string_view text, std::string_view what);

/// The first folder of `path_list` (colon-separated) holding `word`, joined
/// with it; nothing for an empty word, a word with "/" or no hit.
[[nodiscard]] std::optional<std::string> find_in_path_list(std::string_view word,
                                                           std::string_view path_list);
/// find_in_path_list with the PATH of this process.
[[nodiscard]] std::optional<std::string> find_on_path(std::string_view word);
/// Whether the program word exists in a folder of PATH.
[[nodiscard]] bool on_path(std::string_view word);

/// The index of the program word of a command: after a leading `env` and its
/// settings and options; words.size() when there is none.
[[nodiscard]] std::size_t program_word_index(const std::vector<std::string>& words);
/// The program file a command starts: the program word as written when it holds
/// "/", else its PATH hit, else the bare word ("" without one).
[[nodiscard]] std::string program_of(const std::vector<std::string>& words);

/// Whether a file name names an interpreter ("python3", "python3.12", "lua5.4").
[[nodiscard]] bool is_interpreter(std::string_view file_name);

/// The index of the script an interpreter command runs: the first word after
/// the interpreter word that does not start with "-"; nothing when the program
/// word is not an interpreter or no such word follows.
[[nodiscard]] std::optional<std::size_t> script_word_index(const std::vector<std::string>& words);

/// What tells two commands apart: the program file, or for an interpreter the
/// program file, "|" and the script's file name ("/usr/bin/python3.12|server.py").
[[nodiscard]] std::string program_identity(std::string_view program,
                                           const std::vector<std::string>& words);

}  // namespace bootsmith::linux_backend
