#!/usr/bin/python3
"""A page that embeds one office document, shown in QtWebKit.

QtWebKit is a stock NPAPI browser engine: it loads the plug-in library from
the directory in QTWEBKIT_PLUGIN_PATH, without the private host table, and
paints windowless plug-ins through X11. This module opens such a page in a
QWebView, on the display in DISPLAY or on a virtual X server (Xvfb) of its
own, takes screenshots, and reads pixels back. The real-browser test and
scripts/browser-demo.sh use it; run as a program it is the demo itself:

    embed_browser.py DOCUMENT OUT_DIR [--headless] [--timeout SECONDS]

opens DOCUMENT, saves OUT_DIR/before.png (the plug-in's area before the
page navigates) and OUT_DIR/after.png (the converted document), and with a
display keeps the window open until it is closed. The plug-in's environment
(QTWEBKIT_PLUGIN_PATH, OFFICE_PLUGINS_BIN, OFFICE_PLUGINS_DATA, ...) comes
from the caller. Exit status: 0 navigated, 1 no navigation, 2 usage.

Needs Debian's python3-pyqt5.qtwebkit and, without a display, xvfb.
"""
import argparse
import collections
import os
import select
import subprocess
import sys
import time

MIME_TYPES = {
    "doc": "application/msword",
    "docx": "application/vnd.openxmlformats-officedocument.wordprocessingml.document",
    "xls": "application/vnd.ms-excel",
    "xlsx": "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet",
    "ppt": "application/vnd.ms-powerpoint",
    "pptx": "application/vnd.openxmlformats-officedocument.presentationml.presentation",
}

EMBED_WIDTH = 800
EMBED_HEIGHT = 480

PAGE = """<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>{name}</title></head>
<body style="margin:16px; background:#ffffff; font-family:sans-serif">
<p>{name}, shown by the office viewer plug-in:</p>
<embed id="document" src="{url}" type="{mime}" width="{width}" height="{height}">
</body></html>
"""


def missing_packages():
    """What keeps this module from running here, as Debian package names."""
    missing = []
    try:
        import PyQt5.QtWebKitWidgets  # noqa: F401
    except ImportError:
        missing.append("python3-pyqt5.qtwebkit")
    if not os.environ.get("DISPLAY") and not any(
            os.access(os.path.join(d, "Xvfb"), os.X_OK) for d in os.environ.get("PATH", "").split(":")):
        missing.append("xvfb")
    return missing


class VirtualDisplay:
    """An Xvfb server on the first free display number; DISPLAY points at it."""

    def __init__(self, width=1280, height=1024):
        read_end, write_end = os.pipe()
        self.process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "%dx%dx24" % (width, height), "-nolisten", "tcp"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        number = b""
        deadline = time.monotonic() + 20
        while not number.endswith(b"\n") and time.monotonic() < deadline:
            ready, _, _ = select.select([read_end], [], [], 0.5)
            if ready:
                chunk = os.read(read_end, 16)
                if not chunk:
                    break
                number += chunk
        os.close(read_end)
        if not number.strip():
            self.close()
            raise RuntimeError("Xvfb did not start")
        self.name = ":" + number.decode().strip()
        os.environ["DISPLAY"] = self.name

    def close(self):
        if self.process.poll() is None:
            self.process.terminate()
            self.process.wait(10)


