// ComObject: the reference count and interface lookup of an object of a module that offers
// one interface besides Unknown; the module stays loaded while such an object lives.
#pragma once

#include <atomic>

#include "platform/com/ObjectFactory.h"

namespace platform::com {

template <class Interface, const Guid& InterfaceId>
class ComObject : public Interface {
public:
    HResult QueryInterface(const Guid& iid, void** out) override
    {
        if (out == nullptr)
            return E_POINTER;
        if (iid == IID_IUnknown || iid == InterfaceId) {
            *out = static_cast<Interface*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    uint32_t AddRef() override { return refs_.fetch_add(1) + 1; }
    // The last reference destroys the object.
    uint32_t Release() override
    {
        const uint32_t left = refs_.fetch_sub(1) - 1;
        if (left == 0)
            delete this;
        return left;
    }

protected:
    // Made with one reference taken.
    ComObject() { ObjectFactory::LockModule(); }
    virtual ~ComObject() { ObjectFactory::UnlockModule(); }

private:
    std::atomic<uint32_t> refs_{1};
};

}  // namespace platform::com
