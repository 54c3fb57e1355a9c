#!/usr/bin/env python3
"""States the bounds of the music analyser benchmark; exits 1 when one is missed.

    build-rel/bin/bench_visualizer_bench --benchmark_format=json > visualizer.json
    bench/check_visualizer_bench.py visualizer.json

Bounds: the 512-point real transform within 4 times FFTW's (ratio_to_fftw, both timed in the same
process); one render-thread frame (drain of two packets, analysis, both schemes, compose, publish)
within 1 % of one core at 60 frames a second for every scheme pair measured; the real render thread
at 55 to 70 frames a second using at most 1 % of a core while active and 0.05 % while idle; the
music page's key sampling with both of its blocks within 50 us.
"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from bench_bounds import Checker  # noqa: E402


def main(path):
    c = Checker(path)
    print("info FftwAnchor ns %.1f" % (c.ms("BM_FftwAnchor") * 1e6))
    c.at_most("RealFFT ratio_to_fftw", c.counter("BM_RealFFT", "ratio_to_fftw"), 4.0, "%.2f")
    passes = sorted(name for name in c.runs if name.startswith("BM_AnalyzerPass/"))
    if not passes:
        raise SystemExit("no result for BM_AnalyzerPass (run the whole benchmark)")
    for name in passes:
        c.at_most(name[3:] + " cpu_share_60fps", c.counter(name, "cpu_share_60fps"), 0.01, "%.5f")
    c.at_least("RenderLoop/1 fps", c.counter("BM_RenderLoop/1/iterations:1/real_time", "fps"), 55.0, "%.1f")
    c.at_most("RenderLoop/1 fps", c.counter("BM_RenderLoop/1/iterations:1/real_time", "fps"), 70.0, "%.1f")
    c.at_most("RenderLoop/1 thread_cpu_share",
              c.counter("BM_RenderLoop/1/iterations:1/real_time", "thread_cpu_share"), 0.01, "%.5f")
    c.at_most("RenderLoop/0 thread_cpu_share",
              c.counter("BM_RenderLoop/0/iterations:1/real_time", "thread_cpu_share"), 0.0005, "%.6f")
    c.at_most("MusicKeyBlock us", c.ms("BM_MusicKeyBlock") * 1e3, 50.0, "%.2f")
    return c.exit_code()


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
