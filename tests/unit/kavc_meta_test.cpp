// The two passes of a class: implicit metaclass presentation, class names and parents.
#include "support/text.h"

namespace {

using testing_support::HostTest;

class KavcMeta : public HostTest {
  protected:
    // Base has class methods (an implicit metaclass); Plain has none; Explicit names M_Explicit.
    void SetUp() override {
        HostTest::SetUp();
        base = kavc::newClass("Base", {"Zoo"}, nullptr, 1);
        Entry* make = kavc::addMethod(base, "make", kavc::basicType("long"), 2);
        kavc::addMod(make, "class");
        kavc::finishClass(base);
        plain = kavc::newClass("Plain", {}, nullptr, 3);
        kavc::finishClass(plain);
        explicitMeta = kavc::newClass("M_Explicit", {}, nullptr, 4);
        kavc::addParent(explicitMeta, kavtkavcls, 4);
        kavc::finishClass(explicitMeta);
        withExplicit = kavc::newClass("Explicit", {}, nullptr, 5);
        kavc::setMetaclass(withExplicit, explicitMeta);
        kavc::finishClass(withExplicit);
    }
    Entry* base = nullptr;
    Entry* plain = nullptr;
    Entry* explicitMeta = nullptr;
    Entry* withExplicit = nullptr;
};

TEST_F(KavcMeta, ImplicitMetaclassNeedsClassMembersAndNoExplicitMetaclass) {
    EXPECT_EQ(kavtimplicitMeta(base), 1);
    EXPECT_EQ(kavtimplicitMeta(plain), 0);
    EXPECT_EQ(kavtimplicitMeta(withExplicit), 0);
    Entry* data = kavc::newClass("Counted", {}, nullptr, 6);
    kavc::addMod(kavc::addData(data, "instances", kavc::basicType("long"), 7), "class");
    EXPECT_EQ(kavtimplicitMeta(data), 1);
    // an explicit metaclass wins over class members
    kavc::setMetaclass(data, explicitMeta);
    EXPECT_EQ(kavtimplicitMeta(data), 0);
    EXPECT_EQ(kavtimplicitMeta(kavc::findMethod(base, "make")), 0);  // not a class
    EXPECT_EQ(kavtimplicitMeta(kavc::newModule("Mod", {}, nullptr, 8)), 0);
}

TEST_F(KavcMeta, MetaclassPassPresentsTheMetaclassAndUninitialiseRestores) {
    char* originalName = base->name;
    char** originalScoped = base->scopedName;
    Entry* methods = base->methods;
    Mod* mods = base->mods;

    kavtinitialiseMeta(base, kavc::unitStab(), 0, 1);
    EXPECT_EQ(kavtmeta, 0);
    EXPECT_STREQ(base->name, "Base");

    kavtinitialiseMeta(base, kavc::unitStab(), 1, 1);
    EXPECT_EQ(kavtmeta, 1);
    EXPECT_STREQ(base->name, "M_Base");
    std::string joined;
    EXPECT_STREQ(kavtsatos(base->scopedName, "::", joined), "::Zoo::M_Base");
    EXPECT_EQ(base->metaclass, nullptr);
    ASSERT_NE(base->companionClass, nullptr);
    EXPECT_STREQ(base->companionClass->name, "Base");
    EXPECT_EQ(base->methods, methods);
    EXPECT_EQ(base->mods, mods);
    std::string guard;
    EXPECT_STREQ(kavtincludeOnce(base, "mxih", guard), "Zoo_M_Base_mxih");
    EXPECT_STREQ(kavtclsname(base), "M_Base");

    kavtuninitialiseMeta(base);
    EXPECT_EQ(kavtmeta, 0);
    EXPECT_EQ(base->name, originalName);
    EXPECT_EQ(base->scopedName, originalScoped);
    EXPECT_EQ(base->companionClass, nullptr);
    EXPECT_STREQ(kavtincludeOnce(base, "xih", guard), "Zoo_Base_xih");
}

TEST_F(KavcMeta, MetaclassPassSelfTypeIsTheMetaclass) {
    Entry* make = kavc::findMethod(base, "make");
    std::string buffer;
    kavtinitialiseMeta(base, kavc::unitStab(), 1, 1);
    EXPECT_EQ(std::string(kavtprefixedPrototype(buffer, make, ", ", 0, "M_")),
              "long KAVLINK M_make(M_Base *kavSelf, Environment *ev)");
    kavtuninitialiseMeta(base);
}

TEST_F(KavcMeta, ClassNames) {
    EXPECT_STREQ(kavtclsname(base), "Base");
    EXPECT_STREQ(kavtclsname(explicitMeta), "M_Explicit");
    kavtinitialiseMeta(base, kavc::unitStab(), 1, 1);
    // in the metaclass pass a class stands for its metaclass
    EXPECT_STREQ(kavtclsname(withExplicit), "M_Explicit");
    EXPECT_STREQ(kavtclsname(plain), "Plain");
    EXPECT_STREQ(kavtclsname(kavtkavcls), "KAVClass");
    kavtuninitialiseMeta(base);
    Entry* other = kavc::newClass("Other", {}, nullptr, 9);
    kavc::addMod(kavc::addMethod(other, "count", kavc::basicType("long"), 9), "class");
    kavtinitialiseMeta(base, kavc::unitStab(), 1, 1);
    EXPECT_STREQ(kavtclsname(other), "M_Other");
    kavtuninitialiseMeta(base);
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

    const char* classPass[] = {"Base", "Plain", "Explicit", nullptr, "Plain2"};
    // metaclass names; a name already given is not repeated (Plain2 is a second KAVClass)
    const char* metaPass[] = {"M_Base", "KAVClass", "M_Explicit", nullptr, nullptr};

    kavtinitialiseMeta(child, kavc::unitStab(), 0, 1);
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        const char* name = kavtgetNonRepeatedParent(refs[i], i);
        if (classPass[i])
            EXPECT_STREQ(name, classPass[i]);
        else
            EXPECT_EQ(name, nullptr);
    }
    kavtinitialiseMeta(child, kavc::unitStab(), 1, 1);
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        const char* name = kavtgetNonRepeatedParent(refs[i], 0);
        if (metaPass[i])
            EXPECT_STREQ(name, metaPass[i]);
        else
            EXPECT_EQ(name, nullptr);
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
    EXPECT_EQ(kavtAncestorClass(leaf, "Leaf"), leaf);
    EXPECT_EQ(kavtAncestorClass(leaf, "Mid"), mid);
    EXPECT_EQ(kavtAncestorClass(leaf, "Base"), base);
    EXPECT_EQ(kavtAncestorClass(leaf, "Plain"), plain);
    // every class reaches the root, listed or not
    EXPECT_EQ(kavtAncestorClass(leaf, "KAVObject"), kavc::findClass("KAVObject"));
    EXPECT_EQ(kavtAncestorClass(leaf, "Explicit"), nullptr);
    EXPECT_EQ(kavtAncestorClass(base, "Mid"), nullptr);
}

TEST_F(KavcMeta, PassWithoutImplicitMetaclassOnlySwitchesKavtmeta) {
    kavtinitialiseMeta(plain, kavc::unitStab(), 1, 0);
    EXPECT_EQ(kavtmeta, 1);
    EXPECT_STREQ(plain->name, "Plain");
    EXPECT_EQ(plain->companionClass, nullptr);
    kavtuninitialiseMeta(plain);
    EXPECT_EQ(kavtmeta, 0);
}

}  // namespace
