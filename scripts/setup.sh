#!/usr/bin/env bash
# Installs every Debian package Quillmoss needs to build, test and run. Idempotent: packages
# already present are not fetched again. Run as root (or with sudo available).
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev
  clang-format  # scripts/check-format.sh
  libgtest-dev libgmock-dev libbenchmark-dev
  libcurl4-openssl-dev libcpp-httplib-dev libssl-dev openssl ca-certificates
  nginx-light
  python3  # the generated-site benchmark (bench/style_site)
  qt6-base-dev fonts-noto-cjk  # the window and its Chinese texts
  libqt6svg6  # draws the SVG pictures of the window and its dialogs
  debian-reference-en  # real pages for the link scanner benchmark
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: all packages present"
  exit 0
fi

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
# nginx is only a test peer: the suite starts its own instances on free ports.
if command -v systemctl >/dev/null 2>&1; then $SUDO systemctl disable --now nginx >/dev/null 2>&1 || true; fi
