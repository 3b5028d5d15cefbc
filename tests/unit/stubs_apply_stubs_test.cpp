// The apply-stub section: stub texts, "apply"/"generateapply" interplay, array casts.
#include "stubs_fixture.h"

#include <algorithm>

namespace {

using namespace stubs_testing;

const std::string banner = comment("-- Apply Stubs for New Methods");
const std::string externalsBanner =
    comment("Generate dummy external for those stubs that are not declared in this file.");

class ApplyStubsTest : public StubsTest {
  protected:
    std::string section() {
        return capture([&](FILE* out) { darurov::emitApplyStubs(out, cls); });
    }
    int warnings23() {
        const auto& all = kavc::messages();
        return static_cast<int>(std::count_if(all.begin(), all.end(), [](const std::string& m) {
            return m.find("warning:") != std::string::npos && m.ends_with("[23]");
        }));
    }
};

TEST_F(ApplyStubsTest, PlainMethodGetsStaticStubNamedAfterTheMethod) {
    Entry* grow = method("grow");
    param(grow, "steps", "long");
    param(grow, "speed", "float");
    startStubPass();

    EXPECT_EQ(section(), banner + lines({
                                      "static void KAVLINK kavAP_grow(Animal *kavSelf,",
                                      "\t\tlong *__retVal,",
                                      "\t\tkavMethodProc *__methodPtr,",
                                      "\t\tva_list __ap)",
                                      "{",
                                      "\tkavSelf = va_arg(__ap, Animal*);",
                                  }) + varargs(grow) +
                             lines({
                                 "",
                                 "\t*__retVal = ((kavTD_Animal_grow) __methodPtr) "
                                 "(kavSelf,ev, steps,speed);",
                                 "}",
                                 "",
                             }));
}

TEST_F(ApplyStubsTest, VoidMethodWithoutArgumentsIgnoresBothParameters) {
    Entry* sleep = method("sleep", "void");
    startStubPass();

    EXPECT_EQ(section(), banner + lines({
                                      "static void KAVLINK kavAP_sleep(Animal *kavSelf,",
                                      "\t\tvoid *__retVal,",
                                      "\t\tkavMethodProc *__methodPtr,",
                                      "\t\tva_list __ap)",
                                      "{",
                                      "\tkavSelf = va_arg(__ap, Animal*);",
                                  }) + varargs(sleep) +
                             lines({
                                 "\tKAV_IgnoreWarning(__ap);",
                                 "\tKAV_IgnoreWarning(__retVal);",
                                 "",
                                 "\t((kavTD_Animal_sleep) __methodPtr) (kavSelf,ev);",
                                 "}",
                                 "",
                             }));
}

TEST_F(ApplyStubsTest, ValueMethodWithoutArgumentsIgnoresOnlyTheList) {
    method("age");
    kavc::setOption("csc", nullptr);  // ZDL: stubs written, no implicit arguments
    startPass();

    const std::string text = section();
    EXPECT_NE(text.find("\tKAV_IgnoreWarning(__ap);\n"), std::string::npos);
    EXPECT_EQ(text.find("KAV_IgnoreWarning(__retVal)"), std::string::npos);
    EXPECT_NE(text.find("\n\t*__retVal = ((kavTD_Animal_age) __methodPtr) (kavSelf);\n}\n\n"),
              std::string::npos);
}

TEST_F(ApplyStubsTest, BareGenerateApplyDefinesAnExternalStubWithItsGuard) {
    Entry* run = method("run", "void");
    param(run, "meters", "long");
    kavc::addMod(run, "generateapply");
    kavc::setClassPrefix("zoo_");
    startStubPass();

    EXPECT_EQ(section(), banner + lines({
                                      "#define kavGAP_zoo_runD 1",
                                      "KAVEXTERN void KAVLINK kavGAP_zoo_run(Animal *kavSelf,",
                                      "\t\tvoid *__retVal,",
                                      "\t\tkavMethodProc *__methodPtr,",
                                      "\t\tva_list __ap)",
                                      "{",
                                      "\tkavSelf = va_arg(__ap, Animal*);",
                                  }) + varargs(run) +
                             lines({
                                 "\tKAV_IgnoreWarning(__retVal);",
                                 "",
                                 "\t((kavTD_Animal_run) __methodPtr) (kavSelf,ev, meters);",
                                 "}",
                                 "",
                             }) +
                             externalsBanner);
}

TEST_F(ApplyStubsTest, SecondGenerateApplyOfOneNameWarnsAndReusesTheStub) {
    Entry* first = method("run", "void", 10);
    kavc::addMod(first, "generateapply", "moveStub");
    Entry* second = method("walk", "void", 12);
    kavc::addMod(second, "generateapply", "moveStub");
    startStubPass();

    const std::string text = section();
    EXPECT_EQ(warnings23(), 1);
    ASSERT_EQ(kavc::messages().size(), 1u);
    EXPECT_TRUE(kavc::messages()[0].starts_with(std::string(cls->file) + ":12: warning:"))
        << kavc::messages()[0];
    const std::string tail = lines({
                                 "}",
                                 "",
                                 "/* Using \"moveStub\" apply stub for method \"walk\" */",
                                 "",
                             }) +
                             externalsBanner;
    EXPECT_TRUE(text.ends_with(tail)) << text;
    EXPECT_EQ(std::count(text.begin(), text.end(), '{'), 1) << "one stub only";
    EXPECT_TRUE(text.starts_with(banner + "#define moveStubD 1\nKAVEXTERN void KAVLINK moveStub("));
}

TEST_F(ApplyStubsTest, ApplyThenGenerateApplyDefinesTheStubWithoutExternal) {
    kavc::addMod(method("run", "void"), "apply", "moveStub");
    Entry* walk = method("walk", "void");
    kavc::addMod(walk, "generateapply", "moveStub");
    startStubPass();

    EXPECT_EQ(section(), banner + lines({
                                      "/* Using \"moveStub\" apply stub for method \"run\" */",
                                      "",
                                      "#define moveStubD 1",
                                      "KAVEXTERN void KAVLINK moveStub(Animal *kavSelf,",
                                      "\t\tvoid *__retVal,",
                                      "\t\tkavMethodProc *__methodPtr,",
                                      "\t\tva_list __ap)",
                                      "{",
                                      "\tkavSelf = va_arg(__ap, Animal*);",
                                  }) + varargs(walk) +
                             lines({
                                 "\tKAV_IgnoreWarning(__ap);",
                                 "\tKAV_IgnoreWarning(__retVal);",
                                 "",
                                 "\t((kavTD_Animal_walk) __methodPtr) (kavSelf,ev);",
                                 "}",
                                 "",
                             }) +
                             externalsBanner);
    EXPECT_EQ(kavc::warningCount(), 0);
}

TEST_F(ApplyStubsTest, StubNamedOnlyThroughApplyIsDeclaredUnguardedInTheClassPass) {
    kavc::addMod(method("run"), "apply", "moveStub");
    kavc::addMod(method("walk"), "apply", "moveStub");
    startStubPass();

    EXPECT_EQ(section(), banner + lines({
                                      "/* Using \"moveStub\" apply stub for method \"run\" */",
                                      "",
                                      "/* Using \"moveStub\" apply stub for method \"walk\" */",
                                      "",
                                  }) +
                             externalsBanner +
                             lines({
                                 "#define moveStubD 1",
                                 "KAVEXTERN kavMethodProc KAVLINK moveStub;",
                             }));
}

TEST_F(ApplyStubsTest, MetaclassPassGuardsTheExternalAndNamesTheMetaclass) {
    Entry* make = method("make", "long");
    kavc::addMod(make, "class");
    kavc::addMod(make, "apply", "makeStub");
    Entry* count = method("count", "long");
    kavc::addMod(count, "class");
    method("grow");  // instance method: class pass only
    startStubPass();
    enterMetaclassPass();

    EXPECT_EQ(section(), banner + lines({
                                      "/* Using \"makeStub\" apply stub for method \"make\" */",
                                      "",
                                      "static void KAVLINK kavAP_count(M_Animal *kavSelf,",
                                      "\t\tlong *__retVal,",
                                      "\t\tkavMethodProc *__methodPtr,",
                                      "\t\tva_list __ap)",
                                      "{",
                                      "\tkavSelf = va_arg(__ap, M_Animal*);",
                                  }) + varargs(count) +
                             lines({
                                 "\tKAV_IgnoreWarning(__ap);",
                                 "",
                                 "\t*__retVal = ((kavTD_M_Animal_count) __methodPtr) (kavSelf,ev);",
                                 "}",
                                 "",
                             }) +
                             externalsBanner +
                             lines({
                                 "#ifndef makeStubD",
                                 "#define makeStubD 1",
                                 "KAVEXTERN kavMethodProc KAVLINK makeStub;",
                                 "#endif /* makeStubD */",
                             }));
    kavtuninitialiseMeta(cls);
}

TEST_F(ApplyStubsTest, ExternalsFollowTheOrderTheStubsWereFirstNamed) {
    kavc::addMod(method("run"), "apply", "zStub");
    kavc::addMod(method("walk"), "apply", "aStub");
    kavc::addMod(method("hop"), "apply", "zStub");
    startStubPass();

    const std::string text = section();
    EXPECT_TRUE(text.ends_with(externalsBanner + lines({
                                                     "#define zStubD 1",
                                                     "KAVEXTERN kavMethodProc KAVLINK zStub;",
                                                     "#define aStubD 1",
                                                     "KAVEXTERN kavMethodProc KAVLINK aStub;",
                                                 })))
        << text;
}

TEST_F(ApplyStubsTest, ProceduresAndMethodsOfTheOtherPassGetNothing) {
    kavc::addMod(method("helper"), "procedure");
    kavc::addMod(method("make"), "class");
    startStubPass();

    EXPECT_EQ(section(), "");
}

TEST_F(ApplyStubsTest, OverridesAreNotNewMethods) {
    kavc::addOverride(cls, kavc::findInheritedMethod(cls, "kavInit"), 5);
    startStubPass();

    EXPECT_EQ(section(), "");
}

TEST_F(ApplyStubsTest, NothingWhenThePassWritesNoApplyStubs) {
    method("grow");
    startPass();  // IDL without "notc": the runtime makes the stubs
    ASSERT_TRUE(darurov::pass.noApplyStubs);

    EXPECT_EQ(section(), "");
}

TEST_F(ApplyStubsTest, ReintroducedMethodsFollowTheClassOwnMethods) {
    Entry* parent = kavc::newClass("Beast", {}, nullptr, 1);
    kavc::addParent(parent, kavc::findClass("KAVObject"), 1);
    Entry* roar = kavc::addMethod(parent, "roar", kavc::basicType("void"), 3);
    kavc::finishClass(parent);
    cls = kavc::newClass("Lion", {}, nullptr, 5);
    kavc::addParent(cls, parent, 5);
    kavc::addReintroduce(cls, roar, 6);
    method("hunt", "void");
    startStubPass();

    const std::string text = section();
    const auto hunt = text.find("kavAP_hunt(Lion *kavSelf,");
    const auto reintroduced = text.find("kavAP_roar(Lion *kavSelf,");
    ASSERT_NE(hunt, std::string::npos) << text;
    ASSERT_NE(reintroduced, std::string::npos) << text;
    EXPECT_LT(hunt, reintroduced);
}

TEST_F(ApplyStubsTest, ApplyWithoutValueIsFatal) {
    kavc::addMod(method("run"), "apply");
    startStubPass();

    EXPECT_THROW(section(), kavc::Fatal);
    EXPECT_EQ(kavc::messages().size(), 1u);
}

// ---- array arguments ------------------------------------------------------------------------

class ArrayCastTest : public StubsTest {
  protected:
    Entry* arrayParam(Entry* m, const char* name, const std::vector<unsigned long>& dims,
                      const char* declarator, const char* element = "long") {
        return kavc::addParam(m, name, kavc::arrayType(kavc::basicType(element), dims),
                              kavtModeIn, declarator);
    }
    static std::string cast(Entry* p) {
        std::string buffer;
        const char* text = darurov::arrayArgCast(p, buffer);
        return text ? text : "<none>";
    }
};

TEST_F(ArrayCastTest, FirstDimensionBecomesAPointerAndTheRestStays) {
    Entry* m = method("fill");
    struct Case {
        const char* name;
        std::vector<unsigned long> dims;
        const char* declarator;
        const char* element;
        const char* expected;
    };
    const Case cases[] = {
        {"a", {10}, "long a[10]", "long", "long (*)  "},
        {"x", {2, 3}, "long x[2][3]", "long", "long (*) [3]"},
        {"name", {32}, "char name[32]", "char", "char (*)     "},
        {"grid", {4, 5, 6}, "short grid[4][5][6]", "short", "short (*)    [5][6]"},
    };
    for (const Case& c : cases) {
        Entry* p = arrayParam(m, c.name, c.dims, c.declarator, c.element);
        EXPECT_EQ(cast(p), c.expected) << c.declarator;
    }
}

TEST_F(ArrayCastTest, CallListCastsEachArrayArgument) {
    Entry* m = method("fill");
    param(m, "n", "long");
    arrayParam(m, "a", {10}, "long a[10]");
    arrayParam(m, "x", {2, 3}, "long x[2][3]");
    param(m, "last", "short");
    startStubPass();

    std::string buffer;
    EXPECT_STREQ(darurov::applyCallArgList(m, buffer), "n,(long (*)  )a,(long (*) [3])x,last");
}

TEST_F(ArrayCastTest, StubCallPassesTheCastArray) {
    Entry* m = method("fill", "void");
    arrayParam(m, "x", {2, 3}, "long x[2][3]");
    startStubPass();

    const std::string text = capture([&](FILE* out) { darurov::emitApplyStubs(out, cls); });
    EXPECT_NE(text.find("\n\t((kavTD_Animal_fill) __methodPtr) (kavSelf,ev, (long (*) [3])x);\n"),
              std::string::npos)
        << text;
}

TEST_F(ArrayCastTest, NameMissingFromTheDeclaratorLeavesTheArgumentAsWritten) {
    Entry* m = method("fill");
    Entry* odd = arrayParam(m, "x", {4}, "long y[4]");
    param(m, "n", "long");
    startStubPass();

    EXPECT_EQ(cast(odd), "<none>");
    std::string buffer;
    EXPECT_STREQ(darurov::applyCallArgList(m, buffer), "x,n");
}

}  // namespace
