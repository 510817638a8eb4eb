// Arbitrary datagrams through the reply handling of an SNTP query: the checks that decide
// whether a datagram is the answer, then the conversions its timestamps go through.
#include "EasternTime.h"
#include "SntpWire.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // The first 8 bytes are the transmit timestamp the query sent, the rest the datagram.
    if (size < 8)
        return 0;
    const quorvane::NtpTimestamp sent = quorvane::ReadNtpTimestamp(data);
    const uint8_t *reply = data + 8;
    const size_t length = size - 8;
    const quorvane::SntpReply kind = quorvane::ClassifySntpReply(reply, length, sent);
    if (kind == quorvane::SntpReply::Answer) {
        if (length < quorvane::SntpPacketSize)
            std::abort();
        const quorvane::NtpTimestamp t1 = quorvane::ReadNtpTimestamp(reply + 24);
        if (t1.Seconds != sent.Seconds || t1.Fraction != sent.Fraction)
            std::abort();
        double sum = 0;
        for (int at : {24, 32, 40}) {
            const quorvane::NtpTimestamp t = quorvane::ReadNtpTimestamp(reply + at);
            sum += quorvane::NtpToLocal(t.Seconds, t.Fraction);
            sum += quorvane::NtpToEastern(t.Seconds, t.Fraction);
        }
        const quorvane::NtpTimestamp back = quorvane::DateTimeToNtp(sum / 6);
        (void)back;
    }
    return 0;
}
