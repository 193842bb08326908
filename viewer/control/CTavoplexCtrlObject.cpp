// CTavoplexCtrlObject: the container's interfaces over the control.
#include "viewer/control/CTavoplexCtrlObject.h"

#include "platform/com/PropertyExchange.h"
#include "platform/com/Variant.h"

#include "viewer/control/CTavoplexCtrl.h"
#include "viewer/control/TavoplexResources.h"
#include "viewer/control/TavoplexTypeLib.h"

using namespace platform::com;

CTavoplexCtrlObject::CTavoplexCtrlObject() : control_(CTavoplexCtrl::CreateObject()) {}

HResult CTavoplexCtrlObject::SetClientSite(platform::host::Host* site)
{
    control_->AttachHost(site);
    return S_OK;
}

HResult CTavoplexCtrlObject::LoadProperties(const std::map<std::string, std::string>& parameters)
{
    PropertyBag bag(parameters.begin(), parameters.end());
    PropertyExchange exchange(PropertyExchange::Mode::Load, bag);
    control_->DoPropExchange(exchange);
    return S_OK;
}

HResult CTavoplexCtrlObject::GetProperties(std::vector<PropertyInfo>* properties)
{
    if (properties == nullptr)
        return E_POINTER;
    *properties = CTavoplexCtrl::PropertyTable();
    return S_OK;
}

long CTavoplexCtrlObject::WindowMessage(const platform::host::Message& message)
{
    return control_->WindowProc(message);
}

HResult CTavoplexCtrlObject::GetIDOfName(const std::string& name, int32_t* memberId)
{
    if (memberId == nullptr)
        return E_POINTER;
    const TypeInfo* dispatch = TavoplexTypeLibrary().find(DIID__DTavoplex);
    const FuncDesc* f = dispatch != nullptr ? dispatch->findFunction(name) : nullptr;
    if (f == nullptr)
        return DISP_E_UNKNOWNNAME;
    *memberId = f->memberId;
    return S_OK;
}

HResult CTavoplexCtrlObject::InvokeText(int32_t memberId, const std::vector<std::string>& args, std::string* result)
{
    std::vector<Variant> values;
    values.reserve(args.size());
    for (const std::string& a : args)
        values.push_back(Variant::fromText(a));
    Variant out;
    // A method that draws (a new model, a picture) runs frames outside the window procedure:
    // what it throws ends here, as it would there, and must not leave the OpenGL lock raised.
    const int lockDepth = control_->GLLockCount;
    try {
        if (!control_->Invoke(memberId, values, &out))
            return DISP_E_MEMBERNOTFOUND;
    } catch (...) {
        control_->RestoreOpenGLLock(lockDepth);
        return E_FAIL;
    }
    if (result != nullptr && !out.toText(*result))
        result->clear();
    return S_OK;
}

HResult CTavoplexCtrlObject::GetClassID(Guid* clsid) { return control_->GetClassID(clsid); }

HResult CTavoplexCtrlObject::GetTypeInfoCount(uint32_t* count)
{
    if (count == nullptr)
        return E_POINTER;
    *count = control_->GetTypeInfoCount();
    return S_OK;
}

HResult CTavoplexCtrlObject::GetTypeInfo(uint32_t index, uint32_t lcid, const TypeInfo** info)
{
    if (info == nullptr)
        return E_POINTER;
    *info = nullptr;
    if (index >= control_->GetTypeInfoCount())
        return E_INVALIDARG;
    const TypeLibrary* library = nullptr;
    const HResult r = control_->GetTypeLib(lcid, &library);
    if (!succeeded(r))
        return r;
    *info = library->find(DIID__DTavoplex);
    return *info != nullptr ? S_OK : E_FAIL;
}

HResult CTavoplexCtrlObject::GetMiscStatus(uint32_t aspect, uint32_t* status)
{
    if (status == nullptr)
        return E_POINTER;
    *status = aspect == DVASPECT_CONTENT ? control_->GetMiscStatus() : 0;
    return S_OK;
}

HResult CTavoplexCtrlObject::GetUserType(std::string* name)
{
    if (name == nullptr)
        return E_POINTER;
    *name = LoadResourceString(control_->GetUserTypeNameID());
    return S_OK;
}

HResult CTavoplexCtrlObject::GetPages(std::vector<Guid>* pages)
{
    if (pages == nullptr)
        return E_POINTER;
    *pages = control_->GetPropPageIDs();
    return S_OK;
}

HResult CTavoplexCtrlObject::GetState(ControlState* state)
{
    if (state == nullptr)
        return E_POINTER;
    const CTavoplexCtrl& c = *control_;
    state->hasContext = c.GLContext != nullptr;
    state->running = c.Start != 0;
    state->loading = c.Loading;
    state->loadFailed = c.LoadFailed;
    state->fileName.assign(c.FileName.data(), c.FileName.length());
    state->hostFolder.assign(c.HostFolder.data(), c.HostFolder.length());
    state->writeFailure = c.BitmapFailure.str();
    state->failureReason.clear();
    state->contextFailure.clear();
    if (c.GLContext == nullptr)
        state->contextFailure.assign(c.ContextFailure.data(), c.ContextFailure.length());
    if (c.LoadFailed) {
        state->failureReason.assign(c.FailureReason.data(), c.FailureReason.length());
    } else if (c.Loading && !c.LoaderInitialized) {
        const RWCString reason = c.FailureBeforeLoad();
        state->failureReason.assign(reason.data(), reason.length());
    }
    return S_OK;
}
