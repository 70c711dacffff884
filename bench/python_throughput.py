#!/usr/bin/python3
"""Pictures a second through the Python module: a plain loop, a thread pool of
two, and a Dask LocalCluster of two single-threaded worker processes, each
decoding the same folder into records (ternwick.batch.read_file), in rounds
that take turns, so that a busy machine weighs on all three alike.

    python3 bench/python_throughput.py FOLDER [--rounds 3]

Prints the median and every round of each.
"""

import argparse
import concurrent.futures
import pathlib
import statistics
import time

from ternwick.batch import read_file, read_files


def main() -> None:
    parser = argparse.ArgumentParser()
    parser.add_argument("folder", type=pathlib.Path)
    parser.add_argument("--rounds", type=int, default=3)
    args = parser.parse_args()
    paths = sorted(str(p) for p in args.folder.iterdir() if p.suffix in (".png", ".bmp"))

    from distributed import Client, LocalCluster

    with LocalCluster(n_workers=2, threads_per_worker=1, processes=True, host="127.0.0.1",
                      dashboard_address=None, memory_limit=0, silence_logs=40) as cluster, \
            Client(cluster) as client, concurrent.futures.ThreadPoolExecutor(2) as pool:
        ways = {
            "loop, 1 thread": lambda: [read_file(p) for p in paths],
            "thread pool of 2": lambda: list(pool.map(read_file, paths)),
            "Dask LocalCluster, 2 workers": lambda: read_files(paths, client=client),
        }
        for run in ways.values():  # warm-up: imports, caches, worker start
            run()
        rates = {name: [] for name in ways}
        decoded = {}
        for _ in range(args.rounds):
            for name, run in ways.items():
                started = time.perf_counter()
                records = run()
                rates[name].append(len(paths) / (time.perf_counter() - started))
                decoded[name] = sum(r["decoded"] for r in records)
    print(f"{len(paths)} pictures, {args.rounds} rounds")
    base = statistics.median(rates["loop, 1 thread"])
    for name, values in rates.items():
        median = statistics.median(values)
        shown = " ".join(f"{v:.0f}" for v in values)
        print(f"{name:30s} {median:7.0f} pictures/s  x{median / base:.2f}  (rounds: {shown}; decoded {decoded[name]})")


if __name__ == "__main__":
    main()
