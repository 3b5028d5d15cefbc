// Mistakes users make in IDL and on the command line, as kc reports them: the first message
// line, the caret line under the quoted source, the exit status, and no file after a failure.
// Then the presentation itself: order, limits, flags.
#include "kc_run.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using kc_e2e::runKc;
using kc_e2e::ScratchDir;

struct Mistake {
    const char* name;
    std::string idl;                // written to t.idl; "" for none
    std::vector<std::string> args;  // before t.idl
    std::string first;              // the first line of stderr; a final '*' matches any rest
    const char* caret;              // the caret line, matched alike ("" when the message has no position)
    int status;
};

// A class with the usual frame around `impl`, the statements of its implementation section.
std::string inClass(const std::string& impl) {
    return "interface A : KAVObject {\n  void f();\n  implementation {\n" + impl + "\n  };\n};\n";
}

const std::string typo = inClass("    kavDestruct: overide;");
// A loadable library without the entry point.
const std::string hostLibrary = std::filesystem::path(PLUGIN_PATH).parent_path().string() + "/libkavc.so";

const Mistake mistakes[] = {
    // typos in modifiers and options: a warning naming the known spelling
    {"OverrideMisspelt", typo, {},
     "t.idl:4:18: warning: unknown modifier 'overide'; did you mean 'override'? [-Wunknown-modifier]",
     "                 ^~~~~~~", 0},
    {"NamelookupMisspelt", inClass("    f: namelokup;"), {},
     "t.idl:4:8: warning: unknown modifier 'namelokup'; did you mean 'namelookup'? [-Wunknown-modifier]",
     "       ^~~~~~~~~", 0},
    {"ExternalprefixMisspelt", inClass("    externalprefx = g_;"), {},
     "t.idl:4:5: warning: unknown modifier 'externalprefx'; did you mean 'externalprefix'? [-Wunknown-modifier]",
     "    ^~~~~~~~~~~~~", 0},
    {"OptionMisspelt", "interface A {};\n", {"-m", "notcc"},
     "kc: warning: unknown emitter option 'notcc', passed on as written; did you mean 'notc'? [-Wunknown-option]", "",
     0},
    {"TypoMadeAnErrorByWerror", typo, {"-Werror"},
     "t.idl:4:18: error: unknown modifier 'overide'; did you mean 'override'? [-Werror=unknown-modifier]",
     "                 ^~~~~~~", 1},
    {"UnknownModifierListedWhenAsked", inClass("    f: frobnicate;"), {"-Wunknown-modifier"},
     "t.idl:4:8: warning: modifier 'frobnicate' is read by neither kc nor this emitter; it is kept for other "
     "emitters [-Wunknown-modifier]",
     "       ^~~~~~~~~~", 0},
    // typos in keywords
    {"ImplementationMisspelt", "interface A {\n  implementaton {\n  };\n};\n", {},
     "t.idl:2:3: error: unknown keyword 'implementaton'; did you mean 'implementation'?", "  ^~~~~~~~~~~~~", 1},
    {"InterfaceMisspelt", "interfce B {};\n", {},
     "t.idl:1:1: error: unknown keyword 'interfce'; did you mean 'interface'?", "^~~~~~~~", 1},
    // missing punctuation, wrong nesting
    {"SemicolonAfterOperation", "interface A {\n  void f()\n};\n", {}, "t.idl:2:11: error: expected ';' before '}'",
     "          ^", 1},
    {"NoNameForModule", "module { };\n", {}, "t.idl:1:8: error: expected identifier before '{'", "       ^", 1},
    {"DeclarationExpected", "interface A {};\n42;\n", {}, "t.idl:2:1: error: expected declaration before numeric constant",
     "^~", 1},
    {"InterfaceInsideInterface", "interface A {\n  interface B {};\n};\n", {},
     "t.idl:2:3: error: an interface cannot be declared inside an interface", "  ^~~~~~~~~", 1},
    {"IfWithoutOperand", "#if 1 +\n#endif\ninterface A {};\n", {},
     "t.idl:1:7: error: operator '+' has no right operand", "      ^", 1},
    // unknown names, cycles, duplicates
    {"UnknownParent", "interface A : Animal {};\n", {}, "t.idl:1:15: error: unknown parent interface 'Animal'",
     "              ^~~~~~", 1},
    {"UnknownModifierTarget", inClass("    tlak: namelookup;"), {},
     "t.idl:4:5: error: 'tlak' is not a method, attribute, data member or parent of 'A'", "    ^~~~", 1},
    {"UnknownModifierTargetNearAName", "interface A : KAVObject {\n  void talk();\n  implementation { tlak: namelookup; };\n};\n",
     {}, "t.idl:3:20: error: 'tlak' is not a method, attribute, data member or parent of 'A'; did you mean 'talk'?",
     "                   ^~~~", 1},
    {"UnknownMetaclass", inClass("    metaclass = Nope;"), {}, "t.idl:4:5: error: unknown metaclass 'Nope': not an interface",
     "    ^~~~~~~~~", 1},
    {"OwnMetaclass", "interface A : KAVObject {\n  implementation { metaclass = A; };\n};\n", {},
     "t.idl:2:20: error: a class cannot be its own metaclass", "                   ^~~~~~~~~", 1},
    {"CyclicInheritance", "interface Egg : Chicken {};\ninterface Chicken : Egg {};\n", {},
     "t.idl:2:21: error: cyclic inheritance: 'Egg' -> 'Chicken' -> 'Egg'", "                    ^~~", 1},
    {"OverrideOfOwnMethod", inClass("    f: override;"), {},
     "t.idl:4:5: error: 'f' is introduced by 'A' itself; only inherited methods can be given to override", "    ^", 1},
    {"ModifierTwice", inClass("    f: namelookup, namelookup;"), {}, "t.idl:4:20: error: duplicate modifier 'namelookup' on 'f'",
     "                   ^~~~~~~~~~", 1},
    {"OnewayWithResult", "interface A {\n  oneway long f();\n};\n", {}, "t.idl:2:10: error: a oneway operation returns void",
     "         ^~~~", 1},
    {"DataMemberNamedLikeAMethod", "interface Shape : KAVObject { void show(); };\n"
     "interface Box : Shape { implementation { long show; }; };\n", {},
     "t.idl:2:47: warning: the data member 'show' of class 'Box' and the method 'show' of class 'Box' both define the "
     "macro '_show'; *", "                                              ^~~~", 0},
    // the lexer
    {"StrayCharacter", "interface A @ {};\n", {}, "t.idl:1:13: error: stray '@' in program", "            ^", 1},
    {"BinaryGarbage", std::string("\0\1garbage\xff{{{(((", 16), {}, "t.idl:1:1: error: stray '\\000' in program", "*", 1},
    {"UnterminatedString", inClass("    passthru C_xih = \"abc;"), {}, "t.idl:4:22: error: missing terminating \" character",
     "                     ^", 1},
    // files
    {"MissingInclude", "#include \"nowhere.idl\"\ninterface A {};\n", {},
     "t.idl:1:10: error: nowhere.idl: No such file or directory", "         ^~~~~~~~~~~~~", 1},
    {"InputIsADirectory", "", {"dir.idl"}, "kc: error: dir.idl: Is a directory", "", 1},
    {"MissingInput", "", {"none.idl"}, "kc: error: none.idl: No such file or directory", "", 1},
    {"NoInput", "", {}, "kc: error: no input file (try 'kc --help')", "", 1},
    {"OutputDirectoryThatIsAFile", "interface A {};\n", {"-o", "plain"},
     "kc: error: output directory 'plain' is not a directory", "", 1},
    {"OutputDirectoryThatCannotBeMade", "interface A {};\n", {"-o", "plain/sub"},
     "kc: error: cannot create output directory 'plain/sub': *", "", 1},
    {"EmitterMissing", "interface A {};\n", {"--emitter", "missing.so"},
     "kc: error: cannot load emitter './missing.so': *", "", 1},
    {"EmitterNoLibrary", "interface A {};\n", {"--emitter", "plain"}, "kc: error: cannot load emitter './plain': *", "", 1},
    {"EmitterWithoutEmit", "interface A {};\n", {"--emitter", hostLibrary},
     "kc: error: emitter '" + hostLibrary + "' has no 'emit' entry point", "", 1},
    // the command line
    {"UnknownOption", "interface A {};\n", {"--colour"}, "kc: error: unrecognized command-line option '--colour'", "", 1},
    {"WarningGroupMisspelt", "interface A {};\n", {"-Wunknown-modifer"},
     "kc: error: unrecognized command-line option '-Wunknown-modifer'; did you mean '-Wunknown-modifier'?", "", 1},
    {"ColorWhenMisspelt", "interface A {};\n", {"-fdiagnostics-color=sometimes"},
     "kc: error: argument 'sometimes' to '-fdiagnostics-color=' is not one of 'never', 'always', 'auto'", "", 1},
    // nothing to write, and the emitter's own messages
    {"OnlyTypes", "module M { const long X = 1; };\n", {},
     "t.idl: warning: no interface in its modules to write; no header written [-Wempty-output]", "", 0},
    {"OverrideOfAProcedure",
     "interface B : KAVObject {\n  void g();\n  implementation { g: procedure; };\n};\n"
     "interface A : B {\n  implementation {\n    g: override;\n  };\n};\n",
     {}, "t.idl:7:5: error: cannot override method \"g\": it is declared as a procedure or as non-static [26]", "    ^", 1},
};

