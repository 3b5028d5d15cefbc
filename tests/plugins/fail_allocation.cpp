// A stand-in allocator for kc's tests, preloaded: malloc fails at its Nth call
// (KC_TEST_FAIL_ALLOCATION=N), as it would if memory ran out right there. A run that ends
// before its Nth call says so on standard error.
#include <dlfcn.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace {

long calls = 0;
long failAt = -1;
void* (*nextMalloc)(std::size_t) = nullptr;

__attribute__((destructor)) void sayWhetherReached() {
    static const char line[] = "fail_allocation: not reached\n";
    if (failAt > calls) (void)!write(2, line, sizeof line - 1);
}

}  // namespace

extern "C" __attribute__((visibility("default"))) void* malloc(std::size_t size) {
    if (!nextMalloc) nextMalloc = reinterpret_cast<void* (*)(std::size_t)>(dlsym(RTLD_NEXT, "malloc"));
    if (failAt < 0) {
        const char* at = std::getenv("KC_TEST_FAIL_ALLOCATION");
        failAt = at ? std::atol(at) : 0;
    }
    if (++calls == failAt) {
        errno = ENOMEM;
        return nullptr;
    }
    return nextMalloc(size);
}
