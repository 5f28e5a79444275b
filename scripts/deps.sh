#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need, when any is missing.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config
    libgtest-dev libgmock-dev libbenchmark-dev
    zlib1g-dev libminizip-dev libcurl4-openssl-dev libcpp-httplib-dev
    libgtk-3-dev libwebkit2gtk-4.1-dev libasound2-dev
    xvfb xauth x11-utils xdotool imagemagick dbus dbus-x11 fonts-nanum
)

# Node.js may come from elsewhere than Debian (with its own npm); only a missing one is installed.
command -v node >/dev/null && command -v npm >/dev/null || packages+=(nodejs npm)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
fi
