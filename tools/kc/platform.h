// What kc needs from the operating system to find and load its emitter plug-in.
#pragma once

#include <cstddef>
#include <string>

namespace kc::platform {

// The directory of the running kc executable, ending in a separator; empty when unknown.
std::string executableDir();

// Loads the library at `path`; null with the reason in `why`.
void* loadLibrary(const std::string& path, std::string& why);
// The address of `symbol` in a loaded library, or null.
void* findSymbol(void* library, const char* symbol);
void unloadLibrary(void* library);

// Readies the heap for a run that will hold about `bytes`: on Linux, one stretch of that size
// is taken at once and asked to be backed by large pages, which saves most page faults of a
// big input. Does nothing where that is not possible or not worth it.
void prepareHeap(std::size_t bytes);
// Called once the input is parsed: what the run holds now tells how much more of the
// prepared stretch it will take, and that much is made ready ahead of it.
void heapAfterParsing();

}  // namespace kc::platform
