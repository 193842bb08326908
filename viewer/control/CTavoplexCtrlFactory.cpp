// CTavoplexCtrl::CTavoplexCtrlFactory: creating the control object and registering its class.
#include "viewer/control/CTavoplexCtrlFactory.h"

#include "platform/com/ComponentCategories.h"
#include "platform/com/Registration.h"
#include "viewer/control/CTavoplexApp.h"
#include "viewer/control/CTavoplexCtrlObject.h"
#include "viewer/control/TavoplexResources.h"
#include "viewer/control/TavoplexTypeLib.h"

using namespace platform::com;

HResult CreateComponentCategory(const Guid& catid, const char* description)
{
    std::unique_ptr<CategoryRegister> manager = openCategoryManager();
    if (!manager)
        return E_FAIL;
    CategoryInfo info;
    info.catid = catid;
    info.lcid = 0x409;
    info.description = cutCategoryDescription(description != nullptr ? description : "");
    return manager->RegisterCategories({info});
}

HResult RegisterCLSIDInCategory(const Guid& clsid, const Guid& catid)
{
    std::unique_ptr<CategoryRegister> manager = openCategoryManager();
    return manager ? manager->RegisterClassImplCategories(clsid, {catid}) : E_FAIL;
}

HResult UnRegisterCLSIDInCategory(const Guid& clsid, const Guid& catid)
{
    std::unique_ptr<CategoryRegister> manager = openCategoryManager();
    return manager ? manager->UnRegisterClassImplCategories(clsid, {catid}) : E_FAIL;
}

CTavoplexCtrl::CTavoplexCtrlFactory::CTavoplexCtrlFactory()
    : ObjectFactory(CLSID_Tavoplex, "CTavoplexCtrl", false, "TAVOPLEX.TavoplexCtrl.1",
                    [] { return static_cast<Unknown*>(new CTavoplexCtrlObject()); })
{
}

bool CTavoplexCtrl::CTavoplexCtrlFactory::UpdateRegistry(bool registering)
{
    const struct {
        Guid catid;
        const char* description;
    } categories[] = {{CATID_SafeForScripting, "Script safe"}, {CATID_SafeForInitializing, "Init safe"}};
    // A container that finds no categories only asks before scripting the control, so a
    // failure here does not stop the class's own entries.
    for (const auto& c : categories) {
        if (registering) {
            if (succeeded(CreateComponentCategory(c.catid, c.description)))
                RegisterCLSIDInCategory(classId(), c.catid);
        } else {
            UnRegisterCLSIDInCategory(classId(), c.catid);
        }
    }
    if (!registering)
        return unregisterClass(classId(), progId());
    ControlClassInfo info;
    info.modulePath = CTavoplexApp::ModulePath();
    info.clsid = classId();
    info.progId = progId();
    info.typeName = LoadResourceString(IDS_TAVOPLEX);
    info.toolboxBitmapId = 1;
    info.flags = RegInsertable | RegApartmentThreading;
    info.miscStatus = 0x20191;
    info.libid = LIBID_TAVOPLEXLib;
    info.major = kTypeLibMajor;
    info.minor = kTypeLibMinor;
    return registerControlClass(info);
}
