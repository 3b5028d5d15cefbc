// Every global option (`kc -m NAME`) and every modifier that the emitter, the host model or kc
// reads, one row each. The emitter reads its options through this table once per pass and
// names every modifier it reads by its row; kc checks `-m` names against it and prints the
// `-m` part of its help from it; the option tables of docs/idl.md are checked against it.
//
// Header-only and constexpr, so kc and the tests include it without linking the emitter.
#pragma once

#include <cstddef>
#include <string_view>

namespace darurov {

// One enumerator per row, in row order.
enum class Option : unsigned char {
    // global options
    csc, nodesc, noapstubs, nordstubs, notc, kavboot, nothunks, pbl, passih, nodupcheck,
    // class modifiers
    externalprefix, classprefix, classinit, shadow, align, directinitclasses, kavallocate,
    kavdeallocate, metaclass, companion,
    // method, data member and attribute modifiers
    metaclassMember, init, procedure, nonstatic, nonstaticaccessors, noself, namelookup,
    descriptor, select, apply, generateapply, migrate, override, reintroduce, staticdata,
    publicData, privateData, noget, noset,
    // parent reference and metaclass modifiers
    abstract, nolink,
};

// Where a name is written: as a global option, or as a modifier of these things.
enum OptionKind : unsigned {
    globalOption = 1,
    classModifier = 2,
    methodModifier = 4,
    dataModifier = 8,
    attributeModifier = 16,
    parentModifier = 32,     // on a parent reference
    metaclassModifier = 64,  // on the explicit metaclass (as kc's target)
};

// Who reads it.
enum OptionReader : unsigned { emitterReads = 1, hostReads = 2, kcReads = 4 };

// What a modifier takes: nothing, an optional value, or a value it cannot do without.
enum class OptionValue : unsigned char { none, optional, required };

struct OptionRow {
    Option id;
    const char* name;
    unsigned kinds;    // OptionKind bits
    unsigned readers;  // OptionReader bits
    OptionValue value;
    const char* valueName;  // the value as the docs show it ("" without a value)
    const char* effect;     // one line: what it does (kc --help, docs/idl.md)
    const char* feeds;      // the pass settings and queries it feeds ("" for none)
};

inline constexpr OptionRow optionTable[] = {
    {Option::csc, "csc", globalOption, emitterReads | hostReads | kcReads, OptionValue::none, "",
     "the classes count as declared in ZDL: no implicit Environment argument, the ZDL stub "
     "policy, simple names and the ZDL forms of the tables",
     "zdlClass (and the host's implicit arguments, kc's shared-name check)"},
    {Option::nodesc, "nodesc", globalOption, emitterReads, OptionValue::none, "",
     "with csc: no method descriptors", "noDescriptors"},
    {Option::noapstubs, "noapstubs", globalOption, emitterReads | kcReads, OptionValue::none, "",
     "with csc: no apply stubs", "noApplyStubs"},
    {Option::nordstubs, "nordstubs", globalOption, emitterReads | kcReads, OptionValue::none, "",
     "with csc: no redispatch stubs", "noRedispatchStubs"},
    {Option::notc, "notc", globalOption, emitterReads, OptionValue::none, "",
     "IDL classes: no type codes; the header defines its own apply and redispatch stubs",
     "noApplyStubs, noRedispatchStubs, hasTypeCodes()"},
    {Option::kavboot, "kavboot", globalOption, emitterReads, OptionValue::none, "",
     "IDL classes: the header defines its own stubs; GetData resolves data tokens instead of "
     "calling thunks",
     "noApplyStubs, noRedispatchStubs; the GetData macro"},
    {Option::nothunks, "nothunks", globalOption, emitterReads, OptionValue::none, "",
     "GetData resolves data tokens with KAV_DataResolve instead of calling them as thunks",
     "the GetData macro"},
    {Option::pbl, "pbl", globalOption, emitterReads, OptionValue::none, "",
     "the data-thunk typedef puts the linkage macro after the '*' instead of before it",
     "the GetData macro's thunk typedef"},
    {Option::passih, "passih", globalOption, emitterReads, OptionValue::none, "",
     "a class whose C_xih passthru writes nothing gets its C_ih passthru instead",
     "the class passthru of the prologue"},
    {Option::nodupcheck, "nodupcheck", globalOption, kcReads, OptionValue::none, "",
     "no report of one method name introduced by two classes; a new method may take an "
     "inherited name",
     "host flag word 40, bit value 2: reportsDuplicateIntroducers()"},

    {Option::externalprefix, "externalprefix", classModifier, emitterReads, OptionValue::required,
     "p", "prefix of the function names (default: the -p prefix)", "externalPrefix"},
    {Option::classprefix, "classprefix", classModifier, emitterReads, OptionValue::required, "p",
     "prefix of the function names of class methods", "classPrefix"},
    {Option::classinit, "classinit", classModifier, emitterReads, OptionValue::required, "fn",
     "the class-initialization routine", "classInitRoutine"},
    {Option::shadow, "shadow", classModifier, emitterReads, OptionValue::optional, "Ancestor",
     "a shadow class (may override initializers); the value names the ancestor it shadows",
     "classShadow"},
    {Option::align, "align", classModifier, emitterReads, OptionValue::required, "n",
     "alignment in the static class information", ""},
    {Option::directinitclasses, "directinitclasses", classModifier, emitterReads,
     OptionValue::required, "\"A, B\"", "the classes whose initializers the class calls directly",
     ""},
    {Option::kavallocate, "kavallocate", classModifier, emitterReads, OptionValue::required, "fn",
     "the allocation function", ""},
    {Option::kavdeallocate, "kavdeallocate", classModifier, emitterReads, OptionValue::required,
     "fn", "the deallocation function", ""},
    {Option::metaclass, "metaclass", classModifier, kcReads, OptionValue::required, "X",
     "the explicit metaclass: a setting of the class, not kept as a modifier", ""},
    {Option::companion, "companion", classModifier, kcReads, OptionValue::required, "X",
     "the companion class: a setting of the class, not kept as a modifier", ""},

    {Option::metaclassMember, "class", methodModifier | dataModifier | attributeModifier,
     emitterReads | hostReads, OptionValue::none, "",
     "a member of the metaclass; a class without an explicit metaclass then has an implicit "
     "one (M_<Class>)",
     "belongsToPass(), methodPrefix()"},
    {Option::init, "init", methodModifier, emitterReads, OptionValue::none, "", "an initializer",
     "initializers"},
    {Option::procedure, "procedure", methodModifier, emitterReads, OptionValue::none, "",
     "a direct-call procedure", ""},
    {Option::nonstatic, "nonstatic", methodModifier, emitterReads, OptionValue::none, "",
     "a non-static method", ""},
    {Option::nonstaticaccessors, "nonstaticaccessors", methodModifier, emitterReads,
     OptionValue::none, "", "a non-static method (an accessor)", ""},
    {Option::noself, "noself", methodModifier, emitterReads, OptionValue::none, "",
     "a procedure declared without its self parameter", ""},
    {Option::namelookup, "namelookup", methodModifier, emitterReads, OptionValue::none, "",
     "resolved by name lookup", ""},
    {Option::descriptor, "descriptor", methodModifier, emitterReads | hostReads,
     OptionValue::required, "\"text\"",
     "the method's descriptor (default: \"Scope::Class::method\")", ""},
    {Option::select, "select", methodModifier, emitterReads, OptionValue::required, "Parent",
     "an override that uses that parent's implementation", ""},
    {Option::apply, "apply", methodModifier, emitterReads, OptionValue::required, "Stub",
     "the apply stub, defined elsewhere", ""},
    {Option::generateapply, "generateapply", methodModifier, emitterReads, OptionValue::optional,
     "Stub", "generate the apply stub (default name kavGAP_<prefix><method>)", ""},
    {Option::migrate, "migrate", methodModifier, emitterReads | kcReads, OptionValue::required,
     "Other",
     "an inherited method the class does not override: take its implementation from Other "
     "(kept on the class as <method> = \"migrate=Other\")",
     ""},
    {Option::override, "override", methodModifier, kcReads, OptionValue::none, "",
     "declares an override of the inherited method of that name", ""},
    {Option::reintroduce, "reintroduce", methodModifier, kcReads, OptionValue::none, "",
     "declares the inherited method again in this class", ""},
    {Option::staticdata, "staticdata", dataModifier, emitterReads | hostReads, OptionValue::none,
     "", "kept out of the instance data", ""},
    {Option::publicData, "public", dataModifier, emitterReads | hostReads, OptionValue::none, "",
     "in the public list of the release order's instance data", ""},
    {Option::privateData, "private", dataModifier, emitterReads | hostReads, OptionValue::none,
     "", "in the private list of the release order's instance data", ""},
    {Option::noget, "noget", attributeModifier, hostReads, OptionValue::none, "",
     "the class implements the get accessor itself", ""},
    {Option::noset, "noset", attributeModifier, hostReads, OptionValue::none, "",
     "the class implements the set accessor itself", ""},

    {Option::abstract, "abstract", parentModifier, emitterReads, OptionValue::none, "",
     "class creation: the parent is left out of the mask of concrete parents", ""},
    {Option::nolink, "nolink", parentModifier | metaclassModifier, emitterReads,
     OptionValue::none, "", "class creation: no static reference to its NewClass routine", ""},
};

inline constexpr std::size_t optionCount = std::size(optionTable);

constexpr const OptionRow& optionRow(Option id) { return optionTable[static_cast<std::size_t>(id)]; }
// The name as it is written in IDL or after -m.
constexpr const char* optionName(Option id) { return optionRow(id).name; }

// The row of that name, or null.
constexpr const OptionRow* findOption(std::string_view name) {
    for (const OptionRow& row : optionTable)
        if (name == row.name) return &row;
    return nullptr;
}

// The row of a global option of that name, or null (a modifier name is no option).
constexpr const OptionRow* findGlobalOption(std::string_view name) {
    const OptionRow* row = findOption(name);
    return row && (row->kinds & globalOption) ? row : nullptr;
}

// The host flag that `-m nodupcheck` sets: bit value duplicateCheckOffBit of kavtg_f's word
// duplicateCheckOffWord. With it, one method name introduced by two classes is not reported.
inline constexpr int duplicateCheckOffWord = 40;
inline constexpr int duplicateCheckOffBit = 2;

namespace option_table_checks {
constexpr bool rowsFollowTheEnumeration() {
    for (std::size_t i = 0; i < optionCount; ++i)
        if (static_cast<std::size_t>(optionTable[i].id) != i) return false;
    return true;
}
constexpr bool namesAreUnique() {
    for (std::size_t i = 0; i < optionCount; ++i)
        if (findOption(optionTable[i].name) != &optionTable[i]) return false;
    return true;
}
static_assert(rowsFollowTheEnumeration(), "one row per Option, in enumeration order");
static_assert(namesAreUnique(), "each name has one row");
}  // namespace option_table_checks

}  // namespace darurov
