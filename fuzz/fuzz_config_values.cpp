// Fuzzes the configuration values read from the environment on every use:
// the time limit (a floating-point number, turned into the conversion
// deadline), the memory limit and megabyte parser, the path reader and the
// extension list. Input: those four values, separated by NUL bytes.
#include <time.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "converter/converter_office.h"
#include "params/office_params_base.h"
#include "params/office_plugin_params.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string values[4];
    for (std::size_t i = 0, field = 0; i < size && field < 4; ++i) {
        if (data[i] == 0) ++field; else values[field].push_back(static_cast<char>(data[i]));
    }
    setenv("OFFICE_PLUGINS_TIME_LIMIT", values[0].c_str(), 1);
    setenv("OFFICE_PLUGINS_MEMORY_LIMIT", values[1].c_str(), 1);
    setenv("RRZ_FUZZ_PATH", values[2].c_str(), 1);
    setenv("OFFICE_PLUGINS_MIME_TYPES", values[3].c_str(), 1);
    COfficePluginParams* params = COfficePluginParams::getInstance();
    params->getDoubleValue(COfficePluginParams::TIME_LIMIT);
    timespec killTime, startTime;
    // The deadline never lies before the start, whatever the limit.
    if (CConverterOffice::getKillTime(killTime, startTime) && killTime.tv_sec < startTime.tv_sec) abort();
    using Value = COfficePluginParams::OfficePluginParamsValue;
    for (int value = Value::BACKGROUND_COLOR_RED; value <= Value::ERROR_COLOR_BLUE; ++value) {
        double component = params->getDoubleValue(static_cast<Value>(value));
        if (!(component >= 0.0 && component <= 1.0)) abort();
    }
    const char* types = params->getValue(COfficePluginParams::MIME_TYPES);
    if (types == nullptr || values[3] != types) abort();
    COfficeParamsBase::getMemoryLimit();
    COfficeParamsBase::getULInt("OFFICE_PLUGINS_MEMORY_LIMIT", "-1");
    char* path = COfficeParamsBase::getPath("RRZ_FUZZ_PATH", "/default/");
    if (path == nullptr || path[0] == '\0' || path[std::strlen(path) - 1] != '/') abort();
    delete[] path;
    return 0;
}
