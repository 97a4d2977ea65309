# The office suite service: one long-lived process per user that keeps one
# office suite running and converts documents for DerazoZoraveMain one at a
# time, so that a conversion does not pay for the suite's start. It exports
# with office_export._export, the code the one-shot macro runs.
#
# DerazoZoraveMain (service_launcher.cpp) writes this file and
# office_export.py into the service directory and starts it in a session of
# its own, standard input on /dev/null, output appended to service.log:
#   python3 -E -s -B DIR/converter_service.py DIR SUITE IDLE CONVERSIONS MEMORY_MIB
# DIR (mode 0700, ours) holds:
#   socket             the Unix stream socket clients connect to
#   lock               flock()ed while this service lives: one per directory
#   profile-seed/      the suite profile DerazoZoraveMain prepared
#   profile-template/  the seed after the suite's first start (which ends
#                      with status 81); every start of the suite gets a fresh
#                      copy, so nothing of one suite's documents stays
#   profile/, tmp/     the running suite's profile and TMPDIR
#   suite.log          the running suite's output
#
# Requests and answers are described in service_client.h. Only this user's
# processes are served (peer credentials). Waiting conversions are taken in
# turn by browser process (the client's parent), at most MAX_WAITING.
#
# The suite is killed and started afresh when a client goes away during its
# conversion, when a conversion passes its time limit, when the suite stops
# answering, after CONVERSIONS conversions and when its resident memory
# passes MEMORY_MIB. The service ends after IDLE seconds without work, on
# SIGTERM, on a "stop" request and after two failed starts of the suite;
# it removes its socket first (so that clients start a new service), and
# its suite's profile last.
import fcntl
import os
import queue
import secrets
import selectors
import shutil
import signal
import socket
import struct
import subprocess
import sys
import threading
import time

import uno
from com.sun.star.connection import NoConnectException

import office_export

GREETING = b"rrz-converter-service 1\n"
MAX_REQUEST = 65536
MAX_WAITING = 32
SUITE_START_LIMIT = 60.0
RESTART_STATUS = 81
LOCK_WAIT = 5.0
REQUEST_LIMIT = 10.0  # seconds from connecting to a complete request
KILLED_CALL_LIMIT = 20.0  # a conversion whose suite was killed must come back by then


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
        self.conversions = 0
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
        pipe_name = "rrz-%d-%s" % (os.getuid(), secrets.token_hex(8))
        url = "uno:pipe,name=" + pipe_name + ";urp;StarOffice.ComponentContext"
        self.process = self._spawn(pipe_name)
        deadline = time.monotonic() + SUITE_START_LIMIT
        restarted = False
        while time.monotonic() < deadline:
            status = self.process.poll()
            if status == RESTART_STATUS and not restarted:
                # The first start of a new profile ends with 81; what it
                # leaves is what every later start begins with.
                template = os.path.join(self.directory, "profile-template")
                if not os.path.isdir(template):
                    shutil.copytree(os.path.join(self.directory, "profile"), template, symlinks=True)
                restarted = True
                self.process = self._spawn(pipe_name)
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
        return "the office suite did not answer within %d s" % SUITE_START_LIMIT

    def running(self):
        return self.process is not None and self.process.poll() is None

    def answers(self):
        try:
            self.desktop.getComponents()
            return True
        except Exception:
            return False

    def stop(self):
        if self.process is not None:
            try:
                self.process.kill()
            except ProcessLookupError:
                pass
            self.process.wait()
            log("office suite %d stopped" % self.process.pid)
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
    ("begin", job), ("done", job, status) and ("idle", suite pid, rss) to
    the main loop's queue and wakes it."""

    def __init__(self, suite, settings, events, wake):
        super().__init__(daemon=True)
        self.suite = suite
        self.settings = settings
        self.events = events
        self.wake = wake
        self.tasks = queue.Queue()
        self.start_failures = 0
        self.start_error = ""
        self.closing = False  # set by the main thread when the service ends

    def post(self, *event):
        self.events.put(event)
        try:
            os.write(self.wake, b"w")
        except BlockingIOError:
            pass  # the main loop has wake-ups pending already

    def run(self):
        while True:
            job = self.tasks.get()
            if job is None:
                self.suite.stop()
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
        if not self.suite.running() and not self.closing:
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
        self.suite.stop()
        if self.start_failures == 0:
            self.ready()


def peer(connection):
    pid, uid, _ = struct.unpack("3i", connection.getsockopt(socket.SOL_SOCKET, socket.SO_PEERCRED,
                                                            struct.calcsize("3i")))
    return pid, uid


def parent_of(pid):
    try:
        with open("/proc/%d/stat" % pid) as stat:
            return int(stat.read().rsplit(")", 1)[1].split()[1])
    except (OSError, IndexError, ValueError):
        return 0


