#!/usr/bin/env bash
# Builds the tests with ThreadSanitizer and runs those that use several threads: the
# library's scanner tests, the class model's lazy lists read from several threads at
# once, and the tool's -j tests (which run the tool, built with ThreadSanitizer too, on
# several workers). Not part of CI: it takes a build of its own.
#
#   scripts/tsan.sh [BUILD_DIR]      (default: build-tsan in the project)
#
#   env CXX   the compiler (default g++; clang++-14 works as well)
#       JOBS  parallel build jobs (default 2)
#
# Exits non-zero when the build fails, a test fails, or ThreadSanitizer reports anything
# (every report fails the process that made it).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build-tsan}
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$(dirname "$root")}
launcher=()
command -v ccache > /dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER="${CXX:-g++}" \
  "${launcher[@]}" -DORNITH_WERROR=ON -DORNITH_BUILD_BENCH=OFF -DORNITH_BUILD_FUZZ_REPLAY=OFF \
  -DCMAKE_CXX_FLAGS="-fsanitize=thread -fno-omit-frame-pointer" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=thread" > /dev/null
cmake --build "$build" -j "${JOBS:-2}" --target ornith_library_thread_tests ornith_model_tests ornith_tool ornith_tool_tests

# halt_on_error: a race fails the test that ran into it, not only its log.
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 ${TSAN_OPTIONS:-}"
# By name: the tests are listed when they run, which a label filter does not wait for.
ctest --test-dir "$build" -j "${JOBS:-2}" -R '^VQClassPathScanner\.' --output-on-failure
ctest --test-dir "$build" -j "${JOBS:-2}" -L model -R 'SeveralThreads' --output-on-failure
ctest --test-dir "$build" -j "${JOBS:-2}" -L tool -R '^Parallel\.' --output-on-failure
