// How the CORBA 3 constructs and the name rules land in the host model (which inputs read and
// which are refused, with their messages: tests/diagnostics/valid-* and corba-*).
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
