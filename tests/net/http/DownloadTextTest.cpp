#include "DownloadText.h"
#include "LoopbackHttpServer.h"
#include "Schedule.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include <poll.h>
#include <sys/socket.h>

using namespace quorvane;
using namespace quorvane::test;
using Clock = std::chrono::steady_clock;

// A local schedule.txt and a download are held to the same size.
static_assert(DownloadBodyCap == ScheduleSizeCap);

namespace {

std::string Pattern(size_t n)
{
    std::string s(n, 'x');
    for (size_t i = 0; i < n; ++i)
        s[i] = static_cast<char>('a' + i % 26);
    return s;
}

void Pause(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// Holds the connection open, sending nothing, until the client hangs up (or a bound passes).
void StallUntilClientCloses(int fd)
{
    pollfd p {fd, POLLIN, 0};
    char buf[256];
    while (::poll(&p, 1, 3000) > 0 && ::recv(fd, buf, sizeof buf, 0) > 0) { }
}

} // namespace

TEST(DownloadText, ReadsAreCutAtTheirFirstZeroByte)
{
    struct Row
    {
        std::vector<std::string> reads;
        std::string text;
    };
    const std::string full = Pattern(1025);
    const Row rows[] = {
        {{std::string("ab\0cd", 5), "ef"}, "abef"},
        {{full}, full},
        {{Pattern(3000)}, Pattern(3000)},
        // One callback of 2050 bytes is two reads: the zero cuts only the first.
        {{Pattern(1000) + std::string("\0zzzzzzzzzzzzzzzzzzzzzzzz", 25) + Pattern(1025)},
            Pattern(1000) + Pattern(1025)},
        {{std::string("\0abc", 4)}, ""},
        {{""}, ""},
    };
    for (const Row &r : rows) {
        std::string text;
        for (const std::string &read : r.reads)
            AppendReads(text, read.data(), read.size());
        EXPECT_EQ(text, r.text);
    }
}

TEST(DownloadText, BodiesAndStatuses)
{
    struct Case
    {
        const char *what;
        int status;
        std::string body;
        bool complete;
    };
    const Case cases[] = {
        {"3000 bytes", 200, Pattern(3000), true},
        {"empty body", 200, "", true},
        {"line ends kept", 200, "a\r\nb\rc\n", true},
        {"404 page is no schedule", 404, "<html><body>Not Found</body></html>", false},
        {"server error", 500, "oops", false},
        {"204", 204, "", true},
    };
    for (const Case &c : cases) {
        LoopbackHttpServer server([&](int fd, const std::string &) {
            LoopbackHttpServer::Send(fd, LoopbackHttpServer::Response(c.status, c.body));
        });
        const Download d = DownloadText(server.Url("/timer/schedule.txt"), 2000);
        EXPECT_EQ(d.Text, c.body) << c.what;
        EXPECT_EQ(d.Complete, c.complete) << c.what;
    }
}

TEST(DownloadText, TheRequestAsksTheOriginServerWithOurAgent)
{
    LoopbackHttpServer server([](int fd, const std::string &) {
        LoopbackHttpServer::Send(fd, LoopbackHttpServer::Response(200, "ok"));
    });
    ASSERT_TRUE(DownloadText(server.Url("/timer/schedule.txt"), 2000).Complete);
    const std::string request = server.Requests().at(0);
    EXPECT_EQ(request.rfind("GET /timer/schedule.txt HTTP/1.1\r\n", 0), 0u) << request;
    EXPECT_NE(
        request.find(std::string("User-Agent: ") + DownloadAgent + "\r\n"), std::string::npos);
    EXPECT_NE(request.find("Cache-Control: no-cache\r\n"), std::string::npos);
    EXPECT_NE(request.find("Pragma: no-cache\r\n"), std::string::npos);
}

TEST(DownloadText, AZeroByteOverTheWireDropsTheRestOfThatRead)
{
    LoopbackHttpServer server([](int fd, const std::string &) {
        LoopbackHttpServer::Send(fd, "HTTP/1.1 200 OK\r\nContent-Length: 7\r\n\r\n");
        LoopbackHttpServer::Send(fd, std::string("ab\0cd", 5));
        Pause(150);
        LoopbackHttpServer::Send(fd, "ef");
    });
    const Download d = DownloadText(server.Url("/"), 2000);
    EXPECT_EQ(d.Text, "abef");
    EXPECT_TRUE(d.Complete);
}

TEST(DownloadText, StalledAndTricklingServersGiveThePartialTextWithinTheirBounds)
{
    struct Row
    {
        const char *what;
        int32_t stallMs, deadlineMs;
        int byteEveryMs; // 0: the server stops after its first part
    };
    const Row rows[] = {
        {"a server that stops is left after the stall bound", 300, 30000, 0},
        {"a trickle never stalls, but the deadline ends it", 300, 800, 100},
    };
    for (const Row &r : rows) {
        LoopbackHttpServer server([&r](int fd, const std::string &) {
            LoopbackHttpServer::Send(
                fd, "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nfirst part");
            for (int i = 0; r.byteEveryMs && i < 90; ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(r.byteEveryMs));
                if (::send(fd, "x", 1, MSG_NOSIGNAL) != 1)
                    return;
            }
            StallUntilClientCloses(fd);
        });
        const auto start = Clock::now();
        const Download d = DownloadText(server.Url("/"), r.stallMs, r.deadlineMs);
        const auto took
            = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
        EXPECT_EQ(d.Text.rfind("first part", 0), 0u) << r.what;
        EXPECT_FALSE(d.Complete) << r.what;
        // Room for a busy machine, still well short of the next bound that would end it.
        EXPECT_LT(took.count(), std::min(r.stallMs, r.deadlineMs) + 4000) << r.what;
    }
}

