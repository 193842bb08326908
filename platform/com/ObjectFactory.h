// ObjectFactory: the class factories of a module, each one global object linked into the
// module's list at start-up; finding a class's factory, registering them all, and the count
// of live objects and locks that says whether the module may be unloaded.
#pragma once

#include <atomic>
#include <functional>
#include <string>

#include "platform/com/Unknown.h"

namespace platform::com {

class ObjectFactory : public ClassFactory {
public:
    // Makes a new object with one reference taken; null when it cannot.
    using Creator = std::function<Unknown*()>;

    ObjectFactory(const Guid& clsid, const char* runtimeClass, bool multiInstance, const char* progId,
                  Creator creator);
    virtual ~ObjectFactory();
    ObjectFactory(const ObjectFactory&) = delete;
    ObjectFactory& operator=(const ObjectFactory&) = delete;

    const Guid& classId() const { return clsid_; }
    const std::string& runtimeClass() const { return runtimeClass_; }
    const std::string& progId() const { return progId_; }
    bool multiInstance() const { return multiInstance_; }

    // Adds (true) or removes the class's registry entries; true on success.
    virtual bool UpdateRegistry(bool registering) = 0;
    // Every factory of the module in turn; false at the first that fails.
    static bool UpdateRegistryAll(bool registering);
    // The factory of a class asked for an interface: what a module's entry point gives.
    static HResult GetClassObject(const Guid& clsid, const Guid& iid, void** out);
    // S_OK when no object of the module lives and no lock is held, else S_FALSE.
    static HResult CanUnloadNow();
    // Objects of the module count themselves while they live.
    static void LockModule() { moduleLocks_.fetch_add(1); }
    static void UnlockModule() { moduleLocks_.fetch_sub(1); }

    // ---- ClassFactory ----
    HResult QueryInterface(const Guid& iid, void** out) override;
    // The factories are global objects: references are counted but never free them.
    uint32_t AddRef() override;
    uint32_t Release() override;
    HResult CreateInstance(Unknown* outer, const Guid& iid, void** out) override;
    HResult LockServer(bool lock) override;

private:
    Guid clsid_;
    std::string runtimeClass_;
    bool multiInstance_;
    std::string progId_;
    Creator creator_;
    std::atomic<uint32_t> refs_{0};
    ObjectFactory* next_ = nullptr;

    static ObjectFactory* first_;  // zero before any constructor runs, whatever the order
    static std::atomic<long> moduleLocks_;
};

}  // namespace platform::com
