// The set-up that starts every pass: options, stub policy, reintroduced methods, initializers.
#include "driver/lists.h"
#include "driver/state.h"

#include <array>
#include <cstring>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace darurov {

namespace {

// Every global option the emitter reads, once for the pass.
void readOptions() {
    for (const OptionRow& row : optionTable)
        if ((row.kinds & globalOption) && (row.readers & emitterReads))
            pass.options[static_cast<std::size_t>(row.id)] = kavtgetgatt(row.name) != nullptr;
}

void writeStubPolicy(FILE* out) {
    if (pass.zdlClass) {
        kavtfullComment(out, "-- By default, for classes declared using ZDL,\n-- this emitter defines redispatch/apply stubs.\n-- To override this default, use \"noapstubs\", and/or \"nordstubs\".\n");
        pass.noApplyStubs = optionSet(Option::noapstubs);
        pass.noRedispatchStubs = optionSet(Option::nordstubs);
        return;
    }
    kavtfullComment(out, "-- By default, for classes declared using IDL,\n-- this emitter doesn't define redispatch/apply stubs.\n-- Instead, it requests that the KAV kernel produce them.\n-- To override this default, use the \"notc\" modifier.");
    bool writeStubs = optionSet(Option::notc) || optionSet(Option::kavboot);
    pass.noApplyStubs = writeStubs ? 0 : 1;
    pass.noRedispatchStubs = pass.noApplyStubs;
}

// The method a release-order item stands for: its entry, else the first reintroduced
// method of that name, else none.
Entry* releaseItemMethod(ReleaseItem* item, const std::unordered_map<std::string_view, Entry*>& reintroduced) {
    if (item->entry) return item->entry;
    auto found = reintroduced.find(item->name);
    return found == reintroduced.end() ? nullptr : found->second;
}

void orderByReleaseOrder(MethodArray& list, Entry* cls) {
    if (list.count == 0) return;
    auto** ordered = static_cast<Entry**>(kavtsmalloc(sizeof(Entry*) * list.count, 0));
    std::vector<bool> placed(list.count, false);
    // An item takes the first initializer of its name, when that one is not placed yet.
    std::unordered_map<std::string_view, int> firstOfName;
    for (int i = list.count - 1; i >= 0; --i) firstOfName[list.methods[i]->name] = i;
    ReintroducedMethods reintroduced{};
    kavtGetReintroducedMethods(&reintroduced, cls);
    const std::unordered_map<std::string_view, Entry*> reintroducedNamed = reintroducedByName(reintroduced);
    int count = 0;
    for (ReleaseItem* item = cls->releaseOrder; item; item = item->next) {
        if (!item->name && !item->entry) break;
        if (!item->name) item->name = const_cast<char*>("no_name");
        Entry* method = releaseItemMethod(item, reintroducedNamed);
        const char* wanted = nullptr;
        if (!method)
            wanted = item->name;
        else if (belongsToPass(method))
            wanted = method->name;
        if (!wanted) continue;
        auto first = firstOfName.find(wanted);
        if (first != firstOfName.end() && !placed[first->second]) {
            placed[first->second] = true;
            ordered[count++] = list.methods[first->second];
        }
    }
    releaseReintroduced(reintroduced);
    for (int i = 0; i < list.count; ++i)
        if (!placed[i]) ordered[count++] = list.methods[i];
    kavtsmfree(list.methods, 0);
    list.methods = ordered;
}

// The modifiers a method's facts record, each with its fact.
struct FactModifier {
    const char* name;
    MethodFact fact;
};
inline constexpr FactModifier factModifiers[] = {
    {optionName(Option::metaclassMember), classMemberFact},
    {optionName(Option::procedure), procedureFact},
    {optionName(Option::nonstatic), nonStaticFact},
    {optionName(Option::nonstaticaccessors), nonStaticFact},
    {optionName(Option::select), selectFact},
    {optionName(Option::init), initFact},
    {optionName(Option::namelookup), nameLookupFact},
    {optionName(Option::noself), noSelfFact},
};

// The facts of the modifiers in the list: one walk, where asking for each would walk it once
// per question. Most modifiers (the descriptor every new method has) are none of these: their
// first letter settles them.
std::uint16_t modifierFacts(const Mod* mods) {
    static constexpr auto firstLetters = [] {
        std::array<bool, 256> letters{};
        for (const FactModifier& row : factModifiers) letters[static_cast<unsigned char>(row.name[0])] = true;
        return letters;
    }();
    std::uint16_t facts = 0;
    for (const Mod* mod = mods; mod; mod = mod->next) {
        if (!mod->name || !firstLetters[static_cast<unsigned char>(mod->name[0])]) continue;
        for (const FactModifier& row : factModifiers)
            if (mod->name[0] == row.name[0] && std::strcmp(mod->name, row.name) == 0) facts |= row.fact;
    }
    return facts;
}

// The facts that hold in either pass; inPassFact is left to settlePass.
PassMethod factsInAnyPass(Entry* method) {
    PassMethod m{method, modifierFacts(method->mods), lifecycleRow(method->name)};
    if (method->type == kavtNewMethodType) m.facts |= newMethodFact;
    if (isOverride(method)) m.facts |= overrideFact;
    return m;
}

// A method belongs to the pass when its "class" modifier matches kavtmeta (belongsToPass).
void settlePass(PassMethod& m) {
    if (m.is(classMemberFact) == inMetaclassPass())
        m.facts |= inPassFact;
    else
        m.facts &= static_cast<std::uint16_t>(~inPassFact);
}

// Room for an initializer list of up to `methods` methods.
MethodArray initializerArray(std::size_t methods) {
    MethodArray list;
    list.methods = static_cast<Entry**>(kavtsmalloc(sizeof(Entry*) * (1 + methods), 0));
    return list;
}

// Lists the method when it is an initializer of the pass (error 228 for an overriding
// initializer of a class without "shadow").
void addInitializer(MethodArray& list, Entry* cls, const PassMethod& m) {
    if (!m.is(initFact) || isDefaultInitializer(m) || !m.is(inPassFact)) return;
    if (m.is(overrideFact) && !hasMod(cls, Option::shadow)) {
        kavtmrierror(kavtfilePath, m.method->lineno, 228, m.method->name);
        return;
    }
    list.methods[list.count++] = m.method;
}

// The facts of every method of the class, settled for the pass kavtmeta names now.
void collectFacts(Entry* cls, std::vector<PassMethod>& methods) {
    methods.clear();
    for (Entry* m = cls->methods; m; m = m->next) {
        methods.push_back(factsInAnyPass(m));
        settlePass(methods.back());
    }
}

}  // namespace

