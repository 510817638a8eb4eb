#include "TIdUDPClient.h"

#include "IdExceptions.h"
#include "SntpWire.h"

#include <mutex>

namespace quorvane {

namespace {
std::mutex gStackLock;
int gLiveComponents = 0;
} // namespace

TIdComponent::TIdComponent()
{
    std::lock_guard<std::mutex> lock(gStackLock);
    if (gLiveComponents++ == 0)
        TIdStack::GStack = new TIdStackPosix;
}

TIdComponent::~TIdComponent()
{
    std::lock_guard<std::mutex> lock(gStackLock);
    if (--gLiveComponents == 0) {
        delete TIdStack::GStack;
        TIdStack::GStack = nullptr;
    }
}

int TIdComponent::LiveCount()
{
    std::lock_guard<std::mutex> lock(gStackLock);
    return gLiveComponents;
}

TIdUDPBase::TIdUDPBase() = default;

TIdUDPBase::~TIdUDPBase()
{
    CloseBinding();
}

void TIdUDPBase::CloseBinding()
{
    if (FBinding.Allocated) {
        TIdStack::GStack->Close(FBinding.Handle);
        FBinding = {};
    }
}

void TIdUDPBase::SetActive(bool active)
{
    if (active)
        Binding();
    else
        CloseBinding();
}

TIdSocketHandle &TIdUDPBase::Binding()
{
    if (!FBinding.Allocated) {
        TIdStack &stack = *TIdStack::GStack;
        const int s = stack.CreateDatagramSocket();
        if (s < 0)
            throw EIdInvalidSocket("Cannot allocate socket.");
        if (!stack.SetBroadcast(s, BroadcastEnabled)) {
            stack.Close(s);
            stack.RaiseSocketError();
        }
        FBinding.Handle = s;
        FBinding.Allocated = true;
    }
    return FBinding;
}

void TIdUDPBase::SendDatagram(const std::vector<unsigned char> &data)
{
    SendDatagramTo(PrepareSend(), data);
}

std::array<unsigned char, 4> TIdUDPBase::PrepareSend()
{
    const std::string address = TIdStack::GStack->ResolveHost(Host);
    Binding();
    std::array<unsigned char, 4> bytes {};
    if (!ParseIPv4Literal(address, bytes))
        throw EIdInvalidIPAddress(address + " is not a valid IP address.");
    return bytes;
}

void TIdUDPBase::SendDatagramTo(
    const std::array<unsigned char, 4> &address, const std::vector<unsigned char> &data)
{
    TIdStack &stack = *TIdStack::GStack;
    const int s = Binding().Handle;
    const long sent
        = stack.SendTo(s, address, static_cast<uint16_t>(Port & 0xFFFF), data.data(), data.size());
    if (sent < 0) {
        if (stack.LastError() == 10040)
            throw EIdPackageSizeTooBig("Package Size Too Big.");
        stack.RaiseSocketError();
    }
    if (static_cast<size_t>(sent) < data.size())
        throw EIdNotAllBytesSent("Not all bytes sent.");
}

std::vector<unsigned char> TIdUDPBase::ReceiveDatagram(int32_t timeoutMs)
{
    if (timeoutMs == -1)
        timeoutMs = ReceiveTimeout;
    TIdStack &stack = *TIdStack::GStack;
    const int s = Binding().Handle;
    if (!stack.Readable(s, timeoutMs))
        return {};
    const size_t capacity = BufferSize > 0 ? static_cast<size_t>(BufferSize) : 0;
    std::vector<unsigned char> buffer(capacity);
    const long n = stack.Receive(s, buffer.data(), buffer.size());
    if (n < 0)
        stack.RaiseSocketError();
    if (static_cast<size_t>(n) > capacity)
        stack.RaiseSocketError(10040);
    buffer.resize(static_cast<size_t>(n));
    return buffer;
}

} // namespace quorvane
