// New-method declarations, identifiers, descriptors, redispatch stubs and trailing records.
#include "header_fixture.h"
#include "stubs/stubs.h"

#include <cstring>

using namespace darurov;
using namespace header_testing;

namespace {

const char* const sep = ",\n\t\t";

std::string declaration(const std::string& prototype) { return "KAV_Scope " + prototype + ";\n"; }

std::string nameIdentifier(const std::string& n) {
    return lines({"#ifndef kavMN_" + n + "_defined", "#define kavMN_" + n + "_defined",
                  "static char *kavMN_" + n + " = \"" + n + "\";",
                  "static kavId kavId_" + n + " = &kavMN_" + n + ";",
                  "#endif  /* kavMN_" + n + "_defined */"});
}

std::string descriptorIdentifier(const std::string& n, const std::string& descriptor) {
    return lines({"#ifndef kavDS_" + n + "_defined", "#define kavDS_" + n + "_defined",
                  "static char *kavDS_" + n + " = " + descriptor + ";",
                  "static kavId kavDI_" + n + " = &kavDS_" + n + ";",
                  "#endif  /* kavDS_" + n + "_defined */"});
}

// A redispatch stub of a method returning `result` ("void" for none).
std::string redispatch(const std::string& prototype, const std::string& result,
                       const std::string& n, const std::string& implicit,
                       const std::string& callArguments) {
    std::string dispatch =
        "\tkavSelf->kavDispatch((void **)&__retVal, kavId_" + n + ", kavSelf " + implicit + "\n";
    if (result == "void")
        return "static " + prototype + "\n{\n" + "\tvoid* __retVal;\n\n" + dispatch + "\t\t" +
               callArguments + ";\n" + "}\n";
    return "static " + prototype + "\n{\n" + "\t" + result + " __retVal;\n\n" + dispatch +
           "\t\t" + callArguments + ";\n" + "\treturn __retVal;\n" + "}\n";
}

std::string stubsRecord(const std::string& n, const std::string& prefix,
                        const std::string& applyStub) {
    return "\nstatic kavApRdInfo " + n + "Stubs = \n" + "{(kavMethodProc *)kavRD_" + prefix + n +
           ",\n (kavMethodProc *)" + applyStub + ", 0};\n";
}

class NewMethodsTest : public HeaderTest {
  protected:
    std::string write() {
        return capture([&](FILE* out) { writeNewMethods(out, cls); });
    }
    static std::string methodInfo(Entry* m) {
        return capture([&](FILE* out) { emitMethodInfo(out, m); });
    }
    // "walk(long steps)" returning long and "where()" returning a structure.
    void addWalkAndWhere() {
        walk = method("walk");
        param(walk, "steps", "long");
        where = kavc::addMethod(cls, "where", kavc::structType("Point", {{"x", kavc::basicType("long")}}), 11);
    }
    Entry* walk = nullptr;
    Entry* where = nullptr;
};

// One plain and one struct-returning method under every stub policy.
enum class Record { none, methodInfo, stubs };
struct PolicyCase {
    const char* label;
    std::vector<const char*> options;
    const char* globalPrefix;
    const char* externalPrefix;  // the class's modifier; null: none
    bool descriptors;
    bool redispatchStubs;
    Record record;
    const char* applyStub;  // in the stubs record of "where"
};

class NewMethodPolicy : public NewMethodsTest, public ::testing::WithParamInterface<PolicyCase> {};

TEST_P(NewMethodPolicy, WritesTheBlocksThePolicyAsksFor) {
    const PolicyCase& c = GetParam();
    options(c.options);
    kavc::setClassPrefix(c.globalPrefix);
    if (c.externalPrefix) kavc::addMod(cls, "externalprefix", c.externalPrefix);
    addWalkAndWhere();
    startPass();

    bool zdl = pass.zdlClass;
    std::string host = c.globalPrefix ? c.globalPrefix : "";
    std::string prefix = c.externalPrefix ? c.externalPrefix : host;
    std::string env = zdl ? "" : std::string(sep) + "Environment *ev";
    std::string implicit = zdl ? "" : ",ev";
    auto walkPrototype = [&](const std::string& p) {
        return "long KAVLINK " + p + "walk(Animal *kavSelf" + env + sep + "long steps)";
    };
    auto wherePrototype = [&](const std::string& p) {
        return "Point KAVLINK " + p + "where(Animal *kavSelf" + env + ")";
    };

    std::string expected = comment("New Method: walk") + declaration(walkPrototype(prefix)) +
                           nameIdentifier("walk");
    if (c.descriptors) expected += descriptorIdentifier("walk", "\"Animal::walk\"");
    if (c.redispatchStubs)
        expected += redispatch(walkPrototype("kavRD_" + host), "long", "walk", implicit, ",steps)");
    if (c.record == Record::methodInfo) expected += methodInfo(walk);

    expected += comment("New Method: where") + declaration(wherePrototype(prefix)) +
                nameIdentifier("where");
    if (c.descriptors) expected += descriptorIdentifier("where", "\"Animal::where\"");
    if (c.redispatchStubs)
        expected += redispatch(wherePrototype("kavRD_" + host), "Point", "where", implicit, ")");
    if (c.record == Record::methodInfo) expected += methodInfo(where);
    if (c.record == Record::stubs) expected += stubsRecord("where", prefix, c.applyStub);

    EXPECT_EQ(write(), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Variants, NewMethodPolicy,
    ::testing::Values(
        PolicyCase{"idl", {}, nullptr, nullptr, true, false, Record::methodInfo, ""},
        PolicyCase{"idlNotc", {"notc"}, nullptr, nullptr, true, true, Record::stubs, "kavAP_where"},
        PolicyCase{"idlKavboot", {"kavboot"}, nullptr, nullptr, true, true, Record::methodInfo, ""},
        PolicyCase{"idlNotcPrefix", {"notc"}, "zoo_", nullptr, true, true, Record::stubs,
                   "kavAP_zoo_where"},
        // An IDL class never reads the ZDL switches.
        PolicyCase{"idlIgnoresZdlSwitches", {"nodesc", "nordstubs"}, nullptr, nullptr, true, false,
                   Record::methodInfo, ""},
        PolicyCase{"zdl", {"csc"}, nullptr, nullptr, true, true, Record::stubs, "kavAP_where"},
        PolicyCase{"zdlNodesc", {"csc", "nodesc"}, nullptr, nullptr, false, true, Record::stubs,
                   "kavAP_where"},
        PolicyCase{"zdlNordstubs", {"csc", "nordstubs"}, nullptr, nullptr, true, false,
                   Record::none, ""},
        PolicyCase{"zdlNoapstubs", {"csc", "noapstubs"}, nullptr, nullptr, true, true,
                   Record::stubs, "NULL"},
        // The stub is named with the host prefix, the stubs record with the method prefix.
        PolicyCase{"zdlExternalPrefix", {"csc"}, "zoo_", "ext_", true, true, Record::stubs,
                   "kavAP_zoo_where"}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(NewMethodsTest, VoidMethodWithoutArgumentsClosesTheCallAlone) {
    options({"csc", "nodesc"});
    method("rest", "void");
    startPass();
    EXPECT_EQ(write(), comment("New Method: rest") +
                           declaration("void KAVLINK rest(Animal *kavSelf)") +
                           nameIdentifier("rest") +
                           lines({"static void KAVLINK kavRD_rest(Animal *kavSelf)", "{",
                                  "\tvoid* __retVal;", "",
                                  "\tkavSelf->kavDispatch((void **)&__retVal, kavId_rest, kavSelf ",
                                  "\t\t);", "}"}));
}

TEST_F(NewMethodsTest, ProceduresGetTheirDeclarationOnly) {
    options({"csc"});
    Entry* count = method("count");
    param(count, "n", "long");
    kavc::addMod(count, "procedure");
    Entry* reset = method("reset", "void");
    param(reset, "n", "long");
    kavc::addMod(reset, "procedure");
    kavc::addMod(reset, "noself");
    Entry* clear = method("clear", "void");
    kavc::addMod(clear, "procedure");
    kavc::addMod(clear, "noself");
    startPass();
    EXPECT_EQ(write(), comment("New Direct call procedure: count") +
                           declaration(std::string("long KAVLINK count(Animal *kavSelf") + sep +
                                       "long n)") +
                           comment("New Direct call procedure: reset") +
                           declaration("void KAVLINK reset(long n)") +
                           comment("New Direct call procedure: clear") +
                           declaration("void KAVLINK clear(void)"));
}

TEST_F(NewMethodsTest, NameLookupMethodsUseTheLookupIdentifier) {
    options({"csc", "nodesc", "nordstubs"});
    kavc::addMod(method("find"), "namelookup");
    startPass();
    EXPECT_EQ(write(), comment("New Name Lookup Method: find") +
                           declaration("long KAVLINK find(Animal *kavSelf)") +
                           lines({"#ifndef kavMN_find_defined", "#define kavMN_find_defined",
                                  "#define kavId_find kavLId_find",
                                  "#endif  /* kavMN_find_defined */"}));
}

struct DescriptorCase {
    const char* label;
    const char* value;  // null: the method has no descriptor at all
    std::string written;
};

class Descriptor : public NewMethodsTest, public ::testing::WithParamInterface<DescriptorCase> {};

TEST_P(Descriptor, IsQuotedOnlyWhenNotAlreadyQuoted) {
    options({"csc", "nordstubs"});
    Entry* m = method("walk");
    if (GetParam().value) {
        kavc::addMod(m, "descriptor", GetParam().value);
    } else {
        for (Mod** link = &m->mods; *link; link = &(*link)->next)
            if (std::strcmp((*link)->name, "descriptor") == 0) {
                *link = (*link)->next;
                break;
            }
        ASSERT_EQ(kavtgetAtt(m->mods, "descriptor", 0), nullptr);
    }
    startPass();
    EXPECT_EQ(write(), comment("New Method: walk") +
                           declaration("long KAVLINK walk(Animal *kavSelf)") +
                           nameIdentifier("walk") +
                           descriptorIdentifier("walk", GetParam().written));
}

INSTANTIATE_TEST_SUITE_P(
    Values, Descriptor,
    ::testing::Values(DescriptorCase{"plain", "Animal walks", "\"Animal walks\""},
                      DescriptorCase{"quoted", "\"already\"", "\"already\""},
                      // Missing: the qualified name the host would have given.
                      DescriptorCase{"missing", nullptr, "\"Animal::walk\""},
                      DescriptorCase{"bare", "\x01", "\"Animal::walk\""}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(NewMethodsTest, MetaclassPassTakesClassMethodsWithTheClassPrefix) {
    options({"csc", "nodesc", "nordstubs"});
    kavc::addMod(cls, "classprefix", "M_");
    kavc::setClassPrefix("zoo_");
    method("walk");
    classMethod("create");
    startPass(true);
    EXPECT_EQ(write(), comment("New Method: create") +
                           declaration("long KAVLINK M_create(M_Animal *kavSelf)") +
                           nameIdentifier("create"));
}

TEST_F(NewMethodsTest, ClassMethodWithoutClassPrefixHasNoPrefix) {
    options({"csc", "nodesc", "nordstubs"});
    kavc::setClassPrefix("zoo_");
    classMethod("create");
    startPass(true);
    EXPECT_EQ(write(), comment("New Method: create") +
                           declaration("long KAVLINK create(M_Animal *kavSelf)") +
                           nameIdentifier("create"));
}

TEST_F(NewMethodsTest, ReintroducedMethodsFollowOwnMethodsAndOverridesAreSkipped) {
    options({"csc", "nodesc", "nordstubs"});
    Entry* base = kavc::newClass("Base", {}, nullptr, 1);
    Entry* shared = kavc::addMethod(base, "shared", kavc::basicType("long"), 2);
    kavc::addMod(shared, "nonstatic");
    kavc::finishClass(base);
    cls = kavc::newClass("Derived", {}, nullptr, 3);
    kavc::addParent(cls, base, 3);
    kavc::addReintroduce(cls, shared, 4);
    kavc::addOverride(cls, kavc::findInheritedMethod(cls, "kavInit"), 5);
    method("walk");
    startPass();
    EXPECT_EQ(write(), comment("New Method: walk") +
                           declaration("long KAVLINK walk(Derived *kavSelf)") +
                           nameIdentifier("walk") + comment("New Method: shared") +
                           declaration("long KAVLINK shared(Derived *kavSelf)") +
                           nameIdentifier("shared"));
}

TEST_F(NewMethodsTest, NothingToWriteWithoutNewMethods) {
    kavc::addOverride(cls, kavc::findInheritedMethod(cls, "kavInit"), 5);
    classMethod("create");
    startPass();
    EXPECT_EQ(write(), "");
}

}  // namespace
