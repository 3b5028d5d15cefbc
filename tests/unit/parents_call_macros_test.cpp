// Parent call macros of overridden methods and the statements that resolve their pointers.
#include "driver/state.h"
#include "pass_fixture.h"
#include "driver/sections.h"
#include "support/text.h"

#include <string>
#include <vector>

using testing_support::capture;
using testing_support::lines;
using testing_support::startEmitPass;

namespace {

// The guard block around short form `parent_<x>`; a per-parent block (x = <Parent>_<m>)
// indents its #define.
std::string guardBlock(const std::string& x, const std::string& target, bool perParent = false) {
    return lines({"#ifndef KAVGD_pmc_parent_" + x, "  #ifdef parent_" + x, "    #define KAVGD_pmc_parent_" + x,
                  "    #undef parent_" + x, "  #else", (perParent ? "    #define parent_" : "#define parent_") + x + " " + target,
                  "  #endif", "#endif"});
}

class ParentMacrosTest : public testing_support::HostTest {
  protected:
    // Animal introduces talk(long loud).
    void SetUp() override {
        HostTest::SetUp();
        animal = newClass("Animal", {root()});
        talk = kavc::addMethod(animal, "talk", kavc::basicType("void"), 3);
        kavc::addParam(talk, "loud", kavc::basicType("long"), kavtModeIn);
        kavc::finishClass(animal);
    }
    void TearDown() override {
        if (meta) kavtuninitialiseMeta(meta);
        HostTest::TearDown();
    }
    Entry* root() { return kavc::findClass("KAVObject"); }
    Entry* newClass(const char* name, std::initializer_list<Entry*> parents) {
        Entry* cls = kavc::newClass(name, {}, nullptr, 1);
        for (Entry* parent : parents) kavc::addParent(cls, parent, 1);
        return cls;
    }
    Entry* finished(Entry* cls) {
        kavc::finishClass(cls);
        return cls;
    }
    // `cls` overrides `method` (as a class method in the metaclass pass); that pass is set up.
    Entry* overrideIn(Entry* cls, Entry* method, bool metaclassPass = false) {
        Entry* over = kavc::addOverride(cls, method, 7);
        if (metaclassPass) kavc::addMod(over, "class");
        kavc::finishClass(cls);
        startEmitPass(cls, metaclassPass);
        if (metaclassPass) meta = cls;
        return over;
    }
    std::string macros(Entry* cls, Entry* method, const char* args) {
        return capture([&](FILE* f) { darurov::emitParentCallMacros(f, cls, method, args); });
    }
    std::string resolution(Entry* cls, const char* introducer, Entry* method) {
        return capture([&](FILE* f) { darurov::emitParentResolution(f, cls, introducer, method); });
    }

