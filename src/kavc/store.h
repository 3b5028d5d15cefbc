// The host model's private storage: the arena that owns every Entry, string and type code of
// the unit, and the per-entry facts that the Entry record has no field for.
#pragma once

#include "host/open_table.h"
#include "host/option_table.h"
#include "kavc/base_types.h"
#include "kavc/model.h"
#include "kavc/platform.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <unordered_set>
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
    char* cText = nullptr;  // kavc::cTypeText, interned when first asked (a type never changes its text)
    // Size and alignment, worked out when first asked; good while layoutsSettled is the
    // model's (completing a forward-declared type changes the layouts that contain it).
    unsigned long layoutsSettled = 0;
    int layoutSize = 0;
    int layoutAlign = 1;
};

namespace kavc::detail {

struct Passthru {
    std::string section;
    bool after;
    std::string text;
};

// What the host keeps per Entry (Entry::hostData), by kind: members and parent references
// have only this; methods, attributes and classes (and modules) the larger records below.
struct EntryInfo {
    Entry* owner = nullptr;        // member: the class it was declared in; parent ref: its class
    TypeCode* declared = nullptr;  // method result, parameter or data type, attribute type
};

struct MethodInfo : EntryInfo {
    Mod* defaultDescriptor = nullptr;  // the descriptor modifier made by addMethod
    Entry* attribute = nullptr;        // accessor: its attribute
    Entry* lastParam = nullptr;        // the end of its parameter chain
    bool context = false;              // a context clause
};

struct AttributeInfo : EntryInfo {
    Entry* getter = nullptr;
    Entry* setter = nullptr;
};

struct ClassInfo : EntryInfo {
    std::vector<Entry*> reintroduced;
    std::vector<Passthru> passthru;
    std::vector<Entry*> attributes;
    std::vector<std::string> releaseNames;
    bool hasReleaseOrder = false;
    unsigned long releaseRevision = 0;  // the model's revision when the release order was built
    bool inheritedDone = false;  // inheritedMethods made (finishClass)
    // What a class of this one parent inherits (the parent's own new methods, then its
    // inheritedMethods), made for the first such class and shared by the next: good while the
    // parent's method chain ends at `passedLast` and its own list is `passedTail`.
    MethodRef* passedOn = nullptr;
    MethodRef* passedTail = nullptr;
    Entry* passedLast = nullptr;
    bool passedMade = false;
    bool passedRefused = false;  // the parent introduces a name it inherits: no list
    // implicit metaclass presentation (pass 1): the saved class view
    bool presented = false;
    char* savedName = nullptr;
    char** savedScopedName = nullptr;
    Entry* savedMetaclass = nullptr;
    Entry* savedCompanion = nullptr;
    Entry* companion = nullptr;  // made once, shown in every metaclass pass
    char* metaName = nullptr;
    TypeCode* dataType = nullptr;  // the instance data structure (kavtcreateTypeCodes)
    bool implicitMeta = false;  // kavtimplicitMeta, as of implicitMetaRevision
    unsigned long implicitMetaRevision = 0;
    int newMethods[2] = {};  // kavtnewMethodsCount of each pass, as of countedRevision
    unsigned long countedRevision = 0;
    char** metaScopedName = nullptr;
    // The last entries of the class's chains, so that appending does not walk them.
    Entry* lastMethod = nullptr;
    Entry* lastData = nullptr;
    Entry* lastParent = nullptr;
    Entry* lastMember = nullptr;
    Mod* lastMod = nullptr;
    // the qualified name of the class ("Zoo::Animal", interned), which every method's
    // descriptor starts with
    const char* qualifiedName = nullptr;
};

// Storage for records of one kind, made zeroed in blocks, never moved, released with the
// model: no allocation per record, and the records can be visited in the order made. The
// blocks are small (4 KB) because the model is built while the front end frees its syntax
// tree in pieces of a few KB: blocks that fit in those pieces reuse the memory, larger ones
// would each take new memory, and the peak would hold both the tree and the model.
template <typename T>
class Pool {
    static_assert(std::is_trivially_destructible_v<T>);

public:
    static constexpr std::size_t perBlock = sizeof(T) >= 1024 ? 1 : 4 * 1024 / sizeof(T);
    T* make() {
        if (size_ % perBlock == 0) blocks_.push_back(std::make_unique<T[]>(perBlock));
        return &blocks_.back()[size_++ % perBlock];
    }
    std::size_t size() const { return size_; }
    T& operator[](std::size_t i) { return blocks_[i / perBlock][i % perBlock]; }

private:
    std::vector<std::unique_ptr<T[]>> blocks_;
    std::size_t size_ = 0;
};

// A Stab: its records in insertion order, in blocks that never move (kavtgetEntry hands out a
// record's address), found by key through one open-addressing table of record numbers.
class StabImpl {
public:
    explicit StabImpl(int recordSize);
    unsigned char* add(const char* key);  // the key's record, made (zeroed) when new
    unsigned char* find(const char* key) const;
    std::size_t size() const { return records_.size(); }
    unsigned char* record(std::size_t i) const { return records_[i].data; }
    std::size_t recordSize() const { return recordSize_; }
    std::size_t cursor = 0;

private:
    struct Record {
        std::string key;
        unsigned char* data;
    };
    struct Slot {
        std::size_t hash = 0;    // the key's, so that a probe reads no record it passes
        std::size_t number = 0;  // the record's number + 1; 0: free
        explicit operator bool() const { return number; }
    };
    std::size_t indexOf(std::string_view key, std::size_t hash) const;
    unsigned char* newRecord();

