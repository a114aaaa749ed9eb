#!/usr/bin/env bash
# Installs the Debian 12 packages Daymark needs to build, run and test,
# skipping the ones already present. Runs apt-get update once at most.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev qt6-qpa-plugins libgl-dev qt6-translations-l10n
  libcurl4-openssl-dev ca-certificates
  libxerces-c-dev libsqlite3-dev libical-dev libzip-dev uuid-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  fonts-ipafont-gothic fonts-liberation
  python3 openssl unzip radicale
  xvfb xauth libxcb1-dev dbus
  icewm x11-utils xdotool
  dpkg-dev file appstream desktop-file-utils
  # .ci/run's checks: clang-format, clang with libFuzzer and the sanitizer
  # runtimes, llvm-symbolizer for readable sanitizer reports.
  clang clang-format libclang-rt-14-dev llvm
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo="sudo"
fi
echo "Installing: ${missing[*]}"
$sudo apt-get update
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
