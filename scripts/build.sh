#!/usr/bin/env bash
# Configures and builds one flavour: build.sh NAME [cmake options...] -> build/NAME
set -euo pipefail
cd "$(dirname "$0")/.."
name=$1; shift
gen=()
command -v ninja >/dev/null 2>&1 && gen=(-G Ninja)
cmake -S . -B "build/$name" "${gen[@]}" "$@" >/dev/null
cmake --build "build/$name" -j "$(nproc)"
