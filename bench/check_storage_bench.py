#!/usr/bin/env python3
"""States the bounds of the store's benchmark; exits 1 when one is missed.

    build/bin/bench_storage_bench --benchmark_repetitions=5 --benchmark_format=json > storage.json
    bench/check_storage_bench.py storage.json

Bounds: SetCustomRgbList of a 108-key effect 500 saves/s or more; each page load (mode keys, macro
events, frames) at most 0.6 times the raw sqlite3 loop that scans the same file unindexed; the
other batch writes at least 268 saves/s (the slowest of them before the indexes).
"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from bench_bounds import Checker  # noqa: E402


def main(path):
    c = Checker(path)
    c.at_least("SetCustomRgbList saves/s", c.counter("BM_SetCustomRgbListAllKeys/real_time", "items_per_second"),
               500, "%.0f")
    for load in ("ModeKeys", "MacroEvents", "LedFrames"):
        ratio = c.ms("BM_Load%s" % load) / c.ms("BM_Load%sRaw" % load)
        c.at_most("Load%s / raw unindexed loop" % load, ratio, 0.6, "%.2f")
    for write in ("ClearModeAndSaveAllKeys", "ReplaceMacroEvents", "ReplaceLedFrames"):
        c.at_least("%s saves/s" % write, c.counter("BM_%s/real_time" % write, "items_per_second"), 268, "%.0f")
    return c.exit_code()


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
