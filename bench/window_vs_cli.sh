#!/usr/bin/env bash
# The window against the headless program on the same generated site: 2,000 pages (plus an image
# each ten pages) served by nginx on 127.0.0.1, copied at pace 0 with 10 threads, first by
# `quillmoss-cli mirror`, then by the window (offscreen platform) through its new-task flow.
# Prints both times, their ratio (goal: at most 1.2) and the window's worst event-loop delay
# (goal: under 100 ms).
#   bench/window_vs_cli.sh [BUILD_DIR]    (default build/release, configured with
#                                          -DQM_BUILD_GUI=ON -DQM_BUILD_BENCH=ON)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
pages=${PAGES:-2000}
work=$(mktemp -d)
chmod 755 "$work"  # nginx workers run as an unprivileged user
WORK=$work
source bench/fast_runs/common.sh
trap 'stop_nginx; rm -rf "$work"' EXIT

# The site: page i links to the next five pages, to the index and to one shared image in ten.
mkdir -p "$work/site/pages" "$work/site/img"
python3 - "$work/site" "$pages" <<'PY'
import sys, os
root, n = sys.argv[1], int(sys.argv[2])
links = "".join(f'<li><a href="pages/p{i}.html">page {i}</a></li>' for i in range(0, n, 40))
open(os.path.join(root, "index.html"), "w").write(f"<html><title>bench</title><ul>{links}</ul></html>")
for i in range(n):
    nxt = "".join(f'<a href="p{(i + k) % n}.html">next {k}</a> ' for k in range(1, 6))
    img = f'<img src="../img/i{i // 10}.gif">' if i % 10 == 0 else ""
    body = "<p>" + ("Quillmoss bench text. " * 40) + "</p>"
    open(os.path.join(root, "pages", f"p{i}.html"), "w").write(
        f"<html><title>p{i}</title>{img}{nxt}<a href=\"../index.html\">home</a>{body}</html>")
for i in range(n // 10):
    open(os.path.join(root, "img", f"i{i}.gif"), "wb").write(b"GIF89a" + bytes(range(256)) * 4)
PY

start_nginx "$work/site" >/dev/null
url="$BASE/index.html"

echo "site: $pages pages and $((pages / 10)) images at $url"
start=$(date +%s.%N)
"$build/quillmoss-cli" mirror "$url" --folder "$work/cli" --threads 10 --pace 0 --scope 1 \
  --content 1 --settings "$work/cli.ini" > "$work/cli.log"
cli=$(python3 -c "print($(date +%s.%N) - $start)")
printf 'quillmoss-cli mirror: %.3f s (%s)\n' "$cli" "$(grep -a '任务结束' "$work/cli.log" | tail -1)"

mkdir -p "$work/window"
QT_QPA_PLATFORM=offscreen "$build/bench/bench_window_run" "$url" --folder "$work/window" \
  --threads 10 --pace 0 --scope 1 --content 1 | tee "$work/window.txt"
win=$(sed -n 's/^window run: \([0-9.]*\) s.*/\1/p' "$work/window.txt")
cli_files=$(find "$work/cli" -type f | wc -l)
win_files=$(find "$work/window/Websites" -type f | wc -l)
echo "files: cli $cli_files, window $win_files"
python3 -c "print(f'ratio window/cli: {$win / $cli:.2f} (goal <= 1.2)')"
