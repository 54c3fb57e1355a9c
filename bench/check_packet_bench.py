#!/usr/bin/env python3
"""States the bounds of the packet builder and screen download benchmark; exits 1 when one is missed.

    QT_QPA_PLATFORM=offscreen build/bin/bench_packet_builders_bench --benchmark_format=json > packet.json
    bench/check_packet_bench.py packet.json

Bounds: each builder within 50 us; the download on the virtual clock within 0.15 of its mandated
waits and at most 10 us of CPU per block; on the real clock the whole download (frames read
included) and the transfer alone within 1.03 times the mandated waits, at 1, 16 and 141 frames.
"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from bench_bounds import Checker  # noqa: E402


def main(path):
    c = Checker(path)
    for name in ("BM_MacroImageBuild", "BM_CustomColorBlock/1", "BM_CustomColorBlock/0", "BM_LiveColorBlock/1",
                 "BM_LiveColorBlock/0"):
        c.at_most(name + " us", c.ms(name) * 1e3, 50.0, "%.1f")
    for frames in (1, 16, 141):
        c.at_most("LcdDownload/%d T/W (virtual clock)" % frames,
                  c.counter("BM_LcdDownload/%d/real_time" % frames, "T_over_W"), 0.15)
        c.at_most("LcdSendBlocks/%d CPU us per block" % frames,
                  c.counter("BM_LcdSendBlocks/%d/real_time" % frames, "cpu_us_per_block"), 10.0, "%.2f")
        for case in ("LcdDownloadRealClock", "LcdSendRealClock"):
            c.at_most("%s/%d wall/W" % (case, frames),
                      c.counter("BM_%s/%d/iterations:3/real_time" % (case, frames), "wall_over_W"), 1.03)
    return c.exit_code()


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
