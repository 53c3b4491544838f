#!/bin/sh
# Installs what building, running and testing Tembrel need on Debian 12, only what is missing.
# Run as root (or through sudo).
set -eu

packages="build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-multimedia-dev qt6-translations-l10n libgl-dev
  libarchive-dev libdeflate-dev nettle-dev libisal-dev zlib1g-dev libgtest-dev libxcb1-dev
  xvfb xauth openbox xdotool x11-utils imagemagick fonts-noto-cjk
  libarchive-tools 7zip lhasa jlha-utils openjdk-17-jdk-headless unzip zip zstd
  xorriso gcab cpio
  clang-format
  dpkg-dev file lintian appstream desktop-file-utils shared-mime-info libglib2.0-bin python3"

missing=""
for package in $packages; do
    status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
    case "$status" in
        *"install ok installed"*) ;;
        *) missing="$missing $package" ;;
    esac
done

if [ -n "$missing" ]; then
    echo "setup: installing$missing"
    if [ "$(id -u)" -ne 0 ]; then
        exec sudo "$0" "$@"
    fi
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    # shellcheck disable=SC2086
    apt-get install -y -qq $missing
fi
