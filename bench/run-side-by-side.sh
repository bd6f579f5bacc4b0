#!/usr/bin/env bash
# The side-by-side table of Ornith and the Java peers, in one run:
#
#   bench/run-side-by-side.sh [CORPUS] [RESULTS]
#
#   CORPUS   the corpus made by the peer harness's corpus.sh (default /tmp/ornith-corpus;
#            made here when it is missing)
#   RESULTS  where raw results go (default CORPUS/results; recreated). They hold absolute
#            paths of this machine: keep them out of commits.
#   env SHARED   the steering repo's shared/ folder (default: ../shared beside the project)
#       BUILD    the Release build directory (default: build-release in the project)
#       JVMS, ROUNDS, RUNS, WAIT_IDLE, ONLY: passed to the harness's run-all.sh
#       JAVAP, JDEPS  the javap and jdeps timed beside ornith's commands (default: those
#                on PATH)
#       ORNITH_WARMUP_SECONDS  minimum warm-up time of each ornith-bench job (default 0.5:
#                C++ has no JIT to warm; at least 3 warm-up rounds run in any case, and a
#                short launch is less likely to overlap other work on the machine)
#
# Steps: a Release build of ornith-bench and the ornith tool; the harness's run-all.sh with
# ornith-bench as EXTRA_INPROC (so Ornith's in-process rows are measured in the same run
# as the peers', with the same idle wait and foreign-CPU accounting); then the tool's
# whole-process rows with hyperfine beside javap's, appended to the harness's results
# in its own format; the peak memory of `ornith describe --all` over the corpus classes;
# finally report.md (the harness's tables, now with Ornith's rows) and side-by-side.md
# (Ornith / peer ratios against the targets), both printed at the end.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
SHARED=${SHARED:-$root/../shared}
HARNESS=$SHARED/bench
CORPUS=${1:-/tmp/ornith-corpus}
BUILD=${BUILD:-$root/build-release}
JARDIR=${JARDIR:-/usr/share/java}
GUAVA=$JARDIR/guava.jar
RUNS=${RUNS:-10}
JAVAP=${JAVAP:-javap}
JDEPS=${JDEPS:-jdeps}
export JARDIR

for t in cmake hyperfine java javap python3 /usr/bin/time; do
  command -v "$t" > /dev/null || { echo "run-side-by-side.sh: $t is needed" >&2; exit 1; }
done
[ -x "$HARNESS/run-all.sh" ] || { echo "run-side-by-side.sh: no harness at $HARNESS" >&2; exit 1; }

# 1. Release build of what is measured.
cmake -S "$root" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DORNITH_BUILD_TESTS=OFF > /dev/null
cmake --build "$BUILD" -j2 --target ornith_bench_tool ornith_tool
BENCH=$BUILD/bench/ornith-bench
ORNITH=$BUILD/tools/ornith

# 2. The corpus, then the harness with Ornith's in-process rows beside the peers'.
[ -d "$CORPUS/classes" ] || "$HARNESS/corpus.sh" "$CORPUS"
CORPUS=$(cd "$CORPUS" && pwd)
OUT=${2:-$CORPUS/results}
EXTRA_INPROC="$BENCH --warmup-seconds ${ORNITH_WARMUP_SECONDS:-0.5}" "$HARNESS/run-all.sh" "$CORPUS" "$OUT"
OUT=$(cd "$OUT" && pwd)

