// DownloadObserverI, the receiver of a download's status and error texts, and its null form.
#pragma once

#include <string>

#include "platform/Reason.h"

class DownloadObserverI {
public:
    virtual ~DownloadObserverI() = default;
    virtual void OnStatus(std::wstring text) = 0;
    virtual void OnError(const platform::ReasonText& text) = 0;
};

// Ignores every text: what the control's downloads use.
class NullDownloadObserverC : public DownloadObserverI {
public:
    void OnStatus(std::wstring) override {}
    void OnError(const platform::ReasonText&) override {}
};
