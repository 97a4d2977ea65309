# The office suite that the office suite service (converter_service.py)
# keeps: the suite process with a private profile, the UNO bridge to it, and
# the worker thread that starts it, converts with it and renews it. The
# export itself is office_export.status_of, the code the one-shot macro runs.
import os
import queue
import secrets
import shutil
import signal
import subprocess
import sys
import threading
import time

import uno
from com.sun.star.connection import NoConnectException

import office_export

SUITE_START_LIMIT = 60.0
RESTART_STATUS = 81
GRACEFUL_END_LIMIT = 5.0


def log(text):
    sys.stdout.write(time.strftime("%Y-%m-%d %H:%M:%S ") + text + "\n")
    sys.stdout.flush()


def one_line(text):
    return " ".join(str(text).split())[:1000]


class ScriptContext:
    """What the suite's script provider gives a macro, for office_export."""

    def __init__(self, context, desktop):
        self.context = context
        self.desktop = desktop

    def getComponentContext(self):
        return self.context

    def getDesktop(self):
        return self.desktop

    def getDocument(self):
        return None


class Suite:
    """The office suite process and the UNO bridge to it. Worker thread only
    (the main thread kills a conversion's suite through its Job)."""

    def __init__(self, directory, program):
        self.directory = directory
        self.program = program
        self.process = None
        self.desktop = None
        self.pipe_name = ""
        self.conversions = 0
        self.closing = False  # set by the main thread when the service ends
        self.local = uno.getComponentContext()
        self.resolver = self.local.ServiceManager.createInstanceWithContext(
            "com.sun.star.bridge.UnoUrlResolver", self.local)

    def _spawn(self, pipe_name):
        profile = os.path.join(self.directory, "profile")
        args = [self.program, "--headless", "--invisible", "--nologo", "--norestore", "--nodefault",
                "--nolockcheck", "-env:UserInstallation=" + uno.systemPathToFileUrl(profile),
                "--accept=pipe,name=" + pipe_name + ";urp;StarOffice.ComponentContext"]
        # The suite dies with the thread that starts it (this worker), so a
        # service that is killed leaves no suite behind.
        if os.access("/usr/bin/setpriv", os.X_OK):
            args = ["/usr/bin/setpriv", "--pdeathsig", "KILL", "--"] + args
        env = dict(os.environ, TMPDIR=os.path.join(self.directory, "tmp"))
        with open(os.path.join(self.directory, "suite.log"), "ab") as output:
            return subprocess.Popen(args, stdin=subprocess.DEVNULL, stdout=output, stderr=subprocess.STDOUT,
                                    env=env, close_fds=True)

    def _fresh_profile(self):
        profile = os.path.join(self.directory, "profile")
        template = os.path.join(self.directory, "profile-template")
        temp = os.path.join(self.directory, "tmp")
        for path in (profile, temp):
            shutil.rmtree(path, ignore_errors=True)
        os.mkdir(temp, 0o700)
        source = template if os.path.isdir(template) else os.path.join(self.directory, "profile-seed")
        shutil.copytree(source, profile, symlinks=True)

    def start(self):
        """Starts the suite and connects to it. Returns "" or the reason."""
        self._fresh_profile()
        self.pipe_name = "rrz-%d-%s" % (os.getuid(), secrets.token_hex(8))
        url = "uno:pipe,name=" + self.pipe_name + ";urp;StarOffice.ComponentContext"
        self.process = self._spawn(self.pipe_name)
        deadline = time.monotonic() + SUITE_START_LIMIT
        restarted = False
        while time.monotonic() < deadline and not self.closing:
            status = self.process.poll()
            if status == RESTART_STATUS and not restarted:
                # The first start of a new profile ends with 81; what it
                # leaves is what every later start begins with.
                template = os.path.join(self.directory, "profile-template")
                if not os.path.isdir(template):
                    shutil.copytree(os.path.join(self.directory, "profile"), template, symlinks=True)
                restarted = True
                self.process = self._spawn(self.pipe_name)
                continue
            if status is not None:
                self.process = None
                return "the office suite ended with status %d while starting" % status
            try:
                context = self.resolver.resolve(url)
                self.desktop = context.ServiceManager.createInstanceWithContext(
                    "com.sun.star.frame.Desktop", context)
                office_export.XSCRIPTCONTEXT = ScriptContext(context, self.desktop)
                self.conversions = 0
                log("office suite %d started" % self.process.pid)
                return ""
            except NoConnectException:
                time.sleep(0.02)
            except Exception as error:
                self.stop()
                return "can't connect to the office suite: " + one_line(error)
        self.stop()
        return "the service is ending" if self.closing else \
            "the office suite did not answer within %d s" % SUITE_START_LIMIT

    def running(self):
        return self.process is not None and self.process.poll() is None

    def answers(self):
        try:
            self.desktop.getComponents()
            return True
        except Exception:
            return False

    def stop(self, graceful=False):
        """Ends the suite: asked to end (graceful, for a healthy one) or
        killed. Removes what a killed suite leaves in /tmp."""
        if self.process is not None:
            if graceful and self.process.poll() is None:
                try:
                    self.desktop.terminate()
                    self.process.wait(GRACEFUL_END_LIMIT)
                except Exception:
                    pass
            try:
                self.process.kill()
            except ProcessLookupError:
                pass
            self.process.wait()
            log("office suite %d stopped (status %d)" % (self.process.pid, self.process.returncode))
            for directory in ("/tmp", "/var/tmp"):
                try:
                    os.unlink("%s/OSL_PIPE_%d_%s" % (directory, os.getuid(), self.pipe_name))
                except OSError:
                    pass
        self.process = None
        self.desktop = None

    def resident_kib(self):
        try:
            with open("/proc/%d/status" % self.process.pid) as status:
                for line in status:
                    if line.startswith("VmRSS:"):
                        return int(line.split()[1])
        except (OSError, AttributeError, ValueError):
            pass
        return 0


