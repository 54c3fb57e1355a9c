#!/usr/bin/env python3
"""States the bounds of the store's benchmark; exits 1 when one is missed.

    build-rel/bin/bench_storage_bench --benchmark_repetitions=5 --benchmark_format=json > storage.json
    bench/check_storage_bench.py storage.json

Every bound compares the store with a raw sqlite3 anchor doing the same work on the same file in the
same run (medians of at least five repetitions): each page load (mode keys, macro events, frames) at
most 1.3 times the same indexed query stepped by hand; each batch write (a 108-key effect, a mode's
keys cleared and saved, a macro's events replaced, a slot's frames replaced) at most 1.3 times a raw
loop of the same deletes and inserts in one transaction.
"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from bench_bounds import Checker  # noqa: E402


def main(path):
    c = Checker(path)
    c.need_repetitions("BM_LoadModeKeys", 5)
    for load in ("ModeKeys", "MacroEvents", "LedFrames"):
        ratio = c.ms("BM_Load%s" % load) / c.ms("BM_Load%sRaw" % load)
        c.at_most("Load%s / raw indexed query" % load, ratio, 1.3, "%.2f")
    for write in ("SetCustomRgbListAllKeys", "ClearModeAndSaveAllKeys", "ReplaceMacroEvents", "ReplaceLedFrames"):
        ratio = c.ms("BM_%s/real_time" % write) / c.ms("BM_%sRaw/real_time" % write)
        c.at_most("%s / raw loop in one transaction" % write, ratio, 1.3, "%.2f")
    return c.exit_code()


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
