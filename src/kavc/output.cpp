// The output file, formatted text, comment blocks, include guards, passthru text and modules.
#include "kavc/platform.h"
#include "kavc/store.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#if defined(__SSE2__) && (defined(__GNUC__) || defined(__clang__))
#include <emmintrin.h>
#define KAVC_SCAN16 1
#endif

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

[[noreturn]] void cannotCreate(const std::string& what) {
    const int error = errno;
    reportLine(kavtfilePath, 0, "fatal error", "cannot create " + what + ": " + std::strerror(error), 0, true, false);
    kavtcleanFilesFatal(-1);
}

FILE* openFile(const std::string& key) {
    Model& m = model();
    const bool inMemory = m.capture || toStdout;
    if (inMemory) {
        // One in-memory stream serves every stem while capturing.
        for (OpenFile& f : m.files)
            if (f.tempPath.empty() && f.stream) return f.stream;
    }
    // The file is in the list before anything is made for it, so that memory running out
    // from here on (bad_alloc, caught in main) leaves no temporary file behind: discardOutput
    // removes what the list holds.
    OpenFile& file = m.files.emplace_back();
    file.key = key;
    if (inMemory) {
        std::free(m.captureData);  // text of a committed earlier stream
        m.captureData = nullptr;
        m.captureSize = 0;
        m.captured.clear();
        file.stream = kavc::platform::openMemoryStream(&m.captureData, &m.captureSize);
        if (!file.stream) cannotCreate("the output in memory");
    } else {
        std::string dir = m.outputDir.empty() ? "." : m.outputDir;
        file.finalPath = dir + "/" + key;
        file.status = std::make_shared<kavc::platform::WriteStatus>();
        file.stream = kavc::platform::createTempFile(dir, key, file.tempPath, file.status);
        if (!file.stream) {
            file.tempPath.clear();  // removed already
            cannotCreate("output file " + file.finalPath);
        }
    }
    file.buffer = std::make_unique<OutputBuffer>();
    file.buffer->stream = file.stream;
    if (file.tempPath.empty())
        file.buffer->collect = &m.captured;
    else
        file.buffer->previous.open(file.finalPath);
    return file.stream;
}

// The buffer of the last stream written to, so that a line finds it without a search.
FILE* cachedStream = nullptr;
OutputBuffer* cachedBuffer = nullptr;

void forgetCachedBuffer() {
    cachedStream = nullptr;
    cachedBuffer = nullptr;
}

// The host's buffer in front of `out`, searched for when `out` is not the last stream.
OutputBuffer* findBuffer(FILE* out) {
    for (OpenFile& f : model().files)
        if (f.stream == out && f.buffer) {
            cachedStream = out;
            cachedBuffer = f.buffer.get();
            return cachedBuffer;
        }
    return nullptr;
}

// The host's buffer in front of `out`; null for a stream the host did not open.
inline OutputBuffer* bufferOf(FILE* out) { return out == cachedStream ? cachedBuffer : findBuffer(out); }

// Hands everything held for the open files to their streams.
void flushBuffers() {
    for (OpenFile& f : model().files)
        if (f.buffer) f.buffer->flush();
}

}  // namespace

