// xh_standin: writes what the usage-bindings header (<stem>.xh) of an IDL file must declare for
// its implementation header to compile, read from the same IDL:
//
//   xh_standin [kc options] FILE.idl > FILE.standin.h
//
// It takes kc's command line (-I, -D, -m and -p matter; -o and --emitter are ignored), parses
// and lowers the file as kc does, and declares for every class of the unit (included files and
// the root classes too): the class type with its parents, its ClassData structure with one
// method token per method it has (and one data token per public or private data member), its
// CClassData structure, the version macros, <Class>NewClass, the method typedefs
// kavTD_<Class>_<method> and the name-lookup identifiers; for a class with an implicit
// metaclass the same for the metaclass as the host presents it; and the IDL types of the
// unit. Only declarations: the compiler then checks that the header's prototypes, table rows
// and ClassData references agree with them and with tests/compile/runtime_surface.h.
#include "kavc/store.h"
#include "kc/lower.h"
#include "kc/options.h"
#include "kc/parser.h"

#include <cstdio>
#include <set>
#include <string>
#include <vector>

namespace {

using kavc::detail::model;

// Names that tests/compile/runtime_surface.h declares (the root classes' control records).
const std::set<std::string> runtimeTypes{"kavInitCtrl", "kavDestructCtrl", "kavAssignCtrl"};
const std::set<std::string> rootClasses{"KAVObject", "KAVClass"};

bool hasMod(Entry* e, const char* name) { return kavtgetatt(e, name) != nullptr; }

// Struct members and typedef targets, declared as the host declares data members.
std::string declarator(TypeCode* type, const std::string& name) {
    return kavc::detail::defaultDeclarator(type, kavtModeIn, name, false);
}

// The IDL types of the unit, in the order the host made them (a type after the types it uses).
void writeTypes(std::string& out) {
    std::set<std::string> done(runtimeTypes);
    for (TypeCode& tc : model().types) {
        if (tc.cName.empty() || done.count(tc.cName)) continue;
        if (tc.alias) {
            out += "typedef " + declarator(tc.content, tc.cName) + ";\n";
        } else if (tc.kind == kavtTkStruct) {
            out += "typedef struct {\n";
            for (const auto& [name, type] : tc.members) out += "    " + declarator(type, name) + ";\n";
            out += "} " + tc.cName + ";\n";
        } else if (tc.kind == kavtTkUnion) {
            out += "typedef struct {\n    " + declarator(tc.discriminator, "_d") + ";\n    union {\n";
            for (const auto& [name, type] : tc.members) out += "        " + declarator(type, name) + ";\n";
            out += "    } _u;\n} " + tc.cName + ";\n";
        } else if (tc.kind == kavtTkEnum) {
            out += "enum " + tc.cName + " : unsigned long {};\n";
        } else if (tc.kind == kavtTkSequence) {
            out += "typedef struct {\n    unsigned long _maximum;\n    unsigned long _length;\n    " +
                   declarator(tc.content, "*_buffer") + ";\n} " + tc.cName + ";\n";
        } else {
            continue;
        }
        done.insert(tc.cName);
    }
}

// Every class after its parents.
std::vector<Entry*> parentsFirst() {
    std::vector<Entry*> ordered;
    std::set<Entry*> placed;
    for (Entry* start : model().classes) {
        std::vector<std::pair<Entry*, Entry*>> stack{{start, start->parents}};
        if (!placed.insert(start).second) continue;
        while (!stack.empty()) {
            auto& [cls, ref] = stack.back();
            if (ref) {
                Entry* parent = ref->cls;
                ref = ref->next;
                if (parent && placed.insert(parent).second) stack.emplace_back(parent, parent->parents);
            } else {
                ordered.push_back(cls);
                stack.pop_back();
            }
        }
    }
    return ordered;
}

// The metaclass type a class's ClassData and NewClass name.
std::string metaclassOf(Entry* cls) { return cls->metaclass ? cls->metaclass->name : "KAVClass"; }

// What one class (or the metaclass the host presents) declares in its bindings. `meta`: the
// metaclass view, whose methods are the "class" ones and those of the root metaclass.
void writeClass(std::string& out, Entry* cls, bool meta, std::set<std::string>& lookupIds) {
    const std::string name = cls->name;
    if (!rootClasses.count(name)) {
        std::string bases = meta ? "virtual KAVClass" : "";
        std::set<Entry*> listed;
        for (Entry* ref = meta ? nullptr : cls->parents; ref; ref = ref->next)
            if (ref->cls && listed.insert(ref->cls).second)
                bases += (bases.empty() ? "virtual " : ", virtual ") + std::string(ref->cls->name);
        out += "struct " + name + " : " + (bases.empty() ? "virtual KAVObject" : bases) + " {};\n";
    }
    out += "#define " + name + "_MajorVersion 0\n#define " + name + "_MinorVersion 0\n";

    std::vector<Entry*> methods;
    for (Entry* m = cls->methods; m; m = m->next)
        if (hasMod(m, "class") == meta) methods.push_back(m);
    ReintroducedMethods reintroduced{};
    kavtGetReintroducedMethods(&reintroduced, cls);
    for (int i = 0; i < reintroduced.count; ++i) methods.push_back(reintroduced.methods[i]);

    std::vector<std::string> members;
    std::set<std::string> seen;
    auto member = [&](const char* text) {
        if (text && seen.insert(text).second) members.emplace_back(text);
    };
    for (Entry* m : methods) member(m->name);
    // The root metaclass's methods are what a metaclass inherits.
    if (meta)
        for (Entry* m = kavtkavcls->methods; m; m = m->next) member(m->name);
    for (MethodRef* ref = (meta ? kavtkavcls : cls)->inheritedMethods; ref; ref = ref->next)
        if (ref->method) member(ref->method->name);
    out += "struct " + name + "ClassDataStructure {\n    " + metaclassOf(cls) + " *classObject;\n";
    for (const std::string& m : members) out += "    kavMToken " + m + ";\n";
    for (Entry* d = cls->data; d; d = d->next)
        if (hasMod(d, "class") == meta && (kavtgetAtt(d->mods, "public", 0) || kavtgetAtt(d->mods, "private", 0)) &&
            seen.insert(d->name).second)
            out += "    kavDToken " + std::string(d->name) + ";\n";
    out += "};\nstruct " + name + "CClassDataStructure {\n    kavMethodTabs parentMtab;\n"
           "    kavDToken instanceDataToken;\n};\n";
    out += "extern struct " + name + "ClassDataStructure " + name + "ClassData;\n";
    out += "extern struct " + name + "CClassDataStructure " + name + "CClassData;\n";
    out += metaclassOf(cls) + " *" + name + "NewClass(integer4 major, integer4 minor);\n";

    std::string text;
    for (Entry* m : methods) {
        if (m->type != kavtNewMethodType) continue;
        out += "typedef " + std::string(kavtfullTypedef(text, cls, m)) + ";\n";
        if (hasMod(m, "namelookup") && lookupIds.insert(m->name).second)
            out += "extern kavId kavLId_" + std::string(m->name) + ";\n";
    }
    for (int i = 0; i < reintroduced.count; ++i) kavtsmfree(reintroduced.methods[i], 0);
    kavtsmfree(reintroduced.methods, 0);
}

}  // namespace

