// Whole headers of the example and a few rich inputs (tests/golden/cases), byte for byte, against
// the reviewed files of tests/golden/ (shown as a unified diff on failure). After a change of the output
// that was meant and reviewed, rewrite them with
//     DARUROV_UPDATE_GOLDEN=1 build/tests/e2e_tests --gtest_filter='Inputs/GoldenHeaders.*'
// and read `git diff tests/golden` before committing it.
#include "kc_run.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>

namespace {

using kc_e2e::readText;
using kc_e2e::unifiedDiff;
using kc_e2e::ScratchDir;

struct GoldenCase {
    std::string label;
    std::string input;  // below the project directory
    std::string golden;  // in tests/golden/
    std::vector<std::string> options;
};

void PrintTo(const GoldenCase& c, std::ostream* os) { *os << c.label; }

const std::string projectDir = std::string(TESTS_DIR) + "/..";

// The lines of tests/golden/cases.
std::vector<GoldenCase> goldenCases() {
    std::vector<GoldenCase> cases;
    std::istringstream lines(readText(TESTS_DIR "/golden/cases"));
    for (std::string line; std::getline(lines, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream words(line);
        GoldenCase c;
        words >> c.label >> c.input >> c.golden;
        for (std::string word; words >> word;) c.options.push_back(word == "\"\"" ? "" : word);
        cases.push_back(c);
    }
    return cases;
}

TEST(GoldenCases, AreListed) { EXPECT_GE(goldenCases().size(), 14u) << "tests/golden/cases is missing lines"; }

class GoldenHeaders : public ::testing::TestWithParam<GoldenCase> {};

TEST_P(GoldenHeaders, AreTheReviewedOnes) {
    const GoldenCase& c = GetParam();
    ScratchDir dir;
    std::vector<std::string> args{"--emitter", PLUGIN_PATH, "-o", dir.path()};
    args.insert(args.end(), c.options.begin(), c.options.end());
    args.push_back(projectDir + "/" + c.input);
    const kc_e2e::KcResult run = kc_e2e::runKc(args, dir.path());
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string stem = std::filesystem::path(c.input).stem().string();
    const std::string actualPath = dir / (stem + ".xih");
    const std::string goldenPath = std::string(TESTS_DIR) + "/golden/" + c.golden;
    static std::set<std::string> rewritten;
    if (std::getenv("DARUROV_UPDATE_GOLDEN") && rewritten.insert(goldenPath).second) {
        std::ofstream(goldenPath, std::ios::binary) << readText(actualPath);
        GTEST_SKIP() << "rewrote " << goldenPath;
    }
    EXPECT_TRUE(readText(actualPath) == readText(goldenPath))
        << unifiedDiff(goldenPath, actualPath);
}

INSTANTIATE_TEST_SUITE_P(Inputs, GoldenHeaders, ::testing::ValuesIn(goldenCases()),
                         [](const auto& info) { return info.param.label; });

}  // namespace
