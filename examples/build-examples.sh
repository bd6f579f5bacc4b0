#!/usr/bin/env bash
# Regenerates the compiled example classes from examples/src (needs a JDK; the results
# are committed so that building and testing Ornith needs none).
set -euo pipefail
cd "$(dirname "$0")"
rm -rf classes
mkdir -p classes
find src -name '*.java' | sort > /tmp/ornith-examples.txt
javac --release 17 -d classes @/tmp/ornith-examples.txt
rm -f /tmp/ornith-examples.txt
echo "classes: $(find classes -name '*.class' | wc -l)"
