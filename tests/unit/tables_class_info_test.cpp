// Class ids and the auxiliary lists written before the static class info.
#include "tables_fixture.h"

#include <vector>

using namespace darurov;
using namespace tables_testing;

namespace {

const std::string classIds = "\n/*\n *  class Ids\n */\n";
const std::string defaultParentIds = classIds + lines({
    "static char * kavCN_Animal = \"Animal\";",
    "static char * kavPCN_Animal_KAVObject = \"KAVObject\";",
    "",
    "static kavId kavPCAnimal[] = {    &kavPCN_Animal_KAVObject };",
    "",
});

class ClassInfo : public TablesTest {
  protected:
    std::string ids() { return beforeClassInfo(write(writeClassInfo)); }
    // The lists after the parent identifier array.
    std::string lists() {
        std::string text = ids();
        size_t at = text.find("};\n\n");
        return at == std::string::npos ? text : text.substr(at + 4);
    }
};

// With no table at all: the default parent, and a null pointer for every table.
TEST_F(ClassInfo, ClassWithoutParentsHasKavObjectAsDefaultParent) {
    kavc::setOption("csc", nullptr);
    startPass();
    EXPECT_EQ(allTables(nullptr), defaultParentIds + lines({
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

TEST_F(ClassInfo, KavObjectItselfHasNoParentStringAndAnEmptyArray) {
    cls = kavc::findClass("KAVObject");
    finished = true;
    startPass();
    const std::string text = write(writeClassInfo);
    EXPECT_EQ(text.rfind(classIds + lines({"static char * kavCN_KAVObject = \"KAVObject\";", "",
                                           "static kavId kavPCKAVObject[] = {", "};", ""}),
                         0),
              0u) << text;
    EXPECT_NE(staticClassInfo(text).find(lines({", KAVObject_MaxNoMethods, 0,",
                                                "    &kavCN_KAVObject,", "    (kavId) NULL, 1,",
                                                "    (kavId *) NULL,"})),
              std::string::npos);
}

// IDL names are qualified; parents keep their order and a repeated one is listed once.
TEST_F(ClassInfo, IdlNamesAreQualifiedAndParentsKeepTheirOrder) {
    Entry* mammal = zooClass("Mammal");
    Entry* meta = zooClass("AnimalMeta", kavtkavcls);
    cls = kavc::newClass("Animal", {"Zoo"}, zoo(), 2);
    kavc::addParent(cls, mammal, 2);
    kavc::addParent(cls, mammal, 2);
    parent("Pet");
    kavc::setMetaclass(cls, meta);
    kavc::addMod(kavc::addData(cls, "age", kavc::basicType("long"), 3), "public");  // not in IDL
    startPass();
    std::string text = write(writeClassInfo);
    EXPECT_EQ(beforeClassInfo(text), classIds + lines({
                                         "static char * kavCN_Animal = \"Zoo::Animal\";",
                                         "static char * kavEMC_Animal = \"Zoo::AnimalMeta\";",
                                         "static char * kavPCN_Animal_Mammal = \"Zoo::Mammal\";",
                                         "static char * kavPCN_Animal_Pet = \"Pet\";",
                                         "",
                                         "static kavId kavPCAnimal[] = {",
                                         "    &kavPCN_Animal_Mammal,",
                                         "    &kavPCN_Animal_Pet,",
                                         "};",
                                         "",
                                     }));
    EXPECT_NE(staticClassInfo(text).find(", Animal_MaxNoMethods, 2,\n"), std::string::npos);
}

// Decision: when no reference yields a name the class is treated as having no parents.
TEST_F(ClassInfo, ParentsWithoutAnyNameFallBackToKavObject) {
    parent("Mammal");
    startPass();
    Entry* mammal = cls->parents->cls;
    cls->parents->cls = nullptr;  // a reference the host gives no name for
    std::string text = write(writeClassInfo);
    cls->parents->cls = mammal;
    EXPECT_EQ(beforeClassInfo(text), defaultParentIds);
    EXPECT_NE(staticClassInfo(text).find(", Animal_MaxNoMethods, 1,\n"), std::string::npos);
}

// Decision: a name that is no ancestor is dropped from the strings, the array and the count.
// ZDL names are simple, but direct-init strings are qualified; leading blanks are skipped.
TEST_F(ClassInfo, DirectInitNameThatIsNoAncestorIsNotCounted) {
    kavc::setOption("csc", nullptr);
    zooClass("Stranger");
    Entry* mammal = zooClass("Mammal", zooClass("Root"));
    Entry* meta = zooClass("AnimalMeta", kavtkavcls);
    cls = kavc::newClass("Animal", {"Zoo"}, zoo(), 2);
    kavc::addParent(cls, mammal, 2);
    kavc::setMetaclass(cls, meta);
    kavc::addMod(cls, "directinitclasses", "Stranger, Mammal,   Root");
    startPass();
    std::string text = write(writeClassInfo);
    EXPECT_EQ(beforeClassInfo(text), classIds + lines({
                                         "static char * kavCN_Animal = \"Animal\";",
                                         "static char * kavEMC_Animal = \"AnimalMeta\";",
                                         "static char * kavPCN_Animal_Mammal = \"Mammal\";",
                                         "static char * kavDICN_Animal_Mammal = \"Zoo::Mammal\";",
                                         "static char * kavDICN_Animal_Root = \"Zoo::Root\";",
                                         "",
                                         "static kavId kavPCAnimal[] = {",
                                         "    &kavPCN_Animal_Mammal,",
                                         "};",
                                         "",
                                         "static kavId kavDICAnimal[] = {",
                                         "    &kavDICN_Animal_Mammal,",
                                         "    &kavDICN_Animal_Root,",
                                         "};",
                                         "",
                                     }));
    EXPECT_NE(staticClassInfo(text).find(lines({"    2, /* numDirectInitClasses */",
                                                "    kavDICAnimal, /* directinitclasses */"})),
              std::string::npos);
}

// With no name found there is no array, so the runtime falls back to the parents.
TEST_F(ClassInfo, DirectInitListWithoutAncestorsFallsBackToParents) {
    zooClass("Stranger");
    kavc::addMod(cls, "directinitclasses", "Stranger");
    startPass();
    std::string text = write(writeClassInfo);
    EXPECT_EQ(text.find("kavDIC"), std::string::npos);
    EXPECT_NE(staticClassInfo(text).find(lines({
                  "    -1, /* use parents as DirectInitClasses */",
                  "    0, /* no explicit DirectInitClasses */",
              })),
              std::string::npos);
}

TEST_F(ClassInfo, InitializersFollowTheReleaseOrder) {
    method("withName", "init");
    method("walk");
    method("withSize", "init");
    kavc::setReleaseOrder(cls, {"walk", "withSize", "withName"});
    startPass();
    EXPECT_EQ(lists(), lines({
                           "static kavId kavINITAnimal[] = {",
                           "    &kavMN_withSize,",
                           "    &kavMN_withName,",
                           "};",
                           "",
                       }));
}

TEST_F(ClassInfo, SelectedOverridesNameTheirParentByPosition) {
    Entry* mammal = parent("Mammal", {"eat"});
    Entry* pet = parent("Pet", {"play", "sleep"});
    kavc::addMod(kavc::addOverride(cls, kavc::findMethod(mammal, "eat"), 3), "select", "Pet");
    kavc::addOverride(cls, kavc::findMethod(pet, "sleep"), 3);  // no select: the override table's
    kavc::addMod(kavc::addOverride(cls, kavc::findMethod(pet, "play"), 3), "select", "Stranger");
    startPass();
    EXPECT_EQ(lists(), lines({
                           "static kavInheritedMethod_t AnimalSO[] = {",
                           "    /* override method */ (kavId*)&kavId_Animaleat,",
                           "    /* using parent #  */ 2,",
                           "    /* method token    */ (kavMToken*)&MammalClassData.eat",
                           ",",
                           "    /* override method */ (kavId*)&kavId_Animalplay,",
                           "    /* using parent #  */ 0,",
                           "    /* method token    */ (kavMToken*)&PetClassData.play",
                           "};",
                           "",
                       }));
    EXPECT_EQ(pass.counts.selectInherited, 2u);
}

// A class declared in ZDL lists its public and private data of the pass; the procedures of
// the pass precede the reintroduced ones, which are listed in both passes.
TEST_F(ClassInfo, MetaclassPassListsItsDataAndProcedures) {
    kavc::setOption("csc", nullptr);
    kavc::addMod(cls, "classprefix", "m_an_");
    kavc::addMod(kavc::addData(cls, "age", kavc::basicType("long"), 3), "public");
    const std::vector<std::pair<const char*, const char*>> classData = {
        {"census", "private"}, {"hidden", nullptr}, {"tag", "public"}};
    for (const auto& [name, access] : classData) {
        Entry* d = kavc::addData(cls, name, kavc::basicType("long"), 3);
        kavc::addMod(d, "class");
        if (access) kavc::addMod(d, access);
    }
    Entry* base = parent("Base", {"tally"});
    kavc::addMod(kavc::findMethod(base, "tally"), "procedure");
    kavc::addMod(kavc::addReintroduce(cls, kavc::findMethod(base, "tally"), 4), "procedure");
    method("step", "procedure");
    kavc::addMod(method("spawn", "procedure"), "class");
    method("grow", "class");
    startPass(true);
    EXPECT_EQ(lists(), lines({
                           "static M_AnimalData M_Animal_kavInstData;",
                           "static kavNonInternalData_t M_AnimalNID[] = {",
                           "    (kavDToken *) &M_AnimalClassData.census,",
                           "    (char *)&M_Animal_kavInstData.census,",
                           "    (kavDToken *) &M_AnimalClassData.tag,",
                           "    (char *)&M_Animal_kavInstData.tag};",
                           "",
                           "static kavProcMethods_t M_AnimalPM[] = {",
                           "    (kavMethodProc **)&M_AnimalClassData.spawn,",
                           "    (kavMethodProc *) m_an_spawn,",
                           "    (kavMethodProc **)&M_AnimalClassData.tally,",
                           "    (kavMethodProc *) an_tally};",
                           "",
                       }));
}

}  // namespace
