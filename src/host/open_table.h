// Hash tables with linear probing over one array of slots: no allocation per element. A slot
// is free while it converts to false (a null pointer, or a record whose key pointer is null).
// The caller gives each key's hash and says which slot holds it; the table keeps a quarter of
// its slots free, so probes stay short. The host's name table and method index and the
// pointer sets of host and emitter all sit on it.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

template <typename Slot>
class OpenTable {
public:
    bool empty() const { return slots_.empty(); }
    const Slot& operator[](std::size_t at) const { return slots_[at]; }

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

    // Fills the free slot `at` (from indexOf, after makeRoom).
    void fill(std::size_t at, const Slot& slot) {
        slots_[at] = slot;
        ++used_;
    }

private:
    std::vector<Slot> slots_;
    std::size_t used_ = 0;
};

// A set of pointers. The host's inherited-method lists and the emitter's method lists of a deep
// hierarchy hold tens of thousands of entries; both sides use this set.
class PointerSet {
    static std::size_t hashOf(const void* p) {
        return static_cast<std::size_t>((reinterpret_cast<std::uintptr_t>(p) >> 3) * 0x9E3779B97F4A7C15ull >> 20);
    }
    static auto same(const void* p) {
        return [p](const void* held) { return held == p; };
    }

public:
    // Adds `p`; false when it was there already.
    bool insert(const void* p) {
        table_.makeRoom(hashOf);
        std::size_t at = table_.indexOf(hashOf(p), same(p));
        if (table_[at]) return false;
        table_.fill(at, p);
        return true;
    }
    bool contains(const void* p) const { return !table_.empty() && table_[table_.indexOf(hashOf(p), same(p))]; }

private:
    OpenTable<const void*> table_;
};
