#!/usr/bin/env python3
"""States the bounds of the screen animation benchmark; exits 1 when one is missed.

    QT_QPA_PLATFORM=offscreen build-rel/bin/bench_lcd_gif_bench --benchmark_repetitions=5 \\
        --benchmark_format=json > lcd_gif.json
    bench/check_lcd_gif_bench.py lcd_gif.json

Bounds (medians of at least five repetitions, all from the same run): the import of a 141-frame
240 x 135 GIF within 3 times giflib's decoding of it alone (DGifSlurp) and within the anchor that does
its work plainly (DGifSlurp, compositing, libpng writing the same PNGs on as many threads); the export
of 141 frames, half of them of thousands of colours, within 1000 ms. The 480 x 270 import is printed
beside them with its own floor and anchor and has no bound.
"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from bench_bounds import Checker  # noqa: E402


def main(path):
    c = Checker(path)
    size = "240/135"
    c.need_repetitions("BM_GifImport/%s/real_time" % size, 5)
    imported = c.ms("BM_GifImport/%s/real_time" % size)
    decoded = c.ms("BM_GifDecode/%s/real_time" % size)
    anchor = c.ms("BM_GifImportAnchor/%s/real_time" % size)
    print("info GifImport 240x135 ms %.1f, decoding %.1f, anchor %.1f" % (imported, decoded, anchor))
    c.at_most("GifImport 240x135 / decoding alone", imported / decoded, 3.0, "%.2f")
    c.at_most("GifImport 240x135 / anchor", imported / anchor, 1.0, "%.2f")
    c.at_most("GifExport ms", c.ms("BM_GifExport/real_time"), 1000.0, "%.1f")
    big = "480/270"
    if "BM_GifImport/%s/real_time" % big in c.runs:
        print("info GifImport 480x270 ms %.1f, decoding %.1f, anchor %.1f" % (
            c.ms("BM_GifImport/%s/real_time" % big), c.ms("BM_GifDecode/%s/real_time" % big),
            c.ms("BM_GifImportAnchor/%s/real_time" % big)))
    return c.exit_code()


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
