// <Class>OM, the class-data entry count and <Class>MM.
#include "tables_fixture.h"

#include <vector>

using namespace darurov;
using namespace tables_testing;

namespace {

const std::string overrideComment = comment("Declare the Override Methods table.");

class OverrideMethodTable : public TablesTest {
  protected:
    void SetUp() override {
        TablesTest::SetUp();
        base = kavc::newClass("Base", {}, nullptr, 1);
        for (const char* name : {"eat", "sleep", "grow", "breathe"})
            kavc::addMethod(base, name, kavc::basicType("long"), 2);
        kavc::addMod(kavc::findMethod(base, "grow"), "class");
        kavc::finishClass(base);
        kavc::addParent(cls, base, 1);
    }
    Entry* override(const char* name) { return kavc::addOverride(cls, kavc::findMethod(base, name), 5); }
    Entry* base = nullptr;
};

TEST_F(OverrideMethodTable, NoOverrideWritesNothing) {
    method("walk");
    startPass();
    EXPECT_EQ(write(writeOverrideMethodTable), "");
    EXPECT_EQ(pass.counts.overrideMethods, 0u);
}

TEST_F(OverrideMethodTable, OneRowPerOverrideOfThePassExceptSelected) {
    override("eat");
    method("walk");
    kavc::addMod(override("sleep"), "select", "Base");
    kavc::addMod(override("grow"), "class");
    override("breathe");
    startPass();
    EXPECT_EQ(write(writeOverrideMethodTable),
              overrideComment + lines({
                                    "static kavOverrideMethod_t AnimalOM[] = {",
                                    "    {    &kavId_Animaleat,",
                                    "         (kavMethodProc *) an_eat  },",
                                    "    {    &kavId_Animalbreathe,",
                                    "         (kavMethodProc *) an_breathe  },",
                                    "};",
                                    "",
                                }));
    EXPECT_EQ(pass.counts.overrideMethods, 2u);
}

TEST_F(OverrideMethodTable, NewMethodWithAnOriginCountsAsOverride) {
    Entry* m = method("eat");
    m->origin = kavc::findMethod(base, "eat");
    startPass();
    EXPECT_EQ(write(writeOverrideMethodTable),
              overrideComment + lines({
                                    "static kavOverrideMethod_t AnimalOM[] = {",
                                    "    {    &kavId_Animaleat,",
                                    "         (kavMethodProc *) an_eat  },",
                                    "};",
                                    "",
                                }));
}

TEST_F(OverrideMethodTable, MetaclassPassTakesClassOverridesWithTheClassPrefix) {
    kavc::addMod(cls, "classprefix", "m_an_");
    override("eat");
    kavc::addMod(override("grow"), "class");
    startMetaclassPass();
    EXPECT_EQ(write(writeOverrideMethodTable),
              overrideComment + lines({
                                    "static kavOverrideMethod_t M_AnimalOM[] = {",
                                    "    {    &kavId_M_Animalgrow,",
                                    "         (kavMethodProc *) m_an_grow  },",
                                    "};",
                                    "",
                                }));
}

class ClassDataEntries : public TablesTest {};

TEST_F(ClassDataEntries, CountsItemsUpToTheTerminator) {
    method("walk");
    method("run");
    method("hop");
    method("skip");
    kavc::setReleaseOrder(cls, {"walk", "run", "hop", "skip"});
    startPass();
    ReleaseItem* third = cls->releaseOrder->next->next;
    ReleaseItem terminator{nullptr, nullptr, third->next, {}};
    third->next = &terminator;
    // A nameless item that still has its entry counts.
    cls->releaseOrder->name = nullptr;
    std::string text = capture([&](FILE* out) { countClassDataEntries(out, cls); });
    third->next = terminator.next;
    EXPECT_EQ(text, "");
    EXPECT_EQ(pass.counts.classDataEntries, 3u);
}

TEST_F(ClassDataEntries, NoReleaseOrderCountsZero) {
    startPass();
    countClassDataEntries(nullptr, cls);
    EXPECT_EQ(pass.counts.classDataEntries, 0u);
}

class MigratedMethodTable : public TablesTest {
  protected:
    // An inherited-method list over host-allocated cells, as the override section builds it.
    InheritedMethodList inherit(const std::vector<const char*>& names) {
        Entry* from = kavc::newClass("Origin", {}, nullptr, 1);
        for (const char* name : names) kavc::addMethod(from, name, kavc::basicType("long"), 2);
        kavc::finishClass(from);
        InheritedMethodList list = nullptr;
        for (const char* name : names) list = addInheritedMethod(list, kavc::findMethod(from, name));
        return list;
    }
    std::string migrate(InheritedMethodList list) {
        return capture([&](FILE* out) {
            writeMigratedMethodTable(out, cls, pass.externalPrefix, pass.classPrefix, list);
        });
    }
};

TEST_F(MigratedMethodTable, NothingMigratesNothingWritten) {
    kavc::addMod(cls, "eat", "keep=Other");
    startPass();
    InheritedMethodList list = inherit({"eat", "sleep"});
    EXPECT_EQ(migrate(list), "");
    EXPECT_EQ(migrate(nullptr), "");
    EXPECT_EQ(pass.counts.migratedMethods, 0u);
    releaseMethodList(list);
}

TEST_F(MigratedMethodTable, OneRowClosesOnItsOwnLine) {
    kavc::addMod(cls, "eat", "migrate=Other");
    startPass();
    InheritedMethodList list = inherit({"eat", "sleep"});
    EXPECT_EQ(migrate(list), lines({
                                 "static kavMigratedMethod_t AnimalMM[] = {",
                                 "    /*  find  */ (kavToken*)&(AnimalClassData.eat),",
                                 "    /*   in   */ (kavToken*)&(OtherClassData.eat)};",
                                 "",
                             }));
    EXPECT_EQ(pass.counts.migratedMethods, 1u);
    releaseMethodList(list);
}

TEST_F(MigratedMethodTable, TargetIsEverythingAfterTheMarkerUnchanged) {
    kavc::addMod(cls, "eat", "fast migrate=Other");
    kavc::addMod(cls, "sleep", "no");
    kavc::addMod(cls, "grow", "migrate=Third extra");
    startPass();
    InheritedMethodList list = inherit({"eat", "sleep", "grow"});
    EXPECT_EQ(migrate(list), lines({
                                 "static kavMigratedMethod_t AnimalMM[] = {",
                                 "    /*  find  */ (kavToken*)&(AnimalClassData.eat),",
                                 "    /*   in   */ (kavToken*)&(OtherClassData.eat),",
                                 "    /*  find  */ (kavToken*)&(AnimalClassData.grow),",
                                 "    /*   in   */ (kavToken*)&(Third extraClassData.grow)};",
                                 "",
                             }));
    EXPECT_EQ(pass.counts.migratedMethods, 2u);
    releaseMethodList(list);
}

// Decision: a modifier value has no length limit; a long target is written whole.
TEST_F(MigratedMethodTable, LongValueIsTakenWhole) {
    const std::string target = "T" + std::string(3000, 'x');
    const std::string value = std::string(2100, ' ') + "migrate=" + target;
    kavc::addMod(cls, "eat", value.c_str());
    startPass();
    InheritedMethodList list = inherit({"eat"});
    EXPECT_EQ(migrate(list), lines({
                                 "static kavMigratedMethod_t AnimalMM[] = {",
                                 "    /*  find  */ (kavToken*)&(AnimalClassData.eat),",
                                 "    /*   in   */ (kavToken*)&(" + target + "ClassData.eat)};",
                                 "",
                             }));
    releaseMethodList(list);
}

}  // namespace
