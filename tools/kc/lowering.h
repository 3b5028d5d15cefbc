// The front end's name resolution and lowering, shared by the files that implement it:
// symbols and scopes, constant values, and the Lowering pass itself.
#pragma once

#include "kc/lower.h"
#include "host/open_table.h"
#include "kavc/base_types.h"

#include <array>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace kc::lowering {

inline constexpr int maxResolveDepth = 200;  // typedef chains, constants naming constants
inline constexpr int maxInheritanceDepth = 2000;  // levels of classes below a root
inline constexpr int maxParents = 1000;           // parents one class lists
inline constexpr int maxEvaluationDepth = 2000;  // operators being evaluated at once, over all constants

struct Scope;
struct Symbol;

// The value of a constant expression.
struct Value {
    enum Kind { Int, Float, Fixed, String, WString, Char, WChar, Bool } kind = Int;
    long long i = 0;
    double f = 0;
    std::string s;
    Symbol* enumerator = nullptr;  // the value names this enumerator
};

// A map from names to small values without a node per name: open addressing over views of
// texts that outlive the map (the syntax tree's names, the host's interned names).
template <typename Value>
class NameMap {
  public:
    void clear() { table_ = {}; }
    // Room for `count` names before the map first grows (only while it is empty).
    void reserve(std::size_t count) { table_.reserve(count); }
    // The value of `name`, or null.
    Value* find(std::string_view name) {
        if (table_.empty()) return nullptr;
        Slot& slot = table_.slotAt(indexOf(name, textHash(name)));
        return slot ? &slot.value : nullptr;
    }
    const Value* find(std::string_view name) const { return const_cast<NameMap*>(this)->find(name); }
    // Adds `name` (whose text outlives the map) with `value` unless it is there; the value held
    // under the name, and whether it was added.
    std::pair<Value*, bool> insert(std::string_view name, const Value& value) {
        table_.makeRoom([](const Slot& slot) { return slot.hash; });
        const std::uint32_t hash = textHash(name);
        const std::size_t at = indexOf(name, hash);
        const bool added = !table_[at];
        if (added) table_.fill(at, Slot{name.data(), static_cast<std::uint32_t>(name.size()), hash, value});
        return {&table_.slotAt(at).value, added};
    }
    // Gives `name` the value `value`, whether it was there or not.
    void set(std::string_view name, const Value& value) {
        auto [held, added] = insert(name, value);
        if (!added) *held = value;
    }

  private:
    struct Slot {
        const char* text = nullptr;
        std::uint32_t size = 0;
        std::uint32_t hash = 0;
        Value value{};
        explicit operator bool() const { return text; }
    };
    std::size_t indexOf(std::string_view name, std::uint32_t hash) const {
        return table_.indexOf(hash, [&](const Slot& slot) {
            return slot.hash == hash && std::string_view(slot.text, slot.size) == name;
        });
    }
    OpenTable<Slot> table_;
};

// Pairs of an Entry and an interned name, each once: open addressing, no node per pair.
class GivenModifiers {
  public:
    // Adds the pair; false when it was there already.
    bool insert(const Entry* e, const char* name) {
        table_.makeRoom([](const Slot& slot) { return hashOf(slot.entry, slot.name); });
        const std::size_t at = table_.indexOf(hashOf(e, name), [&](const Slot& slot) { return slot.entry == e && slot.name == name; });
        if (table_[at]) return false;
        table_.fill(at, Slot{e, name});
        return true;
    }

  private:
    struct Slot {
        const Entry* entry = nullptr;
        const char* name = nullptr;
        explicit operator bool() const { return entry; }
    };
    static std::size_t hashOf(const Entry* e, const char* name) { return pointerHash(e) ^ pointerHash(name) * 31; }
    OpenTable<Slot> table_;
};

