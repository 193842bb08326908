// platform/net: the GET over libcurl, its notifications and its bounds.
#include "platform/net/HttpGet.h"

#include <curl/curl.h>
#include <dlfcn.h>
#include <strings.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "platform/WebAddress.h"

namespace platform::net {

namespace {

using Clock = std::chrono::steady_clock;

// libcurl and what it pulls in (TLS, Kerberos, LDAP and more, some thirty libraries) take
// about 5 ms to map and bind, which a program that only reads local files would pay at every
// start: they are loaded with the first download instead.
struct CurlLibrary {
    decltype(&curl_global_init) globalInit = nullptr;
    decltype(&curl_easy_init) init = nullptr;
    decltype(&curl_easy_setopt) setopt = nullptr;
    decltype(&curl_easy_perform) perform = nullptr;
    decltype(&curl_easy_getinfo) getinfo = nullptr;
    decltype(&curl_easy_strerror) strerror = nullptr;
    decltype(&curl_easy_cleanup) cleanup = nullptr;
};

template <class F>
bool bind(void* library, const char* name, F& into)
{
    into = reinterpret_cast<F>(dlsym(library, name));
    return into != nullptr;
}

// The library as the first download found it, kept for the process: a library that is
// missing or broken stays so.
struct LoadedLibrary {
    const CurlLibrary* api = nullptr;  // null when it cannot be used
    ReasonText why;                    // then what the loader said
};

const LoadedLibrary& curlLibrary()
{
    static const LoadedLibrary loaded = [] {
        LoadedLibrary l;
        static CurlLibrary api;
        void* library = dlopen("libcurl.so.4", RTLD_NOW | RTLD_LOCAL);
        if (!library || !bind(library, "curl_global_init", api.globalInit) ||
            !bind(library, "curl_easy_init", api.init) || !bind(library, "curl_easy_setopt", api.setopt) ||
            !bind(library, "curl_easy_perform", api.perform) || !bind(library, "curl_easy_getinfo", api.getinfo) ||
            !bind(library, "curl_easy_strerror", api.strerror) || !bind(library, "curl_easy_cleanup", api.cleanup)) {
            // The loader's words name the file and say what is wrong with it (not found, a
            // library it needs is missing, an entry point is missing).
            const char* error = dlerror();
            l.why = reasonText(Reason::SystemWords, OutsideWords(error ? error : "libcurl.so.4"));
            return l;
        }
        if (api.globalInit(CURL_GLOBAL_DEFAULT) != CURLE_OK) {
            l.why = reasonText(Reason::TransferLibraryNotSetUp);
            return l;
        }
        l.api = &api;
        return l;
    }();
    return loaded;
}

// What the callbacks share with the caller during one transfer.
struct Transfer {
    const CurlLibrary* library = nullptr;
    CURL* curl = nullptr;
    const Limits* limits = nullptr;
    const BodySink* body = nullptr;
    const StatusSink* status = nullptr;
    std::string* head = nullptr;  // the body's first bytes
    uint64_t delivered = 0;
    bool inHeaders = false;
    long lastStatus = 0;
    std::string location;
    Outcome stop = Outcome::Ok;  // set by a callback that aborts the transfer
    bool connected = false;      // a request went out on a connection
    int requests = 0;            // requests sent, redirects included
    int answers = 0;             // status lines received
    curl_off_t lastBytes = -1;
    Clock::time_point lastActivity = Clock::now();
    Clock::time_point started = Clock::now();
    ReasonText stopText;  // what a callback that aborts found, when it says more than the outcome

