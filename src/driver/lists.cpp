// Questions about a class's place in its inheritance graph, and the method lists they build.
#include "driver/lists.h"

#include "driver/state.h"
#include "driver/text.h"
#include "host/open_table.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace darurov {

namespace {

// Cells come in blocks from the host allocator and go back to a free list when a list is
// released: a list of tens of thousands of methods costs no allocation per cell. The blocks
// stay for the next pass (the pool only holds as many cells as one pass had at once) and go
// back to the host when the plug-in is unloaded.
struct CellPool {
    static constexpr std::size_t blockCells = 1024;
    MethodCell* free = nullptr;
    std::vector<MethodCell*> blocks;

    CellPool() = default;
    CellPool(const CellPool&) = delete;
    CellPool& operator=(const CellPool&) = delete;
    ~CellPool() {
        for (MethodCell* block : blocks) kavtsmfree(block, 0);
    }

    [[gnu::always_inline]] MethodCell* take() {
        if (!free) addBlock();
        MethodCell* cell = free;
        free = cell->next;
        return cell;
    }
    [[gnu::noinline]] void addBlock() {
        auto* block = static_cast<MethodCell*>(kavtsmalloc(sizeof(MethodCell) * blockCells, 0));
        blocks.push_back(block);
        for (std::size_t i = 0; i < blockCells; ++i) give(&block[i]);
    }
    void give(MethodCell* cell) { giveChain(cell, cell); }
    void giveChain(MethodCell* first, MethodCell* last) {
        last->next = free;
        free = first;
    }
};
CellPool cellPool;

MethodCell* newCell(Entry* method) {
    MethodCell* cell = cellPool.take();
    cell->method = method;
    cell->next = nullptr;
    cell->index = nullptr;
    return cell;
}

// What makes a method listed once: its name (the host gives one name one string, so the same
// Entry has the same key), or the Entry itself for one without a name.
const void* listingKey(Entry* method) {
    return method->name ? static_cast<const void*>(method->name) : static_cast<const void*>(method);
}

// The methods collected so far, their cells by listing key, and the classes already walked:
// a class reached a second time (a diamond) has nothing new to add. When every method has a
// name, the cells by key are the list's name index.
struct Collection {
    MethodList head;
    MethodCell* tail;
    PointerMap<MethodCell*> listed;
    PointerSet walked;
    bool unnamed = false;

    void add(Entry* method) {
        unnamed = unnamed || !method->name;
        if (MethodCell** cell = listed.add(listingKey(method))) *cell = tail = listAppend(tail, method, head);
    }
};

// Depth first: a class's methods, its reintroduced methods, then each parent in order; with an
// explicit stack, as the depth of a hierarchy is the input's.
void collectInto(Entry* cls, Collection& found) {
    std::vector<Entry*> stack{cls};
    while (!stack.empty()) {
        Entry* c = stack.back();
        stack.pop_back();
        if (!found.walked.insert(c)) continue;
        for (Entry* m = c->methods; m; m = m->next) found.add(m);
        // The host's copies may end up in the pass's InheritedMethodList: they are held to the
        // end of the pass.
        ReintroducedMethods& reintroduced = holdReintroducedMethods(c);
        for (int i = 0; i < reintroduced.count; ++i) found.add(reintroduced.methods[i]);
        std::size_t top = stack.size();
        for (Entry* ref = c->parents; ref; ref = ref->next) stack.push_back(ref->cls);
        std::reverse(stack.begin() + static_cast<std::ptrdiff_t>(top), stack.end());
    }
}

bool sameName(Entry* a, Entry* b) { return std::strcmp(a->name, b->name) == 0; }

}  // namespace

// The names of an InheritedMethodList (at most one method per name) and its last cell. The
// host gives one name one string, so a name is its pointer.
struct MethodNameIndex {
    MethodCell* tail;
    PointerMap<MethodCell*> byName;

    // Takes in the cells after `tail`, so a list extended by other means stays indexed.
    void catchUp() {
        while (tail->next) {
            tail = tail->next;
            byName.insert(tail->method->name, tail);
        }
    }
};

namespace {

MethodNameIndex& indexOf(MethodCell* head) {
    if (!head->index) {
        head->index = new MethodNameIndex{head, {}};
        head->index->byName.reserve(chainLength(head));  // a list handed over whole is indexed at once
        head->index->byName.insert(head->method->name, head);
    }
    head->index->catchUp();
    return *head->index;
}

}  // namespace

bool isLifecycleName(const char* name, LifecycleGroup group) {
    // The first letters settle most names without a library call.
    for (const auto& m : lifecycleMethods)
        if (m.group == group && m.name[0] == name[0] && std::strcmp(m.name, name) == 0) return true;
    return false;
}

