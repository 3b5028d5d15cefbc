// The plug-in's entry point: one class (and its implicit metaclass) per call.
#include "driver/sections.h"
#include "driver/state.h"

using namespace darurov;

KAVT_EMIT_API FILE* KAVT_CDECL emit(const char* fileStem, Entry* entry, Stab* stab) {
    const bool implicitMeta = kavtimplicitMeta(entry) != 0;
    kavtCPP = 1;
    if (entry->type != kavtClassType) {
        if (entry->type == kavtModuleType) return kavtemitModule(fileStem, entry, fileKind);
        return nullptr;
    }

    FILE* out = kavtopenEmitFile(fileStem, fileKind);
    passSetUp(out, entry);
    if (hasTypeCodes()) kavtcreateTypeCodes(stab);
    kavtinitialiseMeta(entry, stab, 0, implicitMeta);
    FILE* result = emitClass(out, fileStem, entry);
    releasePassLists();

    if (implicitMeta) {
        passSetUp(out, entry);
        pass.instanceClassName = entry->name;
        kavtinitialiseMeta(entry, stab, 1, implicitMeta);
        result = emitClass(out, fileStem, entry);
        releasePassLists();
    }
    kavtuninitialiseMeta(entry);
    return result;
}
