// Builds a hierarchy of wide classes in memory and times emitting their headers.
//
//   emit_bench [classes] [methods-per-class] [rounds]
#include "kavc/model.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" FILE* emit(const char* fileStem, Entry* entry, Stab* stab);

namespace {

std::vector<Entry*> buildHierarchy(int classes, int methods) {
    std::vector<Entry*> built;
    Entry* parent = nullptr;
    for (int c = 0; c < classes; ++c) {
        std::string name = "Class" + std::to_string(c);
        Entry* cls = kavc::newClass(name, {"Bench"}, nullptr, c + 1);
        if (parent) kavc::addParent(cls, parent, c + 1);
        for (int m = 0; m < methods; ++m) {
            std::string method = name + "_m" + std::to_string(m);
            Entry* e = kavc::addMethod(cls, method, kavc::basicType("long"), m + 1);
            kavc::addParam(e, "a", kavc::basicType("double"), kavtModeIn);
            kavc::addParam(e, "b", kavc::basicType("float"), kavtModeIn);
            kavc::addData(cls, "d" + std::to_string(m), kavc::basicType("long"), m + 1);
        }
        if (parent) kavc::addOverride(cls, kavc::findMethod(parent, "Class" + std::to_string(c - 1) + "_m0"), 1);
        kavc::finishClass(cls);
        parent = cls;
        built.push_back(cls);
    }
    return built;
}

}  // namespace

int main(int argc, char** argv) {
    int classes = argc > 1 ? std::atoi(argv[1]) : 50;
    int methods = argc > 2 ? std::atoi(argv[2]) : 200;
    int rounds = argc > 3 ? std::atoi(argv[3]) : 3;
    double best = 1e30;
    size_t bytes = 0;
    for (int r = 0; r < rounds; ++r) {
        kavc::reset();
        kavc::captureOutput();
        std::vector<Entry*> built = buildHierarchy(classes, methods);
        auto start = std::chrono::steady_clock::now();
        for (Entry* e : built) emit("bench", e, kavc::unitStab());
        double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        bytes = kavc::capturedText().size();
        if (seconds < best) best = seconds;
    }
    std::printf("%d classes x %d methods: %zu bytes in %.3f s (best of %d), %.1f MB/s\n", classes,
                methods, bytes, best, rounds, bytes / best / 1e6);
    return 0;
}
