// What the host library needs from the operating system for its output files, in one place:
// POSIX and Windows differ in temporary files, file modes, replacing a file and memory streams.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>

#ifndef _WIN32
#include <csignal>
#include <thread>
#endif

namespace kavc::platform {

// The first error (an errno value) that a write to a temporary file's stream, or its close, met.
struct WriteStatus {
    int error = 0;
};

// Creates a new, uniquely named file `<dir>/.<name>.XXXXXX` opened for binary writing; its
// name is stored in `path`. Null (errno set) when no file can be created there. Until
// forgetTempFile, the file is removed when a signal ends the process (interrupt, termination,
// a crash), and `status` (when given) records why a write or the close failed.
FILE* createTempFile(const std::string& dir, const std::string& name, std::string& path,
                     const std::shared_ptr<WriteStatus>& status = nullptr);
// The file at `path` is installed or removed: a signal no longer removes it.
void forgetTempFile(const std::string& path);

// Gives a finished temporary file the mode an ordinary new file would get, then moves it over
// `finalPath` (replacing what is there). False when either step fails.
bool installFile(const std::string& tempPath, const std::string& finalPath);

// True when both files can be read and hold the same bytes.
bool sameContent(const std::string& pathA, const std::string& pathB);
// The size of the file at `path`; false when it cannot be known.
bool fileSize(const std::string& path, std::uint64_t& size);

// A stream whose text collects in memory: *data and *size describe it after closeStream
// (the buffer belongs to the caller: std::free).
FILE* openMemoryStream(char** data, std::size_t* size);
// Closes any stream of this library; a memory stream's text is final afterwards. 0 or EOF.
int closeStream(FILE* stream);

// Writes bytes to standard output unchanged (no newline translation); false on failure.
bool writeStdout(const std::string& text);

#ifndef _WIN32
// Runs `body` on a new thread that has the signals of `blocked` blocked, so that those stay
// the calling thread's. When no thread can be made, the result is not joinable.
std::thread startThread(const sigset_t& blocked, std::function<void()> body);
#endif

}  // namespace kavc::platform
