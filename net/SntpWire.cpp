#include "SntpWire.h"

#include <cerrno>
#include <netdb.h>

namespace quorvane {

namespace {

void PutWord(unsigned char *p, uint32_t v)
{
    p[0] = static_cast<unsigned char>(v >> 24);
    p[1] = static_cast<unsigned char>(v >> 16);
    p[2] = static_cast<unsigned char>(v >> 8);
    p[3] = static_cast<unsigned char>(v);
}

uint32_t Word(const unsigned char *p)
{
    return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16)
        | (static_cast<uint32_t>(p[2]) << 8) | p[3];
}

// A decimal part of an address; false when it does not read as a non-negative integer.
bool Part(const std::string &s, uint64_t &value)
{
    if (s.empty() || s.size() > 10)
        return false;
    value = 0;
    for (char c : s) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + static_cast<uint64_t>(c - '0');
    }
    return true;
}

} // namespace

SntpPacket BuildSntpRequest(NtpTimestamp transmit)
{
    SntpPacket p {};
    p[0] = 0x1B;
    PutWord(&p[40], transmit.Seconds);
    PutWord(&p[44], transmit.Fraction);
    return p;
}

NtpTimestamp ReadNtpTimestamp(const unsigned char *bytes)
{
    return {Word(bytes), Word(bytes + 4)};
}

SntpReply ClassifySntpReply(const unsigned char *bytes, size_t size, NtpTimestamp transmit)
{
    if (size < SntpPacketSize)
        return SntpReply::Unusable;
    // Only an echo of our own transmit timestamp makes this the answer to this query: a late
    // reply to an earlier one, or a forged one, must not move the trader's clock.
    const NtpTimestamp originate = ReadNtpTimestamp(bytes + 24);
    if (originate.Seconds != transmit.Seconds || originate.Fraction != transmit.Fraction)
        return SntpReply::Foreign;
    const int leap = bytes[0] >> 6;
    const int version = (bytes[0] >> 3) & 7;
    const int mode = bytes[0] & 7;
    const int stratum = bytes[1];
    const NtpTimestamp receive = ReadNtpTimestamp(bytes + 32);
    const NtpTimestamp sent = ReadNtpTimestamp(bytes + 40);
    if (mode != 4 || version < 1 || version > 4 || leap == 3 || stratum == 0 || stratum >= 16
        || (receive.Seconds == 0 && receive.Fraction == 0)
        || (sent.Seconds == 0 && sent.Fraction == 0))
        return SntpReply::Unusable;
    return SntpReply::Answer;
}

bool ParseIPv4Literal(const std::string &text, std::array<unsigned char, 4> &address)
{
    std::string parts[4];
    int count = 0;
    size_t at = 0;
    for (; count < 3; ++count) {
        const size_t dot = text.find('.', at);
        if (dot == std::string::npos)
            break;
        parts[count] = text.substr(at, dot - at);
        at = dot + 1;
    }
    parts[count++] = text.substr(at);
    // The first empty part ends the address.
    int present = 0;
    while (present < count && !parts[present].empty())
        ++present;
    uint64_t v[4] = {};
    for (int i = 0; i < present; ++i)
        if (!Part(parts[i], v[i]))
            return false;
    uint32_t a;
    switch (present) {
    case 1:
        if (v[0] > 4294967295u)
            return false;
        a = static_cast<uint32_t>(v[0]);
        break;
    case 2:
        if (v[0] > 255 || v[1] > 16777215)
            return false;
        a = static_cast<uint32_t>(v[0] << 24 | v[1]);
        break;
    case 3:
        if (v[0] > 255 || v[1] > 255 || v[2] > 65535)
            return false;
        a = static_cast<uint32_t>(v[0] << 24 | v[1] << 16 | v[2]);
        break;
    case 4:
        if (v[0] > 255 || v[1] > 255 || v[2] > 255 || v[3] > 255)
            return false;
        a = static_cast<uint32_t>(v[0] << 24 | v[1] << 16 | v[2] << 8 | v[3]);
        break;
    default:
        return false;
    }
    address = {static_cast<unsigned char>(a >> 24), static_cast<unsigned char>(a >> 16),
        static_cast<unsigned char>(a >> 8), static_cast<unsigned char>(a)};
    return true;
}