// What only an interface or value type has.
struct ClassPart {
    Entry* entry = nullptr;
    SparseList<Symbol*> parents;
    SparseList<Loc> parentLocs;
    const Decl* implementation = nullptr;
    std::unique_ptr<NameMap<const Declarator*>> data;  // data members by name, until built
    // Its members' symbols are symbols_[firstMember, endMember), in the order declared.
    std::uint32_t firstMember = 0;
    std::uint32_t endMember = 0;
    unsigned reached = 0;  // the last ancestor walk that came here
    // Where the ordering of classes (parents first) has it: being walked, or placed at
    // `place` of the order; and how many levels it stands below its furthest root.
    enum class Ordering : std::uint8_t { none, visiting, done } ordering = Ordering::none;
    std::uint32_t place = UINT32_MAX;
    int depth = 0;

    // The data member of this name, or null.
    const Declarator* dataMember(std::string_view member) const {
        const Declarator* const* found = data ? data->find(member) : nullptr;
        return found ? *found : nullptr;
    }
};

// What only a type, a constant, an enumerator or an exception has.
struct TypePart {
    TypeCode* type = nullptr;
    const Declarator* declarator = nullptr;  // Typedef: which of the declared names
    Symbol* enumType = nullptr;              // Enumerator
    int enumIndex = 0;
    std::unique_ptr<Value> constant;  // Const, when it has a value
};

// A declared name: module, interface, type, constant, exception or interface member. The
// unit's symbols stay until its last class is built, and most are operations and attributes,
// which have a kind, a name and a place only: what the other kinds have is out of line.
struct Symbol {
    enum Kind : std::uint8_t {
        Module, Interface, Typedef, Struct, Union, Enum, Enumerator, Const, Exception,
        Attribute, Operation, Native, State,
    } kind = Module;
    // Typedef, Struct, Union, Enum, Const: resolved lazily, once
    enum State : std::uint8_t { Fresh, Busy, Done } state = Fresh;
    bool builtin = false;
    bool forwardOnly = false;  // struct X; or union X; without a definition yet
    bool defined = false;      // Interface
    bool broken = false;  // Interface: in or below an inheritance cycle, not lowered
    std::string name;
    Loc loc;
    Scope* owner = nullptr;  // where it is declared
    Scope* inner = nullptr;  // Module, Interface: its own scope
    Decl* decl = nullptr;  // lowering frees the parts of its tree that it has built
    std::unique_ptr<ClassPart> iface;  // every Interface has one, no other kind
    std::unique_ptr<TypePart> typed;   // made when first written

    // Interface: its Entry, or null for a symbol of another kind.
    Entry* entry() const { return iface ? iface->entry : nullptr; }
    TypeCode* type() const { return typed ? typed->type : nullptr; }
    const Declarator* declarator() const { return typed ? typed->declarator : nullptr; }
    Symbol* enumType() const { return typed ? typed->enumType : nullptr; }
    int enumIndex() const { return typed ? typed->enumIndex : 0; }
    const Value* constant() const { return typed ? typed->constant.get() : nullptr; }
    TypePart& part() {
        if (!typed) typed = std::make_unique<TypePart>();
        return *typed;
    }
};

// The global scope, a module (all its blocks) or an interface; its names are in the
// Lowering's NameIndex.
struct Scope {
    Scope* parent = nullptr;
    Symbol* owner = nullptr;  // null for the global scope
    // The enclosing module names, this one's included (a class's scope list); an interface's
    // scope leaves it empty and has its module's.
    std::vector<std::string> modules;
    unsigned visited = 0;  // the last search of inherited names that came here
    // An interface's: what each name searched for in its ancestors found there (or null),
    // kept once every class's parents are known.
    std::unique_ptr<std::unordered_map<std::string, Symbol*>> inherited;
};

