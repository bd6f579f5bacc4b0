#!/usr/bin/env bash
# Compares `ornith tokens --release N --lines` with javac's own scanner over a tree of Java
# sources: kinds, texts and string values, token for token.
#   scripts/javac-conformance/run.sh ORNITH JAVA_HOME RELEASE SOURCE_DIR [REPORT]
# JAVA_HOME is the JDK whose javac is the reference (JDK 17 for release 17, JDK 25 for 25).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
ornith=$1 jdk=$2 release=$3 dir=$4 report=${5:-/dev/stdout}
list=$(mktemp)
trap 'rm -f "$list"' EXIT
find "$dir" -name '*.java' -type f | LC_ALL=C sort > "$list"
exports="--add-exports jdk.compiler/com.sun.tools.javac.parser=ALL-UNNAMED
 --add-exports jdk.compiler/com.sun.tools.javac.util=ALL-UNNAMED
 --add-exports jdk.compiler/com.sun.tools.javac.code=ALL-UNNAMED"
# shellcheck disable=SC2086
python3 "$here/compare.py" --list "$list" --report "$report" \
    --javac "$jdk/bin/java" $exports "$here/JavacTokens.java" "$release" "$list" \
    --ornith "$ornith" tokens --release "$release" --lines
