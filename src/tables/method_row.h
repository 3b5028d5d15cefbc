// Pieces shared by the registration-table writers.
#pragma once

#include "driver/state.h"
#include "host/kavc.h"

namespace darurov {

// The method tables' candidates with their facts: the class's methods chain, then the
// reintroduced methods.
template <typename Visit>
void forEachTableCandidate(Entry* cls, Visit visit) {
    for (const PassMethod& m : passMethods(cls)) visit(m);
    for (int i = 0; i < pass.reintroducedMethods.count; ++i)
        visit(methodFacts(pass.reintroducedMethods.methods[i]));
}

// Everything of a method row after its leading field(s): method identifier, descriptor
// identifier, implementation function and the two stub fields with the closing brace.
void writeMethodRowFields(FILE* out, Entry* method, const char* prefix);

// Counts a row of a table whose rows end without a newline. For the first row it returns
// true and the caller writes the table's opening line; before any later row it writes the
// ",\n" that ends the previous one and returns false.
bool startRow(FILE* out, unsigned& rows);
// The closing line of a table that has rows; nothing for an empty one.
void closeTable(FILE* out, unsigned rows);

}  // namespace darurov
