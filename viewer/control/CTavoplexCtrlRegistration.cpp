// CTavoplexCtrl: what the control reports to its container about its class, type library,
// property pages, type name and behaviour; and its about box.
#include "platform/com/Registration.h"
#include "platform/host/Host.h"
#include "viewer/control/CTavoplexCtrl.h"
#include "viewer/control/TavoplexResources.h"
#include "viewer/control/TavoplexTypeLib.h"

int32_t CTavoplexCtrl::GetTypeLib(uint32_t lcid, const platform::com::TypeLibrary** library) const
{
    return platform::com::loadRegTypeLib(LIBID_TAVOPLEXLib, kTypeLibMajor, kTypeLibMinor, lcid, library);
}

int32_t CTavoplexCtrl::GetClassID(platform::com::Guid* clsid) const
{
    if (clsid == nullptr)
        return platform::com::E_POINTER;
    *clsid = CLSID_Tavoplex;
    return platform::com::S_OK;
}

const std::vector<platform::com::Guid>& CTavoplexCtrl::GetPropPageIDs() const
{
    static const std::vector<platform::com::Guid> pages{CLSID_TavoplexPropPage};
    return pages;
}

int CTavoplexCtrl::GetUserTypeNameID() const { return IDS_TAVOPLEX; }

// Client site first, active when visible, inside-out, no links inside, recomposed on resize.
uint32_t CTavoplexCtrl::GetMiscStatus() const { return 0x20191; }

void CTavoplexCtrl::AboutBox()
{
    if (HostSite == nullptr)
        return;
    platform::host::Dialog about = LoadDialogResource(IDD_ABOUTBOX_TAVOPLEX);
    HostSite->runModalDialog(about);
}
