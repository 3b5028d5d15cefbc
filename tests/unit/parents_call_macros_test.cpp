// Parent call macros of overridden methods and the statements that resolve their pointers.
#include "driver/lists.h"
#include "driver/state.h"
#include "parents/parents.h"
#include "support/text.h"

#include <string>

using testing_support::capture;
using testing_support::HostTest;
using testing_support::lines;

namespace {

// The single-parent and per-parent guard blocks, written out once here since most cases
// expect several of them.
std::string singleBlock(const std::string& x, const std::string& target) {
    return lines({"#ifndef KAVGD_pmc_parent_" + x, "  #ifdef parent_" + x,
                  "    #define KAVGD_pmc_parent_" + x, "    #undef parent_" + x, "  #else",
                  "#define parent_" + x + " " + target, "  #endif", "#endif"});
}
std::string perParentBlock(const std::string& parent, const std::string& x,
                           const std::string& target) {
    std::string px = parent + "_" + x;
    return lines({"#ifndef KAVGD_pmc_parent_" + px, "  #ifdef parent_" + px,
                  "    #define KAVGD_pmc_parent_" + px, "    #undef parent_" + px, "  #else",
                  "    #define parent_" + px + " " + target, "  #endif", "#endif"});
}
std::string callMacro(const std::string& cls, const std::string& parent, const std::string& m,
                      const std::string& pm, const std::string& args) {
    std::string macro = cls + "_parent_" + parent + "_" + pm;
    return lines({"/* define the parent method call macro */",
                  "static kavMethodProc* " + macro + "_resolved;",
                  "#define " + macro + "(" + args + ") \\", "  ((( kavTD_xih_" + cls + "_" + m + " ) \\",
                  "      " + macro + "_resolved) \\", "\t(" + args + "))"}) +
           lines({"/* define a variety of (possibly ambiguous) short forms */"});
}

class ParentMacrosTest : public HostTest {
  protected:
    Entry* kavObject() { return kavc::findClass("KAVObject"); }
    Entry* newClass(const char* name, std::initializer_list<Entry*> parents) {
        Entry* cls = kavc::newClass(name, {}, nullptr, 1);
        for (Entry* parent : parents) kavc::addParent(cls, parent, 1);
        return cls;
    }
    // Animal introduces talk(long loud); Dog derives from it.
    void buildAnimal() {
        animal = newClass("Animal", {kavObject()});
        talk = kavc::addMethod(animal, "talk", kavc::basicType("void"), 3);
        kavc::addParam(talk, "loud", kavc::basicType("long"), kavtModeIn);
        kavc::finishClass(animal);
    }
    void setUpPass(Entry* cls) {
        capture([&](FILE* f) { darurov::passSetUp(f, cls); });
    }
    std::string macros(Entry* cls, Entry* method, const char* args) {
        return capture([&](FILE* f) { darurov::emitParentCallMacros(f, cls, method, args); });
    }
    std::string resolution(Entry* cls, const char* introducer, Entry* method) {
        return capture([&](FILE* f) { darurov::emitParentResolution(f, cls, introducer, method); });
    }

