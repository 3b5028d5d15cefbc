// Building the unit: modules, classes and their members, the derived class fields, and the
// root classes every unit starts with.
#include "host/open_table.h"
#include "kavc/store.h"

#include <cstring>

using namespace kavc::detail;

namespace {

// "Zoo::Animal" in "::Zoo::Animal", the joined scoped name.
std::string_view qualifiedPart(std::string_view joined) { return joined.size() >= 2 ? joined.substr(2) : joined; }

// "Zoo::Animal" for ::Zoo::Animal.
std::string qualified(Entry* cls) {
    std::string joined;
    kavtsatos(cls->scopedName, "::", joined);
    return std::string(qualifiedPart(joined));
}

// Leaves the "::"-joined scoped name in the model's scratch text.
Entry* newScoped(int type, std::string_view name, const std::vector<std::string>& scope,
                 Entry* parent, int line) {
    Model& m = model();
    Entry* e = newEntry(type, name, line);
    e->scopedName = makeScopedName(scope, e->name);
    e->file = const_cast<char*>(kavtfilePath);
    kavtsatos(e->scopedName, "::", m.scratch);
    if (parent) {
        appendChain(parent->members, classInfo(parent).lastMember, e);
    } else if (!m.buildingRoots) {
        m.topLevel.push_back(e);
        Entry* record = e;
        kavtaddEntry(&m.unitStab, m.scratch.c_str(), &record);
    }
    return e;
}

// The parents of a class, with KAVObject standing in for an empty list.
std::vector<Entry*> parentClasses(Entry* cls) {
    std::vector<Entry*> result;
    for (Entry* ref = cls->parents; ref; ref = ref->next)
        if (ref->cls) result.push_back(ref->cls);
    Model& m = model();
    if (!m.objectRoot) m.objectRoot = kavc::findClass("KAVObject");  // the first class of a name stays
    Entry* root = m.objectRoot;
    if (result.empty() && root && cls != root) result.push_back(root);
    return result;
}

bool introducedHere(Entry* method) { return method->type == kavtNewMethodType && !method->origin; }

// Every ancestor of `cls` once, depth first in parents order (a diamond's top at its first
// path), until `visit` returns true; without recursion: the depth of a hierarchy is the input's.
template <typename Visit>
void forEachAncestor(Entry* cls, Visit visit) {
    PointerSet visited;
    std::vector<std::pair<std::vector<Entry*>, std::size_t>> stack;
    stack.emplace_back(parentClasses(cls), 0);
    while (!stack.empty()) {
        auto& [parents, at] = stack.back();
        if (at == parents.size()) {
            stack.pop_back();
            continue;
        }
        Entry* parent = parents[at++];
        if (!visited.insert(parent)) continue;
        if (visit(parent)) return;
        stack.emplace_back(parentClasses(parent), 0);
    }
}

// A class of one parent inherits, in the order a depth-first walk meets them, the parent's
// own new methods and then what the parent inherits: the parent's list becomes the tail of
// the class's (the lists are only read). Not when the parent's list is not made yet or holds
// a name the parent introduces again (an input in error): false, and the class's list is left
// empty.
bool inheritThroughParent(Entry* cls, Entry* parent) {
    ClassInfo& from = classInfo(parent);
    if (!from.inheritedDone) return false;
    // The classes of one parent share its list: KAVObject is the parent of every class that
    // lists none.
    if (from.passedMade && from.passedTail == parent->inheritedMethods && from.passedLast == from.lastMethod) {
        if (from.passedRefused) return false;
        cls->inheritedMethods = from.passedOn;
        return true;
    }
    from.passedMade = true;
    from.passedTail = parent->inheritedMethods;
    from.passedLast = from.lastMethod;
    from.passedRefused = true;
    Model& m = model();
    PointerSet names;
    MethodRef* head = nullptr;
    MethodRef** tail = &head;
    for (Entry* method = parent->methods; method; method = method->next) {
        if (!introducedHere(method) || !names.insert(method->name)) continue;
        MethodRef& ref = *m.methodRefs.make();
        ref.method = method;
        *tail = &ref;
        tail = &ref.next;
    }
    for (MethodRef* ref = parent->inheritedMethods; ref; ref = ref->next)
        if (names.contains(ref->method->name)) return false;
    *tail = parent->inheritedMethods;
    cls->inheritedMethods = head;
    from.passedOn = head;
    from.passedRefused = false;
    return true;
}

void computeInheritedMethods(Entry* cls) {
    Model& m = model();
    cls->inheritedMethods = nullptr;
    classInfo(cls).inheritedDone = true;
    const std::vector<Entry*> parents = parentClasses(cls);
    if (parents.size() == 1 && inheritThroughParent(cls, parents[0])) return;
    MethodRef** tail = &cls->inheritedMethods;
    PointerSet names;  // interned: one pointer per name
    forEachAncestor(cls, [&](Entry* parent) {
        for (Entry* method = parent->methods; method; method = method->next) {
            if (!introducedHere(method) || !names.insert(method->name)) continue;
            MethodRef& ref = *m.methodRefs.make();
            ref.method = method;
            *tail = &ref;
            tail = &ref.next;
        }
        return false;
    });
}

// The first method of the class's chain named `name` (interned): the indexes hold the first
// new method and the first override of each name, and a chain holds both kinds under one name
// only where the front end let an error through.
Entry* methodNamed(Entry* cls, const char* name) {
    const Model& m = model();
    Entry* introduced = m.introduced.find(cls, name);
    Entry* overriding = m.overridden.find(cls, name);
    if (!introduced || !overriding) return introduced ? introduced : overriding;
    for (Entry* e = cls->methods;; e = e->next)
        if (e == introduced || e == overriding) return e;
}

NameList* nameList(const std::vector<Entry*>& members) {
    NameList* head = nullptr;
    NameList** tail = &head;
    for (Entry* d : members) {
        NameList& cell = *model().nameLists.make();
        cell.name = d->name;
        *tail = &cell;
        tail = &cell.next;
    }
    return head;
}

void buildReleaseOrder(Entry* cls) {
    ClassInfo& inf = classInfo(cls);
    if (!inf.hasReleaseOrder) return;
    Model& m = model();
    inf.releaseRevision = m.revision;
    ReleaseItem* head = nullptr;
    ReleaseItem** tail = &head;
    // A name that is no method's may be a data member's, the first of that name.
    PointerMap<Entry*> dataNamed;
    if (!inf.releaseNames.empty())
        for (Entry* d = cls->data; d; d = d->next) dataNamed.insert(d->name, d);
    for (const std::string& name : inf.releaseNames) {
        ReleaseItem& item = *m.releaseItems.make();
        item.name = internName(name);
        item.entry = methodNamed(cls, item.name);
        if (Entry* const* data = item.entry ? nullptr : dataNamed.find(item.name)) item.entry = *data;
        *tail = &item;
        tail = &item.next;
    }
    // An empty release order still needs an item to carry the data lists: a terminator.
    if (!head) head = m.releaseItems.make();
    std::vector<Entry*> lists[3];
    for (Entry* d = cls->data; d; d = d->next) {
        if (kavtgetAtt(d->mods, modName(darurov::Option::publicData), 0))
            lists[0].push_back(d);
        else if (kavtgetAtt(d->mods, modName(darurov::Option::privateData), 0))
            lists[1].push_back(d);
        else
            lists[2].push_back(d);
    }
    for (int i = 0; i < 3; ++i) head->dataLists[i] = nameList(lists[i]);
    cls->releaseOrder = head;
}

short countParams(Entry* method) {
    short n = 0;
    for (Entry* p = method->params; p; p = p->next) ++n;
    return n;
}

Entry* addRootMethod(Entry* cls, const char* name, TypeCode* result,
                     std::initializer_list<std::tuple<const char*, TypeCode*, int>> params) {
    Entry* m = kavc::addMethod(cls, name, result, 0);
    for (const auto& [pname, type, mode] : params) kavc::addParam(m, pname, type, mode);
    return m;
}

}  // namespace

