#!/usr/bin/python3
"""The plug-in in a real browser: QtWebKit under a virtual X server.

For each sample (doc, docx, xls, xlsx, ppt, pptx) a page embeds it; the
installed library is loaded from QTWEBKIT_PLUGIN_PATH and converts with the
real converter. The converter is reached through a gate that holds each
conversion until the screenshot of the converting plug-in is taken, so that
screenshot never races the conversion. Checked:
  - while converting, the embed shows the loading circle's colours;
  - the page navigates to file://<data>/converted/<md5>/index.html?originalpath=<src>;
  - the converted page shows the document (dark text pixels);
  - bad.docx ends in the error state with "Bad content" drawn in the embed.

    browser_test.py BUILD_DIR SAMPLES_DIR WORK_DIR

Exit status 77 (skipped) when QtWebKit's Python bindings or Xvfb are not
installed, or the samples were not made (no office suite).
"""
import hashlib
import os
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "browser"))
import embed_browser  # noqa: E402

SKIP = 77
BACKGROUND = (46, 52, 54)
FOREGROUND = (238, 238, 236)
PROGRESS = (52, 101, 164)
ERROR = (239, 41, 41)
# The message line below the 200 x 200 loading circle, relative to the embed.
MESSAGE_BAND = (200, 356, 400, 40)
SAMPLES = ["sample.doc", "sample.docx", "sample.xls", "sample.xlsx", "sample.ppt", "sample.pptx"]

GATE = """#!/bin/sh
# Announces the conversion, holds it while the hold file exists (at most a
# minute), then runs the real converter in its place.
touch '{gate}/started'
n=0
while [ -e '{gate}/hold' ] && [ $n -lt 1200 ]; do sleep 0.05; n=$((n + 1)); done
exec '{converter}' "$@"
"""


def shifted(rect, inner):
    return (rect[0] + inner[0], rect[1] + inner[1], inner[2], inner[3])


