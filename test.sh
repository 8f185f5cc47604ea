#!/usr/bin/env bash
# Installs what is missing, builds the game as ./run.sh does, then with AddressSanitizer and
# UndefinedBehaviorSanitizer (Debug), and runs every test: unit, integration and, under Xvfb,
# the display tests.
set -euo pipefail
cd "$(dirname "$0")"
. scripts/packages.sh
vantor_install_packages test
# The player's build first, exactly as ./run.sh makes it: optimised code meets warnings the
# Debug build never sees.
vantor_build build/release -DCMAKE_BUILD_TYPE=Release -DVANTOR_TESTS=OFF -DVANTOR_BENCH=OFF
vantor_build build/debug -DCMAKE_BUILD_TYPE=Debug -DVANTOR_SANITIZE=ON -DVANTOR_BENCH=OFF
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
# -noreset on every virtual display: an X server resets when its last client leaves, and a
# program that connects just then keeps its connection but loses its window (it then draws
# into nothing, a black screen, for good).
xvfb-run -a -s "-screen 0 800x600x24 -noreset" ctest --test-dir build/debug --output-on-failure -j"$(nproc)" "$@"
