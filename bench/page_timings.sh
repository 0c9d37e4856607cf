#!/usr/bin/env bash
# The page's timings as a teacher waits for them, measured with curl against
# `fenban serve`: a division shown (分班 then the view), one move (the first,
# which starts the moves, and a second), 保存 (the save, then the view the
# page reads after it), and the print view (the view of the whole division).
#
#   bench/page_timings.sh [FENBAN] [STUDENTS] [CLASSES] [RUNS]
#
# Defaults: build/fenban, 20000 students, students/50 classes, 3 runs. Prints
# one line per run with the seconds of each step, the server's CPU seconds
# (user + system) for the save, and the load average.
set -euo pipefail

fenban=${1:-build/fenban}
students=${2:-20000}
classes=${3:-$((students / 50))}
runs=${4:-3}
fenban=$(realpath "$fenban")

work=$(mktemp -d)
server=""
cleanup() {
  if [[ -n "$server" ]]; then kill "$server" 2>/dev/null || true; wait "$server" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

"$fenban" init "$work/folder" --example "$students" >/dev/null
# The example presets 1.5 % of the students to classes 1 and 2, more than a
# class of 50 holds at 20,000 students: the presets are cleared (openpyxl).
/usr/bin/python3 - "$work/folder/数据/示例.xlsx" <<'PYTHON'
import sys, openpyxl
book = openpyxl.load_workbook(sys.argv[1])
sheet = book.worksheets[0]
column = [cell.value for cell in sheet[1]].index("预设班") + 1
for row in range(2, sheet.max_row + 1):
    sheet.cell(row, column).value = None
book.save(sys.argv[1])
PYTHON
"$fenban" -C "$work/folder" serve >"$work/serve.out" 2>"$work/serve.err" &
server=$!
for _ in $(seq 100); do
  grep -q 'token=' "$work/serve.out" 2>/dev/null && break
  sleep 0.1
done
url=$(grep -o 'http://[^ ]*token=[0-9a-zA-Z]*' "$work/serve.out" | head -1)
origin=${url%%/\?token=*}
token=${url##*token=}

# call METHOD PATH [JSON]: the answer in $work/answer.json, the seconds taken in $seconds.
call() {
  local method=$1 path=$2 body=${3:-}
  local args=(-s -o "$work/answer.json" -w '%{time_total}' -H "X-Fenban-Token: $token")
  if [[ "$method" == POST ]]; then args+=(-X POST -H 'Content-Type: application/json' --data-binary "$body"); fi
  seconds=$(curl "${args[@]}" "$origin$path")
  if jq -e '.error' "$work/answer.json" >/dev/null; then
    echo "error from $path: $(jq -c '.error' "$work/answer.json")" >&2
    exit 1
  fi
}
# The server's CPU seconds so far (user + system, all its threads).
cpu() { awk -v tick="$(getconf CLK_TCK)" '{ printf "%.2f", ($14 + $15) / tick }' "/proc/$server/stat"; }
sub() { python3 -c "import sys; print(f'{float(sys.argv[1]) - float(sys.argv[2]):.2f}')" "$1" "$2"; }
base() { jq -c '.base // .state.base // .view.base' "$work/answer.json"; }
add() { python3 -c "import sys; print(f'{sum(map(float, sys.argv[1:])):.2f}')" "$@"; }

call GET /api/state
call POST /api/select "{\"book\":\"示例.xlsx\",\"base\":$(base)}"
call POST /api/option "{\"control\":\"txtFenBan\",\"value\":$classes,\"base\":$(base)}"
call POST /api/option "{\"control\":\"chbYouHua\",\"value\":false,\"base\":$(base)}"

echo "students=$students classes=$classes (seconds; load = 1-minute load average before the run)"
printf '%-4s %-6s %8s %8s %8s %8s %8s %8s %8s %8s\n' run load divide+view first-move next-move swap save save-cpu save+view print
for run in $(seq "$runs"); do
  load=$(cut -d' ' -f1 /proc/loadavg)
  call POST /api/divide "{\"base\":$(base)}"
  divide=$seconds
  sheet=$(jq -r '.sheet' "$work/answer.json")
  if [[ "$sheet" == null ]]; then echo "分班 did not divide: $(jq -c '.boxes' "$work/answer.json")" >&2; exit 1; fi
  call GET "/api/view?sheet=$(jq -rn --arg s "$sheet" '$s|@uri')"
  shown=$(add "$divide" "$seconds")
  read -r id1 from1 id2 from2 < <(jq -r '.division.classes as $c |
      "\($c[0].students[0].id) \($c[0].label) \($c[1].students[0].id) \($c[1].label)"' "$work/answer.json")
  viewBase=$(base)
  call POST /api/move "{\"sheet\":\"$sheet\",\"student\":\"$id1\",\"from\":\"$from1\",\"to\":\"$from2\",\"confirm\":true,\"base\":$viewBase}"
  first=$seconds
  call POST /api/move "{\"sheet\":\"$sheet\",\"student\":\"$id2\",\"from\":\"$from2\",\"to\":\"$from1\",\"confirm\":true,\"base\":$(base)}"
  next=$seconds
  call POST /api/swap "{\"sheet\":\"$sheet\",\"student\":\"$id1\",\"from\":\"$from2\",\"other\":\"$id2\",\"otherFrom\":\"$from1\",\"confirm\":true,\"base\":$(base)}"
  swap=$seconds
  before=$(cpu)
  call POST /api/save "{\"base\":$(base)}"
  save=$seconds
  saveCpu=$(sub "$(cpu)" "$before")
  call GET "/api/view?sheet=$(jq -rn --arg s "$sheet" '$s|@uri')"
  saved=$(add "$save" "$seconds")
  call GET "/api/view?sheet=$(jq -rn --arg s "$sheet" '$s|@uri')"
  print=$seconds
  LC_NUMERIC=C printf '%-4s %-6s %8.2f %8.2f %8.2f %8.2f %8.2f %8.2f %8.2f %8.2f\n' "$run" "$load" "$shown" "$first" "$next" "$swap" "$save" "$saveCpu" "$saved" "$print"
  # The next run divides again: drop the division just made so the workbook stays the same size.
  call GET /api/state
  call POST /api/delete-division "{\"sheet\":\"$sheet\",\"base\":$(base)}"
done
