#!/usr/bin/env bash
# The performance report: installs what is missing, builds the benchmark
# programs in release mode in their own directory, runs them, prints one
# table (each figure next to a reference measured in the same run, with the
# ratio and the target) and writes it to docs/benchmarks.md with the machine
# it ran on. The plug-in thread's figures stand next to the library as it was
# before its calls stopped waiting for peers, built in the same run from the
# commit $RRZ_BENCH_REFERENCE (default below; needs the git history).
#   scripts/bench.sh [BUILD_DIR]      (default: build-bench in the checkout)
# Takes about five minutes; the real conversions need the office suite.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$root/build-bench"}
load=$(cut -d' ' -f1-3 /proc/loadavg)
"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DRRZ_WERROR=ON >/dev/null
cmake --build "$build" -j"$(nproc)" --target md5_bench conversion_cpu_bench progress_widgets_bench \
  intake_bench cached_open_bench memory_bench end_to_end_bench service_bench plugin_thread_bench

# The library before its plug-in thread stopped waiting for the controller
# and the storage lock.
reference=${RRZ_BENCH_REFERENCE:-78b4e89}
reference_lib=""
if git -C "$root" rev-parse -q --verify "$reference^{commit}" >/dev/null; then
  reference_src="$build/reference-$reference/source"
  if [ ! -d "$reference_src" ]; then
    rm -rf "$reference_src.part"
    mkdir -p "$reference_src.part"
    git -C "$root" archive "$reference" | tar -x -C "$reference_src.part"
    mv "$reference_src.part" "$reference_src"
  fi
  cmake -S "$reference_src" -B "$build/reference-$reference/build" -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$build/reference-$reference/build" -j"$(nproc)" --target RavudaRovudeZazizu >/dev/null
  reference_lib=$(find "$build/reference-$reference/build" -name libRavudaRovudeZazizu.so | head -n 1)
else
  echo "no commit $reference here: the plug-in thread's figures go without today's" >&2
fi

out="$build/bench-results"
rm -rf "$out"
mkdir -p "$out"
run() {  # run NAME PROGRAM [ARGS...]: stdout to NAME.out, stderr to NAME.log
  local name=$1
  shift
  echo "running $name ..." >&2
  if ! "$@" >"$out/$name.out" 2>"$out/$name.log"; then
    echo "$name failed; see $out/$name.log" >&2
    tail -n 20 "$out/$name.log" >&2
    exit 1
  fi
}
run md5 "$build/storage/md5_bench" "$out"
run cpu "$build/converter/conversion_cpu_bench"
run widgets "$build/ui/progress_widgets_bench" --benchmark_format=csv
run intake "$build/bench/intake_bench"
run cached "$build/bench/cached_open_bench"
run memory "$build/bench/memory_bench"
run e2e "$build/bench/end_to_end_bench"
run service "$build/bench/service_bench"
thread_bound=20
for case in healthy stalled locked; do
  run "thread_new_$case" "$build/bench/plugin_thread_bench" "$build/office_viewer/libRavudaRovudeZazizu.so" \
    "$case" new "$thread_bound"
  if [ -n "$reference_lib" ]; then
    run "thread_today_$case" "$build/bench/plugin_thread_bench" "$reference_lib" "$case" today "$thread_bound"
  fi
done

# Every figure as key=value.
declare -A r call
while read -r tag key value _; do
  [ "$tag" = result ] && r[$key]=$value
  [ "$tag" = call ] && call[$key]=$value
