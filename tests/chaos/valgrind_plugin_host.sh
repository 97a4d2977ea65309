#!/usr/bin/env bash
# One end-to-end run of plugin-host (the shipped library converting with the
# converter stand-in, the controller stand-in running) under valgrind
# memcheck. Fails on any memcheck error or definitely lost block, or when the
# document was not opened. The converter itself is not traced.
#   valgrind_plugin_host.sh <plugin-host> <converter stand-in dir>
set -euo pipefail
host=$1
stub_dir=$2
root=$(mktemp -d /tmp/rrz-valgrind-XXXXXX)
prefix="rrz-valgrind-$$-"
cleanup() {
  rm -rf "$root"
  rm -f "/dev/shm/${prefix}officeplugin_storage_mutex"
}
trap cleanup EXIT
printf 'msg 0 converting under valgrind\nmsg 1 a warning\nindex checked by memcheck\n' > "$root/report.doc"
status=0
OFFICE_PLUGINS_DATA="$root/data" OFFICE_PLUGINS_BIN="$stub_dir" OFFICE_PLUGINS_TIME_LIMIT=60 \
QV_SHM_PREFIX="$prefix" QV_ZETA_RUNTIME_DIR="$root" \
  valgrind --tool=memcheck --error-exitcode=99 --leak-check=full --errors-for-leak-kinds=definite \
           --show-leak-kinds=definite --track-fds=no --log-file="$root/memcheck.log" \
           "$host" -q --timeout 100 "$root/report.doc" || status=$?
sed -n '/ERROR SUMMARY\|definitely lost\|indirectly lost/p' "$root/memcheck.log"
if [ "$status" -ne 0 ]; then
  cat "$root/memcheck.log"
  echo "plugin-host under valgrind ended with $status (0: navigated, 99: memcheck errors)"
  exit 1
fi
