// Pieces shared by the static and general method tables.
#pragma once

#include "driver/state.h"
#include "host/kavc.h"

namespace darurov {

// The implementation-function prefix of a table row: the writer's classPrefix for a "class"
// method, else its externalPrefix. A null prefix reads as "", as methodPrefix does.
inline const char* rowPrefix(Entry* method, const char* externalPrefix, const char* classPrefix) {
    const char* prefix = hasMod(method, "class") ? classPrefix : externalPrefix;
    return prefix ? prefix : "";
}

// The method tables' candidates: the class's methods chain, then the reintroduced methods.
template <typename Visit>
void forEachTableCandidate(Entry* cls, Visit visit) {
    for (Entry* m = cls->methods; m; m = m->next) visit(m);
    for (int i = 0; i < pass.reintroducedMethods.count; ++i)
        visit(pass.reintroducedMethods.methods[i]);
}

// A new method of this pass (type 28 with the pass's "class" presence).
inline bool isPassNewMethod(Entry* m) { return m->type == kavtNewMethodType && belongsToPass(m); }

// Everything of a method row after its leading field(s): method identifier, descriptor
// identifier, implementation function and the two stub fields with the closing brace.
void writeMethodRowFields(FILE* out, Entry* method, const char* prefix);

}  // namespace darurov
