// The class-object banner, <Class>NewClass and the closing lines of a pass. The driver
// releases the reintroduced methods after the pass (releasePassLists), since lists of the
// pass may still point at them.
#include "driver/sections.h"
#include "driver/state.h"
#include "driver/text.h"
#include "header/header.h"

#include <cstdint>

namespace darurov {

namespace {

void writeStaticReference(FILE* out, const char* name) {
    kavtokfprintf(out, "    %sNewClass(", name);
    kavtokfprintf(out, "%s_MajorVersion,", name);
    kavtokfprintf(out, "%s_MinorVersion);\t/* static reference */\n", name);
}

// Writes the parents' static references and returns the mask of concrete parents that
// kavBuildClass receives. A repeated parent takes no position of its own.
std::uint32_t writeParentReferences(FILE* out, Entry* cls) {
    if (!cls->parents) return 1;
    std::uint32_t mask = 0;
    int index = 0;
    for (Entry* parent = cls->parents; parent; parent = parent->next) {
        if (!hasMod(parent, Option::abstract)) mask |= std::uint32_t{1} << (index % 32);
        const char* name = kavtgetNonRepeatedParent(parent, index);
        if (!name) continue;
        if (!hasMod(parent, Option::nolink)) writeStaticReference(out, name);
        ++index;
    }
    return mask;
}

void writeExplicitMetaclassReference(FILE* out, Entry* cls) {
    if (!cls->metaclass || hasMod(cls->metaclass, Option::nolink)) return;
    kavtokfprintf(out, "    /* Explicit metaclass, so get it */ \n");
    writeStaticReference(out, kavtclsname(cls->metaclass));
}

void resolveDeferredParents(FILE* out) {
    while (DeferredResolution* record = popDeferred()) {
        emitParentResolution(out, record->cls, record->introducer, record->method);
        releaseDeferred(record);
    }
}

}  // namespace

void writeClassObjectBanner(FILE* out) {
    kavtfullComment(out, "-- Routines and Structures to create the class object");
    kavtokfprintf(out, "\n");
}

void writeNewClassRoutine(FILE* out, Entry* cls) {
    const char* metaclass = metaclassTypeName(cls);
    kavtfullComment(out, "Class Creation and Initialization");
    kavtokfprintf(out, "\nWIN32_DLLEXPORT %s * KAVLINK %sNewClass (integer4 kavntmajorVersion,\n", metaclass, cls->name);
    kavtokfprintf(out, "\t\tinteger4 kavntminorVersion)\n");
    kavtokfprintf(out, "{\n");
    kavtokfprintf(out, "    %s *result;\n", metaclass);
    std::uint32_t parentMask = writeParentReferences(out, cls);
    writeExplicitMetaclassReference(out, cls);
    kavtokfprintf(out, "    result = (%s*) ((void*)(kavBuildClass(%d,&%sSCI, kavntmajorVersion, kavntminorVersion)));\n", metaclass, static_cast<int>(parentMask), cls->name);
    resolveDeferredParents(out);
    kavtokfprintf(out, "    return result;\n");
    kavtokfprintf(out, "}\n");
}

void writeEpilogue(FILE* out, Entry* cls) {
    kavtokfprintf(out, "\n#endif /* Primary Implementation Support */\n");
    kavtokfprintf(out, "\n#endif       /* %s */\n", kavtincludeOnce(cls, pass.guardSuffix, pass.nameBuffer));
}

}  // namespace darurov
