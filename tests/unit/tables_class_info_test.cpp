// Class ids and the auxiliary lists written before the static class info.
#include "tables_fixture.h"

#include <algorithm>

using namespace darurov;
using namespace tables_testing;

namespace {

const std::string classIds = "\n/*\n *  class Ids\n */\n";

class ClassInfo : public TablesTest {
  protected:
    std::string ids() { return beforeClassInfo(write(writeClassInfo)); }
};

TEST_F(ClassInfo, ClassWithoutParentsHasKavObjectAsDefaultParent) {
    startPass();
    EXPECT_EQ(ids(), classIds + lines({
                                    "static char * kavCN_Animal = \"Animal\";",
                                    "static char * kavPCN_Animal_KAVObject = \"KAVObject\";",
                                    "",
                                    "static kavId kavPCAnimal[] = {    &kavPCN_Animal_KAVObject };",
                                    "",
                                }));
}

TEST_F(ClassInfo, KavObjectItselfHasNoParentStringAndAnEmptyArray) {
    cls = kavc::findClass("KAVObject");
    capture([&](FILE* out) { passSetUp(out, cls); });
    fixPrefixes();
    std::string text = ids();
    const std::string expected = classIds + lines({
                                                "static char * kavCN_KAVObject = \"KAVObject\";",
                                                "",
                                                "static kavId kavPCKAVObject[] = {",
                                                "};",
                                                "",
                                            });
    EXPECT_EQ(text.substr(0, expected.size()), expected);
}

TEST_F(ClassInfo, IdlNamesAreQualifiedAndParentsKeepTheirOrder) {
    Entry* zoo = kavc::newModule("Zoo", {}, nullptr, 1);
    Entry* a = kavc::newClass("Mammal", {"Zoo"}, zoo, 1);
    kavc::finishClass(a);
    Entry* b = kavc::newClass("Pet", {}, nullptr, 1);
    kavc::finishClass(b);
    Entry* meta = kavc::newClass("AnimalMeta", {"Zoo"}, zoo, 1);
    kavc::addParent(meta, kavtkavcls, 1);
    kavc::finishClass(meta);
    cls = kavc::newClass("Animal", {"Zoo"}, zoo, 2);
    kavc::addParent(cls, a, 2);
    kavc::addParent(cls, b, 2);
    kavc::setMetaclass(cls, meta);
    startPass();
    EXPECT_EQ(ids(), classIds + lines({
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
}

TEST_F(ClassInfo, ZdlNamesAreSimple) {
    kavc::setOption("csc", nullptr);
    Entry* zoo = kavc::newModule("Zoo", {}, nullptr, 1);
    Entry* a = kavc::newClass("Mammal", {"Zoo"}, zoo, 1);
    kavc::finishClass(a);
    Entry* meta = kavc::newClass("AnimalMeta", {"Zoo"}, zoo, 1);
    kavc::addParent(meta, kavtkavcls, 1);
    kavc::finishClass(meta);
    cls = kavc::newClass("Animal", {"Zoo"}, zoo, 2);
    kavc::addParent(cls, a, 2);
    kavc::setMetaclass(cls, meta);
    startPass();
    EXPECT_EQ(ids(), classIds + lines({
                                    "static char * kavCN_Animal = \"Animal\";",
                                    "static char * kavEMC_Animal = \"AnimalMeta\";",
                                    "static char * kavPCN_Animal_Mammal = \"Mammal\";",
                                    "",
                                    "static kavId kavPCAnimal[] = {",
                                    "    &kavPCN_Animal_Mammal,",
                                    "};",
                                    "",
                                }));
}

TEST_F(ClassInfo, RepeatedParentIsListedOnce) {
    Entry* a = ancestor("Mammal", nullptr);
    Entry* b = ancestor("Pet", nullptr);
    kavc::addParent(cls, a, 2);
    kavc::addParent(cls, a, 2);
    kavc::addParent(cls, b, 2);
    startPass();
    std::string text = write(writeClassInfo);
    EXPECT_EQ(beforeClassInfo(text), classIds + lines({
                                                    "static char * kavCN_Animal = \"Animal\";",
                                                    "static char * kavPCN_Animal_Mammal = \"Mammal\";",
                                                    "static char * kavPCN_Animal_Pet = \"Pet\";",
                                                    "",
                                                    "static kavId kavPCAnimal[] = {",
                                                    "    &kavPCN_Animal_Mammal,",
                                                    "    &kavPCN_Animal_Pet,",
                                                    "};",
                                                    "",
                                                }));
    EXPECT_NE(staticClassInfo(text).find("    0, Animal_MaxNoMethods, 2,\n"), std::string::npos);
}

TEST_F(ClassInfo, DirectInitClassesSkipLeadingBlanksAndUseQualifiedNames) {
    kavc::setOption("csc", nullptr);
    Entry* zoo = kavc::newModule("Zoo", {}, nullptr, 1);
    Entry* root = kavc::newClass("Root", {"Zoo"}, zoo, 1);
    kavc::finishClass(root);
    Entry* mammal = kavc::newClass("Mammal", {}, nullptr, 1);
    kavc::addParent(mammal, root, 1);
    kavc::finishClass(mammal);
    kavc::addParent(cls, mammal, 2);
    kavc::addMod(cls, "directinitclasses", "Mammal,   Root");
    startPass();
    std::string text = write(writeClassInfo);
    EXPECT_EQ(beforeClassInfo(text), classIds + lines({
                                                    "static char * kavCN_Animal = \"Animal\";",
                                                    "static char * kavPCN_Animal_Mammal = \"Mammal\";",
                                                    "static char * kavDICN_Animal_Mammal = \"Mammal\";",
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
    EXPECT_NE(staticClassInfo(text).find(lines({
                  "    2, /* numDirectInitClasses */",
                  "    kavDICAnimal, /* directinitclasses */",
              })),
              std::string::npos);
}

// Decision: a name that is no ancestor is dropped from the strings, the array and the count.
TEST_F(ClassInfo, DirectInitNameThatIsNoAncestorIsNotCounted) {
    Entry* mammal = ancestor("Mammal", nullptr);
    ancestor("Stranger", nullptr);
    kavc::addParent(cls, mammal, 2);
    kavc::addMod(cls, "directinitclasses", "Stranger, Mammal");
    startPass();
    std::string text = write(writeClassInfo);
    EXPECT_EQ(beforeClassInfo(text), classIds + lines({
                                                    "static char * kavCN_Animal = \"Animal\";",
                                                    "static char * kavPCN_Animal_Mammal = \"Mammal\";",
                                                    "static char * kavDICN_Animal_Mammal = \"Mammal\";",
                                                    "",
                                                    "static kavId kavPCAnimal[] = {",
                                                    "    &kavPCN_Animal_Mammal,",
                                                    "};",
                                                    "",
                                                    "static kavId kavDICAnimal[] = {",
                                                    "    &kavDICN_Animal_Mammal,",
                                                    "};",
                                                    "",
                                                }));
    EXPECT_NE(staticClassInfo(text).find(lines({
                  "    1, /* numDirectInitClasses */",
                  "    kavDICAnimal, /* directinitclasses */",
              })),
              std::string::npos);
}

// With no name found there is no array, so the runtime falls back to the parents.
TEST_F(ClassInfo, DirectInitListWithoutAncestorsFallsBackToParents) {
    ancestor("Stranger", nullptr);
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
    EXPECT_EQ(ids(), classIds + lines({
                                    "static char * kavCN_Animal = \"Animal\";",
                                    "static char * kavPCN_Animal_KAVObject = \"KAVObject\";",
                                    "",
                                    "static kavId kavPCAnimal[] = {    &kavPCN_Animal_KAVObject };",
                                    "",
                                    "static kavId kavINITAnimal[] = {",
                                    "    &kavMN_withSize,",
                                    "    &kavMN_withName,",
                                    "};",
                                    "",
                                }));
}

// Decision: when no reference yields a name the class is treated as having no parents.
TEST_F(ClassInfo, ParentsWithoutAnyNameFallBackToKavObject) {
    Entry* mammal = ancestor("Mammal", nullptr);
    Entry* ref = kavc::addParent(cls, mammal, 2);
    startPass();
    ref->cls = nullptr;  // a reference the host gives no name for
    std::string text = write(writeClassInfo);
    ref->cls = mammal;
    EXPECT_EQ(beforeClassInfo(text), classIds + lines({
                                                    "static char * kavCN_Animal = \"Animal\";",
                                                    "static char * kavPCN_Animal_KAVObject = \"KAVObject\";",
                                                    "",
                                                    "static kavId kavPCAnimal[] = {    &kavPCN_Animal_KAVObject };",
                                                    "",
                                                }));
    EXPECT_NE(staticClassInfo(text).find(lines({
                  "    0, Animal_MaxNoMethods, 1,",
                  "    &kavCN_Animal,",
                  "    (kavId) NULL, 1,",
                  "    kavPCAnimal,",
              })),
              std::string::npos);
}

TEST_F(ClassInfo, MetaclassPassNamesTheMetaclassAndTheParentsMetaclasses) {
    kavc::setOption("csc", nullptr);
    Entry* mammal = ancestor("Mammal", nullptr);
    kavc::addParent(cls, mammal, 2);
    method("spawn", "class");
    startMetaclassPass();
    EXPECT_EQ(ids(), classIds + lines({
                                    "static char * kavCN_M_Animal = \"M_Animal\";",
                                    "static char * kavPCN_M_Animal_KAVClass = \"KAVClass\";",
                                    "",
                                    "static kavId kavPCM_Animal[] = {",
                                    "    &kavPCN_M_Animal_KAVClass,",
                                    "};",
                                    "",
                                }));
}

class ClassInfoLists : public ClassInfo {
  protected:
    // The lists that follow the initializer array.
    std::string lists() {
        std::string text = ids();
        const std::string marker = "static kavId kavPCAnimal[] = {    &kavPCN_Animal_KAVObject };\n\n";
        size_t at = text.find(marker);
        return at == std::string::npos ? text : text.substr(at + marker.size());
    }
    Entry* data(const char* name, const char* modifier = nullptr) {
        Entry* d = kavc::addData(cls, name, kavc::basicType("long"), 3);
        if (modifier) kavc::addMod(d, modifier);
        return d;
    }
};

TEST_F(ClassInfoLists, ZdlListsPublicAndPrivateDataOfThePass) {
    kavc::setOption("csc", nullptr);
    data("age", "public");
    data("hidden");
    data("weight", "private");
    kavc::addMod(data("census", "public"), "class");
    startPass();
    EXPECT_EQ(lists(), lines({
                           "static AnimalData Animal_kavInstData;",
                           "static kavNonInternalData_t AnimalNID[] = {",
                           "    (kavDToken *) &AnimalClassData.age,",
                           "    (char *)&Animal_kavInstData.age,",
                           "    (kavDToken *) &AnimalClassData.weight,",
                           "    (char *)&Animal_kavInstData.weight};",
                           "",
                       }));
    EXPECT_EQ(pass.counts.nonInternalData, 2u);
}

TEST_F(ClassInfoLists, MetaclassPassListsClassData) {
    kavc::setOption("csc", nullptr);
    data("age", "public");
    kavc::addMod(data("census", "private"), "class");
    startMetaclassPass();
    std::string text = ids();
    EXPECT_NE(text.find(lines({
                  "static M_AnimalData M_Animal_kavInstData;",
                  "static kavNonInternalData_t M_AnimalNID[] = {",
                  "    (kavDToken *) &M_AnimalClassData.census,",
                  "    (char *)&M_Animal_kavInstData.census};",
                  "",
              })),
              std::string::npos)
        << text;
    EXPECT_EQ(pass.counts.nonInternalData, 1u);
}

TEST_F(ClassInfoLists, IdlClassHasNoNonInternalDataTable) {
    data("age", "public");
    startPass();
    EXPECT_EQ(lists(), "");
    EXPECT_EQ(pass.counts.nonInternalData, 0u);
}

TEST_F(ClassInfoLists, ProceduresOfTheChainThenReintroducedOnes) {
    Entry* base = kavc::newClass("Base", {}, nullptr, 1);
    Entry* tally = kavc::addMethod(base, "tally", kavc::basicType("long"), 2);
    kavc::addMod(tally, "procedure");
    kavc::finishClass(base);
    kavc::addParent(cls, base, 1);
    kavc::addMod(cls, "classprefix", "m_an_");
    method("step", "procedure");
    method("walk");
    kavc::addMod(method("census", "procedure"), "class");
    kavc::addMod(kavc::addReintroduce(cls, tally, 4), "procedure");
    startPass();
    std::string text = ids();
    const std::string table = lines({
        "static kavProcMethods_t AnimalPM[] = {",
        "    (kavMethodProc **)&AnimalClassData.step,",
        "    (kavMethodProc *) an_step,",
        "    (kavMethodProc **)&AnimalClassData.tally,",
        "    (kavMethodProc *) an_tally};",
        "",
    });
    EXPECT_EQ(text.substr(text.size() - std::min(text.size(), table.size())), table);
    EXPECT_EQ(pass.counts.procMethods, 2u);
}

TEST_F(ClassInfoLists, MetaclassPassListsClassProceduresAndReintroducedOnesAgain) {
    Entry* base = kavc::newClass("Base", {}, nullptr, 1);
    Entry* tally = kavc::addMethod(base, "tally", kavc::basicType("long"), 2);
    kavc::addMod(tally, "procedure");
    kavc::finishClass(base);
    kavc::addParent(cls, base, 1);
    kavc::addMod(cls, "classprefix", "m_an_");
    method("step", "procedure");
    kavc::addMod(method("census", "procedure"), "class");
    kavc::addMod(kavc::addReintroduce(cls, tally, 4), "procedure");
    startMetaclassPass();
    std::string text = write(writeClassInfo);
    const std::string table = lines({
        "static kavProcMethods_t M_AnimalPM[] = {",
        "    (kavMethodProc **)&M_AnimalClassData.census,",
        "    (kavMethodProc *) m_an_census,",
        "    (kavMethodProc **)&M_AnimalClassData.tally,",
        "    (kavMethodProc *) an_tally};",
        "",
    });
    EXPECT_NE(text.find(table), std::string::npos) << text;
    EXPECT_EQ(pass.counts.procMethods, 2u);
}

TEST_F(ClassInfoLists, SelectedOverridesNameTheirParentByPosition) {
    Entry* mammal = kavc::newClass("Mammal", {}, nullptr, 1);
    Entry* eat = kavc::addMethod(mammal, "eat", kavc::basicType("long"), 2);
    kavc::finishClass(mammal);
    Entry* pet = kavc::newClass("Pet", {}, nullptr, 1);
    Entry* play = kavc::addMethod(pet, "play", kavc::basicType("long"), 2);
    Entry* sleep = kavc::addMethod(pet, "sleep", kavc::basicType("long"), 2);
    kavc::finishClass(pet);
    kavc::addParent(cls, mammal, 2);
    kavc::addParent(cls, pet, 2);
    kavc::addMod(kavc::addOverride(cls, eat, 3), "select", "Pet");
    kavc::addOverride(cls, sleep, 3);  // no select: the override table's
    kavc::addMod(kavc::addOverride(cls, play, 3), "select", "Stranger");
    startPass();
    std::string text = write(writeClassInfo);
    EXPECT_NE(beforeClassInfo(text).find(lines({
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
              })),
              std::string::npos)
        << text;
    EXPECT_EQ(pass.counts.selectInherited, 2u);
}

}  // namespace
