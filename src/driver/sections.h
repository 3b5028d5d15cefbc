// The section writers that the class emitter runs and that sections call in each other's
// folders. Each is defined in the folder named beside it; a section folder includes this
// header, never another section folder's.
#pragma once

#include "driver/lists.h"
#include "host/kavc.h"

namespace darurov {

// header/: one pass of the implementation header, every section in order; returns `out`.
FILE* emitClass(FILE* out, const char* fileStem, Entry* cls);

// stubs/: the apply-stub section (closed by the externals of the stubs it only names) and
// one new method's information records.
void emitApplyStubs(FILE* out, Entry* cls);
void emitMethodInfo(FILE* out, Entry* method);

// parents/: the parent call macros of an overridden method, and the statements of
// <Class>NewClass that resolve them.
void emitParentCallMacros(FILE* out, Entry* cls, Entry* method, const char* argList);
void emitParentResolution(FILE* out, Entry* cls, const char* introducer, Entry* method);

// tables/: the registration tables, in the order the class emitter writes them.
void writeStaticMethodTable(FILE* out, Entry* cls, const char* externalPrefix,
                            const char* classPrefix);
void writeOverrideMethodTable(FILE* out, Entry* cls, const char* externalPrefix,
                              const char* classPrefix);
void writeGeneralMethodTable(FILE* out, Entry* cls, const char* externalPrefix,
                             const char* classPrefix);
// Counts the release-order items for the static class info; writes nothing.
void countClassDataEntries(Entry* cls);
void writeMigratedMethodTable(FILE* out, Entry* cls, InheritedMethodList inherited);
// Class ids, auxiliary lists and the static class info <Class>SCI.
void writeClassInfo(FILE* out, Entry* cls, const char* externalPrefix, const char* classPrefix);

// initializers/: the initializer, destructor and assignment macros.
void emitInitializerMacros(FILE* out, Entry* cls);

}  // namespace darurov
