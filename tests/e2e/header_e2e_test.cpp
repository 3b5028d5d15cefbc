// The emitter's messages through kc: the number, the place kc gives them, the exit status, and
// whether a header is left (whole headers are in tests/golden/).
#include "kc_run.h"

#include <gtest/gtest.h>

namespace {

struct MessageCase {
    const char* label;
    const char* input;   // below tests/idl/, or IDL text written to a scratch file
    std::vector<std::string> options;
    int status;
    std::vector<std::string> errors;  // lines of standard error, in order, after the file name
    const char* out = "";             // standard output
};

void PrintTo(const MessageCase& c, std::ostream* os) { *os << c.label; }

const std::string shadowIdl = R"(#include <kavobj.idl>
interface B : KAVObject {
    void x(inout long ctrl);
    void y(inout long ctrl);
    implementation { shadow = KAVObject; x: init; y: init; };
};
interface S : B {
    implementation { shadow = B; x: override, init; };
};
)";
const std::string initializerOverrideIdl = R"(#include <kavobj.idl>
interface B : KAVObject {
    void x(inout long ctrl);
    implementation { x: init; };
};
interface S : B {
    implementation { x: override, init; };
};
)";

class EmitterMessages : public ::testing::TestWithParam<MessageCase> {};

TEST_P(EmitterMessages, AreReportedAtTheirDeclaration) {
    const MessageCase& c = GetParam();
    kc_e2e::ScratchDir dir;
    std::string input = c.input;
    if (input.find('\n') != std::string::npos) {
        std::ofstream(dir / "input.idl") << input;
        input = dir / "input.idl";
    } else {
        input = kc_e2e::idl(input);
    }
    std::vector<std::string> args{"--emitter", PLUGIN_PATH, "-Wno-shared-names", "-o", dir.path()};
    args.insert(args.end(), c.options.begin(), c.options.end());
    args.push_back(input);
    const kc_e2e::KcResult run = kc_e2e::runKc(args, dir.path());
    EXPECT_EQ(run.status, c.status) << run.err;
    EXPECT_EQ(run.out, c.out);
    std::size_t at = 0;
    for (const std::string& error : c.errors) {
        std::size_t found = run.err.find(input + ":" + error + "\n", at);
        ASSERT_NE(found, std::string::npos) << error << "\n-- after " << at << " in --\n" << run.err;
        at = found + error.size();
    }
    const bool wrote = std::filesystem::exists(dir / (std::filesystem::path(input).stem().string() + ".xih"));
    EXPECT_EQ(wrote, c.status == 0);
}

const std::string error26 = "\": it is declared as a procedure or as non-static [26]";

INSTANTIATE_TEST_SUITE_P(
    Cases, EmitterMessages,
    ::testing::Values(
        MessageCase{"overrideOfProcedureOrNonStatic26", "header/override_procedure.idl", {}, 1,
                    {"20:9: error: cannot override method \"count" + error26,
                     "21:9: error: cannot override method \"size" + error26,
                     "22:9: error: cannot override method \"span" + error26}},
        // Only where the header writes its own apply stubs is a stub name needed.
        MessageCase{"applyWithoutValueFatal24", "header/bare_apply.idl", {"-m", "notc"}, 2,
                    {"5:10: fatal error: the \"apply\" modifier needs a value: the name of the apply "
                     "stub to use [24]"}},
        MessageCase{"applyWithoutValueUnread", "header/bare_apply.idl", {}, 0, {}},
        MessageCase{"secondGeneratorOfAStubWarns23", "stubs/apply_stubs.idl", {"-m", "notc"}, 0,
                    {"13:10: warning: apply stub \"moveStub\" is already generated in this file; the "
                     "existing stub is used [23] [-Wemitter]"}},
        // The rule is printed to standard output first; one message per cause on standard error.
        MessageCase{"shadowRules33", shadowIdl.c_str(), {}, 1,
                    {"7:11: error: shadow class rule broken (see the message printed above) [33]"},
                    "error -- class S cannot shadow the shadow class B\n"
                    "error -- shadow class S must override parent initializer B::y\n"},
        MessageCase{"initializerOverrideWithoutShadow228", initializerOverrideIdl.c_str(), {}, 1,
                    {"7:22: error: initializer \"x\" overrides or reintroduces an inherited method; "
                     "only a class with the \"shadow\" modifier may do that [228]"}}),
    [](const auto& info) { return std::string(info.param.label); });

}  // namespace
