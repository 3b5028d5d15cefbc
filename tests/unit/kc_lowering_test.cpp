// What the front end builds in the host model from IDL where no header shows it (the headers of
// tests/idl/header/front_end.idl and scoped_names.idl show scopes, names, types, declarators and
// method order; kc's errors, with their full text, are in tests/diagnostics/).
#include "kc_fixture.h"
#include "kc/lowering.h"

namespace {

class KcLowering : public kc_testing::KcTest {};

// The lowering's name maps: a name added again keeps its first value unless set; names that
// differ only after a shared start, and far more names than the first table holds, stay apart.
TEST(KcNameMap, FirstValueKeptSetReplacesManyNamesApart) {
    kc::lowering::NameMap<int> map;
    EXPECT_EQ(map.find("a"), nullptr);
    std::vector<std::string> names;
    for (int i = 0; i < 1000; ++i) names.push_back("member" + std::to_string(i));
    for (int i = 0; i < 1000; ++i) EXPECT_TRUE(map.insert(names[i], i).second);
    EXPECT_FALSE(map.insert(names[7], -1).second);
    map.set(names[9], -9);
    for (int i = 0; i < 1000; ++i) {
        const int* held = map.find(names[i]);
        ASSERT_NE(held, nullptr) << names[i];
        EXPECT_EQ(*held, i == 9 ? -9 : i) << names[i];
    }
    EXPECT_EQ(map.find("member"), nullptr);
    EXPECT_EQ(map.find("member1000"), nullptr);
    map.clear();
    EXPECT_EQ(map.find(names[0]), nullptr);
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

// A repeated parameter name is reported at each repetition, with the first one's place, in a
// short parameter list and in a long one alike.
TEST_F(KcLowering, ARepeatedParameterPointsAtTheFirst) {
    std::string text;
    std::vector<std::string> expected;
    for (int count : {5, 12}) {
        // every other parameter is called 'a'
        text += "interface A" + std::to_string(count) + " { void f(";
        std::string first;
        for (int i = 0; i < count; ++i) {
            text += i ? ", in long " : "in long ";
            const std::string col = std::to_string(text.size() + 1);
            text += i % 2 ? "p" + std::to_string(i) : "a";
            if (i == 0) first = col;
            if (i % 2 == 0 && i > 0) {
                expected.push_back("test.idl:1:" + col + ": error: redefinition of parameter 'a'");
                expected.push_back("test.idl:1:" + first + ": note: previous declaration of 'a' was here");
            }
        }
        text += "); }; ";
    }
    EXPECT_FALSE(compile(text));
    EXPECT_EQ(messages(), expected);
}

// A name a class inherits is searched in its parents depth first, in the order listed, each
// ancestor once: the first parent's ancestors come before the second parent.
// Each class keeps what its ancestors gave for a name (found or not), and what a simple name
// found from a scope is kept once: a name used again, in a class below, or from another scope
// reads what a first search there finds. A search stops at an ancestor that kept the name, and
// goes on to the next parent where the ancestor found nothing (Left kept no V; Other has one).
TEST_F(KcLowering, InheritedNamesAreSearchedDepthFirst) {
    ASSERT_TRUE(compile("typedef double G; interface Root { typedef short T; typedef short U; };"
                        "typedef char V; interface Left : Root { V lv(); }; interface Right : Root { typedef long T; };"
                        "interface Other { typedef long U; typedef float V; };"
                        "interface Both : Left, Right, Other { T t(); U u(); V v(); G g(); T t2(); G g2(); };"
                        "interface Below : Both { typedef char G; G g3(); T t3(); }; interface Side : Right { T t4(); };"
                        "module M { typedef long G; interface InM : Both { G g4(); T t5(); G g5(); }; };"
                        "interface After { G g6(); };"))
        << messages()[0];
    for (const auto& [owner, method, type] :
         {std::tuple{"Left", "lv", "V"}, {"Both", "t", "Root_T"}, {"Both", "u", "Root_U"}, {"Both", "v", "Other_V"}, {"Both", "g", "G"},
          {"Both", "t2", "Root_T"}, {"Both", "g2", "G"}, {"Below", "g3", "Below_G"}, {"Below", "t3", "Root_T"},
          {"Side", "t4", "Right_T"}, {"M_InM", "g4", "M_G"}, {"M_InM", "t5", "Root_T"}, {"M_InM", "g5", "M_G"},
          {"After", "g6", "G"}}) {
        Entry* m = kavc::findMethod(cls(owner), method);
        ASSERT_NE(m, nullptr) << method;
        EXPECT_STREQ(m->returnTypeText, type) << method;
    }
}

// Hierarchies made here, deeper and wider than any stack of calls would take: parents are
// ordered and a metaclass's ancestry is checked with explicit stacks, each class once (a
// lattice of 1,500 layers has 2^1500 paths to its top).
std::string lattice(const char* top) {
    std::string text = std::string("interface L0a : ") + top + " {}; interface L0b : " + top + " {};\n";
    for (int i = 1; i < 1500; ++i) {
        const std::string above = std::to_string(i - 1);
        for (const char* side : {"a", "b"})
            text += "interface L" + std::to_string(i) + side + " : L" + above + "a, L" + above + "b {};\n";
    }
    return text + "interface User { implementation { metaclass = L1499a; }; };\n";
}

// Each class before its parent: ordering starts from the deepest class, and reports the
// first 20 classes found too deep (the limit of errors).
std::string leafFirstChain() {
    std::string text;
    for (int i = 99999; i > 0; --i) text += "interface C" + std::to_string(i) + " : C" + std::to_string(i - 1) + " {};\n";
    return text + "interface C0 {};\n";
}

struct DeepCase {
    const char* name;
    std::string (*text)();
    int errors;
    const char* first;  // the first message
};

class KcDeepHierarchy : public kc_testing::KcTest, public ::testing::WithParamInterface<DeepCase> {};

TEST_P(KcDeepHierarchy, IsWalkedWithoutRecursion) {
    const DeepCase& c = GetParam();
    EXPECT_EQ(compile(c.text()), c.errors == 0);
    EXPECT_EQ(diag.errors(), c.errors);
    if (c.errors) {
        ASSERT_FALSE(messages().empty());
        EXPECT_EQ(messages()[0], c.first);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, KcDeepHierarchy,
    ::testing::Values(DeepCase{"LatticeOnKAVClass", [] { return lattice("KAVClass"); }, 0, ""},
                      DeepCase{"LatticeOnKAVObject", [] { return lattice("KAVObject"); }, 1,
                               "test.idl:3000:35: error: metaclass 'L1499a' does not derive from 'KAVClass'"},
                      DeepCase{"LeafFirstChain", leafFirstChain, 20, "test.idl:2001:11: error: inheritance too deep"}),
    [](const ::testing::TestParamInfo<DeepCase>& info) { return std::string(info.param.name); });
