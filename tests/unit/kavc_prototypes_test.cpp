// Method prototypes, typedefs and argument lists as the host writes them.
#include "support/text.h"

namespace {

using testing_support::capture;
using testing_support::HostTest;
using testing_support::lines;

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
        kavc::finishClass(cls);
    }
    Entry* cls = nullptr;
    Entry* walk = nullptr;
    Entry* talk = nullptr;
    std::string buffer;
};

TEST_F(KavcPrototypes, DeclaratorsDefaultToTheCText) {
    EXPECT_STREQ(kavtnthArg(walk, 0)->declarator, "long steps");
    EXPECT_STREQ(kavtnthArg(walk, 1)->declarator, "float* speed");
    EXPECT_STREQ(kavtnthArg(walk, 2)->declarator, "long grid[10]");
    EXPECT_EQ(kavtnthArg(walk, 3), nullptr);
    EXPECT_EQ(kavtnthArg(talk, 0), nullptr);
    EXPECT_EQ(walk->argCount, 3);
    EXPECT_EQ(talk->argCount, 0);
    TypeCode* point = kavc::structType("Point", {});
    Entry* p = kavc::addParam(talk, "p", point, kavtModeIn);
    EXPECT_STREQ(p->declarator, "Point* p");  // structures travel by reference
    Entry* written = kavc::addParam(talk, "q", point, kavtModeIn, "struct Point *q");
    EXPECT_STREQ(written->declarator, "struct Point *q");
    EXPECT_STREQ(kavc::addData(cls, "count", kavc::basicType("long"), 9)->declarator, "long count");
    EXPECT_STREQ(kavc::addData(cls, "ages", kavc::arrayType(kavc::basicType("short"), {2, 3}), 9)->declarator,
                 "short ages[2][3]");
}

TEST_F(KavcPrototypes, ShortArgLists) {
    Entry* look = kavc::addMethod(cls, "look", kavc::basicType("void"), 5);
    kavc::addParam(look, "where", kavc::basicType("string"), kavtModeIn);
    kavc::addContext(look);
    struct Row {
        const char* what;
        Entry* method;
        const char* separator;
        int flag;
        const char* expected;
        const char* expectedWithCsc;
    };
    const Row table[] = {
        {"explicit names", walk, ",", 0, "steps,speed,grid", "steps,speed,grid"},
        {"separator kept exactly", walk, ", ", 0, "steps, speed, grid", "steps, speed, grid"},
        {"no arguments", talk, ",", 0, "", ""},
        {"call list", walk, ",", 1, "kavSelf,ev,steps,speed,grid", "kavSelf,steps,speed,grid"},
        {"call list, no arguments", talk, ", ", 1, "kavSelf, ev", "kavSelf"},
        {"call list with context", look, ",", 1, "kavSelf,ev,ctx,where", "kavSelf,where"},
        {"names with context", look, ",", 0, "where", "where"},
    };
    for (const Row& r : table) {
        SCOPED_TRACE(r.what);
        EXPECT_EQ(std::string(kavtshortArgList(buffer, r.method, r.separator, 0, r.flag)), r.expected);
    }
    kavc::setOption("csc", nullptr);
    for (const Row& r : table) {
        SCOPED_TRACE(std::string(r.what) + ", csc");
        EXPECT_EQ(std::string(kavtshortArgList(buffer, r.method, r.separator, 0, r.flag)), r.expectedWithCsc);
    }
}

TEST_F(KavcPrototypes, ImplicitArgs) {
    EXPECT_STREQ(kavtimplicitArgs(walk), ",ev");
    kavc::addContext(talk);
    EXPECT_STREQ(kavtimplicitArgs(talk), ",ev,ctx");
    kavc::setOption("csc", nullptr);
    EXPECT_STREQ(kavtimplicitArgs(walk), "");
    EXPECT_STREQ(kavtimplicitArgs(talk), "");
}

TEST_F(KavcPrototypes, PrefixedPrototypes) {
    kavtinitialiseMeta(cls, kavc::unitStab(), 0, 0);
    EXPECT_EQ(std::string(kavtprefixedPrototype(buffer, walk, ",\n\t\t", 0, "zoo_")),
              "long KAVLINK zoo_walk(Animal *kavSelf,\n\t\tEnvironment *ev,\n\t\tlong steps,\n\t\t"
              "float* speed,\n\t\tlong grid[10])");
    EXPECT_EQ(std::string(kavtprefixedPrototype(buffer, talk, ", ", 0, "")),
              "void KAVLINK talk(Animal *kavSelf, Environment *ev)");
    kavc::addContext(talk);
    EXPECT_EQ(std::string(kavtprefixedPrototype(buffer, talk, ", ", 0, nullptr)),
              "void KAVLINK talk(Animal *kavSelf, Environment *ev, Context *ctx)");
    kavc::setOption("csc", nullptr);
    EXPECT_EQ(std::string(kavtprefixedPrototype(buffer, talk, ", ", 0, "p_")),
              "void KAVLINK p_talk(Animal *kavSelf)");
    kavtuninitialiseMeta(cls);
}

