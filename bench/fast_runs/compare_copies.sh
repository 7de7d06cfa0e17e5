#!/usr/bin/env bash
# Checks that two builds save the same bytes: every page of the Apache HTTP Server manual
# (Debian's apache2-doc), script-heavy pages of 500 and 2,000 functions and 3,000 pages of random
# pieces of markup (bench/fast_runs/random_pages.py) are analysed by each
# build (bench/fast_runs/analyse_copy.cpp, built against each build's engine library, all pages
# in one fixed order on one thread) and every saved file is compared byte for byte.
# usage: bench/fast_runs/compare_copies.sh OLD_SOURCE OLD_BUILD NEW_SOURCE NEW_BUILD
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
WORK=$(mktemp -d /dev/shm/qm-compare.XXXXXX)
trap '[ -n "${KEEP:-}" ] && echo "kept $WORK" || rm -rf "$WORK"' EXIT
source "$HERE/common.sh"

manual_copy "$WORK/site"
python3 "$HERE/generate_site.py" "$WORK/gen" 10 --script-pages 500,2000
cp -r "$WORK/gen/scripts" "$WORK/site/"
python3 "$HERE/random_pages.py" "$WORK/site/random" 3000

for which in old new; do
  if [ $which = old ]; then src=$1 build=$2; else src=$3 build=$4; fi
  g++ -std=c++20 -O2 -I"$src" -I"$build/generated" "$HERE/analyse_copy.cpp" \
    "$build/libquillmoss_engine.a" -lcurl -lpthread -o "$WORK/analyse-$which"
  "$WORK/analyse-$which" "$WORK/site" "$WORK/$which" "http://www.site.test/"
done

site_files "$WORK/old" >"$WORK/old.list"
site_files "$WORK/new" >"$WORK/new.list"
if ! diff -q "$WORK/old.list" "$WORK/new.list" >/dev/null; then
  echo "the two copies hold different files:"
  diff "$WORK/old.list" "$WORK/new.list" | head
  exit 1
fi
differ=0
while read -r f; do
  cmp -s "$WORK/old/$f" "$WORK/new/$f" || { echo "differs: $f"; differ=$((differ + 1)); }
done <"$WORK/old.list"
echo "$(wc -l <"$WORK/old.list") saved files compared, $differ differ"
[ $differ -eq 0 ]
