#!/usr/bin/env python3
"""Compares the macro page benchmark with the limits the program needs.

    build/bin/bench_macro_bench --benchmark_format=json > macro.json
    bench/check_macro_bench.py macro.json

Limits: one recorded key event takes at most 50 us (600 per round); showing a macro of 650
events takes at most twice its anchor (reading the rows and filling a bare record list).
Exits 1 when a limit is missed.
"""
import json
import sys


def main(path):
    runs = {}
    for b in json.load(open(path))["benchmarks"]:
        if b.get("run_type", "iteration") == "iteration":
            runs[b["name"].split("/")[0]] = b

    def ms(name):
        b = runs[name]
        if b.get("error_occurred"):
            raise SystemExit(f"FAIL {name}: {b.get('error_message')}")
        scale = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}[b["time_unit"]]
        return b["real_time"] * scale

    failures = []

    def check(ok, text):
        print(("ok   " if ok else "FAIL ") + text)
        if not ok:
            failures.append(text)

    per_event_us = ms("BM_RecordEvent") * 1000.0 / 600
    check(per_event_us <= 50.0, f"record one event: {per_event_us:.2f} us (bound 50 us)")
    ratio = ms("BM_ShowMacroRecords") / ms("BM_ShowMacroRecordsAnchor")
    check(ratio <= 2.0, f"show 650 events: {ratio:.2f} x reading and filling a bare list (bound 2)")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
