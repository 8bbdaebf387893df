# bash completion for bootsmith                            -*- shell-script -*-
#
# Completes the commands, each command's options and knowledge subcommands,
# the values of --level and --mode, file names where a file is expected and,
# after assess, disable, enable and remove, the names of the listed entries.
# Those names come from "bootsmith list --json", the only program this runs:
# it reads and changes nothing, and it is stopped after 2 seconds (or
# BOOTSMITH_COMPLETION_TIMEOUT) so that a slow listing never holds up the
# shell.

_bootsmith_commands="serve open list running apps assess disable enable add remove backup backups restore knowledge doctor history undo help version"
_bootsmith_global_options="--demo --help"
_bootsmith_value_options="--filter --level --port --name --mode --args --out --label --workdir --url"
_bootsmith_levels="safe low caution high critical unknown"
_bootsmith_modes="login user-service boot cron"
_bootsmith_knowledge_subcommands="status update import rollback export"

# The options of one command word (knowledge: of its subcommand).
_bootsmith_options_of() {
    case $1 in
        serve | open) printf '%s' "--no-browser --port" ;;
        list) printf '%s' "--filter --on --off --level --full --json" ;;
        running | apps) printf '%s' "--all --json" ;;
        disable) printf '%s' "--yes --stop-now" ;;
        enable | remove | undo) printf '%s' "--yes" ;;
        add) printf '%s' "--name --mode --args --workdir --yes" ;;
        backup) printf '%s' "--out --label" ;;
        restore) printf '%s' "--apply --yes --all" ;;
        knowledge) [[ ${2:-update} == update ]] && printf '%s' "--url" ;;
    esac
}

