// <Class>SM: which methods get a row; the row fields <Class>SM and kavGM_<Class> share.
#include "tables_fixture.h"

#include <vector>

using namespace darurov;
using namespace tables_testing;

namespace {

const std::string staticComment = comment("Declare the Static Methods table.");

class StaticMethodTable : public TablesTest {};

// Own static methods of the pass, then reintroduced ones; never procedures, non-static
// methods, overrides or "class" methods.
TEST_F(StaticMethodTable, OwnMethodsThenReintroducedOnes) {
    Entry* base = parent("Base", {"eat", "sleep", "grow"});
    kavc::addReintroduce(cls, kavc::findMethod(base, "eat"), 7);
    kavc::addMod(kavc::addReintroduce(cls, kavc::findMethod(base, "grow"), 7), "procedure");
    kavc::addOverride(cls, kavc::findMethod(base, "sleep"), 5);
    method("walk");
    for (const char* kind : {"procedure", "nonstatic", "nonstaticaccessors", "class"})
        method((std::string("m_") + kind).c_str(), kind);
    method("run");
    startPass();
    EXPECT_EQ(rowHeads(write(writeStaticMethodTable)),
              (std::vector<std::string>{"    {    &AnimalClassData.walk,",
                                        "    {    &AnimalClassData.run,",
                                        "    {    &AnimalClassData.eat,"}));
    EXPECT_EQ(pass.counts.staticMethods, 3u);
}

TEST_F(StaticMethodTable, MetaclassPassTakesOnlyClassMethodsWithTheClassPrefix) {
    kavc::setOption("notc", nullptr);
    kavc::addMod(cls, "classprefix", "m_an_");
    method("walk");
    method("spawn", "class");
    startPass(true);
    const std::string text = write(writeStaticMethodTable);
    EXPECT_NE(text.find(lines({"static kavStaticMethod_t M_AnimalSM[] = {",
                               "    {    &M_AnimalClassData.spawn,", "         &kavId_spawn,",
                               "         &kavDI_spawn,", "         (kavMethodProc *) m_an_spawn,"})),
              std::string::npos) << text;
    EXPECT_EQ(pass.counts.staticMethods, 1u);
}

// Decision: without "classprefix" a class method's function carries no prefix at all.
TEST_F(StaticMethodTable, ClassMethodWithoutClassPrefixHasABareFunctionName) {
    kavc::setOption("notc", nullptr);
    method("spawn", "class");
    startPass(true);
    EXPECT_NE(write(writeStaticMethodTable).find("\n         (kavMethodProc *) spawn,\n"),
              std::string::npos);
}

// Method "walk" in either table, per options: the row's lines after its method identifier.
struct RowCase {
    const char* name;
    std::vector<const char*> options;
    std::vector<std::string> fields;
    const char* hostPrefix = "an_";
};
void PrintTo(const RowCase& c, std::ostream* os) { *os << c.name; }

struct TableCase {
    const char* name;
    Writer writer;
    const char* modifier;  // what puts "walk" in the table
    std::string head;      // the text before walk's identifier
};
void PrintTo(const TableCase& c, std::ostream* os) { *os << c.name; }

class MethodRowVariants : public TablesTest,
                          public ::testing::WithParamInterface<std::tuple<TableCase, RowCase>> {};

TEST_P(MethodRowVariants, WritesTheFieldsOfThePolicy) {
    const auto& [table, row] = GetParam();
    for (const char* option : row.options) kavc::setOption(option, nullptr);
    kavc::setClassPrefix(row.hostPrefix);
    method("walk", table.modifier);
    startPass();
    std::string expected = table.head + "         &kavId_walk,\n";
    for (const std::string& field : row.fields) expected += field + "\n";
    EXPECT_EQ(write(table.writer), expected + "};\n\n");
}

const std::string desc = "         &kavDI_walk,";
const std::string impl = "         (kavMethodProc *) an_walk,";
const std::string rd = "         (kavMethodProc *) kavRD_an_walk,";
const std::string ap = "         (kavMethodProc *) kavAP_an_walk    },";
const std::vector<std::string> runtimeMade = {
    desc,
    impl,
    "         (kavMethodProc *)((void*)-1),",
    "#ifdef an_walk_kavApRdDefault",
    "         0},",
    "#else",
    "         (kavMethodProc *) ((void*) &an_walkStubs) },",
    "#endif",
};

INSTANTIATE_TEST_SUITE_P(
    StubPolicies, MethodRowVariants,
    ::testing::Combine(
        ::testing::Values(
            TableCase{"Static", writeStaticMethodTable, nullptr,
                      staticComment + lines({"static kavStaticMethod_t AnimalSM[] = {",
                                             "    {    &AnimalClassData.walk,"})},
            TableCase{"NonStatic", writeGeneralMethodTable, "nonstatic",
                      comment("Declare the NonStatic Methods table.") +
                          lines({"static kavMethods_t kavGM_Animal[] = {",
                                 "    {    2, &AnimalClassData.walk,"})}),
        ::testing::Values(
            RowCase{"Idl", {}, runtimeMade},
            // Whatever the stub policy, an IDL class without "notc" names the runtime's stubs.
            RowCase{"IdlKavboot", {"kavboot"}, runtimeMade},
            RowCase{"NullHostPrefix", {},
                    {desc, "         (kavMethodProc *) walk,", runtimeMade[2],
                     "#ifdef walk_kavApRdDefault", "         0},", "#else",
                     "         (kavMethodProc *) ((void*) &walkStubs) },", "#endif"},
                    nullptr},
            RowCase{"IdlNotc", {"notc"}, {desc, impl, rd, ap}},
            RowCase{"Zdl", {"csc"}, {desc, impl, rd, ap}},
            RowCase{"ZdlNordstubs", {"csc", "nordstubs"},
                    {desc, impl, "         (kavMethodProc *) NULL,", ap}},
            RowCase{"ZdlNoapstubs", {"csc", "noapstubs"},
                    {desc, impl, rd, "         (kavMethodProc *) NULL    },"}},
            RowCase{"ZdlNodesc", {"csc", "nodesc"}, {"         (kavId *) NULL,", impl, rd, ap}})),
    [](const auto& info) {
        return std::string(std::get<0>(info.param).name) + "_" + std::get<1>(info.param).name;
    });

}  // namespace
