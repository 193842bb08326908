// InprocModule: a module loaded into the process with dlopen, as a container loads one: its
// four entry points found by name, registration, and objects made through its class
// factories.
#pragma once

#include <string>

#include "platform/com/Guid.h"
#include "platform/com/Unknown.h"

namespace platform::com {

class InprocModule {
public:
    InprocModule() = default;
    // Unloads the module when it says it may be (no object or lock of it left); otherwise it
    // stays loaded for the process's life, as the objects still need its code.
    ~InprocModule();
    InprocModule(const InprocModule&) = delete;
    InprocModule& operator=(const InprocModule&) = delete;

    // Loads the module at path and finds its entry points; false with error() set when the
    // file cannot be loaded or lacks one of them.
    bool load(const std::string& path);
    bool loaded() const { return handle_ != nullptr; }
    const std::string& error() const { return error_; }

    HResult registerServer();
    HResult unregisterServer();
    HResult getClassObject(const Guid& clsid, const Guid& iid, void** out);
    // A new object of the class asked for the interface, through the class's factory.
    HResult createInstance(const Guid& clsid, const Guid& iid, void** out);
    HResult canUnloadNow();
    // Unloads when the module agrees; true when it is unloaded afterwards.
    bool unload();

private:
    using Plain = HResult (*)();
    using GetClassObject = HResult (*)(const Guid*, const Guid*, void**);

    void* handle_ = nullptr;
    Plain register_ = nullptr;
    Plain unregister_ = nullptr;
    Plain canUnload_ = nullptr;
    GetClassObject getClassObject_ = nullptr;
    std::string error_;
};

}  // namespace platform::com
