// Type codes of the host model: kinds, sizes and alignments on the 32-bit target (how the newer
// CORBA types are spelled and passed in C: the golden headers of tests/idl/header/front_end.idl
// and tests/idl/valid/every_construct.idl).
#include "support/text.h"

namespace {

using testing_support::HostTest;
using Layout = std::tuple<int, int, int>;  // kind, size, alignment

Layout layout(TypeCode* tc) { return {kavttcKind(tc, 0), kavttcSize(tc, 0), kavttcAlignment(tc, 0)}; }
TypeCode* basic(const char* name) { return kavc::basicType(name); }

class KavcTypeCodes : public HostTest {};

TEST_F(KavcTypeCodes, BasicTypesFollowTheIlp32Target) {
    const std::pair<const char*, Layout> table[] = {
        {"void", {2, 0, 1}},          {"short", {3, 2, 2}},  {"long", {4, 4, 4}},    {"unsigned short", {5, 2, 2}},
        {"unsigned long", {6, 4, 4}}, {"float", {7, 4, 4}},  {"double", {8, 8, 8}},  {"boolean", {9, 1, 1}},
        {"char", {10, 1, 1}},         {"octet", {11, 1, 1}}, {"any", {12, 8, 4}},    {"TypeCode", {13, 4, 4}},
        {"string", {19, 4, 4}},       {"long long", {24, 8, 8}}, {"unsigned long long", {25, 8, 8}},
        {"long double", {26, 8, 8}},  {"wchar", {27, 2, 2}}, {"wstring", {28, 4, 4}}, {"Object", {15, 4, 4}},
        {"Principal", {14, 4, 4}},
    };
    for (const auto& [name, expected] : table) {
        ASSERT_NE(basic(name), nullptr) << name;
        EXPECT_EQ(layout(basic(name)), expected) << name;
    }
    EXPECT_EQ(basic("no such type"), nullptr);
}

TEST_F(KavcTypeCodes, ConstructedTypesUseTheCLayout) {
    TypeCode *lng = basic("long"), *chr = basic("char"), *dbl = basic("double"), *shrt = basic("short");
    TypeCode* point = kavc::structType("Point", {{"x", shrt}, {"y", shrt}});
    TypeCode* points = kavc::arrayType(point, {3});
    const std::tuple<const char*, TypeCode*, Layout> table[] = {
        {"struct char+long", kavc::structType("A", {{"c", chr}, {"l", lng}}), {16, 8, 4}},
        {"struct long+char: tail padded", kavc::structType("B", {{"l", lng}, {"c", chr}}), {16, 8, 4}},
        {"struct char+double", kavc::structType("C", {{"c", chr}, {"d", dbl}}), {16, 16, 8}},
        {"empty struct", kavc::structType("E", {}), {16, 0, 1}},
        // tag at 0, p at 2 (4 bytes), arr at 6 (12 bytes)
        {"nested", kavc::structType("O", {{"tag", chr}, {"p", point}, {"arr", points}}), {16, 18, 2}},
        {"array long[10]", kavc::arrayType(lng, {10}), {21, 40, 4}},
        {"array short[2][3]", kavc::arrayType(shrt, {2, 3}), {21, 12, 2}},
        {"sequence", kavc::sequenceType(dbl), {20, 12, 4}},
        {"enum", kavc::enumType("Mood", {"calm", "angry"}), {18, 4, 4}},
        {"objref", kavc::objrefType(kavtkavcls), {15, 4, 4}},
        // {digits, scale, value[(d + 2) / 2]} rounded to the short alignment
        {"fixed<5,2>", kavc::fixedType(5, 2), {29, 8, 2}},
        {"fixed<31,10>", kavc::fixedType(31, 10), {29, 20, 2}},
        {"wstring<8>", kavc::stringType(8, true), {28, 4, 4}},
        {"native", kavc::nativeType("Servant"), {30, 4, 4}},
        // members at the next multiple of the largest member alignment
        {"union long/double", kavc::unionType("U", lng, {{"d", dbl}, {"c", chr}}), {17, 16, 8}},
        {"union short/char[3]", kavc::unionType("V", shrt, {{"a", kavc::arrayType(chr, {3})}}), {17, 6, 2}},
        {"alias of struct", kavc::aliasType("T", kavc::structType("S", {{"c", chr}, {"d", dbl}})), {16, 16, 8}},
        {"null", nullptr, {0, 0, 1}},
    };
    for (const auto& [what, tc, expected] : table) EXPECT_EQ(layout(tc), expected) << what;
}

TEST_F(KavcTypeCodes, CreatedFromDeclaredTypes) {
    Entry* cls = kavc::newClass("Animal", {}, nullptr, 1);
    Entry* walk = kavc::addMethod(cls, "walk", basic("float"), 2);
    Entry* p = kavc::addParam(walk, "p", kavc::structType("Point", {{"x", basic("long")}}), kavtModeOut);
    Entry* count = kavc::addData(cls, "count", basic("long"), 3);
    kavc::addData(cls, "flag", basic("char"), 4);
    kavc::addMod(kavc::addData(cls, "shared", basic("double"), 5), "staticdata");
    kavc::addMod(kavc::addData(cls, "instances", basic("double"), 6), "class");
    kavc::finishClass(cls);
    EXPECT_EQ(walk->typeCode, nullptr);
    EXPECT_EQ(cls->dataTypeCode, nullptr);

    kavtcreateTypeCodes(kavc::unitStab());
    EXPECT_EQ(kavttcKind(walk->typeCode, 0), kavtTkFloat);
    EXPECT_EQ(kavttcKind(p->typeCode, 0), kavtTkStruct);  // the declared type; mode tells the direction
    EXPECT_EQ(kavttcKind(count->typeCode, 0), kavtTkLong);
    // instance data: count and flag only (static and class members are left out)
    EXPECT_EQ(layout(cls->dataTypeCode), Layout(kavtTkStruct, 8, 4));
    EXPECT_NE(kavc::findMethod(kavtkavcls, "kavNew")->typeCode, nullptr);  // root classes too
}

TEST_F(KavcTypeCodes, ReturnsStructThroughAliases) {
    Entry* cls = kavc::newClass("Shapes", {}, nullptr, 1);
    auto returnsStruct = [&](TypeCode* result) { return kavtreturnsStruct(kavc::addMethod(cls, "m", result, 1)); };
    TypeCode* point = kavc::structType("Point", {{"x", basic("long")}});
    EXPECT_TRUE(returnsStruct(point));
    EXPECT_TRUE(returnsStruct(kavc::aliasType("P2", kavc::aliasType("P1", point))));
    EXPECT_TRUE(returnsStruct(kavc::unionType("U", basic("long"), {{"a", basic("long")}})));
    EXPECT_FALSE(returnsStruct(basic("long")));
    EXPECT_FALSE(returnsStruct(kavc::sequenceType(point)));
}

}  // namespace

// A size asked before a forward-declared structure is completed does not stay: the structure
// and what contains it are laid out again.
TEST_F(KavcTypeCodes, CompletingAForwardStructureChangesTheLayoutsThatHoldIt) {
    TypeCode* shell = kavc::structType("Later", {});
    TypeCode* outer = kavc::structType("Outer", {{"c", basic("char")}, {"later", shell}});
    EXPECT_EQ(layout(outer), (Layout{16, 1, 1}));
    kavc::completeType(shell, nullptr, {{"d", basic("double")}});
    EXPECT_EQ(layout(shell), (Layout{16, 8, 8}));
    EXPECT_EQ(layout(outer), (Layout{16, 16, 8}));
}
