// kc end to end: what a successful run writes, and how the command line reaches the
// front end, the host and the emitter (kc's messages for bad input: tests/diagnostics/).
#include "kc_run.h"

#include <gtest/gtest.h>

#include <cctype>
#include <regex>
#include <set>

namespace {

using kc_e2e::idl;
using kc_e2e::runKc;
using kc_e2e::ScratchDir;

// Every file under `dir`, as a path relative to it, sorted.
std::vector<std::string> files(const ScratchDir& dir) {
    std::vector<std::string> found;
    for (const auto& e : std::filesystem::recursive_directory_iterator(dir.path()))
        if (!e.is_directory()) found.push_back(std::filesystem::relative(e.path(), dir.path()).string());
    std::sort(found.begin(), found.end());
    return found;
}

struct CliRun {
    const char* name;
    std::vector<std::string> args;  // run in a fresh scratch folder
    int status;
    std::string said;                // stderr holds this; "": stderr is empty
    std::vector<std::string> wrote;  // every file in the folder afterwards
};

const CliRun runs[] = {
    // -m, -p and --emitter reach the emitter as the golden headers show (tests/golden/cases).
    {"ShippedExample", {"-o", "out", EXAMPLES_DIR "/animal.idl"}, 0, "", {"out/animal.xih"}},
    {"LanguageTour", {idl("valid/language_tour.idl")}, 0, "", {"language_tour.xih"}},
    {"IssueExample", {idl("valid/issue_example.idl")}, 0, "", {"issue_example.xih"}},
    {"EveryConstruct", {idl("valid/every_construct.idl")}, 0, "", {"every_construct.xih"}},
    {"NestedOutputDirectory", {"-o", "a/b/c", idl("valid/prefixed.idl")}, 0, "", {"a/b/c/prefixed.xih"}},
    {"ConditionalText", {idl("valid/conditional.idl")}, 0, "", {"conditional.xih"}},
    {"DefineSelectsBrokenText", {"-DBROKEN", idl("valid/conditional.idl")}, 1, idl("valid/conditional.idl") + ":3:", {}},
    {"IncludeDirectory", {"-I", idl("valid/lib"), idl("valid/uses_lib.idl")}, 0, "", {"uses_lib.xih"}},
    {"NoIncludeDirectory", {idl("valid/uses_lib.idl")}, 1,
     idl("valid/uses_lib.idl") + ":2:10: error: base.idl: No such file or directory", {}},
};

class KcCliRun : public testing::TestWithParam<CliRun> {};

TEST_P(KcCliRun, StatusMessagesAndFiles) {
    const CliRun& c = GetParam();
    ScratchDir dir;
    auto r = runKc(c.args, dir.path());
    ASSERT_FALSE(r.hung);
    EXPECT_EQ(r.status, c.status) << r.err;
    if (c.said.empty()) {
        EXPECT_EQ(r.err, "");
    } else {
        EXPECT_NE(r.err.find(c.said), std::string::npos) << r.err;
    }
    EXPECT_EQ(files(dir), c.wrote) << "no temporary file is left, nothing is written after an error";
}

INSTANTIATE_TEST_SUITE_P(Runs, KcCliRun, testing::ValuesIn(runs),
                         [](const testing::TestParamInfo<CliRun>& info) { return std::string(info.param.name); });

// Bad runs that no input file can carry: kc's one message and exit 1, and nothing left behind,
// not even a directory (the messages of bad input: tests/diagnostics/).
struct BadRun {
    const char* name;
    std::vector<std::string> args;  // run where "plain" is a file and "dir.idl" a directory
    std::string said;               // stderr starts with this
};

// A loadable library without the entry point.
const std::string hostLibrary = std::filesystem::path(PLUGIN_PATH).parent_path().string() + "/libkavc.so";

const BadRun badRuns[] = {
    {"InputIsADirectory", {"dir.idl"}, "kc: error: dir.idl: Is a directory\n"},
    {"MissingInput", {"none.idl"}, "kc: error: none.idl: No such file or directory\n"},
    {"NoInput", {}, "kc: error: no input file (try 'kc --help')\n"},
    {"OutputDirectoryThatIsAFile", {"-o", "plain", "t.idl"}, "kc: error: output directory 'plain' is not a directory\n"},
    {"OutputDirectoryThatCannotBeMade", {"-o", "plain/sub", "t.idl"}, "kc: error: cannot create output directory 'plain/sub': "},
    {"EmitterNoLibrary", {"--emitter", "plain", "t.idl"}, "kc: error: cannot load emitter './plain': "},
    {"EmitterWithoutEmit", {"--emitter", hostLibrary, "t.idl"},
     "kc: error: emitter '" + hostLibrary + "' has no 'emit' entry point\n"},
};

class KcBadRun : public testing::TestWithParam<BadRun> {};

TEST_P(KcBadRun, SaysWhyAndLeavesNothing) {
    ScratchDir dir;
    std::filesystem::create_directory(dir / "dir.idl");
    std::ofstream(dir / "plain") << "x";
    std::ofstream(dir / "t.idl") << "interface A {};\n";
    auto r = runKc(GetParam().args, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.starts_with(GetParam().said)) << r.err;
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"dir.idl", "plain", "t.idl"}));
    EXPECT_EQ(dir.entries("dir.idl"), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(Runs, KcBadRun, testing::ValuesIn(badRuns),
                         [](const testing::TestParamInfo<BadRun>& info) { return std::string(info.param.name); });

// IDL 4 text as CORBA 3 IDL: without its annotations (`@key`, `@range(min = 0)`,
// `@annotation N { ... };`), blanks in their place so that lines keep their numbers, and with the
// integer types' old names; `names` gets the names of the annotations applied.
std::string asCorba3(const std::string& text, std::set<std::string>& names) {
    std::string out = text;
    auto blank = [&](std::size_t from, std::size_t to) {
        for (std::size_t i = from; i < to; ++i)
            if (out[i] != '\n') out[i] = ' ';
    };
    auto isNameChar = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == ':'; };
    // Past the bracket that closes the one at `i`, over strings that hold brackets.
    auto pastBrackets = [&](std::size_t i) {
        int depth = 0;
        for (; i < text.size(); ++i) {
            if (text[i] == '"') i = text.find('"', i + 1);
            else if (text[i] == '(' || text[i] == '{') ++depth;
            else if ((text[i] == ')' || text[i] == '}') && --depth == 0) return i + 1;
        }
        return text.size();
    };
    for (std::size_t at = text.find('@'); at != std::string::npos; at = text.find('@', at)) {
        std::size_t end = at + 1;
        while (end < text.size() && isNameChar(text[end])) ++end;
        const std::string name = text.substr(at + 1, end - at - 1);
        std::size_t next = text.find_first_not_of(" \t\n", end);
        if (name == "annotation") {
            end = text.find(';', pastBrackets(text.find('{', end))) + 1;
        } else {
            names.insert(name);
            if (next < text.size() && text[next] == '(') end = pastBrackets(next);
        }
        blank(at, end);
        at = end;
    }
    const std::pair<const char*, const char*> types[] = {
        {"int16", "short"},           {"int32", "long"},           {"int64", "long long"},
        {"uint16", "unsigned short"}, {"uint32", "unsigned long"}, {"uint64", "unsigned long long"},
        {"uint8", "octet"},
    };
    for (const auto& [idl4, corba3] : types)
        out = std::regex_replace(out, std::regex(std::string("\\b") + idl4 + "\\b"), corba3);
    return out;
}

