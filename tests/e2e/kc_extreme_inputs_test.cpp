// Extreme and hostile input, made at test time: every run ends with exit 0 or a located error,
// never a signal, a hang or an internal error, and leaves no temporary file behind (the small
// ones, with their whole messages: tests/diagnostics/limit-*).
#include "kc_run.h"

#include <gtest/gtest.h>

#include <csignal>
#include <functional>

namespace {

using kc_e2e::readText;
using kc_e2e::runKc;
using kc_e2e::runProgram;
using kc_e2e::ScratchDir;

std::string repeat(const std::string& text, int times) {
    std::string out;
    out.reserve(text.size() * static_cast<size_t>(times));
    for (int i = 0; i < times; ++i) out += text;
    return out;
}

std::string numbered(const std::function<std::string(int)>& line, int count) {
    std::string out;
    for (int i = 0; i < count; ++i) out += line(i);
    return out;
}

const std::string aClass = "interface A : KAVObject { void f(); };\n";

// `count` root classes and a class C that lists them all as parents.
std::string manyParents(int count) {
    std::string text = numbered(
        [](int i) { return "interface P" + std::to_string(i) + " : KAVObject { void p" + std::to_string(i) + "(); };\n"; },
        count);
    text += "interface C : ";
    for (int i = 0; i < count; ++i) text += (i ? ", P" : "P") + std::to_string(i);
    return text + " { void c(); };\n";
}

struct Extreme {
    const char* label;
    std::function<std::string()> text;  // the input file t.idl
    int status;                         // 0, or 1 with `said` located in t.idl
    const char* said;
    size_t classes = 1;                 // on exit 0: the header builds this many classes
};

// Each case is one of the inputs that once crashed kc, hung it or ended in an internal error.
const Extreme extremes[] = {
    {"StrayBytes", [] { return repeat("\x01", 26000); }, 1, "1:1: error: stray '\\001' in program"},
    {"IfWithManyNots", [] { return "#if " + repeat("!", 52000) + "1\n#endif\n" + aClass; }, 0, ""},
    {"LongConstSum",
     [] { return "const long C = 1" + repeat(" + 1", 17600) + ";\n" + aClass; }, 1,
     "1:4018: error: constant expression too complex (more than 1000 nested operations)"},
    {"ConstSumAtTheLimit", [] { return "const long C = 1" + repeat("+1", 1000) + ";\n" + aClass; }, 0, ""},
    {"LongDefineChain",
     [] {
         return numbered([](int i) { return "#define M" + std::to_string(i) + " M" + std::to_string(i + 1) + "\n"; },
                         26000) +
                "#define M26000 long\ntypedef M0 T;\n" + aClass;
     },
     0, ""},
    {"DoublingEmptyMacros",
     [] {
         return "#define D0\n" +
                numbered([](int i) { return "#define D" + std::to_string(i + 1) + " D" + std::to_string(i) + " D" +
                                            std::to_string(i) + "\n"; },
                         60) +
                "D60\n" + aClass;
     },
     1, "62:1: error: macro expansion in this file exceeds 4194304 tokens; the rest of the input is not read"},
    {"MacroAmplifier",
     [] {
         // Each use gives 10^4 declarators ",x" (the names repeat, but the input ends before
         // that is checked).
         std::string text = "#define A0 ,x\n";
         for (int i = 1; i <= 4; ++i)
             text += "#define A" + std::to_string(i) + repeat(" A" + std::to_string(i - 1), 10) + "\n";
         return text + "struct S {\n" +
                numbered([](int i) { return "long y" + std::to_string(i) + " A4;\n"; }, 800) + "};\n" + aClass;
     },
     1, "141:11: error: macro expansion in this file exceeds 4194304 tokens; the rest of the input is not read"},
    {"DeepInheritance",
     [] {
         return "interface C0 : KAVObject {};\n" +
                numbered([](int i) { return "interface C" + std::to_string(i + 1) + " : C" + std::to_string(i) + " {};\n"; },
                         2500);
     },
     1, "2001:11: error: inheritance too deep: 'C2000' stands more than 2000 levels below its root class"},
    // The ancestors are walked once per parent: a class's parent list is bounded.
    {"ManyParents", [] { return manyParents(1001); }, 1,
     "1002:11: error: too many parents: 'C' lists 1001 parents, more than 1000"},
    {"ParentsAtTheLimit", [] { return manyParents(1000); }, 0, "", 1001},
    {"TwentyThousandClasses",
     [] { return numbered([](int i) { return "interface C" + std::to_string(i) + " : KAVObject { void m(); };\n"; }, 20000); },
     0, "", 20000},
    // Every class's type description built once per run, ancestor paths counted with memoised sums.
    {"FortyLayerDiamondLattice",
     [] {
         std::string text = "interface L0a : KAVObject { void m0(); };\ninterface L0b : KAVObject { void n0(); };\n";
         for (int i = 1; i < 40; ++i)
             for (const char* side : {"a", "b"})
                 text += "interface L" + std::to_string(i) + side + " : L" + std::to_string(i - 1) + "a, L" +
                         std::to_string(i - 1) + "b { implementation { m0: override; }; };\n";
         return text;
     },
     0, "", 80},
};

class ExtremeInput : public ::testing::TestWithParam<Extreme> {};

TEST_P(ExtremeInput, EndsWithExitZeroOrALocatedError) {
    const Extreme& c = GetParam();
    ScratchDir dir;
    std::ofstream(dir / "t.idl", std::ios::binary) << c.text();
    // The limit is a safety net against a hang, far above what any case takes.
    auto r = runKc({"--emitter", PLUGIN_PATH, "-o", "out", "t.idl"}, dir.path(), std::chrono::seconds(600));
    ASSERT_FALSE(r.hung);
    ASSERT_EQ(r.signal, 0) << r.err.substr(0, 2000);
    EXPECT_EQ(r.status, c.status) << r.err.substr(0, 2000);
    EXPECT_EQ(r.err.find("internal error"), std::string::npos) << r.err.substr(0, 2000);
    if (c.status == 0) {
        const std::string header = readText(dir / "out/t.xih"), built = "NewClass (integer4 kavntmajorVersion";
        size_t count = 0;
        for (size_t at = header.find(built); at != std::string::npos; at = header.find(built, at + 1)) ++count;
        EXPECT_EQ(count, c.classes);
    } else {
        EXPECT_NE(r.err.find("t.idl:" + std::string(c.said)), std::string::npos)
            << "expected t.idl:" << c.said << "\n" << r.err.substr(0, 2000);
        EXPECT_FALSE(std::filesystem::exists(dir / "out/t.xih"));
    }
    if (std::filesystem::exists(dir / "out")) {
        EXPECT_LE(dir.entries("out").size(), 1u) << "a temporary file is left";
    }
}

INSTANTIATE_TEST_SUITE_P(Generated, ExtremeInput, ::testing::ValuesIn(extremes),
                         [](const auto& info) { return std::string(info.param.label); });

// ---- the output file under signals and write failures ----

// A plug-in that opens the header, writes a line and raises the signal named in
// KC_TEST_RAISE: the run is interrupted while the temporary file exists.
TEST(Interrupted, SignalRemovesTheTemporaryFile) {
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGABRT}) {
        ScratchDir dir;
        std::ofstream(dir / "t.idl") << aClass;
        std::string raise = "KC_TEST_RAISE=" + std::to_string(sig);
        auto r = runProgram({"/usr/bin/env", raise, KC_PATH, "--emitter", SIGNAL_PLUGIN_PATH, "-o", "out", "t.idl"},
                            dir.path());
        ASSERT_FALSE(r.hung);
        EXPECT_EQ(r.signal, sig) << "kc ends by the signal it got, after cleaning up";
        EXPECT_EQ(dir.entries("out"), std::vector<std::string>{}) << "signal " << sig;
    }
}

