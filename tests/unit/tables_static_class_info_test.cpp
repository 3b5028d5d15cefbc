// <Class>SCI: every count, and a pointer or null for each table.
#include "tables_fixture.h"

#include <vector>

using namespace darurov;
using namespace tables_testing;

namespace {

class StaticClassInfo : public TablesTest {
  protected:
    std::string info() { return staticClassInfo(write(writeClassInfo)); }
    // The registration stretch in the class emitter's order.
    std::string allTables(InheritedMethodList inherited) {
        return capture([&](FILE* out) {
            const char* ext = pass.externalPrefix;
            const char* cp = pass.classPrefix;
            writeStaticMethodTable(out, cls, ext, cp);
            writeOverrideMethodTable(out, cls, ext, cp);
            writeGeneralMethodTable(out, cls, ext, cp);
            countClassDataEntries(out, cls);
            writeMigratedMethodTable(out, cls, ext, cp, inherited);
            writeClassInfo(out, cls, ext, cp);
        });
    }
};

TEST_F(StaticClassInfo, NoTablesAtAll) {
    kavc::setOption("csc", nullptr);
    startPass();
    EXPECT_EQ(allTables(nullptr), lines({
                                      "",
                                      "/*",
                                      " *  class Ids",
                                      " */",
                                      "static char * kavCN_Animal = \"Animal\";",
                                      "static char * kavPCN_Animal_KAVObject = \"KAVObject\";",
                                      "",
                                      "static kavId kavPCAnimal[] = {    &kavPCN_Animal_KAVObject };",
                                      "",
                                      "static kavStaticClassInfo AnimalSCI = {",
                                      "    4, 0, 0, 0, 0, 0, /* layout version 4 */ ",
                                      "    Animal_MajorVersion, Animal_MinorVersion,",
                                      "    0, Animal_MaxNoMethods, 1,",
                                      "    &kavCN_Animal,",
                                      "    (kavId) NULL, 1,",
                                      "    kavPCAnimal,",
                                      "    (kavClassDataStructure *) &AnimalClassData,",
                                      "    (kavCClassDataStructure *) &AnimalCClassData,",
                                      "    (kavStaticMethod_t *) NULL, (kavOverrideMethod_t *) NULL,",
                                      "    (char *) NULL,",
                                      "    (kavNonInternalData_t *) NULL,",
                                      "   (kavProcMethods_t *) NULL,",
                                      "    (kavVarargsFuncs_t *) NULL,",
                                      "    (kavTP_kavClassInitFunc *) NULL,",
                                      "    0, /* default alignment */",
                                      "    -1, /* use parents as DirectInitClasses */",
                                      "    0, /* no explicit DirectInitClasses */",
                                      "    0, /* number of general methods */",
                                      "    (kavMethods_t *) NULL,",
                                      "    0, /* no public data offset */",
                                      "    0, /* no sci development level check */",
                                      "    0, /* number of SelectInheritedMethods */",
                                      "    0, /* no SelectInheritedMethods */",
                                      "    0, /* number of classdata entries */",
                                      "    0, /* no list provided currently */",
                                      "    0, /* number of migrated methods */",
                                      "    0, /* no migrated method implementations */",
                                      "    0, /* number of initializers */",
                                      "    0, /* no initializers */",
                                      "    0, /* not NCX a class */",
                                      "    0, /* no dynamically computed info */",
                                      "};",
                                      "",
                                  }));
}

TEST_F(StaticClassInfo, EveryTablePresent) {
    kavc::setOption("csc", nullptr);
    kavc::setOption("nodesc", nullptr);
    Entry* base = kavc::newClass("Base", {}, nullptr, 1);
    Entry* eat = kavc::addMethod(base, "eat", kavc::basicType("long"), 2);
    Entry* sleep = kavc::addMethod(base, "sleep", kavc::basicType("long"), 2);
    Entry* breathe = kavc::addMethod(base, "breathe", kavc::basicType("long"), 2);
    kavc::finishClass(base);
    Entry* meta = kavc::newClass("AnimalMeta", {}, nullptr, 1);
    kavc::addParent(meta, kavtkavcls, 1);
    kavc::finishClass(meta);
    kavc::addParent(cls, base, 2);
    kavc::setMetaclass(cls, meta);
    kavc::addMod(cls, "classinit", "initAnimal");
    kavc::addMod(cls, "align", "8");
    kavc::addMod(cls, "directinitclasses", "Base");
    kavc::addMod(cls, "kavallocate", "zooAlloc");
    kavc::addMod(cls, "breathe", "migrate=Other");
    method("walk");
    method("step", "procedure");
    method("size", "nonstatic");
    method("withName", "init");
    kavc::addOverride(cls, eat, 3);
    kavc::addMod(kavc::addOverride(cls, sleep, 3), "select", "Base");
    kavc::addMod(kavc::addData(cls, "age", kavc::basicType("long"), 3), "public");
    kavc::setReleaseOrder(cls, {"walk", "step", "size", "withName"});
    startPass();
    pass.hasInstanceData = true;  // the instance-data section found "age"
    InheritedMethodList inherited = addInheritedMethod(nullptr, breathe);
    const std::string staticRows = lines({
        "static kavStaticMethod_t AnimalSM[] = {",
        "    {    &AnimalClassData.walk,",
        "         &kavId_walk,",
        "         (kavId *) NULL,",
        "         (kavMethodProc *) an_walk,",
        "         (kavMethodProc *) kavRD_an_walk,",
        "         (kavMethodProc *) kavAP_an_walk    },",
        "    {    &AnimalClassData.withName,",
        "         &kavId_withName,",
        "         (kavId *) NULL,",
        "         (kavMethodProc *) an_withName,",
        "         (kavMethodProc *) kavRD_an_withName,",
        "         (kavMethodProc *) kavAP_an_withName    },",
        "};",
        "",
    });
    const std::string overrideRows = lines({
        "static kavOverrideMethod_t AnimalOM[] = {",
        "    {    &kavId_Animaleat,",
        "         (kavMethodProc *) an_eat  },",
        "};",
        "",
    });
    const std::string generalRows = lines({
        "static kavMethods_t kavGM_Animal[] = {",
        "    {    7, 0, 0, 0, (kavMethodProc*) zooAlloc },",
        "    {    2, &AnimalClassData.size,",
        "         &kavId_size,",
        "         (kavId *) NULL,",
        "         (kavMethodProc *) an_size,",
        "         (kavMethodProc *) kavRD_an_size,",
        "         (kavMethodProc *) kavAP_an_size    },",
        "};",
        "",
    });
    const std::string rest = lines({
        "static kavMigratedMethod_t AnimalMM[] = {",
        "    /*  find  */ (kavToken*)&(AnimalClassData.breathe),",
        "    /*   in   */ (kavToken*)&(OtherClassData.breathe)};",
        "",
        "",
        "/*",
        " *  class Ids",
        " */",
        "static char * kavCN_Animal = \"Animal\";",
        "static char * kavEMC_Animal = \"AnimalMeta\";",
        "static char * kavPCN_Animal_Base = \"Base\";",
        "static char * kavDICN_Animal_Base = \"Base\";",
        "",
        "static kavId kavPCAnimal[] = {",
        "    &kavPCN_Animal_Base,",
        "};",
        "",
        "static kavId kavDICAnimal[] = {",
        "    &kavDICN_Animal_Base,",
        "};",
        "",
        "static kavId kavINITAnimal[] = {",
        "    &kavMN_withName,",
        "};",
        "",
        "static AnimalData Animal_kavInstData;",
        "static kavNonInternalData_t AnimalNID[] = {",
        "    (kavDToken *) &AnimalClassData.age,",
        "    (char *)&Animal_kavInstData.age};",
        "",
        "static kavProcMethods_t AnimalPM[] = {",
        "    (kavMethodProc **)&AnimalClassData.step,",
        "    (kavMethodProc *) an_step};",
        "",
        "static kavInheritedMethod_t AnimalSO[] = {",
        "    /* override method */ (kavId*)&kavId_Animalsleep,",
        "    /* using parent #  */ 1,",
        "    /* method token    */ (kavMToken*)&BaseClassData.sleep",
        "};",
        "",
        "static kavStaticClassInfo AnimalSCI = {",
        "    4, 2, 1, 1, 1, 0, /* layout version 4 */ ",
        "    Animal_MajorVersion, Animal_MinorVersion,",
        "    sizeof(AnimalData), Animal_MaxNoMethods, 1,",
        "    &kavCN_Animal,",
        "    &kavEMC_Animal, 0,",
        "    kavPCAnimal,",
        "    (kavClassDataStructure *) &AnimalClassData,",
        "    (kavCClassDataStructure *) &AnimalCClassData,",
        "    AnimalSM, AnimalOM,",
        "    (char *) &Animal_kavInstData,",
        "    AnimalNID,    AnimalPM,",
        "    (kavVarargsFuncs_t *) NULL,",
        "    (kavTP_kavClassInitFunc *) an_initAnimal,",
        "    8, /* explicit IDL align modifier */",
        "    1, /* numDirectInitClasses */",
        "    kavDICAnimal, /* directinitclasses */",
        "    2, /* number of general methods */",
        "    kavGM_Animal,",
        "    0, /* no public data offset */",
        "    0, /* no sci development level check */",
        "    1, /* number of SelectInheritedMethods */",
        "    AnimalSO,",
        "    4, /* number of classdata entries */",
        "    0, /* no list provided currently */",
        "    1, /* number of migrated methods */",
        "    AnimalMM,",
        "    1, /* number of initializers */",
        "    kavINITAnimal, /* initializers */",
        "    0, /* not NCX a class */",
        "    0, /* no dynamically computed info */",
        "};",
        "",
    });
    EXPECT_EQ(allTables(inherited),
              comment("Declare the Static Methods table.") + staticRows +
                  comment("Declare the Override Methods table.") + overrideRows +
                  "KAVEXTERN string KAVLINK zooAlloc(KAVClass *cls, long size);\n" +
                  comment("Declare the General Method Registration Table.") + generalRows + rest);
    releaseMethodList(inherited);
}

TEST_F(StaticClassInfo, KavObjectHasNoParentArrayPointer) {
    kavc::setOption("csc", nullptr);
    cls = kavc::findClass("KAVObject");
    capture([&](FILE* out) { passSetUp(out, cls); });
    fixPrefixes();
    std::string text = info();
    EXPECT_NE(text.find(", KAVObject_MaxNoMethods, 0,\n"), std::string::npos) << text;
    EXPECT_NE(text.find(lines({
                  "    (kavId) NULL, 1,",
                  "    (kavId *) NULL,",
                  "    (kavClassDataStructure *) &KAVObjectClassData,",
              })),
              std::string::npos)
        << text;
}

struct AlignCase {
    std::vector<const char*> options;
    const char* align;  // the class's "align" value, or null
    const char* line;
};

class SciAlignment : public StaticClassInfo, public ::testing::WithParamInterface<AlignCase> {};

TEST_P(SciAlignment, PicksTheFormOfTheClass) {
    const AlignCase& c = GetParam();
    for (const char* option : c.options) kavc::setOption(option, nullptr);
    if (c.align) kavc::addMod(cls, "align", c.align);
    kavc::addData(cls, "weight", kavc::basicType("double"), 3);
    kavc::addData(cls, "age", kavc::basicType("short"), 3);
    finish();
    // The emitter has the host build type codes for an IDL class without "notc" only.
    bool idlTypeCodes = true;
    for (const std::string option : c.options) idlTypeCodes &= option != "csc" && option != "notc";
    if (idlTypeCodes) kavtcreateTypeCodes(kavc::unitStab());
    startPass();
    std::string text = info();
    EXPECT_NE(text.find("    (kavTP_kavClassInitFunc *) NULL,\n" + std::string(c.line) +
                        "\n    -1, /* use parents as DirectInitClasses */\n"),
              std::string::npos)
        << text;
}

INSTANTIATE_TEST_SUITE_P(
    Forms, SciAlignment,
    ::testing::Values(AlignCase{{}, nullptr, "    8, /* type code alignment */"},
                      AlignCase{{"notc"}, nullptr, "    0, /* default alignment */"},
                      AlignCase{{"csc"}, nullptr, "    0, /* default alignment */"},
                      AlignCase{{}, "16", "    16, /* explicit IDL align modifier */"},
                      AlignCase{{"csc"}, "sizeof(double)", "    sizeof(double), /* explicit IDL align modifier */"}));

TEST_F(StaticClassInfo, ClassInitRoutineCarriesTheExternalPrefix) {
    kavc::addMod(cls, "externalprefix", "ext_");
    kavc::addMod(cls, "classinit", "setUpAnimal");
    startPass();
    EXPECT_NE(info().find("    (kavTP_kavClassInitFunc *) ext_setUpAnimal,\n"), std::string::npos);
}

}  // namespace
