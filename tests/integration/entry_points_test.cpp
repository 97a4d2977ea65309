// The library's NPAPI face, driven through the host stand-in: table
// exchange, version gating, entry points with bad input, and per-instance
// dispatch to the instance object.
#include <cstddef>
#include <cstring>
#include <string>

#include "plugin_base/npn_wrappers.h"
#include "tests/integration/plugin_fixture.h"

namespace {

class EntryPoints : public PluginFixture {
protected:
    EntryPoints() : PluginFixture(RRZ_TEST_PLUGIN_PATH) {}

    host::BrowserOptions privateFirst() {
        host::BrowserOptions options;
        options.privateFirst = true;
        return options;
    }
};

int gNewStreamCalls = 0;
NPError countingNewStream(NPP, NPMIMEType, const char*, NPStream**) {
    ++gNewStreamCalls;
    return NPERR_NO_ERROR;
}
int gGetURLNotifyCalls = 0;
NPError countingGetURLNotify(NPP, const char*, const char*, void*) {
    ++gGetURLNotifyCalls;
    return NPERR_NO_ERROR;
}
int32_t countingWrite(NPP, NPStream*, int32_t len, void*) { return len; }

void queuedCall(void* flag) { *static_cast<bool*>(flag) = true; }

TEST_F(EntryPoints, BrowserTableOfExactlyTheRequiredSizeLeavesLaterEntriesEmpty) {
    host::BrowserOptions options;
    options.browserTableSize = kNPNFuncsRequiredSize;
    initialize(options);
    auto asyncCall = wrapper<void (*)(NPP, void (*)(void*), void*)>("NPN_PluginThreadAsyncCall");
    bool ran = false;
    asyncCall(nullptr, &queuedCall, &ran);
    EXPECT_EQ(0u, browser.pendingCalls()) << "an entry past forceredraw was copied";
    EXPECT_EQ(0u, wrapper<uint32_t (*)(NPP, uint32_t, NPBool, void (*)(NPP, uint32_t))>("NPN_ScheduleTimer")(
                      nullptr, 10, false, nullptr));
    EXPECT_FALSE(wrapper<bool (*)(NPP, NPObject*, NPIdentifier**, uint32_t*)>("NPN_Enumerate")(nullptr, nullptr,
                                                                                              nullptr, nullptr));
    EXPECT_EQ(NPERR_GENERIC_ERROR,
              (wrapper<NPError (*)(NPP, NPNURLVariable, const char*, char**, uint32_t*)>("NPN_GetValueForURL")(
                  nullptr, NPNURLVCookie, "x", nullptr, nullptr)));
    EXPECT_EQ(NPERR_GENERIC_ERROR, wrapper<NPError (*)(NPP, NPMenu*)>("NPN_PopUpContextMenu")(nullptr, nullptr));
    EXPECT_FALSE((wrapper<NPBool (*)(NPP, double, double, NPCoordinateSpace, double*, double*, NPCoordinateSpace)>(
        "NPN_ConvertPoint")(nullptr, 0, 0, NPCoordinateSpacePlugin, nullptr, nullptr, NPCoordinateSpaceWindow)));
    // Entries up to forceredraw were copied.
    wrapper<void (*)(NPP)>("NPN_ForceRedraw")(nullptr);
    EXPECT_EQ(1, browser.forceRedrawCount());
}

TEST_F(EntryPoints, AnEntryIsCopiedOnlyWhenTheSizeCoversAllOfIt) {
    const size_t offset = offsetof(NPNetscapeFuncs, pluginthreadasynccall);
    host::BrowserOptions options;
    options.browserTableSize = static_cast<uint16_t>(offset + sizeof(void*) - 1);
    initialize(options);
    auto asyncCall = wrapper<void (*)(NPP, void (*)(void*), void*)>("NPN_PluginThreadAsyncCall");
    bool ran = false;
    asyncCall(nullptr, &queuedCall, &ran);
    EXPECT_EQ(0u, browser.pendingCalls());

    library.unload();
    ASSERT_TRUE(library.load(RRZ_TEST_PLUGIN_PATH));
    options.browserTableSize = static_cast<uint16_t>(offset + sizeof(void*));
    initialize(options);
    asyncCall = wrapper<void (*)(NPP, void (*)(void*), void*)>("NPN_PluginThreadAsyncCall");
    asyncCall(nullptr, &queuedCall, &ran);
    ASSERT_EQ(1u, browser.pendingCalls());
    browser.runPendingCalls();
    EXPECT_TRUE(ran);
}

TEST_F(EntryPoints, BrowserTablesThatAreMissingShortOrOfAnotherMajorVersionAreRefused) {
    NPPluginFuncs pluginFuncs;
    std::memset(&pluginFuncs, 0, sizeof(pluginFuncs));
    pluginFuncs.size = sizeof(pluginFuncs);
    EXPECT_EQ(NPERR_INVALID_FUNCTABLE_ERROR, library.NP_Initialize(nullptr, &pluginFuncs));

    host::BrowserOptions options;
    options.browserTableVersion = 0x0100 | 27;
    EXPECT_EQ(NPERR_INCOMPATIBLE_VERSION_ERROR, browser.initialize(library, options));
    options.browserTableVersion = 27;
    options.browserTableSize = static_cast<uint16_t>(kNPNFuncsRequiredSize - 1);
    EXPECT_EQ(NPERR_INVALID_FUNCTABLE_ERROR, browser.initialize(library, options));

    NPNetscapeFuncs& funcs = browser.browserFuncs();
    funcs.size = sizeof(NPNetscapeFuncs);
    funcs.version = 0x00FF;  // major 0 with any minor is fine
    EXPECT_EQ(NPERR_INVALID_FUNCTABLE_ERROR, library.NP_Initialize(&funcs, nullptr));
}

TEST_F(EntryPoints, ShortPluginTableIsRefusedWithTheSizeMessage) {
    host::BrowserOptions options = privateFirst();
    options.pluginTableSize = static_cast<uint16_t>(kNPPFuncsSize - 1);
    EXPECT_EQ(NPERR_INVALID_FUNCTABLE_ERROR, browser.initialize(library, options));
    std::string expected = "Compiler error: Size of NPPluginFuncs does not match! " +
                           std::to_string(kNPPFuncsSize - 1) + " < " + std::to_string(kNPPFuncsSize);
    EXPECT_TRUE(browser.logContains("[VavavozaRozoruv] fillPluginFunctionTable: " + expected, 2));
    EXPECT_TRUE(browser.logContains(": " + std::string(16, ' ') + "Size of one function pointer: " +
                                        std::to_string(sizeof(void*)),
                                    2));
    EXPECT_EQ(nullptr, browser.pluginFuncs().newp);
}

TEST_F(EntryPoints, PluginTableIsFilledAndItsVersionSetTo24) {
    initialize();
    const NPPluginFuncs& funcs = browser.pluginFuncs();
    EXPECT_EQ(24, funcs.version);
    EXPECT_EQ(kNPPFuncsSize, funcs.size);
    EXPECT_NE(nullptr, funcs.newp);
    EXPECT_NE(nullptr, funcs.getsiteswithdata);
    EXPECT_EQ(library.symbol("NPP_New"), reinterpret_cast<void*>(funcs.newp));
    EXPECT_EQ(nullptr, funcs.javaClass());
    EXPECT_EQ(NPERR_NO_ERROR, funcs.clearsitedata("site", 0, 0));
    EXPECT_EQ(nullptr, funcs.getsiteswithdata());
}

TEST_F(EntryPoints, PrivateTableIsCheckedAndAbsentServicesAnswerTheirDefaults) {
    NPNetscapePrivateFuncs table = browser.privateFuncs();
    EXPECT_EQ(NPERR_INVALID_FUNCTABLE_ERROR, library.NP_InitializePrivate(nullptr));
    table.size = sizeof(table);
    table.version = 0;
    EXPECT_EQ(NPERR_INCOMPATIBLE_VERSION_ERROR, library.NP_InitializePrivate(&table));
    table.version = 1;
    table.size = sizeof(table) - 1;
    EXPECT_EQ(NPERR_INVALID_FUNCTABLE_ERROR, library.NP_InitializePrivate(&table));

    host::BrowserOptions options;
    options.initializePrivate = false;
    initialize(options);
    int32_t view = -1;
    EXPECT_EQ(NPERR_GENERIC_ERROR, wrapper<NPError (*)(NPP, int32_t*)>("NPN_GetView_private")(nullptr, &view));
    EXPECT_EQ(NPERR_GENERIC_ERROR,
              (wrapper<NPError (*)(NPP, const char*, const char*)>("NPN_GetURL_private")(nullptr, "u", "_self")));
    wrapper<void (*)(const char*)>("NPN_LogError_private")("nobody hears this");
    wrapper<void (*)(const char*, uint32_t)>("NPN_SendMessage_private")("nor this", 2);
    EXPECT_TRUE(browser.logLines().empty());
    EXPECT_TRUE(browser.messages().empty());
    EXPECT_TRUE(browser.navigations().empty());
}

TEST_F(EntryPoints, ServicesTheHostLeftEmptyAreNeverCalled) {
    browser.privateFuncs().getview_private = nullptr;
    browser.privateFuncs().sendmessage_private = nullptr;
    browser.browserFuncs().memalloc = nullptr;
    initialize();
    int32_t view = -1;
    EXPECT_EQ(NPERR_GENERIC_ERROR, wrapper<NPError (*)(NPP, int32_t*)>("NPN_GetView_private")(nullptr, &view));
    wrapper<void (*)(const char*, uint32_t)>("NPN_SendMessage_private")("x", 1);
    EXPECT_EQ(nullptr, wrapper<void* (*)(uint32_t)>("NPN_MemAlloc")(16));
}

TEST_F(EntryPoints, VersionGatedWrappersNeedTheBrowsersMinorVersion) {
    browser.browserFuncs().newstream = &countingNewStream;
    browser.browserFuncs().geturlnotify = &countingGetURLNotify;
    browser.browserFuncs().write = &countingWrite;
    host::BrowserOptions options;
    options.browserTableVersion = 8;
    initialize(options);
    gNewStreamCalls = gGetURLNotifyCalls = 0;
    EXPECT_EQ(NPERR_INCOMPATIBLE_VERSION_ERROR,
              (wrapper<NPError (*)(NPP, const char*, const char*, void*)>("NPN_GetURLNotify")(nullptr, "u", "t",
                                                                                               nullptr)));
    EXPECT_EQ(0, gGetURLNotifyCalls);
    EXPECT_EQ(NPERR_NO_ERROR, (wrapper<NPError (*)(NPP, NPMIMEType, const char*, NPStream**)>("NPN_NewStream")(
                                  nullptr, nullptr, nullptr, nullptr)));
    EXPECT_EQ(1, gNewStreamCalls);
    EXPECT_EQ(5, (wrapper<int32_t (*)(NPP, NPStream*, int32_t, void*)>("NPN_Write")(nullptr, nullptr, 5, nullptr)));

    library.unload();
    ASSERT_TRUE(library.load(RRZ_TEST_PLUGIN_PATH));
    options.browserTableVersion = 7;
    initialize(options);
    EXPECT_EQ(-1, (wrapper<int32_t (*)(NPP, NPStream*, int32_t, void*)>("NPN_Write")(nullptr, nullptr, 5, nullptr)));
    EXPECT_EQ(NPERR_INCOMPATIBLE_VERSION_ERROR,
              (wrapper<NPError (*)(NPP, NPMIMEType, const char*, NPStream**)>("NPN_NewStream")(nullptr, nullptr,
                                                                                                nullptr, nullptr)));

    int values[4] = {-1, -1, -1, -1};
    auto version = wrapper<void (*)(int*, int*, int*, int*)>("NPN_Version");
    version(&values[0], &values[1], &values[2], &values[3]);
    EXPECT_EQ(0, values[0]);
    EXPECT_EQ(24, values[1]);
    EXPECT_EQ(0, values[2]);
    EXPECT_EQ(7, values[3]);
    version(nullptr, nullptr, nullptr, nullptr);
}

TEST_F(EntryPoints, GetValueAnswersNameAndDescriptionOnly) {
    initialize();
    const char* text = nullptr;
    EXPECT_EQ(NPERR_INVALID_PARAM, library.NP_GetValue(nullptr, NPPVpluginNameString, nullptr));
    EXPECT_TRUE(browser.logContains("[VavavozaRozoruv] NS_PluginGetValue: Variable aValue is NULL", 2));
    EXPECT_EQ(NPERR_NO_ERROR, library.NP_GetValue(nullptr, NPPVpluginNameString, &text));
    EXPECT_STREQ("RrzTestPlugin", text);
    EXPECT_TRUE(browser.logContains("NPPVpluginNameString=RrzTestPlugin", 0));
    EXPECT_EQ(NPERR_NO_ERROR, library.NP_GetValue(nullptr, NPPVpluginDescriptionString, &text));
    EXPECT_STREQ("Test plug-in of the entry layer", text);
    EXPECT_EQ(NPERR_INVALID_PARAM, library.NP_GetValue(nullptr, NPPVpluginNeedsXEmbed, &text));
    EXPECT_TRUE(browser.logContains("Error: NPPVariable=14 (0xE)", 2));
    EXPECT_STREQ("application/x-rrz-test:tst:Test document", library.NP_GetMIMEDescription());
    EXPECT_TRUE(browser.logContains("[VavavozaRozoruv] NPP_GetMIMEDescription: application/x-rrz-test", 0));
    EXPECT_EQ(NPERR_NO_ERROR, library.NP_Shutdown());
    EXPECT_TRUE(browser.logContains("[VavavozaRozoruv] NS_PluginShutdown: RrzTestPlugin", 0));
}

TEST_F(EntryPoints, InstanceCallsWithoutInstanceOrObjectAnswerTheirCodes) {
    initialize();
    const NPPluginFuncs& f = browser.pluginFuncs();
    NPP_t empty{nullptr, nullptr};
    NPWindow window;
    std::memset(&window, 0, sizeof(window));
    NPStream stream;
    std::memset(&stream, 0, sizeof(stream));
    uint16_t stype = NP_NORMAL;
    char buffer[7] = {0};
    const char* value = nullptr;

    EXPECT_EQ(NPERR_INVALID_INSTANCE_ERROR, f.newp(nullptr, nullptr, NP_EMBED, 0, nullptr, nullptr, nullptr));
    EXPECT_EQ(NPERR_INVALID_INSTANCE_ERROR, f.destroy(nullptr, nullptr));
    EXPECT_EQ(NPERR_NO_ERROR, f.destroy(&empty, nullptr));
    EXPECT_EQ(NPERR_INVALID_INSTANCE_ERROR, f.setwindow(nullptr, &window));
    EXPECT_EQ(NPERR_GENERIC_ERROR, f.setwindow(&empty, nullptr));
    EXPECT_EQ(NPERR_GENERIC_ERROR, f.setwindow(&empty, &window));
    EXPECT_EQ(NPERR_INVALID_INSTANCE_ERROR, f.newstream(nullptr, nullptr, &stream, false, &stype));
    EXPECT_EQ(NPERR_GENERIC_ERROR, f.newstream(&empty, nullptr, &stream, false, &stype));
    EXPECT_EQ(NPERR_INVALID_INSTANCE_ERROR, f.destroystream(nullptr, &stream, NPRES_DONE));
    EXPECT_EQ(NPERR_GENERIC_ERROR, f.destroystream(&empty, &stream, NPRES_DONE));
    f.asfile(nullptr, &stream, "x");
    f.asfile(&empty, &stream, "x");
    EXPECT_EQ(0x0FFFFFFF, f.writeready(nullptr, &stream));
    EXPECT_EQ(0x0FFFFFFF, f.writeready(&empty, &stream));
    EXPECT_EQ(7, f.write(nullptr, &stream, 0, 7, buffer));
    EXPECT_EQ(7, f.write(&empty, &stream, 0, 7, buffer));
    f.print(nullptr, nullptr);
    f.print(&empty, nullptr);
    EXPECT_EQ(0, f.event(nullptr, nullptr));
    EXPECT_EQ(0, f.event(&empty, nullptr));
    f.urlnotify(nullptr, "u", NPRES_DONE, nullptr);
    f.urlnotify(&empty, "u", NPRES_DONE, nullptr);
    EXPECT_EQ(NPERR_INVALID_INSTANCE_ERROR, f.getvalue(nullptr, NPPVpluginNameString, &value));
    EXPECT_EQ(NPERR_GENERIC_ERROR, f.getvalue(&empty, NPPVpluginNameString, &value));
    EXPECT_EQ(NPERR_INVALID_INSTANCE_ERROR, f.setvalue(nullptr, NPNVprivateModeBool, nullptr));
    EXPECT_EQ(NPERR_GENERIC_ERROR, f.setvalue(&empty, NPNVprivateModeBool, nullptr));
    EXPECT_FALSE(f.gotfocus(nullptr, NPFocusNext));
    EXPECT_FALSE(f.gotfocus(&empty, NPFocusNext));
    f.lostfocus(nullptr);
    f.lostfocus(&empty);
    f.urlredirectnotify(nullptr, "u", 301, nullptr);
    f.urlredirectnotify(&empty, "u", 301, nullptr);
    auto scriptable = wrapper<NPObject* (*)(NPP)>("NPP_GetScriptableInstance");
    EXPECT_EQ(nullptr, scriptable(nullptr));
    EXPECT_EQ(nullptr, scriptable(&empty));
}

TEST_F(EntryPoints, RoleNameFromTheEnvironmentIsCutAt255Characters) {
    std::string longRole(300, 'r');
    setenv("ROLEPLUGINCTRL", longRole.c_str(), 1);
    initialize(privateFirst());
    unsetenv("ROLEPLUGINCTRL");
    EXPECT_TRUE(browser.logContains("Set role=" + std::string(255, 'r') + " for OrcaBrowserPluginZetaProxy", 0));
    EXPECT_FALSE(browser.logContains(std::string(256, 'r')));
    EXPECT_TRUE(browser.logContains("[VavavozaRozoruv] NS_PluginInitialize: Compiled: ", 0));
}

TEST_F(EntryPoints, UnsetRoleKeepsTheDefaultAndLogsNothingAboutIt) {
    unsetenv("ROLEPLUGINCTRL");
    initialize(privateFirst());
    EXPECT_FALSE(browser.logContains("Set role="));
}

TEST_F(EntryPoints, LogLinesBeforeThePrivateTableAreDropped) {
    initialize();  // private table handed over after NP_Initialize
    EXPECT_FALSE(browser.logContains("NP_Initialize"));
    EXPECT_FALSE(browser.logContains("Compiled: "));
    library.NP_GetValue(nullptr, NPPVpluginNameString, nullptr);
    EXPECT_TRUE(browser.logContains("[VavavozaRozoruv] NP_GetValue: ", 0));
}

}  // namespace
