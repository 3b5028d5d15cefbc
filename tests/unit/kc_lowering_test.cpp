// What the front end builds in the host model from IDL where no header shows it (the header of
// tests/idl/header/front_end.idl shows scopes, names, types, declarators and method order; kc's
// errors, with their full text, are in tests/diagnostics/).
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

// An unknown name keeps its slot (kc only warns).
TEST_F(KcLowering, UnknownReleaseOrderNameKeepsItsSlot) {
    EXPECT_TRUE(compile("interface A { void f(); implementation { releaseorder: f, retired; }; };"));
    std::vector<std::string> items;
    for (ReleaseItem* i = cls("A")->releaseOrder; i; i = i->next) items.push_back(i->name);
    EXPECT_EQ(items, (std::vector<std::string>{"f", "retired"}));
}

}  // namespace
