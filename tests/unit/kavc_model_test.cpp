// The unit the builder makes: root classes, modifiers, derived class fields, tables and texts.
#include "support/text.h"

#include <cstring>

namespace {

using testing_support::HostTest;

std::vector<std::string> methodNames(MethodRef* refs) {
    std::vector<std::string> names;
    for (MethodRef* r = refs; r; r = r->next) names.emplace_back(r->method->name);
    return names;
}

std::vector<std::string> names(NameList* list) {
    std::vector<std::string> result;
    for (NameList* n = list; n; n = n->next) result.emplace_back(n->name);
    return result;
}

const std::vector<std::string> objectMethods = {
    "kavInit",          "kavUninit",          "kavDefaultInit",           "kavDestruct",
    "kavDefaultCopyInit", "kavDefaultConstCopyInit", "kavDefaultVCopyInit", "kavDefaultConstVCopyInit",
    "kavDefaultAssign", "kavDefaultConstAssign", "kavDefaultVAssign",     "kavDefaultConstVAssign",
    "kavGetClass",      "kavGetSize",
};

class KavcModel : public HostTest {};

TEST_F(KavcModel, RootClasses) {
    Entry* object = kavc::findClass("KAVObject");
    ASSERT_NE(object, nullptr);
    ASSERT_NE(kavtkavcls, nullptr);
    EXPECT_STREQ(kavtkavcls->name, "KAVClass");
    std::vector<std::string> introduced;
    for (Entry* m = object->methods; m; m = m->next) introduced.emplace_back(m->name);
    EXPECT_EQ(introduced, objectMethods);
    EXPECT_EQ(object->parents, nullptr);
    EXPECT_EQ(methodNames(kavtkavcls->inheritedMethods), objectMethods);
    for (const char* name : {"kavNew", "kavGetName", "kavDeallocate", "_get_kavDirectInitClasses"})
        EXPECT_NE(kavc::findMethod(kavtkavcls, name), nullptr) << name;
    // the root classes are not entries of the unit
    EXPECT_TRUE(kavc::topLevel().empty());
    EXPECT_EQ(kavtstabFirst(kavc::unitStab(), 0), nullptr);
    EXPECT_EQ(kavtnthArg(kavc::findMethod(object, "kavDefaultInit"), 0)->name, std::string("ctrl"));
}

TEST_F(KavcModel, ModifiersAndOptions) {
    Entry* cls = kavc::newClass("Animal", {}, nullptr, 1);
    kavc::addMod(cls, "externalprefix", "zoo_");
    kavc::addMod(cls, "abstract");
    EXPECT_STREQ(kavtgetatt(cls, "externalprefix"), "zoo_");
    ASSERT_NE(kavtgetatt(cls, "abstract"), nullptr);
    EXPECT_EQ(kavtgetatt(cls, "abstract")[0], '\x01');
    EXPECT_EQ(kavtgetatt(cls, "classprefix"), nullptr);
    EXPECT_STREQ(kavtgetAtt(cls->mods, "externalprefix", 0), "zoo_");
    EXPECT_EQ(kavtgetAtt(cls->mods, "nothing", 0), nullptr);

    EXPECT_EQ(kavtgetgatt("csc"), nullptr);
    kavc::setOption("csc", nullptr);
    kavc::setOption("nodesc", "yes");
    EXPECT_EQ(kavtgetgatt("csc")[0], '\x01');
    EXPECT_STREQ(kavtgetgatt("nodesc"), "yes");
    kavc::setFlag(40, 2);
    EXPECT_EQ(kavtg_f[40] & 2, 2);
    kavc::reset();
    EXPECT_EQ(kavtgetgatt("csc"), nullptr);
    EXPECT_EQ(kavtg_f[40], 0);
}

TEST_F(KavcModel, FilePathAndPrefix) {
    kavc::setFilePath("dir/sub/animal.idl");
    EXPECT_STREQ(kavtfilePath, "dir/sub/animal.idl");
    EXPECT_STREQ(kavtfileStem, "animal");
    kavc::setClassPrefix("zoo_");
    EXPECT_STREQ(kavtclassPrefix, "zoo_");
    kavc::setClassPrefix(nullptr);
    EXPECT_EQ(kavtclassPrefix, nullptr);
    EXPECT_STREQ(kavc::newClass("A", {}, nullptr, 1)->file, "dir/sub/animal.idl");
}

TEST_F(KavcModel, EveryNewMethodHasADescriptor) {
    Entry* cls = kavc::newClass("Animal", {"Zoo"}, nullptr, 1);
    Entry* talk = kavc::addMethod(cls, "talk", nullptr, 2);
    Entry* walk = kavc::addMethod(cls, "walk", kavc::basicType("long"), 3);
    kavc::addMod(walk, "descriptor", "walkdesc");
    kavc::addMod(walk, "generateapply");
    EXPECT_STREQ(kavtgetAtt(talk->mods, "descriptor", 0), "\"Zoo::Animal::talk\"");
    EXPECT_STREQ(kavtgetAtt(walk->mods, "descriptor", 0), "walkdesc");
    int descriptors = 0;
    for (Mod* m = walk->mods; m; m = m->next) descriptors += std::strcmp(m->name, "descriptor") == 0;
    EXPECT_EQ(descriptors, 1);
    Entry* top = kavc::newClass("Top", {}, nullptr, 4);
    EXPECT_STREQ(kavtgetatt(kavc::addMethod(top, "f", nullptr, 5), "descriptor"), "\"Top::f\"");
}

TEST_F(KavcModel, InheritedMethodsOncePerNameDepthFirst) {
    Entry* a = kavc::newClass("A", {}, nullptr, 1);
    kavc::addMethod(a, "fa", nullptr, 1);
    kavc::addOverride(a, kavc::findMethod(kavc::findClass("KAVObject"), "kavDefaultInit"), 1);
    kavc::finishClass(a);
    Entry* b = kavc::newClass("B", {}, nullptr, 2);
    kavc::addParent(b, a, 2);
    kavc::addMethod(b, "fb", nullptr, 2);
    kavc::finishClass(b);
    Entry* c = kavc::newClass("C", {}, nullptr, 3);
    kavc::addParent(c, a, 3);
    kavc::addMethod(c, "fc", nullptr, 3);
    kavc::finishClass(c);
    Entry* d = kavc::newClass("D", {}, nullptr, 4);
    kavc::addParent(d, b, 4);
    kavc::addParent(d, c, 4);
    kavc::finishClass(d);

    std::vector<std::string> expectA = objectMethods;
    EXPECT_EQ(methodNames(a->inheritedMethods), expectA);
    std::vector<std::string> expectD = {"fb", "fa"};
    expectD.insert(expectD.end(), objectMethods.begin(), objectMethods.end());
    expectD.push_back("fc");
    EXPECT_EQ(methodNames(d->inheritedMethods), expectD);
    // the listed methods are the introducing ones, not overrides
    for (MethodRef* r = d->inheritedMethods; r; r = r->next) EXPECT_EQ(r->method->type, kavtNewMethodType);
    EXPECT_EQ(kavc::findInheritedMethod(d, "fc"), kavc::findMethod(c, "fc"));
    EXPECT_EQ(kavc::findInheritedMethod(d, "kavInit"), kavc::findMethod(kavc::findClass("KAVObject"), "kavInit"));
    EXPECT_EQ(kavc::findInheritedMethod(d, "nothing"), nullptr);
}

TEST_F(KavcModel, OverrideEntries) {
    Entry* object = kavc::findClass("KAVObject");
    Entry* base = kavc::newClass("Base", {}, nullptr, 1);
    Entry* make = kavc::addMethod(base, "make", kavc::basicType("long"), 1);
    kavc::addMod(make, "class");
    kavc::finishClass(base);
    Entry* cls = kavc::newClass("Animal", {}, nullptr, 2);
    kavc::addParent(cls, base, 2);
    Entry* init = kavc::addOverride(cls, kavc::findMethod(object, "kavDefaultInit"), 3);
    Entry* over = kavc::addOverride(cls, make, 4);
    kavc::finishClass(cls);
    EXPECT_EQ(init->type, kavtOverrideType);
    EXPECT_EQ(init->name, kavc::findMethod(object, "kavDefaultInit")->name);  // same pointer
    EXPECT_EQ(init->cls, object);
    EXPECT_EQ(init->origin, kavc::findMethod(object, "kavDefaultInit"));
    EXPECT_EQ(init->argCount, 1);
    EXPECT_EQ(init->lineno, 3);
    EXPECT_EQ(kavtgetatt(init, "descriptor"), nullptr);
    EXPECT_NE(kavtgetatt(over, "class"), nullptr);
    EXPECT_EQ(cls->methods, init);
    EXPECT_EQ(init->next, over);
}

TEST_F(KavcModel, MethodCounts) {
    Entry* cls = kavc::newClass("Animal", {}, nullptr, 1);
    kavc::addMethod(cls, "a", nullptr, 1);
    kavc::addMod(kavc::addMethod(cls, "b", nullptr, 2), "procedure");
    kavc::addMod(kavc::addMethod(cls, "c", nullptr, 3), "nonstatic");
    kavc::addMod(kavc::addMethod(cls, "d", nullptr, 4), "private");
    Entry* e = kavc::addMethod(cls, "e", nullptr, 5);
    kavc::addMod(e, "class");
    kavc::addMod(e, "private");
    kavc::addOverride(cls, kavc::findMethod(kavc::findClass("KAVObject"), "kavInit"), 6);
    kavc::addReintroduce(cls, kavc::findMethod(kavc::findClass("KAVObject"), "kavUninit"), 7);
    kavc::finishClass(cls);
    EXPECT_EQ(kavtnewMethodsCount(cls, 0, 1), 4);
    EXPECT_EQ(kavtnewMethodsCount(cls, 1, 1), 1);
    EXPECT_EQ(kavtprivateMethodsCount(cls, 0), 1);
    EXPECT_EQ(kavtprivateMethodsCount(cls, 1), 1);
}

TEST_F(KavcModel, ReintroducedMethodCopies) {
    Entry* base = kavc::newClass("Base", {}, nullptr, 1);
    Entry* nap = kavc::addMethod(base, "nap", kavc::basicType("long"), 2);
    kavc::addParam(nap, "minutes", kavc::basicType("long"), kavtModeIn);
    kavc::addMod(nap, "procedure");
    kavc::finishClass(base);
    Entry* cls = kavc::newClass("Animal", {}, nullptr, 3);
    kavc::addParent(cls, base, 3);
    Entry* again = kavc::addReintroduce(cls, nap, 9);
    kavc::addMod(again, "namelookup");
    kavc::finishClass(cls);
    EXPECT_EQ(cls->methods, nullptr);  // not in the methods chain

    ReintroducedMethods list;
    kavtGetReintroducedMethods(&list, cls);
    ASSERT_EQ(list.count, 1);
    Entry* copy = list.methods[0];
    EXPECT_NE(copy, again);
    EXPECT_EQ(copy->type, kavtNewMethodType);
    EXPECT_EQ(copy->name, nap->name);
    EXPECT_EQ(copy->origin, nap);
    EXPECT_EQ(copy->cls, cls);
    EXPECT_EQ(copy->lineno, 9);
    EXPECT_EQ(copy->params, nap->params);
    EXPECT_EQ(copy->argCount, 1);
    EXPECT_STREQ(copy->returnTypeText, "long");
    std::vector<std::string> modNames;
    for (Mod* m = copy->mods; m; m = m->next) modNames.emplace_back(m->name);
    EXPECT_EQ(modNames, (std::vector<std::string>{"descriptor", "procedure", "namelookup"}));
    std::string buffer;
    EXPECT_EQ(std::string(kavtprefixedPrototype(buffer, copy, ", ", 0, "")),
              "long KAVLINK nap(Animal *kavSelf, Environment *ev, long minutes)");
    // the emitter owns the copies
    kavtsmfree(copy, 0);
    kavtsmfree(list.methods, 0);

    kavtGetReintroducedMethods(&list, base);
    EXPECT_EQ(list.count, 0);
    EXPECT_EQ(list.methods, nullptr);
}

TEST_F(KavcModel, ReleaseOrderItemsAndDataLists) {
    Entry* cls = kavc::newClass("Animal", {}, nullptr, 1);
    Entry* talk = kavc::addMethod(cls, "talk", nullptr, 2);
    kavc::addAttribute(cls, "weight", kavc::basicType("long"), false, 3);
    Entry* a = kavc::addData(cls, "a", kavc::basicType("long"), 4);
    Entry* b = kavc::addData(cls, "b", kavc::basicType("long"), 5);
    kavc::addMod(b, "private");
    kavc::addData(cls, "c", kavc::basicType("long"), 6);
    kavc::addMod(kavc::addData(cls, "d", kavc::basicType("long"), 7), "public");
    kavc::addMod(kavc::addData(cls, "e", kavc::basicType("long"), 8), "private");
    kavc::setReleaseOrder(cls, {"talk", "gone", "_get_weight", "a", "_set_weight"});
    kavc::finishClass(cls);

    ASSERT_NE(cls->releaseOrder, nullptr);
    std::vector<std::pair<std::string, Entry*>> items;
    for (ReleaseItem* i = cls->releaseOrder; i; i = i->next) items.emplace_back(i->name, i->entry);
    ASSERT_EQ(items.size(), 5u);
    EXPECT_EQ(items[0], std::make_pair(std::string("talk"), talk));
    EXPECT_EQ(items[1], std::make_pair(std::string("gone"), static_cast<Entry*>(nullptr)));
    EXPECT_EQ(items[2].second, kavc::findMethod(cls, "_get_weight"));
    EXPECT_EQ(items[3].second, a);
    EXPECT_EQ(items[4].second, kavc::findMethod(cls, "_set_weight"));
    EXPECT_EQ(names(cls->releaseOrder->dataLists[0]), std::vector<std::string>{"d"});
    EXPECT_EQ(names(cls->releaseOrder->dataLists[1]), (std::vector<std::string>{"b", "e"}));
    EXPECT_EQ(names(cls->releaseOrder->dataLists[2]), (std::vector<std::string>{"a", "c"}));
    EXPECT_EQ(cls->releaseOrder->next->dataLists[0], nullptr);

    Entry* none = kavc::newClass("None", {}, nullptr, 9);
    kavc::finishClass(none);
    EXPECT_EQ(none->releaseOrder, nullptr);
    Entry* empty = kavc::newClass("Empty", {}, nullptr, 10);
    kavc::addData(empty, "x", kavc::basicType("long"), 11);
    kavc::setReleaseOrder(empty, {});
    kavc::finishClass(empty);
    ASSERT_NE(empty->releaseOrder, nullptr);  // a terminator carrying the data lists
    EXPECT_EQ(empty->releaseOrder->name, nullptr);
    EXPECT_EQ(empty->releaseOrder->entry, nullptr);
    EXPECT_EQ(names(empty->releaseOrder->dataLists[2]), std::vector<std::string>{"x"});
}

TEST_F(KavcModel, Attributes) {
    Entry* cls = kavc::newClass("Animal", {}, nullptr, 1);
    Entry* weight = kavc::addAttribute(cls, "weight", kavc::basicType("long"), false, 2);
    Entry* name = kavc::addAttribute(cls, "name", kavc::basicType("string"), true, 3);
    EXPECT_EQ(weight->type, kavtAttributeType);
    std::vector<std::string> methods;
    for (Entry* m = cls->methods; m; m = m->next) methods.emplace_back(m->name);
    EXPECT_EQ(methods, (std::vector<std::string>{"_get_weight", "_set_weight", "_get_name"}));
    EXPECT_STREQ(kavc::findMethod(cls, "_get_weight")->returnTypeText, "long");
    EXPECT_STREQ(kavtnthArg(kavc::findMethod(cls, "_set_weight"), 0)->declarator, "long weight");
    kavc::addMod(name, "class");
    EXPECT_NE(kavtgetatt(kavc::findMethod(cls, "_get_name"), "class"), nullptr);
}

TEST_F(KavcModel, ModulesAndTopLevelEntries) {
    Entry* zoo = kavc::newModule("Zoo", {}, nullptr, 1);
    Entry* animal = kavc::newClass("Animal", {"Zoo"}, zoo, 2);
    Entry* keeper = kavc::newClass("Keeper", {}, nullptr, 3);
    EXPECT_EQ(zoo->type, kavtModuleType);
    EXPECT_EQ(zoo->members, animal);
    EXPECT_EQ(kavc::topLevel(), (std::vector<Entry*>{zoo, keeper}));
    EXPECT_EQ(kavc::findClass("Animal"), animal);
    EXPECT_EQ(kavc::findClass("Zoo::Animal"), animal);
    EXPECT_EQ(kavc::findClass("::Zoo::Animal"), animal);
    EXPECT_EQ(kavc::findClass("Other::Animal"), nullptr);
    // the unit's table lists the top-level entries by scoped name, in order
    Stab* stab = kavc::unitStab();
    EXPECT_EQ(*static_cast<Entry**>(kavtgetEntry(stab, "::Zoo")), zoo);
    EXPECT_EQ(*static_cast<Entry**>(kavtstabFirst(stab, 0)), zoo);
    EXPECT_EQ(*static_cast<Entry**>(kavtstabNext(stab, 0)), keeper);
    EXPECT_EQ(kavtstabNext(stab, 0), nullptr);
}

struct Record {
    char* name;
    unsigned char flag;
};

TEST_F(KavcModel, StabKeepsInsertionOrderAndStoredRecords) {
    Stab stab;
    kavtcreateStab(&stab, 167, sizeof(Record));
    EXPECT_EQ(kavtstabFirst(&stab, 0), nullptr);
    const char* keys[] = {"zeta", "alpha", "mid", "beta"};
    for (const char* key : keys) {
        Record r{const_cast<char*>(key), 0};
        kavtaddEntry(&stab, key, &r);
    }
    std::vector<std::string> order;
    for (void* r = kavtstabFirst(&stab, 0); r; r = kavtstabNext(&stab, 0))
        order.emplace_back(static_cast<Record*>(r)->name);
    EXPECT_EQ(order, (std::vector<std::string>{"zeta", "alpha", "mid", "beta"}));
    auto* stored = static_cast<Record*>(kavtgetEntry(&stab, "mid"));
    ASSERT_NE(stored, nullptr);
    stored->flag = 1;  // changes through the returned record persist
    EXPECT_EQ(static_cast<Record*>(kavtgetEntry(&stab, "mid"))->flag, 1);
    EXPECT_EQ(kavtgetEntry(&stab, "absent"), nullptr);
    // the record is a copy: the caller's variable may go away
    {
        Record local{const_cast<char*>("late"), 7};
        kavtaddEntry(&stab, "late", &local);
        local.flag = 0;
    }
    EXPECT_EQ(static_cast<Record*>(kavtgetEntry(&stab, "late"))->flag, 7);
    kavtfreeStab(&stab);
    EXPECT_EQ(stab.impl, nullptr);
}

TEST_F(KavcModel, ListStrings) {
    struct Row {
        const char* text;
        std::vector<std::string> items;
    };
    const Row table[] = {
        {"A, B,C", {"A", " B", "C"}},
        {"KAVObject", {"KAVObject"}},
        {"", {}},
        {"A,,B", {"A", "", "B"}},
        {"A ,B ", {"A ", "B "}},
    };
    for (const Row& r : table) {
        SCOPED_TRACE(r.text);
        StringSeq seq;
        EXPECT_EQ(kavttcSeqFromListString(&seq, r.text), &seq);
        ASSERT_EQ(seq.length, r.items.size());
        EXPECT_EQ(seq.maximum, seq.length);
        for (std::size_t i = 0; i < r.items.size(); ++i) EXPECT_EQ(seq.buffer[i], r.items[i]);
        kavtsmfree(seq.buffer, 0);  // one block
    }
}

TEST_F(KavcModel, TextServices) {
    std::string buffer;
    char* parts[] = {const_cast<char*>(""), const_cast<char*>("Zoo"), const_cast<char*>("Animal"), nullptr};
    EXPECT_STREQ(kavtsatos(parts, "::", buffer), "::Zoo::Animal");
    EXPECT_STREQ(kavtsatos(parts + 1, "_", buffer), "Zoo_Animal");
    EXPECT_STREQ(kavtdbcslowercase("Animal_ZOO9", buffer), "animal_zoo9");
    EXPECT_STREQ(kavtdbcslowercase("Caf\xc3\x89", buffer), "caf\xc3\x89");
    char* text = kavtstringFmt("%s::%s", "Animal", "walk");
    EXPECT_STREQ(text, "Animal::walk");
    kavtsmfree(text, 0);
    std::string longName(5000, 'x');
    text = kavtstringFmt("%s", longName.c_str());
    EXPECT_EQ(std::strlen(text), 5000u);
    kavtsmfree(text, 0);
    void* block = kavtsmalloc(0, 0);
    EXPECT_NE(block, nullptr);
    kavtsmfree(block, 0);
}

}  // namespace
