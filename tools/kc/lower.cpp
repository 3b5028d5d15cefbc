// Lowering a class: its parents, operations, attributes and implementation section, and the
// run over the whole unit.
#include "kc/lowering.h"

#include <algorithm>

namespace kc {

namespace lowering {

// ---- classes -------------------------------------------------------------------------------

std::vector<Entry*> Lowering::run(const Specification& spec) {
    global_ = newScope(nullptr, nullptr, false);
    addBuiltins();
    declareAll(spec.decls, global_, nullptr, true);
    for (Symbol* cls : interfaces_) resolveParents(cls);
    checkRepositoryNames();

    std::vector<Symbol*> ordered, stack;
    std::set<Symbol*> visiting, done;
    for (Symbol* cls : interfaces_) order(cls, stack, visiting, done, ordered);
    limitInheritanceDepth(ordered);

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

// The host and the emitter walk ancestors by recursion: a class may stand at most
// maxInheritanceDepth levels below its furthest root. `ordered` lists parents first.
void Lowering::limitInheritanceDepth(const std::vector<Symbol*>& ordered) {
    std::map<Symbol*, int> depth;
    for (Symbol* cls : ordered) {
        int d = 1;
        for (Symbol* parent : cls->parents) {
            auto p = depth.find(parent);
            if (p != depth.end()) d = std::max(d, p->second + 1);
            if (parent->broken) cls->broken = true;
        }
        depth[cls] = d;
        if (d > maxInheritanceDepth && !cls->broken) {
            diag_.error(cls->loc, "inheritance too deep: " + quote(cls->name) + " stands more than " +
                                      std::to_string(maxInheritanceDepth) + " levels below its root class");
            cls->broken = true;
        }
    }
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

    if (cls->decl->boxed) {
        // A value box holds one public value of the boxed type.
        TypeCode* type = resolveType(cls->decl->type, cls->owner);
        kavc::addMod(kavc::addData(entry, "value", type ? type : kavc::basicType("long"), cls->loc.line), "public");
    }
    for (const auto& member : cls->decl->body) {
        const Decl& d = *member;
        if (d.kind == Decl::Operation) {
            lowerOperation(cls, d);
        } else if (d.kind == Decl::Factory) {
            lowerFactory(cls, d);
        } else if (d.kind == Decl::State) {
            lowerState(cls, d);
        } else if (d.kind == Decl::Attribute) {
            checkRaises(cls->inner, d.getraises);
            checkRaises(cls->inner, d.setraises);
            TypeCode* type = resolveType(d.type, cls->inner);
            if (!type) type = kavc::basicType("long");
            for (const Declarator& name : d.declarators) {
                checkNotInherited(cls, "_get_" + cxxName(name.name), name.loc);
                if (!d.readonly) checkNotInherited(cls, "_set_" + cxxName(name.name), name.loc);
                std::string host = cxxName(name.name);
                attributes_[host] = kavc::addAttribute(entry, host, type, d.readonly, name.loc.line);
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
    Entry* inherited = kavc::findInheritedMethod(cls->entry, cxxName(name));
    if (!inherited) return;
    diag_.error(at, quote(name) + " is already introduced by " + quote(inherited->cls->name) +
                        "; write '" + name + ": reintroduce;' in the implementation section to declare it again");
}

void Lowering::lowerOperation(Symbol* cls, const Decl& d) {
    checkNotInherited(cls, d.name, d.loc);
    Scope* scope = cls->inner;
    TypeCode* result = resolveType(d.type, scope);
    Entry* method = kavc::addMethod(cls->entry, cxxName(d.name), result ? result : kavc::basicType("void"), d.loc.line);
    addParams(cls, method, d);
    for (const Param& p : d.params)
        if (d.oneway && p.mode != 1) diag_.error(p.loc, "a oneway operation has only 'in' parameters");
    if (d.oneway && !(d.type.kind == TypeSpec::Basic && d.type.basic == "void"))
        diag_.error(d.type.loc, "a oneway operation returns void");
    checkRaises(scope, d.raises);
    if (d.hasContext) kavc::addContext(method);
}

void Lowering::addParams(Symbol* cls, Entry* method, const Decl& d) {
    std::map<std::string, Loc> names;
    for (const Param& p : d.params) {
        const Declarator& dd = p.declarator;
        if (!names.emplace(dd.name, dd.loc).second) {
            diag_.error(dd.loc, "redefinition of parameter " + quote(dd.name));
            diag_.note(names[dd.name], "previous declaration of " + quote(dd.name) + " was here");
        }
        TypeCode* type = withDims(resolveType(p.type, cls->inner), dd, cls->inner);
        kavc::addParam(method, cxxName(dd.name, true), type ? type : kavc::basicType("long"), p.mode);
    }
}

// The object model keeps no exceptions of a method: the names are only checked.
void Lowering::checkRaises(Scope* scope, const std::vector<ScopedName>& raises) {
    for (const ScopedName& r : raises) {
        Symbol* e = lookup(scope, r);
        if (!e)
            diag_.error(r.loc, "unknown exception " + quote(r.text()));
        else if (e->kind != Symbol::Exception)
            diag_.error(r.loc, quote(r.text()) + " is " + withArticle(e->kind) + ", not an exception");
    }
}

// A factory of a value type: a method that returns a new value of the type.
void Lowering::lowerFactory(Symbol* cls, const Decl& d) {
    checkNotInherited(cls, d.name, d.loc);
    Entry* method = kavc::addMethod(cls->entry, cxxName(d.name), kavc::objrefType(cls->entry), d.loc.line);
    addParams(cls, method, d);
    checkRaises(cls->inner, d.raises);
}

// State members of a value type are data members marked "public" or "private".
void Lowering::lowerState(Symbol* cls, const Decl& d) {
    TypeCode* base = resolveType(d.type, cls->inner);
    for (const Declarator& dd : d.declarators) {
        auto declared = cls->inner->names.find(dd.name);
        if (declared == cls->inner->names.end() || declared->second->decl != &d) continue;  // reported
        TypeCode* type = withDims(base, dd, cls->inner);
        Entry* data = kavc::addData(cls->entry, cxxName(dd.name), type ? type : kavc::basicType("long"), dd.loc.line);
        kavc::addMod(data, d.isPublic ? "public" : "private");
        dataEntries_[cxxName(dd.name)] = data;
    }
}

// typeid, typeprefix and import name something declared; repository ids have no place in
// the object model, so nothing else is kept.
void Lowering::checkRepositoryNames() {
    for (const auto& [d, scope] : repositoryNames_) {
        if (d->kind == Decl::Import && !d->text.empty()) continue;
        Symbol* sym = lookup(scope, d->target);
        if (!sym) {
            diag_.error(d->target.loc, quote(d->target.text()) + " was not declared" +
                                           (d->kind == Decl::Import ? "; kc reads declarations from #include files" : ""));
            continue;
        }
        if (d->kind == Decl::Import && sym->kind != Symbol::Module && sym->kind != Symbol::Interface)
            diag_.error(d->target.loc, "an import names a module, interface or value type; " +
                                           quote(d->target.text()) + " is " + withArticle(sym->kind));
    }
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

namespace {

// Modifiers whose value is a name, a prefix or a number: written bare they would reach the
// generated header as a control character.
constexpr const char* valueModifiers[] = {
    "externalprefix", "classprefix", "classinit", "align", "directinitclasses",
    "kavallocate", "kavdeallocate", "select", "descriptor",
};

bool needsValue(const std::string& name) {
    for (const char* v : valueModifiers)
        if (name == v) return true;
    return false;
}

// What is wrong with a modifier's value as the header would write it; empty when nothing is.
// Values reach the header as names or C text: a control character would break it (and a
// leading code 1 reads as "no value"). A descriptor is written as a C string, escaped.
std::string valueProblem(const std::string& name, const std::string& value) {
    if (name != "descriptor")
        for (unsigned char c : value)
            if (c < 0x20 || c == 0x7f)
                return "the value of modifier " + quote(name) + " contains a control character";
    if (name == "align") {
        bool digits = !value.empty() && value.size() <= 5 &&
                      value.find_first_not_of("0123456789") == std::string::npos;
        unsigned long n = digits ? std::stoul(value) : 0;
        if (n == 0 || n > 32768 || (n & (n - 1)) != 0)
            return "modifier 'align' takes an alignment in bytes, a power of two such as 4 or 8, not " +
                   quote(value);
    }
    return {};
}

}  // namespace

void Lowering::addModifiers(Entry* e, const std::string& what, const std::vector<Modifier>& mods) {
    for (const Modifier& m : mods) {
        if (m.name == "override" || m.name == "reintroduce") continue;
        if (!m.hasValue && needsValue(m.name)) {
            diag_.error(m.loc, "modifier " + quote(m.name) + " needs a value");
            continue;
        }
        if (std::string problem = m.hasValue ? valueProblem(m.name, m.value) : ""; !problem.empty()) {
            diag_.error(m.loc, problem);
            continue;
        }
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
    const std::string name = cxxName(target.parts.back());
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
    if (isOverride && !overridable(cls, name)) {
        diag_.error(target.loc, quote(cls->name) + " inherits " + quote(name) +
                                    " only through a parent it lists more than once; list each parent once to override it");
        return;
    }
    if (isOverride)
        kavc::addOverride(entry, inherited, target.loc.line);
    else
        reintroduced_[name] = kavc::addReintroduce(entry, inherited, target.loc.line);
}

// The header takes an overridden method from a parent that is the class's only path to
// itself: listed once, and inherited by no other parent. Some such parent must have it.
bool Lowering::overridable(Symbol* cls, const std::string& name) {
    const std::vector<Symbol*>& parents = cls->parents;
    for (Symbol* p : parents) {
        bool onePath = std::count(parents.begin(), parents.end(), p) == 1;
        for (Symbol* q : parents)
            if (onePath && q != p && derivesFrom(q, p)) onePath = false;
        if (!onePath) continue;
        Entry* own = kavc::findMethod(p->entry, name);
        if ((own && own->type == kavtNewMethodType && !own->origin) || kavc::findInheritedMethod(p->entry, name))
            return true;
    }
    return false;
}

void Lowering::memberModifiers(Symbol* cls, const ImplStmt& s, const ScopedName& target) {
    Entry* entry = cls->entry;
    bool declaring = false;
    for (const Modifier& m : s.modifiers) declaring |= m.name == "override" || m.name == "reintroduce";
    const std::string name = cxxName(target.parts.back());
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
        if (std::string problem = m.hasValue ? valueProblem(m.name, m.value) : ""; !problem.empty()) {
            diag_.error(m.loc, problem);
            return;
        }
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

static bool releaseNameKnown(Entry* cls, const std::string& name, const std::map<std::string, Entry*>& data,
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
                    std::string host = cxxName(dd.name);
                    dataEntries_[host] = kavc::addData(entry, host, type ? type : kavc::basicType("long"), dd.loc.line);
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
            std::string host = cxxName(name);
            if (!releaseNameKnown(entry, host, dataEntries_, reintroduced_))
                diag_.warning(at, quote(name) + " in the release order is not a method or data member of " +
                                      quote(cls->name) + "; its slot stays empty");
            names.push_back(host);
        }
        kavc::setReleaseOrder(entry, names);
    }
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

std::vector<Entry*> lower(const Specification& spec, Diagnostics& diag) {
    lowering::Lowering pass(diag);
    return pass.run(spec);
}

}  // namespace kc
