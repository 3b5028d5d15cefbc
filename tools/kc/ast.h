// The syntax tree of an IDL file, as written (names unresolved).
#pragma once

#include "kc/diagnostics.h"

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <iterator>
#include <new>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kc {

// A list that most declarations leave empty (a parameter's array bounds, an operation's
// supported interfaces, ...): one pointer until something is added, then one allocation that
// holds its size, its capacity and the elements. A syntax tree holds several per declaration,
// so a std::vector's three words (and a second allocation) would add up.
template <class T>
class SparseList {
    static_assert(alignof(T) <= __STDCPP_DEFAULT_NEW_ALIGNMENT__);

  public:
    SparseList() = default;
    SparseList(std::initializer_list<T> items) { assign(items.begin(), items.end()); }
    SparseList(SparseList&& other) noexcept : block_(std::exchange(other.block_, nullptr)) {}
    SparseList& operator=(SparseList&& other) noexcept {
        if (this != &other) {
            release();
            block_ = std::exchange(other.block_, nullptr);
        }
        return *this;
    }
    ~SparseList() { release(); }

    bool empty() const { return size() == 0; }
    size_t size() const { return block_ ? block_->size : 0; }
    T* begin() { return data(); }
    T* end() { return data() + size(); }
    const T* begin() const { return data(); }
    const T* end() const { return data() + size(); }
    T& operator[](size_t i) { return data()[i]; }
    const T& operator[](size_t i) const { return data()[i]; }
    T& front() { return data()[0]; }
    const T& front() const { return data()[0]; }
    T& back() { return data()[size() - 1]; }
    const T& back() const { return data()[size() - 1]; }

    template <class... Args>
    T& emplace_back(Args&&... args) {
        if (!block_ || block_->size == block_->capacity) reserve(block_ ? block_->capacity * 2 : 1);
        T* item = new (data() + block_->size) T(std::forward<Args>(args)...);
        ++block_->size;
        return *item;
    }
    void push_back(T item) { emplace_back(std::move(item)); }
    void pop_back() { data()[--block_->size].~T(); }
    // Replaces the elements with [first, last), in an allocation of exactly their number.
    template <class It>
    void assign(It first, It last) {
        release();
        size_t n = static_cast<size_t>(std::distance(first, last));
        if (!n) return;
        allocate(n);
        for (; first != last; ++first) {
            new (data() + block_->size) T(*first);
            ++block_->size;
        }
    }
    void shrink_to_fit() {
        if (block_ && block_->size < block_->capacity) reserve(block_->size);
    }
    template <class Pred>
    void eraseIf(Pred pred) {
        T* kept = begin();
        for (T& item : *this) {
            if (pred(item)) continue;
            if (&item != kept) *kept = std::move(item);
            ++kept;
        }
        while (end() != kept) pop_back();
    }

    operator std::span<const T>() const { return {begin(), size()}; }

    friend bool operator==(const SparseList& list, const std::vector<T>& other) {
        return std::equal(list.begin(), list.end(), other.begin(), other.end());
    }

  private:
    struct Block {
        std::uint32_t size;
        std::uint32_t capacity;
    };
    static constexpr size_t offset = (sizeof(Block) + alignof(T) - 1) / alignof(T) * alignof(T);

    T* data() const {
        return block_ ? reinterpret_cast<T*>(reinterpret_cast<char*>(block_) + offset) : nullptr;
    }
    void allocate(size_t capacity) {
        block_ = static_cast<Block*>(::operator new(offset + capacity * sizeof(T)));
        block_->size = 0;
        block_->capacity = static_cast<std::uint32_t>(capacity);
    }
    // Moves the elements to a block of `capacity` (at least their number).
    void reserve(size_t capacity) {
        Block* old = block_;
        T* from = data();
        size_t n = size();
        if (!capacity) {
            release();
            return;
        }
        allocate(capacity);
        for (size_t i = 0; i < n; ++i) {
            new (data() + i) T(std::move(from[i]));
            from[i].~T();
        }
        block_->size = static_cast<std::uint32_t>(n);
        ::operator delete(old);
    }
    void release() {
        if (!block_) return;
        for (T& item : *this) item.~T();
        ::operator delete(block_);
        block_ = nullptr;
    }

