// Attribute accessor bodies written by the host (kavtgenAttStubs).
#include "support/text.h"

namespace {

using testing_support::capture;
using testing_support::HostTest;
using testing_support::lines;

class KavcAttributeStubs : public HostTest {
  protected:
    std::string stubs(Entry* cls, const char* externalPrefix, const char* classPrefix) {
        return capture([&](FILE* out) { kavtgenAttStubs(out, cls, externalPrefix, classPrefix); });
    }
};

TEST_F(KavcAttributeStubs, AccessorsOfAttributesWithStorage) {
    Entry* cls = kavc::newClass("Animal", {"Zoo"}, nullptr, 1);
    kavc::addAttribute(cls, "weight", kavc::basicType("long"), false, 2);
    kavc::addData(cls, "weight", kavc::basicType("long"), 3);
    kavc::addAttribute(cls, "name", kavc::basicType("string"), true, 4);
    kavc::addData(cls, "name", kavc::basicType("string"), 5);
    kavc::finishClass(cls);
    kavtinitialiseMeta(cls, kavc::unitStab(), 0, 0);
    EXPECT_EQ(stubs(cls, "zoo_", nullptr),
              lines({"",
                     "/* Accessor of attribute weight */",
                     "KAV_Scope long KAVLINK zoo__get_weight(Animal *kavSelf, Environment *ev)",
                     "{",
                     "    return AnimalGetData(kavSelf)->weight;",
                     "}",
                     "",
                     "/* Accessor of attribute weight */",
                     "KAV_Scope void KAVLINK zoo__set_weight(Animal *kavSelf, Environment *ev, long weight)",
                     "{",
                     "    AnimalGetData(kavSelf)->weight = weight;",
                     "}",
                     "",
                     "/* Accessor of attribute name */",
                     "KAV_Scope string KAVLINK zoo__get_name(Animal *kavSelf, Environment *ev)",
                     "{",
                     "    return AnimalGetData(kavSelf)->name;",
                     "}"}));
    kavtuninitialiseMeta(cls);
}

TEST_F(KavcAttributeStubs, NothingWhereTheClassImplementsTheAccessor) {
    Entry* cls = kavc::newClass("Animal", {}, nullptr, 1);
    // no storage
    kavc::addAttribute(cls, "age", kavc::basicType("long"), false, 2);
    // the class writes both accessors itself
    Entry* size = kavc::addAttribute(cls, "size", kavc::basicType("long"), false, 3);
    kavc::addMod(size, "noget");
    kavc::addMod(size, "noset");
    kavc::addData(cls, "size", kavc::basicType("long"), 4);
    // static storage is not instance data
    kavc::addAttribute(cls, "total", kavc::basicType("long"), true, 5);
    kavc::addMod(kavc::addData(cls, "total", kavc::basicType("long"), 6), "staticdata");
    // arrays cannot be returned
    TypeCode* ages = kavc::aliasType("Ages", kavc::arrayType(kavc::basicType("long"), {4}));
    kavc::addAttribute(cls, "ages", ages, false, 7);
    kavc::addData(cls, "ages", ages, 8);
    kavc::finishClass(cls);
    EXPECT_EQ(stubs(cls, "", nullptr), "");
}

TEST_F(KavcAttributeStubs, OnlyTheAccessorsOfThePass) {
    Entry* cls = kavc::newClass("Animal", {}, nullptr, 1);
    Entry* count = kavc::addAttribute(cls, "count", kavc::basicType("long"), true, 2);
    kavc::addMod(count, "class");
    kavc::addMod(kavc::addData(cls, "count", kavc::basicType("long"), 3), "class");
    Entry* where = kavc::addAttribute(cls, "where", kavc::structType("Point", {}), false, 4);
    kavc::addMod(where, "noget");
    kavc::addData(cls, "where", kavc::structType("Point", {}), 5);
    kavc::finishClass(cls);
    kavtinitialiseMeta(cls, kavc::unitStab(), 0, 1);
    EXPECT_EQ(stubs(cls, "", "M_"),
              lines({"",
                     "/* Accessor of attribute where */",
                     "KAV_Scope void KAVLINK _set_where(Animal *kavSelf, Environment *ev, Point* where)",
                     "{",
                     "    AnimalGetData(kavSelf)->where = *where;",
                     "}"}));
    kavtinitialiseMeta(cls, kavc::unitStab(), 1, 1);
    EXPECT_EQ(stubs(cls, "", "M_"),
              lines({"",
                     "/* Accessor of attribute count */",
                     "KAV_Scope long KAVLINK M__get_count(M_Animal *kavSelf, Environment *ev)",
                     "{",
                     "    return M_AnimalGetData(kavSelf)->count;",
                     "}"}));
    kavtuninitialiseMeta(cls);
}

}  // namespace
