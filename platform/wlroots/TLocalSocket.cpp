#include "TLocalSocket.h"

#include <QSocketNotifier>

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace quorvane {

TLocalSocket::TLocalSocket(QObject *parent)
    : QObject(parent)
{ }

TLocalSocket::~TLocalSocket()
{
    Abort();
}

bool TLocalSocket::Connect(const QString &path)
{
    Abort();
    const QByteArray name = path.toLocal8Bit();
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    if (name.isEmpty() || static_cast<size_t>(name.size()) >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, name.constData(), static_cast<size_t>(name.size()));
    FFd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (FFd < 0)
        return false;
    if (::connect(FFd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0) {
        Abort();
        return false;
    }
    FNotifier = new QSocketNotifier(FFd, QSocketNotifier::Read, this);
    connect(FNotifier, &QSocketNotifier::activated, this, [this] { Receive(); });
    return true;
}

void TLocalSocket::Abort()
{
    if (FNotifier) {
        // It may be the notifier whose signal is running now.
        FNotifier->setEnabled(false);
        FNotifier->deleteLater();
        FNotifier = nullptr;
    }
    if (FFd >= 0)
        ::close(FFd);
    FFd = -1;
    FBuffer.clear();
}

void TLocalSocket::Lost()
{
    Abort();
    if (OnDisconnected)
        OnDisconnected();
}

void TLocalSocket::Write(const QByteArray &data)
{
    qsizetype sent = 0;
    while (FFd >= 0 && sent < data.size()) {
        const ssize_t n = ::send(
            FFd, data.constData() + sent, static_cast<size_t>(data.size() - sent), MSG_NOSIGNAL);
        if (n > 0) {
            sent += n;
            continue;
        }
        pollfd room {FFd, POLLOUT, 0};
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN && ::poll(&room, 1, 100) == 1)
            continue;
        Lost();
    }
}

bool TLocalSocket::Receive()
{
    const QSocketNotifier *const connection = FNotifier;
    bool got = false, ended = false;
    char chunk[4096];
    for (;;) {
        const ssize_t n = ::read(FFd, chunk, sizeof chunk);
        if (n > 0) {
            FBuffer.append(chunk, n);
            got = true;
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            ended = n == 0 || errno != EAGAIN;
            break;
        }
    }
    // What came before the end is handed on first, as it was sent before it.
    if (got && OnReadyRead)
        OnReadyRead();
    // Unless the handler has already closed it, or made another.
    if (ended && connection && FNotifier == connection)
        Lost();
    return got;
}

QByteArray TLocalSocket::ReadAll()
{
    QByteArray all;
    all.swap(FBuffer);
    return all;
}

bool TLocalSocket::WaitForReadyRead(int ms)
{
    pollfd ready {FFd, POLLIN, 0};
    return FFd >= 0 && ::poll(&ready, 1, ms) == 1 && Receive();
}

} // namespace quorvane
