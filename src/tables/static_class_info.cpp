// <Class>SCI: every table count and a pointer to each table, for the runtime's class builder;
// and the one count no table makes, the class-data entries.
#include "tables/class_info.h"

#include "driver/sections.h"
#include "driver/state.h"

namespace darurov {

namespace {

void writeAlignment(FILE* out, Entry* cls) {
    if (const char* align = modValue(cls, Option::align))
        kavtokfprintf(out, "    %s, /* explicit IDL align modifier */\n", align);
    else if (hasTypeCodes())
        kavtokfprintf(out, "    %d, /* type code alignment */\n",
                      kavttcAlignment(cls->dataTypeCode, 0));
    else
        kavtokfprintf(out, "    0, /* default alignment */\n");
}

}  // namespace

void countClassDataEntries(Entry* cls) {
    unsigned count = 0;
    for (ReleaseItem* item = cls->releaseOrder; item; item = item->next) {
        if (!item->name && !item->entry) break;
        ++count;
    }
    pass.counts.classDataEntries = count;
}

void writeStaticClassInfo(FILE* out, Entry* cls, const char* externalPrefix,
                          const ClassInfoCounts& counts) {
    const TableCounts& tc = pass.counts;
    const char* c = cls->name;
    const int parents = effectiveParentCount(cls, counts);

    kavtokfprintf(out, "static kavStaticClassInfo %sSCI = {\n", c);
    kavtokfprintf(out, "    4, %d, %d, %d, %d, %d, /* layout version 4 */ \n", tc.staticMethods,
                  tc.overrideMethods, tc.nonInternalData, tc.procMethods, 0);
    kavtokfprintf(out, "    %s_MajorVersion, %s_MinorVersion,\n", c, c);
    if (pass.hasInstanceData)
        kavtokfprintf(out, "    sizeof(%sData)", c);
    else
        kavtokfprintf(out, "    0");
    kavtokfprintf(out, ", %s_MaxNoMethods, %d,\n", c, parents);
    kavtokfprintf(out, "    &kavCN_%s,\n", c);
    if (cls->metaclass)
        kavtokfprintf(out, "    &kavEMC_%s, 0,\n", c);
    else
        kavtokfprintf(out, "    (kavId) NULL, 1,\n");
    if (parents != 0)
        kavtokfprintf(out, "    kavPC%s,\n", c);
    else
        kavtokfprintf(out, "    (kavId *) NULL,\n");
    kavtokfprintf(out, "    (kavClassDataStructure *) &%sClassData,\n", c);
    kavtokfprintf(out, "    (kavCClassDataStructure *) &%sCClassData,\n", c);

    kavtokfprintf(out, "    ");
    if (tc.staticMethods != 0)
        kavtokfprintf(out, "%sSM,", c);
    else
        kavtokfprintf(out, "(kavStaticMethod_t *) NULL,");
    kavtokfprintf(out, " ");
    if (tc.overrideMethods != 0)
        kavtokfprintf(out, "%sOM,\n", c);
    else
        kavtokfprintf(out, "(kavOverrideMethod_t *) NULL,\n");
    kavtokfprintf(out, "    ");
    if (tc.nonInternalData != 0) {
        kavtokfprintf(out, "(char *) &%s_kavInstData,\n", c);
        kavtokfprintf(out, "    %sNID, ", c);
    } else {
        kavtokfprintf(out, "(char *) NULL,\n");
        kavtokfprintf(out, "    (kavNonInternalData_t *) NULL,\n");
    }
    kavtokfprintf(out, "   ");
    if (tc.procMethods != 0)
        kavtokfprintf(out, "%sPM,\n", c);
    else
        kavtokfprintf(out, "(kavProcMethods_t *) NULL,\n");
    kavtokfprintf(out, "    ");
    kavtokfprintf(out, "(kavVarargsFuncs_t *) NULL,\n");
    kavtokfprintf(out, "    ");
    if (pass.classInitRoutine)
        kavtokfprintf(out, "(kavTP_kavClassInitFunc *) %s%s,\n",
                      externalPrefix ? externalPrefix : "", pass.classInitRoutine);
    else
        kavtokfprintf(out, "(kavTP_kavClassInitFunc *) NULL,\n");
    writeAlignment(out, cls);

    if (counts.directInitCount != 0) {
        kavtokfprintf(out, "    %d, /* numDirectInitClasses */\n", counts.directInitCount);
        kavtokfprintf(out, "    kavDIC%s, /* directinitclasses */\n", c);
    } else {
        kavtokfprintf(out, "    -1, /* use parents as DirectInitClasses */\n");
        kavtokfprintf(out, "    0, /* no explicit DirectInitClasses */\n");
    }
    kavtokfprintf(out, "    %d, /* number of general methods */\n", tc.generalMethods);
    if (tc.generalMethods != 0)
        kavtokfprintf(out, "    kavGM_%s,\n", c);
    else
        kavtokfprintf(out, "    (kavMethods_t *) NULL,\n");
    kavtokfprintf(out, "    0, /* no public data offset */\n");
    kavtokfprintf(out, "    0, /* no sci development level check */\n");
    kavtokfprintf(out, "    %d, /* number of SelectInheritedMethods */\n", tc.selectInherited);
    if (tc.selectInherited != 0)
        kavtokfprintf(out, "    %sSO,\n", c);
    else
        kavtokfprintf(out, "    0, /* no SelectInheritedMethods */\n");
    kavtokfprintf(out, "    %d, /* number of classdata entries */\n", tc.classDataEntries);
    kavtokfprintf(out, "    0, /* no list provided currently */\n");
    kavtokfprintf(out, "    %d, /* number of migrated methods */\n", tc.migratedMethods);
    if (tc.migratedMethods != 0)
        kavtokfprintf(out, "    %sMM,\n", c);
    else
        kavtokfprintf(out, "    0, /* no migrated method implementations */\n");
    kavtokfprintf(out, "    %d, /* number of initializers */\n", pass.initializers.count);
    if (pass.initializers.count != 0)
        kavtokfprintf(out, "    kavINIT%s, /* initializers */\n", c);
    else
        kavtokfprintf(out, "    0, /* no initializers */\n");
    kavtokfprintf(out, "    0, /* not NCX a class */\n");
    kavtokfprintf(out, "    0, /* no dynamically computed info */\n");
    kavtokfprintf(out, "};\n\n");
}

}  // namespace darurov
