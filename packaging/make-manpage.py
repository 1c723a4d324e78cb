#!/usr/bin/env python3
"""Writes the ambleguard(1) manual page from the program's own --help texts.

Usage: make-manpage.py AMBLEGUARD VERSION OUTPUT

The page is made of what `ambleguard --help`, `ambleguard --headless --help` and
`ambleguard COMMAND --help` print for every command the first one lists, so the manual and the
program cannot disagree. It fails when a help text is missing or a command's help fails, rather
than writing a page with a hole in it. OUTPUT ending in .gz is compressed reproducibly.
"""

import gzip
import re
import subprocess
import sys

NAME_LINE = "watch a Bluetooth device you carry and lock the screen when it goes away"

FILES = [
    ("$XDG_CONFIG_HOME/ambleguard/settings.json",
     "the settings (default ~/.config/ambleguard/settings.json)"),
    ("$XDG_CONFIG_HOME/ambleguard/shortcuts/",
     "the shortcuts: executable files, named after the shortcut"),
    ("PREFIX/share/ambleguard/Sounds/", "the program's own event sounds"),
    ("PREFIX/lib/systemd/user/ambleguard.service",
     "the systemd user service that runs ambleguard --headless"),
]


def help_text(binary, *args):
    result = subprocess.run([binary, *args, "--help"], capture_output=True, text=True,
                            check=False)
    if result.returncode != 0 or not result.stdout.strip():
        sys.exit(f"make-manpage: `ambleguard {' '.join(args + ('--help',))}` failed "
                 f"(status {result.returncode}): {result.stderr.strip()}")
    return result.stdout.rstrip("\n")


def commands_of(top_help):
    """The command names listed under "Commands:" in the top-level help."""
    names = []
    in_list = False
    for line in top_help.splitlines():
        if line.strip() == "Commands:":
            in_list = True
            continue
        if in_list:
            match = re.match(r"^  ([a-z][a-z-]*)\s", line)
            if match:
                names.append(match.group(1))
            elif not line.strip():
                break
    if not names:
        sys.exit("make-manpage: `ambleguard --help` lists no commands under \"Commands:\"")
    return names


def roff_text(line):
    """One line of help text as roff: backslashes and minus signs escaped, and a leading
    period or apostrophe kept from being read as a request."""
    line = line.replace("\\", "\\e").replace("-", "\\-")
    if line.startswith((".", "'")):
        line = "\\&" + line
    return line


def verbatim(text):
    return [".nf"] + [roff_text(line) for line in text.splitlines()] + [".fi"]


def page(binary, version):
    top = help_text(binary)
    lines = [
        f'.TH AMBLEGUARD 1 "" "Ambleguard {roff_text(version)}" "User Commands"',
        ".SH NAME",
        f"ambleguard \\- {roff_text(NAME_LINE)}",
        ".SH SYNOPSIS",
        *verbatim(top),
        ".SH THE PROGRAM",
        *verbatim(help_text(binary, "--headless")),
        ".SH COMMANDS",
    ]
    for command in commands_of(top):
        lines += [f".SS ambleguard {roff_text(command)}", *verbatim(help_text(binary, command))]
    lines.append(".SH FILES")
    for path, what in FILES:
        lines += [".TP", f"\\fI{roff_text(path)}\\fR", roff_text(what)]
    lines += [
        ".SH SEE ALSO",
        "\\fBsystemctl\\fR(1), \\fBjournalctl\\fR(1), \\fBbluetoothctl\\fR(1)",
    ]
    return "\n".join(lines) + "\n"


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__.strip().splitlines()[2])
    binary, version, output = sys.argv[1:]
    data = page(binary, version).encode()
    if output.endswith(".gz"):
        data = gzip.compress(data, compresslevel=9, mtime=0)
    with open(output, "wb") as out:
        out.write(data)


if __name__ == "__main__":
    main()
