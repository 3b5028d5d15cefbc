// The arena, the host variables, modifiers and options, symbol tables and the allocator.
#include "kavc/store.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

// ---- host variables --------------------------------------------------------------------
int kavtCPP = 0;
int kavtmeta = 0;
const char* kavtclassPrefix = nullptr;
const char* kavtfilePath = "";
const char* kavtfileStem = "";
Entry* kavtkavcls = nullptr;
int kavtg_f[64] = {};

static char* getAttFromMods(Mod* mods, const char* name, int /*flag*/) {
    Mod* mod = kavc::detail::findMod(mods, name);
    return mod ? mod->value : nullptr;
}
char* (*kavtgetAtt)(Mod* mods, const char* name, int flag) = getAttFromMods;

namespace kavc::detail {

Model* madeModel = nullptr;

Model& makeModel() {
    if (!madeModel) madeModel = new Model();
    return *madeModel;
}

char* TextArena::copy(std::string_view text) {
    constexpr std::size_t blockSize = 64 * 1024;
    std::size_t need = text.size() + 1;
    if (need > left_) {
        std::size_t size = need > blockSize / 4 ? need : blockSize;
        blocks_.push_back(std::make_unique_for_overwrite<char[]>(size));  // pages touched as filled
        char* block = blocks_.back().get();
        if (size != blockSize) {  // a long text has a block of its own; keep filling the current one
            std::memcpy(block, text.data(), text.size());
            block[text.size()] = '\0';
            return block;
        }
        next_ = block;
        left_ = size;
    }
    char* result = next_;
    std::memcpy(result, text.data(), text.size());
    result[text.size()] = '\0';
    next_ += need;
    left_ -= need;
    return result;
}

char* copyString(std::string_view text) { return model().texts.copy(text); }

// Eight bytes at a time (a byte-wise hash costs a multiplication per character); the last
// word overlaps the one before, and a short name is read in two overlapping halves.
std::uint32_t NameTable::hashOf(std::string_view name) {
    constexpr std::uint64_t k1 = 0x9E3779B97F4A7C15ull, k2 = 0xC2B2AE3D27D4EB4Full;
    const char* at = name.data();
    std::size_t left = name.size();
    std::uint64_t h = left * k1;
    auto mix = [&h](std::uint64_t word) {
        h = (h ^ word) * k2;
        h ^= h >> 29;
    };
    if (left >= 8) {
        std::uint64_t word;
        for (; left > 8; at += 8, left -= 8) {
            std::memcpy(&word, at, 8);
            mix(word);
        }
        std::memcpy(&word, at + left - 8, 8);
        mix(word);
    } else if (left >= 4) {
        std::uint32_t head, tail;
        std::memcpy(&head, at, 4);
        std::memcpy(&tail, at + left - 4, 4);
        mix(std::uint64_t{head} << 32 | tail);
    } else if (left) {
        const auto byte = [at](std::size_t i) { return std::uint64_t{static_cast<unsigned char>(at[i])}; };
        mix(byte(0) | byte(left / 2) << 8 | byte(left - 1) << 16);
    }
    h *= k1;
    return static_cast<std::uint32_t>(h >> 32 ^ h);
}

std::size_t NameTable::indexOf(std::string_view name, std::uint32_t hash) const {
    return table_.indexOf(hash, [&](const Slot& slot) {
        return slot.hash == hash && std::string_view(slot.text, slot.size) == name;
    });
}

char* NameTable::find(std::string_view name) const {
    if (table_.empty()) return nullptr;
    return table_[indexOf(name, hashOf(name))].text;
}

char* NameTable::intern(std::string_view name, TextArena& texts, bool* added) {
    std::uint32_t hash = hashOf(name);
    table_.makeRoom([](const Slot& slot) { return slot.hash; });
    std::size_t at = indexOf(name, hash);
    const bool isNew = !table_[at];
    if (isNew) table_.fill(at, {texts.copy(name), hash, static_cast<std::uint32_t>(name.size())});
    if (added) *added = isNew;
    return table_[at].text;
}

const Entry* IntroducedIndex::ownerOf(const Entry* method) {
    return static_cast<const MethodInfo*>(method->hostData)->owner;
}

std::uint32_t IntroducedIndex::hashOf(const Entry* cls, const char* name) {
    auto bits = [](const void* p) { return static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(p)); };
    return static_cast<std::uint32_t>(((bits(cls) * 0x9E3779B97F4A7C15ull) ^ (bits(name) * 0xC2B2AE3D27D4EB4Full)) >> 20);
}