// IDL 4's annotations and integer type names change nothing in the header, and each annotation
// name applied is warned about once.
TEST(KcCli, Idl4ReadsAsItsCorba3Equivalent) {
    ScratchDir dir;
    std::filesystem::create_directory(dir / "corba3");
    const std::string idl4 = kc_e2e::readText(idl("valid/idl4.idl"));
    std::set<std::string> names;
    const std::string corba3 = asCorba3(idl4, names);
    ASSERT_GE(names.size(), 10u);
    ASSERT_EQ(corba3.find("int32"), std::string::npos);
    std::ofstream(dir / "corba3/idl4.idl") << corba3;

    auto with = runKc({"-o", "idl4", idl("valid/idl4.idl")}, dir.path());
    auto without = runKc({"-o", "corba3", "corba3/idl4.idl"}, dir.path());
    ASSERT_EQ(with.status, 0) << with.err;
    ASSERT_EQ(without.status, 0) << without.err;
    EXPECT_EQ(without.err, "");
    EXPECT_EQ(kc_e2e::readText(dir / "idl4/idl4.xih"), kc_e2e::readText(dir / "corba3/idl4.xih"));
    for (const std::string& name : names) {
        const std::string warning = "warning: annotation '@" + name + "' ignored";
        const std::size_t first = with.err.find(warning);
        EXPECT_NE(first, std::string::npos) << name;
        EXPECT_EQ(with.err.find(warning, first + 1), std::string::npos) << name << " warned about twice";
    }
    auto quiet = runKc({"-Wno-ignored-annotations", "-o", "quiet", idl("valid/idl4.idl")}, dir.path());
    EXPECT_EQ(quiet.status, 0);
    EXPECT_EQ(quiet.err, "");
}

// The help text: tests/diagnostics/user-option-help.
TEST(KcCli, Version) {
    ScratchDir dir;
    auto version = runKc({"--version"}, dir.path());
    EXPECT_EQ(version.status, 0);
    EXPECT_TRUE(version.out.starts_with("kc (darurov) ")) << version.out;
    EXPECT_TRUE(dir.entries().empty());
}

}  // namespace
