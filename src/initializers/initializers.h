// Initializer, destructor and assignment macros.
#pragma once

#include "host/kavc.h"

#include <string>

namespace darurov {

// emitInitializerMacros, the section's entry, is in driver/sections.h.
void emitBeginInitializer(FILE* out, Entry* cls, int n, const char* ctrlName,
                          const char* methodName);

// The text of the direct-init class list: the "directinitclasses" value, else the parents'
// names joined with ",".
std::string directInitClassList(Entry* cls);

}  // namespace darurov
