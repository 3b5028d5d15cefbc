#include "kavc/platform.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <new>
#include <utility>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>
#else
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>
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


// ---- temporary files removed on a signal ----
// The paths of the uncommitted files, readable from a signal handler: a slot is set before
// the file exists and cleared before its path is freed.
constexpr int signalSlots = 64;
std::atomic<char*> pendingPaths[signalSlots];

#ifdef _WIN32
constexpr int cleanedSignals[] = {SIGINT, SIGTERM, SIGABRT};

extern "C" void removePendingAndDie(int sig) {
    for (std::atomic<char*>& slot : pendingPaths)
        if (char* path = slot.load()) std::remove(path);
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}

void removeOnSignals() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    for (int sig : cleanedSignals) std::signal(sig, removePendingAndDie);
}
#else
constexpr int cleanedSignals[] = {SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGXFSZ, SIGABRT, SIGBUS, SIGSEGV};

extern "C" void removePendingAndDie(int sig) {
    for (std::atomic<char*>& slot : pendingPaths)
        if (char* path = slot.load()) ::unlink(path);
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}

// Handlers go in once, for the signals whose action is still the default (a run under
// nohup keeps ignoring SIGHUP).
void removeOnSignals() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    // A stack of its own, so that the handler also runs after a stack overflow.
    static char handlerStack[64 * 1024];
    stack_t current{};
    if (::sigaltstack(nullptr, &current) == 0 && (current.ss_flags & SS_DISABLE)) {
        stack_t own{};
        own.ss_sp = handlerStack;
        own.ss_size = sizeof handlerStack;
        ::sigaltstack(&own, nullptr);
    }
    for (int sig : cleanedSignals) {
        struct sigaction old{};
        if (::sigaction(sig, nullptr, &old) != 0 || old.sa_handler != SIG_DFL) continue;
        struct sigaction action{};
        action.sa_handler = removePendingAndDie;
        action.sa_flags = SA_ONSTACK;
        sigemptyset(&action.sa_mask);
        ::sigaction(sig, &action, nullptr);
    }
}

// Writes all of `data` to `fd`; the bytes written, fewer when a write failed (its error, or
// EIO for a write of nothing, in `error` unless one is there).
size_t writeAll(int fd, const char* data, size_t size, int& error) {
    size_t done = 0;
    while (done < size) {
        ssize_t n = ::write(fd, data + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (!error) error = n < 0 ? errno : EIO;
            break;
        }
        done += static_cast<size_t>(n);
    }
    return done;
}

// A large file's text goes to the kernel from a thread of its own: the run fills one block
// while the thread writes the other, so that the kernel copies one block into the file while
// the run makes the next. A block (256 KB) holds two of the pieces the host hands on: waking
// the thread for every piece cost about what the write saved. The thread keeps the first
// error; the stream's close waits for it, so the error is known where it always was.
class BackgroundWriter {
public:
    static constexpr size_t capacity = size_t{256} << 10;

    BackgroundWriter(int fd, WriteStatus& status) : fd_(fd), status_(status) {}
    ~BackgroundWriter() { finish(); }

    // False when there is no memory or no thread for it: the caller writes in place.
    bool start() {
        filling_.reset(new (std::nothrow) char[capacity]);
        spare_.reset(new (std::nothrow) char[capacity]);
        if (!filling_ || !spare_) return false;
        // Signals sent to the process stay the main thread's; those a write or a fault raises
        // in this thread (a file size limit, a bad address) still reach their handlers here.
        sigset_t async;
        sigemptyset(&async);
        for (int sig : {SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGPIPE, SIGCHLD, SIGALRM, SIGUSR1, SIGUSR2})
            sigaddset(&async, sig);
        thread_ = startThread(async, [this] { run(); });
        return thread_.joinable();
    }

    // Takes a copy of `data`; false when a write has failed.
    bool take(const char* data, size_t size) {
        if (filled_ + size > capacity && !handOn()) return false;
        if (size > capacity) {
            // A piece larger than a block is written here, once the thread is idle.
            std::unique_lock<std::mutex> lock(mutex_);
            written_.wait(lock, [this] { return pending_ == 0; });
            writeUnlocked(lock, data, size);
            return !status_.error;
        }
        std::memcpy(filling_.get() + filled_, data, size);
        filled_ += size;
        return true;
    }

    // Writes what is left and ends the thread.
    void finish() {
        if (!thread_.joinable()) return;
        handOn();
        {
            std::lock_guard<std::mutex> lock(mutex_);
            closing_ = true;
        }
        ready_.notify_one();
        thread_.join();
    }

private:
    // Gives the thread the filled block once it has written the one before; false when a
    // write has failed.
    bool handOn() {
        std::unique_lock<std::mutex> lock(mutex_);
        written_.wait(lock, [this] { return pending_ == 0; });
        if (status_.error) return false;
        if (filled_ == 0) return true;
        filling_.swap(spare_);
        pending_ = filled_;
        filled_ = 0;
        lock.unlock();
        ready_.notify_one();
        return true;
    }

    // Writes `data` with the lock released, unless a write has failed; keeps the error.
    void writeUnlocked(std::unique_lock<std::mutex>& lock, const char* data, size_t size) {
        int error = status_.error;
        lock.unlock();
        if (!error) writeAll(fd_, data, size, error);
        lock.lock();
        status_.error = error;
    }

