#!/usr/bin/env bash
# The plug-in in a real browser: QtWebKit, a stock NPAPI browser engine,
# opens a page that embeds DOCUMENT (sample.docx unless another file is
# given); the installed library converts it with the real converter and the
# page navigates to the converted document. In a window when DISPLAY is set
# (close it to end), otherwise headless on a virtual X server. Screenshots
# before and after the navigation go to build/browser-demo/.
#   scripts/browser-demo.sh [DOCUMENT]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build"
"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -DRRZ_WERROR=ON >/dev/null
cmake --build "$build" -j"$(nproc)" --target RavudaRovudeZazizu DerazoZoraveMain plugin-host sample_documents
document=$(realpath "${1:-"$build/converter_program/samples/sample.docx"}")
demo="$build/browser-demo"
rm -rf "$demo"
mkdir -p "$demo"
cmake --install "$build" --prefix "$demo/prefix" >/dev/null
echo "opening $document in QtWebKit ..."
QTWEBKIT_PLUGIN_PATH="$demo/prefix/lib" OFFICE_PLUGINS_BIN="$demo/prefix/bin" OFFICE_PLUGINS_DATA="$demo/data" \
  QV_SHM_PREFIX="rrz-browser-demo-" QV_ZETA_RUNTIME_DIR="$demo/zeta" \
  /usr/bin/python3 "$root/tools/browser/embed_browser.py" "$document" "$demo"