std::size_t IntroducedIndex::indexOf(const Entry* cls, const char* name) const {
    const std::uint32_t hash = hashOf(cls, name);
    return table_.indexOf(hash, [&](const Slot& slot) {
        return slot.hash == hash && slot.method->name == name && ownerOf(slot.method) == cls;
    });
}

Entry* IntroducedIndex::find(const Entry* cls, const char* name) const {
    if (table_.empty()) return nullptr;
    return table_[indexOf(cls, name)].method;
}

void IntroducedIndex::add(Entry* method) {
    table_.makeRoom([](const Slot& slot) { return slot.hash; });
    const Entry* owner = ownerOf(method);
    std::size_t at = indexOf(owner, method->name);
    if (!table_[at]) table_.fill(at, {method, hashOf(owner, method->name)});
}

std::size_t DeclaratorCache::slotOf(const TypeCode* type, int mode, const char* name) {
    auto bits = [](const void* p) { return static_cast<std::size_t>(reinterpret_cast<std::uintptr_t>(p)); };
    const std::uint64_t h = (bits(type) * 0x9E3779B97F4A7C15ull) ^ ((bits(name) + static_cast<std::size_t>(mode)) * 0xC2B2AE3D27D4EB4Full);
    return static_cast<std::size_t>(h >> (64 - slotBits));
}

char* DeclaratorCache::find(const TypeCode* type, int mode, const char* name) const {
    if (slots_.empty()) return nullptr;
    const Slot& slot = slots_[slotOf(type, mode, name)];
    return slot.type == type && slot.name == name && slot.mode == mode ? slot.declarator : nullptr;
}

void DeclaratorCache::keep(const TypeCode* type, int mode, const char* name, char* declarator) {
    if (slots_.empty()) slots_.resize(std::size_t{1} << slotBits);
    slots_[slotOf(type, mode, name)] = {type, name, mode, declarator};
}

char* internName(std::string_view name) {
    Model& m = model();
    return m.names.intern(name, m.texts);
}

char* bareValue() {
    // Static, not made when first asked: a modifier read without its value would read as absent.
    static char value[] = "\x01";
    return value;
}

namespace {

// The host record an Entry of that kind needs.
EntryInfo* newInfo(int type) {
    Model& m = model();
    switch (type) {
        case kavtClassType:
        case kavtModuleType: return &m.classInfos.emplace_back();
        case kavtNewMethodType:
        case kavtOverrideType: return m.methodInfos.make();
        case kavtAttributeType: return m.attributeInfos.make();
        default: return m.infos.make();
    }
}

}  // namespace

Entry* newEntry(int type, std::string_view name, int line) {
    return newEntry(type, Interned{internName(name)}, line);
}

Entry* newEntry(int type, Interned name, int line) {
    Model& m = model();
    Entry& e = *(type == kavtParamType ? m.params : m.entries).make();
    e.type = type;
    e.name = const_cast<char*>(name.text);
    e.lineno = line;
    e.hostData = newInfo(type);
    ++model().revision;
    return &e;
}

EntryInfo& info(Entry* e) {
    if (!e->hostData) e->hostData = newInfo(e->type);
    return *static_cast<EntryInfo*>(e->hostData);
}

MethodInfo& methodInfo(Entry* method) { return static_cast<MethodInfo&>(info(method)); }

AttributeInfo& attributeInfo(Entry* attribute) { return static_cast<AttributeInfo&>(info(attribute)); }

ClassInfo& classInfo(Entry* cls) { return static_cast<ClassInfo&>(info(cls)); }

Mod* findMod(Mod* mods, const char* name) {
    if (!name) return nullptr;
    // Most questions are about a modifier the entry does not carry: the first letter settles
    // those without a library call.
    const char first = name[0];
    for (Mod* m = mods; m; m = m->next)
        if (m->name && m->name[0] == first && std::strcmp(m->name, name) == 0) return m;
    return nullptr;
}

bool hasMod(Entry* e, const char* name) { return e && findMod(e->mods, name); }

