// The compile check: every header kc writes for the test and example inputs, and for a large
// generated one, compiles as C++ (g++, and clang++ where installed) against the runtime surface
// and a stand-in of the class's usage bindings (xh_standin), once with no section macro and
// once with METHOD_MACROS, VARIABLE_MACROS and the macro that selects the classes' sections.
#include "e2e/kc_run.h"

#include <gtest/gtest.h>

#include <cstring>
#include <regex>
#include <set>

namespace {

using kc_e2e::KcResult;
using kc_e2e::ScratchDir;

namespace fs = std::filesystem;

// Option sets that together reach both passes, IDL and ZDL, and every option the emitter reads.
struct Combo {
    const char* name;
    std::vector<std::string> options;
};
const Combo combos[] = {
    {"idl", {}},
    {"idl_notc_pbl_prefix", {"-m", "notc", "-m", "pbl", "-p", "pfx_"}},
    {"idl_kavboot_passih", {"-m", "kavboot", "-m", "passih"}},
    {"idl_nothunks_notc", {"-m", "nothunks", "-m", "notc"}},
    {"zdl", {"-m", "csc"}},
    {"zdl_nostubs_nodesc_prefix", {"-m", "csc", "-m", "nodesc", "-m", "noapstubs", "-m", "nordstubs", "-p", "kc_"}},
    {"zdl_noapstubs", {"-m", "csc", "-m", "noapstubs", "-m", "nothunks"}},
    {"zdl_nordstubs_kavboot", {"-m", "csc", "-m", "nordstubs", "-m", "kavboot"}},
};

void writeText(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

// kc's warnings for a function that two classes of the header declare, and for a data member
// and a method whose access macros share a name.
bool warnsSharedNames(const std::string& kcOutput) { return kcOutput.find(" both declare ") != std::string::npos; }
bool warnsSharedMacros(const std::string& kcOutput) { return kcOutput.find(" both define the macro ") != std::string::npos; }

// A header kc wrote, ready to compile: its stand-in and whether it compiles as a whole.
struct Header {
    std::string label;  // input and options, for messages
    std::string path;
    std::string standin;
    bool wholeModule = true;     // false after kc's shared-name warning: one class at a time
    bool macrosTogether = true;  // false after kc's shared-macro warning: one macro set at a time
};

// The translation units of one check run and the folder of empty files for the headers'
// includes (<stem>.xh, kavcls.xh, passthru includes).
class Check {
  public:
    explicit Check(const ScratchDir& dir) : dir_(dir) { fs::create_directory(dir_ / "include"); }

    // Runs kc and xh_standin on `idl`; false (with `why`) when kc does not write a header.
    bool add(const std::string& idl, const std::vector<std::string>& options, std::string& why) {
        std::string out = dir_ / ("h" + std::to_string(count_++));
        fs::create_directory(out);
        std::vector<std::string> common = options;
        std::string lib = fs::path(idl).parent_path() / "lib";
        if (fs::is_directory(lib)) common.insert(common.end(), {"-I", lib});
        common.push_back(idl);
        std::vector<std::string> args{"--emitter", PLUGIN_PATH, "-o", out};
        args.insert(args.end(), common.begin(), common.end());
        KcResult kc = kc_e2e::runKc(args, out);
        std::string header = out + "/" + fs::path(idl).stem().string() + ".xih";
        if (kc.status != 0 || !fs::exists(header)) {
            why = "kc exit " + std::to_string(kc.status) + ": " + kc.err;
            return false;
        }
        common.insert(common.begin(), STANDIN_PATH);
        KcResult standin = kc_e2e::runProgram(common, out);
        if (standin.status != 0) {
            why = "xh_standin exit " + std::to_string(standin.status) + ": " + standin.err;
            return false;
        }
        writeText(out + "/standin.h", standin.out);
        last_ = {idl, header, out + "/standin.h", !warnsSharedNames(kc.err), !warnsSharedMacros(kc.err)};
        kcMessages_ = kc.err;
        addHeader(last_);
        return true;
    }

    // Two units per header: no section macro; all of them, with the module macro (or, when two
    // classes share a function name, each class's own macro in a unit of its own; when access
    // macros share a name, METHOD_MACROS and VARIABLE_MACROS in units of their own).
    void addHeader(const Header& h) {
        std::string text = kc_e2e::readText(h.path);
        static const std::regex include("#include <([^>]+)>");
        for (std::sregex_iterator i(text.begin(), text.end(), include), end; i != end; ++i)
        {
            fs::path file = dir_ / ("include/" + (*i)[1].str());
            fs::create_directories(file.parent_path());
            writeText(file, "");
        }
        unit(h, "");
        static const std::regex module("defined\\((KAV_Module_\\w+_Source)\\)");
        static const std::regex cls("defined\\((\\w+_Class_Source)\\)");
        std::set<std::string> selectors;
        for (std::sregex_iterator i(text.begin(), text.end(), h.wholeModule ? module : cls), end; i != end; ++i)
            selectors.insert((*i)[1].str());
        for (const std::string& macro : selectors) {
            if (h.macrosTogether) {
                unit(h, "#define METHOD_MACROS\n#define VARIABLE_MACROS\n#define " + macro + "\n");
                continue;
            }
            unit(h, "#define METHOD_MACROS\n#define " + macro + "\n");
            unit(h, "#define VARIABLE_MACROS\n#define " + macro + "\n");
        }
    }

    // Compiles every unit in one run; the compiler's messages, or "" when all compile.
    std::string compile(const std::string& compiler) const {
        std::vector<std::string> argv{compiler, "-std=c++20", "-fsyntax-only", "-Werror",
                                      // literals of valid C: `static char *kavMN_m = "m";`
                                      "-Wno-write-strings"};
        if (compiler.find("clang") != std::string::npos) {
            // The header declares the static functions its including source defines, and the
            // runtime's argument lists hold floats unpromoted (see docs/host-model.md).
            argv.insert(argv.end(), {"-Wno-undefined-internal", "-Wno-varargs"});
        }
        argv.insert(argv.end(), {"-x", "c++", "-include", SURFACE_PATH, "-I", dir_ / "include"});
        argv.insert(argv.end(), units_.begin(), units_.end());
        KcResult run = kc_e2e::runProgram(argv, dir_.path(), std::chrono::seconds(300));
        if (run.status == 0) return "";
        return "exit " + std::to_string(run.status) + "\n" + run.out + run.err;
    }

    std::size_t units() const { return units_.size(); }
    const Header& last() const { return last_; }          // the header of the last add
    const std::string& kcMessages() const { return kcMessages_; }

  private:
    // A unit: the stand-in (what a second -include gives), the macros, the header.
    void unit(const Header& h, const std::string& macros) {
        std::string path = dir_ / ("u" + std::to_string(units_.size()) + ".cpp");
        writeText(path, "// " + h.label + "\n#include \"" + h.standin + "\"\n" + macros + "#include \"" + h.path + "\"\n");
        units_.push_back(path);
    }

    const ScratchDir& dir_;
    std::vector<std::string> units_;
    int count_ = 0;
    Header last_;
    std::string kcMessages_;
};

std::vector<std::string> compilers() {
    std::vector<std::string> found{GXX_PATH};
    if (std::string(CLANGXX_PATH).size()) found.emplace_back(CLANGXX_PATH);
    return found;
}

// Every .idl under tests/idl and examples/.
std::vector<std::string> inputs() {
    std::vector<std::string> found;
    for (const char* root : {TESTS_DIR "/idl", EXAMPLES_DIR})
        for (const auto& e : fs::recursive_directory_iterator(root))
            if (e.path().extension() == ".idl")
                found.push_back(e.path().string());
    std::sort(found.begin(), found.end());
    return found;
}

// Inputs kc refuses by design with the given options: a compile check cannot reach them.
bool refusedByDesign(const std::string& idl, const std::vector<std::string>& options) {
    static const std::set<std::string> always{"override_procedure.idl", "dup_introducer.idl", "types_only.idl"};
    std::string name = fs::path(idl).filename();
    bool stubsNamed = std::find(options.begin(), options.end(), "notc") != options.end() ||
                      (std::find(options.begin(), options.end(), "csc") != options.end() &&
                       std::find(options.begin(), options.end(), "noapstubs") == options.end()) ||
                      std::find(options.begin(), options.end(), "kavboot") != options.end();
    return always.count(name) || (stubsNamed && (name == "apply_without_value.idl" || name == "bare_apply.idl"));
}

// A module of many classes: each with methods of every parameter kind, attributes, data,
// overrides of its parent's methods, class methods and a release order.
std::string largeIdl(int classes, int methods) {
    std::string idl = "module Big {\n  struct Pair { long a; double b; };\n  typedef sequence<Pair> Pairs;\n"
                      "  enum Tone { low, high };\n  typedef long Grid[3][4];\n";
    for (int c = 0; c < classes; ++c) {
        std::string name = "C" + std::to_string(c);
        idl += "  interface " + name + " : " + (c ? "C" + std::to_string(c / 2) : std::string("KAVObject")) + " {\n";
        idl += "    attribute long weight" + std::to_string(c) + ";\n";
        for (int m = 0; m < methods; ++m) {
            std::string op = "op" + std::to_string(c) + "_" + std::to_string(m);
            idl += "    Pair " + op + "(in float f, in double d, inout short s, out Pairs p, in Grid g, in Tone t, in string text);\n";
        }
        idl += "    long census" + std::to_string(c) + "();\n";
        idl += "    implementation {\n      externalprefix = c" + std::to_string(c) + "_;\n      classprefix = m" +
               std::to_string(c) + "_;\n      census" + std::to_string(c) + ": class;\n      long weight" +
               std::to_string(c) + ";\n      Pair spot;\n      spot: public;\n";
        if (c) idl += "      op" + std::to_string(c / 2) + "_0: override;\n      kavDefaultInit: override, init;\n";
        idl += "      releaseorder: op" + std::to_string(c) + "_0, _get_weight" + std::to_string(c) + ";\n    };\n  };\n";
    }
    return idl + "};\n";
}

class CompileCheck : public testing::TestWithParam<std::tuple<int, std::string>> {};

TEST_P(CompileCheck, EveryHeaderCompiles) {
    const Combo& combo = combos[std::get<0>(GetParam())];
    ScratchDir dir;
    Check check(dir);
    std::vector<std::string> all = inputs();
    writeText(dir / "big.idl", largeIdl(60, 6));
    all.push_back(dir / "big.idl");
    int headers = 0;
    for (const std::string& idl : all) {
        std::string why;
        if (check.add(idl, combo.options, why))
            ++headers;
        else
            EXPECT_TRUE(refusedByDesign(idl, combo.options)) << idl << ": " << why;
    }
    EXPECT_GE(headers, 16) << "most inputs give a header";
    EXPECT_EQ(check.compile(std::get<1>(GetParam())), "") << check.units() << " units";
}

std::string comboName(const testing::TestParamInfo<std::tuple<int, std::string>>& info) {
    return std::string(combos[std::get<0>(info.param)].name) + "_" +
           (std::get<1>(info.param).find("clang") != std::string::npos ? "clang" : "gcc");
}

INSTANTIATE_TEST_SUITE_P(Options, CompileCheck,
                         testing::Combine(testing::Range(0, static_cast<int>(std::size(combos))),
                                          testing::ValuesIn(compilers())),
                         comboName);

// The CORBA service definitions of Debian's omniorb-idl package, read as omniidl reads them:
// every header kc writes for them compiles. (The files kc refuses, and why, are kc's own tests.)
const std::string corbaDir = "/usr/share/idl/omniORB";

class CompileCheckCorba : public testing::TestWithParam<std::tuple<int, std::string>> {};

TEST_P(CompileCheckCorba, EveryHeaderCompiles) {
    if (!fs::is_directory(corbaDir + "/COS")) GTEST_SKIP() << corbaDir << " is missing: install Debian's omniorb-idl package";
    std::vector<std::string> options = combos[std::get<0>(GetParam())].options;
    options.insert(options.end(), {"-D__OMNIIDL__", "-I", corbaDir, "-I", corbaDir + "/COS"});
    std::vector<std::string> files;
    for (const std::string& folder : {corbaDir, corbaDir + "/COS"})
        for (const auto& e : fs::directory_iterator(folder))
            if (e.path().extension() == ".idl") files.push_back(e.path().string());
    std::sort(files.begin(), files.end());
    ScratchDir dir;
    Check check(dir);
    int headers = 0;
    for (const std::string& idl : files) {
        std::string why;
        headers += check.add(idl, options, why);
    }
    EXPECT_GE(headers, 54) << "the files kc accepts and that declare a class";
    EXPECT_EQ(check.compile(std::get<1>(GetParam())), "") << check.units() << " units";
}

// The omniorb-idl headers are large: IDL and ZDL alone with every compiler, and with g++ one
// option set of each language whose headers write their own stubs.
std::vector<std::tuple<int, std::string>> corbaRuns() {
    const std::pair<std::string, bool> chosen[] = {
        {"idl", true}, {"zdl", true}, {"idl_notc_pbl_prefix", false}, {"zdl_nordstubs_kavboot", false}};
    std::vector<std::tuple<int, std::string>> runs;
    for (const auto& [name, everyCompiler] : chosen)
        for (int combo = 0; combo < static_cast<int>(std::size(combos)); ++combo)
            if (combos[combo].name == name)
                for (const std::string& compiler : compilers())
                    if (everyCompiler || compiler == GXX_PATH) runs.emplace_back(combo, compiler);
    return runs;
}

INSTANTIATE_TEST_SUITE_P(Options, CompileCheckCorba, testing::ValuesIn(corbaRuns()), comboName);

// The check fails when a header stops compiling: each fault below, put into a header that
// compiles, makes the compiler reject it and name what is wrong.
TEST(CompileCheckItself, FailsOnABrokenHeader) {
    struct Break {
        const char* what;
        const char* from;
        const char* to;
        const char* reported;
    };
    const Break breaks[] = {
        {"a table row names an undeclared function", "(kavMethodProc *) zoo_walk,", "(kavMethodProc *) zoo_wlak,", "zoo_wlak"},
        {"a ClassData member the bindings lack", "&Zoo_AnimalClassData.walk,", "&Zoo_AnimalClassData.wlak,", "wlak"},
        {"a static class info with a value too many", "    0, /* not NCX a class */\n", "    0, 0, /* not NCX a class */\n",
         "kavStaticClassInfo"},
        {"a prototype that disagrees with the stand-in", "Zoo_M_Animal * KAVLINK Zoo_AnimalNewClass",
         "Zoo_Animal * KAVLINK Zoo_AnimalNewClass", "Zoo_AnimalNewClass"},
    };
    for (const Break& b : breaks) {
        ScratchDir dir;
        Check check(dir);
        std::string why;
        ASSERT_TRUE(check.add(EXAMPLES_DIR "/animal.idl", {}, why)) << why;
        std::string text = kc_e2e::readText(check.last().path);
        std::size_t at = text.find(b.from);
        ASSERT_NE(at, std::string::npos) << b.what;
        writeText(check.last().path, text.replace(at, std::strlen(b.from), b.to));
        std::string messages = check.compile(GXX_PATH);
        EXPECT_NE(messages.find(b.reported), std::string::npos) << b.what << ":\n" << messages;
        EXPECT_NE(messages.find("animal.xih"), std::string::npos) << b.what;
    }
}

// Inputs whose headers need a decision of kc's: a module macro made from a file stem that is no
// C identifier; warnings about names two classes share (a source then compiles one class, or one
// macro set, at a time: joined they fail) and about migration targets the header cannot reach
// (those inputs, and kc's messages for them, are cases of tests/diagnostics/); the stub a stubs
// record names.
struct InputCase {
    std::string file;  // written in the scratch folder
    std::string idl;   // empty: the file is the case of tests/diagnostics/ of that name
    std::vector<std::string> options;
    std::vector<std::string> written;  // the header holds each
    const char* fails = nullptr;       // null: every unit compiles; else the compiler names this
    const char* failsJoined = nullptr; // kc split the units: joined, the compiler names this
};

std::vector<InputCase> inputCases() {
    const std::string shapes = kc_e2e::readText(TESTS_DIR "/idl/valid/shapes.idl");
    const std::string stubRecord = kc_e2e::readText(TESTS_DIR "/idl/compile/stub_record.idl");
    std::vector<InputCase> cases = {
        {"shared-function-name.idl", "", {}, {}, nullptr, "area"},
        {"shared-function-name-separated.idl", "", {}, {}},
        {"shared-stub-names.idl", "", {}, {}, nullptr, "drawMethodInfo"},
        {"user-data-member-named-like-a-method.idl", "", {}, {}, nullptr, "redefined"},
        {"shared-access-macro-of-a-box.idl", "", {}, {}, nullptr, "redefined"},
        {"shared-data-member-name.idl", "", {}, {}},  // the same macro twice is valid
        {"migrate-to-the-introducer.idl", "", {}, {}},
        {"migrate-to-a-class-without-the-method.idl", "", {}, {}, "IdleClassData"},
        {"migrate-to-no-class.idl", "", {}, {}, "NobodyClassData"},
    };
    // a stubs record names the redispatch stub with the host prefix, whatever "externalprefix" says
    for (const char* language : {"notc", "csc"})
        cases.push_back({"stub_record.idl", stubRecord, {"-m", language, "-p", "host_"},
                         {"static Spot KAVLINK kavRD_host_where(Pin *kavSelf", "{(kavMethodProc *)kavRD_host_where,\n"}});
    const std::pair<const char*, const char*> stems[] = {
        {"my-file", "my_file"}, {"v1.2", "v1_2"}, {"my file", "my_file"}, {"Caps-2", "caps_2"}};
    for (const auto& [stem, macro] : stems)
        cases.push_back({std::string(stem) + ".idl", shapes, {},
                         {std::string("defined(KAV_Module_") + macro + "_Source))", std::string("#include <") + stem + ".xh>"}});
    return cases;
}

TEST(CompileCheckInputs, DecisionsOfKcReachACompilingHeader) {
    for (const InputCase& c : inputCases()) {
        SCOPED_TRACE(c.file + ":\n" + c.idl);
        ScratchDir dir;
        Check check(dir);
        writeText(dir / c.file, c.idl.empty() ? kc_e2e::readText(TESTS_DIR "/diagnostics/" + c.file) : c.idl);
        std::string why;
        ASSERT_TRUE(check.add(dir / c.file, c.options, why)) << why;
        if (!c.idl.empty()) {
            EXPECT_EQ(check.kcMessages(), "");  // a diagnostics case's messages are its .err
        }
        std::string text = kc_e2e::readText(check.last().path);
        for (const std::string& part : c.written) EXPECT_NE(text.find(part), std::string::npos) << part;
        std::string compiled = check.compile(GXX_PATH);
        if (c.fails) {
            EXPECT_NE(compiled.find(c.fails), std::string::npos) << compiled;
            continue;
        }
        EXPECT_EQ(compiled, "");
        Header joined = check.last();
        EXPECT_EQ(!joined.wholeModule || !joined.macrosTogether, c.failsJoined != nullptr);
        if (!c.failsJoined) continue;
        joined.wholeModule = joined.macrosTogether = true;
        check.addHeader(joined);
        EXPECT_NE(check.compile(GXX_PATH).find(c.failsJoined), std::string::npos) << "joined, the units do not compile";
    }
}

}  // namespace