TEST(DownloadText, FailuresGiveEmptyText)
{
    int port;
    {
        LoopbackHttpServer closed([](int, const std::string &) {});
        port = closed.Port();
    }
    const Download refused = DownloadText("http://127.0.0.1:" + std::to_string(port) + "/", 1000);
    EXPECT_EQ(refused.Text, "");
    EXPECT_FALSE(refused.Complete);
    const Download badScheme = DownloadText("file:///etc/passwd", 1000);
    EXPECT_EQ(badScheme.Text, "");
    EXPECT_FALSE(badScheme.Complete);
}

TEST(DownloadText, ABodyOverTheCapFails)
{
    for (bool withLength : {true, false}) {
        LoopbackHttpServer server([&](int fd, const std::string &) {
            const size_t size = DownloadBodyCap + 65536;
            std::string head = "HTTP/1.1 200 OK\r\nConnection: close\r\n";
            if (withLength)
                head += "Content-Length: " + std::to_string(size) + "\r\n";
            LoopbackHttpServer::Send(fd, head + "\r\n");
            LoopbackHttpServer::Send(fd, std::string(size, 'x'));
        });
        const Download d = DownloadText(server.Url("/"), 2000);
        EXPECT_FALSE(d.Complete) << withLength;
        EXPECT_LE(d.Text.size(), DownloadBodyCap);
    }
}

TEST(DownloadText, RedirectsAreBoundedAndStayOnHttp)
{
    LoopbackHttpServer server([](int fd, const std::string &request) {
        const size_t at = request.find("GET /r") + 6;
        const int hop = std::stoi(request.substr(at, request.find(' ', at) - at));
        std::string location;
        if (hop == 100)
            location = "ftp://127.0.0.1/x";
        else if (hop == 3 || hop == 20)
            return LoopbackHttpServer::Send(fd, LoopbackHttpServer::Response(200, "landed"));
        else
            location = "/r" + std::to_string(hop + 1);
        LoopbackHttpServer::Send(
            fd, LoopbackHttpServer::Response(302, "", "Location: " + location + "\r\n"));
    });
    EXPECT_EQ(DownloadText(server.Url("/r0"), 2000).Text, "landed"); // 3 hops
    EXPECT_FALSE(DownloadText(server.Url("/r10"), 2000).Complete); // 10 hops
    EXPECT_FALSE(DownloadText(server.Url("/r100"), 2000).Complete); // to ftp
}
