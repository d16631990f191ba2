#!/usr/bin/env bash
# Installs what is missing, builds every preset and runs every test:
# the platform-neutral code natively under ASan+UBSan and under TSan, then
# the Windows program and its tests under Wine.
set -uo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh || exit 1

for preset in native native-tsan win32; do
  echo "== build: $preset"
  cmake --preset "$preset" >/dev/null || exit 1
  cmake --build --preset "$preset" || exit 1
done

status=0
for preset in native native-tsan win32; do
  echo "== test: $preset"
  ctest --preset "$preset" || status=1
done
exit $status
