// <Class>OM, the class-data entry count and <Class>MM.
#include "tables_fixture.h"

using namespace darurov;
using namespace tables_testing;

namespace {

const std::string overrideComment = comment("Declare the Override Methods table.");

class OverrideMethodTable : public TablesTest {
  protected:
    void SetUp() override {
        TablesTest::SetUp();
        base = parent("Base", {"eat", "sleep", "grow", "breathe", "drink"});
    }
    Entry* override(const char* name) {
        return kavc::addOverride(cls, kavc::findMethod(base, name), 5);
    }
    Entry* base = nullptr;
};

TEST_F(OverrideMethodTable, OneRowPerOverrideOfThePassExceptSelected) {
    override("eat");
    method("walk");
    kavc::addMod(override("sleep"), "select", "Base");
    kavc::addMod(override("grow"), "class");
    method("drink")->origin = kavc::findMethod(base, "drink");  // a new method with an origin
    override("breathe");
    startPass();
    EXPECT_EQ(write(writeOverrideMethodTable), overrideComment + lines({
                                                   "static kavOverrideMethod_t AnimalOM[] = {",
                                                   "    {    &kavId_Animaleat,",
                                                   "         (kavMethodProc *) an_eat  },",
                                                   "    {    &kavId_Animaldrink,",
                                                   "         (kavMethodProc *) an_drink  },",
                                                   "    {    &kavId_Animalbreathe,",
                                                   "         (kavMethodProc *) an_breathe  },",
                                                   "};",
                                                   "",
                                               }));
    EXPECT_EQ(pass.counts.overrideMethods, 3u);
}

TEST_F(OverrideMethodTable, MetaclassPassTakesClassOverridesWithTheClassPrefix) {
    kavc::addMod(cls, "classprefix", "m_an_");
    override("eat");
    kavc::addMod(override("grow"), "class");
    startPass(true);
    EXPECT_EQ(write(writeOverrideMethodTable), overrideComment + lines({
                                                   "static kavOverrideMethod_t M_AnimalOM[] = {",
                                                   "    {    &kavId_M_Animalgrow,",
                                                   "         (kavMethodProc *) m_an_grow  },",
                                                   "};",
                                                   "",
                                               }));
}

TEST_F(OverrideMethodTable, ClassDataEntriesCountUpToTheTerminator) {
    for (const char* name : {"walk", "run", "hop", "skip"}) method(name);
    kavc::setReleaseOrder(cls, {"walk", "run", "hop", "skip"});
    startPass();
    ReleaseItem* third = cls->releaseOrder->next->next;
    ReleaseItem terminator{nullptr, nullptr, third->next, {}};
    third->next = &terminator;
    cls->releaseOrder->name = nullptr;  // a nameless item that still has its entry counts
    countClassDataEntries(cls);
    third->next = terminator.next;
    EXPECT_EQ(pass.counts.classDataEntries, 3u);
}

class MigratedMethodTable : public OverrideMethodTable {
  protected:
    // The table over an inherited-method list of `names`, as the class emitter builds it.
    std::string migrate(std::initializer_list<const char*> names) {
        startPass();
        InheritedMethodList list = nullptr;
        for (const char* name : names) list = addInheritedMethod(list, kavc::findMethod(base, name));
        std::string text = capture([&](FILE* out) { writeMigratedMethodTable(out, cls, list); });
        releaseMethodList(list);
        return text;
    }
};

// The target is everything after the first marker; each row but the last ends with ",".
TEST_F(MigratedMethodTable, TargetIsEverythingAfterTheMarkerUnchanged) {
    kavc::addMod(cls, "eat", "fast migrate=Other");
    kavc::addMod(cls, "sleep", "no");
    kavc::addMod(cls, "grow", "migrate=Third extra");
    EXPECT_EQ(migrate({"eat", "sleep", "grow"}),
              lines({
                  "static kavMigratedMethod_t AnimalMM[] = {",
                  "    /*  find  */ (kavToken*)&(AnimalClassData.eat),",
                  "    /*   in   */ (kavToken*)&(OtherClassData.eat),",
                  "    /*  find  */ (kavToken*)&(AnimalClassData.grow),",
                  "    /*   in   */ (kavToken*)&(Third extraClassData.grow)};",
                  "",
              }));
    EXPECT_EQ(pass.counts.migratedMethods, 2u);
}

// Decision: a modifier value has no length limit; a long target is written whole.
TEST_F(MigratedMethodTable, LongValueIsTakenWhole) {
    const std::string target = "T" + std::string(3000, 'x');
    kavc::addMod(cls, "eat", (std::string(2100, ' ') + "migrate=" + target).c_str());
    EXPECT_NE(migrate({"eat"}).find("    /*   in   */ (kavToken*)&(" + target + "ClassData.eat)};\n"),
              std::string::npos);
    EXPECT_EQ(pass.counts.migratedMethods, 1u);
}

}  // namespace
