#!/usr/bin/env bash
# Installs what fenban needs, builds it (Release, in build/) and divides the
# bundled example: 400 generated students into 8 classes balanced by sex.
# The host folder is example/ in the repository (ignored by git).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build -j"${FENBAN_JOBS:-$(nproc)}" --target fenban

fenban=build/fenban
# A second run keeps example/fenban.xlsx and only writes the example list again.
"$fenban" init example --example 400
"$fenban" -C example list
"$fenban" -C example divide 示例.xlsx --classes 8 --by-sex
echo
echo "结果 result: example/数据/示例.xlsx (分班表, 统计表); 说明 manual: example/help.doc"
