// Declaring names, finding them, and the inheritance graph.
#include "kc/lowering.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <unordered_set>

namespace kc::lowering {

const char* kindName(Symbol::Kind k) {
    switch (k) {
        case Symbol::Module: return "module";
        case Symbol::Interface: return "interface";
        case Symbol::Typedef: return "typedef";
        case Symbol::Struct: return "struct";
        case Symbol::Union: return "union";
        case Symbol::Enum: return "enum";
        case Symbol::Enumerator: return "enumerator";
        case Symbol::Const: return "constant";
        case Symbol::Exception: return "exception";
        case Symbol::Attribute: return "attribute";
        case Symbol::Operation: return "operation";
        case Symbol::Native: return "native type";
        case Symbol::State: return "state member";
    }
    return "name";
}

// "an interface", "a typedef": for "'X' is ..., not ..." messages.
std::string withArticle(Symbol::Kind k) {
    std::string name = kindName(k);
    return (std::string("aeiou").find(name[0]) != std::string::npos ? "an " : "a ") + name;
}

// ---- names in C ------------------------------------------------------------------------------

namespace {

// C and C++ keywords (C23, C++20, the alternative operator spellings): IDL names that would
// not compile where the header writes them.
constexpr std::string_view cxxKeywords[] = {
    "alignas", "alignof", "and", "and_eq", "asm", "auto", "bitand", "bitor", "bool", "break",
    "case", "catch", "char", "char16_t", "char32_t", "char8_t", "class", "co_await", "co_return",
    "co_yield", "compl", "concept", "const", "const_cast", "consteval", "constexpr", "constinit",
    "continue", "decltype", "default", "delete", "do", "double", "dynamic_cast", "else", "enum",
    "explicit", "export", "extern", "false", "float", "for", "friend", "goto", "if", "inline",
    "int", "long", "mutable", "namespace", "new", "noexcept", "not", "not_eq", "nullptr",
    "operator", "or", "or_eq", "private", "protected", "public", "register", "reinterpret_cast",
    "requires", "restrict", "return", "short", "signed", "sizeof", "static", "static_assert",
    "static_cast", "struct", "switch", "template", "this", "thread_local", "throw", "true", "try",
    "typedef", "typeid", "typename", "typeof", "typeof_unqual", "union", "unsigned", "using",
    "virtual", "void", "volatile", "wchar_t", "while", "xor", "xor_eq",
};

// What every method of the header receives or declares before its own parameters.
constexpr std::string_view implicitNames[] = {"kavSelf", "ev", "ctx"};

// What the headers name of the runtime, whatever the unit declares: its types and functions
// (sorted; its macros are renamed as keywords are). A declaration of the unit with one of these
// names in C would declare the name a second time.
constexpr std::string_view runtimeNames[] = {
    "Context", "Environment", "KAV_DataResolve", "integer4", "kavApRdInfo", "kavAssignCtrl", "kavAssignInfo",
    "kavBuildClass", "kavCClassDataStructure", "kavClassDataStructure", "kavDToken", "kavDataResolve",
    "kavDestructCtrl", "kavDestructInfo", "kavFindSMethodOk", "kavFloatMap", "kavId", "kavIdFromString",
    "kavInheritedMethod_t", "kavInitCtrl", "kavInitInfo", "kavMToken", "kavMethodInfo", "kavMethodProc",
    "kavMethodTabs", "kavMethods_t", "kavMigratedMethod_t", "kavNonInternalData_t", "kavOverrideMethod_t",
    "kavParentMtabStructPtr", "kavParentNumResolve", "kavProcMethods_t", "kavStaticClassInfo",
    "kavStaticMethod_t", "kavTP_kavClassInitFunc", "kavToken", "kavVarargsFuncs_t",
};
static_assert(std::is_sorted(std::begin(runtimeNames), std::end(runtimeNames)));

// Every operation, parameter and member name is asked, between reads of much else: the
// keywords' places are an open-addressing table of bytes (1 + the keyword's index) that takes
// a few cache lines, many times their number, where most names find an empty slot at once.
bool isCxxKeyword(std::string_view name) {
    constexpr std::size_t slotCount = 512;  // a power of two
    static_assert(std::size(cxxKeywords) < 255);
    static_assert([] {
        for (std::string_view k : cxxKeywords)
            if (k.size() < 2 || k.size() > 16 || k[0] < 'a' || k[0] > 'z') return false;
        return true;
    }());
    static const auto slots = [] {
        std::array<std::uint8_t, slotCount> table{};
        for (std::size_t k = 0; k < std::size(cxxKeywords); ++k) {
            std::size_t i = textHash(cxxKeywords[k]);
            while (table[i & (slotCount - 1)]) ++i;
            table[i & (slotCount - 1)] = static_cast<std::uint8_t>(k + 1);
        }
        return table;
    }();
    // Every keyword is 2 to 16 characters and starts with a lower-case letter.
    if (name.size() < 2 || name.size() > 16 || name[0] < 'a' || name[0] > 'z') return false;
    for (std::size_t i = textHash(name);; ++i) {
        const std::uint8_t slot = slots[i & (slotCount - 1)];
        if (!slot) return false;
        if (cxxKeywords[slot - 1] == name) return true;
    }
}

// The runtime's macros that every header uses: as a name, one would be expanded away.
bool isRuntimeMacro(std::string_view name) {
    constexpr std::string_view macros[] = {"KAVDLINK", "KAVEXTERN", "KAVLINK", "KAVMethodDebug", "KAV_IgnoreWarning",
                                           "WIN32_DLLEXPORT"};
    if (name.size() < 7 || (name[0] != 'K' && name[0] != 'W')) return false;
    return std::find(std::begin(macros), std::end(macros), name) != std::end(macros);
}

// A name the header cannot write as it is: a keyword, or a macro it uses.
bool takenInC(std::string_view name) { return isCxxKeyword(name) || isRuntimeMacro(name); }

}  // namespace

std::string_view cxxName(const std::string& name, std::string& storage, bool parameter) {
    auto prefixed = [&](std::string_view before, std::string_view rest) -> std::string_view {
        storage.assign(before);
        storage.append("_cxx_").append(rest);
        return storage;
    };
    if (takenInC(name)) return prefixed({}, name);
    // An accessor of such an attribute, named in an implementation section as _get_<name>.
    for (std::string_view accessor : {"_get_", "_set_"})
        if (name.starts_with('_') && name.starts_with(accessor) && takenInC(std::string_view(name).substr(accessor.size())))
            return prefixed(accessor, std::string_view(name).substr(accessor.size()));
    if (parameter)
        for (std::string_view k : implicitNames)
            if (name == k) return prefixed({}, name);
    return name;
}

std::string cxxName(const std::string& name, bool parameter) {
    std::string storage;
    const std::string_view host = cxxName(name, storage, parameter);
    return host.data() == storage.data() ? storage : name;
}

// ---- declaring -----------------------------------------------------------------------------

Scope* Lowering::newScope(Scope* parent, Symbol* owner, bool isModule) {
    Scope& s = scopes_.emplace_back();
    s.parent = parent;
    s.owner = owner;
    if (isModule) {
        s.modules = parent->modules;
        s.modules.push_back(owner->name);
    }
    return &s;
}

const std::vector<std::string>& modulesOf(const Scope* scope) {
    while (scope->owner && scope->owner->kind == Symbol::Interface) scope = scope->parent;
    return scope->modules;
}

std::string scopedText(const Scope* scope, std::string_view name, std::string_view separator) {
    std::vector<const Symbol*> owners;
    for (; scope && scope->owner; scope = scope->parent) owners.push_back(scope->owner);
    std::string text;
    for (auto owner = owners.rbegin(); owner != owners.rend(); ++owner) text.append((*owner)->name).append(separator);
    return text.append(name);
}

void Lowering::redefinition(const std::string& name, Loc at, Symbol* previous) {
    if (previous->builtin) {
        diag_.error(at, "redefinition of built-in " + std::string(kindName(previous->kind)) + " " + quote(name));
        return;
    }
    diag_.error(at, "redefinition of " + quote(name));
    diag_.note(previous->loc, "previous declaration of " + quote(name) + " (" +
                                  kindName(previous->kind) + ") was here");
}

namespace {

// The C locale's lower case (kc sets no other): A to Z only.
char lowerCase(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool sameButCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lowerCase(a[i]) != lowerCase(b[i])) return false;
    return true;
}

}  // namespace

