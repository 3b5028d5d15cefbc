// The two passes of a class: implicit metaclass presentation, class names and parents.
#include "support/text.h"

namespace {

using testing_support::HostTest;

class KavcMeta : public HostTest {
  protected:
    // Base (Zoo::Base, C name Zoo_Base) has a class method and Counted class data (implicit
    // metaclasses); Plain has neither; Explicit names its metaclass M_Explicit.
    void SetUp() override {
        HostTest::SetUp();
        base = kavc::newClass("Base", {"Zoo"}, nullptr, 1, "Zoo_Base");
        kavc::addMod(kavc::addMethod(base, "make", kavc::basicType("long"), 2), "class");
        kavc::finishClass(base);
        plain = kavc::newClass("Plain", {}, nullptr, 3);
        kavc::finishClass(plain);
        explicitMeta = kavc::newClass("M_Explicit", {}, nullptr, 4);
        kavc::addParent(explicitMeta, kavtkavcls, 4);
        kavc::finishClass(explicitMeta);
        withExplicit = kavc::newClass("Explicit", {}, nullptr, 5);
        kavc::setMetaclass(withExplicit, explicitMeta);
        kavc::finishClass(withExplicit);
        counted = kavc::newClass("Counted", {}, nullptr, 6);
        kavc::addMod(kavc::addData(counted, "instances", kavc::basicType("long"), 7), "class");
        kavc::finishClass(counted);
    }
    Entry *base = nullptr, *plain = nullptr, *explicitMeta = nullptr, *withExplicit = nullptr, *counted = nullptr;
};

TEST_F(KavcMeta, ImplicitMetaclassNeedsClassMembersAndNoExplicitMetaclass) {
    EXPECT_EQ(kavtimplicitMeta(base), 1);
    EXPECT_EQ(kavtimplicitMeta(plain), 0);
    EXPECT_EQ(kavtimplicitMeta(withExplicit), 0);
    EXPECT_EQ(kavtimplicitMeta(counted), 1);
    kavc::setMetaclass(counted, explicitMeta);  // an explicit metaclass wins
    EXPECT_EQ(kavtimplicitMeta(counted), 0);
    EXPECT_EQ(kavtimplicitMeta(kavc::findMethod(base, "make")), 0);
    EXPECT_EQ(kavtimplicitMeta(kavc::newModule("Mod", {}, nullptr, 8)), 0);
}

TEST_F(KavcMeta, MetaclassPassPresentsTheMetaclassAndUninitialiseRestores) {
    Entry* methods = base->methods;
    Mod* mods = base->mods;
    std::string buffer;
    EXPECT_STREQ(kavtclsname(withExplicit), "Explicit");
    // the class pass, and a metaclass pass told not to present, only set kavtmeta
    for (int pass : {0, 1}) {
        kavtinitialiseMeta(base, kavc::unitStab(), pass, pass == 0);
        EXPECT_EQ(kavtmeta, pass);
        EXPECT_STREQ(base->name, "Zoo_Base");
        EXPECT_EQ(base->companionClass, nullptr);
    }
    kavtinitialiseMeta(base, kavc::unitStab(), 1, 1);
    EXPECT_EQ(kavtmeta, 1);
    // M_ before the C name; the scoped name keeps the IDL name (the guards and prototypes this
    // gives: the golden headers of tests/idl/header/menagerie.idl)
    EXPECT_STREQ(base->name, "M_Zoo_Base");
    EXPECT_STREQ(kavtsatos(base->scopedName, "::", buffer), "::Zoo::M_Base");
    EXPECT_EQ(base->metaclass, nullptr);
    ASSERT_NE(base->companionClass, nullptr);
    EXPECT_STREQ(base->companionClass->name, "Zoo_Base");
    EXPECT_EQ(base->methods, methods);
    EXPECT_EQ(base->mods, mods);
    // the presented class keeps its name; other classes stand for their metaclass
    const std::pair<Entry*, const char*> names[] = {
        {base, "M_Zoo_Base"}, {withExplicit, "M_Explicit"}, {counted, "M_Counted"},
        {plain, "Plain"}, {kavtkavcls, "KAVClass"}};
    for (const auto& [cls, name] : names) EXPECT_STREQ(kavtclsname(cls), name);

    kavtuninitialiseMeta(base);
    EXPECT_EQ(kavtmeta, 0);
    EXPECT_STREQ(kavtsatos(base->scopedName, "::", buffer), "::Zoo::Base");
    EXPECT_STREQ(base->name, "Zoo_Base");
    EXPECT_EQ(base->companionClass, nullptr);
}

TEST_F(KavcMeta, NonRepeatedParentsInBothPasses) {
    Entry* child = kavc::newClass("Child", {}, nullptr, 10);
    kavc::addMod(kavc::addMethod(child, "kind", kavc::basicType("long"), 11), "class");
    Entry* refs[] = {
        kavc::addParent(child, base, 10),         kavc::addParent(child, plain, 10),
        kavc::addParent(child, withExplicit, 10), kavc::addParent(child, base, 10),
        kavc::addParent(child, kavc::newClass("Plain2", {}, nullptr, 12), 10),
    };
    kavc::finishClass(child);
    // null: the name was given by an earlier reference (Plain2 would be a second KAVClass)
    const char* expected[2][5] = {{"Zoo_Base", "Plain", "Explicit", nullptr, "Plain2"},
                                  {"M_Zoo_Base", "KAVClass", "M_Explicit", nullptr, nullptr}};
    for (int pass = 0; pass < 2; ++pass) {
        kavtinitialiseMeta(child, kavc::unitStab(), pass, 1);
        for (int i = 0; i < 5; ++i) {
            SCOPED_TRACE(std::to_string(pass) + "/" + std::to_string(i));
            const char* name = kavtgetNonRepeatedParent(refs[i], i);
            EXPECT_EQ(name ? std::string(name) : "(null)", expected[pass][i] ? expected[pass][i] : "(null)");
        }
    }
    kavtuninitialiseMeta(child);
}

TEST_F(KavcMeta, AncestorClass) {
    Entry* mid = kavc::newClass("Mid", {}, nullptr, 20);
    kavc::addParent(mid, base, 20);
    kavc::finishClass(mid);
    Entry* leaf = kavc::newClass("Leaf", {}, nullptr, 21);
    kavc::addParent(leaf, plain, 21);
    kavc::addParent(leaf, mid, 21);
    kavc::finishClass(leaf);
    const std::pair<const char*, Entry*> table[] = {
        {"Leaf", leaf}, {"Mid", mid}, {"Plain", plain},
        {"Base", base}, {"Zoo_Base", base},  // by IDL name (a default direct-init list) or C name
        {"KAVObject", kavc::findClass("KAVObject")},  // reached by every class, listed or not
        {"Explicit", nullptr},
    };
    for (const auto& [name, found] : table) EXPECT_EQ(kavtAncestorClass(leaf, name), found) << name;
    EXPECT_EQ(kavtAncestorClass(base, "Mid"), nullptr);
}

}  // namespace
