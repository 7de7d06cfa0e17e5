#!/usr/bin/env bash
# Fails when a tracked C++ source (*.cpp, *.h) differs from what the committed .clang-format
# makes of it; lists the files that drift. Fix them with: clang-format -i FILE...
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -d '' files < <(git ls-files -z -- '*.cpp' '*.h')
drift=()
for f in "${files[@]}"; do
  clang-format --style=file --dry-run --Werror "$f" >/dev/null 2>&1 || drift+=("$f")
done
if [ ${#drift[@]} -gt 0 ]; then
  echo "format: ${#drift[@]} file(s) differ from .clang-format:" >&2
  printf '  %s\n' "${drift[@]}" >&2
  exit 1
fi
echo "format: ${#files[@]} files follow .clang-format"
