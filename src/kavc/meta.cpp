// Passes and the metaclass view of a class, class names, ancestors, method counts and the
// reintroduced-method copies.
#include "host/open_table.h"
#include "kavc/store.h"

#include <algorithm>
#include <cstring>

using namespace kavc::detail;

namespace {

bool anyClassMember(Entry* chain) {
    for (Entry* e = chain; e; e = e->next)
        if (hasMod(e, darurov::Option::metaclassMember)) return true;
    return false;
}

// The IDL name of a class: the last part of its scoped name (its `name` is the C name).
const char* idlName(Entry* cls) {
    const char* last = cls->name;
    for (char** part = cls->scopedName; part && *part; ++part)
        if (**part) last = *part;
    return last;
}

// The pass that writes a method: 1 (the metaclass's) for a class method, else 0.
int passOf(Entry* m) { return hasMod(m, darurov::Option::metaclassMember) ? 1 : 0; }

bool isIntroduced(Entry* m) { return m->type == kavtNewMethodType && !m->origin; }

bool isNewMethodOfPass(Entry* m, int meta) { return isIntroduced(m) && passOf(m) == (meta != 0 ? 1 : 0); }

}  // namespace

namespace kavc {

std::string metaclassName(Entry* cls) {
    if (cls->metaclass) return cls->metaclass->name;
    if (kavtimplicitMeta(cls)) return std::string("M_") + cls->name;
    return "KAVClass";
}

Entry* earlierWithSameMetaclass(Entry* parentRef) {
    Entry* owner = parentRef && parentRef->cls && parentRef->hostData ? detail::info(parentRef).owner : nullptr;
    if (!owner) return nullptr;
    const std::string name = metaclassName(parentRef->cls);
    for (Entry* ref = owner->parents; ref && ref != parentRef; ref = ref->next)
        if (ref->cls && metaclassName(ref->cls) == name) return ref;
    return nullptr;
}

}  // namespace kavc

namespace kavc::detail {

Entry* selfClass(Entry* method) {
    if (model().current) return model().current;
    if (method && method->hostData && info(method).owner) return info(method).owner;
    return method ? method->cls : nullptr;
}

}  // namespace kavc::detail

int kavtimplicitMeta(Entry* cls) {
    if (!cls || cls->type != kavtClassType) return 0;
    ClassInfo& inf = classInfo(cls);
    if (inf.presented) return 1;
    if (cls->metaclass) return 0;
    // The answer holds until the unit changes; the passes ask it for every name they write.
    if (inf.implicitMetaRevision != model().revision) {
        inf.implicitMeta = anyClassMember(cls->methods) || anyClassMember(cls->data);
        for (Entry* r : inf.reintroduced)
            inf.implicitMeta = inf.implicitMeta || hasMod(r, darurov::Option::metaclassMember);
        inf.implicitMetaRevision = model().revision;
    }
    return inf.implicitMeta ? 1 : 0;
}

void kavtinitialiseMeta(Entry* cls, Stab* /*stab*/, int pass, int implicitFlag) {
    model().current = cls;
    kavtmeta = pass == 1 ? 1 : 0;
    if (pass != 1 || !implicitFlag || !cls || !kavtimplicitMeta(cls)) return;
    ClassInfo& inf = classInfo(cls);
    if (inf.presented) return;
    // The companion shows the class as it was; the Entry itself becomes M_<Class>. Both views
    // are made once per class and shown again in a later metaclass pass.
    if (!inf.companion) {
        inf.companion = model().entries.make();
        inf.companion->hostData = &model().classInfos.emplace_back();
        info(inf.companion).owner = cls;
    }
    Entry* companion = inf.companion;
    void* companionData = companion->hostData;
    *companion = *cls;
    companion->companionClass = nullptr;
    companion->hostData = companionData;
    inf.savedName = cls->name;
    inf.savedScopedName = cls->scopedName;
    inf.savedMetaclass = cls->metaclass;
    inf.savedCompanion = cls->companionClass;
    if (!inf.metaScopedName) {
        // M_<C name> in C; M_<IDL name> in the scoped name, which guards and qualified names read.
        std::vector<char*> parts;
        for (char** p = cls->scopedName; p && *p; ++p) parts.push_back(*p);
        char* scopedMeta = internName(std::string("M_") + idlName(cls));
        if (parts.empty()) parts.push_back(internName(""));
        if (parts.size() == 1)
            parts.push_back(scopedMeta);
        else
            parts.back() = scopedMeta;
        parts.push_back(nullptr);
        inf.metaScopedName = model().nameArrays.emplace_back(std::move(parts)).data();
        inf.metaName = internName(std::string("M_") + inf.savedName);
    }
    cls->name = inf.metaName;
    cls->scopedName = inf.metaScopedName;
    cls->metaclass = nullptr;
    cls->companionClass = companion;
    inf.presented = true;
}

