// COfficeParamsBase: directory paths and byte limits of the plug-in, read from
// the environment once, when the singleton is first used, and never written
// back. The singleton lives until the library is unloaded.
//
// Paths taken from the environment always end in "/"; defaults are used as
// they stand. getInstance() takes no lock: the first call happens on the
// browser's plug-in thread before any worker thread exists.
#pragma once

#include <cstdint>

class COfficeParamsBase {
public:
    enum ParamsBaseValue {
        FONTS_PATH = 0,
        BIN_PATH = 1,
        DATA_PATH = 2,
        RESOURCES_PATH = 3,
        TEMP_DATA_PATH = 4,
        PATH_PREFIX = 5
    };

    static COfficeParamsBase* getInstance();
    // Replaces the process's instance with one read from the environment as
    // it is now. For tests, between their cases: texts handed out before
    // are gone, and no other thread may be using the values.
    static void reload();

    // Reads the environment now. The plug-in uses the one instance of
    // getInstance(); tests may build their own.
    COfficeParamsBase();

    // The selected path, or null for a value outside the enumeration.
    const char* getValue(ParamsBaseValue value) const;
    const char* getPathPrefix() const { return mPathPrefix; }
    uint32_t getFileSizeLimit() const { return mFileSizeLimit; }

    // OFFICE_PLUGINS_MEMORY_LIMIT in bytes, read on every call (default "-1").
    static uint32_t getMemoryLimit();

    // The variable (or defaultText when unset) parsed like atoi, taken as
    // megabytes and converted to bytes, keeping the low 32 bits.
    static uint32_t getULInt(const char* name, const char* defaultText);
    // A new[] copy owned by the caller: the variable's value with "/" appended
    // when it does not end in one, or defaultText unchanged when unset; null
    // when either argument is null.
    static char* getPath(const char* name, const char* defaultText);

    virtual ~COfficeParamsBase();

    COfficeParamsBase(const COfficeParamsBase&) = delete;
    COfficeParamsBase& operator=(const COfficeParamsBase&) = delete;

private:
    friend struct COfficeParamsBaseRelease;
    static COfficeParamsBase* instance;

    char* mFontsPath;
    char* mBinPath;
    char* mDataPath;
    char* mResourcesPath;
    char* mTempDataPath;  // the same text as mDataPath, not a copy
    char* mPathPrefix;
    uint32_t mFileSizeLimit;
};
