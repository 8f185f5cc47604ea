#!/usr/bin/env bash
# Configures and builds the fuzz targets with clang, quietly; shows the log when it fails.
#
#   fuzz/build.sh <fuzz build folder> <build folder holding the generated game data>
set -euo pipefail
if [ $# -ne 2 ]; then
  echo "usage: $0 <fuzz build folder> <build folder holding the generated game data>" >&2
  exit 2
fi
here=$(cd "$(dirname "$0")" && pwd)
build=$1
data=$(cd "$2" && pwd)
cxx=${VANTOR_FUZZ_CXX:-$(command -v clang++ || true)}
if [ -z "$cxx" ]; then
  echo "no clang++: the fuzz targets need clang and its runtime, libclang-rt-N-dev (scripts/packages.sh)" >&2
  exit 1
fi
mkdir -p "$build"
log="$build/build.log"
if ! cmake -S "$here" -B "$build" -DCMAKE_CXX_COMPILER="$cxx" -DVANTOR_DATA_DIR="$data" >"$log" 2>&1 ||
  ! cmake --build "$build" -j"$(nproc)" >>"$log" 2>&1; then
  grep -E -A5 'error|Error' "$log" | head -n 80 >&2
  echo "Fuzz build failed; full log: $log" >&2
  exit 1
fi
