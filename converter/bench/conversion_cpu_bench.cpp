// conversion_cpu_bench: how much CPU the plug-in side spends while a
// converter works. Runs one conversion with the converter stand-in, which
// sends a progress message every 100 ms for 5 seconds, and prints the CPU
// time of this process (all its threads) as a fraction of the wall time.
// Waiting on the pipe should cost next to nothing: the target is below 0.02.
//
// Usage: conversion_cpu_bench [seconds, default 5]

#include <stdlib.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "converter/converter_office.h"

namespace {

double clockSeconds(clockid_t clock) {
    timespec now;
    clock_gettime(clock, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

}  // namespace

int main(int argc, char** argv) {
    int seconds = argc > 1 ? std::atoi(argv[1]) : 5;
    if (seconds <= 0) seconds = 5;
    setenv("OFFICE_PLUGINS_BIN", RRZ_CONVERTER_STUB_DIR, 1);
    setenv("OFFICE_PLUGINS_TIME_LIMIT", "600", 1);

    char pattern[] = "/tmp/rrz_conversion_bench_XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    std::string dir = pattern;
    std::string source = dir + "/document.docx";
    std::string destination = dir + "/out/";
    mkdir(destination.c_str(), 0777);
    {
        std::ofstream script(source);
        for (int i = 0; i < seconds * 10; ++i) script << "msg 0 progress " << i << "\nsleep 100\n";
        script << "index\n";
    }

    double wallBefore = clockSeconds(CLOCK_MONOTONIC);
    double cpuBefore = clockSeconds(CLOCK_PROCESS_CPUTIME_ID);
    bool complete = false;
    {
        CConverterOffice converter;
        converter.convertFile(source.c_str(), destination.c_str());
        complete = converter.isConversionComplete();
    }
    double cpu = clockSeconds(CLOCK_PROCESS_CPUTIME_ID) - cpuBefore;
    double wall = clockSeconds(CLOCK_MONOTONIC) - wallBefore;

    std::remove((destination + "assets/style.css").c_str());
    rmdir((destination + "assets").c_str());
    std::remove((destination + "index.html").c_str());
    rmdir(destination.c_str());
    std::remove(source.c_str());
    rmdir(dir.c_str());

    std::printf("conversion %s; plug-in CPU %.4f s / wall %.3f s = %.4f (target < 0.02)\n",
                complete ? "complete" : "NOT complete", cpu, wall, cpu / wall);
    return complete ? 0 : 1;
}