namespace {

// Eight characters in lower case at once (A to Z only, as lowerCase): a byte below 0x80 that is
// at least 'A' and at most 'Z' gets the bit 0x20.
std::uint64_t lowerCaseWord(std::uint64_t word) {
    constexpr std::uint64_t ones = 0x0101010101010101ull;
    const std::uint64_t low = word & (0x7f * ones);
    const std::uint64_t upper = (low + (0x80 - 'A') * ones) & ~(low + (0x7f - 'Z') * ones) & ~word & (0x80 * ones);
    return word | upper >> 2;
}

}  // namespace

// Eight characters at a time (a name is hashed for every declaration and lookup), the last
// word filled with zeros; the length tells a name from the same name with NULs after it.
std::size_t NameIndex::hashOf(const Scope* scope, std::string_view name) {
    constexpr std::uint64_t k1 = 0x9E3779B97F4A7C15ull, k2 = 0xC2B2AE3D27D4EB4Full;
    std::uint64_t h = (reinterpret_cast<std::uintptr_t>(scope) >> 4) * k1 ^ name.size();
    const char* at = name.data();
    for (std::size_t left = name.size(); left; ) {
        std::uint64_t word = 0;
        const std::size_t n = left < 8 ? left : 8;
        std::memcpy(&word, at, n);
        h = (h ^ lowerCaseWord(word)) * k2;
        h ^= h >> 29;
        at += n;
        left -= n;
    }
    h *= k1;
    return static_cast<std::size_t>(h ^ h >> 32);
}

