// Method information: return-kind codes, argument area sizes and float maps.
#include "stubs_fixture.h"

namespace {

using namespace stubs_testing;

class MethodInfoTest : public StubsTest {
  protected:
    // ZDL: no implicit arguments, so the first explicit parameter lies at offset 4.
    void withoutImplicitArgs() { kavc::setOption("csc", nullptr); }
    void buildTypeCodes() {
        startPass();
        kavtcreateTypeCodes(kavc::unitStab());
    }
    std::string info(Entry* m) {
        return capture([&](FILE* out) { darurov::emitMethodInfo(out, m); });
    }
    Entry* typedParam(Entry* m, const char* name, TypeCode* type, int mode = kavtModeIn) {
        return kavc::addParam(m, name, type, mode);
    }
    static TypeCode* charStruct(const char* cName, int members) {
        std::vector<std::pair<std::string, TypeCode*>> fields;
        for (int i = 0; i < members; ++i)
            fields.emplace_back("c" + std::to_string(i), kavc::basicType("char"));
        return kavc::structType(cName, fields);
    }
};

TEST_F(MethodInfoTest, DoubleThenFloatGivesTheTwoFlaggedOffsets) {
    Entry* f = method("f", "long");
    param(f, "d", "double");
    param(f, "x", "float");
    withoutImplicitArgs();
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
}

TEST_F(MethodInfoTest, NoFloatsNoMapAndTheHostPrefixInEveryName) {
    Entry* grow = method("grow", "double");
    param(grow, "steps", "long");
    kavc::setClassPrefix("zoo_");
    buildTypeCodes();

    EXPECT_EQ(info(grow), lines({
                              "",
                              "static kavMethodInfo zoo_growMethodInfo = {4, 12, 0};",
                              "",
                              "static kavApRdInfo zoo_growStubs = {0, 0, &zoo_growMethodInfo};",
                          }));
}

TEST_F(MethodInfoTest, ReturnKindCodes) {
    struct Case {
        const char* what;
        TypeCode* result;
        int code;
    };
    const Case cases[] = {
        {"struct of 1 byte", charStruct("S1", 1), 14},
        {"struct of 2 bytes", charStruct("S2", 2), 14},
        {"struct of 3 bytes", charStruct("S3", 3), 8},
        {"struct of 4 bytes", charStruct("S4", 4), 14},
        {"struct of 8 bytes",
         kavc::structType("S8", {{"a", kavc::basicType("long")}, {"b", kavc::basicType("long")}}),
         14},
        {"struct of 12 bytes", charStruct("S12", 12), 8},
        {"char", kavc::basicType("char"), 10},
        {"octet", kavc::basicType("octet"), 10},
        {"short", kavc::basicType("short"), 12},
        {"float", kavc::basicType("float"), 2},
        {"double", kavc::basicType("double"), 4},
        {"long", kavc::basicType("long"), 0},
        {"long long", kavc::basicType("long long"), 0},
        {"string", kavc::stringType(), 0},
        {"object reference", kavc::objrefType(cls), 0},
        {"void", kavc::basicType("void"), 0},
    };
    std::vector<Entry*> methods;
    for (const Case& c : cases)
        methods.push_back(kavc::addMethod(cls, std::string("m") + std::to_string(methods.size()),
                                          c.result, 10));
    buildTypeCodes();

    for (std::size_t i = 0; i < methods.size(); ++i)
        EXPECT_EQ(darurov::returnKindCode(methods[i]), cases[i].code) << cases[i].what;
}

TEST_F(MethodInfoTest, FloatCodeGrowsByOneWithAMap) {
    Entry* f = method("f", "float");
    param(f, "x", "float");
    withoutImplicitArgs();
    buildTypeCodes();

    EXPECT_EQ(info(f), lines({
                           "",
                           "static kavFloatMap fFloatMap = {",
                           "7, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, };",
                           "",
                           "static kavMethodInfo fMethodInfo = {3, 8, &fFloatMap};",
                           "",
                           "static kavApRdInfo fStubs = {0, 0, &fMethodInfo};",
                       }));
}

TEST_F(MethodInfoTest, FourteenthFloatGetsNoSlotButItsSizeCounts) {
    Entry* f = method("f", "void");
    for (int i = 0; i < 14; ++i) param(f, ("x" + std::to_string(i)).c_str(), "float");
    withoutImplicitArgs();
    buildTypeCodes();

    darurov::FloatMap map{};
    int size = 4;
    darurov::buildFloatMap(f->params, map, size);
    EXPECT_EQ(map.count, 13);
    EXPECT_EQ(size, 60);
    EXPECT_EQ(info(f), lines({
                           "",
                           "static kavFloatMap fFloatMap = {",
                           "5, 9, 13, 17, 21, 25, 29, 33, 37, 41, 45, 49, 55, };",
                           "",
                           "static kavMethodInfo fMethodInfo = {1, 60, &fFloatMap};",
                           "",
                           "static kavApRdInfo fStubs = {0, 0, &fMethodInfo};",
                       }));
}

TEST_F(MethodInfoTest, FloatsNotPassedInByValueGetNoSlot) {
    Entry* f = method("f", "short");
    param(f, "d", "double", kavtModeOut);
    param(f, "x", "float", kavtModeInout);
    param(f, "y", "float", kavtModeOut);
    withoutImplicitArgs();
    buildTypeCodes();

    darurov::FloatMap map{};
    int size = 4;
    darurov::buildFloatMap(f->params, map, size);
    EXPECT_EQ(map.count, 0);
    EXPECT_EQ(info(f), lines({
                           "",
                           "static kavMethodInfo fMethodInfo = {12, 20, 0};",
                           "",
                           "static kavApRdInfo fStubs = {0, 0, &fMethodInfo};",
                       }));
}

TEST_F(MethodInfoTest, ImplicitArgumentsShiftTheOffsets) {
    Entry* f = method("f", "long");
    param(f, "x", "float");
    Entry* g = method("g", "long");
    param(g, "x", "float");
    kavc::addContext(g);
    buildTypeCodes();  // IDL: ",ev" for f, ",ev,ctx" for g

    EXPECT_EQ(info(f), lines({
                           "",
                           "static kavFloatMap fFloatMap = {",
                           "11, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, };",
                           "",
                           "static kavMethodInfo fMethodInfo = {1, 12, &fFloatMap};",
                           "",
                           "static kavApRdInfo fStubs = {0, 0, &fMethodInfo};",
                       }));
    EXPECT_NE(info(g).find("\n15, 0, "), std::string::npos);
    EXPECT_NE(info(g).find("gMethodInfo = {1, 16, &gFloatMap};"), std::string::npos);
}

TEST_F(MethodInfoTest, ReferenceKindsTakeOneWordAndSizesRoundUp) {
    Entry* f = method("f", "long");
    typedParam(f, "s", charStruct("S12", 12));
    typedParam(f, "name", kavc::stringType());
    typedParam(f, "list", kavc::sequenceType(kavc::basicType("long")));
    typedParam(f, "a", kavc::arrayType(kavc::basicType("long"), {10}));
    typedParam(f, "u", kavc::unionType("U", kavc::basicType("long"),
                                       {{"l", kavc::basicType("long")},
                                        {"d", kavc::basicType("double")}}));
    param(f, "c", "char");
    param(f, "d", "double");
    param(f, "h", "short");
    param(f, "x", "float");
    withoutImplicitArgs();
    buildTypeCodes();

    // 4 + five references (20) = 24; char rounds to 28; double at 28; short rounds to 40;
    // float at 40 with both flags.
    darurov::FloatMap map{};
    int size = 4;
    darurov::buildFloatMap(f->params, map, size);
    ASSERT_EQ(map.count, 2);
    EXPECT_EQ(map.slots[0], 28);
    EXPECT_EQ(map.slots[1], 43);
    EXPECT_EQ(size, 44);
}

}  // namespace