    std::size_t recordSize_;
    std::size_t stride_;  // a record's size rounded up, so every record is aligned
    std::vector<Record> records_;
    OpenTable<Slot> index_;
    std::vector<std::unique_ptr<std::max_align_t[]>> blocks_;
    std::size_t blockLeft_ = 0;  // records still free in the last block
    unsigned char* next_ = nullptr;
};

// The file an output replaces, read alongside as the new text comes: while the text matches
// it, nothing is written, so an unchanged file costs no writing and no removal of a written
// copy. At the first difference the matching part is copied from the file, and from then on
// the text is written as it comes.
class PreviousText {
public:
    enum class Verdict { unknown, same, different };

    PreviousText() = default;
    PreviousText(const PreviousText&) = delete;
    PreviousText& operator=(const PreviousText&) = delete;
    ~PreviousText() { stop(); }

    void open(const std::string& path);  // no file there: the text is written as it comes
    bool holdsBack() const { return matching_; }
    // The next bytes of the new text, held back while they match the file.
    void compare(FILE* stream, const char* text, std::size_t size);
    // At the end of the text, before `stream` closes: same when the file holds exactly the
    // text (nothing was written); else what was held back is written first, and the verdict
    // is different, or unknown when the file at `writtenPath` got text some other way.
    // Closes the previous file.
    Verdict finish(FILE* stream, const std::string& writtenPath);

private:
    // Writes the matched part, read again from the file, and stops comparing.
    void release(FILE* stream);
    void stop();

