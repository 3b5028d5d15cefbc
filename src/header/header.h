// The class emitter and the sections it writes itself.
#pragma once

#include "driver/lists.h"
#include "host/kavc.h"

#include <string>

namespace darurov {

// Every method-function declaration starts with this macro; the prologue defines it.
inline constexpr const char* scopeMacro = "KAV_Scope";

// Writes one pass of the implementation header; returns the stream.
FILE* emitClass(FILE* out, const char* fileStem, Entry* cls);

void writePrologue(FILE* out, Entry* cls);
void writeInstanceData(FILE* out, Entry* cls);
void writeImplementationSupport(FILE* out, Entry* cls);
void writeNewMethods(FILE* out, Entry* cls);
// Builds the pass's InheritedMethodList and writes the override section; the list stays
// alive to the end of the pass (the migrated-method table reads it).
InheritedMethodList writeOverriddenMethods(FILE* out, Entry* cls);
// The class-object banner, the tables, <Class>NewClass, attribute stubs, the lifecycle
// macros and the closing lines.
void writeClassCreation(FILE* out, Entry* cls, InheritedMethodList inherited);

// first + host class prefix (or nothing) + second, in a buffer the next call overwrites.
const char* prefixedName(const char* first, const char* second);
// `value` unchanged when it starts with a double quote, else wrapped in double quotes.
const char* quotedText(std::string& dest, const char* value);
// The name of a method's apply stub; "NULL" when the pass writes no apply stubs.
// An "apply" modifier without a value is fatal (message 24).
const char* applyStubName(Entry* method);
// The type of the class object: the explicit metaclass's name, else "KAVClass".
const char* metaclassTypeName(Entry* cls);

}  // namespace darurov
