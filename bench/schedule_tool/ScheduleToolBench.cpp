// Writing a whole century of sessions, as `quorvane-schedule 2000 2099` does.
#include "ScheduleTool.h"

#include <benchmark/benchmark.h>

#include <sstream>

namespace {

void BM_GenerateCentury(benchmark::State &state)
{
    for (auto _ : state) {
        std::ostringstream out, err;
        benchmark::DoNotOptimize(quorvane::RunScheduleTool({"2000", "2099"}, out, err));
        benchmark::DoNotOptimize(out.str().size());
    }
}
BENCHMARK(BM_GenerateCentury)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