// Every declared name of the unit, by its scope and its lower-case spelling. Names of one
// scope that differ only in case are refused, so a scope has at most one symbol per spelling
// in lower case. Open addressing: no node per name, and the keys are the symbols' own names.
class NameIndex {
  public:
    // The symbol of `scope` whose name equals `name` but for case, or null.
    Symbol* folded(const Scope* scope, std::string_view name) const;
    // The symbol of `scope` named `name`, or null.
    Symbol* find(const Scope* scope, std::string_view name) const;
    // Where a name goes in the index: its hash and the free slot found for it.
    struct Place {
        std::size_t hash = 0;
        std::size_t at = 0;
    };
    // As folded(), in a table with room for one more name; when it finds none, `place` is
    // where add() puts a symbol of that name: a name is hashed and looked for once.
    Symbol* foldedOrPlace(const Scope* scope, std::string_view name, Place& place);
    // Adds a symbol that no symbol of its scope equals but for case, at the place that
    // foldedOrPlace() gave for its name (nothing added since).
    void add(Symbol* s, const Place& place);

  private:
    struct Slot {
        Symbol* symbol = nullptr;
        std::size_t hash = 0;
        explicit operator bool() const { return symbol; }
    };
    static std::size_t hashOf(const Scope* scope, std::string_view name);
    std::size_t indexOf(const Scope* scope, std::string_view name, std::size_t hash) const;
    OpenTable<Slot> table_;
};

// What a simple name looked up from a scope found, kept once every declaration is known: a
// class's methods name the same few types, each searched for through the enclosing scopes and
// the class's ancestors once. Open addressing by the scope and the found symbol's own name;
// a name that finds nothing is not kept (it is an error). Emptied for each class lowered, so
// that it holds the names of one class.
class FoundIndex {
  public:
    void clear() { table_ = {}; }
    static std::size_t hashOf(const Scope* from, std::string_view name) {
        return pointerHash(from) ^ textHash(name);
    }
    // The symbol found before for `name` from `from`, or null; `hash`: hashOf(from, name).
    Symbol* find(const Scope* from, std::string_view name, std::size_t hash) const;
    void add(const Scope* from, Symbol* found, std::size_t hash);

  private:
    struct Slot {
        const Scope* from = nullptr;
        Symbol* found = nullptr;
        std::size_t hash = 0;
        explicit operator bool() const { return found; }
    };
    OpenTable<Slot> table_;
};

// The module names around a scope, outermost first (a class's scope list).
const std::vector<std::string>& modulesOf(const Scope* scope);
// `name` after the names of the modules and interfaces around `scope`, outermost first, each
// followed by `separator`: "Zoo::Animal::Kind" for "::", "Zoo_Animal_Kind" for "_".
std::string scopedText(const Scope* scope, std::string_view name, std::string_view separator);

// The name the host model and the header use for an IDL name: a C or C++ keyword, and for a
// parameter also an implicit argument's name (kavSelf, ev, ctx), gets the prefix "_cxx_"; so
// do struct and union members, and the keyword in an accessor's name (_get_class).
std::string cxxName(const std::string& name, bool parameter = false);
// The same without a copy: `name` itself when it needs no prefix, else the prefixed name,
// held in `storage`.
std::string_view cxxName(const std::string& name, std::string& storage, bool parameter = false);

// "interface", "typedef": what a symbol is, for messages.
const char* kindName(Symbol::Kind k);
// "an interface", "a typedef".
std::string withArticle(Symbol::Kind k);
// The base type of an integer spelling ("short", "unsigned long", ...), null for other types.
const kavc::BaseType* integerType(const std::string& basic);

// Starts loading the member a few places after body[i]: a class's members lie apart in the
// heap, and a walk over them would otherwise wait for each in turn.
inline void prefetchMember(std::span<const std::unique_ptr<Decl>> body, std::size_t i) {
    constexpr std::size_t ahead = 8;
    if (i + ahead < body.size()) __builtin_prefetch(body[i + ahead].get());
}

// One run over the syntax tree: declare every name, resolve parents and their order, check the
// types and constants, then build each class (parents first) with the kavc builder.
class Lowering {
  public:
    Lowering(Diagnostics& diag, DeclarationPlaces* places) : diag_(diag), places_(places) {}

