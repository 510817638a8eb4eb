#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QRect>
#include <QString>

#include <cstdint>
#include <functional>
#include <vector>

class QTimer;

namespace quorvane {

class TLocalSocket;

// One output as the compositor lays it out: its whole rectangle and the part its bars and
// docks leave to windows (the rectangle of the workspace shown there).
struct TSwayOutput
{
    QString Name;
    QRect Rect;
    QRect Usable;

    bool operator==(const TSwayOutput &o) const
    {
        return Name == o.Name && Rect == o.Rect && Usable == o.Usable;
    }
};

// A client of the compositor's IPC socket (SWAYSOCK): the outputs with their usable areas, kept
// up to date from the compositor's own events without ever waiting on it, but for the first
// answer at start.
class TSwayIpc : public QObject
{
public:
    enum Type : uint32_t { GetWorkspaces = 1, Subscribe = 2, GetOutputs = 3 };

    explicit TSwayIpc(const QString &socketPath, QObject *parent = nullptr);
    ~TSwayIpc() override;
    TSwayIpc(const TSwayIpc &) = delete;
    TSwayIpc &operator=(const TSwayIpc &) = delete;

    // Asks for the outputs and waits for the answer, at most `ms`; false when none came.
    bool ReadNow(int ms);
    // Asks for them again in the background; `changed` is called when they differ.
    void Refresh();
    // Listens for the compositor's changes of workspaces, outputs and bars.
    void Watch(std::function<void()> changed);
    const std::vector<TSwayOutput> &Outputs() const { return FOutputs; }

    static QByteArray Message(uint32_t type, const QByteArray &payload = {});
    // Takes one whole message off the front of `buffer`; false while it is not all there.
    static bool TakeMessage(QByteArray &buffer, uint32_t &type, QByteArray &payload);
    // The active outputs from the replies to GetOutputs and GetWorkspaces.
    static std::vector<TSwayOutput> ParseOutputs(
        const QByteArray &outputs, const QByteArray &workspaces);

private:
    void Received(TLocalSocket *socket, QByteArray &buffer);
    void Apply();

    QString FPath;
    TLocalSocket *FQuery = nullptr;
    TLocalSocket *FEvents = nullptr;
    QTimer *FLater = nullptr;
    QByteArray FQueryBuffer, FEventBuffer;
    QByteArray FOutputsReply, FWorkspacesReply;
    int FAwaited = 0;
    QElapsedTimer FAsked;
    bool FAgain = false;
    std::vector<TSwayOutput> FOutputs;
    std::function<void()> FChanged;
};

} // namespace quorvane
