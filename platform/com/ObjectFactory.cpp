// ObjectFactory: the module's list of factories, object creation and the unload check.
#include "platform/com/ObjectFactory.h"

namespace platform::com {

constinit ObjectFactory* ObjectFactory::first_ = nullptr;
constinit std::atomic<long> ObjectFactory::moduleLocks_{0};

ObjectFactory::ObjectFactory(const Guid& clsid, const char* runtimeClass, bool multiInstance, const char* progId,
                             Creator creator)
    : clsid_(clsid), runtimeClass_(runtimeClass ? runtimeClass : ""), multiInstance_(multiInstance),
      progId_(progId ? progId : ""), creator_(std::move(creator))
{
    // Factories are made and destroyed by the module's start-up and unload, one thread.
    next_ = first_;
    first_ = this;
}

ObjectFactory::~ObjectFactory()
{
    for (ObjectFactory** link = &first_; *link != nullptr; link = &(*link)->next_)
        if (*link == this) {
            *link = next_;
            break;
        }
}

bool ObjectFactory::UpdateRegistryAll(bool registering)
{
    for (ObjectFactory* f = first_; f != nullptr; f = f->next_)
        if (!f->UpdateRegistry(registering))
            return false;
    return true;
}

HResult ObjectFactory::GetClassObject(const Guid& clsid, const Guid& iid, void** out)
{
    if (out == nullptr)
        return E_POINTER;
    *out = nullptr;
    for (ObjectFactory* f = first_; f != nullptr; f = f->next_)
        if (f->clsid_ == clsid)
            return f->QueryInterface(iid, out);
    return CLASS_E_CLASSNOTAVAILABLE;
}

HResult ObjectFactory::CanUnloadNow() { return moduleLocks_.load() == 0 ? S_OK : S_FALSE; }

HResult ObjectFactory::QueryInterface(const Guid& iid, void** out)
{
    if (out == nullptr)
        return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IClassFactory) {
        *out = static_cast<ClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

// A factory handed out keeps the module loaded until it is released.
uint32_t ObjectFactory::AddRef()
{
    LockModule();
    return refs_.fetch_add(1) + 1;
}

uint32_t ObjectFactory::Release()
{
    if (refs_.load() == 0)
        return 0;
    UnlockModule();
    return refs_.fetch_sub(1) - 1;
}

HResult ObjectFactory::CreateInstance(Unknown* outer, const Guid& iid, void** out)
{
    if (out == nullptr)
        return E_POINTER;
    *out = nullptr;
    if (outer != nullptr)
        return CLASS_E_NOAGGREGATION;
    Unknown* object = nullptr;
    try {
        object = creator_ ? creator_() : nullptr;
    } catch (...) {
        object = nullptr;
    }
    if (object == nullptr)
        return E_OUTOFMEMORY;
    const HResult r = object->QueryInterface(iid, out);
    object->Release();
    return r;
}

HResult ObjectFactory::LockServer(bool lock)
{
    if (lock)
        LockModule();
    else
        UnlockModule();
    return S_OK;
}

}  // namespace platform::com