    Entry* animal = nullptr;
    Entry* talk = nullptr;
};

TEST_F(ParentMacrosTest, OneParentWritesEveryBlockInOrder) {
    buildAnimal();
    Entry* dog = newClass("Dog", {animal});
    Entry* over = kavc::addOverride(dog, talk, 7);
    kavc::finishClass(dog);
    setUpPass(dog);

    EXPECT_EQ(macros(dog, over, "kavSelf,ev,loud"),
              lines({"typedef void (KAVLINK *kavTD_xih_Dog_talk)(Animal *kavSelf, Environment *ev, long loud);"}) +
                  callMacro("Dog", "Animal", "talk", "talk", "kavSelf,ev,loud") +
                  singleBlock("talk", "Dog_parent_Animal_talk") +
                  perParentBlock("Animal", "talk", "Dog_parent_Animal_talk") +
                  lines({"#define Dog_parents_talk(kavSelf,ev,loud) (\\",
                         "   Dog_parent_Animal_talk(kavSelf,ev,loud))"}));
    EXPECT_EQ(std::string(dog->name), "Dog");  // the typedef's temporary name is undone
    EXPECT_EQ(resolution(dog, "Animal", over),
              lines({"    Dog_parent_Animal_talk_resolved = ",
                     "\tkavParentNumResolve(DogCClassData.parentMtab, 1, AnimalClassData.talk);"}));
}

TEST_F(ParentMacrosTest, OnlyTheSecondParentHasTheMethod) {
    buildAnimal();
    Entry* toy = newClass("Toy", {kavObject()});
    kavc::finishClass(toy);
    Entry* dog = newClass("Dog", {toy, animal});
    Entry* over = kavc::addOverride(dog, talk, 7);
    kavc::finishClass(dog);
    setUpPass(dog);

    EXPECT_EQ(macros(dog, over, "kavSelf,ev,loud"),
              lines({"typedef void (KAVLINK *kavTD_xih_Dog_talk)(Animal *kavSelf, Environment *ev, long loud);"}) +
                  callMacro("Dog", "Animal", "talk", "talk", "kavSelf,ev,loud") +
                  perParentBlock("Animal", "talk", "Dog_parent_Animal_talk") +
                  lines({"#define Dog_parents_talk(kavSelf,ev,loud) (\\",
                         "   Dog_parent_Animal_talk(kavSelf,ev,loud))"}));
    EXPECT_EQ(resolution(dog, "Animal", over),
              lines({"    Dog_parent_Animal_talk_resolved = ",
                     "\tkavParentNumResolve(DogCClassData.parentMtab, 2, AnimalClassData.talk);"}));
}

TEST_F(ParentMacrosTest, BothParentsOfADiamondHaveTheMethod) {
    buildAnimal();
    Entry* left = newClass("Left", {animal});
    kavc::finishClass(left);
    Entry* right = newClass("Right", {animal});
    kavc::finishClass(right);
    Entry* both = newClass("Both", {left, right});
    Entry* over = kavc::addOverride(both, talk, 9);
    kavc::finishClass(both);
    setUpPass(both);

    EXPECT_EQ(macros(both, over, "kavSelf,ev,loud"),
              lines({"typedef void (KAVLINK *kavTD_xih_Both_talk)(Animal *kavSelf, Environment *ev, long loud);"}) +
                  callMacro("Both", "Left", "talk", "talk", "kavSelf,ev,loud") +
                  perParentBlock("Left", "talk", "Both_parent_Left_talk") +
                  callMacro("Both", "Right", "talk", "talk", "kavSelf,ev,loud") +
                  perParentBlock("Right", "talk", "Both_parent_Right_talk") +
                  lines({"#define Both_parents_talk(kavSelf,ev,loud) (\\",
                         "   Both_parent_Left_talk(kavSelf,ev,loud),\\",
                         "   Both_parent_Right_talk(kavSelf,ev,loud))"}));
    EXPECT_EQ(resolution(both, "Animal", over),
              lines({"    Both_parent_Left_talk_resolved = ",
                     "\tkavParentNumResolve(BothCClassData.parentMtab, 1, AnimalClassData.talk);",
                     "    Both_parent_Right_talk_resolved = ",
                     "\tkavParentNumResolve(BothCClassData.parentMtab, 2, AnimalClassData.talk);"}));
}

TEST_F(ParentMacrosTest, ParentsAreNumberedByPositionAmongAllParents) {
    buildAnimal();
    Entry* a = newClass("A", {kavObject()});
    kavc::finishClass(a);
    Entry* b = newClass("B", {animal});
    kavc::finishClass(b);
    Entry* c = newClass("C", {animal});
    kavc::finishClass(c);
    Entry* d = newClass("D", {a, b, c});
    Entry* over = kavc::addOverride(d, talk, 4);
    kavc::finishClass(d);
    setUpPass(d);

    EXPECT_EQ(resolution(d, "Animal", over),
              lines({"    D_parent_B_talk_resolved = ",
                     "\tkavParentNumResolve(DCClassData.parentMtab, 2, AnimalClassData.talk);",
                     "    D_parent_C_talk_resolved = ",
                     "\tkavParentNumResolve(DCClassData.parentMtab, 3, AnimalClassData.talk);"}));
}

TEST_F(ParentMacrosTest, DeferredMethodsAreResolvedMostRecentFirst) {
    buildAnimal();
    Entry* f = kavc::addMethod(animal, "f", kavc::basicType("void"), 4);
    Entry* g = kavc::addMethod(animal, "g", kavc::basicType("void"), 5);
    Entry* dog = newClass("Dog", {animal});
    Entry* overF = kavc::addOverride(dog, f, 7);
    Entry* overG = kavc::addOverride(dog, g, 8);
    kavc::finishClass(dog);
    setUpPass(dog);

    darurov::deferParentResolution(dog, "Animal", overF);
    darurov::deferParentResolution(dog, "Animal", overG);
    std::string text = capture([&](FILE* out) {
        while (darurov::DeferredResolution* item = darurov::popDeferred()) {
            darurov::emitParentResolution(out, item->cls, item->introducer, item->method);
            darurov::releaseDeferred(item);
        }
    });
    EXPECT_EQ(text, lines({"    Dog_parent_Animal_g_resolved = ",
                           "\tkavParentNumResolve(DogCClassData.parentMtab, 1, AnimalClassData.g);",
                           "    Dog_parent_Animal_f_resolved = ",
                           "\tkavParentNumResolve(DogCClassData.parentMtab, 1, AnimalClassData.f);"}));
}

TEST_F(ParentMacrosTest, KavInitCallsNothingAndIsNotResolved) {
    buildAnimal();
    Entry* dog = newClass("Dog", {animal});
    Entry* over = kavc::addOverride(dog, kavc::findInheritedMethod(animal, "kavInit"), 7);
    kavc::finishClass(dog);
    setUpPass(dog);

    std::string text = macros(dog, over, "kavSelf,ev");
    ASSERT_NE(text.find('\n'), std::string::npos);
    std::string typedefLine = text.substr(0, text.find('\n') + 1);
    EXPECT_EQ(typedefLine.rfind("typedef ", 0), 0u);
    EXPECT_NE(typedefLine.find("(KAVLINK *kavTD_xih_Dog_kavInit)(KAVObject *kavSelf"), std::string::npos);
    EXPECT_EQ(text.substr(typedefLine.size()),
              lines({"/* define the parent method call macro */",
                     "#define Dog_parent_Animal_kavInit(__kavSelf) \\",
                     "\tkavSelf = (__kavSelf,kavSelf) /* pcalls for kavInit/kavUninit turned off */",
                     "/* define a variety of (possibly ambiguous) short forms */"}) +
                  singleBlock("kavInit", "Dog_parent_Animal_kavInit") +
                  perParentBlock("Animal", "kavInit", "Dog_parent_Animal_kavInit") +
                  lines({"#define Dog_parents_kavInit(kavSelf) (kavSelf)"}));
    EXPECT_EQ(resolution(dog, "KAVObject", over), "");
}

TEST_F(ParentMacrosTest, KavUninitHasItsOwnListMacro) {
    buildAnimal();
    Entry* dog = newClass("Dog", {animal});
    Entry* over = kavc::addOverride(dog, kavc::findInheritedMethod(animal, "kavUninit"), 7);
    kavc::finishClass(dog);
    setUpPass(dog);

    std::string text = macros(dog, over, "kavSelf,ev");
    EXPECT_NE(text.find("#define Dog_parent_Animal_kavUninit(__kavSelf) \\\n"), std::string::npos);
    EXPECT_EQ(text.find("_resolved"), std::string::npos);
    EXPECT_TRUE(text.ends_with("#define Dog_parents_kavUninit(kavSelf) (kavSelf)\n"));
    EXPECT_EQ(resolution(dog, "KAVObject", over), "");
}

TEST_F(ParentMacrosTest, OverrideOfAnInitializerGetsOnlyTheTypedef) {
    buildAnimal();
    Entry* setup = kavc::addMethod(animal, "setup", kavc::basicType("void"), 4);
    kavc::addMod(setup, "init");
    Entry* dog = newClass("Dog", {animal});
    kavc::addMod(dog, "shadow", "Animal");
    Entry* over = kavc::addOverride(dog, setup, 7);
    kavc::finishClass(dog);
    setUpPass(dog);

    EXPECT_EQ(macros(dog, over, "kavSelf,ev"),
              lines({"typedef void (KAVLINK *kavTD_xih_Dog_setup)(Animal *kavSelf, Environment *ev);"}));
    // No pointer was declared, so none is assigned.
    EXPECT_EQ(resolution(dog, "Animal", over), "");
}

TEST_F(ParentMacrosTest, MethodNoParentHasIsAnInternalError) {
    buildAnimal();
    Entry* dog = newClass("Dog", {animal});
    Entry* over = kavc::addOverride(dog, talk, 7);
    kavc::finishClass(dog);
    Entry* cat = newClass("Cat", {kavObject()});
    kavc::finishClass(cat);
    setUpPass(cat);

    EXPECT_EQ(macros(cat, over, "kavSelf,ev,loud"), "");
    ASSERT_EQ(kavc::messages().size(), 1u);
    EXPECT_NE(kavc::messages()[0].find(":7: internal error:"), std::string::npos) << kavc::messages()[0];
    EXPECT_TRUE(kavc::messages()[0].ends_with("[25]")) << kavc::messages()[0];
    EXPECT_EQ(resolution(cat, "Animal", over), "");
}

// The metaclass pass: Car has a class method start(), Sportscar overrides it.
class MetaclassParentMacrosTest : public ParentMacrosTest {
  protected:
    void build(const char* prefix) {
        car = newClass("Car", {kavObject()});
        start = kavc::addMethod(car, "start", kavc::basicType("void"), 2);
        kavc::addMod(start, "class");
        kavc::finishClass(car);
        sports = newClass("Sportscar", {car});
        if (prefix) kavc::addMod(sports, "classprefix", prefix);
        over = kavc::addOverride(sports, start, 6);  // a class method, as its origin
        kavc::finishClass(sports);
        setUpPass(sports);
        kavtinitialiseMeta(sports, kavc::unitStab(), 1, 1);
        darurov::pass.instanceClassName = "Sportscar";
    }
    void TearDown() override {
        if (sports) kavtuninitialiseMeta(sports);
        ParentMacrosTest::TearDown();
    }
    Entry* car = nullptr;
    Entry* start = nullptr;
    Entry* sports = nullptr;
    Entry* over = nullptr;
};

TEST_F(MetaclassParentMacrosTest, PrefixedNamesAndBlocksForBothNames) {
    build("M_");
    ASSERT_STREQ(sports->name, "M_Sportscar");
    const std::string target = "M_Sportscar_parent_M_Car_M_start";

    EXPECT_EQ(macros(sports, over, "kavSelf,ev"),
              lines({"typedef void (KAVLINK *kavTD_xih_M_Sportscar_start)(M_Car *kavSelf, Environment *ev);"}) +
                  callMacro("M_Sportscar", "M_Car", "start", "M_start", "kavSelf,ev") +
                  singleBlock("M_start", target) + singleBlock("start", target) +
                  perParentBlock("M_Car", "M_start", target) + perParentBlock("M_Car", "start", target) +
                  lines({"#define M_Sportscar_parents_M_start(kavSelf,ev) (\\",
                         "   M_Sportscar_parent_M_Car_M_start(kavSelf,ev))"}));
    EXPECT_EQ(resolution(sports, "Car", over),
              lines({"    M_Sportscar_parent_M_Car_M_start_resolved = ",
                     "\tkavParentNumResolve(M_SportscarCClassData.parentMtab, 1, M_CarClassData.start);"}));
}

TEST_F(MetaclassParentMacrosTest, WithoutPrefixEachBlockIsWrittenOnce) {
    build(nullptr);
    const std::string target = "M_Sportscar_parent_M_Car_start";

    EXPECT_EQ(macros(sports, over, "kavSelf,ev"),
              lines({"typedef void (KAVLINK *kavTD_xih_M_Sportscar_start)(M_Car *kavSelf, Environment *ev);"}) +
                  callMacro("M_Sportscar", "M_Car", "start", "start", "kavSelf,ev") +
                  singleBlock("start", target) + perParentBlock("M_Car", "start", target) +
                  lines({"#define M_Sportscar_parents_start(kavSelf,ev) (\\",
                         "   M_Sportscar_parent_M_Car_start(kavSelf,ev))"}));
    EXPECT_EQ(resolution(sports, "Car", over).find("    M_Sportscar_parent_M_Car_start_resolved = \n"), 0u);
}

TEST_F(MetaclassParentMacrosTest, RootMetaclassMethodsAreFoundInTheMetaclassPass) {
    Entry* kavNew = kavc::findMethod(kavtkavcls, "kavNew");
    ASSERT_NE(kavNew, nullptr);
    car = newClass("Car", {kavObject()});
    start = kavc::addMethod(car, "start", kavc::basicType("void"), 2);
    kavc::addMod(start, "class");
    kavc::finishClass(car);
    sports = newClass("Sportscar", {car});
    kavc::addMod(sports, "classprefix", "M_");
    over = kavc::addOverride(sports, kavNew, 6);
    kavc::addMod(over, "class");
    kavc::finishClass(sports);
    setUpPass(sports);
    kavtinitialiseMeta(sports, kavc::unitStab(), 1, 1);
    darurov::pass.instanceClassName = "Sportscar";

    EXPECT_EQ(resolution(sports, "KAVClass", over),
              lines({"    M_Sportscar_parent_M_Car_M_kavNew_resolved = ",
                     "\tkavParentNumResolve(M_SportscarCClassData.parentMtab, 1, KAVClassClassData.kavNew);"}));
    EXPECT_NE(macros(sports, over, "kavSelf,ev").find("static kavMethodProc* M_Sportscar_parent_M_Car_M_kavNew_resolved;\n"),
              std::string::npos);
}

// Two parents without class methods both stand for KAVClass in the metaclass pass; the host
// does not list the second, so the macros and statements are written for the first only.
TEST_F(MetaclassParentMacrosTest, ParentTheHostDoesNotListIsSkipped) {
    Entry* kavNew = kavc::findMethod(kavtkavcls, "kavNew");
    ASSERT_NE(kavNew, nullptr);
    Entry* one = newClass("One", {kavObject()});
    kavc::finishClass(one);
    Entry* two = newClass("Two", {kavObject()});
    kavc::finishClass(two);
    sports = newClass("Pair", {one, two});
    over = kavc::addOverride(sports, kavNew, 6);
    kavc::addMod(over, "class");
    kavc::finishClass(sports);
    setUpPass(sports);
    kavtinitialiseMeta(sports, kavc::unitStab(), 1, 1);
    darurov::pass.instanceClassName = "Pair";

    std::string text = macros(sports, over, "kavSelf,ev");
    EXPECT_NE(text.find("static kavMethodProc* M_Pair_parent_KAVClass_kavNew_resolved;\n"), std::string::npos);
    EXPECT_TRUE(text.ends_with(lines({"#define M_Pair_parents_kavNew(kavSelf,ev) (\\",
                                      "   M_Pair_parent_KAVClass_kavNew(kavSelf,ev))"})))
        << text;
    EXPECT_EQ(resolution(sports, "KAVClass", over),
              lines({"    M_Pair_parent_KAVClass_kavNew_resolved = ",
                     "\tkavParentNumResolve(M_PairCClassData.parentMtab, 1, KAVClassClassData.kavNew);"}));
    EXPECT_TRUE(kavc::messages().empty());
}

// The class pass never searches the root metaclass: neither a call macro nor a statement.
TEST_F(ParentMacrosTest, RootMetaclassMethodsAreNotSearchedInTheClassPass) {
    Entry* kavNew = kavc::findMethod(kavtkavcls, "kavNew");
    ASSERT_NE(kavNew, nullptr);
    buildAnimal();
    Entry* dog = newClass("Dog", {animal});
    Entry* over = kavc::addOverride(dog, kavNew, 7);
    kavc::finishClass(dog);
    setUpPass(dog);

    EXPECT_EQ(macros(dog, over, "kavSelf,ev"), "");
    EXPECT_EQ(kavc::messages().size(), 1u);
    EXPECT_EQ(resolution(dog, "KAVClass", over), "");
}

}  // namespace
