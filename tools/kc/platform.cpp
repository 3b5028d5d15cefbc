#include "kc/platform.h"

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
#include <cstdint>
#include <cstdlib>
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

void prepareHeap(std::size_t bytes) {
#if defined(__linux__) && defined(__GLIBC__) && defined(MADV_HUGEPAGE)
    constexpr std::size_t largePage = std::size_t{2} << 20;
    if (bytes < 8 * largePage) return;  // a small run touches too little to gain
    // Never more than a quarter of the address space or data the process may have.
    for (int limit : {RLIMIT_AS, RLIMIT_DATA}) {
        rlimit r{};
        if (getrlimit(limit, &r) == 0 && r.rlim_cur != RLIM_INFINITY) bytes = std::min<std::size_t>(bytes, r.rlim_cur / 4);
    }
    if (bytes < 8 * largePage) return;
    // Blocks up to 32 MB come from the heap, and what is freed stays there: the whole model
    // then lies in the stretch advised below.
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, INT_MAX);
    // The heap's next growth takes the whole stretch.
    const auto start = reinterpret_cast<std::uintptr_t>(sbrk(0));
    mallopt(M_TOP_PAD, static_cast<int>(std::min<std::size_t>(bytes, INT_MAX)));
    void* block = std::malloc(largePage);
    __asm__ volatile("" : : "r"(block) : "memory");  // the block is made, not optimized away
    std::free(block);
    mallopt(M_TOP_PAD, 128 << 10);
    const auto end = reinterpret_cast<std::uintptr_t>(sbrk(0));
    const std::uintptr_t from = (start + largePage - 1) & ~(largePage - 1);
    const std::uintptr_t to = end & ~(largePage - 1);
    if (from < to) madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
#else
    (void)bytes;
#endif
}

}  // namespace kc::platform
