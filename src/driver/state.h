// Per-pass emission state and the small queries every section shares.
#pragma once

#include "host/kavc.h"

#include <deque>
#include <string>

namespace darurov {

// The emitter's file kind, handed to the host when it opens the output or a module.
inline constexpr const char* fileKind = "xih";

// Row counts of the registration tables; printed into the static class info.
struct TableCounts {
    unsigned staticMethods;
    unsigned overrideMethods;
    unsigned generalMethods;
    unsigned migratedMethods;
    unsigned classDataEntries;
    unsigned nonInternalData;
    unsigned procMethods;
    unsigned selectInherited;
};

// A count and an array of method Entries.
struct MethodArray {
    int count = 0;
    Entry** methods = nullptr;
};

// Everything one pass (class or metaclass) reads; reset by passSetUp.
struct PassState {
    bool zdlClass = false;
    int noDescriptors = 0;
    int noApplyStubs = 0;
    int noRedispatchStubs = 0;
    const char* classInitRoutine = nullptr;
    const char* classShadow = nullptr;
    const char* linkageMacro = "KAVLINK";
    const char* currentClassName = nullptr;
    const char* instanceClassName = nullptr;  // set for the metaclass pass only
    MethodArray reintroducedMethods;
    MethodArray initializers;
    bool hasInstanceData = false;
    TableCounts counts{};

    // Fixed by the prologue for the whole pass.
    const char* externalPrefix = nullptr;  // never null after the prologue ("" at worst)
    const char* classPrefix = nullptr;     // may be null
    const char* guardSuffix = "xih";
    std::string nameBuffer;  // guard names, the lower-cased stem

    // Host-made reintroduced-method copies that lists of this pass may point to.
    std::deque<ReintroducedMethods> heldReintroduced;
};

extern PassState pass;

// ---- queries -------------------------------------------------------------------------------
// The entry carries the modifier (with or without a value).
inline bool hasMod(Entry* e, const char* name) { return kavtgetatt(e, name) != nullptr; }
// A modifier value that was written without one ("\x01").
inline bool isBareValue(const char* value) { return value && value[0] == '\x01'; }
// A method or data member belongs to the pass when its "class" modifier matches kavtmeta.
inline bool belongsToPass(Entry* e) { return hasMod(e, "class") == (kavtmeta != 0); }
inline bool inMetaclassPass() { return kavtmeta != 0; }
// The function-name prefix of a method: classPrefix for "class" methods, else externalPrefix.
// A null classPrefix reads as the empty text.
const char* methodPrefix(Entry* method);
// Neither a procedure nor non-static ("procedure", "nonstatic", "nonstaticaccessors").
bool isStaticMethod(Entry* method);
bool isNonStaticMethod(Entry* method);  // "nonstatic" or "nonstaticaccessors"
bool isOverride(Entry* method);  // type 31, or an origin
// "The global option notc is set" (read afresh each time, as the tables do).
inline bool notcOption() { return kavtgetgatt("notc") != nullptr; }
// The runtime makes the stubs: an IDL class without "notc".
inline bool runtimeMadeStubs() { return !pass.zdlClass && !notcOption(); }
// An Entry's scoped name joined with "::", without the leading "::".
std::string qualifiedName(Entry* e);
// Equal C strings, either may be null (two nulls are equal).
bool sameText(const char* a, const char* b);

// ---- pass set-up -------------------------------------------------------------------------
// Resets the state, reads options and class modifiers, writes the stub-policy comment,
// fetches the reintroduced methods and builds the initializer list.
void passSetUp(FILE* out, Entry* cls);
// The initializers of `cls` that belong to the pass, in release order (error 228 for an
// overriding initializer of a class without "shadow"). The caller owns the array.
MethodArray buildInitializerList(Entry* cls);
void releaseMethodArray(MethodArray& list);
// Release a host-made reintroduced-method record: every element, then the array.
void releaseReintroduced(ReintroducedMethods& record);
// The reintroduced methods of `cls`, held until releasePassLists.
ReintroducedMethods& holdReintroducedMethods(Entry* cls);
// End of a pass: release the initializer array and the held reintroduced copies.
void releasePassLists();

}  // namespace darurov
