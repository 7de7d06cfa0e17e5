#!/usr/bin/env bash
# Copies a generated site of 3,000 pages whose style sheets use @import and url() from a private
# nginx on 127.0.0.1 with quillmoss-cli mirror, then checks the copy: every file of the site is
# there and the only broken local links are the site's own dead links. Runs the copy twice: with
# style sheet and media links on (the default), and off, for comparison.
# usage: bench/style_site/mirror.sh [BUILD_DIR] [THREADS]
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
BUILD=$(cd "${1:-build/release}" && pwd)
THREADS=${2:-4}
CLI="$BUILD/quillmoss-cli"
[ -x "$CLI" ] || { echo "no $CLI: build first" >&2; exit 2; }

WORK=$(mktemp -d /tmp/qm-style-site.XXXXXX)
NGINX_PID=""
source "$HERE/../fast_runs/common.sh"
cleanup() {
  stop_nginx
  if [ -n "${KEEP:-}" ]; then echo "kept $WORK"; else rm -rf "$WORK"; fi
}
trap cleanup EXIT

PORT=$(free_port)
BASE="http://127.0.0.1:$PORT"
python3 "$HERE/generate.py" "$WORK/site" "$BASE" "$WORK/dead.txt"
chmod -R a+rX "$WORK"
start_nginx "$WORK/site" "$PORT"

copy() {  # copy NAME SWITCH
  local name=$1 switch=$2
  # The settings file is GBK text.
  python3 -c 'import sys; open(sys.argv[1], "wb").write(
    ("[链接设置]\r\n样式表和媒体链接=%s\r\n" % sys.argv[2]).encode("gbk"))' "$WORK/$name.ini" "$switch"
  local start end
  start=$(date +%s.%N)
  "$CLI" mirror "$BASE/index.html" --folder "$WORK/$name" --depth -1 --scope 1 --content 1 \
    --threads "$THREADS" --pace 0 --settings "$WORK/$name.ini" > "$WORK/$name.log" 2>&1 ||
    { echo "mirror failed:"; tail -20 "$WORK/$name.log"; }
  end=$(date +%s.%N)
  echo "== links in style sheets and media tags: $([ "$switch" = 1 ] && echo on || echo off)"
  echo "mirror time: $(python3 -c "print(round($end - $start, 1))") s with $THREADS threads"
  grep -a "错误文件" "$WORK/$name.log" | tail -n 1 || true
  python3 "$HERE/check.py" "$WORK/site" "$WORK/$name/127.0.0.1" "$WORK/dead.txt"
}
status=0
copy on 1 || status=$?
copy off 0 || true  # expected to miss what only style sheets and media tags name
exit $status