std::size_t NameIndex::indexOf(const Scope* scope, std::string_view name, std::size_t hash) const {
    return table_.indexOf(hash, [&](const Slot& slot) {
        return slot.hash == hash && slot.symbol->owner == scope && sameButCase(slot.symbol->name, name);
    });
}

Symbol* NameIndex::folded(const Scope* scope, std::string_view name) const {
    return table_.empty() ? nullptr : table_[indexOf(scope, name, hashOf(scope, name))].symbol;
}

Symbol* NameIndex::find(const Scope* scope, std::string_view name) const {
    Symbol* s = folded(scope, name);
    return s && s->name == name ? s : nullptr;
}

Symbol* NameIndex::foldedOrPlace(const Scope* scope, std::string_view name, Place& place) {
    table_.makeRoom([](const Slot& slot) { return slot.hash; });
    place.hash = hashOf(scope, name);
    place.at = indexOf(scope, name, place.hash);
    return table_[place.at].symbol;
}

void NameIndex::add(Symbol* s, const Place& place) { table_.fill(place.at, Slot{s, place.hash}); }

Symbol* Lowering::declare(Scope* scope, Symbol::Kind kind, const std::string& name, Loc at) {
    NameIndex::Place place;
    Symbol* sameFold = names_.foldedOrPlace(scope, name, place);
    if (sameFold && sameFold->name == name) {
        redefinition(name, at, sameFold);
        return nullptr;
    }
    if (sameFold) {
        // IDL names of one scope must differ in more than case.
        diag_.error(at, quote(name) + " differs only in case from " + quote(sameFold->name));
        if (!sameFold->builtin) diag_.note(sameFold->loc, quote(sameFold->name) + " was declared here");
        return nullptr;
    }
    Symbol& s = symbols_.emplace_back();
    s.kind = kind;
    s.name = name;
    s.loc = at;
    s.owner = scope;
    if (kind == Symbol::Interface) s.iface = std::make_unique<ClassPart>();
    names_.add(&s, place);
    return &s;
}

void Lowering::addBuiltins() {
    Symbol* object = declare(global_, Symbol::Interface, "KAVObject", Loc{});
    kavObject_ = object;
    Symbol* klass = declare(global_, Symbol::Interface, "KAVClass", Loc{});
    for (Symbol* s : {object, klass}) {
        s->builtin = true;
        s->defined = true;
        s->iface->entry = kavc::findClass(s->name);
        s->inner = newScope(global_, s, false);
    }
    klass->iface->parents.push_back(object);
    // The control records of initializers, destructors and assignment operators.
    for (const char* name : {"kavInitCtrl", "kavDestructCtrl", "kavAssignCtrl"}) {
        Symbol* s = declare(global_, Symbol::Struct, name, Loc{});
        s->builtin = true;
        s->state = Symbol::Done;
        s->part().type = kavc::structType(name, {});
    }
    // The CORBA module's predefined names; IDL files may reopen the module.
    Symbol* corba = declare(global_, Symbol::Module, "CORBA", Loc{});
    corba->builtin = true;
    corba->inner = newScope(global_, corba, true);
    for (const char* name : {"TypeCode", "Principal", "Object", "ValueBase"}) {
        Symbol* s = declare(corba->inner, Symbol::Typedef, name, Loc{});
        s->builtin = true;
        s->state = Symbol::Done;
        s->part().type = kavc::basicType(name);
    }
}

// Components and homes are read, but the object model has no place for them.
void Lowering::notInTheModel(const Decl& d) {
    const char* what = d.kind == Decl::Home ? "home" : "component";
    diag_.error(d.loc, std::string(what) + " " + quote(d.name) +
                           " cannot be written: the object model has no components, homes or ports; "
                           "declare an interface with its attributes and operations instead "
                           "(the supported interfaces as its parents)");
}

