#!/usr/bin/env bash
# Runs one fuzz target on a copy of its seed corpus.
#
#   fuzz/run.sh <fuzz build folder> <texture|sound|mesh|mapping|settings> <seconds> [libFuzzer options...]
#
# The corpus is a temporary folder (removed at the end) unless VANTOR_FUZZ_CORPUS names one to
# keep; whatever crashes is kept in <fuzz build folder>/artifacts/<target>/. Exits non-zero when
# the target found something.
set -euo pipefail
if [ $# -lt 3 ]; then
  echo "usage: $0 <fuzz build folder> <texture|sound|mesh|mapping|settings> <seconds> [libFuzzer options...]" >&2
  exit 2
fi
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)
target=$2
seconds=$3
shift 3

fuzzer="$build/fuzz_$target"
seeds="$build/seeds/$target"
[ -x "$fuzzer" ] || { echo "no $fuzzer: build the fuzz project first" >&2; exit 2; }
[ -d "$seeds" ] || { echo "no seeds in $seeds: configure the fuzz project with VANTOR_DATA_DIR" >&2; exit 2; }

# A folder of its own for the run (the mesh target writes its files under TMPDIR), removed
# at the end whatever way the target stops.
# In memory where there is /dev/shm: writing the mesh file to a disk took a third of each run.
base=${TMPDIR:-/tmp}
if [ -d /dev/shm ] && [ -w /dev/shm ]; then base=/dev/shm; fi
work=$(mktemp -d "$base/vantor-fuzz-$target-XXXXXX")
trap 'rm -rf "$work"' EXIT
if [ -n "${VANTOR_FUZZ_CORPUS:-}" ]; then
  corpus=$VANTOR_FUZZ_CORPUS
  mkdir -p "$corpus"
else
  corpus=$work/corpus
  mkdir "$corpus"
fi
cp -n "$seeds"/* "$corpus"/

artifacts="$build/artifacts/$target"
mkdir -p "$artifacts"
# Memory as the game meets it: an allocation the system refuses fails (SDL reports it, Assimp
# catches std::bad_alloc) and a large one that is never touched costs nothing, so only memory
# really used counts, up to 2 GiB.
options=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -malloc_limit_mb=65536 -print_final_stats=1
  -artifact_prefix="$artifacts/")
if [ -f "$here/dicts/$target.dict" ]; then options+=(-dict="$here/dicts/$target.dict"); fi

# A 16 MiB quarantine for freed blocks (256 by default): use after free is still caught within
# the recent frees, and the memory stays in use instead of being faulted in afresh, which took
# half of each mesh run.
export ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1:quarantine_size_mb=16
export LSAN_OPTIONS=suppressions=$here/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export SDL_AUDIODRIVER=dummy SDL_VIDEODRIVER=dummy
status=0
TMPDIR=$work "$fuzzer" "${options[@]}" "$@" "$corpus" || status=$?
exit $status
