#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace quorvane {

// The platform's socket calls, one object per process, turning failures into exceptions.
class TIdStack
{
public:
    virtual ~TIdStack() = default;

    // A host name, IPv4 literal or "LOCALHOST" as an address text a.b.c.d.
    virtual std::string ResolveHost(const std::string &host) = 0;
    virtual int CreateDatagramSocket() = 0;
    virtual bool SetBroadcast(int socket, bool enabled) = 0;
    // Sends to address:port; returns the bytes sent, or -1 with LastError set.
    virtual long SendTo(int socket, const std::array<unsigned char, 4> &address, uint16_t port,
        const unsigned char *data, size_t size)
        = 0;
    // Waits until the socket can be read; timeoutMs -2 waits without limit.
    virtual bool Readable(int socket, int32_t timeoutMs) = 0;
    // Receives one datagram into buffer; returns its full length (which may exceed capacity),
    // or -1 with LastError set.
    virtual long Receive(int socket, unsigned char *buffer, size_t capacity) = 0;
    virtual void Close(int socket) = 0;

    // The calling thread's last error: two queries in flight at once never see each other's.
    int LastError() const { return FLastError; }
    // Raises EIdSocketError for the platform's last error.
    [[noreturn]] void RaiseSocketError();
    [[noreturn]] void RaiseSocketError(int code);

    // The process's stack while any network component lives; null otherwise.
    static TIdStack *GStack;

protected:
    static thread_local int FLastError;
};

class TIdStackPosix final : public TIdStack
{
public:
    // Resolves a name to its first IPv4 address; returns 0 or a resolver error (EAI_*). Tests
    // replace it so that no name ever leaves the machine.
    using HostLookup = std::function<int(const std::string &name, std::array<unsigned char, 4> &)>;
    static HostLookup Lookup;
    static int SystemLookup(const std::string &name, std::array<unsigned char, 4> &address);

    std::string ResolveHost(const std::string &host) override;
    int CreateDatagramSocket() override;
    bool SetBroadcast(int socket, bool enabled) override;
    long SendTo(int socket, const std::array<unsigned char, 4> &address, uint16_t port,
        const unsigned char *data, size_t size) override;
    bool Readable(int socket, int32_t timeoutMs) override;
    long Receive(int socket, unsigned char *buffer, size_t capacity) override;
    void Close(int socket) override;
};

} // namespace quorvane
