// Texts the host writes for methods: declarators, argument lists and attribute accessors (prefixed
// prototypes and typedefs: the golden headers, e.g. of tests/idl/header/front_end.idl; the
// arguments an apply stub takes from its va_list: of tests/idl/stubs/apply_stubs.idl).
#include "support/text.h"

#include <regex>

namespace {

using testing_support::capture;
using testing_support::HostTest;

// Zoo::Animal: long walk(in long steps, inout float speed, in long grid[10]); void talk();
// void look(in string where) with a context clause.
class KavcPrototypes : public HostTest {
  protected:
    void SetUp() override {
        HostTest::SetUp();
        cls = kavc::newClass("Animal", {"Zoo"}, nullptr, 1);
        walk = kavc::addMethod(cls, "walk", kavc::basicType("long"), 2);
        kavc::addParam(walk, "steps", kavc::basicType("long"), kavtModeIn);
        kavc::addParam(walk, "speed", kavc::basicType("float"), kavtModeInout);
        kavc::addParam(walk, "grid", kavc::arrayType(kavc::basicType("long"), {10}), kavtModeIn);
        talk = kavc::addMethod(cls, "talk", kavc::basicType("void"), 3);
        look = kavc::addMethod(cls, "look", kavc::basicType("void"), 4);
        kavc::addParam(look, "where", kavc::basicType("string"), kavtModeIn);
        kavc::addContext(look);
        kavc::finishClass(cls);
    }
    // An attribute of Animal and, unless told otherwise, its storage: a data member of its name.
    Entry* attribute(const char* name, TypeCode* type, bool readonly = false, bool storage = true) {
        Entry* a = kavc::addAttribute(cls, name, type, readonly, 5);
        if (storage) data = kavc::addData(cls, name, type, 6);
        return a;
    }
    std::string attributeStubs(int pass, const char* externalPrefix, const char* classPrefix) {
        kavtinitialiseMeta(cls, kavc::unitStab(), pass, 1);
        std::string text = capture([&](FILE* out) { kavtgenAttStubs(out, cls, externalPrefix, classPrefix); });
        kavtuninitialiseMeta(cls);
        return text;
    }
    Entry *cls = nullptr, *walk = nullptr, *talk = nullptr, *look = nullptr;
    Entry* data = nullptr;  // the storage last made by attribute()
    std::string buffer;
};

TEST_F(KavcPrototypes, DeclaratorsAndResults) {
    // the declarators of each mode and type: the golden header of tests/idl/header/front_end.idl
    EXPECT_STREQ(kavtnthArg(walk, 2)->declarator, "long grid[10]");
    EXPECT_EQ(kavtnthArg(walk, 3), nullptr);
    EXPECT_EQ(walk->argCount, 3);
    TypeCode* point = kavc::structType("Point", {});
    EXPECT_STREQ(kavc::addParam(talk, "q", point, kavtModeIn, "struct Point *q")->declarator, "struct Point *q");
    EXPECT_TRUE(kavtisvoid(talk->returnType, talk->returnTypeText));
    EXPECT_FALSE(kavtisvoid(walk->returnType, walk->returnTypeText));
    EXPECT_FALSE(kavtisvoid("void", "void*"));
}

TEST_F(KavcPrototypes, ArgumentListsWithAndWithoutImplicitArguments) {
    // method, separator, flag, list, list with "csc"
    const std::tuple<Entry*, const char*, int, const char*, const char*> table[] = {
        {walk, ", ", 0, "steps, speed, grid", "steps, speed, grid"},
        {talk, ",", 0, "", ""},
        {look, ",", 0, "where", "where"},
        {walk, ",", 1, "kavSelf,ev,steps,speed,grid", "kavSelf,steps,speed,grid"},
        {talk, ", ", 1, "kavSelf, ev", "kavSelf"},
        {look, ",", 1, "kavSelf,ev,ctx,where", "kavSelf,where"},
    };
    for (bool csc : {false, true}) {
        if (csc) kavc::setOption("csc", nullptr);
        for (const auto& [method, separator, flag, list, withCsc] : table)
            EXPECT_STREQ(kavtshortArgList(buffer, method, separator, 0, flag), csc ? withCsc : list)
                << method->name << " flag " << flag << (csc ? " csc" : "");
        EXPECT_STREQ(kavtimplicitArgs(walk), csc ? "" : ",ev");
        EXPECT_STREQ(kavtimplicitArgs(look), csc ? "" : ",ev,ctx");
    }
}

TEST_F(KavcPrototypes, FindMethodNameMatchesWholeIdentifiers) {
    const std::tuple<const char*, const char*, int> table[] = {
        {"steps,speed,grid", "grid", 12}, {"longgrid,grid", "grid", 9}, {"grid_x,grid", "grid", 7},
        {"long grid[10]", "grid", 5},     {"xgrid", "grid", -1},        {"", "a", -1},
    };
    for (const auto& [text, name, position] : table) EXPECT_EQ(kavtfindMethodName(text, name), position) << text;
}

// Accessors are written where the storage is instance data of the pass and the class does not
// write them itself.
TEST_F(KavcPrototypes, AttributeAccessorsOfEachPass) {
    attribute("weight", kavc::basicType("long"));
    kavc::addMod(attribute("where", kavc::structType("Point", {})), "noget");
    kavc::addMod(attribute("count", kavc::basicType("long"), true), "class");  // read-only: no setter
    kavc::addMod(data, "class");
    attribute("age", kavc::basicType("long"), false, false);  // no storage
    Entry* size = attribute("size", kavc::basicType("long"));
    kavc::addMod(size, "noget");
    kavc::addMod(size, "noset");
    attribute("total", kavc::basicType("long"), true);
    kavc::addMod(data, "staticdata");  // not instance data
    attribute("ages", kavc::aliasType("Ages", kavc::arrayType(kavc::basicType("long"), {4})));  // not returnable
    // The text is the headers' (golden files); here: which accessors each pass writes.
    auto accessors = [](const std::string& text) {
        std::vector<std::string> names;
        static const std::regex function("KAVLINK (\\w+)\\(");
        for (std::sregex_iterator i(text.begin(), text.end(), function), end; i != end; ++i) names.push_back((*i)[1]);
        return names;
    };
    std::string instance = attributeStubs(0, "zoo_", "M_");
    EXPECT_EQ(accessors(instance), (std::vector<std::string>{"zoo__get_weight", "zoo__set_weight", "zoo__set_where"}));
    EXPECT_NE(instance.find("AnimalGetData(kavSelf)->where = *where;"), std::string::npos) << "a struct is copied";
    std::string meta = attributeStubs(1, "zoo_", "M_");
    EXPECT_EQ(accessors(meta), std::vector<std::string>{"M__get_count"});
    EXPECT_NE(meta.find("return M_AnimalGetData(kavSelf)->count;"), std::string::npos);
}

}  // namespace