class Job:
    def __init__(self, connection, group, limit, env):
        self.connection = connection
        self.group = group
        self.limit = limit
        self.env = env
        self.deadline = None    # set when the conversion begins
        self.process = None     # the suite converting it
        self.abandoned = False  # nobody waits for the answer any more
        self.killed_at = None

    def kill(self):
        """Kills the suite converting this job (not a later one)."""
        self.killed_at = time.monotonic()
        process = self.process
        if process is not None and process.returncode is None:
            try:
                os.kill(process.pid, signal.SIGKILL)
            except ProcessLookupError:
                pass


class Worker(threading.Thread):
    """Runs the suite: starts it, converts, restarts it. Posts
    ("begin", job), ("done", job, status), ("idle", suite pid, rss, failed
    starts) and, when it fails itself, ("failed",) to the main loop's queue
    and wakes it."""

    def __init__(self, suite, settings, events, wake):
        super().__init__(daemon=True)
        self.suite = suite
        self.settings = settings
        self.events = events
        self.wake = wake
        self.tasks = queue.Queue()
        self.start_failures = 0
        self.start_error = ""

    def post(self, *event):
        self.events.put(event)
        try:
            os.write(self.wake, b"w")
        except BlockingIOError:
            pass  # the main loop has wake-ups pending already

    def run(self):
        try:
            self.serve()
        except Exception as error:
            log("worker failed: %s: %s" % (type(error).__name__, one_line(error)))
            self.suite.stop()
            self.post("failed")

    def serve(self):
        while True:
            job = self.tasks.get()
            if job is None:
                self.suite.stop(graceful=True)
                return
            if job == "prepare":
                self.ready()
            elif job.abandoned:
                self.post("done", job, "lost the client left")
            elif self.ready():
                job.process = self.suite.process
                self.post("begin", job)
                self.post("done", job, self.convert(job))
            else:
                self.post("done", job, "lost can't start the office suite: " + self.start_error)
            self.tidy()
            self.post("idle", self.suite.process.pid if self.suite.process else 0, self.suite.resident_kib(),
                      self.start_failures)

    def ready(self):
        """Starts the suite unless it runs. True when it runs."""
        self.start_error = ""
        if not self.suite.running() and not self.suite.closing:
            self.suite.stop()
            self.start_error = self.suite.start()
            self.start_failures = self.start_failures + 1 if self.start_error else 0
            if self.start_error:
                log(self.start_error)
        return self.suite.running()

    def convert(self, job):
        started = time.monotonic()
        status = office_export.status_of(self.suite.desktop, job.env)
        if status.startswith("error ") and not self.suite.answers():
            status = "lost the office suite ended during the conversion (%s)" % status[6:]
            self.suite.stop()
        self.suite.conversions += 1
        log("%s: %s in %.2f s" % (os.path.basename(job.env.get("RRZ_SOURCE", "?")), status,
                                  time.monotonic() - started))
        return status

    def tidy(self):
        """Starts a fresh suite when this one is gone or worn, so that the
        next conversion finds one waiting."""
        conversions, memory = self.settings
        worn = self.suite.conversions >= conversions or self.suite.resident_kib() > memory * 1024
        if self.suite.running() and not worn:
            return
        if worn:
            log("restarting the office suite after %d conversions, %d KiB" %
                (self.suite.conversions, self.suite.resident_kib()))
        self.suite.stop(graceful=worn)
        if self.start_failures == 0:
            self.ready()
