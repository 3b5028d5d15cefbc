// Class ids and the auxiliary lists: parent and direct-init ids, initializers, non-internal
// data, procedures and select-inherited methods; then the static class info.
#include "tables/class_info.h"

#include "driver/lists.h"
#include "driver/sections.h"
#include "driver/state.h"
#include "tables/method_row.h"

#include <string>
#include <vector>

namespace darurov {

namespace {

// The name text of the class, its metaclass and its parents: simple in ZDL, qualified in IDL.
std::string classNameText(Entry* e, const char* simpleName) {
    return pass.zdlClass ? std::string(simpleName) : qualifiedName(e);
}

// Parent names in reference order, repeats left out by the host.
std::vector<std::string> writeParentNames(FILE* out, Entry* cls) {
    std::vector<std::string> names;
    for (Entry* ref = cls->parents; ref; ref = ref->next) {
        const char* pn = kavtgetNonRepeatedParent(ref, static_cast<int>(names.size()));
        if (!pn) continue;
        names.emplace_back(pn);
        kavtokfprintf(out, "static char * kavPCN_%s_%s = \"%s\";\n", cls->name, pn,
                      classNameText(ref, pn).c_str());
    }
    // No listable parent (none at all, or none the host names): KAVObject is the parent,
    // so the array below always names a defined string.
    if (names.empty() && !isRootObjectClass(cls))
        kavtokfprintf(out, "static char * kavPCN_%s_KAVObject = \"KAVObject\";\n", cls->name);
    return names;
}

// The "directinitclasses" names that are ancestors. Names that are not are left out of the
// strings, the array and the count alike, so the runtime never reads past the array.
std::vector<Entry*> writeDirectInitNames(FILE* out, Entry* cls) {
    std::vector<Entry*> found;
    const char* list = modValue(cls, Option::directinitclasses);
    if (!list) return found;
    StringSeq seq{};
    kavttcSeqFromListString(&seq, list);
    for (unsigned long i = 0; i < seq.length; ++i) {
        const char* name = seq.buffer[i];
        while (*name == ' ') ++name;
        Entry* ancestor = kavtAncestorClass(cls, name);
        if (!ancestor) continue;
        found.push_back(ancestor);
        kavtokfprintf(out, "static char * kavDICN_%s_%s = \"%s\";\n", cls->name, ancestor->name,
                      qualifiedName(ancestor).c_str());
    }
    if (seq.buffer) kavtsmfree(seq.buffer, 0);
    return found;
}

void writeParentArray(FILE* out, Entry* cls, const std::vector<std::string>& names) {
    if (names.empty() && !isRootObjectClass(cls)) {
        kavtokfprintf(out, "static kavId kavPC%s[] = {    &kavPCN_%s_KAVObject };\n\n", cls->name,
                      cls->name);
        return;
    }
    kavtokfprintf(out, "static kavId kavPC%s[] = {\n", cls->name);
    for (const std::string& pn : names)
        kavtokfprintf(out, "    &kavPCN_%s_%s,\n", cls->name, pn.c_str());
    kavtokfprintf(out, "};\n\n");
}

void writeDirectInitArray(FILE* out, Entry* cls, const std::vector<Entry*>& ancestors) {
    if (ancestors.empty()) return;
    kavtokfprintf(out, "static kavId kavDIC%s[] = {\n", cls->name);
    for (Entry* a : ancestors) kavtokfprintf(out, "    &kavDICN_%s_%s,\n", cls->name, a->name);
    kavtokfprintf(out, "};\n\n");
}

void writeInitializerArray(FILE* out, Entry* cls) {
    if (pass.initializers.count == 0) return;
    kavtokfprintf(out, "static kavId kavINIT%s[] = {\n", cls->name);
    for (int i = 0; i < pass.initializers.count; ++i)
        kavtokfprintf(out, "    &kavMN_%s,\n", pass.initializers.methods[i]->name);
    kavtokfprintf(out, "};\n\n");
}

bool isNonInternal(Entry* data) {
    return modValue(data->mods, Option::publicData) || modValue(data->mods, Option::privateData);
}

// The rows of the last three lists end without a newline: the separator or the closing
// brace continues the line.
void writeNonInternalData(FILE* out, Entry* cls) {
    if (!pass.zdlClass) return;
    unsigned& rows = pass.counts.nonInternalData;
    for (Entry* d = cls->data; d; d = d->next) {
        if (!belongsToPass(d) || !isNonInternal(d)) continue;
        if (startRow(out, rows)) {
            kavtokfprintf(out, "static %sData %s_kavInstData;\n", cls->name, cls->name);
            kavtokfprintf(out, "static kavNonInternalData_t %sNID[] = {\n", cls->name);
        }
        kavtokfprintf(out, "    (kavDToken *) &%sClassData.%s,\n", cls->name, d->name);
        kavtokfprintf(out, "    (char *)&%s_kavInstData.%s", cls->name, d->name);
    }
    closeTable(out, rows);
}

void writeProcedureRow(FILE* out, Entry* cls, Entry* e, const char* prefix) {
    if (startRow(out, pass.counts.procMethods))
        kavtokfprintf(out, "static kavProcMethods_t %sPM[] = {\n", cls->name);
    kavtokfprintf(out, "    (kavMethodProc **)&%sClassData.%s,\n", cls->name, e->name);
    kavtokfprintf(out, "    (kavMethodProc *) %s%s", prefix, e->name);
}

void writeProcedureTable(FILE* out, Entry* cls, const char* externalPrefix,
                         const char* classPrefix) {
    const char* prefix = passMethodPrefix(externalPrefix, classPrefix);
    for (const PassMethod& m : passMethods(cls))
        if (m.isPassNewMethod() && m.is(procedureFact)) writeProcedureRow(out, cls, m.method, prefix);
    // Reintroduced procedures are listed in every pass.
    for (int i = 0; i < pass.reintroducedMethods.count; ++i) {
        Entry* e = pass.reintroducedMethods.methods[i];
        if (hasMod(e, Option::procedure))
            writeProcedureRow(out, cls, e, methodPrefix(e, externalPrefix, classPrefix));
    }
    closeTable(out, pass.counts.procMethods);
}

void writeSelectInherited(FILE* out, Entry* cls) {
    unsigned& rows = pass.counts.selectInherited;
    for (const PassMethod& m : passMethods(cls)) {
        if (!m.isPassOverride() || !m.is(selectFact)) continue;
        Entry* e = m.method;
        const char* selected = modValue(e, Option::select);
        if (startRow(out, rows))
            kavtokfprintf(out, "static kavInheritedMethod_t %sSO[] = {\n", cls->name);
        kavtokfprintf(out, "    /* override method */ (kavId*)&kavId_%s%s,\n", cls->name, e->name);
        kavtokfprintf(out, "    /* using parent #  */ %d,\n", parentNumber(cls, selected));
        kavtokfprintf(out, "    /* method token    */ (kavMToken*)&%sClassData.%s\n", e->cls->name,
                      e->name);
    }
    closeTable(out, rows);
}

}  // namespace

void writeClassInfo(FILE* out, Entry* cls, const char* externalPrefix, const char* classPrefix) {
    kavtokfprintf(out, "\n/*\n *  class Ids\n */\n");
    kavtokfprintf(out, "static char * kavCN_%s = \"%s\";\n", cls->name,
                  classNameText(cls, cls->name).c_str());
    if (Entry* meta = cls->metaclass)
        kavtokfprintf(out, "static char * kavEMC_%s = \"%s\";\n", cls->name,
                      classNameText(meta, meta->name).c_str());
    const std::vector<std::string> parentNames = writeParentNames(out, cls);
    const std::vector<Entry*> directInit = writeDirectInitNames(out, cls);
    kavtokfprintf(out, "\n");
    writeParentArray(out, cls, parentNames);
    writeDirectInitArray(out, cls, directInit);
    writeInitializerArray(out, cls);
    writeNonInternalData(out, cls);
    writeProcedureTable(out, cls, externalPrefix, classPrefix);
    writeSelectInherited(out, cls);

    ClassInfoCounts counts;
    counts.parentCount = static_cast<int>(parentNames.size());
    counts.directInitCount = static_cast<int>(directInit.size());
    writeStaticClassInfo(out, cls, externalPrefix, counts);
}

}  // namespace darurov
