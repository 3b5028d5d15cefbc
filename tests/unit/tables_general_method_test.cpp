// kavGM_<Class>: allocation, deallocation and non-static rows in one array.
#include "tables_fixture.h"

using namespace darurov;
using namespace tables_testing;

namespace {

const std::string generalComment = comment("Declare the General Method Registration Table.");
const std::string nonStaticComment = comment("Declare the NonStatic Methods table.");

class GeneralMethodTable : public TablesTest {};

TEST_F(GeneralMethodTable, NothingToRegisterWritesNothing) {
    method("walk");
    method("step", "procedure");
    startPass();
    EXPECT_EQ(write(writeGeneralMethodTable), "");
    EXPECT_EQ(pass.counts.generalMethods, 0u);
}

TEST_F(GeneralMethodTable, AllocationOnly) {
    kavc::addMod(cls, "kavallocate", "zooAlloc");
    startPass();
    EXPECT_EQ(write(writeGeneralMethodTable),
              "KAVEXTERN string KAVLINK zooAlloc(KAVClass *cls, long size);\n" + generalComment +
                  lines({
                      "static kavMethods_t kavGM_Animal[] = {",
                      "    {    7, 0, 0, 0, (kavMethodProc*) zooAlloc },",
                      "};",
                      "",
                  }));
    EXPECT_EQ(pass.counts.generalMethods, 1u);
}

TEST_F(GeneralMethodTable, DeallocationOnlyOpensTheGeneralArray) {
    kavc::addMod(cls, "kavdeallocate", "zooFree");
    startPass();
    EXPECT_EQ(write(writeGeneralMethodTable),
              "KAVEXTERN void KAVLINK zooFree(KAVClass *cls, string obj);\n" + generalComment +
                  lines({
                      "static kavMethods_t kavGM_Animal[] = {",
                      "    {    8, 0, 0, 0, (kavMethodProc*) zooFree },",
                      "};",
                      "",
                  }));
    EXPECT_EQ(pass.counts.generalMethods, 1u);
}

TEST_F(GeneralMethodTable, BothFunctionsThenNonStaticRowsInOneArray) {
    kavc::setOption("csc", nullptr);
    kavc::setOption("nordstubs", nullptr);
    kavc::setOption("noapstubs", nullptr);
    kavc::addMod(cls, "kavallocate", "zooAlloc");
    kavc::addMod(cls, "kavdeallocate", "zooFree");
    method("walk");
    method("size", "nonstatic");
    method("colour", "nonstaticaccessors");
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
                      "    {    2, &AnimalClassData.colour,",
                      "         &kavId_colour,",
                      "         &kavDI_colour,",
                      "         (kavMethodProc *) an_colour,",
                      "         (kavMethodProc *) NULL,",
                      "         (kavMethodProc *) NULL    },",
                      "};",
                      "",
                  }));
    EXPECT_EQ(pass.counts.generalMethods, 4u);
}

TEST_F(GeneralMethodTable, NonStaticOnlyUnderItsOwnCommentWithRuntimeStubs) {
    method("size", "nonstatic");
    startPass();
    EXPECT_EQ(write(writeGeneralMethodTable),
              nonStaticComment + lines({
                                     "static kavMethods_t kavGM_Animal[] = {",
                                     "    {    2, &AnimalClassData.size,",
                                     "         &kavId_size,",
                                     "         &kavDI_size,",
                                     "         (kavMethodProc *) an_size,",
                                     "         (kavMethodProc *)((void*)-1),",
                                     "#ifdef an_size_kavApRdDefault",
                                     "         0},",
                                     "#else",
                                     "         (kavMethodProc *) ((void*) &an_sizeStubs) },",
                                     "#endif",
                                     "};",
                                     "",
                                 }));
    EXPECT_EQ(pass.counts.generalMethods, 1u);
}

TEST_F(GeneralMethodTable, NonStaticProcedureAndReintroducedMethodsGetRows) {
    kavc::setOption("notc", nullptr);
    Entry* base = kavc::newClass("Base", {}, nullptr, 1);
    Entry* weigh = kavc::addMethod(base, "weigh", kavc::basicType("long"), 2);
    kavc::addMod(weigh, "nonstatic");
    kavc::finishClass(base);
    kavc::addParent(cls, base, 1);
    Entry* both = method("count", "procedure");
    kavc::addMod(both, "nonstatic");
    kavc::addMod(kavc::addReintroduce(cls, weigh, 6), "nonstatic");
    startPass();
    std::string text = write(writeGeneralMethodTable);
    size_t count = text.find("    {    2, &AnimalClassData.count,\n");
    size_t weighRow = text.find("    {    2, &AnimalClassData.weigh,\n");
    EXPECT_NE(count, std::string::npos) << text;
    EXPECT_NE(weighRow, std::string::npos) << text;
    EXPECT_LT(count, weighRow);
    EXPECT_EQ(pass.counts.generalMethods, 2u);
}

TEST_F(GeneralMethodTable, EachPassTakesItsOwnNonStaticMethods) {
    kavc::setOption("notc", nullptr);
    kavc::addMod(cls, "classprefix", "m_an_");
    method("size", "nonstatic");
    Entry* census = method("census", "nonstatic");
    kavc::addMod(census, "class");
    startMetaclassPass();
    EXPECT_EQ(write(writeGeneralMethodTable),
              nonStaticComment + lines({
                                     "static kavMethods_t kavGM_M_Animal[] = {",
                                     "    {    2, &M_AnimalClassData.census,",
                                     "         &kavId_census,",
                                     "         &kavDI_census,",
                                     "         (kavMethodProc *) m_an_census,",
                                     "         (kavMethodProc *) kavRD_an_census,",
                                     "         (kavMethodProc *) kavAP_an_census    },",
                                     "};",
                                     "",
                                 }));
}

}  // namespace
