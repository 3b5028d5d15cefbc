// The plug-in's entry point: one class (and its implicit metaclass) per call.
#include "driver/sections.h"
#include "driver/state.h"
#include "host/open_table.h"

#include <vector>

using namespace darurov;

namespace {

// The inherited-method list is checked for the class being emitted only: the sections walk
// it, while an ancestor's list is only indexed by name, and the ancestors' lists together grow
// with the square of a chain's length.
const char* unnamedMember(Entry* cls, bool withInherited) {
    for (Entry* m = cls->methods; m; m = m->next)
        if (!m->name) return "a method without a name";
    for (Entry* d = cls->data; d; d = d->next)
        if (!d->name) return "a data member without a name";
    for (MethodRef* r = withInherited ? cls->inheritedMethods : nullptr; r; r = r->next)
        if (!r->method || !r->method->name) return "an inherited method without a name";
    return nullptr;
}

// What `emit` cannot work with, or null. The sections read the class and its ancestors
// without checking each field, so a null the host should never hand over is caught here:
// the class, its members and every ancestor with its members, each visited once.
const char* malformedInput(const char* fileStem, Entry* entry, Stab* stab) {
    if (!entry) return "no entry";
    if (entry->type != kavtClassType) return nullptr;  // a module goes back to the host
    if (!fileStem) return "no file stem";
    if (!stab) return "no symbol table";
    PointerSet seen;
    seen.insert(entry);
    // Kept from call to call: most classes have a parent or two, and a new vector each time
    // would be an allocation per class.
    static std::vector<Entry*> toVisit;
    toVisit.assign(1, entry);
    while (!toVisit.empty()) {
        Entry* cls = toVisit.back();
        toVisit.pop_back();
        if (!cls->name) return "a class without a name";
        if (const char* what = unnamedMember(cls, cls == entry)) return what;
        for (Entry* ref = cls->parents; ref; ref = ref->next) {
            if (!ref->cls) return "a parent reference without a class";
            if (seen.insert(ref->cls)) toVisit.push_back(ref->cls);
        }
    }
    return nullptr;
}

}  // namespace

KAVT_EMIT_API FILE* KAVT_CDECL emit(const char* fileStem, Entry* entry, Stab* stab) {
    if (const char* what = malformedInput(fileStem, entry, stab)) {
        kavtmriinternal(kavtfilePath, entry ? entry->lineno : 0, 1, what);
        return nullptr;
    }
    const bool implicitMeta = kavtimplicitMeta(entry) != 0;
    kavtCPP = 1;
    if (entry->type != kavtClassType) {
        if (entry->type == kavtModuleType) return kavtemitModule(fileStem, entry, fileKind);
        return nullptr;
    }

    FILE* out = kavtopenEmitFile(fileStem, fileKind);
    passSetUp(out, entry);
    pass.metaclassPassFollows = implicitMeta;
    if (hasTypeCodes()) kavtcreateTypeCodes(stab);
    kavtinitialiseMeta(entry, stab, 0, implicitMeta);
    FILE* result = emitClass(out, fileStem, entry);
    releasePassLists();

    if (implicitMeta) {
        metaclassPassSetUp(out, entry);
        pass.instanceClassName = entry->name;
        kavtinitialiseMeta(entry, stab, 1, implicitMeta);
        result = emitClass(out, fileStem, entry);
        releasePassLists();
    }
    kavtuninitialiseMeta(entry);
    return result;
}
