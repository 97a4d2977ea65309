// Fuzzes the converter pipe reader: the input (up to the 64 KiB a pipe
// holds) is what a converter wrote before closing its pipe, read by
// CConverterOffice::listen through a real pipe. Listening must end with the
// input, the deadline being far away, and touch no memory it does not own.
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>

#include "converter/converter_office.h"
#include "params/office_plugin_params.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    setenv("OFFICE_PLUGINS_TIME_LIMIT", "60", 1);
    COfficePluginParams::getInstance();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    int fds[2];
    if (size > 65536 || pipe2(fds, O_CLOEXEC) != 0) return 0;
    for (std::size_t written = 0; written < size;) {
        ssize_t done = write(fds[1], data + written, size - written);
        if (done <= 0) abort();
        written += static_cast<std::size_t>(done);
    }
    close(fds[1]);
    CConverterOffice::listen(fds[0]);
    close(fds[0]);
    return 0;
}
