#include "PlasmaPanels.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace quorvane {

namespace {

constexpr int kTimeoutMs = 5000;
const QString kConnection = QStringLiteral("quorvane-plasma-panels");

// Each panel with its location, thickness, hiding and the geometry of its screen.
const char *const kScript = R"(var out = [];
panels().forEach(function (p) {
    if (p.screen < 0)
        return;
    var g = screenGeometry(p.screen);
    out.push({location: p.location, height: p.height, hiding: p.hiding,
        screen: [g.x, g.y, g.width, g.height]});
});
print(JSON.stringify(out));)";

} // namespace

TPlasmaPanels::TPlasmaPanels(std::function<void()> answered)
    : FOnAnswered(std::move(answered))
{ }

TPlasmaPanels::~TPlasmaPanels()
{
    if (FAsking)
        QDBusConnection::disconnectFromBus(kConnection);
}

void TPlasmaPanels::Ask()
{
    if (FAsking) {
        FAgain = true;
        return;
    }
    QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, kConnection);
    if (!bus.isConnected()) {
        QDBusConnection::disconnectFromBus(kConnection);
        return Answered(QByteArray());
    }
    FAsking = true;
    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.kde.plasmashell"),
        QStringLiteral("/PlasmaShell"), QStringLiteral("org.kde.PlasmaShell"),
        QStringLiteral("evaluateScript"));
    call << QString::fromLatin1(kScript);
    // Where no shell runs, the bar must not start one.
    call.setAutoStartService(false);
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, kTimeoutMs), &FContext);
    QObject::connect(
        watcher, &QDBusPendingCallWatcher::finished, &FContext, [this](QDBusPendingCallWatcher *w) {
            w->deleteLater();
            const QDBusPendingReply<QString> reply = *w;
            QDBusConnection::disconnectFromBus(kConnection);
            FAsking = false;
            Answered(reply.isValid() ? reply.value().toUtf8() : QByteArray());
            if (FAgain) {
                FAgain = false;
                Ask();
            }
        });
}

void TPlasmaPanels::Answered(const QByteArray &answer)
{
    if (answer == FAnswer)
        return;
    FAnswer = answer;
    if (FOnAnswered)
        FOnAnswered();
}

std::optional<std::vector<TStrut>> TPlasmaPanels::Struts(
    const QByteArray &answer, QSize screen, const QRect &workArea)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(answer, &error);
    if (error.error != QJsonParseError::NoError || !document.isArray())
        return std::nullopt;
    const QRect whole(QPoint(0, 0), screen);
    const auto u = [](int v) { return static_cast<uint32_t>(std::max(v, 0)); };
    std::vector<TStrut> struts;
    for (const QJsonValue &value : document.array()) {
        const QJsonObject panel = value.toObject();
        const QJsonArray g = panel.value(QLatin1String("screen")).toArray();
        const QRect output(g.at(0).toInt(), g.at(1).toInt(), g.at(2).toInt(), g.at(3).toInt());
        const int h = panel.value(QLatin1String("height")).toInt();
        if (g.size() != 4 || output.isEmpty() || !whole.contains(output) || h <= 0)
            return std::nullopt;
        // A panel that hides, or that windows may cover, reserves nothing.
        if (panel.value(QLatin1String("hiding")).toString() != QLatin1String("none"))
            continue;
        const QString location = panel.value(QLatin1String("location")).toString();
        const uint32_t x0 = u(output.left()), x1 = u(output.right()), y0 = u(output.top()),
                       y1 = u(output.bottom());
        if (location == QLatin1String("top"))
            struts.push_back({0, 0, u(output.top() + h), 0, 0, 0, 0, 0, x0, x1, 0, 0});
        else if (location == QLatin1String("bottom"))
            struts.push_back(
                {0, 0, 0, u(screen.height() - output.bottom() - 1 + h), 0, 0, 0, 0, 0, 0, x0, x1});
        else if (location == QLatin1String("left"))
            struts.push_back({u(output.left() + h), 0, 0, 0, y0, y1, 0, 0, 0, 0, 0, 0});
        else if (location == QLatin1String("right"))
            struts.push_back(
                {0, u(screen.width() - output.right() - 1 + h), 0, 0, 0, 0, y0, y1, 0, 0, 0, 0});
    }
    // The window manager's one work area keeps clear of every reserved edge on any monitor:
    // the panels must reserve just that.
    if (WorkAreaFromStruts(whole, screen, struts) != workArea)
        return std::nullopt;
    return struts;
}

} // namespace quorvane
