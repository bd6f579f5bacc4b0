#!/usr/bin/env bash
# Writes the expected token dumps of examples/java/levels/*.java: NAME.17.tokens from JDK 17's
# javac scanner at release 17 and NAME.25.tokens from JDK 25's at release 25, in the format
# of `ornith tokens --lines` without the file header lines. CI compares ornith with these
# without needing a JDK.
#   scripts/javac-conformance/make-expected.sh [JDK17_HOME] [JDK25_HOME]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
jdk17=${1:-/usr/lib/jvm/java-17-openjdk-amd64}
jdk25=${2:-/usr/lib/jvm/temurin-25-jdk-amd64}
cd "$root"
list=$(mktemp)
trap 'rm -f "$list"' EXIT
for release in 17 25; do
    jdk=$jdk17
    [ "$release" = 25 ] && jdk=$jdk25
    for source in examples/java/levels/*.java; do
        echo "$source" > "$list"
        "$jdk/bin/java" --add-exports jdk.compiler/com.sun.tools.javac.parser=ALL-UNNAMED \
            --add-exports jdk.compiler/com.sun.tools.javac.util=ALL-UNNAMED \
            --add-exports jdk.compiler/com.sun.tools.javac.code=ALL-UNNAMED \
            "$here/JavacTokens.java" "$release" "$list" 2>/dev/null |
            grep -v '^== ' > "${source%.java}.$release.tokens.tmp"
        # javac's error count closes the dump; the samples must lex without errors.
        if [ "$(tail -n 1 "${source%.java}.$release.tokens.tmp")" != "!! 0" ]; then
            echo "$source: javac reports errors at release $release" >&2
            exit 1
        fi
        sed '$d' "${source%.java}.$release.tokens.tmp" > "${source%.java}.$release.tokens"
        rm "${source%.java}.$release.tokens.tmp"
    done
done
ls examples/java/levels/*.tokens
