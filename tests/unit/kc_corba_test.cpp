// The CORBA 3 constructs and the name rules: what reads, what is refused and how each
// construct lands in the host model.
#include "kc_fixture.h"
#include "kavc/store.h"

namespace {

class KcCorba : public kc_testing::KcTest {
  protected:
    static std::string declarator(Entry* method, int i) { return kavtnthArg(method, i)->declarator; }
    static std::vector<std::string> dataWith(Entry* c) {  // "name:public" for each data member
        std::vector<std::string> out;
        for (Entry* d = c->data; d; d = d->next)
            out.push_back(std::string(d->name) + (kavtgetatt(d, "public") ? ":public" : "") +
                          (kavtgetatt(d, "private") ? ":private" : ""));
        return out;
    }
};

// Each of these reads without a message.
class KcCorbaValid : public KcCorba, public ::testing::WithParamInterface<const char*> {};

TEST_P(KcCorbaValid, Reads) {
    EXPECT_TRUE(compile(GetParam()));
    EXPECT_EQ(messages(), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(
    Constructs, KcCorbaValid,
    ::testing::Values(
        "typedef unsigned long long U; typedef long double D; typedef wchar W; typedef wstring<4> S;",
        "typedef fixed<31, 0> F; const fixed G = 10.5d / 2d; const fixed H = 1d;",
        "const wchar C = L'x'; const wstring S = L\"a\\u20acb\"; const wchar E = L'\\u00e9';",
        "const unsigned long long B = 0x7FFFFFFFFFFFFFFF; const long double LD = 1.5;",
        "native Handle; interface A { void f(in Handle h); };",
        "interface A { Object o(); ValueBase v(); CORBA::TypeCode t(); CORBA::Object p(in ::CORBA::Principal x); };",
        "module CORBA { typedef string Identifier; }; typedef CORBA::Identifier I;",  // the module reopens
        "struct S; union U; struct S { long a; }; union U switch (long) { case 1: S s; };",
        // a type that contains itself through a sequence
        "struct Node; typedef sequence<Node> Nodes; struct Node { Nodes kids; sequence<Node, 2> pair; };"
        "union T switch (boolean) { case TRUE: sequence<T> branches; case FALSE: long leaf; };",
        "struct Outer { struct Inner { long x; } in1; enum Color { red } c; }; typedef Inner I; typedef Color K;",
        "union U switch (enum E { a, b }) { case a: struct P { long x; } p; case b: long n; }; typedef E X;",
        "struct _struct { long _long; }; typedef _struct S;",  // escaped identifiers
        "abstract interface P {}; local interface L : P {}; interface A : P {}; abstract interface F;",
        "valuetype V; valuetype B long; abstract valuetype AV { void f(); }; interface I {};"
        "valuetype V : truncatable AV supports I { public long a; private string b, c[2]; factory make(in long a); };",
        "custom valuetype C { public long x; }; eventtype E { private short s; }; abstract eventtype AE {};",
        "exception E {}; interface A { attribute long x getraises(E) setraises(E); readonly attribute long y raises(E); };",
        "interface A {}; typeid A \"IDL:A:1.0\"; typeprefix A \"x.org\"; import ::A; import \"IDL:B:1.0\";",
        "interface A { void implementation(); attribute long implementation2; }; typedef long implementation;",
        "interface A { void home(); void component(); long eventtype(in long provides, in long uses); };",
        "#pragma prefix \"omg.org\"\n#pragma ID A \"IDL:A:1.0\"\n#pragma version A 2.3\ninterface A {};",
        "\xEF\xBB\xBFinterface A {};",  // a UTF-8 byte-order mark
        // classes of one simple name in different modules: their C names differ
        "module A { interface X {}; };\nmodule B { interface X {}; };"));





TEST_F(KcCorba, NamesDifferingInCaseNoteTheFirstDeclaration) {
    EXPECT_FALSE(compile("struct Point { long x; };\n\ntypedef long point;\n"));
    EXPECT_EQ(messages(), (std::vector<std::string>{"test.idl:3:14: error: 'point' differs only in case from 'Point'",
                                                    "test.idl:1:8: note: 'Point' was declared here"}));
}

TEST_F(KcCorba, ValueTypesAreClasses) {
    ASSERT_TRUE(compile(
        "interface Printable { string print(); };\n"
        "abstract valuetype Base { long size(); };\n"
        "valuetype Coin : Base supports Printable {\n"
        "  public long face; private string serial, marks[2];\n"
        "  factory mint(in long face);\n"
        "};\n"
        "valuetype Name string;\n"
        "local interface Clock : Printable {};\n"))
        << messages()[0];
    Entry* coin = cls("Coin");
    ASSERT_NE(coin, nullptr);
    EXPECT_EQ(chain(coin->parents), (std::vector<std::string>{"Base", "Printable"}));
    EXPECT_EQ(dataWith(coin), (std::vector<std::string>{"face:public", "serial:private", "marks:private"}));
    EXPECT_EQ(std::string(kavc::findMethod(coin, "marks") ? "method" : ""), "");
    Entry* mint = kavc::findMethod(coin, "mint");
    ASSERT_NE(mint, nullptr);
    EXPECT_STREQ(mint->returnTypeText, "Coin*");  // a factory makes a value of its type
    EXPECT_EQ(declarator(mint, 0), "long face");
    EXPECT_EQ(dataWith(cls("Name")), (std::vector<std::string>{"value:public"}));  // a box holds one value
    EXPECT_EQ(chain(cls("Clock")->parents), (std::vector<std::string>{"Printable"}));
    EXPECT_EQ(toEmit.size(), 5u);  // Printable, Base, Coin, Name, Clock
}

TEST_F(KcCorba, NewerTypesReachTheHostAsTheirCSpelling) {
    ASSERT_TRUE(compile(
        "module M {\n"
        "  native Cookie;\n"
        "  typedef fixed<9, 2> Amount;\n"
        "  interface A {\n"
        "    Object f(in unsigned long long a, in long double b, in wchar c, in wstring<3> d,\n"
        "             in fixed<5, 1> e, in Cookie g, in Amount h, in CORBA::TypeCode i, in ValueBase j);\n"
        "  };\n"
        "};\n"))
        << messages()[0];
    Entry* f = kavc::findMethod(cls("M::A"), "f");
    const char* expected[] = {"unsigned long long a", "long double b", "wchar c", "wstring d", "fixed_5_1* e",
                              "M_Cookie g", "M_Amount* h", "TypeCode i", "KAVObject* j"};
    for (int i = 0; i < 9; ++i) EXPECT_EQ(declarator(f, i), expected[i]) << i;
    EXPECT_STREQ(f->returnTypeText, "KAVObject*");
}

TEST_F(KcCorba, KeywordsAndImplicitArgumentNamesAreEscaped) {
    ASSERT_TRUE(compile(
        "interface delete {\n"
        "  long new(in long this, in long ev, in long ctx, in long kavSelf, in long self);\n"
        "  attribute long namespace;\n"
        "  implementation { long class; new: procedure; releaseorder: new, class, _get_namespace; };\n"
        "};\n"
        "typedef long int;\n"
        "struct S { long new; int this; };\n"))
        << messages()[0];
    Entry* c = cls("_cxx_delete");
    ASSERT_NE(c, nullptr);
    Entry* m = kavc::findMethod(c, "_cxx_new");
    ASSERT_NE(m, nullptr);
    EXPECT_NE(kavtgetatt(m, "procedure"), nullptr) << "the implementation section names it as in IDL";
    std::vector<std::string> params;
    for (Entry* p = m->params; p; p = p->next) params.push_back(p->name);
    EXPECT_EQ(params, (std::vector<std::string>{"_cxx_this", "_cxx_ev", "_cxx_ctx", "_cxx_kavSelf", "self"}));
    EXPECT_NE(kavc::findMethod(c, "_get__cxx_namespace"), nullptr);
    EXPECT_EQ(dataWith(c), (std::vector<std::string>{"_cxx_class"}));
    EXPECT_STREQ(c->releaseOrder->name, "_cxx_new");
    EXPECT_EQ(c->releaseOrder[2].entry, kavc::findMethod(c, "_get__cxx_namespace")) << "an accessor named as in IDL";
    std::vector<std::string> members;
    for (TypeCode& tc : kavc::detail::model().types)
        if (tc.cName == "S")
            for (const auto& member : tc.members) members.push_back(member.first);
    EXPECT_EQ(members, (std::vector<std::string>{"_cxx_new", "_cxx_this"}));
}

}  // namespace