void Lowering::declareAll(std::span<const std::unique_ptr<Decl>> decls, Scope* scope,
                          Entry* module, bool topLevel) {
    for (const auto& owned : decls) {
        Decl& d = *owned;
        bool main = topLevel && d.loc.file == 0;
        switch (d.kind) {
            case Decl::Module: {
                Symbol* sym = names_.find(scope, d.name);
                if (!sym) {
                    sym = declare(scope, Symbol::Module, d.name, d.loc);
                    if (!sym) continue;
                    sym->inner = newScope(scope, sym, true);
                } else if (sym->kind != Symbol::Module) {  // a module may be reopened
                    redefinition(d.name, d.loc, sym);
                    continue;
                }
                // Each block is its own Entry: the emitter writes a block's own classes.
                Entry* block = kavc::newModule(d.name, scope->modules, module, d.loc.line);
                moduleBlocks_[&d] = block;
                if (main) mainTopLevel_.push_back(&d);
                declareAll(d.body, sym->inner, block, false);
                break;
            }
            case Decl::Interface:
                declareInterface(d, scope, module);
                if (main) mainTopLevel_.push_back(&d);
                break;
            case Decl::Forward: {
                if (d.keyword == "component") {
                    notInTheModel(d);
                    break;
                }
                if (d.keyword == "struct" || d.keyword == "union") {
                    declareMember(d, scope);
                    break;
                }
                Symbol* found = names_.find(scope, d.name);
                if (!found) {
                    if (Symbol* sym = declare(scope, Symbol::Interface, d.name, d.loc)) {
                        sym->inner = newScope(scope, sym, false);
                        checkNotRuntimeName(sym, cName(sym));
                    }
                } else if (found->kind != Symbol::Interface) {
                    redefinition(d.name, d.loc, found);
                }
                break;
            }
            case Decl::Component:
            case Decl::Home: notInTheModel(d); break;
            case Decl::TypeId:
            case Decl::TypePrefix:
            case Decl::Import: repositoryNames_.emplace_back(&d, scope); break;
            default: declareMember(d, scope); break;
        }
    }
}

void Lowering::declareInterface(Decl& d, Scope* scope, Entry* module) {
    Symbol* sym = nullptr;
    bool wasForward = false;
    if (Symbol* previous = names_.find(scope, d.name)) {
        if (previous->kind != Symbol::Interface || previous->defined) {
            redefinition(d.name, d.loc, previous);
            return;
        }
        sym = previous;  // the definition of a forward-declared interface
        sym->loc = d.loc;
        wasForward = true;
    } else {
        sym = declare(scope, Symbol::Interface, d.name, d.loc);
        if (!sym) return;
        sym->inner = newScope(scope, sym, false);
    }
    sym->defined = true;
    sym->decl = &d;
    sym->iface->entry = kavc::newClass(cxxName(d.name, hostName_), scope->modules, module, d.loc.line, cName(sym));
    placed(sym->iface->entry, sym->iface->entry, d.loc);
    interfaces_.push_back(sym);
    if (wasForward)
        walk_.push_back(sym);  // its name was checked at the forward declaration
    else
        addToWalk(sym, sym->iface->entry->name);

    sym->iface->firstMember = static_cast<std::uint32_t>(symbols_.size());
    for (std::size_t i = 0; i < d.body.size(); ++i) {
        const std::unique_ptr<Decl>& member = d.body[i];
        prefetchMember(d.body, i);
        if (member->kind == Decl::TypeId || member->kind == Decl::TypePrefix || member->kind == Decl::Import) {
            repositoryNames_.emplace_back(member.get(), sym->inner);
            continue;
        }
        if (member->kind != Decl::Implementation) {
            declareMember(*member, sym->inner);
            continue;
        }
        if (sym->iface->implementation) {
            diag_.error(member->loc, "a second implementation section for " + quote(d.name));
            diag_.note(sym->iface->implementation->loc, "the first one is here");
            continue;
        }
        sym->iface->implementation = member.get();
    }
    sym->iface->endMember = static_cast<std::uint32_t>(symbols_.size());
    // Data members share the interface's names, except an attribute's: that member is
    // the attribute's storage.
    if (!sym->iface->implementation) return;
    for (const ImplStmt& s : sym->iface->implementation->more().impl) {
        if (s.kind != ImplStmt::DataMember) continue;
        for (const Declarator& dd : s.data().declarators) {
            Symbol* other = names_.find(sym->inner, dd.name);
            if (other && other->kind != Symbol::Attribute) {
                bool dataFirst = dd.loc.line < other->loc.line ||
                                 (dd.loc.line == other->loc.line && dd.loc.col < other->loc.col);
                if (dataFirst && dd.loc.file == other->loc.file) {
                    diag_.error(other->loc, "redefinition of " + quote(dd.name));
                    diag_.note(dd.loc, "previous declaration of " + quote(dd.name) + " (data member) was here");
                } else {
                    redefinition(dd.name, dd.loc, other);
                }
                continue;
            }
            if (const Declarator* twice = sym->iface->dataMember(dd.name)) {
                diag_.error(dd.loc, "redefinition of data member " + quote(dd.name));
                diag_.note(twice->loc, "previous declaration of " + quote(dd.name) + " was here");
                continue;
            }
            if (!sym->iface->data) sym->iface->data = std::make_unique<NameMap<const Declarator*>>();
            sym->iface->data->insert(dd.name, &dd);
        }
    }
}

