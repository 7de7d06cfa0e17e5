#!/usr/bin/env bash
# Starts the window under a virtual X server (Xvfb), lets it copy the bundled demo site (served by
# nginx on 127.0.0.1) through its new-task flow at a slow pace, and saves a picture of the window
# while the run goes on: docs/window.png, shown in the README.
#   scripts/screenshot.sh [BUILD_DIR]   (default build/release, configured with
#                                        -DQM_BUILD_GUI=ON -DQM_BUILD_BENCH=ON)
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup-screenshot.sh
build=${1:-build/release}
out=docs/window.png
work=$(mktemp -d)
trap 'kill $(cat "$work/nginx.pid" 2>/dev/null) 2>/dev/null || true; rm -rf "$work"' EXIT

port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
mkdir -p "$work/tmp"
cat > "$work/nginx.conf" <<CONF
worker_processes 1;
pid $work/nginx.pid;
error_log $work/error.log;
events { worker_connections 64; }
http {
  access_log off;
  client_body_temp_path $work/tmp; proxy_temp_path $work/tmp; fastcgi_temp_path $work/tmp;
  uwsgi_temp_path $work/tmp; scgi_temp_path $work/tmp;
  types { text/html html; image/svg+xml svg; image/png png; image/gif gif; application/javascript js; text/css css; }
  server { listen 127.0.0.1:$port; root $PWD/demo/site; }
}
CONF
nginx -c "$work/nginx.conf" -p "$work"

mkdir -p docs "$work/window"
# A slow pace keeps the run going long enough to be seen; the picture is taken at 40 %.
xvfb-run -a -s "-screen 0 1024x768x24" \
  "$build/bench/bench_window_run" "http://127.0.0.1:$port/index.html" --folder "$work/window" \
  --threads 3 --pace 0.3 --scope 0 --content -1 --shot "$work/window.png" --shot-at 40
convert "$work/window.png" -strip "$out"
echo "saved $out"
