// Per-ancestor copy-initializer, initializer and destructor call macros, and the checks of a
// shadow class.
#include "driver/lists.h"
#include "driver/state.h"
#include "initializers/direct_init.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace darurov {

namespace {

void writeCopyInit(FILE* out, Entry* cls, Entry* ancestor, int i) {
    kavtokfprintf(out, "\n/* ...for %s */\n", ancestor->name);
    kavtokfprintf(out, "#define %s_Init_%s_kavDefaultCopyInit(kavSelf, ctrl, fromObj) \\\n", cls->name,
                  ancestor->name);
    kavtokfprintf(out, "        if (myMask[%d]&1) \\\n", i);
    if (isRootObjectClass(ancestor)) {
        writeRootObjectStep(out, ControlInfo::init);
        return;
    }
    kavtokfprintf(out, "           ((kavTD_KAVObject_kavDefaultCopyInit) \\\n");
    kavtokfprintf(out, "               ctrl->info->defaultNCArgCopyInit) \\\n");
    kavtokfprintf(out, "                   ((KAVObject *)((void *) kavSelf), ctrl, (KAVObject *)((void *) fromObj))\n");
}

void writeConstCopyInit(FILE* out, Entry* cls, Entry* ancestor, int i) {
    kavtokfprintf(out, "\n/* ...for %s */\n", ancestor->name);
    kavtokfprintf(out, "#define %s_Init_%s_kavDefaultConstCopyInit(kavSelf, ctrl, fromObj) \\\n",
                  cls->name, ancestor->name);
    kavtokfprintf(out, "        if (myMask[%d]&1) \\\n", i);
    if (isRootObjectClass(ancestor)) {
        writeRootObjectStep(out, ControlInfo::init);
        return;
    }
    kavtokfprintf(out, "           ((kavTD_KAVObject_kavDefaultConstCopyInit) \\\n");
    kavtokfprintf(out, "               ctrl->info->defaultConstCopyInit) \\\n");
    kavtokfprintf(out, "                   ((KAVObject *)((void *) kavSelf), ctrl, (KAVObject *)((void *) fromObj))\n");
}

bool shadows(Entry* ancestor) {
    return pass.classShadow && std::strcmp(pass.classShadow, ancestor->name) == 0;
}

// The runtime calls a shadowed ancestor's initializers through the class's own overrides.
bool overridesInitializer(Entry* cls, Entry* initializer) {
    for (Entry* m = cls->methods; m; m = m->next)
        if (std::strcmp(m->name, initializer->name) == 0 && isOverride(m) && belongsToPass(m))
            return true;
    return false;
}

// The text goes to standard output before the host reports the error; flushing keeps the
// two in that order when they share a terminal.
void checkShadowing(Entry* cls, Entry* ancestor, const MethodArray& inits) {
    if (hasMod(ancestor, Option::shadow)) {
        std::printf("error -- class %s cannot shadow the shadow class %s\n", cls->name, ancestor->name);
        std::fflush(stdout);
        kavtmrierror(kavtfilePath, 0, 33);
    }
    for (int j = 0; j < inits.count; ++j) {
        Entry* init = inits.methods[j];
        if (overridesInitializer(cls, init)) continue;
        std::printf("error -- shadow class %s must override parent initializer %s::%s\n", cls->name,
                    ancestor->name, init->name);
        std::fflush(stdout);
        kavtmrierror(kavtfilePath, 0, 33);
    }
}

void writeDefaultInit(FILE* out, Entry* cls, Entry* ancestor, int i) {
    kavtokfprintf(out, "#define %s_Init_%s_kavDefaultInit(kavSelf, ctrl) \\\n", cls->name, ancestor->name);
    kavtokfprintf(out, "        if (myMask[%d]&1) \\\n", i);
    if (isRootObjectClass(ancestor)) {
        writeRootObjectStep(out, ControlInfo::init);
        return;
    }
    kavtokfprintf(out, "           ((kavTD_KAVObject_kavDefaultInit) \\\n");
    kavtokfprintf(out, "               ctrl->info->defaultInit) \\\n");
    kavtokfprintf(out, "                   ((KAVObject *)((void *) kavSelf), ctrl)\n");
}

// i indexes the mask and the direct-init classes; j the ancestor's own initializer table.
void writeExplicitInit(FILE* out, Entry* cls, Entry* ancestor, int i, Entry* init, int j) {
    std::string args;
    kavtshortArgList(args, init, ", ", 0, 1);
    kavtokfprintf(out, "#define %s_Init_%s_%s(%s) \\\n", cls->name, ancestor->name, init->name,
                  args.c_str());
    if (isRootObjectClass(ancestor)) {
        writeRootObjectStep(out, ControlInfo::init);
        return;
    }
    kavtokfprintf(out, "        if (myMask[%d]&1) \\\n", i);
    kavtokfprintf(out, "           ((kavTD_%s_%s) \\\n", ancestor->name, init->name);
    if (shadows(ancestor))
        kavtokfprintf(out, "              _%s->_get_kavDirectInitClasses()._buffer[%d]->\\\n                  kavFindSMethodOk(kavIdFromString(\"%s::%s\")))\\\n",
                      cls->name, i, ancestor->name, init->name);
    else
        kavtokfprintf(out, "              ((kavParentMtabStructPtr)(%sCClassData.parentMtab))->initializers[%d]) \\\n",
                      ancestor->name, j);
    kavtokfprintf(out, "\t\t(%s)\n", args.c_str());
}

// The destructor's mask runs in reverse list order, hence the mirrored index.
void writeDeInit(FILE* out, Entry* cls, Entry* ancestor, int mirrored) {
    kavtokfprintf(out, "#define %s_DeInit_%s_kavDestruct(kavSelf, doFree, ctrl) \\\n", cls->name,
                  ancestor->name);
    kavtokfprintf(out, "        if (myMask[%d]&1) \\\n", mirrored);
    if (isRootObjectClass(ancestor)) {
        writeRootObjectStep(out, ControlInfo::destruct);
        return;
    }
    kavtokfprintf(out, "           ((kavTD_KAVObject_kavDestruct) \\\n");
    kavtokfprintf(out, "               ctrl->info->defaultDestruct) \\\n");
    kavtokfprintf(out, "                   ((KAVObject *)((void *) kavSelf), 0, ctrl)\n");
}

}  // namespace

