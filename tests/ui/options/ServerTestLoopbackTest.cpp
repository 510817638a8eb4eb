// The "Test" button against servers on this machine, through the real SNTP client.
#include "TIdStack.h"
#include "TOptions.h"
#include "TSntpSource.h"
#include "net/sntp/ScriptedSntpServer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTimer>
#include <gtest/gtest.h>

#include <netdb.h>

using namespace quorvane;
using namespace quorvane::test;

TEST(OptionsServerTest, AgainstLoopbackServers)
{
    TIdStackPosix::Lookup = [](const std::string &, std::array<unsigned char, 4> &) {
        return EAI_NONAME; // no name ever reaches a real name server from a test
    };
    ScriptedSntpServer answering([](const Bytes &req) {
        return std::vector<ScriptedSntpServer::Reply> {
            {ScriptedSntpServer::Answer(req, ScriptedSntpServer::UnixNow())}};
    });
    ScriptedSntpServer silent(
        [](const Bytes &) { return std::vector<ScriptedSntpServer::Reply> {}; });
    struct Case
    {
        std::string host, port, shown;
        bool ok;
    };
    const Case cases[] = {
        {"127.0.0.1", std::to_string(answering.Port()), std::to_string(answering.Port()), true},
        {"127.0.0.1", std::to_string(silent.Port()), std::to_string(silent.Port()), false},
        {"no-such-host.invalid", "123", "123", false},
        {"localhost", "letters", "123", false},
    };
    TSntpSource source;
    // The window's own 100 ms tick, which must keep firing while a test waits on the network.
    int ticks = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] { ++ticks; });
    tick.start(100);
    for (const Case &c : cases) {
        TOptions o(&source);
        o.Edit1->setText(QString::fromStdString(c.host));
        o.ed1->setText(QString::fromStdString(c.port));
        std::string shown;
        o.ShowInformation = [&](const std::string &t) { shown = t; };
        const int ticksBefore = ticks;
        QElapsedTimer waited;
        waited.start();
        o.SpeedButton2Click();
        while (shown.empty() && waited.elapsed() < 30000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        if (c.port == std::to_string(silent.Port())) {
            // A query on this thread would hold every tick; a busy machine only slows some.
            EXPECT_GE(ticks - ticksBefore, 5) << "the tick stood still during a silent query";
        }
        const std::string where = "(" + c.host + ":" + c.shown + ")";
        EXPECT_NE(shown.find(where), std::string::npos) << shown;
        EXPECT_EQ(shown.rfind(c.ok ? "The query sent" : "ERROR!!!", 0), 0u) << shown;
    }
    TIdStackPosix::Lookup = TIdStackPosix::SystemLookup;
}
