// CTavoplexPropPage: the property page object, its factory and registration.
#include "viewer/control/CTavoplexPropPage.h"

#include "platform/com/Registration.h"
#include "viewer/control/CTavoplexApp.h"
#include "viewer/control/TavoplexResources.h"
#include "viewer/control/TavoplexTypeLib.h"

using namespace platform::com;

CTavoplexPropPage::CTavoplexPropPageFactory::CTavoplexPropPageFactory()
    : ObjectFactory(CLSID_TavoplexPropPage, "CTavoplexPropPage", false, "TAVOPLEX.TavoplexPropPage.1",
                    [] { return static_cast<Unknown*>(new CTavoplexPropPage()); })
{
}

bool CTavoplexPropPage::CTavoplexPropPageFactory::UpdateRegistry(bool registering)
{
    if (registering)
        return registerPropertyPageClass(CTavoplexApp::ModulePath(), classId(), LoadResourceString(IDS_TAVOPLEX_PPG));
    return unregisterClass(classId(), "");
}

CTavoplexPropPage::CTavoplexPropPage() : window_(LoadDialogResource(IDD_PROPPAGE_TAVOPLEX))
{
    window_.onCommand = [this](platform::host::Dialog&, int id) {
        if (id == IDOK)
            OnOK();
        return 0;
    };
}

void CTavoplexPropPage::DoDataExchange(bool save) { (void)save; }

void CTavoplexPropPage::OnOK() {}

HResult CTavoplexPropPage::GetPageInfo(PageInfo* info)
{
    if (info == nullptr)
        return E_POINTER;
    info->title = LoadResourceString(IDS_TAVOPLEX_PPG_CAPTION);
    info->width = window_.width;
    info->height = window_.height;
    return S_OK;
}

HResult CTavoplexPropPage::Apply()
{
    DoDataExchange(true);
    OnOK();
    return S_OK;
}
