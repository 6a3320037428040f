#!/usr/bin/env python3
"""JSON Lines through the command-line tool at -j1 and -j2.

usage: bench/jsonl_bench.py TERSOLITE [--gigabytes 1] [--runs 3] [--dir /tmp] [--jobs 1,2]

Writes (once; kept for later runs) a JSON Lines file of generated records,
one per line, of sizes spread evenly on a log scale from 1 KB to 1 MB, then
shrinks it to 2,000 characters per line with `tersolite -l -jN -m 2000`,
RUNS times per N in turn (j1, j2, j1, j2, ...). Prints documents/s, MB/s
and peak memory (the child's maximum resident set) of every run, then the
medians and the -j2 / -j1 speed-up. The cpu seconds and cores used of each
run show how much of the machine it had: on a shared machine, a -j2 run
that gets fewer than two cores cannot be twice as fast.
"""
import argparse
import json
import math
import os
import random
import resource
import statistics
import subprocess
import time

WORDS = ("export report timeout page user search index payment retry queue the a of to in for with "
         "renderer latency request failed succeeded cache miss hit région naïve 東京 résumé").split()


def text(rng, n):
    return " ".join(rng.choice(WORDS) for _ in range(n))


def record(rng, number, size):
    """One line of about `size` bytes: a job with events, people and notes."""
    doc = {"id": number, "kind": rng.choice(["build", "deploy", "import", "sync"]),
           "title": text(rng, 8), "owner": {"id": rng.randrange(10**6), "login": "user%d" % rng.randrange(999),
                                            "email": "someone@example.com"},
           "labels": rng.sample(WORDS, 4), "events": []}
    used = len(json.dumps(doc))
    while used < size:
        event = {"seq": len(doc["events"]), "at": "2026-12-%02dT%02d:%02d:00Z" % (rng.randint(1, 28), rng.randint(0, 23),
                                                                              rng.randint(0, 59)),
                 "level": rng.choice(["info", "info", "warn", "error"]), "message": text(rng, rng.randint(4, 60)),
                 "duration_ms": rng.randint(1, 90000), "tags": rng.sample(WORDS, 3)}
        doc["events"].append(event)
        used += len(json.dumps(event, ensure_ascii=False).encode()) + 1
    return json.dumps(doc, ensure_ascii=False).encode() + b"\n"


def generate(path, total):
    """Distinct records, cycled with new ids until `total` bytes."""
    rng = random.Random(2026)
    pool = [record(rng, i, int(1000 * math.exp(rng.uniform(0, math.log(1000))))) for i in range(240)]
    written, lines = 0, 0
    with open(path + ".part", "wb") as f:
        while written < total:
            line = pool[lines % len(pool)]
            f.write(line)
            written += len(line)
            lines += 1
    os.rename(path + ".part", path)


def count_lines(path):
    with open(path, "rb") as f:
        return sum(chunk.count(b"\n") for chunk in iter(lambda: f.read(1 << 24), b""))


def timed(cli, path, jobs):
    """(seconds, cpu seconds, peak MiB) of one run; its output is discarded."""
    start = time.monotonic()
    pid = os.fork()
    if pid == 0:
        fd = os.open(os.devnull, os.O_WRONLY)
        os.dup2(fd, 1)
        os.execv(cli, [cli, "-l", "-j%d" % jobs, "-m", "2000", path])
    _, status, usage = os.wait4(pid, 0)
    seconds = time.monotonic() - start
    if os.waitstatus_to_exitcode(status) != 0:
        raise SystemExit("tersolite failed with status %d" % os.waitstatus_to_exitcode(status))
    return seconds, usage.ru_utime + usage.ru_stime, usage.ru_maxrss / 1024


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("cli")
    ap.add_argument("--gigabytes", type=float, default=1)
    ap.add_argument("--runs", type=int, default=3)
    ap.add_argument("--dir", default="/tmp")
    ap.add_argument("--jobs", default="1,2")
    a = ap.parse_args()
    total = int(a.gigabytes * 1e9)
    path = os.path.join(a.dir, "tersolite-bench-%d.jsonl" % total)
    if not os.path.exists(path):
        generate(path, total)
    size, docs = os.path.getsize(path), count_lines(path)
    print("%s: %.0f MB, %d lines; load average before: %.2f" % (path, size / 1e6, docs, os.getloadavg()[0]))
    jobs = [int(j) for j in a.jobs.split(",")]
    results = {j: [] for j in jobs}
    for run in range(a.runs):
        for j in jobs:
            seconds, cpu, peak = timed(a.cli, path, j)
            results[j].append(seconds)
            # cpu / wall below the job count says other processes had the cores.
            print("run %d -j%d: %.2f s, %.0f documents/s, %.1f MB/s, cpu %.2f s (%.2f cores), peak %.0f MiB, load %.2f" %
                  (run + 1, j, seconds, docs / seconds, size / 1e6 / seconds, cpu, cpu / seconds, peak,
                   os.getloadavg()[0]))
    if a.runs == 0:
        return
    medians = {j: statistics.median(results[j]) for j in jobs}
    for j in jobs:
        print("median -j%d: %.2f s (%.2f-%.2f), %.0f documents/s, %.1f MB/s" %
              (j, medians[j], min(results[j]), max(results[j]), docs / medians[j], size / 1e6 / medians[j]))
    if 1 in medians and 2 in medians:
        print("-j2 / -j1: %.2fx" % (medians[1] / medians[2]))


if __name__ == "__main__":
    main()
