#!/usr/bin/env bash
# The completions offer the names of the listed entries as whole words,
# whatever characters they hold, run nothing but "bootsmith list --json", give
# up on a listing that hangs, and offer file names where a file is expected.
#
# Usage: completion_test.sh BASH_COMPLETION ZSH_COMPLETION
set -euo pipefail
# Decoding \u escapes needs a UTF-8 locale, as a user's shell has.
export LC_ALL=C.UTF-8
# shellcheck source=tests/dist/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

bash_file=$(realpath "$1") zsh_file=$(realpath "$2")
command -v zsh >/dev/null || {
    echo "zsh is not installed"
    exit 77
}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin" "$work/files"
cd "$work/files"
touch "backup one.json" "pack.json"

# A stand-in bootsmith: it logs its arguments and lists entries whose names
# hold spaces, quotes, a backslash, a tab, non-ASCII letters, a JSON escape
# and a text that looks like a JSON key; two entries share one name.
listing='[{"id":"a|1","name":"Acme Notes","command":"x \"name\":\"Fake\""},'\
'{"id":"a|2","name":"It'"'"'s \"quoted\"","risk":{"level":"low"}},'\
'{"id":"a|3","name":"Caf\u00e9 Zürich"},{"id":"a|4","name":"back\\slash\ttab"},'\
'{"id":"a|5","name":"acme-daemon.service"},{"id":"a|6","name":"acme-daemon.service"}]'
printf '%s\n' "$listing" >"$work/listing.json"
cat >"$work/bin/bootsmith" <<EOF
#!/bin/sh
printf '%s\n' "\$*" >>"$work/calls"
[ -n "\${SLOW_LISTING:-}" ] && exec sleep 30
cat "$work/listing.json"
EOF
chmod +x "$work/bin/bootsmith"
fake=$work/bin/bootsmith

all_names=$(printf '%s\n' "Acme Notes" "It's \"quoted\"" "Café Zürich" $'back\\slash\ttab' \
    "acme-daemon.service")

nul_sorted() { tr '\0' '\n' | LC_ALL=C sort; }
# The words bash would insert, each read back as the shell reads it: one
# word per offer, or a line "NOT ONE WORD". After an opening quote the offers
# are the names themselves, which readline quotes (readline_test.py).
bash_words() {
    local offer
    bash_complete "$bash_file" "$@" | while IFS= read -r -d '' offer; do
        if [[ ${!#} == [\"\']* ]]; then
            printf '%s\0' "$offer"
            continue
        fi
        eval "set -- $offer"
        if (($# == 1)); then printf '%s\0' "$1"; else printf 'NOT ONE WORD: %s\0' "$offer"; fi
    done
}
zsh_items() { zsh_complete "$zsh_file" "$@" | nul_lines_with "item " | LC_ALL=C sort; }

# Both shells offer every name once, decoded, after each of the four commands.
for command in assess disable enable remove; do
    got=$(bash_words "$fake" "$command" "" | nul_sorted)
    [[ $got == "$(LC_ALL=C sort <<<"$all_names")" ]] || fail "bash after $command offers: $got"
    got=$(zsh_items entries "$fake" "$command" "")
    [[ $got == "$(LC_ALL=C sort <<<"$all_names")" ]] || fail "zsh after $command offers: $got"
done

# bash filters by what is typed, quoted or not; case is ignored only when
# nothing matches exactly.
while IFS='|' read -r typed expected; do
    got=$(bash_words "$fake" disable "$typed" | nul_sorted | paste -sd '+')
    [[ $got == "$expected" ]] || fail "bash: disable $typed offers [$got], not [$expected]"
done <<'EOF'
Acme|Acme Notes
Acme\ N|Acme Notes
"Acme N|Acme Notes
'It'\''s|It's "quoted"
Caf|Café Zürich
acme|acme-daemon.service
ACME-|acme-daemon.service
nothing|
EOF

# Only the listing ran, read-only; with --demo anywhere before, the listing
# of the invented computer.
: >"$work/calls"
bash_complete "$bash_file" "$fake" --demo disable "" >/dev/null
zsh_complete "$zsh_file" entries "$fake" disable --demo "" >/dev/null
bash_complete "$bash_file" "$fake" remove "" >/dev/null
zsh_complete "$zsh_file" entries "$fake" assess "" >/dev/null
for command in list add backup restore knowledge undo; do
    bash_complete "$bash_file" "$fake" "$command" "" >/dev/null
    bash_complete "$bash_file" "$fake" "$command" --yes "" >/dev/null
done
expected_calls=$(printf '%s\n' "--demo list --json" "--demo list --json" "list --json" "list --json")
[[ $(cat "$work/calls") == "$expected_calls" ]] || fail "the completions ran: $(cat "$work/calls")"

# A listing that hangs is given up after its time limit (2 seconds).
for shell in bash zsh; do
    started=$SECONDS
    if [[ $shell == bash ]]; then
        got=$(SLOW_LISTING=1 bash_complete "$bash_file" "$fake" disable "" | tr '\0' ' ')
    else
        got=$(SLOW_LISTING=1 zsh_items entries "$fake" disable "")
    fi
    [[ -z $got ]] || fail "$shell offered [$got] from a listing that hangs"
    ((SECONDS - started < 20)) || fail "$shell waited $((SECONDS - started)) s for a listing that hangs"
done

# File names where a file is expected; levels after --level.
got=$(bash_complete "$bash_file" "$fake" restore "back" | nul_sorted)
[[ $got == "backup one.json" ]] || fail "bash: restore back offers [$got]"
got=$(bash_complete "$bash_file" "$fake" knowledge import "" | nul_sorted | paste -sd '+')
[[ $got == "backup one.json+pack.json" ]] || fail "bash: knowledge import offers [$got]"
got=$(bash_complete "$bash_file" "$fake" backup --out "pa" | nul_sorted)
[[ $got == "pack.json" ]] || fail "bash: backup --out pa offers [$got]"
got=$(bash_complete "$bash_file" "$fake" knowledge export "" | nul_sorted)
[[ -z $got ]] || fail "bash: knowledge export takes no file, yet offers [$got]"
got=$(bash_complete "$bash_file" "$fake" list --level c | nul_sorted | paste -sd '+')
[[ $got == "caution+critical" ]] || fail "bash: list --level c offers [$got]"
got=$(bash_complete "$bash_file" "$fake" help di | nul_sorted)
[[ $got == "disable" ]] || fail "bash: help di offers [$got]"
got=$(zsh_complete "$zsh_file" command "$fake" help "" | nul_lines_with "spec 2:" | tr '\0' ' ')
[[ $got == *"->command"* ]] || fail "zsh: help offers no command names [$got]"
got=$(zsh_complete "$zsh_file" pack_file "$fake" knowledge import "" | tr '\0' ' ')
[[ $got == *files* ]] || fail "zsh: knowledge import offers no files"

finish
