#!/usr/bin/env python3
"""Compares the XmlDocument benchmark with the limits the program needs.

    build/bin/bench_xml_document --benchmark_format=json > xml.json
    bench/check_xml_bench.py xml.json

Limits: the 108-key layout loads in 2 ms; reading and parsing and writing 8 and 16 MiB run at
20 MiB/s or more, each 16 MiB case within 2.5 times its 8 MiB case; the save sequence of 1,000
items takes 20 ms. Exits 1 when a limit is missed.
"""
import json
import sys

MIB = 1 << 20


def main(path):
    runs = {b["name"]: b for b in json.load(open(path))["benchmarks"] if b.get("run_type", "iteration") == "iteration"}

    def ms(name):
        b = runs[name]
        scale = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}[b["time_unit"]]
        return b["real_time"] * scale

    failures = []

    def check(ok, text):
        print(("ok   " if ok else "FAIL ") + text)
        if not ok:
            failures.append(text)

    check(ms("LoadLayout") <= 2.0, "LoadLayout %.3f ms <= 2 ms" % ms("LoadLayout"))
    for case in ("ReadAndParse", "Write"):
        for size in (8, 16):
            name = "%s/%d" % (case, size)
            rate = runs[name]["bytes_per_second"] / MIB
            check(rate >= 20, "%s %.1f MiB/s >= 20 MiB/s" % (name, rate))
        ratio = ms(case + "/16") / ms(case + "/8")
        check(ratio <= 2.5, "%s 16 MiB / 8 MiB = %.2f <= 2.5" % (case, ratio))
    check(ms("SaveSequence") <= 20.0, "SaveSequence %.2f ms <= 20 ms" % ms("SaveSequence"))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
