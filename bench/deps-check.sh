#!/usr/bin/env bash
# The module listing of `deps` beside jdeps's, and `check` beside `list -r` over the same
# class path of up to 100 jars and over twice as many:
#
#   bench/deps-check.sh [WORK]        (default /tmp/ornith-deps-check)
#
#   env BUILD   the build directory holding tools/ornith (default: build-release, else build)
#       JARDIR  where the jars come from (default /usr/share/java)
#       JDK     the JDK whose jdeps is timed and whose runtime image both read
#               (default /usr/lib/jvm/temurin-25-jdk-amd64)
#       RUNS    hyperfine runs per command (default 5)
#
# --print-module-deps runs with --ignore-missing-deps, so that both tools go through the
# whole listing rather than stop at the first jar's missing annotations. The class paths
# are the first 100 jars of JARDIR (by name, symlinks skipped: fewer when it holds fewer),
# and the same jars again under other names (twice the entries, every class a duplicate).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
WORK=${1:-/tmp/ornith-deps-check}
JARDIR=${JARDIR:-/usr/share/java}
JDK=${JDK:-/usr/lib/jvm/temurin-25-jdk-amd64}
RUNS=${RUNS:-5}
BUILD=${BUILD:-$root/build-release}
[ -x "$BUILD/tools/ornith" ] || BUILD=$root/build
ornith=$BUILD/tools/ornith
command -v hyperfine > /dev/null || { echo "deps-check.sh: hyperfine is needed" >&2; exit 1; }
[ -x "$ornith" ] || { echo "deps-check.sh: no $ornith (build the ornith_tool target)" >&2; exit 1; }
[ -x "$JDK/bin/jdeps" ] || { echo "deps-check.sh: no $JDK/bin/jdeps" >&2; exit 1; }

rm -rf "$WORK"
mkdir -p "$WORK/a" "$WORK/b"
find "$JARDIR" -maxdepth 1 -name '*.jar' -type f | sort | head -100 > "$WORK/jars.txt"
while read -r jar; do
  cp "$jar" "$WORK/a/"
  cp "$jar" "$WORK/b/copy-$(basename "$jar")"
done < "$WORK/jars.txt"
path100=$(ls "$WORK"/a/*.jar | paste -sd:)
path200=$path100:$(ls "$WORK"/b/*.jar | paste -sd:)
echo "$(wc -l < "$WORK/jars.txt") jars, $(du -sh "$WORK/a" | cut -f1)"

for name in guava commons-lang3 commons-io; do
  jar=$(ls "$JARDIR"/$name-[0-9]*.jar | head -1)
  hyperfine -N --warmup 1 --runs "$RUNS" --export-markdown "$WORK/modules-$name.md" \
    -n "ornith deps --print-module-deps $(basename "$jar")" \
    "$ornith deps --system $JDK --print-module-deps --ignore-missing-deps $jar" \
    -n "jdeps --print-module-deps $(basename "$jar")" \
    "$JDK/bin/jdeps --print-module-deps --ignore-missing-deps $jar"
done

# check finds something on these paths (status 1): hyperfine is told to take that.
hyperfine -N --warmup 1 --runs "$RUNS" -i --export-markdown "$WORK/check.md" \
  -n "ornith check, 100 jars" "$ornith check --system $JDK $path100" \
  -n "ornith list -r, 100 jars" "$ornith list -r --system none --cp $path100" \
  -n "ornith check, 200 jars" "$ornith check --system $JDK $path200" \
  -n "ornith list -r, 200 jars" "$ornith list -r --system none --cp $path200"
cat "$WORK"/modules-*.md "$WORK/check.md"
