#!/usr/bin/env bash
# Builds and runs every benchmark, natively and under Wine; each prints its
# figures beside a baseline measured in the same run.
#   bench.sh [NAME-FILTER]
set -uo pipefail
cd "$(dirname "$0")/.."
filter="${1:-}"
bash scripts/setup.sh || exit 1
# Benchmarks are measured without sanitizers, optimised.
cmake -S . -B build/bench-native -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELMORA_NO_SANITIZERS=ON >/dev/null || exit 1
cmake --build build/bench-native --target velmora_benchmarks || exit 1
cmake --preset win32 >/dev/null && cmake --build --preset win32 --target velmora_benchmarks || exit 1

status=0
for exe in build/bench-native/bench/*/velmora_bench_*; do
  [ -x "$exe" ] || continue
  case "$exe" in *"$filter"*) ;; *) continue ;; esac
  echo "== native: $(basename "$exe")"
  "$exe" || status=1
done
for exe in build/win32/bench/*/velmora_bench_*.exe; do
  [ -f "$exe" ] || continue
  case "$exe" in *"$filter"*) ;; *) continue ;; esac
  echo "== wine: $(basename "$exe" .exe)"
  if [ -x "${exe%.exe}.sh" ]; then "${exe%.exe}.sh" || status=1; else build/win32/wine-run "$exe" || status=1; fi
done
exit $status
