"""Random argument lists and inputs for the command-line tool, from a fixed
seed: whatever it is given, it ends by itself with one of its statuses,
never by a signal, and an error always comes with a "tersolite: " message.

usage: cli_fuzz_test.py TERSOLITE SOURCE_DIR [RUNS]
"""
import os
import random
import shutil
import subprocess
import sys
import threading
import time

from fixtures import make_fixtures

CLI, SOURCE = sys.argv[1], sys.argv[2]
RUNS = int(sys.argv[3]) if len(sys.argv) > 3 else 120
ROOT, F = make_fixtures(SOURCE)
rng = random.Random(17)

NUMBERS = ["0", "1", "2", "7", "300", "-5", "1.5", "1e3", "abc", "", "+3", "007",
           "4294967296", "18446744073709551615", "18446744073709551616", "9" * 40]
TEXTS = ["", "json", "yaml", "auto", "xml", "sample", "condense", "/id", "*", "items/*/title",
         "{}", "[]", '{"format":"yaml"}', '{"max_chars":-1}', "\udcff", "open bugs"]
VALUE_FLAGS = ["-m", "--max-chars", "--indent", "-j", "--jobs", "--max-samples", "--string-head-chars",
               "--format", "--input-format", "--strategy", "--scorer", "--protect", "--query", "--options"]
SWITCHES = ["-c", "-l", "--lines", "--envelope", "--report", "--strict", "--explain", "--no-keep-last",
            "--compact", "-V", "--bogus", "-", "--", "-x", "-cl"]
FILES = ["issues", "empty", "bad_utf8", "huge_numbers", "deep", "lines", "yaml", "protected_big", "folder",
         "fifo", "missing"]
STDINS = [b"", b"{}", b"\xff\xfe\x00", b'{"a":1}\n{bad\n[2]\n', b"[" * 1000, b"1" * 5000,
          b'"' + b"\\u" * 10 + b'"']


def random_arguments():
    args = []
    for _ in range(rng.randint(0, 7)):
        kind = rng.random()
        if kind < 0.4:
            flag = rng.choice(VALUE_FLAGS)
            pool = NUMBERS if flag in ("-m", "--max-chars", "--indent", "-j", "--jobs", "--max-samples",
                                       "--string-head-chars") else TEXTS
            args += [flag, rng.choice(pool + NUMBERS[:2])]
        elif kind < 0.7:
            args.append(rng.choice(SWITCHES))
        else:
            args.append(F[rng.choice(FILES)])
    if rng.random() < 0.3:
        args.append("-o")
        args.append(rng.choice([os.path.join(ROOT, "out"), F["folder"], os.path.join(ROOT, "no", "x")]))
    return [a.encode("utf-8", "surrogateescape") for a in args]


def keep_fifo_fed(stop):
    """Opens the FIFO for writing whenever a reader waits on it, and pauses
    after each write so that the reader sees the end of its stream."""
    while not stop.is_set():
        try:
            fd = os.open(F["fifo"], os.O_WRONLY | os.O_NONBLOCK)
        except OSError:
            time.sleep(0.002)  # no reader yet (ENXIO)
            continue
        try:
            os.write(fd, b'{"from": "a fifo"}\n')
        except OSError:
            pass
        os.close(fd)
        time.sleep(0.05)


def main():
    stop = threading.Event()
    feeder = threading.Thread(target=keep_fifo_fed, args=(stop,), daemon=True)
    feeder.start()
    failures = 0
    for i in range(RUNS):
        args = random_arguments()
        stdin = rng.choice(STDINS)
        try:
            p = subprocess.run([CLI.encode()] + args, input=stdin, capture_output=True, timeout=30)
        except subprocess.TimeoutExpired:
            failures += 1
            print(f"FAIL run {i}: hung on {args!r}")
            continue
        bad = p.returncode not in (0, 1, 2, 3) or (p.returncode != 0 and not p.stderr.startswith(b"tersolite: "))
        if bad:
            failures += 1
            print(f"FAIL run {i}: status {p.returncode} for {args!r}: {p.stderr[:300]!r}")
    stop.set()
    feeder.join(1)
    shutil.rmtree(ROOT)
    print(f"{RUNS - failures} of {RUNS} random runs ended well")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