class EmbedBrowser:
    """One QWebView window; pages are written into work_dir."""

    def __init__(self, work_dir, width=1000, height=720):
        from PyQt5.QtCore import QUrl
        from PyQt5.QtWebKit import QWebSettings
        from PyQt5.QtWebKitWidgets import QWebView
        from PyQt5.QtWidgets import QApplication

        self._QUrl = QUrl
        self.work_dir = work_dir
        self.app = QApplication.instance() or QApplication(["embed_browser"])
        QWebSettings.globalSettings().setAttribute(QWebSettings.PluginsEnabled, True)
        self.view = QWebView()
        self.view.resize(width, height)
        self.view.show()
        self.loads_finished = 0
        self.view.page().mainFrame().loadFinished.connect(self._load_finished)

    def _load_finished(self, _ok):
        self.loads_finished += 1

    def open(self, document, name=None):
        """Loads a new page embedding document; returns the embed's src URL."""
        extension = document.rsplit(".", 1)[-1]
        src = self._QUrl.fromLocalFile(os.path.abspath(document)).toString()
        name = name or os.path.basename(document)
        page = os.path.join(self.work_dir, "page-%s.html" % name)
        with open(page, "w", encoding="utf-8") as out:
            out.write(PAGE.format(name=name, url=src, mime=MIME_TYPES.get(extension, "application/octet-stream"),
                                  width=EMBED_WIDTH, height=EMBED_HEIGHT))
        self.page_url = self._QUrl.fromLocalFile(page).toString()
        self.loads_finished = 0
        self.view.load(self._QUrl.fromLocalFile(page))
        return src

    def url(self):
        return self.view.page().mainFrame().url().toString()

    def embed_rect(self):
        """The embed element's (x, y, width, height) in the view."""
        box = self.view.page().mainFrame().evaluateJavaScript(
            "(function(){var r=document.getElementById('document').getBoundingClientRect();"
            "return [r.left, r.top, r.width, r.height];})()")
        return tuple(int(v) for v in box) if box else None

    def pump(self, seconds):
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            self.app.processEvents()
            time.sleep(0.01)

    def wait(self, predicate, timeout):
        """Runs the event loop until predicate() is true; False on time-out."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            self.app.processEvents()
            if predicate():
                return True
            time.sleep(0.02)
        return False

    def screenshot(self):
        from PyQt5.QtGui import QImage
        return self.view.grab().toImage().convertToFormat(QImage.Format_RGB32)


def colours(image, rect=None):
    """Counter of (red, green, blue) over rect (x, y, width, height) of an RGB32 image."""
    x, y, width, height = rect or (0, 0, image.width(), image.height())
    x, y = max(0, x), max(0, y)
    width, height = min(width, image.width() - x), min(height, image.height() - y)
    counts = collections.Counter()
    if width <= 0 or height <= 0:
        return counts
    bits = image.constBits()
    bits.setsize(image.byteCount())
    data = bytes(bits)
    stride = image.bytesPerLine()
    for row in range(y, y + height):
        line = data[row * stride + 4 * x: row * stride + 4 * (x + width)]
        # RGB32 is 0xffRRGGBB in native (little-endian) order: B, G, R, 0xff.
        counts.update(zip(line[2::4], line[1::4], line[0::4]))
    return counts


def main(argv):
    parser = argparse.ArgumentParser(description="Open a page embedding DOCUMENT in QtWebKit.")
    parser.add_argument("document")
    parser.add_argument("out_dir")
    parser.add_argument("--headless", action="store_true", help="use a virtual X server even with a display")
    parser.add_argument("--timeout", type=float, default=180, help="seconds to wait for the navigation")
    args = parser.parse_args(argv)
    missing = missing_packages()
    if missing:
        print("embed_browser: missing packages: " + " ".join(missing), file=sys.stderr)
        return 2
    os.makedirs(args.out_dir, exist_ok=True)
    display = VirtualDisplay() if args.headless or not os.environ.get("DISPLAY") else None
    try:
        browser = EmbedBrowser(args.out_dir)
        browser.open(args.document)
        page = browser.page_url
        before = os.path.join(args.out_dir, "before.png")
        last = [0.0]

        def keep_before():
            # The latest look of the page while it still holds the plug-in.
            if browser.url() == page and browser.loads_finished and time.monotonic() - last[0] > 0.25:
                browser.screenshot().save(before)
                last[0] = time.monotonic()
            return browser.url() != page and browser.loads_finished > 1

        navigated = browser.wait(keep_before, args.timeout)
        print("page:     " + page)
        print("before:   " + before)
        if not navigated:
            print("no navigation within %g s" % args.timeout)
            return 1
        browser.pump(1.0)
        after = os.path.join(args.out_dir, "after.png")
        browser.screenshot().save(after)
        print("opened:   " + browser.url())
        print("after:    " + after)
        if display is None:
            print("close the window to end")
            browser.app.exec_()
        return 0
    finally:
        if display is not None:
            display.close()


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
