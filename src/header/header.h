// The sections that the class emitter writes itself.
#pragma once

#include "driver/lists.h"
#include "host/kavc.h"

namespace darurov {

void writePrologue(FILE* out, Entry* cls);
void writeInstanceData(FILE* out, Entry* cls);
void writeImplementationSupport(FILE* out, Entry* cls);
void writeNewMethods(FILE* out, Entry* cls);
// Builds the pass's InheritedMethodList and writes the override section; the list stays
// alive to the end of the pass (the migrated-method table reads it).
InheritedMethodList writeOverriddenMethods(FILE* out, Entry* cls);
// End of the pass: releases the list, or keeps it for the metaclass pass that follows.
void finishInheritedMethods(InheritedMethodList& inherited);
// The banner of the class-object stretch that the registration tables open.
void writeClassObjectBanner(FILE* out);
// <Class>NewClass, with the resolution of the parent calls deferred by the override section.
void writeNewClassRoutine(FILE* out, Entry* cls);
// The lines that close the implementation-support block and the include guard.
void writeEpilogue(FILE* out, Entry* cls);

}  // namespace darurov
