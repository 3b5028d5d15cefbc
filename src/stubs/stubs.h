// Apply stubs, their external declarations and the per-method information records.
#pragma once

#include "host/kavc.h"

#include <string>

namespace darurov {

// One entry of the stub registry: the text pointer directly followed by the flag byte.
struct __attribute__((packed)) StubRecord {
    char* stubName;
    unsigned char definedHere;
};

// The section's own pieces; emitApplyStubs and emitMethodInfo are in driver/sections.h.
void emitApplyStub(FILE* out, Entry* cls, Entry* method, std::string& buffer,
                   const char* stubName);
const char* applyCallArgList(Entry* method, std::string& buffer);
const char* arrayArgCast(Entry* param, std::string& buffer);
void emitStubExternals(FILE* out, Stab* registry);

inline constexpr int floatMapSlots = 13;
struct FloatMap {
    int slots[floatMapSlots];
    int count;
};
int returnKindCode(Entry* method);
void buildFloatMap(Entry* firstParam, FloatMap& map, int& argumentAreaSize);

}  // namespace darurov