    FILE* file_ = nullptr;
    bool opened_ = false;
    bool matching_ = false;
    std::uint64_t matched_ = 0;  // bytes held back
    std::uint64_t passed_ = 0;   // bytes of the new text so far
    std::unique_ptr<char[]> block_;
};

// Text the host writes to an output it opened collects here and goes to the stream in large
// pieces: one formatted line is a copy into memory, not a stdio call.
struct OutputBuffer {
    static constexpr std::size_t capacity = 128 * 1024;
    FILE* stream = nullptr;
    std::string* collect = nullptr;  // in-memory output: the text collects here, not in `stream`
    std::unique_ptr<char[]> data{new char[capacity]};
    std::size_t used = 0;
    PreviousText previous;  // a real file's: the text it replaces
    void flush();  // hands what is held to the stream (or to `collect`)
};

struct OpenFile {
    std::string key;       // "<stem>.<kind>"
    std::string tempPath;  // empty for the in-memory stream
    std::string finalPath;
    FILE* stream = nullptr;
    std::unique_ptr<OutputBuffer> buffer;
    std::shared_ptr<platform::WriteStatus> status;  // a real file's; outlives the stream to tell why it failed
};

// Character storage for the unit's texts: large blocks, never moved, released by reset.
class TextArena {
public:
    char* copy(std::string_view text);

private:
    std::vector<std::unique_ptr<char[]>> blocks_;
    char* next_ = nullptr;
    std::size_t left_ = 0;
};

// Arrays of text pointers (scoped names) in large blocks, never moved, released by reset.
class PointerArena {
public:
    char** make(std::size_t count);

private:
    std::vector<std::unique_ptr<char*[]>> blocks_;
    char** next_ = nullptr;
    std::size_t left_ = 0;
};

// Every name of the unit, once: open addressing over the arena's texts (no node per name).
class NameTable {
public:
    char* find(std::string_view name) const;           // null when the unit has no such name
    char* intern(std::string_view name, TextArena& texts, bool* added = nullptr);  // added: the text was new

private:
    // 16 bytes: a unit holds a name or more per operation. The hash's low half places the
    // slot (the table never has 2^32 slots); names are shorter than 4 GB.
    struct Slot {
        char* text = nullptr;
        std::uint32_t hash = 0;
        std::uint32_t size = 0;
        explicit operator bool() const { return text; }
    };
    static std::uint32_t hashOf(std::string_view name);
    std::size_t indexOf(std::string_view name, std::uint32_t hash) const;
    OpenTable<Slot> table_;
};

// The first method each class introduced under each interned name, in one open-addressing
// table (no node per method): inherited-method searches ask each ancestor once.
class IntroducedIndex {
public:
    void add(Entry* method);  // by its owner and name; keeps an earlier one
    Entry* find(const Entry* cls, const char* name) const;

private:
    // The key is the method's own: the class it was declared in (its owner) and its name,
    // neither of which changes once the method is made. The slot keeps the key's hash beside
    // the method, so that a probe reads the method only when the hashes agree.
    struct Slot {
        Entry* method = nullptr;
        std::uint32_t hash = 0;
        explicit operator bool() const { return method; }
    };
    static const Entry* ownerOf(const Entry* method);
    static std::uint32_t hashOf(const Entry* cls, const char* name);
    std::size_t indexOf(const Entry* cls, const char* name) const;
    OpenTable<Slot> table_;
};

// The default declarators made lately, by (type, mode, parameter name): the parameters of a
// unit repeat a few of them, and the text depends on nothing else. A fixed number of slots,
// each keeping the last declarator whose key falls in it: the cache never grows with the unit.
class DeclaratorCache {
public:
    char* find(const TypeCode* type, int mode, const char* name) const;  // null when not kept
    void keep(const TypeCode* type, int mode, const char* name, char* declarator);

private:
    struct Slot {
        const TypeCode* type = nullptr;
        const char* name = nullptr;  // interned
        int mode = 0;
        char* declarator = nullptr;
    };
    static constexpr int slotBits = 8;
    static std::size_t slotOf(const TypeCode* type, int mode, const char* name);
    std::vector<Slot> slots_;  // made at the first keep
};

struct Model {
    TextArena texts;
    NameTable names;  // equal names are one pointer
    // Parameters apart from the other Entries: a class's methods lie together, so a walk of
    // its method chain reads consecutive records.
    Pool<Entry> entries;
    Pool<Entry> params;
    Pool<EntryInfo> infos;
    Pool<MethodInfo> methodInfos;
    Pool<AttributeInfo> attributeInfos;
    std::deque<ClassInfo> classInfos;
    Pool<Mod> mods;
    std::deque<TypeCode> types;
    std::deque<std::vector<char*>> nameArrays;
    PointerArena nameParts;        // scoped names
    char* emptyName = nullptr;     // "" interned: every scoped name starts with it
    Pool<MethodRef> methodRefs;
    Pool<ReleaseItem> releaseItems;
    Pool<NameList> nameLists;
    std::array<TypeCode*, baseTypeCount> basics{};  // by base_types.h row, made when first asked
    IntroducedIndex introduced;
    IntroducedIndex overridden;  // the first override each class makes under each name
    DeclaratorCache paramDeclarators;
    char* descriptorName = nullptr;  // the descriptor modifier's interned name, once asked
    Entry* objectRoot = nullptr;     // KAVObject, once found

