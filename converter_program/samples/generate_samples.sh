#!/bin/sh
# Makes the project's sample documents from the flat-XML sources beside this
# script with the office suite: one each of doc, docx, xls, xlsx, ppt and
# pptx, each carrying its own known sentence ("Sample Word 97 document
# RRZ-DOC-1", ...), plus active.docx (a script link the converter must
# strip), layout.doc and layout.docx (a frame anchored over the first
# lines, fields, a drawing group with words), big.xlsx (a 3000 x 40 grid
# between two small sheets) and bad.docx (bytes that are no document).
# Each NAME.EXT.fodx is the source NAME.EXT was made from. OUTDIR/stamp
# marks a complete set.
#
# usage: generate_samples.sh OUTDIR [SUITE_PROGRAM]
# Without the office suite it says so and makes nothing (exit 0).
set -eu

out=$1
suite=${2:-/usr/lib/libreoffice/program/soffice.bin}
here=$(cd "$(dirname "$0")" && pwd)

if [ ! -x "$suite" ]; then
    echo "generate_samples: $suite not found; sample documents not made"
    exit 0
fi
mkdir -p "$out"
work=$(mktemp -d "${TMPDIR:-/tmp}/rrz-samples.XXXXXX")
trap 'rm -rf "$work"' EXIT

# A private profile told which version it has seen, so that the suite does
# not run its first-start self-test each time.
mkdir -p "$work/profile/user"
version=$(sed -n '/oor:name="ooSetupVersion">/{n;s/.*<value>\([0-9.]*\)<\/value>.*/\1/p;q}' \
          "$(dirname "$suite")/../share/registry/main.xcd" 2>/dev/null || true)
if [ -n "$version" ]; then
    cat > "$work/profile/user/registrymodifications.xcu" <<XCU
<?xml version="1.0" encoding="UTF-8"?>
<oor:items xmlns:oor="http://openoffice.org/2001/registry" xmlns:xs="http://www.w3.org/2001/XMLSchema" xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance">
<item oor:path="/org.openoffice.Setup/Product"><prop oor:name="ooSetupLastVersion" oor:op="fuse"><value>$version</value></prop></item>
</oor:items>
XCU
fi

suite_run() {
    # A fresh profile asks for one restart (status 81).
    status=0
    env -u PYTHONPATH -u PYTHONHOME HOME="$work" PATH=/usr/bin:/bin "$suite" --headless --invisible --nologo \
        --norestore --nolockcheck "-env:UserInstallation=file://$work/profile" "$@" >"$work/log" 2>&1 || status=$?
    if [ "$status" -eq 81 ]; then
        status=0
        env -u PYTHONPATH -u PYTHONHOME HOME="$work" PATH=/usr/bin:/bin "$suite" --headless --invisible --nologo \
            --norestore --nolockcheck "-env:UserInstallation=file://$work/profile" "$@" >"$work/log" 2>&1 || status=$?
    fi
    return "$status"
}

# make NAME EXT FILTER SOURCE FORMAT MARKER: NAME.EXT from SOURCE
make_sample() {
    name=$1 ext=$2 filter=$3 source=$4 format=$5 marker=$6
    mkdir -p "$work/$ext"
    src="$work/$ext/$name.${source##*.}"
    sed -e "s/@TITLE@/$format sample/" -e "s/@SENTENCE@/Sample $format RRZ-$marker-1/" \
        -e "s/@FORMAT@/$format/" -e "s/@MARKER@/RRZ-$marker-1/" "$here/$source" > "$src"
    rm -f "$out/$name.$ext"
    suite_run --convert-to "$ext:$filter" --outdir "$out" "$src"
    cp "$src" "$out/$name.$ext.fodx"
    if [ ! -s "$out/$name.$ext" ]; then
        echo "generate_samples: $name.$ext was not made:" >&2
        cat "$work/log" >&2
        exit 1
    fi
}

make_sample sample doc "MS Word 97" text.fodt "Word 97 document" DOC
make_sample sample docx "MS Word 2007 XML" text.fodt "Word 2007 document" DOCX
make_sample sample xls "MS Excel 97" sheet.fods "Excel 97 workbook" XLS
make_sample sample xlsx "Calc MS Excel 2007 XML" sheet.fods "Excel 2007 workbook" XLSX
make_sample sample ppt "MS PowerPoint 97" slides.fodp "PowerPoint 97 presentation" PPT
make_sample sample pptx "Impress MS PowerPoint 2007 XML" slides.fodp "PowerPoint 2007 presentation" PPTX
make_sample active docx "MS Word 2007 XML" active.fodt "Word 2007 document with a script link" ACTIVE
make_sample layout doc "MS Word 97" layout.fodt "Word 97 document with a side bar" LAYOUT
make_sample layout docx "MS Word 2007 XML" layout.fodt "Word 2007 document with a side bar" LAYOUT
make_sample big xlsx "Calc MS Excel 2007 XML" big.fods "Excel 2007 workbook with a large grid" BIG

# 4 KiB of the same pseudo-random bytes every time (a small LCG).
LC_ALL=C awk 'BEGIN { x = 12345; for (i = 0; i < 4096; i++) { x = (x * 1103515245 + 12345) % 2147483648;
     printf "%c", 1 + int(x / 65536) % 255 } }' > "$out/bad.docx"
touch "$out/stamp"
echo "generate_samples: sample documents in $out"
