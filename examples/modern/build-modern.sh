#!/usr/bin/env bash
# Regenerates examples/modern from its sources: compiles them with JDK 25's javac and
# records JDK 25's javap output for every class (default, -p, -constants, -c -p and -v -p)
# beside them. The -v files leave out the lines that name this machine's copy of the file
# (its path and date) and its checksum.
# The results are committed, so that building and testing Ornith needs no JDK.
#
# usage: examples/modern/build-modern.sh JDK_25_HOME
set -euo pipefail
jdk=${1:?usage: build-modern.sh JDK_25_HOME}
cd "$(dirname "$0")"
rm -rf classes javap
mkdir -p classes javap
find src -name '*.java' | LC_ALL=C sort > /tmp/ornith-modern-sources.txt
"$jdk/bin/javac" --release 25 -parameters --module-version 1.0 -d classes \
    @/tmp/ornith-modern-sources.txt
rm -f /tmp/ornith-modern-sources.txt
cd classes
find . -name '*.class' | sed 's|^\./||' | LC_ALL=C sort | while read -r file; do
    out=../javap/${file%.class}
    mkdir -p "$(dirname "$out")"
    # javap writes with the platform's encoding: ask for UTF-8 whatever the locale.
    "$jdk/bin/javap" -J-Dstdout.encoding=UTF-8 "$file" > "$out.default.txt"
    "$jdk/bin/javap" -J-Dstdout.encoding=UTF-8 -p "$file" > "$out.p.txt"
    "$jdk/bin/javap" -J-Dstdout.encoding=UTF-8 -constants "$file" > "$out.constants.txt"
    "$jdk/bin/javap" -J-Dstdout.encoding=UTF-8 -c -p "$file" > "$out.c.txt"
    "$jdk/bin/javap" -J-Dstdout.encoding=UTF-8 -v -p "$file" |
        grep -v -e '^Classfile ' -e '^  Last modified ' -e '^  SHA-256 checksum ' > "$out.v.txt"
    # Method bodies with their line and local-variable tables.
    "$jdk/bin/javap" -J-Dstdout.encoding=UTF-8 -c -l -p "$file" > "$out.code.txt"
done
echo "classes: $(find . -name '*.class' | wc -l)"