TEST(Interrupted, WriteFailureSaysWhy) {
    ScratchDir dir;
    // A file size limit of 2 KiB (four blocks of 512 bytes) with SIGXFSZ ignored: the writes
    // fail with EFBIG.
    std::string command = "trap '' XFSZ; ulimit -f 4; exec '" KC_PATH "' --emitter '" PLUGIN_PATH
                          "' -o out '" EXAMPLES_DIR "/animal.idl'";
    auto r = runProgram({"/bin/sh", "-c", command}, dir.path());
    ASSERT_FALSE(r.hung);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "kc: error: cannot write out/animal.xih: File too large\n");
    EXPECT_EQ(dir.entries("out"), std::vector<std::string>{});
}

// A header of more than 8 MB goes to its file from a thread of its own past its first 8 MB, a
// block at a time, while the run makes the next block.
std::string megabytesOfHeader() {
    return numbered(
        [](int i) {
            const std::string n = std::to_string(i);
            return "interface C" + n + " : " + (i % 10 ? "C" + std::to_string(i - 1) : std::string("KAVObject")) +
                   " { long n" + n + "(in long a, out string s); attribute short h" + n + "; };\n";
        },
        5000);
}

TEST(LargeOutput, TheFileHoldsWhatStandardOutputGets) {
    ScratchDir dir;
    std::ofstream(dir / "t.idl") << megabytesOfHeader();
    auto toFile = runKc({"--emitter", PLUGIN_PATH, "-o", "out", "t.idl"}, dir.path());
    auto toStdout = runKc({"--emitter", PLUGIN_PATH, "-o", "-", "t.idl"}, dir.path());
    ASSERT_EQ(toFile.status, 0) << toFile.err;
    ASSERT_EQ(toStdout.status, 0) << toStdout.err;
    EXPECT_GT(toStdout.out.size(), size_t{10} << 20) << "more than a few of the thread's blocks";
    EXPECT_TRUE(readText(dir / "out/t.xih") == toStdout.out) << "the file differs from standard output";
    EXPECT_EQ(dir.entries("out"), std::vector<std::string>{"t.xih"});
}

