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

// The runtime's macros would take apart any name the header writes; names that only look like
// one stay as written.
TEST_F(KcCorba, TheRuntimesMacrosAreEscapedAsKeywordsAre) {
    ASSERT_TRUE(compile("interface KAVLINK : KAVObject {\n"
                        "  attribute long KAVDLINK;\n"
                        "  void KAVEXTERN(in long WIN32_DLLEXPORT, in long KAVLINKS, in long kavlink);\n"
                        "  void KAV_IgnoreWarning(in long KAVMethodDebug);\n"
                        "};\n"))
        << messages()[0];
    Entry* c = cls("_cxx_KAVLINK");
    ASSERT_NE(c, nullptr);
    std::vector<std::string> names;
    for (Entry* m = c->methods; m; m = m->next) {
        names.push_back(m->name);
        for (Entry* p = m->params; p; p = p->next) names.push_back(std::string("  ") + p->name);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"_get__cxx_KAVDLINK", "_set__cxx_KAVDLINK", "  _cxx_KAVDLINK",
                                               "_cxx_KAVEXTERN", "  _cxx_WIN32_DLLEXPORT", "  KAVLINKS", "  kavlink",
                                               "_cxx_KAV_IgnoreWarning", "  _cxx_KAVMethodDebug"}));
}

}  // namespace
