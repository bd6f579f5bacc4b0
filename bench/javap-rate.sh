#!/usr/bin/env bash
# javap's classes per second over the corpus classes, for the ornith-javap row: one javap
# process is given every class name (in chunks that fit the command line), so that its
# start-up is paid a handful of times rather than once per class.
#
#   bench/javap-rate.sh JDK_25_HOME CORPUS
set -euo pipefail
jdk=${1:?usage: javap-rate.sh JDK_25_HOME CORPUS}
corpus=${2:?usage: javap-rate.sh JDK_25_HOME CORPUS}
cd "$corpus/classes"
find . -name '*.class' ! -name module-info.class | sed 's|^\./||; s|\.class$||; s|/|.|g' |
    LC_ALL=C sort > /tmp/ornith-javap-names.txt
count=$(wc -l < /tmp/ornith-javap-names.txt)
start=$(date +%s.%N)
xargs -n 20000 "$jdk/bin/javap" -cp "$corpus/classes" < /tmp/ornith-javap-names.txt > /dev/null
end=$(date +%s.%N)
rm -f /tmp/ornith-javap-names.txt
awk -v n="$count" -v s="$start" -v e="$end" \
    'BEGIN { printf "javap: %d classes in %.2f s, %.0f classes/s\n", n, e - s, n / (e - s) }'
