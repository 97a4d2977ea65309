// The library's NPAPI face, driven through the host stand-in: table
// exchange, the entry layer's log lines, and entry points given bad input.
#include <cstddef>
#include <cstring>
#include <string>

#include "plugin_base/npn_wrappers.h"
#include "tests/integration/plugin_fixture.h"

namespace {

class EntryPoints : public PluginFixture {
protected:
    EntryPoints() : PluginFixture(RRZ_TEST_PLUGIN_PATH) {}
    void reload() {
        library.unload();
        ASSERT_TRUE(library.load(RRZ_TEST_PLUGIN_PATH));
    }
    static host::BrowserOptions options(size_t size, uint16_t version = 27, bool privateFirst = true) {
        host::BrowserOptions options;
        options.browserTableSize = static_cast<uint16_t>(size);
        options.browserTableVersion = version;
        options.privateFirst = privateFirst;
        return options;
    }
};

void queuedCall(void* flag) { *static_cast<bool*>(flag) = true; }

TEST_F(EntryPoints, AnEntryOfAShortBrowserTableIsCopiedOnlyWhenTheSizeCoversAllOfIt) {
    const size_t async = offsetof(NPNetscapeFuncs, pluginthreadasynccall);
    const struct { size_t size, queued; } rows[] = {
        {kNPNFuncsRequiredSize, 0}, {async + sizeof(void*) - 1, 0}, {async + sizeof(void*), 1}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.size);
        reload();
        initialize(options(row.size));
        bool ran = false;
        wrapper<void (*)(NPP, void (*)(void*), void*)>("NPN_PluginThreadAsyncCall")(nullptr, &queuedCall, &ran);
        ASSERT_EQ(row.queued, browser.pendingCalls());
        browser.runPendingCalls();
        EXPECT_EQ(row.queued == 1, ran);
        browser.clearRecords();  // the entries up to forceredraw are always there
        wrapper<void (*)(NPP)>("NPN_ForceRedraw")(nullptr);
        EXPECT_EQ(1, browser.forceRedrawCount());
    }
}

TEST_F(EntryPoints, TablesThatAreMissingShortOrOfAnotherMajorVersionAreRefused) {
    NPPluginFuncs pluginFuncs{};
    pluginFuncs.size = sizeof(pluginFuncs);
    EXPECT_EQ(NPERR_INVALID_FUNCTABLE_ERROR, library.NP_Initialize(nullptr, &pluginFuncs));
    EXPECT_EQ(NPERR_INCOMPATIBLE_VERSION_ERROR, browser.initialize(library, options(kNPNFuncsFullSize, 0x0100 | 27)));
    EXPECT_EQ(NPERR_INVALID_FUNCTABLE_ERROR, browser.initialize(library, options(kNPNFuncsRequiredSize - 1)));
    host::BrowserOptions shortPluginTable = options(kNPNFuncsFullSize);
    shortPluginTable.pluginTableSize = static_cast<uint16_t>(kNPPFuncsSize - 1);
    EXPECT_EQ(NPERR_INVALID_FUNCTABLE_ERROR, browser.initialize(library, shortPluginTable));
    EXPECT_EQ(nullptr, browser.pluginFuncs().newp);
    EXPECT_TRUE(browser.logContains("[VavavozaRozoruv] fillPluginFunctionTable: Compiler error: Size of NPPluginFuncs "
                                    "does not match! " + std::to_string(kNPPFuncsSize - 1) + " < " +
                                    std::to_string(kNPPFuncsSize), 2));
    NPNetscapeFuncs& funcs = browser.browserFuncs();
    funcs.version = 0x00FF;  // major 0 with any minor is fine
    EXPECT_EQ(NPERR_INVALID_FUNCTABLE_ERROR, library.NP_Initialize(&funcs, nullptr));

    NPNetscapePrivateFuncs table = browser.privateFuncs();
    EXPECT_EQ(NPERR_INVALID_FUNCTABLE_ERROR, library.NP_InitializePrivate(nullptr));
    table.version = 0;
    EXPECT_EQ(NPERR_INCOMPATIBLE_VERSION_ERROR, library.NP_InitializePrivate(&table));
    table.version = 1;
    table.size = sizeof(table) - 1;
    EXPECT_EQ(NPERR_INVALID_FUNCTABLE_ERROR, library.NP_InitializePrivate(&table));
}

TEST_F(EntryPoints, LogLinesOfTheEntryLayerAndTheFilledPluginTable) {
    setenv("ROLEPLUGINCTRL", std::string(300, 'r').c_str(), 1);
    initialize(options(kNPNFuncsFullSize));
    unsetenv("ROLEPLUGINCTRL");
    EXPECT_EQ(24, browser.pluginFuncs().version);
    EXPECT_EQ(library.symbol("NPP_New"), reinterpret_cast<void*>(browser.pluginFuncs().newp));
    const char* text = nullptr;
    EXPECT_EQ(NPERR_INVALID_PARAM, library.NP_GetValue(nullptr, NPPVpluginNameString, nullptr));
    EXPECT_EQ(NPERR_NO_ERROR, library.NP_GetValue(nullptr, NPPVpluginNameString, &text));
    EXPECT_STREQ("RrzTestPlugin", text);
    EXPECT_EQ(NPERR_INVALID_PARAM, library.NP_GetValue(nullptr, NPPVpluginNeedsXEmbed, &text));
    EXPECT_STREQ("application/x-rrz-test:tst:Test document", library.NP_GetMIMEDescription());
    EXPECT_EQ(NPERR_NO_ERROR, library.NP_Shutdown());
    const struct { std::string text; int level; } lines[] = {
        {"[VavavozaRozoruv] NS_PluginInitialize: Compiled: ", 0},
        {"Set role=" + std::string(255, 'r') + " for OrcaBrowserPluginZetaProxy", 0},  // cut at 255
        {"[VavavozaRozoruv] NS_PluginGetValue: Variable aValue is NULL", 2},
        {"Error: NPPVariable=14 (0xE)", 2},
        {"[VavavozaRozoruv] NS_PluginShutdown: RrzTestPlugin", 0},
    };
    for (const auto& line : lines) EXPECT_TRUE(browser.logContains(line.text, line.level)) << line.text;
    EXPECT_FALSE(browser.logContains(std::string(256, 'r')));
    browser.clearRecords();
    reload();  // without ROLEPLUGINCTRL the default role is kept and not logged
    initialize(options(kNPNFuncsFullSize));
    EXPECT_FALSE(browser.logContains("Set role="));
}

