// One tick of the real main window in steady state: texts unchanged, player idle.
// Run with QT_QPA_PLATFORM=offscreen.
#include "TMainForm.h"

#include <QApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <fstream>

using namespace quorvane;

namespace {

class StillClock : public IClock
{
public:
    TDateTime Now() const override { return 46364.0 + 17.0 / 24; } // 12:00 Eastern on UTC
    double Elapsed() const override { return 0; }
};

class NoSntp : public ISntpSource
{
public:
    void Query(const std::string &, int32_t, int32_t, SntpDone done) override { done({}); }
};

class IdlePlayer : public ISoundPlayer
{
public:
    bool IsPlaying() override { return false; }
    void Play(const std::string &) override { }
};

void BM_MainWindowTick(benchmark::State &state)
{
    QTemporaryDir dir;
    const std::string app = dir.path().toStdString() + "/";
    std::ofstream(app + "schedule.txt") << "12/08/2026 9:30 am - 12/08/2026 4:00 pm\n";
    StillClock clock;
    NoSntp sntp;
    IdlePlayer player;
    TMainFormConfig config;
    config.AppDir = app;
    config.VendorHost = "vendor.test";
    config.Clock = &clock;
    config.Sntp = &sntp;
    config.Player = &player;
    TMainForm form(config);
    form.show();
    form.Engine().Timer11Timer();
    for (auto _ : state)
        form.Engine().Timer11Timer();
}
BENCHMARK(BM_MainWindowTick);

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qt(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
