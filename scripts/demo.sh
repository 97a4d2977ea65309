#!/usr/bin/env bash
# The main job: installs what is missing, builds, and shows the plug-in at
# work. plugin-host loads the library as the browser does and streams a
# sample document (sample.docx unless another file is given) to it; the real
# converter turns it into HTML; the painted frames (progress bar, loading
# circle) are saved as PNG files.
#   scripts/demo.sh [DOCUMENT] [plugin-host options...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build"
"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -DRRZ_WERROR=ON >/dev/null
cmake --build "$build" -j"$(nproc)" --target RavudaRovudeZazizu plugin-host DerazoZoraveMain sample_documents
document=${1:-"$build/converter_program/samples/sample.docx"}
shift || true
demo="$build/demo"
rm -rf "$demo/frames"
mkdir -p "$demo"
echo "streaming $document to the plug-in ..."
status=0
OFFICE_PLUGINS_BIN="$build/converter_program" OFFICE_PLUGINS_DATA="$demo/data" QV_SHM_PREFIX="rrz-demo-" \
  "$build/tools/plugin_host/plugin-host" --frames "$demo/frames" --rate 65536 --chunk 4096 "$document" "$@" || status=$?
echo "frames: $demo/frames (frame-0000.png is the first)"
exit $status
