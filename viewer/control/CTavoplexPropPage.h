// CTavoplexPropPage: the control's (empty) property page, and its class factory.
#pragma once

#include <atomic>

#include "platform/com/ObjectFactory.h"
#include "platform/com/OleControl.h"
#include "platform/host/Dialog.h"

class CTavoplexPropPage final : public platform::com::PropertyPage {
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

    // ---- Unknown, PropertyPage ----
    platform::com::HResult QueryInterface(const platform::com::Guid& iid, void** out) override;
    uint32_t AddRef() override;
    uint32_t Release() override;
    platform::com::HResult GetPageInfo(platform::com::PageInfo* info) override;
    platform::com::HResult Apply() override;

private:
    ~CTavoplexPropPage();
    std::atomic<uint32_t> refs_{1};
    platform::host::Dialog window_;
};
