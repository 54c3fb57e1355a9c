#!/usr/bin/env bash
# Builds the XmlDocument fuzz targets with clang-14 and libFuzzer and runs each one over the seeds,
# the regression inputs and their marked UTF-16 variants.
#   tests/fuzz/run_fuzzers.sh [build folder] [seconds per target]    (defaults: build-fuzz, 30)
# A finding fails the run; libFuzzer leaves the input as <build folder>/finding-<target>-*. Once
# fixed, copy it into tests/fuzz/regressions/.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../../build-fuzz}
seconds=${2:-30}

cmake -S "$here" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++-14 -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build "$build" -j 3 >/dev/null

seeds=$build/seeds
rm -rf "$seeds"
mkdir -p "$seeds"
cp "$here"/seeds/* "$seeds"/
find "$here/regressions" -type f ! -name '.*' -exec cp {} "$seeds"/ \;
for file in "$here"/seeds/*; do
  name=$(basename "$file")
  { printf '\xff\xfe'; iconv -f UTF-8 -t UTF-16LE "$file" 2>/dev/null || true; } >"$seeds/utf16le-$name"
  { printf '\xfe\xff'; iconv -f UTF-8 -t UTF-16BE "$file" 2>/dev/null || true; } >"$seeds/utf16be-$name"
done

# The fuzzers keep their own sanitizer settings; a leak check at exit is part of each run.
unset ASAN_OPTIONS UBSAN_OPTIONS
for target in parse read build; do
  corpus=$build/corpus-$target
  mkdir -p "$corpus"
  echo "fuzz_xml_$target: ${seconds}s"
  "$build/fuzz_xml_$target" "$corpus" "$seeds" -max_total_time="$seconds" -max_len=65536 -timeout=10 \
    -rss_limit_mb=2048 -dict="$here/xml.dict" -artifact_prefix="$build/finding-$target-" \
    -print_final_stats=0 2>"$build/log-$target.txt" || {
    tail -n 40 "$build/log-$target.txt"
    exit 1
  }
done
echo "no findings"
