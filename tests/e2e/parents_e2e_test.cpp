// kc on a diamond hierarchy: parent call macros and their resolution in <Class>NewClass.
#include "support/text.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <regex>
#include <set>
#include <sstream>

using testing_support::lines;

namespace {

struct KcRun {
    int status = -1;
    std::string output;  // what kc printed (both streams)
    std::string header;  // the .xih it wrote
};

KcRun runKc(const std::string& idl, const std::string& stem) {
    KcRun run;
    char dir[] = "/tmp/parents_e2e_XXXXXX";
    if (!mkdtemp(dir)) return run;
    std::string command = std::string("'" KC_PATH "' --emitter '" PLUGIN_PATH "' -o ") + dir + " '" +
                          TESTS_DIR "/idl/" + idl + "' 2>&1";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    std::array<char, 4096> chunk{};
    while (size_t n = std::fread(chunk.data(), 1, chunk.size(), pipe.get())) run.output.append(chunk.data(), n);
    run.status = pclose(pipe.release());
    std::ifstream in(std::string(dir) + "/" + stem + ".xih");
    std::stringstream text;
    text << in.rdbuf();
    run.header = text.str();
    std::system((std::string("rm -rf ") + dir).c_str());
    return run;
}

// The part of the header written for one class pass (from its include guard to the next).
std::string section(const std::string& header, const std::string& guard) {
    size_t from = header.find("#ifndef " + guard + "\n");
    if (from == std::string::npos) return {};
    size_t to = header.find("#endif       /* " + guard + " */", from);
    return header.substr(from, to == std::string::npos ? std::string::npos : to - from);
}

class DiamondTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { run = runKc("parents/diamond.idl", "diamond"); }
    static KcRun run;
};
KcRun DiamondTest::run;

TEST_F(DiamondTest, CompilesCleanly) {
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(run.output, "");
    ASSERT_FALSE(run.header.empty());
}

TEST_F(DiamondTest, BothParentsGetCallMacrosAndOneListMacro) {
    std::string both = section(run.header, "Both_xih");
    EXPECT_NE(both.find(lines({
                  "typedef void (KAVLINK *kavTD_xih_Both_talk)(Base *kavSelf, Environment *ev, long loud);",
                  "/* define the parent method call macro */",
                  "static kavMethodProc* Both_parent_Left_talk_resolved;",
                  "#define Both_parent_Left_talk(kavSelf,ev,loud) \\",
                  "  ((( kavTD_xih_Both_talk ) \\",
                  "      Both_parent_Left_talk_resolved) \\",
                  "\t(kavSelf,ev,loud))",
                  "/* define a variety of (possibly ambiguous) short forms */",
                  "#ifndef KAVGD_pmc_parent_Left_talk",
                  "  #ifdef parent_Left_talk",
                  "    #define KAVGD_pmc_parent_Left_talk",
                  "    #undef parent_Left_talk",
                  "  #else",
                  "    #define parent_Left_talk Both_parent_Left_talk",
                  "  #endif",
                  "#endif",
                  "/* define the parent method call macro */",
                  "static kavMethodProc* Both_parent_Right_talk_resolved;",
                  "#define Both_parent_Right_talk(kavSelf,ev,loud) \\",
                  "  ((( kavTD_xih_Both_talk ) \\",
                  "      Both_parent_Right_talk_resolved) \\",
                  "\t(kavSelf,ev,loud))",
                  "/* define a variety of (possibly ambiguous) short forms */",
                  "#ifndef KAVGD_pmc_parent_Right_talk",
                  "  #ifdef parent_Right_talk",
                  "    #define KAVGD_pmc_parent_Right_talk",
                  "    #undef parent_Right_talk",
                  "  #else",
                  "    #define parent_Right_talk Both_parent_Right_talk",
                  "  #endif",
                  "#endif",
                  "#define Both_parents_talk(kavSelf,ev,loud) (\\",
                  "   Both_parent_Left_talk(kavSelf,ev,loud),\\",
                  "   Both_parent_Right_talk(kavSelf,ev,loud))"})),
              std::string::npos)
        << both;
    // Two parents: no unqualified short form.
    EXPECT_EQ(both.find("#define parent_talk "), std::string::npos);
}

TEST_F(DiamondTest, ResolutionRunsLastOverrideFirstInParentOrder) {
    std::string both = section(run.header, "Both_xih");
    EXPECT_NE(both.find(lines({
                  "    result = (KAVClass*) ((void*)(kavBuildClass(3,&BothSCI, kavntmajorVersion, kavntminorVersion)));",
                  "    Both_parent_Left_walk_resolved = ",
                  "\tkavParentNumResolve(BothCClassData.parentMtab, 1, BaseClassData.walk);",
                  "    Both_parent_Right_walk_resolved = ",
                  "\tkavParentNumResolve(BothCClassData.parentMtab, 2, BaseClassData.walk);",
                  "    Both_parent_Left_talk_resolved = ",
                  "\tkavParentNumResolve(BothCClassData.parentMtab, 1, BaseClassData.talk);",
                  "    Both_parent_Right_talk_resolved = ",
                  "\tkavParentNumResolve(BothCClassData.parentMtab, 2, BaseClassData.talk);",
                  "    return result;"})),
              std::string::npos)
        << both;
}

TEST_F(DiamondTest, MetaclassPassUsesThePrefixAndListsKavClassOnce) {
    std::string meta = section(run.header, "M_Both_mxih");
    ASSERT_FALSE(meta.empty()) << run.header;
    // Left and Right both stand for KAVClass; the host lists only the first.
    EXPECT_NE(meta.find("static kavMethodProc* M_Both_parent_KAVClass_both_census_resolved;\n"), std::string::npos);
    EXPECT_NE(meta.find("    #define parent_KAVClass_census M_Both_parent_KAVClass_both_census\n"), std::string::npos);
    EXPECT_NE(meta.find(lines({"#define M_Both_parents_both_census(kavSelf,ev) (\\",
                               "   M_Both_parent_KAVClass_both_census(kavSelf,ev))"})),
              std::string::npos);
    EXPECT_NE(meta.find(lines({"    M_Both_parent_KAVClass_both_census_resolved = ",
                               "\tkavParentNumResolve(M_BothCClassData.parentMtab, 1, M_BaseClassData.census);"})),
              std::string::npos)
        << meta;
}

// Every statement assigns a pointer that the same pass declared.
TEST_F(DiamondTest, EveryResolvedPointerIsDeclared) {
    for (const char* guard : {"Left_xih", "Both_xih", "M_Both_mxih"}) {
        std::string text = section(run.header, guard);
        std::set<std::string> declared, assigned;
        std::regex declaration("static kavMethodProc\\* (\\w+);");
        std::regex assignment("\n    (\\w+_resolved) = \n");
        for (std::sregex_iterator it(text.begin(), text.end(), declaration), end; it != end; ++it)
            declared.insert((*it)[1]);
        for (std::sregex_iterator it(text.begin(), text.end(), assignment), end; it != end; ++it)
            assigned.insert((*it)[1]);
        EXPECT_FALSE(assigned.empty()) << guard;
        EXPECT_EQ(assigned, declared) << guard;
    }
}

}  // namespace
