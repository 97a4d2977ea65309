// plugin_thread_bench: the longest single call on the browser's plug-in
// thread, the calls the user waits for, when a peer misbehaves.
//
// One run drives one instance of the given library through the host
// stand-in: NPP_New, the first NPP_SetWindow, the posted calls until the
// controller's answer to the registration has arrived (at most 5 s), 290
// more NPP_SetWindow as while the page scrolls (each one a window request
// to the controller), 100 input events (key presses and mouse clicks), a
// 4 MiB document streamed in 64 KiB chunks (NPP_NewStream, NPP_WriteReady,
// NPP_Write, NPP_DestroyStream), the posted calls up to the navigation or
// an error (at most 5 s), and NPP_Destroy. Every one of these calls is
// timed. Cases:
//   healthy  the controller stand-in answers everything
//   stalled  it answers the registration, then reads nothing more (the
//            window requests fill what the socket holds)
//   locked   a process that locked the storage's shared mutex and stopped
//            itself (SIGSTOP) holds it throughout
// The run happens in a child process (its own process group) that reports
// every call as it begins and ends; past the bound the child and its lock
// holder are killed and the figure is "blocked" (a call that had not
// returned) or the longest call seen until then.
//
// Usage: plugin_thread_bench LIBRARY healthy|stalled|locked LABEL [BOUND_S]
// Prints a line for people and
//   result thread_<LABEL>_<case>_max_ms <ms> ms   longest call (or, when
//                                                 blocked, the bound)
//   result thread_<LABEL>_<case>_blocked <0|1> flag
//   call thread_<LABEL>_<case> <name of the longest or blocked call>
// (plugin_thread_bench --hold-lock is the lock holder it starts.)
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <thread>

#include "bench/bench_host.h"
#include "bench/bench_support.h"
#include "platform/qv_shmem.h"
#include "storage/storage_lock.h"
#include "storage/storage_manager.h"