    void notify(Status s, const std::string& info = {}) const
    {
        if (*status)
            (*status)(s, info);
    }
};

// A host or path that would change the request line: control characters, blanks, or for the
// host anything that reads as user information or another address part.
bool sendable(const std::string& text, bool isHost)
{
    for (unsigned char c : text) {
        if (c <= 0x20 || c == 0x7f)
            return false;
        if (isHost && (c == '/' || c == '@' || c == '?' || c == '#' || c == '\\'))
            return false;
    }
    return true;
}

size_t onBody(char* data, size_t size, size_t count, void* user)
{
    auto& t = *static_cast<Transfer*>(user);
    const size_t bytes = size * count;
    long code = 0;
    t.library->getinfo(t.curl, CURLINFO_RESPONSE_CODE, &code);
    if (code != 200) {
        t.stop = Outcome::HttpStatus;
        return 0;
    }
    if (bytes > t.limits->maxBodyBytes - t.delivered) {
        t.stop = Outcome::TooLarge;
        return 0;
    }
    if (t.head->size() < kBodyStartBytes)
        t.head->append(data, std::min(bytes, kBodyStartBytes - t.head->size()));
    if (bytes && !(*t.body)(data, bytes)) {
        t.stop = Outcome::SinkRefused;
        return 0;
    }
    t.delivered += bytes;
    return bytes;
}

size_t onHeader(char* data, size_t size, size_t count, void* user)
{
    auto& t = *static_cast<Transfer*>(user);
    const size_t bytes = size * count;
    std::string line(data, bytes);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.pop_back();
    if (!t.inHeaders) {
        // The status line of a new answer (there is one per redirect).
        t.inHeaders = true;
        ++t.answers;
        t.location.clear();
        t.notify(RequestSent);
        t.notify(ReceivingResponse, line);
        t.lastStatus = 0;
        t.library->getinfo(t.curl, CURLINFO_RESPONSE_CODE, &t.lastStatus);
    } else if (line.empty()) {
        t.inHeaders = false;
        t.notify(ResponseReceived);
        if (t.lastStatus >= 300 && t.lastStatus < 400 && !t.location.empty())
            t.notify(Redirect, t.location);
    } else if (line.size() > 9 && strncasecmp(line.c_str(), "location:", 9) == 0) {
        size_t from = 9;
        while (from < line.size() && (line[from] == ' ' || line[from] == '\t'))
            ++from;
        t.location = line.substr(from);
    }
    return bytes;
}

curl_socket_t onOpenSocket(void* user, curlsocktype, struct curl_sockaddr* address)
{
    auto& t = *static_cast<Transfer*>(user);
    t.notify(NameResolved);
    t.notify(ConnectingToServer);
    return socket(address->family, address->socktype, address->protocol);
}

int onConnected(void* user, char* primaryIp, char*, int, int)
{
    auto& t = *static_cast<Transfer*>(user);
    t.lastActivity = Clock::now();
    t.connected = true;
    ++t.requests;
    t.notify(ConnectedToServer, primaryIp ? primaryIp : "");
    t.notify(SendingRequest);
    return CURL_PREREQFUNC_OK;
}

// Milliseconds as seconds with one decimal, for messages.
std::string seconds(uint64_t ms)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", double(ms) / 1000.0);
    return text;
}

// Cuts the transfer off when no byte arrived for the stall time-out. libcurl calls this at
// least about once a second, also while nothing moves.
int onProgress(void* user, curl_off_t, curl_off_t received, curl_off_t, curl_off_t sent)
{
    auto& t = *static_cast<Transfer*>(user);
    const auto now = Clock::now();
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(now - t.started).count();
    // A body dripping in never stalls: its average since the start must keep up.
    if (t.limits->minBytesPerSecond != 0 && elapsed > static_cast<long long>(t.limits->rateGraceMs) &&
        static_cast<double>(received) * 1000.0 < static_cast<double>(t.limits->minBytesPerSecond) * double(elapsed)) {
        t.stop = Outcome::TooSlow;
        t.stopText = reasonText(Reason::TooSlow, received, seconds(uint64_t(elapsed)), t.limits->minBytesPerSecond);
        return 1;
    }
    const curl_off_t moved = received + sent;
    if (moved != t.lastBytes) {
        t.lastBytes = moved;
        t.lastActivity = now;
        return 0;
    }
    const auto idle = std::chrono::duration_cast<std::chrono::milliseconds>(now - t.lastActivity).count();
    if (idle > static_cast<long long>(t.limits->stallTimeoutMs)) {
        t.stop = Outcome::Stalled;
        return 1;
    }
    return 0;
}

Result finish(Result r, Outcome outcome, const ReasonText& error)
{
    r.outcome = outcome;
    r.error = outcome == Outcome::Ok ? ReasonText() : error.empty() ? outcomeText(outcome) : error;
    return r;
}

bool startsWithNoCase(const std::string& text, size_t at, const char* prefix)
{
    const size_t n = std::strlen(prefix);
    return text.size() >= at + n && strncasecmp(text.c_str() + at, prefix, n) == 0;
}

size_t skipBlanks(const std::string& text, size_t at)
{
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t' || text[at] == '\r' || text[at] == '\n'))
        ++at;
    return at;
}

// Whether markup from `at` on, past comments, begins an html document.
bool htmlDocumentAt(const std::string& text, size_t at)
{
    for (at = skipBlanks(text, at); startsWithNoCase(text, at, "<!--"); at = skipBlanks(text, at)) {
        const size_t end = text.find("-->", at + 4);
        if (end == std::string::npos)
            return false;
        at = end + 3;
    }
    const size_t name = startsWithNoCase(text, at, "<!doctype") ? skipBlanks(text, at + 9)
                        : startsWithNoCase(text, at, "<") ? at + 1 : std::string::npos;
    if (name == std::string::npos || !startsWithNoCase(text, name, "html"))
        return false;
    const char after = name + 4 < text.size() ? text[name + 4] : '\0';
    return after == '>' || after == '/' || after == ' ' || after == '\t' || after == '\r' || after == '\n';
}

}  // namespace

