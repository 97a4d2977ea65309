// Each CTest entry runs in a process of its own, so every test sets the
// environment before the singletons are first used.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "params/office_plugin_params.h"

namespace {

std::string owned(char* text) {
    std::string copy = text ? text : "<null>";
    delete[] text;
    return copy;
}

TEST(ParamsPath, EnvironmentPathsEndInASlash) {
    setenv("RRZ_TEST_PATH", "/data/x", 1);
    EXPECT_EQ("/data/x/", owned(COfficeParamsBase::getPath("RRZ_TEST_PATH", "/d/")));
    setenv("RRZ_TEST_PATH", "/data/x/", 1);
    EXPECT_EQ("/data/x/", owned(COfficeParamsBase::getPath("RRZ_TEST_PATH", "/d/")));
    setenv("RRZ_TEST_PATH", "", 1);
    EXPECT_EQ("/", owned(COfficeParamsBase::getPath("RRZ_TEST_PATH", "/d/")));
    unsetenv("RRZ_TEST_PATH");
    EXPECT_EQ("", owned(COfficeParamsBase::getPath("RRZ_TEST_PATH", "")));
    EXPECT_EQ("/d", owned(COfficeParamsBase::getPath("RRZ_TEST_PATH", "/d")));
    EXPECT_EQ(nullptr, COfficeParamsBase::getPath(nullptr, "/d/"));
    EXPECT_EQ(nullptr, COfficeParamsBase::getPath("RRZ_TEST_PATH", nullptr));
}

TEST(ParamsMegabytes, ParsedLikeAtoiAndWrappedTo32Bits) {
    struct Case {
        const char* text;
        uint32_t bytes;
    } cases[] = {{"2", 2097152u},    {"-1", 4293918720u}, {"4096", 0u},   {"  7mb", 7340032u},
                 {"abc", 0u},        {"", 0u},            {"+3", 3145728u}, {"4095", 4293918720u},
                 {"99999999999", static_cast<uint32_t>(99999999999ull << 20)}};
    for (const Case& c : cases) {
        setenv("RRZ_TEST_MB", c.text, 1);
        EXPECT_EQ(c.bytes, COfficeParamsBase::getULInt("RRZ_TEST_MB", "1")) << c.text;
    }
    unsetenv("RRZ_TEST_MB");
    EXPECT_EQ(1048576u, COfficeParamsBase::getULInt("RRZ_TEST_MB", "1"));
}

TEST(ParamsBase, DefaultsWhenNothingIsSet) {
    for (const char* name : {"OFFICE_PLUGINS_FONTS", "OFFICE_PLUGINS_BIN", "OFFICE_PLUGINS_DATA",
                             "OFFICE_PLUGINS_RESOURCES", "OFFICE_PLUGINS_PATH_PREFIX",
                             "OFFICE_PLUGINS_FILE_SIZE_LIMIT", "OFFICE_PLUGINS_MEMORY_LIMIT"}) {
        unsetenv(name);
    }
    COfficeParamsBase* params = COfficeParamsBase::getInstance();
    EXPECT_STREQ("/opt/conn/data/fonts/", params->getValue(COfficeParamsBase::FONTS_PATH));
    EXPECT_STREQ("/opt/conn/bin/", params->getValue(COfficeParamsBase::BIN_PATH));
    EXPECT_STREQ("/mnt/share/ons/plugins/", params->getValue(COfficeParamsBase::DATA_PATH));
    EXPECT_STREQ("/mnt/share/ons/plugins/resources/", params->getValue(COfficeParamsBase::RESOURCES_PATH));
    EXPECT_EQ(params->getValue(COfficeParamsBase::DATA_PATH), params->getValue(COfficeParamsBase::TEMP_DATA_PATH));
    ASSERT_NE(nullptr, params->getPathPrefix());
    EXPECT_STREQ("", params->getPathPrefix());
    EXPECT_EQ(nullptr, params->getValue(static_cast<COfficeParamsBase::ParamsBaseValue>(6)));
    EXPECT_EQ(2097152u, params->getFileSizeLimit());
    EXPECT_EQ(4293918720u, COfficeParamsBase::getMemoryLimit());
    EXPECT_EQ(params, COfficeParamsBase::getInstance());
}

TEST(ParamsBase, OverridesAreReadOnceAtFirstUse) {
    setenv("OFFICE_PLUGINS_DATA", "/data/x", 1);
    setenv("OFFICE_PLUGINS_BIN", "", 1);
    setenv("OFFICE_PLUGINS_FILE_SIZE_LIMIT", "5", 1);
    COfficeParamsBase* params = COfficeParamsBase::getInstance();
    EXPECT_STREQ("/data/x/", params->getValue(COfficeParamsBase::DATA_PATH));
    EXPECT_STREQ("/data/x/", params->getValue(COfficeParamsBase::TEMP_DATA_PATH));
    EXPECT_STREQ("/", params->getValue(COfficeParamsBase::BIN_PATH));
    EXPECT_EQ(5u << 20, params->getFileSizeLimit());

    setenv("OFFICE_PLUGINS_DATA", "/elsewhere", 1);
    setenv("OFFICE_PLUGINS_MEMORY_LIMIT", "3", 1);
    EXPECT_STREQ("/data/x/", params->getValue(COfficeParamsBase::DATA_PATH));
    EXPECT_EQ(3u << 20, COfficeParamsBase::getMemoryLimit());  // read on every call
    EXPECT_STREQ("/data/x/", COfficePluginParams::getInstance()->getValue(COfficeParamsBase::DATA_PATH));
}

TEST(ParamsPlugin, MimeTypesAreReadOnEveryCall) {
    COfficePluginParams* params = COfficePluginParams::getInstance();
    unsetenv("OFFICE_PLUGINS_MIME_TYPES");
    EXPECT_STREQ("doc,docx,xls,xlsx,ppt,pptx", params->getValue(COfficePluginParams::MIME_TYPES));
    setenv("OFFICE_PLUGINS_MIME_TYPES", "", 1);
    EXPECT_STREQ("", params->getValue(COfficePluginParams::MIME_TYPES));
    setenv("OFFICE_PLUGINS_MIME_TYPES", "doc", 1);
    EXPECT_STREQ("doc", params->getValue(COfficePluginParams::MIME_TYPES));
    EXPECT_EQ(nullptr, params->getValue(COfficePluginParams::TIME_LIMIT));
}

TEST(ParamsPlugin, TimeLimitScansLikePercentLf) {
    COfficePluginParams* params = COfficePluginParams::getInstance();
    struct Case {
        const char* text;
        double seconds;
    } cases[] = {{"30", 30.0}, {"2.5", 2.5}, {"abc", 600.0}, {"45s", 45.0}, {"", 600.0}, {" 7", 7.0}};
    for (const Case& c : cases) {
        setenv("OFFICE_PLUGINS_TIME_LIMIT", c.text, 1);
        EXPECT_DOUBLE_EQ(c.seconds, params->getDoubleValue(COfficePluginParams::TIME_LIMIT)) << c.text;
    }
    unsetenv("OFFICE_PLUGINS_TIME_LIMIT");
    EXPECT_DOUBLE_EQ(600.0, params->getDoubleValue(COfficePluginParams::TIME_LIMIT));
}

TEST(ParamsPlugin, ColoursAreFixedAndOutOfRangeIsZero) {
    COfficePluginParams* params = COfficePluginParams::getInstance();
    EXPECT_EQ(0.1803921568627451, params->getDoubleValue(COfficePluginParams::BACKGROUND_COLOR_RED));
    EXPECT_EQ(101 / 255.0, params->getDoubleValue(COfficePluginParams::PROGRESS_COLOR_GREEN));
    EXPECT_EQ(41 / 255.0, params->getDoubleValue(COfficePluginParams::ERROR_COLOR_BLUE));
    EXPECT_EQ(236 / 255.0, params->getDoubleValue(COfficePluginParams::FOREGROUND_COLOR_BLUE));
    EXPECT_EQ(0.0, params->getDoubleValue(COfficePluginParams::MIME_TYPES));
    EXPECT_EQ(0.0, params->getDoubleValue(static_cast<COfficePluginParams::OfficePluginParamsValue>(14)));
    EXPECT_EQ(0.0, params->getDoubleValue(static_cast<COfficePluginParams::OfficePluginParamsValue>(-1)));
}

}  // namespace
