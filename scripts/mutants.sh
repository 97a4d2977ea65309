#!/usr/bin/env bash
# How many planted faults does the test suite catch? Applies each fault of
# scripts/mutants.list in turn to a scratch copy of the checkout (tracked
# files as they are in the working tree, uncommitted changes included),
# rebuilds incrementally and runs the suite without the office-suite and
# valgrind tests. A fault is "killed" when a test fails (a hang ends at the
# test's time-out and counts as a failure), "survived" when all pass,
# "no-build" when it does not compile and "stale" when its original text is
# not found exactly once; the last two are not counted.
#
#   scripts/mutants.sh [options] [ID...]     (no ID: every fault)
#     --dir DIR   scratch directory (default: ${TMPDIR:-/tmp}/rrz-mutants)
#     --keep      keep the scratch directory afterwards (default: removed)
#     --reuse     reuse the sources and build of a kept scratch directory
#                 (only files that differ from the checkout are copied)
#     --resume    like --reuse, and go on with an interrupted run: faults
#                 already in DIR/results.tsv are not tried again (unless a
#                 file other than the fault list or a .md file changed)
#     --list      print the faults and whether their anchors are found; no build
#
# Prints one line per fault and "killed K of N (S survived, B no-build, T stale)".
# DIR/results.tsv and the per-fault build and test logs (DIR/logs) stay with
# --keep. Exit status 0 unless the script itself fails, which includes the
# unchanged code not building or not passing the suite (then no fault can be
# judged). Builds and tests run under "nice -n 10"; a full run takes the
# suite's time once per fault plus the rebuilds.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
list="$root/scripts/mutants.list"
scratch="${TMPDIR:-/tmp}/rrz-mutants"
keep=0
reuse=0
resume=0
list_only=0
ids=()
while [ $# -gt 0 ]; do
  case "$1" in
    --dir) scratch=$2; shift 2 ;;
    --keep) keep=1; shift ;;
    --reuse) reuse=1; keep=1; shift ;;
    --resume) resume=1; reuse=1; keep=1; shift ;;
    --list) list_only=1; shift ;;
    -h|--help) sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
    -*) echo "unknown option: $1" >&2; exit 64 ;;
    *) ids+=("$1"); shift ;;
  esac
done

