// Lowering a class: its parents, operations, attributes and implementation section, and the
// run over the whole unit.
#include "kc/lowering.h"

#include "host/option_table.h"

#include <algorithm>
#include <deque>
#include <map>
#include <unordered_set>

namespace kc {

namespace lowering {

// ---- classes -------------------------------------------------------------------------------

std::vector<Entry*> Lowering::run(Specification& spec) {
    global_ = newScope(nullptr, nullptr, false);
    addBuiltins();
    declareAll(spec.decls, global_, nullptr, true);
    checkClassNames();
    for (Symbol* cls : interfaces_) resolveParents(cls);
    parentsKnown_ = true;
    checkRepositoryNames();

    std::vector<Symbol*> ordered;
    std::vector<Visit> stack;
    for (Symbol* cls : interfaces_) order(cls, stack, ordered);
    limitInheritanceDepth(ordered);

    // Declarations are checked and classes built in declaration order, so that messages
    // follow the source; a class whose parent is defined after it is built after that parent,
    // when its own place comes. A type declared in a class is checked with the class.
    size_t built = 0;
    for (Symbol* sym : walk_) {
        if (sym->kind != Symbol::Interface) {
            Symbol* holder = sym->owner->owner;
            if (!holder || holder->kind != Symbol::Interface || holder->broken) checkDeclaration(sym);
            continue;
        }
        for (const std::uint32_t at = sym->iface->place; at != UINT32_MAX && built <= at; ++built)
            if (!ordered[built]->broken) lowerClass(ordered[built]);
    }
    checkMetaclassNames();

    PointerMap<Entry*> classOf;
    classOf.reserve(interfaces_.size());
    for (Symbol* cls : interfaces_) classOf.insert(cls->decl, cls->iface->entry);
    std::vector<Entry*> toEmit;
    for (const Decl* d : mainTopLevel_) {
        if (d->kind == Decl::Module) {
            toEmit.push_back(moduleBlocks_[d]);
        } else if (Entry* const* found = classOf.find(d)) {
            toEmit.push_back(*found);
        }
    }
    return toEmit;
}

// Bounds on the inheritance graph: a class may stand at most maxInheritanceDepth levels below
// its furthest root, and list at most maxParents parents (the host and the emitter walk a
// class's ancestors once for each of its parents). `ordered` lists parents first.
void Lowering::limitInheritanceDepth(const std::vector<Symbol*>& ordered) {
    for (Symbol* cls : ordered) {
        int d = 1;
        for (Symbol* parent : cls->iface->parents) {
            d = std::max(d, parent->iface->depth + 1);  // 0 for a class not ordered (built in)
            if (parent->broken) cls->broken = true;
        }
        cls->iface->depth = d;
        if (d > maxInheritanceDepth && !cls->broken) {
            diag_.error(cls->loc, "inheritance too deep: " + quote(cls->name) + " stands more than " +
                                      std::to_string(maxInheritanceDepth) + " levels below its root class");
            cls->broken = true;
        }
        const std::size_t parents = cls->iface->parents.size();
        if (parents > static_cast<std::size_t>(maxParents) && !cls->broken) {
            diag_.error(cls->loc, "too many parents: " + quote(cls->name) + " lists " + std::to_string(parents) +
                                      " parents, more than " + std::to_string(maxParents));
            cls->broken = true;
        }
    }
}

void Lowering::lowerClass(Symbol* cls) {
    Entry* entry = cls->iface->entry;
    class_ = cls;
    found_.clear();
    memberCursor_ = cls->iface->firstMember;
    dataEntries_.clear();
    reintroduced_.clear();
    attributes_.clear();
    parentRefs_.clear();
    overrides_.clear();

    for (size_t i = 0; i < cls->iface->parents.size(); ++i)
        parentRefs_.emplace_back(cls->iface->parents[i], placed(entry, kavc::addParent(entry, classEntry(cls->iface->parents[i]),
                                                                               cls->iface->parentLocs[i].line),
                                                         cls->iface->parentLocs[i]));

    if (cls->decl->more().boxed) {
        // A value box holds one public value of the boxed type.
        TypeCode* type = resolveType(cls->decl->type, cls->owner);
        kavc::addMod(placed(entry, kavc::addData(entry, "value", type ? type : kavc::basicType("long"), cls->loc.line),
                            cls->decl->type.loc),
                     darurov::optionName(darurov::Option::publicData));
    }
    for (std::size_t i = 0; i < cls->decl->body.size(); ++i) {
        std::unique_ptr<Decl>& member = cls->decl->body[i];
        prefetchMember(cls->decl->body, i);
        const Decl& d = *member;
        checkInnerDeclaration(cls, d);
        if (d.kind == Decl::Operation) {
            lowerOperation(cls, d);
        } else if (d.kind == Decl::Factory) {
            lowerFactory(cls, d);
        } else if (d.kind == Decl::State) {
            lowerState(cls, d);
        } else if (d.kind == Decl::Attribute) {
            checkRaises(cls->inner, d.more().getraises);
            checkRaises(cls->inner, d.more().setraises);
            TypeCode* type = resolveType(d.type, cls->inner);
            if (!type) type = kavc::basicType("long");
            for (const Declarator& name : d.more().declarators) {
                std::string host = cxxName(name.name);
                checkNotInherited(cls, "_get_" + host, name.loc);
                if (!d.more().readonly) checkNotInherited(cls, "_set_" + host, name.loc);
                Entry* attribute = placed(entry, kavc::addAttribute(entry, host, type, d.more().readonly, name.loc.line), name.loc);
                attributes_.set(attribute->name, attribute);
            }
        }
        if (d.kind == Decl::Operation || d.kind == Decl::Factory || d.kind == Decl::State || d.kind == Decl::Attribute)
            releaseMember(cls, member);
    }
    if (cls->iface->implementation) lowerImplementation(cls);
    kavc::finishClass(entry);
    releaseMembers(cls);
}

// An operation, attribute or state member lives on in the host model once it is built: the
// rest of the unit only looks its names up, and their symbols keep their kind and place.
// Members are built in the order they were declared, so their symbols come in turn among the
// class's symbols, between those of its nested types and constants (which stay).
void Lowering::releaseMember(Symbol* cls, std::unique_ptr<Decl>& member) {
    for (; memberCursor_ < cls->iface->endMember; ++memberCursor_) {
        Symbol& s = symbols_[memberCursor_];
        if (s.kind != Symbol::Operation && s.kind != Symbol::Attribute && s.kind != Symbol::State) continue;
        if (s.decl != member.get()) break;  // a later member's
        s.decl = nullptr;
    }
    member.reset();
}

// A built class keeps its nested types and constants, which later declarations may use; its
// implementation section and the members released while it was built leave the tree.
void Lowering::releaseMembers(Symbol* cls) {
    cls->iface->implementation = nullptr;
    cls->iface->data.reset();
    auto& body = cls->decl->body;
    body.eraseIf([](const std::unique_ptr<Decl>& d) { return !d || d->kind == Decl::Implementation; });
    body.shrink_to_fit();
}

// The types, constants and exceptions a class declares are checked at their place in it.
void Lowering::checkInnerDeclaration(Symbol* cls, const Decl& d) {
    auto check = [&](const std::string& name) {
        Symbol* s = names_.find(cls->inner, name);
        if (s && s->decl == &d) checkDeclaration(s);
    };
    switch (d.kind) {
        case Decl::Typedef:
            for (const Declarator& dd : d.more().declarators) check(dd.name);
            break;
        case Decl::Struct: case Decl::Union: case Decl::Exception: case Decl::Const: case Decl::Native:
        case Decl::Enum: check(d.name); break;
        default: break;
    }
}

// A method name that an ancestor introduces already (silenced with the host flag that also
// silences the emitter's report of one name introduced by two classes).
void Lowering::checkNotInherited(Symbol* cls, const std::string& name, Loc at) {
    checkNotInherited(cls, name, kavc::intern(cxxName(name)), at);
}

// The same for a method about to be added under the host name `host`.
void Lowering::checkNotInherited(Symbol* cls, const std::string& name, kavc::Interned host, Loc at) {
    if (kavtg_f[darurov::duplicateCheckOffWord] & darurov::duplicateCheckOffBit) return;
    Entry* inherited = kavc::findInheritedMethod(cls->iface->entry, host);
    if (!inherited) return;
    std::string introducer;
    kavtsatos(inherited->cls->scopedName, "::", introducer);  // "::Zoo::Animal": the IDL name
    diag_.error(at, quote(name) + " is already introduced by " + quote(introducer.substr(2)) +
                        "; write '" + name + ": reintroduce;' in the implementation section to declare it again");
}

void Lowering::lowerOperation(Symbol* cls, const Decl& d) {
    const kavc::Interned host = kavc::intern(cxxName(d.name, hostName_));
    checkNotInherited(cls, d.name, host, d.loc);
    Scope* scope = cls->inner;
    TypeCode* result = resolveType(d.type, scope);
    Entry* method = placed(cls->iface->entry, kavc::addMethod(cls->iface->entry, host, result ? result : kavc::basicType("void"), d.loc.line), d.loc);
    addParams(cls, method, d);
    for (const Param& p : d.params)
        if (d.oneway && p.mode != 1) diag_.error(p.loc, "a oneway operation has only 'in' parameters");
    if (d.oneway && !(d.type.kind == TypeSpec::Basic && d.type.basic() == "void"))
        diag_.error(d.type.loc, "a oneway operation returns void");
    checkRaises(scope, d.raises);
    if (d.more().hasContext) kavc::addContext(method);
}

void Lowering::addParams(Symbol* cls, Entry* method, const Decl& d) {
    // Most lists are short: a name is compared with the ones before it; a long list is indexed.
    constexpr std::size_t shortList = 8;
    std::map<std::string_view, Loc> index;
    for (std::size_t i = 0; i < d.params.size(); ++i) {
        const Param& p = d.params[i];
        const Declarator& dd = p.declarator;
        const Loc* first = nullptr;
        if (d.params.size() > shortList) {
            auto [at, isNew] = index.emplace(dd.name, dd.loc);
            if (!isNew) first = &at->second;
        } else {
            for (std::size_t j = 0; j < i && !first; ++j)
                if (d.params[j].declarator.name == dd.name) first = &d.params[j].declarator.loc;
        }
        if (first) {
            diag_.error(dd.loc, "redefinition of parameter " + quote(dd.name));
            diag_.note(*first, "previous declaration of " + quote(dd.name) + " was here");
        }
        TypeCode* type = withDims(resolveType(p.type, cls->inner), dd, cls->inner);
        kavc::addParam(method, cxxName(dd.name, hostName_, true), type ? type : kavc::basicType("long"), p.mode);
    }
}

// The object model keeps no exceptions of a method: the names are only checked.
void Lowering::checkRaises(Scope* scope, const SparseList<ScopedName>& raises) {
    for (const ScopedName& r : raises) {
        Symbol* e = lookup(scope, r);
        if (!e)
            unknownName(r.loc, "unknown exception " + quote(r.text()), scope, r, Wanted::Exception);
        else if (e->kind != Symbol::Exception)
            diag_.error(r.loc, quote(r.text()) + " is " + withArticle(e->kind) + ", not an exception");
    }
}

// A factory of a value type: a method that returns a new value of the type.
void Lowering::lowerFactory(Symbol* cls, const Decl& d) {
    const kavc::Interned host = kavc::intern(cxxName(d.name, hostName_));
    checkNotInherited(cls, d.name, host, d.loc);
    Entry* method = placed(cls->iface->entry, kavc::addMethod(cls->iface->entry, host, kavc::objrefType(cls->iface->entry), d.loc.line), d.loc);
    addParams(cls, method, d);
    checkRaises(cls->inner, d.raises);
}

// State members of a value type are data members marked "public" or "private".
void Lowering::lowerState(Symbol* cls, const Decl& d) {
    TypeCode* base = resolveType(d.type, cls->inner);
    for (const Declarator& dd : d.more().declarators) {
        Symbol* declared = names_.find(cls->inner, dd.name);
        if (!declared || declared->decl != &d) continue;  // reported
        TypeCode* type = withDims(base, dd, cls->inner);
        Entry* data = placed(cls->iface->entry, kavc::addData(cls->iface->entry, cxxName(dd.name, hostName_), type ? type : kavc::basicType("long"), dd.loc.line), dd.loc);
        kavc::addMod(data, darurov::optionName(d.more().isPublic ? darurov::Option::publicData : darurov::Option::privateData));
        dataEntries_.set(data->name, data);
    }
}

// typeid, typeprefix and import name something declared; repository ids have no place in
// the object model, so nothing else is kept.
void Lowering::checkRepositoryNames() {
    for (const auto& [d, scope] : repositoryNames_) {
        if (d->kind == Decl::Import && !d->more().text.empty()) continue;
        const ScopedName& target = *d->more().target;
        Symbol* sym = lookup(scope, target);
        if (!sym) {
            diag_.error(target.loc, quote(target.text()) + " was not declared" +
                                           (d->kind == Decl::Import ? "; kc reads declarations from #include files" : ""));
            continue;
        }
        if (d->kind == Decl::Import && sym->kind != Symbol::Module && sym->kind != Symbol::Interface)
            diag_.error(target.loc, "an import names a module, interface or value type; " +
                                        quote(target.text()) + " is " + withArticle(sym->kind));
    }
}

// What a modifier value names in the class's scope ("Food", "Zoo::Food", "::Zoo::Food").
Symbol* Lowering::nameInValue(Symbol* cls, const std::string& text, Loc at) {
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
    return lookup(cls->inner, name);
}

// The value of a modifier that names a class (select = Animal, migrate = Food): the header
// compares it with class names or writes it into identifiers, so a class of the unit is given
// by its C name. A name kc does not know stays as written (a passthru include may declare it).
std::string Lowering::classValue(Symbol* cls, const Modifier& m) {
    Symbol* named = nameInValue(cls, m.value, m.loc);
    return named && named->kind == Symbol::Interface ? classEntry(named)->name : m.value;
}

// The value of "directinitclasses": a list of ancestors, separated by commas, that the header
// finds by C name or IDL simple name. Each is written as a class name of the IDL, scoped or
// not, and given by its C name; blanks around a name are dropped. A name that is no ancestor
// is left out of the header, with a warning.
std::string Lowering::directInitValue(Symbol* cls, Entry* e, const Modifier& m) {
    std::string value;
    std::string_view rest = m.value;
    for (bool more = true; more;) {
        const std::size_t comma = rest.find(',');
        more = comma != std::string_view::npos;
        std::string_view written = rest.substr(0, comma);
        rest.remove_prefix(more ? comma + 1 : rest.size());
        written.remove_prefix(std::min(written.find_first_not_of(' '), written.size()));
        written.remove_suffix(written.size() - (written.find_last_not_of(' ') + 1));
        if (written.empty()) continue;
        std::string item(written);
        Symbol* named = nameInValue(cls, item, m.loc);
        if (named && named->kind == Symbol::Interface) item = classEntry(named)->name;
        if (!kavtAncestorClass(e, item.c_str()))
            diag_.warning(m.loc, quote(std::string(written)) + " in 'directinitclasses' is not an ancestor of " +
                                     quote(cls->name) + "; the header leaves it out", Group::directInit);
        value += value.empty() ? item : "," + item;
    }
    return value;
}

// A class named by a modifier value (metaclass, companion): a defined interface.
Symbol* Lowering::classNamed(Symbol* cls, const std::string& text, Loc at, const char* role) {
    Symbol* sym = nameInValue(cls, text, at);
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
    using darurov::Option;
    const Modifier& m = s.modifier();
    Entry* entry = cls->iface->entry;
    bool isMetaclass = m.name == darurov::optionName(Option::metaclass);
    if (isMetaclass || m.name == darurov::optionName(Option::companion)) {
        if (!m.hasValue) {
            diag_.error(m.loc, quote(m.name) + " needs a class name: " + m.name + " = Name;");
            return;
        }
        if (!modsGiven_.insert(entry, kavc::intern(m.name).text)) {
            diag_.error(m.loc, "duplicate modifier " + quote(m.name) + " on " + quote(cls->name));
            return;
        }
        Symbol* target = classNamed(cls, m.value, m.loc, m.name.c_str());
        if (!target) return;
        if (!isMetaclass) {
            kavc::setCompanion(entry, classEntry(target));
            return;
        }
        if (target == cls) {
            diag_.error(m.loc, "a class cannot be its own metaclass");
            return;
        }
        Symbol* root = names_.find(global_, "KAVClass");
        if (!derivesFrom(target, root)) {
            diag_.error(m.loc, "metaclass " + quote(m.value) + " does not derive from 'KAVClass'");
            return;
        }
        kavc::setMetaclass(entry, classEntry(target));
        return;
    }
    addModifiers(entry, Receiver{nullptr, "'" + cls->name + "'"}, {m});
}

namespace {

// The option table's row of a modifier name, or null: found through an index of the table's
// names (a modifier is asked for each member it is given to).
const darurov::OptionRow* modifierRow(std::string_view name) {
    static const NameMap<const darurov::OptionRow*> rows = [] {
        NameMap<const darurov::OptionRow*> index;
        for (const darurov::OptionRow& row : darurov::optionTable) index.insert(row.name, &row);
        return index;
    }();
    const darurov::OptionRow* const* row = rows.find(name);
    return row ? *row : nullptr;
}

bool isDeclaring(const std::string& name) {
    return name == darurov::optionName(darurov::Option::override) ||
           name == darurov::optionName(darurov::Option::reintroduce);
}

bool reintroduces(const ImplStmt& s) {
    for (const Modifier& m : s.modifiers)
        if (m.name == darurov::optionName(darurov::Option::reintroduce)) return true;
    return false;
}

// What is wrong with a modifier's value as the header would write it; empty when nothing is.
// Values reach the header as names or C text: a control character would break it (and a
// leading code 1 reads as "no value"). A descriptor is written as a C string, escaped.
std::string valueProblem(const std::string& name, const std::string& value) {
    const darurov::OptionRow* row = modifierRow(name);
    if (!row || row->id != darurov::Option::descriptor)
        for (unsigned char c : value)
            if (c < 0x20 || c == 0x7f)
                return "the value of modifier " + quote(name) + " contains a control character";
    if (row && row->id == darurov::Option::align) {
        bool digits = !value.empty() && value.size() <= 5 &&
                      value.find_first_not_of("0123456789") == std::string::npos;
        unsigned long n = digits ? std::stoul(value) : 0;
        if (n == 0 || n > 32768 || (n & (n - 1)) != 0)
            return "modifier 'align' takes an alignment in bytes, a power of two such as 4 or 8, not " +
                   quote(value);
    }
    return {};
}

// Modifiers whose value is compared with class names (a parent, the shadowed ancestor) or
// written into one (the ClassData a method migrates to).
bool namesAClass(const std::string& name) {
    for (darurov::Option id : {darurov::Option::select, darurov::Option::shadow, darurov::Option::migrate})
        if (name == darurov::optionName(id)) return true;
    return false;
}

// The modifier names of the option table, for "did you mean".
const std::vector<std::string_view>& modifierNames() {
    static const std::vector<std::string_view> names = [] {
        std::vector<std::string_view> all;
        for (const darurov::OptionRow& row : darurov::optionTable)
            if (row.kinds != darurov::globalOption) all.push_back(row.name);
        return all;
    }();
    return names;
}

}  // namespace

// A modifier name that neither kc, the host nor the emitter reads is kept for other emitters;
// one close to a known name is most likely a misspelling of it and is warned about. False
// when a known modifier that needs a value (a name, prefix or number, which written bare
// would reach the header as a control character) lacks it.
bool Lowering::checkModifierName(const Modifier& m) {
    const darurov::OptionRow* row = modifierRow(m.name);
    if (!row || row->kinds == darurov::globalOption) {
        std::string best = closestSpelling(m.name, modifierNames());
        if (!best.empty())
            diag_.warning(m.loc, "unknown modifier " + quote(m.name) + "; did you mean " + quote(best) + "?",
                          Group::unknownModifier);
        else
            diag_.warning(m.loc, "modifier " + quote(m.name) + " is read by neither kc nor this emitter; it is kept for "
                                 "other emitters", Group::unknownModifier, true);
        return true;
    }
    // `apply` without a stub name is left to the emitter: it is fatal only where the header
    // writes its own stubs.
    if (!m.hasValue && row->value == darurov::OptionValue::required && row->id != darurov::Option::apply) {
        diag_.error(m.loc, "modifier " + quote(m.name) + " needs a value");
        return false;
    }
    return true;
}

std::string Lowering::Receiver::what() const { return target ? quote(target->text()) : text; }

void Lowering::addModifiers(Entry* e, const Receiver& receiver, const std::vector<Modifier>& mods) {
    for (const Modifier& m : mods) {
        if (isDeclaring(m.name)) continue;
        if (!checkModifierName(m)) continue;
        if (std::string problem = m.hasValue ? valueProblem(m.name, m.value) : ""; !problem.empty()) {
            diag_.error(m.loc, problem);
            continue;
        }
        if (!modsGiven_.insert(e, kavc::intern(m.name).text)) {
            diag_.error(m.loc, "duplicate modifier " + quote(m.name) + " on " + receiver.what());
            continue;
        }
        std::string value = !m.hasValue ? m.value
                            : namesAClass(m.name) ? classValue(class_, m)
                            : m.name == darurov::optionName(darurov::Option::directinitclasses) ? directInitValue(class_, e, m)
                            : m.value;
        kavc::addMod(e, m.name, m.hasValue ? value.c_str() : nullptr);
    }
}

void Lowering::overrideOrReintroduce(Symbol* cls, const ImplStmt& s, const ScopedName& target) {
    bool isOverride = false, isReintroduce = false;
    for (const Modifier& m : s.modifiers) {
        bool o = m.name == darurov::optionName(darurov::Option::override);
        bool r = m.name == darurov::optionName(darurov::Option::reintroduce);
        if ((o || r) && m.hasValue) diag_.error(m.loc, quote(m.name) + " takes no value");
        isOverride |= o;
        isReintroduce |= r;
    }
    if (!isOverride && !isReintroduce) return;
    std::string storage;
    const std::string_view host = cxxName(target.parts.back(), storage);
    auto name = [&] { return std::string(host); };  // for messages
    const char* what = isOverride ? "override" : "reintroduce";
    if (isOverride && isReintroduce) {
        diag_.error(target.loc, "a method cannot be both overridden and reintroduced");
        return;
    }
    if (target.parts.size() != 1 || target.absolute) {
        diag_.error(target.loc, std::string("only an inherited method's simple name can be given to ") + what);
        return;
    }
    Entry* entry = cls->iface->entry;
    if (Entry* own = kavc::findMethod(entry, host)) {
        if (own->type == kavtOverrideType)
            diag_.error(target.loc, quote(name()) + " is already overridden in " + quote(cls->name));
        else
            diag_.error(target.loc, quote(name()) + " is introduced by " + quote(cls->name) +
                                        " itself; only inherited methods can be given to " + what);
        return;
    }
    if (reintroduced_.find(host)) {
        diag_.error(target.loc, quote(name()) + " is already reintroduced in " + quote(cls->name));
        return;
    }
    Entry* inherited = kavc::findInheritedMethod(entry, host);
    if (!inherited) {
        diag_.error(target.loc, quote(cls->name) + " inherits no method " + quote(name()) + " to " + what +
                                    offer(host, [&] { return inheritedMethodNames(entry); }));
        return;
    }
    if (isOverride && !overridable(cls, host)) {
        diag_.error(target.loc, quote(cls->name) + " inherits " + quote(name()) +
                                    " only through a parent it lists more than once; list each parent once to override it");
        return;
    }
    if (isOverride)
        overrides_.emplace_back(placed(entry, kavc::addOverride(entry, inherited, target.loc.line), target.loc),
                                target.loc);
    else if (Entry* reintroduced = placed(entry, kavc::addReintroduce(entry, inherited, target.loc.line), target.loc))
        reintroduced_.set(reintroduced->name, reintroduced);
}

namespace {

// `parent` introduces the method `name` or inherits it.
bool hasMethod(Symbol* parent, std::string_view name) {
    Entry* own = kavc::findMethod(parent->iface->entry, name);
    return (own && own->type == kavtNewMethodType && !own->origin) ||
           kavc::findInheritedMethod(parent->iface->entry, name);
}

}  // namespace

// The header takes an overridden method from a parent that is the class's only path to
// itself: listed once, and inherited by no other parent. Some such parent must have it.
bool Lowering::overridable(Symbol* cls, std::string_view name) {
    const SparseList<Symbol*>& parents = cls->iface->parents;
    for (Symbol* p : parents) {
        bool onePath = std::count(parents.begin(), parents.end(), p) == 1;
        for (Symbol* q : parents)
            if (onePath && q != p && derivesFrom(q, p)) onePath = false;
        if (onePath && hasMethod(p, name)) return true;
    }
    return false;
}

// The metaclass part of the header lists the parents by their metaclasses, each metaclass
// once, under the first parent that has it (the host's rule), and searches those parents (and
// the root metaclass) for an overridden class method. A parent shown under an earlier one is
// not searched, so it cannot be the only one that has the method. Checked once the section
// has given its modifiers: `class` may come after the override.
void Lowering::checkClassMethodOverrides(Symbol* cls) {
    const char* classModifier = darurov::optionName(darurov::Option::metaclassMember);
    Entry* rootMetaclass = kavc::findClass("KAVClass");
    std::vector<Entry*> shownBy;  // each parent's earlier parent of its metaclass, once a class method asks
    for (auto [method, at] : overrides_) {
        if (!kavtgetatt(method, classModifier)) continue;
        if (rootMetaclass && kavc::findMethod(rootMetaclass, method->name)) continue;
        if (shownBy.empty())
            for (const auto& ref : parentRefs_) shownBy.push_back(kavc::earlierWithSameMetaclass(ref.second));
        const std::pair<Symbol*, Entry*>* hidden = nullptr;  // a parent that has it, shown under an earlier one
        Entry* earlier = nullptr;
        bool found = false;
        for (std::size_t i = 0; i < parentRefs_.size() && !found; ++i) {
            if (!hasMethod(parentRefs_[i].first, method->name)) continue;
            found = !shownBy[i];
            if (!found && !hidden) hidden = &parentRefs_[i], earlier = shownBy[i];
        }
        if (found || !hidden) continue;
        Symbol* p = hidden->first;
        Symbol* q = std::find_if(parentRefs_.begin(), parentRefs_.end(),
                                 [&](const auto& ref) { return ref.second == earlier; })->first;
        diag_.error(at, quote(cls->name) + " inherits class method " + quote(method->name) + " from " +
                            quote(p->name) + ", whose metaclass " + quote(kavc::metaclassName(p->iface->entry)) +
                            " the earlier parent " + quote(q->name) + " has too; list " + quote(p->name) +
                            " before " + quote(q->name) + " to override it");
    }
}

void Lowering::memberModifiers(Symbol* cls, const ImplStmt& s, const ScopedName& target) {
    Entry* entry = cls->iface->entry;
    bool declaring = false;
    for (const Modifier& m : s.modifiers) declaring |= isDeclaring(m.name);
    std::string storage;
    const std::string_view name = cxxName(target.parts.back(), storage);
    const Receiver receiver{&target, {}};
    bool simple = target.parts.size() == 1 && !target.absolute;

    if (simple) {
        if (Entry* const* r = reintroduced_.find(name)) {
            addModifiers(*r, receiver, s.modifiers);
            return;
        }
        if (Entry* method = kavc::findMethod(entry, name)) {
            addModifiers(method, receiver, s.modifiers);
            return;
        }
        if (declaring) return;  // the override or reintroduction failed: already reported
        if (Entry* const* a = attributes_.find(name)) {
            addModifiers(*a, receiver, s.modifiers);
            return;
        }
        if (Entry* const* d = dataEntries_.find(name)) {
            addModifiers(*d, receiver, s.modifiers);
            return;
        }
    }
    // A parent reference (`Animal: abstract;`) or the explicit metaclass.
    Symbol* named = lookup(cls->inner, target);
    bool matched = false;
    for (auto& [parent, ref] : parentRefs_) {
        if (parent == named || (simple && parent->name == name)) {
            addModifiers(ref, receiver, s.modifiers);
            matched = true;
        }
    }
    if (matched) return;
    if (entry->metaclass && named && named->entry() == entry->metaclass) {
        addModifiers(entry->metaclass, receiver, s.modifiers);
        return;
    }
    // An inherited method that this class does not override: the modifier is the class's,
    // named after the method ("run" = "migrate=Other").
    if (simple && kavc::findInheritedMethod(entry, name)) {
        if (s.modifiers.size() != 1) {
            diag_.error(s.modifiers[1].loc, "an inherited method that is not overridden takes one modifier; "
                                            "override " + receiver.what() + " to give it more");
            return;
        }
        const Modifier& m = s.modifiers[0];
        if (!checkModifierName(m)) return;
        if (std::string problem = m.hasValue ? valueProblem(m.name, m.value) : ""; !problem.empty()) {
            diag_.error(m.loc, problem);
            return;
        }
        std::string value = !m.hasValue ? m.name : m.name + "=" + (namesAClass(m.name) ? classValue(cls, m) : m.value);
        if (!modsGiven_.insert(entry, kavc::intern(name).text)) {
            diag_.error(m.loc, "duplicate modifier for inherited method " + receiver.what());
            return;
        }
        kavc::addMod(entry, name, value.c_str());
        return;
    }
    std::vector<std::string_view> names = memberNames(cls);
    for (const auto& [parent, ref] : parentRefs_) names.push_back(parent->name);
    diag_.error(target.loc, receiver.what() + " is not a method, attribute, data member or parent of " + quote(cls->name) +
                                (simple ? didYouMean(name, names) : ""));
}

// The class's methods (its own chain) and data members, each data member once, for an offer.
std::vector<std::string_view> Lowering::memberNames(Symbol* cls) {
    std::vector<std::string_view> names;
    for (Entry* m = cls->iface->entry->methods; m; m = m->next) names.push_back(m->name);
    // The data members by name, as the class's index of them holds them: each name once, in order.
    std::vector<std::string_view> data;
    for (Entry* d = cls->iface->entry->data; d; d = d->next)
        if (dataEntries_.find(d->name)) data.push_back(d->name);
    std::sort(data.begin(), data.end());
    data.erase(std::unique(data.begin(), data.end()), data.end());
    names.insert(names.end(), data.begin(), data.end());
    return names;
}

// The names of the methods the class's ancestors introduce, for an offer.
std::vector<std::string_view> Lowering::inheritedMethodNames(Entry* cls) {
    std::vector<std::string_view> names;
    std::vector<Entry*> ancestors;
    PointerSet seen;
    auto parentsOf = [&](Entry* c) {
        for (Entry* ref = c->parents; ref; ref = ref->next)
            if (ref->cls && seen.insert(ref->cls)) ancestors.push_back(ref->cls);
    };
    parentsOf(cls);
    while (!ancestors.empty()) {
        Entry* ancestor = ancestors.back();
        ancestors.pop_back();
        for (Entry* m = ancestor->methods; m; m = m->next)
            if (m->type == kavtNewMethodType) names.push_back(m->name);
        parentsOf(ancestor);
    }
    return names;
}

// "; did you mean 'x'?" for the closest of the names `candidates` gives, or "". Each offer
// walks names of the whole class or its ancestors: only the first few messages get one.
template <typename Candidates>
std::string Lowering::offer(std::string_view name, Candidates candidates) {
    if (suggestionsLeft_ == 0) return "";
    --suggestionsLeft_;
    return didYouMean(name, candidates());
}

// One walk over the statements, in their order, so that messages follow the source. A
// statement that gives modifiers to a data member or an override declared further down waits
// for that declaration and is taken right after it.
void Lowering::lowerImplementation(Symbol* cls) {
    Entry* entry = cls->iface->entry;
    Scope* scope = cls->inner;
    const SparseList<ImplStmt>& stmts = cls->iface->implementation->more().impl;

    // The host name of a name of the section: the name itself, or a prefixed copy kept in
    // `prefixed` while the section is lowered.
    std::deque<std::string> prefixed;
    std::string storage;
    auto hostOf = [&](const std::string& name) -> std::string_view {
        const std::string_view host = cxxName(name, storage);
        return host.data() == name.data() ? host : std::string_view(prefixed.emplace_back(host));
    };

    // Where each override or reintroduction is declared: modifiers before it wait for it.
    NameMap<std::size_t> declaredAt;
    for (size_t i = 0; i < stmts.size(); ++i) {
        if (stmts[i].kind != ImplStmt::MemberModifiers) continue;
        bool declaring = false;
        for (const Modifier& m : stmts[i].modifiers) declaring |= isDeclaring(m.name);
        if (!declaring) continue;
        for (const ScopedName& t : stmts[i].targets)
            if (t.parts.size() == 1 && !t.absolute) declaredAt.insert(hostOf(t.parts.back()), i);
    }
    auto declaredIn = [&](std::string_view name) {
        const std::size_t* at = declaredAt.find(name);
        return at ? *at : SIZE_MAX;
    };
    // Rare: only modifiers written before what they name wait.
    std::multimap<std::string, std::pair<const ImplStmt*, const ScopedName*>, std::less<>> waiting;
    auto declared = [&](std::string_view name) {
        if (waiting.empty()) return;
        auto [from, to] = waiting.equal_range(name);
        std::vector<std::pair<const ImplStmt*, const ScopedName*>> ready;
        for (auto w = from; w != to; ++w) ready.push_back(w->second);
        waiting.erase(from, to);
        for (auto [stmt, target] : ready) memberModifiers(cls, *stmt, *target);
    };

    const ImplStmt* releaseOrder = nullptr;
    std::vector<std::string> releaseNames;
    for (size_t i = 0; i < stmts.size(); ++i) {
        const ImplStmt& s = stmts[i];
        switch (s.kind) {
            case ImplStmt::DataMember: {
                TypeCode* base = resolveType(s.data().type, scope);
                for (const Declarator& dd : s.data().declarators) {
                    if (cls->iface->dataMember(dd.name) != &dd) continue;  // reported
                    TypeCode* type = withDims(base, dd, scope);
                    Entry* data = placed(entry, kavc::addData(entry, cxxName(dd.name, storage), type ? type : kavc::basicType("long"), dd.loc.line), dd.loc);
                    dataEntries_.set(data->name, data);
                    declared(data->name);
                }
                break;
            }
            case ImplStmt::MemberModifiers:
                for (const ScopedName& target : s.targets) overrideOrReintroduce(cls, s, target);
                for (const ScopedName& target : s.targets) {
                    const std::string_view name = cxxName(target.parts.back(), storage);
                    bool simple = target.parts.size() == 1 && !target.absolute;
                    const std::size_t later = declaredIn(name);
                    bool laterData = cls->iface->dataMember(target.parts.back()) && !dataEntries_.find(name);
                    if (simple && ((later != SIZE_MAX && later > i) || laterData))
                        waiting.emplace(std::string(name), std::make_pair(&s, &target));
                    else
                        memberModifiers(cls, s, target);
                    if (later == i) declared(name);
                }
                break;
            case ImplStmt::ReleaseOrder: {
                if (releaseOrder) {
                    diag_.error(s.loc, "a second release order for " + quote(cls->name));
                    diag_.note(releaseOrder->loc, "the first one is here");
                    break;
                }
                releaseOrder = &s;
                NameMap<bool> seen;
                seen.reserve(s.names().size());
                releaseNames.reserve(s.names().size());
                for (const auto& [name, at] : s.names()) {
                    if (!seen.insert(name, true).second) {
                        diag_.error(at, quote(name) + " appears twice in the release order");
                        continue;
                    }
                    const std::string_view host = cxxName(name, storage);
                    // A method of the class, a data member or a reintroduced method, wherever
                    // the section declares it.
                    const std::size_t decl = declaredIn(host);
                    bool known = kavc::findMethod(entry, host) || cls->iface->dataMember(name) ||
                                 (decl != SIZE_MAX && reintroduces(stmts[decl]));
                    if (!known)
                        diag_.warning(at, quote(name) + " in the release order is not a method or data member of " +
                                              quote(cls->name) + "; its slot stays empty" +
                                              offer(host, [&] { return memberNames(cls); }),
                                      Group::releaseOrder);
                    releaseNames.emplace_back(host);
                }
                break;
            }
            case ImplStmt::ClassModifier: classModifier(cls, s); break;
            case ImplStmt::Passthru: {
                std::string section;
                bool after = false;
                if (!passthruSection(s.passthruName(), section, after)) {
                    diag_.error(s.loc, "passthru name " + quote(s.passthruName()) +
                                           " must read <language>_<kind>[_after], e.g. C_xih");
                    break;
                }
                kavc::addPassthru(entry, section, after, s.passthruText());
                break;
            }
        }
    }
    for (auto& [name, w] : waiting) memberModifiers(cls, *w.first, *w.second);  // a declaration failed
    if (releaseOrder) kavc::setReleaseOrder(entry, releaseNames);
    checkClassMethodOverrides(cls);
}

}  // namespace lowering

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

std::vector<Entry*> lower(Specification& spec, Diagnostics& diag, DeclarationPlaces* places) {
    lowering::Lowering pass(diag, places);
    return pass.run(spec);
}

void DeclarationPlaces::add(Entry* cls, Entry* e, Loc at) {
    places_.push_back(Place{cls, e, at});
    byEntry_.clear();
    byLine_.clear();
}

namespace {

// The indexes of `places` ordered by `key`, equal keys in the order they were noted.
template <class Place, class Key>
void sortedIndex(const std::vector<Place>& places, std::vector<std::uint32_t>& index, Key key) {
    if (!index.empty()) return;
    index.resize(places.size());
    for (std::uint32_t i = 0; i < index.size(); ++i) index[i] = i;
    std::stable_sort(index.begin(), index.end(),
                     [&](std::uint32_t a, std::uint32_t b) { return key(places[a]) < key(places[b]); });
}

// The first and past-the-last index of `index` whose place has the key `want`.
template <class Place, class Key, class Value>
std::pair<const std::uint32_t*, const std::uint32_t*> equalKeys(const std::vector<Place>& places,
                                                                const std::vector<std::uint32_t>& index,
                                                                Key key, Value want) {
    const std::uint32_t* from = std::partition_point(index.data(), index.data() + index.size(),
                                                     [&](std::uint32_t i) { return key(places[i]) < want; });
    const std::uint32_t* to = std::partition_point(from, index.data() + index.size(),
                                                   [&](std::uint32_t i) { return !(want < key(places[i])); });
    return {from, to};
}

}  // namespace

Loc DeclarationPlaces::of(Entry* e) const {
    auto key = [](const Place& p) { return reinterpret_cast<std::uintptr_t>(p.entry); };
    sortedIndex(places_, byEntry_, key);
    auto [from, to] = equalKeys(places_, byEntry_, key, reinterpret_cast<std::uintptr_t>(e));
    return from != to ? places_[*from].at : Loc{};
}

Loc DeclarationPlaces::find(Entry* cls, int line) const {
    if (line == 0) return of(cls);
    auto key = [](const Place& p) { return p.at.line; };
    sortedIndex(places_, byLine_, key);
    auto [from, to] = equalKeys(places_, byLine_, key, line);
    if (from == to) return Loc{};
    for (auto p = from; p != to; ++p)
        if (places_[*p].cls == cls) return places_[*p].at;
    return places_[*from].at;
}

}  // namespace kc
