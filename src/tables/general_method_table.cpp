// kavGM_<Class>: allocation (7) and deallocation (8) registrations, then non-static methods (2),
// in one array.
#include "driver/sections.h"
#include "tables/method_row.h"

namespace darurov {

namespace {

void openGeneralArray(FILE* out, Entry* cls) {
    kavtfullComment(out, "Declare the General Method Registration Table.");
    kavtokfprintf(out, "static kavMethods_t kavGM_%s[] = {\n", cls->name);
}

}  // namespace

void writeGeneralMethodTable(FILE* out, Entry* cls, const char* externalPrefix,
                             const char* classPrefix) {
    unsigned& rows = pass.counts.generalMethods;
    const char* allocate = modValue(cls, Option::kavallocate);
    const char* deallocate = modValue(cls, Option::kavdeallocate);
    if (allocate)
        kavtokfprintf(out, "KAVEXTERN string KAVLINK %s(KAVClass *cls, long size);\n", allocate);
    if (deallocate)
        kavtokfprintf(out, "KAVEXTERN void KAVLINK %s(KAVClass *cls, string obj);\n", deallocate);
    if (allocate) {
        if (rows == 0) openGeneralArray(out, cls);
        kavtokfprintf(out, "    {    7, 0, 0, 0, (kavMethodProc*) %s },\n", allocate);
        ++rows;
    }
    if (deallocate) {
        if (rows == 0) openGeneralArray(out, cls);
        kavtokfprintf(out, "    {    8, 0, 0, 0, (kavMethodProc*) %s },\n", deallocate);
        ++rows;
    }
    const char* prefix = passMethodPrefix(externalPrefix, classPrefix);
    forEachTableCandidate(cls, [&](const PassMethod& facts) {
        if (!facts.isPassNewMethod() || !facts.is(nonStaticFact)) return;
        Entry* m = facts.method;
        if (rows == 0) {
            kavtfullComment(out, "Declare the NonStatic Methods table.");
            kavtokfprintf(out, "static kavMethods_t kavGM_%s[] = {\n", cls->name);
        }
        kavtokfprintf(out, "    {    2, &%sClassData.%s,\n", cls->name, m->name);
        writeMethodRowFields(out, m, prefix);
        ++rows;
    });
    closeTable(out, rows);
}

}  // namespace darurov
