#!/usr/bin/env bash
# scripts/check-layers on a copy of the architecture text over a tree with one include against the
# order: it fails and names the line.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
mkdir -p "$tree/docs" "$tree/src/store" "$tree/src/ui" "$tree/src/docking"
cp "$ROOT/docs/ARCHITECTURE.md" "$tree/docs/"
printf '#include "store/Categories.h"\n' >"$tree/src/ui/Fine.h"
printf '#include "platform/Library.h"\n' >"$tree/src/docking/Fine.h"
printf '// a helper\n#include "ui/ComMain.h"\n' >"$tree/src/store/Up.h"
if out=$("$ROOT/scripts/check-layers" "$tree" 2>&1); then
  echo "an include of ui/ from store/ passed: $out"
  exit 1
fi
grep -qF 'src/store/Up.h:2: store must not include ui: #include "ui/ComMain.h"' <<<"$out" || { echo "$out"; exit 1; }
[ "$(grep -c 'must not include' <<<"$out")" -eq 1 ] || { echo "$out"; exit 1; }
echo ok
