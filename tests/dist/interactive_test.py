#!/usr/bin/env python3
"""Types into a real interactive bash and zsh with the completion loaded,
presses Tab and Enter, and checks the words the command then receives: an
entry name with spaces, quotes, $ or non-ASCII letters must arrive as one
word, whether it was typed bare or after an opening quote.

Usage: interactive_test.py BASH_COMPLETION ZSH_COMPLETION_FOLDER
"""
import json
import os
import pty
import select
import shutil
import sys
import tempfile
import time

NAMES = ["Acme Notes", "It's \"quoted\" here", "Café Zürich", "$HOME & co"]
CASES = [  # typed before Tab, the words the command receives
    ("bootsmith dis", ["disable"]),
    ("bootsmith --demo li", ["--demo", "list"]),
    ("bootsmith disable Acme", ["disable", "Acme Notes"]),
    ("bootsmith disable 'Acme", ["disable", "Acme Notes"]),
    ("bootsmith enable It", ["enable", NAMES[1]]),
    ('bootsmith enable "It', ["enable", NAMES[1]]),
    ("bootsmith assess Caf", ["assess", "Café Zürich"]),
    ("bootsmith remove \\$", ["remove", "$HOME & co"]),
    ("bootsmith remove '$", ["remove", "$HOME & co"]),
    ("bootsmith list --level cr", ["list", "--level", "critical"]),
    ("bootsmith add x --mode user-", ["add", "x", "--mode", "user-service"]),
    ("bootsmith knowledge rol", ["knowledge", "rollback"]),
]


def read_until(fd, marker, seconds):
    """Output of the terminal until marker shows up or the time is over."""
    out = b""
    end = time.monotonic() + seconds
    while marker not in out and time.monotonic() < end:
        ready, _, _ = select.select([fd], [], [], 0.1)
        if ready:
            try:
                out += os.read(fd, 4096)
            except OSError:
                break
    return out


def run_case(shell, completion, folder, typed):
    pid, fd = pty.fork()
    if pid == 0:
        os.environ.update(PATH=folder + ":" + os.environ["PATH"], PS1="$ ",
                          LC_ALL="C.UTF-8", INPUTRC=os.path.join(folder, "inputrc"),
                          HOME=folder)
        if shell == "bash":
            os.execvp("bash", ["bash", "--norc", "--noprofile", "-i"])
        os.execvp("zsh", ["zsh", "-f", "-i"])
    if shell == "bash":
        load = "source '%s'" % completion
    else:
        load = "fpath=('%s' $fpath); autoload -U compinit; compinit -u -D" % completion
    # The command typed is a shell function that shows its words; the
    # completion still lists through the stand-in program on PATH.
    # The markers are split in what is typed, so that the terminal's echo of
    # the typing never looks like them.
    setup = ("%s; bootsmith() { printf '<%%s>\\n' \"$@\"; echo DO\"\"NE; }; "
             "echo REA\"\"DY\n" % load)
    os.write(fd, setup.encode())
    read_until(fd, b"READY", 15)
    # The line editor finishes the completion before it reads the Enter.
    os.write(fd, typed.encode() + b"\t\n")
    out = read_until(fd, b"DONE", 15).decode("utf-8", "replace")
    os.write(fd, b"exit\n")
    os.waitpid(pid, 0)
    return [line[1:-1] for line in out.replace("\r", "").split("\n")
            if line.startswith("<") and line.endswith(">")]


def main():
    completions = {"bash": os.path.abspath(sys.argv[1]), "zsh": os.path.abspath(sys.argv[2])}
    if not all(shutil.which(shell) for shell in completions):
        print("bash or zsh is not installed")
        return 77
    failures = 0
    with tempfile.TemporaryDirectory() as folder:
        # Compact, with non-ASCII letters as they are: as bootsmith writes it.
        listing = json.dumps([{"id": "x|%d" % i, "name": n} for i, n in enumerate(NAMES)],
                             separators=(",", ":"), ensure_ascii=False)
        with open(os.path.join(folder, "listing.json"), "w", encoding="utf-8") as f:
            f.write(listing)
        program = os.path.join(folder, "bootsmith")
        with open(os.path.join(folder, "inputrc"), "w", encoding="utf-8") as f:
            f.write("set enable-bracketed-paste off\nset bell-style none\n")
        with open(program, "w", encoding="utf-8") as f:
            f.write("#!/bin/sh\ncat '%s/listing.json'\n" % folder)
        os.chmod(program, 0o755)
        for shell, completion in completions.items():
            for typed, expected in CASES:
                got = run_case(shell, completion, folder, typed)
                if got != expected:
                    print("FAIL: %s: %r + Tab gave the words %r, not %r"
                          % (shell, typed, got, expected))
                    failures += 1
    print("%d check(s) failed" % failures if failures else "all checks passed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
