// The <Class>Data structure, its GetData macro and the VARIABLE_MACROS block.
#include "header_fixture.h"

using namespace darurov;
using namespace header_testing;

namespace {

enum class Access { thunk, pblThunk, resolve };

std::string getData(Access access, const std::string& c) {
    if (access == Access::resolve)
        return comment("-- Getdata Macro") +
               comment("-- This emitter normally treats Data Tokens as Thunks,\n"
                       "-- but the kc modifier \"nothunks\" was used, so kavDataResolve will be "
                       "called.\n") +
               lines({"#define " + c + "GetData(kavSelf) \\", "    ((" + c + "Data *) \\",
                      "        KAV_DataResolve(((KAVObject *)((void *)kavSelf)), " + c +
                          "CClassData.instanceDataToken))"});
    std::string pointer = access == Access::pblThunk ? "* KAVLINK" : "KAVLINK *";
    return comment("-- Getdata Macro") +
           comment("-- This emitter treats Data Tokens as Thunks by default.\n"
                   "-- Use the kc modifier \"nothunks\" to override this default.") +
           lines({"typedef " + c + "Data* (" + pointer + " kavTD_" + c + "_DataThunk)(void*);",
                  "#define " + c + "GetData(kavSelf) \\",
                  "   (((kavTD_" + c + "_DataThunk)(" + c +
                      "CClassData.instanceDataToken))(kavSelf))"});
}

// Unless a case says otherwise the class has a plain, a public, a private (char), a static
// and a class member; the release order lists them public, private, then the others.
struct DataCase {
    const char* label;
    std::vector<const char*> options = {};
    bool metaclass = false;
    bool releaseOrder = false;
    bool emptyReleaseLists = false;  // the lists name no member at all
    std::vector<std::pair<const char*, const char*>> members = {  // name, modifier or ""
        {"a", ""}, {"b", "public"}, {"c", "private"}, {"s", "staticdata"}, {"k", "class"}};
    Access access = Access::thunk;
    std::vector<std::string> structure = {"long a", "long b", "char c"};
    std::vector<std::string> variables = {"a", "b", "c", "s"};  // none: no instance data
};

class InstanceData : public HeaderTest, public ::testing::WithParamInterface<DataCase> {};

TEST_P(InstanceData, WritesStructureAccessMacroAndVariables) {
    const DataCase& c = GetParam();
    options(c.options);
    for (auto [name, mod] : c.members) {
        Entry* member = data(name, std::string(name) == "c" ? "char" : "long");
        if (*mod) kavc::addMod(member, mod);
    }
    if (c.metaclass) classMethod("create");  // so that the class has a metaclass
    if (c.releaseOrder) kavc::setReleaseOrder(cls, {});
    startPass(c.metaclass);
    if (c.emptyReleaseLists)
        for (NameList*& list : cls->releaseOrder->dataLists) list = nullptr;
    std::string name = c.metaclass ? "M_Animal" : "Animal";
    std::string expected = comment("-- Instance Data");
    if (c.variables.empty()) {
        expected += lines({"typedef void " + name + "Data;"}) +
                    comment("This class introduces no instance data, so no GetData macro is "
                            "provided\n");
    } else {
        expected += "typedef struct {\n";
        for (const auto& member : c.structure) expected += "\t" + member + ";\n";
        expected += "} " + name + "Data;\n" + getData(c.access, name) +
                    comment("-- Instance Data Access Macros for use in Method Procedures") +
                    "#ifdef VARIABLE_MACROS\n";
        for (const auto& member : c.variables)
            expected += "  #define _" + member + " (kavThis->" + member + ")\n";
        expected += "#endif\n\n";
    }
    EXPECT_EQ(section(writeInstanceData), expected);
    EXPECT_EQ(pass.hasInstanceData, !c.variables.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Variants, InstanceData,
    ::testing::Values(
        DataCase{.label = "thunks"},
        DataCase{.label = "pbl", .options = {"pbl"}, .access = Access::pblThunk},
        DataCase{.label = "nothunks", .options = {"nothunks"}, .access = Access::resolve},
        DataCase{.label = "kavboot", .options = {"kavboot"}, .access = Access::resolve},
        DataCase{.label = "nothunksPbl", .options = {"nothunks", "pbl"}, .access = Access::resolve},
        // Static members are laid out too when the release order fixes the layout.
        DataCase{.label = "releaseOrder", .releaseOrder = true,
                 .structure = {"long b", "char c", "long a", "long s"}},
        DataCase{.label = "zdlIgnoresReleaseOrder", .options = {"csc"}, .releaseOrder = true},
        DataCase{.label = "releaseListsNameNoMember", .releaseOrder = true,
                 .emptyReleaseLists = true, .structure = {}},
        DataCase{.label = "metaclassPass", .metaclass = true, .structure = {"long k"},
                 .variables = {"k"}},
        DataCase{.label = "staticOnly", .members = {{"s", "staticdata"}, {"k", "class"}},
                 .variables = {}},
        DataCase{.label = "metaclassPassWithoutClassData", .metaclass = true,
                 .members = {{"a", ""}}, .variables = {}}),
    byLabel);

}  // namespace