    Block* block_ = nullptr;
};

struct ScopedName {
    std::vector<std::string> parts;
    bool absolute = false;  // written with a leading "::"
    Loc loc;

    std::string text() const;  // as written: "Zoo::Animal", "::Zoo::Animal"
};

struct Expr {
    enum Kind { Int, Float, Fixed, String, Char, Bool, Name, Unary, Binary } kind = Int;
    Loc loc;
    bool wide = false;  // L"..." or L'x'
    unsigned long long intValue = 0;
    double floatValue = 0;
    std::string text;  // String/Char value; Unary/Binary operator
    ScopedName name;
    std::unique_ptr<Expr> lhs, rhs;  // Unary: lhs only
    int height = 0;                  // operators on the longest path down from this one
};

struct TypeSpec {
    enum Kind : std::uint8_t { None, Basic, String, Sequence, Named } kind = None;
    std::uint8_t baseType = 0;  // Basic, String: 1 + its row of kavc::baseTypes
    Loc loc;
    ScopedName name;

    // The parts only bounded, fixed-point and sequence types have: null for the others.
    struct Parts {
        std::unique_ptr<Expr> bound;  // string<N>, wstring<N>, sequence<T, N>, fixed<N, S>
        std::unique_ptr<Expr> scale;  // fixed<N, S>
        std::unique_ptr<TypeSpec> element;
    };
    std::unique_ptr<Parts> parts;

    const Expr* bound() const { return parts ? parts->bound.get() : nullptr; }
    const Expr* scale() const { return parts ? parts->scale.get() : nullptr; }
    const TypeSpec* element() const { return parts ? parts->element.get() : nullptr; }
    Parts& addParts() {
        if (!parts) parts = std::make_unique<Parts>();
        return *parts;
    }

    // A base type's spelling: "void", "unsigned long", "wstring", ...; empty for the others.
    std::string_view basic() const;
    std::string text() const;  // as written, for messages
};

struct Declarator {
    std::string name;
    Loc loc;
    SparseList<std::unique_ptr<Expr>> dims;  // a[2][3]
};

// struct, exception and data members: one type, several declarators.
struct Member {
    TypeSpec type;
    SparseList<Declarator> declarators;
};

struct UnionCase {
    Loc loc;
    std::vector<std::unique_ptr<Expr>> labels;
    bool isDefault = false;
    TypeSpec type;
    Declarator declarator;
};

struct Param {
    int mode = 1;  // 1 in, 2 out, 3 inout
    Loc loc;
    TypeSpec type;
    Declarator declarator;
};

struct Modifier {
    std::string name;
    Loc loc;
    bool hasValue = false;
    std::string value;
};

struct ImplStmt {
    enum Kind { ReleaseOrder, ClassModifier, Passthru, MemberModifiers, DataMember } kind = ClassModifier;
    Loc loc;
    std::vector<ScopedName> targets;  // MemberModifiers: `a, b: m1, m2 = v;`
    std::vector<Modifier> modifiers;

    // What the other kinds hold, out of line: a section may have a statement or two for each of
    // its class's methods, most of them modifier statements (88 bytes a statement instead of
    // 336).
    std::unique_ptr<Member> member;  // DataMember
    Member& makeMember() {
        if (!member) member = std::make_unique<Member>();
        return *member;
    }
    const Member& data() const { return *member; }
    struct Rare {
        std::vector<std::pair<std::string, Loc>> names;  // ReleaseOrder
        Modifier modifier;                               // ClassModifier
        std::string passthruName;                        // Passthru: name and text
        std::string passthruText;
    };
    std::unique_ptr<Rare> rare;  // for ReleaseOrder, ClassModifier and Passthru
    Rare& makeRare() {
        if (!rare) rare = std::make_unique<Rare>();
        return *rare;
    }
    const std::vector<std::pair<std::string, Loc>>& names() const { return rare->names; }
    const Modifier& modifier() const { return rare->modifier; }
    const std::string& passthruName() const { return rare->passthruName; }
    const std::string& passthruText() const { return rare->passthruText; }
};

