#include "IdExceptions.h"
#include "RealSync.h"
#include "ScriptedSntpServer.h"
#include "SntpWire.h"
#include "TIdSNTP.h"
#include "TSntpSource.h"
#include "engine/Fakes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <netdb.h>
#include <thread>

using namespace quorvane;
using namespace quorvane::test;
using Steady = std::chrono::steady_clock;

namespace {

// No test may ask a real name server: every name is answered here.
struct NoDns
{
    NoDns()
    {
        TIdStackPosix::Lookup = [this](const std::string &name, std::array<unsigned char, 4> &a) {
            asked.push_back(name);
            if (name == "time.example.test") {
                a = {127, 0, 0, 1};
                return 0;
            }
            return EAI_NONAME;
        };
    }
    ~NoDns() { TIdStackPosix::Lookup = TIdStackPosix::SystemLookup; }
    std::vector<std::string> asked;
};

struct Outcome
{
    bool answered;
    double offset; // seconds
};

Outcome Query(int port, int32_t timeout = 400, const std::string &host = "127.0.0.1")
{
    TIdSNTP sntp;
    sntp.ReceiveTimeout = timeout;
    sntp.Port = port;
    sntp.Host = host;
    sntp.SNTPQuery();
    const double sum = sntp.OriginateTimestamp + sntp.LocalClockOffset + sntp.RoundTripDelay;
    return {sum != 0, sntp.LocalClockOffset / kSecond};
}

} // namespace

TEST(SntpWire, IPv4Literals)
{
    struct Row
    {
        const char *text;
        bool literal;
        std::array<unsigned char, 4> bytes;
    };
    const Row rows[] = {
        {"127.0.0.1", true, {127, 0, 0, 1}},
        {"10.1", true, {10, 0, 0, 1}},
        {"167772161", true, {10, 0, 0, 1}},
        {"10.1.258", true, {10, 1, 1, 2}},
        {"4294967295", true, {255, 255, 255, 255}},
        {"1.2.3.4.5", false, {}},
        {"300.1.1.1", false, {}},
        {"4294967296", false, {}},
        {"1.16777216", false, {}},
        {"1.2.65536", false, {}},
        {"1.2..4", true, {1, 0, 0, 2}},
        {"", false, {}},
        {"-1.2.3.4", false, {}},
        {"time.example.test", false, {}},
        {"1.2.3.4 ", false, {}},
    };
    for (const Row &r : rows) {
        std::array<unsigned char, 4> a {};
        EXPECT_EQ(ParseIPv4Literal(r.text, a), r.literal) << r.text;
        if (r.literal) {
            EXPECT_EQ(a, r.bytes) << r.text;
        }
    }
}

TEST(SntpWire, ReplyChecks)
{
    const NtpTimestamp sent {0xE1234567u, 0x89ABCDEFu};
    const SntpPacket req = BuildSntpRequest(sent);
    EXPECT_EQ(req[0], 0x1B);
    const Bytes request(req.begin(), req.end());
    const Bytes good = ScriptedSntpServer::Answer(request, 1.8e9);
    struct Row
    {
        const char *what;
        int at;
        unsigned char value;
        SntpReply expected;
    };
    const Row rows[] = {
        {"good", -1, 0, SntpReply::Answer},
        {"mode 3", 0, 0x23, SntpReply::Unusable},
        {"LI 3", 0, 0xE4, SntpReply::Unusable},
        {"version 0", 0, 0x04, SntpReply::Unusable},
        {"version 5", 0, 0x2C, SntpReply::Unusable},
        {"version 1", 0, 0x0C, SntpReply::Answer},
        {"stratum 0", 1, 0, SntpReply::Unusable},
        {"stratum 16", 1, 16, SntpReply::Unusable},
        {"stratum 15", 1, 15, SntpReply::Answer},
        {"originate off by one bit", 31, 0xEE, SntpReply::Foreign},
    };
    for (const Row &r : rows) {
        Bytes b = good;
        if (r.at >= 0)
            b[static_cast<size_t>(r.at)] = r.value;
        EXPECT_EQ(ClassifySntpReply(b.data(), b.size(), sent), r.expected) << r.what;
    }
    for (int field : {32, 40}) {
        Bytes b = good;
        std::fill(b.begin() + field, b.begin() + field + 8, 0);
        EXPECT_EQ(ClassifySntpReply(b.data(), b.size(), sent), SntpReply::Unusable) << field;
    }
}

