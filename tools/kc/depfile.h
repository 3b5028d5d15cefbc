// The make-format dependency rule of one compilation (gcc's -M family).
#pragma once

#include "kc/diagnostics.h"

#include <string>
#include <vector>

namespace kc {

// "TARGETS: INPUT INCLUDES...": every file the compilation read, each once, in the order it was
// first read, one per continued line. With `phonyTargets` (-MP) each included file also gets an
// empty rule, so that make does not stop when one is deleted.
std::string dependencyRule(const std::vector<std::string>& targets, const Sources& sources,
                           bool phonyTargets);

// Writes `text` to the file at `path`, or to standard output when `path` is "-".
bool writeTextFile(const std::string& path, const std::string& text);

}  // namespace kc
