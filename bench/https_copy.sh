#!/usr/bin/env bash
# Copy time of the generated benchmark site over plain HTTP and over HTTPS, both served by one nginx on
# 127.0.0.1 (the HTTPS side with a self-signed certificate made here, trusted through the
# settings file's extra CA key), with quillmoss-cli mirror at pace 0 and 10 threads. Prints each
# run, the medians, their ratio and the TLS handshakes (distinct TLS connections) per run.
#
#   bench/https_copy.sh [CLI] [RUNS]
#     CLI    quillmoss-cli to measure (default build/release/quillmoss-cli)
#     RUNS   runs per scheme, alternating (default 5)
set -euo pipefail
cd "$(dirname "$0")/.."
CLI=$(realpath "${1:-build/release/quillmoss-cli}")
RUNS=${2:-5}
NGINX=/usr/sbin/nginx
[ -x "$CLI" ] || { echo "no $CLI: build first" >&2; exit 1; }
[ -x "$NGINX" ] || { echo "nginx is not installed (scripts/setup.sh)" >&2; exit 1; }

WORK=$(mktemp -d /tmp/quillmoss-https-bench.XXXXXX)
NGINX_PID=""
cleanup() {
  if [ -n "$NGINX_PID" ]; then kill "$NGINX_PID" 2>/dev/null || true; wait "$NGINX_PID" 2>/dev/null || true; fi
  rm -rf "$WORK"
}
trap cleanup EXIT

# ---- the site: the generated benchmark site (bench/style_site), once per scheme, since it
# holds absolute links to its own base URL ----------------------------------------------------
free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }
HTTP_PORT=$(free_port)
HTTPS_PORT=$(free_port)
python3 bench/style_site/generate.py "$WORK/site-http" "http://127.0.0.1:$HTTP_PORT" "$WORK/dead-http.txt"
python3 bench/style_site/generate.py "$WORK/site-https" "https://127.0.0.1:$HTTPS_PORT" "$WORK/dead-https.txt"
FILES=$(find "$WORK/site-https" -type f | wc -l)

# ---- a self-signed certificate for 127.0.0.1 ---------------------------------------------------
openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -days 2 \
  -subj /CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1 \
  -keyout "$WORK/key.pem" -out "$WORK/cert.pem" 2>/dev/null

mkdir -p "$WORK/nginx/tmp"
chmod -R a+rX "$WORK"
cat > "$WORK/nginx/nginx.conf" <<CONF
worker_processes 1;
pid $WORK/nginx/nginx.pid;
error_log $WORK/nginx/error.log warn;
events { worker_connections 256; }
http {
  log_format conn '\$server_port \$connection \$connection_requests \$ssl_session_reused';
  access_log $WORK/nginx/access.log conn;
  client_body_temp_path $WORK/nginx/tmp/body;
  proxy_temp_path $WORK/nginx/tmp/proxy;
  fastcgi_temp_path $WORK/nginx/tmp/fastcgi;
  uwsgi_temp_path $WORK/nginx/tmp/uwsgi;
  scgi_temp_path $WORK/nginx/tmp/scgi;
  types { text/html html; text/css css; image/png png; image/gif gif; image/jpeg jpg;
          font/woff woff; font/woff2 woff2; video/mp4 mp4; }
  default_type application/octet-stream;
  keepalive_requests 100000;
  server { listen 127.0.0.1:$HTTP_PORT; root $WORK/site-http; }
  server {
    listen 127.0.0.1:$HTTPS_PORT ssl;
    ssl_certificate $WORK/cert.pem;
    ssl_certificate_key $WORK/key.pem;
    root $WORK/site-https;
  }
}
CONF
"$NGINX" -p "$WORK/nginx" -e "$WORK/nginx/error.log" -c "$WORK/nginx/nginx.conf" -g 'daemon off;' &
NGINX_PID=$!
for _ in $(seq 100); do
  (exec 3<>"/dev/tcp/127.0.0.1/$HTTPS_PORT") 2>/dev/null && break
  sleep 0.05
done

# The settings: verification on, the certificate trusted as an extra CA (the file is GBK).
printf '[HTTPS设置]\r\n验证服务器证书=1\r\n附加CA证书文件=%s\r\n' "$WORK/cert.pem" |
  iconv -f UTF-8 -t GBK > "$WORK/settings.ini"

# One copy: prints "seconds saved-files handshakes".
copy() {
  local scheme=$1 port=$2 folder=$WORK/copy-$1-$3
  local before
  before=$(wc -l < "$WORK/nginx/access.log" 2>/dev/null || echo 0)
  local t0 t1
  t0=$(date +%s.%N)
  "$CLI" mirror "$scheme://127.0.0.1:$port/index.html" --folder "$folder" --depth -1 --scope 1 \
    --content 1 --threads 10 --pace 0 \
    --settings "$WORK/settings.ini" > "$WORK/cli-$scheme-$3.log" 2>&1
  t1=$(date +%s.%N)
  local saved handshakes
  saved=$(find "$folder" -type f ! -name '*.web' ! -name '*.bak' ! -name '*.tmp' | wc -l)
  handshakes=$(tail -n +"$((before + 1))" "$WORK/nginx/access.log" |
    awk -v p="$HTTPS_PORT" '$1 == p { c[$2] = 1 } END { print length(c) }')
  rm -rf "$folder"
  echo "$(awk -v a="$t0" -v b="$t1" 'BEGIN { print b - a }') $saved $handshakes"
}

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

echo "site: bench/style_site, $FILES files; $RUNS runs each"
echo "machine: $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg) at start"
copy http "$HTTP_PORT" warm > /dev/null  # page cache and nginx warm
: > "$WORK/http.times"
: > "$WORK/https.times"
for r in $(seq "$RUNS"); do
  read -r s n h <<< "$(copy http "$HTTP_PORT" "$r")"
  printf 'run %d http : %6.2f s, %d files\n' "$r" "$s" "$n"
  echo "$s" >> "$WORK/http.times"
  read -r s n h <<< "$(copy https "$HTTPS_PORT" "$r")"
  printf 'run %d https: %6.2f s, %d files, %d TLS handshakes\n' "$r" "$s" "$n" "$h"
  echo "$s" >> "$WORK/https.times"
  echo "$h" >> "$WORK/handshakes"
done
HTTP_MED=$(median < "$WORK/http.times")
HTTPS_MED=$(median < "$WORK/https.times")
printf 'median http %.2f s, https %.2f s, ratio %.2f (goal <= 1.3); TLS handshakes per https run: %s\n' \
  "$HTTP_MED" "$HTTPS_MED" "$(awk -v a="$HTTP_MED" -v b="$HTTPS_MED" 'BEGIN { print b / a }')" "$(paste -sd' ' "$WORK/handshakes")"
echo "load $(cut -d' ' -f1-3 /proc/loadavg) at end"
