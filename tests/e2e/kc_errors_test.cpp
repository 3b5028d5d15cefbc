// kc end to end on bad input: a GCC-style message with the position, exit status 1, and no
// output file; never a crash or a hang.
#include "kc_run.h"

#include <gtest/gtest.h>

namespace {

using kc_e2e::idl;
using kc_e2e::runKc;
using kc_e2e::ScratchDir;

bool hasLine(const std::string& text, const std::string& line) {
    return ("\n" + text).find("\n" + line + "\n") != std::string::npos;
}

struct BadInput {
    const char* file;     // under tests/idl/errors
    const char* message;  // a whole line of stderr, after "<path>:"
};

class KcBadInput : public ::testing::TestWithParam<BadInput> {};

TEST_P(KcBadInput, ReportsExitsOneAndWritesNothing) {
    ScratchDir dir;
    std::string path = idl(std::string("errors/") + GetParam().file);
    auto r = runKc({"-o", dir.path(), path}, dir.path());
    ASSERT_FALSE(r.hung) << "kc did not end";
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_TRUE(hasLine(r.err, path + ":" + GetParam().message)) << r.err;
    EXPECT_TRUE(dir.entries().empty());
}

INSTANTIATE_TEST_SUITE_P(
    All, KcBadInput,
    ::testing::Values(
        BadInput{"missing_semicolon.idl", "2:16: error: expected ';' before '}'"},
        BadInput{"unknown_parent.idl", "1:17: error: unknown parent interface 'Animal'"},
        BadInput{"unknown_type.idl", "2:18: error: unknown type 'Food'"},
        BadInput{"unknown_modifier_target.idl",
                 "4:9: error: 'tlak' is not a method, attribute, data member or parent of 'Animal'; did you mean 'talk'?"},
        BadInput{"duplicate_method.idl", "3:10: error: redefinition of 'talk'"},
        BadInput{"cyclic.idl", "2:21: error: cyclic inheritance: 'Egg' -> 'Chicken' -> 'Egg'"},
        BadInput{"include_missing.idl", "1:10: error: nowhere.idl: No such file or directory"},
        BadInput{"unterminated_comment.idl", "4:1: error: unterminated comment"},
        BadInput{"unterminated_string.idl", "3:26: error: missing terminating \" character"},
        BadInput{"include_loop.idl", "2:10: error: #include nested depth 64 exceeds maximum of 64"},
        BadInput{"own_metaclass.idl", "3:9: error: a class cannot be its own metaclass"},
        BadInput{"binary_garbage.idl", "1:1: error: stray '\\000' in program"}));

TEST(KcBadRun, MissingInputFile) {
    ScratchDir dir;
    auto r = runKc({"-o", "out", "no-such-file.idl"}, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "kc: error: no-such-file.idl: No such file or directory\n");
    EXPECT_TRUE(dir.entries().empty()) << "not even the output directory is made";
}

TEST(KcBadRun, NoInputFile) {
    ScratchDir dir;
    auto r = runKc({}, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "kc: error: no input file (try 'kc --help')\n");
}

TEST(KcBadRun, UnknownOption) {
    ScratchDir dir;
    auto r = runKc({"--colour", idl("valid/prefixed.idl")}, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "kc: error: unrecognized command-line option '--colour'\n");
    EXPECT_TRUE(dir.entries().empty());
}

TEST(KcBadRun, OutputDirectoryThatIsAFile) {
    ScratchDir dir;
    std::ofstream(dir / "plain") << "x";
    auto r = runKc({"-o", "plain", idl("valid/prefixed.idl")}, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "kc: error: output directory 'plain' is not a directory\n");
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"plain"}));
}

TEST(KcBadRun, OutputDirectoryThatCannotBeMade) {
    ScratchDir dir;
    std::ofstream(dir / "plain") << "x";
    auto r = runKc({"-o", "plain/sub", idl("valid/prefixed.idl")}, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.rfind("kc: error: cannot create output directory 'plain/sub': ", 0), 0u) << r.err;
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"plain"}));
}

TEST(KcBadRun, EmitterThatCannotBeLoaded) {
    ScratchDir dir;
    std::ofstream(dir / "fake.so") << "not a library";
    for (const std::string& plugin : {dir / "missing.so", dir / "fake.so"}) {
        auto r = runKc({"--emitter", plugin, idl("valid/prefixed.idl")}, dir.path());
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err.rfind("kc: error: cannot load emitter '" + plugin + "': ", 0), 0u) << r.err;
    }
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"fake.so"}));
}

TEST(KcBadRun, EmitterWithoutEmit) {
    // The host library is a loadable library without that entry point.
    ScratchDir dir;
    std::string plugin = std::filesystem::path(PLUGIN_PATH).parent_path().string() + "/libkavc.so";
    ASSERT_TRUE(std::filesystem::exists(plugin)) << plugin;
    auto r = runKc({"--emitter", plugin, idl("valid/prefixed.idl")}, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "kc: error: emitter '" + plugin + "' has no 'emit' entry point\n");
    EXPECT_TRUE(dir.entries().empty());
}

}  // namespace
