// kc's heap preparation: a run of some size gets one stretch of heap advised for large pages;
// a small run gets nothing.
#include "kc/platform.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KC_TEST_OTHER_MALLOC 1
#endif
#endif
#ifdef __SANITIZE_ADDRESS__
#define KC_TEST_OTHER_MALLOC 1
#endif

// glibc's malloc only: a sanitizer's allocator keeps its own heap.
#if defined(__linux__) && defined(__GLIBC__) && !defined(KC_TEST_OTHER_MALLOC)
#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <thread>

namespace {

// The kilobytes of the process's mappings that are advised for large pages ("hg"), and
// whether `address` lies in one of them.
struct Advised {
    std::size_t kilobytes = 0;
    std::size_t resident = 0;  // kilobytes of them in memory
    bool holds = false;
};

Advised advised(const void* address = nullptr) {
    std::ifstream smaps("/proc/self/smaps");
    const auto at = reinterpret_cast<std::uintptr_t>(address);
    Advised result;
    std::string line;
    std::size_t size = 0, rss = 0;
    bool inside = false;
    while (std::getline(smaps, line)) {
        std::istringstream words(line);
        std::string key;
        words >> key;
        if (const auto dash = key.find('-'); dash != std::string::npos && key.back() != ':') {
            const std::uintptr_t from = std::stoull(key.substr(0, dash), nullptr, 16);
            const std::uintptr_t to = std::stoull(key.substr(dash + 1), nullptr, 16);
            inside = from <= at && at < to;
        } else if (key == "Size:") {
            words >> size;
        } else if (key == "Rss:") {
            words >> rss;
        } else if (key == "VmFlags:") {
            for (std::string flag; words >> flag;)
                if (flag == "hg") {
                    result.kilobytes += size;
                    result.resident += rss;
                    result.holds = result.holds || inside;
                }
        }
    }
    return result;
}

constexpr std::size_t megabyte = std::size_t{1} << 20;

TEST(KcPlatform, HeapIsPreparedOnlyForARunOfSomeSize) {
    if (access("/sys/kernel/mm/transparent_hugepage/enabled", F_OK) != 0)
        GTEST_SKIP() << "this kernel has no large pages for a process's heap";
    const std::size_t before = advised().kilobytes;

    kc::platform::prepareHeap(megabyte / 2);
    EXPECT_EQ(advised().kilobytes, before) << "a small run";

    // Once the heap is advised, it stays so: the bigger runs come last.
    kc::platform::prepareHeap(megabyte);
    EXPECT_GE(advised().kilobytes, before + 2 * 1024) << "a run of 1 MB gets one large page";

    // What the heap holds free before the big run (the earlier stretches, and whatever the
    // tests that ran before in this process freed): a block bigger than all of it is new.
    const std::size_t freeBefore = mallinfo2().fordblks;
    const std::size_t residentBefore = advised().resident;
    kc::platform::prepareHeap(64 * megabyte);
    EXPECT_GE(advised().kilobytes, before + 62 * 1024) << "a big run";
    // A thread of its own brings the stretch's first three eighths into memory, which this
    // thread does not touch.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (advised().resident < residentBefore + 20 * 1024 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_GE(advised().resident, residentBefore + 20 * 1024) << "made ready ahead of the run";
    // The run's blocks come from the advised stretch from the first one on, not from the
    // small pages before it.
    ASSERT_LT(freeBefore, 16 * megabyte);
    void* first = std::malloc(std::max<std::size_t>(256 << 10, freeBefore + 4096));
    EXPECT_TRUE(advised(first).holds);
    std::free(first);

    // Once the input is parsed, what the run holds tells how much more of the stretch it will
    // take, and that much is made ready too: here a parsed input of 30 MB, touched only at its
    // ends, past the three eighths made ready so far.
    void* volatile parsed = std::malloc(30 * megabyte);  // volatile: the block is made
    kc::platform::heapAfterParsing();
    while (advised().resident < residentBefore + 36 * 1024 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_GE(advised().resident, residentBefore + 36 * 1024) << "made ready for the rest of the run";
    std::free(parsed);
}

}  // namespace
#endif
