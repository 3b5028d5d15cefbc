// The compiler run: options, plug-in, front end, emission and the output file.
#pragma once

namespace kc {

// Runs kc with its command line; returns the exit status (0 success, 1 error).
int runCompiler(int argc, const char* const* argv);

}  // namespace kc
