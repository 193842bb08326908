// A small HTTP server on 127.0.0.1 for tests and benchmarks: fixed answers per path, bounded in time.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

// Listens on a free port of 127.0.0.1 only. Each connection carries one request and is closed
// after the answer. Every wait is bounded: the server stops by itself after `lifetimeMs`, a
// stalled answer ends when its time is up or the server stops, and the destructor joins all.
class LoopbackHttpServer {
public:
    struct Reply {
        enum class Kind { Normal, Stall, Big, Raw, Drip } kind = Kind::Normal;
        int status = 200;
        std::string body;
        std::string headers;          // extra header lines, each ending in "\r\n"
        int64_t declaredLength = -1;  // Content-Length to announce; -1: the body's size, -2: none
        uint64_t bigBytes = 0;        // Big: bytes of patternByte(i) to send
        uint32_t stallMs = 0;         // Stall: how long to say nothing after the body; Drip: between pieces
        uint32_t dripBytes = 1;       // Drip: bytes in each piece
        uint32_t delayMs = 0;         // how long to say nothing before the answer
    };

    static Reply ok(std::string body) { Reply r; r.body = std::move(body); return r; }
    static Reply status(int code, std::string body = {}) { Reply r; r.status = code; r.body = std::move(body); return r; }
    // Announces `declared` bytes, sends `body` and closes.
    static Reply shortBody(std::string body, int64_t declared) { Reply r; r.body = std::move(body); r.declaredLength = declared; return r; }
    // Announces `declared` bytes, sends `body`, then says nothing for `ms`.
    static Reply stall(std::string body, int64_t declared, uint32_t ms)
    {
        Reply r; r.kind = Reply::Kind::Stall; r.body = std::move(body); r.declaredLength = declared; r.stallMs = ms; return r;
    }
    // Announces `body` whole and sends it one byte every `ms`.
    static Reply drip(std::string body, uint32_t ms)
    {
        Reply r; r.kind = Reply::Kind::Drip; r.body = std::move(body); r.stallMs = ms; return r;
    }
    // Announces `body` whole and sends it `bytes` at a time, one piece every `ms`.
    static Reply paced(std::string body, uint32_t bytes, uint32_t ms)
    {
        Reply r = drip(std::move(body), ms); r.dripBytes = bytes; return r;
    }
    // Says nothing for `ms`, then answers 200 with `body`.
    static Reply late(std::string body, uint32_t ms) { Reply r; r.body = std::move(body); r.delayMs = ms; return r; }
    static Reply redirect(const std::string& location, int code = 302)
    {
        Reply r; r.status = code; r.headers = "Location: " + location + "\r\n"; return r;
    }
    static Reply big(uint64_t bytes, bool announce = true)
    {
        Reply r; r.kind = Reply::Kind::Big; r.bigBytes = bytes; r.declaredLength = announce ? int64_t(bytes) : -2; return r;
    }
    // Sends these bytes as the whole answer, status line and headers included.
    static Reply raw(std::string bytes) { Reply r; r.kind = Reply::Kind::Raw; r.body = std::move(bytes); return r; }

    // The bytes of a Big answer repeat every MiB, so the server sends them without work per byte.
    static char patternByte(uint64_t i)
    {
        const uint64_t j = i & 0xfffff;
        return char((j * 131 + (j >> 12)) & 0xff);
    }

    explicit LoopbackHttpServer(uint32_t lifetimeMs = 60000) : deadline_(Clock::now() + std::chrono::milliseconds(lifetimeMs))
    {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (listener_ < 0)
            throw std::runtime_error("cannot create a socket");
        int one = 1;
        ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = 0;
        socklen_t len = sizeof a;
        if (::bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(listener_, 64) != 0 ||
            ::getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
            ::close(listener_);
            throw std::runtime_error("cannot listen on 127.0.0.1");
        }
        port_ = ntohs(a.sin_port);
        acceptor_ = std::thread([this] { acceptLoop(); });
    }

    ~LoopbackHttpServer()
    {
        stop_ = true;
        if (acceptor_.joinable())
            acceptor_.join();
        std::vector<Worker> workers;
        {
            std::lock_guard<std::mutex> g(mutex_);
            workers.swap(workers_);
        }
        for (auto& w : workers)
            w.thread.join();
        ::close(listener_);
    }

    LoopbackHttpServer(const LoopbackHttpServer&) = delete;
    LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

