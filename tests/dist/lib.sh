# shellcheck shell=bash
# Shared by the tests of what Bootsmith installs: failure counting, set
# comparison, and calling the bash and zsh completions outside a shell's
# completion machinery.

failures=0
fail() {
    printf 'FAIL: %s\n' "$*"
    failures=$((failures + 1))
}
finish() {
    if ((failures)); then
        printf '%d check(s) failed\n' "$failures"
        exit 1
    fi
    printf 'all checks passed\n'
    exit 0
}

# Sorted unique words of its arguments, one per line.
word_set() { printf '%s\n' "$@" | sed '/^$/d' | LC_ALL=C sort -u; }

# expect_same LABEL "WORDS" "WORDS": both sides name the same words.
expect_same() {
    local label=$1 only_left only_right
    only_left=$(LC_ALL=C comm -23 <(word_set $2) <(word_set $3) | tr '\n' ' ')
    only_right=$(LC_ALL=C comm -13 <(word_set $2) <(word_set $3) | tr '\n' ' ')
    if [[ -n $only_left || -n $only_right ]]; then
        fail "$label: only on the left: [${only_left% }]; only on the right: [${only_right% }]"
    fi
}

# expect_subset LABEL "WORDS" "WORDS": every word on the left is on the right.
expect_subset() {
    local missing
    missing=$(LC_ALL=C comm -23 <(word_set $2) <(word_set $3) | tr '\n' ' ')
    [[ -z $missing ]] || fail "$1: missing: [${missing% }]"
}

# Words without those of a second list.
without() { LC_ALL=C comm -23 <(word_set $1) <(word_set $2) | tr '\n' ' '; }

# bash_complete COMPLETION_FILE WORD...: runs the bash completion as if the
# words were typed and Tab pressed at the end of the last one; prints the
# offers, each ended by a NUL byte.
bash_complete() {
    local file=$1
    shift
    bash --norc --noprofile -c '
        source "$1" || exit 1
        shift
        COMP_WORDS=("$@")
        COMP_CWORD=$(($# - 1))
        COMP_LINE="$*"
        COMP_POINT=${#COMP_LINE}
        _bootsmith "$1" "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}" 2>/dev/null
        ((${#COMPREPLY[@]})) && printf "%s\0" "${COMPREPLY[@]}"
        exit 0' bash "$file" "$@"
}

# zsh_complete COMPLETION_FILE STATE WORD...: runs the zsh completion
# function with the completion system's helpers replaced by stand-ins that
# print what they were given: "spec X" for each _arguments spec, "item X" for
# each word offered by _describe or compadd, "files" for _files. STATE, when
# not empty, is the state _arguments hands back. Output lines end with NUL.
zsh_complete() {
    local file=$1 state=$2
    shift 2
    STUB_STATE=$state zsh -f -c '
        _arguments() {
            local spec
            for spec in "$@"; do print -rn -- "spec $spec"$'"'\\0'"'; done
            [[ -n $STUB_STATE ]] && state=$STUB_STATE
            return 1
        }
        _describe() {
            [[ $1 == -t ]] && shift 2
            shift
            local name entry
            for name in "$@"; do
                for entry in "${(@P)name}"; do
                    print -rn -- "item ${entry%%:*}"$'"'\\0'"'
                done
            done
            return 0
        }
        _wanted() { shift 3; "$@"; }
        compadd() {
            [[ $1 == -a ]] || return 1
            local entry
            for entry in "${(@P)2}"; do print -rn -- "item $entry"$'"'\\0'"'; done
            return 0
        }
        _files() { print -rn -- "files"$'"'\\0'"'; return 0; }
        file=$1
        shift
        words=("$@")
        CURRENT=$#
        source $file
        exit 0' zsh "$file" "$@"
}

# Lines of NUL-ended output that start with a prefix, without it.
nul_lines_with() { tr '\0' '\n' | sed -n "s/^$1//p"; }
