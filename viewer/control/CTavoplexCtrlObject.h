// CTavoplexCtrlObject: the control as an object of the module, which a container holds
// through its interfaces; it owns one CTavoplexCtrl.
#pragma once

#include <memory>

#include "platform/com/ComObject.h"
#include "platform/com/OleControl.h"

class CTavoplexCtrl;

class CTavoplexCtrlObject final
    : public platform::com::ComObject<platform::com::OleControl, platform::com::IID_OleControl> {
public:
    // One reference taken; the module stays loaded while the object lives.
    CTavoplexCtrlObject();
    CTavoplexCtrlObject(const CTavoplexCtrlObject&) = delete;
    CTavoplexCtrlObject& operator=(const CTavoplexCtrlObject&) = delete;

    CTavoplexCtrl& Control() { return *control_; }

    // ---- OleControl ----
    platform::com::HResult SetClientSite(platform::host::Host* site) override;
    platform::com::HResult LoadProperties(const std::map<std::string, std::string>& parameters) override;
    platform::com::HResult GetProperties(std::vector<platform::com::PropertyInfo>* properties) override;
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
    platform::com::HResult GetState(platform::com::ControlState* state) override;

private:
    ~CTavoplexCtrlObject() override = default;

    std::unique_ptr<CTavoplexCtrl> control_;
};
