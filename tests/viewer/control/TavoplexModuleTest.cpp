// Tests of libtavoplex.so loaded as a container loads it: the four entry points found by
// name, registration, and a control created through the class factory and shown in a host.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include "platform/com/OleControl.h"
#include "platform/host/HeadlessHost.h"
#include "platform/host/Message.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"
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
    void* module = ::dlopen(TAVOPLEX_MODULE, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(module, nullptr) << ::dlerror();
    using Register = HResult (*)();
    using GetClassObject = HResult (*)(const Guid*, const Guid*, void**);
    auto registerServer = reinterpret_cast<Register>(::dlsym(module, "DllRegisterServer"));
    auto unregisterServer = reinterpret_cast<Register>(::dlsym(module, "DllUnregisterServer"));
    auto canUnload = reinterpret_cast<Register>(::dlsym(module, "DllCanUnloadNow"));
    auto getClassObject = reinterpret_cast<GetClassObject>(::dlsym(module, "DllGetClassObject"));
    ASSERT_TRUE(registerServer && unregisterServer && canUnload && getClassObject);
    // Only the entry points are visible.
    EXPECT_EQ(::dlsym(module, "theApp"), nullptr);

    EXPECT_EQ(registerServer(), S_OK);
    ClassFactory* factory = nullptr;
    ASSERT_EQ(getClassObject(&CLSID_Tavoplex, &IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
    OleControl* control = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_OleControl, reinterpret_cast<void**>(&control)), S_OK);
    factory->Release();

    platform::host::HeadlessHost host(80, 60);
    control->SetClientSite(&host);
    host.setWindow([&](const platform::host::Message& m) { return control->WindowMessage(m); });
    control->WindowMessage(platform::host::Message::create());
    control->WindowMessage(platform::host::Message::size(80, 60));
    const TypeInfo* info = nullptr;
    ASSERT_EQ(control->GetTypeInfo(0, 0, &info), S_OK);
    EXPECT_EQ(info->name, "_DTavoplex");
    std::vector<Guid> pages;
    control->GetPages(&pages);
    EXPECT_EQ(pages, std::vector<Guid>{CLSID_TavoplexPropPage});
    EXPECT_EQ(canUnload(), S_FALSE);
    control->WindowMessage(platform::host::Message::destroy());
    control->Release();
    EXPECT_EQ(canUnload(), S_OK);
    EXPECT_EQ(unregisterServer(), S_OK);
    EXPECT_EQ(::dlclose(module), 0);
}
