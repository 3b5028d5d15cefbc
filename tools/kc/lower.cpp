#include "kc/lower.h"

#include <climits>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <set>

namespace kc {

namespace {

constexpr int maxResolveDepth = 200;  // typedef chains, constants naming constants

struct Scope;
struct Symbol;

struct Value {
    enum Kind { Int, Float, String, Char, Bool } kind = Int;
    long long i = 0;
    double f = 0;
    std::string s;
    Symbol* enumerator = nullptr;  // the value names this enumerator
};

struct Symbol {
    enum Kind {
        Module, Interface, Typedef, Struct, Union, Enum, Enumerator, Const, Exception,
        Attribute, Operation,
    } kind = Module;
    std::string name;
    Loc loc;
    Scope* owner = nullptr;  // where it is declared
    Scope* inner = nullptr;  // Module, Interface: its own scope
    const Decl* decl = nullptr;
    const Declarator* declarator = nullptr;  // Typedef: which of the declared names
    Symbol* enumType = nullptr;              // Enumerator
    int enumIndex = 0;

    // Interface
    bool builtin = false;
    bool defined = false;
    bool broken = false;  // in or below an inheritance cycle: not lowered
    Entry* entry = nullptr;
    std::vector<Symbol*> parents;
    std::vector<Loc> parentLocs;
    const Decl* implementation = nullptr;
    std::map<std::string, const Declarator*> data;  // data members by name

    // Typedef, Struct, Union, Enum, Const: resolved lazily, once
    enum State { Fresh, Busy, Done } state = Fresh;
    TypeCode* type = nullptr;
    std::optional<Value> constant;
};

struct Scope {
    Scope* parent = nullptr;
    Symbol* owner = nullptr;  // null for the global scope
    std::vector<std::string> path;  // enclosing names from the outside, this scope's included
    std::vector<std::string> modules;  // the module names only (a class's scope list)
    std::map<std::string, Symbol*> names;
};

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
    }
    return "name";
}

// "an interface", "a typedef": for "'X' is ..., not ..." messages.
std::string withArticle(Symbol::Kind k) {
    std::string name = kindName(k);
    return (std::string("aeiou").find(name[0]) != std::string::npos ? "an " : "a ") + name;
}

struct IntRange {
    const char* type;
    long long low, high;
};
constexpr IntRange intRanges[] = {
    {"short", -32768, 32767},           {"unsigned short", 0, 65535},
    {"long", INT32_MIN, INT32_MAX},     {"unsigned long", 0, UINT32_MAX},
    {"long long", LLONG_MIN, LLONG_MAX}, {"octet", 0, 255},
};

const IntRange* intRange(const std::string& basic) {
    for (const IntRange& r : intRanges)
        if (basic == r.type) return &r;
    return nullptr;
}

class Lowering {
  public:
    explicit Lowering(Diagnostics& diag) : diag_(diag) {}

    std::vector<Entry*> run(const Specification& spec);

  private:
    // declaring
    Scope* newScope(Scope* parent, Symbol* owner, bool isModule);
    Symbol* declare(Scope* scope, Symbol::Kind kind, const std::string& name, Loc at);
    void redefinition(const std::string& name, Loc at, Symbol* previous);
    void declareAll(const std::vector<std::unique_ptr<Decl>>& decls, Scope* scope, Entry* module,
                    bool topLevel);
    void declareInterface(const Decl& d, Scope* scope, Entry* module);
    void declareMember(const Decl& d, Scope* scope);
    void addBuiltins();

    // names
    Symbol* findIn(Scope* scope, const std::string& name, std::set<Scope*>& seen);
    Symbol* lookup(Scope* from, const ScopedName& name);

    // inheritance
    void resolveParents(Symbol* cls);
    void order(Symbol* cls, std::vector<Symbol*>& stack, std::set<Symbol*>& visiting,
               std::set<Symbol*>& done, std::vector<Symbol*>& out);
    bool derivesFrom(Symbol* cls, Symbol* ancestor);

    // types and constants
    TypeCode* resolveType(const TypeSpec& t, Scope* scope);
    TypeCode* withDims(TypeCode* base, const Declarator& d, Scope* scope);
    TypeCode* typeOf(Symbol* sym, Loc use);
    void checkDeclaration(Symbol* sym);
    std::string cName(Symbol* sym) const;
    std::optional<Value> evaluate(const Expr& e, Scope* scope);
    std::optional<Value> constValue(Symbol* sym, Loc use);
    std::optional<unsigned long> positive(const Expr& e, Scope* scope, const char* what);
    const TypeSpec* basicOf(const TypeSpec& t, Scope* scope, Scope*& at, Symbol*& enumSym);
    bool fits(const TypeSpec& type, Scope* scope, Value& v, Loc at);
    Entry* classEntry(Symbol* cls);

    // classes
    void lowerClass(Symbol* cls);
    void lowerOperation(Symbol* cls, const Decl& d);
    void checkNotInherited(Symbol* cls, const std::string& name, Loc at);
    void lowerImplementation(Symbol* cls);
    void classModifier(Symbol* cls, const ImplStmt& s);
    void overrideOrReintroduce(Symbol* cls, const ImplStmt& s, const ScopedName& target);
    void memberModifiers(Symbol* cls, const ImplStmt& s, const ScopedName& target);
    void addModifiers(Entry* e, const std::string& what, const std::vector<Modifier>& mods);
    Symbol* classNamed(Symbol* cls, const std::string& text, Loc at, const char* role);

    Diagnostics& diag_;
    std::deque<Symbol> symbols_;
    std::deque<Scope> scopes_;
    Scope* global_ = nullptr;
    std::vector<Symbol*> interfaces_;   // definitions, in declaration order
    std::vector<Symbol*> declarations_;  // types, constants, exceptions, in declaration order
    std::map<const Decl*, Entry*> moduleBlocks_;
    std::vector<const Decl*> mainTopLevel_;
    std::map<const Decl*, Scope*> declScope_;
    int depth_ = 0;

