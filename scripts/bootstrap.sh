#!/usr/bin/env bash
# Installs the Debian packages that building and testing Ornith needs, and only those
# that are missing, so that a machine that has them all does not touch the network.
set -euo pipefail

packages=(g++ cmake make pkg-config libgtest-dev libgmock-dev libbenchmark-dev libdeflate-dev libcli11-dev nlohmann-json3-dev help2man)
# What the whole test suite needs beyond a build: clang 14 (the second compiler, and
# libFuzzer) and clang-format 14 (the formatting check).
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
