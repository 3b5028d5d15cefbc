// kc end to end: what a successful run writes, and how the command line reaches the
// front end, the host and the emitter.
#include "kc_run.h"

#include <gtest/gtest.h>

namespace {

using kc_e2e::idl;
using kc_e2e::readText;
using kc_e2e::runKc;
using kc_e2e::ScratchDir;

// The emitter's stub-policy comment, the first text of every header of an IDL class.
const std::string idlPolicy =
    "\n/*\n"
    " * -- By default, for classes declared using IDL,\n"
    " * -- this emitter doesn't define redispatch/apply stubs.\n"
    " * -- Instead, it requests that the KAV kernel produce them.\n"
    " * -- To override this default, use the \"notc\" modifier.\n"
    " */\n";
const std::string zdlPolicy =
    "\n/*\n"
    " * -- By default, for classes declared using ZDL,\n"
    " * -- this emitter defines redispatch/apply stubs.\n"
    " * -- To override this default, use \"noapstubs\", and/or \"nordstubs\".\n"
    " */\n";

bool startsWith(const std::string& text, const std::string& head) { return text.rfind(head, 0) == 0; }

TEST(KcCli, ShippedExampleWritesItsHeader) {
    ScratchDir dir;
    auto r = runKc({"-o", "out", EXAMPLES_DIR "/animal.idl"}, dir.path());
    ASSERT_FALSE(r.hung);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"out"})) << "-o creates the directory";
    EXPECT_EQ(dir.entries("out"), (std::vector<std::string>{"animal.xih"})) << "no temporary file is left";
    EXPECT_TRUE(startsWith(readText(dir / "out/animal.xih"), idlPolicy));
}

TEST(KcCli, LanguageSamplesCompile) {
    for (const char* sample : {"language_tour", "issue_example"}) {
        ScratchDir dir;
        auto r = runKc({idl(std::string("valid/") + sample + ".idl")}, dir.path());
        EXPECT_EQ(r.status, 0) << sample << ": " << r.err;
        EXPECT_EQ(r.err, "") << sample;
        EXPECT_EQ(dir.entries(), (std::vector<std::string>{std::string(sample) + ".xih"}));
    }
}

TEST(KcCli, DefaultOutputIsTheCurrentDirectory) {
    ScratchDir dir;
    auto r = runKc({idl("valid/prefixed.idl")}, dir.path());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"prefixed.xih"}));
}

TEST(KcCli, NestedOutputDirectoryIsCreated) {
    ScratchDir dir;
    auto r = runKc({"-o", dir / "a/b/c", idl("valid/prefixed.idl")}, dir.path());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(dir.entries("a/b/c"), (std::vector<std::string>{"prefixed.xih"}));
}

// Classes and modules of the main file, in declaration order, all in one file; nothing of
// the included file. A class shows as its include-guard name.
TEST(KcCli, EmitsTheMainFileTopLevelInDeclarationOrder) {
    ScratchDir dir;
    auto r = runKc({"-o", dir.path(), idl("valid/zoo.idl")}, dir.path());
    ASSERT_EQ(r.status, 0) << r.err;
    std::string text = readText(dir / "zoo.xih");
    std::vector<size_t> at;
    for (const char* guard : {"#define Keeper_xih", "#define Zoo_Animal_xih", "#define Zoo_Dog_xih",
                              "#define Visitor_xih"}) {
        at.push_back(text.find(guard));
        EXPECT_NE(at.back(), std::string::npos) << guard;
    }
    EXPECT_TRUE(std::is_sorted(at.begin(), at.end()));
    EXPECT_EQ(text.find("Shape_xih"), std::string::npos) << "the included class is not written";
}

TEST(KcCli, GlobalOptionsReachTheEmitter) {
    ScratchDir dir;
    auto plain = runKc({"-o", "plain", idl("valid/prefixed.idl")}, dir.path());
    auto csc = runKc({"-o", "csc", "-m", "csc", idl("valid/prefixed.idl")}, dir.path());
    ASSERT_EQ(plain.status, 0) << plain.err;
    ASSERT_EQ(csc.status, 0) << csc.err;
    EXPECT_TRUE(startsWith(readText(dir / "plain/prefixed.xih"), idlPolicy));
    EXPECT_TRUE(startsWith(readText(dir / "csc/prefixed.xih"), zdlPolicy));
}

