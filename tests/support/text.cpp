#include "support/text.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>

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

std::string comment(const std::string& text) {
    std::string body = text;
    if (!body.empty() && body.back() == '\n') body.pop_back();
    std::string result = "\n/*\n";
    std::istringstream in(body);
    std::string line;
    while (std::getline(in, line)) result += line.empty() ? " *\n" : " * " + line + "\n";
    if (body.empty()) result += " *\n";
    return result + " */\n";
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
