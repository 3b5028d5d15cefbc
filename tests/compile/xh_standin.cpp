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

bool isStructLike(const TypeCode* tc) { return !tc->alias && (tc->kind == kavtTkStruct || tc->kind == kavtTkUnion); }

// The types the stand-in defines: the unit's named types, the root classes' records aside.
bool defined(const TypeCode* tc) {
    if (tc->cName.empty() || runtimeTypes.count(tc->cName)) return false;
    return tc->alias || isStructLike(tc) || tc->kind == kavtTkEnum || tc->kind == kavtTkFixed ||
           tc->kind == kavtTkNative || tc->kind == kavtTkSequence;
}

// The types whose definitions must come before the definition of `tc`: what it holds by value,
// and what it names only through a pointer or a typedef unless that is a struct or union,
// which is declared by its tag beforehand.
std::vector<TypeCode*> needs(const TypeCode* tc) {
    std::vector<TypeCode*> found;
    auto need = [&](TypeCode* t, bool byValue) {
        for (; t && !t->alias && t->kind == kavtTkArray; t = t->content) byValue = true;  // elements of an array
        if (t && defined(t) && (byValue || !isStructLike(t))) found.push_back(t);
    };
    if (tc->alias || tc->kind == kavtTkSequence) need(tc->content, false);
    if (tc->kind == kavtTkUnion && !tc->alias) need(tc->discriminator, true);
    if (isStructLike(tc))
        for (const auto& member : tc->members) need(member.second, true);
    return found;
}

void writeType(std::string& out, const TypeCode& tc) {
    if (tc.alias) {
        out += "typedef " + declarator(tc.content, tc.cName) + ";\n";
    } else if (tc.kind == kavtTkStruct) {
        out += "struct " + tc.cName + " {\n";
        for (const auto& [name, type] : tc.members) out += "    " + declarator(type, name) + ";\n";
        out += "};\n";
    } else if (tc.kind == kavtTkUnion) {
        out += "struct " + tc.cName + " {\n    " + declarator(tc.discriminator, "_d") + ";\n    union {\n";
        for (const auto& [name, type] : tc.members) out += "        " + declarator(type, name) + ";\n";
        out += "    } _u;\n};\n";
    } else if (tc.kind == kavtTkEnum) {
        out += "enum " + tc.cName + " : unsigned long {};\n";
    } else if (tc.kind == kavtTkFixed) {
        out += "typedef struct {\n    unsigned short _digits;\n    short _scale;\n    char _value[" +
               std::to_string((tc.bound + 2) / 2) + "];\n} " + tc.cName + ";\n";
    } else if (tc.kind == kavtTkNative) {
        out += "typedef struct " + tc.cName + "Native* " + tc.cName + ";\n";
    } else if (tc.kind == kavtTkSequence) {
        out += "typedef struct {\n    unsigned long _maximum;\n    unsigned long _length;\n    " +
               declarator(tc.content, "*_buffer") + ";\n} " + tc.cName + ";\n";
    }
}

// The IDL types of the unit: structs and unions declared by tag first (a type may contain
// itself through a sequence), then every type after the types its definition needs, in the
// order the host made them otherwise. Types of one C name are written once.
void writeTypes(std::string& out) {
    std::set<std::string> declared, done(runtimeTypes), open;
    for (TypeCode& tc : model().types)
        if (defined(&tc) && isStructLike(&tc) && declared.insert(tc.cName).second)
            out += "typedef struct " + tc.cName + " " + tc.cName + ";\n";
    for (TypeCode& root : model().types) {
        if (!defined(&root) || !open.insert(root.cName).second) continue;
        std::vector<std::pair<TypeCode*, std::vector<TypeCode*>>> stack{{&root, needs(&root)}};
        while (!stack.empty()) {
            std::vector<TypeCode*>& pending = stack.back().second;
            if (pending.empty()) {
                writeType(out, *stack.back().first);
                done.insert(stack.back().first->cName);
                stack.pop_back();
                continue;
            }
            TypeCode* next = pending.back();
            pending.pop_back();
            // A type already open is one C cannot order (an array of a type inside the type).
            if (!done.count(next->cName) && open.insert(next->cName).second) stack.emplace_back(next, needs(next));
        }
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