    uint16_t port() const { return port_; }
    std::string url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(port_) + path; }

    // Answers requests for `path` (the request target, query included) with `reply`; any
    // other path gets 404.
    void serve(const std::string& path, Reply reply)
    {
        std::lock_guard<std::mutex> g(mutex_);
        routes_[path] = std::move(reply);
    }
    // Waits (at most `ms`) until every connection has been answered and closed; true when so.
    bool waitIdle(uint32_t ms = 60000)
    {
        const auto until = Clock::now() + std::chrono::milliseconds(ms);
        for (;;) {
            {
                std::lock_guard<std::mutex> g(mutex_);
                reapFinished();
                if (workers_.empty())
                    return true;
            }
            if (Clock::now() >= until)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    // How many requests for `path` arrived.
    int requests(const std::string& path)
    {
        std::lock_guard<std::mutex> g(mutex_);
        return counts_[path];
    }

private:
    using Clock = std::chrono::steady_clock;

    struct Worker {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };

    bool expired() const { return stop_ || Clock::now() >= deadline_; }

    // Joins the connections that ended, so that a long run (a fuzzer's) keeps no threads.
    void reapFinished()
    {
        for (auto it = workers_.begin(); it != workers_.end();) {
            if (*it->done) {
                it->thread.join();
                it = workers_.erase(it);
            } else {
                ++it;
            }
        }
    }

    void acceptLoop()
    {
        while (!expired()) {
            pollfd p{listener_, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0)
                continue;
            const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0)
                continue;
            std::lock_guard<std::mutex> g(mutex_);
            reapFinished();
            auto done = std::make_shared<std::atomic<bool>>(false);
            workers_.push_back({std::thread([this, fd, done] {
                                    answer(fd);
                                    ::close(fd);
                                    *done = true;
                                }),
                                done});
        }
    }

    // Reads the request head (bounded in size and time) and returns its target, "" when none.
    std::string readTarget(int fd)
    {
        std::string head;
        char buf[4096];
        const auto until = Clock::now() + std::chrono::seconds(30);
        while (head.find("\r\n\r\n") == std::string::npos && head.size() < 65536) {
            if (expired() || Clock::now() >= until)
                return {};
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0)
                continue;
            const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
            if (n <= 0)
                return {};
            head.append(buf, size_t(n));
        }
        const size_t sp1 = head.find(' ');
        const size_t sp2 = sp1 == std::string::npos ? sp1 : head.find(' ', sp1 + 1);
        return sp2 == std::string::npos ? std::string() : head.substr(sp1 + 1, sp2 - sp1 - 1);
    }

    bool sendAll(int fd, const char* data, size_t size)
    {
        while (size > 0) {
            if (expired())
                return false;
            pollfd p{fd, POLLOUT, 0};
            if (::poll(&p, 1, 20) <= 0)
                continue;
            const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
            if (n <= 0)
                return false;
            data += n;
            size -= size_t(n);
        }
        return true;
    }

    void answer(int fd)
    {
        const std::string target = readTarget(fd);
        if (target.empty())
            return;
        Reply r;
        {
            std::lock_guard<std::mutex> g(mutex_);
            ++counts_[target];
            auto it = routes_.find(target);
            r = it == routes_.end() ? status(404, "not found") : it->second;
        }
        const auto answerAt = Clock::now() + std::chrono::milliseconds(r.delayMs);
        while (!expired() && Clock::now() < answerAt)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (r.kind == Reply::Kind::Raw) {
            sendAll(fd, r.body.data(), r.body.size());
            return;
        }
        std::string head = "HTTP/1.1 " + std::to_string(r.status) + " " + (r.status == 200 ? "OK" : "Other") + "\r\n";
        const int64_t length = r.declaredLength == -1 ? int64_t(r.body.size()) : r.declaredLength;
        if (length >= 0)
            head += "Content-Length: " + std::to_string(length) + "\r\n";
        head += r.headers + "Connection: close\r\n\r\n";
        if (!sendAll(fd, head.data(), head.size()))
            return;
        if (r.kind == Reply::Kind::Big) {
            std::vector<char> chunk(1 << 20);
            for (size_t i = 0; i < chunk.size(); ++i)
                chunk[i] = patternByte(i);
            for (uint64_t sent = 0; sent < r.bigBytes;) {
                const size_t n = size_t(std::min<uint64_t>(chunk.size(), r.bigBytes - sent));
                if (!sendAll(fd, chunk.data(), n))
                    return;
                sent += n;
            }
            return;
        }
        if (r.kind == Reply::Kind::Drip) {
            for (size_t i = 0; i < r.body.size() && !expired(); i += r.dripBytes) {
                if (!sendAll(fd, r.body.data() + i, std::min<size_t>(r.dripBytes, r.body.size() - i)))
                    return;
                std::this_thread::sleep_for(std::chrono::milliseconds(r.stallMs));
            }
            return;
        }
        if (!sendAll(fd, r.body.data(), r.body.size()))
            return;
        if (r.kind == Reply::Kind::Stall) {
            const auto until = Clock::now() + std::chrono::milliseconds(r.stallMs);
            while (!expired() && Clock::now() < until)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }

    int listener_ = -1;
    uint16_t port_ = 0;
    Clock::time_point deadline_;
    std::atomic<bool> stop_{false};
    std::thread acceptor_;
    std::mutex mutex_;
    std::vector<Worker> workers_;
    std::map<std::string, Reply> routes_;
    std::map<std::string, int> counts_;
};
