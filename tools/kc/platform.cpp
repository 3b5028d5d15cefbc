#include "kc/platform.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#include <unistd.h>

#include <climits>
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

}  // namespace kc::platform
