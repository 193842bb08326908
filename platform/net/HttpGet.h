// platform/net: one synchronous HTTP GET over libcurl, with status notifications and bounds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "platform/Reason.h"

namespace platform::net {

// The notifications of an internet session, numbered as the system's callers expect them.
enum Status : uint32_t {
    ResolvingName = 10,
    NameResolved = 11,
    ConnectingToServer = 20,
    ConnectedToServer = 21,
    SendingRequest = 30,
    RequestSent = 31,
    ReceivingResponse = 40,
    ResponseReceived = 41,
    ClosingConnection = 50,
    ConnectionClosed = 51,
    HandleCreated = 60,
    HandleClosing = 70,
    RequestComplete = 100,
    Redirect = 110,
};

// Bounds of one transfer. Everything arrives from the network, so every wait and every size
// has an end: a server that accepts and then says nothing, or sends forever, is cut off.
struct Limits {
    uint32_t connectTimeoutMs = 30000;  // to have a connection
    uint32_t stallTimeoutMs = 30000;    // with no byte of the response arriving
    uint64_t maxBodyBytes = 512u << 20; // a larger body fails the transfer
    uint32_t maxRedirects = 8;          // targets may only be http:// addresses
    uint32_t totalTimeoutMs = 30 * 60 * 1000;  // the whole transfer, connection included; 0: no bound
    // A body that keeps coming, but slowly, never stalls: after the grace period it must have
    // brought minBytesPerSecond on average (0: no bound).
    uint32_t rateGraceMs = 60000;
    uint32_t minBytesPerSecond = 1024;
};

enum class Outcome {
    Ok,              // status 200 and the whole body delivered
    BadAddress,      // not an http:// address, or a host or path that cannot be sent
    ConnectFailed,   // no connection (refused, unreachable, connect time-out)
    Stalled,         // no byte arrived within the stall time-out
    TooSlow,         // after the grace period, the bytes came slower than the minimum rate
    TookTooLong,     // the transfer outlasted its total time
    TooLarge,        // the body (announced or received) exceeds maxBodyBytes
    ShortBody,       // the connection ended before the announced length
    TooManyRedirects,
    BadRedirect,     // a redirect to a scheme other than http (https too)
    BadAnswer,       // the server's answer is no HTTP answer (no status line, a garbled head)
    HttpStatus,      // the final answer was not 200; nothing was delivered
    SinkRefused,     // the body sink asked to stop (it could not store the bytes)
    NoTransferLibrary,  // libcurl cannot be loaded or set up: no later try fares better
    Failed,          // any other transfer or protocol failure
};

// How many of a body's first bytes a Result keeps.
constexpr size_t kBodyStartBytes = 512;

struct Result {
    Outcome outcome = Outcome::Failed;
    long httpStatus = 0;     // last status line seen, 0 when none
    uint64_t bodyBytes = 0;  // bytes handed to the sink
    ReasonText error;        // a one-line text of what failed (empty on success)
    long redirects = 0;      // redirects followed
    std::string url;         // the address of the last request, after the redirects
    std::string contentType; // the last answer's Content-Type as sent, empty when none
    std::string bodyStart;   // the body's first bytes (up to kBodyStartBytes), to tell what it is
    bool ok() const { return outcome == Outcome::Ok; }
};

// Receives the body of a 200 answer as it arrives; false stops the transfer.
using BodySink = std::function<bool(const char* data, size_t size)>;
// Receives each notification with its information text (an address, a header line; may be empty).
using StatusSink = std::function<void(Status status, const std::string& info)>;

// Sends "GET object" to host:port over http and hands a 200 answer's body to `body`. Any
// other final status delivers nothing. Redirects are followed within the limits.
// `object` is the path and query, starting with "/" (an empty one means "/").
Result httpGet(const std::string& host, uint16_t port, const std::string& object, const Limits& limits,
               const BodySink& body, const StatusSink& status = {});

// The words of a failed outcome, for error texts (none for Ok). The failures that always say
// more themselves (a status, a time, a count, an address) have the general words.
ReasonText outcomeText(Outcome outcome);

// After redirects, `reason` followed by " at \"URL\" after N redirects" naming the address that
// answered last, so that a failure names the address that failed; `reason` without a redirect.
ReasonText afterRedirects(const Result& result, const ReasonText& reason);

// Whether an answer is a web page (a login or error page) rather than a file: its Content-Type
// names HTML or XHTML (whatever its parameters; XML types are none) and its body, after white
// space and a UTF-8 byte-order mark, starts with markup. A body under an XML declaration counts
// only when its document is html: other XML, and any body that is no markup, is read as the
// file it is, however a misconfigured server labels it.
bool isWebPage(const std::string& contentType, const std::string& bodyStart);

}  // namespace platform::net