TEST(SntpWire, SocketErrorMessages)
{
    EXPECT_EQ(SocketErrorMessage(11001), "Socket Error # 11001\r\nHost not found.");
    EXPECT_EQ(SocketErrorMessage(10035), "Socket Error # 10035\r\nOperation would block. ");
    EXPECT_EQ(SocketErrorMessage(10066), "Socket Error # 10066\r\nDirectory not empty");
    EXPECT_EQ(SocketErrorMessage(12345), "Socket Error # 12345\r\n");
    EXPECT_EQ(SocketCodeForErrno(ECONNREFUSED), 10054);
    EXPECT_EQ(SocketCodeForErrno(EMSGSIZE), 10040);
    EXPECT_EQ(SocketCodeForLookup(EAI_NONAME), 11001);
}

TEST(SntpClient, NewClientsAndTheSharedStack)
{
    EXPECT_EQ(TIdComponent::LiveCount(), 0);
    EXPECT_EQ(TIdStack::GStack, nullptr);
    {
        TIdSNTP a;
        TMySNTP b;
        EXPECT_EQ(TIdComponent::LiveCount(), 2);
        EXPECT_NE(TIdStack::GStack, nullptr);
        EXPECT_EQ(a.Port, 123);
        EXPECT_EQ(a.BufferSize, 8192);
        EXPECT_EQ(a.ReceiveTimeout, -2);
        EXPECT_FALSE(a.Active());
        a.SetActive(true);
        EXPECT_TRUE(a.Active());
        a.SetActive(false);
        EXPECT_FALSE(a.Active());
        EXPECT_EQ(b.RoundTripDelay + b.LocalClockOffset + b.OriginateTimestamp, 0);
    }
    EXPECT_EQ(TIdComponent::LiveCount(), 0);
    EXPECT_EQ(TIdStack::GStack, nullptr);
}

TEST(SntpClient, HostNames)
{
    NoDns dns;
    ScriptedSntpServer server([](const Bytes &req) {
        return std::vector<ScriptedSntpServer::Reply> {
            {ScriptedSntpServer::Answer(req, ScriptedSntpServer::UnixNow())}};
    });
    for (const char *host : {"localhost", "LocalHost", "LOCALHOST", "127.0.0.1", "2130706433",
             "127.1", "time.example.test"})
        EXPECT_TRUE(Query(server.Port(), 1000, host).answered) << host;
    EXPECT_EQ(dns.asked, std::vector<std::string> {"time.example.test"});

    // An unknown name fails at once, before any socket exists.
    TIdSNTP sntp;
    sntp.Host = "no-such-host.invalid";
    sntp.ReceiveTimeout = 3500;
    const auto start = Steady::now();
    try {
        sntp.SNTPQuery();
        FAIL() << "no error";
    } catch (const EIdSocketError &e) {
        EXPECT_EQ(e.LastError, 11001);
        EXPECT_STREQ(e.what(), "Socket Error # 11001\r\nHost not found.");
    }
    // Not the 3.5 s receive time-out: the lookup's failure ends the query.
    EXPECT_LT(Steady::now() - start, std::chrono::milliseconds(2500));
    EXPECT_FALSE(sntp.Active());
}

TEST(SntpClient, AServerHoursAwayGivesItsOffset)
{
    ScriptedSntpServer server([](const Bytes &req) {
        return std::vector<ScriptedSntpServer::Reply> {
            {ScriptedSntpServer::Answer(req, ScriptedSntpServer::UnixNow() + 5 * 3600 + 17.25)}};
    });
    const Outcome o = Query(server.Port());
    ASSERT_TRUE(o.answered);
    EXPECT_NEAR(o.offset, 5 * 3600 + 17.25, 0.01);
    // Only the low 16 bits of the port reach the wire.
    EXPECT_TRUE(Query(65536 + server.Port()).answered);
    EXPECT_EQ(server.Requests(), 2);
}