TEST(KcCli, ClassPrefixNamesTheMethodFunctions) {
    ScratchDir dir;
    auto with = runKc({"-o", "with", "-p", "zzpre_", idl("valid/prefixed.idl")}, dir.path());
    auto without = runKc({"-o", "without", idl("valid/prefixed.idl")}, dir.path());
    ASSERT_EQ(with.status, 0) << with.err;
    ASSERT_EQ(without.status, 0) << without.err;
    EXPECT_NE(readText(dir / "with/prefixed.xih").find("zzpre_prefixedMethod"), std::string::npos);
    EXPECT_EQ(readText(dir / "without/prefixed.xih").find("zzpre_"), std::string::npos);
}

TEST(KcCli, DefinesSelectConditionalText) {
    ScratchDir dir;
    auto plain = runKc({idl("valid/conditional.idl")}, dir.path());
    EXPECT_EQ(plain.status, 0) << plain.err;
    auto broken = runKc({"-o", "b", "-DBROKEN", idl("valid/conditional.idl")}, dir.path());
    EXPECT_EQ(broken.status, 1);
    EXPECT_NE(broken.err.find(idl("valid/conditional.idl") + ":3:"), std::string::npos) << broken.err;
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"conditional.xih"}));
}

TEST(KcCli, IncludeDirectoriesAreSearched) {
    ScratchDir dir;
    auto found = runKc({"-I", idl("valid/lib"), idl("valid/uses_lib.idl")}, dir.path());
    EXPECT_EQ(found.status, 0) << found.err;
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"uses_lib.xih"}));
    std::filesystem::remove(dir / "uses_lib.xih");
    auto missing = runKc({idl("valid/uses_lib.idl")}, dir.path());
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find(idl("valid/uses_lib.idl") + ":2:10: error: base.idl: No such file or directory"),
              std::string::npos)
        << missing.err;
    EXPECT_TRUE(dir.entries().empty());
}

TEST(KcCli, NodupcheckSilencesTheDuplicateIntroducerReport) {
    ScratchDir dir;
    auto checked = runKc({idl("valid/dup_introducer.idl")}, dir.path());
    EXPECT_EQ(checked.status, 1);
    EXPECT_NE(checked.err.find(": error: "), std::string::npos) << checked.err;
    EXPECT_NE(checked.err.find("[35]"), std::string::npos) << checked.err;
    EXPECT_TRUE(dir.entries().empty()) << "an emitter error leaves no file";
    auto silenced = runKc({"-m", "nodupcheck", idl("valid/dup_introducer.idl")}, dir.path());
    EXPECT_EQ(silenced.status, 0) << silenced.err;
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"dup_introducer.xih"}));
}

TEST(KcCli, WarningsStillSucceed) {
    ScratchDir dir;
    auto r = runKc({idl("valid/release_warning.idl")}, dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, idl("valid/release_warning.idl") +
                         ":5:32: warning: 'retired' in the release order is not a method or data member of "
                         "'Legacy'; its slot stays empty [-Wrelease-order]\n"
                         "        releaseorder: current, retired;\n"
                         "                               ^~~~~~~\n"
                         "1 warning generated.\n");
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"release_warning.xih"}));
}

TEST(KcCli, NothingToWriteIsAWarningWithoutAFile) {
    ScratchDir dir;
    auto r = runKc({idl("valid/types_only.idl")}, dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, idl("valid/types_only.idl") +
                         ": warning: no interface or module to write; no header written [-Wempty-output]\n"
                         "1 warning generated.\n");
    EXPECT_TRUE(dir.entries().empty());
}

TEST(KcCli, FatalEmitterErrorEndsWithStatusTwoAndNoFile) {
    ScratchDir dir;
    auto r = runKc({"-m", "notc", idl("valid/apply_without_value.idl")}, dir.path());
    EXPECT_EQ(r.status, 2) << r.err;
    EXPECT_NE(r.err.find("fatal error:"), std::string::npos) << r.err;
    EXPECT_TRUE(dir.entries().empty());
}

TEST(KcCli, HelpAndVersion) {
    ScratchDir dir;
    auto help = runKc({"--help"}, dir.path());
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(startsWith(help.out, "Usage: kc [options] FILE.idl\n"));
    for (const char* option : {"-o DIR", "-I DIR", "-D NAME[=VAL]", "-m NAME[=VAL]", "-p PREFIX", "--emitter PATH"})
        EXPECT_NE(help.out.find(option), std::string::npos) << option;
    auto version = runKc({"--version"}, dir.path());
    EXPECT_EQ(version.status, 0);
    EXPECT_TRUE(startsWith(version.out, "kc (darurov) ")) << version.out;
    EXPECT_TRUE(dir.entries().empty());
}

TEST(KcCli, ExplicitEmitterIsLoaded) {
    ScratchDir dir;
    auto r = runKc({"--emitter", PLUGIN_PATH, idl("valid/prefixed.idl")}, dir.path());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"prefixed.xih"}));
}

}  // namespace
