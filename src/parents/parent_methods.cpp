#include "parents/parent_methods.h"

#include "driver/lists.h"
#include "driver/state.h"

#include <cstring>

namespace darurov {

namespace {

// The host gives one method name one string, so a match is the same pointer.
Entry* findParentMethod(Entry* parentCls, Entry* method) {
    if (Entry* e = inheritedMethodNamed(parentCls, method->name)) return e;
    if (Entry* e = chainMethodNamed(parentCls, method->name)) return e;
    // Only the metaclass pass inherits the root metaclass's methods.
    if (inMetaclassPass() && kavtkavcls) return chainMethodNamed(kavtkavcls, method->name);
    return nullptr;
}

const char* parentName(Entry* ref) {
    if (inMetaclassPass()) return kavtgetNonRepeatedParent(ref, 0);
    return ref->cls->name;
}

}  // namespace

std::vector<ParentMethod> parentsWithMethod(Entry* cls, Entry* method) {
    std::vector<ParentMethod> result;
    int number = 0;
    for (Entry* ref = cls->parents; ref; ref = ref->next) {
        ++number;
        Entry* found = findParentMethod(ref->cls, method);
        if (!found) continue;
        const char* name = parentName(ref);
        if (!name) continue;
        result.push_back({number, name, found});
    }
    return result;
}

const char* metaclassPrefix(Entry* cls) {
    const char* prefix = modValue(cls, Option::classprefix);
    return isBareValue(prefix) ? nullptr : prefix;
}

std::string prefixedMethodName(Entry* cls, Entry* method) {
    const char* prefix = inMetaclassPass() ? metaclassPrefix(cls) : nullptr;
    return prefix ? std::string(prefix) + method->name : std::string(method->name);
}

bool isInitializerOrOverridesOne(Entry* method) {
    return hasMod(method, Option::init) || (method->origin && hasMod(method->origin, Option::init));
}

bool getsParentCallMacros(Entry* method) {
    return belongsToPass(method) && !isInitializerOrOverridesOne(method) &&
           !isLifecycleMethod(method);
}

bool isInitOrUninit(const char* name) {
    return std::strcmp(name, "kavInit") == 0 || std::strcmp(name, "kavUninit") == 0;
}

}  // namespace darurov