std::string SocketErrorMessage(int code)
{
    struct Row
    {
        int code;
        const char *text;
    };
    static const Row kTexts[] = {
        {10004, "Interrupted system call."},
        {10009, "Bad file number."},
        {10013, "Access denied."},
        {10014, "Bad address."},
        {10022, "Invalid argument."},
        {10024, "Too many open files."},
        {10035, "Operation would block. "},
        {10036, "Operation now in progress."},
        {10037, "Operation already in progress."},
        {10038, "Socket operation on non-socket."},
        {10039, "Destination address required."},
        {10040, "Message too long."},
        {10041, "Protocol wrong type for socket."},
        {10042, "Bad protocol option."},
        {10043, "Protocol not supported."},
        {10044, "Socket type not supported."},
        {10045, "Operation not supported on socket."},
        {10046, "Protocol family not supported."},
        {10047, "Address family not supported by protocol family."},
        {10048, "Address already in use."},
        {10049, "Cannot assign requested address."},
        {10050, "Network is down."},
        {10051, "Network is unreachable."},
        {10052, "Net dropped connection or reset."},
        {10053, "Software caused connection abort."},
        {10054, "Connection reset by peer."},
        {10055, "No buffer space available."},
        {10056, "Socket is already connected."},
        {10057, "Socket is not connected."},
        {10058, "Cannot send or receive after socket is closed."},
        {10059, "Too many references, cannot splice."},
        {10060, "Connection timed out."},
        {10061, "Connection refused."},
        {10062, "Too many levels of symbolic links."},
        {10063, "File name too long."},
        {10064, "Host is down."},
        {10065, "No route to host."},
        {10066, "Directory not empty"},
        {11001, "Host not found."},
    };
    const char *text = "";
    for (const Row &r : kTexts)
        if (r.code == code)
            text = r.text;
    return "Socket Error # " + std::to_string(code) + "\r\n" + text;
}

int SocketCodeForErrno(int err)
{
    switch (err) {
    case EINTR:
        return 10004;
    case EBADF:
        return 10009;
    case EACCES:
    case EPERM:
        return 10013;
    case EFAULT:
        return 10014;
    case EINVAL:
        return 10022;
    case EMFILE:
    case ENFILE:
        return 10024;
    case EWOULDBLOCK:
        return 10035;
    case EINPROGRESS:
        return 10036;
    case EALREADY:
        return 10037;
    case ENOTSOCK:
        return 10038;
    case EDESTADDRREQ:
        return 10039;
    case EMSGSIZE:
        return 10040;
    case EPROTOTYPE:
        return 10041;
    case ENOPROTOOPT:
        return 10042;
    case EPROTONOSUPPORT:
        return 10043;
    case ESOCKTNOSUPPORT:
        return 10044;
    case EOPNOTSUPP:
        return 10045;
    case EPFNOSUPPORT:
        return 10046;
    case EAFNOSUPPORT:
        return 10047;
    case EADDRINUSE:
        return 10048;
    case EADDRNOTAVAIL:
        return 10049;
    case ENETDOWN:
        return 10050;
    case ENETUNREACH:
        return 10051;
    case ENETRESET:
        return 10052;
    case ECONNABORTED:
        return 10053;
    // A datagram refused by the server's host comes back as a refused connection here.
    case ECONNRESET:
    case ECONNREFUSED:
        return 10054;
    case ENOBUFS:
    case ENOMEM:
        return 10055;
    case EISCONN:
        return 10056;
    case ENOTCONN:
        return 10057;
    case ESHUTDOWN:
        return 10058;
    case ETOOMANYREFS:
        return 10059;
    case ETIMEDOUT:
        return 10060;
    case ELOOP:
        return 10062;
    case ENAMETOOLONG:
        return 10063;
    case EHOSTDOWN:
        return 10064;
    case EHOSTUNREACH:
        return 10065;
    case ENOTEMPTY:
        return 10066;
    default:
        return 10000 + (err > 0 && err < 1000 ? err : 0);
    }
}

int SocketCodeForLookup(int gaiError)
{
    switch (gaiError) {
    case EAI_NONAME:
    case EAI_FAIL:
#ifdef EAI_NODATA
    case EAI_NODATA:
#endif
        return 11001;
    case EAI_AGAIN:
        return 11002;
    case EAI_MEMORY:
        return 10055;
    default:
        return 11003;
    }
}

} // namespace quorvane
