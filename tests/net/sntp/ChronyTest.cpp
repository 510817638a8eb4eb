// The good path against a real SNTP server: chrony serving this machine's clock on loopback.
#include "RealSync.h"
#include "TIdSNTP.h"
#include "TMarketEngine.h"
#include "TSntpSource.h"
#include "engine/Fakes.h"

#include <gtest/gtest.h>

#include <QDir>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char **environ;

using namespace quorvane;

namespace {

constexpr double kMs = 1.0 / 86400000.0;

class Chrony
{
public:
    Chrony()
    {
        char dirTemplate[] = "/tmp/quorvane-chrony.XXXXXX";
        if (!mkdtemp(dirTemplate))
            return;
        dir_ = dirTemplate;
        chmod(dir_.c_str(), 0700);
        port_ = 20000 + static_cast<int>(getpid() % 20000);
        std::ofstream(dir_ + "/chrony.conf")
            << "port " << port_ << "\nbindaddress 127.0.0.1\nallow 127.0.0.1\nlocal stratum 1\n"
            << "manual\ncmdport 0\nbindcmdaddress " << dir_ << "/chronyd.sock\npidfile " << dir_
            << "/chronyd.pid\ndriftfile " << dir_ << "/drift\n";
        const std::string conf = dir_ + "/chrony.conf";
        const char *argv[] = {"chronyd", "-x", "-d", "-u", "root", "-f", conf.c_str(), nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        if (posix_spawnp(&pid_, "chronyd", &actions, nullptr, const_cast<char **>(argv), environ)
            != 0)
            pid_ = 0;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Chrony()
    {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
        if (!dir_.empty())
            QDir(QString::fromStdString(dir_)).removeRecursively();
    }
    // Waits until it answers; false when it never does.
    bool Ready()
    {
        // A minute at most: a busy machine may be slow to start it.
        for (int i = 0; pid_ > 0 && i < 300; ++i) {
            TIdSNTP probe;
            probe.Host = "127.0.0.1";
            probe.Port = port_;
            probe.ReceiveTimeout = 100;
            try {
                probe.SNTPQuery();
            } catch (const std::exception &) { }
            if (probe.OriginateTimestamp != 0)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return false;
    }
    int Port() const { return port_; }

private:
    std::string dir_;
    int port_ = 0;
    pid_t pid_ = 0;
};

} // namespace

TEST(Chrony, SyncClockMatchesARealServerOnLoopback)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "chronyd needs root to serve without touching the clock";
    Chrony chrony;
    if (!chrony.Ready())
        GTEST_SKIP() << "chronyd is not installed or did not start (scripts/install-deps.sh)";

    TIdSNTP sntp;
    sntp.Host = "127.0.0.1";
    sntp.Port = chrony.Port();
    sntp.ReceiveTimeout = 3500;
    sntp.SNTPQuery();
    ASSERT_NE(sntp.OriginateTimestamp, 0);
    // chrony serves this machine's own clock, so the offset is only measurement noise.
    EXPECT_LT(std::fabs(sntp.LocalClockOffset), 50 * kMs);

    test::FakeSettings settings;
    settings.useSntp = true;
    settings.server = "localhost";
    settings.port = chrony.Port();
    const test::SyncedOffsets offsets = test::SyncThroughRealClient(settings);
    const double errorMs = (offsets.viaSync - offsets.viaSystem) / kMs;
    std::printf("SyncClock against chrony: EasternNow off by %.3f ms; round trip %.3f ms\n",
        errorMs, sntp.RoundTripDelay / kMs);
    EXPECT_LT(std::fabs(errorMs), 5.0);
}
