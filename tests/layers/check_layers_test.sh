#!/usr/bin/env bash
# scripts/check_layers.sh on small source trees: a tree that keeps the order
# passes; an include from a lower layer to a higher one, a front end's
# include of a sibling front end, and a folder without its README each fail
# and are named.
set -euo pipefail
script="$(cd "$(dirname "$0")/../.." && pwd)/scripts/check_layers.sh"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "check_layers_test: $*" >&2; exit 1; }

tree() {  # tree NAME: a small tree that keeps the order
  local root="$work/$1/src"
  for layer in host sheets app cli web; do
    mkdir -p "$root/$layer"
    echo "# $layer" >"$root/$layer/README.md"
  done
  printf '#include "host/value.h"\n' >"$root/sheets/lookups.h"
  printf '#include "sheets/lookups.h"\n#include <vector>\n' >"$root/app/session.h"
  printf '#include "app/session.h"\n#include "cli/commands.h"\n' >"$root/cli/commands.cpp"
  printf '#include "app/session.h"\n' >"$root/web/workspace.cpp"
  echo "$root"
}

good="$(tree good)"
"$script" "$good" >/dev/null 2>&1 || fail "a tree that keeps the order was refused"

bad="$(tree bad)"
printf '#include "app/session.h"\n' >>"$bad/sheets/lookups.h"       # lower includes higher
printf '  #  include "cli/commands.h"\n' >>"$bad/web/workspace.cpp"  # a sibling front end
rm "$bad/cli/README.md"
if "$script" "$bad" >"$work/out" 2>&1; then fail "a tree with breaches passed"; fi
grep -q 'sheets/lookups.h:2 includes "app/session.h": sheets may not include app' "$work/out" ||
  fail "the upward include was not named: $(cat "$work/out")"
grep -q 'web/workspace.cpp:2 includes "cli/commands.h": web may not include cli' "$work/out" ||
  fail "the sibling front end was not named: $(cat "$work/out")"
grep -q 'src/cli has no README.md' "$work/out" || fail "the missing README was not named: $(cat "$work/out")"
grep -q '3 breach' "$work/out" || fail "expected three breaches: $(cat "$work/out")"

unknown="$(tree unknown)"
mkdir -p "$unknown/gui" && echo "# gui" >"$unknown/gui/README.md"
if "$script" "$unknown" >/dev/null 2>&1; then fail "an unknown folder passed"; fi
echo "check_layers_test: breaches are found and named"
