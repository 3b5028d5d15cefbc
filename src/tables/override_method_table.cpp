// <Class>OM (the class's overrides without "select") and the class-data entry count.
#include "tables/method_row.h"
#include "tables/tables.h"

namespace darurov {

void writeOverrideMethodTable(FILE* out, Entry* cls, const char* externalPrefix,
                              const char* classPrefix) {
    unsigned& rows = pass.counts.overrideMethods;
    // Reintroduced methods are new methods to the runtime, never overrides.
    for (Entry* m = cls->methods; m; m = m->next) {
        if (!isOverride(m) || !belongsToPass(m) || hasMod(m, "select")) continue;
        if (rows == 0) {
            kavtfullComment(out, "Declare the Override Methods table.");
            kavtokfprintf(out, "static kavOverrideMethod_t %sOM[] = {\n", cls->name);
        }
        kavtokfprintf(out, "    {    &kavId_%s%s,\n", cls->name, m->name);
        kavtokfprintf(out, "         (kavMethodProc *) %s%s  },\n",
                      rowPrefix(m, externalPrefix, classPrefix), m->name);
        ++rows;
    }
    if (rows != 0) kavtokfprintf(out, "};\n\n");
}

void countClassDataEntries(FILE*, Entry* cls) {
    unsigned count = 0;
    for (ReleaseItem* item = cls->releaseOrder; item; item = item->next) {
        if (!item->name && !item->entry) break;
        ++count;
    }
    pass.counts.classDataEntries = count;
}

}  // namespace darurov
