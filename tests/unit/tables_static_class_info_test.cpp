// <Class>SCI: every count, and a pointer or null for each table. (A class without any table:
// ClassInfo.ClassWithoutParentsHasKavObjectAsDefaultParent.)
#include "tables_fixture.h"

#include <utility>

using namespace darurov;
using namespace tables_testing;

namespace {

class StaticClassInfo : public TablesTest {};

TEST_F(StaticClassInfo, EveryTablePresent) {
    kavc::setOption("csc", nullptr);
    Entry* base = parent("Base", {"eat", "sleep", "breathe"});
    kavc::setMetaclass(cls, zooClass("AnimalMeta", kavtkavcls));
    for (const auto& [name, value] : {std::pair{"classinit", "initAnimal"}, {"align", "8"},
                                      {"directinitclasses", "Base"}, {"kavallocate", "zooAlloc"},
                                      {"breathe", "migrate=Other"}})
        kavc::addMod(cls, name, value);
    method("walk");
    method("step", "procedure");
    method("size", "nonstatic");
    method("withName", "init");
    kavc::addOverride(cls, kavc::findMethod(base, "eat"), 3);
    kavc::addMod(kavc::addOverride(cls, kavc::findMethod(base, "sleep"), 3), "select", "Base");
    kavc::addMod(kavc::addData(cls, "age", kavc::basicType("long"), 3), "public");
    kavc::setReleaseOrder(cls, {"walk", "step", "size", "withName"});
    startPass();
    pass.hasInstanceData = true;  // the instance-data section found "age"
    InheritedMethodList inherited = addInheritedMethod(nullptr, kavc::findMethod(base, "breathe"));
    const std::string text = allTables(inherited);
    releaseMethodList(inherited);
    EXPECT_EQ(staticClassInfo(text), lines({
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
                                     }));
}

struct AlignCase {
    const char* name;
    const char* option;
    const char* align;  // the class's "align" value, or null
    const char* line;
};
void PrintTo(const AlignCase& c, std::ostream* os) { *os << c.name; }

class SciAlignment : public StaticClassInfo, public ::testing::WithParamInterface<AlignCase> {};

TEST_P(SciAlignment, PicksTheFormOfTheClass) {
    const AlignCase& c = GetParam();
    if (c.option) kavc::setOption(c.option, nullptr);
    if (c.align) kavc::addMod(cls, "align", c.align);
    kavc::addData(cls, "weight", kavc::basicType("double"), 3);
    kavc::addData(cls, "age", kavc::basicType("short"), 3);
    kavc::finishClass(cls);
    finished = true;
    // The emitter has the host build type codes for an IDL class without "notc" only.
    if (!c.option) kavtcreateTypeCodes(kavc::unitStab());
    startPass();
    EXPECT_NE(staticClassInfo(write(writeClassInfo))
                  .find("    (kavTP_kavClassInitFunc *) NULL,\n" + std::string(c.line) +
                        "\n    -1, /* use parents as DirectInitClasses */\n"),
              std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, SciAlignment,
    ::testing::Values(AlignCase{"IdlTypeCode", nullptr, nullptr, "    8, /* type code alignment */"},
                      AlignCase{"IdlNotc", "notc", nullptr, "    0, /* default alignment */"},
                      AlignCase{"AlignWins", nullptr, "sizeof(double)",
                                "    sizeof(double), /* explicit IDL align modifier */"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