PassMethod methodFacts(Entry* method) {
    PassMethod m = factsInAnyPass(method);
    settlePass(m);
    return m;
}

const std::vector<PassMethod>& passMethods(Entry* cls) {
    if (pass.factsOf != cls) {
        pass.factsOf = cls;
        collectFacts(cls, pass.methods);
        pass.settledMeta = kavtmeta;
    } else if (pass.settledMeta != kavtmeta) {
        for (PassMethod& m : pass.methods) settlePass(m);
        pass.settledMeta = kavtmeta;
    }
    return pass.methods;
}

const std::vector<std::uint8_t>& inheritedClassMembers(Entry* cls) {
    if (!pass.classMembersOf || pass.classMembersOf != cls->inheritedMethods) {
        pass.inheritedClassMembers.clear();
        // What hasMod asks the host, read here from each method's modifiers: one host call
        // for each of tens of thousands of methods.
        static constexpr const char* classModifier = optionName(Option::metaclassMember);
        for (MethodRef* ref = cls->inheritedMethods; ref; ref = ref->next) {
            bool member = false;
            for (const Mod* mod = ref->method->mods; mod && !member; mod = mod->next)
                member = mod->name && mod->name[0] == classModifier[0] && std::strcmp(mod->name, classModifier) == 0;
            pass.inheritedClassMembers.push_back(member);
        }
        pass.classMembersOf = cls->inheritedMethods;
    }
    return pass.inheritedClassMembers;
}

