#!/usr/bin/env python3
"""Compares an install log with the debug output of the same run.

Usage: compare-log.py WINE_STDERR LOG_FILE [PREFIX...]
WINE_STDERR holds the run's stderr under WINEDEBUG=warn+seh: Wine reports
each debug line as 'tid:warn:seh:dispatch_exception "text"', split where the
text holds a line end. Every debug line of the threads that wrote the log
must be in the log, by the same thread, and the log must hold nothing else;
both sides are compared piece by piece between line ends. Pieces Wine shortens
or shows with escapes beyond \\n \\t \\" \\\\ are left out (and counted).
The log must hold lines of each given program prefix (default: Setup.exe=>
and stagehand.exe=>). Exit status 0 when both agree.
"""
import collections
import re
import sys

DEBUG = re.compile(r'^([0-9a-f]{4}):warn:seh:dispatch_exception "(.*)"$')
LOG = re.compile(r'^(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}) \[(\d+)\] (.*)$')
SIMPLE = {"n": "\n", "t": "\t", '"': '"', "\\": "\\", "r": "\r"}


def unescape(text):
    out, i = [], 0
    while i < len(text):
        c = text[i]
        if c == "\\":
            if i + 1 >= len(text) or text[i + 1] not in SIMPLE:
                return None
            out.append(SIMPLE[text[i + 1]])
            i += 2
        else:
            out.append(c)
            i += 1
    return "".join(out)


def pieces(text):
    return [piece.rstrip("\r") for piece in text.split("\n") if piece.rstrip("\r")]


def main():
    stderr_path, log_path = sys.argv[1], sys.argv[2]
    prefixes = tuple(sys.argv[3:]) or ("Setup.exe=>", "stagehand.exe=>")
    entries = []
    with open(log_path, encoding="utf-8", newline="") as f:
        for raw in f.read().split("\r\n"):
            m = LOG.match(raw)
            if m:
                entries.append([int(m.group(2)), m.group(3)])
            elif raw and entries:
                entries[-1][1] += "\n" + raw  # a debug line with line ends inside
            elif raw:
                print("log: a line without time and thread: %r" % raw)
                return 1
    threads = {tid for tid, _ in entries}
    debug, skipped = collections.Counter(), 0
    with open(stderr_path, encoding="utf-8", errors="replace") as f:
        for line in f:
            m = DEBUG.match(line.rstrip("\n"))
            if not m or int(m.group(1), 16) not in threads:
                continue
            text = unescape(m.group(2))
            if text is None or text.endswith("..."):
                skipped += 1
                continue
            for piece in pieces(text):
                debug[(int(m.group(1), 16), piece)] += 1
    logged = collections.Counter((tid, piece) for tid, text in entries for piece in pieces(text))
    # Wine escapes what is not printable ASCII; those pieces are not compared.
    comparable = collections.Counter({k: v for k, v in logged.items() if all(32 <= ord(c) < 127 or c == "\t" for c in k[1])})
    missing = debug - logged
    extra = comparable - debug
    print("debug pieces compared: %d, left out: %d, log lines: %d" % (sum(debug.values()), skipped, len(entries)))
    for (tid, text), n in list(missing.items())[:10]:
        print("not in the log (thread %d, %dx): %s" % (tid, n, text[:200]))
    for (tid, text), n in list(extra.items())[:10]:
        print("only in the log (thread %d, %dx): %s" % (tid, n, text[:200]))
    ok = not missing and not extra and sum(debug.values()) >= 10
    programs = {p for p in prefixes if any(text.startswith(p) for _, text in entries)}
    if len(programs) != len(prefixes):
        print("debug lines of only: %s" % sorted(programs))
        ok = False
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
