#!/usr/bin/env bash
# The whole test suite: installs what is missing, builds, runs every test, and checks
# that a program outside the tree builds against the installed library.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 2)

ORNITH_WITH_FUZZ=${ORNITH_WITH_FUZZ:-0} scripts/bootstrap.sh

echo "== build and unit tests"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORNITH_WERROR=ON >/dev/null
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"

echo "== install and build a host program with find_package(ornith)"
rm -rf build/consumer-prefix build/consumer
cmake --install build --prefix build/consumer-prefix >/dev/null
cmake -S tests/consumer -B build/consumer -DCMAKE_PREFIX_PATH="$PWD/build/consumer-prefix" >/dev/null
cmake --build build/consumer -j"$jobs" >/dev/null
build/consumer/ornith_consumer examples/classes/p/Point.class
