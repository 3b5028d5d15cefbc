// Per-pass emission state and the small queries every section shares.
#pragma once

#include "host/option_table.h"
#include "host/kavc.h"
#include "host/open_table.h"

#include <bitset>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace darurov {

// The emitter's file kind, handed to the host when it opens the output or a module.
inline constexpr const char* fileKind = "xih";
// The root class of the object model.
inline constexpr const char* rootObjectClassName = "KAVObject";

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

struct DeferredResolution;
struct MethodCell;

// What the sections ask of a method of the pass's class, answered once per pass (passMethods).
enum MethodFact : std::uint16_t {
    inPassFact = 1 << 0,      // belongsToPass
    newMethodFact = 1 << 1,   // a new method (type 28)
    overrideFact = 1 << 2,    // isOverride
    // the modifiers below hold whatever the pass: read them together with inPassFact
    procedureFact = 1 << 3,   // "procedure"
    nonStaticFact = 1 << 4,   // isNonStaticMethod
    selectFact = 1 << 5,      // "select"
    initFact = 1 << 6,        // "init"
    classMemberFact = 1 << 7, // "class": a member of the metaclass pass
    nameLookupFact = 1 << 8,  // "namelookup"
    noSelfFact = 1 << 9,      // "noself"
};

// One method of the class's methods chain with its facts. Walks read these, in chain order,
// instead of each method's modifiers again: at 100,000 methods the Entries and their
// modifiers do not fit the cache, this array does.
struct PassMethod {
    Entry* method;
    std::uint16_t facts;
    std::uint8_t lifecycle;  // 1 + its row in lifecycleMethods; 0 for any other name
    bool is(MethodFact fact) const { return facts & fact; }
    bool isPassNewMethod() const { return is(inPassFact) && is(newMethodFact); }
    bool isPassOverride() const { return is(inPassFact) && is(overrideFact); }
    // isStaticMethod, for a method of the pass
    bool isStatic() const { return !is(procedureFact) && !is(nonStaticFact); }
};

// A class's methods by name pointer (the host gives one name one string): the first entry of
// each name among its inheritedMethods references and in its methods chain.
struct ClassMethodIndex {
    PointerMap<Entry*> inherited;
    PointerMap<Entry*> chain;
    // Each map is made after a few searches of its list (walked until then).
    int inheritedSearches = 0;
    int chainSearches = 0;
};

// Everything one pass (class or metaclass) reads. passSetUp replaces it as a whole, so
// nothing of the class pass reaches the metaclass pass.
struct PassState {
    // The global options the emitter reads, by Option; read once at set-up.
    std::bitset<optionCount> options;

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

    // Where a method's prototype and descriptor are made: their room is kept from method to
    // method.
    std::string prototypeText;
    std::string descriptorText;

    std::string prefixedNameText;     // what prefixedName returns
    std::string prefixedNameScratch;  // where it builds the next one
    // Pushed by the override section, drained (most recent first) by the class creation.
    DeferredResolution* deferred = nullptr;
    // Host-made reintroduced-method copies that lists of this pass may point to. A vector, not
    // a deque: an empty deque allocates, and a pass set-up makes and moves several.
    std::vector<ReintroducedMethods> heldReintroduced;
    // The class pass's InheritedMethodList, when the metaclass pass of the class follows and
    // would make the same list again (see keepsInheritedMethods): that pass starts from it.
    // The list comes with the held copies its cells may point to.
    bool metaclassPassFollows = false;  // set by the driver after the class pass's set-up
    int listMessages = 0;               // messages of the list operations in this pass
    bool keepInherited = false;
    MethodCell* keptInherited = nullptr;
    std::vector<ReintroducedMethods> keptReintroduced;
    // A class's method indexes, made once its lists were searched a few times in this pass.
    std::unordered_map<const Entry*, ClassMethodIndex> methodIndexes;
    // The class's methods with their facts, made at set-up in the walk that lists the
    // initializers. inPassFact is settled for the pass kavtmeta named when `settledMeta` was
    // set: the host switches to the metaclass pass after set-up, so the first walk of the
    // pass settles it again when the pass changed.
    const Entry* factsOf = nullptr;
    int settledMeta = -1;
    std::vector<PassMethod> methods;
    // The "class" modifier of each method of the class's inheritedMethods (list order): the
    // class pass reads it, the metaclass pass keeps it. `classMembersOf` is the list's head.
    const MethodRef* classMembersOf = nullptr;
    std::vector<std::uint8_t> inheritedClassMembers;
};

extern PassState pass;

