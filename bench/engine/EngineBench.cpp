// Schedule parsing, the steady-state NextEvent and one idle tick.
#include "Fakes.h"
#include "Schedule.h"

#include <benchmark/benchmark.h>

#include <cstdio>

using namespace quorvane;
using namespace quorvane::test;

namespace {

std::vector<std::string> ManyLines(int count)
{
    std::vector<std::string> lines;
    lines.reserve(count);
    char buf[96];
    int64_t day = DaysFromCivil(2000, 1, 3);
    for (int i = 0; i < count; ++i, ++day) {
        const CivilDate d = CivilFromDays(day);
        if (i % 50 == 0) {
            std::snprintf(
                buf, sizeof buf, "# %04d-%02d-%02d closed: a holiday", d.Year, d.Month, d.Day);
        } else {
            std::snprintf(buf, sizeof buf, "%02d/%02d/%04d 9:30 am - %02d/%02d/%04d 4:00 pm",
                d.Month, d.Day, d.Year, d.Month, d.Day, d.Year);
        }
        lines.emplace_back(buf);
    }
    return lines;
}

void BM_ParseSchedule(benchmark::State &state)
{
    const auto lines = ManyLines(static_cast<int>(state.range(0)));
    TSchedule sessions;
    for (auto _ : state) {
        ParseSchedule(lines, sessions, 2026);
        benchmark::DoNotOptimize(sessions.data());
    }
    state.counters["lines/s"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * state.range(0), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ParseSchedule)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_NextEventSteadyState(benchmark::State &state)
{
    Rig rig;
    rig.engine.FSessions = {};
    ParseSchedule(ManyLines(100000), rig.engine.FSessions, 2026);
    rig.clock.now = At(2026, 12, 8, 15, 0, 0);
    double remaining;
    bool open;
    rig.engine.NextEvent(remaining, open);
    for (auto _ : state) {
        benchmark::DoNotOptimize(rig.engine.NextEvent(remaining, open));
        benchmark::DoNotOptimize(remaining);
    }
}
BENCHMARK(BM_NextEventSteadyState);

void BM_TickSteadyState(benchmark::State &state)
{
    Rig rig;
    rig.Schedule("12/08/2026 9:30 am - 12/08/2026 4:00 pm\n");
    rig.engine.LoadSchedule();
    rig.clock.now = At(2026, 12, 8, 15, 0, 0.2);
    rig.engine.Timer11Timer();
    for (auto _ : state) {
        rig.engine.Timer11Timer();
    }
}
BENCHMARK(BM_TickSteadyState);

} // namespace

BENCHMARK_MAIN();
