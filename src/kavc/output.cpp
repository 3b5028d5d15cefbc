// The output file, formatted text, comment blocks, include guards, passthru text and modules.
#include "kavc/platform.h"
#include "kavc/store.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

using namespace kavc::detail;

namespace {

kavc::EmitFn emitter = nullptr;
bool toStdout = false;  // output directory "-": the committed text goes to standard output
std::string lastOutputError;

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
    if (m.capture || toStdout) {
        // One in-memory stream serves every stem while capturing.
        for (OpenFile& f : m.files)
            if (f.tempPath.empty() && f.stream) return f.stream;
        std::free(m.captureData);  // text of a committed earlier stream
        m.captureData = nullptr;
        m.captureSize = 0;
        file.stream = kavc::platform::openMemoryStream(&m.captureData, &m.captureSize);
    } else {
        std::string dir = m.outputDir.empty() ? "." : m.outputDir;
        file.finalPath = dir + "/" + key;
        file.status = std::make_shared<kavc::platform::WriteStatus>();
        file.stream = kavc::platform::createTempFile(dir, key, file.tempPath, file.status);
        // Headers run to megabytes: large writes.
        if (file.stream) std::setvbuf(file.stream, nullptr, _IOFBF, 1 << 20);
        if (!file.stream) {
            std::string text = "cannot create output file " + file.finalPath + ": " + std::strerror(errno);
            reportLine(kavtfilePath, 0, "fatal error", text, 0, true, false);
            kavtcleanFilesFatal(-1);
        }
    }
    m.files.push_back(file);
    return file.stream;
}

}  // namespace

namespace kavc::detail {

void closeAllOutput() {
    Model& m = model();
    for (OpenFile& f : m.files) {
        if (f.stream) kavc::platform::closeStream(f.stream);
        if (f.tempPath.empty()) continue;
        std::remove(f.tempPath.c_str());
        kavc::platform::forgetTempFile(f.tempPath);
    }
    m.files.clear();
}

}  // namespace kavc::detail

namespace kavc {

void setEmitter(EmitFn fn) { emitter = fn; }

void setOutputDir(std::string_view dir) {
    model().capture = false;
    toStdout = dir == "-";
    model().outputDir = std::string(dir);
}

void captureOutput() {
    model().capture = true;
    toStdout = false;
}

std::string capturedText() {
    Model& m = model();
    for (OpenFile& f : m.files)
        if (f.tempPath.empty() && f.stream) kavc::platform::flushMemoryStream(f.stream);
    return m.captureData ? std::string(m.captureData, m.captureSize) : std::string();
}

// A file whose text is what it already holds is left alone (its time stamp too), so that
// whatever is built from it is not rebuilt.
bool commitOutput() {
    Model& m = model();
    bool ok = true;
    lastOutputError.clear();
    auto fail = [&](const OpenFile& f, int error) {
        if (ok) lastOutputError = (f.finalPath.empty() ? "standard output" : f.finalPath) + ": " + std::strerror(error);
        ok = false;
    };
    for (OpenFile& f : m.files) {
        if (f.stream && kavc::platform::closeStream(f.stream) != 0)
            fail(f, f.status && f.status->error ? f.status->error : errno);
        f.stream = nullptr;
        if (f.tempPath.empty()) {
            if (ok && toStdout &&
                !kavc::platform::writeStdout(std::string(m.captureData ? m.captureData : "", m.captureSize)))
                fail(f, errno);
            continue;
        }
        if (ok && f.status && f.status->error) fail(f, f.status->error);  // an earlier write failed
        bool unchanged = ok && kavc::platform::sameContent(f.tempPath, f.finalPath);
        if (ok && !unchanged && !kavc::platform::installFile(f.tempPath, f.finalPath)) fail(f, errno);
        if (!ok || unchanged) std::remove(f.tempPath.c_str());
        kavc::platform::forgetTempFile(f.tempPath);
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

namespace {

// One thread writes a unit's output: glibc's stdio without its per-call lock where there is one.
void writeText(FILE* out, const char* text, std::size_t size) {
#ifdef __GLIBC__
    fwrite_unlocked(text, 1, size, out);
#else
    std::fwrite(text, 1, size, out);
#endif
}

void writeChar(FILE* out, int c) {
#ifdef __GLIBC__
    putc_unlocked(c, out);
#else
    std::putc(c, out);
#endif
}

// printf for the formats the emitter writes: literal text and %s, %d, %u, %c, %%, also with the
// l length. Text goes to the stream in whole spans; anything else is left to vfprintf from that
// conversion on, so every format prints as printf would print it.
void formatTo(FILE* out, const char* format, va_list args) {
    const char* span = format;
    const char* at = format;
    for (;;) {
        while (*at && *at != '%') ++at;
        if (at != span) writeText(out, span, static_cast<std::size_t>(at - span));
        if (!*at) return;
        const char* conversion = at + 1;
        bool isLong = *conversion == 'l';
        if (isLong) ++conversion;
        char digits[24];
        switch (*conversion) {
            case 's': {
                const char* text = isLong ? nullptr : va_arg(args, const char*);
                if (isLong) break;
                if (!text) text = "(null)";
                writeText(out, text, std::strlen(text));
                span = at = conversion + 1;
                continue;
            }
            case 'd': {
                long value = isLong ? va_arg(args, long) : va_arg(args, int);
                int n = std::snprintf(digits, sizeof digits, "%ld", value);
                writeText(out, digits, static_cast<std::size_t>(n));
                span = at = conversion + 1;
                continue;
            }
            case 'u': {
                unsigned long value = isLong ? va_arg(args, unsigned long) : va_arg(args, unsigned);
                int n = std::snprintf(digits, sizeof digits, "%lu", value);
                writeText(out, digits, static_cast<std::size_t>(n));
                span = at = conversion + 1;
                continue;
            }
            case 'c':
                if (isLong) break;
                writeChar(out, va_arg(args, int));
                span = at = conversion + 1;
                continue;
            case '%':
                if (isLong) break;
                writeChar(out, '%');
                span = at = conversion + 1;
                continue;
            default: break;
        }
        std::vfprintf(out, at, args);
        return;
    }
}

}  // namespace

void kavtokfprintf(FILE* out, const char* format, ...) {
    if (!out || !format) return;
    va_list args;
    va_start(args, format);
    formatTo(out, format, args);
    va_end(args);
}

void kavtfullComment(FILE* out, const char* format, ...) {
    if (!out || !format) return;
    va_list args;
    va_start(args, format);
    std::string body = vformat(format, args);
    va_end(args);
    if (!body.empty() && body.back() == '\n') body.pop_back();
    // Each line of the body behind " * ", an empty line as " *", an empty body as one " *".
    std::string text = "\n/*\n";
    if (body.empty()) text += " *\n";
    std::size_t start = 0;
    while (start < body.size()) {
        std::size_t end = body.find('\n', start);
        if (end == std::string::npos) end = body.size();
        if (end == start)
            text += " *\n";
        else
            text.append(" * ").append(body, start, end - start).append("\n");
        start = end + 1;
    }
    text += " */\n";
    writeText(out, text.data(), text.size());
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
    for (const Passthru& p : classInfo(cls).passthru) {
        if (p.section != section || p.after != after) continue;
        std::fputs(p.text.c_str(), out);
        std::fputc('\n', out);
        wrote = 1;
    }
    return wrote;
}
