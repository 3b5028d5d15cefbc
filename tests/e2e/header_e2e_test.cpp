// kc end to end: a class with an implicit metaclass gets two guarded headers in one file;
// errors 26 and 24 leave no file behind.
#include "support/text.h"

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>

using testing_support::comment;
using testing_support::lines;

namespace {

struct KcRun {
    int status = -1;      // kc's exit status
    std::string output;   // what kc printed (both streams)
    bool wroteFile = false;
    std::string header;   // the .xih it wrote
};

KcRun runKc(const std::string& idl, const std::string& stem, const std::string& options = "") {
    KcRun run;
    char dir[] = "/tmp/header_e2e_XXXXXX";
    if (!mkdtemp(dir)) return run;
    std::string command = std::string("'" KC_PATH "' --emitter '" PLUGIN_PATH "' ") + options +
                          " -o " + dir + " '" TESTS_DIR "/idl/header/" + idl + "' 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return run;
    std::array<char, 4096> chunk{};
    while (size_t n = std::fread(chunk.data(), 1, chunk.size(), pipe))
        run.output.append(chunk.data(), n);
    int wait = pclose(pipe);
    run.status = WIFEXITED(wait) ? WEXITSTATUS(wait) : -1;
    std::ifstream in(std::string(dir) + "/" + stem + ".xih");
    run.wroteFile = in.good();
    std::stringstream text;
    text << in.rdbuf();
    run.header = text.str();
    std::system((std::string("rm -rf ") + dir).c_str());
    return run;
}

std::size_t occurrences(const std::string& text, const std::string& what) {
    std::size_t count = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
    return count;
}

const std::string idlPolicy = comment(
    "-- By default, for classes declared using IDL,\n"
    "-- this emitter doesn't define redispatch/apply stubs.\n"
    "-- Instead, it requests that the KAV kernel produce them.\n"
    "-- To override this default, use the \"notc\" modifier.");

class ImplicitMetaclass : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { run = runKc("pet.idl", "pet"); }
    // One pass's header, from its guard to its closing line.
    static std::string pass(const std::string& guard) {
        std::size_t from = run.header.find("\n#ifndef " + guard + "\n");
        std::string last = "\n#endif       /* " + guard + " */\n";
        std::size_t to = run.header.find(last, from);
        if (from == std::string::npos || to == std::string::npos) return {};
        return run.header.substr(from, to + last.size() - from);
    }
    static KcRun run;
};
KcRun ImplicitMetaclass::run;

TEST_F(ImplicitMetaclass, WritesTwoGuardedHeadersEachAfterThePolicyComment) {
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(run.output, "");
    std::string classPass = pass("Pet_xih");
    std::string metaclassPass = pass("M_Pet_mxih");
    ASSERT_FALSE(classPass.empty()) << run.header;
    ASSERT_FALSE(metaclassPass.empty()) << run.header;
    EXPECT_EQ(run.header, idlPolicy + classPass + idlPolicy + metaclassPass);
    EXPECT_EQ(classPass.rfind(lines({"", "#ifndef Pet_xih", "#define Pet_xih", "",
                                     "#include <kavcls.xh>", "#include <kavcm.xh>", "",
                                     "#ifndef Pet_xh", "#include <pet.xh>", "#endif"}),
                              0),
              0u);
    EXPECT_EQ(metaclassPass.rfind(lines({"", "#ifndef M_Pet_mxih", "#define M_Pet_mxih", ""}) +
                                      comment("Set the scope of methods functions"),
                                  0),
              0u);
}

TEST_F(ImplicitMetaclass, EachPassTakesItsOwnMembers) {
    std::string classPass = pass("Pet_xih");
    std::string metaclassPass = pass("M_Pet_mxih");
    EXPECT_NE(classPass.find(lines({"typedef struct {", "\tlong legs;", "} PetData;"})),
              std::string::npos);
    EXPECT_NE(metaclassPass.find(lines({"typedef struct {", "\tlong population;", "} M_PetData;"})),
              std::string::npos);
    EXPECT_NE(classPass.find(comment("New Method: walk")), std::string::npos);
    EXPECT_EQ(classPass.find("New Method: census"), std::string::npos);
    EXPECT_NE(metaclassPass.find(comment("New Method: census") +
                                 "KAV_Scope long KAVLINK census(M_Pet *kavSelf,\n\t\tEnvironment *ev);\n"),
              std::string::npos);
    EXPECT_NE(classPass.find(comment("Overridden method: kavInit")), std::string::npos);
    EXPECT_EQ(occurrences(run.header, "#include <kavcls.xh>"), 1u);
    EXPECT_NE(classPass.find("WIN32_DLLEXPORT KAVClass * KAVLINK PetNewClass ("), std::string::npos);
    EXPECT_NE(metaclassPass.find("WIN32_DLLEXPORT KAVClass * KAVLINK M_PetNewClass ("),
              std::string::npos);
    EXPECT_EQ(occurrences(run.header, "\n#endif /* Primary Implementation Support */\n"), 2u);
}

TEST(HeaderErrors, OverrideOfAProcedureIsError26AndWritesNoFile) {
    KcRun run = runKc("override_procedure.idl", "override_procedure");
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_EQ(run.output, TESTS_DIR "/idl/header/override_procedure.idl:16: error: cannot override "
                          "method \"count\": it is declared as a procedure or as non-static [26]\n");
    EXPECT_FALSE(run.wroteFile);
}

TEST(HeaderErrors, ApplyWithoutValueIsFatal24WhenApplyStubsAreWritten) {
    KcRun run = runKc("bare_apply.idl", "bare_apply", "-m notc");
    EXPECT_EQ(run.status, 2) << run.output;
    EXPECT_EQ(run.output, TESTS_DIR "/idl/header/bare_apply.idl:5: fatal error: the \"apply\" "
                          "modifier needs a value: the name of the apply stub to use [24]\n");
    EXPECT_FALSE(run.wroteFile);
}

// The runtime makes the stubs of an IDL class by default, so no stub name is asked for.
TEST(HeaderErrors, ApplyWithoutValueIsNotAskedForWithoutApplyStubs) {
    KcRun run = runKc("bare_apply.idl", "bare_apply");
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_TRUE(run.wroteFile);
}

}  // namespace
