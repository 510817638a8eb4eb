#include "TIdStack.h"

#include "IdExceptions.h"
#include "SntpWire.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

namespace quorvane {

TIdStack *TIdStack::GStack = nullptr;
thread_local int TIdStack::FLastError = 0;
TIdStackPosix::HostLookup TIdStackPosix::Lookup = TIdStackPosix::SystemLookup;

void TIdStack::RaiseSocketError()
{
    RaiseSocketError(FLastError);
}

void TIdStack::RaiseSocketError(int code)
{
    FLastError = code;
    throw EIdSocketError(code, SocketErrorMessage(code));
}

int TIdStackPosix::SystemLookup(const std::string &name, std::array<unsigned char, 4> &address)
{
    addrinfo hints {};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo *found = nullptr;
    const int rc = ::getaddrinfo(name.c_str(), nullptr, &hints, &found);
    if (rc != 0)
        return rc;
    const auto *in = reinterpret_cast<const sockaddr_in *>(found->ai_addr);
    const uint32_t a = ntohl(in->sin_addr.s_addr);
    address = {static_cast<unsigned char>(a >> 24), static_cast<unsigned char>(a >> 16),
        static_cast<unsigned char>(a >> 8), static_cast<unsigned char>(a)};
    ::freeaddrinfo(found);
    return 0;
}

std::string TIdStackPosix::ResolveHost(const std::string &host)
{
    if (strcasecmp(host.c_str(), "LOCALHOST") == 0)
        return "127.0.0.1";
    std::array<unsigned char, 4> a {};
    if (ParseIPv4Literal(host, a))
        return host;
    const int rc = Lookup(host, a);
    if (rc != 0)
        RaiseSocketError(SocketCodeForLookup(rc));
    return std::to_string(a[0]) + "." + std::to_string(a[1]) + "." + std::to_string(a[2]) + "."
        + std::to_string(a[3]);
}

int TIdStackPosix::CreateDatagramSocket()
{
    const int s = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (s < 0)
        FLastError = SocketCodeForErrno(errno);
    return s;
}

bool TIdStackPosix::SetBroadcast(int socket, bool enabled)
{
    const int value = enabled ? -1 : 0;
    if (::setsockopt(socket, SOL_SOCKET, SO_BROADCAST, &value, sizeof value) == 0)
        return true;
    FLastError = SocketCodeForErrno(errno);
    return false;
}

long TIdStackPosix::SendTo(int socket, const std::array<unsigned char, 4> &address, uint16_t port,
    const unsigned char *data, size_t size)
{
    sockaddr_in to {};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl((static_cast<uint32_t>(address[0]) << 24)
        | (static_cast<uint32_t>(address[1]) << 16) | (static_cast<uint32_t>(address[2]) << 8)
        | address[3]);
    // Connecting the datagram socket makes the kernel drop datagrams from anyone but the server
    // and report a refused datagram on the next receive.
    if (::connect(socket, reinterpret_cast<const sockaddr *>(&to), sizeof to) != 0) {
        FLastError = SocketCodeForErrno(errno);
        return -1;
    }
    const ssize_t n = ::send(socket, data, size, MSG_NOSIGNAL);
    if (n < 0)
        FLastError = SocketCodeForErrno(errno);
    return static_cast<long>(n);
}

bool TIdStackPosix::Readable(int socket, int32_t timeoutMs)
{
    // poll rather than select: a descriptor above FD_SETSIZE must not corrupt memory.
    pollfd p {socket, POLLIN, 0};
    const int ready = ::poll(&p, 1, timeoutMs == -2 ? -1 : std::max(timeoutMs, 0));
    return ready == 1;
}

long TIdStackPosix::Receive(int socket, unsigned char *buffer, size_t capacity)
{
    // MSG_TRUNC reports the datagram's real length, so one longer than the buffer is told apart.
    const ssize_t n = ::recv(socket, buffer, capacity, MSG_TRUNC);
    if (n < 0)
        FLastError = SocketCodeForErrno(errno);
    return static_cast<long>(n);
}

void TIdStackPosix::Close(int socket)
{
    ::shutdown(socket, SHUT_WR);
    ::close(socket);
}

} // namespace quorvane
