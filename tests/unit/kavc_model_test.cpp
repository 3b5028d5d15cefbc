// The unit the builder makes: root classes, modifiers, derived class fields, tables and texts.
#include "support/text.h"
#include <cstring>

namespace {

using testing_support::HostTest;
using Names = std::vector<std::string>;

// The names along any host chain (Entries, modifiers, name lists, method references).
template <class T>
Names names(T* list) {
    Names result;
    for (; list; list = list->next) {
        if constexpr (requires { list->method; })
            result.emplace_back(list->method->name);
        else
            result.emplace_back(list->name);
    }
    return result;
}

const Names objectMethods = {
    "kavInit", "kavUninit", "kavDefaultInit", "kavDestruct", "kavDefaultCopyInit", "kavDefaultConstCopyInit",
    "kavDefaultVCopyInit", "kavDefaultConstVCopyInit", "kavDefaultAssign", "kavDefaultConstAssign",
    "kavDefaultVAssign", "kavDefaultConstVAssign", "kavGetClass", "kavGetSize",
};

Entry* rootMethod(const char* name) { return kavc::findMethod(kavc::findClass("KAVObject"), name); }

// Base: class method make(), procedure nap(minutes). Animal : Base: new methods (one a class
// method), an attribute, overrides of kavDefaultInit and make, nap reintroduced, data members
// with visibility modifiers and a release order.
class KavcModel : public HostTest {
  protected:
    void SetUp() override {
        HostTest::SetUp();
        TypeCode* lng = kavc::basicType("long");
        base = kavc::newClass("Base", {}, nullptr, 1);
        make = kavc::addMethod(base, "make", lng, 1);
        kavc::addMod(make, "class");
        nap = kavc::addMethod(base, "nap", lng, 2);
        kavc::addParam(nap, "minutes", lng, kavtModeIn);
        kavc::addMod(nap, "procedure");
        kavc::finishClass(base);
        cls = kavc::newClass("Animal", {}, nullptr, 3);
        kavc::addParent(cls, base, 3);
        talk = kavc::addMethod(cls, "talk", nullptr, 4);
        kavc::addAttribute(cls, "weight", lng, false, 4);
        kavc::addMod(kavc::addMethod(cls, "proc", nullptr, 5), "procedure");
        kavc::addMod(kavc::addMethod(cls, "nonstat", nullptr, 5), "nonstatic");
        kavc::addMod(kavc::addMethod(cls, "priv", nullptr, 5), "private");
        Entry* counter = kavc::addMethod(cls, "counter", nullptr, 5);
        kavc::addMod(counter, "class");
        kavc::addMod(counter, "private");
        init = kavc::addOverride(cls, rootMethod("kavDefaultInit"), 6);
        overMake = kavc::addOverride(cls, make, 7);
        kavc::addMod(kavc::addReintroduce(cls, nap, 9), "namelookup");
        a = kavc::addData(cls, "a", lng, 10);
        kavc::addMod(kavc::addData(cls, "b", lng, 10), "private");
        kavc::addData(cls, "c", lng, 10);
        kavc::addMod(kavc::addData(cls, "d", lng, 10), "public");
        kavc::addMod(kavc::addData(cls, "e", lng, 10), "private");
        kavc::setReleaseOrder(cls, {"talk", "gone", "_get_weight", "a", "_set_weight"});
        kavc::finishClass(cls);
    }
    Entry *base = nullptr, *make = nullptr, *nap = nullptr, *cls = nullptr, *talk = nullptr;
    Entry *init = nullptr, *overMake = nullptr, *a = nullptr;
};

TEST_F(KavcModel, RootClassesExistAfterResetOutsideTheUnit) {
    kavc::reset();
    ASSERT_NE(kavtkavcls, nullptr);
    EXPECT_STREQ(kavtkavcls->name, "KAVClass");
    EXPECT_EQ(names(kavc::findClass("KAVObject")->methods), objectMethods);
    EXPECT_EQ(names(kavtkavcls->inheritedMethods), objectMethods);
    EXPECT_EQ(kavc::findClass("KAVObject")->inheritedMethods, nullptr) << "the root is no parent of its own";
    for (const char* name : {"kavNew", "kavGetName", "kavDeallocate", "_get_kavDirectInitClasses"})
        EXPECT_NE(kavc::findMethod(kavtkavcls, name), nullptr) << name;
    EXPECT_TRUE(kavc::topLevel().empty());
    EXPECT_EQ(kavtstabFirst(kavc::unitStab(), 0), nullptr);
}

TEST_F(KavcModel, ModifiersOptionsAndDescriptors) {
    kavc::setFilePath("dir/sub/animal.idl");
    Entry* zoo = kavc::newClass("Animal", {"Zoo"}, nullptr, 1);
    kavc::addMod(zoo, "externalprefix", "zoo_");
    kavc::addMod(zoo, "abstract");
    EXPECT_STREQ(kavtgetatt(zoo, "externalprefix"), "zoo_");
    EXPECT_STREQ(kavtgetAtt(zoo->mods, "abstract", 0), "\x01");
    EXPECT_EQ(kavtgetatt(zoo, "classprefix"), nullptr);
    EXPECT_STREQ(kavtfileStem, "animal");
    // every new method has exactly one descriptor; a written one replaces the default
    Entry* walk = kavc::addMethod(zoo, "walk", nullptr, 3);
    kavc::addMod(walk, "descriptor", "walkdesc");
    EXPECT_STREQ(kavtgetatt(kavc::addMethod(zoo, "talk", nullptr, 2), "descriptor"), "\"Zoo::Animal::talk\"");
    EXPECT_EQ(names(walk->mods), Names{"descriptor"});
    EXPECT_STREQ(kavtgetatt(walk, "descriptor"), "walkdesc");
    // the name is the caller's text, not its pointer: one buffer asked with another name
    char asked[16] = "externalprefix";
    EXPECT_STREQ(kavtgetatt(zoo, asked), "zoo_");
    std::strcpy(asked, "abstract");
    EXPECT_STREQ(kavtgetatt(zoo, asked), "\x01");
    std::strcpy(asked, "absent");
    EXPECT_EQ(kavtgetatt(zoo, asked), nullptr);

    kavc::setOption("csc", nullptr);
    kavc::setOption("nodesc", "yes");
    kavc::setFlag(40, 2);
    EXPECT_STREQ(kavtgetgatt("csc"), "\x01");
    EXPECT_STREQ(kavtgetgatt("nodesc"), "yes");
    EXPECT_EQ(kavtg_f[40], 2);
    kavc::reset();
    EXPECT_EQ(kavtgetgatt("csc"), nullptr);
    EXPECT_EQ(kavtg_f[40], 0);
}

TEST_F(KavcModel, OverridesAndCounts) {
    EXPECT_EQ(init->type, kavtOverrideType);
    EXPECT_EQ(init->name, rootMethod("kavDefaultInit")->name);  // the same pointer
    EXPECT_EQ(init->cls, kavc::findClass("KAVObject"));
    EXPECT_EQ(init->origin, rootMethod("kavDefaultInit"));
    EXPECT_EQ(init->argCount, 1);
    EXPECT_EQ(kavtgetatt(init, "descriptor"), nullptr);
    EXPECT_NE(kavtgetatt(overMake, "class"), nullptr);
    // accessors follow their attribute; reintroductions stay out of the chain
    EXPECT_EQ(names(cls->methods), (Names{"talk", "_get_weight", "_set_weight", "proc", "nonstat", "priv", "counter",
                                         "kavDefaultInit", "make"}));
    // procedures and non-static methods count; overrides do not
    EXPECT_EQ(kavtnewMethodsCount(cls, 0, 1), 6);
    EXPECT_EQ(kavtnewMethodsCount(cls, 1, 1), 1);
    EXPECT_EQ(kavtprivateMethodsCount(cls, 0), 1);
    EXPECT_EQ(kavtprivateMethodsCount(cls, 1), 1);
    kavc::addMod(kavc::addMethod(cls, "later", nullptr, 12), "class");
    EXPECT_EQ(kavtnewMethodsCount(cls, 1, 1), 2) << "counted again after a change";
}

TEST_F(KavcModel, InheritedMethodsOncePerNameDepthFirstThroughADiamond) {
    Entry* d = kavc::newClass("D", {}, nullptr, 4);
    // C introduces a name Animal introduces too: listed once, Animal's
    const std::pair<const char*, const char*> sides[] = {{"B", "fb"}, {"C", "talk"}};
    for (auto [name, method] : sides) {
        Entry* side = kavc::newClass(name, {}, nullptr, 2);
        kavc::addParent(side, cls, 2);
        kavc::addMethod(side, method, nullptr, 2);
        kavc::finishClass(side);
        kavc::addParent(d, side, 4);
    }
    kavc::finishClass(d);
    // Animal's overrides and its reintroduced nap are not listed: only the introducing methods
    Names expected = {"fb", "talk", "_get_weight", "_set_weight", "proc", "nonstat", "priv", "counter", "make", "nap"};
    expected.insert(expected.end(), objectMethods.begin(), objectMethods.end());
    EXPECT_EQ(names(d->inheritedMethods), expected);
    EXPECT_EQ(kavc::findInheritedMethod(d, "kavDefaultInit"), rootMethod("kavDefaultInit"));
}

// A class of one parent takes the parent's list as its tail; a parent that introduces a name
// it also inherits, or whose list is not made yet, gets the walk.
TEST_F(KavcModel, InheritedMethodsThroughOneParent) {
    Names fromBase = {"make", "nap"};
    fromBase.insert(fromBase.end(), objectMethods.begin(), objectMethods.end());
    const struct {
        const char* parentName;
        const char* introduced;
        bool finishParent;
    } cases[] = {{"Fresh", "fresh", true}, {"Again", "nap", true}, {"Unfinished", "late", false}};
    for (const auto& c : cases) {
        Entry* parent = kavc::newClass(c.parentName, {}, nullptr, 20);
        kavc::addParent(parent, base, 20);
        Entry* introduced = kavc::addMethod(parent, c.introduced, nullptr, 20);
        if (c.finishParent) kavc::finishClass(parent);
        Entry* child = kavc::newClass(std::string(c.parentName) + "Child", {}, nullptr, 21);
        kavc::addParent(child, parent, 21);
        kavc::finishClass(child);
        Names expected = {c.introduced};
        for (const std::string& name : fromBase)
            if (name != c.introduced) expected.push_back(name);
        EXPECT_EQ(names(child->inheritedMethods), expected) << c.parentName;
        EXPECT_EQ(child->inheritedMethods->method, introduced) << c.parentName;
    }
}

// Up a line of single parents an inherited method is found class by class; a class of two
// parents on the line hands over to the walk (depth first: Animal's talk before Right's); a
// class without parents inherits KAVObject's; a cycle of single parents (a model built in
// error) ends in the walk too.
TEST_F(KavcModel, InheritedMethodsUpALineOfSingleParents) {
    Entry* left = kavc::newClass("Left", {}, nullptr, 30);
    kavc::addParent(left, cls, 30);
    Entry* leftOnly = kavc::addMethod(left, "leftOnly", nullptr, 30);
    Entry* right = kavc::newClass("Right", {}, nullptr, 31);
    kavc::addParent(right, base, 31);
    Entry* rightOnly = kavc::addMethod(right, "rightOnly", nullptr, 31);
    kavc::addMethod(right, "talk", nullptr, 31);
    Entry* line = kavc::newClass("Both", {}, nullptr, 32);
    kavc::addParent(line, left, 32);
    kavc::addParent(line, right, 32);
    for (const char* name : {"Line1", "Line2", "Line3"}) {
        Entry* below = kavc::newClass(name, {}, nullptr, 33);
        kavc::addParent(below, line, 33);
        line = below;
    }
    Entry* lone = kavc::newClass("Lone", {}, nullptr, 34);
    Entry* loop = kavc::newClass("LoopA", {}, nullptr, 35);
    Entry* other = kavc::newClass("LoopB", {}, nullptr, 35);
    kavc::addParent(loop, other, 35);
    kavc::addParent(other, loop, 35);
    kavc::addMethod(other, "looped", nullptr, 35);
    const struct {
        Entry* cls;
        const char* name;
        Entry* expected;
    } cases[] = {
        {line, "leftOnly", leftOnly}, {line, "rightOnly", rightOnly}, {line, "talk", talk},
        {line, "make", make},         {line, "kavInit", rootMethod("kavInit")}, {line, "talkative", nullptr},
        {lone, "kavInit", rootMethod("kavInit")}, {loop, "kavInit", nullptr},
        {loop, "looped", kavc::findMethod(other, "looped")},
    };
    for (const auto& c : cases) EXPECT_EQ(kavc::findInheritedMethod(c.cls, c.name), c.expected) << c.name;
}

// A release order given before the class is finished is built again when the class changed
// in between, and names what came later.
TEST_F(KavcModel, ReleaseOrderFollowsMethodsAddedBeforeFinish) {
    Entry* late = kavc::newClass("Late", {}, nullptr, 40);
    kavc::setReleaseOrder(late, {"first", "second"});
    Entry* first = kavc::addMethod(late, "first", nullptr, 41);
    kavc::finishClass(late);
    std::vector<Entry*> found;
    for (ReleaseItem* i = late->releaseOrder; i; i = i->next) found.push_back(i->entry);
    EXPECT_EQ(found, (std::vector<Entry*>{first, nullptr}));
}

// Classes of one parent share the list they inherit through it; a method the parent gets
// after that is in the list of a class finished later.
TEST_F(KavcModel, ClassesOfOneParentShareTheirInheritedList) {
    Entry* first = kavc::newClass("First", {}, nullptr, 50);
    kavc::addParent(first, cls, 50);
    kavc::finishClass(first);
    Entry* second = kavc::newClass("Second", {}, nullptr, 51);
    kavc::addParent(second, cls, 51);
    kavc::finishClass(second);
    EXPECT_EQ(second->inheritedMethods, first->inheritedMethods);
    Entry* late = kavc::addMethod(cls, "late", nullptr, 52);
    Entry* third = kavc::newClass("Third", {}, nullptr, 53);
    kavc::addParent(third, cls, 53);
    kavc::finishClass(third);
    std::vector<Entry*> listed;
    for (MethodRef* ref = third->inheritedMethods; ref; ref = ref->next) listed.push_back(ref->method);
    EXPECT_NE(std::find(listed.begin(), listed.end(), late), listed.end());
    EXPECT_EQ(listed.size(), names(first->inheritedMethods).size() + 1);
}

// Parameter declarators come through a cache of a fixed size: far more (type, mode, name)
// keys than it has slots, asked twice over, still get each their own text.
TEST_F(KavcModel, ParameterDeclaratorsPastTheCacheSize) {
    Entry* method = kavc::addMethod(cls, "wide", nullptr, 30);
    const std::pair<const char*, TypeCode*> types[] = {{"long", kavc::basicType("long")}, {"double", kavc::basicType("double")}};
    int wrong = 0;
    for (int round = 0; round < 2; ++round)
        for (const auto& [spelling, type] : types)
            for (int i = 0; i < 1500; ++i)
                for (int mode : {kavtModeIn, kavtModeOut}) {
                    const std::string name = "p" + std::to_string(i);
                    const std::string expected = std::string(spelling) + (mode == kavtModeIn ? " " : "* ") + name;
                    wrong += expected != kavc::addParam(method, name, type, mode)->declarator;
                }
    EXPECT_EQ(wrong, 0);
}

// Equal names are one string, so the emitter's pointer searches find every declaration.
TEST_F(KavcModel, EqualNamesAreOneString) {
    Entry* other = kavc::newClass("Other", {}, nullptr, 1);
    Entry* otherTalk = kavc::addMethod(other, "talk", nullptr, 1);
    EXPECT_EQ(otherTalk->name, talk->name);
    EXPECT_EQ(kavc::addParam(otherTalk, "minutes", kavc::basicType("long"), kavtModeIn)->name, nap->params->name);
    EXPECT_NE(other->name, cls->name);
}

// The type codes are made once; a later change of the unit is taken in, in the same records.
TEST_F(KavcModel, TypeCodesAreMadeOnceAndFollowChanges) {
    kavtcreateTypeCodes(kavc::unitStab());
    TypeCode* data = cls->dataTypeCode;
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(a->typeCode, kavc::basicType("long"));
    kavtcreateTypeCodes(kavc::unitStab());
    EXPECT_EQ(cls->dataTypeCode, data);
    int size = kavttcSize(data, 0);
    Entry* extra = kavc::addData(cls, "extra", kavc::basicType("double"), 11);
    kavtcreateTypeCodes(kavc::unitStab());
    EXPECT_EQ(cls->dataTypeCode, data);
    EXPECT_EQ(extra->typeCode, kavc::basicType("double"));
    EXPECT_EQ(kavttcSize(data, 0), size + 8 + (size % 8 ? 8 - size % 8 : 0));
}

TEST_F(KavcModel, ReintroducedMethodsAreCopiesTheEmitterFrees) {
    ReintroducedMethods list;
    kavtGetReintroducedMethods(&list, cls);
    ASSERT_EQ(list.count, 1);
    Entry* copy = list.methods[0];
    EXPECT_EQ(copy->type, kavtNewMethodType);
    EXPECT_EQ(copy->name, nap->name);
    EXPECT_EQ(copy->origin, nap);
    EXPECT_EQ(copy->cls, cls);
    EXPECT_EQ(copy->lineno, 9);
    EXPECT_EQ(copy->params, nap->params);
    EXPECT_EQ(names(copy->mods), (Names{"descriptor", "procedure", "namelookup"}));
    kavtsmfree(copy, 0);
    kavtsmfree(list.methods, 0);
    kavtGetReintroducedMethods(&list, base);
    EXPECT_EQ(list.count, 0);
    EXPECT_EQ(list.methods, nullptr);
}

// The data lists the items carry (public, private, the rest), and those of a class without a
// release order: the ZDL golden header of tests/idl/header/front_end.idl.
TEST_F(KavcModel, ReleaseOrderItemsFindTheirEntries) {
    std::vector<std::pair<std::string, Entry*>> items;
    for (ReleaseItem* i = cls->releaseOrder; i; i = i->next) items.emplace_back(i->name, i->entry);
    Entry* get = kavc::findMethod(cls, "_get_weight");
    Entry* set = kavc::findMethod(cls, "_set_weight");
    EXPECT_EQ(items, (std::vector<std::pair<std::string, Entry*>>{
                         {"talk", talk}, {"gone", nullptr}, {"_get_weight", get}, {"a", a}, {"_set_weight", set}}));
    EXPECT_EQ(base->releaseOrder, nullptr);  // none given
}

// findMethod answers from indexes: the first Entry of the class's own chain with the name.
TEST_F(KavcModel, FindMethodGivesTheFirstOfTheClassChain) {
    const std::vector<std::pair<const char*, Entry*>> cases = {
        {"talk", talk}, {"make", overMake}, {"kavDefaultInit", init}, {"kavInit", nullptr},
        {"nap", nullptr} /* reintroduced: not in the chain */, {"a", nullptr} /* data */,
        {"neverSeen", nullptr}};
    for (const auto& [name, expected] : cases) EXPECT_EQ(kavc::findMethod(cls, name), expected) << name;
    // An override and a later new method of one name: the chain's first wins, in lookups and
    // in the release order, where a method also comes before a data member of its name.
    Entry* child = kavc::newClass("Child", {}, nullptr, 20);
    kavc::addParent(child, cls, 20);
    Entry* over = kavc::addOverride(child, talk, 21);
    kavc::addMethod(child, "talk", nullptr, 22);
    Entry* own = kavc::addMethod(child, "own", nullptr, 23);
    kavc::addData(child, "own", kavc::basicType("long"), 24);
    Entry* data = kavc::addData(child, "only", kavc::basicType("long"), 24);
    kavc::setReleaseOrder(child, {"talk", "own", "only"});
    EXPECT_EQ(kavc::findMethod(child, "talk"), over);
    std::vector<Entry*> found;
    for (ReleaseItem* i = child->releaseOrder; i; i = i->next) found.push_back(i->entry);
    EXPECT_EQ(found, (std::vector<Entry*>{over, own, data}));
}

TEST_F(KavcModel, StabKeepsInsertionOrderAndCopiesRecords) {
    struct Record {
        const char* name;
        int flag;
    };
    Stab stab;
    kavtcreateStab(&stab, 167, sizeof(Record));
    for (const char* key : {"zeta", "alpha", "mid"}) {
        Record local{key, 7};
        kavtaddEntry(&stab, key, &local);
        local.flag = 0;  // the table keeps its own copy
    }
    Names order;
    for (void* r = kavtstabFirst(&stab, 0); r; r = kavtstabNext(&stab, 0))
        order.emplace_back(static_cast<Record*>(r)->name);
    EXPECT_EQ(order, (Names{"zeta", "alpha", "mid"}));
    auto* stored = static_cast<Record*>(kavtgetEntry(&stab, "mid"));
    ASSERT_NE(stored, nullptr);
    EXPECT_EQ(stored->flag, 7);
    stored->flag = 1;  // the emitter updates records in place
    EXPECT_EQ(static_cast<Record*>(kavtgetEntry(&stab, "mid"))->flag, 1);
    EXPECT_EQ(kavtgetEntry(&stab, "absent"), nullptr);
    // records never move as the table grows; a repeated key overwrites in place
    for (int i = 0; i < 3000; ++i) {
        Record local{nullptr, i};
        kavtaddEntry(&stab, ("k" + std::to_string(i)).c_str(), &local);
    }
    Record again{"again", -1};
    kavtaddEntry(&stab, "alpha", &again);
    EXPECT_EQ(kavtgetEntry(&stab, "mid"), stored);
    int count = 0;
    bool inOrder = true;
    for (void* r = kavtstabFirst(&stab, 0); r; r = kavtstabNext(&stab, 0), ++count)
        if (count >= 3) inOrder = inOrder && static_cast<Record*>(r)->flag == count - 3;
    EXPECT_EQ(count, 3003);
    EXPECT_TRUE(inOrder);
    EXPECT_EQ(static_cast<Record*>(kavtgetEntry(&stab, "k2999"))->flag, 2999);
    EXPECT_EQ(static_cast<Record*>(kavtgetEntry(&stab, "alpha"))->flag, -1);
    kavtaddEntry(&stab, "bare", nullptr);  // a record added without data reads as zeroes
    EXPECT_EQ(static_cast<Record*>(kavtgetEntry(&stab, "bare"))->flag, 0);
    kavtfreeStab(&stab);
}

TEST_F(KavcModel, ListStringsAndTexts) {
    const std::pair<const char*, Names> table[] = {
        {"A, B,C", {"A", " B", "C"}}, {"KAVObject", {"KAVObject"}}, {"", {}}, {"A,,B", {"A", "", "B"}}};
    for (const auto& [text, items] : table) {
        StringSeq seq;
        EXPECT_EQ(kavttcSeqFromListString(&seq, text), &seq);
        EXPECT_EQ(seq.maximum, seq.length);
        EXPECT_EQ(Names(seq.buffer, seq.buffer + seq.length), items) << text;
        kavtsmfree(seq.buffer, 0);  // one block
    }
    std::string buffer;  // scoped-name joining is checked with the metaclass presentation
    EXPECT_STREQ(kavtdbcslowercase("Animal_ZOO9Caf\xc3\x89", buffer), "animal_zoo9caf\xc3\x89");
    std::string longName(5000, 'x');  // longer than any fixed buffer
    char* text = kavtstringFmt("%s::%s", longName.c_str(), "walk");
    EXPECT_EQ(text, longName + "::walk");
    kavtsmfree(text, 0);
}

}  // namespace
