// HTTPDownloadC: one HTTP download's settings and the download into a file object.
#pragma once

#include <cstdint>
#include <string>

#include "platform/net/HttpGet.h"

class DownloadObserverI;
class FetchFileI;

class HTTPDownloadC {
public:
    // Empty agent, proxy and bypass, access type 0 (preconfigured), synchronous session.
    HTTPDownloadC();
    HTTPDownloadC(const std::wstring& agent, uint32_t accessType, const std::wstring& proxy, const std::wstring& bypass,
                  uint32_t flags);

    // Downloads `url` (an http:// address; its own port, if any, replaces `port`) into `out`,
    // telling nobody about its progress. 0 on success, non-zero on failure.
    int Download(const std::wstring& url, FetchFileI& out, uint16_t port);
    int DownloadInternal(const std::wstring& url, FetchFileI& out, DownloadObserverI& observer, uint16_t port);
    // Downloads into memory, then writes the bytes to `path`: 0, or 1 when either failed.
    int DownloadToFile(const std::wstring& url, const std::string& path, DownloadObserverI& observer, uint16_t port);

    // Bounds of every download made from now on by new download objects (process-wide), and
    // of this one.
    static platform::net::Limits& DefaultLimits();
    void SetLimits(const platform::net::Limits& l) { limits = l; }
    // What became of the last download (Ok before any).
    platform::net::Outcome LastOutcome() const { return lastOutcome; }
    // The last download's answer (its address after redirects, its type); empty before any,
    // or when the address was refused before a request.
    const platform::net::Result& LastResult() const { return lastResult; }

    // The parts of an address: false when it is no http:// address with a usable port.
    static bool SplitUrl(const std::string& url, std::string& server, std::string& object, uint16_t& port);

private:
    std::wstring agent;
    std::wstring proxy;
    std::wstring bypass;
    uint32_t flags = 0;
    uint32_t accessType = 0;
    platform::net::Limits limits;
    platform::net::Outcome lastOutcome = platform::net::Outcome::Ok;
    platform::net::Result lastResult;
};