void Lowering::declareMember(Decl& d, Scope* scope) {
    switch (d.kind) {
        case Decl::Typedef:
            for (const Declarator& dd : d.more().declarators) {
                if (Symbol* s = declare(scope, Symbol::Typedef, dd.name, dd.loc)) {
                    s->decl = &d;
                    s->part().declarator = &dd;
                    addToWalk(s, cName(s));
                }
            }
            break;
        case Decl::Forward: {  // struct X;  union X;
            Symbol::Kind k = d.keyword == "struct" ? Symbol::Struct : Symbol::Union;
            Symbol* found = names_.find(scope, d.name);
            if (found && found->kind == k) break;  // declared again
            if (Symbol* s = declare(scope, k, d.name, d.loc)) {
                s->forwardOnly = true;
                checkNotRuntimeName(s, cName(s));
            }
            break;
        }
        case Decl::Struct:
        case Decl::Union:
        case Decl::Exception:
        case Decl::Const:
        case Decl::Native: {
            Symbol::Kind k = d.kind == Decl::Struct  ? Symbol::Struct
                             : d.kind == Decl::Union ? Symbol::Union
                             : d.kind == Decl::Const ? Symbol::Const
                             : d.kind == Decl::Native ? Symbol::Native
                                                     : Symbol::Exception;
            Symbol* s = names_.find(scope, d.name);
            if (s && s->kind == k && s->forwardOnly) {  // the definition of a forward-declared struct or union
                s->forwardOnly = false;
                s->decl = &d;
                s->loc = d.loc;
                walk_.push_back(s);  // its name was checked at the forward declaration
                break;
            }
            if ((s = declare(scope, k, d.name, d.loc))) {
                s->decl = &d;
                addToWalk(s, cName(s));
            }
            break;
        }
        case Decl::Enum: {
            Symbol* e = declare(scope, Symbol::Enum, d.name, d.loc);
            if (e) {
                e->decl = &d;
                addToWalk(e, cName(e));
            }
            int index = 0;
            for (const auto& [name, at] : d.more().enumerators) {
                if (Symbol* s = declare(scope, Symbol::Enumerator, name, at)) {
                    s->part().enumType = e;
                    s->part().enumIndex = index;
                }
                ++index;
            }
            break;
        }
        case Decl::Attribute:
            for (const Declarator& dd : d.more().declarators) {
                if (Symbol* s = declare(scope, Symbol::Attribute, dd.name, dd.loc)) s->decl = &d;
                // the accessors' names are taken as well
                for (const char* prefix : {"_get_", "_set_"}) {
                    if (d.more().readonly && std::string(prefix) == "_set_") continue;
                    if (Symbol* s = declare(scope, Symbol::Operation, prefix + dd.name, dd.loc)) s->decl = &d;
                }
            }
            break;
        case Decl::Operation:
        case Decl::Factory:
            if (Symbol* s = declare(scope, Symbol::Operation, d.name, d.loc)) s->decl = &d;
            break;
        case Decl::State:
            for (const Declarator& dd : d.more().declarators)
                if (Symbol* s = declare(scope, Symbol::State, dd.name, dd.loc)) s->decl = &d;
            break;
        default: break;
    }
}

namespace {

// A declaration's IDL name with its modules and classes, for messages: "Zoo::Animal".
std::string scoped(const Symbol* s) { return scopedText(s->owner, s->name, "::"); }

}  // namespace

// A class, type, constant or exception of the unit, in the walk's order. Its name in C must not
// be one the headers take from the runtime.
void Lowering::addToWalk(Symbol* sym, std::string_view nameInC) {
    walk_.push_back(sym);
    checkNotRuntimeName(sym, nameInC);
}

// A declaration whose name in C the runtime gives every header already cannot be declared by the
// bindings beside it. A forward declaration is checked where it stands, its definition (if any)
// not again.
void Lowering::checkNotRuntimeName(Symbol* sym, std::string_view nameInC) {
    if (!std::binary_search(std::begin(runtimeNames), std::end(runtimeNames), nameInC)) return;
    const std::string written = scoped(sym);
    diag_.error(sym->loc, std::string(kindName(sym->kind)) + " " + quote(written) +
                              (written == nameInC ? "" : ", " + std::string(nameInC) + " in C,") +
                              " has the name of a type or function of the runtime that every header uses; "
                              "rename it");
}

