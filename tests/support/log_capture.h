// LogCapture: collects the plug-in's log lines in a unit test that links the
// modules statically. While an instance lives it is the logger's sink; lines
// from every thread are kept in order. Only one LogCapture may live at a time.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "log/logger.h"

class LogCapture {
public:
    struct Line {
        int level;
        std::string text;
    };

    LogCapture();
    ~LogCapture();

    std::vector<Line> lines() const;
    std::vector<std::string> texts(int level) const;
    // True when some line of `level` (-1: any level) contains `fragment`.
    bool contains(const std::string& fragment, int level = -1) const;
    size_t count(const std::string& fragment, int level = -1) const;
    void clear();

private:
    static void deliver(LogMessage::type level, const char* text);

    mutable std::mutex mMutex;
    std::vector<Line> mLines;
};
