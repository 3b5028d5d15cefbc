// New-method declarations, identifiers, descriptors, redispatch stubs and trailing records;
// the apply stub name.
#include "header_fixture.h"
#include "driver/sections.h"

using namespace darurov;
using namespace header_testing;

namespace {

std::string declaration(std::string prototype) { return "KAV_Scope " + prototype + ";\n"; }

// The guarded name identifier (x "MN", y "Id") or descriptor identifier (x "DS", y "DI").
std::string identifier(std::string x, std::string y, std::string n, std::string value) {
    std::string name = "kav" + x + "_" + n;
    return lines({"#ifndef " + name + "_defined", "#define " + name + "_defined",
                  "static char *" + name + " = " + value + ";",
                  "static kavId kav" + y + "_" + n + " = &" + name + ";",
                  "#endif  /* " + name + "_defined */"});
}
std::string nameIdentifier(std::string n) { return identifier("MN", "Id", n, "\"" + n + "\""); }
std::string descriptorIdentifier(std::string n, std::string value) {
    return identifier("DS", "DI", n, value);
}

// Banner, declaration and name identifier of a ZDL method returning long, without parameters.
std::string plain(std::string n, std::string self = "Animal", std::string prefix = "") {
    return comment("New Method: " + n) +
           declaration("long KAVLINK " + prefix + n + "(" + self + " *kavSelf)") +
           nameIdentifier(n);
}

enum class Record { none, methodInfo, stubs };
struct PolicyCase {
    const char* label;
    std::vector<const char*> options = {};
    bool descriptors = true;
    bool redispatchStubs = true;
    Record record = Record::stubs;
    const char* applyStub = "kavAP_where";  // in the stubs record of "where"
    const char* globalPrefix = nullptr;
    const char* externalPrefix = nullptr;  // the class's modifier; null: none
};

class NewMethodPolicy : public HeaderTest, public ::testing::WithParamInterface<PolicyCase> {};

// walk(long steps) returning long, rest() returning nothing, where() returning a structure
// and a procedure without self, under each stub policy.
TEST_P(NewMethodPolicy, WritesTheBlocksThePolicyAsksFor) {
    const PolicyCase& c = GetParam();
    options(c.options);
    kavc::setClassPrefix(c.globalPrefix);
    if (c.externalPrefix) kavc::addMod(cls, "externalprefix", c.externalPrefix);
    Entry* walk = method("walk");
    kavc::addParam(walk, "steps", kavc::basicType("long"), kavtModeIn);
    Entry* rest = method("rest", "void");
    Entry* where = kavc::addMethod(cls, "where",
                                   kavc::structType("Point", {{"x", kavc::basicType("long")}}), 11);
    Entry* count = method("count", "void");
    kavc::addParam(count, "n", kavc::basicType("long"), kavtModeIn);
    kavc::addMod(count, "procedure");
    kavc::addMod(count, "noself");
    startPass();

    std::string host = c.globalPrefix ? c.globalPrefix : "";
    std::string prefix = c.externalPrefix ? c.externalPrefix : host;
    std::string env = pass.zdlClass ? "" : sep + "Environment *ev";
    auto block = [&](Entry* m, const std::string& result, const std::string& params,
                     const std::string& callArguments) {
        const std::string n = m->name;
        bool isVoid = result == "void";
        auto prototype = [&](const std::string& p) {
            return result + " KAVLINK " + p + n + "(Animal *kavSelf" + env + params + ")";
        };
        std::string text = comment("New Method: " + n) + declaration(prototype(prefix)) +
                           nameIdentifier(n);
        if (c.descriptors) text += descriptorIdentifier(n, "\"Animal::" + n + "\"");
        if (c.redispatchStubs)
            text += "static " + prototype("kavRD_" + host) + "\n{\n\t" +
                    (isVoid ? "void*" : result) + " __retVal;\n\n" +
                    "\tkavSelf->kavDispatch((void **)&__retVal, kavId_" + n + ", kavSelf " +
                    (pass.zdlClass ? "" : ",ev") + "\n\t\t" + callArguments + ";\n" +
                    (isVoid ? "" : "\treturn __retVal;\n") + "}\n";
        if (c.record == Record::methodInfo)
            text += capture([&](FILE* out) { emitMethodInfo(out, m); });
        return text;
    };
    std::string expected = block(walk, "long", sep + "long steps", ",steps)") +
                           block(rest, "void", "", ")") + block(where, "Point", "", ")");
    if (c.record == Record::stubs)
        expected += "\nstatic kavApRdInfo whereStubs = \n{(kavMethodProc *)kavRD_" + host +
                    "where,\n (kavMethodProc *)" + c.applyStub + ", 0};\n";
    // A procedure gets its declaration only, whatever the policy.
    expected += comment("New Direct call procedure: count") +
                declaration("void KAVLINK " + prefix + "count(" +
                            (pass.zdlClass ? "" : "Environment *ev" + sep) + "long n)");
    EXPECT_EQ(section(writeNewMethods), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Variants, NewMethodPolicy,
    ::testing::Values(
        PolicyCase{.label = "idl", .redispatchStubs = false, .record = Record::methodInfo},
        PolicyCase{.label = "idlNotc", .options = {"notc"}},
        PolicyCase{.label = "idlKavboot", .options = {"kavboot"}, .record = Record::methodInfo},
        // An IDL class never reads the ZDL switches.
        PolicyCase{.label = "idlIgnoresZdlSwitches", .options = {"nodesc", "nordstubs"},
                   .redispatchStubs = false, .record = Record::methodInfo},
        PolicyCase{.label = "zdl", .options = {"csc"}},
        PolicyCase{.label = "zdlNodesc", .options = {"csc", "nodesc"}, .descriptors = false},
        PolicyCase{.label = "zdlNordstubs", .options = {"csc", "nordstubs"},
                   .redispatchStubs = false, .record = Record::none},
        PolicyCase{.label = "zdlNoapstubs", .options = {"csc", "noapstubs"}, .applyStub = "NULL"},
        // The stub is named with the host prefix, and the stubs record names that stub.
        PolicyCase{.label = "zdlExternalPrefix", .options = {"csc"},
                   .applyStub = "kavAP_zoo_where", .globalPrefix = "zoo_",
                   .externalPrefix = "ext_"}),
    byLabel);

class NewMethodsTest : public HeaderTest {};

// Own methods, then the reintroduced ones; a method of the other pass and an override show
// nothing. A descriptor is quoted unless it already is; a missing or bare one becomes the
// qualified name.
TEST_F(NewMethodsTest, KindsDescriptorsAndReintroducedMethods) {
    options({"csc", "nordstubs"});
    derivedReintroducingShared("Animal");
    kavc::addMod(method("find"), "namelookup");
    kavc::addMod(method("walk"), "descriptor", "Animal walks");
    kavc::addMod(method("trot"), "descriptor", nullptr);
    method("run")->mods = nullptr;  // a host that gave it no descriptor
    classMethod("create");
    kavc::addOverride(cls, kavc::findInheritedMethod(cls, "kavInit"), 5);
    startPass();
    EXPECT_EQ(section(writeNewMethods),
              comment("New Name Lookup Method: find") +
                  declaration("long KAVLINK find(Animal *kavSelf)") +
                  lines({"#ifndef kavMN_find_defined", "#define kavMN_find_defined",
                         "#define kavId_find kavLId_find", "#endif  /* kavMN_find_defined */"}) +
                  descriptorIdentifier("find", "\"Animal::find\"") + plain("walk") +
                  descriptorIdentifier("walk", "\"Animal walks\"") + plain("trot") +
                  descriptorIdentifier("trot", "\"Animal::trot\"") + plain("run") +
                  descriptorIdentifier("run", "\"Animal::run\"") + plain("shared") +
                  descriptorIdentifier("shared", "\"Base::shared\""));
}

// The metaclass pass takes the "class" methods, with the class prefix.
TEST_F(NewMethodsTest, MetaclassPassUsesTheClassPrefix) {
    options({"csc", "nodesc", "nordstubs"});
    kavc::setClassPrefix("zoo_");
    kavc::addMod(cls, "classprefix", "M_");
    method("walk");
    classMethod("create");
    startPass(true);
    EXPECT_EQ(section(writeNewMethods), plain("create", "M_Animal", "M_"));
}

// The first rule that applies names the apply stub.
TEST_F(NewMethodsTest, ApplyStubName) {
    options({"csc"});
    kavc::setClassPrefix("zoo_");
    Entry* apply = method("apply");
    kavc::addMod(apply, "apply", "mine");
    kavc::addMod(apply, "generateapply", "gen");
    kavc::addMod(method("generate"), "generateapply", "gen");
    kavc::addMod(method("generateBare"), "generateapply", nullptr);
    method("plain");
    startPass();
    EXPECT_STREQ(applyStubName(apply), "mine");
    EXPECT_STREQ(applyStubName(kavc::findMethod(cls, "generate")), "gen");
    EXPECT_STREQ(applyStubName(kavc::findMethod(cls, "generateBare")), "kavGAP_zoo_generateBare");
    EXPECT_STREQ(applyStubName(kavc::findMethod(cls, "plain")), "kavAP_zoo_plain");
    pass.noApplyStubs = true;
    EXPECT_STREQ(applyStubName(apply), "NULL");
}

}  // namespace
