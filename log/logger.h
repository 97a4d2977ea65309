// CLogger: the one logging operation of the plug-in.
//
// A line is "[VavavozaRozoruv] <function>: <message>", at most 2046
// characters, handed to the installed sink with its level (0 message,
// 1 warning, 2 error; any other level is dropped). The function name is
// reduced from the caller's compiler signature (__PRETTY_FUNCTION__).
// Without a sink every line is dropped: the plug-in's entry points install
// one that hands lines to the browser's private log services once the
// browser has provided them.
//
// Any thread may log. Formatting happens on the caller's stack outside any
// lock; only delivery to the sink is serialised by one process-wide mutex,
// so lines from different threads reach the sink whole and one at a time.
#pragma once

namespace LogMessage {
enum type { MESSAGE = 0, WARNING = 1, ERROR = 2 };
}

class CLogger {
public:
    // Receives each finished line; level is 0, 1 or 2. Called under the
    // logger's mutex, on the logging thread; it must not log itself.
    typedef void (*Sink)(LogMessage::type level, const char* line);

    // context is unused (callers pass ""). A line is dropped when formatting
    // fails or no sink is installed.
    static void log(LogMessage::type level, const char* context, const char* functionSignature,
                    const char* format, ...) __attribute__((format(printf, 4, 5)));

    // Installs sink for every later line; null drops lines from then on.
    // Any thread may call; a line being delivered meanwhile finishes first.
    static void setSink(Sink sink);

    // The function name the line carries for a given signature; writes at
    // most size-1 characters and a terminator into out. Exposed for tests.
    static void reduceFunctionName(const char* signature, char* out, unsigned size);
};

// Log from the current function with its own signature.
#define QV_LOG(level, ...) \
    CLogger::log(static_cast<LogMessage::type>(level), "", __PRETTY_FUNCTION__, __VA_ARGS__)
// The entry line: the prefix alone.
#define QV_LOG_ENTRY() CLogger::log(LogMessage::MESSAGE, "", __PRETTY_FUNCTION__, "%s", "")
