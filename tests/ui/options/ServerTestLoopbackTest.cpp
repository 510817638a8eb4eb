// The "Test" button against servers on this machine, through the real SNTP client.
#include "TIdStack.h"
#include "TOptions.h"
#include "TSntpSource.h"
#include "net/sntp/ScriptedSntpServer.h"

#include <QLineEdit>
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
    for (const Case &c : cases) {
        TOptions o(&source);
        o.Edit1->setText(QString::fromStdString(c.host));
        o.ed1->setText(QString::fromStdString(c.port));
        std::string shown;
        o.ShowInformation = [&](const std::string &t) { shown = t; };
        o.SpeedButton2Click();
        const std::string where = "(" + c.host + ":" + c.shown + ")";
        EXPECT_NE(shown.find(where), std::string::npos) << shown;
        EXPECT_EQ(shown.rfind(c.ok ? "The query sent" : "ERROR!!!", 0), 0u) << shown;
    }
    TIdStackPosix::Lookup = TIdStackPosix::SystemLookup;
}
