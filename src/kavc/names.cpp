// Text services: joined names, lower case, whole-identifier search and list strings.
#include "kavc/store.h"

#include <cctype>
#include <cstring>
#include <vector>

namespace {

bool isIdentChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

}  // namespace

const char* kavtsatos(char** parts, const char* separator, std::string& buffer) {
    buffer.clear();
    for (char** part = parts; part && *part; ++part) {
        if (part != parts) buffer += separator ? separator : "";
        buffer += *part;
    }
    return buffer.c_str();
}

// Only ASCII letters change: bytes of multi-byte characters are kept as they are.
const char* kavtdbcslowercase(const char* text, std::string& buffer) {
    buffer = text ? text : "";
    for (char& c : buffer)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return buffer.c_str();
}

int kavtfindMethodName(const char* text, const char* name) {
    if (!text || !name || !*name) return -1;
    std::size_t length = std::strlen(name);
    for (const char* at = std::strstr(text, name); at; at = std::strstr(at + 1, name)) {
        bool startOk = at == text || !isIdentChar(at[-1]);
        bool endOk = !isIdentChar(at[length]);
        if (startOk && endOk) return static_cast<int>(at - text);
    }
    return -1;
}

StringSeq* kavttcSeqFromListString(StringSeq* result, const char* list) {
    if (!result) return nullptr;
    result->maximum = result->length = 0;
    result->buffer = nullptr;
    if (!list || !*list) return result;
    std::vector<std::string> items;
    const char* start = list;
    for (const char* p = list;; ++p) {
        if (*p == ',' || *p == '\0') {
            items.emplace_back(start, p);
            if (*p == '\0') break;
            start = p + 1;
        }
    }
    // The pointer array and the texts share one block.
    std::size_t size = items.size() * sizeof(char*);
    for (const std::string& item : items) size += item.size() + 1;
    auto* block = static_cast<char*>(kavtsmalloc(size, 0));
    auto** array = reinterpret_cast<char**>(block);
    char* text = block + items.size() * sizeof(char*);
    for (std::size_t i = 0; i < items.size(); ++i) {
        std::memcpy(text, items[i].c_str(), items[i].size() + 1);
        array[i] = text;
        text += items[i].size() + 1;
    }
    result->maximum = result->length = items.size();
    result->buffer = array;
    return result;
}
