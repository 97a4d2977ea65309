// Configuration from the environment. Every test sets the environment it
// reads and builds its own values, so the tests hold in any order and in one
// process.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "params/office_plugin_params.h"

namespace {

void setOrUnset(const char* name, const char* value) {
    if (value) setenv(name, value, 1); else unsetenv(name);
}

TEST(Params, PathsEndInASlashAndMegabytesAreParsedLikeAtoi) {
    const struct { const char *value, *defaultText, *path; } paths[] = {  // value null: unset
        {"/data/x", "/d/", "/data/x/"}, {"/data/x/", "/d/", "/data/x/"}, {"", "/d/", "/"},
        {nullptr, "/d", "/d"},           {"/x", nullptr, "<null>"}};
    for (const auto& row : paths) {
        setOrUnset("RRZ_TEST_PATH", row.value);
        char* path = COfficeParamsBase::getPath("RRZ_TEST_PATH", row.defaultText);
        EXPECT_EQ(row.path, std::string(path ? path : "<null>")) << (row.value ? row.value : "unset");
        delete[] path;
    }
    const struct { const char* text; uint32_t bytes; } sizes[] = {  // text null: unset, default "1"
        {"2", 2097152u}, {"-1", 4293918720u}, {"4096", 0u}, {"  7mb", 7340032u}, {"abc", 0u}, {nullptr, 1048576u}};
    for (const auto& row : sizes) {
        setOrUnset("RRZ_TEST_MB", row.text);
        EXPECT_EQ(row.bytes, COfficeParamsBase::getULInt("RRZ_TEST_MB", "1")) << (row.text ? row.text : "unset");
    }
    unsetenv("RRZ_TEST_PATH");
    unsetenv("RRZ_TEST_MB");
}

TEST(Params, DefaultsAndOverridesOfTheBaseValues) {
    const char* names[] = {"OFFICE_PLUGINS_FONTS", "OFFICE_PLUGINS_BIN", "OFFICE_PLUGINS_DATA",
                           "OFFICE_PLUGINS_RESOURCES", "OFFICE_PLUGINS_PATH_PREFIX", "OFFICE_PLUGINS_FILE_SIZE_LIMIT",
                           "OFFICE_PLUGINS_MEMORY_LIMIT"};
    for (const char* name : names) unsetenv(name);
    COfficeParamsBase defaults;
    EXPECT_STREQ("/opt/conn/data/fonts/", defaults.getValue(COfficeParamsBase::FONTS_PATH));
    EXPECT_STREQ("/opt/conn/bin/", defaults.getValue(COfficeParamsBase::BIN_PATH));
    EXPECT_STREQ("/mnt/share/ons/plugins/", defaults.getValue(COfficeParamsBase::TEMP_DATA_PATH));
    EXPECT_STREQ("/mnt/share/ons/plugins/resources/", defaults.getValue(COfficeParamsBase::RESOURCES_PATH));
    EXPECT_STREQ("", defaults.getPathPrefix());
    EXPECT_EQ(2097152u, defaults.getFileSizeLimit());
    EXPECT_EQ(4293918720u, COfficeParamsBase::getMemoryLimit());
    setenv("OFFICE_PLUGINS_DATA", "/data/x", 1);
    setenv("OFFICE_PLUGINS_FILE_SIZE_LIMIT", "5", 1);
    COfficeParamsBase::reload();
    EXPECT_STREQ("/data/x/", COfficeParamsBase::getInstance()->getValue(COfficeParamsBase::TEMP_DATA_PATH));
    EXPECT_EQ(5u << 20, COfficeParamsBase::getInstance()->getFileSizeLimit());
    setenv("OFFICE_PLUGINS_DATA", "/elsewhere", 1);
    setenv("OFFICE_PLUGINS_MEMORY_LIMIT", "3", 1);
    EXPECT_STREQ("/data/x/", COfficePluginParams::getInstance()->getValue(COfficeParamsBase::DATA_PATH));
    EXPECT_EQ(3u << 20, COfficeParamsBase::getMemoryLimit());  // read on every call
    for (const char* name : names) unsetenv(name);
    COfficeParamsBase::reload();
}

TEST(Params, PluginValuesAreReadOnEveryCallAndColoursAreFixed) {
    COfficePluginParams* params = COfficePluginParams::getInstance();
    const struct { const char *text, *types; } mimeRows[] = {  // text null: unset
        {nullptr, "doc,docx,xls,xlsx,ppt,pptx"}, {"", ""}, {"doc", "doc"}};
    for (const auto& row : mimeRows) {
        setOrUnset("OFFICE_PLUGINS_MIME_TYPES", row.text);
        EXPECT_STREQ(row.types, params->getValue(COfficePluginParams::MIME_TYPES));
    }
    const struct { const char* text; double seconds; } limitRows[] = {  // text null: unset
        {"30", 30.0}, {"2.5", 2.5}, {"abc", 600.0}, {"45s", 45.0}, {"", 600.0}, {nullptr, 600.0}};
    for (const auto& row : limitRows) {
        setOrUnset("OFFICE_PLUGINS_TIME_LIMIT", row.text);
        EXPECT_DOUBLE_EQ(row.seconds, params->getDoubleValue(COfficePluginParams::TIME_LIMIT)) << row.seconds;
    }
    unsetenv("OFFICE_PLUGINS_MIME_TYPES");
    // Background, foreground, progress and error, red first; beyond them 0.
    const int rgb[][3] = {{46, 52, 54}, {238, 238, 236}, {52, 101, 164}, {239, 41, 41}, {0, 0, 0}};
    for (int i = 0; i < 15; ++i) {
        int value = COfficePluginParams::BACKGROUND_COLOR_RED + i;
        EXPECT_DOUBLE_EQ(rgb[i / 3][i % 3] / 255.0,
                         params->getDoubleValue(static_cast<COfficePluginParams::OfficePluginParamsValue>(value)))
            << value;
    }
}

}  // namespace