namespace kavc::detail {

void buildRootClasses() {
    using kavc::basicType;
    model().buildingRoots = true;
    Entry* object = kavc::newClass("KAVObject", {}, nullptr, 0);
    Entry* klass = kavc::newClass("KAVClass", {}, nullptr, 0);
    TypeCode* initCtrl = kavc::structType("kavInitCtrl", {});
    TypeCode* destructCtrl = kavc::structType("kavDestructCtrl", {});
    TypeCode* assignCtrl = kavc::structType("kavAssignCtrl", {});
    TypeCode* objectRef = kavc::objrefType(object);
    TypeCode* classRef = kavc::objrefType(klass);
    TypeCode* voidType = basicType("void");
    TypeCode* octet = basicType("octet");
    TypeCode* string = basicType("string");
    TypeCode* longType = basicType("long");
    const int inout = kavtModeInout, in = kavtModeIn;

    addRootMethod(object, "kavInit", voidType, {});
    addRootMethod(object, "kavUninit", voidType, {});
    addRootMethod(object, "kavDefaultInit", voidType, {{"ctrl", initCtrl, inout}});
    addRootMethod(object, "kavDestruct", voidType,
                  {{"doFree", octet, in}, {"ctrl", destructCtrl, inout}});
    for (const char* name : {"kavDefaultCopyInit", "kavDefaultConstCopyInit", "kavDefaultVCopyInit",
                             "kavDefaultConstVCopyInit"})
        addRootMethod(object, name, voidType, {{"ctrl", initCtrl, inout}, {"fromObj", objectRef, in}});
    for (const char* name : {"kavDefaultAssign", "kavDefaultConstAssign", "kavDefaultVAssign",
                             "kavDefaultConstVAssign"})
        addRootMethod(object, name, objectRef, {{"ctrl", assignCtrl, inout}, {"fromObj", objectRef, in}});
    addRootMethod(object, "kavGetClass", classRef, {});
    addRootMethod(object, "kavGetSize", longType, {});
    kavc::finishClass(object);

    kavc::addParent(klass, object, 0);
    addRootMethod(klass, "kavNew", objectRef, {});
    addRootMethod(klass, "kavAllocate", string, {{"size", longType, in}});
    addRootMethod(klass, "kavDeallocate", voidType, {{"memptr", string, in}});
    addRootMethod(klass, "kavGetName", string, {});
    addRootMethod(klass, "kavGetInstanceSize", longType, {});
    kavc::addAttribute(klass, "kavDirectInitClasses", kavc::sequenceType(classRef), true, 0);
    kavc::finishClass(klass);
    kavtkavcls = klass;
    model().buildingRoots = false;
}

}  // namespace kavc::detail

