// The <Class>Data structure, the GetData macro and the VARIABLE_MACROS block.
#include "driver/state.h"
#include "header/header.h"

#include <string_view>
#include <unordered_map>

namespace darurov {

namespace {

bool isInstanceMember(Entry* member) {
    return belongsToPass(member) && !hasMod(member, Option::staticdata);
}

// The first member of the data chain under each name. A release order may name every member
// of a large class: one walk of the chain per name would grow with the square of the count.
std::unordered_map<std::string_view, Entry*> dataMembersByName(Entry* cls) {
    std::unordered_map<std::string_view, Entry*> byName;
    for (Entry* member = cls->data; member; member = member->next) byName.emplace(member->name, member);
    return byName;
}

// Data tokens are thunks unless "nothunks" or "kavboot" asks for kavDataResolve.
bool dataTokensAreThunks() { return !optionSet(Option::nothunks) && !optionSet(Option::kavboot); }

// IDL classes keep the layout their release order fixes, so that adding a member does not
// move the others; the lists may name static members too.
void writeReleaseOrderMembers(FILE* out, Entry* cls) {
    const std::unordered_map<std::string_view, Entry*> members = dataMembersByName(cls);
    for (NameList* list : cls->releaseOrder->dataLists)
        for (NameList* item = list; item; item = item->next) {
            auto found = members.find(item->name);
            Entry* member = found == members.end() ? nullptr : found->second;
            if (member && belongsToPass(member))
                kavtokfprintf(out, "\t%s;\n", member->declarator);
        }
}

void writeDeclaredMembers(FILE* out, Entry* cls) {
    for (Entry* member = cls->data; member; member = member->next)
        if (isInstanceMember(member)) kavtokfprintf(out, "\t%s;\n", member->declarator);
}

void writeGetDataMacro(FILE* out, const char* name) {
    kavtfullComment(out, "-- Getdata Macro");
    if (dataTokensAreThunks()) {
        kavtfullComment(out, "-- This emitter treats Data Tokens as Thunks by default.\n-- Use the kc modifier \"nothunks\" to override this default.");
        if (optionSet(Option::pbl))
            kavtokfprintf(out, "typedef %sData* (* %s kavTD_%s_DataThunk)(void*);\n", name,
                          pass.linkageMacro, name);
        else
            kavtokfprintf(out, "typedef %sData* (%s * kavTD_%s_DataThunk)(void*);\n", name,
                          pass.linkageMacro, name);
        kavtokfprintf(out, "#define %sGetData(kavSelf) \\\n", name);
        kavtokfprintf(out, "   (((kavTD_%s_DataThunk)(%sCClassData.instanceDataToken))(kavSelf))\n",
                      name, name);
    } else {
        kavtfullComment(out, "-- This emitter normally treats Data Tokens as Thunks,\n-- but the kc modifier \"nothunks\" was used, so kavDataResolve will be called.\n");
        kavtokfprintf(out, "#define %sGetData(kavSelf) \\\n", name);
        kavtokfprintf(out, "    ((%sData *) \\\n", name);
        kavtokfprintf(out, "        KAV_DataResolve(((KAVObject *)((void *)kavSelf)), %sCClassData.instanceDataToken))\n", name);
    }
}

}  // namespace

void writeInstanceData(FILE* out, Entry* cls) {
    kavtfullComment(out, "-- Instance Data");
    for (Entry* member = cls->data; member; member = member->next)
        if (isInstanceMember(member)) {
            pass.hasInstanceData = true;
            break;
        }

    if (!pass.hasInstanceData) {
        kavtokfprintf(out, "typedef void %sData;\n", cls->name);
        kavtfullComment(out, "This class introduces no instance data, so no GetData macro is provided\n");
        return;
    }

    kavtokfprintf(out, "typedef struct {\n");
    if (!pass.zdlClass && cls->releaseOrder)
        writeReleaseOrderMembers(out, cls);
    else
        writeDeclaredMembers(out, cls);
    kavtokfprintf(out, "} %sData;\n", cls->name);

    writeGetDataMacro(out, cls->name);

    kavtfullComment(out, "-- Instance Data Access Macros for use in Method Procedures");
    kavtokfprintf(out, "#ifdef VARIABLE_MACROS\n");
    for (Entry* member = cls->data; member; member = member->next)
        if (belongsToPass(member))
            kavtokfprintf(out, "  #define _%s (kavThis->%s)\n", member->name, member->name);
    kavtokfprintf(out, "#endif\n\n");
}

}  // namespace darurov
