// Overridden-method declarations, qualified identifiers, the identifier switch, deferral,
// errors 26 and 25.
#include "header_fixture.h"
#include "parents/parents.h"

#include <algorithm>

using namespace darurov;
using namespace header_testing;

namespace {

const char* const sep = ",\n\t\t";

std::string identifierSwitch(const std::string& c, const std::string& n) {
    return lines({"#ifdef kavId_" + n, "#undef kavId_" + n, "#else",
                  "#define kavId_" + n + " kavId_" + c + n, "#endif"});
}

std::string qualifiedIdentifier(const std::string& c, const std::string& n,
                                const std::string& introducer) {
    return lines({"static char *kavMN_" + c + n + " = \"" + introducer + "::" + n + "\";",
                  "static kavId kavId_" + c + n + " = &kavMN_" + c + n + ";"});
}

std::vector<std::string> drainDeferred() {
    std::vector<std::string> resolved;
    while (DeferredResolution* record = popDeferred()) {
        resolved.push_back(std::string(record->cls->name) + ":" + record->introducer + ":" +
                           record->method->name);
        releaseDeferred(record);
    }
    return resolved;
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
            kavc::addMod(kavc::addMethod(base, kind + std::string("Method"),
                                         kavc::basicType("void"), 5),
                         kind);
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
    static std::string parentCalls(Entry* cls, Entry* e, const char* arguments) {
        return capture([&](FILE* out) { emitParentCallMacros(out, cls, e, arguments); });
    }
    Entry* base = nullptr;
};

struct LanguageCase {
    const char* label;
    std::vector<const char*> options;
    const char* env;          // the implicit parameter in prototypes
    const char* arguments;    // the override argument text
    const char* introducer;   // in the method-name string
};

class OverrideLanguage : public OverriddenMethodsTest,
                         public ::testing::WithParamInterface<LanguageCase> {};

TEST_P(OverrideLanguage, DeclaresIdentifiesAndDefers) {
    const LanguageCase& c = GetParam();
    options(c.options);
    kavc::setClassPrefix("zoo_");
    Entry* e = override("feed");
    startPass();
    std::string text = write();
    EXPECT_EQ(text, comment("Overridden method: feed") +
                        "KAV_Scope long KAVLINK zoo_feed(Animal *kavSelf" + c.env + sep +
                        "long amount);\n" + qualifiedIdentifier("Animal", "feed", c.introducer) +
                        identifierSwitch("Animal", "feed") + parentCalls(cls, e, c.arguments));
    EXPECT_EQ(drainDeferred(), std::vector<std::string>{"Animal:Base:feed"});
    EXPECT_EQ(kavc::errorCount(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Languages, OverrideLanguage,
    ::testing::Values(
        LanguageCase{"idl", {}, ",\n\t\tEnvironment *ev", "kavSelf,ev,amount", "Zoo::Base"},
        LanguageCase{"idlNotc", {"notc"}, ",\n\t\tEnvironment *ev", "kavSelf,ev,amount",
                     "Zoo::Base"},
        LanguageCase{"zdl", {"csc"}, "", "kavSelf,amount", "Base"}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(OverriddenMethodsTest, NameLookupOverrideUsesTheLookupIdentifier) {
    Entry* e = override("find");
    startPass();
    EXPECT_EQ(write(), comment("Overridden name lookup method: find") +
                           "KAV_Scope void KAVLINK find(Animal *kavSelf" + sep +
                           "Environment *ev);\n" +
                           lines({"#define kavId_Animalfind kavLId_find"}) +
                           identifierSwitch("Animal", "find") +
                           parentCalls(cls, e, "kavSelf,ev"));
    EXPECT_EQ(drainDeferred(), std::vector<std::string>{"Animal:Base:find"});
}

class OverrideOfNonStatic : public OverriddenMethodsTest,
                            public ::testing::WithParamInterface<const char*> {};

TEST_P(OverrideOfNonStatic, IsError26AndWritesNothing) {
    std::string name = GetParam() + std::string("Method");
    override(name.c_str(), 21);
    startPass();
    EXPECT_EQ(write(), "");
    EXPECT_EQ(kavc::errorCount(), 1);
    ASSERT_EQ(kavc::messages().size(), 1u);
    EXPECT_EQ(kavc::messages()[0], "animal.idl:21: error: cannot override method \"" + name +
                                       "\": it is declared as a procedure or as non-static [26]");
    EXPECT_TRUE(drainDeferred().empty());
}

INSTANTIATE_TEST_SUITE_P(Kinds, OverrideOfNonStatic,
                         ::testing::Values("procedure", "nonstatic", "nonstaticaccessors"));

TEST_F(OverriddenMethodsTest, ErrorDoesNotStopTheLoop) {
    override("procedureMethod", 21);
    override("feed", 22);
    startPass();
    std::string text = write();
    EXPECT_EQ(kavc::errorCount(), 1);
    EXPECT_EQ(text.rfind(comment("Overridden method: feed"), 0), 0u) << text;
    EXPECT_EQ(drainDeferred(), std::vector<std::string>{"Animal:Base:feed"});
}

TEST_F(OverriddenMethodsTest, AssignmentMethodsNameTheClassInsteadOfTheRoot) {
    override("kavDefaultAssign");
    override("kavDefaultConstVAssign");
    startPass();
    std::string rest = std::string("(Animal *kavSelf") + sep + "Environment *ev" + sep +
                       "kavAssignCtrl* ctrl" + sep + "KAVObject* fromObj);\n";
    EXPECT_EQ(write(), comment("Overridden method: kavDefaultAssign") +
                           "KAV_Scope Animal* KAVLINK kavDefaultAssign" + rest +
                           qualifiedIdentifier("Animal", "kavDefaultAssign", "KAVObject") +
                           identifierSwitch("Animal", "kavDefaultAssign") +
                           comment("Overridden method: kavDefaultConstVAssign") +
                           "KAV_Scope Animal* KAVLINK kavDefaultConstVAssign" + rest +
                           qualifiedIdentifier("Animal", "kavDefaultConstVAssign", "KAVObject") +
                           identifierSwitch("Animal", "kavDefaultConstVAssign"));
    EXPECT_TRUE(drainDeferred().empty());
}

TEST_F(OverriddenMethodsTest, AssignmentPrototypeWithoutRootNameIsWrittenAsIs) {
    Entry* e = override("kavDefaultVAssign");
    e->returnTypeText = kavc::str("void");
    e->returnType = e->returnTypeText;
    e->params = nullptr;
    e->argCount = 0;
    startPass();
    EXPECT_EQ(write(), comment("Overridden method: kavDefaultVAssign") +
                           "KAV_Scope void KAVLINK kavDefaultVAssign(Animal *kavSelf" + sep +
                           "Environment *ev);\n" +
                           qualifiedIdentifier("Animal", "kavDefaultVAssign", "KAVObject") +
                           identifierSwitch("Animal", "kavDefaultVAssign"));
}

// Lifecycle methods keep their prototypes and get no parent calls; neither does "select".
TEST_F(OverriddenMethodsTest, LifecycleAndSelectOverridesGetNoParentCalls) {
    override("kavDestruct");
    override("kavDefaultCopyInit");
    kavc::addMod(override("feed"), "select");
    startPass();
    EXPECT_EQ(write(), comment("Overridden method: kavDestruct") +
                           "KAV_Scope void KAVLINK kavDestruct(Animal *kavSelf" + sep +
                           "Environment *ev" + sep + "octet doFree" + sep +
                           "kavDestructCtrl* ctrl);\n" +
                           qualifiedIdentifier("Animal", "kavDestruct", "KAVObject") +
                           identifierSwitch("Animal", "kavDestruct") +
                           comment("Overridden method: kavDefaultCopyInit") +
                           "KAV_Scope void KAVLINK kavDefaultCopyInit(Animal *kavSelf" + sep +
                           "Environment *ev" + sep + "kavInitCtrl* ctrl" + sep +
                           "KAVObject* fromObj);\n" +
                           qualifiedIdentifier("Animal", "kavDefaultCopyInit", "KAVObject") +
                           identifierSwitch("Animal", "kavDefaultCopyInit") +
                           comment("Overridden method: feed") +
                           "KAV_Scope long KAVLINK feed(Animal *kavSelf" + sep +
                           "Environment *ev" + sep + "long amount);\n" +
                           qualifiedIdentifier("Animal", "feed", "Zoo::Base") +
                           identifierSwitch("Animal", "feed"));
    EXPECT_TRUE(drainDeferred().empty());
}

TEST_F(OverriddenMethodsTest, DeferredMostRecentFirst) {
    override("feed");
    override("kavInit");
    startPass();
    write();
    EXPECT_EQ(drainDeferred(),
              (std::vector<std::string>{"Animal:KAVObject:kavInit", "Animal:Base:feed"}));
}

// The host makes overrides only of inherited methods; one without gets internal error 25.
TEST_F(OverriddenMethodsTest, OverrideOfNoInheritedMethodIsReportedAndSkipped) {
    Entry* other = kavc::newClass("Other", {}, nullptr, 30);
    Entry* stray = kavc::addMethod(other, "stray", kavc::basicType("long"), 31);
    kavc::finishClass(other);
    kavc::addOverride(cls, stray, 23);
    override("feed", 24);
    startPass();
    std::string text = write();
    ASSERT_EQ(kavc::messages().size(), 1u);
    EXPECT_EQ(kavc::messages()[0], "animal.idl:23: internal error: no parent of class \"Animal\" "
                                   "has the overridden method \"stray\" [25]");
    EXPECT_EQ(text.rfind(comment("Overridden method: feed"), 0), 0u) << text;
    EXPECT_EQ(drainDeferred(), std::vector<std::string>{"Animal:Base:feed"});
}

TEST_F(OverriddenMethodsTest, ClassPassSkipsClassOverrides) {
    kavc::addMod(override("feed"), "class");
    startPass();
    EXPECT_EQ(write(), "");
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
    std::vector<std::string> names;
    for (MethodCell* cell = inherited; cell; cell = cell->next) names.push_back(cell->method->name);
    releaseMethodList(inherited);
    ASSERT_FALSE(names.empty());
    EXPECT_EQ(names.front(), "run");
    EXPECT_EQ(std::count(names.begin(), names.end(), "feed"), 1);
    EXPECT_EQ(kavc::errorCount(), 0);
    EXPECT_EQ(text.rfind(comment("Overridden method: feed"), 0), 0u) << text;
    EXPECT_EQ(drainDeferred(), std::vector<std::string>{"Pet:Base:feed"});
}

// In the metaclass pass the root metaclass's methods are inherited too.
TEST_F(OverriddenMethodsTest, MetaclassPassFindsRootMetaclassMethods) {
    kavc::addMod(cls, "classprefix", "M_");
    Entry* e = kavc::addOverride(cls, kavc::findMethod(kavtkavcls, "kavGetInstanceSize"), 25);
    kavc::addMod(e, "class");
    override("feed");
    startPass(true);
    EXPECT_EQ(write(), comment("Overridden method: kavGetInstanceSize") +
                           "KAV_Scope long KAVLINK M_kavGetInstanceSize(M_Animal *kavSelf" + sep +
                           "Environment *ev);\n" +
                           qualifiedIdentifier("M_Animal", "kavGetInstanceSize", "KAVClass") +
                           identifierSwitch("M_Animal", "kavGetInstanceSize") +
                           parentCalls(cls, e, "kavSelf,ev"));
    EXPECT_EQ(drainDeferred(),
              std::vector<std::string>{"M_Animal:KAVClass:kavGetInstanceSize"});
}

}  // namespace
