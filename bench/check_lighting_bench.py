#!/usr/bin/env python3
"""States the bounds of the lighting benchmark; exits 1 when one is missed.

    QT_QPA_PLATFORM=offscreen build-bench/bin/bench_lighting_bench --benchmark_format=json > lighting.json
    bench/check_lighting_bench.py lighting.json

Bounds: one light effect frame (UpdateLightEffect and GetKeyItems on 128 items) within 20 us; the
mode editor's store of every key of the 108-key layout, on disk, within 15 ms; the import of a
195-item customlight file (read, parse, one batch) within 60 ms. The row-by-row import is printed
beside it for comparison and has no bound.
"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from bench_bounds import Checker  # noqa: E402


def main(path):
    c = Checker(path)
    c.at_most("LightEffectFrame us", c.ms("BM_LightEffectFrame") * 1e3, 20.0, "%.2f")
    c.at_most("StoreAllKeys ms", c.ms("BM_StoreAllKeys"), 15.0, "%.3f")
    c.at_most("ImportScheme ms", c.ms("BM_ImportScheme"), 60.0, "%.3f")
    if "BM_ImportSchemeRowByRow" in c.runs:
        print("info ImportSchemeRowByRow ms %.3f" % c.ms("BM_ImportSchemeRowByRow"))
    return c.exit_code()


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
