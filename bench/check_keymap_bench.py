#!/usr/bin/env python3
"""States the bounds of the key map benchmark; exits 1 when one is missed.

    build/bin/bench_keymap_bench --benchmark_format=json > keymap.json
    bench/check_keymap_bench.py keymap.json

Bounds: one layer's table from 195 mixed rows within 20 us; task 4 (both layers through the real
manager to the simulated keyboard at 35 ms per packet) within 1% of its sleeps on the virtual
clock, and within 1.05 times its sleeps in wall time on the real clock; the key view refreshed from
108 assigned keys within 5 ms.
"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from bench_bounds import Checker  # noqa: E402


def main(path):
    c = Checker(path)
    c.at_most("KeyMapTable us", c.ms("BM_KeyMapTable") * 1e3, 20.0, "%.2f")
    c.at_most("SendKeyMap own time / sleeps (virtual clock)",
              c.counter("BM_SendKeyMap/VirtualClock/real_time", "own_over_sleeps"), 0.01, "%.4f")
    c.at_most("SendKeyMap wall / sleeps (real clock)",
              c.counter("BM_SendKeyMap/SteadyClock/iterations:3/real_time", "wall_over_sleeps"), 1.05, "%.4f")
    c.at_most("RefreshKeyAssign ms", c.ms("BM_RefreshKeyAssign"), 5.0, "%.3f")
    return c.exit_code()


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
