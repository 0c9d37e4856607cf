#!/usr/bin/env bash
# Builds the automation workflow test (dispatch_workflow.exe) with mingw-w64
# into build-windows/dispatch-tests/. Stand-alone until the Windows CMake
# build takes it over.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
out=$root/build-windows/dispatch-tests
mkdir -p "$out/obj" "$out/fmt"
ln -sfn /usr/include/fmt "$out/fmt/fmt"
cxx="x86_64-w64-mingw32-g++-win32"
command -v ccache > /dev/null && cxx="ccache $cxx"
com_src=${FENBAN_COM_SRC:-$root/src}
flags=(-std=c++20 -O2 -Wall -Wextra -DFMT_HEADER_ONLY -DUNICODE -D_UNICODE -I"$root/src" -I"$com_src"
       -isystem "$out/fmt" -I"$root/tests" -I"$root/tests/automation" -I"$root/tests/automation/workflow")
sources=()
for layer in host sheets form division statistics maintenance bridge; do
  sources+=("$root"/src/$layer/*.cpp)
done
sources+=("$root"/src/automation/dispatch_host_*.cpp)
for f in com_text variant dispatch_call; do sources+=("$com_src/automation/$f.cpp"); done
sources+=("$root/src/cli/example_generator.cpp" "$root/src/cli/host_workbook_content.cpp")
sources+=("$root"/tests/automation/test_*.cpp)
sources+=("$root/tests/automation/workflow/model_dump.cpp" "$root/tests/automation/workflow/teacher_workflow.cpp")
objects=()
pids=()
for src in "${sources[@]}"; do
  obj="$out/obj/$(echo "${src#$root/}" | tr '/' '_').o"
  objects+=("$obj")
  if [[ ! -f $obj || $src -nt $obj || -n $(find "$root/src" "$root/tests/automation" -name '*.h' -newer "$obj" -print -quit) ]]; then
    $cxx "${flags[@]}" -c "$src" -o "$obj" &
    pids+=($!)
    if (( ${#pids[@]} >= 2 )); then wait "${pids[0]}"; pids=("${pids[@]:1}"); fi
  fi
done
for pid in "${pids[@]}"; do wait "$pid"; done
for program in dispatch_workflow dispatch_host_test; do
  main="$root/tests/automation/${program}_main.cpp"
  [[ -f $main ]] || main="$root/tests/automation/$program.cpp"
  $cxx "${flags[@]}" -c "$main" -o "$out/obj/$program.o"
  x86_64-w64-mingw32-g++-win32 -static -static-libgcc -static-libstdc++ -o "$out/$program.exe" \
    "$out/obj/$program.o" "${objects[@]}" -lole32 -loleaut32 -luuid
  echo "$out/$program.exe"
done
