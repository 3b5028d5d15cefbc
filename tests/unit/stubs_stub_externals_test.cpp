// External declarations: the registry cases the section itself cannot produce alone.
// (Declarations, guards and order are checked through the section, in the apply-stub tests.)
#include "stubs_fixture.h"

namespace {

using namespace stubs_testing;

const std::string externalsBanner =
    comment("Generate dummy external for those stubs that are not declared in this file.");

class StubExternalsTest : public StubsTest {
  protected:
    void SetUp() override {
        StubsTest::SetUp();
        kavtcreateStab(&registry, 167, sizeof(darurov::StubRecord));
    }
    void TearDown() override {
        kavtfreeStab(&registry);
        StubsTest::TearDown();
    }
    void add(const char* name, unsigned char definedHere) {
        darurov::StubRecord record{kavc::str(name), definedHere};
        kavtaddEntry(&registry, name, &record);
    }
    std::string externals() {
        return capture([&](FILE* out) { darurov::emitStubExternals(out, &registry); });
    }
    Stab registry{};
};

TEST_F(StubExternalsTest, EmptyRegistryWritesNothing) { EXPECT_EQ(externals(), ""); }

TEST_F(StubExternalsTest, StubsAllDefinedHereWriteOnlyTheBanner) {
    add("kavGAP_run", 1);
    add("moveStub", 1);
    EXPECT_EQ(externals(), externalsBanner);
}

}  // namespace
