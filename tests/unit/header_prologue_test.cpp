// The header's opening: guard, includes, passthru, KAV_Scope, the method count, class-init.
#include "header_fixture.h"

using namespace darurov;
using namespace header_testing;

namespace {

std::string guardOpening(const std::string& guard) {
    return lines({"", "#ifndef " + guard, "#define " + guard, ""});
}
std::string includes() {
    return lines({"#include <kavcls.xh>", "#include <kavcm.xh>"});
}
std::string stemInclude(const std::string& stemHeader) {
    return lines({"", "#ifndef Animal_xh", "#include <" + stemHeader + ">", "#endif"});
}
std::string scope(bool externC) {
    return comment("Set the scope of methods functions") +
           lines({"#ifndef KAV_Scope",
                  externC ? "#define KAV_Scope extern \"C\"" : "#define KAV_Scope static",
                  "#endif"});
}
std::string maxMethods(const std::string& cls, int count) {
    return lines({"", "#define " + cls + "_MaxNoMethods " + std::to_string(count)});
}

struct PrologueCase {
    const char* label;
    std::vector<const char*> options;
    const char* globalPrefix;  // kavtclassPrefix
    const char* externalPrefix;  // the class's modifier, null: none
    bool privateMethod;
    std::string expected;
    const char* fixedExternalPrefix;
};

class Prologue : public HeaderTest, public ::testing::WithParamInterface<PrologueCase> {};
class PrologueTest : public HeaderTest {};

TEST_P(Prologue, WritesGuardIncludesAndScope) {
    const PrologueCase& c = GetParam();
    options(c.options);
    kavc::setClassPrefix(c.globalPrefix);
    if (c.externalPrefix) kavc::addMod(cls, "externalprefix", c.externalPrefix);
    method("walk");
    if (c.privateMethod) kavc::addMod(method("hide"), "private");
    startPass(false, false);
    std::string text = capture([&](FILE* out) { writePrologue(out, cls); });
    EXPECT_EQ(text, c.expected);
    EXPECT_STREQ(pass.externalPrefix, c.fixedExternalPrefix);
    EXPECT_STREQ(pass.guardSuffix, "xih");
}

const std::string classPassHead = guardOpening("Animal_xih") + includes();

INSTANTIATE_TEST_SUITE_P(
    Variants, Prologue,
    ::testing::Values(
        PrologueCase{"idlNoPrefix", {}, nullptr, nullptr, false,
                     classPassHead + stemInclude("animal.xh") + scope(false) +
                         maxMethods("Animal", 1),
                     ""},
        PrologueCase{"emptyGlobalPrefix", {}, "", nullptr, false,
                     classPassHead + stemInclude("animal.xh") + scope(false) +
                         maxMethods("Animal", 1),
                     ""},
        PrologueCase{"globalPrefix", {}, "zoo_", nullptr, false,
                     classPassHead + stemInclude("animal.xh") + scope(true) +
                         maxMethods("Animal", 1),
                     "zoo_"},
        PrologueCase{"externalPrefixWins", {}, "zoo_", "ext_", false,
                     classPassHead + stemInclude("animal.xh") + scope(true) +
                         maxMethods("Animal", 1),
                     "ext_"},
        // Any "externalprefix" asks for C linkage, even an empty one.
        PrologueCase{"emptyExternalPrefix", {}, nullptr, "", false,
                     classPassHead + stemInclude("animal.xh") + scope(true) +
                         maxMethods("Animal", 1),
                     ""},
        PrologueCase{"idlPrivateMethods", {}, nullptr, nullptr, true,
                     classPassHead + stemInclude("animal.xh") + scope(false) +
                         maxMethods("Animal", 2),
                     ""},
        PrologueCase{"zdlPrivateMethods", {"csc"}, nullptr, nullptr, true,
                     classPassHead + stemInclude("animal.xph") + scope(false) +
                         maxMethods("Animal", 2),
                     ""},
        PrologueCase{"zdlPublicOnly", {"csc"}, nullptr, nullptr, false,
                     classPassHead + stemInclude("animal.xh") + scope(false) +
                         maxMethods("Animal", 1),
                     ""}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(PrologueTest, MetaclassPassHasNoIncludesNorPassthru) {
    kavc::setClassPrefix("zoo_");
    kavc::addPassthru(cls, "C.xih", false, "#include <before.h>");
    kavc::addPassthru(cls, "C.xih", true, "#include <after.h>");
    method("walk");
    classMethod("create");
    classMethod("destroy");
    startPass(true, false);
    std::string text = capture([&](FILE* out) { writePrologue(out, cls); });
    EXPECT_EQ(text, guardOpening("M_Animal_mxih") + scope(true) + maxMethods("M_Animal", 2));
    EXPECT_STREQ(pass.guardSuffix, "mxih");
}

struct PassthruCase {
    const char* label;
    bool passih;
    std::vector<std::pair<const char*, bool>> sections;  // section, after
    std::string before;
    std::string after;
};

class Passthru : public HeaderTest, public ::testing::WithParamInterface<PassthruCase> {};

TEST_P(Passthru, FallsBackToIhOnlyWhenAskedAndXihIsSilent) {
    const PassthruCase& c = GetParam();
    if (c.passih) options({"passih"});
    for (auto [section, after] : c.sections)
        kavc::addPassthru(cls, section, after,
                          std::string(section) + (after ? " after" : " before"));
    startPass(false, false);
    std::string text = capture([&](FILE* out) { writePrologue(out, cls); });
    EXPECT_EQ(text, classPassHead + c.before + stemInclude("animal.xh") + scope(false) + c.after +
                        maxMethods("Animal", 0));
}

INSTANTIATE_TEST_SUITE_P(
    Variants, Passthru,
    ::testing::Values(
        PassthruCase{"none", true, {}, "", ""},
        PassthruCase{"xihBoth", false, {{"C.xih", false}, {"C.xih", true}},
                     lines({"C.xih before"}), lines({"C.xih after"})},
        PassthruCase{"ihWithoutPassih", false, {{"C.ih", false}, {"C.ih", true}}, "", ""},
        PassthruCase{"ihWithPassih", true, {{"C.ih", false}, {"C.ih", true}},
                     lines({"C.ih before"}), lines({"C.ih after"})},
        // Each position decides on its own; C.ih is not tried where C.xih wrote.
        PassthruCase{"mixed", true, {{"C.xih", false}, {"C.ih", false}, {"C.ih", true}},
                     lines({"C.xih before"}), lines({"C.ih after"})}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(PrologueTest, MethodCountIncludesReintroducedMethods) {
    Entry* base = kavc::newClass("Base", {}, nullptr, 1);
    kavc::addParent(base, kavc::findClass("KAVObject"), 1);
    Entry* shared = kavc::addMethod(base, "shared", kavc::basicType("long"), 2);
    kavc::addMod(shared, "nonstatic");
    kavc::finishClass(base);
    cls = kavc::newClass("Derived", {}, nullptr, 3);
    kavc::addParent(cls, base, 3);
    method("walk");
    method("run");
    kavc::addReintroduce(cls, shared, 4);
    startPass(false, false);
    std::string text = capture([&](FILE* out) { writePrologue(out, cls); });
    EXPECT_NE(text.find(maxMethods("Derived", 3)), std::string::npos) << text;
}

TEST_F(PrologueTest, DeclaresTheCustomClassInitRoutine) {
    kavc::addMod(cls, "classinit", "animalInit");
    kavc::addMod(cls, "externalprefix", "zoo_");
    startPass(false, false);
    std::string text = capture([&](FILE* out) { writePrologue(out, cls); });
    EXPECT_EQ(text, classPassHead + stemInclude("animal.xh") + scope(true) +
                        maxMethods("Animal", 0) +
                        comment("Custom Class initialize routine: animalInit") +
                        lines({"", "KAVEXTERN void KAVLINK zoo_animalInit(KAVClass *cls);"}));
}

TEST_F(PrologueTest, KeepsTheClassPrefixModifier) {
    kavc::addMod(cls, "classprefix", "M_");
    startPass(false, false);
    capture([&](FILE* out) { writePrologue(out, cls); });
    EXPECT_STREQ(pass.classPrefix, "M_");
    EXPECT_STREQ(pass.externalPrefix, "");
}

}  // namespace