void kavtuninitialiseMeta(Entry* cls) {
    kavtmeta = 0;
    model().current = nullptr;
    if (!cls) return;
    ClassInfo& inf = classInfo(cls);
    if (!inf.presented) return;
    cls->name = inf.savedName;
    cls->scopedName = inf.savedScopedName;
    cls->metaclass = inf.savedMetaclass;
    cls->companionClass = inf.savedCompanion;
    inf.presented = false;
}

char* kavtclsname(Entry* cls) {
    if (!cls) return nullptr;
    if (!kavtmeta || classInfo(cls).presented) return cls->name;
    if (cls->metaclass) return cls->metaclass->name;
    if (kavtimplicitMeta(cls)) return internName(std::string("M_") + cls->name);
    return cls->name;
}

char* kavtgetNonRepeatedParent(Entry* parentRef, int /*index*/) {
    if (!parentRef || !parentRef->cls) return nullptr;
    Entry* owner = parentRef->hostData ? info(parentRef).owner : nullptr;
    if (!kavtmeta) {
        if (owner)
            for (Entry* ref = owner->parents; ref && ref != parentRef; ref = ref->next)
                if (ref->cls == parentRef->cls) return nullptr;
        return parentRef->cls->name;
    }
    if (kavc::earlierWithSameMetaclass(parentRef)) return nullptr;
    if (parentRef->cls->metaclass) return parentRef->cls->metaclass->name;
    return internName(kavc::metaclassName(parentRef->cls));
}

Entry* kavtAncestorClass(Entry* cls, const char* name) {
    if (!cls || !name) return nullptr;
    // Depth first in parents order, each class once, without recursion.
    PointerSet visited;
    std::vector<Entry*> stack{cls};
    while (!stack.empty()) {
        Entry* c = stack.back();
        stack.pop_back();
        if (!visited.insert(c)) continue;
        if (std::strcmp(c->name, name) == 0 || std::strcmp(idlName(c), name) == 0) return c;
        std::size_t top = stack.size();
        for (Entry* ref = c->parents; ref; ref = ref->next)
            if (ref->cls) stack.push_back(ref->cls);
        std::reverse(stack.begin() + static_cast<std::ptrdiff_t>(top), stack.end());
    }
    // Every class reaches the root class, listed or not.
    Entry* root = kavc::findClass("KAVObject");
    return root && std::strcmp(name, "KAVObject") == 0 ? root : nullptr;
}

// Both passes ask; one walk of the methods counts for both, until the unit changes.
int kavtnewMethodsCount(Entry* cls, int meta, int /*flag*/) {
    if (!cls) return 0;
    if (cls->type != kavtClassType || !cls->hostData) {
        int count = 0;
        for (Entry* m = cls->methods; m; m = m->next)
            if (isNewMethodOfPass(m, meta)) ++count;
        return count;
    }
    ClassInfo& inf = classInfo(cls);
    if (inf.countedRevision != model().revision) {
        inf.newMethods[0] = inf.newMethods[1] = 0;
        for (Entry* m = cls->methods; m; m = m->next)
            if (isIntroduced(m)) ++inf.newMethods[passOf(m)];
        inf.countedRevision = model().revision;
    }
    return inf.newMethods[meta != 0 ? 1 : 0];
}

int kavtprivateMethodsCount(Entry* cls, int meta) {
    int count = 0;
    for (Entry* m = cls ? cls->methods : nullptr; m; m = m->next)
        if (isNewMethodOfPass(m, meta) && hasMod(m, darurov::Option::privateData)) ++count;
    return count;
}

ReintroducedMethods* kavtGetReintroducedMethods(ReintroducedMethods* result, Entry* cls) {
    static ReintroducedMethods spare;
    if (!result) result = &spare;
    result->count = 0;
    result->methods = nullptr;
    if (!cls || cls->type != kavtClassType || !cls->hostData) return result;
    const std::vector<Entry*>& list = classInfo(cls).reintroduced;
    if (list.empty()) return result;
    result->methods = static_cast<Entry**>(kavtsmalloc(list.size() * sizeof(Entry*), 0));
    for (Entry* stored : list) {
        Entry* ancestor = stored->origin;
        auto* copy = static_cast<Entry*>(kavtsmalloc(sizeof(Entry), 0));
        *copy = *ancestor;
        copy->type = kavtNewMethodType;
        copy->mods = stored->mods;
        copy->lineno = stored->lineno;
        copy->cls = cls;
        copy->origin = ancestor;
        copy->next = nullptr;
        copy->hostData = stored->hostData;
        result->methods[result->count++] = copy;
    }
    return result;
}
