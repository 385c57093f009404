#!/usr/bin/env bash
# LOWESS benchmark: our smoother (all cores and one thread), its literal
# full-sort form and statsmodels' lowess on the same data, with the ratios.
set -euo pipefail
build=${1:-build}
here=$(cd "$(dirname "$0")" && pwd)
cmake --build "$build" --target lowess_bench -j 4 >/dev/null
exec /usr/bin/python3 "$here/lowess_compare.py" "$build/bench/lowess_bench"