char** makeScopedName(const std::vector<std::string>& scope, char* name) {
    Model& m = model();
    char** parts = m.nameParts.make(scope.size() + 3);
    char** at = parts;
    if (!m.emptyName) m.emptyName = internName("");
    *at++ = m.emptyName;
    for (const std::string& s : scope) *at++ = internName(s);
    *at++ = name;
    *at = nullptr;
    return parts;
}

char** PointerArena::make(std::size_t count) {
    constexpr std::size_t blockSize = 1024;
    if (count > left_) {
        std::size_t size = std::max(count, blockSize);
        blocks_.push_back(std::make_unique_for_overwrite<char*[]>(size));  // every slot is filled
        next_ = blocks_.back().get();
        left_ = size;
    }
    char** result = next_;
    next_ += count;
    left_ -= count;
    return result;
}

void appendChain(Entry*& head, Entry*& last, Entry* e) {
    Entry** link = last ? &last->next : &head;
    while (*link) link = &(*link)->next;
    *link = e;
    last = e;
}

StabImpl::StabImpl(int recordSize)
    : recordSize_(recordSize > 0 ? static_cast<std::size_t>(recordSize) : 0),
      stride_((std::max<std::size_t>(recordSize_, 1) + alignof(std::max_align_t) - 1) / alignof(std::max_align_t) *
              alignof(std::max_align_t)) {}

// Blocks grow with the table, from 16 records to 64 KB: a table of a few records stays small.
unsigned char* StabImpl::newRecord() {
    if (!blockLeft_) {
        std::size_t count = std::max<std::size_t>(16, std::min(records_.size(), 64 * 1024 / stride_));
        std::size_t words = count * stride_ / sizeof(std::max_align_t);
        blocks_.push_back(std::make_unique<std::max_align_t[]>(words));
        next_ = reinterpret_cast<unsigned char*>(blocks_.back().get());
        // Every byte zero: value-initialising max_align_t may leave its long double's padding as it was.
        std::memset(next_, 0, words * sizeof(std::max_align_t));
        blockLeft_ = count;
    }
    unsigned char* data = next_;
    next_ += stride_;
    --blockLeft_;
    return data;
}

std::size_t StabImpl::indexOf(std::string_view key, std::size_t hash) const {
    return index_.indexOf(hash, [&](const Slot& slot) {
        return slot.hash == hash && records_[slot.number - 1].key == key;
    });
}

unsigned char* StabImpl::add(const char* key) {
    std::string_view text = key;
    std::size_t hash = std::hash<std::string_view>{}(text);
    index_.makeRoom([](const Slot& slot) { return slot.hash; });
    std::size_t at = indexOf(text, hash);
    if (index_[at]) return records_[index_[at].number - 1].data;
    records_.push_back({std::string(text), newRecord()});
    index_.fill(at, {hash, records_.size()});
    return records_.back().data;
}

unsigned char* StabImpl::find(const char* key) const {
    if (index_.empty()) return nullptr;
    std::string_view text = key;
    const Slot& slot = index_[indexOf(text, std::hash<std::string_view>{}(text))];
    return slot ? records_[slot.number - 1].data : nullptr;
}

void freeStabImpl(StabImpl* impl) {
    auto& stabs = model().stabs;
    for (auto it = stabs.begin(); it != stabs.end(); ++it)
        if (*it == impl) {
            stabs.erase(it);
            break;
        }
    delete impl;
}

}  // namespace kavc::detail

using namespace kavc::detail;

