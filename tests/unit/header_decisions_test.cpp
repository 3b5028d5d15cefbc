// What the emitter does where the host hands it something kc never makes: decisions and
// errors that no golden header can show (whole headers are in tests/golden/).
#include "driver/lists.h"
#include "driver/sections.h"
#include "driver/state.h"
#include "header/header.h"
#include "pass_fixture.h"
#include "support/text.h"

#include <string>
#include <vector>

using namespace darurov;
using testing_support::capture;

namespace {

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

class EmitterDecisions : public testing_support::HostTest {
  protected:
    void SetUp() override {
        HostTest::SetUp();
        kavc::setFilePath("animal.idl");
        cls = newClass("Animal", {root()});
    }
    void TearDown() override {
        while (DeferredResolution* record = popDeferred()) releaseDeferred(record);
        releasePassLists();
        HostTest::TearDown();
    }
    static Entry* root() { return kavc::findClass("KAVObject"); }
    static Entry* newClass(const char* name, std::initializer_list<Entry*> parents) {
        Entry* c = kavc::newClass(name, {}, nullptr, 1);
        for (Entry* parent : parents) kavc::addParent(c, parent, 1);
        return c;
    }
    Entry* method(const char* name) { return kavc::addMethod(cls, name, kavc::basicType("long"), 10); }
    Entry* overrideRoot(const char* name, int line = 20) {
        return kavc::addOverride(cls, kavc::findMethod(root(), name), line);
    }
    // Finishes the class, sets up its class pass and fixes the prefixes as the prologue does.
    void startPass() {
        kavc::finishClass(cls);
        testing_support::startEmitPass(cls);
        pass.externalPrefix = "";
    }
    std::string overridden() {
        return capture([&](FILE* out) {
            InheritedMethodList inherited = writeOverriddenMethods(out, cls);
            releaseMethodList(inherited);
        });
    }
    std::string classInfo() {
        return capture([&](FILE* out) { writeClassInfo(out, cls, "", nullptr); });
    }

