// InprocModule: loading a module and calling its entry points.
#include "platform/com/InprocModule.h"

#include <dlfcn.h>

namespace platform::com {

InprocModule::~InprocModule() { unload(); }

bool InprocModule::load(const std::string& path)
{
    if (handle_ != nullptr && !unload()) {
        error_ = "a module is loaded and still in use";
        return false;
    }
    error_.clear();
    handle_ = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) {
        const char* why = ::dlerror();
        error_ = why != nullptr ? why : ("cannot load " + path);
        return false;
    }
    register_ = reinterpret_cast<Plain>(::dlsym(handle_, "DllRegisterServer"));
    unregister_ = reinterpret_cast<Plain>(::dlsym(handle_, "DllUnregisterServer"));
    canUnload_ = reinterpret_cast<Plain>(::dlsym(handle_, "DllCanUnloadNow"));
    getClassObject_ = reinterpret_cast<GetClassObject>(::dlsym(handle_, "DllGetClassObject"));
    if (register_ == nullptr || unregister_ == nullptr || canUnload_ == nullptr || getClassObject_ == nullptr) {
        error_ = path + " is not a module: an entry point is missing";
        ::dlclose(handle_);
        handle_ = nullptr;
        return false;
    }
    return true;
}

HResult InprocModule::registerServer() { return handle_ != nullptr ? register_() : E_FAIL; }

HResult InprocModule::unregisterServer() { return handle_ != nullptr ? unregister_() : E_FAIL; }

HResult InprocModule::getClassObject(const Guid& clsid, const Guid& iid, void** out)
{
    if (out == nullptr)
        return E_POINTER;
    *out = nullptr;
    return handle_ != nullptr ? getClassObject_(&clsid, &iid, out) : E_FAIL;
}

HResult InprocModule::createInstance(const Guid& clsid, const Guid& iid, void** out)
{
    if (out == nullptr)
        return E_POINTER;
    *out = nullptr;
    ClassFactory* factory = nullptr;
    const HResult r = getClassObject(clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory));
    if (!succeeded(r))
        return r;
    if (factory == nullptr)
        return E_FAIL;  // a module that reports success without a factory
    const HResult made = factory->CreateInstance(nullptr, iid, out);
    factory->Release();
    return made;
}

HResult InprocModule::canUnloadNow() { return handle_ != nullptr ? canUnload_() : S_OK; }

bool InprocModule::unload()
{
    if (handle_ == nullptr)
        return true;
    if (canUnload_() != S_OK)
        return false;
    ::dlclose(handle_);
    handle_ = nullptr;
    register_ = unregister_ = canUnload_ = nullptr;
    getClassObject_ = nullptr;
    return true;
}

}  // namespace platform::com