// The header and the bindings name a class by its C name (Zoo_Animal for Zoo::Animal): two
// classes of a file and its includes that share it (Zoo_Animal beside Zoo::Animal) cannot both
// be declared.
void Lowering::checkClassNames() {
    PointerMap<const Symbol*> byName;  // the host interns names: one pointer each
    byName.reserve(interfaces_.size());
    for (const Symbol* cls : interfaces_) {
        const char* name = cls->iface->entry->name;
        if (name[0] == 'M' && name[1] == '_') namedLikeMetaclasses_.insert(name, cls);
        if (byName.insert(name, cls)) continue;
        const Symbol* first = *byName.find(name);
        diag_.error(cls->loc, "classes " + quote(scoped(first)) + " and " + quote(scoped(cls)) +
                                  " have the same name in C, " + quote(cls->iface->entry->name) + " (" + cls->iface->entry->name +
                                  "ClassData), so one of them must be renamed");
        diag_.note(first->loc, quote(scoped(first)) + " is declared here");
    }
}

// A class with members of its metaclass and no metaclass named gets one, M_<its C name>,
// written into its header. A class of the unit with that C name would be defined twice.
void Lowering::checkMetaclassNames() {
    if (namedLikeMetaclasses_.empty()) return;  // as in most units: no class's C name starts with M_
    for (const Symbol* cls : interfaces_) {
        Entry* entry = cls->iface->entry;
        if (cls->broken || !kavtimplicitMeta(entry)) continue;
        const char* made = kavc::findName(std::string("M_") + entry->name);  // null: the unit has no such name
        const Symbol* const* clash = made ? namedLikeMetaclasses_.find(made) : nullptr;
        if (!clash) continue;
        diag_.error((*clash)->loc, "class " + quote(scoped(*clash)) + " has the name in C of the metaclass made for " +
                                       quote(scoped(cls)) + ", whose members with the modifier 'class' belong to it; "
                                       "rename the class, or name a metaclass for " + quote(scoped(cls)));
        diag_.note(cls->loc, quote(scoped(cls)) + " is declared here");
    }
}

// ---- names ---------------------------------------------------------------------------------

// A name in this scope, or inherited into an interface's scope from its parents: their
// scopes depth first in the order listed, each once.
Symbol* Lowering::findIn(Scope* scope, const std::string& name) {
    if (!scope) return nullptr;
    if (Symbol* s = names_.find(scope, name)) return s;
    if (!scope->owner || scope->owner->kind != Symbol::Interface) return nullptr;
    if (!parentsKnown_) return findInherited(scope, name);
    // A class's methods name the same few types: each is searched for in its ancestors once.
    if (!scope->inherited) scope->inherited = std::make_unique<std::unordered_map<std::string, Symbol*>>();
    auto [known, isNew] = scope->inherited->try_emplace(name, nullptr);
    if (isNew) known->second = findInherited(scope, name);
    return known->second;
}

// The symbol named `name` in the ancestors of the interface whose scope is `scope` (depth
// first, each class's parents in order), or null.
Symbol* Lowering::findInherited(Scope* scope, const std::string& name) {
    const unsigned search = ++searches_;
    scope->visited = search;
    searching_.clear();
    auto pushParents = [&](const Scope* s) {
        const SparseList<Symbol*>& parents = s->owner->iface->parents;
        for (auto p = parents.end(); p != parents.begin();) searching_.push_back((*--p)->inner);
    };
    pushParents(scope);
    while (!searching_.empty()) {
        Scope* s = searching_.back();
        searching_.pop_back();
        if (!s || s->visited == search) continue;
        s->visited = search;
        if (Symbol* found = names_.find(s, name)) return found;
        if (!s->owner || s->owner->kind != Symbol::Interface) continue;
        // An ancestor that was asked for the name already answers for its own ancestors:
        // a class below a long chain does not walk it again.
        if (s->inherited) {
            if (auto known = s->inherited->find(name); known != s->inherited->end()) {
                if (known->second) return known->second;
                continue;
            }
        }
        pushParents(s);
    }
    return nullptr;
}

Symbol* FoundIndex::find(const Scope* from, std::string_view name, std::size_t hash) const {
    if (table_.empty()) return nullptr;
    return table_[table_.indexOf(hash, [&](const Slot& slot) {
                      return slot.hash == hash && slot.from == from && slot.found->name == name;
                  })].found;
}

void FoundIndex::add(const Scope* from, Symbol* found, std::size_t hash) {
    table_.makeRoom([](const Slot& slot) { return slot.hash; });
    table_.fill(table_.indexOf(hash, [](const Slot&) { return false; }), Slot{from, found, hash});
}

