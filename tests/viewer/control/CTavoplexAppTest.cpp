// Tests of the module linked into the program: registration, class factories and what the
// control and its property page report.
#include "viewer/control/CTavoplexApp.h"

#include <gtest/gtest.h>

#include "platform/com/ComponentCategories.h"
#include "platform/com/OleControl.h"
#include "platform/com/Registration.h"
#include "platform/host/HeadlessHost.h"
#include "platform/host/Message.h"
#include "platform/registry.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempDir.h"
#include "viewer/control/CTavoplexCtrl.h"
#include "viewer/control/CTavoplexCtrlFactory.h"
#include "viewer/control/TavoplexTypeLib.h"

using namespace platform::com;
using platform::registry::Root;

namespace {

class ModuleTest : public ::testing::Test {
protected:
    void SetUp() override { platform::registry::reset(); }
    void TearDown() override
    {
        setCategoryManagerAvailable(true);
        platform::registry::reset();
    }
    static bool key(const std::string& path) { return platform::registry::keyExists(Root::ClassesRoot, path); }
    static std::string text(const std::string& path, const std::string& name = "")
    {
        auto v = platform::registry::queryValue(Root::ClassesRoot, path, name);
        return v ? v->text : "<missing>";
    }
    TempDir dir;
    ScopedEnv xdg{"XDG_CONFIG_HOME", dir.path().c_str()};
};

const std::string kCtrl = "CLSID\\" + CLSID_Tavoplex.toString();
const std::string kPage = "CLSID\\" + CLSID_TavoplexPropPage.toString();
const std::string kScript = "Component Categories\\" + CATID_SafeForScripting.toString();
const std::string kInit = "Component Categories\\" + CATID_SafeForInitializing.toString();

}  // namespace

TEST_F(ModuleTest, RegisteringTwiceSucceedsAndUnregisteringLeavesTheCategories)
{
    EXPECT_EQ(DllRegisterServer(), S_OK);
    EXPECT_EQ(DllRegisterServer(), S_OK);
    EXPECT_EQ(text(kCtrl), "Tavoplex Control");
    EXPECT_EQ(text(kCtrl + "\\ProgID"), "TAVOPLEX.TavoplexCtrl.1");
    EXPECT_EQ(text(kCtrl + "\\InprocServer32", "ThreadingModel"), "Apartment");
    EXPECT_EQ(text(kCtrl + "\\MiscStatus\\1"), "131473");
    EXPECT_EQ(text(kCtrl + "\\TypeLib"), LIBID_TAVOPLEXLib.toString());
    EXPECT_TRUE(key(kCtrl + "\\Insertable") && key(kCtrl + "\\Control"));
    EXPECT_TRUE(key(kCtrl + "\\Implemented Categories\\" + CATID_SafeForScripting.toString()));
    EXPECT_TRUE(key(kCtrl + "\\Implemented Categories\\" + CATID_SafeForInitializing.toString()));
    EXPECT_EQ(text("TAVOPLEX.TavoplexCtrl.1\\CLSID"), CLSID_Tavoplex.toString());
    EXPECT_EQ(text(kPage), "Tavoplex Property Page");
    EXPECT_EQ(text(kScript, "409"), "Script safe");
    EXPECT_EQ(text(kInit, "409"), "Init safe");
    EXPECT_EQ(text("TypeLib\\" + LIBID_TAVOPLEXLib.toString() + "\\1.0"), "tavoplex ActiveX Control module");
    EXPECT_EQ(text("Interface\\" + DIID__DTavoplex.toString()), "_DTavoplex");

    EXPECT_EQ(DllUnregisterServer(), S_OK);
    EXPECT_FALSE(key(kCtrl) || key(kPage) || key("TAVOPLEX.TavoplexCtrl.1"));
    EXPECT_FALSE(key("TypeLib\\" + LIBID_TAVOPLEXLib.toString()));
    EXPECT_FALSE(key("Interface\\" + DIID__DTavoplex.toString()));
    EXPECT_EQ(text(kScript, "409"), "Script safe");
    EXPECT_EQ(text(kInit, "409"), "Init safe");
    // Nothing left to remove: the type library step fails.
    EXPECT_EQ(DllUnregisterServer(), SELFREG_E_TYPELIB);
}

TEST_F(ModuleTest, RegistrationReportsTheStepThatFailed)
{
    platform::registry::setReadOnly(Root::ClassesRoot, "TypeLib");
    EXPECT_EQ(DllRegisterServer(), SELFREG_E_TYPELIB);
    platform::registry::reset();
    platform::registry::setReadOnly(Root::ClassesRoot, kPage);
    EXPECT_EQ(DllRegisterServer(), SELFREG_E_CLASS);
    platform::registry::setReadOnly(Root::ClassesRoot, kPage, false);
    EXPECT_EQ(DllRegisterServer(), S_OK);
    platform::registry::setReadOnly(Root::ClassesRoot, kCtrl);
    EXPECT_EQ(DllUnregisterServer(), SELFREG_E_CLASS);

    // Without the category manager the classes still register.
    platform::registry::reset();
    setCategoryManagerAvailable(false);
    EXPECT_EQ(DllRegisterServer(), S_OK);
    EXPECT_EQ(text(kCtrl), "Tavoplex Control");
    EXPECT_FALSE(key(kScript) || key(kCtrl + "\\Implemented Categories"));
}

