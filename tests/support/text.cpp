#include "support/text.h"

#include <cstdio>
#include <cstdlib>

namespace testing_support {

std::string capture(const std::function<void(FILE*)>& write) {
    char* data = nullptr;
    size_t size = 0;
    FILE* out = open_memstream(&data, &size);
    write(out);
    std::fclose(out);
    std::string text(data, size);
    std::free(data);
    return text;
}

std::string lines(std::initializer_list<std::string> each) {
    std::string result;
    for (const auto& line : each) result += line + "\n";
    return result;
}

void HostTest::SetUp() {
    kavc::reset();
    kavc::throwOnFatal(true);
}

void HostTest::TearDown() { kavc::reset(); }

}  // namespace testing_support
