// kc's complete standard error and exit status for each input of tests/diagnostics/, against
// the reviewed <name>.err beside it, with the files it wrote (tests/diagnostics/README.md), shown
// as a unified diff on a difference. A run that fails leaves no file in its output directory.
#include "kc_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <sstream>

namespace {

using kc_e2e::readText;
using kc_e2e::ScratchDir;

const std::string casesDir = std::string(TESTS_DIR) + "/diagnostics";

std::vector<std::string> caseNames() {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(casesDir))
        if (e.path().extension() == ".idl") names.push_back(e.path().stem().string());
    std::sort(names.begin(), names.end());
    return names;
}

// The words after "// kc:" on the first line: kc's arguments before the input.
std::vector<std::string> argumentsOf(const std::string& text) {
    std::vector<std::string> args;
    if (!text.starts_with("// kc:")) return args;
    std::istringstream words(text.substr(6, text.find('\n') - 6));
    for (std::string word; words >> word;) args.push_back(word);
    return args;
}

TEST(DiagnosticsCases, AreListed) { EXPECT_GE(caseNames().size(), 200u) << "tests/diagnostics is missing cases"; }

class Diagnostics : public ::testing::TestWithParam<std::string> {};

TEST_P(Diagnostics, AreTheReviewedOnes) {
    const std::string& name = GetParam();
    ScratchDir dir;
    std::vector<std::string> args{"--emitter", PLUGIN_PATH, "-o", dir / "out"};
    for (std::string& a : argumentsOf(readText(casesDir + "/" + name + ".idl"))) args.push_back(std::move(a));
    args.push_back(name + ".idl");
    const kc_e2e::KcResult run = kc_e2e::runKc(args, casesDir);
    ASSERT_FALSE(run.hung);
    ASSERT_EQ(run.signal, 0) << run.err;
    const std::string outPath = casesDir + "/" + name + ".out";
    EXPECT_EQ(run.out, std::filesystem::exists(outPath) ? readText(outPath) : "");
    if (run.status != 0) {
        EXPECT_EQ(dir.entries("out"), std::vector<std::string>{}) << "a failed run leaves no file";
    }

    std::string actual = run.err + "exit: " + std::to_string(run.status) + "\n";
    for (const std::string& file : dir.entries("out")) actual += "wrote: " + file + "\n";
    const std::string expectedPath = casesDir + "/" + name + ".err";
    if (std::getenv("DARUROV_UPDATE_GOLDEN")) {
        std::ofstream(expectedPath, std::ios::binary) << actual;
        if (!run.out.empty()) std::ofstream(outPath, std::ios::binary) << run.out;
        GTEST_SKIP() << "rewrote " << expectedPath;
    }
    if (actual == readText(expectedPath)) return;
    std::ofstream(dir / "actual.err", std::ios::binary) << actual;
    ADD_FAILURE() << kc_e2e::unifiedDiff(expectedPath, dir / "actual.err");
}

INSTANTIATE_TEST_SUITE_P(Inputs, Diagnostics, ::testing::ValuesIn(caseNames()),
                         [](const auto& info) {
                             std::string label = info.param;
                             for (char& c : label)
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             return label;
                         });

}  // namespace