// ---- options and modifiers -----------------------------------------------------------------
// The global option was given (read at set-up).
inline bool optionSet(Option id) { return pass.options[static_cast<std::size_t>(id)]; }
// The modifier's value on the entry; null when absent, "\x01" when written without a value.
inline char* modValue(Entry* e, Option id) { return kavtgetatt(e, optionName(id)); }
// The same, looked up in a modifier list through the host's kavtgetAtt.
inline char* modValue(Mod* mods, Option id) { return kavtgetAtt(mods, optionName(id), 0); }
// The entry carries the modifier (with or without a value).
inline bool hasMod(Entry* e, Option id) { return modValue(e, id) != nullptr; }
// A modifier value that was written without one ("\x01").
inline bool isBareValue(const char* value) { return value && value[0] == '\x01'; }

// ---- queries -------------------------------------------------------------------------------
inline bool inMetaclassPass() { return kavtmeta != 0; }
// A method or data member belongs to the pass when its "class" modifier matches kavtmeta.
inline bool belongsToPass(Entry* e) { return hasMod(e, Option::metaclassMember) == inMetaclassPass(); }
bool isOverride(Entry* method);  // type 31, or an origin
// Neither a procedure nor non-static ("procedure", "nonstatic", "nonstaticaccessors").
bool isStaticMethod(Entry* method);
bool isNonStaticMethod(Entry* method);  // "nonstatic" or "nonstaticaccessors"
// The function-name prefix of a method: classPrefix for "class" methods, else
// externalPrefix; a null prefix reads as the empty text.
const char* methodPrefix(Entry* method, const char* externalPrefix, const char* classPrefix);
// The same for any method of this pass, without a modifier lookup: its "class" modifier
// matches the pass. The second form uses the pass's prefixes.
inline const char* passMethodPrefix(const char* externalPrefix, const char* classPrefix) {
    const char* prefix = inMetaclassPass() ? classPrefix : externalPrefix;
    return prefix ? prefix : "";
}
inline const char* passMethodPrefix() { return passMethodPrefix(pass.externalPrefix, pass.classPrefix); }
// An IDL class without "notc": the host builds its type codes, and the runtime makes its
// apply and redispatch stubs from them.
inline bool hasTypeCodes() { return !pass.zdlClass && !optionSet(Option::notc); }
// One method name introduced by two classes is reported (kc's -m nodupcheck turns it off).
inline bool reportsDuplicateIntroducers() {
    return (kavtg_f[duplicateCheckOffWord] & duplicateCheckOffBit) == 0;
}
// The root class KAVObject itself.
bool isRootObjectClass(Entry* cls);
// An Entry's scoped name joined with "::", without the leading "::".
std::string qualifiedName(Entry* e);
// The same, joined in `buffer`; valid while the buffer is.
const char* qualifiedNameText(Entry* e, std::string& buffer);

// The methods chain of the pass's class with the facts the sections ask of each.
const std::vector<PassMethod>& passMethods(Entry* cls);
// For each method of cls->inheritedMethods, in order: 1 when it carries the "class" modifier
// (a member of the metaclass pass), else 0.
const std::vector<std::uint8_t>& inheritedClassMembers(Entry* cls);
// The facts of any method (a reintroduced one), looked up now.
PassMethod methodFacts(Entry* method);

// ---- pass set-up and end -------------------------------------------------------------------
// Resets the state, reads options and class modifiers, writes the stub-policy comment,
// fetches the reintroduced methods and builds the initializer list.
void passSetUp(FILE* out, Entry* cls);
// The same for the metaclass pass right after the class pass of `cls`: the modifiers have not
// changed since, so the class pass's method facts are kept rather than read again.
void metaclassPassSetUp(FILE* out, Entry* cls);
// The initializers of `cls` that belong to the pass, in release order (error 228 for an
// overriding initializer of a class without "shadow"). The caller owns the array.
MethodArray buildInitializerList(Entry* cls);
void releaseMethodArray(MethodArray& list);
// Release a host-made reintroduced-method record: every element, then the array.
void releaseReintroduced(ReintroducedMethods& record);
// The first of a record's reintroduced methods under each name (a search by name matches it).
std::unordered_map<std::string_view, Entry*> reintroducedByName(const ReintroducedMethods& record);
// The reintroduced methods of `cls`, held until releasePassLists. The reference is good until
// the next record is held.
ReintroducedMethods& holdReintroducedMethods(Entry* cls);
// End of a pass: release the initializer array, the held reintroduced copies and any
// deferred resolution the pass left (an InheritedMethodList kept for the metaclass pass stays).
void releasePassLists();

}  // namespace darurov
