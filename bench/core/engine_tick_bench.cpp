// Cost of one monitor tick without its 100 ms probe sleep: the engine's own
// bookkeeping over a line that answers at once.
#include <benchmark/benchmark.h>

#include "engine_fakes.h"
#include "monitor_engine.h"

namespace {

using namespace qor;
using namespace qor::test;

struct Bench : EngineRig {
    explicit Bench(Edition e) : EngineRig(e) { s.expBatMin = s.lowBatMin = 1000000; }  // never halt
};

void BM_ConsoleTickSteady(benchmark::State& state) {
    Bench b(Edition::Console);
    for (auto _ : state) {
        b.engine.consoleTick(b.console);
        b.console.painted.clear();
    }
}
BENCHMARK(BM_ConsoleTickSteady);

void BM_DesktopTickSteady(benchmark::State& state) {
    Bench b(Edition::Desktop);
    for (auto _ : state) {
        ++b.clock.t;
        benchmark::DoNotOptimize(b.engine.desktopTick(b.view));
    }
}
BENCHMARK(BM_DesktopTickSteady);

// Every tick a change: mains fail and return in turn, each recorded and queued.
void BM_ConsoleTickAlternating(benchmark::State& state) {
    Bench b(Edition::Console);
    bool fail = false;
    for (auto _ : state) {
        fail = !fail;
        b.line.plug("/dev/ttyS0", true, !fail);
        b.engine.consoleTick(b.console);
        b.console.painted.clear();
        b.events.kinds.clear();
        b.notifier.queued.clear();
    }
}
BENCHMARK(BM_ConsoleTickAlternating);

}  // namespace