namespace kavc::detail {

void closeAllOutput() {
    Model& m = model();
    forgetCachedBuffer();
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

const std::string& capturedText() {
    flushBuffers();
    return model().captured;
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
    flushBuffers();
    forgetCachedBuffer();
    // Before the streams close: text held back while it matched the previous file is written
    // when the whole does not match.
    std::vector<PreviousText::Verdict> verdicts;
    for (OpenFile& f : m.files)
        verdicts.push_back(f.buffer && f.stream && !f.tempPath.empty() ? f.buffer->previous.finish(f.stream, f.tempPath)
                                                                       : PreviousText::Verdict::unknown);
    for (std::size_t i = 0; i < m.files.size(); ++i) {
        OpenFile& f = m.files[i];
        if (f.stream && kavc::platform::closeStream(f.stream) != 0)
            fail(f, f.status && f.status->error ? f.status->error : errno);
        f.stream = nullptr;
        if (f.tempPath.empty()) {
            if (ok && toStdout &&
                !kavc::platform::writeStdout(m.captured))
                fail(f, errno);
            continue;
        }
        if (ok && f.status && f.status->error) fail(f, f.status->error);  // an earlier write failed
        bool unchanged = false;
        if (ok) {
            // Compared as it came; read back only when the file got text some other way.
            unchanged = verdicts[i] == PreviousText::Verdict::same ||
                        (verdicts[i] == PreviousText::Verdict::unknown && kavc::platform::sameContent(f.tempPath, f.finalPath));
        }
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
    m.captured.clear();  // its storage serves the next in-memory output; reset releases it
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
void writeToStream(FILE* out, const char* text, std::size_t size) {
#ifdef __GLIBC__
    fwrite_unlocked(text, 1, size, out);
#else
    std::fwrite(text, 1, size, out);
#endif
}

// Hands `size` bytes to where a buffer's text goes: its string while collecting, else its stream.
void deliver(OutputBuffer& buffer, const char* text, std::size_t size) {
    if (buffer.collect) {
        buffer.collect->append(text, size);
    } else if (buffer.stream) {
        if (buffer.previous.holdsBack())
            buffer.previous.compare(buffer.stream, text, size);
        else
            writeToStream(buffer.stream, text, size);
    }
}

// Copies `size` bytes; most pieces are short, and a short piece costs no library call: two
// overlapping loads and stores cover any size from n to 2n.
struct Bytes16 {
    unsigned char bytes[16];
};

[[gnu::always_inline]] inline void copyShort(char* to, const char* from, std::size_t size) {
    auto both = [&](auto word) {
        constexpr std::size_t n = sizeof word;
        decltype(word) head, tail;
        std::memcpy(&head, from, n);
        std::memcpy(&tail, from + size - n, n);
        std::memcpy(to, &head, n);
        std::memcpy(to + size - n, &tail, n);
    };
    if (size >= 16) {
        if (size > 32) return (void)std::memcpy(to, from, size);
        both(Bytes16{});
    } else if (size >= 8) {
        both(std::uint64_t{});
    } else if (size >= 4) {
        both(std::uint32_t{});
    } else if (size) {
        to[0] = from[0];
        to[size / 2] = from[size / 2];
        to[size - 1] = from[size - 1];
    }
}

// Where formatted text goes: the host's buffer of an output it opened, any other stream
// (written through), or a string. Text is copied to a cursor into the host's buffer, or into
// a small local one for the other two, so that a literal or a name is copied as it is scanned
// and the common short pieces cost no library call.
class Sink {
public:
    explicit Sink(FILE* out) : Sink(bufferOf(out), out) {}
    explicit Sink(std::string& text) : text_(&text) { useLocal(); }
    // The host's buffer of an output it opened.
    Sink(OutputBuffer* buffer, FILE* out) : buffer_(buffer), stream_(out) {
        if (buffer_) {
            start_ = buffer_->data.get();
            cursor_ = start_ + buffer_->used;
            end_ = start_ + OutputBuffer::capacity;
        } else {
            useLocal();
        }
    }
    Sink(const Sink&) = delete;
    Sink& operator=(const Sink&) = delete;
    ~Sink() {
        if (buffer_)
            buffer_->used = static_cast<std::size_t>(cursor_ - start_);
        else
            drain();
    }

    void put(char c) {
        if (cursor_ == end_) drain();
        *cursor_++ = c;
    }
    void write(const char* text, std::size_t size) {
        if (size > room()) return writeLong(text, size);
        copyShort(cursor_, text, size);
        cursor_ += size;
    }

    // Everything written to a string sink: while it fits the local buffer, the text is read
    // there (valid while the sink lives) and never copied to the string.
    std::string_view whole() {
        if (text_->empty()) return {start_, static_cast<std::size_t>(cursor_ - start_)};
        drain();
        return *text_;
    }
    // What is held is not handed on (it was read through whole()).
    void forget() { cursor_ = start_; }

    // The free space, for a writer that copies into it itself (Cursor below).
    char* cursor() const { return cursor_; }
    std::size_t room() const { return static_cast<std::size_t>(end_ - cursor_); }
    void advanceTo(char* cursor) { cursor_ = cursor; }

    // Text longer than the free space: what is held goes first.
    void writeLong(const char* text, std::size_t size) {
        drain();
        if (size > room()) return passOn(text, size);
        copyShort(cursor_, text, size);
        cursor_ += size;
    }

private:
    void useLocal() {
        start_ = cursor_ = local_;
        end_ = local_ + sizeof local_;
    }
    // Hands what is held to the destination; the whole space is free again.
    void drain() {
        passOn(start_, static_cast<std::size_t>(cursor_ - start_));
        cursor_ = start_;
        if (buffer_) buffer_->used = 0;
    }
    // Text that goes to the destination as it is, past what is held (held text goes first).
    void passOn(const char* text, std::size_t size) {
        if (!size) return;
        if (buffer_)
            deliver(*buffer_, text, size);
        else if (text_)
            text_->append(text, size);
        else
            writeToStream(stream_, text, size);
    }

    OutputBuffer* buffer_ = nullptr;
    FILE* stream_ = nullptr;
    std::string* text_ = nullptr;
    char* start_ = nullptr;
    char* cursor_ = nullptr;
    char* end_ = nullptr;
    char local_[256];
};

// The next '%' of a format, or its terminating null.
const char* nextConversion(const char* at) {
#ifdef __GLIBC__
    return strchrnul(at, '%');
#else
    while (*at && *at != '%') ++at;
    return at;
#endif
}

#ifdef KAVC_SCAN16
// The smallest page size of the targets: memory is readable or not a page at a time.
constexpr std::uintptr_t pageSize = 4096;

// 16 bytes at `at`, some of which may lie past the end of the text that holds `at` (never
// past its page); only the bytes up to the end are used.
[[gnu::no_sanitize_address]] inline __m128i load16(const char* at) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
}
#endif

// The free space as two locals while one format is written: the pieces of a line are copied
// without going through a sink's fields, which the library calls in between would make the
// compiler read and write again each time. Writing to the host's buffer (the usual case) needs
// no sink at all: one is made only for a piece that does not fit. A sink takes the position
// back when a piece does not fit, and at the end (finish). There is no destructor: should a
// piece throw (out of memory), nothing of the line is kept, and the position need not be in
// memory for the unwinding to find, so it stays in registers all along.
class Cursor {
public:
    explicit Cursor(Sink& sink) : sink_(&sink), at_(sink.cursor()), end_(at_ + sink.room()) {}
    Cursor(OutputBuffer& buffer, FILE* out)
        : buffer_(&buffer), stream_(out), at_(buffer.data.get() + buffer.used), end_(buffer.data.get() + OutputBuffer::capacity) {}
    // A window of free space and nothing behind it: text that does not fit is dropped, and
    // overflowed() tells.
    Cursor(char* at, char* end) : at_(at), end_(end) {}
    Cursor(const Cursor&) = delete;
    Cursor& operator=(const Cursor&) = delete;
    // Hands the position back; the text written is the destination's from here on.
    void finish() {
        if (sink_)
            sink_->advanceTo(at_);
        else
            buffer_->used = static_cast<std::size_t>(at_ - buffer_->data.get());
    }

    [[gnu::always_inline]] void write(const char* text, std::size_t size) {
        if (size > static_cast<std::size_t>(end_ - at_)) return writeLong(text, size);
        copyShort(at_, text, size);
        at_ += size;
    }
    void put(char c) { write(&c, 1); }

    // Copies the format's text up to its next '%' or its end; returns where it stopped.
    [[gnu::always_inline]] const char* literal(const char* at) {
#ifdef KAVC_SCAN16
        const __m128i percent = _mm_set1_epi8('%');
        if (copyChunks(at, [&](__m128i chunk) {
                return _mm_or_si128(_mm_cmpeq_epi8(chunk, percent), _mm_cmpeq_epi8(chunk, _mm_setzero_si128()));
            }))
            return at;
#endif
        const char* stop = nextConversion(at);
        write(at, static_cast<std::size_t>(stop - at));
        return stop;
    }

    // Copies a null-terminated text.
    [[gnu::always_inline]] void text(const char* text) {
#ifdef KAVC_SCAN16
        if (copyChunks(text, [](__m128i chunk) { return _mm_cmpeq_epi8(chunk, _mm_setzero_si128()); })) return;
#endif
        write(text, std::strlen(text));
    }

private:
#ifdef KAVC_SCAN16
    // Copies text 16 bytes at a time and finds its end in the copy: a chunk is copied whole,
    // and the cursor moves to the first byte `stops` marks in it (what lies past it is
    // overwritten by the next piece). Chunks are read while they lie in the text's page (a
    // read past the text's end cannot fault there) and fit in the free space. True when the
    // end was found; `from` is where the copy stopped.
    template <class Stops>
    [[gnu::always_inline]] bool copyChunks(const char*& from, Stops stops) {
        const char* in = from;
        char* to = at_;
        char* const lastChunk = end_ - 16;  // where the last whole chunk of the free space starts
        while ((reinterpret_cast<std::uintptr_t>(in) & (pageSize - 1)) <= pageSize - 16 && to <= lastChunk) {
            const __m128i chunk = load16(in);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(to), chunk);
            if (const unsigned marks = static_cast<unsigned>(_mm_movemask_epi8(stops(chunk)))) {
                const unsigned n = static_cast<unsigned>(__builtin_ctz(marks));
                from = in + n;
                at_ = to + n;
                return true;
            }
            in += 16;
            to += 16;
        }
        from = in;
        at_ = to;
        return false;
    }
#endif

    // The free space after a piece that did not fit. Returned by value, so that the cursor's
    // fields are never seen by a call and stay in registers.
    struct Space {
        char* at;
        char* end;
    };
    [[gnu::noinline]] static Space writeLong(Sink* sink, OutputBuffer* buffer, FILE* stream, char* at,
                                             const char* text, std::size_t size) {
        if (sink) return writeLong(*sink, at, text, size);
        buffer->used = static_cast<std::size_t>(at - buffer->data.get());
        Sink local(buffer, stream);  // hands its position back to the buffer when it goes
        return writeLong(local, at, text, size);
    }
    static Space writeLong(Sink& sink, char* at, const char* text, std::size_t size) {
        sink.advanceTo(at);
        sink.writeLong(text, size);
        return {sink.cursor(), sink.cursor() + sink.room()};
    }
    void writeLong(const char* text, std::size_t size) {
        if (!sink_ && !buffer_) {
            overflowed_ = true;
            return;
        }
        const Space space = writeLong(sink_, buffer_, stream_, at_, text, size);
        at_ = space.at;
        end_ = space.end;
    }

public:
    char* position() const { return at_; }
    bool overflowed() const { return overflowed_; }

private:
    bool overflowed_ = false;
    Sink* sink_ = nullptr;
    OutputBuffer* buffer_ = nullptr;
    FILE* stream_ = nullptr;
    char* at_;
    char* end_;
};

// "00" to "99": two digits per division.
constexpr auto digitPairs = [] {
    std::array<char, 200> pairs{};
    for (int i = 0; i < 100; ++i) {
        pairs[static_cast<std::size_t>(2 * i)] = static_cast<char>('0' + i / 10);
        pairs[static_cast<std::size_t>(2 * i + 1)] = static_cast<char>('0' + i % 10);
    }
    return pairs;
}();

// Decimal digits of a value, written backwards from `end`; returns the first.
char* digitsOf(unsigned long value, char* end) {
    while (value >= 100) {
        const std::size_t pair = 2 * static_cast<std::size_t>(value % 100);
        value /= 100;
        end -= 2;
        end[0] = digitPairs[pair];
        end[1] = digitPairs[pair + 1];
    }
    if (value >= 10) {
        end -= 2;
        end[0] = digitPairs[2 * value];
        end[1] = digitPairs[2 * value + 1];
    } else {
        *--end = static_cast<char>('0' + value);
    }
    return end;
}

// printf for the formats the host writes: literal text and %s, %d, %u, %c, %%, also with the
// l length, written straight to the sink. Anything else is left to vsnprintf from that
// conversion on, so every format prints as printf would print it.
[[gnu::always_inline]] inline void formatTo(Cursor& out, const char* format, va_list args) {
    const char* at = format;
    for (;;) {
        at = out.literal(at);
        if (!*at) return;
        const char* conversion = at + 1;
        // Most conversions are names: %s is asked first.
        if (*conversion == 's') {
            const char* text = va_arg(args, const char*);
            out.text(text ? text : "(null)");
            at = conversion + 1;
            continue;
        }
        bool isLong = *conversion == 'l';
        if (isLong) ++conversion;
        char digits[24];
        char* const end = digits + sizeof digits;
        switch (*conversion) {
            case 'd': {
                long value = isLong ? va_arg(args, long) : va_arg(args, int);
                unsigned long magnitude = value < 0 ? 0ul - static_cast<unsigned long>(value) : static_cast<unsigned long>(value);
                char* first = digitsOf(magnitude, end);
                if (value < 0) *--first = '-';
                out.write(first, static_cast<std::size_t>(end - first));
                at = conversion + 1;
                continue;
            }
            case 'u': {
                unsigned long value = isLong ? va_arg(args, unsigned long) : va_arg(args, unsigned);
                char* first = digitsOf(value, end);
                out.write(first, static_cast<std::size_t>(end - first));
                at = conversion + 1;
                continue;
            }
            case 'c':
                if (isLong) break;
                out.put(static_cast<char>(va_arg(args, int)));
                at = conversion + 1;
                continue;
            case '%':
                if (isLong) break;
                out.put('%');
                at = conversion + 1;
                continue;
            default: break;
        }
        std::string rest = vformat(at, args);
        out.write(rest.data(), rest.size());
        return;
    }
}

// Hands `write` a cursor on `out`: the host's buffer of an output it opened, else a sink.
template <typename Write>
void writeTo(FILE* out, Write write) {
    if (OutputBuffer* buffer = bufferOf(out)) {
        Cursor cursor(*buffer, out);
        write(cursor);
        cursor.finish();
    } else {
        Sink sink(out);
        Cursor cursor(sink);
        write(cursor);
        cursor.finish();
    }
}

}  // namespace

namespace kavc::detail {

void PreviousText::open(const std::string& path) {
    stop();
    file_ = std::fopen(path.c_str(), "rb");
    opened_ = matching_ = file_ != nullptr;
    matched_ = passed_ = 0;
    // Read straight into the block below, in the sizes the text comes in.
    if (file_) std::setvbuf(file_, nullptr, _IONBF, 0);
}

void PreviousText::compare(FILE* stream, const char* text, std::size_t size) {
    passed_ += size;
    while (matching_ && size) {
        std::size_t n = std::min(size, OutputBuffer::capacity);
        if (!block_) block_ = std::make_unique_for_overwrite<char[]>(OutputBuffer::capacity);  // touched as read
        if (std::fread(block_.get(), 1, n, file_) != n || std::memcmp(block_.get(), text, n) != 0) {
            release(stream);
            break;
        }
        matched_ += n;
        text += n;
        size -= n;
    }
    if (size) writeToStream(stream, text, size);
}

void PreviousText::release(FILE* stream) {
    if (matching_ && matched_ && std::fseek(file_, 0, SEEK_SET) == 0) {
        std::uint64_t left = matched_;
        while (left) {
            std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(left, OutputBuffer::capacity));
            // The file was read this far a moment ago; should it fail now, the stream gets
            // what could be read and the commit's own comparison decides.
            std::size_t got = std::fread(block_.get(), 1, n, file_);
            writeToStream(stream, block_.get(), got);
            if (got != n) break;
            left -= n;
        }
    }
    stop();
}

PreviousText::Verdict PreviousText::finish(FILE* stream, const std::string& writtenPath) {
    if (!opened_) return Verdict::unknown;
    opened_ = false;
    std::uint64_t written = 0;
    std::fflush(stream);
    const bool sizeKnown = kavc::platform::fileSize(writtenPath, written);
    if (matching_) {
        // Nothing was written: the file is unchanged when it ends here and nothing else
        // reached the stream. Otherwise the held-back text is written after all.
        const bool ends = std::fgetc(file_) == EOF;
        const bool readError = std::ferror(file_) != 0;
        const bool onlyHeldBack = sizeKnown && written == 0;
        if (ends && !readError && onlyHeldBack) {
            stop();
            return Verdict::same;
        }
        release(stream);
        return onlyHeldBack && !readError ? Verdict::different : Verdict::unknown;  // the file is longer
    }
    stop();
    return sizeKnown && written == passed_ ? Verdict::different : Verdict::unknown;
}

void PreviousText::stop() {
    if (file_) std::fclose(file_);
    file_ = nullptr;
    matching_ = false;
}

void OutputBuffer::flush() {
    if (used) deliver(*this, data.get(), used);
    used = 0;
}

}  // namespace kavc::detail

