// Host cost of the primitives on the in-process virtual gateway (virtual time: no sleeps),
// so the figure is the code's own: packets built, sent, executed by the simulator, answered.
#include "log/operationlog.h"
#include "prog/parallelprimitives.h"
#include "prog/serialprimitives.h"
#include "sim/simlink.h"

#include <benchmark/benchmark.h>

using namespace velmora;

namespace {

void BM_GenericSignatureRead(benchmark::State& state)
{
    sim::SimLink link(*sim::FindSimChip("ATmega2560"), true);
    link.Open(QStringLiteral("virtual"));
    OperationLog log;
    const ProgContext ctx{link, log, 0, link.Sleeper()};
    for (auto _ : state) {
        if (!EnterParallelMode(ctx) || ReadSignature(ctx) != 0x01981E || !ExitParallelMode(ctx)) {
            state.SkipWithError("signature read failed");
            break;
        }
    }
}
BENCHMARK(BM_GenericSignatureRead)->Unit(benchmark::kMicrosecond);

void BM_SerialInstructionWithAnswer(benchmark::State& state)
{
    sim::SimLink link(*sim::FindSimChip("ATtiny85"), true);
    link.Open(QStringLiteral("virtual"));
    OperationLog log;
    const ProgContext ctx{link, log, 0, link.Sleeper()};
    if (!SpiProgrammingEnable(ctx, " execute the sinchronization with chip")) {
        state.SkipWithError("no programming enable");
        return;
    }
    SpiAnswerBytes answer;
    for (auto _ : state) {
        if (!SpiRead(ctx, {.i1 = 0x20, .i3 = 0x10, .failText = " 0x44 0x00 b a 0x2H"}, answer)) {
            state.SkipWithError("instruction failed");
            break;
        }
    }
}
BENCHMARK(BM_SerialInstructionWithAnswer)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