# 3. Whole processes: Ornith's commands beside javap's, with the harness's idle wait and
#    load accounting, appended to its proc-meta.tsv / proc-NN.json / proc-load.tsv.
if [ "${ONLY:-}" != inproc ]; then
  CLK=$(getconf CLK_TCK)
  busy_j() { awk '/^cpu / {print $2+$3+$4+$7+$8+$9}' /proc/stat; }
  idle_j() { awk '/^cpu / {print $5+$6}' /proc/stat; }
  wait_idle() {
    [ "${WAIT_IDLE:-1}" = 1 ] || return 0
    local i b0 i0 b1 i1
    for i in $(seq 1 "${WAIT_IDLE_MAX:-150}"); do
      b0=$(busy_j); i0=$(idle_j); sleep 2; b1=$(busy_j); i1=$(idle_j)
      if [ $(( (b1 - b0) * 100 )) -le $(( ((b1 - b0) + (i1 - i0)) * 10 )) ]; then return 0; fi
    done
    echo "run-side-by-side.sh: machine still busy; measuring anyway (see foreign CPU)" >&2
  }
  n=$(wc -l < "$OUT/proc-meta.tsv")
  proc() { # proc "<display name>" <items> <bytes> "<what it reads>" "<command>"
    n=$((n + 1)); local id b0 b1; id=$(printf '%02d' "$n")
    printf '%s\t%s\t%s\t%s\t%s\n' "$id" "$1" "$2" "$3" "$4" >> "$OUT/proc-meta.tsv"
    wait_idle
    b0=$(busy_j)
    /usr/bin/time -f '%U %S' -o "$OUT/.time" \
      hyperfine --style basic --warmup 2 --runs "$RUNS" -n "$1" --export-json "$OUT/proc-$id.json" "$5"
    b1=$(busy_j)
    awk -v id="$id" -v b0="$b0" -v b1="$b1" -v clk="$CLK" '{fo = (b1 - b0) / clk - ($1 + $2);
        if (fo < 0) fo = 0; printf "%s\t%.2f\n", id, fo}' "$OUT/.time" >> "$OUT/proc-load.tsv"
    rm -f "$OUT/.time"
  }
  sz() { stat -c %s "$1"; }
  proc 'javap java.lang.String' 1 "$(sz "$CORPUS/classes/java/lang/String.class")" \
       'jrt:/ runtime image (default class path)' "'$JAVAP' java.lang.String > /dev/null"
  proc 'ornith describe java.lang.String' 1 "$(sz "$CORPUS/classes/java/lang/String.class")" \
       "the JDK's runtime image (lib/modules of JAVA_HOME, else of the java on PATH)" \
       "'$ORNITH' describe java.lang.String > /dev/null"
  # Rows that mean to read a jar turn the platform off: with it, java.util.HashMap would
  # come from the JDK, as it does for java.
  proc 'ornith describe --system none -cp $CORPUS/jdk-stored.jar java.util.HashMap' 1 \
       "$(sz "$CORPUS/classes/java/util/HashMap.class")" 'corpus stored jar' \
       "'$ORNITH' describe --system none -cp '$CORPUS/jdk-stored.jar' java.util.HashMap > /dev/null"
  proc 'ornith list -r --system none -cp guava.jar' "$(unzip -Z1 "$GUAVA" | grep -c '\.class$')" "$(sz "$GUAVA")" \
       'guava.jar (classes listed)' "'$ORNITH' list -r --system none -cp '$GUAVA' > /dev/null"

  # deps and check beside jdeps and beside list -r over the same class path.
  proc 'jdeps -s guava.jar' 1 "$(sz "$GUAVA")" 'guava.jar (every class scanned)' \
       "'$JDEPS' -s '$GUAVA' > /dev/null"
  proc 'ornith deps -s guava.jar' 1 "$(sz "$GUAVA")" 'guava.jar (every class scanned)' \
       "'$ORNITH' deps -s '$GUAVA' > /dev/null"
  # (Not `ls | head`: under pipefail, ls killed by the pipe head closed early stops the run.)
  jars=("$JARDIR"/*.jar)
  jars100=$(IFS=:; echo "${jars[*]:0:100}")
  proc 'ornith check 100 jars' 100 0 "the first 100 jars of $JARDIR" \
       "'$ORNITH' check '$jars100' > /dev/null || true"
  proc 'ornith list -r 100 jars' 100 0 "the first 100 jars of $JARDIR" \
       "'$ORNITH' list -r --system none -cp '$jars100' > /dev/null"

  # javap's whole view of a jar: one javap process given every class name, beside one
  # ornith process describing them all.
  guava_names=$OUT/guava-names.txt
  unzip -Z1 "$GUAVA" | grep '\.class$' | grep -v -e '^META-INF/' -e 'module-info' |
    sed 's|\.class$||; s|/|.|g' | LC_ALL=C sort > "$guava_names"
  guava_classes=$(wc -l < "$guava_names")
  proc 'javap -c -p, every class of guava.jar' "$guava_classes" "$(sz "$GUAVA")" 'guava.jar' \
       "xargs -n 20000 '$JAVAP' -c -p -cp '$GUAVA' < '$guava_names' > /dev/null"
  proc 'ornith describe --format javap -c -p, every class of guava.jar' "$guava_classes" "$(sz "$GUAVA")" \
       'guava.jar' "'$ORNITH' describe --all --format javap --raw --no-default -c -p -cp '$GUAVA' > /dev/null"

  # The tool on one core and on two: the same bytes either way, and each one's peak memory.
  for j in 1 2; do
    proc "ornith describe --all --format javap -p -j $j" "$(find "$CORPUS/classes" -name '*.class' | wc -l)" 0 \
         'corpus classes/' "'$ORNITH' describe --all --format javap -p --no-default -cp '$CORPUS/classes' -j $j > /dev/null"
    proc "ornith list -r 100 jars -j $j" 100 0 "the first 100 jars of $JARDIR" \
         "'$ORNITH' list -r --system none -cp '$jars100' -j $j > /dev/null"
    /usr/bin/time -f "describe-javap-p\t$j\t%M" -a -o "$OUT/jobs-memory.tsv" \
      "$ORNITH" describe --all --format javap -p --no-default -cp "$CORPUS/classes" -j "$j" > "$OUT/describe-j$j.txt"
    /usr/bin/time -f "list-r-100-jars\t$j\t%M" -a -o "$OUT/jobs-memory.tsv" \
      "$ORNITH" list -r --system none -cp "$jars100" -j "$j" > "$OUT/list-j$j.txt"
  done
  cmp -s "$OUT/describe-j1.txt" "$OUT/describe-j2.txt" && cmp -s "$OUT/list-j1.txt" "$OUT/list-j2.txt" ||
    echo "run-side-by-side.sh: -j 2 printed other bytes than -j 1" >&2
  rm -f "$OUT"/describe-j?.txt "$OUT"/list-j?.txt

  # Peak memory of describing every class of the corpus, one after another.
  /usr/bin/time -f '%M %e' -o "$OUT/describe-all.time" "$ORNITH" describe --all -cp "$CORPUS/classes" > "$OUT/describe-all.txt"
  printf 'classes\t%s\t%s\n' "$(wc -l < "$OUT/describe-all.txt")" "$(cat "$OUT/describe-all.time")" > "$OUT/describe-all.tsv"
  rm -f "$OUT/describe-all.txt" "$OUT/describe-all.time"
fi

python3 "$HARNESS/report.py" "$OUT" "$CORPUS" > "$OUT/report.md"

# 4. Ratios, Ornith / peer, all from this run.
python3 - "$OUT" "$CORPUS" > "$OUT/side-by-side.md" <<'PY'
import json, os, statistics, sys
out, corpus = sys.argv[1], sys.argv[2]
rows = {}
for line in open(os.path.join(out, "inproc.jsonl")):
    if line.startswith("{"):
        r = json.loads(line)
        rows.setdefault((r["job"], r["input"]), []).append(r)

def pooled(job, inp):
    rs = rows.get((job, inp))
    if not rs:
        return None
    rounds = sorted(x for r in rs for x in r["round_s"])
    return {"items": rs[0]["items"], "bytes": rs[0]["bytes"], "best": rounds[0],
            "median": statistics.median(rounds), "foreign": max(r.get("foreign_cpu_s", 0) for r in rs)}

def ratio(o, p, unit):
    # Throughput ratio: by items when both count the same items, else by bytes.
    if unit == "items" and o["items"] == p["items"]:
        return p["best"] / o["best"], p["median"] / o["median"], "items/s"
    ob, pb = o["bytes"] / o["best"], p["bytes"] / p["best"]
    om, pm = o["bytes"] / o["median"], p["bytes"] / p["median"]
    return ob / pb, om / pm, "MB/s"

pairs = [
    ("ornith-name-only", "asm-name-only", "classes", "items", 1.3),
    ("ornith-parse", "asm-parse-model", "classes", "items", 1.3),
    ("ornith-parse", "asm-parse", "classes", "items", None),
    ("ornith-parse-lazy", "asm-parse-model", "classes", "items", 2.0),
    ("ornith-describe", "asm-parse-model", "classes", "items", 1.0),
    ("ornith-code", "asm-code", "classes", "items", 3.0),
    ("ornith-zip-list", "zip-list", "jdk-stored.jar", "items", None),
    ("ornith-zip-list", "zip-list", "jdk-deflated.jar", "items", 1.2),
    ("ornith-zip-list", "zip-list", "guava.jar", "items", None),
    ("ornith-zip-list", "zip-list", "jars.txt", "items", 1.2),
    ("ornith-zip-read", "zip-read", "jdk-stored.jar", "items", None),
    ("ornith-zip-read", "zip-read", "jdk-deflated.jar", "items", 2.2),
    ("ornith-zip-read", "zip-read", "guava.jar", "bytes", None),
    ("ornith-zip-read", "zip-read", "jars.txt", "bytes", None),
    ("ornith-lex", "ecj-lex", "src", "bytes", 1.0),
    ("ornith-lex", "javac-lex", "src", "bytes", 2.5),
    ("ornith-lex-25", "ecj-lex", "src", "bytes", 1.5),
    ("ornith-lex-25", "javac-lex", "src", "bytes", 4.0),
]
print("### Ornith / peer throughput, in-process (same run)\n")
print("| Ornith job | peer | input | by | ratio (best rounds) | ratio (medians) | target | holds |")
print("|---|---|---|---|---:|---:|---:|---|")
for oj, pj, inp, unit, target in pairs:
    o, p = pooled(oj, inp), pooled(pj, inp)
    if not o or not p:
        continue
    best, med, by = ratio(o, p, unit)
    holds = "" if target is None else ("yes" if best >= target else "**no**")
    print(f"| {oj} | {pj} | {inp} | {by} | {best:.2f} x | {med:.2f} x | "
          f"{'' if target is None else f'>= {target} x'} | {holds} |")

meta = os.path.join(out, "proc-meta.tsv")
if os.path.exists(meta):
    med = {}
    for line in open(meta):
        pid, name = line.split("\t")[:2]
        med[name] = json.load(open(os.path.join(out, f"proc-{pid}.json")))["results"][0]["median"]
    print("\n### Whole processes (hyperfine medians, same run)\n")
    print("| Ornith command | peer command | Ornith s | peer s | peer / Ornith | target | holds |")
    print("|---|---|---:|---:|---:|---:|---|")
    for o, p, target in [
        ("ornith describe java.lang.String", "javap java.lang.String", 10),
        ("ornith describe java.lang.String", "javap -cp $CORPUS/classes java.lang.String", None),
        ("ornith describe --system none -cp $CORPUS/jdk-stored.jar java.util.HashMap",
         "javap -p -bootclasspath $CORPUS/jdk-stored.jar java.util.HashMap", None),
        ("ornith describe --system none -cp $CORPUS/jdk-stored.jar java.util.HashMap",
         "javap -p -cp $CORPUS/jdk-stored.jar java.util.HashMap", None),
        ("ornith list -r --system none -cp guava.jar", "jar tf guava.jar", None),
        ("ornith list -r --system none -cp guava.jar", "unzip -l guava.jar", None),
        ("ornith deps -s guava.jar", "jdeps -s guava.jar", 20),
        ("ornith describe --format javap -c -p, every class of guava.jar",
         "javap -c -p, every class of guava.jar", 100),
        ("ornith describe --all --format javap -p -j 2", "ornith describe --all --format javap -p -j 1", 1.7),
        ("ornith list -r 100 jars -j 2", "ornith list -r 100 jars -j 1", 1.5),
        ("ornith check 100 jars", "ornith list -r 100 jars", None),
    ]:
        if o in med and p in med:
            r = med[p] / med[o]
            holds = "" if target is None else ("yes" if r >= target else "**no**")
            print(f"| `{o}` | `{p}` | {med[o]:.4f} | {med[p]:.4f} | {r:.1f} x | "
                  f"{'' if target is None else f'>= {target} x'} | {holds} |")
jobs = os.path.join(out, "jobs-memory.tsv")
if os.path.exists(jobs):
    print("\nPeak memory by -j (MB): " + ", ".join(
        f"{what} -j {j}: {int(kb) * 1024 / 1e6:.1f}"
        for what, j, kb in (line.split() for line in open(jobs) if line.strip())))
mem = os.path.join(out, "describe-all.tsv")
if os.path.exists(mem):
    _, lines, kb, secs = open(mem).read().split()
    mb = int(kb) * 1024 / 1e6
    print(f"\n`ornith describe --all -cp $CORPUS/classes`: peak RSS {mb:.1f} MB "
          f"(target < 100 MB: {'yes' if mb < 100 else '**no**'}), {float(secs):.2f} s, {int(lines):,} lines.")
PY

cat "$OUT/report.md" "$OUT/side-by-side.md"
echo "results: $OUT (report.md, side-by-side.md)"
