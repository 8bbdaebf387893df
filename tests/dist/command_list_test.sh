#!/usr/bin/env bash
# Keeps `bootsmith help`, the manual page and the bash and zsh completions in
# step: they must name the same commands, knowledge subcommands and options.
# Everything is read from the four sources themselves, so a command or option
# added to only one of them fails here.
#
# Usage: command_list_test.sh BOOTSMITH MANUAL_PAGE BASH_COMPLETION ZSH_COMPLETION
set -euo pipefail
# shellcheck source=tests/dist/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

binary=$(realpath "$1") page=$(realpath "$2") bash_file=$(realpath "$3") zsh_file=$(realpath "$4")
command -v zsh >/dev/null || {
    echo "zsh is not installed"
    exit 77
}

# Words any of the sources may name beyond help's usage lines: help prints
# that very text, open is the other name of serve, and --help, -h and
# --version are answered before any command runs.
extra_commands="help open"
extra_options="--help -h --version"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# A stand-in program with nothing listed, so that the completion of entry
# names offers nothing; the test runs in an empty folder, so file names
# offer nothing either.
mkdir "$work/bin" "$work/empty"
printf '#!/bin/sh\necho "[]"\n' >"$work/bin/bootsmith"
chmod +x "$work/bin/bootsmith"
fake=$work/bin/bootsmith
cd "$work/empty"

# ---- help: the usage part of each "  bootsmith WORD ..." line (the text
# before a gap of two spaces), and the options listed for any command.
help_text=$("$binary" help)
declare -A help_options=() help_subwords=()
help_commands=""
while IFS= read -r usage; do
    read -r -a words <<<"$(tr '[]|' '   ' <<<"$usage")"
    command=${words[1]}
    help_commands+=" $command"
    for word in "${words[@]:2}"; do
        if [[ $word == --* ]]; then
            help_options[$command]+=" $word"
        elif [[ $word =~ ^[a-z][a-z-]*$ ]]; then
            help_subwords[$command]+=" $word"
        fi
    done
done < <(sed -n 's/^  \(bootsmith [a-z].*\)/\1/p' <<<"$help_text" | sed 's/  .*//')
help_globals=$(sed -n '/^Options for any command:/,/^$/s/^  \(--[a-z-]*\).*/\1/p' <<<"$help_text")
all_help_options="$help_globals ${help_options[*]}"
[[ $help_commands == *list* && -n $help_globals ]] || fail "the help text was not understood"

# ---- the manual page: the tag lines of COMMANDS (bold words: the command,
# its subcommands and options) and of OPTIONS (the global options).
declare -A man_options=() man_subwords=()
man_commands=""
while IFS= read -r tag; do
    read -r -a words <<<"$tag"
    command=${words[0]}
    man_commands+=" $command"
    for word in "${words[@]:1}"; do
        if [[ $word == --* ]]; then
            man_options[$command]+=" $word"
        else
            man_subwords[$command]+=" $word"
        fi
    done
