// The kc command line.
#include "kc/options.h"

#include "host/option_table.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Parsed {
    bool ok;
    kc::Options options;
    std::vector<std::string> messages;
};

Parsed parse(std::vector<const char*> args) {
    args.insert(args.begin(), "kc");
    kc::Sources sources;
    kc::Diagnostics diag(sources);
    diag.setEcho(false);
    Parsed p;
    p.ok = kc::parseOptions(static_cast<int>(args.size()), args.data(), p.options, diag);
    p.messages = diag.messages();
    return p;
}

TEST(KcOptions, SeparateAndJoinedValues) {
    Parsed p = parse({"-o", "out", "-Iinc", "-I", "more", "-DX", "-D", "Y=2", "-mcsc", "-m", "notc=yes",
                      "-p", "zz_", "--emitter=plug.so", "file.idl"});
    ASSERT_TRUE(p.ok);
    const kc::Options& o = p.options;
    EXPECT_EQ(o.input, "file.idl");
    EXPECT_EQ(o.outputDir, "out");
    EXPECT_EQ(o.includeDirs, (std::vector<std::string>{"inc", "more"}));
    EXPECT_EQ(o.defines, (std::vector<std::pair<std::string, std::string>>{{"X", "1"}, {"Y", "2"}}));
    EXPECT_EQ(o.emitterOptions, (decltype(o.emitterOptions){{"csc", std::nullopt}, {"notc", "yes"}}));
    EXPECT_EQ(o.classPrefix.value_or(""), "zz_");
    EXPECT_EQ(o.emitter, "plug.so");
    EXPECT_FALSE(o.noDuplicateIntroducerCheck);
}

TEST(KcOptions, NodupcheckIsAFlagNotAnEmitterOption) {
    Parsed p = parse({"-m", "nodupcheck", "a.idl"});
    ASSERT_TRUE(p.ok);
    EXPECT_TRUE(p.options.noDuplicateIntroducerCheck);
    EXPECT_TRUE(p.options.emitterOptions.empty());
}

// Every global option of the table is taken without a word (the warnings for other names, with
// their hints: tests/diagnostics/user-option-*).
TEST(KcOptions, EmitterOptionNamesAreCheckedAgainstTheOptionTable) {
    for (const darurov::OptionRow& row : darurov::optionTable) {
        if (!(row.kinds & darurov::globalOption) || row.id == darurov::Option::nodupcheck) continue;
        Parsed p = parse({"-m", row.name, "a.idl"});
        EXPECT_TRUE(p.ok && p.messages.empty()) << row.name;
        ASSERT_EQ(p.options.emitterOptions.size(), 1u) << row.name;
    }
}

TEST(KcOptions, DefaultsAndInformationalSwitches) {
    Parsed p = parse({"--help", "--version", "--emitter", "x.so", "--", "-odd.idl"});
    ASSERT_TRUE(p.ok);
    EXPECT_TRUE(p.options.help);
    EXPECT_TRUE(p.options.version);
    EXPECT_EQ(p.options.outputDir, ".");
    EXPECT_EQ(p.options.emitter, "x.so");
    EXPECT_EQ(p.options.input, "-odd.idl");
}

struct Misuse {
    std::vector<const char*> args;
    const char* message;
};

// A value missing at the end of the line (other misuses: tests/diagnostics/user-option-*).
TEST(KcOptions, MisusesAreReported) {
    const std::vector<Misuse> cases = {
        {{"a.idl", "-o"}, "kc: error: missing argument to '-o'"},
        {{"a.idl", "--emitter"}, "kc: error: missing argument to '--emitter'"},
        {{"-"}, "kc: error: reading from standard input is not supported; name an IDL file"},
    };
    for (const Misuse& m : cases) {
        Parsed p = parse(m.args);
        EXPECT_FALSE(p.ok) << m.message;
        ASSERT_EQ(p.messages.size(), 1u) << m.message;
        EXPECT_EQ(p.messages[0], m.message);
    }
}

}  // namespace
