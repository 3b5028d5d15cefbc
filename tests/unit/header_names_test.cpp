// prefixedName, quotedText and applyStubName (with the fatal report 24).
#include "header_fixture.h"

using namespace darurov;
using namespace header_testing;

namespace {

class NamesTest : public HeaderTest {};

TEST_F(NamesTest, PrefixedNamePutsTheHostPrefixBetween) {
    EXPECT_STREQ(prefixedName("kavRD_", ""), "kavRD_");
    kavc::setClassPrefix("zoo_");
    EXPECT_STREQ(prefixedName("kavAP_", "walk"), "kavAP_zoo_walk");
    // The previous result may be fed back in.
    EXPECT_STREQ(prefixedName(prefixedName("a", "b"), "c"), "azoo_bzoo_c");
}

TEST_F(NamesTest, QuotedTextLeavesQuotedValuesAlone) {
    std::string buffer;
    EXPECT_STREQ(quotedText(buffer, "walk"), "\"walk\"");
    EXPECT_STREQ(quotedText(buffer, "\"walk\""), "\"walk\"");
    EXPECT_STREQ(quotedText(buffer, "\"half"), "\"half");
    EXPECT_STREQ(quotedText(buffer, ""), "\"\"");
}

struct StubNameCase {
    const char* label;
    std::vector<const char*> options;
    const char* globalPrefix;
    std::vector<std::pair<const char*, const char*>> mods;  // null value: bare
    const char* expected;
};

class ApplyStubName : public HeaderTest, public ::testing::WithParamInterface<StubNameCase> {};

TEST_P(ApplyStubName, FollowsTheFirstRuleThatApplies) {
    const StubNameCase& c = GetParam();
    options(c.options);
    kavc::setClassPrefix(c.globalPrefix);
    Entry* m = method("walk");
    for (auto [name, value] : c.mods) kavc::addMod(m, name, value);
    startPass();
    EXPECT_STREQ(applyStubName(m), c.expected);
    EXPECT_EQ(kavc::errorCount(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, ApplyStubName,
    ::testing::Values(
        StubNameCase{"noApplyStubs", {}, nullptr, {{"apply", "mine"}}, "NULL"},
        StubNameCase{"noApplyStubsBareApply", {"csc", "noapstubs"}, nullptr, {{"apply", nullptr}},
                     "NULL"},
        StubNameCase{"apply", {"csc"}, nullptr, {{"apply", "mine"}, {"generateapply", "gen"}},
                     "mine"},
        StubNameCase{"generateapplyValue", {"notc"}, "zoo_", {{"generateapply", "gen"}}, "gen"},
        StubNameCase{"generateapplyBare", {"csc"}, "zoo_", {{"generateapply", nullptr}},
                     "kavGAP_zoo_walk"},
        StubNameCase{"generateapplyBareNoPrefix", {"csc"}, nullptr, {{"generateapply", nullptr}},
                     "kavGAP_walk"},
        StubNameCase{"default", {"kavboot"}, "zoo_", {}, "kavAP_zoo_walk"},
        StubNameCase{"defaultNoPrefix", {"csc"}, nullptr, {}, "kavAP_walk"}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(NamesTest, ApplyWithoutValueIsFatal) {
    options({"csc"});
    Entry* m = method("walk", "long", 12);
    kavc::addMod(m, "apply");
    startPass();
    EXPECT_THROW(applyStubName(m), kavc::Fatal);
    ASSERT_EQ(kavc::messages().size(), 1u);
    EXPECT_EQ(kavc::messages()[0].rfind("animal.idl:12: fatal error: ", 0), 0u)
        << kavc::messages()[0];
    EXPECT_NE(kavc::messages()[0].find("[24]"), std::string::npos);
}

TEST_F(NamesTest, MetaclassTypeNameDefaultsToKAVClass) {
    EXPECT_STREQ(metaclassTypeName(cls), "KAVClass");
    Entry* meta = kavc::newClass("AnimalMeta", {}, nullptr, 1);
    kavc::setMetaclass(cls, meta);
    EXPECT_STREQ(metaclassTypeName(cls), "AnimalMeta");
}

}  // namespace