TEST(SntpClient, TheEstimateIsExactInTheNextEraAndAfterASlowLookup)
{
    struct Row
    {
        const char *what;
        int y, mo, d, h, mi, s;
        double lookupSeconds; // < 0: an address, no lookup
    };
    const Row rows[] = {
        {"2026, address", 2026, 12, 8, 14, 0, 0, -1},
        {"2026, 2 s lookup", 2026, 12, 8, 14, 0, 0, 2},
        {"2026, 4 s lookup", 2026, 12, 8, 14, 0, 0, 4},
        {"2036-03-01, era 1", 2036, 3, 1, 12, 0, 0, -1},
        {"era 1 begins during the lookup", 2036, 2, 7, 6, 28, 15, 2},
    };
    constexpr double kAhead = 37;
    for (const Row &r : rows) {
        // The machine runs on UTC; its clock stands still except while the name is looked up.
        FakeClock clock;
        clock.now = static_cast<double>(DaysFromCivil(r.y, r.mo, r.d))
            + (r.h * 3600 + r.mi * 60 + r.s) * kSecond;
        const TDateTime sent = clock.now + std::max(r.lookupSeconds, 0.0) * kSecond;
        TIdStackPosix::Lookup = [&](const std::string &, std::array<unsigned char, 4> &a) {
            clock.now += r.lookupSeconds * kSecond;
            a = {127, 0, 0, 1};
            return 0;
        };
        const double serverUnix = (sent - 25569.0) * 86400.0 + kAhead;
        ScriptedSntpServer server([=](const Bytes &req) {
            return std::vector<ScriptedSntpServer::Reply> {
                {ScriptedSntpServer::Answer(req, serverUnix)}};
        });
        TIdSNTP sntp(&clock);
        sntp.ReceiveTimeout = 2000;
        sntp.Port = server.Port();
        sntp.Host = r.lookupSeconds < 0 ? "127.0.0.1" : "slow.example.test";
        sntp.SNTPQuery();
        TIdStackPosix::Lookup = TIdStackPosix::SystemLookup;
        const TDateTime estimate
            = sntp.OriginateTimestamp + sntp.LocalClockOffset + sntp.RoundTripDelay;
        EXPECT_NEAR((estimate - sent) / kSecond, kAhead, 0.002) << r.what;
        EXPECT_NEAR(sntp.RoundTripDelay / kSecond, 0, 0.002) << r.what;
    }
}

TEST(SntpClient, RepliesThatAreNotTheAnswer)
{
    using Reply = ScriptedSntpServer::Reply;
    auto answer = [](const Bytes &req) { return ScriptedSntpServer::Answer(req, 1.8e9); };
    auto with = [&](int at, unsigned char v) {
        return [=](const Bytes &req) {
            Bytes b = answer(req);
            b[static_cast<size_t>(at)] = v;
            return std::vector<Reply> {{b}};
        };
    };
    struct Case
    {
        const char *what;
        ScriptedSntpServer::Script script;
        bool answered;
    };
    const Case cases[] = {
        {"47 bytes",
            [&](const Bytes &req) {
                Bytes b = answer(req);
                b.pop_back();
                return std::vector<Reply> {{b}};
            },
            false},
        {"empty datagram", [](const Bytes &) { return std::vector<Reply> {{Bytes {}}}; }, false},
        {"from another port",
            [&](const Bytes &req) {
                return std::vector<Reply> {{answer(req), true}};
            },
            false},
        {"wrong originate", with(30, 0x55), false},
        {"mode 3", with(0, 0x23), false},
        {"LI 3", with(0, 0xE4), false},
        {"stratum 0", with(1, 0), false},
        {"zero transmit",
            [&](const Bytes &req) {
                Bytes b = answer(req);
                std::fill(b.begin() + 40, b.end(), 0);
                return std::vector<Reply> {{b}};
            },
            false},
        {"an earlier reply first, then the answer",
            [&](const Bytes &req) {
                Bytes stale = answer(req);
                stale[47] ^= 1;
                return std::vector<Reply> {{stale}, {answer(req)}};
            },
            true},
        {"foreign port first, then the answer",
            [&](const Bytes &req) {
                return std::vector<Reply> {{answer(req), true}, {answer(req)}};
            },
            true},
    };
    for (const Case &c : cases) {
        ScriptedSntpServer server(c.script);
        EXPECT_EQ(Query(server.Port(), 300).answered, c.answered) << c.what;
    }
}

