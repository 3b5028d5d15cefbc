// The set-up that starts every pass: options, stub policy, reintroduced methods, initializers.
#include "driver/lists.h"
#include "driver/state.h"

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
Entry* releaseItemMethod(ReleaseItem* item, ReintroducedMethods& reintroduced) {
    if (item->entry) return item->entry;
    for (int i = 0; i < reintroduced.count; ++i) {
        Entry* m = reintroduced.methods[i];
        if (std::strcmp(m->name, item->name) == 0) return m;
    }
    return nullptr;
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
    int count = 0;
    for (ReleaseItem* item = cls->releaseOrder; item; item = item->next) {
        if (!item->name && !item->entry) break;
        if (!item->name) item->name = const_cast<char*>("no_name");
        Entry* method = releaseItemMethod(item, reintroduced);
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

}  // namespace

PassMethod methodFacts(Entry* method) {
    PassMethod m{method, 0, lifecycleRow(method->name)};
    auto set = [&](MethodFact fact, bool holds) {
        if (holds) m.facts |= fact;
    };
    set(newMethodFact, method->type == kavtNewMethodType);
    set(overrideFact, isOverride(method));
    if (!belongsToPass(method)) return m;
    set(inPassFact, true);
    set(procedureFact, hasMod(method, Option::procedure));
    set(nonStaticFact, isNonStaticMethod(method));
    set(selectFact, hasMod(method, Option::select));
    set(initFact, hasMod(method, Option::init));
    return m;
}

const std::vector<PassMethod>& passMethods(Entry* cls) {
    if (pass.factsOf != cls) {
        pass.factsOf = cls;
        pass.methods.clear();
        pass.methods.reserve(chainLength(cls->methods));
        for (Entry* m = cls->methods; m; m = m->next) pass.methods.push_back(methodFacts(m));
    }
    return pass.methods;
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
    const int capacity = 1 + static_cast<int>(chainLength(cls->methods));
    MethodArray list;
    list.methods = static_cast<Entry**>(kavtsmalloc(sizeof(Entry*) * capacity, 0));
    for (Entry* m = cls->methods; m; m = m->next) {
        if (!hasMod(m, Option::init) || isDefaultInitializerName(m->name) || !belongsToPass(m))
            continue;
        if (isOverride(m) && !hasMod(cls, Option::shadow)) {
            kavtmrierror(kavtfilePath, m->lineno, 228, m->name);
            continue;
        }
        list.methods[list.count++] = m;
    }
    orderByReleaseOrder(list, cls);
    return list;
}

void passSetUp(FILE* out, Entry* cls) {
    releasePassLists();
    pass = PassState{};
    readOptions();
    pass.zdlClass = optionSet(Option::csc);
    pass.classInitRoutine = modValue(cls, Option::classinit);
    pass.noDescriptors = pass.zdlClass && optionSet(Option::nodesc);
    pass.currentClassName = cls->name;
    pass.classShadow = modValue(cls, Option::shadow);
    writeStubPolicy(out);

    ReintroducedMethods& reintroduced = holdReintroducedMethods(cls);
    pass.reintroducedMethods = {reintroduced.count, reintroduced.methods};
    pass.initializers = buildInitializerList(cls);
}

}  // namespace darurov
