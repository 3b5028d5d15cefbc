// The parser: the tree it builds and the syntax errors it reports.
#include "kc_fixture.h"

namespace {

using kc::Decl;
using kc::ImplStmt;

class KcParser : public kc_testing::KcTest {
  protected:
    // Parses only (no lowering).
    bool parse(const std::string& text) {
        kc::Preprocessor pp(sources, diag, {});
        pp.openText("test.idl", text);
        kc::Parser parser(pp, diag);
        spec = parser.parse();
        return diag.errors() == 0;
    }
};

TEST_F(KcParser, ModuleInterfaceAndMembers) {
    ASSERT_TRUE(parse(
        "module Zoo {\n"
        "  interface Food;\n"
        "  interface Animal : KAVObject, ::Zoo::Food {\n"
        "    typedef sequence<sequence<long, 3>> Grid, Other[2][3];\n"
        "    readonly attribute string<8> name, nick;\n"
        "    oneway void talk();\n"
        "    long walk(in long steps, inout float speed, out double dist, in long a[10])\n"
        "      raises(Oops) context(\"a\", \"b\");\n"
        "  };\n"
        "};\n"));
    ASSERT_EQ(spec.decls.size(), 1u);
    const Decl& zoo = *spec.decls[0];
    EXPECT_EQ(zoo.kind, Decl::Module);
    ASSERT_EQ(zoo.body.size(), 2u);
    EXPECT_EQ(zoo.body[0]->kind, Decl::Forward);
    const Decl& animal = *zoo.body[1];
    EXPECT_EQ(animal.kind, Decl::Interface);
    ASSERT_EQ(animal.more().parents.size(), 2u);
    EXPECT_EQ(animal.more().parents[1].text(), "::Zoo::Food");
    ASSERT_EQ(animal.body.size(), 4u);

    const Decl& grid = *animal.body[0];
    EXPECT_EQ(grid.kind, Decl::Typedef);
    EXPECT_EQ(grid.type.text(), "sequence<sequence<long>>");
    ASSERT_EQ(grid.more().declarators.size(), 2u);
    EXPECT_EQ(grid.more().declarators[1].dims.size(), 2u);

    const Decl& name = *animal.body[1];
    EXPECT_TRUE(name.more().readonly);
    EXPECT_EQ(name.more().declarators.size(), 2u);

    EXPECT_TRUE(animal.body[2]->oneway);
    const Decl& walk = *animal.body[3];
    ASSERT_EQ(walk.params.size(), 4u);
    EXPECT_EQ(walk.params[1].mode, 3);
    EXPECT_EQ(walk.params[2].mode, 2);
    EXPECT_EQ(walk.params[3].declarator.dims.size(), 1u);
    EXPECT_EQ(walk.raises.size(), 1u);
    EXPECT_EQ(walk.more().context, (std::vector<std::string>{"a", "b"}));
}

TEST_F(KcParser, ImplementationStatements) {
    ASSERT_TRUE(parse(
        "interface A {\n"
        "  implementation {\n"
        "    releaseorder: a, b;\n"
        "    externalprefix = zoo_;\n"
        "    shadow;\n"
        "    align = -4;\n"
        "    long count, table[4];\n"
        "    Point p;\n"
        "    count: staticdata, public;\n"
        "    a, b: descriptor = \"x\" \"y\", select = Zoo::Animal;\n"
        "    passthru C_xih = \"#include <a.h>\" \"\\n#include <b.h>\";\n"
        "  };\n"
        "};\n"));
    const Decl& impl = *spec.decls[0]->body[0];
    ASSERT_EQ(impl.kind, Decl::Implementation);
    ASSERT_EQ(impl.more().impl.size(), 9u);
    const auto& s = impl.more().impl;
    EXPECT_EQ(s[0].kind, ImplStmt::ReleaseOrder);
    EXPECT_EQ(s[0].names().size(), 2u);
    EXPECT_EQ(s[1].kind, ImplStmt::ClassModifier);
    EXPECT_EQ(s[1].modifier().value, "zoo_");
    EXPECT_FALSE(s[2].modifier().hasValue);
    EXPECT_EQ(s[3].modifier().value, "-4");
    EXPECT_EQ(s[4].kind, ImplStmt::DataMember);
    EXPECT_EQ(s[4].data().declarators.size(), 2u);
    EXPECT_EQ(s[5].kind, ImplStmt::DataMember);
    EXPECT_EQ(s[5].data().type.text(), "Point");
    EXPECT_EQ(s[6].kind, ImplStmt::MemberModifiers);
    EXPECT_EQ(s[6].modifiers.size(), 2u);
    EXPECT_EQ(s[7].targets.size(), 2u);
    EXPECT_EQ(s[7].modifiers[0].value, "xy");
    EXPECT_EQ(s[7].modifiers[1].value, "Zoo::Animal");
    EXPECT_EQ(s[8].kind, ImplStmt::Passthru);
    EXPECT_EQ(s[8].passthruText(), "#include <a.h>\n#include <b.h>");
}


TEST_F(KcParser, RecoversAndReportsLaterErrors) {
    EXPECT_FALSE(parse(
        "interface A { void f(; };\n"
        "interface B { long g() };\n"
        "interface C { implementation { x y z; ok: init; }; };\n"));
    EXPECT_EQ(messages().size(), 3u);  // their text: tests/diagnostics/syntax-recovers-*
    ASSERT_EQ(spec.decls.size(), 3u);  // C is kept, with its good statement
    ASSERT_EQ(spec.decls[2]->body.size(), 1u);
    EXPECT_EQ(spec.decls[2]->body[0]->more().impl.size(), 1u);
}

TEST_F(KcParser, DeepNestingIsRefusedNotOverflowed) {
    std::string deep;
    for (int i = 0; i < 20000; ++i) deep += "module m { ";
    const std::string parens = "const long X = " + std::string(20000, '(') + "1" + std::string(20000, ')') + ";";
    for (const std::string& text : {deep, parens}) {
        const size_t before = messages().size();
        EXPECT_FALSE(parse(text));
        ASSERT_GT(messages().size(), before) << text.substr(0, 40);
        EXPECT_NE(messages()[before].find("error: nesting too deep"), std::string::npos) << messages()[before];
    }
}

// A repository-id declaration is told from an operation by what follows its scoped name:
// the parser looks ahead over the whole name, however long, and its look-ahead grows past
// the tokens it holds at first.
TEST_F(KcParser, LookAheadOverLongScopedNames) {
    for (int parts : {1, 7, 8, 40, 300}) {
        std::string name = "M0";
        for (int i = 1; i < parts; ++i) name += "::M" + std::to_string(i);
        ASSERT_TRUE(parse("typeid " + name + " \"IDL:x:1.0\";\nimport " + name + ";\n")) << parts;
        ASSERT_EQ(spec.decls.size(), 2u);
        for (const auto& d : spec.decls) {
            ASSERT_TRUE(d->more().target) << parts;
            EXPECT_EQ(d->more().target->text(), name);
        }
        EXPECT_EQ(spec.decls[0]->kind, Decl::TypeId);
        EXPECT_EQ(spec.decls[0]->more().text, "IDL:x:1.0");
        EXPECT_EQ(spec.decls[1]->kind, Decl::Import);
        spec = {};
    }
}

// The tree's lists keep their elements in one allocation that grows, shrinks and drops
// elements in place: every element must arrive, move and leave whole (long strings, so a
// lost or doubled buffer shows).
TEST(KcSparseList, ElementsSurviveGrowthErasureAndMoves) {
    auto item = [](size_t i) { return "element number " + std::to_string(i) + std::string(20, 'x'); };
    for (size_t n : {0u, 1u, 2u, 3u, 17u, 1000u}) {
        kc::SparseList<std::string> list;
        for (size_t i = 0; i < n; ++i) list.push_back(item(i));
        ASSERT_EQ(list.size(), n);
        list.eraseIf([&](const std::string& s) { return s.size() % 2 == 1 || s == item(1); });
        std::vector<std::string> kept;
        for (size_t i = 0; i < n; ++i)
            if (item(i).size() % 2 == 0 && i != 1) kept.push_back(item(i));
        EXPECT_TRUE(list == kept) << n;
        list.shrink_to_fit();
        kc::SparseList<std::string> moved = std::move(list);
        EXPECT_TRUE(list.empty());
        EXPECT_TRUE(moved == kept) << n;
        if (!moved.empty()) moved.pop_back(), kept.pop_back();
        list.assign(std::make_move_iterator(moved.begin()), std::make_move_iterator(moved.end()));
        EXPECT_TRUE(list == kept) << n;
    }
}

}  // namespace
