// Helpers shared by the benchmark programs: clocks, temporary directories,
// child processes timed from fork to exit, the process's peak resident set,
// and the "result <key> <value> <unit>" lines scripts/bench.sh collects.
//
// Benchmarks are single-threaded on their own side; none of these functions
// is meant to be called from more than one thread at a time.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace bench {

double monotonicSeconds();
// CPU time of the whole process (every thread), and of the calling thread.
double processCpuSeconds();
double threadCpuSeconds();

// A new directory /tmp/<tag>-XXXXXX; empty (with a message on stderr) when
// it cannot be made.
std::string makeTempDir(const std::string& tag);
// Removes path and everything under it; true when nothing is left.
bool removeTree(const std::string& path);
bool writeFile(const std::string& path, const std::string& bytes);
// Empty when the file cannot be read.
std::string readFile(const std::string& path);
// Deterministic, incompressible bytes (xorshift), the same for a seed.
std::string pseudoRandomBytes(size_t size, unsigned seed);

// The value in KiB of a "Name:   1234 kB" line of a /proc/<pid>/status
// text, or -1 when the field is missing or malformed.
long statusFieldKiB(const std::string& statusText, const std::string& field);
// VmHWM of this process in KiB, or -1.
long peakResidentKiB();

// The middle value (mean of the two middle ones for an even count); 0 for
// an empty list.
double median(std::vector<double> values);

typedef std::vector<std::pair<std::string, std::string>> Environment;

struct ChildRun {
    int status = -1;       // exit status, or -1 when it did not exit normally or did not start
    double seconds = 0;    // wall time from fork to exit
    double cpuSeconds = 0; // user + system time of the child (its own waited-for children included)
};

// Runs argv[0] (a path) with argv, the current environment plus extra,
// stdout written to outputPath ("" keeps ours) and stderr to errorPath
// ("" keeps ours). Waits for it.
ChildRun runProgram(const std::vector<std::string>& argv, const Environment& extra = Environment(),
                    const std::string& outputPath = "", const std::string& errorPath = "");

// Prints "result <key> <value> <unit>" on stdout and flushes.
void printResult(const std::string& key, double value, const std::string& unit);

}  // namespace bench
