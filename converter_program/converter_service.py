# The office suite service: one long-lived process per user that keeps one
# office suite running and converts documents for DerazoZoraveMain one at a
# time, so that a conversion does not pay for the suite's start. The suite
# and the thread that drives it are in office_suite.py.
#
# DerazoZoraveMain (service_launcher.cpp) writes this file, office_suite.py
# and office_export.py into the service directory and starts it in a session of
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
import selectors
import shutil
import signal
import socket
import struct
import sys
import time

from office_suite import GRACEFUL_END_LIMIT, Job, Suite, Worker, log

GREETING = b"rrz-converter-service 1\n"
MAX_REQUEST = 65536
MAX_WAITING = 32
LOCK_WAIT = 5.0
REQUEST_LIMIT = 10.0  # seconds from connecting to a complete request
KILLED_CALL_LIMIT = 20.0  # a conversion whose suite was killed must come back by then


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
        job = self.running
        if job is not None and job.deadline is not None and job.killed_at is None:
            return max(0.0, min(1.0, job.deadline - time.monotonic()))
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
            elif event[0] == "idle":
                self.worker_busy = False
                self.status = (event[1], event[2])
                if event[3] >= 2:
                    log("the office suite failed to start twice; ending")
                    self.stopping = True
            else:
                self.running = None
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
        self.worker.suite.closing = True
        if self.running is not None:
            self.running.kill()
        self.worker.tasks.put(None)
        self.worker.join(KILLED_CALL_LIMIT + GRACEFUL_END_LIMIT)
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
