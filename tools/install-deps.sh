#!/usr/bin/env bash
# Installs the Debian packages that building and testing conesim needs, when missing.
set -euo pipefail
# clang and its runtime libraries build the libFuzzer targets; OpenMPI the MPI build.
packages=(g++ cmake make libgtest-dev libbenchmark-dev libpng-dev pkg-config clang
    libclang-rt-14-dev libopenmpi-dev openmpi-bin libxrl-dev libfftw3-dev libcli11-dev
    nlohmann-json3-dev libpcg-cpp-dev)
missing=()
for p in "${packages[@]}"; do
    dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    SUDO=""
    [ "$(id -u)" -eq 0 ] || SUDO=sudo
    $SUDO apt-get update
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y "${missing[@]}"
fi
