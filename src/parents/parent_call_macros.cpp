// Macros through which a class implementer calls the parents' implementations of an
// overridden method.
#include "driver/sections.h"
#include "driver/state.h"
#include "driver/text.h"
#include "parents/parent_methods.h"

#include <cstring>
#include <string>

namespace darurov {

namespace {

// The typedef is named after the class as "xih_<Class>" so that it cannot clash with the
// runtime's own kavTD_<Class>_<m>; the host names it after the entry's current name.
void writeTypedef(FILE* out, Entry* cls, Entry* parentMethod) {
    // Both texts keep their room from one override to the next.
    static std::string typedefName, text;
    char* className = cls->name;
    typedefName.clear();
    appendText(typedefName, "xih_%s", className);
    cls->name = typedefName.data();
    kavtfullTypedef(text, cls, parentMethod);
    cls->name = className;
    kavtokfprintf(out, "typedef %s;\n", text.c_str());
}

void writeCallMacro(FILE* out, const char* cls, const char* parent, const char* m,
                    const char* pm, const char* argList) {
    kavtokfprintf(out, "/* define the parent method call macro */\n");
    if (isInitOrUninit(m)) {
        kavtokfprintf(out, "#define %s_parent_%s_%s(__kavSelf) \\\n", cls, parent, pm);
        kavtokfprintf(out, "\tkavSelf = (__kavSelf,kavSelf) /* pcalls for kavInit/kavUninit turned off */\n");
        return;
    }
    kavtokfprintf(out, "static kavMethodProc* %s_parent_%s_%s_resolved;\n", cls, parent, pm);
    kavtokfprintf(out, "#define %s_parent_%s_%s(%s) \\\n", cls, parent, pm, argList);
    kavtokfprintf(out, "  ((( kavTD_xih_%s_%s ) \\\n      %s_parent_%s_%s_resolved) \\\n", cls, m,
                  cls, parent, pm);
    kavtokfprintf(out, "\t(%s))\n", argList);
}

// The guard blocks keep a short form only while one definition of it has been seen.
void writeSingleParentShortForm(FILE* out, const char* x, const char* cls, const char* parent,
                                const char* pm) {
    kavtokfprintf(out, "#ifndef KAVGD_pmc_parent_%s\n", x);
    kavtokfprintf(out, "  #ifdef parent_%s\n", x);
    kavtokfprintf(out, "    #define KAVGD_pmc_parent_%s\n", x);
    kavtokfprintf(out, "    #undef parent_%s\n", x);
    kavtokfprintf(out, "  #else\n");
    kavtokfprintf(out, "#define parent_%s %s_parent_%s_%s\n", x, cls, parent, pm);
    kavtokfprintf(out, "  #endif\n");
    kavtokfprintf(out, "#endif\n");
}

void writePerParentShortForm(FILE* out, const char* x, const char* cls, const char* parent,
                             const char* pm) {
    kavtokfprintf(out, "#ifndef KAVGD_pmc_parent_%s_%s\n", parent, x);
    kavtokfprintf(out, "  #ifdef parent_%s_%s\n", parent, x);
    kavtokfprintf(out, "    #define KAVGD_pmc_parent_%s_%s\n", parent, x);
    kavtokfprintf(out, "    #undef parent_%s_%s\n", parent, x);
    kavtokfprintf(out, "  #else\n");
    kavtokfprintf(out, "    #define parent_%s_%s %s_parent_%s_%s\n", parent, x, cls, parent, pm);
    kavtokfprintf(out, "  #endif\n");
    kavtokfprintf(out, "#endif\n");
}

}  // namespace

void emitParentCallMacros(FILE* out, Entry* cls, Entry* method, const char* argList) {
    const char* className = cls->name;
    const char* m = method->name;
    std::vector<ParentMethod> parents = parentsWithMethod(cls, method);
    if (parents.empty()) {
        kavtmriinternal(cls->file, method->lineno, 25, className, m);
        return;
    }
    std::string pm = prefixedMethodName(cls, method);
    bool callable = getsParentCallMacros(method);
    bool singleParent = cls->parents && !cls->parents->next;
    // Without a class prefix the plain name is pm itself; a second guard block for it would
    // see the first one's definition and undefine the short form.
    bool plainNameToo = inMetaclassPass() && metaclassPrefix(cls);

    writeTypedef(out, cls, parents.front().found);
    // The list's text keeps its room from one override to the next.
    static std::string list;
    list.clear();
    appendText(list, "#define %s_parents_%s(%s) (\\\n", className, pm.c_str(), argList);
    for (const ParentMethod& parent : parents) {
        if (!callable) continue;
        writeCallMacro(out, className, parent.name, m, pm.c_str(), argList);
        kavtokfprintf(out, "/* define a variety of (possibly ambiguous) short forms */\n");
        appendText(list, "   %s_parent_%s_%s(%s),\\\n", className, parent.name, pm.c_str(), argList);
        if (singleParent) {
            writeSingleParentShortForm(out, pm.c_str(), className, parent.name, pm.c_str());
            if (plainNameToo) writeSingleParentShortForm(out, m, className, parent.name, pm.c_str());
        }
        writePerParentShortForm(out, pm.c_str(), className, parent.name, pm.c_str());
        if (plainNameToo) writePerParentShortForm(out, m, className, parent.name, pm.c_str());
    }

    if (isInitializerOrOverridesOne(method) || std::strcmp(m, "kavDestruct") == 0) return;
    if (std::strcmp(m, "kavInit") == 0) {
        kavtokfprintf(out, "#define %s_parents_kavInit(kavSelf) (kavSelf)\n", className);
    } else if (std::strcmp(m, "kavUninit") == 0) {
        kavtokfprintf(out, "#define %s_parents_kavUninit(kavSelf) (kavSelf)\n", className);
    } else {
        // Drop the ",\\\n" that ends the last entry (or the "(\\\n" of a list without one).
        list.resize(list.size() - 3);
        kavtokfprintf(out, "%s)\n", list.c_str());
    }
}

}  // namespace darurov