namespace kavc {

Entry* newModule(std::string_view name, const std::vector<std::string>& scope, Entry* parent,
                 int line) {
    return newScoped(kavtModuleType, name, scope, parent, line);
}

Entry* newClass(std::string_view name, const std::vector<std::string>& scope, Entry* parent,
                int line, std::string_view cName) {
    Entry* cls = newScoped(kavtClassType, name, scope, parent, line);
    Model& m = model();
    ClassInfo& inf = classInfo(cls);
    inf.qualifiedName = internName(qualifiedPart(m.scratch));
    if (!cName.empty()) cls->name = internName(cName);
    m.classes.push_back(cls);
    // The first class of a name wins, as a search in declaration order would find it.
    m.classIndex.insert(cls->name, cls);
    m.classIndex.insert(inf.qualifiedName, cls);
    return cls;
}

const std::vector<Entry*>& topLevel() { return model().topLevel; }

Entry* findClass(std::string_view name) {
    std::string_view wanted = name;
    if (wanted.substr(0, 2) == "::") wanted.remove_prefix(2);
    Model& m = model();
    const char* interned = m.names.find(wanted);
    Entry* const* found = interned ? m.classIndex.find(interned) : nullptr;
    return found ? *found : nullptr;
}

Entry* addParent(Entry* cls, Entry* parentClass, int line) {
    if (!cls || !parentClass) return nullptr;
    Entry* ref = newEntry(kavtParentRefType, parentClass->name, line);
    ref->name = parentClass->name;
    ref->cls = parentClass;
    ref->scopedName = parentClass->scopedName;
    info(ref).owner = cls;
    appendChain(cls->parents, classInfo(cls).lastParent, ref);
    return ref;
}

Interned intern(std::string_view name) {
    Model& m = model();
    Interned result{};
    result.text = m.names.intern(name, m.texts, &result.fresh);
    return result;
}

const char* findName(std::string_view name) { return model().names.find(name); }

Entry* addMethod(Entry* cls, std::string_view name, TypeCode* result, int line) {
    return addMethod(cls, intern(name), result, line);
}

Entry* addMethod(Entry* cls, Interned name, TypeCode* result, int line) {
    Entry* m = newEntry(kavtNewMethodType, name, line);
    m->cls = cls;
    MethodInfo& inf = methodInfo(m);
    inf.owner = cls;
    inf.declared = result ? result : basicType("void");
    m->returnTypeText = internedCType(inf.declared);
    TypeCode* real = kavc::detail::resolveAlias(inf.declared);
    m->returnType = real && real->kind == kavtTkObjref && !inf.declared->alias
                        ? internName(real->cName)
                        : m->returnTypeText;
    // Every new method has a descriptor, its first modifier; a written one replaces this
    // default (addMod).
    Model& model = kavc::detail::model();
    ClassInfo& owner = classInfo(cls);
    if (!owner.qualifiedName) owner.qualifiedName = internName(qualified(cls));
    std::string& descriptor = model.scratch;
    descriptor.assign(1, '"').append(owner.qualifiedName).append("::").append(m->name).append(1, '"');
    if (!model.descriptorName) model.descriptorName = internName(modName(darurov::Option::descriptor));
    Mod& mod = *model.mods.make();
    mod.name = model.descriptorName;
    mod.value = copyString(descriptor);
    m->mods = &mod;
    inf.defaultDescriptor = &mod;
    appendChain(cls->methods, owner.lastMethod, m);
    model.introduced.add(m);
    return m;
}

Entry* addParam(Entry* method, std::string_view name, TypeCode* type, int mode,
                std::string_view declarator) {
    Entry* p = newEntry(kavtParamType, name, method ? method->lineno : 0);
    EntryInfo& inf = info(p);
    inf.owner = method;
    inf.declared = type;
    p->mode = mode;
    if (declarator.empty()) {
        Model& m = model();
        p->declarator = m.paramDeclarators.find(type, mode, p->name);
        if (!p->declarator) {
            p->declarator = internName(defaultDeclarator(type, mode, name, true));
            m.paramDeclarators.keep(type, mode, p->name, p->declarator);
        }
    } else {
        p->declarator = internName(declarator);
    }
    if (method) {
        appendChain(method->params, methodInfo(method).lastParam, p);
        ++method->argCount;
    }
    return p;
}

void addContext(Entry* method) {
    if (method) methodInfo(method).context = true;
}

Entry* addOverride(Entry* cls, Entry* overridden, int line) {
    if (!cls || !overridden) return nullptr;
    Entry* e = newEntry(kavtOverrideType, overridden->name, line);
    e->name = overridden->name;  // the same text: lookups compare the pointer
    e->cls = overridden->cls;
    e->origin = overridden;
    e->returnType = overridden->returnType;
    e->returnTypeText = overridden->returnTypeText;
    e->params = overridden->params;
    e->argCount = overridden->argCount;
    MethodInfo& inf = methodInfo(e);
    MethodInfo& from = methodInfo(overridden);
    inf.owner = cls;
    inf.declared = from.declared;
    inf.context = from.context;
    // An override of a class method is itself one.
    if (hasMod(overridden, darurov::Option::metaclassMember)) addMod(e, modName(darurov::Option::metaclassMember));
    appendChain(cls->methods, classInfo(cls).lastMethod, e);
    model().overridden.add(e);
    return e;
}

Entry* addReintroduce(Entry* cls, Entry* ancestorMethod, int line) {
    if (!cls || !ancestorMethod) return nullptr;
    Entry* e = newEntry(kavtNewMethodType, ancestorMethod->name, line);
    e->name = ancestorMethod->name;
    e->cls = cls;
    e->origin = ancestorMethod;
    e->returnType = ancestorMethod->returnType;
    e->returnTypeText = ancestorMethod->returnTypeText;
    e->params = ancestorMethod->params;
    e->argCount = ancestorMethod->argCount;
    // The ancestor's modifiers come first; the reintroduction's own follow (addMod appends).
    Mod** tail = &e->mods;
    for (Mod* mod = ancestorMethod->mods; mod; mod = mod->next) {
        Mod& copy = *model().mods.make();
        copy = *mod;
        copy.next = nullptr;
        *tail = &copy;
        tail = &copy.next;
    }
    MethodInfo& inf = methodInfo(e);
    MethodInfo& from = methodInfo(ancestorMethod);
    inf.owner = cls;
    inf.declared = from.declared;
    inf.context = from.context;
    classInfo(cls).reintroduced.push_back(e);
    return e;
}

Entry* addData(Entry* cls, std::string_view name, TypeCode* type, int line,
               std::string_view declarator) {
    Entry* d = newEntry(kavtDataType, name, line);
    d->cls = cls;
    EntryInfo& inf = info(d);
    inf.owner = cls;
    inf.declared = type;
    d->declarator = declarator.empty() ? internName(defaultDeclarator(type, kavtModeIn, name, false))
                                       : internName(declarator);
    if (cls) appendChain(cls->data, classInfo(cls).lastData, d);
    return d;
}

Entry* addAttribute(Entry* cls, std::string_view name, TypeCode* type, bool readonly, int line) {
    Entry* a = newEntry(kavtAttributeType, name, line);
    a->cls = cls;
    AttributeInfo& inf = attributeInfo(a);
    inf.owner = cls;
    inf.declared = type;
    std::string n(name);
    inf.getter = addMethod(cls, "_get_" + n, type, line);
    methodInfo(inf.getter).attribute = a;
    if (!readonly) {
        inf.setter = addMethod(cls, "_set_" + n, basicType("void"), line);
        addParam(inf.setter, name, type, kavtModeIn);
        methodInfo(inf.setter).attribute = a;
    }
    classInfo(cls).attributes.push_back(a);
    return a;
}

void setReleaseOrder(Entry* cls, const std::vector<std::string>& names) {
    if (!cls) return;
    ClassInfo& inf = classInfo(cls);
    inf.releaseNames = names;
    inf.hasReleaseOrder = true;
    buildReleaseOrder(cls);
}

void setMetaclass(Entry* cls, Entry* metaclass) {
    if (cls) cls->metaclass = metaclass;
}

void setCompanion(Entry* cls, Entry* companion) {
    if (cls) cls->companionClass = companion;
}

void addPassthru(Entry* cls, std::string_view section, bool after, std::string_view text) {
    if (cls) classInfo(cls).passthru.push_back({std::string(section), after, std::string(text)});
}

Entry* findMethod(Entry* cls, std::string_view name) {
    // Every method's name is interned: a text the name table lacks names no method.
    const char* interned = cls ? model().names.find(name) : nullptr;
    return interned ? methodNamed(cls, interned) : nullptr;
}

// The first ancestor, depth first, that introduces a method of that name: only the classes
// that introduce the name are candidates (usually none or one).
Entry* findInheritedMethod(Entry* cls, std::string_view name) {
    const char* interned = cls ? model().names.find(name) : nullptr;
    return interned ? findInheritedMethod(cls, Interned{interned}) : nullptr;
}

Entry* findInheritedMethod(Entry* cls, Interned name) {
    if (!cls || name.fresh) return nullptr;
    Model& m = model();
    const char* interned = name.text;
    // Up a line of single parents, no walk is needed: each class has the next as its only
    // parent (KAVObject for one that lists none), and none of them comes twice. A line longer
    // than the unit's classes is a cycle (a model built in error): the walk below, from the start.
    Entry* const start = cls;
    for (std::size_t steps = 0;; ++steps) {
        if (steps > m.classes.size()) {
            cls = start;
            break;
        }
        Entry* only = nullptr;
        int parents = 0;
        for (Entry* ref = cls->parents; ref && parents < 2; ref = ref->next)
            if (ref->cls) {
                only = ref->cls;
                ++parents;
            }
        if (parents > 1) break;  // the walk below, from here: what came before is below this class
        if (!parents) {
            if (!m.objectRoot) m.objectRoot = kavc::findClass("KAVObject");
            if (!m.objectRoot || cls == m.objectRoot) return nullptr;
            only = m.objectRoot;
        }
        if (Entry* found = m.introduced.find(only, interned)) return found;
        cls = only;
    }
    Entry* found = nullptr;
    forEachAncestor(cls, [&](Entry* ancestor) {
        found = m.introduced.find(ancestor, interned);
        return found != nullptr;
    });
    return found;
}

void finishClass(Entry* cls) {
    if (!cls) return;
    for (Entry* m = cls->methods; m; m = m->next)
        if (m->type == kavtNewMethodType) m->argCount = countParams(m);
    computeInheritedMethods(cls);
    // A release order given since the class last changed is built already.
    if (classInfo(cls).releaseRevision != model().revision) buildReleaseOrder(cls);
}

}  // namespace kavc