TEST_F(KavcPrototypes, SelfIsTheClassBeingEmitted) {
    Entry* dog = kavc::newClass("Dog", {}, nullptr, 10);
    kavc::addParent(dog, cls, 10);
    Entry* over = kavc::addOverride(dog, walk, 11);
    kavc::finishClass(dog);
    kavtinitialiseMeta(dog, kavc::unitStab(), 0, 0);
    EXPECT_EQ(std::string(kavtprefixedPrototype(buffer, over, ", ", 0, "")),
              "long KAVLINK walk(Dog *kavSelf, Environment *ev, long steps, float* speed, long grid[10])");
    kavtuninitialiseMeta(dog);
}

TEST_F(KavcPrototypes, RemoveSelf) {
    kavtinitialiseMeta(cls, kavc::unitStab(), 0, 0);
    kavtprefixedPrototype(buffer, walk, ",\n\t\t", 0, "");
    EXPECT_EQ(std::string(kavtrmSelf(buffer)),
              "long KAVLINK walk(Environment *ev,\n\t\tlong steps,\n\t\tfloat* speed,\n\t\tlong grid[10])");
    kavc::setOption("csc", nullptr);
    kavtprefixedPrototype(buffer, talk, ", ", 0, "");
    EXPECT_EQ(std::string(kavtrmSelf(buffer)), "void KAVLINK talk(void)");
    kavtprefixedPrototype(buffer, walk, ", ", 0, "");
    EXPECT_EQ(std::string(kavtrmSelf(buffer)),
              "long KAVLINK walk(long steps, float* speed, long grid[10])");
    kavtuninitialiseMeta(cls);
}

TEST_F(KavcPrototypes, FullTypedef) {
    Entry* dog = kavc::newClass("Dog", {}, nullptr, 10);
    kavc::addParent(dog, cls, 10);
    kavc::finishClass(dog);
    EXPECT_EQ(std::string(kavtfullTypedef(buffer, dog, walk)),
              "long (KAVLINK *kavTD_Dog_walk)(Animal *kavSelf, Environment *ev, long steps, "
              "float* speed, long grid[10])");
    EXPECT_EQ(std::string(kavtfullTypedef(buffer, dog, talk)),
              "void (KAVLINK *kavTD_Dog_talk)(Animal *kavSelf, Environment *ev)");
    Entry* assign = kavc::findMethod(kavc::findClass("KAVObject"), "kavDefaultAssign");
    EXPECT_EQ(std::string(kavtfullTypedef(buffer, dog, assign)),
              "KAVObject* (KAVLINK *kavTD_Dog_kavDefaultAssign)(KAVObject *kavSelf, Environment *ev, "
              "kavAssignCtrl* ctrl, KAVObject* fromObj)");
}

TEST_F(KavcPrototypes, IdlVarargs) {
    Entry* multi = kavc::addMethod(cls, "paint", kavc::basicType("void"), 6);
    kavc::addParam(multi, "box", kavc::arrayType(kavc::basicType("short"), {2, 3}), kavtModeIn);
    kavc::addParam(multi, "where", kavc::structType("Point", {}), kavtModeIn);
    kavc::addParam(multi, "name", kavc::basicType("string"), kavtModeOut);
    EXPECT_EQ(capture([&](FILE* out) { kavtdeclareIdlVarargs(out, walk); }),
              lines({"\tlong steps = va_arg(__ap, long);", "\tfloat* speed = va_arg(__ap, float*);",
                     "\tlong* grid = va_arg(__ap, long*);"}));
    EXPECT_EQ(capture([&](FILE* out) { kavtdeclareIdlVarargs(out, multi); }),
              lines({"\tshort (*box)[3] = va_arg(__ap, short(*)[3]);", "\tPoint* where = va_arg(__ap, Point*);",
                     "\tstring* name = va_arg(__ap, string*);"}));
    EXPECT_EQ(capture([&](FILE* out) { kavtdeclareIdlVarargs(out, talk); }), "");
}

TEST_F(KavcPrototypes, MethodFacts) {
    EXPECT_TRUE(kavtisvoid("void", "void"));
    EXPECT_FALSE(kavtisvoid("void", "void*"));
    EXPECT_FALSE(kavtisvoid("long", "long"));
    EXPECT_TRUE(kavtisvoid(talk->returnType, talk->returnTypeText));
    EXPECT_FALSE(kavtisvoid(walk->returnType, walk->returnTypeText));
    EXPECT_STREQ(walk->returnTypeText, "long");
}

TEST_F(KavcPrototypes, FindMethodNameMatchesWholeIdentifiers) {
    struct Row {
        const char* text;
        const char* name;
        int position;
    };
    const Row table[] = {
        {"steps,speed,grid", "grid", 12}, {"longgrid,grid", "grid", 9}, {"grid_x,grid", "grid", 7},
        {"long grid[10]", "grid", 5},     {"a,b", "c", -1},             {"", "a", -1},
        {"xgrid", "grid", -1},
    };
    for (const Row& r : table) {
        SCOPED_TRACE(r.text);
        EXPECT_EQ(kavtfindMethodName(r.text, r.name), r.position);
    }
}

}  // namespace
