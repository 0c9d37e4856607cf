#!/usr/bin/env bash
# Installs what fenban needs, builds everything (Release, in build/) and runs
# the tests. Then an independent reader (openpyxl, scripts/check_xlsx.py)
# checks the workbooks that init, divide, stats and clean write, and
# LibreOffice renders divided workbooks to check how they print. With
# FENBAN_FUZZ_SECONDS set and clang present, the fuzz targets run for that
# many seconds each.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs="${FENBAN_JOBS:-$(nproc)}"

bash scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build -j"$jobs"
(cd build && ctest --output-on-failure -j"$jobs")

# An independent reader (openpyxl) checks the files a demo run writes, as
# they are after each command.
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fenban="$PWD/build/fenban"
host="$work/host"
check() {  # check FILE EXPECTATIONS...
  if [[ -f scripts/check_xlsx.py ]]; then
    /usr/bin/python3 scripts/check_xlsx.py --quiet "$@"
  else
    echo "test.sh: scripts/check_xlsx.py missing; $(basename "$1") not checked" >&2
  fi
}
"$fenban" init "$host" --example 400 >/dev/null
check "$host/fenban.xlsx" --expect-sheet DTB --expect-sheet FBB --expect-sheet JZB --expect-sheet SYB \
  --expect-value 'DTB!C2=10' --expect-value 'DTB!D2=20' --expect-value 'DTB!E2=30' --expect-value 'DTB!F2=3' \
  --expect-value 'DTB!G2=FALSE' --expect-value 'DTB!A2=' \
  --expect-value '登记表!A1=【学科名登记列】' --expect-value '登记表!A2=语文' --expect-value '登记表!A21=【结束】' \
  --expect-value '登记表!C2=否' --expect-validation '登记表!C2=是,否'
check "$host/数据/示例.xlsx" --expect-sheet 数据表 --expect-value '数据表!A1=考号' \
  --expect-value '数据表!O1=总分' --expect-value '数据表!P1=预设班'

"$fenban" -C "$host" divide 示例.xlsx --classes 8 --by-sex --seed 1 >/dev/null
"$fenban" -C "$host" divide 示例.xlsx --by-boarding --seed 2 >/dev/null
check "$host/fenban.xlsx" --expect-value 'DTB!A2=3' --expect-value 'DTB!C2=8' \
  --expect-value 'DTB!G2=TRUE' --expect-value 'DTB!H2=TRUE' --expect-value 'FBB!A1='
check "$host/数据/示例.xlsx" --expect-sheet 分班表1 --expect-sheet 统计表1 --expect-sheet 分班表2 \
  --expect-sheet 统计表2 --expect-value '分班表1!A2=新班级' --expect-value '分班表1!B2=序号' \
  --expect-value '分班表1!B3=1' --expect-print-titles '分班表1=1:2' --expect-frozen '分班表1=A3' \
  --expect-value '统计表1!A1=各项人数统计(统计表1)' --expect-value '统计表1!A2=新班级' \
  --expect-value '统计表1!B2=总人数' --expect-value '统计表1!A11=最大差' \
  --expect-value '统计表1!A13=优秀人数统计(前20名)'

"$fenban" -C "$host" stats 示例.xlsx 分班表1 --excellent 15 >/dev/null
check "$host/fenban.xlsx" --expect-value 'DTB!D2=15' --expect-value 'DTB!A2=3'
check "$host/数据/示例.xlsx" --expect-value '统计表1!A1=各项人数统计(统计表1)' \
  --expect-value '统计表1!A13=优秀人数统计(前15名)' --expect-value '分班表1!A2=新班级' \
  --expect-print-titles '分班表1=1:2'

"$fenban" -C "$host" clean 示例.xlsx 分班表1 >/dev/null
check "$host/fenban.xlsx" --expect-value 'DTB!A2=1' --expect-value 'DTB!B2=1'
check "$host/数据/示例.xlsx" --expect-sheet 数据表 --expect-sheet 分班表1 --expect-sheet 统计表1
/usr/bin/python3 - "$host/数据/示例.xlsx" <<'PY'
import sys, openpyxl
names = openpyxl.load_workbook(sys.argv[1]).sheetnames
if sorted(names) != sorted(['数据表', '分班表1', '统计表1']):
    sys.exit('clean left %s' % names)
PY
echo "test.sh: the independent reader agrees"

# The whole workflow, every figure recomputed independently from the division sheets.
bash scripts/workflow_check.sh "$fenban" 300

# The Windows automation server, built with mingw-w64 and tested under wine.
bash scripts/test-windows.sh

# The page of `fenban serve` in Debian's chromium (playwright-core, which
# install-deps.sh installed from the pinned package-lock.json; no browser is
# downloaded). Screenshots of the form, a class tab and the statistics stay in
# build/web-screenshots.
node tests/web/browser/page_test.mjs "$fenban" build/web-screenshots

# How divided workbooks print, rendered by LibreOffice.
bash scripts/print_check.sh "$fenban"

# Fuzzing, when asked for and possible.
if [[ -n "${FENBAN_FUZZ_SECONDS:-}" ]]; then
  if command -v clang++ >/dev/null && [[ -f tests/fuzz/CMakeLists.txt ]]; then
    CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DFENBAN_BUILD_FUZZ=ON -DFENBAN_BUILD_TESTS=OFF -DFENBAN_BUILD_BENCH=OFF
    fuzz_targets=$(sed -n 's/^ *add_executable(\([A-Za-z0-9_]*\).*/\1/p' tests/fuzz/CMakeLists.txt)
    # shellcheck disable=SC2086
    cmake --build build-fuzz -j"$jobs" --target $fuzz_targets
    mapfile -t targets < <(find build-fuzz/tests/fuzz -maxdepth 1 -type f -executable \
      \( -name '*_fuzz' -o -name 'fuzz_*' \) | sort)
    if ((${#targets[@]} == 0)); then
      echo "test.sh: no fuzz targets were built" >&2
      exit 1
    fi
    mkdir -p build-fuzz/artifacts
    for target in "${targets[@]}"; do
      name="$(basename "$target")"
      corpus="$work/corpus-$name"
      mkdir -p "$corpus"
      # Seeds: the workbook fixtures, and a corpus of the target's own when there is one.
      seeds=(tests/data)
      if [[ -d "tests/fuzz/corpus/$name" ]]; then seeds+=("tests/fuzz/corpus/$name"); fi
      echo "test.sh: fuzzing $name for ${FENBAN_FUZZ_SECONDS} s"
      "$target" -max_total_time="$FENBAN_FUZZ_SECONDS" -artifact_prefix=build-fuzz/artifacts/ "$corpus" "${seeds[@]}"
    done
  else
    echo "test.sh: FENBAN_FUZZ_SECONDS set, but clang or tests/fuzz is missing; fuzzing skipped"
  fi
fi
echo "test.sh: all checks passed"