    std::vector<Entry*> run(Specification& spec);

  private:
    // declaring
    Scope* newScope(Scope* parent, Symbol* owner, bool isModule);
    Symbol* declare(Scope* scope, Symbol::Kind kind, const std::string& name, Loc at);
    void redefinition(const std::string& name, Loc at, Symbol* previous);
    void declareAll(std::span<const std::unique_ptr<Decl>> decls, Scope* scope, Entry* module,
                    bool topLevel);
    void declareInterface(Decl& d, Scope* scope, Entry* module);
    void declareMember(Decl& d, Scope* scope);
    void addToWalk(Symbol* sym, std::string_view nameInC);
    void checkNotRuntimeName(Symbol* sym, std::string_view nameInC);
    void addBuiltins();
    void notInTheModel(const Decl& d);
    void checkRaises(Scope* scope, const SparseList<ScopedName>& raises);
    void checkRepositoryNames();
    void checkClassNames();
    void checkMetaclassNames();

    // names
    Symbol* findIn(Scope* scope, const std::string& name);
    Symbol* findInherited(Scope* scope, const std::string& name);
    Symbol* lookup(Scope* from, const ScopedName& name);
    Symbol* lookupFrom(Scope* from, const std::string& name);

    // inheritance
    void resolveParents(Symbol* cls);
    void limitInheritanceDepth(const std::vector<Symbol*>& ordered);
    struct Visit {
        Symbol* cls;
        std::size_t next;  // the index of the next parent to visit
    };
    void order(Symbol* first, std::vector<Visit>& stack, std::vector<Symbol*>& out);
    bool derivesFrom(Symbol* cls, Symbol* ancestor);

    // types and constants
    TypeCode* baseTypeCode(const TypeSpec& t);
    TypeCode* resolveType(const TypeSpec& t, Scope* scope);
    TypeCode* withDims(TypeCode* base, const Declarator& d, Scope* scope);
    TypeCode* typeOf(Symbol* sym, Loc use);
    TypeCode* shellOf(Symbol* sym);
    void checkDeclaration(Symbol* sym);
    std::string cName(Symbol* sym) const;
    std::optional<Value> evaluate(const Expr& e, Scope* scope);
    std::optional<Value> evaluateNode(const Expr& e, Scope* scope);
    std::optional<Value> constValue(Symbol* sym, Loc use);
    std::optional<unsigned long> positive(const Expr& e, Scope* scope, const char* what);
    const TypeSpec* basicOf(const TypeSpec& t, Scope* scope, Scope*& at, Symbol*& enumSym);
    void unknownType(const TypeSpec& t, Scope* scope);
    enum class Wanted { Type, Interface, Exception, Value };  // what an unknown name should name
    std::string suggestion(Scope* from, const ScopedName& name, Wanted wanted, Symbol*& meant);
    void unknownName(Loc at, const std::string& message, Scope* from, const ScopedName& name, Wanted wanted);
    std::vector<std::string_view> memberNames(Symbol* cls);
    std::vector<std::string_view> inheritedMethodNames(Entry* cls);
    template <typename Candidates>
    std::string offer(std::string_view name, Candidates candidates);
    bool fits(const TypeSpec& type, Scope* scope, Value& v, Loc at);
    Entry* classEntry(Symbol* cls);

