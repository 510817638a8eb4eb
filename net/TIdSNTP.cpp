#include "TIdSNTP.h"

#include "EasternTime.h"
#include "SntpWire.h"

#include <array>
#include <chrono>

namespace quorvane {

TIdSNTP::TIdSNTP(const IClock *clock)
    : FClock(clock ? clock : &FSystemClock)
{
    Port = 123;
}

void TIdSNTP::SNTPQuery()
{
    BufferSize = static_cast<int32_t>(SntpPacketSize);
    const std::array<unsigned char, 4> server = PrepareSend();
    // Stamped after the name lookup and the socket's creation, so that neither counts as part
    // of the round trip and a slow lookup cannot skew the offset.
    const NtpTimestamp transmit = DateTimeToNtp(FClock->Now());
    const SntpPacket request = BuildSntpRequest(transmit);
    SendDatagramTo(server, {request.begin(), request.end()});

    using Steady = std::chrono::steady_clock;
    const bool unlimited = ReceiveTimeout == -2;
    const auto deadline = Steady::now() + std::chrono::milliseconds(unlimited ? 0 : ReceiveTimeout);
    for (;;) {
        int32_t wait = -2;
        if (!unlimited) {
            const auto left
                = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Steady::now());
            if (left.count() <= 0)
                return;
            wait = static_cast<int32_t>(left.count());
        }
        const std::vector<unsigned char> reply = ReceiveDatagram(wait);
        if (reply.size() < SntpPacketSize)
            return;
        switch (ClassifySntpReply(reply.data(), reply.size(), transmit)) {
        case SntpReply::Foreign:
            continue; // an old or forged reply: the answer may still come
        case SntpReply::Unusable:
            return;
        case SntpReply::Answer:
            break;
        }
        DestinationTimestamp = FClock->Now();
        const NtpTimestamp t1 = ReadNtpTimestamp(&reply[24]);
        const NtpTimestamp t2 = ReadNtpTimestamp(&reply[32]);
        const NtpTimestamp t3 = ReadNtpTimestamp(&reply[40]);
        OriginateTimestamp = NtpToLocal(t1.Seconds, t1.Fraction);
        ReceiveTimestamp = NtpToLocal(t2.Seconds, t2.Fraction);
        TransmitTimestamp = NtpToLocal(t3.Seconds, t3.Fraction);
        RoundTripDelay
            = (DestinationTimestamp - OriginateTimestamp) - (TransmitTimestamp - ReceiveTimestamp);
        LocalClockOffset
            = ((ReceiveTimestamp - OriginateTimestamp) + (TransmitTimestamp - DestinationTimestamp))
            / 2;
        return;
    }
}

} // namespace quorvane
