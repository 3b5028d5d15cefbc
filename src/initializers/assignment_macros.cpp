// Entry macro of the assignment operators and the per-ancestor assignment macros.
#include "driver/lists.h"
#include "driver/state.h"
#include "initializers/direct_init.h"

namespace darurov {

namespace {

// One entry macro serves all four assignment methods.
bool hasAssignmentMethod(Entry* cls) {
    for (const PassMethod& m : passMethods(cls))
        if (m.is(inPassFact) && isLifecycleGroup(m, LifecycleGroup::assignment)) return true;
    return false;
}

void writeEntryMacro(FILE* out, Entry* cls, int n) {
    const char* c = cls->name;
    kavtfullComment(out, "Macro for assignmentOp entry");
    kavtokfprintf(out, "#define %s_BeginAssignmentOp \\\n", c);
    kavtokfprintf(out, "   if (!ctrl) { \\\n");
    kavtokfprintf(out, "      ctrl = &globalCtrl;\\\n");
    kavtokfprintf(out, "      memcpy(ctrl,&(((kavParentMtabStructPtr)%sCClassData.parentMtab)->assignCtrl),sizeof(kavAssignCtrl)); \\\n", c);
    kavtokfprintf(out, "   } \\\n");
    kavtokfprintf(out, "   myMask = ctrl->mask; \\\n");
    if (pass.hasInstanceData)
        kavtokfprintf(out, "   kavThis = (%sData*)((char*)kavSelf + ctrl->info->dataOffset);\\\n", c);
    kavtokfprintf(out, "   ctrl->info = (kavAssignInfo*)(ctrl->infoSize + (char*)(ctrl->info)); \\\n");
    kavtokfprintf(out, "   ctrl->mask += %d;\n", n);
}

// The V variants have no ancestor macros of their own; both kinds below serve them too.
void writeAncestorMacros(FILE* out, Entry* cls, Entry* ancestor, int i) {
    const char* c = cls->name;
    const char* a = ancestor->name;
    kavtokfprintf(out, "\n/* ...for %s */\n", a);
    kavtokfprintf(out, "#define %s_Assign_%s_kavDefaultAssign(kavSelf, ctrl, fromObj) \\\n", c, a);
    kavtokfprintf(out, "        if (myMask[%d]&1) \\\n", i);
    if (isRootObjectClass(ancestor)) {
        writeRootObjectStep(out, ControlInfo::assign);
    } else {
        kavtokfprintf(out, "           ((kavTD_KAVObject_kavDefaultAssign) \\\n");
        kavtokfprintf(out, "               ctrl->info->defaultNCArgAssign) \\\n");
        kavtokfprintf(out, "                   ((KAVObject *)((void *) kavSelf), ctrl, (KAVObject *)((void *) fromObj))\n");
    }
    kavtokfprintf(out, "#define %s_Assign_%s_kavDefaultConstAssign(kavSelf, ctrl, fromObj) \\\n", c, a);
    kavtokfprintf(out, "        if (myMask[%d]&1) \\\n", i);
    if (isRootObjectClass(ancestor)) {
        writeRootObjectStep(out, ControlInfo::assign);
    } else {
        // The runtime has one assignment typedef for both.
        kavtokfprintf(out, "           ((kavTD_KAVObject_kavDefaultAssign) \\\n");
        kavtokfprintf(out, "               ctrl->info->defaultConstAssign) \\\n");
        kavtokfprintf(out, "                   ((KAVObject *)((void *) kavSelf), ctrl, (KAVObject *)((void *) fromObj))\n");
    }
}

}  // namespace

void writeAssignmentMacros(FILE* out, Entry* cls, const DirectInitClasses& classes) {
    if (!hasAssignmentMethod(cls)) return;
    writeEntryMacro(out, cls, classes.count());
    kavtfullComment(out, "Ancestor_AssignmentOp Macros");
    for (int i = 0; i < classes.count(); ++i)
        if (Entry* ancestor = classes.ancestors[i]) writeAncestorMacros(out, cls, ancestor, i);
}

}  // namespace darurov
