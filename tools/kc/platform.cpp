#include "kc/platform.h"

#include "kavc/platform.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif

#include <algorithm>
#include <climits>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <thread>
#endif

namespace kc::platform {

#ifdef _WIN32

namespace {

std::string lastErrorText() {
    DWORD code = GetLastError();
    char* text = nullptr;
    DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                 FORMAT_MESSAGE_IGNORE_INSERTS,
                             nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string why = n && text ? std::string(text, n) : "error " + std::to_string(code);
    if (text) LocalFree(text);
    while (!why.empty() && (why.back() == '\n' || why.back() == '\r' || why.back() == '.')) why.pop_back();
    return why;
}

}  // namespace

std::string executableDir() {
    char buf[MAX_PATH + 1];
    DWORD n = GetModuleFileNameA(nullptr, buf, sizeof buf);
    if (n == 0 || n >= sizeof buf) return {};
    std::string self(buf, n);
    return self.substr(0, self.find_last_of("/\\") + 1);
}

void* loadLibrary(const std::string& path, std::string& why) {
    // The plug-in's own directory is searched for the libraries it needs.
    HMODULE module = LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!module) why = lastErrorText();
    return reinterpret_cast<void*>(module);
}

void* findSymbol(void* library, const char* symbol) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), symbol));
}

void unloadLibrary(void* library) { FreeLibrary(static_cast<HMODULE>(library)); }

#else

std::string executableDir() {
    char buf[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return {};
    std::string self(buf, static_cast<size_t>(n));
    return self.substr(0, self.rfind('/') + 1);
}

void* loadLibrary(const std::string& path, std::string& why) {
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* reason = ::dlerror();
        why = reason ? reason : "unknown reason";
    }
    return handle;
}

void* findSymbol(void* library, const char* symbol) { return ::dlsym(library, symbol); }

void unloadLibrary(void* library) { ::dlclose(library); }

#endif

// The heap is prepared where glibc's allocator can be steered and the kernel makes large
// pages on advice; the pages are made ready ahead where it can also populate on request.
#if defined(__linux__) && defined(__GLIBC__) && defined(MADV_HUGEPAGE)
#define KC_PREPARES_HEAP 1
#if defined(MADV_POPULATE_WRITE) && __GLIBC_PREREQ(2, 33)
#define KC_POPULATES_AHEAD 1
#endif
#endif

#ifdef KC_PREPARES_HEAP
namespace {
constexpr std::size_t largePage = std::size_t{2} << 20;
}  // namespace
#endif

#ifdef KC_POPULATES_AHEAD
namespace {

// The prepared stretch's large pages [from, to), of which [from, ready) are made ready ahead.
struct Stretch {
    std::uintptr_t from = 0, ready = 0, to = 0;
} stretch;

// The kernel clears each large page on its first touch, a good part of a big run's time on a
// machine whose memory is slow to hand out. A thread of its own touches the pages [from, to)
// first, in order, on another core while the run reads and parses its input, so that the run
// finds them ready. The pages keep their contents (none yet): populating writes nothing.
void populateAhead(std::uintptr_t from, std::uintptr_t to) {
    sigset_t all;
    sigfillset(&all);  // signals stay the main thread's
    std::thread thread = kavc::platform::startThread(all, [from, to] {
        for (std::uintptr_t at = from; at < to; at += largePage)
            if (madvise(reinterpret_cast<void*>(at), std::min(largePage, to - at), MADV_POPULATE_WRITE) != 0) break;
    });
    if (thread.joinable()) thread.detach();  // without one, the run touches its pages itself
}

}  // namespace
#endif

void prepareHeap(std::size_t bytes) {
#ifdef KC_PREPARES_HEAP
    // A run of a few hundred kilobytes of blocks already gains by one large page for its
    // hundreds of small ones (a fault each); the stretch has room for at least one.
    if (bytes < largePage / 2) return;
    bytes = std::max(bytes, 2 * largePage);
    // Never more than a quarter of the address space or data the process may have.
    for (int limit : {RLIMIT_AS, RLIMIT_DATA}) {
        rlimit r{};
        if (getrlimit(limit, &r) == 0 && r.rlim_cur != RLIM_INFINITY) bytes = std::min<std::size_t>(bytes, r.rlim_cur / 4);
    }
    if (bytes < 2 * largePage) return;
    // Blocks up to 32 MB come from the heap, and what is freed stays there: the whole model
    // then lies in the stretch advised below. A mallopt that fails means another allocator
    // (a sanitizer's) keeps the heap, and nothing is done.
    if (mallopt(M_MMAP_THRESHOLD, 32 << 20) != 1) return;
    mallopt(M_TRIM_THRESHOLD, INT_MAX);
    // The stretch is taken from the heap's top as one block and given back. A large page is
    // made only where nothing of its 2 MB was touched before the advice: the block's size lies
    // just before it and the heap's rest right after it, so the large pages are those that lie
    // wholly inside the block.
    static void* beforeFirstLargePage = nullptr;
    std::free(beforeFirstLargePage);  // a heap prepared again (tests) sets aside anew
    beforeFirstLargePage = nullptr;
    mallopt(M_MMAP_MAX, 0);
    auto* block = static_cast<char*>(std::malloc(bytes));
    __asm__ volatile("" : : "r"(block) : "memory");  // the block is made, not optimized away
    mallopt(M_MMAP_MAX, 65536);                      // glibc's default
    if (!block) return;
    const auto start = reinterpret_cast<std::uintptr_t>(block);
    const std::uintptr_t from = (start + largePage - 1) & ~(largePage - 1);
    const std::uintptr_t to = (start + bytes) & ~(largePage - 1);
    if (from < to) madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
#ifdef KC_POPULATES_AHEAD
    // A run that gets through holds at least about three eighths of the stretch (kcbench's
    // shapes hold from about half of it to more than all of it): that much is made ready
    // ahead, and so no page that such a run will not use.
    const std::uintptr_t ready = std::min(to, (from + bytes * 3 / 8) & ~(largePage - 1));
    if (from < ready) populateAhead(from, ready);
    stretch = {from, std::max(from, ready), to};
#endif
    // What lies between the block's start and the first large page is set aside, never
    // touched, so that the run's blocks come from large pages from the first one on. The
    // block shrinks in place to end exactly there (the request that, with glibc's 8-byte size
    // word, ends at the first large page), and its rest goes back to the heap's free top. (A
    // new block of that size could come from any free piece of the heap instead.)
    if (from < to && from > start)
        beforeFirstLargePage = std::realloc(block, from - start + 8);
    else
        std::free(block);
    __asm__ volatile("" : : "r"(beforeFirstLargePage) : "memory");
#else
    (void)bytes;
#endif
}

void heapAfterParsing() {
#ifdef KC_POPULATES_AHEAD
    if (stretch.ready >= stretch.to) return;
    // The syntax tree is most of what the run holds now. Lowering frees it piece by piece
    // while it builds the model, and the header's lists come on top: kcbench's shapes end
    // with from about 1.4 (sections) to 3 times (many) what they held here. Somewhat less than
    // the low end is made ready, so no page that such a run will not use.
    const struct mallinfo2 heap = mallinfo2();
    const std::size_t held = heap.uordblks + heap.hblkhd;
    const std::uintptr_t ready = std::min(stretch.to, (stretch.from + held / 10 * 13) & ~(largePage - 1));
    if (ready <= stretch.ready) return;
    populateAhead(stretch.ready, ready);
    stretch.ready = ready;
#endif
}

}  // namespace kc::platform
