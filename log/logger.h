// CLogger: the one logging operation of the plug-in.
//
// A line is "[VavavozaRozoruv] <function>: <message>", at most 2046
// characters, handed to the browser's private log service of its level
// (0 message, 1 warning, 2 error; any other level is dropped). The function
// name is reduced from the caller's compiler signature (__PRETTY_FUNCTION__).
// Any thread may log. Formatting happens on the caller's stack outside any
// lock; only delivery to the browser is serialised by one process-wide mutex.
#pragma once

namespace LogMessage {
enum type { MESSAGE = 0, WARNING = 1, ERROR = 2 };
}

class CLogger {
public:
    // context is unused (callers pass ""). A line is dropped when formatting
    // fails or the browser did not provide the level's log service.
    static void log(LogMessage::type level, const char* context, const char* functionSignature,
                    const char* format, ...) __attribute__((format(printf, 4, 5)));

    // The function name the line carries for a given signature; writes at
    // most size-1 characters and a terminator into out. Exposed for tests.
    static void reduceFunctionName(const char* signature, char* out, unsigned size);
};

// Log from the current function with its own signature.
#define QV_LOG(level, ...) \
    CLogger::log(static_cast<LogMessage::type>(level), "", __PRETTY_FUNCTION__, __VA_ARGS__)
// The entry line: the prefix alone.
#define QV_LOG_ENTRY() CLogger::log(LogMessage::MESSAGE, "", __PRETTY_FUNCTION__, "%s", "")
