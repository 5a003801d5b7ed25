#!/usr/bin/env python3
"""Times Python's plistlib.loads on a binary property list (a keyed archive), for comparison with
DecodeProcessList/* of keyed_archive_bench.

usage: plistlib_bench.py FILE [--runs N] [--min-time SECONDS] [--no-gc] [--name NAME]

Reads FILE into memory once, then calls plistlib.loads on the bytes repeatedly (at least --runs times
and for at least --min-time seconds) and prints the best run as one line in Google Benchmark's console
format and unit:

    plistlib.loads/process_list        412 ms          411 ms            7

(wall time with time.perf_counter, CPU time with time.process_time, the number of runs). Each run
includes freeing the result, as the C++ benchmarks include freeing theirs. The garbage collector stays
on, as it is for a program that calls plistlib, unless --no-gc is given.
"""

import argparse
import gc
import plistlib
import sys
import time


def format_time(seconds):
    """Milliseconds with three significant digits, as Google Benchmark prints them."""
    ms = seconds * 1e3
    if ms >= 100:
        return f"{ms:.0f} ms"
    if ms >= 10:
        return f"{ms:.1f} ms"
    return f"{ms:.2f} ms"


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("file")
    parser.add_argument("--runs", type=int, default=5, help="at least this many runs (default 5)")
    parser.add_argument("--min-time", type=float, default=2.0,
                        help="keep running until this many seconds have passed (default 2)")
    parser.add_argument("--no-gc", action="store_true", help="disable the garbage collector while timing")
    parser.add_argument("--name", default="plistlib.loads/process_list")
    args = parser.parse_args()

    with open(args.file, "rb") as f:
        data = f.read()
    if not data.startswith(b"bplist0"):
        print(f"plistlib_bench.py: {args.file}: not a binary property list", file=sys.stderr)
        return 1
    root = plistlib.loads(data)  # also checks it parses; not timed
    del root

    if args.no_gc:
        gc.disable()
    best_wall = best_cpu = float("inf")
    runs = 0
    started = time.perf_counter()
    while runs < args.runs or time.perf_counter() - started < args.min_time:
        wall0, cpu0 = time.perf_counter(), time.process_time()
        plistlib.loads(data)  # the result is freed as soon as the call returns
        wall1, cpu1 = time.perf_counter(), time.process_time()
        best_wall = min(best_wall, wall1 - wall0)
        best_cpu = min(best_cpu, cpu1 - cpu0)
        runs += 1
    gc.enable()

    print(f"{args.name:<35}{format_time(best_wall):>13}{format_time(best_cpu):>17}{runs:>13}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
