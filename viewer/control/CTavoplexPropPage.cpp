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
    ObjectFactory::LockModule();
    window_.onCommand = [this](platform::host::Dialog&, int id) {
        if (id == IDOK)
            OnOK();
        return 0;
    };
}

CTavoplexPropPage::~CTavoplexPropPage() { ObjectFactory::UnlockModule(); }

void CTavoplexPropPage::DoDataExchange(bool save) { (void)save; }

void CTavoplexPropPage::OnOK() {}

HResult CTavoplexPropPage::QueryInterface(const Guid& iid, void** out)
{
    if (out == nullptr)
        return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_PropertyPage) {
        *out = static_cast<PropertyPage*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

uint32_t CTavoplexPropPage::AddRef() { return refs_.fetch_add(1) + 1; }

uint32_t CTavoplexPropPage::Release()
{
    const uint32_t left = refs_.fetch_sub(1) - 1;
    if (left == 0)
        delete this;
    return left;
}

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
