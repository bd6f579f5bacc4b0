#!/usr/bin/env python3
"""Runs javac's scanner (through JavacTokens.java) and `ornith tokens --lines` over the same
files and compares their token lines file by file, streaming, so that a whole JDK's sources
need no room on disk.

    compare.py --list FILES --report OUT --javac CMD... --ornith CMD...

FILES holds one path a line; the ornith command gets them appended, a chunk at a time. The
report gives the counts, the files whose lexical errors differ, and each differing file's
first difference with its cause (the pair of kinds, or the text or value that differs)."""

import collections
import re
import subprocess
import sys
import tempfile

CHUNK = 400


def split_args(argv):
    parts = {}
    key = None
    for arg in argv:
        if arg in ("--list", "--report", "--javac", "--ornith") and (key not in ("--javac", "--ornith") or arg in ("--javac", "--ornith")):
            key = arg
            parts[key] = []
        else:
            parts[key].append(arg)
    return parts


def files_of(stream):
    """Yields (path, token lines, error count) from a dump."""
    path, tokens = None, []
    for raw in stream:
        line = raw.rstrip("\n")
        if line.startswith("== "):
            if path is not None:
                yield path, tokens, None
            path, tokens = line[3:], []
        elif line.startswith("!! "):
            yield path, tokens, int(line[3:])
            path, tokens = None, []
        else:
            tokens.append(line)
    if path is not None:
        yield path, tokens, None


def javac_fields(line):
    fields = line.split("\t")
    return "\t".join(fields[:1] + fields[3:])


def ornith_files(command, files):
    for start in range(0, len(files), CHUNK):
        chunk = files[start:start + CHUNK]
        with tempfile.TemporaryFile(mode="w+", encoding="utf-8", errors="replace") as err:
            proc = subprocess.Popen(command + chunk, stdout=subprocess.PIPE, stderr=err,
                                    encoding="utf-8", errors="replace")
            results = list(files_of(proc.stdout))
            proc.wait()
            err.seek(0)
            counts = collections.Counter()
            known = set(chunk)
            pattern = re.compile(r"^(.*?):(\d+): ")
            for line in err:
                m = pattern.match(line)
                if m and m.group(1) in known:
                    counts[m.group(1)] += 1
            for path, tokens, _ in results:
                # ornith's lines carry the kind's name and LINE:COLUMN after the kind, which
            # javac's dump has not.
            yield path, [javac_fields(t) for t in tokens], counts[path]


def cause(javac_line, ornith_line):
    if javac_line is None or ornith_line is None:
        return "one side has more tokens"
    jk, jrest = javac_line.split("\t", 1)
    ok, orest = ornith_line.split("\t", 1)
    if jk != ok:
        return f"kind javac {jk} / ornith {ok}"
    jt, ot = jrest.split("\t")[0], orest.split("\t")[0]
    if jt != ot:
        return f"text of kind {jk}"
    return f"value of kind {jk}"


def main():
    parts = split_args(sys.argv[1:])
    files = [line.rstrip("\n") for line in open(parts["--list"][0], encoding="utf-8") if line.strip()]
    report = open(parts["--report"][0], "w", encoding="utf-8")
    javac = subprocess.Popen(parts["--javac"], stdout=subprocess.PIPE, encoding="utf-8",
                             errors="replace")
    totals = collections.Counter()
    causes = collections.Counter()
    details = []
    error_files = []
    for (jpath, jtokens, jerrors), (opath, otokens, oerrors) in zip(files_of(javac.stdout),
                                                                    ornith_files(parts["--ornith"], files)):
        if jpath != opath:
            sys.exit(f"out of step: {jpath} / {opath}")
        totals["files"] += 1
        totals["javac tokens"] += len(jtokens)
        totals["ornith tokens"] += len(otokens)
        if jerrors:
            totals["files javac reports errors in"] += 1
        if oerrors:
            totals["files ornith reports errors in"] += 1
        if bool(jerrors) != bool(oerrors):
            error_files.append(f"{jpath}: javac {jerrors} errors, ornith {oerrors}")
        if jtokens == otokens:
            continue
        totals["files that differ"] += 1
        differing = sum(1 for a, b in zip(jtokens, otokens) if a != b) + abs(len(jtokens) - len(otokens))
        totals["differing token lines"] += differing
        first = next((i for i, (a, b) in enumerate(zip(jtokens, otokens)) if a != b),
                     min(len(jtokens), len(otokens)))
        jl = jtokens[first] if first < len(jtokens) else None
        ol = otokens[first] if first < len(otokens) else None
        c = cause(jl, ol)
        causes[c] += 1
        details.append(f"{jpath}: token {first}: {c}\n    javac:  {jl}\n    ornith: {ol}")
    javac.wait()
    for key in ("files", "javac tokens", "ornith tokens", "files that differ",
                "differing token lines", "files javac reports errors in",
                "files ornith reports errors in"):
        print(f"{key}: {totals[key]}", file=report)
    print("\nfirst differences by cause:", file=report)
    for c, n in causes.most_common():
        print(f"  {n:6d}  {c}", file=report)
    print("\nfiles where only one side reports lexical errors:", file=report)
    for line in error_files[:200]:
        print("  " + line, file=report)
    print("\nfirst difference of each differing file (at most 300):", file=report)
    for line in details[:300]:
        print(line, file=report)
    report.close()


if __name__ == "__main__":
    main()
