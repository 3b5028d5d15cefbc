// What the front end builds in the host model from IDL: names, chains, modifiers, release
// orders, types (its errors, with their full text: tests/diagnostics/).
#include "kc_fixture.h"


namespace {


std::vector<std::string> parts(char** scoped) {
    std::vector<std::string> out;
    for (char** p = scoped; p && *p; ++p) out.push_back(*p);
    return out;
}

class KcLowering : public kc_testing::KcTest {};

TEST_F(KcLowering, ScopedNamesModulesAndTheEmitList) {
    ASSERT_TRUE(compile(
        "interface Food;\n"
        "typedef long Age;\n"
        "module Zoo {\n"
        "  interface Animal {};\n"
        "  module Inner { interface Deep : Animal {}; };\n"
        "};\n"
        "interface Keeper : Zoo::Inner::Deep {};\n"
        "module Zoo { interface Cage {}; };\n"))
        << messages()[0];
    Entry* animal = cls("Zoo::Animal");
    ASSERT_NE(animal, nullptr);
    EXPECT_STREQ(animal->name, "Zoo_Animal");  // the C name; the scoped name is the IDL one
    EXPECT_EQ(parts(animal->scopedName), (std::vector<std::string>{"", "Zoo", "Animal"}));
    Entry* deep = cls("Zoo::Inner::Deep");
    ASSERT_NE(deep, nullptr);
    EXPECT_EQ(parts(deep->scopedName), (std::vector<std::string>{"", "Zoo", "Inner", "Deep"}));
    EXPECT_EQ(deep->parents->cls, animal);
    EXPECT_EQ(cls("Keeper")->parents->cls, deep);

    // Classes and module blocks of the main file, in declaration order; a reopened module
    // is a block of its own, holding only its own classes.
    ASSERT_EQ(toEmit.size(), 3u);
    EXPECT_EQ(toEmit[0]->type, kavtModuleType);
    EXPECT_EQ(chain(toEmit[0]->members), (std::vector<std::string>{"Zoo_Animal", "Inner"}));
    EXPECT_EQ(chain(toEmit[0]->members->next->members), (std::vector<std::string>{"Zoo_Inner_Deep"}));
    EXPECT_EQ(toEmit[1], cls("Keeper"));
    EXPECT_EQ(chain(toEmit[2]->members), (std::vector<std::string>{"Zoo_Cage"}));
}

TEST_F(KcLowering, MethodChainHoldsOperationsThenOverridesInStatementOrder) {
    ASSERT_TRUE(compile(
        "interface Animal : KAVObject {\n"
        "  void talk();\n"
        "  attribute long weight;\n"
        "  implementation {\n"
        "    kavDestruct: override;\n"
        "    kavInit: reintroduce, procedure;\n"
        "    kavDefaultInit: override, init;\n"
        "  };\n"
        "  readonly attribute string name;\n"
        "  long walk();\n"
        "};\n"))
        << messages()[0];
    Entry* animal = cls("Animal");
    EXPECT_EQ(chain(animal->methods),
              (std::vector<std::string>{"talk", "_get_weight", "_set_weight", "_get_name", "walk",
                                        "kavDestruct", "kavDefaultInit"}));
    Entry* root = cls("KAVObject");
    Entry* destruct = kavc::findMethod(animal, "kavDestruct");
    EXPECT_EQ(destruct->type, kavtOverrideType);
    EXPECT_EQ(destruct->cls, root);
    EXPECT_EQ(destruct->origin, kavc::findMethod(root, "kavDestruct"));
    EXPECT_EQ(destruct->lineno, 5);
    EXPECT_EQ(mod(kavc::findMethod(animal, "kavDefaultInit"), "init"), "\x01");

    ReintroducedMethods record{};
    kavtGetReintroducedMethods(&record, animal);
    ASSERT_EQ(record.count, 1);
    EXPECT_STREQ(record.methods[0]->name, "kavInit");
    EXPECT_EQ(mod(record.methods[0], "procedure"), "\x01");
    for (int i = 0; i < record.count; ++i) kavtsmfree(record.methods[i], 0);
    kavtsmfree(record.methods, 0);
}

TEST_F(KcLowering, ParametersDeclaratorsAndImplicitArguments) {
    ASSERT_TRUE(compile(
        "module Zoo { interface Animal {\n"
        "  struct Point { long x; long y; };\n"
        "  const long N = 2 * 5;\n"
        "  Point walk(in long steps, inout float speed, out double dist, in long a[N], in Point p);\n"
        "  void look() context(\"zoo.*\");\n"
        "}; };\n"))
        << messages()[0];
    Entry* walk = kavc::findMethod(cls("Zoo::Animal"), "walk");
    ASSERT_NE(walk, nullptr);
    EXPECT_EQ(walk->argCount, 5);
    EXPECT_STREQ(walk->returnTypeText, "Zoo_Animal_Point");
    std::vector<std::string> declarators;
    std::vector<int> modes;
    for (Entry* p = walk->params; p; p = p->next) {
        declarators.push_back(p->declarator);
        modes.push_back(p->mode);
    }
    EXPECT_EQ(declarators, (std::vector<std::string>{"long steps", "float* speed", "double* dist",
                                                     "long a[10]", "Zoo_Animal_Point* p"}));
    EXPECT_EQ(modes, (std::vector<int>{1, 3, 2, 1, 1}));
    std::string names;
    EXPECT_STREQ(kavtshortArgList(names, walk, ", ", 0, 0), "steps, speed, dist, a, p");
    EXPECT_STREQ(kavtimplicitArgs(walk), ",ev");
    EXPECT_STREQ(kavtimplicitArgs(kavc::findMethod(cls("Zoo::Animal"), "look")), ",ev,ctx");
}

TEST_F(KcLowering, ReleaseOrderAndDataLists) {
    ASSERT_TRUE(compile(
        "interface A {\n"
        "  void b(); void a();\n"
        "  implementation {\n"
        "    long shown, hidden, plain, table[3];\n"
        "    releaseorder: a, b, plain;\n"
        "    hidden: private;\n"
        "    table, shown: public;\n"
        "    plain: staticdata;\n"
        "  };\n"
        "};\n"
        "interface B { void f(); };\n"))
        << messages()[0];
    Entry* a = cls("A");
    std::vector<std::string> items;
    for (ReleaseItem* i = a->releaseOrder; i; i = i->next) items.push_back(i->name ? i->name : "<null>");
    EXPECT_EQ(items, (std::vector<std::string>{"a", "b", "plain"}));
    EXPECT_EQ(a->releaseOrder->entry, kavc::findMethod(a, "a"));
    auto names = [](NameList* list) {
        std::vector<std::string> out;
        for (; list; list = list->next) out.push_back(list->name);
        return out;
    };
    EXPECT_EQ(names(a->releaseOrder->dataLists[0]), (std::vector<std::string>{"shown", "table"}));
    EXPECT_EQ(names(a->releaseOrder->dataLists[1]), (std::vector<std::string>{"hidden"}));
    EXPECT_EQ(names(a->releaseOrder->dataLists[2]), (std::vector<std::string>{"plain"}));
    std::vector<std::string> declarators;
    for (Entry* d = a->data; d; d = d->next) declarators.push_back(d->declarator);
    EXPECT_EQ(declarators, (std::vector<std::string>{"long shown", "long hidden", "long plain", "long table[3]"}));
    EXPECT_EQ(cls("B")->releaseOrder, nullptr) << "no releaseorder statement, no release order";
}

TEST_F(KcLowering, ModifiersReachTheirEntries) {
    ASSERT_TRUE(compile(
        "interface Other : KAVObject {};\n"
        "interface M_A : KAVClass {};\n"
        "interface A : KAVObject, Other {\n"
        "  void talk(); void walk(); attribute long size;\n"
        "  implementation {\n"
        "    externalprefix = zoo_;\n"
        "    shadow;\n"
        "    align = 8;\n"
        "    directinitclasses = \"KAVObject, Other\";\n"
        "    metaclass = M_A;\n"
        "    companion = Other;\n"
        "    long count;\n"
        "    count: staticdata, class;\n"
        "    talk: namelookup, descriptor = \"says hello\";\n"
        "    walk: apply = walkStub, select = Other;\n"
        "    size: noget;\n"
        "    Other: abstract, nolink;\n"
        "    M_A: nolink;\n"
        "    kavGetSize: migrate = Other;\n"
        "  };\n"
        "};\n"))
        << messages()[0];
    Entry* a = cls("A");
    EXPECT_EQ(mod(a, "externalprefix"), "zoo_");
    EXPECT_EQ(mod(a, "shadow"), "\x01");
    EXPECT_EQ(mod(a, "align"), "8");
    EXPECT_EQ(mod(a, "directinitclasses"), "KAVObject, Other");
    EXPECT_EQ(mod(a, "kavGetSize"), "migrate=Other");
    EXPECT_EQ(mod(a, "metaclass"), "<absent>");
    EXPECT_EQ(a->metaclass, cls("M_A"));
    EXPECT_EQ(mod(cls("M_A"), "nolink"), "\x01");
    EXPECT_EQ(a->companionClass, cls("Other"));

    Entry* talk = kavc::findMethod(a, "talk");
    EXPECT_EQ(mod(talk, "namelookup"), "\x01");
    EXPECT_STREQ(kavtgetAtt(talk->mods, "descriptor", 0), "says hello");
    Entry* walk = kavc::findMethod(a, "walk");
    EXPECT_EQ(mod(walk, "apply"), "walkStub");
    EXPECT_EQ(mod(walk, "select"), "Other");
    EXPECT_EQ(mod(a->data, "staticdata"), "\x01");
    EXPECT_EQ(mod(a->data, "class"), "\x01");

    Entry* first = a->parents;
    Entry* second = first->next;
    EXPECT_EQ(mod(first, "abstract"), "<absent>");
    EXPECT_EQ(mod(second, "abstract"), "\x01");
    EXPECT_EQ(mod(second, "nolink"), "\x01");
}

TEST_F(KcLowering, ClassOnAnAttributeOrMethodMakesAnImplicitMetaclass) {
    ASSERT_TRUE(compile(
        "interface A { attribute long count; implementation { count: class; }; };\n"
        "interface B { void make(); implementation { make: class; }; };\n"
        "interface C { void plain(); };\n"));
    EXPECT_EQ(mod(kavc::findMethod(cls("A"), "_get_count"), "class"), "\x01");
    EXPECT_EQ(mod(kavc::findMethod(cls("A"), "_set_count"), "class"), "\x01");
    EXPECT_EQ(kavtimplicitMeta(cls("A")), 1);
    EXPECT_EQ(kavtimplicitMeta(cls("B")), 1);
    EXPECT_EQ(kavtimplicitMeta(cls("C")), 0);
}

TEST(KcPassthruNames, SectionAndPosition) {
    struct Case {
        const char* name;
        bool ok;
        const char* section;
        bool after;
    };
    for (const Case& c : {Case{"C_xih", true, "C.xih", false}, Case{"C_xih_after", true, "C.xih", true},
                          Case{"C_ih", true, "C.ih", false}, Case{"C_h_x", true, "C.h_x", false},
                          Case{"Cxih", false, "", false}, Case{"C_after", false, "", false},
                          Case{"_xih", false, "", false}}) {
        std::string section;
        bool after = false;
        EXPECT_EQ(kc::passthruSection(c.name, section, after), c.ok) << c.name;
        if (!c.ok) continue;
        EXPECT_EQ(section, c.section) << c.name;
        EXPECT_EQ(after, c.after) << c.name;
    }
}

TEST_F(KcLowering, NamesResolveThroughScopesAndParents) {
    ASSERT_TRUE(compile(
        "module Zoo {\n"
        "  typedef long Age;\n"
        "  interface Animal { struct Point { long x; }; enum Mood { calm, angry };\n"
        "                     const Mood M = angry; };\n"
        "  interface Dog : Animal { Point where(in Age a); Mood feel(); };\n"
        "};\n"
        "interface Keeper { ::Zoo::Animal::Point at(in Zoo::Dog d); };\n"))
        << messages()[0];
    Entry* where = kavc::findMethod(cls("Zoo::Dog"), "where");
    EXPECT_STREQ(where->returnTypeText, "Zoo_Animal_Point");
    EXPECT_STREQ(where->params->declarator, "Zoo_Age a");
    Entry* at = kavc::findMethod(cls("Keeper"), "at");
    EXPECT_STREQ(at->params->declarator, "Zoo_Dog* d");
}

// A class's Entry is named in C: its scoped name joined with '_' (Zoo_Inner_Animal); the
// scoped name keeps the IDL names.
TEST_F(KcLowering, AClassInAModuleIsNamedInCByItsScopedName) {
    ASSERT_TRUE(compile(
        "interface Top {};\n"
        "module Zoo {\n"
        "  interface Food;\n"
        "  abstract interface Named {}; local interface Keeper {};\n"
        "  valuetype Coin { public long face; }; valuetype Box long; eventtype Ring {};\n"
        "  interface class {};\n"
        "  interface M_Animal : KAVClass {};\n"
        "  module Inner { interface Animal : Named {\n"
        "    void eat(in Food f); implementation { metaclass = M_Animal; }; }; };\n"
        "};\n"
        "module M { interface KAVClass {}; };\n"))
        << messages()[0];
    const std::pair<const char*, const char*> names[] = {
        {"Top", "Top"},
        {"Zoo::Named", "Zoo_Named"},
        {"Zoo::Keeper", "Zoo_Keeper"},
        {"Zoo::Coin", "Zoo_Coin"},
        {"Zoo::Box", "Zoo_Box"},
        {"Zoo::Ring", "Zoo_Ring"},
        {"Zoo::_cxx_class", "Zoo_class"},  // a keyword alone is escaped; the joined name is none
        {"Zoo::M_Animal", "Zoo_M_Animal"},
        {"Zoo::Inner::Animal", "Zoo_Inner_Animal"},
        {"Zoo::Food", "Zoo_Food"},  // only declared: made when a type names it
        {"M::KAVClass", "M_KAVClass"},
    };
    for (const auto& [scoped, cName] : names) {
        Entry* c = cls(scoped);
        ASSERT_NE(c, nullptr) << scoped;
        EXPECT_STREQ(c->name, cName);
        EXPECT_EQ(cls(cName), c) << cName;
    }
    Entry* animal = cls("Zoo::Inner::Animal");
    EXPECT_EQ(animal->metaclass, cls("Zoo::M_Animal"));
    EXPECT_STREQ(kavc::findMethod(animal, "eat")->params->declarator, "Zoo_Food* f");
    EXPECT_STREQ(animal->parents->name, "Zoo_Named");
}

// Modifier values that name a class are written as IDL names and reach the header as C names;
// a name kc does not know is kept as written.
TEST_F(KcLowering, ModifierValuesNamingAClassGetItsCName) {
    ASSERT_TRUE(compile(
        "module Zoo {\n"
        "  interface Food { void eat(); };\n"
        "  interface Animal { void walk(); void run(); };\n"
        "  interface Dog : Animal, Food { implementation {\n"
        "    shadow = Animal;\n"
        "    walk: override, select = ::Zoo::Food;\n"
        "    eat: migrate = Animal;\n"
        "    run: migrate = Nowhere;\n"
        "  }; };\n"
        "};\n"))
        << messages()[0];
    Entry* dog = cls("Zoo::Dog");
    const std::pair<std::string, const char*> values[] = {
        {mod(dog, "shadow"), "Zoo_Animal"},
        {mod(kavc::findMethod(dog, "walk"), "select"), "Zoo_Food"},
        {mod(dog, "eat"), "migrate=Zoo_Animal"},
        {mod(dog, "run"), "migrate=Nowhere"},
    };
    for (const auto& [value, expected] : values) EXPECT_EQ(value, expected);
}

// An unknown name keeps its slot (kc only warns).
TEST_F(KcLowering, UnknownReleaseOrderNameKeepsItsSlot) {
    EXPECT_TRUE(compile("interface A { void f(); implementation { releaseorder: f, retired; }; };"));
    std::vector<std::string> items;
    for (ReleaseItem* i = cls("A")->releaseOrder; i; i = i->next) items.push_back(i->name);
    EXPECT_EQ(items, (std::vector<std::string>{"f", "retired"}));
}

}  // namespace