std::uint8_t lifecycleRow(const char* name) {
    // The first letters of the lifecycle names: one test rejects most names.
    static constexpr auto firstLetters = [] {
        std::array<bool, 256> letters{};
        for (const LifecycleMethod& m : lifecycleMethods) letters[static_cast<unsigned char>(m.name[0])] = true;
        return letters;
    }();
    if (!firstLetters[static_cast<unsigned char>(name[0])]) return 0;
    for (std::size_t i = 0; i < std::size(lifecycleMethods); ++i) {
        const char* known = lifecycleMethods[i].name;
        if (known[0] == name[0] && std::strcmp(known, name) == 0) return static_cast<std::uint8_t>(i + 1);
    }
    return 0;
}

bool isDefaultInitializerName(const char* name) {
    return isLifecycleName(name, LifecycleGroup::defaultInit) ||
           isLifecycleName(name, LifecycleGroup::copyInit);
}

bool isAssignmentName(const char* name) {
    return isLifecycleName(name, LifecycleGroup::assignment);
}

int parentNumber(Entry* cls, const char* parentName) {
    int position = 1;
    for (Entry* ref = cls->parents; ref; ref = ref->next, ++position)
        if (std::strcmp(ref->cls->name, parentName) == 0) return position;
    return 0;
}

MethodCell* listAppend(MethodCell* tail, Entry* method, MethodList& head) {
    MethodCell* cell = newCell(method);
    if (!head)
        head = cell;
    else
        tail->next = cell;
    return cell;
}

MethodList collectMethods(Entry* cls, MethodList head, MethodCell*& tail) {
    Collection found{head, tail, {}, {}};
    // About as many as the host lists as inherited, plus the class's own: the map is made
    // once at about its final size.
    found.listed.reserve(chainLength(cls->inheritedMethods) + chainLength(cls->methods) + chainLength(head));
    for (MethodCell* cell = head; cell; cell = cell->next) found.listed.insert(listingKey(cell->method), cell);
    collectInto(cls, found);
    tail = found.tail;
    // A new list of named methods has one cell per name: what the collection found is the
    // name index an InheritedMethodList needs, handed on rather than made again.
    if (!head && found.head && !found.unnamed)
        found.head->index = new MethodNameIndex{found.tail, std::move(found.listed)};
    return found.head;
}

void releaseMethodList(MethodList& head) {
    if (!head) return;
    // The cells go back to the pool as one chain.
    MethodCell* last = head;
    for (;; last = last->next) {
        delete last->index;
        if (!last->next) break;
    }
    cellPool.giveChain(head, last);
    head = nullptr;
}

MethodList parentMethodsNotReintroduced(Entry* cls, Entry* parent) {
    ReintroducedMethods reintroduced{};
    kavtGetReintroducedMethods(&reintroduced, cls);
    MethodCell* tail = nullptr;
    MethodList all = collectMethods(parent, nullptr, tail);
    if (reintroduced.count == 0) {  // nothing to leave out
        releaseReintroduced(reintroduced);
        return all;
    }
    // A method is matched by the first reintroduced method of its name: the same Entry has
    // the same name. Looked up by name, so that a class reintroducing many of its parent's
    // methods does not compare each with each.
    const std::unordered_map<std::string_view, Entry*> byName = reintroducedByName(reintroduced);
    MethodList result = nullptr;
    MethodCell* resultTail = nullptr;
    for (MethodCell* cell = all; cell; cell = cell->next) {
        Entry* m = cell->method;
        auto found = byName.find(m->name);
        Entry* match = found == byName.end() ? nullptr : found->second;
        if (!match) {
            resultTail = listAppend(resultTail, m, result);
            continue;
        }
        if (isStaticMethod(m)) {
            ++pass.listMessages;
            kavtmrierror(kavtfilePath, match->lineno, 35, match->name, cls->name, m->cls->name);
        }
    }
    releaseMethodList(all);
    releaseReintroduced(reintroduced);
    return result;
}

InheritedMethodList addInheritedMethod(InheritedMethodList head, Entry* method) {
    if (!head) return newCell(method);
    MethodNameIndex& index = indexOf(head);
    MethodCell* const* listed = index.byName.find(method->name);
    if (!listed) {
        index.tail->next = newCell(method);
        index.catchUp();
        return head;
    }
    Entry* first = (*listed)->method;
    if (first->cls != method->cls && reportsDuplicateIntroducers()) {
        std::string qualified = formatText("%s::%s", pass.currentClassName, method->name);
        ++pass.listMessages;
        kavtmrierror(kavtfilePath, method->lineno, 35, qualified.c_str(), first->cls->name,
                     method->cls->name);
    }
    return head;
}

