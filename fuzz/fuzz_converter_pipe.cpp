// Fuzzes the converter pipe reader: the input is what a converter wrote to
// its pipe before closing it, fed through a real pipe to
// CConverterOffice::listen. Whatever the bytes, listening must end (the
// write end is closed, so within the input's length, never at the deadline)
// without touching memory it does not own.
#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "converter/converter_office.h"
#include "params/office_plugin_params.h"

namespace {

// A pipe holds 64 KiB by default; larger inputs are cut so that the whole
// input is written before listening starts, on one thread.
const std::size_t kMaxInput = 65536;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // A deadline far enough away never ends a run: only the input does.
    setenv("OFFICE_PLUGINS_TIME_LIMIT", "60", 1);
    COfficePluginParams::getInstance();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > kMaxInput) size = kMaxInput;
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) abort();
    std::size_t written = 0;
    while (written < size) {
        ssize_t done = write(fds[1], data + written, size - written);
        if (done <= 0) abort();
        written += static_cast<std::size_t>(done);
    }
    close(fds[1]);
    CConverterOffice::listen(fds[0]);
    close(fds[0]);
    return 0;
}
