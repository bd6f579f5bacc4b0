#!/usr/bin/env bash
# Installs the Debian packages that Ornith needs, and only those that are missing, so that
# a machine that has them all does not touch the network.
#   scripts/bootstrap.sh tool    what building the library and the ornith tool needs
#   scripts/bootstrap.sh [all]   that, and what the tests and benchmarks need besides
# With ORNITH_WITH_FUZZ=1, also clang 14 (the second compiler, and libFuzzer) and
# clang-format 14 (the formatting check), which the whole test suite needs.
set -euo pipefail

mode=${1:-all}
packages=(g++ cmake make pkg-config libdeflate-dev libcli11-dev nlohmann-json3-dev libssl-dev)
case "$mode" in
    tool) ;;
    all) packages+=(libgtest-dev libgmock-dev libbenchmark-dev) ;;
    *)
        echo "usage: scripts/bootstrap.sh [tool|all]" >&2
        exit 2
        ;;
esac
if [ "${ORNITH_WITH_FUZZ:-0}" = 1 ]; then
    packages+=(clang libclang-rt-14-dev clang-format-14)
fi

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -gt 0 ]; then
    echo "bootstrap: installing ${missing[*]}" >&2
    sudo_cmd=()
    [ "$(id -u)" = 0 ] || sudo_cmd=(sudo)
    export DEBIAN_FRONTEND=noninteractive
    "${sudo_cmd[@]}" apt-get update -qq
    "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}"
fi
