#include "DesktopLock.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>

#include <chrono>

namespace quorvane {

namespace {
constexpr qint64 kRefreshMs = 1000;
constexpr int kTimeoutMs = 500;

qint64 MonotonicMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}
} // namespace

TDesktopLock::TDesktopLock(QObject *parent)
    : QObject(parent)
{ }

bool TDesktopLock::DesktopUnlocked()
{
    // The monotonic clock: a wall clock set back would hold the last answer until it caught up.
    const qint64 now = MonotonicMs();
    if (!FAsking && (FLastAsked == 0 || now - FLastAsked >= kRefreshMs)) {
        FLastAsked = now;
        AskScreenSaver();
    }
    return !FLocked;
}

void TDesktopLock::AskScreenSaver()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return AskLogind();
    FAsking = true;
    const QDBusMessage call
        = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.ScreenSaver"),
            QStringLiteral("/org/freedesktop/ScreenSaver"),
            QStringLiteral("org.freedesktop.ScreenSaver"), QStringLiteral("GetActive"));
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, kTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        const QDBusPendingReply<bool> reply = *w;
        if (reply.isError()) {
            AskLogind();
            return;
        }
        FLocked = reply.value();
        FAsking = false;
    });
}

void TDesktopLock::AskLogind()
{
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        FLocked = false;
        FAsking = false;
        return;
    }
    FAsking = true;
    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.login1"),
        QStringLiteral("/org/freedesktop/login1/session/auto"),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    call << QStringLiteral("org.freedesktop.login1.Session") << QStringLiteral("LockedHint");
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, kTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        const QDBusPendingReply<QDBusVariant> reply = *w;
        FLocked = !reply.isError() && reply.value().variant().toBool();
        FAsking = false;
    });
}

} // namespace quorvane