Symbol* Lowering::lookup(Scope* from, const ScopedName& name) {
    if (name.parts.empty()) return nullptr;
    Symbol* sym = name.absolute ? findIn(global_, name.parts[0]) : lookupFrom(from, name.parts[0]);
    for (size_t i = 1; sym && i < name.parts.size(); ++i) sym = sym->inner ? findIn(sym->inner, name.parts[i]) : nullptr;
    return sym;
}

// A simple name from `from` outwards: the first scope that has it, or inherits it.
Symbol* Lowering::lookupFrom(Scope* from, const std::string& name) {
    if (!from) return nullptr;
    const std::size_t hash = parentsKnown_ ? FoundIndex::hashOf(from, name) : 0;
    if (parentsKnown_)
        if (Symbol* known = found_.find(from, name, hash)) return known;
    Symbol* sym = nullptr;
    for (Scope* s = from; s && !sym; s = s->parent) sym = findIn(s, name);
    if (sym && parentsKnown_) found_.add(from, sym, hash);
    return sym;
}

// What a name that names nothing may have meant, for its message: "; did you mean 'Point'?",
// with `meant` the declaration meant (null for a base type), or "" when nothing is close. Of
// the declarations of the kind `wanted`: one of exactly that name in a scope the name's scope
// does not see, by its scoped name; else the closest of those it sees (the scope and those
// around it; for a scoped name, the one its qualifier names) and of the base types where a type
// is wanted, written with the name's qualifier; else the closest elsewhere, by its scoped name.
// Each search walks every declaration: only the first few messages get one.
std::string Lowering::suggestion(Scope* from, const ScopedName& name, Wanted wanted, Symbol*& meant) {
    meant = nullptr;
    if (name.parts.empty() || suggestionsLeft_ == 0) return "";
    --suggestionsLeft_;
    const std::string& last = name.parts.back();
    std::vector<const Scope*> seen;  // the scopes the last part was looked up in
    if (name.parts.size() > 1) {
        ScopedName qualifier = name;
        qualifier.parts.pop_back();
        const Symbol* outer = lookup(from, qualifier);
        if (!outer || !outer->inner) return "";
        seen.push_back(outer->inner);
    } else {
        for (const Scope* s = name.absolute ? global_ : from; s; s = s->parent) seen.push_back(s);
    }
    auto accepts = [wanted](Symbol::Kind k) {
        switch (wanted) {
            case Wanted::Type:
                return k == Symbol::Interface || k == Symbol::Typedef || k == Symbol::Struct || k == Symbol::Union ||
                       k == Symbol::Enum || k == Symbol::Native;
            case Wanted::Interface: return k == Symbol::Interface;
            case Wanted::Exception: return k == Symbol::Exception;
            case Wanted::Value: return k == Symbol::Const || k == Symbol::Enumerator;
        }
        return false;
    };
    // The names seen, then the others (base types among the first).
    std::vector<std::string_view> here, there;
    std::vector<Symbol*> hereSymbols, thereSymbols;  // beside the names; null for a base type
    for (Symbol& sym : symbols_) {
        if (!accepts(sym.kind)) continue;
        const bool seenHere = std::find(seen.begin(), seen.end(), sym.owner) != seen.end();
        if (!seenHere && sym.name == last) {  // exactly that name, in another scope
            meant = &sym;
            return "; did you mean " + quote(scoped(&sym)) + "?";
        }
        (seenHere ? here : there).push_back(sym.name);
        (seenHere ? hereSymbols : thereSymbols).push_back(&sym);
    }
    if (wanted == Wanted::Type && name.parts.size() == 1 && !name.absolute)
        for (const kavc::BaseType& b : kavc::baseTypes) {
            here.push_back(b.idl);
            hereSymbols.push_back(nullptr);
        }
    std::string best;
    auto closest = [&](const std::vector<std::string_view>& names, const std::vector<Symbol*>& symbols) {
        best = closestSpelling(last, names);
        if (!best.empty()) meant = symbols[static_cast<std::size_t>(std::find(names.begin(), names.end(), best) - names.begin())];
        return !best.empty();
    };
    if (closest(here, hereSymbols)) {
        std::string written = name.text();  // as written: with its qualifier
        written.resize(written.size() - last.size());
        return "; did you mean " + quote(written + best) + "?";
    }
    if (closest(there, thereSymbols)) return "; did you mean " + quote(scoped(meant)) + "?";
    return "";
}

// The message for a name that names nothing, with what it may have meant and where that is.
void Lowering::unknownName(Loc at, const std::string& message, Scope* from, const ScopedName& name, Wanted wanted) {
    Symbol* meant = nullptr;
    diag_.error(at, message + suggestion(from, name, wanted, meant));
    if (meant && !meant->builtin) diag_.note(meant->loc, quote(scoped(meant)) + " is declared here");
}

