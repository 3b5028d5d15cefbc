// Overridden-method declarations, qualified identifiers, the identifier switch, deferral,
// errors 26 and 25.
#include "header_fixture.h"
#include "driver/sections.h"

using namespace darurov;
using namespace header_testing;

namespace {

// Banner, declaration, class-qualified identifier and identifier switch of one override;
// an empty introducer stands for a name-lookup method.
std::string overrideText(std::string c, std::string n, std::string prototype, std::string by) {
    return comment((by.empty() ? "Overridden name lookup method: " : "Overridden method: ") + n) +
           "KAV_Scope " + prototype + ";\n" +
           (by.empty() ? lines({"#define kavId_" + c + n + " kavLId_" + n})
                       : lines({"static char *kavMN_" + c + n + " = \"" + by + "::" + n + "\";",
                                "static kavId kavId_" + c + n + " = &kavMN_" + c + n + ";"})) +
           lines({"#ifdef kavId_" + n, "#undef kavId_" + n, "#else",
                  "#define kavId_" + n + " kavId_" + c + n, "#endif"});
}

// The deferred parent resolutions, most recent first, as "class:introducer:method".
std::vector<std::string> deferred() {
    std::vector<std::string> records;
    for (DeferredResolution* r = pass.deferred; r; r = r->next)
        records.push_back(std::string(r->cls->name) + ":" + r->introducer + ":" + r->method->name);
    return records;
}

// Animal derives from ::Zoo::Base, which introduces methods of every kind.
class OverriddenMethodsTest : public HeaderTest {
  protected:
    void SetUp() override {
        HeaderTest::SetUp();
        kavc::newModule("Zoo", {}, nullptr, 1);
        base = kavc::newClass("Base", {"Zoo"}, nullptr, 2);
        kavc::addParent(base, kavc::findClass("KAVObject"), 2);
        Entry* feed = kavc::addMethod(base, "feed", kavc::basicType("long"), 3);
        kavc::addParam(feed, "amount", kavc::basicType("long"), kavtModeIn);
        kavc::addMod(kavc::addMethod(base, "find", kavc::basicType("void"), 4), "namelookup");
        for (const char* kind : {"procedure", "nonstatic", "nonstaticaccessors"})
            kavc::addMod(kavc::addMethod(base, kind, kavc::basicType("void"), 5), kind);
        kavc::finishClass(base);
        cls = kavc::newClass("Animal", {}, nullptr, 10);
        kavc::addParent(cls, base, 10);
    }
    Entry* override(const char* name, int line = 20) {
        return kavc::addOverride(cls, kavc::findInheritedMethod(cls, name), line);
    }
    std::string write() {
        return capture([&](FILE* out) {
            InheritedMethodList inherited = writeOverriddenMethods(out, cls);
            releaseMethodList(inherited);
        });
    }
    std::string parentCalls(Entry* e, const std::string& arguments) {
        return capture([&](FILE* out) { emitParentCallMacros(out, cls, e, arguments.c_str()); });
    }
    Entry* base = nullptr;
};

class OverrideLanguage : public OverriddenMethodsTest,
                         public ::testing::WithParamInterface<bool> {};

// IDL names the introducer by its scoped name, ZDL by its simple one.
TEST_P(OverrideLanguage, DeclaresIdentifiesAndDefers) {
    const bool zdl = GetParam();
    if (zdl) options({"csc"});
    kavc::setClassPrefix("zoo_");
    Entry* feed = override("feed");
    Entry* find = override("find");
    startPass();
    std::string self = "(Animal *kavSelf" + std::string(zdl ? "" : sep + "Environment *ev");
    std::string implicit = zdl ? "kavSelf" : "kavSelf,ev";
    EXPECT_EQ(write(),
              overrideText("Animal", "feed", "long KAVLINK zoo_feed" + self + sep + "long amount)",
                           zdl ? "Base" : "Zoo::Base") +
                  parentCalls(feed, implicit + ",amount") +
                  overrideText("Animal", "find", "void KAVLINK zoo_find" + self + ")", "") +
                  parentCalls(find, implicit));
    EXPECT_EQ(deferred(), (std::vector<std::string>{"Animal:Base:find", "Animal:Base:feed"}));
    EXPECT_EQ(kavc::errorCount(), 0);
}

INSTANTIATE_TEST_SUITE_P(Languages, OverrideLanguage, ::testing::Bool(),
                         [](const auto& info) { return std::string(info.param ? "zdl" : "idl"); });

// Error 26 for procedures and non-static methods, internal error 25 for an override of no
// inherited method; both are skipped, as is a "class" override in the class pass. Only the
// default assignment methods name the class instead of the root class (as written when their
// prototype lacks it); lifecycle methods and "select" get no parent calls.
TEST_F(OverriddenMethodsTest, ErrorsAssignmentsAndOverridesWithoutParentCalls) {
    override("procedure", 21);
    override("nonstatic", 22);
    override("nonstaticaccessors", 23);
    Entry* other = kavc::newClass("Other", {}, nullptr, 30);
    kavc::finishClass(other);
    kavc::addOverride(cls, kavc::addMethod(other, "stray", kavc::basicType("long"), 31), 24);
    kavc::addMod(override("find"), "class");
    override("kavDefaultConstVAssign");
    Entry* vAssign = override("kavDefaultVAssign");
    vAssign->returnType = vAssign->returnTypeText = kavc::str("void");
    vAssign->params = nullptr;
    vAssign->argCount = 0;
    override("kavDefaultCopyInit");
    kavc::addMod(override("feed"), "select");
    startPass();
    std::string text = write();
    const std::string error26 = "\": it is declared as a procedure or as non-static [26]";
    EXPECT_EQ(kavc::messages(),
              (std::vector<std::string>{
                  "animal.idl:21: error: cannot override method \"procedure" + error26,
                  "animal.idl:22: error: cannot override method \"nonstatic" + error26,
                  "animal.idl:23: error: cannot override method \"nonstaticaccessors" + error26,
                  "animal.idl:24: internal error: no parent of class \"Animal\" has the "
                  "overridden method \"stray\" [25]"}));
    const std::string self = "(Animal *kavSelf" + sep + "Environment *ev";
    const std::string from = sep + "KAVObject* fromObj)";
    EXPECT_EQ(text, overrideText("Animal", "kavDefaultConstVAssign",
                                 "Animal* KAVLINK kavDefaultConstVAssign" + self + sep +
                                     "kavAssignCtrl* ctrl" + from, "KAVObject") +
                        overrideText("Animal", "kavDefaultVAssign",
                                     "void KAVLINK kavDefaultVAssign" + self + ")", "KAVObject") +
                        overrideText("Animal", "kavDefaultCopyInit",
                                     "void KAVLINK kavDefaultCopyInit" + self + sep +
                                         "kavInitCtrl* ctrl" + from, "KAVObject") +
                        overrideText("Animal", "feed", "long KAVLINK feed" + self + sep +
                                     "long amount)", "Zoo::Base"));
    EXPECT_EQ(pass.deferred, nullptr);
}

// A parent that another parent also derives from contributes through that other parent.
TEST_F(OverriddenMethodsTest, ParentReachedTwiceContributesThroughTheOtherPath) {
    Entry* derived = kavc::newClass("Derived", {}, nullptr, 40);
    kavc::addParent(derived, base, 40);
    kavc::addMethod(derived, "run", kavc::basicType("void"), 41);
    kavc::finishClass(derived);
    cls = kavc::newClass("Pet", {}, nullptr, 42);
    kavc::addParent(cls, base, 42);
    kavc::addParent(cls, derived, 42);
    override("feed");
    startPass();
    InheritedMethodList inherited = nullptr;
    std::string text = capture([&](FILE* out) { inherited = writeOverriddenMethods(out, cls); });
    ASSERT_NE(inherited, nullptr);
    EXPECT_STREQ(inherited->method->name, "run");
    releaseMethodList(inherited);
    EXPECT_EQ(text.rfind(comment("Overridden method: feed"), 0), 0u) << text;
}

// In the metaclass pass the root metaclass's methods are inherited too.
TEST_F(OverriddenMethodsTest, MetaclassPassFindsRootMetaclassMethods) {
    kavc::addMod(cls, "classprefix", "M_");
    Entry* e = kavc::addOverride(cls, kavc::findMethod(kavtkavcls, "kavGetInstanceSize"), 25);
    kavc::addMod(e, "class");
    override("feed");
    startPass(true);
    EXPECT_EQ(write(), overrideText("M_Animal", "kavGetInstanceSize",
                                    "long KAVLINK M_kavGetInstanceSize(M_Animal *kavSelf" + sep +
                                        "Environment *ev)", "KAVClass") +
                           parentCalls(e, "kavSelf,ev"));
    EXPECT_EQ(deferred(), std::vector<std::string>{"M_Animal:KAVClass:kavGetInstanceSize"});
}

}  // namespace