    // Bumped by every change of the unit, so kavtcreateTypeCodes knows what it has done.
    unsigned long revision = 1;
    unsigned long typedRevision = 0;
    // Bumped when a structure's members change (a forward-declared type completed, the
    // instance-data structures made again): the layouts kept in type codes are good for one
    // value.
    unsigned long layoutRevision = 1;
    std::size_t typedEntries = 0;
    std::size_t typedParams = 0;

    bool buildingRoots = false;  // root classes are not listed as top-level entries
    std::vector<Entry*> topLevel;
    std::vector<Entry*> classes;
    PointerMap<Entry*> classIndex;  // by the interned C name and "::"-joined name
    Stab unitStab{};
    std::vector<StabImpl*> stabs;  // every live Stab, freed by reset

    std::vector<std::pair<std::string, char*>> options;  // insertion order
    bool zdlCallStyle = false;  // the "csc" option is set: prototypes have no implicit arguments
    std::string scratch;  // a text being put together before it is copied or interned
    Entry* current = nullptr;  // the class being emitted (kavtinitialiseMeta)

    // output
    std::string outputDir = ".";
    bool capture = false;
    std::vector<OpenFile> files;
    char* captureData = nullptr;  // the in-memory stream's own storage (it only names the output)
    std::size_t captureSize = 0;
    std::string captured;  // what was written to the in-memory output

    // messages
    std::vector<std::string> messages;
    int errors = 0;
    int warnings = 0;
};

// The unit's model, made at the first use and never destroyed (the emitter may run at exit).
// Asked everywhere: the test for a made model stays inline.
extern Model* madeModel;
Model& makeModel();
inline Model& model() { return madeModel ? *madeModel : makeModel(); }

char* copyString(std::string_view text);
char* internName(std::string_view name);  // one pointer per distinct name
char* bareValue();  // the model's "\x01"
Entry* newEntry(int type, std::string_view name, int line);
Entry* newEntry(int type, Interned name, int line);
// The host's record of an Entry, made with it (newEntry) for its kind; the kind's own forms
// below may be asked only of entries of that kind.
EntryInfo& info(Entry* e);
MethodInfo& methodInfo(Entry* method);        // new method, override or reintroduction
AttributeInfo& attributeInfo(Entry* attribute);
ClassInfo& classInfo(Entry* cls);             // class or module
Mod* findMod(Mod* mods, const char* name);
bool hasMod(Entry* e, const char* name);
// The host reads modifiers by their row of the option table, never by a literal name.
inline bool hasMod(Entry* e, darurov::Option id) { return hasMod(e, darurov::optionName(id)); }
inline const char* modName(darurov::Option id) { return darurov::optionName(id); }
char** makeScopedName(const std::vector<std::string>& scope, char* name);  // name: interned
// Appends along `next`; `last` is the chain's end as last seen (walked on from there).
void appendChain(Entry*& head, Entry*& last, Entry* e);
TypeCode* newType(int kind, std::string_view cName);
// The class currently presented (by kavtinitialiseMeta), or the member's own class.
Entry* selfClass(Entry* method);
TypeCode* resolveAlias(TypeCode* tc);
char* internedCType(TypeCode* tc);  // kavc::cTypeText, interned
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
