// HTTPDownloadC: splitting the address, the session set-up and the download.
#include "viewer/loader/HTTPDownloadC.h"

#include <cstdio>
#include <cstring>
#include <strings.h>

#include "viewer/loader/DownloadObserverI.h"
#include "viewer/loader/FetchFile.h"
#include "viewer/loader/HTTPSessionC.h"
#include "viewer/loader/WideText.h"

platform::net::Limits& HTTPDownloadC::DefaultLimits()
{
    static platform::net::Limits limits;
    return limits;
}

HTTPDownloadC::HTTPDownloadC() : limits(DefaultLimits()) {}

HTTPDownloadC::HTTPDownloadC(const std::wstring& agent, uint32_t accessType, const std::wstring& proxy,
                             const std::wstring& bypass, uint32_t flags)
    : agent(agent), proxy(proxy), bypass(bypass), flags(flags), accessType(accessType), limits(DefaultLimits())
{
}

namespace {

// The bytes a URL's path and query may not hold as they stand (blanks, control characters,
// bytes of a non-ASCII name and a few signs), percent-encoded as a browser sends them, so that
// "my model.stl" is asked for as the file it names. Existing escapes and reserved characters
// keep their meaning.
std::string EncodeObject(const std::string& object)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string sent;
    for (const char c : object) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte >= 0x7f || std::strchr("\"<>\\^`{|}", c) != nullptr) {
            sent += '%';
            sent += hex[byte >> 4];
            sent += hex[byte & 15];
        } else {
            sent += c;
        }
    }
    return sent;
}

}  // namespace

bool HTTPDownloadC::SplitUrl(const std::string& url, std::string& server, std::string& object, uint16_t& port)
{
    if (url.size() < 7 || strncasecmp(url.c_str(), "http://", 7) != 0)
        return false;
    const size_t hostStart = 7;
    size_t pathStart = url.find_first_of("/?#", hostStart);
    if (pathStart == std::string::npos)
        pathStart = url.size();
    std::string authority = url.substr(hostStart, pathStart - hostStart);
    const size_t at = authority.rfind('@');
    if (at != std::string::npos)
        authority.erase(0, at + 1);  // user information is not sent
    std::string host = authority;
    std::string portText;
    if (!authority.empty() && authority[0] == '[') {
        const size_t close = authority.find(']');
        if (close == std::string::npos)
            return false;
        host = authority.substr(1, close - 1);
        if (close + 1 < authority.size()) {
            if (authority[close + 1] != ':')
                return false;
            portText = authority.substr(close + 2);
        }
    } else {
        const size_t colon = authority.find(':');
        if (colon != std::string::npos) {
            host = authority.substr(0, colon);
            portText = authority.substr(colon + 1);
        }
    }
    if (host.empty())
        return false;
    if (!portText.empty()) {
        unsigned long value = 0;
        for (char c : portText) {
            if (c < '0' || c > '9' || value > 65535)
                return false;
            value = value * 10 + unsigned(c - '0');
        }
        if (value == 0 || value > 65535)
            return false;
        port = static_cast<uint16_t>(value);
    }
    std::string rest = url.substr(pathStart);
    const size_t hash = rest.find('#');
    if (hash != std::string::npos)
        rest.erase(hash);
    object = EncodeObject(rest.empty() ? "/" : rest[0] == '?' ? "/" + rest : rest);
    server = host;
    return true;
}

int HTTPDownloadC::Download(const std::wstring& url, FetchFileI& out, uint16_t port)
{
    NullDownloadObserverC observer;
    return DownloadInternal(url, out, observer, port);
}

int HTTPDownloadC::DownloadInternal(const std::wstring& url, FetchFileI& out, DownloadObserverI& observer, uint16_t port)
{
    std::string server, object;
    lastResult = platform::net::Result();
    if (!SplitUrl(NarrowText(url), server, object, port)) {
        lastOutcome = platform::net::Outcome::BadAddress;
        observer.OnError(platform::net::outcomeText(lastOutcome));
        return 1;
    }
    HTTPSessionC session(agent, 1, accessType, proxy, bypass, flags, &observer);
    session.SetLimits(limits);
    session.SetOption(SessionConnectTimeout, 30 * 1000);
    session.SetOption(SessionConnectBackoff, 1000);
    session.SetOption(SessionConnectRetries, 1);
    session.EnableStatusCallback();
    const int result = session.OpenGetRequest(server, object, port, nullptr, nullptr, out);
    lastOutcome = session.GetLastOutcome();
    lastResult = session.GetLastResult();
    session.Close();
    return result;
}

int HTTPDownloadC::DownloadToFile(const std::wstring& url, const std::string& path, DownloadObserverI& observer,
                                  uint16_t port)
{
    MemFileC memory;
    if (DownloadInternal(url, memory, observer, port) != 0)
        return 1;
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return 1;
    const size_t n = static_cast<size_t>(memory.GetLength());
    const bool written = (n == 0 || std::fwrite(memory.Data(), 1, n, f) == n);
    return std::fclose(f) == 0 && written ? 0 : 1;
}