# faults COMMAND ...: reads the list, copies the checkout, plants faults.
faults() {
  python3 - "$@" <<'PY'
import os, subprocess, sys

def faults(path):
    rows, row = [], {}
    for number, line in enumerate(open(path, encoding="utf-8").read().split("\n"), 1):
        if line.startswith("#"):
            continue
        if not line.strip():
            if row:
                rows.append(row)
            row = {}
            continue
        key, sep, value = line.partition(":")
        if not sep or key not in ("id", "file", "bug", "from", "to") or key in row:
            sys.exit(f"{path}:{number}: expected one of id/file/bug/from/to: {line}")
        value = value[1:] if value.startswith(" ") else value
        row[key] = value.replace("\\n", "\n") if key in ("from", "to") else value
    if row:
        rows.append(row)
    seen = set()
    for r in rows:
        missing = {"id", "file", "bug", "from", "to"} - r.keys()
        if missing or r["id"] in seen:
            sys.exit(f"{path}: fault {r.get('id', '?')}: missing {sorted(missing)} or duplicate id")
        seen.add(r["id"])
    return rows

def anchor_count(src, row):
    path = os.path.join(src, row["file"])
    if not os.path.isfile(path):
        return 0
    return open(path, encoding="utf-8").read().count(row["from"])

def folder(row):
    parts = row["file"].split("/")
    return "/".join(parts[:2]) if parts[:2] == ["platform", "zeta"] else parts[0]

command, listfile = sys.argv[1], sys.argv[2]
rows = faults(listfile)
by_id = {r["id"]: r for r in rows}

if command == "ids":  # ids [ID...]: the selected ids, in list order
    wanted = sys.argv[3:]
    unknown = [i for i in wanted if i not in by_id]
    if unknown:
        sys.exit("unknown fault id: " + " ".join(unknown))
    print("\n".join(r["id"] for r in rows if not wanted or r["id"] in wanted))
elif command == "show":  # show SRC ID...: one line per fault
    src = sys.argv[3]
    for i in sys.argv[4:]:
        r = by_id[i]
        n = anchor_count(src, r)
        state = "ok" if n == 1 else f"STALE ({n} matches)"
        print(f"{i:28} {folder(r):18} {state:18} {r['bug']}")
elif command == "field":  # field ID KEY
    r = by_id[sys.argv[3]]
    print(folder(r) if sys.argv[4] == "folder" else r[sys.argv[4]])
elif command == "sync":  # sync ROOT SRC: copy tracked files whose content differs;
    # prints how many of them can change the build or the tests
    root, src = sys.argv[3], sys.argv[4]
    names = subprocess.run(["git", "-C", root, "ls-files", "-z", "--cached", "--others", "--exclude-standard"],
                           check=True, capture_output=True).stdout.decode().split("\0")
    changed = 0
    for name in filter(None, names):
        source = os.path.join(root, name)
        if not os.path.isfile(source) or os.path.islink(source):
            continue
        target = os.path.join(src, name)
        data = open(source, "rb").read()
        if os.path.isfile(target) and open(target, "rb").read() == data:
            continue
        os.makedirs(os.path.dirname(target), exist_ok=True)
        with open(target, "wb") as out:
            out.write(data)
        os.chmod(target, os.stat(source).st_mode & 0o777)
        if not (name.endswith(".md") or name.startswith("scripts/mutants.")):
            changed += 1
    print(changed)
elif command == "apply":  # apply SRC ID: exit 3 when the anchor is not found exactly once
    src, r = sys.argv[3], by_id[sys.argv[4]]
    if anchor_count(src, r) != 1:
        sys.exit(3)
    path = os.path.join(src, r["file"])
    text = open(path, encoding="utf-8").read()
    with open(path, "w", encoding="utf-8") as out:
        out.write(text.replace(r["from"], r["to"], 1))
else:
    sys.exit("unknown command " + command)
PY
}

selection=$(faults ids "$list" "${ids[@]}") || exit 64
mapfile -t selected <<<"$selection"
if [ "$list_only" -eq 1 ]; then
  faults show "$list" "$root" "${selected[@]}"
  exit 0
fi

"$root/scripts/install-deps.sh"
for tool in python3 git cmake ctest timeout; do
  command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 1; }
done

src="$scratch/src"
build="$scratch/build"
logs="$scratch/logs"
if [ "$reuse" -eq 0 ]; then
  rm -rf "$scratch"
fi
mkdir -p "$src" "$logs"
cleanup() {
  if [ "$keep" -eq 0 ]; then
    rm -rf "$scratch"
  fi
}
trap cleanup EXIT

results="$scratch/results.tsv"
# A run that was interrupted while a fault was planted: put the original back.
if [ -f "$scratch/applied" ]; then
  cp "$scratch/pristine" "$src/$(cat "$scratch/applied")"
  rm -f "$scratch/applied"
fi
echo "copying the checkout to $src ..."
changed=$(faults sync "$list" "$root" "$src")
if [ "$resume" -eq 0 ] || [ "$changed" -ne 0 ]; then
  rm -f "$results" "$scratch/baseline.ok"
fi
touch "$results"
echo "configuring and building in $build ..."
nice -n 10 cmake -S "$src" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRRZ_WERROR=OFF >"$logs/configure.log" 2>&1 ||
  { tail -n 30 "$logs/configure.log"; echo "configure failed" >&2; exit 1; }
nice -n 10 cmake --build "$build" -j2 >"$logs/build.log" 2>&1 ||
  { tail -n 30 "$logs/build.log"; echo "the unchanged code does not build" >&2; exit 1; }

