#include "TSwayIpc.h"

#include "TLocalSocket.h"

#include <QDeadlineTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>

#include <cstring>

namespace quorvane {

namespace {

const char Magic[] = "i3-ipc";
const int MagicSize = 6, HeaderSize = MagicSize + 8;
const uint32_t EventBit = 0x80000000u;
// Larger answers than this are no reply of the compositor's.
const uint32_t MostPayload = 16u << 20;

QRect RectOf(const QJsonValue &value)
{
    const QJsonObject r = value.toObject();
    return QRect(r["x"].toInt(), r["y"].toInt(), r["width"].toInt(), r["height"].toInt());
}

} // namespace

TSwayIpc::TSwayIpc(const QString &socketPath, QObject *parent)
    : QObject(parent)
    , FPath(socketPath)
    , FQuery(new TLocalSocket(this))
    , FEvents(new TLocalSocket(this))
    , FLater(new QTimer(this))
{
    // A bar shown or hidden is told before the compositor has laid the outputs out anew.
    FLater->setSingleShot(true);
    FLater->setInterval(500);
    connect(FLater, &QTimer::timeout, this, [this] { Refresh(); });
    FQuery->OnReadyRead = [this] { Received(FQuery, FQueryBuffer); };
    FEvents->OnReadyRead = [this] { Received(FEvents, FEventBuffer); };
    // A reply that will never come must not hold every later refresh back.
    FQuery->OnDisconnected = [this] {
        FAwaited = 0;
        FQueryBuffer.clear();
    };
}

TSwayIpc::~TSwayIpc() = default;

QByteArray TSwayIpc::Message(uint32_t type, const QByteArray &payload)
{
    QByteArray m(Magic, MagicSize);
    const auto size = static_cast<uint32_t>(payload.size());
    m.append(reinterpret_cast<const char *>(&size), 4);
    m.append(reinterpret_cast<const char *>(&type), 4);
    return m + payload;
}

bool TSwayIpc::TakeMessage(QByteArray &buffer, uint32_t &type, QByteArray &payload)
{
    if (buffer.size() < HeaderSize)
        return false;
    uint32_t size = 0;
    std::memcpy(&size, buffer.constData() + MagicSize, 4);
    if (!buffer.startsWith(QByteArray(Magic, MagicSize)) || size > MostPayload) {
        // Out of step with the stream: nothing after this can be read as a message.
        buffer.clear();
        return false;
    }
    if (static_cast<uint32_t>(buffer.size()) < HeaderSize + size)
        return false;
    std::memcpy(&type, buffer.constData() + MagicSize + 4, 4);
    payload = buffer.mid(HeaderSize, static_cast<int>(size));
    buffer.remove(0, HeaderSize + static_cast<int>(size));
    return true;
}

std::vector<TSwayOutput> TSwayIpc::ParseOutputs(
    const QByteArray &outputs, const QByteArray &workspaces)
{
    std::vector<TSwayOutput> result;
    const QJsonArray shown = QJsonDocument::fromJson(workspaces).array();
    for (const QJsonValue &value : QJsonDocument::fromJson(outputs).array()) {
        const QJsonObject o = value.toObject();
        if (!o["active"].toBool())
            continue;
        TSwayOutput output {o["name"].toString(), RectOf(o["rect"]), {}};
        output.Usable = output.Rect;
        for (const QJsonValue &w : shown) {
            const QJsonObject ws = w.toObject();
            const QRect usable = RectOf(ws["rect"]) & output.Rect;
            if (ws["visible"].toBool() && ws["output"].toString() == output.Name
                && !usable.isEmpty())
                output.Usable = usable;
        }
        if (!output.Rect.isEmpty())
            result.push_back(output);
    }
    return result;
}

void TSwayIpc::Refresh()
{
    if (FAwaited > 0) {
        if (!FAsked.hasExpired(2000)) {
            FAgain = true;
            return;
        }
        // No answer in all that time: a new connection, and the question again.
        FQuery->Abort();
        FAwaited = 0;
    }
    if (!FQuery->Connected()) {
        FQueryBuffer.clear();
        if (!FQuery->Connect(FPath))
            return;
    }
    FAwaited = 2;
    FAsked.start();
    FQuery->Write(Message(GetOutputs) + Message(GetWorkspaces));
}

bool TSwayIpc::ReadNow(int ms)
{
    const QDeadlineTimer deadline(ms);
    Refresh();
    while (FAwaited > 0 && !deadline.hasExpired())
        if (!FQuery->WaitForReadyRead(static_cast<int>(deadline.remainingTime())))
            break;
    return FAwaited == 0 && !FOutputsReply.isEmpty();
}

void TSwayIpc::Watch(std::function<void()> changed)
{
    FChanged = std::move(changed);
    if (!FEvents->Connect(FPath))
        return;
    // Outputs come and go as the toolkit's screens; an event kind the compositor does not
    // know fails the whole subscription (sway 1.7 has no "output").
    FEvents->Write(Message(Subscribe, R"(["workspace", "barconfig_update", "bar_state_update"])"));
}

void TSwayIpc::Received(TLocalSocket *socket, QByteArray &buffer)
{
    buffer += socket->ReadAll();
    uint32_t type = 0;
    QByteArray payload;
    while (TakeMessage(buffer, type, payload)) {
        if (socket == FEvents) {
            if (type & EventBit) {
                Refresh();
                FLater->start();
            }
            continue;
        }
        if (type == GetOutputs)
            FOutputsReply = payload;
        else if (type == GetWorkspaces)
            FWorkspacesReply = payload;
        else
            continue;
        if (FAwaited > 0 && --FAwaited == 0)
            Apply();
    }
}

void TSwayIpc::Apply()
{
    std::vector<TSwayOutput> outputs = ParseOutputs(FOutputsReply, FWorkspacesReply);
    const bool changed = outputs != FOutputs;
    FOutputs = std::move(outputs);
    if (FAgain) {
        FAgain = false;
        Refresh();
    }
    if (changed && FChanged)
        FChanged();
}

} // namespace quorvane
