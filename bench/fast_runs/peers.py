#!/usr/bin/env python3
"""Copies sites side by side with quillmoss-cli and its peers from Debian (wget, wget2), each
from the same private nginx on 127.0.0.1 into /dev/shm, and prints the median wall time, CPU
time (user + system), peak resident memory and file count of each over several repetitions.

Sites: the Apache HTTP Server manual of Debian's apache2-doc ("manual"), and generated sites of
N files ("genN", bench/fast_runs/generate_site.py). Needs wget, wget2, nginx-light and
apache2-doc; missing ones are installed with apt-get.

usage: peers.py [--cli PATH] [--reps N] [--sites manual,gen3000,gen30000] [--tools ...]"""
import argparse
import os
import shutil
import socket
import statistics
import subprocess
import sys
import tempfile
import time
import urllib.request

HERE = os.path.dirname(os.path.abspath(__file__))


def ensure_packages():
    wanted = {"wget": "/usr/bin/wget", "wget2": "/usr/bin/wget2", "nginx-light": "/usr/sbin/nginx",
              "apache2-doc": "/usr/share/doc/apache2-doc/manual"}
    missing = [p for p, path in wanted.items() if not os.path.exists(path)]
    if missing:
        subprocess.run(["apt-get", "install", "-y", "-qq", "--no-install-recommends"] + missing,
                       check=True)


def free_port():
    s = socket.socket()
    s.bind(("127.0.0.1", 0))
    port = s.getsockname()[1]
    s.close()
    return port


def start_nginx(work, root):
    port = free_port()
    os.makedirs(os.path.join(work, "nginx", "tmp"), exist_ok=True)
    conf = os.path.join(work, "nginx", "nginx.conf")
    with open(conf, "w") as f:
        f.write("""worker_processes 2;
pid %(w)s/nginx/nginx.pid;
error_log %(w)s/nginx/error.log warn;
events { worker_connections 512; }
http {
  access_log off;
  client_body_temp_path %(w)s/nginx/tmp/body;
  proxy_temp_path %(w)s/nginx/tmp/proxy;
  fastcgi_temp_path %(w)s/nginx/tmp/fastcgi;
  uwsgi_temp_path %(w)s/nginx/tmp/uwsgi;
  scgi_temp_path %(w)s/nginx/tmp/scgi;
  types { text/html html; text/css css; image/png png; image/gif gif; image/jpeg jpg;
          image/svg+xml svg; application/javascript js; }
  default_type application/octet-stream;
  server { listen 127.0.0.1:%(p)d; server_name localhost; root %(r)s; }
}
""" % {"w": work, "p": port, "r": root})
    proc = subprocess.Popen(["/usr/sbin/nginx", "-p", work + "/nginx", "-e",
                             work + "/nginx/error.log", "-c", conf, "-g", "daemon off;"])
    base = "http://127.0.0.1:%d" % port
    for _ in range(100):
        try:
            urllib.request.urlopen(base + "/", timeout=1)
            break
        except urllib.error.HTTPError:
            break
        except Exception:
            time.sleep(0.05)
    return proc, base


def measure(cmd, cwd):
    """Wall time, CPU time and peak RSS (MB) of one command, by GNU time (a child forked from
    this interpreter would report the interpreter's own memory as its peak)."""
    stats = os.path.join(cwd, "time.txt")
    status = subprocess.run(["/usr/bin/time", "-f", "%e %U %S %M", "-o", stats] + cmd, cwd=cwd,
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode
    with open(stats) as f:
        wall, user, system, rss = f.read().split()[-4:]
    return float(wall), float(user) + float(system), int(rss) / 1024.0, status


def count_files(folder):
    n = 0
    for _, _, files in os.walk(folder):
        n += sum(1 for f in files if not f.endswith((".web", ".bak")))
    return n


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--cli", default="build/release/quillmoss-cli")
    ap.add_argument("--reps", type=int, default=5)
    ap.add_argument("--sites", default="manual,gen3000")
    ap.add_argument("--tools", default="quillmoss-10,quillmoss-1,wget,wget2-10")
    args = ap.parse_args()
    ensure_packages()
    cli = os.path.abspath(args.cli)
    work = tempfile.mkdtemp(prefix="qm-peers.", dir="/dev/shm")
    os.chmod(work, 0o755)  # nginx's workers read the sites as another user
    nginx = None
    try:
        root = os.path.join(work, "sites")
        os.makedirs(root)
        starts = {}
        for site in args.sites.split(","):
            if site == "manual":
                shutil.copytree("/usr/share/doc/apache2-doc/manual", os.path.join(root, "manual"),
                                symlinks=False)
                starts[site] = "/manual/index.html"
            elif site.startswith("gen"):
                subprocess.run([sys.executable, os.path.join(HERE, "generate_site.py"),
                                os.path.join(root, site), site[3:]], check=True)
                starts[site] = "/%s/index.html" % site
        nginx, base = start_nginx(work, root)
        tools = {
            "quillmoss-10": lambda url, out: [cli, "mirror", url, "--folder", out, "--threads",
                                              "10", "--pace", "0"],
            "quillmoss-1": lambda url, out: [cli, "mirror", url, "--folder", out, "--threads",
                                             "1", "--pace", "0"],
            "wget": lambda url, out: ["wget", "-r", "-l", "inf", "-np", "-q", "-e", "robots=off",
                                      "-P", out, url],
            "wget2-10": lambda url, out: ["wget2", "-r", "-l", "0", "-np", "-q", "--robots=off",
                                          "--max-threads=10", "-P", out, url],
        }
        print("%-10s %-13s %9s %9s %9s %7s" % ("site", "tool", "wall s", "cpu s", "rss MB",
                                               "files"))
        for site, path in starts.items():
            rows = {}
            for rep in range(args.reps):
                # Interleaved, so that a disturbance of the machine hits every tool alike.
                for tool in args.tools.split(","):
                    out = os.path.join(work, "out")
                    shutil.rmtree(out, ignore_errors=True)
                    os.makedirs(out)
                    wall, cpu, rss, status = measure(tools[tool](base + path, out), work)
                    rows.setdefault(tool, []).append((wall, cpu, rss, count_files(out), status))
            for tool, runs in rows.items():
                print("%-10s %-13s %9.3f %9.3f %9.1f %7d%s" % (
                    site, tool, statistics.median(r[0] for r in runs),
                    statistics.median(r[1] for r in runs), statistics.median(r[2] for r in runs),
                    statistics.median(r[3] for r in runs),
                    "" if all(r[4] == 0 for r in runs) else "  (exit status %s)" %
                    sorted(set(r[4] for r in runs))))
            sys.stdout.flush()
    finally:
        if nginx:
            nginx.terminate()
            nginx.wait()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
