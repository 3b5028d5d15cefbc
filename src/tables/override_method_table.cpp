// <Class>OM: the class's overrides without "select".
#include "driver/sections.h"
#include "tables/method_row.h"

namespace darurov {

void writeOverrideMethodTable(FILE* out, Entry* cls, const char* externalPrefix,
                              const char* classPrefix) {
    unsigned& rows = pass.counts.overrideMethods;
    const char* prefix = passMethodPrefix(externalPrefix, classPrefix);
    // Reintroduced methods are new methods to the runtime, never overrides.
    for (const PassMethod& facts : passMethods(cls)) {
        if (!facts.isPassOverride() || facts.is(selectFact)) continue;
        Entry* m = facts.method;
        if (rows == 0) {
            kavtfullComment(out, "Declare the Override Methods table.");
            kavtokfprintf(out, "static kavOverrideMethod_t %sOM[] = {\n", cls->name);
        }
        kavtokfprintf(out, "    {    &kavId_%s%s,\n", cls->name, m->name);
        kavtokfprintf(out, "         (kavMethodProc *) %s%s  },\n",
                      prefix, m->name);
        ++rows;
    }
    closeTable(out, rows);
}

}  // namespace darurov
