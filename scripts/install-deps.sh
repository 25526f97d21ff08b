#!/usr/bin/env bash
# Installs the Debian 12 packages Kestrum needs to build, run and test.
# Idempotent: packages already present are not fetched again.
set -euo pipefail

packages=(
    build-essential cmake ninja-build ccache pkg-config
    qt6-base-dev qt6-base-dev-tools libgl-dev
    zlib1g-dev libjpeg-dev libpng-dev libtiff-dev
    liblzma-dev libbz2-dev libzstd-dev libarchive-dev libssl-dev
    libgtest-dev
    # peers the tests drive
    python3 python3-pyftpdlib python3-openssl openssl curl zip unzip tar gzip xz-utils bzip2 zstd cabextract gcab poppler-utils
    7zip libarchive-tools xorriso cpio binutils
    xvfb xauth xdg-utils shared-mime-info libglib2.0-bin
    # a window manager and a keyboard for the tests under a real X server
    openbox xdotool
    # the panels in other languages, and a file system that never answers
    locales python3-fusepy fuse3
    # a font with the CJK characters the printing tests print
    fonts-wqy-microhei
    # a session bus, network mounts through gvfs, block devices
    dbus gvfs gvfs-backends gvfs-fuse util-linux e2fsprogs
    # the package build and the checks of its desktop entry and metainfo
    dpkg-dev appstream desktop-file-utils
    # fuzzing with libFuzzer and the sanitizers' symbolizer
    clang libclang-rt-14-dev llvm
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
    SUDO="sudo"
fi
if [ ${#missing[@]} -gt 0 ]; then
    export DEBIAN_FRONTEND=noninteractive
    $SUDO apt-get update -q
    $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# The locales the panel tests format in (C.UTF-8 is always there).
locales=(fr_FR ru_RU de_DE ja_JP)
ungenerated=()
for l in "${locales[@]}"; do
    locale -a 2>/dev/null | grep -qix "$l.utf-\?8" || ungenerated+=("$l")
done
if [ ${#ungenerated[@]} -gt 0 ]; then
    for l in "${ungenerated[@]}"; do
        grep -q "^$l.UTF-8 UTF-8" /etc/locale.gen 2>/dev/null ||
            echo "$l.UTF-8 UTF-8" | $SUDO tee -a /etc/locale.gen >/dev/null
    done
    $SUDO locale-gen >/dev/null
fi
