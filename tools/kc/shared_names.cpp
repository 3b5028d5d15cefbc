#include "kc/shared_names.h"

#include "host/option_table.h"
#include "kavc/model.h"

#include <cctype>
#include <cstring>
#include <deque>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <unordered_set>

namespace kc {

namespace {

using darurov::Option;

bool has(Entry* e, Option modifier) { return kavtgetatt(e, darurov::optionName(modifier)) != nullptr; }
bool optionGiven(Option option) { return kavtgetgatt(darurov::optionName(option)) != nullptr; }

// A modifier's value, or "" when the class does not give it (a bare one reads as "\x01").
std::string value(Entry* cls, Option modifier) {
    const char* v = kavtgetatt(cls, darurov::optionName(modifier));
    return v && v[0] != '\x01' ? v : "";
}

// The classes of the header, in emission order: modules opened, their classes in turn.
std::vector<Entry*> headerClasses(const std::vector<Entry*>& toEmit) {
    std::vector<Entry*> classes, pending(toEmit.rbegin(), toEmit.rend());
    while (!pending.empty()) {
        Entry* e = pending.back();
        pending.pop_back();
        if (e->type == kavtClassType) {
            classes.push_back(e);
        } else if (e->type == kavtModuleType) {
            std::vector<Entry*> members;
            for (Entry* m = e->members; m; m = m->next) members.push_back(m);
            pending.insert(pending.end(), members.rbegin(), members.rend());
        }
    }
    return classes;
}

// One function a pass of a class declares, and the modifier that would give it another name
// (empty: none does).
struct Declared {
    const std::string* owner;  // the class of the pass: C, or its implicit metaclass M_C
    std::string_view separator;
    Entry* cls;
};

// The macro that selects every class of the header: the stem as the emitter writes it there,
// lower case and with '_' for every character that cannot stand in an identifier.
std::string moduleSourceMacro() {
    std::string stem = kavtfileStem ? kavtfileStem : "";
    for (char& c : stem)
        c = std::isalnum(static_cast<unsigned char>(c)) ? static_cast<char>(std::tolower(static_cast<unsigned char>(c))) : '_';
    return "KAV_Module_" + stem + "_Source";
}

bool hasMethod(Entry* cls, const char* name) {
    for (Entry* m = cls->methods; m; m = m->next)
        if (std::strcmp(m->name, name) == 0) return true;
    for (MethodRef* ref = cls->inheritedMethods; ref; ref = ref->next)
        if (ref->method && std::strcmp(ref->method->name, name) == 0) return true;
    return false;
}

// A class modifier named after an inherited method whose value holds "migrate=" names the class
// whose ClassData has the method too.
void checkMigrations(Entry* cls, Loc where, Diagnostics& diag) {
    for (Mod* mod = cls->mods; mod; mod = mod->next) {
        const char* at = mod->value ? std::strstr(mod->value, "migrate=") : nullptr;
        if (!at || !hasMethod(cls, mod->name)) continue;
        std::string target = at + std::strlen("migrate=");
        Entry* found = kavc::findClass(target);
        if (found && hasMethod(found, mod->name)) continue;
        diag.warning(where,
                     "class " + quote(cls->name) + " migrates " + quote(mod->name) + " to " + quote(target) + ", " +
                         (found ? "which has no such method" : "which is no class of this file or its includes") +
                         "; the header names " + target + "ClassData." + mod->name +
                         ", which a header of the implementation must then declare", Group::migration);
    }
}

bool isInstanceMember(Entry* member, int meta) {
    return has(member, Option::metaclassMember) == (meta == 1) && !has(member, Option::staticdata);
}

// The access macros: `_<member>` for each data member of a pass with instance data
// (VARIABLE_MACROS, outside the class's source selection, so every source of the header that
// defines VARIABLE_MACROS sees them all) and `_<method>` for each method of a pass (METHOD_MACROS,
// in the class's own source). A name that is both reads two ways: a source that selects the
// method's class and defines both sets does not compile.
void warnSharedAccessMacros(const std::vector<Entry*>& classes, const DeclarationPlaces& places, Diagnostics& diag) {
    struct Member {
        std::string owner;
        Entry* data;
    };
    std::map<std::string, Member> variables;
    std::vector<std::pair<std::string, std::string>> methods;  // macro name, the class of the pass
    // Only a data member's name can be shared, so only such methods are listed: every class
    // lists all it inherits, and that list grows with the square of a chain's length.
    std::unordered_set<std::string_view> dataNames;
    for (Entry* cls : classes)
        for (Entry* d = cls->data; d; d = d->next) dataNames.insert(d->name);
    auto listMethod = [&](const char* name, const std::string& owner) {
        if (dataNames.count(name)) methods.emplace_back(name, owner);
    };
    for (Entry* cls : classes) {
        ReintroducedMethods reintroduced{};
        kavtGetReintroducedMethods(&reintroduced, cls);
        for (int meta = 0; meta <= (kavtimplicitMeta(cls) ? 1 : 0); ++meta) {
            std::string owner = meta ? "M_" + std::string(cls->name) : cls->name;
            bool instanceData = false;
            for (Entry* d = cls->data; d; d = d->next) instanceData |= isInstanceMember(d, meta);
            for (Entry* d = cls->data; d && instanceData; d = d->next)
                if (has(d, Option::metaclassMember) == (meta == 1)) variables.emplace(d->name, Member{owner, d});
            for (MethodRef* ref = cls->inheritedMethods; ref; ref = ref->next)
                if (ref->method && has(ref->method, Option::metaclassMember) == (meta == 1)) listMethod(ref->method->name, owner);
            for (Entry* m = meta ? kavtkavcls->methods : nullptr; m; m = m->next) listMethod(m->name, owner);
            for (Entry* m = cls->methods; m; m = m->next)
                if (has(m, Option::metaclassMember) == (meta == 1)) listMethod(m->name, owner);
            for (int i = 0; !meta && i < reintroduced.count; ++i) listMethod(reintroduced.methods[i]->name, owner);
        }
        for (int i = 0; i < reintroduced.count; ++i) kavtsmfree(reintroduced.methods[i], 0);
        kavtsmfree(reintroduced.methods, 0);
    }
    // Each shared name once, with the member's own class when it has the method too.
    std::vector<std::string> shared;
    std::map<std::string, std::string> methodOwner;
    for (const auto& [name, owner] : methods) {
        auto member = variables.find(name);
        if (member == variables.end()) continue;
        auto [at, isNew] = methodOwner.emplace(name, owner);
        if (isNew) shared.push_back(name);
        if (owner == member->second.owner) at->second = owner;
    }
    for (const std::string& name : shared) {
        const Member& member = variables[name];
        const std::string& owner = methodOwner[name];
        diag.warning(places.of(member.data),
                     "the data member " + quote(name) + " of class " + quote(member.owner) + " and the method " +
                         quote(name) + " of class " + quote(owner) + " both define the macro '_" + name +
                         "'; a source of " + quote(owner) +
                         " that defines both VARIABLE_MACROS and METHOD_MACROS does not compile: rename one of them",
                     Group::sharedNames);
    }
}

}  // namespace

void warnSharedFunctionNames(const std::vector<Entry*>& toEmit, const DeclarationPlaces& places, Diagnostics& diag) {
    const bool zdl = optionGiven(Option::csc);
    // Per-method stubs and records (kavRD_<m>, kavAP_<m>, <m>MethodInfo, <m>Stubs) carry the
    // method name with the host's global prefix only; a ZDL class without either stub has none.
    const bool perMethodNames = !(zdl && optionGiven(Option::noapstubs) && optionGiven(Option::nordstubs));
    const std::string hostPrefix = kavtclassPrefix ? kavtclassPrefix : "";

    const std::vector<Entry*> classes = headerClasses(toEmit);
    std::deque<std::string> owners;  // the passes' class names, which `seen` points into
    std::map<std::string, Declared> seen;
    std::set<std::pair<std::string, std::string>> reported;
    // `stubs`: the name is a method's stubs and records, kavRD_<prefix><method>; else the
    // function itself.
    auto declare = [&](const std::string& name, const Declared& d, bool stubs) {
        auto [first, isNew] = seen.emplace(name, d);
        const std::string& owner = *d.owner;
        const std::string& firstOwner = *first->second.owner;
        if (isNew || firstOwner == owner || !reported.emplace(firstOwner + "/" + owner, name).second) return;
        std::string what = stubs ? "the stubs and records named after " + quote(name.substr(std::strlen("kavRD_")))
                                 : "the function " + quote(name);
        std::string text = "classes " + quote(firstOwner) + " and " + quote(owner) + " both declare " + what +
                           "; the header compiles for each class's own source, not for a source that "
                           "implements both (" + moduleSourceMacro() + "): ";
        text += d.separator.empty() ? std::string("no modifier separates them, so only one class of the file can introduce it")
                                    : "give one of them the modifier \"" + std::string(d.separator) + "\" to separate them";
        diag.warning(places.of(d.cls), text, Group::sharedNames);
    };

    std::vector<Entry*> methods;
    std::string name;
    for (Entry* cls : classes) {
        checkMigrations(cls, places.of(cls), diag);
        ReintroducedMethods reintroduced{};
        kavtGetReintroducedMethods(&reintroduced, cls);
        for (int meta = 0; meta <= (kavtimplicitMeta(cls) ? 1 : 0); ++meta) {
            Declared d{&owners.emplace_back(meta ? "M_" + std::string(cls->name) : cls->name), "", cls};
            methods.clear();
            for (Entry* m = cls->methods; m; m = m->next) methods.push_back(m);
            for (int i = 0; i < reintroduced.count; ++i) methods.push_back(reintroduced.methods[i]);
            for (Entry* m : methods) {
                if (has(m, Option::metaclassMember) != (meta == 1)) continue;
                // An override of a procedure or non-static method is refused (error 26) and
                // declares nothing.
                if (m->type == kavtOverrideType && m->origin &&
                    (has(m->origin, Option::procedure) || has(m->origin, Option::nonstatic) || has(m->origin, Option::nonstaticaccessors)))
                    continue;
                bool classMethod = has(m, Option::metaclassMember);
                d.separator = darurov::optionName(classMethod ? Option::classprefix : Option::externalprefix);
                name = classMethod ? value(cls, Option::classprefix)
                                   : (has(cls, Option::externalprefix) ? value(cls, Option::externalprefix) : hostPrefix);
                name += m->name;
                declare(name, d, false);
                bool introduced = m->type == kavtNewMethodType && (!m->origin || m->cls == cls);
                if (introduced && perMethodNames && !has(m, Option::procedure)) {
                    d.separator = {};
                    name.assign("kavRD_").append(hostPrefix).append(m->name);
                    declare(name, d, true);
                }
            }
        }
        for (int i = 0; i < reintroduced.count; ++i) kavtsmfree(reintroduced.methods[i], 0);
        kavtsmfree(reintroduced.methods, 0);
    }
    warnSharedAccessMacros(classes, places, diag);
}

}  // namespace kc