    void run() {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            ready_.wait(lock, [this] { return pending_ != 0 || closing_; });
            if (pending_ == 0) return;
            writeUnlocked(lock, spare_.get(), pending_);
            pending_ = 0;
            written_.notify_one();
        }
    }

    int fd_;
    WriteStatus& status_;
    std::unique_ptr<char[]> filling_;  // the run's
    size_t filled_ = 0;
    std::unique_ptr<char[]> spare_;  // the thread's while a block is pending
    std::mutex mutex_;
    std::condition_variable ready_;    // a block is pending, or the file closes
    std::condition_variable written_;  // the pending block is written
    size_t pending_ = 0;               // the pending block's size; 0: none
    bool closing_ = false;
    std::thread thread_;
};

// The stream of a real file: writes that remember why they failed. Its first 8 MB are written
// in place (for less, starting a thread costs more than it saves); a larger file goes on
// through a BackgroundWriter.
constexpr size_t writtenInPlace = size_t{8} << 20;

struct FileSink {
    int fd;
    std::shared_ptr<WriteStatus> status;
    std::unique_ptr<BackgroundWriter> writer;
    size_t inPlace = 0;  // bytes written in place so far
    bool writerTried = false;
};

ssize_t sinkWrite(void* cookie, const char* data, size_t size) {
    auto* sink = static_cast<FileSink*>(cookie);
    if (!sink->writerTried && sink->inPlace >= writtenInPlace) {
        sink->writerTried = true;
        sink->writer.reset(new (std::nothrow) BackgroundWriter(sink->fd, *sink->status));
        if (sink->writer && !sink->writer->start()) sink->writer.reset();
    }
    if (sink->writer) return sink->writer->take(data, size) ? static_cast<ssize_t>(size) : -1;
    const size_t done = writeAll(sink->fd, data, size, sink->status->error);
    sink->inPlace += done;
    return done > 0 || size == 0 ? static_cast<ssize_t>(done) : -1;
}

int sinkClose(void* cookie) {
    auto* sink = static_cast<FileSink*>(cookie);
    sink->writer.reset();  // its last block written
    if (::close(sink->fd) != 0 && !sink->status->error) sink->status->error = errno;
    int result = sink->status->error ? -1 : 0;
    delete sink;
    return result;
}
#endif

void watchPath(const std::string& path) {
    removeOnSignals();
    for (std::atomic<char*>& slot : pendingPaths) {
        char* expected = nullptr;
        char* copy = ::strdup(path.c_str());
        if (slot.compare_exchange_strong(expected, copy)) return;
        std::free(copy);
    }
}

}  // namespace

FILE* createTempFile(const std::string& dir, const std::string& name, std::string& path,
                     const std::shared_ptr<WriteStatus>& status) {
#ifdef _WIN32
    // A plain stream: a failed write is seen through ferror and errno at its close.
    (void)status;
    static unsigned counter = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        path = dir + "/." + name + "." + std::to_string(GetCurrentProcessId()) + "-" +
               std::to_string(++counter);
        watchPath(path);
        int fd = _open(path.c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY, _S_IREAD | _S_IWRITE);
        if (fd >= 0) return _fdopen(fd, "wb");
        forgetTempFile(path);
        if (errno != EEXIST) break;
    }
    return nullptr;
#else
    path = dir + "/." + name + ".XXXXXX";
    // No signal between making the file and noting its name.
    sigset_t cleaned, before;
    sigemptyset(&cleaned);
    for (int sig : cleanedSignals) sigaddset(&cleaned, sig);
    ::sigprocmask(SIG_BLOCK, &cleaned, &before);
    int fd = ::mkstemp(path.data());
    if (fd >= 0) watchPath(path);
    ::sigprocmask(SIG_SETMASK, &before, nullptr);
    if (fd < 0) return nullptr;
    FILE* stream = nullptr;
    if (status) {
        auto* sink = new (std::nothrow) FileSink{fd, status, nullptr, 0, false};  // no exception past the file made
        cookie_io_functions_t io{};
        io.write = sinkWrite;
        io.close = sinkClose;
        if (sink)
            stream = ::fopencookie(sink, "w", io);
        else
            errno = ENOMEM;
        // The host hands the stream whole blocks of its own buffer: each goes to the file in
        // one write, not through a second buffer of stdio.
        if (stream)
            std::setvbuf(stream, nullptr, _IONBF, 0);
        else
            delete sink;
    } else {
        stream = ::fdopen(fd, "w");
    }
    if (!stream) {
        int error = errno;
        ::close(fd);
        ::unlink(path.c_str());
        forgetTempFile(path);
        errno = error;
    }
    return stream;
#endif
}

void forgetTempFile(const std::string& path) {
    for (std::atomic<char*>& slot : pendingPaths) {
        char* held = slot.load();
        if (held && path == held && slot.compare_exchange_strong(held, nullptr)) {
            std::free(held);
            return;
        }
    }
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

bool fileSize(const std::string& path, std::uint64_t& size) {
    std::error_code error;
    std::uintmax_t bytes = std::filesystem::file_size(path, error);
    if (error) return false;
    size = bytes;
    return true;
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

#ifndef _WIN32
std::thread startThread(const sigset_t& blocked, std::function<void()> body) {
    // A new thread starts with its creator's mask: block, create, restore.
    sigset_t before;
    ::pthread_sigmask(SIG_BLOCK, &blocked, &before);
    std::thread thread;
    try {
        thread = std::thread(std::move(body));
    } catch (const std::system_error&) {
    }
    ::pthread_sigmask(SIG_SETMASK, &before, nullptr);
    return thread;
}
#endif

}  // namespace kavc::platform
