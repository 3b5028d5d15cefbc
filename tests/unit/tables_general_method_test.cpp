// kavGM_<Class>: allocation, deallocation and non-static rows in one array.
#include "tables_fixture.h"

#include <vector>

using namespace darurov;
using namespace tables_testing;

namespace {

const std::string generalComment = comment("Declare the General Method Registration Table.");

class GeneralMethodTable : public TablesTest {};

TEST_F(GeneralMethodTable, DeallocationOnlyOpensTheGeneralArray) {
    kavc::addMod(cls, "kavdeallocate", "zooFree");
    startPass();
    EXPECT_EQ(write(writeGeneralMethodTable),
              "KAVEXTERN void KAVLINK zooFree(KAVClass *cls, string obj);\n" + generalComment +
                  lines({"static kavMethods_t kavGM_Animal[] = {",
                         "    {    8, 0, 0, 0, (kavMethodProc*) zooFree },", "};", ""}));
    EXPECT_EQ(pass.counts.generalMethods, 1u);
}

TEST_F(GeneralMethodTable, BothFunctionsThenNonStaticRowsInOneArray) {
    for (const char* option : {"csc", "nordstubs", "noapstubs"}) kavc::setOption(option, nullptr);
    kavc::addMod(cls, "kavallocate", "zooAlloc");
    kavc::addMod(cls, "kavdeallocate", "zooFree");
    method("size", "nonstatic");
    startPass();
    EXPECT_EQ(write(writeGeneralMethodTable),
              lines({
                  "KAVEXTERN string KAVLINK zooAlloc(KAVClass *cls, long size);",
                  "KAVEXTERN void KAVLINK zooFree(KAVClass *cls, string obj);",
              }) + generalComment +
                  lines({
                      "static kavMethods_t kavGM_Animal[] = {",
                      "    {    7, 0, 0, 0, (kavMethodProc*) zooAlloc },",
                      "    {    8, 0, 0, 0, (kavMethodProc*) zooFree },",
                      "    {    2, &AnimalClassData.size,",
                      "         &kavId_size,",
                      "         &kavDI_size,",
                      "         (kavMethodProc *) an_size,",
                      "         (kavMethodProc *) NULL,",
                      "         (kavMethodProc *) NULL    },",
                      "};",
                      "",
                  }));
    EXPECT_EQ(pass.counts.generalMethods, 3u);
}

// Only non-static methods (procedures too) of the pass; reintroduced ones follow the class's own.
TEST_F(GeneralMethodTable, NonStaticMethodsOfThePassThenReintroducedOnes) {
    kavc::setOption("notc", nullptr);
    Entry* base = parent("Base", {"weigh"});
    kavc::addMod(kavc::addReintroduce(cls, kavc::findMethod(base, "weigh"), 6), "nonstatic");
    kavc::addMod(method("count", "procedure"), "nonstatic");
    method("walk");
    method("step", "procedure");
    method("colour", "nonstaticaccessors");
    kavc::addMod(method("census", "nonstatic"), "class");
    startPass();
    EXPECT_EQ(rowHeads(write(writeGeneralMethodTable)),
              (std::vector<std::string>{"    {    2, &AnimalClassData.count,",
                                        "    {    2, &AnimalClassData.colour,",
                                        "    {    2, &AnimalClassData.weigh,"}));
}

TEST_F(GeneralMethodTable, MetaclassPassTakesClassNonStaticMethods) {
    kavc::setOption("notc", nullptr);
    kavc::addMod(cls, "classprefix", "m_an_");
    method("size", "nonstatic");
    kavc::addMod(method("census", "nonstatic"), "class");
    startPass(true);
    const std::string text = write(writeGeneralMethodTable);
    EXPECT_NE(text.find(lines({"static kavMethods_t kavGM_M_Animal[] = {",
                               "    {    2, &M_AnimalClassData.census,", "         &kavId_census,",
                               "         &kavDI_census,", "         (kavMethodProc *) m_an_census,"})),
              std::string::npos) << text;
    EXPECT_EQ(pass.counts.generalMethods, 1u);
}

}  // namespace
