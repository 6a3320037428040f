"""Shrinks every JSON Lines file of a folder on a Dask cluster.

Each non-empty line is one document; each answer is one compact line of the
output file of the same name, in input order, as `tersolite --lines` writes
it. A line the library refuses is reported as FILE:LINE: message and left
out (the exit status is then 1).

    python3 examples/dask_shrink.py IN_DIR OUT_DIR --max-chars 2000
    python3 examples/dask_shrink.py --scheduler tcp://HOST:8786 IN_DIR OUT_DIR

Without --scheduler, a LocalCluster of --workers processes runs the job. On
an existing cluster every worker needs the tersolite package installed and
IN_DIR and OUT_DIR on a file system all of them share. Each worker loads the
library once, when it starts; calls release the GIL, so a worker's threads
shrink in parallel.
"""

import argparse
import pathlib
import sys

from dask.distributed import Client, LocalCluster, WorkerPlugin

import tersolite


class LoadTersolite(WorkerPlugin):
    """Loads the shared library once per worker, as the worker starts."""

    name = "load-tersolite"

    def setup(self, worker):
        tersolite.load()


def shrink_file(source: str, target: str, options: dict) -> list:
    """Shrinks every non-empty line of `source` into `target`; returns the
    refused lines as "FILE:LINE: message"."""
    errors = []
    with open(source, "rb") as lines, open(target, "w", encoding="utf-8") as out:
        for number, line in enumerate(lines, 1):
            line = line.rstrip(b"\r\n")
            if not line.strip():
                continue
            try:
                out.write(tersolite.shrink(line, indent=0, **options).text + "\n")
            except tersolite.TersoliteError as e:
                errors.append(f"{source}:{number}: {e}")
    return errors


def main(argv=None) -> int:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("input", type=pathlib.Path, help="folder of *.jsonl files")
    parser.add_argument("output", type=pathlib.Path, help="folder for the shrunk files (created)")
    parser.add_argument("--max-chars", type=int, default=2000, help="budget per document (default 2000)")
    parser.add_argument("--strategy", choices=["sample", "condense"], default="condense",
                        help="how arrays are shortened (default condense)")
    parser.add_argument("--query", help="the host's query; matching fields are kept first")
    parser.add_argument("--scheduler", help="address of an existing cluster's scheduler")
    parser.add_argument("--workers", type=int, default=2, help="local worker processes (default 2)")
    args = parser.parse_args(argv)

    options = {"max_chars": args.max_chars, "array_strategy": args.strategy}
    if args.query:
        options["query"] = args.query
    files = sorted(args.input.glob("*.jsonl"))
    if not files:
        print(f"dask_shrink: no *.jsonl files in {args.input}", file=sys.stderr)
        return 2
    args.output.mkdir(parents=True, exist_ok=True)

    cluster = None if args.scheduler else LocalCluster(n_workers=args.workers, threads_per_worker=2,
                                                       dashboard_address=None)
    with Client(args.scheduler or cluster) as client:
        register = getattr(client, "register_plugin", None) or client.register_worker_plugin
        register(LoadTersolite())
        futures = [client.submit(shrink_file, str(f), str(args.output / f.name), options, pure=False)
                   for f in files]
        errors = [e for found in client.gather(futures) for e in found]
    if cluster is not None:
        cluster.close()
    for e in errors:
        print(f"dask_shrink: {e}", file=sys.stderr)
    return 1 if errors else 0


if __name__ == "__main__":
    sys.exit(main())
