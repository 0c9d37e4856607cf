#!/usr/bin/env bash
# Installs what fenban needs, builds everything (Release, in build/) and runs
# the tests. Then an independent reader (openpyxl) checks the workbooks that
# init, divide, stats and clean write. With FENBAN_FUZZ_SECONDS set and clang
# present, the fuzz targets run for that many seconds each.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs="${FENBAN_JOBS:-$(nproc)}"

bash scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build -j"$jobs"
(cd build && ctest --output-on-failure -j"$jobs")

# The files of a demo run, one copy after each command, for the independent reader.
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fenban="$PWD/build/fenban"
host="$work/host"
checked=()
keep() {  # keep <step>: copies the two workbooks as they are now
  local step="$1"
  cp "$host/fenban.xlsx" "$work/$step-fenban.xlsx"
  checked+=("$work/$step-fenban.xlsx")
  if [[ -f "$host/数据/示例.xlsx" ]]; then
    cp "$host/数据/示例.xlsx" "$work/$step-示例.xlsx"
    checked+=("$work/$step-示例.xlsx")
  fi
}
"$fenban" init "$host" --example 400 >/dev/null
keep init
"$fenban" -C "$host" divide 示例.xlsx --classes 8 --by-sex --seed 1 >/dev/null
"$fenban" -C "$host" divide 示例.xlsx --classes 8 --by-boarding --seed 2 >/dev/null
keep divide
"$fenban" -C "$host" stats 示例.xlsx 分班表1 --excellent 15 >/dev/null
keep stats
"$fenban" -C "$host" clean 示例.xlsx 分班表1 >/dev/null
keep clean
if [[ -f scripts/check_xlsx.py ]]; then
  /usr/bin/python3 scripts/check_xlsx.py "${checked[@]}"
else
  echo "test.sh: scripts/check_xlsx.py not present; reader check skipped"
fi

# Fuzzing, when asked for and possible.
if [[ -n "${FENBAN_FUZZ_SECONDS:-}" ]]; then
  if command -v clang++ >/dev/null && [[ -f tests/fuzz/CMakeLists.txt ]]; then
    CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DFENBAN_BUILD_FUZZ=ON -DFENBAN_BUILD_TESTS=OFF -DFENBAN_BUILD_BENCH=OFF
    cmake --build build-fuzz -j"$jobs"
    mapfile -t targets < <(find build-fuzz/tests/fuzz -maxdepth 1 -type f -executable -name 'fuzz_*' | sort)
    if ((${#targets[@]} == 0)); then
      echo "test.sh: no fuzz targets were built" >&2
      exit 1
    fi
    for target in "${targets[@]}"; do
      name="$(basename "$target")"
      corpus="$work/corpus-$name"
      mkdir -p "$corpus"
      seeds=()
      if [[ -d "tests/fuzz/corpus/$name" ]]; then seeds=("tests/fuzz/corpus/$name"); fi
      echo "test.sh: fuzzing $name for ${FENBAN_FUZZ_SECONDS} s"
      "$target" -max_total_time="$FENBAN_FUZZ_SECONDS" -artifact_prefix="$work/" "$corpus" "${seeds[@]}"
    done
  else
    echo "test.sh: FENBAN_FUZZ_SECONDS set, but clang or tests/fuzz is missing; fuzzing skipped"
  fi
fi
echo "test.sh: all checks passed"
