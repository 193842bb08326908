// CTavoplexCtrlObject: the control as an object of the module, which a container holds
// through its interfaces; it owns one CTavoplexCtrl.
#pragma once

#include <atomic>
#include <memory>

#include "platform/com/OleControl.h"

class CTavoplexCtrl;

class CTavoplexCtrlObject final : public platform::com::OleControl {
public:
    // One reference taken; the module stays loaded while the object lives.
    CTavoplexCtrlObject();
    CTavoplexCtrlObject(const CTavoplexCtrlObject&) = delete;
    CTavoplexCtrlObject& operator=(const CTavoplexCtrlObject&) = delete;

    CTavoplexCtrl& Control() { return *control_; }

    // ---- Unknown ----
    platform::com::HResult QueryInterface(const platform::com::Guid& iid, void** out) override;
    uint32_t AddRef() override;
    uint32_t Release() override;

    // ---- OleControl ----
    platform::com::HResult SetClientSite(platform::host::Host* site) override;
    platform::com::HResult LoadProperties(const std::map<std::string, std::string>& parameters) override;
    long WindowMessage(const platform::host::Message& message) override;
    platform::com::HResult GetIDOfName(const std::string& name, int32_t* memberId) override;
    platform::com::HResult InvokeText(int32_t memberId, const std::vector<std::string>& args,
                                      std::string* result) override;
    platform::com::HResult GetClassID(platform::com::Guid* clsid) override;
    platform::com::HResult GetTypeInfoCount(uint32_t* count) override;
    platform::com::HResult GetTypeInfo(uint32_t index, uint32_t lcid, const platform::com::TypeInfo** info) override;
    platform::com::HResult GetMiscStatus(uint32_t aspect, uint32_t* status) override;
    platform::com::HResult GetUserType(std::string* name) override;
    platform::com::HResult GetPages(std::vector<platform::com::Guid>* pages) override;

private:
    ~CTavoplexCtrlObject();

    std::atomic<uint32_t> refs_{1};
    std::unique_ptr<CTavoplexCtrl> control_;
};
