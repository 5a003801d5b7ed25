#!/usr/bin/env python3
"""Prints bench/run's summary: the figures of keyed_archive_bench (its JSON output), plistlib_bench.py
(its one line) and the peak-memory table side by side, with the ratios and the goals.

usage: summarize.py RESULTS.json PLISTLIB.txt MEMORY.tsv ARCHIVE
"""

import json
import os
import sys

UNIT = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}  # to milliseconds


def load(results_path):
    with open(results_path) as f:
        return json.load(f)["benchmarks"]


def figure(benchmarks, name):
    """(wall ms, CPU ms, entry) of a benchmark: its median aggregate when repeated, else the run."""
    runs = [b for b in benchmarks if b.get("run_name", b["name"]) == name]
    if not runs:
        return None, None, None
    medians = [b for b in runs if b.get("aggregate_name") == "median"]
    b = medians[0] if medians else runs[0]
    scale = UNIT[b["time_unit"]]
    return b["real_time"] * scale, b["cpu_time"] * scale, b


def show(ms, unit):
    if ms is None:
        return "-"
    value = ms / UNIT[unit]
    return f"{value:.3g} {unit}" if value < 1000 else f"{value:.0f} {unit}"


def main():
    results_path, plistlib_path, memory_path, archive = sys.argv[1:5]
    benchmarks = load(results_path)

    print("== summary: wall time (CPU time)")
    print()
    print("a. Open + read the thumbnail bytes (map, initForReadingWithData, decodeBytesForKey, copy 4 KiB)")
    print(f"   {'document':<10}{'file size':>14}{'open + read':>26}{'map-only floor':>26}")
    cpus = []
    for label in ("10KiB", "1MiB", "100MiB"):
        wall, cpu, b = figure(benchmarks, f"OpenReadThumbnail/{label}")
        floor_wall, floor_cpu, _ = figure(benchmarks, f"MapOnly/{label}")
        if b is None:
            continue
        cpus.append(cpu)
        size = f"{int(b.get('file_bytes', 0)):,}"
        print(f"   {label:<10}{size:>14}{show(wall, 'us'):>14} ({show(cpu, 'us')})"
              f"{show(floor_wall, 'us'):>14} ({show(floor_cpu, 'us')})")
    if len(cpus) == 3:
        growth = cpus[2] / cpus[0]
        verdict = "met" if growth < 2 else "NOT MET"
        print(f"   100 MiB / 10 KiB, CPU time: {growth:.2f}x  (goal: no growth with the size: {verdict})")
    wall, cpu, b = figure(benchmarks, "OpenArchive/process_list")
    if b:
        print(f"   for comparison, mapping and opening the process list ({int(b['objects']):,} objects, "
              f"nothing decoded): {show(wall, 'us')} ({show(cpu, 'us')})")
    print()

    ours_wall, ours_cpu, b = figure(benchmarks, "DecodeProcessList/ours")
    lib_wall, lib_cpu, _ = figure(benchmarks, "DecodeProcessList/libplist")
    py_wall = py_cpu = None
    with open(plistlib_path) as f:
        fields = f.read().split()
    if len(fields) >= 5:
        py_wall = float(fields[1]) * UNIT[fields[2]]
        py_cpu = float(fields[3]) * UNIT[fields[4]]
    if b:
        print(f"b. Decode every object of {os.path.basename(archive)} "
              f"({int(b['file_bytes']):,} bytes, {int(b['objects']):,} objects), bytes in memory")
        print(f"   {'decoder':<40}{'time':>22}   ours is, by CPU time")
        print(f"   {'ours: NSKeyedUnarchiver, object graph':<40}{show(ours_wall, 'ms'):>10} ({show(ours_cpu, 'ms')})")
        for label, wall, cpu, goal in (("libplist: plist_from_bin + plist_free", lib_wall, lib_cpu, 2),
                                       ("Python plistlib.loads", py_wall, py_cpu, 10)):
            if cpu is None:
                continue
            ratio = cpu / ours_cpu
            verdict = "met" if ratio >= goal else "NOT MET"
            print(f"   {label:<40}{show(wall, 'ms'):>10} ({show(cpu, 'ms')})   {ratio:.2f}x faster"
                  f"  (goal >= {goal}x: {verdict})")
        print()

    print("Peak memory (maximum resident set size)")
    with open(memory_path) as f:
        for line in f:
            label, kib, detail = line.rstrip("\n").split("\t")
            print(f"   {label:<46}{int(kib) / 1024:>7.1f} MiB   {detail.strip()}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
