#!/usr/bin/env bash
# Installs what building and testing Zelvanto needs on a Debian machine, only what is
# missing. Run as root or with sudo available.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config
    libjpeg62-turbo-dev libpng-dev libfftw3-dev libeigen3-dev libxxhash-dev
    libcli11-dev
    googletest libgtest-dev libgmock-dev libbenchmark-dev
    qt6-base-dev libx11-dev
    clang-format clang libclang-rt-14-dev
    python3-numpy python3-pil
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    sudo=""
    if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
    export DEBIAN_FRONTEND=noninteractive
    $sudo apt-get update -qq
    $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
