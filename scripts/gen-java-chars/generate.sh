#!/usr/bin/env bash
# Writes ornith/lexer/VQJavaIdentifierRangesInternal.h: the identifier character classes of
# JDK 17 (used by the lexer at release levels 8 to 17, as JDK 17's javac does) and of JDK 25
# (levels 18 to 25). Each table comes from running that JDK's own Character methods.
#   scripts/gen-java-chars/generate.sh [JDK17_HOME] [JDK25_HOME]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
jdk17=${1:-/usr/lib/jvm/java-17-openjdk-amd64}
jdk25=${2:-/usr/lib/jvm/temurin-25-jdk-amd64}
out=$root/ornith/lexer/VQJavaIdentifierRangesInternal.h
{
    echo '#pragma once'
    echo '// Identifier character classes of two JDKs, for code points from U+0080 on. Flags: 1 may'
    echo '// start an identifier, 2 may continue one, 4 is ignorable inside one. Internal to the lexer.'
    echo '// One range a line, as generated:'
    echo '// clang-format off'
    echo
    echo '#include <cstdint>'
    echo
    echo 'namespace ornith::lexer_detail {'
    echo
    echo 'struct IdentifierRange {'
    echo '    uint32_t first;'
    echo '    uint32_t last;  // included'
    echo '    uint32_t flags;'
    echo '};'
    echo
    "$jdk17/bin/java" "$here/JavaCharClasses.java" kIdentifierRangesJdk17
    echo
    "$jdk25/bin/java" "$here/JavaCharClasses.java" kIdentifierRangesJdk25
    echo
    echo '}  // namespace ornith::lexer_detail'
} > "$out.tmp"
mv "$out.tmp" "$out"
echo "wrote $out"