# ctest -LE 'office|valgrind', stopping at the first failure. Every test has a
# time-out of its own (TIMEOUT); the cap on the whole run is a last resort.
run_suite() {  # run_suite LOG CAP_SECONDS
  local status=0
  (cd "$build" && timeout --kill-after=30 "$2" nice -n 10 ctest -LE 'office|valgrind' -j2 --stop-on-failure \
      --output-on-failure) >"$1" 2>&1 || status=$?
  end_leftovers "$1"
  return $status
}
# A fault may leave processes of the scratch build running (a converter whose
# group is no longer killed, say); they would disturb the next faults. Ends
# them by pid: only programs under $build.
end_leftovers() {  # end_leftovers LOG
  local proc exe pids=()
  for proc in /proc/[0-9]*; do
    exe=$(readlink "$proc/exe" 2>/dev/null) || continue
    case $exe in "$build"/*) pids+=("${proc#/proc/}") ;; esac
  done
  if [ ${#pids[@]} -gt 0 ]; then
    echo "mutants.sh: ended ${#pids[@]} process(es) left running: ${pids[*]}" >>"$1"
    kill -KILL "${pids[@]}" 2>/dev/null || true
  fi
}
if [ -s "$scratch/baseline.ok" ]; then
  suite_seconds=$(cat "$scratch/baseline.ok")
else
  echo "running the suite on the unchanged code ..."
  start=$(date +%s)
  run_suite "$logs/baseline.log" 3600 ||
    { grep -A20 "tests FAILED" "$logs/baseline.log" >&2 || tail -n 30 "$logs/baseline.log" >&2
      echo "the unchanged code does not pass the suite; no fault can be judged" >&2; exit 1; }
  suite_seconds=$(( $(date +%s) - start ))
  echo "$suite_seconds" >"$scratch/baseline.ok"
fi
cap=$(( suite_seconds * 3 > suite_seconds + 600 ? suite_seconds * 3 : suite_seconds + 600 ))
echo "suite: ${suite_seconds}s; ${#selected[@]} fault(s) to try"

for id in "${selected[@]}"; do
  if cut -f1 "$results" | grep -qx -- "$id"; then
    grep -- "^$id"$'\t' "$results" | awk -F'\t' '{ printf "%-28s %-18s %-9s %4ss  %s (earlier)\n", $1, $2, $3, $4, $5 }'
    continue
  fi
  file=$(faults field "$list" "$id" file)
  folder=$(faults field "$list" "$id" folder)
  t0=$(date +%s)
  status=0
  cp "$src/$file" "$scratch/pristine" 2>/dev/null || : >"$scratch/pristine"
  echo "$file" >"$scratch/applied"
  faults apply "$list" "$src" "$id" || status=$?
  if [ "$status" -eq 3 ]; then
    outcome=stale
    detail="original text not found exactly once in $file"
  elif [ "$status" -ne 0 ]; then
    echo "applying $id failed" >&2
    exit 1
  elif ! nice -n 10 cmake --build "$build" -j2 >"$logs/$id.build.log" 2>&1; then
    outcome=no-build
    detail="see $logs/$id.build.log"
  elif run_suite "$logs/$id.test.log" "$cap"; then
    outcome=survived
    detail=""
  else
    outcome=killed
    detail=$(sed -n '/tests FAILED/,$p' "$logs/$id.test.log" | grep -E '^[[:space:]]*[0-9]+ - ' | head -n 3 |
             sed -E 's/^[[:space:]]*[0-9]+ - //; s/  # GetParam.*//; s/ \(.*\)$//' | paste -sd, - | sed 's/,/, /g')
    [ -n "$detail" ] || detail="suite did not finish within ${cap}s"
  fi
  # Put the original back (the next build recompiles it).
  if [ "$outcome" != stale ]; then
    cp "$scratch/pristine" "$src/$file"
  fi
  rm -f "$scratch/applied"
  seconds=$(( $(date +%s) - t0 ))
  printf '%-28s %-18s %-9s %4ss  %s\n' "$id" "$folder" "$outcome" "$seconds" "$detail"
  printf '%s\t%s\t%s\t%s\t%s\n' "$id" "$folder" "$outcome" "$seconds" "$detail" >>"$results"
done
count() { printf '%s\n' "${selected[@]}" | awk -F'\t' -v want="$1" \
  'NR == FNR { chosen[$1] = 1; next } ($1 in chosen) && $3 == want { n++ } END { print n + 0 }' - "$results"; }
killed=$(count killed) survived=$(count survived) nobuild=$(count no-build) stale=$(count stale)
echo "killed $killed of $((killed + survived)) ($survived survived, $nobuild no-build, $stale stale)"
