#!/usr/bin/env bash
# Installs the Debian/Ubuntu packages Zelvor needs to build, test, package and run, when any is
# missing (the last line: making the Debian package and checking it).
# Idempotent: does nothing (and needs no network) when everything is there.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev libx11-dev
  qt6-image-formats-plugins qt6-qpa-plugins
  libtiff-dev libjpeg-dev libpng-dev zlib1g-dev libjpeg-turbo-progs
  libgtest-dev libbenchmark-dev clang-tidy
  fonts-liberation2 fonts-dejavu-core
  xvfb xdotool locales
  dpkg-dev lintian desktop-file-utils appstream man-db bash-completion zsh fish
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "zelvor: installing missing packages: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "zelvor: need root or sudo to install: ${missing[*]}" >&2; exit 1; }
  sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq || { echo "zelvor: apt-get update failed" >&2; exit 1; }
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" \
  || { echo "zelvor: could not install: ${missing[*]}" >&2; exit 1; }
