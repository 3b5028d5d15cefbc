// What the front end builds in the host model from IDL: names, chains, modifiers, release
// orders, types; and the errors of declarations that do not hold together.
#include "kc_fixture.h"

#include <fstream>

namespace {

using testing_support::capture;

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

TEST_F(KcLowering, IncludedDeclarationsAreBuiltButNotEmitted) {
    testing_support::ScratchDir dir;
    std::ofstream(dir / "base.idl") << "interface Base { void ping(); };\nmodule Lib { interface Tool {}; };\n";
    ASSERT_TRUE(compile("#include \"" + dir / "base.idl\"\ninterface Derived : Base { void pong(); };\n"))
        << messages()[0];
    ASSERT_NE(cls("Base"), nullptr);
    ASSERT_NE(cls("Lib::Tool"), nullptr);
    ASSERT_EQ(toEmit.size(), 1u);
    EXPECT_EQ(toEmit[0], cls("Derived"));
    EXPECT_NE(kavc::findInheritedMethod(cls("Derived"), "ping"), nullptr);
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

TEST_F(KcLowering, PassthruGoesToItsSectionAndPosition) {
    ASSERT_TRUE(compile(
        "interface A { implementation {\n"
        "  passthru C_xih = \"#include <a.h>\";\n"
        "  passthru C_xih_after = \"/* after */\";\n"
        "  passthru C_ih = \"ih text\";\n"
        "}; };\n"));
    Entry* a = cls("A");
    auto text = [&](const char* section, const char* position) {
        return capture([&](FILE* out) { kavtemitPassthru(out, a, section, 2, position); });
    };
    EXPECT_EQ(text("C.xih", "!after"), "#include <a.h>\n");
    EXPECT_EQ(text("C.xih", "after"), "/* after */\n");
    EXPECT_EQ(text("C.ih", "!after"), "ih text\n");
    EXPECT_EQ(text("C.ih", "after"), "");
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

TEST_F(KcLowering, ANewMethodMayNotRepeatAnInheritedNameUnlessChecksAreOff) {
    const char* text = "interface A { void kavInit(); };\ninterface B : A { attribute long x; };\n"
                       "interface C : B { readonly attribute long x; };\n";
    EXPECT_FALSE(compile(text));
    EXPECT_EQ(messages(), (std::vector<std::string>{
                              "test.idl:1:20: error: 'kavInit' is already introduced by 'KAVObject'; write "
                              "'kavInit: reintroduce;' in the implementation section to declare it again",
                              "test.idl:3:43: error: '_get_x' is already introduced by 'B'; write "
                              "'_get_x: reintroduce;' in the implementation section to declare it again"}));
}

TEST_F(KcLowering, NodupcheckAllowsARepeatedInheritedName) {
    kavc::setFlag(40, 2);
    EXPECT_TRUE(compile("interface A { void kavInit(); };"));
}

TEST_F(KcLowering, UnknownReleaseOrderNameIsOnlyAWarning) {
    EXPECT_TRUE(compile("interface A { void f(); implementation { releaseorder: f, retired; }; };"));
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_EQ(messages()[0], "test.idl:1:59: warning: 'retired' in the release order is not a method or "
                             "data member of 'A'; its slot stays empty [-Wrelease-order]");
    std::vector<std::string> items;
    for (ReleaseItem* i = cls("A")->releaseOrder; i; i = i->next) items.push_back(i->name);
    EXPECT_EQ(items, (std::vector<std::string>{"f", "retired"}));
}

// The first message for text that does not compile: syntax, declarations that do not hold
// together, CORBA constructs kc refuses.
struct Refused {
    const char* text;
    const char* message;
};

class KcRefused : public KcLowering, public ::testing::WithParamInterface<Refused> {};

TEST_P(KcRefused, FirstMessage) {
    EXPECT_FALSE(compile(GetParam().text));
    ASSERT_FALSE(messages().empty()) << GetParam().text;
    EXPECT_EQ(messages()[0], GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    Declarations, KcRefused,
    ::testing::Values(
        Refused{"interface A : Nope {};", "test.idl:1:15: error: unknown parent interface 'Nope'"},
        Refused{"typedef long T;\ninterface A : T {};", "test.idl:2:15: error: 'T' is a typedef, not an interface"},
        Refused{"interface F;\ninterface A : F {};",
                      "test.idl:2:15: error: interface 'F' is declared but never defined; it cannot be a parent"},
        Refused{"interface A : C {};\ninterface B : A {};\ninterface C : B {};",
                      "test.idl:2:15: error: cyclic inheritance: 'A' -> 'C' -> 'B' -> 'A'"},
        Refused{"interface A : A {};", "test.idl:1:15: error: cyclic inheritance: 'A' -> 'A'"},
        // A's operations leave the tree once A is built; B still finds the name.
        Refused{"interface A { void f(); };\ninterface B : A { void g(in f x); };",
                "test.idl:2:29: error: 'f' is an operation, not a type"},
        Refused{"interface A { void f(in Foo x); };", "test.idl:1:25: error: unknown type 'Foo'"},
        Refused{"interface A { exception E { long c; }; void f(in E e); };",
                      "test.idl:1:50: error: exception 'E' cannot be used as a type"},
        Refused{"interface A { void f(); void f(); };", "test.idl:1:30: error: redefinition of 'f'"},
        Refused{"interface A { attribute long x; void _set_x(); void set_x(); };", "test.idl:1:53: error: redefinition of 'set_x'"},
        Refused{"interface A {};\nmodule A {};", "test.idl:2:8: error: redefinition of 'A'"},
        Refused{"interface KAVObject {};", "test.idl:1:11: error: redefinition of built-in interface 'KAVObject'"},
        Refused{"interface A { void f(in long a, in long a); };", "test.idl:1:41: error: redefinition of parameter 'a'"},
        Refused{"interface A { implementation { long q; }; implementation { long r; }; };",
                      "test.idl:1:43: error: a second implementation section for 'A'"},
        Refused{"module Z { interface B { void f(); }; };\ninterface C : Z::B { void f(); };",
                      "test.idl:2:27: error: 'f' is already introduced by 'Z::B'; write 'f: reintroduce;' in the "
                      "implementation section to declare it again"}));

INSTANTIATE_TEST_SUITE_P(
    Implementation, KcRefused,
    ::testing::Values(
        Refused{"interface A { implementation { classprefix; }; };",
                      "test.idl:1:32: error: modifier 'classprefix' needs a value"},
        Refused{"interface A { void f(); implementation { f: descriptor; }; };",
                      "test.idl:1:45: error: modifier 'descriptor' needs a value"},
        Refused{"interface A { implementation { ghost: namelookup; }; };",
                      "test.idl:1:32: error: 'ghost' is not a method, attribute, data member or parent of 'A'"},
        Refused{"interface A { implementation { A::B: abstract; }; };",
                      "test.idl:1:32: error: 'A::B' is not a method, attribute, data member or parent of 'A'"},
        Refused{"interface A { void f(); implementation { f: override; }; };",
                      "test.idl:1:42: error: 'f' is introduced by 'A' itself; only inherited methods can be given to override"},
        Refused{"interface A { implementation { nothing: override; }; };",
                      "test.idl:1:32: error: 'A' inherits no method 'nothing' to override"},
        Refused{"interface A { implementation { kavInit: override; kavInit: override; }; };",
                      "test.idl:1:51: error: 'kavInit' is already overridden in 'A'"},
        Refused{"interface A { implementation { kavInit: override = x; }; };",
                      "test.idl:1:41: error: 'override' takes no value"},
        Refused{"interface A { void f(); implementation { f: namelookup; f: namelookup; }; };",
                      "test.idl:1:60: error: duplicate modifier 'namelookup' on 'f'"},
        Refused{"interface A { implementation { align = 4; align = 8; }; };",
                      "test.idl:1:43: error: duplicate modifier 'align' on 'A'"},
        Refused{"interface A { implementation { kavInit: migrate = B, class; }; };",
                      "test.idl:1:54: error: an inherited method that is not overridden takes one modifier; override 'kavInit' to give it more"},
        Refused{"interface A { implementation { metaclass = Nope; }; };",
                      "test.idl:1:32: error: unknown metaclass 'Nope': not an interface"},
        Refused{"interface B {};\ninterface A { implementation { metaclass = B; }; };",
                      "test.idl:2:32: error: metaclass 'B' does not derive from 'KAVClass'"},
        Refused{"interface A { implementation { metaclass; }; };",
                      "test.idl:1:32: error: 'metaclass' needs a class name: metaclass = Name;"},
        Refused{"interface A { implementation { companion = Nope; }; };",
                      "test.idl:1:32: error: unknown companion 'Nope': not an interface"},
        Refused{"interface A { implementation { passthru xih = \"x\"; }; };",
                      "test.idl:1:32: error: passthru name 'xih' must read <language>_<kind>[_after], e.g. C_xih"},
        Refused{"interface A { void f(); implementation { releaseorder: f, f; }; };",
                      "test.idl:1:59: error: 'f' appears twice in the release order"},
        Refused{"interface A { void f(); implementation { long f; }; };",
                      "test.idl:1:47: error: redefinition of 'f'"},
        Refused{"interface A { implementation { long q; long q; }; };",
                      "test.idl:1:45: error: redefinition of data member 'q'"}));

INSTANTIATE_TEST_SUITE_P(
    TypesAndConstants, KcRefused,
    ::testing::Values(
        Refused{"const short S = 40000;", "test.idl:1:17: error: constant value out of range for 'short'"},
        Refused{"const long L = 1 / 0;", "test.idl:1:18: error: division by zero in constant expression"},
        Refused{"const long L = \"text\";", "test.idl:1:16: error: a constant of type 'long' needs an integer value"},
        Refused{"const long A = B;\nconst long B = A;", "test.idl:2:16: error: constant 'A' depends on itself"},
        Refused{"const long long L = 9223372036854775807 + 1;",
                      "test.idl:1:41: error: integer overflow in constant expression"},
        Refused{"typedef long T[0];", "test.idl:1:16: error: array size is not a positive integer constant"},
        Refused{"typedef string<-1> T;", "test.idl:1:16: error: string bound is not a positive integer constant"},
        Refused{"struct S { long a; S kids[2]; };", "test.idl:1:20: error: type 'S' refers to itself"},
        Refused{"struct S { long a; long a; };", "test.idl:1:25: error: duplicate member 'a'"},
        Refused{"union U switch (float) { case 1: long a; };",
                      "test.idl:1:17: error: a union discriminator must be an integer, char, boolean or enum type"},
        Refused{"enum E { a, b };\nconst E X = 1;", "test.idl:2:13: error: the value is not an enumerator of 'E'"},
        Refused{"interface A { exception X { long c; }; void f() raises(A); };",
                      "test.idl:1:56: error: 'A' is an interface, not an exception"},
        Refused{"interface A { oneway void f(out long x); };",
                      "test.idl:1:29: error: a oneway operation has only 'in' parameters"}));

INSTANTIATE_TEST_SUITE_P(
    Syntax, KcRefused,
    ::testing::Values(
        // a missing ';' is placed right after the previous token
        Refused{"interface A {\n  void f()\n};\n", "test.idl:2:11: error: expected ';' before '}'"},
        Refused{"interface A {}\ninterface B {};", "test.idl:1:15: error: expected ';' before 'interface'"},
        Refused{"interface 3 {};", "test.idl:1:11: error: expected identifier before numeric constant"},
        Refused{"interface A { void f(long x); };", "test.idl:1:22: error: expected 'in', 'out' or 'inout' before 'long'"},
        Refused{"interface A { void f(in void x); };", "test.idl:1:25: error: 'void' is only allowed as the result of an operation"},
        Refused{"module M { interface A { module N {}; }; };", "test.idl:1:26: error: a module cannot be declared inside an interface"},
        Refused{"interface A {", "test.idl:1:14: error: expected '}' at end of input"},
        Refused{"struct S {};", "test.idl:1:8: error: struct 'S' has no members"},
        Refused{"typedef unsigned T;", "test.idl:1:18: error: expected 'long' before 'T'"},
        Refused{"typedef fixed<3> T;", "test.idl:1:16: error: expected ',' before '>'"},
        Refused{"interface A { implementation { x = ; }; };", "test.idl:1:36: error: expected modifier value before ';'"},
        Refused{"interface A { implementation { a.b; }; };", "test.idl:1:33: error: expected ':', '=' or ';' before '.'"},
        Refused{"interface A { implementation { a::b = 1; }; };", "test.idl:1:32: error: a class modifier name is a simple identifier"},
        Refused{"const long X = (1 + ;", "test.idl:1:21: error: expected expression before ';'"},
        Refused{"}", "test.idl:1:1: error: expected declaration before '}'"}));

INSTANTIATE_TEST_SUITE_P(
    Corba, KcRefused,
    ::testing::Values(
        Refused{"interface A { void f(); void F(); };", "test.idl:1:30: error: 'F' differs only in case from 'f'"},
        Refused{"module m {}; interface M {};", "test.idl:1:24: error: 'M' differs only in case from 'm'"},
        Refused{"struct __s { long a; };", "test.idl:1:8: error: an identifier begins with a letter ('_' only escapes one)"},
        Refused{"interface local {};", "test.idl:1:11: error: expected identifier before 'local'"},
        Refused{"struct S; interface A { void f(in S s); };",
                "test.idl:1:35: error: struct 'S' is declared but never defined"},
        Refused{"interface I {}; valuetype V : I {};",
                "test.idl:1:31: error: a valuetype inherits from value types; 'I' is an interface"},
        Refused{"valuetype V {}; valuetype W supports V {};",
                "test.idl:1:38: error: a valuetype supports interfaces; 'V' is a value type"},
        Refused{"valuetype V {}; interface I : V {};",
                "test.idl:1:31: error: an interface inherits from interfaces; 'V' is a value type"},
        Refused{"abstract valuetype B long;", "test.idl:1:20: error: a value box cannot be abstract, custom or an eventtype"},
        Refused{"valuetype V { factory f(out long x); };", "test.idl:1:25: error: expected 'in' before 'out'"},
        Refused{"interface A { public long x; };", "test.idl:1:15: error: expected declaration before 'public'"},
        Refused{"interface A { valuetype V {}; };", "test.idl:1:15: error: a valuetype cannot be declared inside an interface"},
        Refused{"interface A { attribute long x, y getraises(E); };",
                "test.idl:1:35: error: 'getraises' follows an attribute of one name only"},
        Refused{"interface A { attribute long x getraises(E); };", "test.idl:1:42: error: unknown exception 'E'"},
        Refused{"typeid Nope \"IDL:Nope:1.0\";", "test.idl:1:8: error: 'Nope' was not declared"},
        Refused{"import ::Nope;", "test.idl:1:8: error: '::Nope' was not declared; kc reads declarations from #include files"},
        Refused{"typedef long T; import T;", "test.idl:1:24: error: an import names a module, interface or value type; 'T' is a typedef"},
        Refused{"component C { provides I p; };",
                "test.idl:1:11: error: component 'C' cannot be written: the object model has no components, homes or ports; "
                "declare an interface with its attributes and operations instead (the supported interfaces as its parents)"},
        Refused{"home H manages C {};",
                "test.idl:1:6: error: home 'H' cannot be written: the object model has no components, homes or ports; "
                "declare an interface with its attributes and operations instead (the supported interfaces as its parents)"},
        Refused{"const wchar C = 1;", "test.idl:1:17: error: a constant of type 'wchar' needs a character value"},
        Refused{"typedef fixed F;", "test.idl:1:9: error: 'fixed' needs its digits and scale here: fixed<digits, scale>"},
        Refused{"typedef fixed<3, 4> F;",
                "test.idl:1:9: error: fixed<digits, scale> takes 1 to 31 digits and a scale from 0 to the digits"},
        Refused{"typedef fixed<32, 0> F;",
                "test.idl:1:9: error: fixed<digits, scale> takes 1 to 31 digits and a scale from 0 to the digits"},
        Refused{"const fixed F = 1.5;", "test.idl:1:17: error: a constant of type 'fixed' needs a fixed-point value (1.5d)"},
        Refused{"const fixed F = 1.5d + 2.5;", "test.idl:1:22: error: invalid operands to '+'"},
        Refused{"const string S = \"a\" L\"b\";", "test.idl:1:22: error: a wide and a narrow string cannot be joined"},
        Refused{"const unsigned long long U = -1;", "test.idl:1:30: error: constant value out of range for 'unsigned long long'"},
        Refused{"typedef unsigned double D;", "test.idl:1:18: error: expected 'long' before 'double'"},
        Refused{"interface A_X {};\nmodule A { interface X {}; };",
                "test.idl:2:22: error: classes 'A_X' and 'A::X' have the same name in C, 'A_X' (A_XClassData), so one "
                "of them must be renamed"},
        Refused{"union U switch (long double) { case 1: long a; };",
                "test.idl:1:17: error: a union discriminator must be an integer, char, boolean or enum type"}));

}  // namespace
