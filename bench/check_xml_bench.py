#!/usr/bin/env python3
"""States the bounds of the XML benchmarks against their anchor, pugixml; exits 1 when one is missed.

    build/bin/bench_xml_vs_pugixml --benchmark_repetitions=5 --benchmark_enable_random_interleaving=true \
        --benchmark_format=json > pugi.json
    build/bin/bench_xml_document --benchmark_repetitions=5 --benchmark_enable_random_interleaving=true \
        --benchmark_format=json > xml.json
    bench/check_xml_bench.py pugi.json [xml.json]

Figures are medians of at least five repetitions, interleaved so that a busy moment of the machine
falls on the cases of a comparison alike. Ratios are pugixml's time / XmlDocument's time on
the same bytes in the same run (1 = as fast): parse from memory of KeyboardLayout.xml >= 0.6, of
device.xml >= 0.6, of the 5 MB profile >= 0.6; loading the 5 MB file >= 0.5; parsing and reading
every attribute and text once >= 0.3; saving >= 0.8. Building the 16,000-item export takes at most 3
times pugixml's time, and 4 times the items (4,000 -> 16,000) at most 4.5 times the time. From
xml.json: each 16 MiB read-and-parse and write within 2.5 times its 8 MiB case; hostile input
(deep nesting, end tags that match nothing, unclosed markup) 4 times as long within 5 times the time.
"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from bench_bounds import Checker  # noqa: E402


def main(pugi, xml=None):
    c = Checker(pugi)
    c.need_repetitions("BM_BuildExport/4000/real_time", 5)
    for name, bound in (("ParseLayout", 0.6), ("ParseDeviceFile", 0.6), ("ParseProfile", 0.6), ("LoadFile", 0.5),
                        ("ParseAndReadAll", 0.3), ("Save", 0.8)):
        c.at_least("%s pugixml/XmlDocument" % name, c.counter("BM_%s/real_time" % name, "ratio"), bound, "%.2f")
    build = "BM_BuildExport/16000/real_time"
    c.at_most("BuildExport/16000 XmlDocument/pugixml time", 1.0 / c.counter(build, "ratio"), 3.0, "%.2f")
    growth = c.counter(build, "xml_ms") / c.counter("BM_BuildExport/4000/real_time", "xml_ms")
    c.at_most("BuildExport 16000 / 4000 items time", growth, 4.5, "%.2f")
    if xml:
        x = Checker(xml)
        x.need_repetitions("ReadAndParse/8", 5)
        for case in ("ReadAndParse", "Write"):
            c.at_most("%s 16 MiB / 8 MiB" % case, x.ms(case + "/16") / x.ms(case + "/8"), 2.5, "%.2f")
        for case, small, large in (("HostileNesting", 15625, 62500), ("HostileUnmatched", 25000, 100000),
                                   ("HostileUnclosed", 125000, 500000)):
            c.at_most("%s x4 input time" % case, x.ms("%s/%d" % (case, large)) / x.ms("%s/%d" % (case, small)),
                      5.0, "%.2f")
    return c.exit_code()


if __name__ == "__main__":
    if len(sys.argv) not in (2, 3):
        sys.exit(__doc__)
    sys.exit(main(*sys.argv[1:]))
