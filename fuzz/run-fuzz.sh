#!/usr/bin/env bash
# Builds a fuzz target with clang and runs it.
#   fuzz/run-fuzz.sh [receive|workbook] <seconds> [builddir] [extra libFuzzer options...]
# receive (the default): the instrument link's receive path; workbook:
# workbook loading, seeded with small workbooks of ours, openpyxl's and a
# spreadsheet program's. Skips (exit 0) when clang or libFuzzer is not
# installed (`QUARNEL_TEST=1 scripts/install-deps.sh` installs them, as
# `make test` does before it runs both).
set -euo pipefail

target=receive
if [ "${1:-}" = receive ] || [ "${1:-}" = workbook ]; then
  target=$1
  shift
fi
seconds=${1:-60}
here=$(cd "$(dirname "$0")" && pwd)
build=${2:-$here/../build-fuzz}
shift $(( $# > 2 ? 2 : $# ))
mkdir -p "$build"
build=$(cd "$build" && pwd)

if ! command -v clang++ >/dev/null; then
  echo "clang++ not found; fuzzing skipped"
  exit 0
fi
if ! echo 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long){return 0;}' \
    | clang++ -x c++ -fsanitize=fuzzer -o /dev/null - 2>/dev/null; then
  echo "libFuzzer not available; fuzzing skipped"
  exit 0
fi

cmake -S "$here" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build "$build" -j "$(nproc)" >/dev/null

corpus="$build/corpus-$target"
mkdir -p "$corpus"
cd "$build"
if [ "$target" = receive ]; then
  # Seeds: a status reply, the run echo and a stage-table reply, as the instrument sends them.
  printf '\x05\xa5\x5a\x06\x82\x2c\x00\x01\x28\x55' > "$corpus/run-echo"
  printf '\x40\xa5\x5a\x06\x83\x50\x00\x4a\xa8\x46' > "$corpus/table-request"
  max_len=512
else
  "$build/workbook_seed" "$corpus/ours.xlsx"
  /usr/bin/python3 "$here/workbook_seeds.py" "$corpus/ours.xlsx" "$corpus"
  max_len=65536
fi

export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export QT_QPA_PLATFORM=offscreen
# A fixed seed lets a failure in a test run be replayed from its log; one slow
# input may not stretch a short run by libFuzzer's default 20 minutes.
exec "./fuzz_$target" -max_total_time="$seconds" -max_len=$max_len -timeout=25 -seed="${FUZZ_SEED:-1}" \
  -print_final_stats=1 "$@" "$corpus"
