#!/usr/bin/env bash
# The whole test suite: installs what is missing, checks the formatting, builds with the
# project's warnings as errors, runs every test (the fuzz targets' regression inputs and
# seeds included), checks that a program outside the tree builds against the installed
# library and that only the public headers are installed, fuzzes each target for a while,
# and builds with clang 14 and the sanitizers to run the whole suite again.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 2)

# Each stage's heading says how long the run has taken so far: CI allows it 25 minutes.
stage() { echo "== $* (${SECONDS} s so far)"; }

# clang, libFuzzer and clang-format for the stages below.
ORNITH_WITH_FUZZ=${ORNITH_WITH_FUZZ:-1} scripts/bootstrap.sh

stage "formatting (clang-format-14, .clang-format)"
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    git ls-files -z '*.h' '*.cpp' | xargs -0 clang-format-14 --dry-run -Werror
else
    find ornith tools bench fuzz tests examples \( -name '*.h' -o -name '*.cpp' \) -print0 |
        xargs -0 clang-format-14 --dry-run -Werror
fi

stage "build and unit tests"
# Optimised as released, without debug information, which takes a third of the compile
# time: the sanitizer build below keeps line tables for the stack traces.
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
    -DORNITH_WERROR=ON >/dev/null
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"

stage "install, check the installed headers, and build a host program with find_package(ornith)"
rm -rf build/consumer-prefix build/consumer
cmake --install build --prefix build/consumer-prefix >/dev/null
cmake -S tests/consumer -B build/consumer -DCMAKE_PREFIX_PATH="$PWD/build/consumer-prefix" >/dev/null
cmake --build build/consumer -j"$jobs" >/dev/null
build/consumer/ornith_consumer examples/classes/p/Point.class

stage "build the same host program with pkg-config --static"
pc_dir=$(dirname "$(find build/consumer-prefix -name ornith.pc -print -quit)")
# shellcheck disable=SC2046 # the flags are words
c++ -std=c++20 -Wall -Wextra -Wpedantic -Werror tests/consumer/main.cpp \
    $(PKG_CONFIG_PATH="$pc_dir" pkg-config --cflags --libs --static ornith) \
    -o build/consumer/ornith_consumer_pc
build/consumer/ornith_consumer_pc examples/classes/p/Point.class

stage "libFuzzer targets, ${ORNITH_FUZZ_SECONDS:-10} s each"
# Each target starts from its seed corpus and the committed crash inputs, then mutates
# for the given time; any crash, leak, timeout or property violation fails the run.
# ORNITH_FUZZ_SECONDS=0 skips the stage (for a quick local run; CI never sets it).
if [ "${ORNITH_FUZZ_SECONDS:-10}" != 0 ]; then
    ORNITH_FUZZ_JOBS=${ORNITH_FUZZ_JOBS:-$jobs} fuzz/run.sh "${ORNITH_FUZZ_SECONDS:-10}"
fi

stage "clang 14 build with the sanitizers (AddressSanitizer, UndefinedBehaviorSanitizer, LeakSanitizer) and the library's suite"
# The second supported compiler and the checked run in one build: the library's whole
# suite again, with every read checked and every leak reported. The fuzz stage above has
# run every target's inputs with the same sanitizers. The tool, a layer of options and
# output over the library, and its end-to-end tests are the g++ build's: building them
# here as well would cost CI a quarter of its time.
# Warnings are the g++ build's business: clang's differ, and sanitizer instrumentation
# changes what compilers warn about. Line tables (-g1) are all that the sanitizers' stack
# traces need, and build faster.
cmake -S . -B build-asan -DCMAKE_CXX_COMPILER=clang++-14 -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g1" -DORNITH_SANITIZE=ON -DORNITH_BUILD_BENCH=OFF \
    -DORNITH_BUILD_TOOLS=OFF -DORNITH_BUILD_FUZZ_REPLAY=OFF >/dev/null
cmake --build build-asan -j"$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1 \
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir build-asan --output-on-failure -j"$jobs"
echo "== done in ${SECONDS} s"
