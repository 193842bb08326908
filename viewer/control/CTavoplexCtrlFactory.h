// CTavoplexCtrl::CTavoplexCtrlFactory: the class factory of the control and its registration
// with the component categories it implements.
#pragma once

#include "platform/com/ObjectFactory.h"
#include "viewer/control/CTavoplexCtrl.h"

class CTavoplexCtrl::CTavoplexCtrlFactory : public platform::com::ObjectFactory {
public:
    CTavoplexCtrlFactory();
    // Registering: the categories "Script safe" and "Init safe" (their results unused), then
    // the control class. Unregistering: the class leaves both categories (which stay
    // defined), then its entries go.
    bool UpdateRegistry(bool registering) override;

    static CTavoplexCtrlFactory factory;
};

// The category defined with its description (cut to 127 characters) for locale 0x409.
platform::com::HResult CreateComponentCategory(const platform::com::Guid& catid, const char* description);
platform::com::HResult RegisterCLSIDInCategory(const platform::com::Guid& clsid, const platform::com::Guid& catid);
platform::com::HResult UnRegisterCLSIDInCategory(const platform::com::Guid& clsid, const platform::com::Guid& catid);