TEST_F(EntryPoints, WithoutThePrivateTableOrWithEmptyEntriesServicesAreNeverCalled) {
    browser.browserFuncs().memalloc = nullptr;
    host::BrowserOptions noPrivateTable;
    noPrivateTable.initializePrivate = false;
    initialize(noPrivateTable);
    auto getView = wrapper<NPError (*)(NPP, int32_t*)>("NPN_GetView_private");
    auto sendMessage = wrapper<void (*)(const char*, uint32_t)>("NPN_SendMessage_private");
    int32_t view = -1;
    EXPECT_EQ(NPERR_GENERIC_ERROR, getView(nullptr, &view));
    EXPECT_EQ(NPERR_GENERIC_ERROR,
              (wrapper<NPError (*)(NPP, const char*, const char*)>("NPN_GetURL_private")(nullptr, "u", "_self")));
    wrapper<void (*)(const char*)>("NPN_LogError_private")("nobody hears this");
    sendMessage("nor this", 2);
    EXPECT_EQ(nullptr, wrapper<void* (*)(uint32_t)>("NPN_MemAlloc")(16));
    EXPECT_TRUE(browser.logLines().empty()) << "lines before the private table are dropped";
    EXPECT_TRUE(browser.messages().empty() && browser.navigations().empty());

    browser.privateFuncs().getview_private = nullptr;
    browser.privateFuncs().sendmessage_private = nullptr;
    EXPECT_EQ(NPERR_NO_ERROR, library.NP_InitializePrivate(&browser.privateFuncs()));
    EXPECT_EQ(NPERR_GENERIC_ERROR, getView(nullptr, &view));
    sendMessage("x", 1);
    library.NP_GetValue(nullptr, NPPVpluginNameString, nullptr);
    EXPECT_TRUE(browser.logContains("[VavavozaRozoruv] NP_GetValue: ", 0));
}

TEST_F(EntryPoints, InstanceCallsWithoutInstanceOrObjectAnswerTheirCodes) {
    initialize();
    const NPPluginFuncs& f = browser.pluginFuncs();
    NPWindow window{};
    NPStream stream{};
    uint16_t stype = NP_NORMAL;
    char buffer[7] = {0};
    const char* value = nullptr;
    NPP_t noObject{nullptr, nullptr};  // as after a failed NPP_New
    EXPECT_EQ(NPERR_INVALID_INSTANCE_ERROR, f.newp(nullptr, nullptr, NP_EMBED, 0, nullptr, nullptr, nullptr));
    EXPECT_EQ(NPERR_INVALID_INSTANCE_ERROR, f.destroy(nullptr, nullptr));
    EXPECT_EQ(NPERR_NO_ERROR, f.destroy(&noObject, nullptr));
    EXPECT_EQ(NPERR_GENERIC_ERROR, f.setwindow(&noObject, nullptr));
    for (NPP npp : {static_cast<NPP>(nullptr), &noObject}) {
        SCOPED_TRACE(npp ? "no object" : "no instance");
        NPError missing = npp ? NPERR_GENERIC_ERROR : NPERR_INVALID_INSTANCE_ERROR;
        EXPECT_EQ(missing, f.setwindow(npp, &window));
        EXPECT_EQ(missing, f.newstream(npp, nullptr, &stream, false, &stype));
        EXPECT_EQ(missing, f.destroystream(npp, &stream, NPRES_DONE));
        EXPECT_EQ(missing, f.getvalue(npp, NPPVpluginNameString, &value));
        EXPECT_EQ(missing, f.setvalue(npp, NPNVprivateModeBool, nullptr));
        EXPECT_EQ(0x0FFFFFFF, f.writeready(npp, &stream));
        EXPECT_EQ(7, f.write(npp, &stream, 0, 7, buffer));
        EXPECT_EQ(0, f.event(npp, nullptr));
        EXPECT_FALSE(f.gotfocus(npp, NPFocusNext));
        EXPECT_EQ(nullptr, wrapper<NPObject* (*)(NPP)>("NPP_GetScriptableInstance")(npp));
        f.asfile(npp, &stream, "x");  // these only must not crash
        f.print(npp, nullptr);
        f.urlnotify(npp, "u", NPRES_DONE, nullptr);
        f.lostfocus(npp);
        f.urlredirectnotify(npp, "u", 301, nullptr);
    }
}

}  // namespace