done < <(cat "$out"/intake.out "$out"/cached.out "$out"/memory.out "$out"/e2e.out "$out"/service.out "$out"/thread_*.out)
r[md5_ours]=$(awk '/^CHashMD5:/ {print $(NF-1)}' "$out/md5.out")
r[md5_sum]=$(awk '/^md5sum:/ {print $(NF-1)}' "$out/md5.out")
r[cpu_share]=$(sed -n 's/.*= \([0-9.]*\) (target.*/\1/p' "$out/cpu.out")
r[cpu_seconds]=$(sed -n 's/.*plug-in CPU \([0-9.]*\) s.*/\1/p' "$out/cpu.out")
r[cpu_wall]=$(sed -n 's/.*wall \([0-9.]*\) s.*/\1/p' "$out/cpu.out")
widget() {  # widget NAME COLUMN (3 wall, 4 CPU), in microseconds
  awk -F, -v name="\"$1\"" -v column="$2" '$1 == name {print $column}' "$out/widgets.out"
}
r[bar_cpu]=$(widget ProgressBarDraw 4)
r[bar_wall]=$(widget ProgressBarDraw 3)
r[circle_cpu]=$(widget LoadingCircleDraw 4)
r[circle_wall]=$(widget LoadingCircleDraw 3)
for key in md5_ours md5_sum cpu_share bar_cpu circle_cpu intake_plugin_cpu cached_open_1000 peak_rss_10 e2e_plugin_host \
           service_warm service_first service_process_rss \
           thread_new_healthy_max_ms thread_new_stalled_max_ms thread_new_locked_max_ms; do
  if [ -z "${r[$key]:-}" ]; then
    echo "no figure for $key; see $out" >&2
    exit 1
  fi
done

calc() { awk "BEGIN {printf \"$1\", $2}"; }
# thread_cell LABEL CASE: the longest plug-in thread call of a run, or what blocked
thread_cell() {
  local key="thread_$1_$2"
  if [ -z "${r[${key}_max_ms]:-}" ]; then
    echo "n/a"
  elif [ "${r[${key}_blocked]}" = 1 ]; then
    echo "${call[$key]} blocked > $(calc %.0f "${r[${key}_max_ms]} / 1000") s"
  else
    echo "$(calc %.1f "${r[${key}_max_ms]}") ms (${call[$key]})"
  fi
}
# check VALUE OP LIMIT: "ok" or "MISSED"
check() { awk -v v="$1" -v l="$3" "BEGIN {print (v $2 l) ? \"ok\" : \"MISSED\"}"; }