TEST(SntpClient, TooLongAndRefusedRaise)
{
    ScriptedSntpServer server([](const Bytes &req) {
        Bytes b = ScriptedSntpServer::Answer(req, 1.8e9);
        b.push_back(0);
        return std::vector<ScriptedSntpServer::Reply> {{b}};
    });
    try {
        Query(server.Port());
        FAIL() << "no error";
    } catch (const EIdSocketError &e) {
        EXPECT_EQ(e.LastError, 10040);
        EXPECT_STREQ(e.what(), "Socket Error # 10040\r\nMessage too long.");
    }
    int closedPort;
    {
        ScriptedSntpServer gone(
            [](const Bytes &) { return std::vector<ScriptedSntpServer::Reply> {}; });
        closedPort = gone.Port();
    }
    const auto start = Steady::now();
    try {
        Query(closedPort, 3500);
        FAIL() << "no error";
    } catch (const EIdSocketError &e) {
        EXPECT_EQ(e.LastError, 10054);
    }
    // Well short of the 3.5 s the query would wait for an answer, with room for a busy machine.
    EXPECT_LT(Steady::now() - start, std::chrono::milliseconds(3000));
}

TEST(SntpClient, TwoQueriesAtOnceKeepTheirOwnErrors)
{
    // Each receive fails with an error of its own socket's, and waits until the other thread's
    // has failed too: only then is the error read back and raised.
    struct TwoFailures : TIdStack
    {
        std::string ResolveHost(const std::string &host) override { return host; }
        int CreateDatagramSocket() override { return ++sockets; }
        bool SetBroadcast(int, bool) override { return true; }
        long SendTo(int, const std::array<unsigned char, 4> &, uint16_t, const unsigned char *,
            size_t size) override
        {
            return static_cast<long>(size);
        }
        bool Readable(int, int32_t) override { return true; }
        long Receive(int socket, unsigned char *, size_t) override
        {
            std::unique_lock<std::mutex> hold(lock);
            FLastError = 10053 + socket; // 10054 and 10055, one each
            ++failed;
            gate.notify_all();
            gate.wait_for(hold, std::chrono::seconds(10), [this] { return failed == 2; });
            return -1;
        }
        void Close(int) override { }
        std::atomic<int> sockets {0};
        std::mutex lock;
        std::condition_variable gate;
        int failed = 0;
    } stack;
    TIdSNTP holder; // keeps the process's stack alive while this test's stands in for it
    TIdStack *const real = TIdStack::GStack;
    TIdStack::GStack = &stack;
    auto error = [] {
        try {
            Query(123);
        } catch (const EIdSocketError &e) {
            return e.LastError;
        }
        return 0;
    };
    int other = 0;
    std::thread second([&] { other = error(); });
    const int first = error();
    second.join();
    TIdStack::GStack = real;
    EXPECT_NE(first, other);
    EXPECT_EQ(first + other, 10054 + 10055);
}

TEST(SntpClient, SilenceEndsAfterTheReceiveTimeOut)
{
    ScriptedSntpServer server(
        [](const Bytes &) { return std::vector<ScriptedSntpServer::Reply> {}; });
    const auto start = Steady::now();
    const SntpAnswer a = QuerySntp("127.0.0.1", server.Port(), 3500);
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Steady::now() - start);
    EXPECT_EQ(a.OriginateTimestamp + a.LocalClockOffset + a.RoundTripDelay, 0);
    EXPECT_GE(took.count(), 3450);
    // Not a second wait: a busy machine may be late, not twice as late.
    EXPECT_LT(took.count(), 7000);
}

TEST(SntpClient, SyncClockWithSntpOffSendsNothing)
{
    ScriptedSntpServer server([](const Bytes &req) {
        return std::vector<ScriptedSntpServer::Reply> {
            {ScriptedSntpServer::Answer(req, ScriptedSntpServer::UnixNow() + 3600)}};
    });
    FakeSettings settings;
    settings.server = "127.0.0.1";
    settings.port = server.Port();
    const SyncedOffsets offsets = SyncThroughRealClient(settings);
    EXPECT_NEAR(offsets.viaSync, offsets.viaSystem, 0.002 * kSecond);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(server.Requests(), 0);
}
