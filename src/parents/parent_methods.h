// What the parent call macros and their resolution statements share. Both walk the parents
// through the one search below, so every resolution statement assigns a pointer that the
// call macros declared.
#pragma once

#include "host/kavc.h"

#include <string>
#include <vector>

namespace darurov {

// A parent that has the overridden method.
struct ParentMethod {
    int number;        // position among all parents, counting from 1
    const char* name;  // the Parent part of the generated names
    Entry* found;      // the parent's entry for the method
};

// The parents of `cls` that have `method`, in parent order. A parent reference that the host
// does not list in the metaclass pass (it repeats an earlier parent) is left out.
std::vector<ParentMethod> parentsWithMethod(Entry* cls, Entry* method);

// pm: the method name, prefixed in the metaclass pass with the class's "classprefix" value.
std::string prefixedMethodName(Entry* cls, Entry* method);
// The "classprefix" value of the metaclass pass; null when absent or written bare.
const char* metaclassPrefix(Entry* cls);

// The method, or the method it overrides, carries "init".
bool isInitializerOrOverridesOne(Entry* method);
// The method gets a call macro per parent (kavInit/kavUninit ones included): it belongs to
// the pass, neither it nor its origin is an initializer, and it is no lifecycle method.
bool getsParentCallMacros(Entry* method);
// kavInit and kavUninit: their call macros call nothing and have no pointer to resolve.
bool isInitOrUninit(const char* name);

}  // namespace darurov