void kavtokfprintf(FILE* out, const char* format, ...) {
    if (!out || !format) return;
    va_list args;
    va_start(args, format);
    if (OutputBuffer* buffer = bufferOf(out)) {
        Cursor cursor(*buffer, out);
        formatTo(cursor, format, args);
        cursor.finish();
    } else {
        Sink sink(out);
        Cursor cursor(sink);
        formatTo(cursor, format, args);
        cursor.finish();
    }
    va_end(args);
}

namespace {

// Each line of the body behind " * ", an empty line as " *", an empty body as one " *"; one
// newline that ends the body ends its last line.
void writeComment(FILE* out, std::string_view body) {
    if (!body.empty() && body.back() == '\n') body.remove_suffix(1);
    writeTo(out, [body](Cursor& comment) {
        comment.write("\n/*\n", 4);
        if (body.empty()) comment.write(" *\n", 3);
        std::size_t start = 0;
        while (start < body.size()) {
            std::size_t end = body.find('\n', start);
            if (end == std::string_view::npos) end = body.size();
            if (end == start) {
                comment.write(" *\n", 3);
            } else {
                comment.write(" * ", 3);
                comment.write(body.data() + start, end - start);
                comment.put('\n');
            }
            start = end + 1;
        }
        comment.write(" */\n", 4);
    });
}

// Formats into `kept` (a string kept between calls, so that a long text allocates only the
// first time) and hands the text to `use`: a short one is read in the sink's own buffer, valid
// only while the sink lives.
template <typename Use>
void formatKept(std::string& kept, const char* format, va_list args, Use use) {
    kept.clear();
    Sink text(kept);
    {
        Cursor cursor(text);
        formatTo(cursor, format, args);
        cursor.finish();
    }
    use(text.whole());
    text.forget();
}

std::string longBody;  // kept between comments: no allocation per comment

}  // namespace