class Run:
    def __init__(self, build, samples, work):
        self.samples = samples
        self.work = work
        self.failures = []
        self.passed = 0
        prefix = os.path.join(work, "prefix")
        subprocess.run(["cmake", "--install", build, "--prefix", prefix], check=True, stdout=subprocess.DEVNULL)
        self.gate = os.path.join(work, "gate")
        os.makedirs(self.gate)
        converter = os.path.join(self.gate, "DerazoZoraveMain")
        with open(converter, "w") as out:
            out.write(GATE.format(gate=self.gate, converter=os.path.join(prefix, "bin", "DerazoZoraveMain")))
        os.chmod(converter, 0o755)
        self.data = os.path.join(work, "data")
        self.shm_prefix = "rrz-browser-%d-" % os.getpid()
        os.environ.update({
            "QTWEBKIT_PLUGIN_PATH": os.path.join(prefix, "lib"),
            "OFFICE_PLUGINS_BIN": self.gate,
            "OFFICE_PLUGINS_DATA": self.data,
            "OFFICE_PLUGINS_TIME_LIMIT": "120",
            "QV_SHM_PREFIX": self.shm_prefix,
            "QV_ZETA_RUNTIME_DIR": os.path.join(work, "zeta"),
        })
        self.browser = embed_browser.EmbedBrowser(work)

    def check(self, name, ok, detail):
        if not ok:
            self.failures.append("%s: %s" % (name, detail))
            print("FAIL " + self.failures[-1], flush=True)
        return ok

    def convert_held(self, sample):
        """Opens sample with its conversion held; returns (src, embed rect, screenshot while converting)."""
        started = os.path.join(self.gate, "started")
        hold = os.path.join(self.gate, "hold")
        if os.path.exists(started):
            os.unlink(started)
        open(hold, "w").close()
        src = self.browser.open(os.path.join(self.samples, sample))
        try:
            if not self.browser.wait(lambda: os.path.exists(started), 60):
                return src, None, None
            # A few frames of the converting state.
            self.browser.pump(0.3)
            return src, self.browser.embed_rect(), self.browser.screenshot()
        finally:
            os.unlink(hold)

    def converting_colours(self, sample, rect, shot):
        counts = embed_browser.colours(shot, rect)
        area = rect[2] * rect[3]
        return self.check(sample, counts[BACKGROUND] > area // 2 and counts[FOREGROUND] > 2000
                          and counts[PROGRESS] > 300,
                          "converting: background %d, circle %d, highlight %d of %d pixels"
                          % (counts[BACKGROUND], counts[FOREGROUND], counts[PROGRESS], area))

    def document(self, sample):
        src, rect, shot = self.convert_held(sample)
        if not self.check(sample, rect is not None, "the converter was never started"):
            return
        shot.save(os.path.join(self.work, sample + "-converting.png"))
        ok = self.converting_colours(sample, rect, shot)
        with open(os.path.join(self.samples, sample), "rb") as f:
            md5 = hashlib.md5(f.read()).hexdigest()
        expected = "file://%s/converted/%s/index.html?originalpath=%s" % (self.data, md5, src)
        page = self.browser.page_url
        navigated = self.browser.wait(lambda: self.browser.url() != page and self.browser.loads_finished > 1, 120)
        ok &= self.check(sample, navigated and self.browser.url() == expected,
                         "navigation: %s, expected %s" % (self.browser.url(), expected))
        shot = self.browser.screenshot()
        shot.save(os.path.join(self.work, sample + "-document.png"))
        counts = embed_browser.colours(shot)
        dark = sum(n for (r, g, b), n in counts.items() if max(r, g, b) < 100)
        ok &= self.check(sample, dark > 300 and len(counts) > 20,
                         "converted page: %d dark pixels, %d colours" % (dark, len(counts)))
        self.passed += ok

    def broken(self, sample):
        src, rect, shot = self.convert_held(sample)
        if not self.check(sample, rect is not None, "the converter was never started"):
            return
        ok = self.converting_colours(sample, rect, shot)
        page = self.browser.page_url

        def error_shown():
            return embed_browser.colours(self.browser.screenshot(), rect)[ERROR] > 300

        ok &= self.check(sample, self.browser.wait(error_shown, 120), "no error colour in the embed")
        shot = self.browser.screenshot()
        shot.save(os.path.join(self.work, sample + "-error.png"))
        band = embed_browser.colours(shot, shifted(rect, MESSAGE_BAND))
        text = sum(n for colour, n in band.items() if colour != BACKGROUND)
        ok &= self.check(sample, band[FOREGROUND] > 50 and text > 200,
                         "message line: %d text pixels, %d in the foreground colour" % (text, band[FOREGROUND]))
        ok &= self.check(sample, self.browser.url() == page, "navigated to " + self.browser.url())
        self.passed += ok

    def close(self):
        shm = "/dev/shm/%sofficeplugin_storage_mutex" % self.shm_prefix
        if os.path.exists(shm):
            os.unlink(shm)
        shutil.rmtree(self.data, ignore_errors=True)


def main(argv):
    build, samples, work = argv
    # Always a virtual X server of its own, never the caller's display.
    os.environ.pop("DISPLAY", None)
    missing = embed_browser.missing_packages()
    if missing:
        print("SKIP: not installed: " + " ".join(missing))
        return SKIP
    if not all(os.path.exists(os.path.join(samples, s)) for s in SAMPLES + ["bad.docx"]):
        print("SKIP: no sample documents in %s (made with the office suite)" % samples)
        return SKIP
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    display = embed_browser.VirtualDisplay()
    run = None
    started = time.monotonic()
    try:
        run = Run(build, samples, work)
        for sample in SAMPLES:
            run.document(sample)
        run.broken("bad.docx")
    finally:
        if run is not None:
            run.close()
        display.close()
    total = len(SAMPLES) + 1
    print("screenshots in %s; %.1f s" % (work, time.monotonic() - started))
    print("%d passed, %d failed" % (run.passed, total - run.passed))
    return 0 if run.passed == total and not run.failures else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