// A write that fails in the thread ends the run as one made in place does: with the error's
// message, or by the signal of a file size limit; either way no file is left.
TEST(LargeOutput, AWriteThatFailsInTheThreadEndsTheRun) {
    struct Case {
        const char* shell;  // before kc: a limit of 9 MB (blocks of 512 bytes), the signal ignored or not
        int status;  // -1: ended by a signal
        int signal;
        const char* err;
    };
    const Case cases[] = {
        {"trap '' XFSZ; ulimit -f 18432", 1, 0, "kc: error: cannot write out/t.xih: File too large\n"},
        {"ulimit -f 18432", -1, SIGXFSZ, ""},
    };
    for (const Case& c : cases) {
        ScratchDir dir;
        std::ofstream(dir / "t.idl") << megabytesOfHeader();
        std::string command = std::string(c.shell) + "; exec '" KC_PATH "' --emitter '" PLUGIN_PATH "' -o out t.idl";
        auto r = runProgram({"/bin/sh", "-c", command}, dir.path());
        ASSERT_FALSE(r.hung) << c.shell;
        EXPECT_EQ(r.signal, c.signal) << c.shell;
        EXPECT_EQ(r.status, c.status) << c.shell;
        EXPECT_EQ(r.err, c.err) << c.shell;
        EXPECT_EQ(dir.entries("out"), std::vector<std::string>{}) << c.shell;
    }
}

TEST(Interrupted, OutOfMemoryIsAFatalErrorNotACrash) {
#ifdef __SANITIZE_ADDRESS__
    GTEST_SKIP() << "AddressSanitizer reserves more address space than the limit allows";
#else
    ScratchDir dir;
    // 64 MiB of comment: reading it alone exceeds a 50 MB address space.
    std::ofstream(dir / "t.idl") << "/*" << std::string(64 << 20, 'x') << "*/\n" << aClass;
    std::string command = "ulimit -v 50000; exec '" KC_PATH "' --emitter '" PLUGIN_PATH "' -o out t.idl";
    auto r = runProgram({"/bin/sh", "-c", command}, dir.path());
    ASSERT_FALSE(r.hung);
    EXPECT_EQ(r.signal, 0);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("kc: fatal error: out of memory\n"), std::string::npos) << r.err.substr(0, 500);
    EXPECT_FALSE(std::filesystem::exists(dir / "out/t.xih"));
#endif
}

// Memory that runs out at any one allocation of a run, in kc, the host library, the plug-in or
// the C library under them (opening files, loading the plug-in): the run writes the whole
// header or ends with an error and no header, never with a signal. An allocation that fails
// in one library and is reported by another crosses libraries on the way (bad_alloc, caught
// in main), which only works when they share one unwinder.
TEST(Interrupted, EveryAllocationThatFailsEndsInAnErrorNotACrash) {
#ifdef __SANITIZE_ADDRESS__
    GTEST_SKIP() << "AddressSanitizer's allocator cannot be preloaded over";
#else
    struct Case {
        const char* name;
        const char* outputDir;  // "-": the header goes to standard output
    };
    for (const Case& c : {Case{"a header file", "out"}, Case{"standard output", "-"}}) {
        SCOPED_TRACE(c.name);
        ScratchDir dir;
        const std::vector<std::string> args{"--emitter", PLUGIN_PATH, "-o", c.outputDir, EXAMPLES_DIR "/animal.idl"};
        const bool toFile = std::string(c.outputDir) != "-";
        const auto whole = runKc(args, dir.path());
        ASSERT_EQ(whole.status, 0) << whole.err;
        const std::string header = toFile ? readText(dir / "out/animal.xih") : whole.out;
        std::filesystem::remove_all(dir / "out");

        // kc's runs get the failing malloc; this process keeps its own.
        struct Preloaded {
            Preloaded() { setenv("LD_PRELOAD", FAIL_ALLOCATION_PATH, 1); }
            ~Preloaded() {
                unsetenv("LD_PRELOAD");
                unsetenv("KC_TEST_FAIL_ALLOCATION");
            }
        } preloaded;
        int failures = 0;
        int call = 1;
        for (;; ++call) {
            setenv("KC_TEST_FAIL_ALLOCATION", std::to_string(call).c_str(), 1);
            const auto r = runKc(args, dir.path());
            const std::string at = "allocation " + std::to_string(call) + ": ";
            ASSERT_FALSE(r.hung) << at;
            ASSERT_EQ(r.signal, 0) << at << r.err;
            if (r.err.find("fail_allocation: not reached") != std::string::npos) break;
            if (r.status == 0) {
                EXPECT_TRUE((toFile ? readText(dir / "out/animal.xih") : r.out) == header)
                    << at << "the header differs from that of a run with memory enough";
            } else {
                ++failures;
                EXPECT_TRUE(r.status == 1 || r.status == 2) << at << r.status;
                EXPECT_EQ(r.err.rfind("kc: ", 0), 0u) << at << r.err;
                EXPECT_EQ(dir.entries("out"), std::vector<std::string>{}) << at << r.err;
                EXPECT_EQ(r.out, "") << at;
            }
            std::filesystem::remove_all(dir / "out");
        }
        // Nearly every allocation of the run was reached and made to fail.
        EXPECT_GT(call, 300);
        EXPECT_GT(failures, call / 2);
    }
#endif
}

}  // namespace
