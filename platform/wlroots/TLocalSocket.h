#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>

class QSocketNotifier;

namespace quorvane {

// The client end of a local stream socket, as much of one as the compositor's IPC needs: the
// toolkit's own would load its whole network library, and more, into every bar on any desktop.
class TLocalSocket : public QObject
{
public:
    explicit TLocalSocket(QObject *parent = nullptr);
    ~TLocalSocket() override;
    TLocalSocket(const TLocalSocket &) = delete;
    TLocalSocket &operator=(const TLocalSocket &) = delete;

    // A local connection is made or refused at once; false when refused.
    bool Connect(const QString &path);
    bool Connected() const { return FFd >= 0; }
    // Closes without telling OnDisconnected.
    void Abort();
    // Writes all of `data`, waiting a little for room; a failure closes the connection.
    void Write(const QByteArray &data);
    QByteArray ReadAll();
    // Waits at most `ms` for data and hands it to OnReadyRead; false when none came.
    bool WaitForReadyRead(int ms);

    std::function<void()> OnReadyRead;
    // The other end closed, or the connection failed.
    std::function<void()> OnDisconnected;

private:
    // Reads what has arrived and hands it on; true when something did.
    bool Receive();
    void Lost();

    int FFd = -1;
    QSocketNotifier *FNotifier = nullptr;
    QByteArray FBuffer;
};

} // namespace quorvane
