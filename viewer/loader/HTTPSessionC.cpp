// HTTPSessionC: GET requests over platform/net and the status texts.
#include "viewer/loader/HTTPSessionC.h"

#include "viewer/loader/DownloadObserverI.h"
#include "viewer/loader/FetchFile.h"
#include "viewer/loader/WideText.h"

HTTPSessionC::HTTPSessionC(const std::wstring&, uint32_t context, uint32_t, const std::wstring&, const std::wstring&,
                           uint32_t, DownloadObserverI* observer)
    : context(context), observer(observer)
{
}

void HTTPSessionC::SetOption(HTTPSessionOption option, uint32_t value)
{
    // Back-off and retries have no counterpart: one connection attempt per address.
    if (option == SessionConnectTimeout)
        limits.connectTimeoutMs = value;
}

void HTTPSessionC::SetLimits(const platform::net::Limits& l) { limits = l; }

const char* HTTPSessionC::StatusText(uint32_t status)
{
    switch (status) {
    case 10: return "Resolving name";
    case 11: return "Name resolved";
    case 20: return "Connecting to socket address";
    case 21: return "Connected to socket address";
    case 30: return "Sending request";
    case 31: return "Request sent";
    case 40: return "Receiving response";
    case 41: return "Response received";
    case 50: return "Closing the connection to the server";
    case 51: return "Connection to the server closed";
    case 60: return "Handle created";
    case 70: return "Handle closed";
    case 100: return "Request complete";
    case 110: return "Being redirected";
    default: return "Unknown status";
    }
}

void HTTPSessionC::OnStatusCallback(uint32_t, uint32_t status, const std::string& information, uint32_t length)
{
    std::wstring text = WidenText(StatusText(status));
    if (length > 4)
        text += L" :" + WidenText(information);
    if (observer)
        observer->OnStatus(text);
}

int HTTPSessionC::OpenGetRequest(const std::string& server, const std::string& object, uint16_t port, const char*,
                                 const char*, FetchFileI& out)
{
    const uint64_t start = out.GetLength();
    bool writeFailed = false;
    const auto body = [&](const char* data, size_t size) {
        writeFailed = !out.Write(data, size);
        return !writeFailed;
    };
    platform::net::StatusSink notify;
    if (statusCallback)
        notify = [this](platform::net::Status s, const std::string& info) {
            OnStatusCallback(context, s, info, info.empty() ? 0 : static_cast<uint32_t>(info.size() + 1));
        };
    lastResult = platform::net::httpGet(server, port, object, limits, body, notify);
    const platform::net::Result& r = lastResult;
    lastOutcome = writeFailed ? platform::net::Outcome::SinkRefused : r.outcome;
    if (r.ok()) {
        out.SeekToBegin();
        return 0;
    }
    out.SetLength(start);
    platform::ReasonText error = writeFailed ? platform::net::outcomeText(lastOutcome) : r.error;
    if (observer)
        observer->OnError(error.limit(1024));
    return 1;
}
