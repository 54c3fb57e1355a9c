"""Shared by the benchmark checkers: reads Google Benchmark JSON and states each bound."""
import json


class Checker:
    def __init__(self, path):
        self.runs = {}
        for b in json.load(open(path))["benchmarks"]:
            # With repetitions the median is the figure; a single run stands for itself.
            if b.get("run_type") == "aggregate":
                if b.get("aggregate_name") == "median":
                    self.runs[b["run_name"]] = b
            else:
                self.runs.setdefault(b.get("run_name", b["name"]), b)
        self.failures = []

    def run(self, name):
        if name not in self.runs:
            raise SystemExit("no result for %s (run the whole benchmark)" % name)
        return self.runs[name]

    def ms(self, name):
        b = self.run(name)
        return b["real_time"] * {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}[b["time_unit"]]

    def repetitions(self, name):
        return int(self.run(name).get("repetitions", 1))

    def need_repetitions(self, name, least):
        # A figure that flips between runs is read as the median of several.
        if self.repetitions(name) < least:
            raise SystemExit("%s needs --benchmark_repetitions=%d or more" % (name, least))

    def counter(self, name, key):
        return float(self.run(name)[key])

    def check(self, ok, text):
        print(("ok   " if ok else "FAIL ") + text)
        if not ok:
            self.failures.append(text)

    def at_most(self, label, value, bound, fmt="%.3f"):
        self.check(value <= bound, ("%s " + fmt + " <= " + fmt) % (label, value, bound))

    def at_least(self, label, value, bound, fmt="%.3f"):
        self.check(value >= bound, ("%s " + fmt + " >= " + fmt) % (label, value, bound))

    def exit_code(self):
        print("%d bound(s) missed" % len(self.failures) if self.failures else "every bound met")
        return 1 if self.failures else 0
