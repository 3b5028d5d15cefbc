// printf-style formatting into a std::string, so long host names never overflow a buffer.
#pragma once

#include "host/kavc.h"

#include <string>

namespace darurov {

std::string formatText(const char* format, ...) KAVT_PRINTF(1, 2);

}  // namespace darurov
