#!/usr/bin/env bash
# Regenerates removed/ (classes that use an internal API of JDK 8 that later releases
# removed) and jdeps's output over them in expected/ (needs JDK 25: JDK25=/path/to/it).
# The class they use is compiled from a stand-in and left out, as a JDK of today lacks it.
set -euo pipefail
cd "$(dirname "$0")"
jdk=${JDK25:-/usr/lib/jvm/temurin-25-jdk-amd64}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$jdk/bin/javac" -d "$work/stub" removed-src/stub/com/sun/image/codec/jpeg/JPEGCodec.java
rm -rf removed
"$jdk/bin/javac" -nowarn -XDsuppressNotes -cp "$work/stub" -d removed removed-src/p/*.java 2> /dev/null
for mode in summary:-s package: class:-verbose:class verbose:-v jdkinternals:-jdkinternals \
            list-deps:--list-deps print-module-deps:--print-module-deps \
            ignore-list-deps:"--ignore-missing-deps --list-deps" \
            ignore-list-reduced-deps:"--ignore-missing-deps --list-reduced-deps" \
            ignore-print-module-deps:"--ignore-missing-deps --print-module-deps"; do
    # shellcheck disable=SC2086 # the options are words
    "$jdk/bin/jdeps" ${mode#*:} removed > "expected/removed.${mode%%:*}.txt" || true
done
# jdeps's warning paragraph and table of replacements after the uses are its own prose.
sed -i '/^$/,$d' expected/removed.jdkinternals.txt
