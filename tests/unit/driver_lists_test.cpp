// Inheritance-graph questions and the method lists built from them.
#include "driver/lists.h"
#include "driver/state.h"
#include "support/text.h"

#include <algorithm>
#include <climits>
#include <string>
#include <vector>

using namespace darurov;
using namespace testing_support;

namespace {

class ListHelpers : public HostTest {
  protected:
    Entry* make(const char* name, std::vector<Entry*> parents,
                std::vector<const char*> methods = {}) {
        Entry* cls = kavc::newClass(name, {}, nullptr, 1);
        for (Entry* p : parents) kavc::addParent(cls, p, 1);
        for (const char* m : methods) kavc::addMethod(cls, m, kavc::basicType("void"), 20);
        return cls;
    }
    Entry* ref(Entry* cls, int position) {
        Entry* r = cls->parents;
        while (--position > 0) r = r->next;
        return r;
    }
    std::vector<std::string> names(MethodList list) {
        std::vector<std::string> result;
        for (MethodCell* c = list; c; c = c->next) result.push_back(c->method->name);
        return result;
    }
    InheritedMethodList inheritedOf(Entry* cls) {
        pass.currentClassName = cls->name;
        InheritedMethodList list = nullptr;
        for (Entry* p = cls->parents; p; p = p->next) {
            if (ancestorPathCount(p, cls) != 1) continue;
            MethodList parentMethods = parentMethodsNotReintroduced(cls, p->cls);
            for (MethodCell* c = parentMethods; c; c = c->next)
                list = addInheritedMethod(list, c->method);
            releaseMethodList(parentMethods);
        }
        return list;
    }
};

TEST_F(ListHelpers, ParentNumberCountsFromOneAndTakesTheFirstOfTwins) {
    Entry* a = make("A", {});
    Entry* b = make("B", {});
    Entry* c = make("C", {a, b, a});
    EXPECT_EQ(parentNumber(c, "A"), 1);
    EXPECT_EQ(parentNumber(c, "B"), 2);
    EXPECT_EQ(parentNumber(c, "Z"), 0);
}

TEST_F(ListHelpers, DiamondPathCounts) {
    Entry* a = make("A", {}, {"m"});
    kavc::finishClass(a);
    Entry* b = make("B", {a});
    kavc::finishClass(b);
    Entry* c = make("C", {a});
    kavc::finishClass(c);
    Entry* d = make("D", {b, c});
    kavc::finishClass(d);
    EXPECT_EQ(ancestorPathCount(ref(d, 1), d), 1);
    EXPECT_EQ(ancestorPathCount(ref(d, 2), d), 1);
    EXPECT_EQ(ancestorPathCount(ref(b, 1), d), 2);  // a reference named A
    // A's methods arrive through B and again through C: the same introducer, no error.
    InheritedMethodList list = inheritedOf(d);
    EXPECT_EQ(kavc::errorCount(), 0);
    std::vector<std::string> got = names(list);
    EXPECT_EQ(std::count(got.begin(), got.end(), "m"), 1);
    releaseMethodList(list);
}

// Layers of two classes, each inheriting both of the layer above: the paths to the top double
// per layer, the classes do not. Sums are made once per class; past what an int holds they stay
// at its maximum (the callers only ask for 1).
TEST_F(ListHelpers, LatticePathCountsDoubleAndSaturate) {
    struct Case {
        int layers;
        int expected;
    };
    for (const Case& c : {Case{3, 4}, Case{20, 1 << 19}, Case{80, INT_MAX}}) {
        Entry* top = make("Top", {});
        std::vector<Entry*> layer{make("L1a", {top}), make("L1b", {top})};
        for (int k = 2; k < c.layers; ++k) {
            std::string n = std::to_string(k);
            layer = {make(("L" + n + "a").c_str(), layer), make(("L" + n + "b").c_str(), layer)};
        }
        Entry* bottom = make("Bottom", layer);
        Entry* topRef = layer[0];
        while (topRef->parents->cls != top) topRef = topRef->parents->cls;
        EXPECT_EQ(ancestorPathCount(topRef->parents, bottom), c.expected) << c.layers << " layers";
        kavc::reset();
    }
}

TEST_F(ListHelpers, ParentAlsoAncestorOfAnotherParentContributesNothingItself) {
    Entry* a = make("A", {}, {"onlyA"});
    kavc::finishClass(a);
    Entry* b = make("B", {a}, {"onlyB"});
    kavc::finishClass(b);
    Entry* c = make("C", {a, b});
    kavc::finishClass(c);
    EXPECT_EQ(ancestorPathCount(ref(c, 1), c), 2);
    InheritedMethodList list = inheritedOf(c);
    std::vector<std::string> got = names(list);
    EXPECT_NE(std::find(got.begin(), got.end(), "onlyA"), got.end());
    EXPECT_NE(std::find(got.begin(), got.end(), "onlyB"), got.end());
    releaseMethodList(list);
}

// Two parents introducing one name is error 35, unless flag 40 bit 2 silences it; the first
// parent's method stays either way.
TEST_F(ListHelpers, TwoIntroducersOfOneNameAreError35UnlessSilenced) {
    for (bool silenced : {false, true}) {
        kavc::reset();
        if (silenced) kavc::setFlag(40, 2);
        Entry* a = make("A", {}, {"m"});
        kavc::finishClass(a);
        Entry* b = make("B", {}, {"m"});
        kavc::finishClass(b);
        Entry* c = make("C", {a, b});
        kavc::finishClass(c);
        InheritedMethodList list = inheritedOf(c);
        ASSERT_EQ(kavc::errorCount(), silenced ? 0 : 1);
        if (!silenced) {
            const std::string& message = kavc::messages().back();
            EXPECT_NE(message.find("C::m"), std::string::npos) << message;
            EXPECT_LT(message.find("A"), message.rfind("B")) << message;
            EXPECT_NE(message.find("[35]"), std::string::npos) << message;
        }
        std::vector<Entry*> kept;
        for (MethodCell* cell = list; cell; cell = cell->next)
            if (std::string(cell->method->name) == "m") kept.push_back(cell->method->cls);
        EXPECT_EQ(kept, std::vector<Entry*>{a});
        releaseMethodList(list);
    }
}

TEST_F(ListHelpers, ReintroducingAnOrdinaryMethodIsError35) {
    Entry* a = make("A", {}, {"plain", "flexible"});
    kavc::addMod(kavc::findMethod(a, "flexible"), "nonstatic");
    kavc::finishClass(a);
    Entry* b = make("B", {a});
    kavc::addReintroduce(b, kavc::findMethod(a, "flexible"), 30);
    kavc::addReintroduce(b, kavc::findMethod(a, "plain"), 31);
    kavc::finishClass(b);
    MethodList list = parentMethodsNotReintroduced(b, a);
    std::vector<std::string> got = names(list);
    // Both reintroduced methods are left out; only the ordinary one is an error.
    EXPECT_EQ(std::find(got.begin(), got.end(), "plain"), got.end());
    EXPECT_EQ(std::find(got.begin(), got.end(), "flexible"), got.end());
    ASSERT_EQ(kavc::errorCount(), 1);
    const std::string& message = kavc::messages().back();
    EXPECT_NE(message.find(":31: error: "), std::string::npos) << message;
    EXPECT_NE(message.find("plain"), std::string::npos) << message;
    releaseMethodList(list);
}

TEST_F(ListHelpers, CollectMethodsListsEachNameOnceDepthFirst) {
    Entry* a = make("A", {}, {"x", "y"});
    kavc::finishClass(a);
    Entry* b = make("B", {a}, {"z"});
    Entry* over = kavc::addOverride(b, kavc::findMethod(a, "x"), 3);  // x under another Entry
    kavc::finishClass(b);
    MethodCell* tail = nullptr;
    MethodList list = collectMethods(b, nullptr, tail);
    std::vector<std::string> got = names(list);
    EXPECT_EQ(std::count(got.begin(), got.end(), "x"), 1);
    EXPECT_EQ(list->next->method, over);  // the class's own Entry of the name comes first
    got.resize(3);
    EXPECT_EQ(got, (std::vector<std::string>{"z", "x", "y"}));
    EXPECT_EQ(tail->next, nullptr);
    releaseMethodList(list);
}

TEST_F(ListHelpers, CollectedListKeepsAWorkingNameIndex) {
    Entry* a = make("A", {}, {"x", "y"});
    kavc::finishClass(a);
    Entry* b = make("B", {a}, {"z"});
    kavc::finishClass(b);
    MethodCell* tail = nullptr;
    InheritedMethodList list = collectMethods(b, nullptr, tail);
    Entry* w = kavc::findMethod(make("O", {}, {"w"}), "w");
    list = addInheritedMethod(list, w);  // indexed as it is added
    for (Entry* method : {kavc::findMethod(a, "x"), kavc::findMethod(a, "y"), kavc::findMethod(b, "z"), w})
        EXPECT_EQ(findInheritedMethod(list, method->name), method) << method->name;
    releaseMethodList(list);
}

// The lists are walked for the first searches and indexed after: every search gives the first
// entry of the name either way.
TEST_F(ListHelpers, MethodSearchesAgreeBeforeAndAfterIndexing) {
    pass = PassState{};  // no index of an earlier test's classes
    Entry* a = make("A", {}, {"x", "y"});
    kavc::finishClass(a);
    Entry* b = make("B", {a}, {"z"});
    Entry* over = kavc::addOverride(b, kavc::findMethod(a, "x"), 3);
    kavc::finishClass(b);
    Entry* x = kavc::findMethod(a, "x");
    Entry* y = kavc::findMethod(a, "y");
    Entry* z = kavc::findMethod(b, "z");
    const struct {
        Entry* (*search)(Entry*, const char*);
        const char* name;
        Entry* expected;
    } cases[] = {
        {inheritedMethodNamed, x->name, x}, {inheritedMethodNamed, y->name, y},
        {inheritedMethodNamed, z->name, nullptr}, {chainMethodNamed, x->name, over},
        {chainMethodNamed, z->name, z}, {chainMethodNamed, y->name, nullptr},
    };
    for (int round = 0; round < 40; ++round)
        for (const auto& c : cases) EXPECT_EQ(c.search(b, c.name), c.expected) << c.name << " round " << round;
}

TEST_F(ListHelpers, IsMethodOfMatchesByIdentityOrName) {
    Entry* a = make("A", {}, {"talk"});
    kavc::finishClass(a);
    Entry* b = make("B", {a});
    Entry* over = kavc::addOverride(b, kavc::findMethod(a, "talk"), 3);
    kavc::finishClass(b);
    EXPECT_TRUE(isMethodOf(b, over));
    EXPECT_TRUE(isMethodOf(b, kavc::findMethod(a, "talk")));  // same name
    Entry* other = make("O", {}, {"walk"});
    EXPECT_FALSE(isMethodOf(b, kavc::findMethod(other, "walk")));
}

TEST_F(ListHelpers, DeferredResolutionsComeBackLastInFirstOut) {
    Entry* a = make("A", {}, {"f", "g"});
    kavc::finishClass(a);
    deferParentResolution(a, "Intro1", kavc::findMethod(a, "f"));
    deferParentResolution(a, "Intro2", kavc::findMethod(a, "g"));
    std::vector<std::string> popped;
    while (DeferredResolution* record = popDeferred()) {
        popped.push_back(std::string(record->method->name) + " " + record->introducer);
        releaseDeferred(record);
    }
    EXPECT_EQ(popped, (std::vector<std::string>{"g Intro2", "f Intro1"}));
}

TEST_F(ListHelpers, LifecycleMethodsByNameOrInitModifier) {
    Entry* a = make("A", {}, {"kavDestruct", "kavDefaultConstVAssign", "kavInit", "build"});
    kavc::addMod(kavc::findMethod(a, "build"), "init");
    for (const char* name : {"kavDestruct", "kavDefaultConstVAssign", "build", "kavInit"})
        EXPECT_EQ(isLifecycleMethod(kavc::findMethod(a, name)), std::string(name) != "kavInit") << name;
}

}  // namespace
