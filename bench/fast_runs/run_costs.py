#!/usr/bin/env python3
"""Where a copy's time and memory go, beside the totals that peers.py prints: for quillmoss-cli with
10 workers and with 1 on the same nginx-served site (copied into /dev/shm), the median over
several runs of

- wall and CPU time, voluntary context switches (waits: every wake-up of a sleeping thread) and
  involuntary ones (a thread put off the CPU for another), all from GNU time;
- peak resident memory, split into anonymous memory (heap, stacks, buffers) and mapped files
  (the program and its libraries), sampled from /proc/PID/smaps_rollup every few milliseconds;
- the peak resident memory of `quillmoss-cli --version`, the floor set by loading the program.

usage: run_costs.py [--cli PATH] [--reps N] [--sites manual,gen3000]"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import peers  # noqa: E402  (the site set-up and the nginx of the side-by-side benchmark)


def rollup(pid):
    """Rss, Anonymous (kB) of a running process, or None once it has gone."""
    try:
        with open("/proc/%d/smaps_rollup" % pid) as f:
            values = {}
            for line in f:
                parts = line.split()
                if len(parts) >= 2 and parts[0] in ("Rss:", "Anonymous:"):
                    values[parts[0]] = int(parts[1])
            return values.get("Rss:", 0), values.get("Anonymous:", 0)
    except (OSError, ValueError):
        return None


def measure(cmd, cwd):
    stats = os.path.join(cwd, "time.txt")
    proc = subprocess.Popen(["/usr/bin/time", "-f", "%e %U %S %M %w %c", "-o", stats] + cmd,
                            cwd=cwd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    peak = [0, 0]  # rss, anonymous at the sample with the largest rss

    def sample():
        child = None
        while proc.poll() is None:
            if child is None:
                try:
                    with open("/proc/%d/task/%d/children" % (proc.pid, proc.pid)) as f:
                        found = f.read().split()
                    child = int(found[0]) if found else None
                except OSError:
                    pass
            if child is not None:
                got = rollup(child)
                if got and got[0] > peak[0]:
                    peak[0], peak[1] = got
            time.sleep(0.003)

    sampler = threading.Thread(target=sample)
    sampler.start()
    status = proc.wait()
    sampler.join()
    with open(stats) as f:
        wall, user, system, rss, waits, switches = f.read().split()[-6:]
    return {"wall": float(wall), "cpu": float(user) + float(system), "rss": int(rss) / 1024.0,
            "anon": peak[1] / 1024.0, "files": (peak[0] - peak[1]) / 1024.0,
            "waits": int(waits), "switches": int(switches), "status": status}


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--cli", default="build/release/quillmoss-cli")
    ap.add_argument("--reps", type=int, default=5)
    ap.add_argument("--sites", default="manual,gen3000")
    args = ap.parse_args()
    peers.ensure_packages()
    cli = os.path.abspath(args.cli)
    work = tempfile.mkdtemp(prefix="qm-costs.", dir="/dev/shm")
    os.chmod(work, 0o755)
    nginx = None
    try:
        version = [measure([cli, "--version"], work)["rss"] for _ in range(args.reps)]
        print("quillmoss-cli --version: peak rss %.1f MB" % statistics.median(version))
        root = os.path.join(work, "sites")
        os.makedirs(root)
        starts = {}
        for site in args.sites.split(","):
            if site == "manual":
                shutil.copytree("/usr/share/doc/apache2-doc/manual", os.path.join(root, "manual"))
                starts[site] = "/manual/index.html"
            elif site.startswith("gen"):
                subprocess.run([sys.executable, os.path.join(HERE, "generate_site.py"),
                                os.path.join(root, site), site[3:]], check=True,
                               stdout=subprocess.DEVNULL)
                starts[site] = "/%s/index.html" % site
        nginx, base = peers.start_nginx(work, root)
        columns = ("wall", "cpu", "waits", "switches", "rss", "anon", "files")
        print("%-9s %-8s %7s %7s %8s %8s %7s %7s %7s" % (("site", "workers") + columns))
        for site, path in starts.items():
            rows = {}
            for _ in range(args.reps):
                for workers in (10, 1):  # interleaved: a disturbance hits both alike
                    out = os.path.join(work, "out")
                    shutil.rmtree(out, ignore_errors=True)
                    os.makedirs(out)
                    rows.setdefault(workers, []).append(measure(
                        [cli, "mirror", base + path, "--folder", out, "--threads", str(workers),
                         "--pace", "0"], work))
            for workers, runs in rows.items():
                med = {c: statistics.median(r[c] for r in runs) for c in columns}
                bad = sorted(set(r["status"] for r in runs if r["status"] != 0))
                print("%-9s %-8d %7.3f %7.3f %8d %8d %7.1f %7.1f %7.1f%s" % (
                    site, workers, med["wall"], med["cpu"], med["waits"], med["switches"],
                    med["rss"], med["anon"], med["files"],
                    "  (exit status %s)" % bad if bad else ""))
            sys.stdout.flush()
    finally:
        if nginx:
            nginx.terminate()
            nginx.wait()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