void kavtfullComment(FILE* out, const char* format, ...) {
    if (!out || !format) return;
    va_list args;
    va_start(args, format);
    // Most comments are one line: it is formatted where it goes, behind the comment's opening,
    // and closed there. Another body is copied aside and written line by line; one that does
    // not fit the free space is formatted again aside.
    constexpr std::string_view opening = "\n/*\n * ", closing = "\n */\n";
    OutputBuffer* buffer = bufferOf(out);
    if (buffer && OutputBuffer::capacity - buffer->used > opening.size() + closing.size()) {
        char* const start = buffer->data.get() + buffer->used;
        char* const first = start + opening.size();
        std::memcpy(start, opening.data(), opening.size());
        va_list again;
        va_copy(again, args);
        Cursor window(first, buffer->data.get() + OutputBuffer::capacity - closing.size());
        formatTo(window, format, again);
        va_end(again);
        if (!window.overflowed()) {
            char* last = window.position();
            if (last != first && last[-1] == '\n') --last;
            const std::size_t size = static_cast<std::size_t>(last - first);
            if (size && !std::memchr(first, '\n', size)) {
                std::memcpy(last, closing.data(), closing.size());
                buffer->used = static_cast<std::size_t>(last + closing.size() - buffer->data.get());
                va_end(args);
                return;
            }
            longBody.assign(first, static_cast<std::size_t>(window.position() - first));
            va_end(args);
            return writeComment(out, longBody);
        }
    }
    formatKept(longBody, format, args, [out](std::string_view body) { writeComment(out, body); });
    va_end(args);
}

