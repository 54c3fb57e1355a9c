#!/usr/bin/env python3
"""States the bounds of the screen animation benchmark; exits 1 when one is missed.

    QT_QPA_PLATFORM=offscreen build-bench/bin/bench_lcd_gif_bench --benchmark_format=json > lcd_gif.json
    bench/check_lcd_gif_bench.py lcd_gif.json

Bounds: the import of a 141-frame 240 x 135 GIF within 300 ms; the export of 141 frames, half of
them of thousands of colours, within 1000 ms. The import of the same at 480 x 270 is printed
beside it and has no bound.
"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from bench_bounds import Checker  # noqa: E402


def main(path):
    c = Checker(path)
    c.at_most("GifImport 240x135 ms", c.ms("BM_GifImport/240/135/real_time"), 300.0, "%.1f")
    c.at_most("GifExport ms", c.ms("BM_GifExport/real_time"), 1000.0, "%.1f")
    if "BM_GifImport/480/270/real_time" in c.runs:
        print("info GifImport 480x270 ms %.1f" % c.ms("BM_GifImport/480/270/real_time"))
    return c.exit_code()


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
