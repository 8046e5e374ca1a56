#!/usr/bin/env bash
# Installs the Debian packages the project needs, only those that are missing.
set -euo pipefail

# Everything the build, the tests and the program need, named one by one: the
# packages are installed without their recommendations, so nothing is assumed to
# come along (Qt Charts' headers need Qt's OpenGL ones, which Debian does not pull
# in; CMake finds libxlsxwriter through pkg-config, and its link line asks for zlib,
# whose development files libxlsxwriter-dev does not pull in either; libzip-dev
# reads the bills' ZIP archives and XLSX workbooks, AES ones through OpenSSL; the
# tests read the workbooks they export back with unzip; libzstd-dev compresses the
# household sync's snapshots).
packages=(
    cmake g++ make pkg-config
    qt6-base-dev libqt6sql6-sqlite qt6-charts-dev libqt6opengl6-dev libgl1-mesa-dev
    libxlsxwriter-dev zlib1g-dev libzip-dev libsqlite3-dev libssl-dev libzstd-dev
    qt6-translations-l10n fonts-noto-cjk fonts-wqy-microhei xdg-utils poppler-utils unzip
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    sudo_cmd=()
    [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
    "${sudo_cmd[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