ReasonText outcomeText(Outcome outcome)
{
    switch (outcome) {
    case Outcome::Ok: return {};
    case Outcome::BadAddress: return reasonText(Reason::NotHttpAddress);
    case Outcome::ConnectFailed: return reasonText(Reason::CannotConnect);
    case Outcome::Stalled: return reasonText(Reason::Stalled);
    case Outcome::TooLarge: return reasonText(Reason::AnswerTooLarge);
    case Outcome::ShortBody: return reasonText(Reason::ShortAnswer);
    case Outcome::BadAnswer: return reasonText(Reason::NoHttpAnswer);
    case Outcome::SinkRefused: return reasonText(Reason::CannotStoreBytes);
    case Outcome::NoTransferLibrary: return reasonText(Reason::NoTransferLibrary);
    case Outcome::Failed: break;
    default: break;  // a status, a time, a count, an address: their failures say it themselves
    }
    return reasonText(Reason::TransferFailed);
}

ReasonText afterRedirects(const Result& result, const ReasonText& reason)
{
    if (result.redirects <= 0)
        return reason;
    if (result.redirects == 1)
        return reasonText(Reason::AfterRedirect, reason, address::withoutPassword(result.url));
    return reasonText(Reason::AfterRedirects, reason, address::withoutPassword(result.url), result.redirects);
}

bool isWebPage(const std::string& contentType, const std::string& bodyStart)
{
    // The media type is what comes before any parameter ("; charset=..."), in any case.
    std::string type = contentType.substr(0, contentType.find(';'));
    while (!type.empty() && (type.back() == ' ' || type.back() == '\t'))
        type.pop_back();
    const size_t start = type.find_first_not_of(" \t");
    type.erase(0, start == std::string::npos ? type.size() : start);
    if (strcasecmp(type.c_str(), "text/html") != 0 && strcasecmp(type.c_str(), "application/xhtml+xml") != 0)
        return false;
    // Servers label files by guesswork: the label alone does not make a model a page.
    size_t at = skipBlanks(bodyStart, 0);
    if (bodyStart.compare(at, 3, "\xEF\xBB\xBF") == 0)
        at = skipBlanks(bodyStart, at + 3);
    if (at >= bodyStart.size() || bodyStart[at] != '<')
        return false;
    if (!startsWithNoCase(bodyStart, at, "<?xml"))
        return true;
    // A descriptor is XML too: only an XML-declared html document is a page.
    const size_t declared = bodyStart.find("?>", at);
    return declared != std::string::npos && htmlDocumentAt(bodyStart, declared + 2);
}