TEST_F(ModuleTest, CategoryDescriptionsAreCutTo127Characters)
{
    const struct {
        size_t length;
        size_t stored;
    } cases[] = {{0, 0}, {127, 127}, {128, 127}, {400, 127}};
    for (const auto& c : cases) {
        EXPECT_EQ(CreateComponentCategory(CATID_SafeForScripting, std::string(c.length, 'd').c_str()), S_OK);
        EXPECT_EQ(text(kScript, "409").size(), c.stored) << c.length;
    }
    // Characters, not bytes: a letter of two bytes is never split.
    std::string letters;
    for (int i = 0; i < 200; ++i)
        letters += "\xC3\xA9";
    EXPECT_EQ(CreateComponentCategory(CATID_SafeForScripting, letters.c_str()), S_OK);
    EXPECT_EQ(text(kScript, "409"), letters.substr(0, 254));
}

TEST_F(ModuleTest, FactoryCreatesTheControlWhichReportsItsRegistrationFacts)
{
    ClassFactory* factory = nullptr;
    EXPECT_EQ(DllGetClassObject(&LIBID_TAVOPLEXLib, &IID_IClassFactory, reinterpret_cast<void**>(&factory)),
              CLASS_E_CLASSNOTAVAILABLE);
    ASSERT_EQ(DllGetClassObject(&CLSID_Tavoplex, &IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
    EXPECT_EQ(DllCanUnloadNow(), S_FALSE);  // a factory handed out holds the module

    OleControl* control = nullptr;
    EXPECT_EQ(factory->CreateInstance(reinterpret_cast<Unknown*>(factory), IID_OleControl,
                                      reinterpret_cast<void**>(&control)),
              CLASS_E_NOAGGREGATION);
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_OleControl, reinterpret_cast<void**>(&control)), S_OK);
    factory->Release();

    Guid clsid;
    EXPECT_EQ(control->GetClassID(&clsid), S_OK);
    EXPECT_EQ(clsid, CLSID_Tavoplex);
    uint32_t count = 0, misc = 0;
    EXPECT_EQ(control->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(control->GetMiscStatus(DVASPECT_CONTENT, &misc), S_OK);
    EXPECT_EQ(misc, 0x20191u);
    std::string type;
    EXPECT_EQ(control->GetUserType(&type), S_OK);
    EXPECT_EQ(type, "Tavoplex Control");
    for (int call = 0; call < 3; ++call) {
        std::vector<Guid> pages;
        EXPECT_EQ(control->GetPages(&pages), S_OK);
        EXPECT_EQ(pages, std::vector<Guid>{CLSID_TavoplexPropPage});
    }
    // Type information only once the library is registered.
    const TypeInfo* info = nullptr;
    EXPECT_EQ(control->GetTypeInfo(0, 0x409, &info), TYPE_E_LIBNOTREGISTERED);
    ASSERT_EQ(DllRegisterServer(), S_OK);
    ASSERT_EQ(control->GetTypeInfo(0, 0x409, &info), S_OK);
    EXPECT_EQ(info->name, "_DTavoplex");
    EXPECT_EQ(info->helpString, "Dispatch interface for Tavoplex Control");
    ASSERT_NE(info->findFunction("SetZoom"), nullptr);
    EXPECT_EQ(info->findFunction("SetZoom")->memberId, 7);
    EXPECT_EQ(info->findFunction(-552)->name, "AboutBox");
    int32_t id = 0;
    EXPECT_EQ(control->GetIDOfName("loadandcreatebmp", &id), S_OK);
    EXPECT_EQ(id, 4);
    EXPECT_EQ(control->GetIDOfName("Unknown", &id), DISP_E_UNKNOWNNAME);

    // The container places it and its window runs.
    platform::host::HeadlessHost host(64, 48);
    EXPECT_EQ(control->SetClientSite(&host), S_OK);
    control->WindowMessage(platform::host::Message::create());
    control->WindowMessage(platform::host::Message::size(64, 48));
    control->WindowMessage(platform::host::Message::destroy());
    control->Release();
    EXPECT_EQ(DllCanUnloadNow(), S_OK);
}

TEST_F(ModuleTest, PropertyPageIsMadeByItsFactoryAndChangesNothing)
{
    ClassFactory* factory = nullptr;
    ASSERT_EQ(DllGetClassObject(&CLSID_TavoplexPropPage, &IID_IUnknown, reinterpret_cast<void**>(&factory)), S_OK);
    PropertyPage* page = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_PropertyPage, reinterpret_cast<void**>(&page)), S_OK);
    factory->Release();
    OleControl* notAControl = nullptr;
    EXPECT_EQ(page->QueryInterface(IID_OleControl, reinterpret_cast<void**>(&notAControl)), E_NOINTERFACE);
    PageInfo info;
    EXPECT_EQ(page->GetPageInfo(&info), S_OK);
    EXPECT_EQ(info.title, "General");
    EXPECT_EQ(info.width, 285);
    EXPECT_EQ(info.height, 111);
    EXPECT_EQ(page->Apply(), S_OK);
    page->Release();
    EXPECT_EQ(DllCanUnloadNow(), S_OK);
}

TEST_F(ModuleTest, AboutBoxShowsDialogOneUntilItsOk)
{
    platform::host::HeadlessHost host(32, 32);
    CTavoplexCtrl control;
    control.AboutBox();  // no container: nothing to show it in
    control.AttachHost(&host);
    platform::host::Dialog seen;
    int result = 0;
    host.setDialogAnswer([&](platform::host::Dialog& d) {
        seen = d;
        result = d.click(1);
        return result;
    });
    control.AboutBox();
    EXPECT_EQ(host.dialogsShown(), std::vector<std::string>{"About Tavoplex Control"});
    EXPECT_EQ(result, 1);
    EXPECT_EQ(seen.width, 260);
    EXPECT_EQ(seen.height, 55);
    ASSERT_EQ(seen.controls.size(), 3u);
    EXPECT_EQ(seen.controls[0].text, "Tavoplex Control, Version 1.0");
    EXPECT_EQ(seen.controls[0].x, 40);
    EXPECT_EQ(seen.controls[0].y, 10);
}
