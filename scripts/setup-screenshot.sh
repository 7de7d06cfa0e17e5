#!/usr/bin/env bash
# Packages the screenshot script needs beyond scripts/setup.sh: a virtual X server and ImageMagick
# (for trimming the picture). Idempotent; run as root (or with sudo available).
set -euo pipefail
PACKAGES=(xvfb xauth imagemagick)
missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
