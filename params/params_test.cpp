// Every test sets the environment it reads and builds its own values, so
// the tests hold in any order and in one process.
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

TEST(Params, EnvironmentPathsEndInASlash) {
    struct Row {
        const char* value;  // null: unset
        const char* defaultText;
        const char* path;
    } rows[] = {
        {"/data/x", "/d/", "/data/x/"}, {"/data/x/", "/d/", "/data/x/"}, {"", "/d/", "/"},
        {nullptr, "", ""},              {nullptr, "/d", "/d"},           {"/x", nullptr, "<null>"},
    };
    for (const Row& row : rows) {
        if (row.value) setenv("RRZ_TEST_PATH", row.value, 1); else unsetenv("RRZ_TEST_PATH");
        EXPECT_EQ(row.path, owned(COfficeParamsBase::getPath("RRZ_TEST_PATH", row.defaultText)))
            << (row.value ? row.value : "unset");
    }
    EXPECT_EQ(nullptr, COfficeParamsBase::getPath(nullptr, "/d/"));
    unsetenv("RRZ_TEST_PATH");
}

TEST(Params, MegabytesParsedLikeAtoiAndWrappedTo32Bits) {
    struct Row {
        const char* text;  // null: unset, default "1"
        uint32_t bytes;
    } rows[] = {{"2", 2097152u},   {"-1", 4293918720u}, {"4096", 0u},        {"  7mb", 7340032u},
                {"abc", 0u},       {"", 0u},            {"+3", 3145728u},    {"4095", 4293918720u},
                {nullptr, 1048576u}, {"99999999999", static_cast<uint32_t>(99999999999ull << 20)}};
    for (const Row& row : rows) {
        if (row.text) setenv("RRZ_TEST_MB", row.text, 1); else unsetenv("RRZ_TEST_MB");
        EXPECT_EQ(row.bytes, COfficeParamsBase::getULInt("RRZ_TEST_MB", "1")) << (row.text ? row.text : "unset");
    }
    unsetenv("RRZ_TEST_MB");
}

TEST(Params, DefaultsWhenNothingIsSet) {
    for (const char* name : {"OFFICE_PLUGINS_FONTS", "OFFICE_PLUGINS_BIN", "OFFICE_PLUGINS_DATA",
                             "OFFICE_PLUGINS_RESOURCES", "OFFICE_PLUGINS_PATH_PREFIX",
                             "OFFICE_PLUGINS_FILE_SIZE_LIMIT", "OFFICE_PLUGINS_MEMORY_LIMIT"}) {
        unsetenv(name);
    }
    COfficeParamsBase params;
    EXPECT_STREQ("/opt/conn/data/fonts/", params.getValue(COfficeParamsBase::FONTS_PATH));
    EXPECT_STREQ("/opt/conn/bin/", params.getValue(COfficeParamsBase::BIN_PATH));
    EXPECT_STREQ("/mnt/share/ons/plugins/", params.getValue(COfficeParamsBase::DATA_PATH));
    EXPECT_STREQ("/mnt/share/ons/plugins/resources/", params.getValue(COfficeParamsBase::RESOURCES_PATH));
    EXPECT_EQ(params.getValue(COfficeParamsBase::DATA_PATH), params.getValue(COfficeParamsBase::TEMP_DATA_PATH));
    ASSERT_NE(nullptr, params.getPathPrefix());
    EXPECT_STREQ("", params.getPathPrefix());
    EXPECT_EQ(nullptr, params.getValue(static_cast<COfficeParamsBase::ParamsBaseValue>(6)));
    EXPECT_EQ(2097152u, params.getFileSizeLimit());
    EXPECT_EQ(4293918720u, COfficeParamsBase::getMemoryLimit());
}

