// Building a result list of n slide names: ArgList's append (walks the chain
// each time) against linking through a tail pointer, as slideNameList does.
#include "host/arglist.h"
#include "host/arx/aced.h"

#include <benchmark/benchmark.h>

using qorvan::host::ArgList;

static void ArgListAppend(benchmark::State& state)
{
    for (auto _ : state) {
        ArgList list;
        for (int64_t i = 0; i < state.range(0); ++i)
            list.appendString("SLIDE_NAME", RTSTR);
        benchmark::DoNotOptimize(list.getHead());
        acutRelRb(list.getHead());
    }
    state.SetComplexityN(state.range(0));
}

static void NameListWithTail(benchmark::State& state)
{
    for (auto _ : state) {
        resbuf* head = nullptr;
        resbuf* tail = nullptr;
        for (int64_t i = 0; i < state.range(0); ++i) {
            resbuf* node = ArgList::newStringNode("SLIDE_NAME", RTSTR);
            (tail ? tail->rbnext : head) = node;
            tail = node;
        }
        benchmark::DoNotOptimize(head);
        acutRelRb(head);
    }
    state.SetComplexityN(state.range(0));
}

BENCHMARK(ArgListAppend)->RangeMultiplier(10)->Range(10, 10000)->Complexity();
BENCHMARK(NameListWithTail)->RangeMultiplier(10)->Range(10, 10000)->Complexity();
BENCHMARK_MAIN();