    // per class being lowered
    std::map<std::string, Entry*> dataEntries_;
    std::map<std::string, Entry*> reintroduced_;
    std::map<std::string, Entry*> attributes_;
    std::vector<std::pair<Symbol*, Entry*>> parentRefs_;
    std::set<std::pair<Entry*, std::string>> modsGiven_;
};

// ---- declaring -----------------------------------------------------------------------------

Scope* Lowering::newScope(Scope* parent, Symbol* owner, bool isModule) {
    Scope& s = scopes_.emplace_back();
    s.parent = parent;
    s.owner = owner;
    if (parent) {
        s.path = parent->path;
        s.modules = parent->modules;
    }
    if (owner) {
        s.path.push_back(owner->name);
        if (isModule) s.modules.push_back(owner->name);
    }
    return &s;
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

Symbol* Lowering::declare(Scope* scope, Symbol::Kind kind, const std::string& name, Loc at) {
    auto found = scope->names.find(name);
    if (found != scope->names.end()) {
        redefinition(name, at, found->second);
        return nullptr;
    }
    Symbol& s = symbols_.emplace_back();
    s.kind = kind;
    s.name = name;
    s.loc = at;
    s.owner = scope;
    scope->names[name] = &s;
    return &s;
}

void Lowering::addBuiltins() {
    Symbol* object = declare(global_, Symbol::Interface, "KAVObject", Loc{});
    Symbol* klass = declare(global_, Symbol::Interface, "KAVClass", Loc{});
    for (Symbol* s : {object, klass}) {
        s->builtin = true;
        s->defined = true;
        s->entry = kavc::findClass(s->name);
        s->inner = newScope(global_, s, false);
    }
    klass->parents.push_back(object);
    // The control records of initializers, destructors and assignment operators.
    for (const char* name : {"kavInitCtrl", "kavDestructCtrl", "kavAssignCtrl"}) {
        Symbol* s = declare(global_, Symbol::Struct, name, Loc{});
        s->builtin = true;
        s->state = Symbol::Done;
        s->type = kavc::structType(name, {});
    }
}

void Lowering::declareAll(const std::vector<std::unique_ptr<Decl>>& decls, Scope* scope,
                          Entry* module, bool topLevel) {
    for (const auto& owned : decls) {
        const Decl& d = *owned;
        bool main = topLevel && d.loc.file == 0;
        switch (d.kind) {
            case Decl::Module: {
                auto found = scope->names.find(d.name);
                Symbol* sym = nullptr;
                if (found == scope->names.end()) {
                    sym = declare(scope, Symbol::Module, d.name, d.loc);
                    sym->inner = newScope(scope, sym, true);
                } else if (found->second->kind == Symbol::Module) {
                    sym = found->second;  // a module may be reopened
                } else {
                    redefinition(d.name, d.loc, found->second);
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
                auto found = scope->names.find(d.name);
                if (found == scope->names.end()) {
                    Symbol* sym = declare(scope, Symbol::Interface, d.name, d.loc);
                    sym->inner = newScope(scope, sym, false);
                } else if (found->second->kind != Symbol::Interface) {
                    redefinition(d.name, d.loc, found->second);
                }
                break;
            }
            default: declareMember(d, scope); break;
        }
    }
}

void Lowering::declareInterface(const Decl& d, Scope* scope, Entry* module) {
    auto found = scope->names.find(d.name);
    Symbol* sym = nullptr;
    if (found != scope->names.end()) {
        Symbol* previous = found->second;
        if (previous->kind != Symbol::Interface || previous->defined) {
            redefinition(d.name, d.loc, previous);
            return;
        }
        sym = previous;  // the definition of a forward-declared interface
        sym->loc = d.loc;
    } else {
        sym = declare(scope, Symbol::Interface, d.name, d.loc);
        sym->inner = newScope(scope, sym, false);
    }
    sym->defined = true;
    sym->decl = &d;
    sym->entry = kavc::newClass(d.name, scope->modules, module, d.loc.line);
    interfaces_.push_back(sym);

    for (const auto& member : d.body) {
        if (member->kind != Decl::Implementation) {
            declareMember(*member, sym->inner);
            continue;
        }
        if (sym->implementation) {
            diag_.error(member->loc, "a second implementation section for " + quote(d.name));
            diag_.note(sym->implementation->loc, "the first one is here");
            continue;
        }
        sym->implementation = member.get();
    }
    // Data members share the interface's names, except an attribute's: that member is
    // the attribute's storage.
    if (!sym->implementation) return;
    for (const ImplStmt& s : sym->implementation->impl) {
        if (s.kind != ImplStmt::DataMember) continue;
        for (const Declarator& dd : s.data.declarators) {
            auto clash = sym->inner->names.find(dd.name);
            if (clash != sym->inner->names.end() && clash->second->kind != Symbol::Attribute) {
                Symbol* other = clash->second;
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
            auto twice = sym->data.find(dd.name);
            if (twice != sym->data.end()) {
                diag_.error(dd.loc, "redefinition of data member " + quote(dd.name));
                diag_.note(twice->second->loc, "previous declaration of " + quote(dd.name) + " was here");
                continue;
            }
            sym->data[dd.name] = &dd;
        }
    }
}

void Lowering::declareMember(const Decl& d, Scope* scope) {
    switch (d.kind) {
        case Decl::Typedef:
            for (const Declarator& dd : d.declarators) {
                if (Symbol* s = declare(scope, Symbol::Typedef, dd.name, dd.loc)) {
                    s->decl = &d;
                    s->declarator = &dd;
                    declarations_.push_back(s);
                }
            }
            break;
        case Decl::Struct:
        case Decl::Union:
        case Decl::Exception:
        case Decl::Const: {
            Symbol::Kind k = d.kind == Decl::Struct  ? Symbol::Struct
                             : d.kind == Decl::Union ? Symbol::Union
                             : d.kind == Decl::Const ? Symbol::Const
                                                     : Symbol::Exception;
            if (Symbol* s = declare(scope, k, d.name, d.loc)) {
                s->decl = &d;
                declarations_.push_back(s);
            }
            break;
        }
        case Decl::Enum: {
            Symbol* e = declare(scope, Symbol::Enum, d.name, d.loc);
            if (e) {
                e->decl = &d;
                declarations_.push_back(e);
            }
            int index = 0;
            for (const auto& [name, at] : d.enumerators) {
                if (Symbol* s = declare(scope, Symbol::Enumerator, name, at)) {
                    s->enumType = e;
                    s->enumIndex = index;
                }
                ++index;
            }
            break;
        }
        case Decl::Attribute:
            for (const Declarator& dd : d.declarators) {
                if (Symbol* s = declare(scope, Symbol::Attribute, dd.name, dd.loc)) s->decl = &d;
                // the accessors' names are taken as well
                for (const char* prefix : {"_get_", "_set_"}) {
                    if (d.readonly && std::string(prefix) == "_set_") continue;
                    if (Symbol* s = declare(scope, Symbol::Operation, prefix + dd.name, dd.loc)) s->decl = &d;
                }
            }
            break;
        case Decl::Operation:
            if (Symbol* s = declare(scope, Symbol::Operation, d.name, d.loc)) s->decl = &d;
            break;
        default: break;
    }
    declScope_[&d] = scope;
}

// ---- names ---------------------------------------------------------------------------------

// A name in this scope, or inherited into an interface's scope from its parents.
Symbol* Lowering::findIn(Scope* scope, const std::string& name, std::set<Scope*>& seen) {
    if (!scope || !seen.insert(scope).second) return nullptr;
    auto found = scope->names.find(name);
    if (found != scope->names.end()) return found->second;
    if (scope->owner && scope->owner->kind == Symbol::Interface)
        for (Symbol* parent : scope->owner->parents)
            if (Symbol* s = findIn(parent->inner, name, seen)) return s;
    return nullptr;
}

Symbol* Lowering::lookup(Scope* from, const ScopedName& name) {
    if (name.parts.empty()) return nullptr;
    Symbol* sym = nullptr;
    if (name.absolute) {
        std::set<Scope*> seen;
        sym = findIn(global_, name.parts[0], seen);
    } else {
        for (Scope* s = from; s && !sym; s = s->parent) {
            std::set<Scope*> seen;
            sym = findIn(s, name.parts[0], seen);
        }
    }
    for (size_t i = 1; sym && i < name.parts.size(); ++i) {
        std::set<Scope*> seen;
        sym = sym->inner ? findIn(sym->inner, name.parts[i], seen) : nullptr;
    }
    return sym;
}

// ---- inheritance ---------------------------------------------------------------------------

void Lowering::resolveParents(Symbol* cls) {
    for (const ScopedName& p : cls->decl->parents) {
        Symbol* parent = lookup(cls->owner, p);
        if (!parent) {
            diag_.error(p.loc, "unknown parent interface " + quote(p.text()));
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
        cls->parents.push_back(parent);
        cls->parentLocs.push_back(p.loc);
    }
}

// Parents first; a cycle is reported once and its classes are not lowered.
void Lowering::order(Symbol* cls, std::vector<Symbol*>& stack, std::set<Symbol*>& visiting,
                     std::set<Symbol*>& done, std::vector<Symbol*>& out) {
    if (done.count(cls) || cls->builtin) return;
    visiting.insert(cls);
    stack.push_back(cls);
    for (size_t i = 0; i < cls->parents.size(); ++i) {
        Symbol* parent = cls->parents[i];
        if (visiting.count(parent)) {
            std::string chain;
            bool on = false;
            for (Symbol* s : stack) {
                if (s == parent) on = true;
                if (on) {
                    chain += quote(s->name) + " -> ";
                    s->broken = true;
                }
            }
            diag_.error(cls->parentLocs[i], "cyclic inheritance: " + chain + quote(parent->name));
            continue;
        }
        if (stack.size() > static_cast<size_t>(maxResolveDepth) * 10) {
            diag_.error(cls->loc, "inheritance too deep");
            cls->broken = true;
            continue;
        }
        order(parent, stack, visiting, done, out);
        if (parent->broken) cls->broken = true;
    }
    stack.pop_back();
    visiting.erase(cls);
    done.insert(cls);
    out.push_back(cls);
}

bool Lowering::derivesFrom(Symbol* cls, Symbol* ancestor) {
    std::set<Symbol*> seen;
    std::function<bool(Symbol*)> walk = [&](Symbol* s) {
        if (s == ancestor) return true;
        if (!seen.insert(s).second) return false;
        for (Symbol* p : s->parents)
            if (walk(p)) return true;
        return false;
    };
    return walk(cls);
}

// ---- types and constants -------------------------------------------------------------------

std::string Lowering::cName(Symbol* sym) const {
    std::string text;
    for (const std::string& part : sym->owner->path) text += part + "_";
    return text + sym->name;
}

Entry* Lowering::classEntry(Symbol* cls) {
    if (!cls->entry) {
        // Only forward-declared: a class Entry outside every module, so that it is never written.
        cls->entry = kavc::newClass(cls->name, cls->owner->modules, nullptr, cls->loc.line);
    }
    return cls->entry;
}

TypeCode* Lowering::resolveType(const TypeSpec& t, Scope* scope) {
    switch (t.kind) {
        case TypeSpec::Basic: return kavc::basicType(t.basic);
        case TypeSpec::String: {
            if (!t.bound) return kavc::stringType();
            auto bound = positive(*t.bound, scope, "string bound");
            return kavc::stringType(bound ? *bound : 0);
        }
        case TypeSpec::Sequence: {
            TypeCode* element = resolveType(*t.element, scope);
            unsigned long bound = 0;
            if (t.bound) {
                auto b = positive(*t.bound, scope, "sequence bound");
                bound = b ? *b : 0;
            }
            return element ? kavc::sequenceType(element, bound) : nullptr;
        }
        case TypeSpec::Named: {
            Symbol* sym = lookup(scope, t.name);
            if (!sym) {
                diag_.error(t.loc, "unknown type " + quote(t.name.text()));
                return nullptr;
            }
            switch (sym->kind) {
                case Symbol::Interface: return kavc::objrefType(classEntry(sym));
                case Symbol::Typedef:
                case Symbol::Struct:
                case Symbol::Union:
                case Symbol::Enum: return typeOf(sym, t.loc);
                case Symbol::Exception:
                    diag_.error(t.loc, "exception " + quote(t.name.text()) + " cannot be used as a type");
                    return nullptr;
                default:
                    diag_.error(t.loc, quote(t.name.text()) + " is " + withArticle(sym->kind) + ", not a type");
                    return nullptr;
            }
        }
        default: return nullptr;
    }
}

TypeCode* Lowering::withDims(TypeCode* base, const Declarator& d, Scope* scope) {
    if (d.dims.empty() || !base) return base;
    std::vector<unsigned long> dims;
    for (const auto& dim : d.dims) {
        auto n = positive(*dim, scope, "array size");
        if (!n) return nullptr;
        dims.push_back(*n);
    }
    return kavc::arrayType(base, dims);
}

TypeCode* Lowering::typeOf(Symbol* sym, Loc use) {
    if (sym->state == Symbol::Done) return sym->type;
    if (sym->state == Symbol::Busy) {
        diag_.error(use, "type " + quote(sym->name) + " refers to itself");
        return nullptr;
    }
    if (depth_ >= maxResolveDepth) {
        diag_.error(use, "types nested too deeply");
        return nullptr;
    }
    ++depth_;
    sym->state = Symbol::Busy;
    const Decl& d = *sym->decl;
    Scope* scope = sym->owner;
    TypeCode* result = nullptr;
    switch (sym->kind) {
        case Symbol::Typedef: {
            TypeCode* base = withDims(resolveType(d.type, scope), *sym->declarator, scope);
            if (base) result = kavc::aliasType(cName(sym), base);
            break;
        }
        case Symbol::Struct:
        case Symbol::Exception: {
            std::vector<std::pair<std::string, TypeCode*>> members;
            std::map<std::string, Loc> seen;
            bool ok = true;
            for (const Member& m : d.members) {
                TypeCode* base = resolveType(m.type, scope);
                for (const Declarator& dd : m.declarators) {
                    if (!seen.emplace(dd.name, dd.loc).second) {
                        diag_.error(dd.loc, "duplicate member " + quote(dd.name));
                        diag_.note(seen[dd.name], "previous declaration of " + quote(dd.name) + " was here");
                        ok = false;
                    }
                    TypeCode* t = withDims(base, dd, scope);
                    if (!t) ok = false;
                    members.emplace_back(dd.name, t);
                }
            }
            if (ok && sym->kind == Symbol::Struct) result = kavc::structType(cName(sym), members);
            break;
        }
        case Symbol::Union: {
            Scope* at = scope;
            Symbol* enumSym = nullptr;
            const TypeSpec* basic = basicOf(d.discriminator, scope, at, enumSym);
            TypeCode* disc = resolveType(d.discriminator, scope);
            bool okDisc = enumSym || (basic && basic->kind == TypeSpec::Basic &&
                                      (intRange(basic->basic) || basic->basic == "char" ||
                                       basic->basic == "boolean"));
            if (disc && !okDisc) {
                diag_.error(d.discriminator.loc, "a union discriminator must be an integer, char, boolean or enum type");
                disc = nullptr;
            }
            std::vector<std::pair<std::string, TypeCode*>> members;
            std::map<std::string, Loc> seen;
            bool ok = disc != nullptr;
            int defaults = 0;
            for (const UnionCase& c : d.cases) {
                for (const auto& label : c.labels)
                    if (!evaluate(*label, scope)) ok = false;
                if (c.isDefault && ++defaults == 2) {
                    diag_.error(c.loc, "more than one 'default' label in union " + quote(sym->name));
                    ok = false;
                }
                const Declarator& dd = c.declarator;
                if (!seen.emplace(dd.name, dd.loc).second) {
                    diag_.error(dd.loc, "duplicate member " + quote(dd.name));
                    ok = false;
                }
                TypeCode* t = withDims(resolveType(c.type, scope), dd, scope);
                if (!t) ok = false;
                members.emplace_back(dd.name, t);
            }
            if (ok) result = kavc::unionType(cName(sym), disc, members);
            break;
        }
        case Symbol::Enum: {
            std::vector<std::string> names;
            for (const auto& e : d.enumerators) names.push_back(e.first);
            result = kavc::enumType(cName(sym), names);
            break;
        }
        default: break;
    }
    sym->type = result;
    sym->state = Symbol::Done;
    --depth_;
    return result;
}

// Follows typedef names down to a basic type spec (and its scope); enumSym is set for an enum.
const TypeSpec* Lowering::basicOf(const TypeSpec& t, Scope* scope, Scope*& at, Symbol*& enumSym) {
    const TypeSpec* spec = &t;
    at = scope;
    for (int guard = 0; spec->kind == TypeSpec::Named && guard < maxResolveDepth; ++guard) {
        Symbol* sym = lookup(at, spec->name);
        if (!sym) return nullptr;
        if (sym->kind == Symbol::Enum) {
            enumSym = sym;
            return nullptr;
        }
        if (sym->kind != Symbol::Typedef || !sym->declarator->dims.empty()) return nullptr;
        spec = &sym->decl->type;
        at = sym->owner;
    }
    return spec->kind == TypeSpec::Named ? nullptr : spec;
}

std::optional<unsigned long> Lowering::positive(const Expr& e, Scope* scope, const char* what) {
    auto v = evaluate(e, scope);
    if (!v) return std::nullopt;
    if (v->kind != Value::Int || v->i <= 0 || v->i > INT32_MAX) {
        diag_.error(e.loc, std::string(what) + " is not a positive integer constant");
        return std::nullopt;
    }
    return static_cast<unsigned long>(v->i);
}

std::optional<Value> Lowering::constValue(Symbol* sym, Loc use) {
    if (sym->state == Symbol::Busy) {
        diag_.error(use, "constant " + quote(sym->name) + " depends on itself");
        return std::nullopt;
    }
    if (depth_ >= maxResolveDepth) {
        diag_.error(use, "constants nested too deeply");
        return std::nullopt;
    }
    if (sym->state == Symbol::Done) return sym->constant;
    ++depth_;
    sym->state = Symbol::Busy;
    std::optional<Value> v = evaluate(*sym->decl->value, sym->owner);
    if (v && !fits(sym->decl->type, sym->owner, *v, sym->decl->value->loc)) v.reset();
    sym->state = Symbol::Done;
    --depth_;
    sym->constant = v;
    return v;
}

// Checks (and converts) a constant's value for its declared type.
bool Lowering::fits(const TypeSpec& type, Scope* scope, Value& v, Loc at) {
    Scope* where = scope;
    Symbol* enumSym = nullptr;
    const TypeSpec* spec = basicOf(type, scope, where, enumSym);
    if (enumSym) {
        if (v.enumerator && v.enumerator->enumType == enumSym) return true;
        diag_.error(at, "the value is not an enumerator of " + quote(enumSym->name));
        return false;
    }
    if (!spec) {
        if (type.kind == TypeSpec::Named && !lookup(scope, type.name))
            diag_.error(type.loc, "unknown type " + quote(type.name.text()));
        else
            diag_.error(type.loc, "invalid type for a constant");
        return false;
    }
    std::string name = spec->kind == TypeSpec::String ? "string" : spec->basic;
    auto mismatch = [&](const char* wanted) {
        diag_.error(at, "a constant of type " + quote(name) + " needs " + wanted);
        return false;
    };
    if (const IntRange* r = intRange(name)) {
        if (v.kind != Value::Int) return mismatch("an integer value");
        if (v.i < r->low || v.i > r->high) {
            diag_.error(at, "constant value out of range for " + quote(name));
            return false;
        }
        return true;
    }
    if (name == "float" || name == "double") {
        if (v.kind == Value::Int) {
            v.f = static_cast<double>(v.i);
            v.kind = Value::Float;
        }
        return v.kind == Value::Float || mismatch("a numeric value");
    }
    if (name == "char") return v.kind == Value::Char || mismatch("a character value");
    if (name == "boolean") return v.kind == Value::Bool || mismatch("TRUE or FALSE");
    if (name == "string") return v.kind == Value::String || mismatch("a string value");
    diag_.error(type.loc, "invalid type for a constant");
    return false;
}

std::optional<Value> Lowering::evaluate(const Expr& e, Scope* scope) {
    Value v;
    switch (e.kind) {
        case Expr::Int:
            if (e.intValue > static_cast<unsigned long long>(LLONG_MAX)) {
                diag_.error(e.loc, "integer constant is too large");
                return std::nullopt;
            }
            v.i = static_cast<long long>(e.intValue);
            return v;
        case Expr::Float: v.kind = Value::Float; v.f = e.floatValue; return v;
        case Expr::String: v.kind = Value::String; v.s = e.text; return v;
        case Expr::Char: v.kind = Value::Char; v.s = e.text; return v;
        case Expr::Bool: v.kind = Value::Bool; v.i = static_cast<long long>(e.intValue); return v;
        case Expr::Name: {
            Symbol* sym = lookup(scope, e.name);
            if (!sym) {
                diag_.error(e.loc, quote(e.name.text()) + " was not declared");
                return std::nullopt;
            }
            if (sym->kind == Symbol::Const) return constValue(sym, e.loc);
            if (sym->kind == Symbol::Enumerator) {
                v.i = sym->enumIndex;
                v.enumerator = sym;
                return v;
            }
            diag_.error(e.loc, quote(e.name.text()) + " is " + withArticle(sym->kind) + ", not a constant");
            return std::nullopt;
        }
        case Expr::Unary: {
            auto a = evaluate(*e.lhs, scope);
            if (!a) return std::nullopt;
            if (a->kind == Value::Float && e.text != "~") {
                a->f = e.text == "-" ? -a->f : a->f;
                a->enumerator = nullptr;
                return a;
            }
            if (a->kind != Value::Int || a->enumerator) {
                diag_.error(e.loc, "invalid operand to unary " + quote(e.text));
                return std::nullopt;
            }
            if (e.text == "-") {
                if (a->i == LLONG_MIN) {
                    diag_.error(e.loc, "integer overflow in constant expression");
                    return std::nullopt;
                }
                a->i = -a->i;
            } else if (e.text == "~") {
                a->i = ~a->i;
            }
            return a;
        }
        case Expr::Binary: {
            auto a = evaluate(*e.lhs, scope);
            auto b = evaluate(*e.rhs, scope);
            if (!a || !b) return std::nullopt;
            const std::string& op = e.text;
            bool numeric = (a->kind == Value::Int || a->kind == Value::Float) &&
                           (b->kind == Value::Int || b->kind == Value::Float) && !a->enumerator &&
                           !b->enumerator;
            if (!numeric) {
                diag_.error(e.loc, "invalid operands to " + quote(op));
                return std::nullopt;
            }
            if (a->kind == Value::Float || b->kind == Value::Float) {
                if (op != "+" && op != "-" && op != "*" && op != "/") {
                    diag_.error(e.loc, "invalid operands to " + quote(op));
                    return std::nullopt;
                }
                double x = a->kind == Value::Float ? a->f : static_cast<double>(a->i);
                double y = b->kind == Value::Float ? b->f : static_cast<double>(b->i);
                v.kind = Value::Float;
                v.f = op == "+" ? x + y : op == "-" ? x - y : op == "*" ? x * y : x / y;
                return v;
            }
            long long x = a->i, y = b->i, r = 0;
            bool overflow = false;
            if (op == "+") overflow = __builtin_add_overflow(x, y, &r);
            else if (op == "-") overflow = __builtin_sub_overflow(x, y, &r);
            else if (op == "*") overflow = __builtin_mul_overflow(x, y, &r);
            else if (op == "/" || op == "%") {
                if (y == 0) {
                    diag_.error(e.loc, "division by zero in constant expression");
                    return std::nullopt;
                }
                if (x == LLONG_MIN && y == -1) overflow = true;
                else r = op == "/" ? x / y : x % y;
            } else if (op == "<<" || op == ">>") {
                if (y < 0 || y > 63) {
                    diag_.error(e.loc, "shift count out of range");
                    return std::nullopt;
                }
                if (op == ">>") r = x >> y;
                else if (x < 0 || (y > 0 && (x >> (63 - y)) != 0)) overflow = true;
                else r = x << y;
            } else if (op == "&") r = x & y;
            else if (op == "|") r = x | y;
            else if (op == "^") r = x ^ y;
            if (overflow) {
                diag_.error(e.loc, "integer overflow in constant expression");
                return std::nullopt;
            }
            v.i = r;
            return v;
        }
    }
    return std::nullopt;
}

// Resolves what a type, constant or exception declaration names, reporting its errors once.
void Lowering::checkDeclaration(Symbol* sym) {
    switch (sym->kind) {
        case Symbol::Const: {
            constValue(sym, sym->loc);
            break;
        }
        default: typeOf(sym, sym->loc); break;
    }
}

// ---- classes -------------------------------------------------------------------------------

std::vector<Entry*> Lowering::run(const Specification& spec) {
    global_ = newScope(nullptr, nullptr, false);
    addBuiltins();
    declareAll(spec.decls, global_, nullptr, true);
    for (Symbol* cls : interfaces_) resolveParents(cls);

    std::vector<Symbol*> ordered, stack;
    std::set<Symbol*> visiting, done;
    for (Symbol* cls : interfaces_) order(cls, stack, visiting, done, ordered);

    for (Symbol* sym : declarations_) checkDeclaration(sym);
    for (Symbol* cls : ordered)
        if (!cls->broken) lowerClass(cls);

    std::vector<Entry*> toEmit;
    for (const Decl* d : mainTopLevel_) {
        if (d->kind == Decl::Module) {
            toEmit.push_back(moduleBlocks_[d]);
        } else {
            for (Symbol* cls : interfaces_)
                if (cls->decl == d) toEmit.push_back(cls->entry);
        }
    }
    return toEmit;
}

void Lowering::lowerClass(Symbol* cls) {
    Entry* entry = cls->entry;
    dataEntries_.clear();
    reintroduced_.clear();
    attributes_.clear();
    parentRefs_.clear();

    for (size_t i = 0; i < cls->parents.size(); ++i)
        parentRefs_.emplace_back(cls->parents[i],
                                 kavc::addParent(entry, classEntry(cls->parents[i]), cls->parentLocs[i].line));

    for (const auto& member : cls->decl->body) {
        const Decl& d = *member;
        if (d.kind == Decl::Operation) {
            lowerOperation(cls, d);
        } else if (d.kind == Decl::Attribute) {
            TypeCode* type = resolveType(d.type, cls->inner);
            if (!type) type = kavc::basicType("long");
            for (const Declarator& name : d.declarators) {
                checkNotInherited(cls, "_get_" + name.name, name.loc);
                if (!d.readonly) checkNotInherited(cls, "_set_" + name.name, name.loc);
                attributes_[name.name] = kavc::addAttribute(entry, name.name, type, d.readonly, name.loc.line);
            }
        }
    }
    if (cls->implementation) lowerImplementation(cls);
    kavc::finishClass(entry);
}

// A method name that an ancestor introduces already (silenced with the host flag that also
// silences the emitter's report of one name introduced by two classes).
void Lowering::checkNotInherited(Symbol* cls, const std::string& name, Loc at) {
    if (kavtg_f[40] & 2) return;
    Entry* inherited = kavc::findInheritedMethod(cls->entry, name);
    if (!inherited) return;
    diag_.error(at, quote(name) + " is already introduced by " + quote(inherited->cls->name) +
                        "; write '" + name + ": reintroduce;' in the implementation section to declare it again");
}

void Lowering::lowerOperation(Symbol* cls, const Decl& d) {
    checkNotInherited(cls, d.name, d.loc);
    Scope* scope = cls->inner;
    TypeCode* result = resolveType(d.type, scope);
    Entry* method = kavc::addMethod(cls->entry, d.name, result ? result : kavc::basicType("void"), d.loc.line);
    std::map<std::string, Loc> names;
    for (const Param& p : d.params) {
        const Declarator& dd = p.declarator;
        if (!names.emplace(dd.name, dd.loc).second) {
            diag_.error(dd.loc, "redefinition of parameter " + quote(dd.name));
            diag_.note(names[dd.name], "previous declaration of " + quote(dd.name) + " was here");
        }
        TypeCode* type = withDims(resolveType(p.type, scope), dd, scope);
        kavc::addParam(method, dd.name, type ? type : kavc::basicType("long"), p.mode);
        if (d.oneway && p.mode != 1)
            diag_.error(p.loc, "a oneway operation has only 'in' parameters");
    }
    if (d.oneway && !(d.type.kind == TypeSpec::Basic && d.type.basic == "void"))
        diag_.error(d.type.loc, "a oneway operation returns void");
    for (const ScopedName& r : d.raises) {
        Symbol* e = lookup(scope, r);
        if (!e)
            diag_.error(r.loc, "unknown exception " + quote(r.text()));
        else if (e->kind != Symbol::Exception)
            diag_.error(r.loc, quote(r.text()) + " is " + withArticle(e->kind) + ", not an exception");
    }
    if (d.hasContext) kavc::addContext(method);
}

// A class named by a modifier value (metaclass, companion): a defined interface.
Symbol* Lowering::classNamed(Symbol* cls, const std::string& text, Loc at, const char* role) {
    ScopedName name;
    name.loc = at;
    std::string rest = text;
    if (rest.rfind("::", 0) == 0) {
        name.absolute = true;
        rest = rest.substr(2);
    }
    for (size_t from = 0;;) {
        size_t sep = rest.find("::", from);
        name.parts.push_back(rest.substr(from, sep == std::string::npos ? std::string::npos : sep - from));
        if (sep == std::string::npos) break;
        from = sep + 2;
    }
    Symbol* sym = lookup(cls->inner, name);
    if (!sym || sym->kind != Symbol::Interface) {
        diag_.error(at, std::string("unknown ") + role + " " + quote(text) + ": not an interface");
        return nullptr;
    }
    if (!sym->defined) {
        diag_.error(at, std::string(role) + " " + quote(text) + " is declared but never defined");
        return nullptr;
    }
    return sym;
}

void Lowering::classModifier(Symbol* cls, const ImplStmt& s) {
    const Modifier& m = s.modifier;
    Entry* entry = cls->entry;
    if (m.name == "metaclass" || m.name == "companion") {
        if (!m.hasValue) {
            diag_.error(m.loc, quote(m.name) + " needs a class name: " + m.name + " = Name;");
            return;
        }
        if (!modsGiven_.insert({entry, m.name}).second) {
            diag_.error(m.loc, "duplicate modifier " + quote(m.name) + " on " + quote(cls->name));
            return;
        }
        Symbol* target = classNamed(cls, m.value, m.loc, m.name.c_str());
        if (!target) return;
        if (m.name == "companion") {
            kavc::setCompanion(entry, classEntry(target));
            return;
        }
        if (target == cls) {
            diag_.error(m.loc, "a class cannot be its own metaclass");
            return;
        }
        Symbol* root = global_->names["KAVClass"];
        if (!derivesFrom(target, root)) {
            diag_.error(m.loc, "metaclass " + quote(m.value) + " does not derive from 'KAVClass'");
            return;
        }
        kavc::setMetaclass(entry, classEntry(target));
        return;
    }
    addModifiers(entry, "'" + cls->name + "'", {m});
}

void Lowering::addModifiers(Entry* e, const std::string& what, const std::vector<Modifier>& mods) {
    for (const Modifier& m : mods) {
        if (m.name == "override" || m.name == "reintroduce") continue;
        if (!modsGiven_.insert({e, m.name}).second) {
            diag_.error(m.loc, "duplicate modifier " + quote(m.name) + " on " + what);
            continue;
        }
        kavc::addMod(e, m.name, m.hasValue ? m.value.c_str() : nullptr);
    }
}

void Lowering::overrideOrReintroduce(Symbol* cls, const ImplStmt& s, const ScopedName& target) {
    bool isOverride = false, isReintroduce = false;
    for (const Modifier& m : s.modifiers) {
        bool o = m.name == "override", r = m.name == "reintroduce";
        if ((o || r) && m.hasValue) diag_.error(m.loc, quote(m.name) + " takes no value");
        isOverride |= o;
        isReintroduce |= r;
    }
    if (!isOverride && !isReintroduce) return;
    const std::string& name = target.parts.back();
    const char* what = isOverride ? "override" : "reintroduce";
    if (isOverride && isReintroduce) {
        diag_.error(target.loc, "a method cannot be both overridden and reintroduced");
        return;
    }
    if (target.parts.size() != 1 || target.absolute) {
        diag_.error(target.loc, std::string("only an inherited method's simple name can be given to ") + what);
        return;
    }
    Entry* entry = cls->entry;
    if (Entry* own = kavc::findMethod(entry, name)) {
        if (own->type == kavtOverrideType)
            diag_.error(target.loc, quote(name) + " is already overridden in " + quote(cls->name));
        else
            diag_.error(target.loc, quote(name) + " is introduced by " + quote(cls->name) +
                                        " itself; only inherited methods can be given to " + what);
        return;
    }
    if (reintroduced_.count(name)) {
        diag_.error(target.loc, quote(name) + " is already reintroduced in " + quote(cls->name));
        return;
    }
    Entry* inherited = kavc::findInheritedMethod(entry, name);
    if (!inherited) {
        diag_.error(target.loc, quote(cls->name) + " inherits no method " + quote(name) + " to " + what);
        return;
    }
    if (isOverride)
        kavc::addOverride(entry, inherited, target.loc.line);
    else
        reintroduced_[name] = kavc::addReintroduce(entry, inherited, target.loc.line);
}

void Lowering::memberModifiers(Symbol* cls, const ImplStmt& s, const ScopedName& target) {
    Entry* entry = cls->entry;
    bool declaring = false;
    for (const Modifier& m : s.modifiers) declaring |= m.name == "override" || m.name == "reintroduce";
    const std::string& name = target.parts.back();
    std::string what = quote(target.text());
    bool simple = target.parts.size() == 1 && !target.absolute;

    if (simple) {
        if (auto r = reintroduced_.find(name); r != reintroduced_.end()) {
            addModifiers(r->second, what, s.modifiers);
            return;
        }
        if (Entry* method = kavc::findMethod(entry, name)) {
            addModifiers(method, what, s.modifiers);
            return;
        }
        if (declaring) return;  // the override or reintroduction failed: already reported
        if (auto a = attributes_.find(name); a != attributes_.end()) {
            addModifiers(a->second, what, s.modifiers);
            return;
        }
        if (auto d = dataEntries_.find(name); d != dataEntries_.end()) {
            addModifiers(d->second, what, s.modifiers);
            return;
        }
    }
    // A parent reference (`Animal: abstract;`) or the explicit metaclass.
    Symbol* named = lookup(cls->inner, target);
    bool matched = false;
    for (auto& [parent, ref] : parentRefs_) {
        if (parent == named || (simple && parent->name == name)) {
            addModifiers(ref, what, s.modifiers);
            matched = true;
        }
    }
    if (matched) return;
    if (entry->metaclass && named && named->entry == entry->metaclass) {
        addModifiers(entry->metaclass, what, s.modifiers);
        return;
    }
    // An inherited method that this class does not override: the modifier is the class's,
    // named after the method ("run" = "migrate=Other").
    if (simple && kavc::findInheritedMethod(entry, name)) {
        if (s.modifiers.size() != 1) {
            diag_.error(s.modifiers[1].loc, "an inherited method that is not overridden takes one modifier; "
                                            "override " + what + " to give it more");
            return;
        }
        const Modifier& m = s.modifiers[0];
        std::string value = m.hasValue ? m.name + "=" + m.value : m.name;
        if (!modsGiven_.insert({entry, name}).second) {
            diag_.error(m.loc, "duplicate modifier for inherited method " + what);
            return;
        }
        kavc::addMod(entry, name, value.c_str());
        return;
    }
    diag_.error(target.loc, what + " is not a method, attribute, data member or parent of " + quote(cls->name));
}

bool releaseNameKnown(Entry* cls, const std::string& name, const std::map<std::string, Entry*>& data,
                      const std::map<std::string, Entry*>& reintroduced) {
    return kavc::findMethod(cls, name) || data.count(name) || reintroduced.count(name);
}

void Lowering::lowerImplementation(Symbol* cls) {
    Entry* entry = cls->entry;
    Scope* scope = cls->inner;
    const ImplStmt* releaseOrder = nullptr;

    // First what declares: data members, overrides, reintroductions, class settings.
    for (const ImplStmt& s : cls->implementation->impl) {
        switch (s.kind) {
            case ImplStmt::DataMember: {
                TypeCode* base = resolveType(s.data.type, scope);
                for (const Declarator& dd : s.data.declarators) {
                    auto declared = cls->data.find(dd.name);
                    if (declared == cls->data.end() || declared->second != &dd) continue;  // reported
                    TypeCode* type = withDims(base, dd, scope);
                    dataEntries_[dd.name] = kavc::addData(entry, dd.name, type ? type : kavc::basicType("long"), dd.loc.line);
                }
                break;
            }
            case ImplStmt::MemberModifiers:
                for (const ScopedName& target : s.targets) overrideOrReintroduce(cls, s, target);
                break;
            case ImplStmt::ReleaseOrder:
                if (releaseOrder) {
                    diag_.error(s.loc, "a second release order for " + quote(cls->name));
                    diag_.note(releaseOrder->loc, "the first one is here");
                } else {
                    releaseOrder = &s;
                }
                break;
            case ImplStmt::ClassModifier: classModifier(cls, s); break;
            case ImplStmt::Passthru: {
                std::string section;
                bool after = false;
                if (!passthruSection(s.passthruName, section, after)) {
                    diag_.error(s.loc, "passthru name " + quote(s.passthruName) +
                                           " must read <language>_<kind>[_after], e.g. C_xih");
                    break;
                }
                kavc::addPassthru(entry, section, after, s.passthruText);
                break;
            }
        }
    }
    // Then the modifiers, which may name anything declared above.
    for (const ImplStmt& s : cls->implementation->impl)
        if (s.kind == ImplStmt::MemberModifiers)
            for (const ScopedName& target : s.targets) memberModifiers(cls, s, target);

    if (releaseOrder) {
        std::vector<std::string> names;
        std::map<std::string, Loc> seen;
        for (const auto& [name, at] : releaseOrder->names) {
            if (!seen.emplace(name, at).second) {
                diag_.error(at, quote(name) + " appears twice in the release order");
                continue;
            }
            if (!releaseNameKnown(entry, name, dataEntries_, reintroduced_))
                diag_.warning(at, quote(name) + " in the release order is not a method or data member of " +
                                      quote(cls->name) + "; its slot stays empty");
            names.push_back(name);
        }
        kavc::setReleaseOrder(entry, names);
    }
}

}  // namespace

bool passthruSection(const std::string& name, std::string& section, bool& after) {
    std::string base = name;
    after = false;
    const std::string suffix = "_after";
    if (base.size() > suffix.size() && base.compare(base.size() - suffix.size(), suffix.size(), suffix) == 0) {
        after = true;
        base.erase(base.size() - suffix.size());
    }
    size_t sep = base.find('_');
    if (sep == std::string::npos || sep == 0 || sep + 1 == base.size()) return false;
    base[sep] = '.';
    section = base;
    return true;
}

std::vector<Entry*> lower(const Specification& spec, Diagnostics& diag) {
    Lowering lowering(diag);
    return lowering.run(spec);
}

}  // namespace kc
