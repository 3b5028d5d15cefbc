// The apply-stub section: stub texts, "apply"/"generateapply" interplay, the external
// declarations that close the section, and array casts.
#include "stubs_fixture.h"

namespace {

using namespace stubs_testing;

const std::string banner = comment("-- Apply Stubs for New Methods");
const std::string externalsBanner =
    comment("Generate dummy external for those stubs that are not declared in this file.");

// The host's own text for the stub's argument declarations.
std::string varargs(Entry* m) {
    return capture([&](FILE* out) { kavtdeclareIdlVarargs(out, m); });
}

// The lines every stub opens with.
std::string opening(const std::string& signature, const std::string& result,
                    const std::string& self) {
    return lines({signature, "\t\t" + result + " *__retVal,", "\t\tkavMethodProc *__methodPtr,",
                  "\t\tva_list __ap)", "{", "\tkavSelf = va_arg(__ap, " + self + "*);"});
}

using ApplyStubsTest = StubsTest;

TEST_F(ApplyStubsTest, PlainMethodGetsStaticStubAndBareGenerateApplyAnExternalOne) {
    Entry* grow = method("grow");
    param(grow, "steps", "long");
    param(grow, "speed", "float");
    Entry* run = method("run", "void");
    param(run, "meters", "long");
    kavc::addMod(run, "generateapply");
    kavc::setClassPrefix("zoo_");
    startPass();

    // Every recorded stub is defined here: the externals banner stands alone.
    EXPECT_EQ(section(),
              banner +
                  opening("static void KAVLINK kavAP_zoo_grow(Animal *kavSelf,", "long", "Animal") +
                  varargs(grow) +
                  lines({"",
                         "\t*__retVal = ((kavTD_Animal_grow) __methodPtr) (kavSelf,ev, steps,speed);",
                         "}", "", "#define kavGAP_zoo_runD 1"}) +
                  opening("KAVEXTERN void KAVLINK kavGAP_zoo_run(Animal *kavSelf,", "void",
                          "Animal") +
                  varargs(run) +
                  lines({"\tKAV_IgnoreWarning(__retVal);", "",
                         "\t((kavTD_Animal_run) __methodPtr) (kavSelf,ev, meters);", "}", ""}) +
                  externalsBanner);
}

TEST_F(ApplyStubsTest, ApplyAndGenerateApplyShareOneStubPerName) {
    kavc::addMod(method("run", "void", 10), "apply", "moveStub");
    Entry* walk = method("walk", "void", 11);
    kavc::addMod(walk, "generateapply", "moveStub");  // defines what "run" named
    kavc::addMod(method("hop", "void", 12), "generateapply", "moveStub");  // warning 23
    kavc::addMod(method("dig", "long", 13), "apply", "zStub");
    kavc::addMod(method("sniff", "long", 15), "apply", "zStub");
    startPass();

    auto usingStub = [](const std::string& stub, const std::string& m) {
        return "/* Using \"" + stub + "\" apply stub for method \"" + m + "\" */\n\n";
    };
    EXPECT_EQ(section(),
              banner + usingStub("moveStub", "run") + "#define moveStubD 1\n" +
                  opening("KAVEXTERN void KAVLINK moveStub(Animal *kavSelf,", "void", "Animal") +
                  varargs(walk) +
                  lines({"\tKAV_IgnoreWarning(__ap);", "\tKAV_IgnoreWarning(__retVal);", "",
                         "\t((kavTD_Animal_walk) __methodPtr) (kavSelf,ev);", "}", ""}) +
                  usingStub("moveStub", "hop") + usingStub("zStub", "dig") +
                  usingStub("zStub", "sniff") + externalsBanner +
                  lines({"#define zStubD 1", "KAVEXTERN kavMethodProc KAVLINK zStub;"}));
    ASSERT_EQ(kavc::messages().size(), 1u);
    EXPECT_TRUE(kavc::messages()[0].starts_with(std::string(cls->file) + ":12: warning:"));
    EXPECT_TRUE(kavc::messages()[0].ends_with("[23]")) << kavc::messages()[0];
}

TEST_F(ApplyStubsTest, MetaclassPassSeesClassMethodsAndGuardsItsExternals) {
    Entry* make = method("make");
    kavc::addMod(make, "class");
    kavc::addMod(make, "apply", "makeStub");
    Entry* count = method("count");
    kavc::addMod(count, "class");
    method("grow");  // instance method: class pass only
    startPass();
    kavtinitialiseMeta(cls, kavc::unitStab(), 1, 1);

    EXPECT_EQ(section(),
              banner + "/* Using \"makeStub\" apply stub for method \"make\" */\n\n" +
                  opening("static void KAVLINK kavAP_count(M_Animal *kavSelf,", "long",
                          "M_Animal") +
                  varargs(count) +
                  lines({"\tKAV_IgnoreWarning(__ap);", "",
                         "\t*__retVal = ((kavTD_M_Animal_count) __methodPtr) (kavSelf,ev);", "}",
                         ""}) +
                  externalsBanner +
                  lines({"#ifndef makeStubD", "#define makeStubD 1",
                         "KAVEXTERN kavMethodProc KAVLINK makeStub;", "#endif /* makeStubD */"}));
    kavtuninitialiseMeta(cls);
}

// Nothing handled: no banner, and the empty registry declares nothing.
TEST_F(ApplyStubsTest, ProceduresOverridesAndOtherPassMethodsGetNothing) {
    kavc::addMod(method("helper"), "procedure");
    kavc::addMod(method("make"), "class");
    kavc::addOverride(cls, kavc::findInheritedMethod(cls, "kavInit"), 5);
    startPass();

    EXPECT_EQ(section(), "");
}

TEST_F(ApplyStubsTest, ReintroducedMethodsFollowTheClassOwnMethods) {
    Entry* roar = method("roar", "void");
    Entry* animal = cls;
    kavc::finishClass(animal);
    cls = kavc::newClass("Lion", {}, nullptr, 5);
    kavc::addParent(cls, animal, 5);
    kavc::addReintroduce(cls, roar, 6);
    method("hunt", "void");
    startPass();

    const std::string text = section();
    const auto hunt = text.find("kavAP_hunt(Lion *kavSelf,");
    ASSERT_NE(hunt, std::string::npos) << text;
    EXPECT_NE(text.find("kavAP_roar(Lion *kavSelf,", hunt), std::string::npos) << text;
}

TEST_F(ApplyStubsTest, ArrayArgumentsAreCastToPointersKeepingFurtherDimensions) {
    Entry* m = method("fill");
    auto array = [&](const char* name, std::vector<unsigned long> dims, const char* declarator,
                     const char* element = "long") {
        return kavc::addParam(m, name, kavc::arrayType(kavc::basicType(element), dims),
                              kavtModeIn, declarator);
    };
    param(m, "n", "long");
    array("a", {10}, "long a[10]");
    array("x", {2, 3}, "long x[2][3]");
    array("grid", {4, 5, 6}, "short grid[4][5][6]", "short");
    array("odd", {4}, "long y[4]");  // name missing from its declarator: left as written
    startPass();

    std::string buffer;
    EXPECT_STREQ(darurov::applyCallArgList(m, buffer),
                 "n,(long (*)  )a,(long (*) [3])x,(short (*)    [5][6])grid,odd");
}

}  // namespace
