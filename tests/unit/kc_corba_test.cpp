// How the CORBA 3 constructs and the name rules land in the host model (which inputs read and
// which are refused, with their messages: tests/diagnostics/valid-* and corba-*).
#include "kc_fixture.h"
#include "kavc/store.h"

namespace {

class KcCorba : public kc_testing::KcTest {
  protected:
    static std::vector<std::string> dataWith(Entry* c) {  // "name:public" for each data member
        std::vector<std::string> out;
        for (Entry* d = c->data; d; d = d->next)
            out.push_back(std::string(d->name) + (kavtgetatt(d, "public") ? ":public" : "") +
                          (kavtgetatt(d, "private") ? ":private" : ""));
        return out;
    }
};

// Parents, state members, factories and boxes show in the header of
// tests/idl/header/front_end.idl; the visibility of state members shows in ZDL headers only.
TEST_F(KcCorba, ValueTypeStateKeepsItsVisibility) {
    ASSERT_TRUE(compile("valuetype Coin { public long face; private string serial, marks[2]; };\n"
                        "valuetype Name string;\n"))
        << messages()[0];
    EXPECT_EQ(dataWith(cls("Coin")), (std::vector<std::string>{"face:public", "serial:private", "marks:private"}));
    EXPECT_EQ(dataWith(cls("Name")), (std::vector<std::string>{"value:public"}));  // a box holds one value
}

TEST_F(KcCorba, KeywordsAreEscapedInReleaseOrdersAndStructs) {
    ASSERT_TRUE(compile(
        "interface delete { long new(); attribute long namespace;\n"
        "  implementation { long class; releaseorder: new, class, _get_namespace; }; };\n"
        "typedef long int;\n"
        "struct S { long new; int this; };\n"))
        << messages()[0];
    // The names in the header: tests/idl/header/front_end.idl; the release order names them as in IDL.
    Entry* c = cls("_cxx_delete");
    ASSERT_NE(c, nullptr);
    EXPECT_STREQ(c->releaseOrder->name, "_cxx_new");
    EXPECT_EQ(c->releaseOrder[2].entry, kavc::findMethod(c, "_get__cxx_namespace"));
    std::vector<std::string> members;
    for (TypeCode& tc : kavc::detail::model().types)
        if (tc.cName == "S")
            for (const auto& member : tc.members) members.push_back(member.first);
    EXPECT_EQ(members, (std::vector<std::string>{"_cxx_new", "_cxx_this"}));
}

}  // namespace
