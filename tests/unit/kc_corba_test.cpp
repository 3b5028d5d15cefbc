// How the CORBA 3 constructs and the name rules land in the host model (which inputs read and
// which are refused, with their messages: tests/diagnostics/valid-* and corba-*).
#include "kc_fixture.h"
#include "kavc/store.h"

namespace {

class KcCorba : public kc_testing::KcTest {};

// Parents, state members and their visibility, factories, boxes and keywords in classes and
// release orders show in the headers of tests/idl/header/front_end.idl; struct members in none.
TEST_F(KcCorba, KeywordsAreEscapedInStructs) {
    ASSERT_TRUE(compile("typedef long int;\nstruct S { long new; int this; };\n")) << messages()[0];
    std::vector<std::string> members;
    for (TypeCode& tc : kavc::detail::model().types)
        if (tc.cName == "S")
            for (const auto& member : tc.members) members.push_back(member.first);
    EXPECT_EQ(members, (std::vector<std::string>{"_cxx_new", "_cxx_this"}));
}

}  // namespace
