// CTavoplexPropPage: the control's (empty) property page, and its class factory.
#pragma once

#include "platform/com/ComObject.h"
#include "platform/com/ObjectFactory.h"
#include "platform/com/OleControl.h"
#include "platform/host/Dialog.h"

class CTavoplexPropPage final
    : public platform::com::ComObject<platform::com::PropertyPage, platform::com::IID_PropertyPage> {
public:
    class CTavoplexPropPageFactory : public platform::com::ObjectFactory {
    public:
        CTavoplexPropPageFactory();
        bool UpdateRegistry(bool registering) override;
        static CTavoplexPropPageFactory factory;
    };

    // One reference taken; the page is built from dialog 200 with caption string 200.
    CTavoplexPropPage();
    CTavoplexPropPage(const CTavoplexPropPage&) = delete;
    CTavoplexPropPage& operator=(const CTavoplexPropPage&) = delete;

    // The page changes no property: the exchange only finishes the class library's work.
    void DoDataExchange(bool save);
    void OnOK();
    platform::host::Dialog& Window() { return window_; }

    // ---- PropertyPage ----
    platform::com::HResult GetPageInfo(platform::com::PageInfo* info) override;
    platform::com::HResult Apply() override;

private:
    ~CTavoplexPropPage() override = default;
    platform::host::Dialog window_;
};
