// <Class>SM: which methods get a row, and the row's stub fields under each stub policy.
#include "tables_fixture.h"

#include <vector>

using namespace darurov;
using namespace tables_testing;

namespace {

const std::string staticComment = comment("Declare the Static Methods table.");

class StaticMethodTable : public TablesTest {};

TEST_F(StaticMethodTable, NoStaticMethodWritesNothing) {
    method("step", "procedure");
    method("size", "nonstatic");
    method("colour", "nonstaticaccessors");
    startPass();
    EXPECT_EQ(write(writeStaticMethodTable), "");
    EXPECT_EQ(pass.counts.staticMethods, 0u);
}

TEST_F(StaticMethodTable, ClassWithoutMethodsWritesNothing) {
    startPass();
    EXPECT_EQ(write(writeStaticMethodTable), "");
    EXPECT_EQ(pass.counts.staticMethods, 0u);
}

TEST_F(StaticMethodTable, IdlClassLetsTheRuntimeMakeTheStubs) {
    method("walk");
    startPass();
    EXPECT_EQ(write(writeStaticMethodTable),
              staticComment + lines({
                                  "static kavStaticMethod_t AnimalSM[] = {",
                                  "    {    &AnimalClassData.walk,",
                                  "         &kavId_walk,",
                                  "         &kavDI_walk,",
                                  "         (kavMethodProc *) an_walk,",
                                  "         (kavMethodProc *)((void*)-1),",
                                  "#ifdef an_walk_kavApRdDefault",
                                  "         0},",
                                  "#else",
                                  "         (kavMethodProc *) ((void*) &an_walkStubs) },",
                                  "#endif",
                                  "};",
                                  "",
                              }));
    EXPECT_EQ(pass.counts.staticMethods, 1u);
}

TEST_F(StaticMethodTable, OwnMethodsInChainOrderThenReintroducedOnes) {
    kavc::setOption("csc", nullptr);
    kavc::setOption("nodesc", nullptr);
    kavc::setOption("nordstubs", nullptr);
    kavc::setOption("noapstubs", nullptr);
    Entry* base = kavc::newClass("Base", {}, nullptr, 1);
    Entry* eat = kavc::addMethod(base, "eat", kavc::basicType("long"), 2);
    Entry* sleep = kavc::addMethod(base, "sleep", kavc::basicType("void"), 3);
    kavc::finishClass(base);
    kavc::addParent(cls, base, 1);
    method("walk");
    method("spawn", "class");  // the metaclass pass's
    kavc::addOverride(cls, sleep, 5);
    method("run");
    kavc::addReintroduce(cls, eat, 7);
    startPass();
    EXPECT_EQ(write(writeStaticMethodTable),
              comment("Declare the Static Methods table.") +
                  lines({
                      "static kavStaticMethod_t AnimalSM[] = {",
                      "    {    &AnimalClassData.walk,",
                      "         &kavId_walk,",
                      "         (kavId *) NULL,",
                      "         (kavMethodProc *) an_walk,",
                      "         (kavMethodProc *) NULL,",
                      "         (kavMethodProc *) NULL    },",
                      "    {    &AnimalClassData.run,",
                      "         &kavId_run,",
                      "         (kavId *) NULL,",
                      "         (kavMethodProc *) an_run,",
                      "         (kavMethodProc *) NULL,",
                      "         (kavMethodProc *) NULL    },",
                      "    {    &AnimalClassData.eat,",
                      "         &kavId_eat,",
                      "         (kavId *) NULL,",
                      "         (kavMethodProc *) an_eat,",
                      "         (kavMethodProc *) NULL,",
                      "         (kavMethodProc *) NULL    },",
                      "};",
                      "",
                  }));
    EXPECT_EQ(pass.counts.staticMethods, 3u);
}

// The descriptor and stub lines of one row for method "walk", per options.
struct StubCase {
    std::vector<const char*> options;
    std::vector<std::string> fields;  // the row's lines after the implementation function
    const char* descriptor;
};

class StaticRowVariants : public TablesTest, public ::testing::WithParamInterface<StubCase> {};

TEST_P(StaticRowVariants, WritesTheStubFieldsOfThePolicy) {
    const StubCase& c = GetParam();
    for (const char* option : c.options) kavc::setOption(option, nullptr);
    method("walk");
    startPass();
    std::string expected = staticComment + lines({
                                               "static kavStaticMethod_t AnimalSM[] = {",
                                               "    {    &AnimalClassData.walk,",
                                               "         &kavId_walk,",
                                               c.descriptor,
                                               "         (kavMethodProc *) an_walk,",
                                           });
    for (const std::string& field : c.fields) expected += field + "\n";
    expected += "};\n\n";
    EXPECT_EQ(write(writeStaticMethodTable), expected);
}

const std::vector<std::string> runtimeMade = {
    "         (kavMethodProc *)((void*)-1),",
    "#ifdef an_walk_kavApRdDefault",
    "         0},",
    "#else",
    "         (kavMethodProc *) ((void*) &an_walkStubs) },",
    "#endif",
};
const char* withDescriptor = "         &kavDI_walk,";
const char* noDescriptor = "         (kavId *) NULL,";

INSTANTIATE_TEST_SUITE_P(
    StubPolicies, StaticRowVariants,
    ::testing::Values(
        StubCase{{}, runtimeMade, withDescriptor},
        // Whatever the stub policy, an IDL class without "notc" names the runtime's stubs.
        StubCase{{"kavboot"}, runtimeMade, withDescriptor},
        StubCase{{"notc"},
                 {"         (kavMethodProc *) kavRD_an_walk,",
                  "         (kavMethodProc *) kavAP_an_walk    },"},
                 withDescriptor},
        // An IDL class never reads the ZDL switches.
        StubCase{{"notc", "nodesc", "nordstubs", "noapstubs"},
                 {"         (kavMethodProc *) kavRD_an_walk,",
                  "         (kavMethodProc *) kavAP_an_walk    },"},
                 withDescriptor},
        StubCase{{"csc"},
                 {"         (kavMethodProc *) kavRD_an_walk,",
                  "         (kavMethodProc *) kavAP_an_walk    },"},
                 withDescriptor},
        StubCase{{"csc", "nordstubs"},
                 {"         (kavMethodProc *) NULL,",
                  "         (kavMethodProc *) kavAP_an_walk    },"},
                 withDescriptor},
        StubCase{{"csc", "noapstubs"},
                 {"         (kavMethodProc *) kavRD_an_walk,",
                  "         (kavMethodProc *) NULL    },"},
                 withDescriptor},
        StubCase{{"csc", "nodesc"},
                 {"         (kavMethodProc *) kavRD_an_walk,",
                  "         (kavMethodProc *) kavAP_an_walk    },"},
                 noDescriptor}));

TEST_F(StaticMethodTable, ApplyModifiersNameTheApplyStub) {
    kavc::setOption("notc", nullptr);
    kavc::addMod(method("walk"), "apply", "walkApply");
    method("run", "generateapply");
    kavc::addMod(method("hop"), "generateapply", "hopApply");
    startPass();
    std::string text = write(writeStaticMethodTable);
    EXPECT_NE(text.find("         (kavMethodProc *) walkApply    },\n"), std::string::npos);
    EXPECT_NE(text.find("         (kavMethodProc *) kavGAP_an_run    },\n"), std::string::npos);
    EXPECT_NE(text.find("         (kavMethodProc *) hopApply    },\n"), std::string::npos);
}

TEST_F(StaticMethodTable, ApplyWithoutValueIsFatal) {
    kavc::setOption("notc", nullptr);
    method("walk", "apply");
    startPass();
    EXPECT_THROW(write(writeStaticMethodTable), kavc::Fatal);
}

TEST_F(StaticMethodTable, NullHostPrefixLeavesStubNamesBare) {
    kavc::setClassPrefix(nullptr);
    kavc::addMod(cls, "externalprefix", "ext_");
    method("walk");
    startPass();
    EXPECT_EQ(write(writeStaticMethodTable),
              staticComment + lines({
                                  "static kavStaticMethod_t AnimalSM[] = {",
                                  "    {    &AnimalClassData.walk,",
                                  "         &kavId_walk,",
                                  "         &kavDI_walk,",
                                  "         (kavMethodProc *) ext_walk,",
                                  "         (kavMethodProc *)((void*)-1),",
                                  "#ifdef walk_kavApRdDefault",
                                  "         0},",
                                  "#else",
                                  "         (kavMethodProc *) ((void*) &walkStubs) },",
                                  "#endif",
                                  "};",
                                  "",
                              }));
}

TEST_F(StaticMethodTable, ClassPassSkipsClassMethods) {
    kavc::addMod(cls, "classprefix", "m_an_");
    method("spawn", "class");
    startPass();
    EXPECT_EQ(write(writeStaticMethodTable), "");
}

TEST_F(StaticMethodTable, MetaclassPassTakesOnlyClassMethodsWithTheClassPrefix) {
    kavc::setOption("notc", nullptr);
    kavc::addMod(cls, "classprefix", "m_an_");
    method("walk");
    method("spawn", "class");
    startMetaclassPass();
    EXPECT_EQ(write(writeStaticMethodTable),
              staticComment + lines({
                                  "static kavStaticMethod_t M_AnimalSM[] = {",
                                  "    {    &M_AnimalClassData.spawn,",
                                  "         &kavId_spawn,",
                                  "         &kavDI_spawn,",
                                  "         (kavMethodProc *) m_an_spawn,",
                                  "         (kavMethodProc *) kavRD_an_spawn,",
                                  "         (kavMethodProc *) kavAP_an_spawn    },",
                                  "};",
                                  "",
                              }));
    EXPECT_EQ(pass.counts.staticMethods, 1u);
}

// Decision: without "classprefix" a class method's function carries no prefix at all.
TEST_F(StaticMethodTable, ClassMethodWithoutClassPrefixHasABareFunctionName) {
    kavc::setOption("notc", nullptr);
    method("spawn", "class");
    startMetaclassPass();
    std::string text = write(writeStaticMethodTable);
    EXPECT_NE(text.find("\n         (kavMethodProc *) spawn,\n"), std::string::npos) << text;
}

}  // namespace
