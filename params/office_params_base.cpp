#include "params/office_params_base.h"

#include <cstdlib>
#include <cstring>

COfficeParamsBase* COfficeParamsBase::instance = nullptr;

// The singleton lives as long as the library: released when the library is
// unloaded (or the process ends), so that loading it again leaks nothing.
struct COfficeParamsBaseRelease {
    ~COfficeParamsBaseRelease() {
        delete COfficeParamsBase::instance;
        COfficeParamsBase::instance = nullptr;
    }
};
static COfficeParamsBaseRelease gCOfficeParamsBaseRelease;

COfficeParamsBase* COfficeParamsBase::getInstance() {
    if (instance == nullptr) instance = new COfficeParamsBase();
    return instance;
}

void COfficeParamsBase::reload() {
    COfficeParamsBase* fresh = new COfficeParamsBase();
    delete instance;
    instance = fresh;
}

COfficeParamsBase::COfficeParamsBase()
    : mFontsPath(getPath("OFFICE_PLUGINS_FONTS", "/opt/conn/data/fonts/")),
      mBinPath(getPath("OFFICE_PLUGINS_BIN", "/opt/conn/bin/")),
      mDataPath(getPath("OFFICE_PLUGINS_DATA", "/mnt/share/ons/plugins/")),
      mResourcesPath(getPath("OFFICE_PLUGINS_RESOURCES", "/mnt/share/ons/plugins/resources/")),
      mTempDataPath(mDataPath),
      mPathPrefix(getPath("OFFICE_PLUGINS_PATH_PREFIX", "")),
      mFileSizeLimit(getULInt("OFFICE_PLUGINS_FILE_SIZE_LIMIT", "2")) {}

COfficeParamsBase::~COfficeParamsBase() {
    delete[] mFontsPath;
    delete[] mBinPath;
    delete[] mDataPath;  // also mTempDataPath
    delete[] mResourcesPath;
    delete[] mPathPrefix;
}

const char* COfficeParamsBase::getValue(ParamsBaseValue value) const {
    switch (value) {
        case FONTS_PATH: return mFontsPath;
        case BIN_PATH: return mBinPath;
        case DATA_PATH: return mDataPath;
        case RESOURCES_PATH: return mResourcesPath;
        case TEMP_DATA_PATH: return mTempDataPath;
        case PATH_PREFIX: return mPathPrefix;
    }
    return nullptr;
}

uint32_t COfficeParamsBase::getMemoryLimit() { return getULInt("OFFICE_PLUGINS_MEMORY_LIMIT", "-1"); }

uint32_t COfficeParamsBase::getULInt(const char* name, const char* defaultText) {
    const char* text = name ? std::getenv(name) : nullptr;
    if (text == nullptr) text = defaultText;
    if (text == nullptr) return 0;
    // atoi's syntax, but without its undefined behaviour on overflow: only
    // the low 32 bits of the byte count are kept anyway.
    while (*text == ' ' || (*text >= '\t' && *text <= '\r')) ++text;
    bool negative = false;
    if (*text == '+' || *text == '-') negative = *text++ == '-';
    uint32_t megabytes = 0;
    for (; *text >= '0' && *text <= '9'; ++text) megabytes = megabytes * 10u + static_cast<uint32_t>(*text - '0');
    if (negative) megabytes = 0u - megabytes;
    return megabytes << 20;
}

char* COfficeParamsBase::getPath(const char* name, const char* defaultText) {
    if (name == nullptr || defaultText == nullptr) return nullptr;
    const char* value = std::getenv(name);
    const char* source = value ? value : defaultText;
    size_t length = std::strlen(source);
    bool addSlash = value != nullptr && (length == 0 || source[length - 1] != '/');
    char* path = new char[length + (addSlash ? 2 : 1)];
    std::memcpy(path, source, length);
    if (addSlash) path[length++] = '/';
    path[length] = '\0';
    return path;
}
