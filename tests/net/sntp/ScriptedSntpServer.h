#pragma once

#include "EasternTime.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cmath>
#include <functional>
#include <thread>
#include <vector>

namespace quorvane::test {

using Bytes = std::vector<unsigned char>;

// A UDP server on 127.0.0.1 that answers each request with what the test's script returns.
// Replies marked fromOtherPort leave from a second socket.
class ScriptedSntpServer
{
public:
    struct Reply
    {
        Bytes bytes;
        bool fromOtherPort = false;
    };
    using Script = std::function<std::vector<Reply>(const Bytes &request)>;

    explicit ScriptedSntpServer(Script script)
        : script_(std::move(script))
    {
        fd_ = Bind();
        other_ = Bind();
        thread_ = std::thread([this] { Serve(); });
    }
    ~ScriptedSntpServer()
    {
        stop_ = true;
        thread_.join();
        ::close(fd_);
        ::close(other_);
    }
    int Port() const { return Port(fd_); }
    int Requests() const { return requests_; }

    // A well-formed mode-4 reply to request whose server clock reads `serverUnix` seconds.
    static Bytes Answer(const Bytes &request, double serverUnix)
    {
        Bytes r(48, 0);
        r[0] = 0x24; // LI 0, version 4, mode 4
        r[1] = 1;
        std::copy(request.begin() + 40, request.begin() + 48, r.begin() + 24);
        // From 2036 on the seconds count again from 0 (era 1).
        const double ntp = std::fmod(serverUnix + 2208988800.0, 4294967296.0);
        const uint32_t s = static_cast<uint32_t>(std::floor(ntp));
        const uint32_t f = static_cast<uint32_t>((ntp - std::floor(ntp)) * 4294967296.0);
        for (int at : {32, 40}) {
            for (int i = 0; i < 4; ++i) {
                r[at + i] = static_cast<unsigned char>(s >> (24 - 8 * i));
                r[at + 4 + i] = static_cast<unsigned char>(f >> (24 - 8 * i));
            }
        }
        return r;
    }
    static double UnixNow()
    {
        timespec ts {};
        clock_gettime(CLOCK_REALTIME, &ts);
        return ts.tv_sec + ts.tv_nsec / 1e9;
    }

private:
    static int Bind()
    {
        const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in a {};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a);
        return fd;
    }
    static int Port(int fd)
    {
        sockaddr_in a {};
        socklen_t len = sizeof a;
        ::getsockname(fd, reinterpret_cast<sockaddr *>(&a), &len);
        return ntohs(a.sin_port);
    }
    void Serve()
    {
        while (!stop_) {
            pollfd p {fd_, POLLIN, 0};
            if (::poll(&p, 1, 20) != 1)
                continue;
            Bytes request(512);
            sockaddr_in peer {};
            socklen_t len = sizeof peer;
            const ssize_t n = ::recvfrom(
                fd_, request.data(), request.size(), 0, reinterpret_cast<sockaddr *>(&peer), &len);
            if (n < 0)
                continue;
            request.resize(static_cast<size_t>(n));
            ++requests_;
            for (const Reply &r : script_(request))
                ::sendto(r.fromOtherPort ? other_ : fd_, r.bytes.data(), r.bytes.size(), 0,
                    reinterpret_cast<sockaddr *>(&peer), len);
        }
    }

    Script script_;
    int fd_ = -1, other_ = -1;
    std::atomic<bool> stop_ {false};
    std::atomic<int> requests_ {0};
    std::thread thread_;
};

} // namespace quorvane::test