table() {
  echo "| figure | measured | same-run reference | ratio | target | |"
  echo "|---|---|---|---|---|---|"
  local ratio
  ratio=$(calc %.2f "${r[md5_ours]} / ${r[md5_sum]}")
  echo "| MD5 digest, 256 MiB (CHashMD5), per CPU second | $(calc %.0f "${r[md5_ours]}") MiB/s | md5sum $(calc %.0f "${r[md5_sum]}") MiB/s" \
       "| $ratio | >= 0.8 | $(check "$ratio" '>=' 0.8) |"
  ratio=$(calc %.2f "${r[intake_plugin_cpu]} / ${r[intake_md5sum_cat_cpu]}")
  echo "| 1. intake: NPP_Write (digest + write), 32 MiB in 4096-byte chunks, per CPU second" \
       "| $(calc %.0f "${r[intake_plugin_cpu]}") MiB/s (wall: $(calc %.0f "${r[intake_plugin_wall]}"))" \
       "| md5sum $(calc %.0f "${r[intake_md5sum_cpu]}"), cat > file $(calc %.0f "${r[intake_cat_cpu]}"), one after the other" \
       "$(calc %.0f "${r[intake_md5sum_cat_cpu]}") MiB/s (wall: $(calc %.0f "${r[intake_md5sum_cat_wall]}"))" \
       "| $ratio (of md5sum + cat) | >= 0.8 | $(check "$ratio" '>=' 0.8) |"
  echo "| 2. plug-in CPU per wall second while a 5 s converter runs | $(calc %.4f "${r[cpu_share]}")" \
       "| ${r[cpu_seconds]} s CPU in ${r[cpu_wall]} s | | < 0.02 | $(check "${r[cpu_share]}" '<' 0.02) |"
  local n
  local op limit
  for n in 10 100 1000; do
    # At 1000 records: no sync of the index on the way to the navigation.
    op='<'; limit=10
    if [ "$n" = 1000 ]; then op='<='; limit=5; fi
    ratio=$(calc %.4f "${r[cached_open_$n]} / ${r[cached_conversion_$n]}")
    echo "| 3. cached open, DestroyStream to navigation, $n records in the index" \
         "| $(calc %.2f "${r[cached_open_$n]}") ms | real conversion $(calc %.0f "${r[cached_conversion_$n]}") ms" \
         "| $ratio | $op $limit ms | $(check "${r[cached_open_$n]}" "$op" "$limit") |"
  done
  echo "| 4. frame: progress bar 400 x 60 (CPU per draw) | $(calc %.1f "${r[bar_cpu]}") us" \
       "| wall $(calc %.1f "${r[bar_wall]}") us | | < 500 us | $(check "${r[bar_cpu]}" '<' 500) |"
  echo "| 4. frame: loading circle 200 x 200 (CPU per draw) | $(calc %.1f "${r[circle_cpu]}") us" \
       "| wall $(calc %.1f "${r[circle_wall]}") us | | < 500 us | $(check "${r[circle_cpu]}" '<' 500) |"
  ratio=$(calc %.3f "${r[e2e_plugin_host]} / ${r[e2e_converter]}")
  echo "| 5. sample.docx through plugin-host, to the navigation request | $(calc %.2f "${r[e2e_plugin_host]}") s" \
       "| DerazoZoraveMain alone $(calc %.2f "${r[e2e_converter]}") s | $ratio | <= 1.05 | $(check "$ratio" '<=' 1.05) |"
  for n in 1 10; do
    echo "| 6. peak resident memory of the host, $n instance(s) | $(calc %.1f "${r[peak_rss_$n]} / 1024") MiB" \
         "| no instance $(calc %.1f "${r[peak_rss_0]} / 1024") MiB" \
         "| +$(calc %.0f "(${r[peak_rss_$n]} - ${r[peak_rss_0]}) / $n") KiB per instance | | |"
  done
  ratio=$(calc %.3f "${r[service_warm]} / ${r[service_cold]}")
  echo "| 7. six samples through plugin-host, office suite service warm (median) | $(calc %.2f "${r[service_warm]}") s" \
       "| service off, a suite per conversion $(calc %.2f "${r[service_cold]}") s | $ratio | <= 0.25" \
       "| $(check "$ratio" '<=' 0.25) |"
  ratio=$(calc %.3f "${r[service_first]} / ${r[service_first_cold]}")
  echo "| 7. sample.docx through plugin-host with no service running (it is started) | $(calc %.2f "${r[service_first]}") s" \
       "| service off $(calc %.2f "${r[service_first_cold]}") s | $ratio | <= 1.15 | $(check "$ratio" '<=' 1.15) |"
  echo "| 7. resident memory of the warm service: suite + service process" \
       "| $(calc %.0f "(${r[service_suite_rss]} + ${r[service_process_rss]}) / 1024") MiB" \
       "| suite $(calc %.0f "${r[service_suite_rss]} / 1024") MiB, service $(calc %.0f "${r[service_process_rss]} / 1024") MiB" \
       "| | restart past 512 MiB | |"
  local case limit name verdict
  for case in healthy stalled locked; do
    case $case in
      healthy) limit=50 name="(a) healthy controller" ;;
      stalled) limit=50 name="(b) controller that stopped reading" ;;
      locked) limit=250 name="(c) storage lock held by a stopped process" ;;
    esac
    if [ "${r[thread_new_${case}_blocked]}" = 1 ]; then
      verdict=MISSED
    else
      verdict=$(check "${r[thread_new_${case}_max_ms]}" '<=' "$limit")
    fi
    echo "| 8. longest call on the plug-in thread, $name | $(thread_cell new "$case")" \
         "| today's code ($reference): $(thread_cell today "$case") | | <= $limit ms | $verdict |"
  done
}