int main(int argc, char** argv) {
    kc::Sources sources;
    kc::Diagnostics diag(sources);
    kc::Options options;
    if (!kc::parseOptions(argc, argv, options, diag)) return 1;
    if (options.input.empty()) {
        std::fputs("usage: xh_standin [kc options] FILE.idl\n", stderr);
        return 1;
    }
    kavc::reset();
    kavc::setFilePath(options.input);
    kavc::setClassPrefix(options.classPrefix ? options.classPrefix->c_str() : nullptr);
    for (const auto& [name, value] : options.emitterOptions)
        kavc::setOption(name, value ? value->c_str() : nullptr);
    if (options.noDuplicateIntroducerCheck) kavc::setFlag(40, 2);
    kc::Preprocessor pp(sources, diag, kc::PreprocessorOptions{options.includeDirs, options.defines});
    if (!pp.openMain(options.input)) return 1;
    kc::Parser parser(pp, diag);
    kc::Specification spec = parser.parse();
    if (diag.errors()) return 1;
    kc::lower(spec, diag);
    if (diag.errors()) return 1;

    std::string out = "// Stand-in for the usage bindings of " + options.input + ".\n#pragma once\n";
    std::vector<Entry*> classes = parentsFirst();
    for (Entry* cls : classes)
        if (!rootClasses.count(cls->name)) out += "struct " + std::string(cls->name) + ";\n";
    writeTypes(out);
    std::set<std::string> lookupIds;
    for (Entry* cls : classes) {
        writeClass(out, cls, false, lookupIds);
        if (!kavtimplicitMeta(cls)) continue;
        kavtinitialiseMeta(cls, kavc::unitStab(), 1, 1);
        writeClass(out, cls, true, lookupIds);
        kavtuninitialiseMeta(cls);
    }
    std::fputs(out.c_str(), stdout);
    return 0;
}