namespace {

const size_t kStreamBytes = 4u * 1024u * 1024u;
const size_t kChunk = 64u * 1024u;
const int kInputEvents = 100;
const int kScrollSteps = 290;

// Locks the storage mutex named by $QV_SHM_PREFIX and stops; killed later.
int holdLock() {
    CQVShMem shMem(CStorageManager::sShMemName, CStorageLockBlock::size());
    if (shMem.create(false) == CQVShMem::FAILED || !shMem.map(CQVShMem::MAP_READ_WRITE)) return 1;
    CQVMutex* mutex = CStorageLockBlock::prepare(shMem.address(), 5000);
    if (mutex == nullptr) return 1;
    mutex->lock();
    raise(SIGSTOP);
    return 0;
}

// Starts the lock holder and waits until it has stopped with the lock.
pid_t startLockHolder() {
    const pid_t pid = fork();
    if (pid == 0) {
        execl("/proc/self/exe", "plugin_thread_bench", "--hold-lock", static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, WUNTRACED) != pid || !WIFSTOPPED(status)) return -1;
    return pid;
}

// The child's side: one line per event on the report pipe.
class Reporter {
public:
    explicit Reporter(int fd) : mFd(fd) {}
    void line(const std::string& text) {
        const std::string out = text + "\n";
        if (write(mFd, out.data(), out.size()) < 0) _exit(3);
    }
    void timed(const char* phase, const char* name, const std::function<void()>& call) {
        line(std::string("begin ") + phase + " " + name);
        const double start = bench::monotonicSeconds();
        call();
        char text[160];
        std::snprintf(text, sizeof(text), "done %s %s %.3f", phase, name, (bench::monotonicSeconds() - start) * 1e3);
        line(text);
    }

private:
    int mFd;
};

// A document the converter stand-in turns into an entry page, padded with
// lines it ignores to kStreamBytes.
std::string document() {
    std::string text = "msg 0 plug-in thread benchmark\nindex\n";
    const std::string pad = "# " + std::string(61, 'x') + "\n";
    while (text.size() + pad.size() <= kStreamBytes) text += pad;
    text.append(kStreamBytes - text.size(), '\n');
    return text;
}

void inputEvent(Reporter& report, host::HostInstance& instance, int i) {
    if (i % 2 == 0) {
        report.timed("input", "NPP_HandleEvent", [&] { instance.key(0, 'a' + i % 26, 0, 0, 0x81); });
    } else {
        report.timed("input", "NPP_HandleEvent", [&] { instance.mouse(i % 4 == 1 ? 0 : 1, 10 + i, 20, 1); });
    }
}

int runCase(const std::string& library, const std::string& which, Reporter& report) {
    bench::BenchHost host;
    if (!host.start(library, RRZ_CONVERTER_STUB_DIR, "rrz-thread-bench")) return 1;
    report.line("root " + host.root());
    const char* prefix = std::getenv("QV_SHM_PREFIX");
    report.line(std::string("shm /dev/shm/") + (prefix != nullptr ? prefix : "") + CStorageManager::sShMemName);
    host.browser().setLogRecording(false);
    pid_t holder = -1;
    if (which == "stalled") host.controller().stopReadingAfter(1);
    if (which == "locked" && (holder = startLockHolder()) < 0) {
        std::fprintf(stderr, "the lock holder did not stop with the lock\n");
        return 1;
    }
    host::HostBrowser& browser = host.browser();
    const NPPluginFuncs& funcs = browser.pluginFuncs();
    host::HostInstance instance(browser);
    const std::string url = "http://bench.test/thread.doc";
    report.timed("setup", "NPP_New", [&] { instance.create("application/msword", {{"src", url}}); });
    report.timed("setup", "NPP_SetWindow", [&] { instance.setWindow(0, 0, 800, 480); });
    // The controller has answered the registration; its answer reaches the
    // plug-in's connection thread a moment later.
    const double registering = bench::monotonicSeconds() + 5;
    for (double grace = 0.05; grace > 0 && bench::monotonicSeconds() < registering;) {
        if (host.controller().lastHandle() != 0) grace -= 0.001;
        report.timed("posted", "PluginThreadAsyncCall", [&] { browser.runPendingCalls(); });
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (host.controller().lastHandle() == 0) report.line("note no registration answer");

    for (int i = 1; i <= kScrollSteps; ++i) {
        report.timed("scroll", "NPP_SetWindow", [&] { instance.setWindow(0, -i, 800, 480); });
    }
    for (int i = 0; i < kInputEvents; ++i) inputEvent(report, instance, i);

    const std::string bytes = document();
    host::HostInstance::Stream stream(instance, url, static_cast<uint32_t>(bytes.size()), "application/msword");
    NPError opened = NPERR_GENERIC_ERROR;
    report.timed("stream", "NPP_NewStream", [&] { opened = stream.begin(); });
    if (opened == NPERR_NO_ERROR) {
        int32_t offset = 0;
        for (int idle = 0; offset < static_cast<int32_t>(bytes.size()) && idle < 100;) {
            int32_t ready = 0;
            report.timed("stream", "NPP_WriteReady", [&] { ready = funcs.writeready(instance.npp(), &stream.npStream()); });
            if (ready <= 0) {
                ++idle;
                report.timed("posted", "PluginThreadAsyncCall", [&] { browser.runPendingCalls(); });
                continue;
            }
            const int32_t length = std::min<int32_t>({ready, static_cast<int32_t>(kChunk),
                                                      static_cast<int32_t>(bytes.size()) - offset});
            int32_t taken = 0;
            report.timed("stream", "NPP_Write", [&] {
                taken = funcs.write(instance.npp(), &stream.npStream(), offset, length,
                                    const_cast<char*>(bytes.data() + offset));
            });
            if (taken < 0) break;
            offset += taken;
        }
        report.timed("stream", "NPP_DestroyStream", [&] { stream.finish(NPRES_DONE); });
    } else {
        report.line("note the stream was refused");
    }
    const double until = bench::monotonicSeconds() + 5;
    while (browser.navigations().empty() && browser.messages().empty() && bench::monotonicSeconds() < until) {
        report.timed("posted", "PluginThreadAsyncCall", [&] { browser.runPendingCalls(); });
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (browser.navigations().empty()) report.line("note no navigation");
    report.timed("destroy", "NPP_Destroy", [&] { instance.destroy(); });
    if (holder > 0) {
        kill(holder, SIGKILL);
        waitpid(holder, nullptr, 0);
    }
    report.line("end");
    return 0;
}

struct Outcome {
    double longest = 0;
    std::string longestCall = "none";
    std::map<std::string, double> phases;
    std::string pending;  // a call that began and has not ended
    double pendingSince = 0;
    std::string root, shm;
    bool ended = false;
};

void take(Outcome& outcome, const std::string& line) {
    char kind[16], phase[32], name[64];
    double ms = 0;
    if (std::sscanf(line.c_str(), "begin %31s %63s", phase, name) == 2) {
        outcome.pending = name;
        outcome.pendingSince = bench::monotonicSeconds();
    } else if (std::sscanf(line.c_str(), "done %31s %63s %lf", phase, name, &ms) == 3) {
        const std::string call(name);
        outcome.pending.clear();
        outcome.phases[phase] = std::max(outcome.phases[phase], ms);
        if (ms > outcome.longest) {
            outcome.longest = ms;
            outcome.longestCall = call;
        }
    } else if (std::sscanf(line.c_str(), "%15s", kind) == 1) {
        const std::string rest = line.size() > std::strlen(kind) + 1 ? line.substr(std::strlen(kind) + 1) : "";
        if (std::strcmp(kind, "root") == 0) outcome.root = rest;
        if (std::strcmp(kind, "shm") == 0) outcome.shm = rest;
        if (std::strcmp(kind, "end") == 0) outcome.ended = true;
        if (std::strcmp(kind, "note") == 0) std::fprintf(stderr, "%s\n", rest.c_str());
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--hold-lock") == 0) return holdLock();
    if (argc < 4) {
        std::fprintf(stderr, "usage: plugin_thread_bench LIBRARY healthy|stalled|locked LABEL [BOUND_S]\n");
        return 2;
    }
    const std::string library = argv[1], which = argv[2], label = argv[3];
    const double bound = argc > 4 ? std::atof(argv[4]) : 20;
    if (which != "healthy" && which != "stalled" && which != "locked") return 2;

    int pipeFds[2];
    if (pipe(pipeFds) != 0) return 1;
    const pid_t child = fork();
    if (child < 0) return 1;
    if (child == 0) {
        setpgid(0, 0);
        close(pipeFds[0]);
        Reporter report(pipeFds[1]);
        _exit(runCase(library, which, report));
    }
    setpgid(child, child);
    close(pipeFds[1]);
    Outcome outcome;
    std::string buffer;
    const double deadline = bench::monotonicSeconds() + bound;
    bool finished = false;
    while (!finished) {
        const double left = deadline - bench::monotonicSeconds();
        if (left <= 0) break;
        pollfd entry{pipeFds[0], POLLIN, 0};
        if (poll(&entry, 1, static_cast<int>(left * 1000) + 1) <= 0) continue;
        char chunk[4096];
        const ssize_t got = read(pipeFds[0], chunk, sizeof(chunk));
        if (got <= 0) {
            finished = true;
            break;
        }
        buffer.append(chunk, static_cast<size_t>(got));
        for (size_t end; (end = buffer.find('\n')) != std::string::npos; buffer.erase(0, end + 1)) {
            take(outcome, buffer.substr(0, end));
        }
    }
    int status = 0;
    if (!finished) kill(-child, SIGKILL);
    waitpid(child, &status, 0);
    if (!finished) {
        // Killed: what the child would have removed on its way out.
        if (!outcome.root.empty()) bench::removeTree(outcome.root);
        if (!outcome.shm.empty()) unlink(outcome.shm.c_str());
    } else if (!outcome.ended || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "plugin_thread_bench: the %s run failed\n", which.c_str());
        return 1;
    }
    // A call still running at the bound counts when it has run longer than
    // any call that returned.
    const double blockedMs = outcome.pending.empty() ? 0 : (bench::monotonicSeconds() - outcome.pendingSince) * 1e3;
    const bool blocked = !finished && blockedMs > outcome.longest;
    std::string phases;
    for (const auto& phase : outcome.phases) {
        char text[64];
        std::snprintf(text, sizeof(text), "%s%s %.1f ms", phases.empty() ? "" : ", ", phase.first.c_str(),
                      phase.second);
        phases += text;
    }
    if (blocked) {
        std::printf("%s %s: %s blocked for more than %.1f s (before it: %s)\n", label.c_str(), which.c_str(),
                    outcome.pending.c_str(), blockedMs / 1e3, phases.c_str());
    } else {
        std::printf("%s %s: longest call %s %.1f ms (%s)%s\n", label.c_str(), which.c_str(),
                    outcome.longestCall.c_str(), outcome.longest, phases.c_str(),
                    finished ? "" : ", cut off at the bound");
    }
    const std::string key = "thread_" + label + "_" + which;
    bench::printResult(key + "_max_ms", blocked ? blockedMs : outcome.longest, "ms");
    bench::printResult(key + "_blocked", blocked ? 1 : 0, "flag");
    std::printf("call %s %s\n", key.c_str(), blocked ? outcome.pending.c_str() : outcome.longestCall.c_str());
    return 0;
}