char* kavtstringFmt(const char* format, ...) {
    static std::string formatted;  // kept between calls: no allocation per text
    char* copy = nullptr;
    va_list args;
    va_start(args, format);
    formatKept(formatted, format, args, [&copy](std::string_view text) {
        copy = static_cast<char*>(kavtsmalloc(text.size() + 1, 0));
        std::memcpy(copy, text.data(), text.size());
        copy[text.size()] = '\0';
    });
    va_end(args);
    return copy;
}

const char* kavtincludeOnce(Entry* cls, const char* suffix, std::string& buffer) {
    buffer.clear();
    if (cls && cls->scopedName) {
        for (char** part = cls->scopedName; *part; ++part) {
            if (part == cls->scopedName && **part == '\0') continue;
            buffer.append(*part).push_back('_');
        }
    } else if (cls && cls->name) {
        buffer.append(cls->name).push_back('_');
    }
    if (suffix) buffer.append(suffix);
    return buffer.c_str();
}

int kavtemitPassthru(FILE* out, Entry* cls, const char* section, int /*mode*/, const char* position) {
    if (!out || !cls || cls->type != kavtClassType || !section || !cls->hostData) return 0;
    bool after = position && std::strcmp(position, "after") == 0;
    int wrote = 0;
    for (const Passthru& p : classInfo(cls).passthru) {
        if (p.section != section || p.after != after) continue;
        kavtokfprintf(out, "%s\n", p.text.c_str());
        wrote = 1;
    }
    return wrote;
}
