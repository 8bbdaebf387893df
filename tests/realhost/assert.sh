# Assertions for the checks of the real-systemd host. Sourced, not run.
#
# Every assertion takes a label first, prints one line
#   PASS <check>: <label>
#   FAIL <check>: <label>: <what differed>
#   SKIP <check>: <label>: <why>
# and appends it to $REALHOST_RESULTS when the runner set it. An assertion
# never stops the check: a failed one is counted and the check goes on.

CHECK_NAME=${CHECK_NAME:-check}

_assert_record() {
    local verdict=$1 label=$2 detail=${3:-}
    local line="$verdict $CHECK_NAME: $label${detail:+: $detail}"
    printf '%s\n' "$line"
    if [[ -n ${REALHOST_RESULTS:-} ]]; then
        printf '%s\n' "$line" | head -n 1 >>"$REALHOST_RESULTS"
    fi
}

# Shows a value on one line, or indented below when it has several.
_assert_show() {
    local value=$1
    if [[ $value == *$'\n'* ]]; then
        printf '\n'
        printf '%s\n' "$value" | sed 's/^/    | /'
    else
        printf "'%s'" "$value"
    fi
}

assert_pass() { _assert_record PASS "$1"; }
assert_fail() { _assert_record FAIL "$1" "$2"; }
skip() { _assert_record SKIP "$1" "$2"; }

expect_eq() {
    local label=$1 expected=$2 actual=$3
    if [[ $actual == "$expected" ]]; then
        assert_pass "$label"
    else
        assert_fail "$label" "expected $(_assert_show "$expected"), got $(_assert_show "$actual")"
    fi
}

expect_ne() {
    local label=$1 unwanted=$2 actual=$3
    if [[ $actual != "$unwanted" ]]; then
        assert_pass "$label"
    else
        assert_fail "$label" "did not expect $(_assert_show "$actual")"
    fi
}

expect_contains() {
    local label=$1 haystack=$2 needle=$3
    if [[ $haystack == *"$needle"* ]]; then
        assert_pass "$label"
    else
        assert_fail "$label" "$(_assert_show "$needle") not found in $(_assert_show "$haystack")"
    fi
}

expect_not_contains() {
    local label=$1 haystack=$2 needle=$3
    if [[ $haystack != *"$needle"* ]]; then
        assert_pass "$label"
    else
        assert_fail "$label" "$(_assert_show "$needle") unexpectedly found in $(_assert_show "$haystack")"
    fi
}

# Extended regular expression, as [[ =~ ]] reads it.
expect_match() {
    local label=$1 text=$2 pattern=$3
    if [[ $text =~ $pattern ]]; then
        assert_pass "$label"
    else
        assert_fail "$label" "$(_assert_show "$text") does not match /$pattern/"
    fi
}

# The exit status of the last capture (STATUS), shown with its error output
# when it differs.
expect_status() {
    local label=$1 expected=$2 actual=${3:-${STATUS:-}}
    if [[ $actual == "$expected" ]]; then
        assert_pass "$label"
    else
        assert_fail "$label" "exit status $actual instead of $expected; stderr $(_assert_show "${ERR:-}")"
    fi
}

# A command that must succeed, or fail; its output is kept as for capture.
expect_ok() {
    local label=$1
    shift
    capture "$@"
    expect_status "$label" 0
}

expect_fails() {
    local label=$1
    shift
    capture "$@"
    if ((STATUS != 0)); then
        assert_pass "$label"
    else
        assert_fail "$label" "succeeded, output $(_assert_show "$OUT")"
    fi
}

# Runs a command, keeping its standard output in OUT, its standard error in
# ERR (both without trailing line breaks, as $(...) gives them) and its exit
# status in STATUS. It always returns 0, so a failing command does not stop
# the check.
capture() {
    local err_file
    err_file=$(mktemp)
    STATUS=0
    OUT=$("$@" 2>"$err_file") || STATUS=$?
    ERR=$(<"$err_file")
    rm -f "$err_file"
    return 0
}
