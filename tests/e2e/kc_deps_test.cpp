// kc's dependency rules (-M, -MD, -MF, -MT, -MP), -o -, and where kc looks for its plug-in.
#include "kc_run.h"

#include <gtest/gtest.h>

namespace {

using kc_e2e::idl;
using kc_e2e::readText;
using kc_e2e::runKc;
using kc_e2e::ScratchDir;

TEST(KcDeps, RuleNamesTheInputAndEveryIncludedFile) {
    const std::string input = idl("valid/uses_lib.idl"), lib = idl("valid/lib");
    const std::string rule = input + " \\\n  " + lib + "/base.idl\n";
    const struct {
        std::vector<std::string> args;
        std::string depFile;  // empty: the rule is on standard output
        std::string expected;
        bool header;
    } table[] = {
        {{"-M"}, "", "uses_lib.xih: " + rule, false},
        {{"-M", "-o", "out", "-MT", "a b", "-MT", "$x#"}, "", "a\\ b $$x\\#: " + rule, false},
        {{"-M", "-MF", "deps.mk", "-MP"}, "deps.mk", "uses_lib.xih: " + rule + "\n" + lib + "/base.idl:\n", false},
        {{"-MD", "-o", "out"}, "out/uses_lib.d", "out/uses_lib.xih: " + rule, true},
        {{"-MD", "-MFout.d", "-MTgen/x.xih", "-o", "out"}, "out.d", "gen/x.xih: " + rule, true},
        {{"-MD", "-o", "-"}, "uses_lib.d", "uses_lib.xih: " + rule, false},
    };
    for (const auto& c : table) {
        ScratchDir dir;
        std::vector<std::string> args = c.args;
        args.insert(args.end(), {"-I", lib, input});
        auto r = runKc(args, dir.path());
        std::string where = testing::PrintToString(c.args);
        ASSERT_EQ(r.status, 0) << where << r.err;
        std::string written = c.depFile.empty() ? r.out : readText(dir / c.depFile);
        EXPECT_EQ(written, c.expected) << where;
        EXPECT_EQ(std::filesystem::exists(dir / "out/uses_lib.xih"), c.header) << where;
    }
}

TEST(KcDeps, NoRuleAfterAnError) {
    ScratchDir dir;
    auto r = runKc({"-MD", idl("valid/uses_lib.idl")}, dir.path());  // base.idl is not found
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(dir.entries().empty());
}

TEST(KcOutput, DashWritesTheHeaderToStandardOutput) {
    ScratchDir dir;
    auto toFile = runKc({"-o", "out", EXAMPLES_DIR "/animal.idl"}, dir.path());
    ASSERT_EQ(toFile.status, 0) << toFile.err;
    auto toStdout = runKc({"-o", "-", EXAMPLES_DIR "/animal.idl"}, dir.path());
    ASSERT_EQ(toStdout.status, 0) << toStdout.err;
    EXPECT_EQ(toStdout.out, readText(dir / "out/animal.xih"));
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"out"}));
    auto failed = runKc({"-o", "-", idl("valid/dup_introducer.idl")}, dir.path());
    EXPECT_EQ(failed.status, 1);
    EXPECT_EQ(failed.out, "") << "nothing of a failed run reaches standard output";
}

// A copy of kc laid out as an installation: the plug-in is found relative to kc's own
// directory wherever the tree is, and a failure names every place tried.
TEST(KcPlugin, FoundRelativeToKcAndEveryPlaceNamedWhenMissing) {
    namespace fs = std::filesystem;
    ScratchDir root;
    fs::path bin = fs::path(root.path()) / "moved/bin";
    fs::create_directories(bin);
    fs::path built = fs::path(KC_PATH).parent_path();
    fs::copy_file(KC_PATH, bin / "kc");
    for (const auto& e : fs::directory_iterator(built))  // libkavc, found through kc's $ORIGIN run path
        if (e.path().filename().string().rfind("libkavc.so", 0) == 0) fs::copy(e.path(), bin / e.path().filename());

    const std::string kc = (bin / "kc").string();
    auto missing = kc_e2e::runProgram({kc, "-o", "out", EXAMPLES_DIR "/animal.idl"}, root.path());
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, "kc: error: cannot load the emitter plug-in; looked in:\n"
                           "  " + bin.string() + "/" PLUGIN_NAME ": not found\n"
                           "  " + bin.string() + "/" PLUGIN_RELDIR "/" PLUGIN_NAME ": not found\n"
                           "(name one with --emitter PATH)\n");

    fs::create_directories(bin / PLUGIN_RELDIR);
    fs::copy_file(PLUGIN_PATH, bin / PLUGIN_RELDIR / PLUGIN_NAME);
    auto found = kc_e2e::runProgram({kc, "-o", "-", EXAMPLES_DIR "/animal.idl"}, root.path());
    EXPECT_EQ(found.status, 0) << found.err;
    EXPECT_NE(found.out.find("AnimalNewClass"), std::string::npos);
}

}  // namespace
