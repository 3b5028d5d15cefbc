// Method information: return-kind codes, argument area sizes and float maps.
#include "stubs_fixture.h"

namespace {

using namespace stubs_testing;

class MethodInfoTest : public StubsTest {
  protected:
    void buildTypeCodes() {
        startPass(false);
        kavtcreateTypeCodes(kavc::unitStab());
    }
    static TypeCode* charStruct(const char* cName, int members) {
        std::vector<std::pair<std::string, TypeCode*>> fields;
        for (int i = 0; i < members; ++i)
            fields.emplace_back("c" + std::to_string(i), kavc::basicType("char"));
        return kavc::structType(cName, fields);
    }
};

TEST_F(MethodInfoTest, ImplicitArgumentsShiftTheOffsetsByAWordEach) {
    Entry* g = method("g");
    param(g, "x", "float");
    kavc::addContext(g);
    Entry* level = method("level", "double");
    param(level, "n", "long");
    kavc::setClassPrefix("zoo_");
    buildTypeCodes();  // IDL: ",ev" for level, ",ev,ctx" for g

    EXPECT_NE(info(g).find("\n15, 0, 0, "), std::string::npos);
    EXPECT_NE(info(g).find("zoo_gMethodInfo = {1, 16, &zoo_gFloatMap};"), std::string::npos);
    // one implicit argument; no float map: the record ends in 0
    EXPECT_EQ(info(level), lines({
                               "",
                               "static kavMethodInfo zoo_levelMethodInfo = {4, 12, 0};",
                               "",
                               "static kavApRdInfo zoo_levelStubs = {0, 0, &zoo_levelMethodInfo};",
                           }));
}

// Without implicit arguments (ZDL "csc") the first explicit parameter lies at offset 4.
TEST_F(MethodInfoTest, FloatSlotsAndArgumentAreaSizes) {
    Entry* f = method("f");
    param(f, "d", "double");
    param(f, "x", "float");
    Entry* one = method("one", "float");
    param(one, "x", "float");
    Entry* many = method("many", "void");
    for (int i = 0; i < 14; ++i) param(many, ("x" + std::to_string(i)).c_str(), "float");
    Entry* out = method("out", "short");
    param(out, "d", "double", kavtModeOut);
    param(out, "x", "float", kavtModeInout);
    param(out, "y", "float", kavtModeOut);
    Entry* refs = method("refs");
    int n = 0;
    for (TypeCode* t : {charStruct("S12", 12), kavc::sequenceType(kavc::basicType("long")),
                        kavc::arrayType(kavc::basicType("long"), {10}),
                        kavc::unionType("U", kavc::basicType("long"), {{"d", kavc::basicType("double")}}),
                        kavc::basicType("char"), kavc::basicType("double"),
                        kavc::basicType("short"), kavc::basicType("float")})
        kavc::addParam(refs, "r" + std::to_string(n++), t, kavtModeIn);
    kavc::setOption("csc", nullptr);
    buildTypeCodes();

    EXPECT_EQ(info(f), lines({
                           "",
                           "static kavFloatMap fFloatMap = {",
                           "4, 15, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, };",
                           "",
                           "static kavMethodInfo fMethodInfo = {1, 16, &fFloatMap};",
                           "",
                           "static kavApRdInfo fStubs = {0, 0, &fMethodInfo};",
                       }));
    // Each record set opens with the float map (if any) and the method information.
    const struct {
        Entry* m;
        const char* head;
    } cases[] = {
        {one, "\nstatic kavFloatMap oneFloatMap = {\n7, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, };\n\n"
              "static kavMethodInfo oneMethodInfo = {3, 8, &oneFloatMap};\n"},
        // the fourteenth float gets no slot but its size counts
        {many, "\nstatic kavFloatMap manyFloatMap = {\n"
               "5, 9, 13, 17, 21, 25, 29, 33, 37, 41, 45, 49, 55, };\n\n"
               "static kavMethodInfo manyMethodInfo = {1, 60, &manyFloatMap};\n"},
        {out, "\nstatic kavMethodInfo outMethodInfo = {12, 20, 0};\n"},
        // 4 + four references (16); char rounds to 24; double at 24; short rounds to 36
        {refs, "\nstatic kavFloatMap refsFloatMap = {\n24, 39, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, };\n\n"
               "static kavMethodInfo refsMethodInfo = {1, 40, &refsFloatMap};\n"},
    };
    for (const auto& c : cases) EXPECT_TRUE(info(c.m).starts_with(c.head)) << info(c.m);
}

TEST_F(MethodInfoTest, ReturnKindCodes) {
    const struct {
        const char* what;
        TypeCode* result;
        int code;
    } cases[] = {
        {"struct of 1", charStruct("S1", 1), 14},   {"struct of 2", charStruct("S2", 2), 14},
        {"struct of 3", charStruct("S3", 3), 8},    {"struct of 4", charStruct("S4", 4), 14},
        {"struct of 8", charStruct("S8", 8), 14},   {"struct of 12", charStruct("S12", 12), 8},
        {"char", kavc::basicType("char"), 10},      {"short", kavc::basicType("short"), 12},
        {"float", kavc::basicType("float"), 2},     {"double", kavc::basicType("double"), 4},
        {"long", kavc::basicType("long"), 0},       {"long long", kavc::basicType("long long"), 0},
        {"objref", kavc::objrefType(cls), 0},       {"void", kavc::basicType("void"), 0},
    };
    std::vector<Entry*> methods;
    for (const auto& c : cases)
        methods.push_back(kavc::addMethod(cls, "m" + std::to_string(methods.size()), c.result, 10));
    buildTypeCodes();

    for (std::size_t i = 0; i < methods.size(); ++i)
        EXPECT_EQ(darurov::returnKindCode(methods[i]), cases[i].code) << cases[i].what;
}

}  // namespace
