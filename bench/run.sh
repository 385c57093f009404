#!/usr/bin/env bash
# Runs every benchmark script bench/run-*.sh against the given build folder.
set -euo pipefail
build=${1:-build}
here=$(cd "$(dirname "$0")" && pwd)
for script in "$here"/run-*.sh; do
  [ -e "$script" ] || continue
  echo "== $(basename "$script")"
  "$script" "$build"
done