    Entry* cls = nullptr;
};

// An override of a method no parent has is internal error 25 and is skipped whole: no
// declaration, no parent call macros, no deferred resolution; the parent-call writer alone
// reports it too.
TEST_F(EmitterDecisions, OverrideNoParentHasIsInternalError25AndWritesNothing) {
    Entry* other = newClass("Other", {});
    kavc::finishClass(other);
    Entry* stray = kavc::addOverride(cls, kavc::addMethod(other, "stray", kavc::basicType("long"), 31), 24);
    startPass();
    EXPECT_EQ(overridden(), "");
    EXPECT_EQ(pass.deferred, nullptr);
    EXPECT_EQ(capture([&](FILE* out) { emitParentCallMacros(out, cls, stray, "kavSelf,ev"); }), "");
    EXPECT_EQ(kavc::messages(),
              std::vector<std::string>(2, "animal.idl:24: internal error: no parent of class \"Animal\" has "
                                          "the overridden method \"stray\" [25]"));
}

// A parent that another parent also derives from contributes its methods through that other
// parent only; the destructor's override gets no parent call macros.
TEST_F(EmitterDecisions, ParentReachedTwiceContributesThroughTheOtherPath) {
    Entry* base = newClass("Base", {root()});
    kavc::addMethod(base, "feed", kavc::basicType("long"), 3);
    kavc::finishClass(base);
    Entry* derived = newClass("Derived", {base});
    kavc::addMethod(derived, "run", kavc::basicType("void"), 4);
    kavc::finishClass(derived);
    cls = newClass("Pet", {base, derived});
    kavc::addOverride(cls, kavc::findMethod(base, "feed"), 5);
    Entry* destruct = overrideRoot("kavDestruct");
    startPass();
    InheritedMethodList inherited = nullptr;
    capture([&](FILE* out) { inherited = writeOverriddenMethods(out, cls); });
    ASSERT_NE(inherited, nullptr);
    EXPECT_STREQ(inherited->method->name, "run");
    releaseMethodList(inherited);
    const std::string macros = capture([&](FILE* out) { emitParentCallMacros(out, cls, destruct, "kavSelf,ev"); });
    EXPECT_FALSE(contains(macros, "_parents_kavDestruct")) << macros;
}

// A default assignment method whose prototype does not name KAVObject is declared as the host
// wrote it; one that does names the class instead.
TEST_F(EmitterDecisions, DefaultAssignmentKeepsAPrototypeWithoutTheRootName) {
    Entry* bare = overrideRoot("kavDefaultVAssign");
    bare->returnType = bare->returnTypeText = kavc::str("void");
    bare->params = nullptr;
    bare->argCount = 0;
    overrideRoot("kavDefaultConstVAssign");
    startPass();
    const std::string text = overridden();
    EXPECT_TRUE(contains(text, "KAV_Scope void KAVLINK kavDefaultVAssign(Animal *kavSelf,\n\t\tEnvironment *ev);\n"))
        << text;
    EXPECT_TRUE(contains(text, "KAV_Scope Animal* KAVLINK kavDefaultConstVAssign(Animal *kavSelf,")) << text;
    EXPECT_FALSE(contains(text, "KAVObject* KAVLINK")) << text;
}

// A new method the host gave no descriptor still defines its descriptor identifier, with the
// qualified name as its text.
TEST_F(EmitterDecisions, MissingDescriptorBecomesTheQualifiedName) {
    method("run")->mods = nullptr;
    startPass();
    const std::string text = capture([&](FILE* out) { writeNewMethods(out, cls); });
    EXPECT_TRUE(contains(text, "static char *kavDS_run = \"Animal::run\";\n")) << text;
    EXPECT_EQ(kavc::messages().size(), 0u);
}

// When no parent reference yields a name the class is treated as having no parents: it names
// KAVObject; KAVObject itself has no parent string and an empty array.
TEST_F(EmitterDecisions, ParentsWithoutANameFallBackToKavObjectAndTheRootHasNone) {
    startPass();
    Entry* parent = cls->parents->cls;
    cls->parents->cls = nullptr;
    const std::string text = classInfo();
    cls->parents->cls = parent;
    EXPECT_TRUE(contains(text, "static char * kavPCN_Animal_KAVObject = \"KAVObject\";\n\n"
                               "static kavId kavPCAnimal[] = {    &kavPCN_Animal_KAVObject };\n"))
        << text;
    EXPECT_TRUE(contains(text, ", Animal_MaxNoMethods, 1,\n")) << text;

    cls = root();
    testing_support::startEmitPass(cls);
    const std::string rootInfo = classInfo();
    EXPECT_FALSE(contains(rootInfo, "kavPCN_")) << rootInfo;
    EXPECT_TRUE(contains(rootInfo, "static kavId kavPCKAVObject[] = {\n};\n")) << rootInfo;
    EXPECT_TRUE(contains(rootInfo, ", KAVObject_MaxNoMethods, 0,\n")) << rootInfo;
}

// kc hands directinitclasses over without blanks; another host may write "A, B". A name is
// found after the blanks that follow its comma, and a name that is no ancestor is left out.
TEST_F(EmitterDecisions, DirectInitNamesAreFoundAfterTheBlanksOfTheirCommas) {
    kavc::addMod(cls, "directinitclasses", "Nobody,  KAVObject");
    startPass();
    const std::string text = classInfo();
    EXPECT_TRUE(contains(text, "static char * kavDICN_Animal_KAVObject = \"KAVObject\";\n")) << text;
    EXPECT_TRUE(contains(text, "static kavId kavDICAnimal[] = {\n    &kavDICN_Animal_KAVObject,\n};\n")) << text;
    EXPECT_FALSE(contains(text, "Nobody")) << text;
}

// The migration target is everything after the first "migrate=", unchanged and of any length.
TEST_F(EmitterDecisions, MigrationTargetIsTheRestOfTheValueWhole) {
    const std::string longName(3000, 'Q');
    kavc::addMod(cls, "kavGetSize", ("fast migrate=" + longName).c_str());
    kavc::addMod(cls, "kavGetClass", "migrate=Third extra");
    kavc::addMod(cls, "kavInit", "no");
    startPass();
    InheritedMethodList list = nullptr;
    for (const char* name : {"kavGetSize", "kavInit", "kavGetClass"})
        list = addInheritedMethod(list, kavc::findMethod(root(), name));
    const std::string text = capture([&](FILE* out) { writeMigratedMethodTable(out, cls, list); });
    releaseMethodList(list);
    EXPECT_TRUE(contains(text, "(kavToken*)&(" + longName + "ClassData.kavGetSize),\n")) << text.size();
    EXPECT_TRUE(contains(text, "(kavToken*)&(Third extraClassData.kavGetClass)};\n")) << text;
    EXPECT_EQ(pass.counts.migratedMethods, 2u);
}

// The class-data count stops at the first release-order item without a name and an entry; a
// nameless item that still has its entry counts.
TEST_F(EmitterDecisions, ClassDataCountStopsAtTheTerminator) {
    for (const char* name : {"walk", "run", "hop", "skip"}) method(name);
    kavc::setReleaseOrder(cls, {"walk", "run", "hop", "skip"});
    startPass();
    ReleaseItem* third = cls->releaseOrder->next->next;
    ReleaseItem terminator{nullptr, nullptr, third->next, {}};
    third->next = &terminator;
    cls->releaseOrder->name = nullptr;
    countClassDataEntries(cls);
    third->next = terminator.next;
    EXPECT_EQ(pass.counts.classDataEntries, 3u);
}

// The parent mask of kavBuildClass: one bit per parent position, set unless the parent is
// abstract; a repeated parent takes no position, so its bit lands on the next parent's.
TEST_F(EmitterDecisions, ParentMaskCountsPositionsOfParentsThatAreNotAbstract) {
    using Parents = std::vector<std::pair<const char*, const char*>>;  // name, modifier or ""
    const std::pair<Parents, int> cases[] = {
        {{}, 1}, {{{"A", ""}, {"B", ""}}, 3}, {{{"A", "abstract"}, {"B", ""}}, 2}, {{{"A", "nolink"}, {"B", ""}}, 3},
        {{{"A", ""}, {"A", ""}, {"B", "abstract"}}, 3}, {{{"A", ""}, {"A", "abstract"}, {"B", "abstract"}}, 1}};
    for (const auto& [parents, mask] : cases) {
        kavc::reset();
        cls = kavc::newClass("Pet", {}, nullptr, 3);
        for (auto [name, mod] : parents) {
            Entry* parent = kavc::findClass(name);
            if (!parent) kavc::finishClass(parent = kavc::newClass(name, {}, nullptr, 2));
            Entry* ref = kavc::addParent(cls, parent, 3);
            if (*mod) kavc::addMod(ref, mod);
        }
        startPass();
        const std::string text = capture([&](FILE* out) { writeNewClassRoutine(out, cls); });
        EXPECT_TRUE(contains(text, "kavBuildClass(" + std::to_string(mask) + ",&PetSCI")) << text;
        releasePassLists();
    }
}

}  // namespace
