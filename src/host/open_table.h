// Hash tables with linear probing over one array of slots: no allocation per element. A slot
// is free while it converts to false (a null pointer, or a record whose key pointer is null).
// The caller gives each key's hash and says which slot holds it; the table keeps a quarter of
// its slots free, so probes stay short. The host's name table and method index and the
// pointer sets of host and emitter all sit on it.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

template <typename Slot>
class OpenTable {
public:
    bool empty() const { return slots_.empty(); }  // no slots yet (a reserved table has some)
    std::size_t size() const { return used_; }      // the slots held
    const Slot& operator[](std::size_t at) const { return slots_[at]; }
    Slot& slotAt(std::size_t at) { return slots_[at]; }

    // The index of the slot `holds` accepts, or else of the free slot where that key belongs.
    // The table must not be empty.
    template <typename Holds>
    std::size_t indexOf(std::size_t hash, Holds holds) const {
        std::size_t mask = slots_.size() - 1;
        std::size_t at = hash & mask;
        while (slots_[at] && !holds(slots_[at])) at = (at + 1) & mask;
        return at;
    }

    // Room for one more element; `hashOf` gives a held slot's hash when the table grows.
    template <typename HashOf>
    void makeRoom(HashOf hashOf) {
        if ((used_ + 1) * 4 <= slots_.size() * 3) return;
        std::vector<Slot> old(std::max<std::size_t>(64, slots_.size() * 2));
        old.swap(slots_);
        for (const Slot& slot : old)
            if (slot) slots_[indexOf(hashOf(slot), [](const Slot&) { return false; })] = slot;
    }

    // Room for `count` elements before the table first grows: a table whose size is known
    // ahead is made once instead of doubling (and holding the old and the new slots) on the way.
    // Only while the table is empty.
    void reserve(std::size_t count) {
        if (!slots_.empty()) return;
        std::size_t size = 64;
        while (size * 3 < count * 4) size *= 2;
        slots_.resize(size);
    }

    // Fills the free slot `at` (from indexOf, after makeRoom).
    void fill(std::size_t at, const Slot& slot) {
        slots_[at] = slot;
        ++used_;
    }
    // Replaces what the held slot `at` holds by a record of the same key.
    void replace(std::size_t at, const Slot& slot) { slots_[at] = slot; }

private:
    std::vector<Slot> slots_;
    std::size_t used_ = 0;
};

// The hash of a text for the tables below (FNV-1a), one character at a time, so that a caller
// may hash a text while it scans it; textHash continues from `h`.
inline constexpr std::uint32_t textHashStart = 2166136261u;
constexpr std::uint32_t textHashStep(std::uint32_t h, char c) { return (h ^ static_cast<unsigned char>(c)) * 16777619u; }
constexpr std::uint32_t textHash(std::string_view text, std::uint32_t h = textHashStart) {
    for (char c : text) h = textHashStep(h, c);
    return h;
}

// The hash of a pointer for the tables below: the low bits of an address are alignment.
inline std::size_t pointerHash(const void* p) {
    return static_cast<std::size_t>((reinterpret_cast<std::uintptr_t>(p) >> 3) * 0x9E3779B97F4A7C15ull >> 20);
}

// A set of pointers. The host's inherited-method lists and the emitter's method lists of a deep
// hierarchy hold tens of thousands of entries; both sides use this set.
class PointerSet {
    static auto same(const void* p) {
        return [p](const void* held) { return held == p; };
    }

public:
    // Adds `p`; false when it was there already.
    bool insert(const void* p) {
        table_.makeRoom(pointerHash);
        std::size_t at = table_.indexOf(pointerHash(p), same(p));
        if (table_[at]) return false;
        table_.fill(at, p);
        return true;
    }
    bool contains(const void* p) const { return !table_.empty() && table_[table_.indexOf(pointerHash(p), same(p))]; }
    // Room for `count` pointers before the set first grows (only while it is empty).
    void reserve(std::size_t count) { table_.reserve(count); }

private:
    OpenTable<const void*> table_;
};

// A map from pointers (interned names, Entries) to small values, without a node per element.
template <typename Value>
class PointerMap {
    struct Slot {
        const void* key = nullptr;
        Value value{};
        explicit operator bool() const { return key; }
    };
    std::size_t indexOf(const void* key) const {
        return table_.indexOf(pointerHash(key), [key](const Slot& held) { return held.key == key; });
    }

public:
    // Adds `key` with `value` unless the key is there already (its value is kept); true when added.
    bool insert(const void* key, const Value& value) {
        table_.makeRoom([](const Slot& held) { return pointerHash(held.key); });
        std::size_t at = indexOf(key);
        if (table_[at]) return false;
        table_.fill(at, {key, value});
        return true;
    }
    // Adds `key` and returns its value to be filled in; null when the key is there already.
    Value* add(const void* key) {
        table_.makeRoom([](const Slot& held) { return pointerHash(held.key); });
        std::size_t at = indexOf(key);
        if (table_[at]) return nullptr;
        table_.fill(at, {key, Value{}});
        return &table_.slotAt(at).value;
    }
    // Gives `key` the value `value`, whether it was there or not.
    void set(const void* key, const Value& value) {
        if (!insert(key, value)) table_.replace(indexOf(key), {key, value});
    }
    // Room for `count` keys before the map first grows (only while it is empty).
    void reserve(std::size_t count) { table_.reserve(count); }
    bool empty() const { return table_.size() == 0; }
    // The value of `key`, or null.
    const Value* find(const void* key) const {
        if (table_.empty()) return nullptr;
        const Slot& slot = table_[indexOf(key)];
        return slot ? &slot.value : nullptr;
    }

private:
    OpenTable<Slot> table_;
};
