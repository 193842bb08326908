// Tests of the download classes against a loopback server: ports, failures, texts, the file form.
#include "viewer/loader/HTTPDownloadC.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/TempDir.h"
#include "viewer/loader/DownloadObserverI.h"
#include "viewer/loader/FetchFile.h"
#include "viewer/loader/HTTPSessionC.h"
#include "viewer/loader/WideText.h"

using Server = LoopbackHttpServer;

namespace {

struct RecordingObserver : DownloadObserverI {
    std::vector<std::wstring> statuses, errors;
    void OnStatus(std::wstring t) override { statuses.push_back(t); }
    void OnError(const platform::ReasonText& t) override { errors.push_back(WidenText(t.str())); }
};

std::string contents(const MemFileC& f) { return std::string(f.Data() ? f.Data() : "", size_t(f.GetLength())); }

}  // namespace

TEST(HTTPDownload, AddressesSplitIntoServerObjectAndPort)
{
    struct Case {
        const char* url;
        bool ok;
        const char* server;
        const char* object;
        uint16_t port;
    } cases[] = {
        {"http://example.org/a/b.zjv?x=1#frag", true, "example.org", "/a/b.zjv?x=1", 80},
        {"HTTP://Example.org:8080", true, "Example.org", "/", 8080},
        {"http://user:pw@host:81/p", true, "host", "/p", 81},
        {"http://[::1]:99/x", true, "::1", "/x", 99},
        {"http://host?q", true, "host", "/?q", 80},
        // Sent as a browser sends them: what an address cannot hold percent-encoded, escapes
        // and reserved characters as they are.
        {"http://h/my model.stl?a b", true, "h", "/my%20model.stl?a%20b", 80},
        {"http://h/%20\t\x7f\xc3\xbc\"<>\\^`{|}/:@!$&'()*+,;=~", true, "h",
         "/%20%09%7F%C3%BC%22%3C%3E%5C%5E%60%7B%7C%7D/:@!$&'()*+,;=~", 80},
        {"http://host:0/", false, "", "", 0},
        {"http://host:70000/", false, "", "", 0},
        {"http://host:8a/", false, "", "", 0},
        {"http:///path", false, "", "", 0},
        {"https://host/", false, "", "", 0},
        {"ftp://host/?http://x", false, "", "", 0},
        {"c:\\models\\http://x", false, "", "", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url);
        std::string server, object;
        uint16_t port = 80;
        ASSERT_EQ(HTTPDownloadC::SplitUrl(c.url, server, object, port), c.ok);
        if (c.ok) {
            EXPECT_EQ(server, c.server);
            EXPECT_EQ(object, c.object);
            EXPECT_EQ(port, c.port);
        }
    }
}

TEST(HTTPDownload, DownloadsWithTheRightPortAndLeavesNothingOnFailure)
{
    Server server;
    server.serve("/model.zjv", Server::ok("model bytes"));
    server.serve("/missing", Server::status(404, "error page"));
    server.serve("/short", Server::shortBody("half", 8));
    server.serve("/big", Server::big(4096));

    HTTPDownloadC download;
    MemFileC out;
    // An explicit port wins over the argument; without one the argument is used.
    EXPECT_EQ(download.Download(WidenText(server.url("/model.zjv")), out, 1), 0);
    EXPECT_EQ(contents(out), "model bytes");
    MemFileC viaArgument;
    EXPECT_EQ(download.Download(L"http://127.0.0.1/model.zjv", viaArgument, server.port()), 0);
    EXPECT_EQ(contents(viaArgument), "model bytes");

    platform::net::Limits small;
    small.maxBodyBytes = 1000;
    download.SetLimits(small);
    for (const char* path : {"/missing", "/short", "/big", "/nowhere"}) {
        SCOPED_TRACE(path);
        MemFileC failed;
        failed.Write("kept", 4);
        EXPECT_NE(download.Download(WidenText(server.url(path)), failed, 80), 0);
        EXPECT_EQ(contents(failed), "kept");
    }
    MemFileC none;
    EXPECT_NE(download.Download(L"https://127.0.0.1/model.zjv", none, server.port()), 0);
}

TEST(HTTPDownload, ObserverHearsStatusTextsAndErrors)
{
    Server server;
    server.serve("/a", Server::redirect("/other"));
    server.serve("/other", Server::ok("b"));
    HTTPDownloadC download;
    RecordingObserver seen;
    MemFileC out;
    ASSERT_EQ(download.DownloadInternal(WidenText(server.url("/a")), out, seen, 80), 0);
    EXPECT_TRUE(seen.errors.empty());
    ASSERT_FALSE(seen.statuses.empty());
    EXPECT_EQ(seen.statuses.front(), L"Handle created");
    EXPECT_EQ(seen.statuses[1], L"Resolving name :127.0.0.1");
    EXPECT_NE(std::find(seen.statuses.begin(), seen.statuses.end(), L"Being redirected :/other"), seen.statuses.end());
    EXPECT_EQ(seen.statuses.back(), L"Request complete");

    RecordingObserver failed;
    EXPECT_EQ(download.DownloadInternal(WidenText(server.url("/none")), out, failed, 80), 1);
    ASSERT_EQ(failed.errors.size(), 1u);
    EXPECT_EQ(failed.errors[0], L"HTTP 404");

    EXPECT_STREQ(HTTPSessionC::StatusText(999), "Unknown status");
    HTTPSessionC session(L"", 1, 0, L"", L"", 0, &seen);
    seen.statuses.clear();
    session.OnStatusCallback(1, 21, "1.2", 4);       // 4 bytes: no information appended
    session.OnStatusCallback(1, 21, "10.0.0.1", 9);
    EXPECT_EQ(seen.statuses, (std::vector<std::wstring>{L"Connected to socket address", L"Connected to socket address :10.0.0.1"}));
}

TEST(HTTPDownload, DownloadToFileWritesOnlyWhatArrivedWhole)
{
    Server server;
    server.serve("/f", Server::ok("file body"));
    TempDir dir;
    HTTPDownloadC download;
    NullDownloadObserverC quiet;
    EXPECT_EQ(download.DownloadToFile(WidenText(server.url("/f")), dir.file("f"), quiet, 80), 0);
    EXPECT_EQ(TempDir::read(dir.file("f")), "file body");
    EXPECT_EQ(download.DownloadToFile(WidenText(server.url("/none")), dir.file("g"), quiet, 80), 1);
    EXPECT_FALSE(std::ifstream(dir.file("g")).good());
}