Entry* findInheritedMethod(InheritedMethodList inherited, const char* name) {
    if (!inherited) return nullptr;
    MethodCell* const* found = indexOf(inherited).byName.find(name);
    return found ? (*found)->method : nullptr;
}

namespace {

// A list searched a few times in a pass is walked (an override asks each parent about once);
// on the next search its index is made, so that a class searched for each of many methods
// costs one walk of the list and a lookup per search.
constexpr int searchesBeforeIndex = 16;

// The first entry of a chain (linked through `next`) whose method has the name, by name
// pointer; `methodOf` gives a record's method Entry (or null).
template <typename Record, typename MethodOf>
Entry* firstNamed(Record* head, const char* name, MethodOf methodOf) {
    for (Record* r = head; r; r = r->next)
        if (Entry* m = methodOf(r); m && m->name == name) return m;
    return nullptr;
}

// The same through the chain's index, made on the search after the first few.
template <typename Record, typename MethodOf>
Entry* searchOrIndex(PointerMap<Entry*>& index, int& searches, Record* head, const char* name, MethodOf methodOf) {
    if (!name) return nullptr;
    if (searches < searchesBeforeIndex) {
        ++searches;
        return firstNamed(head, name, methodOf);
    }
    if (searches == searchesBeforeIndex) {
        ++searches;
        index.reserve(chainLength(head));
        for (Record* r = head; r; r = r->next)
            if (Entry* m = methodOf(r)) index.insert(m->name, m);
    }
    Entry* const* found = index.find(name);
    return found ? *found : nullptr;
}

Entry* refMethod(MethodRef* ref) { return ref->method; }
Entry* chainEntry(Entry* e) { return e; }

}  // namespace

Entry* inheritedMethodNamed(Entry* cls, const char* name) {
    ClassMethodIndex& index = pass.methodIndexes[cls];
    return searchOrIndex(index.inherited, index.inheritedSearches, cls->inheritedMethods, name, refMethod);
}

Entry* chainMethodNamed(Entry* cls, const char* name) {
    ClassMethodIndex& index = pass.methodIndexes[cls];
    return searchOrIndex(index.chain, index.chainSearches, cls->methods, name, chainEntry);
}

int ancestorPathCount(Entry* ref, Entry* cls) {
    // paths(c) = the parents of c named like ref, plus paths(parent) for every parent: summed
    // once per class (a lattice has exponentially many paths but few classes), after the
    // parents, with an explicit stack (the depth of a hierarchy is the input's). The sums
    // saturate; the callers only ask whether the count is 1.
    constexpr std::uint64_t many = std::uint64_t{1} << 62;
    PointerMap<std::uint64_t> paths;
    // A parent still open (only in a cyclic graph the host should never make) counts 0 paths.
    auto pathsOf = [&paths](const Entry* c) {
        const std::uint64_t* known = paths.find(c);
        if (known) return *known;
        paths.insert(c, 0);
        return std::uint64_t{0};
    };
    std::vector<std::pair<Entry*, bool>> stack{{cls, false}};
    while (!stack.empty()) {
        auto [c, parentsDone] = stack.back();
        stack.pop_back();
        if (paths.find(c)) continue;
        if (!parentsDone) {
            stack.emplace_back(c, true);
            for (Entry* p = c->parents; p; p = p->next)
                if (!paths.find(p->cls)) stack.emplace_back(p->cls, false);
            continue;
        }
        std::uint64_t sum = 0;
        for (Entry* p = c->parents; p; p = p->next) {
            if (std::strcmp(ref->name, p->cls->name) == 0) ++sum;
            sum = std::min(many, sum + pathsOf(p->cls));
        }
        paths.set(c, sum);
    }
    return static_cast<int>(std::min<std::uint64_t>(pathsOf(cls), INT_MAX));
}

bool isMethodOf(Entry* cls, Entry* method) {
    for (Entry* m = cls->methods; m; m = m->next)
        if (m == method || sameName(m, method)) return true;
    return false;
}

void deferParentResolution(Entry* cls, const char* introducer, Entry* method) {
    auto* record = static_cast<DeferredResolution*>(kavtsmalloc(sizeof(DeferredResolution), 0));
    record->cls = cls;
    record->introducer = kavtstringFmt("%s", introducer);
    record->method = method;
    record->next = pass.deferred;
    pass.deferred = record;
}

DeferredResolution* popDeferred() {
    DeferredResolution* record = pass.deferred;
    if (record) pass.deferred = record->next;
    return record;
}

void releaseDeferred(DeferredResolution* record) {
    kavtsmfree(record->introducer, 0);
    kavtsmfree(record, 0);
}

bool isLifecycleMethod(Entry* method) {
    return lifecycleRow(method->name) != 0 || hasMod(method, Option::init);
}

}  // namespace darurov
