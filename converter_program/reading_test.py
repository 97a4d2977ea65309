#!/usr/bin/python3
"""Reads every sample document as a user on the device would: converts it
with DerazoZoraveMain, loads each page it made in QtWebKit at 800 x 480 and
checks that no page scrolls sideways (unless a table on it is itself wider
than the view) and that the words of the sample's source (the flat-XML file
the sample was made from, kept beside it as NAME.EXT.fodx) are on the pages,
as text or alt text: at least 99 % of them.

usage: reading_test.py CONVERTER SAMPLES_DIR [SAMPLE...]
Prints one line per sample: bytes, pages, widest scroll width, recall.
Exit status 0 all good, 1 a check failed, 77 nothing to check (no office
suite, samples or QtWebKit)."""
import collections
import os
import re
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ElementTree

VIEW = (800, 480)
MIN_RECALL = 0.99
SKIP = 77
OFFICE = "urn:oasis:names:tc:opendocument:xmlns:office:1.0"
TABLE = "urn:oasis:names:tc:opendocument:xmlns:table:1.0"
TEXT = "urn:oasis:names:tc:opendocument:xmlns:text:1.0"

try:
    os.environ.setdefault("QT_QPA_PLATFORM", "offscreen")
    if "XDG_RUNTIME_DIR" not in os.environ:
        RUNTIME = tempfile.TemporaryDirectory(prefix="rrz-reading-runtime-")  # removed at exit
        os.environ["XDG_RUNTIME_DIR"] = RUNTIME.name
    from PyQt5.QtCore import QEventLoop, QSize, QTimer, QUrl
    from PyQt5.QtWidgets import QApplication
    from PyQt5.QtWebKitWidgets import QWebPage
except ImportError as missing:
    print("reading_test: QtWebKit missing (%s); skipped" % missing)
    sys.exit(SKIP)

MEASURE = """(function() {
  var widest = 0, tables = document.getElementsByTagName('table');
  for (var i = 0; i < tables.length; ++i) widest = Math.max(widest, tables[i].offsetWidth);
  var alts = [], picture = 0, images = document.getElementsByTagName('img');
  for (var i = 0; i < images.length; ++i) {
    alts.push(images[i].alt);
    picture = Math.max(picture, images[i].offsetWidth);
  }
  return [document.documentElement.scrollWidth, widest, picture,
          (document.body ? document.body.innerText : '') + ' ' + alts.join(' ')];
})()"""


def words(text):
    return collections.Counter(w.lower() for w in re.findall(r"[^\W\d_][\w'-]*", text))


def source_words(path):
    """Words of a flat-XML document's body: its text (not pictures' bytes,
    formulas or scripts), repeated cells once per repetition."""
    counts = collections.Counter()

    def walk(element, times):
        if element.tag in ("{%s}binary-data" % OFFICE, "{%s}script" % TEXT):
            return
        times *= int(element.get("{%s}number-columns-repeated" % TABLE, "1"))
        times *= int(element.get("{%s}number-rows-repeated" % TABLE, "1"))
        for word, n in words(element.text or "").items():
            counts[word] += n * times
        for child in element:
            walk(child, times)
            for word, n in words(child.tail or "").items():
                counts[word] += n * times

    walk(ElementTree.parse(path).getroot().find("{%s}body" % OFFICE), 1)
    return counts


def measure(page, path):
    loop = QEventLoop()
    page.loadFinished.connect(loop.quit)
    QTimer.singleShot(30000, loop.quit)
    page.mainFrame().load(QUrl.fromLocalFile(path))
    loop.exec_()
    page.loadFinished.disconnect(loop.quit)
    scroll, widest_table, widest_picture, text = page.mainFrame().evaluateJavaScript(MEASURE)
    return int(scroll), int(widest_table), int(widest_picture), text


def check(converter, samples, name, page):
    source = os.path.join(samples, name + ".fodx")
    with tempfile.TemporaryDirectory(prefix="rrz-reading-") as out:
        run = subprocess.run([converter, os.path.join(samples, name), os.path.join(out, "index.html"), "-1"],
                             stdout=subprocess.PIPE, stderr=subprocess.STDOUT, universal_newlines=True)
        if run.returncode != 0:
            print("%-12s conversion failed:\n%s" % (name, run.stdout))
            return False
        pages = sorted(f for f in os.listdir(out) if f.endswith(".html"))
        size = sum(os.path.getsize(os.path.join(out, f)) for f in os.listdir(out))
        seen = collections.Counter()
        widest_scroll, good = 0, True
        for html in pages:
            scroll, widest_table, widest_picture, text = measure(page, os.path.join(out, html))
            seen.update(words(text))
            widest_scroll = max(widest_scroll, scroll)
            if scroll > VIEW[0] and widest_table <= VIEW[0]:
                print("%-12s %s scrolls sideways: %d px wide" % (name, html, scroll))
                good = False
            if widest_picture > VIEW[0]:
                print("%-12s %s has a picture %d px wide" % (name, html, widest_picture))
                good = False
        wanted = source_words(source)
        found = sum(min(n, seen[word]) for word, n in wanted.items())
        recall = found / max(1, sum(wanted.values()))
        missing = sorted(word for word in wanted if seen[word] == 0)
        print("%-12s %9d bytes %3d page(s) scroll width %5d px recall %6.2f %%%s"
              % (name, size, len(pages), widest_scroll, 100 * recall,
                 "" if not missing else " missing: " + " ".join(missing[:12])))
        return good and recall >= MIN_RECALL


def main(argv):
    if len(argv) < 3:
        print(__doc__)
        return 2
    converter, samples = argv[1], argv[2]
    names = argv[3:] or sorted(f[:-5] for f in os.listdir(samples) if f.endswith(".fodx")) \
        if os.path.isdir(samples) else []
    if not names or not os.access(converter, os.X_OK):
        print("reading_test: no samples in %s or no converter; skipped" % samples)
        return SKIP
    app = QApplication([argv[0]])
    page = QWebPage()
    page.setViewportSize(QSize(*VIEW))
    results = [check(converter, samples, name, page) for name in names]
    del app
    return 0 if all(results) else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
