// The output file, formatted text, comment blocks, include guards, passthru text and modules.
#include "kavc/store.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

using namespace kavc::detail;

namespace {

kavc::EmitFn emitter = nullptr;
std::string lastOutputError;

// ---- temporary files removed on a signal ----
// The paths of the uncommitted files, readable from a signal handler: a slot is set before
// the file exists and cleared before its path is freed.
constexpr int signalSlots = 64;
std::atomic<char*> pendingPaths[signalSlots];
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

void watchPath(const std::string& path) {
    removeOnSignals();
    for (std::atomic<char*>& slot : pendingPaths) {
        char* expected = nullptr;
        char* copy = ::strdup(path.c_str());
        if (slot.compare_exchange_strong(expected, copy)) return;
        std::free(copy);
    }
}

void unwatchPath(const std::string& path) {
    for (std::atomic<char*>& slot : pendingPaths) {
        char* held = slot.load();
        if (held && path == held && slot.compare_exchange_strong(held, nullptr)) {
            std::free(held);
            return;
        }
    }
}

// ---- the stream of a real file: writes that remember why they failed ----
ssize_t sinkWrite(void* cookie, const char* data, size_t size) {
    auto* sink = static_cast<FileSink*>(cookie);
    size_t done = 0;
    while (done < size) {
        ssize_t n = ::write(sink->fd, data + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (!sink->error) sink->error = n < 0 ? errno : EIO;
            return done > 0 ? static_cast<ssize_t>(done) : -1;
        }
        done += static_cast<size_t>(n);
    }
    return static_cast<ssize_t>(done);
}

int sinkClose(void* cookie) {
    auto* sink = static_cast<FileSink*>(cookie);
    if (::close(sink->fd) != 0 && !sink->error) sink->error = errno;
    sink->fd = -1;
    return sink->error ? -1 : 0;
}

FILE* sinkStream(const std::shared_ptr<FileSink>& sink) {
    cookie_io_functions_t io{};
    io.write = sinkWrite;
    io.close = sinkClose;
    return ::fopencookie(sink.get(), "w", io);
}

std::string vformat(const char* format, va_list args) {
    va_list again;
    va_copy(again, args);
    int length = std::vsnprintf(nullptr, 0, format, args);
    std::string text(length > 0 ? static_cast<std::size_t>(length) : 0, '\0');
    if (length > 0) std::vsnprintf(text.data(), text.size() + 1, format, again);
    va_end(again);
    return text;
}

FILE* openFile(const std::string& key) {
    Model& m = model();
    OpenFile file;
    file.key = key;
    if (m.capture) {
        // One in-memory stream serves every stem while capturing.
        for (OpenFile& f : m.files)
            if (f.tempPath.empty() && f.stream) return f.stream;
        std::free(m.captureData);  // text of a committed earlier stream
        m.captureData = nullptr;
        m.captureSize = 0;
        file.stream = open_memstream(&m.captureData, &m.captureSize);
    } else {
        std::string dir = m.outputDir.empty() ? "." : m.outputDir;
        file.finalPath = dir + "/" + key;
        std::string pattern = dir + "/." + key + ".XXXXXX";
        // No signal between making the file and noting its name.
        sigset_t cleaned, before;
        sigemptyset(&cleaned);
        for (int sig : cleanedSignals) sigaddset(&cleaned, sig);
        ::sigprocmask(SIG_BLOCK, &cleaned, &before);
        int fd = mkstemp(pattern.data());
        if (fd >= 0) watchPath(pattern);
        ::sigprocmask(SIG_SETMASK, &before, nullptr);
        if (fd >= 0) {
            file.tempPath = pattern;
            file.sink = std::make_shared<FileSink>();
            file.sink->fd = fd;
            file.stream = sinkStream(file.sink);
            if (!file.stream) ::close(fd);
        }
        if (!file.stream) {
            std::string text = "cannot create output file " + file.finalPath + ": " + std::strerror(errno);
            reportLine(kavtfilePath, 0, "fatal error", text, 0, true, false);
            kavtcleanFilesFatal(-1);
        }
    }
    m.files.push_back(file);
    return file.stream;
}

// mkstemp makes the file 0600; the committed file gets the mode open(..., 0666) would give it.
mode_t ordinaryFileMode() {
    mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

// Lines of a comment body; a final newline ends the last line rather than adding one.
std::vector<std::string> bodyLines(const std::string& body) {
    std::vector<std::string> result;
    std::size_t start = 0;
    while (start < body.size()) {
        std::size_t end = body.find('\n', start);
        if (end == std::string::npos) end = body.size();
        result.push_back(body.substr(start, end - start));
        start = end + 1;
    }
    return result;
}

}  // namespace

namespace kavc::detail {

void closeAllOutput() {
    Model& m = model();
    for (OpenFile& f : m.files) {
        if (f.stream) std::fclose(f.stream);
        if (f.tempPath.empty()) continue;
        std::remove(f.tempPath.c_str());
        unwatchPath(f.tempPath);
    }
    m.files.clear();
}

}  // namespace kavc::detail

namespace kavc {

void setEmitter(EmitFn fn) { emitter = fn; }

void setOutputDir(std::string_view dir) {
    model().capture = false;
    model().outputDir = std::string(dir);
}

void captureOutput() { model().capture = true; }

std::string capturedText() {
    Model& m = model();
    for (OpenFile& f : m.files)
        if (f.tempPath.empty() && f.stream) std::fflush(f.stream);
    return m.captureData ? std::string(m.captureData, m.captureSize) : std::string();
}

bool commitOutput() {
    Model& m = model();
    bool ok = true;
    lastOutputError.clear();
    auto fail = [&](const OpenFile& f, int error) {
        if (ok) lastOutputError = f.finalPath + ": " + std::strerror(error);
        ok = false;
    };
    for (OpenFile& f : m.files) {
        if (f.stream && std::fclose(f.stream) != 0) fail(f, f.sink && f.sink->error ? f.sink->error : errno);
        f.stream = nullptr;
        if (f.tempPath.empty()) continue;
        if (ok && f.sink && f.sink->error) fail(f, f.sink->error);  // an earlier write failed
        if (ok && ::chmod(f.tempPath.c_str(), ordinaryFileMode()) != 0) fail(f, errno);
        if (ok && std::rename(f.tempPath.c_str(), f.finalPath.c_str()) != 0) fail(f, errno);
        if (!ok) std::remove(f.tempPath.c_str());
        unwatchPath(f.tempPath);
    }
    m.files.clear();
    return ok;
}

std::string outputError() { return lastOutputError; }

void discardOutput() {
    Model& m = model();
    closeAllOutput();
    std::free(m.captureData);
    m.captureData = nullptr;
    m.captureSize = 0;
}

}  // namespace kavc

FILE* kavtopenEmitFile(const char* stem, const char* kind) {
    std::string key = std::string(stem ? stem : "") + "." + (kind ? kind : "");
    for (OpenFile& f : model().files)
        if (f.key == key && f.stream) return f.stream;
    return openFile(key);
}

FILE* kavtemitModule(const char* stem, Entry* module, const char* kind) {
    FILE* last = nullptr;
    for (Entry* e = module ? module->members : nullptr; e; e = e->next) {
        if (e->type == kavtClassType && emitter)
            last = emitter(stem, e, &model().unitStab);
        else if (e->type == kavtModuleType)
            if (FILE* out = kavtemitModule(stem, e, kind)) last = out;
    }
    return last;
}

void kavtokfprintf(FILE* out, const char* format, ...) {
    if (!out || !format) return;
    va_list args;
    va_start(args, format);
    std::vfprintf(out, format, args);
    va_end(args);
}

void kavtfullComment(FILE* out, const char* format, ...) {
    if (!out || !format) return;
    va_list args;
    va_start(args, format);
    std::string body = vformat(format, args);
    va_end(args);
    if (!body.empty() && body.back() == '\n') body.pop_back();
    std::string text = "\n/*\n";
    std::vector<std::string> lines = bodyLines(body);
    if (lines.empty()) text += " *\n";
    for (const std::string& line : lines) text += line.empty() ? " *\n" : " * " + line + "\n";
    text += " */\n";
    std::fputs(text.c_str(), out);
}

const char* kavtincludeOnce(Entry* cls, const char* suffix, std::string& buffer) {
    buffer.clear();
    if (cls && cls->scopedName) {
        for (char** part = cls->scopedName; *part; ++part) {
            if (part == cls->scopedName && **part == '\0') continue;
            buffer += *part;
            buffer += "_";
        }
    } else if (cls && cls->name) {
        buffer = std::string(cls->name) + "_";
    }
    buffer += suffix ? suffix : "";
    return buffer.c_str();
}

int kavtemitPassthru(FILE* out, Entry* cls, const char* section, int /*mode*/, const char* position) {
    if (!out || !cls || !section || !cls->hostData) return 0;
    bool after = position && std::strcmp(position, "after") == 0;
    int wrote = 0;
    for (const Passthru& p : info(cls).passthru) {
        if (p.section != section || p.after != after) continue;
        std::fputs(p.text.c_str(), out);
        std::fputc('\n', out);
        wrote = 1;
    }
    return wrote;
}
