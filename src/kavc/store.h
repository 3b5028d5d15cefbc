// The host model's private storage: the arena that owns every Entry, string and type code of
// the unit, and the per-entry facts that the Entry record has no field for.
#pragma once

#include "host/option_table.h"
#include "kavc/model.h"

#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

// The host's type description. Aliases are transparent to kind, size and alignment.
struct TypeCode {
    int kind = 0;
    bool alias = false;                 // a typedef of `content`
    std::string cName;                  // basic spelling, or the declared name
    TypeCode* content = nullptr;        // alias target, sequence or array element
    std::vector<unsigned long> dims;    // array dimensions
    unsigned long bound = 0;            // string or sequence bound (0 = unbounded); fixed: digits
    int scale = 0;                      // fixed
    std::vector<std::pair<std::string, TypeCode*>> members;  // struct and union
    TypeCode* discriminator = nullptr;  // union
    std::vector<std::string> enumerators;
    Entry* cls = nullptr;  // objref
};

namespace kavc::detail {

struct Passthru {
    std::string section;
    bool after;
    std::string text;
};

// What the host keeps per Entry (Entry::hostData).
struct EntryInfo {
    Entry* owner = nullptr;        // member: the class it was declared in; parent ref: its class
    TypeCode* declared = nullptr;  // method result, parameter or data type, attribute type
    bool context = false;          // method with a context clause
    Mod* defaultDescriptor = nullptr;  // the descriptor modifier made by addMethod
    // class
    std::vector<Entry*> reintroduced;
    std::vector<Passthru> passthru;
    std::vector<Entry*> attributes;
    std::vector<std::string> releaseNames;
    bool hasReleaseOrder = false;
    // attribute: its accessors; accessor: its attribute
    Entry* getter = nullptr;
    Entry* setter = nullptr;
    Entry* attribute = nullptr;
    // implicit metaclass presentation (pass 1): the saved class view
    bool presented = false;
    char* savedName = nullptr;
    char** savedScopedName = nullptr;
    Entry* savedMetaclass = nullptr;
    Entry* savedCompanion = nullptr;
};

struct StabImpl {
    int recordSize = 0;
    std::vector<std::pair<std::string, std::unique_ptr<unsigned char[]>>> records;
    std::map<std::string, std::size_t> index;
    std::size_t cursor = 0;
};

// The file under a stream: its descriptor and the first error a write or the close met.
struct FileSink {
    int fd = -1;
    int error = 0;
};

struct OpenFile {
    std::string key;       // "<stem>.<kind>"
    std::string tempPath;  // empty for the in-memory stream
    std::string finalPath;
    FILE* stream = nullptr;
    std::shared_ptr<FileSink> sink;  // a real file's; outlives the stream to tell why it failed
};

struct Model {
    std::deque<std::string> strings;
    std::deque<Entry> entries;
    std::deque<EntryInfo> infos;
    std::deque<Mod> mods;
    std::deque<TypeCode> types;
    std::deque<std::vector<char*>> nameArrays;
    std::deque<MethodRef> methodRefs;
    std::deque<ReleaseItem> releaseItems;
    std::deque<NameList> nameLists;
    std::map<std::string, TypeCode*> basics;

    bool buildingRoots = false;  // root classes are not listed as top-level entries
    std::vector<Entry*> topLevel;
    std::vector<Entry*> classes;
    Stab unitStab{};
    std::vector<StabImpl*> stabs;  // every live Stab, freed by reset

    std::vector<std::pair<std::string, char*>> options;  // insertion order
    Entry* current = nullptr;  // the class being emitted (kavtinitialiseMeta)

    // output
    std::string outputDir = ".";
    bool capture = false;
    std::vector<OpenFile> files;
    char* captureData = nullptr;
    std::size_t captureSize = 0;

    // messages
    std::vector<std::string> messages;
    int errors = 0;
    int warnings = 0;
};

Model& model();

char* copyString(std::string_view text);
char* bareValue();  // the model's "\x01"
Entry* newEntry(int type, std::string_view name, int line);
EntryInfo& info(Entry* e);   // creates the record on first use
Mod* findMod(Mod* mods, const char* name);
bool hasMod(Entry* e, const char* name);
// The host reads modifiers by their row of the option table, never by a literal name.
inline bool hasMod(Entry* e, darurov::Option id) { return hasMod(e, darurov::optionName(id)); }
inline const char* modName(darurov::Option id) { return darurov::optionName(id); }
char** makeScopedName(const std::vector<std::string>& scope, std::string_view name);
void appendChain(Entry*& head, Entry* e);  // append along `next`
TypeCode* newType(int kind, std::string_view cName);
// The class currently presented (by kavtinitialiseMeta), or the member's own class.
Entry* selfClass(Entry* method);
TypeCode* resolveAlias(TypeCode* tc);
// The C text of a parameter's type as the method receives it (mode and by-reference kinds).
std::string paramCType(TypeCode* declared, int mode);
std::string defaultDeclarator(TypeCode* type, int mode, std::string_view name, bool isParam);
bool passedByReference(TypeCode* tc);  // struct, union, sequence, fixed: passed as a pointer

// Output and messages, shared between files.
void closeAllOutput();  // closes every stream and removes uncommitted files
void reportLine(const char* file, int line, const char* kind, const std::string& text, int number,
                bool isError, bool isWarning);

// Type-code building, model side.
void buildRootClasses();
void freeStabImpl(StabImpl* impl);

}  // namespace kavc::detail