// ---- inheritance ---------------------------------------------------------------------------

namespace {

bool isValue(const Symbol* s) { return s->decl && s->decl->keyword != "interface"; }

}  // namespace

// The inherited interfaces or value types, then the interfaces a value type supports: all
// of them are the class's parents.
void Lowering::resolveParents(Symbol* cls) {
    bool value = isValue(cls);
    for (const auto* list : {&cls->decl->more().parents, &cls->decl->more().supports}) {
        bool supports = list == &cls->decl->more().supports;
        for (const ScopedName& p : *list) {
            Symbol* parent = lookup(cls->owner, p);
            if (!parent) {
                unknownName(p.loc, "unknown parent interface " + quote(p.text()), cls->owner, p, Wanted::Interface);
                continue;
            }
            if (parent->kind != Symbol::Interface) {
                diag_.error(p.loc, quote(p.text()) + " is " + withArticle(parent->kind) + ", not an interface");
                continue;
            }
            if (!parent->defined) {
                diag_.error(p.loc, "interface " + quote(p.text()) + " is declared but never defined; it cannot be a parent");
                diag_.note(parent->loc, "declared here");
                continue;
            }
            if (!parent->builtin && isValue(parent) != (value && !supports)) {
                diag_.error(p.loc, std::string(value ? (supports ? "a valuetype supports interfaces" : "a valuetype inherits from value types")
                                                     : "an interface inherits from interfaces") +
                                       "; " + quote(p.text()) + " is " + (isValue(parent) ? "a value type" : "an interface"));
                continue;
            }
            cls->iface->parents.push_back(parent);
            cls->iface->parentLocs.push_back(p.loc);
        }
    }
    // Without a parent list a class inherits from KAVObject, as `: KAVObject` says: the header's
    // parent tables, parent calls and overrides all go through the parent references.
    if (cls->decl->more().parents.empty() && cls->decl->more().supports.empty()) {
        cls->iface->parents.push_back(kavObject_);
        cls->iface->parentLocs.push_back(cls->loc);
    }
}

// Parents first; a cycle is reported once and its classes are not lowered. Depth first
// with an explicit stack: the depth of a hierarchy is the input's.
void Lowering::order(Symbol* first, std::vector<Visit>& stack, std::vector<Symbol*>& out) {
    using Ordering = ClassPart::Ordering;
    if (first->iface->ordering == Ordering::done || first->builtin) return;
    first->iface->ordering = Ordering::visiting;
    stack.push_back({first, 0});
    while (!stack.empty()) {
        Visit& at = stack.back();
        Symbol* cls = at.cls;
        if (at.next == cls->iface->parents.size()) {
            stack.pop_back();
            cls->iface->ordering = Ordering::done;
            cls->iface->place = static_cast<std::uint32_t>(out.size());
            out.push_back(cls);
            if (!stack.empty()) {
                if (cls->broken) stack.back().cls->broken = true;
                ++stack.back().next;
            }
            continue;
        }
        const std::size_t i = at.next;
        Symbol* parent = cls->iface->parents[i];
        if (parent->iface->ordering == Ordering::visiting) {
            std::string chain;
            bool on = false;
            for (const Visit& v : stack) {
                if (v.cls == parent) on = true;
                if (on) {
                    chain += quote(v.cls->name) + " -> ";
                    v.cls->broken = true;
                }
            }
            diag_.error(cls->iface->parentLocs[i], "cyclic inheritance: " + chain + quote(parent->name));
            ++at.next;
            continue;
        }
        if (stack.size() > static_cast<std::size_t>(maxInheritanceDepth)) {
            diag_.error(cls->loc, "inheritance too deep");
            cls->broken = true;
            ++at.next;
            continue;
        }
        if (parent->iface->ordering == Ordering::done || parent->builtin) {
            if (parent->broken) cls->broken = true;
            ++at.next;
            continue;
        }
        parent->iface->ordering = Ordering::visiting;
        stack.push_back({parent, 0});
    }
}

// Whether `ancestor` is `cls` or one of its ancestors: each class visited once, with an
// explicit stack.
bool Lowering::derivesFrom(Symbol* cls, Symbol* ancestor) {
    const unsigned walk = ++ancestorWalks_;
    ancestors_.clear();
    ancestors_.push_back(cls);
    while (!ancestors_.empty()) {
        Symbol* s = ancestors_.back();
        ancestors_.pop_back();
        if (s == ancestor) return true;
        if (s->iface->reached == walk) continue;
        s->iface->reached = walk;
        for (Symbol* p : s->iface->parents) ancestors_.push_back(p);
    }
    return false;
}

}  // namespace kc::lowering
