// Whole headers of the example and a few rich inputs, byte for byte, against the reviewed
// files of tests/golden/ (shown as a unified diff on failure). After a change of the output
// that was meant and reviewed, rewrite them with
//     DARUROV_UPDATE_GOLDEN=1 build/tests/e2e_tests --gtest_filter='Inputs/GoldenHeaders.*'
// and read `git diff tests/golden` before committing it.
#include "kc_run.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <set>

namespace {

using kc_e2e::readText;
using kc_e2e::unifiedDiff;
using kc_e2e::ScratchDir;

struct GoldenCase {
    const char* label;
    const char* input;  // below the project directory
    std::vector<std::string> options;
    const char* golden;  // in tests/golden/
};

void PrintTo(const GoldenCase& c, std::ostream* os) { *os << c.label; }

const std::string projectDir = std::string(TESTS_DIR) + "/..";

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
    // A golden file that two cases share is written by the first and compared by the other.
    static std::set<std::string> rewritten;
    if (std::getenv("DARUROV_UPDATE_GOLDEN") && rewritten.insert(goldenPath).second) {
        std::ofstream(goldenPath, std::ios::binary) << readText(actualPath);
        GTEST_SKIP() << "rewrote " << goldenPath;
    }
    EXPECT_TRUE(readText(actualPath) == readText(goldenPath))
        << unifiedDiff(goldenPath, actualPath);
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, GoldenHeaders,
    ::testing::Values(GoldenCase{"example", "examples/animal.idl", {}, "animal.xih"},
                      GoldenCase{"zdlTables", "tests/idl/tables/every_table.idl", {"-m", "csc"},
                                 "every_table.csc.xih"},
                      GoldenCase{"ownStubs", "tests/idl/stubs/apply_stubs.idl", {"-m", "notc"},
                                 "apply_stubs.notc.xih"},
                      GoldenCase{"lifecycle", "tests/idl/initializers/lifecycle.idl", {},
                                 "lifecycle.xih"},
                      GoldenCase{"diamondKavboot", "tests/idl/parents/diamond.idl",
                                 {"-m", "kavboot"}, "diamond.kavboot.xih"},
                      GoldenCase{"methodInfo", "tests/idl/stubs/method_info.idl", {},
                                 "method_info.xih"},
                      GoldenCase{"menagerie", "tests/idl/header/menagerie.idl", {},
                                 "menagerie.xih"},
                      // The switches of a ZDL class change nothing in an IDL class.
                      GoldenCase{"menagerieIgnoresZdlSwitches", "tests/idl/header/menagerie.idl",
                                 {"-m", "nodesc", "-m", "nordstubs", "-m", "noapstubs"},
                                 "menagerie.xih"},
                      GoldenCase{"menagerieNotcPblPassih", "tests/idl/header/menagerie.idl",
                                 {"-m", "notc", "-m", "pbl", "-m", "passih", "-p", "host_"},
                                 "menagerie.notc_pbl_passih.xih"},
                      GoldenCase{"menagerieZdl", "tests/idl/header/menagerie.idl", {"-m", "csc"},
                                 "menagerie.csc.xih"},
                      GoldenCase{"menagerieZdlNodescNordstubs", "tests/idl/header/menagerie.idl",
                                 {"-m", "csc", "-m", "nodesc", "-m", "nordstubs"},
                                 "menagerie.csc_nodesc_nordstubs.xih"},
                      GoldenCase{"menagerieZdlNoapstubsNothunks", "tests/idl/header/menagerie.idl",
                                 {"-m", "csc", "-m", "noapstubs", "-m", "nothunks", "-p", ""},
                                 "menagerie.csc_noapstubs_nothunks.xih"},
                      GoldenCase{"frontEnd", "tests/idl/header/front_end.idl", {}, "front_end.xih"},
                      GoldenCase{"sharedNameNodupcheck", "tests/idl/valid/dup_introducer.idl",
                                 {"-m", "nodupcheck"}, "dup_introducer.nodupcheck.xih"}),
    [](const auto& info) { return std::string(info.param.label); });

}  // namespace
