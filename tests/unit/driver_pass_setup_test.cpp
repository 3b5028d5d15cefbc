// The set-up of a pass: stub policy, state reset, initializer order.
#include "driver/lists.h"
#include "driver/state.h"
#include "driver/text.h"
#include "support/text.h"

#include <vector>

using namespace darurov;
using namespace testing_support;

namespace {

// The flags each stub policy fixes (the comment that explains them is in every golden header).
struct PolicyCase {
    const char* label;
    std::vector<const char*> options;
    int noApplyStubs;
    int noRedispatchStubs;
    int noDescriptors;
};

class StubPolicy : public HostTest, public ::testing::WithParamInterface<PolicyCase> {};

TEST_P(StubPolicy, FixesFlags) {
    const PolicyCase& c = GetParam();
    for (const char* option : c.options) kavc::setOption(option, nullptr);
    Entry* cls = kavc::newClass("Animal", {}, nullptr, 1);
    kavc::finishClass(cls);
    capture([&](FILE* out) { passSetUp(out, cls); });
    EXPECT_EQ(pass.noApplyStubs, c.noApplyStubs);
    EXPECT_EQ(pass.noRedispatchStubs, c.noRedispatchStubs);
    EXPECT_EQ(pass.noDescriptors, c.noDescriptors);
    EXPECT_STREQ(pass.currentClassName, "Animal");
    EXPECT_EQ(pass.instanceClassName, nullptr);
    EXPECT_STREQ(pass.linkageMacro, "KAVLINK");
    releasePassLists();
}

INSTANTIATE_TEST_SUITE_P(
    Variants, StubPolicy,
    ::testing::Values(
        // The option sets of the golden headers (tests/golden/cases) are theirs.
        PolicyCase{"zdlNordstubs", {"csc", "nordstubs"}, 0, 1, 0},
        PolicyCase{"zdlAllOff", {"csc", "noapstubs", "nordstubs", "nodesc"}, 1, 1, 1},
        PolicyCase{"idlNotcKavboot", {"notc", "kavboot"}, 0, 0, 0},
        // An IDL class never reads the ZDL switches.
        PolicyCase{"idlNotcIgnoresZdlSwitches", {"notc", "noapstubs", "nordstubs", "nodesc"}, 0, 0, 0}),
    [](const auto& info) { return std::string(info.param.label); });

// Whatever a pass leaves in the state (here as if it had stopped half-way) is gone when the
// next pass is set up: the deferred resolutions are released, every field starts afresh.
class PassReset : public HostTest {};

TEST_F(PassReset, SetUpLeavesNothingOfThePreviousPass) {
    Entry* cls = kavc::newClass("Bird", {}, nullptr, 1);
    Entry* walk = kavc::addMethod(cls, "walk", kavc::basicType("void"), 2);
    kavc::finishClass(cls);
    pass.hasInstanceData = true;
    pass.counts.migratedMethods = 3;
    pass.externalPrefix = "zoo_";
    pass.classPrefix = "meta_";
    pass.guardSuffix = "mxih";
    pass.instanceClassName = "M_Bird";
    pass.nameBuffer = "M_Bird_mxih";
    prefixedName("kavAP_", "walk");
    deferParentResolution(cls, "KAVObject", walk);
    capture([&](FILE* out) { passSetUp(out, cls); });
    EXPECT_FALSE(pass.hasInstanceData);
    EXPECT_EQ(pass.counts.migratedMethods, 0u);
    EXPECT_EQ(pass.externalPrefix, nullptr);
    EXPECT_EQ(pass.classPrefix, nullptr);
    EXPECT_STREQ(pass.guardSuffix, "xih");
    EXPECT_EQ(pass.instanceClassName, nullptr);
    EXPECT_EQ(pass.nameBuffer, "");
    EXPECT_EQ(pass.prefixedNameText, "");
    EXPECT_EQ(pass.deferred, nullptr);
    releasePassLists();
}

class InitializerOrder : public HostTest {
  protected:
    Entry* cls = nullptr;
    Entry* method(const char* name, bool init = true) {
        Entry* m = kavc::addMethod(cls, name, kavc::basicType("void"), 10);
        if (init) kavc::addMod(m, "init");
        return m;
    }
    std::vector<std::string> names() {
        std::vector<std::string> result;
        for (int i = 0; i < pass.initializers.count; ++i)
            result.push_back(pass.initializers.methods[i]->name);
        return result;
    }
    void setUp() {
        FILE* sink = std::fopen("/dev/null", "w");
        passSetUp(sink, cls);
        std::fclose(sink);
    }
    void SetUp() override {
        HostTest::SetUp();
        cls = kavc::newClass("Bird", {}, nullptr, 1);
    }
    void TearDown() override {
        releasePassLists();
        HostTest::TearDown();
    }
};

// Release order first, then the rest in method order; kavDefaultInit is never on the list.
TEST_F(InitializerOrder, ReleaseOrderFirstThenTheRestInMethodOrder) {
    struct Case {
        std::vector<const char*> methods;  // "-" before a name: no init modifier
        std::vector<std::string> releaseOrder, expected;
    };
    std::vector<std::string> many;
    for (int i = 0; i < 150; ++i) many.push_back("init" + std::to_string(i));
    const Case cases[] = {
        {{"fromA", "fromB", "-plain", "fromC", "kavDefaultInit"}, {"plain", "fromC", "fromA"}, {"fromC", "fromA", "fromB"}},
        {{"-plain"}, {"plain"}, {}},
        {{}, {}, many},
    };
    for (const Case& c : cases) {
        kavc::reset();
        cls = kavc::newClass("Bird", {}, nullptr, 1);
        for (const char* name : c.methods) method(name + (*name == '-'), *name != '-');
        if (c.methods.empty())
            for (const std::string& name : c.expected) method(kavc::str(name));
        if (!c.releaseOrder.empty()) kavc::setReleaseOrder(cls, c.releaseOrder);
        kavc::finishClass(cls);
        setUp();
        EXPECT_EQ(names(), c.expected);
        releasePassLists();
    }
}

TEST_F(InitializerOrder, NamelessItemBecomesNoNameAndTerminatorEndsTheWalk) {
    method("first");
    method("second");
    method("third");
    kavc::setReleaseOrder(cls, {"first", "third", "second"});
    kavc::finishClass(cls);
    ReleaseItem* first = cls->releaseOrder;
    ASSERT_NE(first, nullptr);
    ASSERT_NE(first->entry, nullptr);
    // A nameless item that still has its entry counts; the terminator ends the order.
    first->name = nullptr;
    ReleaseItem terminator{nullptr, nullptr, first->next->next, {}};
    first->next->next = &terminator;
    setUp();
    EXPECT_STREQ(first->name, "no_name");
    // "second" stands after the terminator, so it is appended in method order.
    EXPECT_EQ(names(), (std::vector<std::string>{"first", "third", "second"}));
    first->next->next = terminator.next;
}

// Of two initializers of one name the item places the first.
TEST_F(InitializerOrder, ItemWithoutEntryPlacesTheFirstInitializerOfItsName) {
    method("alpha");
    Entry* first = method("beta");
    Entry* second = method("beta");
    kavc::setReleaseOrder(cls, {"beta"});
    kavc::finishClass(cls);
    cls->releaseOrder->entry = nullptr;
    setUp();
    EXPECT_EQ(names(), (std::vector<std::string>{"beta", "alpha", "beta"}));
    EXPECT_EQ(pass.initializers.methods[0], first);
    EXPECT_EQ(pass.initializers.methods[2], second);
}

// Error 228 and a shadow class's initializer override: tests/diagnostics/emitter-initializer-*
// and the golden headers of tests/idl/header/menagerie.idl.
TEST_F(InitializerOrder, OnlyInitializersOfThePassAreTaken) {
    method("instanceInit");
    kavc::addMod(method("classInit"), "class");
    kavc::finishClass(cls);
    setUp();
    EXPECT_EQ(names(), (std::vector<std::string>{"instanceInit"}));
    kavtmeta = 1;
    releasePassLists();
    setUp();
    EXPECT_EQ(names(), (std::vector<std::string>{"classInit"}));
    kavtmeta = 0;
}

}  // namespace
