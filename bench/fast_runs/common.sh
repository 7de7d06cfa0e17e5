# Shared by the run benchmarks: a private nginx on 127.0.0.1 over a folder, on a free port.
# Sourced; expects WORK (a scratch folder) to be set. Sets NGINX_PID and BASE.

free_port() {
  python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

# start_nginx ROOT [PORT]: serves ROOT (symbolic links followed) at $BASE, on PORT when given
# (a site whose pages name their own base needs it chosen first), else on a free port.
start_nginx() {
  local root=$1 port=${2:-}
  [ -n "$port" ] || port=$(free_port)
  BASE="http://127.0.0.1:$port"
  mkdir -p "$WORK/nginx/tmp"
  cat > "$WORK/nginx/nginx.conf" <<CONF
worker_processes 2;
pid $WORK/nginx/nginx.pid;
error_log $WORK/nginx/error.log warn;
events { worker_connections 512; }
http {
  access_log off;
  client_body_temp_path $WORK/nginx/tmp/body;
  proxy_temp_path $WORK/nginx/tmp/proxy;
  fastcgi_temp_path $WORK/nginx/tmp/fastcgi;
  uwsgi_temp_path $WORK/nginx/tmp/uwsgi;
  scgi_temp_path $WORK/nginx/tmp/scgi;
  types { text/html html; text/css css; image/png png; image/gif gif; image/jpeg jpg;
          image/svg+xml svg; application/javascript js; font/woff woff; font/woff2 woff2;
          video/mp4 mp4; }
  default_type application/octet-stream;
  server {
    listen 127.0.0.1:$port;
    server_name localhost;
    root $root;
  }
}
CONF
  /usr/sbin/nginx -p "$WORK/nginx" -e "$WORK/nginx/error.log" -c "$WORK/nginx/nginx.conf" \
    -g "daemon off;" &
  NGINX_PID=$!
  for _ in $(seq 100); do
    curl -s -o /dev/null "$BASE/" && return 0
    sleep 0.05
  done
  echo "nginx did not start" >&2
  cat "$WORK/nginx/error.log" >&2
  return 1
}

stop_nginx() {
  if [ -n "${NGINX_PID:-}" ]; then
    kill "$NGINX_PID" 2>/dev/null || true
    wait "$NGINX_PID" 2>/dev/null || true
    NGINX_PID=""
  fi
}

# The manual of Debian's apache2-doc, copied to the scratch folder (installed when missing).
manual_copy() {
  local dest=$1
  if [ ! -d /usr/share/doc/apache2-doc/manual ]; then
    echo "installing apache2-doc" >&2
    apt-get install -y -qq --no-install-recommends apache2-doc >/dev/null
  fi
  mkdir -p "$dest"
  cp -rL /usr/share/doc/apache2-doc/manual "$dest/"
}

# The saved files of a copy (the task file and its backup left out), relative, sorted.
site_files() {
  (cd "$1" && find . -type f ! -name '*.web' ! -name '*.bak' | sort)
}
