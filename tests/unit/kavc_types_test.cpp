// Type codes of the host model: kinds, sizes and alignments on the 32-bit target.
#include "support/text.h"

namespace {

using testing_support::HostTest;

class KavcTypeCodes : public HostTest {};

struct Expected {
    const char* idlName;
    int kind;
    int size;
    int align;
};

TEST_F(KavcTypeCodes, BasicTypesFollowTheIlp32Target) {
    const Expected table[] = {
        {"void", 2, 0, 1},           {"short", 3, 2, 2},           {"long", 4, 4, 4},
        {"unsigned short", 5, 2, 2}, {"unsigned long", 6, 4, 4},   {"float", 7, 4, 4},
        {"double", 8, 8, 8},         {"boolean", 9, 1, 1},         {"char", 10, 1, 1},
        {"octet", 11, 1, 1},         {"any", 12, 8, 4},            {"TypeCode", 13, 4, 4},
        {"string", 19, 4, 4},        {"long long", 24, 8, 8},
    };
    for (const Expected& e : table) {
        SCOPED_TRACE(e.idlName);
        TypeCode* tc = kavc::basicType(e.idlName);
        ASSERT_NE(tc, nullptr);
        EXPECT_EQ(kavttcKind(tc, 0), e.kind);
        EXPECT_EQ(kavttcSize(tc, 0), e.size);
        EXPECT_EQ(kavttcAlignment(tc, 0), e.align);
    }
    EXPECT_EQ(kavc::basicType("no such type"), nullptr);
}

TEST_F(KavcTypeCodes, ConstructedTypes) {
    TypeCode* lng = kavc::basicType("long");
    TypeCode* chr = kavc::basicType("char");
    TypeCode* dbl = kavc::basicType("double");
    TypeCode* shrt = kavc::basicType("short");
    struct Row {
        const char* what;
        TypeCode* tc;
        int kind;
        int size;
        int align;
    };
    const Row table[] = {
        // char, then long at offset 4: 8 bytes, aligned to 4
        {"struct char+long", kavc::structType("A", {{"c", chr}, {"l", lng}}), 16, 8, 4},
        // long, char: the tail is padded to the alignment
        {"struct long+char", kavc::structType("B", {{"l", lng}, {"c", chr}}), 16, 8, 4},
        // char, double: double aligned to 8
        {"struct char+double", kavc::structType("C", {{"c", chr}, {"d", dbl}}), 16, 16, 8},
        {"struct of chars", kavc::structType("D", {{"a", chr}, {"b", chr}, {"c", chr}}), 16, 3, 1},
        {"empty struct", kavc::structType("E", {}), 16, 0, 1},
        {"array long[10]", kavc::arrayType(lng, {10}), 21, 40, 4},
        {"array short[2][3]", kavc::arrayType(shrt, {2, 3}), 21, 12, 2},
        {"sequence", kavc::sequenceType(dbl), 20, 12, 4},
        {"bounded string", kavc::stringType(20), 19, 4, 4},
        {"enum", kavc::enumType("Mood", {"calm", "angry"}), 18, 4, 4},
        {"objref", kavc::objrefType(kavc::findClass("KAVObject")), 15, 4, 4},
        // long discriminator, largest member double: members at offset 8, 16 bytes
        {"union long/double", kavc::unionType("U", lng, {{"d", dbl}, {"c", chr}}), 17, 16, 8},
        // short discriminator, member char[3] at offset 2: 5 bytes, padded to 6
        {"union short/char[3]", kavc::unionType("V", shrt, {{"a", kavc::arrayType(chr, {3})}}), 17, 6, 2},
        {"alias of struct", kavc::aliasType("T", kavc::structType("S", {{"c", chr}, {"d", dbl}})), 16, 16, 8},
    };
    for (const Row& r : table) {
        SCOPED_TRACE(r.what);
        EXPECT_EQ(kavttcKind(r.tc, 0), r.kind);
        EXPECT_EQ(kavttcSize(r.tc, 0), r.size);
        EXPECT_EQ(kavttcAlignment(r.tc, 0), r.align);
    }
}

TEST_F(KavcTypeCodes, NestedStructLayout) {
    TypeCode* point = kavc::structType("Point", {{"x", kavc::basicType("short")}, {"y", kavc::basicType("short")}});
    TypeCode* outer = kavc::structType(
        "Outer", {{"tag", kavc::basicType("char")}, {"p", point}, {"arr", kavc::arrayType(point, {3})}});
    // tag at 0, p at 2 (4 bytes), arr at 6 (12 bytes): 18, aligned to 2
    EXPECT_EQ(kavttcSize(outer, 0), 18);
    EXPECT_EQ(kavttcAlignment(outer, 0), 2);
}

TEST_F(KavcTypeCodes, NullTypeCode) {
    EXPECT_EQ(kavttcKind(nullptr, 0), 0);
    EXPECT_EQ(kavttcSize(nullptr, 0), 0);
    EXPECT_EQ(kavttcAlignment(nullptr, 0), 1);
}

TEST_F(KavcTypeCodes, CTypeTexts) {
    EXPECT_EQ(kavc::cTypeText(kavc::basicType("unsigned long")), "unsigned long");
    EXPECT_EQ(kavc::cTypeText(kavc::objrefType(kavc::findClass("KAVClass"))), "KAVClass*");
    EXPECT_EQ(kavc::cTypeText(kavc::sequenceType(kavc::basicType("unsigned long"))),
              "_IDL_SEQUENCE_unsigned_long");
    EXPECT_EQ(kavc::cTypeText(kavc::aliasType("Ages", kavc::arrayType(kavc::basicType("long"), {4}))), "Ages");
    EXPECT_EQ(kavc::cTypeText(kavc::structType("Point", {})), "Point");
}

TEST_F(KavcTypeCodes, CreatedFromDeclaredTypes) {
    Entry* cls = kavc::newClass("Animal", {}, nullptr, 1);
    TypeCode* point = kavc::structType("Point", {{"x", kavc::basicType("long")}});
    Entry* walk = kavc::addMethod(cls, "walk", kavc::basicType("float"), 2);
    Entry* steps = kavc::addParam(walk, "steps", kavc::basicType("long"), kavtModeIn);
    Entry* p = kavc::addParam(walk, "p", point, kavtModeOut);
    Entry* count = kavc::addData(cls, "count", kavc::basicType("long"), 3);
    kavc::addData(cls, "flag", kavc::basicType("char"), 4);
    Entry* shared = kavc::addData(cls, "shared", kavc::basicType("double"), 5);
    kavc::addMod(shared, "staticdata");
    Entry* perClass = kavc::addData(cls, "instances", kavc::basicType("double"), 6);
    kavc::addMod(perClass, "class");
    kavc::finishClass(cls);

    for (Entry* e : {walk, steps, p, count}) EXPECT_EQ(e->typeCode, nullptr);
    EXPECT_EQ(cls->dataTypeCode, nullptr);

    kavtcreateTypeCodes(kavc::unitStab());
    EXPECT_EQ(kavttcKind(walk->typeCode, 0), kavtTkFloat);
    EXPECT_EQ(kavttcKind(steps->typeCode, 0), kavtTkLong);
    // a parameter's type code is its declared type; the mode tells the direction
    EXPECT_EQ(kavttcKind(p->typeCode, 0), kavtTkStruct);
    EXPECT_EQ(p->mode, kavtModeOut);
    EXPECT_EQ(kavttcSize(count->typeCode, 0), 4);
    // instance data: count and flag only (static and class members are left out)
    EXPECT_EQ(kavttcKind(cls->dataTypeCode, 0), kavtTkStruct);
    EXPECT_EQ(kavttcSize(cls->dataTypeCode, 0), 8);
    EXPECT_EQ(kavttcAlignment(cls->dataTypeCode, 0), 4);
    // root classes get theirs as well
    EXPECT_NE(kavc::findMethod(kavtkavcls, "kavNew")->typeCode, nullptr);
}

TEST_F(KavcTypeCodes, ReturnsStructThroughAliases) {
    Entry* cls = kavc::newClass("Shapes", {}, nullptr, 1);
    TypeCode* point = kavc::structType("Point", {{"x", kavc::basicType("long")}});
    TypeCode* u = kavc::unionType("U", kavc::basicType("long"), {{"a", kavc::basicType("long")}});
    EXPECT_TRUE(kavtreturnsStruct(kavc::addMethod(cls, "a", point, 1)));
    EXPECT_TRUE(kavtreturnsStruct(kavc::addMethod(cls, "b", kavc::aliasType("P2", kavc::aliasType("P1", point)), 2)));
    EXPECT_TRUE(kavtreturnsStruct(kavc::addMethod(cls, "c", u, 3)));
    EXPECT_FALSE(kavtreturnsStruct(kavc::addMethod(cls, "d", kavc::basicType("long"), 4)));
    EXPECT_FALSE(kavtreturnsStruct(kavc::addMethod(cls, "e", kavc::sequenceType(point), 5)));
    EXPECT_FALSE(kavtreturnsStruct(kavc::addMethod(cls, "f", kavc::basicType("void"), 6)));
}

}  // namespace