machine() {
  echo "- CPU: $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1), $(nproc) cores available"
  echo "- memory: $(awk '/^MemTotal:/ {printf "%.1f GiB", $2 / 1048576}' /proc/meminfo)"
  echo "- system: $(. /etc/os-release && echo "$PRETTY_NAME"), kernel $(uname -r), $(c++ --version | head -n 1)"
  echo "- load average before the run: $load"
  echo "- source: commit $(git -C "$root" rev-parse --short HEAD 2>/dev/null || echo unknown)$(
    git -C "$root" diff --quiet HEAD -- 2>/dev/null || echo ' with local changes'), $(date -u '+%Y-%m-%d %H:%M UTC')"
}
tbl=$(table)
# Before docs/benchmarks.md is rewritten, which would count as a local change.
mach=$(machine)
echo
echo "$tbl"
mkdir -p "$root/docs"
{
  echo "# Benchmarks"
  echo
  echo "Reproduce with \`bash scripts/bench.sh\` (release build in \`build-bench/\`; raw output in"
  echo "\`build-bench/bench-results/\`). Each figure stands next to a reference measured in the same run,"
  echo "so the ratio holds on a busy machine even when the absolute figures move."
  echo
  echo "$tbl"
  echo
  echo "Machine:"
  echo
  echo "$mach"
  echo
  echo "How each figure is taken:"
  echo
  echo "- Rates are MiB per CPU second (user + system time), medians of five alternating rounds: on a"
  echo "  shared machine CPU time hardly moves with other work, wall time does (shown where it helps)."
  echo "- MD5: \`storage/bench/md5_bench\`, CHashMD5 and md5sum over the same 256 MiB file in the page cache."
  echo "- 1: \`bench/intake_bench\`, the shipped library driven by the host stand-in; the streaming thread's"
  echo "  time from the first NPP_WriteReady to the last NPP_Write (the host passes the plug-in's five log"
  echo "  lines per chunk on without keeping them), next to md5sum and \`cat > file\` on the same bytes from"
  echo "  a file in the page cache (each a process of its own, start included)."
  echo "- 2: \`converter/bench/conversion_cpu_bench\`, CPU time of the plug-in process (all threads) during a"
  echo "  conversion by the converter stand-in that reports progress every 100 ms for 5 s."
  echo "- 3: \`bench/cached_open_bench\`, the index filled with other records, sample.docx converted for real"
  echo "  (the reference), then opened by five new instances; median of the five."
  echo "- 4: \`ui/bench/progress_widgets_bench\` (Google Benchmark), the viewer's widget sizes on 800 x 480."
  echo "- 5: \`bench/end_to_end_bench\`, median of three alternating runs after one warm-up of the converter,"
  echo "  with the office suite service off (3 and 6 too): a suite per conversion."
  echo "- 6: \`bench/memory_bench\`, VmHWM of a host process (controller stand-in, library, one 800 x 480"
  echo "  surface) whose instances each get a document, are painted at 30 frames a second and convert with"
  echo "  the converter stand-in until all have navigated; one process per count."
  echo "- 7: \`bench/service_bench\`, each of the six samples through plugin-host with a fresh storage directory,"
  echo "  alternately with the office suite service off (OFFICE_PLUGINS_CONVERTER_IDLE=0) and running (its"
  echo "  own directory), three rounds after one warm-up each; medians of the 18 runs of each. The first"
  echo "  conversion: the service stopped, then sample.docx with the service on (the converter starts it),"
  echo "  alternately with a cold run; medians of three. Memory: VmRSS of the suite and of the service's"
  echo "  own process after the warm runs."
  echo "- 8: \`bench/plugin_thread_bench\`, one instance through the host stand-in: NPP_New, the first"
  echo "  NPP_SetWindow, 290 more NPP_SetWindow as while the page scrolls (each a window request to the"
  echo "  controller), 100 key presses and mouse clicks, a 4 MiB document in 64 KiB chunks (NPP_NewStream,"
  echo "  NPP_WriteReady, NPP_Write, NPP_DestroyStream), the posted calls until the navigation (at most"
  echo "  5 s) and NPP_Destroy; every call timed, the longest shown with its name (the viewer keeps key"
  echo "  and mouse events to itself: window requests and the deregistration are what reach the"
  echo "  controller). (b): the controller stand-in answers the registration and then reads nothing, so"
  echo "  the window requests fill what the socket holds. (c): a process maps the storage's shared mutex"
  echo "  (under the run's QV_SHM_PREFIX), locks it and stops itself with SIGSTOP. Each run is a child"
  echo "  process given ${thread_bound} s; a call still running then counts as blocked. Today's code: the"
  echo "  library built in the same run from commit $reference, the last one before the plug-in thread"
  echo "  stopped waiting for peers."
} >"$root/docs/benchmarks.md"
echo
echo "written to $root/docs/benchmarks.md"
