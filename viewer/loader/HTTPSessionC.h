// HTTPSessionC: an internet session that runs GET requests and turns notifications into texts.
#pragma once

#include <cstdint>
#include <string>

#include "platform/net/HttpGet.h"

class DownloadObserverI;
class FetchFileI;

// Session options the download sets (numbered as the internet session knows them).
enum HTTPSessionOption : uint32_t {
    SessionConnectTimeout = 2,
    SessionConnectRetries = 3,
    SessionConnectBackoff = 4,
};

class HTTPSessionC {
public:
    // The settings of the session (agent, context, access type, proxy, bypass, flags) are
    // kept as given; requests go through the platform's HTTP layer, which takes the proxy
    // from the process environment as the system's preconfigured settings.
    HTTPSessionC(const std::wstring& agent, uint32_t context, uint32_t accessType, const std::wstring& proxy,
                 const std::wstring& bypass, uint32_t flags, DownloadObserverI* observer);
    virtual ~HTTPSessionC() = default;

    void SetOption(HTTPSessionOption option, uint32_t value);
    void EnableStatusCallback(bool enable = true) { statusCallback = enable; }
    // Bounds beyond the session options: stall time-out, body cap, redirects.
    void SetLimits(const platform::net::Limits& limits);
    const platform::net::Limits& GetLimits() const { return limits; }

    // One GET of `object` on server:port. A 200 answer's body is written to `out` as it
    // arrives and `out` is then sought to its beginning: 0. Anything else: 1, the error text
    // goes to the observer and `out` is cut back to where it stood, so a failure leaves
    // nothing behind. User and password are not supported (the control passes none).
    int OpenGetRequest(const std::string& server, const std::string& object, uint16_t port, const char* user,
                       const char* password, FetchFileI& out);

    // A notification of the transfer: its text, with " :" and the information appended when
    // that is longer than 4 bytes, goes to the observer.
    virtual void OnStatusCallback(uint32_t context, uint32_t status, const std::string& information, uint32_t length);

    void Close() {}
    // What became of the last request (Ok before any).
    platform::net::Outcome GetLastOutcome() const { return lastOutcome; }
    // The last request's answer: its address after redirects, its type and more.
    const platform::net::Result& GetLastResult() const { return lastResult; }

    // The text of a notification code.
    static const char* StatusText(uint32_t status);

private:
    uint32_t context;
    DownloadObserverI* observer;
    bool statusCallback = false;
    platform::net::Limits limits;
    platform::net::Outcome lastOutcome = platform::net::Outcome::Ok;
    platform::net::Result lastResult;
};
