// What the front end builds in the host model from IDL where no header shows it (the headers of
// tests/idl/header/front_end.idl and scoped_names.idl show scopes, names, types, declarators and
// method order; kc's errors, with their full text, are in tests/diagnostics/).
#include "kc_fixture.h"

namespace {

class KcLowering : public kc_testing::KcTest {};

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

// A class is found by its scoped name and by its C name (the names in the header: the golden
// header of tests/idl/header/scoped_names.idl).
TEST_F(KcLowering, AClassIsFoundByItsScopedAndItsCName) {
    ASSERT_TRUE(compile("module Zoo { interface class {}; module Inner { interface Animal {}; }; };")) << messages()[0];
    for (const auto& [scoped, cName] : {std::pair{"Zoo::_cxx_class", "Zoo_class"}, {"Zoo::Inner::Animal", "Zoo_Inner_Animal"}}) {
        ASSERT_NE(cls(scoped), nullptr) << scoped;
        EXPECT_EQ(cls(cName), cls(scoped)) << cName;
    }
}

// An unknown name keeps its slot (kc only warns).
TEST_F(KcLowering, UnknownReleaseOrderNameKeepsItsSlot) {
    EXPECT_TRUE(compile("interface A { void f(); implementation { releaseorder: f, retired; }; };"));
    std::vector<std::string> items;
    for (ReleaseItem* i = cls("A")->releaseOrder; i; i = i->next) items.push_back(i->name);
    EXPECT_EQ(items, (std::vector<std::string>{"f", "retired"}));
}

}  // namespace
