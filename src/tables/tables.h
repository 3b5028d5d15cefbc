// The registration tables and the static class info.
#pragma once

#include "driver/lists.h"
#include "host/kavc.h"

namespace darurov {

void writeStaticMethodTable(FILE* out, Entry* cls, const char* externalPrefix,
                            const char* classPrefix);
void writeOverrideMethodTable(FILE* out, Entry* cls, const char* externalPrefix,
                              const char* classPrefix);
void writeGeneralMethodTable(FILE* out, Entry* cls, const char* externalPrefix,
                             const char* classPrefix);
void countClassDataEntries(FILE* out, Entry* cls);
void writeMigratedMethodTable(FILE* out, Entry* cls, const char* externalPrefix,
                              const char* classPrefix, InheritedMethodList inherited);
// Class ids, auxiliary lists and the static class info <Class>SCI.
void writeClassInfo(FILE* out, Entry* cls, const char* externalPrefix, const char* classPrefix);

}  // namespace darurov
