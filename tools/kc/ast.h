// The syntax tree of an IDL file, as written (names unresolved).
#pragma once

#include "kc/diagnostics.h"

#include <memory>
#include <string>
#include <vector>

namespace kc {

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
    enum Kind { None, Basic, String, Sequence, Named } kind = None;
    Loc loc;
    std::string basic;            // a base type's spelling: "void", "unsigned long", "wstring", ...
    std::unique_ptr<Expr> bound;  // string<N>, wstring<N>, sequence<T, N>, fixed<N, S>
    std::unique_ptr<Expr> scale;  // fixed<N, S>
    std::unique_ptr<TypeSpec> element;
    ScopedName name;

    std::string text() const;  // as written, for messages
};

struct Declarator {
    std::string name;
    Loc loc;
    std::vector<std::unique_ptr<Expr>> dims;  // a[2][3]
};

// struct, exception and data members: one type, several declarators.
struct Member {
    TypeSpec type;
    std::vector<Declarator> declarators;
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
    std::vector<std::pair<std::string, Loc>> names;  // ReleaseOrder
    Modifier modifier;                               // ClassModifier
    std::string passthruName;                        // Passthru: name and text
    std::string passthruText;
    std::vector<ScopedName> targets;  // MemberModifiers: `a, b: m1, m2 = v;`
    std::vector<Modifier> modifiers;
    Member data;  // DataMember
};

struct Decl {
    enum Kind {
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
    Loc loc;
    std::string name;
    std::string keyword;  // Interface/Forward: "interface", "valuetype", "eventtype", "struct", ...

    std::vector<std::unique_ptr<Decl>> body;  // Module, Interface, Component, Home
    std::vector<ScopedName> parents;          // Interface, Component, Home: inherited (or boxed: none)
    std::vector<ScopedName> supports;         // valuetype, component, home
    bool isAbstract = false;  // abstract interface or valuetype
    bool isLocal = false;     // local interface
    bool isCustom = false;    // custom valuetype
    bool truncatable = false;
    bool boxed = false;   // value box: `valuetype Name Type;` (its type in `type`)
    bool multiple = false;  // uses multiple
    ScopedName target;    // TypeId, TypePrefix, Import; Home: the managed component
    std::string text;     // TypeId, TypePrefix, Import "..."
    std::vector<ScopedName> getraises, setraises;  // Attribute

    TypeSpec type;                         // Typedef, Const, Attribute, Operation (result), State, Port
    std::vector<Declarator> declarators;   // Typedef, State; Attribute (its names)
    std::vector<Member> members;           // Struct, Exception
    TypeSpec discriminator;                // Union
    std::vector<UnionCase> cases;          // Union
    std::vector<std::pair<std::string, Loc>> enumerators;  // Enum
    std::unique_ptr<Expr> value;           // Const

    bool readonly = false;  // Attribute
    bool isPublic = false;  // State
    bool oneway = false;    // Operation
    std::vector<Param> params;
    std::vector<ScopedName> raises;
    bool hasContext = false;
    std::vector<std::string> context;

    std::vector<ImplStmt> impl;  // Implementation
};

struct Specification {
    std::vector<std::unique_ptr<Decl>> decls;
};

}  // namespace kc
