// kc on a diamond hierarchy: parent call macros and their resolution in <Class>NewClass.
#include "kc_run.h"
#include "support/text.h"

#include <gtest/gtest.h>

using testing_support::lines;

namespace {

// The part of the header written for one pass (from its include guard to the next).
std::string section(const std::string& header, const std::string& guard) {
    size_t from = header.find("#ifndef " + guard + "\n");
    if (from == std::string::npos) return {};
    return header.substr(from, header.find("#endif       /* " + guard + " */", from) - from);
}

TEST(ParentsEndToEnd, DiamondGetsCallMacrosAndResolutionInBothPasses) {
    const kc_e2e::Compiled compiled = kc_e2e::compileIdl("parents/diamond");
    ASSERT_EQ(compiled.run.status, 0) << compiled.run.err;
    EXPECT_EQ(compiled.run.out + compiled.run.err, "");
    const std::string& header = compiled.header;

    // Both reaches Base through Left and Right; statements run last override first.
    std::string both = section(header, "Both_xih");
    EXPECT_NE(both.find(lines({"#define Both_parents_talk(kavSelf,ev,loud) (\\",
                               "   Both_parent_Left_talk(kavSelf,ev,loud),\\",
                               "   Both_parent_Right_talk(kavSelf,ev,loud))"})),
              std::string::npos)
        << both;
    EXPECT_NE(both.find(lines({"\tkavParentNumResolve(BothCClassData.parentMtab, 2, BaseClassData.walk);",
                               "    Both_parent_Left_talk_resolved = ",
                               "\tkavParentNumResolve(BothCClassData.parentMtab, 1, BaseClassData.talk);",
                               "    Both_parent_Right_talk_resolved = ",
                               "\tkavParentNumResolve(BothCClassData.parentMtab, 2, BaseClassData.talk);",
                               "    return result;"})),
              std::string::npos)
        << both;

    // In the metaclass pass Left and Right both stand for KAVClass; the host lists the first.
    std::string meta = section(header, "M_Both_mxih");
    EXPECT_NE(meta.find(lines({"#define M_Both_parents_both_census(kavSelf,ev) (\\",
                               "   M_Both_parent_KAVClass_both_census(kavSelf,ev))"})),
              std::string::npos)
        << header;
    EXPECT_NE(meta.find(lines({"    M_Both_parent_KAVClass_both_census_resolved = ",
                               "\tkavParentNumResolve(M_BothCClassData.parentMtab, 1, M_BaseClassData.census);"})),
              std::string::npos)
        << meta;
}

}  // namespace

namespace {

// Two unrelated parents introduce `move` (allowed with -m nodupcheck); the host gives one name
// one string, so the child's override finds it in both. Made here: the compile check reads
// every file of tests/idl without that option.
TEST(ParentsEndToEnd, ANameTwoParentsIntroduceIsCalledInBoth) {
    kc_e2e::ScratchDir dir;
    std::ofstream(dir / "shared_name.idl") << "#include <kavobj.idl>\n"
                                              "interface Walker : KAVObject { void move(in long steps); };\n"
                                              "interface Swimmer : KAVObject { void move(in long steps); };\n"
                                              "interface Duck : Walker, Swimmer {\n"
                                              "    implementation { move: override; };\n"
                                              "};\n";
    auto run = kc_e2e::runKc({"--emitter", PLUGIN_PATH, "-m", "nodupcheck", "-o", dir.path(), dir / "shared_name.idl"},
                             dir.path());
    ASSERT_EQ(run.status, 0) << run.err;
    std::string duck = section(kc_e2e::readText(dir / "shared_name.xih"), "Duck_xih");
    EXPECT_NE(duck.find(lines({"#define Duck_parents_move(kavSelf,ev,steps) (\\",
                               "   Duck_parent_Walker_move(kavSelf,ev,steps),\\",
                               "   Duck_parent_Swimmer_move(kavSelf,ev,steps))"})),
              std::string::npos)
        << duck;
    EXPECT_NE(duck.find(lines({"    Duck_parent_Walker_move_resolved = ",
                               "\tkavParentNumResolve(DuckCClassData.parentMtab, 1, WalkerClassData.move);",
                               "    Duck_parent_Swimmer_move_resolved = ",
                               "\tkavParentNumResolve(DuckCClassData.parentMtab, 2, WalkerClassData.move);"})),
              std::string::npos)
        << duck;
}

}  // namespace
