#include "TKeepOnTop.h"
#include "TSwayIpc.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <chrono>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

using namespace quorvane;

// The compositor answers the bar's two questions over its socket, as a whole or in pieces:
// either way, the bar has the outputs once its wait ends.
TEST(SwayIpc, TheOutputsArriveHoweverTheAnswerIsCut)
{
    const QByteArray answer
        = TSwayIpc::Message(TSwayIpc::GetOutputs,
              R"([{"name": "A", "active": true, "rect": {"x": 0, "y": 0, "width": 800, "height": 600}}])")
        + TSwayIpc::Message(TSwayIpc::GetWorkspaces,
            R"([{"output": "A", "visible": true, "rect": {"x": 0, "y": 23, "width": 800, "height": 577}}])");
    struct Row
    {
        const char *what;
        qsizetype piece;
    };
    const Row rows[] = {{"whole", answer.size()}, {"in pieces", 7}};
    for (const Row &r : rows) {
        QTemporaryDir dir;
        const QByteArray path = (dir.path() + "/ipc").toLocal8Bit();
        sockaddr_un address {};
        address.sun_family = AF_UNIX;
        std::copy(path.begin(), path.end(), address.sun_path);
        const int server = ::socket(AF_UNIX, SOCK_STREAM, 0);
        ASSERT_EQ(::bind(server, reinterpret_cast<const sockaddr *>(&address), sizeof address), 0);
        ASSERT_EQ(::listen(server, 1), 0);
        std::thread compositor([&] {
            const int c = ::accept(server, nullptr, nullptr);
            QByteArray asked;
            uint32_t type = 0;
            QByteArray payload;
            char chunk[256];
            for (int questions = 0; questions < 2;) {
                const ssize_t n = ::read(c, chunk, sizeof chunk);
                if (n <= 0)
                    break;
                asked.append(chunk, n);
                while (TSwayIpc::TakeMessage(asked, type, payload))
                    ++questions;
            }
            for (qsizetype at = 0; at < answer.size(); at += r.piece) {
                ::send(c, answer.constData() + at,
                    static_cast<size_t>(std::min(r.piece, answer.size() - at)), MSG_NOSIGNAL);
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
            ::close(c);
        });
        TSwayIpc ipc(QString::fromLocal8Bit(path));
        EXPECT_TRUE(ipc.ReadNow(10000)) << r.what;
        compositor.join();
        ::close(server);
        ASSERT_EQ(ipc.Outputs().size(), 1u) << r.what;
        EXPECT_EQ(ipc.Outputs()[0].Usable, QRect(0, 23, 800, 577)) << r.what;
    }
}

// Only the window manager's own placings send the compositor a question: the bar's own moves
// and its menus' would ask it for nothing.
TEST(KeepOnTop, TheCompositorIsAskedAgainWhenItHasTiledWindowsAnew)
{
    struct Row
    {
        uint8_t kind;
        bool unmanaged, asks;
    };
    for (const Row &r :
        {Row {XCB_CONFIGURE_NOTIFY, false, true}, Row {XCB_CONFIGURE_NOTIFY | 0x80, false, true},
            Row {XCB_CONFIGURE_NOTIFY, true, false}, Row {XCB_MAP_NOTIFY, false, false},
            Row {XCB_PROPERTY_NOTIFY, false, false}}) {
        xcb_configure_notify_event_t note {};
        note.response_type = r.kind;
        note.override_redirect = r.unmanaged;
        EXPECT_EQ(TKeepOnTop::ManagedPlaced(reinterpret_cast<xcb_generic_event_t *>(&note)), r.asks)
            << static_cast<int>(r.kind) << " " << r.unmanaged;
    }
}
