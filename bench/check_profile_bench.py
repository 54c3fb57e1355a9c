#!/usr/bin/env python3
"""States the bounds of the key profile file benchmark; exits 1 when one is missed.

    build/bin/bench_profile_bench --benchmark_repetitions=5 --benchmark_format=json > profile.json
    bench/check_profile_bench.py profile.json

Bounds, with every key of a 108-key layout assigned in both layers and the store on disk: an
import (reading the file and storing the new profile) at most 100 ms, an export (reading the
profile and writing the file) at most 20 ms.
"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from bench_bounds import Checker  # noqa: E402


def main(path):
    c = Checker(path)
    c.at_most("ProfileImport ms", c.ms("BM_ProfileImport/real_time"), 100.0, "%.2f")
    c.at_most("ProfileExport ms", c.ms("BM_ProfileExport/real_time"), 20.0, "%.2f")
    return c.exit_code()


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