    // classes
    void lowerClass(Symbol* cls);
    void releaseMember(Symbol* cls, std::unique_ptr<Decl>& member);
    void releaseMembers(Symbol* cls);
    void lowerOperation(Symbol* cls, const Decl& d);
    void lowerFactory(Symbol* cls, const Decl& d);
    void addParams(Symbol* cls, Entry* method, const Decl& d);
    void lowerState(Symbol* cls, const Decl& d);
    void checkNotInherited(Symbol* cls, const std::string& name, Loc at);
    void checkNotInherited(Symbol* cls, const std::string& name, kavc::Interned host, Loc at);
    void lowerImplementation(Symbol* cls);
    void checkInnerDeclaration(Symbol* cls, const Decl& d);
    bool checkModifierName(const Modifier& m);
    void classModifier(Symbol* cls, const ImplStmt& s);
    void overrideOrReintroduce(Symbol* cls, const ImplStmt& s, const ScopedName& target);
    bool overridable(Symbol* cls, std::string_view name);
    void checkClassMethodOverrides(Symbol* cls);
    void memberModifiers(Symbol* cls, const ImplStmt& s, const ScopedName& target);
    // `what` names the receiver in messages: the quoted `target` when one is given (made only
    // for a message), else `text`.
    struct Receiver {
        const ScopedName* target = nullptr;
        std::string text;
        std::string what() const;
    };
    void addModifiers(Entry* e, const Receiver& receiver, const std::vector<Modifier>& mods);
    Symbol* nameInValue(Symbol* cls, const std::string& text, Loc at);
    std::string classValue(Symbol* cls, const Modifier& m);
    std::string directInitValue(Symbol* cls, Entry* e, const Modifier& m);
    Symbol* classNamed(Symbol* cls, const std::string& text, Loc at, const char* role);

    // Notes where the Entry `e` of class `cls` was declared; returns `e`.
    Entry* placed(Entry* cls, Entry* e, Loc at) {
        if (places_) places_->add(cls, e, at);
        return e;
    }

    Diagnostics& diag_;
    DeclarationPlaces* places_;
    std::deque<Symbol> symbols_;
    int suggestionsLeft_ = 20;  // "did you mean" searches left: over every symbol, or a class's and its ancestors' names
    std::deque<Scope> scopes_;
    NameIndex names_;
    FoundIndex found_;  // simple names looked up once parents are known
    unsigned searches_ = 0;  // searches of inherited names so far
    bool parentsKnown_ = false;  // every class's parents are resolved: inherited names stay
    std::vector<Scope*> searching_;  // the scopes a search is still to visit
    unsigned ancestorWalks_ = 0;  // walks of derivesFrom so far
    std::vector<Symbol*> ancestors_;  // the classes such a walk is still to visit
    Scope* global_ = nullptr;
    Symbol* kavObject_ = nullptr;
    std::vector<Symbol*> interfaces_;   // definitions, in declaration order
    // The first class of each C name that starts with M_, as an implicit metaclass's does (the
    // host interns names: one pointer each). Most units have none.
    PointerMap<const Symbol*> namedLikeMetaclasses_;
    std::vector<Symbol*> walk_;  // class definitions, types, constants, exceptions: in declaration order
    std::unordered_map<const Decl*, Entry*> moduleBlocks_;
    std::vector<const Decl*> mainTopLevel_;
    std::vector<std::pair<const Decl*, Scope*>> repositoryNames_;  // typeid, typeprefix, import
    std::array<TypeCode*, kavc::baseTypeCount> basicTypes_{};  // by TypeSpec::baseType - 1, once found
    std::size_t memberCursor_ = 0;  // the next symbol of the class being lowered to release
    int depth_ = 0;
    int evaluationDepth_ = 0;
    std::string hostName_;  // a member's prefixed host name (cxxName), reused

    // per class being lowered
    Symbol* class_ = nullptr;
    // by host name; the keys are the Entries' own (interned) names
    NameMap<Entry*> dataEntries_;
    NameMap<Entry*> reintroduced_;
    NameMap<Entry*> attributes_;
    std::vector<std::pair<Symbol*, Entry*>> parentRefs_;
    std::vector<std::pair<Entry*, Loc>> overrides_;  // the class's overrides and where they are declared
    // The modifiers given so far, by entry and interned modifier name (or, for a modifier of
    // the class named after an inherited method, the method's name); over all classes, since
    // a class may give modifiers to its metaclass.
    GivenModifiers modsGiven_;
};

}  // namespace kc::lowering
