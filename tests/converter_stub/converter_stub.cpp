// A stand-in for the converter program, for tests. It is built under the
// name DerazoZoraveMain and started by the plug-in exactly like the real
// converter:
//   DerazoZoraveMain <source file> <entry page path> <pipe descriptor>
//
// The source file is its script: one command per line, run in order; the
// program ends (closing the pipe) after the last one. So a test chooses the
// converter's behaviour through the document it converts, and two
// conversions running at once can behave differently.
//
//   msg <type> <text>        one message, header and text in one write
//   split <type> <text>      one message written one byte at a time
//   header <type> <length>   a header alone, announcing length bytes
//   garbage <n>              n bytes of 0xAB
//   flood <count> <type> <text>  count messages "<text> <i>"
//   sleep <ms>               pause
//   hang                     wait forever
//   closepipe                close the pipe descriptor, keep running
//   index [text]             write the entry page and an asset next to it
//   record <path>            write argv, environment, open descriptors,
//                            pid and process group to path
//   helper <pidfile>         start a helper process (same process group)
//                            that writes its pid to pidfile and waits
//                            forever; it does not keep the pipe open
//   fill <n>                 write an asset of n bytes next to the entry
//                            page (an output of a chosen size)
//   grandchild               fork a child (same process group) that keeps
//                            the pipe open and waits forever
//   ignoreterm               ignore SIGTERM from here on
//   exit <code>              end now with that status
//   raise <signal>           die now from that signal (a crash)
//
// Started with any other number of arguments, it ends with 2.
#include <dirent.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

int gPipe = -1;

bool writeAll(const void* data, size_t size) {
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t done = write(gPipe, bytes, size);
        if (done < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes += done;
        size -= static_cast<size_t>(done);
    }
    return true;
}

std::string header(int32_t type, uint32_t length) {
    char bytes[8];
    std::memcpy(bytes, &type, 4);
    std::memcpy(bytes + 4, &length, 4);
    return std::string(bytes, 8);
}

bool sendMessage(int32_t type, const std::string& text) {
    std::string whole = header(type, static_cast<uint32_t>(text.size())) + text;
    return writeAll(whole.data(), whole.size());
}

void sleepMs(long ms) {
    struct timespec pause = {ms / 1000, (ms % 1000) * 1000000L};
    while (nanosleep(&pause, &pause) != 0 && errno == EINTR) {
    }
}

std::string restOf(std::istringstream& in) {
    std::string rest;
    std::getline(in, rest);
    if (!rest.empty() && rest[0] == ' ') rest.erase(0, 1);
    return rest;
}

// Written under a temporary name and renamed, so a reader never sees a part.
bool writeFile(const std::string& path, const std::string& content) {
    std::string temporary = path + ".part";
    {
        std::ofstream out(temporary, std::ios::binary);
        out << content;
        if (!out) return false;
    }
    return std::rename(temporary.c_str(), path.c_str()) == 0;
}

void record(const std::string& path, int argc, char** argv) {
    std::ostringstream out;
    out << "argc=" << argc << "\n";
    for (int i = 0; i < argc; ++i) out << "argv=" << argv[i] << "\n";
    for (char** env = environ; *env != nullptr; ++env) out << "env=" << *env << "\n";
    DIR* dir = opendir("/proc/self/fd");
    int own = dir != nullptr ? dirfd(dir) : -1;
    for (struct dirent* entry; dir != nullptr && (entry = readdir(dir)) != nullptr;) {
        if (entry->d_name[0] == '.') continue;
        if (std::atoi(entry->d_name) == own) continue;
        out << "fd=" << entry->d_name << "\n";
    }
    if (dir != nullptr) closedir(dir);
    out << "pid=" << getpid() << "\n";
    out << "pgid=" << getpgid(0) << "\n";
    writeFile(path, out.str());
}

void startHelper(const std::string& pidFile) {
    pid_t helper = fork();
    if (helper == 0) {
        close(gPipe);
        writeFile(pidFile, std::to_string(getpid()));
        for (;;) pause();
    }
    // Wait until the helper has told its pid, so the test can rely on it.
    for (int i = 0; i < 500 && access(pidFile.c_str(), F_OK) != 0; ++i) sleepMs(2);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) return 2;
    gPipe = std::atoi(argv[3]);
    std::istringstream script;
    {
        // Read whole and closed, so that the converter holds no descriptor
        // beyond the ones it was given.
        std::ifstream file(argv[1], std::ios::binary);
        if (!file) {
            return 2;
        }
        std::ostringstream text;
        text << file.rdbuf();
        script.str(text.str());
    }
    std::string line;
    while (std::getline(script, line)) {
        std::istringstream in(line);
        std::string command;
        in >> command;
        if (command == "msg") {
            int32_t type = 0;
            in >> type;
            sendMessage(type, restOf(in));
        } else if (command == "split") {
            int32_t type = 0;
            in >> type;
            std::string text = restOf(in);
            std::string whole = header(type, static_cast<uint32_t>(text.size())) + text;
            for (char c : whole) {
                writeAll(&c, 1);
                sleepMs(2);
            }
        } else if (command == "header") {
            int32_t type = 0;
            uint32_t length = 0;
            in >> type >> length;
            std::string bytes = header(type, length);
            writeAll(bytes.data(), bytes.size());
        } else if (command == "garbage") {
            size_t n = 0;
            in >> n;
            std::string bytes(n, '\xAB');
            writeAll(bytes.data(), bytes.size());
        } else if (command == "flood") {
            int count = 0;
            int32_t type = 0;
            in >> count >> type;
            std::string text = restOf(in);
            for (int i = 0; i < count; ++i) sendMessage(type, text + " " + std::to_string(i));
        } else if (command == "sleep") {
            long ms = 0;
            in >> ms;
            sleepMs(ms);
        } else if (command == "hang") {
            for (;;) pause();
        } else if (command == "closepipe") {
            close(gPipe);
        } else if (command == "index") {
            std::string page = argv[2];
            std::string dir = page.substr(0, page.find_last_of('/') + 1);
            mkdir((dir + "assets").c_str(), 0777);
            writeFile(dir + "assets/style.css", "body { margin: 0 }\n");
            writeFile(page, "<html><body>" + restOf(in) + "</body></html>\n");
        } else if (command == "record") {
            std::string path;
            in >> path;
            record(path, argc, argv);
        } else if (command == "helper") {
            std::string path;
            in >> path;
            startHelper(path);
        } else if (command == "fill") {
            size_t n = 0;
            in >> n;
            std::string page = argv[2];
            std::string dir = page.substr(0, page.find_last_of('/') + 1);
            mkdir((dir + "assets").c_str(), 0777);
            writeFile(dir + "assets/fill.bin", std::string(n, 'f'));
        } else if (command == "grandchild") {
            if (fork() == 0) {
                for (;;) pause();
            }
        } else if (command == "ignoreterm") {
            signal(SIGTERM, SIG_IGN);
        } else if (command == "raise") {
            int sig = 0;
            in >> sig;
            signal(sig, SIG_DFL);
            raise(sig);
        } else if (command == "exit") {
            int code = 0;
            in >> code;
            return code;
        }
    }
    return 0;
}
