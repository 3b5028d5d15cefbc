// emit in process, with Google Benchmark: one header per iteration, built from classes made
// in memory through the host model (no parsing), written to an in-memory stream.
//
//   build/bench/emit_bench [--benchmark_filter=...] [--benchmark_min_time=0.05s]
#include "kavc/model.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

extern "C" FILE* emit(const char* fileStem, Entry* entry, Stab* stab);

namespace {

// A class of `methods` operations with mixed parameters, one data member per ten operations.
Entry* makeClass(const std::string& name, Entry* parent, int methods) {
    Entry* cls = kavc::newClass(name, {"Bench"}, nullptr, 1);
    if (parent) kavc::addParent(cls, parent, 1);
    TypeCode* types[] = {kavc::basicType("long"), kavc::basicType("double"), kavc::basicType("string"),
                         kavc::basicType("float")};
    for (int m = 0; m < methods; ++m) {
        Entry* e = kavc::addMethod(cls, name + "_m" + std::to_string(m), types[m % 4], m + 1);
        kavc::addParam(e, "a", types[(m + 1) % 4], kavtModeIn);
        kavc::addParam(e, "b", types[(m + 2) % 4], m % 3 == 0 ? kavtModeInout : kavtModeIn);
        if (m % 10 == 0) kavc::addData(cls, name + "_d" + std::to_string(m), types[m % 4], m + 1);
    }
    if (parent)
        for (int m = 0; m < 3; ++m)
            kavc::addOverride(cls, kavc::findMethod(parent, parent->name + std::string("_m") + std::to_string(m)), 1);
    kavc::finishClass(cls);
    return cls;
}

// Emits `cls` once per iteration; bytes processed are the header's.
void emitRepeatedly(benchmark::State& state, Entry* cls) {
    std::size_t bytes = 0;
    for (auto _ : state) {
        emit("bench", cls, kavc::unitStab());
        bytes = kavc::capturedText().size();
        kavc::discardOutput();
    }
    state.SetBytesProcessed(static_cast<int64_t>(bytes * state.iterations()));
    state.counters["header_bytes"] = static_cast<double>(bytes);
}

void BM_EmitOneClass(benchmark::State& state) {
    kavc::reset();
    kavc::captureOutput();
    emitRepeatedly(state, makeClass("Wide", nullptr, static_cast<int>(state.range(0))));
}
BENCHMARK(BM_EmitOneClass)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

// The last class of a chain: the inherited lists grow with the depth, the header does not.
void BM_EmitChainEnd(benchmark::State& state) {
    kavc::reset();
    kavc::captureOutput();
    Entry* cls = nullptr;
    for (int d = 0; d < state.range(0); ++d) cls = makeClass("C" + std::to_string(d), cls, 50);
    emitRepeatedly(state, cls);
}
BENCHMARK(BM_EmitChainEnd)->Arg(10)->Arg(100)->Arg(300)->Unit(benchmark::kMicrosecond);

// The bottom of a diamond lattice: the paths to the top double per layer, the classes do not.
void BM_EmitLatticeBottom(benchmark::State& state) {
    kavc::reset();
    kavc::captureOutput();
    Entry* left = makeClass("L0a", nullptr, 2);
    Entry* right = makeClass("L0b", nullptr, 2);
    for (int layer = 1; layer < state.range(0); ++layer) {
        std::string n = std::to_string(layer);
        Entry* a = kavc::newClass("L" + n + "a", {}, nullptr, 1);
        Entry* b = kavc::newClass("L" + n + "b", {}, nullptr, 1);
        for (Entry* c : {a, b}) {
            kavc::addParent(c, left, 1);
            kavc::addParent(c, right, 1);
            kavc::finishClass(c);
        }
        left = a;
        right = b;
    }
    emitRepeatedly(state, left);
}
BENCHMARK(BM_EmitLatticeBottom)->Arg(10)->Arg(40)->Unit(benchmark::kMicrosecond);

// The host's formatter alone: a typical line with three texts.
void BM_FormatLine(benchmark::State& state) {
    FILE* sink = std::fopen("/dev/null", "w");
    for (auto _ : state)
        kavtokfprintf(sink, "#define %s_parent_%s_%s(kavSelf,ev) \\\n", "Animal", "Base", "walk");
    std::fclose(sink);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 40);
}
BENCHMARK(BM_FormatLine);

}  // namespace

BENCHMARK_MAIN();