// What a declaration holds beyond its kind, name, type and lists of members and parameters:
// most declarations (operations above all) have none of it, so it is kept out of line.
struct DeclDetail {
    SparseList<ScopedName> parents;   // Interface, Component, Home: inherited (or boxed: none)
    SparseList<ScopedName> supports;  // valuetype, component, home
    bool isAbstract = false;  // abstract interface or valuetype
    bool isLocal = false;     // local interface
    bool isCustom = false;    // custom valuetype
    bool truncatable = false;
    bool boxed = false;     // value box: `valuetype Name Type;` (its type in the declaration's `type`)
    bool multiple = false;  // uses multiple
    bool readonly = false;  // Attribute
    bool isPublic = false;  // State
    bool hasContext = false;  // Operation
    std::unique_ptr<ScopedName> target;  // TypeId, TypePrefix, Import; Home: the managed component
    std::string text;                    // TypeId, TypePrefix, Import "..."
    SparseList<ScopedName> getraises, setraises;  // Attribute

    SparseList<Declarator> declarators;       // Typedef, State; Attribute (its names)
    SparseList<Member> members;               // Struct, Exception
    std::unique_ptr<TypeSpec> discriminator;  // Union
    SparseList<UnionCase> cases;              // Union
    SparseList<std::pair<std::string, Loc>> enumerators;  // Enum
    std::unique_ptr<Expr> value;                          // Const
    SparseList<std::string> context;                      // Operation
    SparseList<ImplStmt> impl;                            // Implementation
};

struct Decl {
    enum Kind : std::uint8_t {
        Module,
        Interface,  // interface, valuetype and eventtype definitions (see `keyword`)
        Forward,    // interface X; valuetype X; struct X; union X;
        Typedef,
        Struct,
        Union,
        Enum,
        Const,
        Exception,
        Native,
        Attribute,
        Operation,
        State,    // public/private state member of a valuetype
        Factory,  // factory of a valuetype or home; finder of a home (`keyword`)
        Port,     // provides/uses/emits/publishes/consumes of a component (`keyword`)
        Component,
        Home,
        TypeId,      // typeid Name "id";
        TypePrefix,  // typeprefix Name "prefix";
        Import,
        Implementation,
    } kind = Module;
    bool oneway = false;  // Operation
    Loc loc;
    std::string name;
    // Interface/Forward: "interface", "valuetype", "eventtype", "struct", ...: static text
    std::string_view keyword;

    TypeSpec type;                           // Typedef, Const, Attribute, Operation (result), State, Port
    SparseList<std::unique_ptr<Decl>> body;  // Module, Interface, Component, Home
    SparseList<Param> params;
    SparseList<ScopedName> raises;

    // The rest, read as empty where there is none; detail() makes it.
    const DeclDetail& more() const { return detail_ ? *detail_ : noDetail; }
    DeclDetail& detail() {
        if (!detail_) detail_ = std::make_unique<DeclDetail>();
        return *detail_;
    }

  private:
    static const DeclDetail noDetail;
    std::unique_ptr<DeclDetail> detail_;
};

// One of the words that name a kind of declaration ("interface", "struct", "uses", ...) as
// static text, for Decl::keyword; an empty view for any other word.
std::string_view declKeyword(std::string_view word);

struct Specification {
    SparseList<std::unique_ptr<Decl>> decls;
};

}  // namespace kc
