// The <Class>Data structure, its GetData macro and the VARIABLE_MACROS block.
#include "header_fixture.h"

using namespace darurov;
using namespace header_testing;

namespace {

const std::string banner = comment("-- Instance Data");
const std::string noData =
    banner + lines({"typedef void AnimalData;"}) +
    comment("This class introduces no instance data, so no GetData macro is provided\n");

std::string structure(std::initializer_list<std::string> members, const std::string& cls = "Animal") {
    std::string text = lines({"typedef struct {"});
    for (const auto& member : members) text += "\t" + member + ";\n";
    return text + lines({"} " + cls + "Data;"});
}

std::string thunk(bool pbl, const std::string& c = "Animal") {
    return comment("-- Getdata Macro") +
           comment("-- This emitter treats Data Tokens as Thunks by default.\n"
                   "-- Use the kc modifier \"nothunks\" to override this default.") +
           lines({pbl ? "typedef " + c + "Data* (* KAVLINK kavTD_" + c + "_DataThunk)(void*);"
                      : "typedef " + c + "Data* (KAVLINK * kavTD_" + c + "_DataThunk)(void*);",
                  "#define " + c + "GetData(kavSelf) \\",
                  "   (((kavTD_" + c + "_DataThunk)(" + c +
                      "CClassData.instanceDataToken))(kavSelf))"});
}

std::string resolve(const std::string& c = "Animal") {
    return comment("-- Getdata Macro") +
           comment("-- This emitter normally treats Data Tokens as Thunks,\n"
                   "-- but the kc modifier \"nothunks\" was used, so kavDataResolve will be "
                   "called.\n") +
           lines({"#define " + c + "GetData(kavSelf) \\", "    ((" + c + "Data *) \\",
                  "        KAV_DataResolve(((KAVObject *)((void *)kavSelf)), " + c +
                      "CClassData.instanceDataToken))"});
}

std::string variables(std::initializer_list<std::string> members) {
    std::string text = comment("-- Instance Data Access Macros for use in Method Procedures") +
                       lines({"#ifdef VARIABLE_MACROS"});
    for (const auto& member : members)
        text += "  #define _" + member + " (kavThis->" + member + ")\n";
    return text + lines({"#endif", ""});
}

class InstanceDataTest : public HeaderTest {
  protected:
    std::string write() {
        return capture([&](FILE* out) { writeInstanceData(out, cls); });
    }
};

// Access macro forms by option; the members are the same in every case.
struct AccessCase {
    const char* label;
    std::vector<const char*> options;
    std::string access;
};

class DataAccess : public InstanceDataTest, public ::testing::WithParamInterface<AccessCase> {};

TEST_P(DataAccess, PicksThunkOrResolveForm) {
    options(GetParam().options);
    data("count");
    data("speed", "float");
    startPass();
    EXPECT_EQ(write(), banner + structure({"long count", "float speed"}) + GetParam().access +
                           variables({"count", "speed"}));
    EXPECT_TRUE(pass.hasInstanceData);
}

INSTANTIATE_TEST_SUITE_P(
    Variants, DataAccess,
    ::testing::Values(AccessCase{"thunks", {}, thunk(false)},
                      AccessCase{"pbl", {"pbl"}, thunk(true)},
                      AccessCase{"nothunks", {"nothunks"}, resolve()},
                      AccessCase{"kavboot", {"kavboot"}, resolve()},
                      AccessCase{"nothunksPbl", {"nothunks", "pbl"}, resolve()},
                      AccessCase{"zdlThunks", {"csc"}, thunk(false)},
                      AccessCase{"zdlNothunks", {"csc", "nothunks"}, resolve()}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(InstanceDataTest, NoDataGivesVoidTypedef) {
    startPass();
    EXPECT_EQ(write(), noData);
    EXPECT_FALSE(pass.hasInstanceData);
}

TEST_F(InstanceDataTest, StaticMembersOnlyGiveVoidTypedefAndNoMacros) {
    kavc::addMod(data("total"), "staticdata");
    startPass();
    EXPECT_EQ(write(), noData);
    EXPECT_FALSE(pass.hasInstanceData);
}

TEST_F(InstanceDataTest, DataChainLeavesStaticMembersOutOfTheStructure) {
    data("count");
    kavc::addMod(data("total"), "staticdata");
    data("speed", "float");
    startPass();
    EXPECT_EQ(write(), banner + structure({"long count", "float speed"}) + thunk(false) +
                           variables({"count", "total", "speed"}));
}

TEST_F(InstanceDataTest, ClassPassSkipsClassData) {
    data("count");
    kavc::addMod(data("instances"), "class");
    startPass();
    EXPECT_EQ(write(), banner + structure({"long count"}) + thunk(false) + variables({"count"}));
}

TEST_F(InstanceDataTest, MetaclassPassTakesClassDataOnly) {
    data("count");
    kavc::addMod(data("instances"), "class");
    startPass(true);
    EXPECT_EQ(write(), comment("-- Instance Data") + structure({"long instances"}, "M_Animal") +
                           thunk(false, "M_Animal") + variables({"instances"}));
}

TEST_F(InstanceDataTest, MetaclassPassWithoutClassDataIsVoid) {
    data("count");
    classMethod("create");
    startPass(true);
    EXPECT_EQ(write(),
              banner + lines({"typedef void M_AnimalData;"}) +
                  comment("This class introduces no instance data, so no GetData macro is provided\n"));
}

// An IDL class with a release order lays members out by the host's three lists (public,
// private, others here), static ones included.
TEST_F(InstanceDataTest, ReleaseOrderListsFixTheLayout) {
    data("a");
    kavc::addMod(data("b"), "public");
    kavc::addMod(data("c", "char"), "private");
    kavc::addMod(data("s"), "staticdata");
    kavc::setReleaseOrder(cls, {"walk"});
    method("walk");
    startPass();
    EXPECT_EQ(write(), banner + structure({"long b", "char c", "long a", "long s"}) +
                           thunk(false) + variables({"a", "b", "c", "s"}));
}

TEST_F(InstanceDataTest, ZdlClassIgnoresTheReleaseOrder) {
    options({"csc"});
    data("a");
    kavc::addMod(data("b"), "public");
    kavc::addMod(data("s"), "staticdata");
    kavc::setReleaseOrder(cls, {});
    startPass();
    EXPECT_EQ(write(), banner + structure({"long a", "long b"}) + thunk(false) +
                           variables({"a", "b", "s"}));
}

TEST_F(InstanceDataTest, MemberInNoReleaseListStillGetsItsMacro) {
    data("a");
    kavc::addMod(data("b"), "public");
    kavc::setReleaseOrder(cls, {});
    startPass();
    cls->releaseOrder->dataLists[2] = nullptr;  // "a" is named by no list
    EXPECT_EQ(write(), banner + structure({"long b"}) + thunk(false) + variables({"a", "b"}));
}

TEST_F(InstanceDataTest, ReleaseListsNamingNoMemberOfThePassGiveAnEmptyStructure) {
    data("a");
    kavc::setReleaseOrder(cls, {});
    startPass();
    for (NameList*& list : cls->releaseOrder->dataLists) list = nullptr;
    EXPECT_EQ(write(), banner + structure({}) + thunk(false) + variables({"a"}));
}

}  // namespace
