// <Class>SM: one row per static method the pass's class introduces or reintroduces.
#include "driver/sections.h"
#include "tables/method_row.h"

namespace darurov {

void writeStaticMethodTable(FILE* out, Entry* cls, const char* externalPrefix,
                            const char* classPrefix) {
    unsigned& rows = pass.counts.staticMethods;
    const char* prefix = passMethodPrefix(externalPrefix, classPrefix);
    forEachTableCandidate(cls, [&](const PassMethod& facts) {
        if (!facts.isPassNewMethod() || !facts.isStatic()) return;
        Entry* m = facts.method;
        if (rows == 0) {
            kavtfullComment(out, "Declare the Static Methods table.");
            kavtokfprintf(out, "static kavStaticMethod_t %sSM[] = {\n", cls->name);
        }
        kavtokfprintf(out, "    {    &%sClassData.%s,\n", cls->name, m->name);
        writeMethodRowFields(out, m, prefix);
        ++rows;
    });
    closeTable(out, rows);
}

}  // namespace darurov
