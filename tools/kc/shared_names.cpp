#include "kc/shared_names.h"

#include "host/open_table.h"
#include "host/option_table.h"
#include "kavc/model.h"

#include <cctype>
#include <cstdint>
#include <cstring>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>

namespace kc {

namespace {

using darurov::Option;

bool has(Entry* e, Option modifier) { return kavtgetatt(e, darurov::optionName(modifier)) != nullptr; }
bool optionGiven(Option option) { return kavtgetgatt(darurov::optionName(option)) != nullptr; }

// A modifier's value, or "" when the class does not give it (a bare one reads as "\x01"); the
// host model holds the text.
std::string_view value(Entry* cls, Option modifier) {
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

// A pass of a class: the class itself (C) or its implicit metaclass (M_C).
struct Pass {
    Entry* cls;
    bool meta;
    std::string_view prefix() const { return meta ? "M_" : ""; }
    std::string name() const { return std::string(prefix()) + cls->name; }
};

// a + b and c + d are the same text (compared in pieces, nothing joined).
bool sameJoined(std::string_view a, std::string_view b, std::string_view c, std::string_view d) {
    if (a.size() + b.size() != c.size() + d.size()) return false;
    if (a.size() > c.size()) {
        std::swap(a, c);
        std::swap(b, d);
    }
    std::string_view middle = c.substr(a.size());  // c = a + middle, so b = middle + d
    return c.starts_with(a) && b.starts_with(middle) && b.substr(middle.size()) == d;
}

// Two passes of the same name (a class may be called M_C).
bool sameOwner(const Pass& p, const Pass& q) {
    return (p.cls == q.cls && p.meta == q.meta) || sameJoined(p.prefix(), p.cls->name, q.prefix(), q.cls->name);
}

// The prefixes of the names a pass declares: a class method's function carries the class's
// "classprefix", another method's its "externalprefix" or else the host's global prefix; a
// method's stubs and records carry "kavRD_" and the global prefix.
// The last class asked about is remembered: its names are declared together.
struct Prefixes {
    std::string_view host;
    std::string stubs;
    std::string_view of(Entry* cls, bool classMethod, bool stub) {
        if (stub) return stubs;
        if (cls != last) {
            last = cls;
            classPrefix = value(cls, Option::classprefix);
            externalPrefix = has(cls, Option::externalprefix) ? value(cls, Option::externalprefix) : host;
        }
        return classMethod ? classPrefix : externalPrefix;
    }

  private:
    Entry* last = nullptr;
    std::string_view classPrefix, externalPrefix;
};

// The hash of a text as a polynomial in its bytes, with the power of the base that its
// length gives: a declared name's hash (its prefix and the method's name, joined) comes from
// the hashes of its parts, so each method's name is read once for all the names it is in.
struct TextHash {
    std::uint32_t value = 0;
    std::uint32_t scale = 1;

    void add(char c) {
        value = value * base + static_cast<unsigned char>(c);
        scale *= base;
    }
    // The hash of this text followed by `after`.
    std::uint32_t then(const TextHash& after) const { return value * after.scale + after.value; }

  private:
    static constexpr std::uint32_t base = 16777619u;
};

TextHash hashOf(std::string_view text) {
    TextHash h;
    for (char c : text) h.add(c);
    return h;
}

TextHash hashOf(const char* text) {
    TextHash h;
    for (; *text; ++text) h.add(*text);
    return h;
}

// Every function and stub name that the header's passes declare, with the first pass that
// declares it: open addressing over slots of the method's interned name and the declaring
// pass, from which the prefix follows, so that no name is joined or copied.
class DeclaredNames {
  public:
    // `expected`: about how many names will be declared.
    DeclaredNames(const std::vector<Entry*>& classes, Prefixes& prefixes, std::size_t expected)
        : classes_(classes), prefixes_(prefixes) {
        table_.reserve(expected);
    }

    // The first pass that declares the name that pass `pass` of classes[index] declares for
    // `method` (its stubs' name when `stub`), and whether that is this one (a new name). `h`:
    // the name's hash (a TextHash of the joined name).
    std::pair<Pass, bool> declare(std::uint32_t index, bool meta, bool stub, const char* method, std::uint32_t h) {
        const std::string_view prefix = prefixes_.of(classes_[index], meta, stub);
        table_.makeRoom([](const Slot& s) { return s.hash; });
        std::size_t at = table_.indexOf(h, [&](const Slot& s) {
            if (s.hash != h) return false;
            Entry* cls = classes_[s.pass >> 2];
            return sameJoined(prefixes_.of(cls, s.pass & 2, s.pass & 1), s.method, prefix, method);
        });
        if (table_[at]) return {Pass{classes_[table_[at].pass >> 2], (table_[at].pass & 2) != 0}, false};
        table_.fill(at, Slot{method, h, index << 2 | (meta ? 2u : 0u) | (stub ? 1u : 0u)});
        return {Pass{classes_[index], meta}, true};
    }

  private:
    struct Slot {
        const char* method = nullptr;  // null: a free slot
        std::uint32_t hash = 0;
        std::uint32_t pass = 0;  // the class's index, then a bit for the metaclass pass and one for stubs
        explicit operator bool() const { return method; }
    };
    const std::vector<Entry*>& classes_;
    Prefixes& prefixes_;
    OpenTable<Slot> table_;
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
void checkMigrations(Entry* cls, const DeclarationPlaces& places, Diagnostics& diag) {
    for (Mod* mod = cls->mods; mod; mod = mod->next) {
        const char* at = mod->value ? std::strstr(mod->value, "migrate=") : nullptr;
        if (!at || !hasMethod(cls, mod->name)) continue;
        std::string target = at + std::strlen("migrate=");
        Entry* found = kavc::findClass(target);
        if (found && hasMethod(found, mod->name)) continue;
        diag.warning(places.of(cls),
                     "class " + quote(cls->name) + " migrates " + quote(mod->name) + " to " + quote(target) + ", " +
                         (found ? "which has no such method" : "which is no class of this file or its includes") +
                         "; the header names " + target + "ClassData." + mod->name +
                         ", which a header of the implementation must then declare", Group::migration);
    }
}

bool isInstanceMember(Entry* member, int meta) {
    return has(member, Option::metaclassMember) == (meta == 1) && !has(member, Option::staticdata);
}

// Each class's reintroduced methods (host-made copies), asked once for both checks.
class Reintroductions {
  public:
    explicit Reintroductions(const std::vector<Entry*>& classes) : lists_(classes.size()) {
        for (std::size_t i = 0; i < classes.size(); ++i) kavtGetReintroducedMethods(&lists_[i], classes[i]);
    }
    ~Reintroductions() {
        for (ReintroducedMethods& list : lists_) {
            for (int i = 0; i < list.count; ++i) kavtsmfree(list.methods[i], 0);
            kavtsmfree(list.methods, 0);
        }
    }
    Reintroductions(const Reintroductions&) = delete;
    Reintroductions& operator=(const Reintroductions&) = delete;
    const ReintroducedMethods& of(std::size_t index) const { return lists_[index]; }

  private:
    std::vector<ReintroducedMethods> lists_;
};

// Which classes have an ancestor with a method named like a data member. A class inherits
// the new methods of its ancestors (one without parents those of KAVObject), so a class none
// of whose ancestors has such a method lists none of what it inherits, and that list, long
// in a deep hierarchy, need not be read.
class DataNamedAncestors {
  public:
    explicit DataNamedAncestors(const PointerSet& dataNames) : dataNames_(dataNames) {}

    bool any(Entry* cls) {
        Parents parents = parentsOf(cls);
        while (Entry* parent = parents.next())
            if (reaches(parent)) return true;
        return false;
    }

  private:
    enum : std::uint8_t { walking = 1, no, yes };

    // A class's parents in turn; one without parents has KAVObject.
    struct Parents {
        Entry* ref;
        Entry* implied;
        Entry* next() {
            for (; ref; ref = ref->next)
                if (ref->cls) {
                    Entry* parent = ref->cls;
                    ref = ref->next;
                    return parent;
                }
            return std::exchange(implied, nullptr);
        }
    };
    Parents parentsOf(Entry* cls) const {
        bool none = true;
        for (Entry* ref = cls->parents; ref && none; ref = ref->next) none = !ref->cls;
        return {cls->parents, none && cls != root_ ? root_ : nullptr};
    }
    bool ownNamed(Entry* cls) const {
        for (Entry* m = cls->methods; m; m = m->next)
            if (dataNames_.contains(m->name)) return true;
        return false;
    }
    // `top` or an ancestor has such a method: each class is settled once, parents first, with
    // a stack of its own (a class met again while it is being walked counts as none).
    bool reaches(Entry* top) {
        auto enter = [&](Entry* cls) -> bool {  // false: settled already (or being walked)
            if (state_.find(cls)) return false;
            state_.set(cls, walking);
            stack_.push_back({cls, parentsOf(cls), ownNamed(cls)});
            return true;
        };
        enter(top);
        while (!stack_.empty()) {
            Visit& v = stack_.back();
            Entry* parent = v.found ? nullptr : v.parents.next();
            if (!parent) {
                const bool found = v.found;
                state_.set(v.cls, found ? yes : no);
                stack_.pop_back();
                if (found && !stack_.empty()) stack_.back().found = true;
                continue;
            }
            if (!enter(parent) && *state_.find(parent) == yes) stack_.back().found = true;
        }
        return *state_.find(top) == yes;
    }

    const PointerSet& dataNames_;
    Entry* root_ = kavc::findClass("KAVObject");
    PointerMap<std::uint8_t> state_;
    struct Visit {
        Entry* cls;
        Parents parents;  // those still to visit
        bool found;
    };
    std::vector<Visit> stack_;  // the classes being walked, reused
};

// The names of the header's data members, and each class's own methods named like one (in
// the order of its method list), gathered while the methods are walked for the function names.
struct DataNamed {
    PointerSet names;
    std::vector<Entry*> own;
    std::vector<std::size_t> ownEnds;  // those of classes[i] end at own[ownEnds[i]]

    explicit DataNamed(const std::vector<Entry*>& classes) {
        for (Entry* cls : classes)
            for (Entry* d = cls->data; d; d = d->next) names.insert(d->name);
        ownEnds.reserve(classes.size());
    }
    std::span<Entry* const> ownOf(std::size_t index) const {
        const std::size_t from = index ? ownEnds[index - 1] : 0;
        return {own.data() + from, ownEnds[index] - from};
    }
};

// The access macros: `_<member>` for each data member of a pass with instance data
// (VARIABLE_MACROS, outside the class's source selection, so every source of the header that
// defines VARIABLE_MACROS sees them all) and `_<method>` for each method of a pass (METHOD_MACROS,
// in the class's own source). A name that is both reads two ways: a source that selects the
// method's class and defines both sets does not compile.
void warnSharedAccessMacros(const std::vector<Entry*>& classes, const Reintroductions& reintroductions,
                            const DataNamed& dataNamed, const DeclarationPlaces& places, Diagnostics& diag) {
    struct Member {
        Pass owner;
        Entry* data;
    };
    // The host interns names, so one name is one pointer throughout.
    std::unordered_map<const char*, Member> variables;
    std::vector<std::pair<const char*, Pass>> methods;  // macro name, the pass
    // Only a data member's name can be shared, so only such methods are listed: every class
    // lists all it inherits, and that list grows with the square of a chain's length.
    const PointerSet& dataNames = dataNamed.names;
    // A method is listed when its pass declares it; a name no data member has is not listed,
    // and that method's modifiers are not read.
    auto listMethod = [&](Entry* m, Pass owner, bool inPass) {
        if (dataNames.contains(m->name) && (!inPass || has(m, Option::metaclassMember) == owner.meta))
            methods.emplace_back(m->name, owner);
    };
    DataNamedAncestors ancestors(dataNames);
    for (std::size_t index = 0; index < classes.size(); ++index) {
        Entry* cls = classes[index];
        const ReintroducedMethods& reintroduced = reintroductions.of(index);
        const bool inherits = ancestors.any(cls);
        const std::span<Entry* const> own = dataNamed.ownOf(index);
        for (int meta = 0; meta <= (kavtimplicitMeta(cls) ? 1 : 0); ++meta) {
            const Pass owner{cls, meta == 1};
            bool instanceData = false;
            for (Entry* d = cls->data; d; d = d->next) instanceData |= isInstanceMember(d, meta);
            for (Entry* d = cls->data; d && instanceData; d = d->next)
                if (has(d, Option::metaclassMember) == (meta == 1)) variables.emplace(d->name, Member{owner, d});
            for (MethodRef* ref = inherits ? cls->inheritedMethods : nullptr; ref; ref = ref->next)
                if (ref->method) listMethod(ref->method, owner, true);
            for (Entry* m = meta ? kavtkavcls->methods : nullptr; m; m = m->next) listMethod(m, owner, false);
            for (Entry* m : own) listMethod(m, owner, true);
            for (int i = 0; !meta && i < reintroduced.count; ++i) listMethod(reintroduced.methods[i], owner, false);
        }
    }
    // Each shared name once, with the member's own class when it has the method too.
    std::vector<const char*> shared;
    std::unordered_map<const char*, Pass> methodOwner;
    for (const auto& [name, owner] : methods) {
        auto member = variables.find(name);
        if (member == variables.end()) continue;
        auto [at, isNew] = methodOwner.emplace(name, owner);
        if (isNew) shared.push_back(name);
        if (sameOwner(owner, member->second.owner)) at->second = owner;
    }
    for (const char* name : shared) {
        const Member& member = variables.at(name);
        const std::string owner = methodOwner.at(name).name();
        diag.warning(places.of(member.data),
                     "the data member " + quote(name) + " of class " + quote(member.owner.name()) + " and the method " +
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
    Prefixes prefixes;
    prefixes.host = kavtclassPrefix ? kavtclassPrefix : "";
    prefixes.stubs = "kavRD_" + std::string(prefixes.host);

    const std::vector<Entry*> classes = headerClasses(toEmit);
    // Every name the passes declare, in the order they declare them, with its hash.
    struct Name {
        const char* method;
        std::uint32_t hash;
        std::uint32_t pass;  // the class's index, then a bit for the metaclass pass and one for stubs
    };
    std::vector<Name> names;
    std::vector<std::size_t> classEnds;  // names of classes[i] end at names[classEnds[i]]
    classEnds.reserve(classes.size());
    // The prefixes' hashes: the stubs' one, and the last function prefix's (a class's pass
    // declares all its functions with one prefix).
    const TextHash stubsHash = hashOf(prefixes.stubs);
    std::string_view lastPrefix;
    TextHash lastPrefixHash;
    auto prefixHash = [&](std::uint32_t index, bool meta, bool stubs) {
        if (stubs) return stubsHash;
        const std::string_view prefix = prefixes.of(classes[index], meta, false);
        if (prefix.data() != lastPrefix.data() || prefix.size() != lastPrefix.size()) {
            lastPrefix = prefix;
            lastPrefixHash = hashOf(prefix);
        }
        return lastPrefixHash;
    };
    // What the passes read of each method, gathered in the one walk over the class's methods
    // (a large class's method records do not stay in the cache until a second walk).
    struct Method {
        const char* name;
        TextHash hash;
        bool classMethod;
        bool declares;  // an override of a procedure or non-static method is refused (error 26)
        bool stubs;     // introduced here, with per-method stubs and records
    };
    std::vector<Method> methods;
    const Reintroductions reintroductions(classes);
    DataNamed dataNamed(classes);
    for (std::uint32_t index = 0; index < classes.size(); ++index) {
        Entry* cls = classes[index];
        const ReintroducedMethods& reintroduced = reintroductions.of(index);
        auto facts = [&](Entry* m) {
            const bool refused = m->type == kavtOverrideType && m->origin &&
                                 (has(m->origin, Option::procedure) || has(m->origin, Option::nonstatic) ||
                                  has(m->origin, Option::nonstaticaccessors));
            const bool introduced = m->type == kavtNewMethodType && (!m->origin || m->cls == cls);
            methods.push_back({m->name, hashOf(m->name), has(m, Option::metaclassMember), !refused,
                               introduced && perMethodNames && !has(m, Option::procedure)});
        };
        methods.clear();
        for (Entry* m = cls->methods; m; m = m->next) {
            facts(m);
            if (dataNamed.names.contains(m->name)) dataNamed.own.push_back(m);
        }
        dataNamed.ownEnds.push_back(dataNamed.own.size());
        for (int i = 0; i < reintroduced.count; ++i) facts(reintroduced.methods[i]);
        for (int meta = 0; meta <= (kavtimplicitMeta(cls) ? 1 : 0); ++meta) {
            for (const Method& m : methods) {
                if (m.classMethod != (meta == 1) || !m.declares) continue;
                for (bool stubs : {false, true}) {
                    if (stubs && !m.stubs) break;
                    names.push_back({m.name, prefixHash(index, m.classMethod, stubs).then(m.hash),
                                     index << 2 | (m.classMethod ? 2u : 0u) | (stubs ? 1u : 0u)});
                }
            }
        }
        classEnds.push_back(names.size());
    }

    // Two passes declare one name only if its hash comes twice: a set of bits finds the hashes
    // that do, and only their names go into the table of names, which then stays small.
    std::size_t bits = 64;
    while (bits < names.size() * 8) bits *= 2;
    std::vector<bool> once(bits), twice(bits);
    auto bit = [&](std::uint32_t h) { return static_cast<std::size_t>(h * 0x9E3779B9u) & (bits - 1); };
    std::size_t repeated = 0;
    for (const Name& n : names) {
        const std::size_t b = bit(n.hash);
        if (once[b])
            twice[b] = true;
        else
            once[b] = true;
    }
    for (const Name& n : names) repeated += twice[bit(n.hash)];

    DeclaredNames seen(classes, prefixes, repeated);
    std::set<std::pair<std::string, std::string>> reported;
    auto declare = [&](const Name& n) {
        const std::uint32_t index = n.pass >> 2;
        const bool meta = n.pass & 2, stubs = n.pass & 1;
        auto [first, isNew] = seen.declare(index, meta, stubs, n.method, n.hash);
        const Pass pass{classes[index], meta};
        if (isNew || sameOwner(first, pass)) return;
        const std::string firstOwner = first.name(), owner = pass.name();
        const std::string name = std::string(prefixes.of(pass.cls, meta, stubs)) + n.method;
        if (!reported.emplace(firstOwner + "/" + owner, name).second) return;
        // The modifier that would give a function another prefix; none does for stubs.
        const std::string_view separator =
            stubs ? "" : darurov::optionName(meta ? Option::classprefix : Option::externalprefix);
        std::string what = stubs ? "the stubs and records named after " + quote(name.substr(std::strlen("kavRD_")))
                                 : "the function " + quote(name);
        std::string text = "classes " + quote(firstOwner) + " and " + quote(owner) + " both declare " + what +
                           "; the header compiles for each class's own source, not for a source that "
                           "implements both (" + moduleSourceMacro() + "): ";
        text += separator.empty() ? std::string("no modifier separates them, so only one class of the file can introduce it")
                                  : "give one of them the modifier \"" + std::string(separator) + "\" to separate them";
        diag.warning(places.of(pass.cls), text, Group::sharedNames);
    };
    for (std::uint32_t index = 0; index < classes.size(); ++index) {
        checkMigrations(classes[index], places, diag);
        for (std::size_t i = index ? classEnds[index - 1] : 0; i < classEnds[index]; ++i)
            if (twice[bit(names[i].hash)]) declare(names[i]);
    }
    warnSharedAccessMacros(classes, reintroductions, dataNamed, places, diag);
}

}  // namespace kc
