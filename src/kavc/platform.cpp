#include "kavc/platform.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace kavc::platform {

namespace {

#ifdef _WIN32
// Windows has no open_memstream: a memory stream is a temporary file deleted on close, read
// back into the caller's buffer when its text is asked for.
struct MemoryStream {
    FILE* stream;
    char** data;
    std::size_t* size;
};
std::vector<MemoryStream> memoryStreams;

void readBack(const MemoryStream& m) {
    std::fflush(m.stream);
    long end = std::ftell(m.stream);
    std::free(*m.data);
    *m.data = static_cast<char*>(std::malloc(static_cast<std::size_t>(end > 0 ? end : 0) + 1));
    *m.size = 0;
    if (!*m.data) return;
    std::rewind(m.stream);
    *m.size = std::fread(*m.data, 1, static_cast<std::size_t>(end > 0 ? end : 0), m.stream);
    (*m.data)[*m.size] = '\0';
    std::fseek(m.stream, 0, SEEK_END);
}
#endif

}  // namespace

FILE* createTempFile(const std::string& dir, const std::string& name, std::string& path) {
#ifdef _WIN32
    static unsigned counter = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        path = dir + "/." + name + "." + std::to_string(GetCurrentProcessId()) + "-" +
               std::to_string(++counter);
        int fd = _open(path.c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY, _S_IREAD | _S_IWRITE);
        if (fd >= 0) return _fdopen(fd, "wb");
        if (errno != EEXIST) break;
    }
    return nullptr;
#else
    path = dir + "/." + name + ".XXXXXX";
    int fd = ::mkstemp(path.data());
    if (fd < 0) return nullptr;
    FILE* stream = ::fdopen(fd, "w");
    if (!stream) ::close(fd);
    return stream;
#endif
}

bool installFile(const std::string& tempPath, const std::string& finalPath) {
#ifdef _WIN32
    return MoveFileExA(tempPath.c_str(), finalPath.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
#else
    // mkstemp made the file 0600; it gets the mode open(..., 0666) would give it.
    mode_t mask = ::umask(0);
    ::umask(mask);
    if (::chmod(tempPath.c_str(), 0666 & ~mask) != 0) return false;
    return std::rename(tempPath.c_str(), finalPath.c_str()) == 0;
#endif
}

bool sameContent(const std::string& pathA, const std::string& pathB) {
    FILE* a = std::fopen(pathA.c_str(), "rb");
    FILE* b = a ? std::fopen(pathB.c_str(), "rb") : nullptr;
    bool same = a && b;
    char bufA[65536], bufB[65536];
    while (same) {
        std::size_t n = std::fread(bufA, 1, sizeof bufA, a);
        std::size_t m = std::fread(bufB, 1, sizeof bufB, b);
        same = n == m && std::memcmp(bufA, bufB, n) == 0 && !std::ferror(a) && !std::ferror(b);
        if (n < sizeof bufA) break;
    }
    if (a) std::fclose(a);
    if (b) std::fclose(b);
    return same;
}

FILE* openMemoryStream(char** data, std::size_t* size) {
#ifdef _WIN32
    char dir[MAX_PATH + 1];
    char path[MAX_PATH + 1];
    DWORD n = GetTempPathA(sizeof dir, dir);
    if (n == 0 || n > sizeof dir || GetTempFileNameA(dir, "kav", 0, path) == 0) return nullptr;
    FILE* stream = std::fopen(path, "w+bD");
    if (stream) memoryStreams.push_back({stream, data, size});
    return stream;
#else
    return ::open_memstream(data, size);
#endif
}

void flushMemoryStream(FILE* stream) {
#ifdef _WIN32
    for (const MemoryStream& m : memoryStreams)
        if (m.stream == stream) readBack(m);
#else
    std::fflush(stream);
#endif
}

int closeStream(FILE* stream) {
#ifdef _WIN32
    for (std::size_t i = 0; i < memoryStreams.size(); ++i) {
        if (memoryStreams[i].stream != stream) continue;
        readBack(memoryStreams[i]);
        memoryStreams.erase(memoryStreams.begin() + static_cast<std::ptrdiff_t>(i));
        break;
    }
#endif
    return std::fclose(stream);
}

bool writeStdout(const std::string& text) {
#ifdef _WIN32
    std::fflush(stdout);
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    return std::fwrite(text.data(), 1, text.size(), stdout) == text.size() && std::fflush(stdout) == 0;
}

}  // namespace kavc::platform
