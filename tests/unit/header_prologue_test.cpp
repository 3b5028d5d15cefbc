// The header's opening: guard, includes, passthru, KAV_Scope, the method count, class-init.
#include "header_fixture.h"

using namespace darurov;
using namespace header_testing;

namespace {

struct PrologueCase {
    const char* label;
    std::vector<const char*> options = {};
    const char* globalPrefix = nullptr;    // kavtclassPrefix
    const char* externalPrefix = nullptr;  // the class's modifier; null: none
    bool metaclass = false;
    bool extras = false;  // a private method, a reintroduced one and a class-init routine
    std::vector<std::pair<const char*, bool>> passthru = {};  // section, after
    const char* stemHeader = "animal.xh";
    bool externC = false;
    std::string before = "", after = "";  // passthru text written
};

class Prologue : public HeaderTest, public ::testing::WithParamInterface<PrologueCase> {};

TEST_P(Prologue, WritesGuardIncludesScopeAndCount) {
    const PrologueCase& c = GetParam();
    options(c.options);
    kavc::setClassPrefix(c.globalPrefix);
    if (c.extras) derivedReintroducingShared("Animal");
    if (c.externalPrefix) kavc::addMod(cls, "externalprefix", c.externalPrefix);
    if (c.extras) kavc::addMod(cls, "classinit", "animalInit");
    method("walk");
    classMethod("create");
    if (c.extras) kavc::addMod(method("hide"), "private");
    for (auto [section, after] : c.passthru)
        kavc::addPassthru(cls, section, after,
                          std::string(section) + (after ? " after" : " before"));
    startPass(c.metaclass, false);
    std::string guard = c.metaclass ? "M_Animal_mxih" : "Animal_xih";
    std::string expected = lines({"", "#ifndef " + guard, "#define " + guard, ""});
    if (!c.metaclass)
        expected += lines({"#include <kavcls.xh>", "#include <kavcm.xh>"}) + c.before +
                    lines({"", "#ifndef Animal_xh", "#include <" + std::string(c.stemHeader) + ">",
                           "#endif"});
    expected += comment("Set the scope of methods functions") +
                lines({"#ifndef KAV_Scope",
                       c.externC ? "#define KAV_Scope extern \"C\"" : "#define KAV_Scope static",
                       "#endif"}) +
                c.after + "\n#define " + (c.metaclass ? "M_Animal" : "Animal") + "_MaxNoMethods " +
                (c.extras ? "3" : "1") + "\n";
    if (c.extras)
        expected += comment("Custom Class initialize routine: animalInit") +
                    "\nKAVEXTERN void KAVLINK " + (c.externalPrefix ? c.externalPrefix : "") +
                    "animalInit(KAVClass *cls);\n";
    EXPECT_EQ(section(writePrologue), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Variants, Prologue,
    ::testing::Values(
        PrologueCase{.label = "idlWithExtras", .extras = true},
        PrologueCase{.label = "emptyGlobalPrefix", .globalPrefix = ""},
        PrologueCase{.label = "globalPrefix", .globalPrefix = "zoo_", .externC = true},
        // Any "externalprefix" asks for C linkage, even an empty one, and names the functions.
        PrologueCase{.label = "emptyExternalPrefixWins", .globalPrefix = "zoo_",
                     .externalPrefix = "", .extras = true, .externC = true},
        PrologueCase{.label = "zdlPrivate", .options = {"csc"}, .externalPrefix = "ext_",
                     .extras = true, .stemHeader = "animal.xph", .externC = true},
        PrologueCase{.label = "zdlPublicOnly", .options = {"csc"}},
        PrologueCase{.label = "xihPassthru", .passthru = {{"C.xih", false}, {"C.xih", true}},
                     .before = "C.xih before\n", .after = "C.xih after\n"},
        PrologueCase{.label = "ihWithoutPassih", .passthru = {{"C.ih", false}, {"C.ih", true}}},
        // Each position decides on its own; C.ih is not tried where C.xih wrote.
        PrologueCase{.label = "ihWithPassih", .options = {"passih"},
                     .passthru = {{"C.xih", false}, {"C.ih", false}, {"C.ih", true}},
                     .before = "C.xih before\n", .after = "C.ih after\n"},
        PrologueCase{.label = "metaclassPass", .globalPrefix = "zoo_", .metaclass = true,
                     .passthru = {{"C.xih", false}, {"C.xih", true}}, .externC = true}),
    byLabel);

}  // namespace
