// A set of pointers with open addressing: one array, no allocation per element. The host's
// inherited-method lists and the emitter's method lists of a deep hierarchy hold tens of
// thousands of entries; both sides use this set.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

class PointerSet {
public:
    // Adds `p`; false when it was there already.
    bool insert(const void* p) {
        if ((used_ + 1) * 2 > slots_.size()) grow();
        std::size_t at = slotOf(p);
        if (slots_[at]) return false;
        slots_[at] = p;
        ++used_;
        return true;
    }
    bool contains(const void* p) const { return !slots_.empty() && slots_[slotOf(p)]; }

private:
    std::size_t slotOf(const void* p) const {
        std::size_t mask = slots_.size() - 1;
        std::size_t at = ((reinterpret_cast<std::uintptr_t>(p) >> 3) * 0x9E3779B97F4A7C15ull >> 20) & mask;
        while (slots_[at] && slots_[at] != p) at = (at + 1) & mask;
        return at;
    }
    void grow() {
        std::vector<const void*> old(std::max<std::size_t>(64, slots_.size() * 2));
        old.swap(slots_);
        for (const void* p : old)
            if (p) slots_[slotOf(p)] = p;
    }
    std::vector<const void*> slots_;
    std::size_t used_ = 0;
};
