#pragma once

#include "TIdStack.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace quorvane {

// A network component: the first one alive creates the process's socket stack and the last one
// to go destroys it, under one process-wide lock.
class TIdComponent
{
public:
    TIdComponent();
    virtual ~TIdComponent();
    TIdComponent(const TIdComponent &) = delete;
    TIdComponent &operator=(const TIdComponent &) = delete;

    static int LiveCount();
};

// The platform socket a UDP client owns, created at first need.
class TIdSocketHandle
{
public:
    int Handle = -1;
    bool Allocated = false;
};

class TIdUDPBase : public TIdComponent
{
public:
    TIdUDPBase();
    ~TIdUDPBase() override;

    int32_t BufferSize = 8192;
    std::string Host;
    int32_t Port = 0;
    int32_t ReceiveTimeout = -2;
    bool BroadcastEnabled = false;

    bool Active() const { return FBinding.Allocated; }
    void SetActive(bool active);

    void SendDatagram(const std::vector<unsigned char> &data);
    // The two halves of SendDatagram: resolving Host and readying the socket, then the send
    // alone, for a caller that must stamp the data at the moment it leaves.
    std::array<unsigned char, 4> PrepareSend();
    void SendDatagramTo(
        const std::array<unsigned char, 4> &address, const std::vector<unsigned char> &data);
    // Waits up to timeoutMs (-1: ReceiveTimeout, -2: no limit) for one datagram; empty when none
    // came. A datagram longer than BufferSize raises 10040.
    std::vector<unsigned char> ReceiveDatagram(int32_t timeoutMs = -1);

protected:
    TIdSocketHandle &Binding();

private:
    void CloseBinding();

    TIdSocketHandle FBinding;
};

class TIdUDPClient : public TIdUDPBase
{
};

} // namespace quorvane
