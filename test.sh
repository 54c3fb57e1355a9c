#!/usr/bin/env bash
# Installs what is missing, builds Kelvane with AddressSanitizer and UndefinedBehaviorSanitizer and
# runs every test. Any sanitizer finding fails the test that caused it.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps
cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" \
  -DKELVANE_SANITIZE=ON -DKELVANE_WERROR=ON >/dev/null
cmake --build build-test
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:strict_string_checks=1:detect_stack_use_after_return=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$PWD/tests/sanitizers/lsan.supp:print_suppressions=0"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build-test --output-on-failure -j "$(nproc)" --timeout 300