done < <(awk '
    /^\.SH/ { section = $0; depth = 0; next }
    /^\.RS/ { depth++ } /^\.RE/ { depth-- }
    section == ".SH COMMANDS" && depth == 0 && tag { line = $0; out = "";
        while (match(line, /\\fB[^\\]*(\\-[^\\]*)*\\fR/)) {
            word = substr(line, RSTART + 3, RLENGTH - 6); gsub(/\\-/, "-", word)
            out = out " " word; line = substr(line, RSTART + RLENGTH) }
        print out }
    { tag = ($0 == ".TP") }' "$page")
man_globals=$(awk '/^\.SH/ { on = ($0 == ".SH OPTIONS") } on && tag { print } { tag = ($0 == ".TP") }' "$page" |
    grep -o '\\-\\-[a-z\\-]*' | sed 's/\\-/-/g')

# ---- bash: what Tab offers in each place.
bash_offers() { bash_complete "$bash_file" "$@" | tr '\0' '\n'; }
bash_commands=$(bash_offers "$fake" "")

# ---- zsh: what the stand-ins of the completion system were handed.
zsh_commands=$(zsh_complete "$zsh_file" command "$fake" "" | nul_lines_with "item ")
zsh_options() {
    zsh_complete "$zsh_file" "" "$fake" "$@" | nul_lines_with "spec " |
        sed -n 's/^([^)]*)//; s/^\*//; s/^\(--[a-z-]*\).*/\1/p'
}

expect_same "commands: help and manual page" "$(without "$help_commands" "$extra_commands")" \
    "$(without "$man_commands" "$extra_commands")"
expect_same "commands: help and bash" "$(without "$help_commands" "$extra_commands")" \
    "$(without "$bash_commands" "$extra_commands")"
expect_same "commands: help and zsh" "$(without "$help_commands" "$extra_commands")" \
    "$(without "$zsh_commands" "$extra_commands")"
expect_same "options for any command: help and manual page" "$help_globals" \
    "$(without "$man_globals" "$extra_options")"

for command in $(word_set $help_commands); do
    bash_all=$(bash_offers "$fake" "$command" --)
    zsh_all=$(zsh_options "$command" --)
    expect_subset "bash offers the options for any command after $command" "$help_globals" "$bash_all"
    expect_subset "zsh offers the options for any command after $command" "$help_globals" "$zsh_all"
    bash_own=$(without "$bash_all" "$help_globals $extra_options")
    zsh_own=$(without "$zsh_all" "$help_globals $extra_options")
    man_own=${man_options[$command]-}
    # Help may leave an option out of a usage line; the page and the
    # completions may not leave out one that help names.
    expect_subset "options of $command: help and manual page" "${help_options[$command]-}" "$man_own"
    expect_same "options of $command: manual page and bash" "$man_own" "$bash_own"
    expect_same "options of $command: manual page and zsh" "$man_own" "$zsh_own"
    expect_subset "options of $command that help names somewhere" "$man_own $bash_own $zsh_own" \
        "$all_help_options"

    expect_same "subcommands of $command: help and manual page" "${help_subwords[$command]-}" \
        "${man_subwords[$command]-}"
    expect_same "subcommands of $command: help and bash" "${help_subwords[$command]-}" \
        "$(bash_offers "$fake" "$command" "")"
    # zsh hands the first argument to a state of its own, or to a function.
    state=$(zsh_complete "$zsh_file" "" "$fake" "$command" "" | nul_lines_with "spec " |
        sed -n 's/^1:[^:]*:->//p; s/^2:[^:]*:->//p' | tail -n 1)
    zsh_subwords=""
    [[ -z $state || $state == command ]] ||
        zsh_subwords=$(zsh_complete "$zsh_file" "$state" "$fake" "$command" "" | nul_lines_with "item ")
    expect_same "subcommands of $command: help and zsh" "${help_subwords[$command]-}" "$zsh_subwords"
done

# The values of --level and --mode: both completions offer the same, and the
# page names each of them.
for option in --level --mode; do
    bash_values=$(bash_offers "$fake" list "$option" "")
    [[ $option == --mode ]] && bash_values=$(bash_offers "$fake" add x "$option" "")
    zsh_spec_command=list
    [[ $option == --mode ]] && zsh_spec_command=add
    zsh_values=$(zsh_complete "$zsh_file" "" "$fake" "$zsh_spec_command" -- | nul_lines_with "spec " |
        sed -n "s/^$option\[[^]]*\]:[^:]*:(\(.*\))$/\1/p")
    [[ -n $bash_values ]] || fail "bash offers no values for $option"
    expect_same "values of $option: bash and zsh" "$bash_values" "$zsh_values"
    for value in $bash_values; do
        grep -q "fB${value//-/\\\\-}\\\\fR" "$page" || fail "the manual page does not name $option $value"
    done
done

finish