def parse_request(data):
    """(fields, complete); fields is None for a malformed request."""
    end = data.find(b"\0\0")
    if end < 0:
        return None, len(data) > MAX_REQUEST or data.startswith(b"\0")
    fields = data[:end].split(b"\0")
    return (fields if fields[0] else None), True


class Service:
    def __init__(self, directory, program, idle, conversions, memory_mib):
        self.directory = directory
        self.idle = idle
        self.selector = selectors.DefaultSelector()
        self.events = queue.SimpleQueue()
        self.wake_read, self.wake_write = os.pipe2(os.O_NONBLOCK | os.O_CLOEXEC)
        self.worker = Worker(Suite(directory, program), (conversions, memory_mib), self.events, self.wake_write)
        self.requests = {}     # connection -> bytes received
        self.waiting = []      # Jobs, in order of arrival
        self.running = None    # the Job the worker converts
        self.worker_busy = True
        self.last_served = {}  # group -> time its last conversion was started
        self.last_work = time.monotonic()
        self.stopping = False
        self.status = (0, 0)

    def listen(self):
        path = os.path.join(self.directory, "socket")
        try:
            os.unlink(path)
        except FileNotFoundError:
            pass
        self.listener = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self.listener.bind(path)
        self.socket_inode = os.stat(path).st_ino
        self.listener.listen(64)
        self.listener.setblocking(False)
        self.selector.register(self.listener, selectors.EVENT_READ, "listener")
        self.selector.register(self.wake_read, selectors.EVENT_READ, "wake")

    def run(self):
        signal.signal(signal.SIGTERM, lambda *unused: self.request_stop())
        signal.signal(signal.SIGINT, lambda *unused: self.request_stop())
        signal.signal(signal.SIGHUP, signal.SIG_IGN)
        signal.set_wakeup_fd(self.wake_write)
        self.listen()
        log("service %d listening in %s" % (os.getpid(), self.directory))
        self.worker.start()
        self.worker.tasks.put("prepare")
        while not self.stopping:
            for key, _ in self.selector.select(self.timeout()):
                if key.data == "listener":
                    self.accept()
                elif key.data == "wake":
                    self.drain_events()
                else:
                    self.readable(key.fileobj)
            self.check_deadline()
            self.drop_slow_requests()
            self.dispatch()
            if self.is_idle() and time.monotonic() - self.last_work >= self.idle:
                log("no work for %d s" % self.idle)
                self.stopping = True
        self.shut_down()

    def request_stop(self):
        self.stopping = True

    def timeout(self):
        if self.running is not None and self.running.deadline is not None:
            return max(0.0, min(1.0, self.running.deadline - time.monotonic()))
        return 1.0

    def is_idle(self):
        return not self.worker_busy and self.running is None and not self.waiting and not self.requests

    def accept(self):
        try:
            connection, _ = self.listener.accept()
        except OSError:
            return
        pid, uid = peer(connection)
        if uid != os.getuid():
            log("refused a client of user %d" % uid)
            connection.close()
            return
        connection.setblocking(False)
        try:
            connection.send(GREETING)
        except OSError:
            connection.close()
            return
        self.requests[connection] = (b"", time.monotonic())
        self.selector.register(connection, selectors.EVENT_READ, pid)

    def send(self, connection, line):
        try:
            connection.send(line.encode("utf-8", "replace") + b"\n")
        except OSError:
            pass

    def close(self, connection):
        self.requests.pop(connection, None)
        try:
            self.selector.unregister(connection)
        except (KeyError, ValueError):
            pass
        connection.close()

    def readable(self, connection):
        try:
            data = connection.recv(4096)
        except BlockingIOError:
            return
        except OSError:
            data = b""
        if connection not in self.requests:
            if not data:
                self.client_gone(connection)
            return
        if not data:
            self.close(connection)
            return
        received = self.requests[connection][0] + data
        self.requests[connection] = (received, self.requests[connection][1])
        fields, complete = parse_request(received)
        if not complete:
            return
        del self.requests[connection]
        self.handle(connection, fields)

    def handle(self, connection, fields):
        if fields == [b"status"]:
            pid, rss = self.status
            converting = self.running is not None and self.running.deadline is not None
            self.send(connection, "status service=%d suite=%d rss=%d waiting=%d converting=%d" %
                      (os.getpid(), pid, rss, len(self.waiting), converting))
            self.close(connection)
        elif fields == [b"stop"]:
            self.send(connection, "stopping")
            self.close(connection)
            self.stopping = True
        elif fields is not None and fields[0] == b"convert" and len(fields) >= 2 and fields[1].isdigit():
            env = dict(os.environ)
            for entry in fields[2:]:
                name, _, value = os.fsdecode(entry).partition("=")
                if name.startswith("RRZ_"):
                    env[name] = value
            if len(self.waiting) >= MAX_WAITING:
                self.send(connection, "busy")
                self.close(connection)
                return
            group = parent_of(self.selector.get_key(connection).data)
            self.waiting.append(Job(connection, group, int(fields[1]), env))
            self.send(connection, "queued %d" % (len(self.waiting) - 1 + (self.running is not None)))
        else:
            self.send(connection, "error malformed request")
            self.close(connection)

    def client_gone(self, connection):
        for job in self.waiting:
            if job.connection is connection:
                self.waiting.remove(job)
                break
        job = self.running
        if job is not None and job.connection is connection:
            job.abandoned = True
            if job.deadline is not None and job.killed_at is None:
                log("client left during its conversion; killing the office suite")
                job.kill()
        self.close(connection)

    def check_deadline(self):
        job = self.running
        now = time.monotonic()
        if job is None or job.deadline is None:
            return
        if job.killed_at is None and now >= job.deadline:
            log("conversion passed its %d s; killing the office suite" % job.limit)
            if not job.abandoned:
                self.send(job.connection, "error the office suite did not finish within %d s" % job.limit)
                self.close(job.connection)
                job.abandoned = True
            job.kill()
        elif job.killed_at is not None and now > job.killed_at + KILLED_CALL_LIMIT:
            log("the killed office suite's conversion does not come back; ending")
            os._exit(1)

    def drop_slow_requests(self):
        now = time.monotonic()
        for connection, (_, accepted) in list(self.requests.items()):
            if now - accepted > REQUEST_LIMIT:
                self.close(connection)

    def dispatch(self):
        if self.worker_busy or self.running is not None or not self.waiting or self.stopping:
            return
        job = min(self.waiting, key=lambda waiting: self.last_served.get(waiting.group, 0.0))
        self.waiting.remove(job)
        self.last_served[job.group] = time.monotonic()
        self.running = job
        self.worker_busy = True
        self.worker.tasks.put(job)
        for position, waiting in enumerate(self.waiting):
            self.send(waiting.connection, "queued %d" % (position + 1))

    def drain_events(self):
        try:
            while os.read(self.wake_read, 4096):
                pass
        except BlockingIOError:
            pass
        while not self.events.empty():
            event = self.events.get()
            if event[0] == "begin":
                job = event[1]
                job.deadline = time.monotonic() + job.limit
                if job.abandoned:
                    job.kill()
                else:
                    self.send(job.connection, "started")
            elif event[0] == "done":
                job, status = event[1], event[2]
                if not job.abandoned:
                    self.send(job.connection, status)
                    self.close(job.connection)
                self.running = None
                self.last_work = time.monotonic()
            else:
                self.worker_busy = False
                self.status = (event[1], event[2])
                if event[3] >= 2:
                    log("the office suite failed to start twice; ending")
                    self.stopping = True

    def shut_down(self):
        path = os.path.join(self.directory, "socket")
        try:
            if os.stat(path).st_ino == self.socket_inode:
                os.unlink(path)
        except OSError:
            pass
        self.listener.close()
        for job in self.waiting:
            self.send(job.connection, "lost the service is ending")
        self.worker.closing = True
        if self.running is not None:
            self.running.kill()
        self.worker.tasks.put(None)
        self.worker.join(KILLED_CALL_LIMIT + SUITE_START_LIMIT)
        if self.worker.is_alive():
            log("service ends with its worker stuck")
            os._exit(1)
        log("service %d ends" % os.getpid())


def served(directory):
    probe = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    try:
        probe.connect(os.path.join(directory, "socket"))
        return True
    except OSError:
        return False
    finally:
        probe.close()


def main(argv):
    directory, program = argv[1], argv[2]
    idle, conversions, memory = int(argv[3]), int(argv[4]), int(argv[5])
    info = os.lstat(directory)
    if info.st_uid != os.getuid() or info.st_mode & 0o077 or not os.path.isdir(directory):
        log("refusing %s: not a private directory of this user" % directory)
        return 1
    lock = open(os.path.join(directory, "lock"), "a")
    # Another service has the directory. When it serves, this one is not
    # needed; when it is ending (its socket is gone already), it lets go of
    # the lock within moments.
    deadline = time.monotonic() + LOCK_WAIT
    while True:
        try:
            fcntl.flock(lock, fcntl.LOCK_EX | fcntl.LOCK_NB)
            break
        except BlockingIOError:
            if time.monotonic() > deadline or served(directory):
                return 0
            time.sleep(0.05)
    Service(directory, program, idle, conversions, memory).run()
    for name in ("profile", "profile-template", "tmp"):
        shutil.rmtree(os.path.join(directory, name), ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