    Entry* animal = nullptr;
    Entry* talk = nullptr;
    Entry* meta = nullptr;
};

TEST_F(ParentMacrosTest, OneParentWritesEveryBlockInOrder) {
    Entry* dog = newClass("Dog", {animal});
    Entry* over = overrideIn(dog, talk);
    EXPECT_EQ(macros(dog, over, "kavSelf,ev,loud"),
              lines({"typedef void (KAVLINK *kavTD_xih_Dog_talk)(Animal *kavSelf, Environment *ev, long loud);",
                     "/* define the parent method call macro */",
                     "static kavMethodProc* Dog_parent_Animal_talk_resolved;",
                     "#define Dog_parent_Animal_talk(kavSelf,ev,loud) \\",
                     "  ((( kavTD_xih_Dog_talk ) \\",
                     "      Dog_parent_Animal_talk_resolved) \\",
                     "\t(kavSelf,ev,loud))",
                     "/* define a variety of (possibly ambiguous) short forms */"}) +
                  guardBlock("talk", "Dog_parent_Animal_talk") +
                  guardBlock("Animal_talk", "Dog_parent_Animal_talk", true) +
                  lines({"#define Dog_parents_talk(kavSelf,ev,loud) (\\",
                         "   Dog_parent_Animal_talk(kavSelf,ev,loud))"}));
    EXPECT_STREQ(dog->name, "Dog");  // the typedef's temporary name is undone
    EXPECT_EQ(resolution(dog, "Animal", over),
              lines({"    Dog_parent_Animal_talk_resolved = ",
                     "\tkavParentNumResolve(DogCClassData.parentMtab, 1, AnimalClassData.talk);"}));
}

// Parents A, B, C, ... of D, those marked true deriving from Animal: only they get call
// macros, each numbered by its position among all parents; no unqualified short form.
struct ParentsCase {
    const char* name;
    std::vector<bool> hasTalk;
    std::string listMacro, resolution;
};
void PrintTo(const ParentsCase& c, std::ostream* os) { *os << c.name; }
class ParentsWithTheMethodTest : public ParentMacrosTest, public ::testing::WithParamInterface<ParentsCase> {};

TEST_P(ParentsWithTheMethodTest, MacrosAndStatementsForExactlyThoseParents) {
    Entry* d = newClass("D", {});
    char parentName[] = "A";
    for (bool has : GetParam().hasTalk) {
        kavc::addParent(d, finished(newClass(parentName, {has ? animal : root()})), 1);
        ++parentName[0];
    }
    Entry* over = overrideIn(d, talk);
    std::string text = macros(d, over, "kavSelf,ev,loud");
    EXPECT_TRUE(text.ends_with(GetParam().listMacro)) << text;
    EXPECT_EQ(text.find("#define parent_talk "), std::string::npos) << text;
    EXPECT_EQ(resolution(d, "Animal", over), GetParam().resolution);
}

const std::string resolveB2 = lines({"    D_parent_B_talk_resolved = ",
                                     "\tkavParentNumResolve(DCClassData.parentMtab, 2, AnimalClassData.talk);"});
INSTANTIATE_TEST_SUITE_P(
    Parents, ParentsWithTheMethodTest,
    ::testing::Values(
        ParentsCase{"OnlyTheSecond", {false, true},
                    lines({"    #define parent_B_talk D_parent_B_talk", "  #endif", "#endif",
                           "#define D_parents_talk(kavSelf,ev,loud) (\\", "   D_parent_B_talk(kavSelf,ev,loud))"}),
                    resolveB2},
        ParentsCase{"BAndCOfABC", {false, true, true},
                    lines({"#define D_parents_talk(kavSelf,ev,loud) (\\", "   D_parent_B_talk(kavSelf,ev,loud),\\",
                           "   D_parent_C_talk(kavSelf,ev,loud))"}),
                    resolveB2 + lines({"    D_parent_C_talk_resolved = ",
                                       "\tkavParentNumResolve(DCClassData.parentMtab, 3, AnimalClassData.talk);"})}),
    [](const ::testing::TestParamInfo<ParentsCase>& info) { return std::string(info.param.name); });

// kavInit and kavUninit: call macros that call nothing, a list macro of their own, no pointer.
class InitUninitTest : public ParentMacrosTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(InitUninitTest, CallNothingAndAreNotResolved) {
    const std::string m = GetParam();
    Entry* dog = newClass("Dog", {animal});
    Entry* over = overrideIn(dog, kavc::findInheritedMethod(animal, m));
    std::string text = macros(dog, over, "kavSelf,ev");
    EXPECT_TRUE(text.starts_with("typedef ")) << text;
    EXPECT_EQ(text.substr(text.find('\n') + 1),
              lines({"/* define the parent method call macro */", "#define Dog_parent_Animal_" + m + "(__kavSelf) \\",
                     "\tkavSelf = (__kavSelf,kavSelf) /* pcalls for kavInit/kavUninit turned off */",
                     "/* define a variety of (possibly ambiguous) short forms */"}) +
                  guardBlock(m, "Dog_parent_Animal_" + m) + guardBlock("Animal_" + m, "Dog_parent_Animal_" + m, true) +
                  lines({"#define Dog_parents_" + m + "(kavSelf) (kavSelf)"}));
    EXPECT_EQ(resolution(dog, "KAVObject", over), "");
}

INSTANTIATE_TEST_SUITE_P(Lifecycle, InitUninitTest, ::testing::Values("kavInit", "kavUninit"),
                         [](const ::testing::TestParamInfo<const char*>& info) { return std::string(info.param); });

TEST_F(ParentMacrosTest, OverrideOfAnInitializerGetsOnlyTheTypedef) {
    Entry* setup = kavc::addMethod(animal, "setup", kavc::basicType("void"), 4);
    kavc::addMod(setup, "init");
    Entry* dog = newClass("Dog", {animal});
    kavc::addMod(dog, "shadow", "Animal");
    Entry* over = overrideIn(dog, setup);
    EXPECT_EQ(macros(dog, over, "kavSelf,ev"),
              lines({"typedef void (KAVLINK *kavTD_xih_Dog_setup)(Animal *kavSelf, Environment *ev);"}));
    EXPECT_EQ(resolution(dog, "Animal", over), "");  // no pointer was declared
}

// A method of the other pass gets no call macro, yet its list macro is still closed.
TEST_F(ParentMacrosTest, MethodOfTheOtherPassGetsTheTypedefAndAnEmptyListMacro) {
    Entry* dog = newClass("Dog", {animal});
    Entry* over = overrideIn(dog, talk);
    kavc::addMod(over, "class");
    EXPECT_EQ(macros(dog, over, "kavSelf,ev,loud"),
              lines({"typedef void (KAVLINK *kavTD_xih_Dog_talk)(Animal *kavSelf, Environment *ev, long loud);",
                     "#define Dog_parents_talk(kavSelf,ev,loud) )"}));
    EXPECT_EQ(resolution(dog, "Animal", over), "");  // no pointer was declared
}

// Neither an unrelated class nor, in the class pass, the root metaclass has the method.
TEST_F(ParentMacrosTest, MethodNoParentHasIsAnInternalError) {
    Entry* overTalk = overrideIn(newClass("Dog", {animal}), talk);
    Entry* cow = newClass("Cow", {animal});
    Entry* overNew = overrideIn(cow, kavc::findMethod(kavtkavcls, "kavNew"));
    Entry* cat = finished(newClass("Cat", {root()}));
    EXPECT_EQ(macros(cat, overTalk, "kavSelf,ev,loud") + resolution(cat, "Animal", overTalk), "");
    EXPECT_EQ(macros(cow, overNew, "kavSelf,ev") + resolution(cow, "KAVClass", overNew), "");
    ASSERT_EQ(kavc::messages().size(), 2u);
    for (const std::string& message : kavc::messages())
        EXPECT_TRUE(message.find(":7: internal error:") != std::string::npos && message.ends_with("[25]")) << message;
}

// The metaclass pass: pm is the "classprefix" value and the name. Without a prefix pm is the
// plain name, whose guard blocks are then written only once.
struct PrefixCase {
    const char* name;
    const char* prefix;
    std::vector<std::string> shortForms;  // names that get guard blocks, pm first
};
void PrintTo(const PrefixCase& c, std::ostream* os) { *os << c.name; }
class ClassPrefixTest : public ParentMacrosTest, public ::testing::WithParamInterface<PrefixCase> {};

TEST_P(ClassPrefixTest, NamesTheMacrosAfterThePrefixedName) {
    Entry* car = newClass("Car", {root()});
    Entry* start = kavc::addMethod(car, "start", kavc::basicType("void"), 2);
    kavc::addMod(start, "class");
    Entry* sports = newClass("Sportscar", {finished(car)});
    if (GetParam().prefix) kavc::addMod(sports, "classprefix", GetParam().prefix);
    Entry* over = overrideIn(sports, start, true);
    ASSERT_STREQ(sports->name, "M_Sportscar");

    const std::string pm = GetParam().shortForms.front(), target = "M_Sportscar_parent_M_Car_" + pm;
    std::string blocks;
    for (const std::string& x : GetParam().shortForms) blocks += guardBlock(x, target);
    for (const std::string& x : GetParam().shortForms) blocks += guardBlock("M_Car_" + x, target, true);
    EXPECT_EQ(macros(sports, over, "kavSelf,ev"),
              lines({"typedef void (KAVLINK *kavTD_xih_M_Sportscar_start)(M_Car *kavSelf, Environment *ev);",
                     "/* define the parent method call macro */", "static kavMethodProc* " + target + "_resolved;",
                     "#define " + target + "(kavSelf,ev) \\", "  ((( kavTD_xih_M_Sportscar_start ) \\",
                     "      " + target + "_resolved) \\", "\t(kavSelf,ev))",
                     "/* define a variety of (possibly ambiguous) short forms */"}) +
                  blocks + lines({"#define M_Sportscar_parents_" + pm + "(kavSelf,ev) (\\", "   " + target + "(kavSelf,ev))"}));
    EXPECT_EQ(resolution(sports, "Car", over),
              lines({"    " + target + "_resolved = ",
                     "\tkavParentNumResolve(M_SportscarCClassData.parentMtab, 1, M_CarClassData.start);"}));
}

INSTANTIATE_TEST_SUITE_P(Metaclass, ClassPrefixTest,
                         ::testing::Values(PrefixCase{"Prefixed", "M_", {"M_start", "start"}},
                                           PrefixCase{"WithoutPrefix", nullptr, {"start"}}),
                         [](const ::testing::TestParamInfo<PrefixCase>& info) { return std::string(info.param.name); });

// Two parents without class methods both stand for KAVClass, whose kavNew the metaclass pass
// finds; the host does not list the second, so only the first gets macros and a statement.
TEST_F(ParentMacrosTest, MetaclassPassSearchesTheRootMetaclassAndSkipsAnUnlistedParent) {
    Entry* pair = newClass("Pair", {finished(newClass("One", {root()})), finished(newClass("Two", {root()}))});
    Entry* over = overrideIn(pair, kavc::findMethod(kavtkavcls, "kavNew"), true);
    std::string text = macros(pair, over, "kavSelf,ev");
    EXPECT_NE(text.find("static kavMethodProc* M_Pair_parent_KAVClass_kavNew_resolved;\n"), std::string::npos);
    EXPECT_TRUE(text.ends_with(lines({"#define M_Pair_parents_kavNew(kavSelf,ev) (\\",
                                      "   M_Pair_parent_KAVClass_kavNew(kavSelf,ev))"}))) << text;
    EXPECT_EQ(resolution(pair, "KAVClass", over),
              lines({"    M_Pair_parent_KAVClass_kavNew_resolved = ",
                     "\tkavParentNumResolve(M_PairCClassData.parentMtab, 1, KAVClassClassData.kavNew);"}));
    EXPECT_TRUE(kavc::messages().empty());
}

}  // namespace