std::unordered_map<std::string_view, Entry*> reintroducedByName(const ReintroducedMethods& record) {
    std::unordered_map<std::string_view, Entry*> byName;
    byName.reserve(static_cast<std::size_t>(record.count));
    for (int i = 0; i < record.count; ++i) byName.emplace(record.methods[i]->name, record.methods[i]);
    return byName;
}

void releaseReintroduced(ReintroducedMethods& record) {
    for (int i = 0; i < record.count; ++i) kavtsmfree(record.methods[i], 0);
    if (record.methods) kavtsmfree(record.methods, 0);
    record = {};
}

ReintroducedMethods& holdReintroducedMethods(Entry* cls) {
    ReintroducedMethods& record = pass.heldReintroduced.emplace_back();
    kavtGetReintroducedMethods(&record, cls);
    return record;
}

void releasePassLists() {
    releaseMethodArray(pass.initializers);
    pass.reintroducedMethods = {};
    for (auto& record : pass.heldReintroduced) releaseReintroduced(record);
    pass.heldReintroduced.clear();
    while (DeferredResolution* record = popDeferred()) releaseDeferred(record);
}

void releaseMethodArray(MethodArray& list) {
    if (list.methods) kavtsmfree(list.methods, 0);
    list = {};
}

MethodArray buildInitializerList(Entry* cls) {
    // Room for every method of the chain, so no class has too many initializers.
    MethodArray list = initializerArray(chainLength(cls->methods));
    for (Entry* m = cls->methods; m; m = m->next)
        if (modifierFacts(m->mods) & initFact) addInitializer(list, cls, methodFacts(m));
    orderByReleaseOrder(list, cls);
    return list;
}

namespace {

// The whole set-up; `keepFacts`: the method facts of the last pass are the class's still, and
// so is an InheritedMethodList the last pass kept.
void setUp(FILE* out, Entry* cls, bool keepFacts) {
    releasePassLists();
    if (!keepFacts) {
        releaseMethodList(pass.keptInherited);
        for (auto& record : pass.keptReintroduced) releaseReintroduced(record);
        pass.keptReintroduced.clear();
    }
    // The facts array keeps its room from the last pass, and its content when asked to.
    std::vector<PassMethod> methods = std::move(pass.methods);
    std::vector<std::uint8_t> classMembers = std::move(pass.inheritedClassMembers);
    const MethodRef* classMembersOf = keepFacts ? pass.classMembersOf : nullptr;
    const Entry* factsOf = keepFacts ? pass.factsOf : nullptr;
    const int settledMeta = pass.settledMeta;
    MethodCell* keptInherited = pass.keptInherited;
    std::vector<ReintroducedMethods> keptReintroduced = std::move(pass.keptReintroduced);
    pass = PassState{};
    pass.methods = std::move(methods);
    pass.inheritedClassMembers = std::move(classMembers);
    pass.classMembersOf = classMembersOf;
    pass.factsOf = factsOf;
    pass.settledMeta = settledMeta;
    pass.keptInherited = keptInherited;
    pass.heldReintroduced = std::move(keptReintroduced);  // released at the end of this pass
    readOptions();
    pass.zdlClass = optionSet(Option::csc);
    pass.classInitRoutine = modValue(cls, Option::classinit);
    pass.noDescriptors = pass.zdlClass && optionSet(Option::nodesc);
    pass.currentClassName = cls->name;
    pass.classShadow = modValue(cls, Option::shadow);
    writeStubPolicy(out);

    ReintroducedMethods& reintroduced = holdReintroducedMethods(cls);
    pass.reintroducedMethods = {reintroduced.count, reintroduced.methods};
    // One walk of the methods chain gives the initializers and every later walk's facts.
    const std::vector<PassMethod>& facts = passMethods(cls);
    pass.initializers = initializerArray(facts.size());
    for (const PassMethod& m : facts) addInitializer(pass.initializers, cls, m);
    orderByReleaseOrder(pass.initializers, cls);
}

}  // namespace

void passSetUp(FILE* out, Entry* cls) { setUp(out, cls, false); }

void metaclassPassSetUp(FILE* out, Entry* cls) { setUp(out, cls, true); }

}  // namespace darurov
