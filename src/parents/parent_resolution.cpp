// Statements in <Class>NewClass that fill the pointers of the parent call macros.
#include "driver/sections.h"
#include "driver/state.h"
#include "parents/parent_methods.h"

#include <string>

namespace darurov {

namespace {

// The method token lives in the ClassData of the introducing class. In the metaclass pass a
// class method's introducer is named by the host (its class-side name).
const char* tokenClass(Entry* found, const char* introducer) {
    if (!inMetaclassPass()) return introducer;
    return hasMod(found, Option::metaclassMember) ? kavtclsname(found->cls) : found->cls->name;
}

}  // namespace

void emitParentResolution(FILE* out, Entry* cls, const char* introducer, Entry* method) {
    if (!getsParentCallMacros(method) || isInitOrUninit(method->name)) return;
    std::string pm = prefixedMethodName(cls, method);
    for (const ParentMethod& parent : parentsWithMethod(cls, method)) {
        kavtokfprintf(out, "    %s_parent_%s_%s_resolved = \n", cls->name, parent.name, pm.c_str());
        kavtokfprintf(out, "\tkavParentNumResolve(%sCClassData.parentMtab, %d, %sClassData.%s);\n",
                      cls->name, parent.number, tokenClass(parent.found, introducer), method->name);
    }
}

}  // namespace darurov
