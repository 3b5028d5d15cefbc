// Parent method call macros and the statements that resolve them.
#pragma once

#include "host/kavc.h"

namespace darurov {

void emitParentCallMacros(FILE* out, Entry* cls, Entry* method, const char* argList);
void emitParentResolution(FILE* out, Entry* cls, const char* introducer, Entry* method);

}  // namespace darurov
