#pragma once

#include "EasternTime.h"

#include <array>
#include <cstdint>
#include <string>

namespace quorvane {

constexpr size_t SntpPacketSize = 48;
using SntpPacket = std::array<unsigned char, SntpPacketSize>;

// Leap indicator 0, version 3, mode 3 (client), the transmit timestamp at bytes 40..47.
SntpPacket BuildSntpRequest(NtpTimestamp transmit);
NtpTimestamp ReadNtpTimestamp(const unsigned char *bytes);

// What a datagram from the server means for the query that sent `transmit`.
enum class SntpReply {
    Answer, // the reply to this query, from a synchronised server
    Unusable, // the reply to this query, but one that must not set a clock
    Foreign, // not a reply to this query: keep waiting
};
SntpReply ClassifySntpReply(const unsigned char *bytes, size_t size, NtpTimestamp transmit);

// The IPv4 literal rule: a.b.c.d, a.b.n, a.n or n. False when the text is none.
bool ParseIPv4Literal(const std::string &text, std::array<unsigned char, 4> &address);

// "Socket Error # %d\r\n%s" with the text for code, empty for codes without one.
std::string SocketErrorMessage(int code);

// The platform-neutral codes for this system's errno values and resolver failures.
int SocketCodeForErrno(int err);
int SocketCodeForLookup(int gaiError);

} // namespace quorvane
