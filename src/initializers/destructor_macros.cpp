// Entry and exit macros of the destructor.
#include "driver/state.h"
#include "initializers/direct_init.h"

namespace darurov {

void writeDestructorMacros(FILE* out, Entry* cls, const DirectInitClasses& classes) {
    const char* c = cls->name;
    kavtokfprintf(out, "#define %s_BeginDestructor \\\n", c);
    kavtokfprintf(out, "   if (!ctrl) { \\\n");
    kavtokfprintf(out, "      ctrl = &globalCtrl; \\\n");
    kavtokfprintf(out, "      memcpy(ctrl,&(((kavParentMtabStructPtr)%sCClassData.parentMtab)->destructCtrl),sizeof(kavDestructCtrl)); \\\n", c);
    kavtokfprintf(out, "   } \\\n");
    if (pass.hasInstanceData)
        kavtokfprintf(out, "   kavThis = (%sData*)((char*)kavSelf + ctrl->info->dataOffset);\\\n", c);
    kavtokfprintf(out, "   myMask = ctrl->mask; \n");

    kavtokfprintf(out, "#define %s_EndDestructor \\\n", c);
    kavtokfprintf(out, "   ctrl->info = (kavDestructInfo*)(ctrl->infoSize + (char*)(ctrl->info)); \\\n");
    kavtokfprintf(out, "   ctrl->mask += %d; \\\n", classes.count());
    // Ancestors are destroyed in the reverse order of their initialization.
    for (int i = classes.count() - 1; i >= 0; --i)
        if (Entry* ancestor = classes.ancestors[i])
            kavtokfprintf(out, "   %s_DeInit_%s_kavDestruct(kavSelf,0,ctrl); \\\n", c, ancestor->name);
    kavtokfprintf(out, "   if (doFree) _%s->kavDeallocate((string)kavSelf);\n", c);
}

}  // namespace darurov
