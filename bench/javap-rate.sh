#!/usr/bin/env bash
# javap's classes per second, for the ornith-javap rows: one javap process is given every
# class name (in chunks that fit the command line), so that its start-up is paid a handful
# of times rather than once per class.
#
#   bench/javap-rate.sh JDK_25_HOME CORPUS
#       javap's default view over the corpus classes.
#   bench/javap-rate.sh --jar JAR JDK_25_HOME ORNITH [JAVAP_OPTION...]
#       javap with the options (default -c -p) over every class of the jar, beside
#       `ornith describe --all --format javap` with the same options over it: both as
#       whole processes, wall and CPU time, and the ratio of their rates.
set -euo pipefail

names_of_jar() {
    unzip -Z1 "$1" | grep '\.class$' | grep -v -e '^META-INF/' -e 'module-info' |
        sed 's|\.class$||; s|/|.|g' | LC_ALL=C sort
}

# Runs the command, printing "WALL CPU" seconds (CPU: user + sys of it and its children).
timed() {
    local start end
    start=$(date +%s.%N)
    local before after
    before=$(awk '{print $14 + $15 + $16 + $17}' /proc/$BASHPID/stat)
    "$@" > /dev/null
    end=$(date +%s.%N)
    after=$(awk '{print $14 + $15 + $16 + $17}' /proc/$BASHPID/stat)
    awk -v s="$start" -v e="$end" -v b="$before" -v a="$after" -v hz="$(getconf CLK_TCK)" \
        'BEGIN { printf "%.3f %.3f\n", e - s, (a - b) / hz }'
}

if [[ ${1:-} == --jar ]]; then
    jar=${2:?usage: javap-rate.sh --jar JAR JDK_25_HOME ORNITH [OPTION...]}
    jdk=${3:?usage: javap-rate.sh --jar JAR JDK_25_HOME ORNITH [OPTION...]}
    ornith=${4:?usage: javap-rate.sh --jar JAR JDK_25_HOME ORNITH [OPTION...]}
    shift 4
    options=("$@")
    [[ ${#options[@]} -gt 0 ]] || options=(-c -p)
    names=$(mktemp)
    trap 'rm -f "$names"' EXIT
    names_of_jar "$jar" > "$names"
    count=$(wc -l < "$names")
    ours=()
    for option in "${options[@]}"; do
        case $option in
            -constants) ours+=(--constants) ;;
            -sysinfo) ours+=(--sysinfo) ;;
            *) ours+=("$option") ;;
        esac
    done
    read -r theirs_wall theirs_cpu < <(timed bash -c \
        'xargs -n 20000 "$1" "${@:3}" -cp "$2" < "$0"' "$names" "$jdk/bin/javap" "$jar" \
        "${options[@]}")
    read -r ours_wall ours_cpu < <(timed "$ornith" describe --all --format javap --raw \
        --no-default -cp "$jar" "${ours[@]}")
    awk -v n="$count" -v tw="$theirs_wall" -v tc="$theirs_cpu" -v ow="$ours_wall" \
        -v oc="$ours_cpu" -v o="${options[*]}" 'BEGIN {
            printf "javap %s: %d classes in %.2f s wall (%.2f s CPU), %.0f classes/s\n", o, n, tw, tc, n / tw
            printf "ornith describe --format javap %s: %d classes in %.3f s wall (%.3f s CPU), %.0f classes/s\n", o, n, ow, oc, n / ow
            printf "ratio: %.0f x wall, %.0f x CPU\n", tw / ow, (oc > 0 ? tc / oc : 0)
        }'
    exit 0
fi

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