bool matches(const std::string& line, const std::string& pattern) {
    if (pattern.ends_with('*')) return line.starts_with(pattern.substr(0, pattern.size() - 1));
    return line == pattern;
}

class KcMistake : public testing::TestWithParam<Mistake> {};

TEST_P(KcMistake, FirstMessageCaretAndStatus) {
    const Mistake& m = GetParam();
    ScratchDir dir;
    std::filesystem::create_directory(dir / "dir.idl");
    std::ofstream(dir / "plain") << "x";
    std::vector<std::string> args = m.args;
    if (!m.idl.empty()) {
        std::ofstream(dir / "t.idl", std::ios::binary) << m.idl;
        args.push_back("t.idl");
    }
    const std::vector<std::string> before = dir.entries();
    if (std::find(args.begin(), args.end(), "-o") == args.end()) args.insert(args.begin(), {"-o", "out"});
    auto r = runKc(args, dir.path());
    ASSERT_FALSE(r.hung);
    std::istringstream lines(r.err);
    std::string first, source, caret;
    std::getline(lines, first);
    if (*m.caret) {
        std::getline(lines, source);
        std::getline(lines, caret);
    }
    EXPECT_TRUE(matches(first, m.first)) << r.err;
    EXPECT_TRUE(matches(caret, m.caret)) << r.err;
    EXPECT_EQ(r.status, m.status) << r.err;
    if (m.status == 0) return;
    EXPECT_EQ(dir.entries("out"), std::vector<std::string>{}) << "a failed run leaves no file";
    if (m.first.starts_with("kc:")) {
        EXPECT_EQ(dir.entries(), before) << "nor, failing on its arguments, a directory";
    }
}

