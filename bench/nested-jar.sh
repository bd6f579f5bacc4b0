#!/usr/bin/env bash
# An executable jar of 100 real jars, stored as executable jars store them, and what
# reading it costs beside the same jars side by side on a class path:
#
#   bench/nested-jar.sh [WORK]        (default /tmp/ornith-nested)
#
#   env BUILD   the build directory holding tools/ornith (default: build-release, else build)
#       JARDIR  where the jars come from (default /usr/share/java)
#       RUNS    hyperfine runs per command (default 10)
#
# Makes WORK/app.jar: BOOT-INF/classes with one class, BOOT-INF/lib/ with the first 100
# jars of JARDIR (by name, symlinks skipped: fewer when it holds fewer), every member stored, and
# BOOT-INF/classpath.idx. Then, with hyperfine: one lookup (`which` of a class in the last
# jar) and `list -r` over app.jar and over WORK/lib/*.jar; `inventory` of app.jar beside
# unzip + sha256sum of the same nested jars; and sha256sum's own rate against the
# inventory's hashing of one large file. Finally the bytes read while indexing app.jar
# (rchar of /proc/PID/io), against the size of the jar, to show that no nested jar is
# read whole (nor inflated) to be indexed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
WORK=${1:-/tmp/ornith-nested}
JARDIR=${JARDIR:-/usr/share/java}
RUNS=${RUNS:-10}
BUILD=${BUILD:-$root/build-release}
[ -x "$BUILD/tools/ornith" ] || BUILD=$root/build
ornith=$BUILD/tools/ornith
for t in hyperfine zip unzip sha256sum python3; do
  command -v "$t" > /dev/null || { echo "nested-jar.sh: $t is needed" >&2; exit 1; }
done
[ -x "$ornith" ] || { echo "nested-jar.sh: no $ornith (build the ornith_tool target)" >&2; exit 1; }

rm -rf "$WORK"
mkdir -p "$WORK/lib" "$WORK/boot/BOOT-INF/lib" "$WORK/boot/BOOT-INF/classes/app"
find "$JARDIR" -maxdepth 1 -name '*.jar' -type f | sort | head -100 > "$WORK/jars.txt"
while read -r jar; do cp "$jar" "$WORK/lib/"; cp "$jar" "$WORK/boot/BOOT-INF/lib/"; done < "$WORK/jars.txt"
first=$(head -1 "$WORK/jars.txt")
unzip -p "$first" "$(unzip -Z1 "$first" | grep '\.class$' | head -1)" \
  > "$WORK/boot/BOOT-INF/classes/app/Main.class"
(cd "$WORK/boot" && for j in BOOT-INF/lib/*.jar; do echo "- \"$j\""; done > BOOT-INF/classpath.idx)
(cd "$WORK/boot" && zip -q -0 -r ../app.jar BOOT-INF)
echo "app.jar: $(stat -c %s "$WORK/app.jar") bytes, $(wc -l < "$WORK/jars.txt") nested jars, stored"

# A class of the last jar: the lookup walks every jar before it.
last=$(tail -1 "$WORK/jars.txt")
class=$(unzip -Z1 "$last" | grep '\.class$' | grep -v -- '-info' | grep -v '\$' | head -1)
class=${class%.class}
class=${class//\//.}
echo "looking up $class (in $(basename "$last"))"

hyperfine -N --warmup 2 --runs "$RUNS" --export-markdown "$WORK/lookup.md" \
  -n "which, nested" "$ornith which --system none --cp $WORK/app.jar $class" \
  -n "which, side by side" "$ornith which --system none --cp $WORK/lib/* $class"
hyperfine -N --warmup 2 --runs "$RUNS" --export-markdown "$WORK/list.md" \
  -n "list -r, nested" "$ornith list -r --system none --cp $WORK/app.jar" \
  -n "list -r, side by side" "$ornith list -r --system none --cp $WORK/lib/*"
hyperfine --warmup 1 --runs "$RUNS" --export-markdown "$WORK/inventory.md" \
  -n "inventory" "$ornith inventory --format json $WORK/app.jar > /dev/null" \
  -n "unzip + sha256sum" "cd $WORK && rm -rf x && unzip -q app.jar -d x && sha256sum x/BOOT-INF/lib/*.jar > /dev/null"

# Hashing alone: an archive of one large stored member that is no archive, so that the
# inventory reads its directory and hashes its bytes, against sha256sum of the same file.
head -c 200000000 /dev/urandom > "$WORK/blob.bin"
(cd "$WORK" && zip -q -0 blob.zip blob.bin)
size=$(stat -c %s "$WORK/blob.zip")
hyperfine -N --warmup 1 --runs "$RUNS" --export-json "$WORK/hash.json" \
  -n "inventory hashing" "$ornith inventory $WORK/blob.zip" \
  -n "sha256sum" "sha256sum $WORK/blob.zip"
python3 - "$WORK/hash.json" "$size" <<'PY'
import json, sys
results = {r["command"]: r["median"] for r in json.load(open(sys.argv[1]))["results"]}
mb = int(sys.argv[2]) / 1e6
ours, theirs = results["inventory hashing"], results["sha256sum"]
print(f"hashing: inventory {mb / ours:.0f} MB/s (SHA-256 and SHA-1 in one pass), "
      f"sha256sum {mb / theirs:.0f} MB/s: {theirs / ours:.2f} x sha256sum's speed")
PY

# Bytes read from app.jar while indexing every nested jar (list -r indexes them all):
# the pread64 calls on its descriptor, as strace reports them.
if command -v strace > /dev/null; then
  strace -f -e trace=openat,pread64,read -o "$WORK/strace.txt" \
    "$ornith" list -r --system none --cp "$WORK/app.jar" > /dev/null
  python3 - "$WORK/strace.txt" "$WORK/app.jar" <<'PY'
import os, re, sys
trace, jar = sys.argv[1], sys.argv[2]
fds, total, calls = set(), 0, 0
for line in open(trace):
    m = re.search(r'openat\(.*"(.*)".*\) = (\d+)', line)
    if m and m.group(1).endswith("app.jar"):
        fds.add(m.group(2))
    m = re.search(r'(?:pread64|read)\((\d+),.*\) = (\d+)', line)
    if m and m.group(1) in fds:
        total += int(m.group(2))
        calls += 1
size = os.path.getsize(jar)
print(f"indexing: {total} bytes of the {size}-byte app.jar read in {calls} calls "
      f"({100 * total / size:.1f} %): nested jars are indexed from their directories in place")
PY
else
  echo "indexing: strace is needed to count the bytes read"
fi
