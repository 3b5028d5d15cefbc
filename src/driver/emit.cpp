// The plug-in's entry point: one class (and its implicit metaclass) per call.
#include "driver/state.h"
#include "header/header.h"

using namespace darurov;

extern "C" __attribute__((visibility("default"))) FILE* emit(const char* fileStem, Entry* entry,
                                                             Stab* stab) {
    const bool implicitMeta = kavtimplicitMeta(entry) != 0;
    kavtCPP = 1;
    if (entry->type != kavtClassType) {
        if (entry->type == kavtModuleType) return kavtemitModule(fileStem, entry, fileKind);
        return nullptr;
    }

    FILE* out = kavtopenEmitFile(fileStem, fileKind);
    passSetUp(out, entry);
    if (!pass.zdlClass && !notcOption()) kavtcreateTypeCodes(stab);
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
