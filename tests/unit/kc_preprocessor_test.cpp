// The preprocessor: macros, conditionals and includes (its errors: tests/diagnostics/pp-*).
#include "kc_fixture.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace {

using kc_testing::preprocess;

// The tokens as the parser reads ahead: nextPlain first, next() where it declines.
std::string readAhead(const std::string& text, kc::PreprocessorOptions options) {
    kc::Sources sources;
    kc::Diagnostics diag(sources);
    diag.setEcho(false);
    kc::Preprocessor pp(sources, diag, std::move(options));
    pp.openText("test.idl", text);
    std::string out;
    for (kc::Token t;;) {
        if (!pp.nextPlain(t)) pp.next(t);
        if (t.kind == kc::Tok::End) return out;
        out += (out.empty() ? "" : " ") + t.text;
    }
}

// Text in, the tokens that come out (also when read ahead); no message.
TEST(KcPreprocessor, MacrosConditionalsAndBuiltinIncludes) {
    const std::pair<const char*, const char*> cases[] = {
        // A -> B + 1 -> (B -> A, not expanded again) A + 1
        {"#define A B + 1\n#define B A\n#define N 4\nA N C", "A + 1 4 C"},
        {"__KAVIDL__ LIMIT FLAG", "1 10 1"},  // LIMIT and FLAG come from the command line
        {"#define X 1\n#undef X\nX", "X"},
        {"#define ON\n#ifdef ON\na\n#else\nb\n#endif\n"
         "#ifndef ON\nc\n#elif 2 * 3 == 6 && defined(ON)\nd\n#else\ne\n#endif\n"
         "#if 0\n#if 1\nf\n#endif\n#elif defined OFF\ng\n#else\nh\n#endif\n"
         "#ifdef __KAVIDL__\ni\n#endif\n",
         "a d h i"},
        {"#if 0\ndon't \"stop\n#endif\nx", "x"},  // skipped text is not checked for strings
        {"#if 1 && 0\nx\n#elif 0 || 1\ny\n#endif", "y"},
        {"#include <kavobj.idl>\n#include \"kavcls.idl\"\nx", "x"},  // the root classes need no file
    };
    for (const auto& [text, spelling] : cases) {
        auto r = preprocess(text, {{}, {{"LIMIT", "10"}, {"FLAG", "1"}}});
        EXPECT_EQ(r.messages, std::vector<std::string>{}) << text;
        EXPECT_EQ(r.spelling(), spelling) << text;
        EXPECT_EQ(readAhead(text, {{}, {{"LIMIT", "10"}, {"FLAG", "1"}}}), spelling) << text;
    }
}

class KcIncludes : public ::testing::Test {
  protected:
    void SetUp() override {
        std::filesystem::create_directories(root + "/main");
        std::filesystem::create_directories(root + "/lib");
    }
    void write(const std::string& path, const std::string& text) { std::ofstream(root + "/" + path) << text; }

    testing_support::ScratchDir scratch;
    std::string root = scratch.path();
};

TEST_F(KcIncludes, IncluderDirectoryComesBeforeIncludeDirs) {
    write("main/shared.idl", "fromMainDir");
    write("lib/shared.idl", "fromLib");
    write("lib/only.idl", "onlyInLib\n#include \"next.idl\"\n");
    write("lib/next.idl", "besideOnly");
    auto r = preprocess("#include \"shared.idl\"\n#include <only.idl>\nend", {{root + "/lib"}, {}},
                        root + "/main/m.idl");
    EXPECT_TRUE(r.messages.empty());
    EXPECT_EQ(r.spelling(), "fromMainDir onlyInLib besideOnly end");
    ASSERT_EQ(r.tokens.size(), 4u);
    EXPECT_EQ(r.tokens[1].loc.line, 1);  // positions are the included file's own
}

TEST_F(KcIncludes, InclusionsHaveABudgetPerCompilation) {
    write("main/empty.idl", "");
    std::string text;
    for (long i = 0; i <= kc::maxIncludes; ++i) text += "#include \"empty.idl\"\n";
    auto r = preprocess(text + "after", {}, root + "/main/m.idl");
    ASSERT_EQ(r.messages.size(), 1u);
    EXPECT_EQ(r.messages[0].find(root + "/main/m.idl:" + std::to_string(kc::maxIncludes + 1) +
                                 ":10: error: #include budget of this file exceeded"),
              0u)
        << r.messages[0];
    EXPECT_TRUE(r.tokens.empty()) << "the rest of the input is not read";
}

// The first candidate that exists is the file meant; the message says why it cannot be read.
TEST_F(KcIncludes, AnUnreadableIncludeSaysWhy) {
    write("lib/locked.idl", "x");
    ::mkfifo((root + "/lib/fifo.idl").c_str(), 0600);
    ::chmod((root + "/lib/locked.idl").c_str(), 0);
    bool root_user = ::geteuid() == 0;  // root reads a file of mode 0 all the same
    const struct {
        const char* name;
        std::string said;
    } cases[] = {
        {"lib", root + "/lib: Is a directory"},
        {"fifo.idl", root + "/lib/fifo.idl: not a regular file"},
        {"locked.idl", root_user ? "" : root + "/lib/locked.idl: Permission denied"},
    };
    for (const auto& c : cases) {
        if (c.said.empty()) continue;
        auto r = preprocess(std::string("#include \"") + c.name + "\"\n", {{root, root + "/lib"}, {}},
                            root + "/main/m.idl");
        ASSERT_EQ(r.messages.size(), 1u) << c.name;
        EXPECT_EQ(r.messages[0], root + "/main/m.idl:1:10: error: " + c.said);
    }
}

}  // namespace
