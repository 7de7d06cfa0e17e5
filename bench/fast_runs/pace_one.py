#!/usr/bin/env python3
"""One copy at pacing 1 (the program's own pauses) of a generated site from a private nginx on
127.0.0.1, against the bound those pauses set.

Every fetched entry costs a worker at least its fixed pauses: 200 ms before the HEAD, 50 ms after
it, 50 ms before the GET, 1000 ms after it and 10 ms before the worker moves on (1310 ms). With
W workers and N entries the copy cannot end before ceil(N / W) x 1310 ms, plus the analysis
pauses of the last page (10 ms after loading, 10 ms before deleting, 10 ms in between) and the
master's 5000 ms pause after the end-of-run report, which the headless program waits for.

usage: pace_one.py [--cli PATH] [--files N] [--threads W]"""
import argparse
import math
import os
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from peers import ensure_packages, start_nginx  # noqa: E402

PER_ENTRY_MS = 200 + 50 + 50 + 1000 + 10
LAST_PAGE_MS = 30
EPILOGUE_MS = 5000


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--cli", default="build/release/quillmoss-cli")
    ap.add_argument("--files", type=int, default=300)
    ap.add_argument("--threads", type=int, default=10)
    args = ap.parse_args()
    ensure_packages()
    work = tempfile.mkdtemp(prefix="qm-pace1.", dir="/dev/shm")
    os.chmod(work, 0o755)
    nginx = None
    try:
        site = os.path.join(work, "site")
        subprocess.run([sys.executable, os.path.join(HERE, "generate_site.py"), site,
                        str(args.files)], check=True)
        nginx, base = start_nginx(work, site)
        out = os.path.join(work, "out")
        t0 = time.monotonic()
        log = subprocess.run([os.path.abspath(args.cli), "mirror", base + "/index.html",
                              "--folder", out, "--threads", str(args.threads), "--pace", "1"],
                             capture_output=True, text=True).stdout
        wall = time.monotonic() - t0
        # Entries a worker took up: one "正在下载" line each (HEAD done, GET follows).
        entries = sum(1 for line in log.splitlines() if "正在下载" in line and "文件大小" in line)
        bound = (math.ceil(entries / args.threads) * PER_ENTRY_MS + LAST_PAGE_MS +
                 EPILOGUE_MS) / 1000.0
        print("files %d, entries fetched %d, workers %d: %.1f s, bound %.1f s, %+.1f %%" % (
            args.files, entries, args.threads, wall, bound, (wall / bound - 1) * 100))
    finally:
        if nginx:
            nginx.terminate()
            nginx.wait()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
