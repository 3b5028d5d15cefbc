// Source files of one compilation and the messages about them.
#pragma once

#include <string>
#include <vector>

namespace kc {

// A position in a source file: file index into Sources, 1-based line and column.
struct Loc {
    int file = -1;
    int line = 0;
    int col = 0;
};

struct SourceFile {
    std::string path;  // as found: printed in messages
    std::string text;
    Loc includedFrom;  // file -1 for the main file
};

class Sources {
  public:
    int add(std::string path, std::string text, Loc includedFrom);
    const SourceFile& file(int index) const { return files_[index]; }
    int count() const { return static_cast<int>(files_.size()); }

  private:
    std::vector<SourceFile> files_;
};

// GCC-style messages: "file:line:col: error: what" on stderr, with the include chain
// ("In file included from ...") for positions inside included files.
class Diagnostics {
  public:
    explicit Diagnostics(const Sources& sources) : sources_(sources) {}

    void error(Loc at, const std::string& what);
    void warning(Loc at, const std::string& what);
    void note(Loc at, const std::string& what);
    // A message without a source position: "kc: error: what".
    void toolError(const std::string& what);

    int errors() const { return errors_; }
    int warnings() const { return warnings_; }
    // Everything printed, one string per message (include chains not repeated here).
    const std::vector<std::string>& messages() const { return messages_; }
    void setEcho(bool on) { echo_ = on; }  // tests keep stderr quiet

  private:
    void report(Loc at, const char* kind, const std::string& what);

    const Sources& sources_;
    std::vector<std::string> messages_;
    int errors_ = 0;
    int warnings_ = 0;
    bool echo_ = true;
};

// Quoted for a message: 'text'.
std::string quote(const std::string& text);

}  // namespace kc