# The text a shell word stands for, with its quotes and backslashes taken
# away, in _bootsmith_typed. A quote left open (the word being typed) simply
# runs to the end.
_bootsmith_dequote() {
    local word=$1 quote='' c i
    _bootsmith_typed=
    for ((i = 0; i < ${#word}; i++)); do
        c=${word:i:1}
        if [[ -n $quote ]]; then
            if [[ $c == "$quote" ]]; then
                quote=
            elif [[ $quote == '"' && $c == '\' ]]; then
                ((i++))
                _bootsmith_typed+=${word:i:1}
            else
                _bootsmith_typed+=$c
            fi
        elif [[ $c == "'" || $c == '"' ]]; then
            quote=$c
        elif [[ $c == '\' ]]; then
            ((i++))
            _bootsmith_typed+=${word:i:1}
        else
            _bootsmith_typed+=$c
        fi
    done
}

# One JSON string body (between its quotes) decoded into _bootsmith_decoded.
_bootsmith_json_text() {
    local s=$1 c i hex
    _bootsmith_decoded=
    for ((i = 0; i < ${#s}; i++)); do
        c=${s:i:1}
        if [[ $c != '\' ]]; then
            _bootsmith_decoded+=$c
            continue
        fi
        ((i++))
        c=${s:i:1}
        case $c in
            n) _bootsmith_decoded+=$'\n' ;;
            t) _bootsmith_decoded+=$'\t' ;;
            r) _bootsmith_decoded+=$'\r' ;;
            b) _bootsmith_decoded+=$'\b' ;;
            f) _bootsmith_decoded+=$'\f' ;;
            u)
                hex=${s:i+1:4}
                ((i += 4))
                printf -v c "\\u$hex"
                _bootsmith_decoded+=$c
                ;;
            *) _bootsmith_decoded+=$c ;;
        esac
    done
}

# The names of the listed entries that begin with the word being typed (as
# typed, with its quotes), into COMPREPLY, each quoted so that it stays one
# word; ignoring case when nothing matches exactly.
_bootsmith_entry_names() {
    local program=$1 raw=$2 demo=$3 json line typed
    local -a names=() args=(list --json)
    [[ -n $demo ]] && args=(--demo list --json)
    local limit=${BOOTSMITH_COMPLETION_TIMEOUT:-2}
    [[ $limit =~ ^[1-9][0-9]*$ ]] || limit=2
    command -v timeout >/dev/null 2>&1 || return 0
    json=$(timeout "$limit" "$program" "${args[@]}" 2>/dev/null </dev/null) || return 0
    while IFS= read -r line; do
        line=${line#*\"name\"}
        line=${line#*\"}
        _bootsmith_json_text "${line%\"}"
        names+=("$_bootsmith_decoded")
    done < <(printf '%s' "$json" | grep -oE '[{,][[:space:]]*"name"[[:space:]]*:[[:space:]]*"([^"\\]|\\.)*"')
    _bootsmith_dequote "$raw"
    typed=$_bootsmith_typed
    local name lower_typed=${typed,,}
    local -A seen=()
    for name in "${names[@]}"; do
        [[ $name == "$typed"* && -z ${seen[$name]-} ]] || continue
        seen[$name]=1
        COMPREPLY+=("$name")
    done
    if ((${#COMPREPLY[@]} == 0)); then
        for name in "${names[@]}"; do
            [[ ${name,,} == "$lower_typed"* && -z ${seen[$name]-} ]] || continue
            seen[$name]=1
            COMPREPLY+=("$name")
        done
    fi
    ((${#COMPREPLY[@]})) || return 0
    if [[ $raw == [\"\']* ]]; then
        # After an opening quote readline quotes the rest and closes it.
        compopt -o filenames 2>/dev/null
    else
        # Quoted here: readline's own quoting of file names leaves $ alone.
        local i
        for i in "${!COMPREPLY[@]}"; do
            printf -v "COMPREPLY[i]" '%q' "${COMPREPLY[i]}"
        done
        compopt -o noquote 2>/dev/null
    fi
    return 0
}

_bootsmith_files() {
    compopt -o filenames 2>/dev/null
    mapfile -t COMPREPLY < <(compgen -f -- "$1")
}

_bootsmith() {
    local cur prev words cword
    if declare -F _get_comp_words_by_ref >/dev/null; then
        _get_comp_words_by_ref -n =: cur prev words cword
    else
        words=("${COMP_WORDS[@]}")
        cword=$COMP_CWORD
        cur=${words[cword]}
        prev=${words[cword - 1]}
    fi
    COMPREPLY=()

    # Split what comes before the cursor as bootsmith does: a value option
    # takes the next word, other --words are flags, the rest are positionals.
    local i word command='' demo=''
    local -a positionals=()
    for ((i = 1; i < cword; i++)); do
        word=${words[i]}
        if [[ " $_bootsmith_value_options " == *" $word "* ]]; then
            ((i++))
        elif [[ $word == --* ]]; then
            [[ $word == --demo ]] && demo=1
        else
            positionals+=("$word")
        fi
    done
    command=${positionals[0]-}

    case $prev in
        --level)
            mapfile -t COMPREPLY < <(compgen -W "$_bootsmith_levels" -- "$cur")
            return 0
            ;;
        --mode)
            mapfile -t COMPREPLY < <(compgen -W "$_bootsmith_modes" -- "$cur")
            return 0
            ;;
        --out)
            _bootsmith_files "$cur"
            return 0
            ;;
        --workdir)
            compopt -o filenames 2>/dev/null
            mapfile -t COMPREPLY < <(compgen -d -- "$cur")
            return 0
            ;;
        --filter | --port | --name | --args | --label | --url)
            return 0
            ;;
    esac

    if [[ $cur == -* ]]; then
        local options=$_bootsmith_global_options
        if [[ -z $command ]]; then
            options+=" --version $(_bootsmith_options_of serve)"
        else
            options+=" $(_bootsmith_options_of "$command" "${positionals[1]-}")"
        fi
        mapfile -t COMPREPLY < <(compgen -W "$options" -- "$cur")
        return 0
    fi

    if [[ -z $command ]]; then
        mapfile -t COMPREPLY < <(compgen -W "$_bootsmith_commands" -- "$cur")
        return 0
    fi
    ((${#positionals[@]} == 1)) || {
        [[ $command == knowledge && ${positionals[1]} == import && ${#positionals[@]} == 2 ]] &&
            _bootsmith_files "$cur"
        return 0
    }
    case $command in
        assess | disable | enable | remove)
            # The program as typed, so that ./build/bootsmith lists its own view.
            _bootsmith_entry_names "${1/#\~\//$HOME/}" "$cur" "$demo"
            declare -F __ltrim_colon_completions >/dev/null && __ltrim_colon_completions "$cur"
            ;;
        add | restore)
            _bootsmith_files "$cur"
            ;;
        knowledge)
            mapfile -t COMPREPLY < <(compgen -W "$_bootsmith_knowledge_subcommands" -- "$cur")
            ;;
        help)
            mapfile -t COMPREPLY < <(compgen -W "$_bootsmith_commands" -- "$cur")
            ;;
    esac
    return 0
} && complete -F _bootsmith bootsmith