INSTANTIATE_TEST_SUITE_P(Users, KcMistake, testing::ValuesIn(mistakes),
                         [](const testing::TestParamInfo<Mistake>& info) { return std::string(info.param.name); });

}  // namespace

namespace {

// The lines of stderr that start a message (not the quoted source or the caret).
std::vector<std::string> heads(const std::string& err) {
    std::vector<std::string> out;
    std::istringstream lines(err);
    for (std::string line; std::getline(lines, line);)
        if (line.starts_with("t.idl:")) out.push_back(line.substr(0, line.find(": ", 6)));
    return out;
}

kc_e2e::KcResult runOn(const ScratchDir& dir, const std::string& text, std::vector<std::string> args = {}) {
    std::ofstream(dir / "t.idl") << text;
    args.insert(args.begin(), {"-o", "out"});
    args.push_back("t.idl");
    return runKc(args, dir.path());
}

// Messages come in source order: the lexer's about a token the parser only looked at wait for
// the parser's about the tokens before it, and an implementation section's statements are
// checked in their order (a modifier before the override it needs included).
TEST(KcMessages, FollowTheSource) {
    ScratchDir dir;
    auto parse = runOn(dir, "interface A {\n  void f()\n  @\n};\n");
    EXPECT_EQ(heads(parse.err), (std::vector<std::string>{"t.idl:2:11", "t.idl:3:3"})) << parse.err;
    auto impl = runOn(dir, inClass("    releaseorder: f, f;\n    f: namelokup;\n    g: override;\n"
                                   "    kavDestruct: namelookup;\n    kavDestruct: override;"));
    EXPECT_EQ(heads(impl.err), (std::vector<std::string>{"t.idl:4:22", "t.idl:5:8", "t.idl:6:5"})) << impl.err;
    EXPECT_TRUE(impl.err.ends_with("\n2 errors, 1 warning generated.\n")) << impl.err;
}

// A tab in the quoted source takes it to the next multiple of 8 columns, in the source line as
// under it.
TEST(KcMessages, TabsExpandToEightColumns) {
    ScratchDir dir;
    auto r = runOn(dir, "interface A {\n \tvoid f(long x);\n};\n");
    EXPECT_NE(r.err.find("\n        void f(long x);\n               ^~~~\n"), std::string::npos) << r.err;
}

// Errors are printed as they come and the run stops at the limit; the input is made here.
TEST(KcMessages, StopAtTheErrorLimit) {
    ScratchDir dir;
    std::string many;
    for (int i = 0; i < 2000; ++i) many += "interface A" + std::to_string(i) + " : Missing {};\n";
    for (auto [flag, shown] : {std::pair<std::string, int>{"", 20}, {"-fmax-errors=3", 3}, {"-fmax-errors=0", 2000}}) {
        auto r = runOn(dir, many, flag.empty() ? std::vector<std::string>{} : std::vector<std::string>{flag});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(heads(r.err).size(), static_cast<size_t>(shown)) << flag;
        bool limited = shown < 2000;
        EXPECT_EQ(r.err.find("compilation terminated due to -fmax-errors=" + std::to_string(shown) + ".\n") !=
                      std::string::npos,
                  limited)
            << flag;
    }
}

// -w, -Wno-<group> and -Werror; colour only when asked for (stderr is a pipe here).
TEST(KcMessages, FlagsChangeWhatIsShownAndHow) {
    ScratchDir dir;
    const std::string typoed = inClass("    f: namelokup;");
    EXPECT_EQ(runOn(dir, typoed, {"-w"}).err, "");
    EXPECT_EQ(runOn(dir, typoed, {"-Wno-unknown-modifier"}).err, "");
    auto promoted = runOn(dir, typoed, {"-Werror"});
    EXPECT_EQ(promoted.status, 1);
    EXPECT_NE(promoted.err.find("kc: all warnings being treated as errors\n1 error generated.\n"), std::string::npos);
    EXPECT_EQ(runOn(dir, typoed).err.find('\33'), std::string::npos);
    EXPECT_EQ(runOn(dir, typoed, {"-fdiagnostics-color=auto"}).err.find('\33'), std::string::npos);
    auto colored = runOn(dir, typoed, {"-fdiagnostics-color=always"});
    EXPECT_NE(colored.err.find("\33[01;35mwarning:"), std::string::npos) << colored.err;
    EXPECT_NE(colored.err.find("\33[01;32m       ^~~~~~~~~"), std::string::npos) << colored.err;
}

}  // namespace
