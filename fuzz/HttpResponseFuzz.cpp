// Fuzz target: the HTTP response handling (status line, headers, body). The input is sent
// as the whole answer by a loopback server on 127.0.0.1 and fetched by the download; it
// succeeds only for a 200 answer, whose body then came whole. Redirects are not followed,
// so no input can send the download anywhere but the loopback server.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/FuzzCheck.h"
#include "tests/support/LoopbackHttpServer.h"
#include "viewer/loader/FetchFile.h"
#include "viewer/loader/HTTPDownloadC.h"
#include "viewer/loader/WideText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 65536)
        return 0;
    // One server for the whole run, living as long as a long fuzzing session.
    static LoopbackHttpServer server(24u * 3600u * 1000u);
    server.serve("/r", LoopbackHttpServer::raw(std::string(reinterpret_cast<const char*>(data), size)));

    HTTPDownloadC download;
    platform::net::Limits limits;
    limits.connectTimeoutMs = 2000;
    limits.stallTimeoutMs = 500;
    limits.maxBodyBytes = 32768;
    limits.maxRedirects = 0;
    download.SetLimits(limits);
    MemFileC out;
    const int result = download.Download(WidenText(server.url("/r")), out, 80);
    // The server's side of the connection ends within this input too.
    server.waitIdle();
    if (result == 0) {
        FUZZ_CHECK(out.GetLength() <= limits.maxBodyBytes);
        FUZZ_CHECK(out.GetLength() < size);
    } else {
        FUZZ_CHECK(out.GetLength() == 0);
    }
    return 0;
}
