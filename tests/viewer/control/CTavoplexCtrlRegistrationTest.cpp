// Tests of libtavoplex.so loaded as a container loads it: the four entry points found by
// name, registration, and a control created through the class factory and shown in a host.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/com/InprocModule.h"
#include "platform/com/OleControl.h"
#include "platform/host/HeadlessHost.h"
#include "platform/host/Message.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempDir.h"
#include "viewer/control/TavoplexTypeLib.h"

using namespace platform::com;

#if defined(__SANITIZE_ADDRESS__)
// The module's renderer keeps the buffer records of make-current until the process ends; the
// module cannot tell the leak checker so itself (only the program's own list is read).
extern "C" const char* __lsan_default_suppressions() { return "leak:libOSMesa.so\n"; }
#endif

TEST(TavoplexModule, ContainerCreatesTheControlThroughTheLoadedModule)
{
    TempDir dir;
    ScopedEnv xdg("XDG_CONFIG_HOME", dir.path().c_str());
    InprocModule module;
    ASSERT_TRUE(module.load(TAVOPLEX_MODULE)) << module.error();
    EXPECT_EQ(module.registerServer(), S_OK);

    OleControl* control = nullptr;
    ASSERT_EQ(module.createInstance(CLSID_Tavoplex, IID_OleControl, reinterpret_cast<void**>(&control)), S_OK);
    platform::host::HeadlessHost host(80, 60);
    control->SetClientSite(&host);
    host.setWindow([&](const platform::host::Message& m) { return control->WindowMessage(m); });
    control->WindowMessage(platform::host::Message::create());
    control->WindowMessage(platform::host::Message::size(80, 60));
    // The page's parameters and its script reach the control.
    EXPECT_EQ(control->LoadProperties({{"Grid", "0"}, {"BorderSize", "4"}}), S_OK);
    int32_t setZoom = 0, getZoom = 0;
    ASSERT_EQ(control->GetIDOfName("SetZoom", &setZoom), S_OK);
    ASSERT_EQ(control->GetIDOfName("getzoom", &getZoom), S_OK);
    std::string zoom;
    EXPECT_EQ(control->InvokeText(setZoom, {"12.5"}, nullptr), S_OK);
    EXPECT_EQ(control->InvokeText(getZoom, {}, &zoom), S_OK);
    EXPECT_EQ(zoom, "12.5");
    EXPECT_EQ(control->InvokeText(setZoom, {"many"}, nullptr), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(control->InvokeText(99, {}, nullptr), DISP_E_MEMBERNOTFOUND);
    const TypeInfo* info = nullptr;
    ASSERT_EQ(control->GetTypeInfo(0, 0, &info), S_OK);
    EXPECT_EQ(info->name, "_DTavoplex");
    // Its persistent properties, as a container checks a page's parameters against them.
    std::vector<PropertyInfo> properties;
    ASSERT_EQ(control->GetProperties(&properties), S_OK);
    ASSERT_EQ(properties.size(), 25u);
    EXPECT_EQ(std::count_if(properties.begin(), properties.end(), [](const PropertyInfo& p) { return p.colour; }), 14);
    std::vector<Guid> pages;
    control->GetPages(&pages);
    EXPECT_EQ(pages, std::vector<Guid>{CLSID_TavoplexPropPage});

    // A live object keeps the module loaded.
    EXPECT_EQ(module.canUnloadNow(), S_FALSE);
    EXPECT_FALSE(module.unload());
    control->WindowMessage(platform::host::Message::destroy());
    control->Release();
    EXPECT_EQ(module.unregisterServer(), S_OK);
    EXPECT_TRUE(module.unload());
}

TEST(TavoplexModule, FilesThatAreNoModuleAreRefused)
{
    TempDir dir;
    InprocModule module;
    EXPECT_FALSE(module.load(dir.path() + "/missing.so"));
    EXPECT_FALSE(module.error().empty());
    // A shared library without the entry points.
    EXPECT_FALSE(module.load("libz.so.1"));
    EXPECT_NE(module.error().find("entry point"), std::string::npos) << module.error();
    EXPECT_FALSE(module.loaded());
    EXPECT_EQ(module.createInstance(CLSID_Tavoplex, IID_OleControl, nullptr), E_POINTER);
}
