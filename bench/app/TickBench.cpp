// One tick of the real main window in steady state: texts unchanged, player idle.
// Run with QT_QPA_PLATFORM=offscreen.
#include "TMainForm.h"
#include "engine/Fakes.h"

#include <QApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <fstream>

using namespace quorvane;

namespace {

void BM_MainWindowTick(benchmark::State &state)
{
    QTemporaryDir dir;
    const std::string app = dir.path().toStdString() + "/";
    std::ofstream(app + "schedule.txt") << "12/08/2026 9:30 am - 12/08/2026 4:00 pm\n";
    test::FakeClock clock;
    clock.now = 46364.0 + 17.0 / 24; // 12:00 Eastern on UTC
    test::FakeSntp sntp(clock);
    sntp.fail = true;
    test::FakePlayer player(clock);
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
