#!/usr/bin/env python3
"""One copy at pacing 1 (the program's own pauses) of a generated site from a private nginx on
127.0.0.1, against the bound those pauses set.

Two bounds are printed:
- the throughput bound: every entry a worker fetches costs it 200 + 50 + 50 + 1000 ms of pauses
  (before the HEAD, after it, before the GET, after the GET), and every entry of the table costs
  each worker 10 ms as it moves past it; with W workers, N fetched entries and T entries in the
  table: ceil(N / W) x 1300 ms + T x 10 ms, plus the analysis pauses of the last page (30 ms)
  and the master's 5000 ms pause after the end-of-run report, which the headless program waits
  for;
- the schedule bound (pause_schedule.py): the run replayed from its own log with every step
  other than a fixed pause taking no time, so that the waits for links not yet known count too.
The goal is a run within 5 % of the schedule bound.

usage: pace_one.py [--cli PATH] [--files N] [--threads W] [--log FILE]"""
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
from pause_schedule import bound_ms, read_growth, read_log  # noqa: E402

PER_ENTRY_MS = 200 + 50 + 50 + 1000
PER_STEP_MS = 10
LAST_PAGE_MS = 30
EPILOGUE_MS = 5000


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--cli", default="build/release/quillmoss-cli")
    ap.add_argument("--files", type=int, default=300)
    ap.add_argument("--threads", type=int, default=10)
    ap.add_argument("--log", help="keep the run's log in this file")
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
        if args.log:
            with open(args.log, "w") as f:
                f.write(log)
        fetched, pages = read_log(log.splitlines())
        task_files = [f for f in os.listdir(out) if f.endswith(".web")]
        dump = subprocess.run([os.path.abspath(args.cli), "dump", os.path.join(out, task_files[0])],
                              capture_output=True, text=True, check=True).stdout
        growth = read_growth(dump.splitlines(), pages)
        table = sum(1 for line in dump.splitlines() if line[:1].isdigit())
        simple = (math.ceil(len(fetched) / args.threads) * PER_ENTRY_MS + table * PER_STEP_MS +
                  LAST_PAGE_MS + EPILOGUE_MS) / 1000.0
        schedule = bound_ms(fetched, growth, args.threads) / 1000.0
        print("files %d, table %d entries, %d fetched, %d pages analysed, %d workers: %.1f s" % (
            args.files, table, len(fetched), len(pages), args.threads, wall))
        print("throughput bound %.1f s (%+.1f %%), schedule bound %.1f s (%+.1f %%)" % (
            simple, (wall / simple - 1) * 100, schedule, (wall / schedule - 1) * 100))
    finally:
        if nginx:
            nginx.terminate()
            nginx.wait()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
