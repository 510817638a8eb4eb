#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace quorvane::test {

// A scripted HTTP server on 127.0.0.1: each connection's request head is recorded and handed,
// with the socket, to the test's handler.
class LoopbackHttpServer
{
public:
    using Handler = std::function<void(int fd, const std::string &request)>;

    explicit LoopbackHttpServer(Handler handler)
        : handler_(std::move(handler))
    {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        int one = 1;
        ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in a {};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(listener_, reinterpret_cast<sockaddr *>(&a), sizeof a);
        ::listen(listener_, 16);
        socklen_t len = sizeof a;
        ::getsockname(listener_, reinterpret_cast<sockaddr *>(&a), &len);
        port_ = ntohs(a.sin_port);
        thread_ = std::thread([this] { Serve(); });
    }

    ~LoopbackHttpServer()
    {
        stop_ = true;
        ::shutdown(listener_, SHUT_RDWR);
        ::close(listener_);
        thread_.join();
    }

    int Port() const { return port_; }
    std::string Url(const std::string &path) const
    {
        return "http://127.0.0.1:" + std::to_string(port_) + path;
    }
    std::vector<std::string> Requests()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return requests_;
    }

    static void Send(int fd, const std::string &bytes)
    {
        size_t at = 0;
        while (at < bytes.size()) {
            const ssize_t n = ::send(fd, bytes.data() + at, bytes.size() - at, MSG_NOSIGNAL);
            if (n <= 0)
                return;
            at += static_cast<size_t>(n);
        }
    }
    static std::string Response(int status, const std::string &body, const std::string &extra = "")
    {
        return "HTTP/1.1 " + std::to_string(status) + " X\r\nContent-Length: "
            + std::to_string(body.size()) + "\r\nConnection: close\r\n" + extra + "\r\n" + body;
    }

private:
    void Serve()
    {
        while (!stop_) {
            const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0)
                return;
            std::string request;
            char buf[4096];
            while (request.find("\r\n\r\n") == std::string::npos) {
                const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
                if (n <= 0)
                    break;
                request.append(buf, static_cast<size_t>(n));
            }
            {
                std::lock_guard<std::mutex> lock(mutex_);
                requests_.push_back(request);
            }
            handler_(fd, request);
            ::shutdown(fd, SHUT_WR);
            ::close(fd);
        }
    }

    Handler handler_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_ {false};
    std::mutex mutex_;
    std::vector<std::string> requests_;
    std::thread thread_;
};

} // namespace quorvane::test
