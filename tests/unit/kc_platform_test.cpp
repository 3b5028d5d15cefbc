// kc's heap preparation: a big run gets one stretch of heap advised for large pages; a small
// run gets nothing.
#include "kc/platform.h"

#include <gtest/gtest.h>

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
#include <unistd.h>

namespace {

// The kilobytes of the process's mappings that are advised for large pages ("hg").
std::size_t advisedKilobytes() {
    std::ifstream smaps("/proc/self/smaps");
    std::string line;
    std::size_t size = 0, advised = 0;
    while (std::getline(smaps, line)) {
        std::istringstream words(line);
        std::string key;
        words >> key;
        if (key == "Size:") {
            words >> size;
        } else if (key == "VmFlags:") {
            for (std::string flag; words >> flag;)
                if (flag == "hg") advised += size;
        }
    }
    return advised;
}

constexpr std::size_t megabyte = std::size_t{1} << 20;

TEST(KcPlatform, HeapIsPreparedOnlyForABigRun) {
    if (access("/sys/kernel/mm/transparent_hugepage/enabled", F_OK) != 0)
        GTEST_SKIP() << "this kernel has no large pages for a process's heap";
    const std::size_t before = advisedKilobytes();

    kc::platform::prepareHeap(4 * megabyte);
    EXPECT_EQ(advisedKilobytes(), before) << "a small run";

    // Once the heap is advised, it stays so: the big run comes last.
    kc::platform::prepareHeap(64 * megabyte);
    EXPECT_GE(advisedKilobytes(), before + 60 * 1024) << "a big run";
}

}  // namespace
#endif