Result httpGet(const std::string& host, uint16_t port, const std::string& object, const Limits& limits,
               const BodySink& body, const StatusSink& status)
{
    Result result;
    std::string path = object.empty() ? std::string("/") : object;
    if (host.empty() || !sendable(host, true) || !sendable(path, false) || path[0] != '/')
        return finish(result, Outcome::BadAddress, {});

    // An IPv6 literal keeps its brackets in the address.
    const bool v6 = host.find(':') != std::string::npos && host.front() != '[';
    const std::string url = "http://" + (v6 ? "[" + host + "]" : host) + ":" + std::to_string(port) + path;

    const LoadedLibrary& library = curlLibrary();
    if (!library.api)
        return finish(result, Outcome::NoTransferLibrary,
                      reasonText(Reason::InLibraryWords, outcomeText(Outcome::NoTransferLibrary), library.why));
    const CurlLibrary* const curl = library.api;
    Transfer t;
    t.library = curl;
    t.limits = &limits;
    t.body = &body;
    t.status = &status;
    t.head = &result.bodyStart;
    t.curl = curl->init();
    if (!t.curl)
        return finish(result, Outcome::Failed, reasonText(Reason::CannotCreateTransfer));
    t.notify(HandleCreated);
    CURL* c = t.curl;
    curl->setopt(c, CURLOPT_URL, url.c_str());
    curl->setopt(c, CURLOPT_HTTPGET, 1L);
    curl->setopt(c, CURLOPT_NOSIGNAL, 1L);
    // The viewer fetches http:// addresses only (an https:// one is refused before it comes
    // here); a redirect elsewhere, to https:// too, would be asked again on every pass.
    curl->setopt(c, CURLOPT_PROTOCOLS_STR, "http");
    curl->setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, "http");
    curl->setopt(c, CURLOPT_FOLLOWLOCATION, 1L);
    curl->setopt(c, CURLOPT_MAXREDIRS, static_cast<long>(limits.maxRedirects));
    curl->setopt(c, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(limits.connectTimeoutMs));
    curl->setopt(c, CURLOPT_TIMEOUT_MS, static_cast<long>(limits.totalTimeoutMs));
    curl->setopt(c, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(limits.maxBodyBytes));
    curl->setopt(c, CURLOPT_BUFFERSIZE, 256L * 1024L);
    curl->setopt(c, CURLOPT_WRITEFUNCTION, onBody);
    curl->setopt(c, CURLOPT_WRITEDATA, &t);
    curl->setopt(c, CURLOPT_HEADERFUNCTION, onHeader);
    curl->setopt(c, CURLOPT_HEADERDATA, &t);
    curl->setopt(c, CURLOPT_OPENSOCKETFUNCTION, onOpenSocket);
    curl->setopt(c, CURLOPT_OPENSOCKETDATA, &t);
    curl->setopt(c, CURLOPT_PREREQFUNCTION, onConnected);
    curl->setopt(c, CURLOPT_PREREQDATA, &t);
    curl->setopt(c, CURLOPT_NOPROGRESS, 0L);
    curl->setopt(c, CURLOPT_XFERINFOFUNCTION, onProgress);
    curl->setopt(c, CURLOPT_XFERINFODATA, &t);
    char detail[CURL_ERROR_SIZE] = "";
    curl->setopt(c, CURLOPT_ERRORBUFFER, detail);

    t.notify(ResolvingName, host);
    t.lastActivity = t.started = Clock::now();
    const CURLcode code = curl->perform(c);
    long redirects = 0;
    curl->getinfo(c, CURLINFO_RESPONSE_CODE, &result.httpStatus);
    curl->getinfo(c, CURLINFO_REDIRECT_COUNT, &redirects);
    curl_off_t announced = -1;
    curl->getinfo(c, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced);
    const char* info = nullptr;
    curl->getinfo(c, CURLINFO_EFFECTIVE_URL, &info);
    result.url = info ? info : url;
    info = nullptr;
    curl->getinfo(c, CURLINFO_CONTENT_TYPE, &info);
    result.contentType = info ? info : "";
    result.redirects = redirects;
    const std::string error = curl->strerror(code);
    t.notify(ClosingConnection);
    curl->cleanup(c);
    t.notify(ConnectionClosed);
    t.notify(HandleClosing);
    result.bodyBytes = t.delivered;
    // After a redirect, what failed is the address it led to, not the one asked for.
    const auto done = [&](Outcome outcome, const ReasonText& text) {
        if (outcome == Outcome::Ok)
            t.notify(RequestComplete);
        Result r = finish(result, outcome, text);
        if (outcome != Outcome::Ok && outcome != Outcome::TooManyRedirects && outcome != Outcome::BadRedirect)
            r.error = afterRedirects(r, r.error);
        return r;
    };

    const ReasonText statusText = reasonText(Reason::HttpStatus, result.httpStatus);
    if (t.stop != Outcome::Ok)
        return done(t.stop, t.stop == Outcome::HttpStatus ? statusText : t.stopText);
    // Our words for what failed, the transfer library's for the detail.
    const auto failed = [&](Outcome outcome, const char* words) {
        return done(outcome, reasonText(Reason::InLibraryWords, outcomeText(outcome), OutsideWords(words)));
    };
    const auto elapsedMs = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t.started).count();
    switch (code) {
    case CURLE_OK: break;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_CONNECT: return failed(Outcome::ConnectFailed, error.c_str());
    case CURLE_OPERATION_TIMEDOUT:
        // Stalls are caught by our own progress check, so once connected the library's only
        // time-out is the whole transfer's; its clock may end it a millisecond before ours.
        if (limits.totalTimeoutMs != 0 &&
            (t.connected || limits.totalTimeoutMs <= limits.connectTimeoutMs ||
             elapsedMs >= static_cast<long long>(limits.totalTimeoutMs)))
            return done(Outcome::TookTooLong, reasonText(Reason::TookTooLong, seconds(limits.totalTimeoutMs)));
        return failed(result.httpStatus ? Outcome::Stalled : Outcome::ConnectFailed, error.c_str());
    case CURLE_FILESIZE_EXCEEDED: return failed(Outcome::TooLarge, error.c_str());
    case CURLE_PARTIAL_FILE: return failed(Outcome::ShortBody, error.c_str());
    case CURLE_TOO_MANY_REDIRECTS:
        return done(Outcome::TooManyRedirects, reasonText(Reason::RedirectLoop, limits.maxRedirects));
    case CURLE_WEIRD_SERVER_REPLY: return failed(Outcome::BadAnswer, detail[0] ? detail : error.c_str());
    case CURLE_UNSUPPORTED_PROTOCOL:
        // A request that went out and got no status line back: the library calls an answer
        // without one HTTP/0.9 and refuses it by this code, as it refuses a scheme.
        if (t.requests > t.answers)
            return failed(Outcome::BadAnswer, detail[0] ? detail : error.c_str());
        if (redirects > 0 || !t.location.empty())
            return done(Outcome::BadRedirect, reasonText(Reason::RedirectNotHttp, address::withoutPassword(t.location)));
        return failed(Outcome::BadAddress, error.c_str());
    case CURLE_URL_MALFORMAT:
        // The library could not make a request of an address: a redirect's target (which it
        // counts as followed though it never asked it), or the one asked for.
        if (t.requests == t.answers && !t.location.empty())
            return done(Outcome::BadRedirect, reasonText(Reason::RedirectInvalid, address::withoutPassword(t.location)));
        return failed(Outcome::BadAddress, error.c_str());
    default: return failed(Outcome::Failed, error.c_str());
    }
    if (result.httpStatus != 200)
        return done(Outcome::HttpStatus, statusText);
    // libcurl already fails a body cut short; the count is checked once more so that no
    // path through it can report a short body as complete.
    if (announced >= 0 && static_cast<uint64_t>(announced) != t.delivered)
        return done(Outcome::ShortBody, {});
    return done(Outcome::Ok, {});
}

}  // namespace platform::net