void writeRootObjectStep(FILE* out, ControlInfo info) {
    kavtokfprintf(out, "        /* special case KAVObject */\\\n");
    switch (info) {
        case ControlInfo::init:
            kavtokfprintf(out, "        ctrl->info = (kavInitInfo*)(ctrl->infoSize + (char*)(ctrl->info));\n");
            break;
        case ControlInfo::destruct:
            kavtokfprintf(out, "        ctrl->info = (kavDestructInfo*)(ctrl->infoSize + (char*)(ctrl->info));\n");
            break;
        case ControlInfo::assign:
            kavtokfprintf(out, "        ctrl->info = (kavAssignInfo*)(ctrl->infoSize + (char*)(ctrl->info));\n");
            break;
    }
}

void writeAncestorCopyInitMacros(FILE* out, Entry* cls, const DirectInitClasses& classes) {
    kavtfullComment(out, "Ancestor_CopyInit Macros");
    for (int i = 0; i < classes.count(); ++i)
        if (Entry* ancestor = classes.ancestors[i]) writeCopyInit(out, cls, ancestor, i);
}

void writeAncestorConstCopyInitMacros(FILE* out, Entry* cls, const DirectInitClasses& classes) {
    kavtfullComment(out, "Ancestor_ConstCopyInit Macros");
    for (int i = 0; i < classes.count(); ++i)
        if (Entry* ancestor = classes.ancestors[i]) writeConstCopyInit(out, cls, ancestor, i);
}

void writeAncestorInitMacros(FILE* out, Entry* cls, const DirectInitClasses& classes,
                             bool defaultInit, bool destructor) {
    kavtfullComment(out, "Ancestor_Init/DeInit Macros");
    int n = classes.count();
    for (int i = 0; i < n; ++i) {
        Entry* ancestor = classes.ancestors[i];
        if (!ancestor) continue;
        // Built even for a destructor-only class: building reports the ancestor's own errors.
        MethodArray inits = buildInitializerList(ancestor);
        kavtokfprintf(out, "\n/* ...for %s */\n", ancestor->name);
        if (defaultInit) {
            writeDefaultInit(out, cls, ancestor, i);
            if (inits.count != 0 && shadows(ancestor)) checkShadowing(cls, ancestor, inits);
            for (int j = 0; j < inits.count; ++j)
                writeExplicitInit(out, cls, ancestor, i, inits.methods[j], j);
        }
        releaseMethodArray(inits);
        if (destructor) writeDeInit(out, cls, ancestor, n - i - 1);
    }
}

}  // namespace darurov
