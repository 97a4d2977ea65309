// Fuzzes the configuration values read from the environment on every use:
// the time limit (scanned as a floating-point number and turned into the
// conversion deadline), the memory limit and the megabyte parser behind the
// file size limit, the path reader and the extension list.
//
// Input: up to four values separated by NUL bytes, in the order time limit,
// memory limit, a path, the extension list.
#include <time.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "converter/converter_office.h"
#include "params/office_params_base.h"
#include "params/office_plugin_params.h"

namespace {

std::vector<std::string> fields(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> out(1);
    for (std::size_t i = 0; i < size && out.size() <= 4; ++i) {
        if (data[i] == 0) {
            out.emplace_back();
        } else {
            out.back().push_back(static_cast<char>(data[i]));
        }
    }
    out.resize(4);
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> values = fields(data, size);
    setenv("OFFICE_PLUGINS_TIME_LIMIT", values[0].c_str(), 1);
    setenv("OFFICE_PLUGINS_MEMORY_LIMIT", values[1].c_str(), 1);
    setenv("RRZ_FUZZ_PATH", values[2].c_str(), 1);
    setenv("OFFICE_PLUGINS_MIME_TYPES", values[3].c_str(), 1);

    COfficePluginParams* params = COfficePluginParams::getInstance();
    double limit = params->getDoubleValue(COfficePluginParams::TIME_LIMIT);
    (void)limit;
    timespec killTime;
    timespec startTime;
    if (CConverterOffice::getKillTime(killTime, startTime)) {
        // The deadline never lies before the start, whatever the limit.
        if (killTime.tv_sec < startTime.tv_sec) abort();
    }
    for (int value = COfficePluginParams::BACKGROUND_COLOR_RED; value <= COfficePluginParams::ERROR_COLOR_BLUE;
         ++value) {
        double component = params->getDoubleValue(static_cast<COfficePluginParams::OfficePluginParamsValue>(value));
        if (!(component >= 0.0 && component <= 1.0)) abort();
    }
    const char* types = params->getValue(COfficePluginParams::MIME_TYPES);
    if (types == nullptr || std::strcmp(types, values[3].c_str()) != 0) abort();

    COfficeParamsBase::getMemoryLimit();
    COfficeParamsBase::getULInt("OFFICE_PLUGINS_MEMORY_LIMIT", "-1");
    char* path = COfficeParamsBase::getPath("RRZ_FUZZ_PATH", "/default/");
    if (path == nullptr) abort();
    std::size_t length = std::strlen(path);
    if (length == 0 || path[length - 1] != '/') abort();
    delete[] path;
    return 0;
}
