#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the program need; skips those present.
set -euo pipefail

packages=(
    cmake ninja-build g++ pkg-config
    libgtest-dev libgmock-dev libbenchmark-dev
    clang-14 libclang-rt-14-dev
    qt6-base-dev libqt6svg6-dev libqcustomplot-dev libxkbcommon-dev
    libcli11-dev nlohmann-json3-dev libceres-dev libeigen3-dev libmatio-dev python3-scipy
    libopenmpi-dev openmpi-bin
    xvfb xauth xdg-utils
    ghostscript imagemagick fonts-urw-base35
    x11-utils libxtst6 python3
    locales
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

install_missing_packages() {
    [ ${#missing[@]} -eq 0 ] && return 0
    if [ "$(id -u)" -ne 0 ]; then
        echo "Missing packages: ${missing[*]}; run as root or install them with apt-get." >&2
        exit 1
    fi
    # Another apt process (an unattended upgrade) may hold the lock for a while.
    for _ in $(seq 1 60); do
        if ! fuser /var/lib/dpkg/lock-frontend >/dev/null 2>&1; then
            break
        fi
        sleep 5
    done
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# The tests check number text under a locale whose decimal separator is a comma.
generate_comma_locale() {
    locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$' && return 0
    [ "$(id -u)" -eq 0 ] || return 0
    sed -i 's/^# *de_DE.UTF-8 UTF-8/de_DE.UTF-8 UTF-8/' /etc/locale.gen
    grep -q '^de_DE.UTF-8 UTF-8' /etc/locale.gen || echo 'de_DE.UTF-8 UTF-8' >>/etc/locale.gen
    locale-gen >/dev/null
}

install_missing_packages
generate_comma_locale