TEST(Params, OverridesAreReadWhenTheValuesAreMade) {
    setenv("OFFICE_PLUGINS_DATA", "/data/x", 1);
    setenv("OFFICE_PLUGINS_BIN", "", 1);
    setenv("OFFICE_PLUGINS_FILE_SIZE_LIMIT", "5", 1);
    COfficeParamsBase::reload();
    COfficeParamsBase* params = COfficeParamsBase::getInstance();
    EXPECT_EQ(params, COfficeParamsBase::getInstance());
    EXPECT_STREQ("/data/x/", params->getValue(COfficeParamsBase::DATA_PATH));
    EXPECT_STREQ("/data/x/", params->getValue(COfficeParamsBase::TEMP_DATA_PATH));
    EXPECT_STREQ("/", params->getValue(COfficeParamsBase::BIN_PATH));
    EXPECT_EQ(5u << 20, params->getFileSizeLimit());

    setenv("OFFICE_PLUGINS_DATA", "/elsewhere", 1);
    setenv("OFFICE_PLUGINS_MEMORY_LIMIT", "3", 1);
    EXPECT_STREQ("/data/x/", params->getValue(COfficeParamsBase::DATA_PATH));
    EXPECT_EQ(3u << 20, COfficeParamsBase::getMemoryLimit());  // read on every call
    EXPECT_STREQ("/data/x/", COfficePluginParams::getInstance()->getValue(COfficeParamsBase::DATA_PATH));
    for (const char* name : {"OFFICE_PLUGINS_DATA", "OFFICE_PLUGINS_BIN", "OFFICE_PLUGINS_FILE_SIZE_LIMIT",
                             "OFFICE_PLUGINS_MEMORY_LIMIT"}) {
        unsetenv(name);
    }
    COfficeParamsBase::reload();
}

TEST(Params, PluginValuesAreReadOnEveryCall) {
    COfficePluginParams* params = COfficePluginParams::getInstance();
    struct MimeRow {
        const char* text;  // null: unset
        const char* types;
    } mimeRows[] = {{nullptr, "doc,docx,xls,xlsx,ppt,pptx"}, {"", ""}, {"doc", "doc"}};
    for (const MimeRow& row : mimeRows) {
        if (row.text) setenv("OFFICE_PLUGINS_MIME_TYPES", row.text, 1); else unsetenv("OFFICE_PLUGINS_MIME_TYPES");
        EXPECT_STREQ(row.types, params->getValue(COfficePluginParams::MIME_TYPES));
    }
    unsetenv("OFFICE_PLUGINS_MIME_TYPES");
    EXPECT_EQ(nullptr, params->getValue(COfficePluginParams::TIME_LIMIT));

    struct LimitRow {
        const char* text;  // null: unset
        double seconds;
    } limitRows[] = {{"30", 30.0}, {"2.5", 2.5}, {"abc", 600.0}, {"45s", 45.0},
                     {"", 600.0},  {" 7", 7.0},  {nullptr, 600.0}};
    for (const LimitRow& row : limitRows) {
        if (row.text) setenv("OFFICE_PLUGINS_TIME_LIMIT", row.text, 1); else unsetenv("OFFICE_PLUGINS_TIME_LIMIT");
        EXPECT_DOUBLE_EQ(row.seconds, params->getDoubleValue(COfficePluginParams::TIME_LIMIT))
            << (row.text ? row.text : "unset");
    }
    unsetenv("OFFICE_PLUGINS_TIME_LIMIT");
}

TEST(Params, ColoursAreFixedAndOutOfRangeIsZero) {
    COfficePluginParams* params = COfficePluginParams::getInstance();
    struct Row {
        int value;
        double component;
    } rows[] = {{COfficePluginParams::BACKGROUND_COLOR_RED, 0.1803921568627451},
                {COfficePluginParams::PROGRESS_COLOR_GREEN, 101 / 255.0},
                {COfficePluginParams::ERROR_COLOR_BLUE, 41 / 255.0},
                {COfficePluginParams::FOREGROUND_COLOR_BLUE, 236 / 255.0},
                {COfficePluginParams::MIME_TYPES, 0.0},
                {14, 0.0},
                {-1, 0.0}};
    for (const Row& row : rows) {
        EXPECT_EQ(row.component,
                  params->getDoubleValue(static_cast<COfficePluginParams::OfficePluginParamsValue>(row.value)))
            << row.value;
    }
}

}  // namespace