namespace kavc {

char* str(std::string_view text) { return copyString(text); }

void addMod(Entry* e, std::string_view name, const char* value) {
    if (!e) return;
    char* text = value ? copyString(value) : bareValue();
    const bool isMethod = e->type == kavtNewMethodType || e->type == kavtOverrideType;
    const bool isClass = e->type == kavtClassType;
    // A written descriptor replaces the default one made by addMethod.
    if (isMethod && name == modName(darurov::Option::descriptor) && methodInfo(e).defaultDescriptor) {
        MethodInfo& inf = methodInfo(e);
        inf.defaultDescriptor->value = text;
        inf.defaultDescriptor = nullptr;
        return;
    }
    Mod& mod = *model().mods.make();
    mod.name = internName(name);
    mod.value = text;
    // A class may carry many modifiers (one per inherited method it migrates): keep its end.
    Mod** link = &e->mods;
    if (isClass && classInfo(e).lastMod) link = &classInfo(e).lastMod->next;
    while (*link) link = &(*link)->next;
    *link = &mod;
    if (isClass) classInfo(e).lastMod = &mod;
    ++model().revision;
    // An attribute's "class" makes both accessors members of the metaclass pass.
    if (e->type == kavtAttributeType && name == modName(darurov::Option::metaclassMember)) {
        AttributeInfo& inf = attributeInfo(e);
        if (inf.getter && !hasMod(inf.getter, darurov::Option::metaclassMember)) addMod(inf.getter, modName(darurov::Option::metaclassMember));
        if (inf.setter && !hasMod(inf.setter, darurov::Option::metaclassMember)) addMod(inf.setter, modName(darurov::Option::metaclassMember));
    }
}

void setOption(std::string_view name, const char* value) {
    char* text = value ? copyString(value) : bareValue();
    if (name == darurov::optionName(darurov::Option::csc)) model().zdlCallStyle = true;
    for (auto& [key, val] : model().options)
        if (key == name) {
            val = text;
            return;
        }
    model().options.emplace_back(std::string(name), text);
}

void setFlag(int word, int bits) {
    if (word >= 0 && word < 64) kavtg_f[word] |= bits;
}

void setClassPrefix(const char* prefix) { kavtclassPrefix = prefix ? copyString(prefix) : nullptr; }

void setFilePath(std::string_view path) {
    kavtfilePath = copyString(path);
    std::string_view base = path;
    if (auto slash = base.find_last_of("/\\"); slash != std::string_view::npos)
        base.remove_prefix(slash + 1);
    if (auto dot = base.rfind('.'); dot != std::string_view::npos && dot > 0)
        base = base.substr(0, dot);
    kavtfileStem = copyString(base);
}

Stab* unitStab() { return &model().unitStab; }

}  // namespace kavc

// ---- modifiers and options -------------------------------------------------------------
char* kavtgetatt(Entry* entry, const char* name) {
    if (!entry) return nullptr;
    Mod* mod = findMod(entry->mods, name);
    return mod ? mod->value : nullptr;
}

char* kavtgetgatt(const char* option) {
    if (!option) return nullptr;
    for (auto& [key, value] : model().options)
        if (key == option) return value;
    return nullptr;
}

// ---- memory ----------------------------------------------------------------------------
void* kavtsmalloc(std::size_t size, int /*flag*/) {
    void* block = std::calloc(1, size ? size : 1);
    if (!block) {
        std::fputs("kavc: fatal error: out of memory\n", stderr);
        std::abort();
    }
    return block;
}

void kavtsmfree(void* block, int /*flag*/) { std::free(block); }

// ---- symbol tables ---------------------------------------------------------------------
static StabImpl* implOf(Stab* stab) { return stab ? static_cast<StabImpl*>(stab->impl) : nullptr; }

void kavtcreateStab(Stab* stab, int /*buckets*/, int recordSize) {
    if (!stab) return;
    auto* impl = new StabImpl(recordSize);
    model().stabs.push_back(impl);
    stab->impl = impl;
    stab->recordSize = recordSize;
}

void kavtfreeStab(Stab* stab) {
    StabImpl* impl = implOf(stab);
    if (!impl) return;
    freeStabImpl(impl);
    stab->impl = nullptr;
}

void kavtaddEntry(Stab* stab, const char* key, const void* record) {
    StabImpl* impl = implOf(stab);
    if (!impl || !key) return;
    unsigned char* target = impl->add(key);  // a repeated key overwrites
    if (record && impl->recordSize()) std::memcpy(target, record, impl->recordSize());
}

void* kavtgetEntry(Stab* stab, const char* key) {
    StabImpl* impl = implOf(stab);
    if (!impl || !key) return nullptr;
    return impl->find(key);
}

void* kavtstabFirst(Stab* stab, int /*flag*/) {
    StabImpl* impl = implOf(stab);
    if (!impl) return nullptr;
    impl->cursor = 0;
    if (impl->size() == 0) return nullptr;
    return impl->record(0);
}

void* kavtstabNext(Stab* stab, int /*flag*/) {
    StabImpl* impl = implOf(stab);
    if (!impl || impl->cursor + 1 >= impl->size()) {
        if (impl) impl->cursor = impl->size();
        return nullptr;
    }
    return impl->record(++impl->cursor);
}
