// Entry macros of the initializers, and the order of the whole lifecycle section.
#include "initializers/initializers.h"

#include "driver/lists.h"
#include "driver/sections.h"
#include "driver/state.h"
#include "initializers/direct_init.h"

#include <cstring>

namespace darurov {

namespace {

// A parent class's name as the runtime lists it: the simple name, which for an IDL class is
// the last part of its scoped name.
const char* listedName(Entry* parent) {
    if (pass.zdlClass || !parent->scopedName || !parent->scopedName[0]) return parent->name;
    char** part = parent->scopedName;
    while (part[1]) ++part;
    return *part;
}

// The first letter settles most names without a library call.
bool named(Entry* e, const char* name) { return e->name[0] == name[0] && std::strcmp(e->name, name) == 0; }

// The control parameter is the initializer's first explicit parameter.
const char* controlParameter(Entry* method) {
    Entry* param = kavtnthArg(method, 0);
    return param ? param->name : "ctrl";
}

}  // namespace

std::string directInitClassList(Entry* cls) {
    if (const char* value = modValue(cls, Option::directinitclasses)) return value;
    std::string text;
    for (Entry* ref = cls->parents; ref; ref = ref->next) {
        if (ref != cls->parents) text += ',';
        text += listedName(ref->cls);
    }
    return text;
}

DirectInitClasses directInitClasses(Entry* cls) {
    DirectInitClasses classes;
    std::string text = directInitClassList(cls);
    StringSeq seq{};
    kavttcSeqFromListString(&seq, text.c_str());
    for (unsigned long i = 0; i < seq.length; ++i) {
        const char* name = seq.buffer[i];
        while (*name == ' ') ++name;
        classes.ancestors.push_back(kavtAncestorClass(cls, name));
    }
    if (seq.buffer) kavtsmfree(seq.buffer, 0);
    return classes;
}

void emitInitializerMacros(FILE* out, Entry* cls) {
    DirectInitClasses classes = directInitClasses(cls);
    int n = classes.count();
    writeAssignmentMacros(out, cls, classes);
    kavtfullComment(out, "Macros for initializer/destructor entry/exit");

    // The name flags look at every method, whichever pass it belongs to.
    bool defaultInit = false;
    bool copyInit = false;
    bool constCopyInit = false;
    bool destructor = false;
    for (const PassMethod& facts : passMethods(cls)) {
        if (!facts.lifecycle) continue;  // every name below is a lifecycle name
        Entry* m = facts.method;
        defaultInit = defaultInit || named(m, "kavDefaultInit");
        copyInit = copyInit || named(m, "kavDefaultCopyInit");
        constCopyInit = constCopyInit || named(m, "kavDefaultConstCopyInit");
        bool initializer = isDefaultInitializer(facts);
        if (!(initializer || (!destructor && named(m, "kavDestruct"))) || !facts.is(inPassFact)) continue;
        if (initializer) {
            emitBeginInitializer(out, cls, n, controlParameter(m), m->name);
        } else {
            writeDestructorMacros(out, cls, classes);
            destructor = true;
        }
    }
    for (int i = 0; i < pass.initializers.count; ++i) {
        Entry* m = pass.initializers.methods[i];
        defaultInit = true;
        emitBeginInitializer(out, cls, n, controlParameter(m), m->name);
    }

    if (copyInit) writeAncestorCopyInitMacros(out, cls, classes);
    if (constCopyInit) writeAncestorConstCopyInitMacros(out, cls, classes);
    if (defaultInit || destructor) writeAncestorInitMacros(out, cls, classes, defaultInit, destructor);
}

void emitBeginInitializer(FILE* out, Entry* cls, int n, const char* ctrlName,
                          const char* methodName) {
    const char* c = cls->name;
    kavtokfprintf(out, "#define %s_BeginInitializer_%s \\\n", c, methodName);
    kavtokfprintf(out, "   if (!%s) { \\\n", ctrlName);
    kavtokfprintf(out, "      %s = &globalCtrl; \\\n", ctrlName);
    kavtokfprintf(out, "      memcpy(ctrl,&(((kavParentMtabStructPtr)%sCClassData.parentMtab)->initCtrl),sizeof(kavInitCtrl)); \\\n", c);
    kavtokfprintf(out, "   } \\\n");
    kavtokfprintf(out, "   myMask = %s->mask; \\\n", ctrlName);
    if (pass.hasInstanceData)
        kavtokfprintf(out, "   kavThis = (%sData*)((char*)kavSelf + %s->info->dataOffset);\\\n", c, ctrlName);
    kavtokfprintf(out, "   %s->info = (kavInitInfo*)(%s->infoSize + (char*)(%s->info)); \\\n", ctrlName,
                  ctrlName, ctrlName);
    kavtokfprintf(out, "   %s->mask += %d;\n", ctrlName, n);
}

}  // namespace darurov
