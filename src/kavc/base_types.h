// The IDL base types, one row each. The front end's type keywords and constant checks, and
// the host's type codes (kind, size and alignment on the 32-bit target, C spelling, how a
// parameter travels) are all read from this table: a new base type is one row.
#pragma once

#include "host/kavc.h"

#include <array>
#include <climits>
#include <cstddef>
#include <iterator>
#include <string_view>

namespace kavc {

// Kinds are part of the host interface: existing numbers never move.
static_assert(kavtTkForeign == 23 && kavtTkLongLong == 24 && kavtTkULongLong == 25);

// How an `in` parameter of the type reaches a method.
enum class Passing { Value, Reference };

// What a constant of the type holds (None: the type has no constants).
enum class ConstKind { None, Integer, Floating, Character, WideCharacter, Boolean, String, WideString, Fixed };

struct BaseType {
    const char* idl;    // the keyword spelling; words are separated by one blank
    bool keyword;       // written as a type keyword (otherwise only reached as CORBA::<idl>)
    int kind;           // host type-code kind
    int size, align;    // on the 32-bit target; fixed<d,s> computes its size from d
    const char* cType;  // C spelling in prototypes and declarators
    Passing passing;
    ConstKind constant;
    long long low = 0, high = 0;  // ConstKind::Integer: the value range
};

inline constexpr BaseType baseTypes[] = {
    {"void", true, kavtTkVoid, 0, 1, "void", Passing::Value, ConstKind::None},
    {"short", true, kavtTkShort, 2, 2, "short", Passing::Value, ConstKind::Integer, -32768, 32767},
    {"long", true, kavtTkLong, 4, 4, "long", Passing::Value, ConstKind::Integer, INT32_MIN, INT32_MAX},
    {"long long", true, kavtTkLongLong, 8, 8, "long long", Passing::Value, ConstKind::Integer, LLONG_MIN, LLONG_MAX},
    {"unsigned short", true, kavtTkUShort, 2, 2, "unsigned short", Passing::Value, ConstKind::Integer, 0, 65535},
    {"unsigned long", true, kavtTkULong, 4, 4, "unsigned long", Passing::Value, ConstKind::Integer, 0, UINT32_MAX},
    // Constant expressions are evaluated in 64 signed bits: the top half of the range is not reachable.
    {"unsigned long long", true, kavtTkULongLong, 8, 8, "unsigned long long", Passing::Value, ConstKind::Integer, 0, LLONG_MAX},
    {"float", true, kavtTkFloat, 4, 4, "float", Passing::Value, ConstKind::Floating},
    {"double", true, kavtTkDouble, 8, 8, "double", Passing::Value, ConstKind::Floating},
    // The 32-bit Windows compiler makes long double the same as double.
    {"long double", true, kavtTkLongDouble, 8, 8, "long double", Passing::Value, ConstKind::Floating},
    {"boolean", true, kavtTkBoolean, 1, 1, "boolean", Passing::Value, ConstKind::Boolean},
    {"char", true, kavtTkChar, 1, 1, "char", Passing::Value, ConstKind::Character},
    {"wchar", true, kavtTkWChar, 2, 2, "wchar", Passing::Value, ConstKind::WideCharacter},
    {"octet", true, kavtTkOctet, 1, 1, "octet", Passing::Value, ConstKind::Integer, 0, 255},
    {"any", true, kavtTkAny, 8, 4, "any", Passing::Value, ConstKind::None},  // {TypeCode _type; void* _value;}
    {"string", true, kavtTkString, 4, 4, "string", Passing::Value, ConstKind::String},
    {"wstring", true, kavtTkWString, 4, 4, "wstring", Passing::Value, ConstKind::WideString},
    // {unsigned short _digits; short _scale; char _value[(d + 2) / 2];}
    {"fixed", true, kavtTkFixed, 4, 2, "fixed", Passing::Reference, ConstKind::Fixed},
    {"TypeCode", true, kavtTkTypeCode, 4, 4, "TypeCode", Passing::Value, ConstKind::None},
    {"Principal", false, kavtTkPrincipal, 4, 4, "Principal", Passing::Value, ConstKind::None},
    // Every interface and value type derives from the root class.
    {"Object", true, kavtTkObjref, 4, 4, "KAVObject", Passing::Value, ConstKind::None},
    {"ValueBase", true, kavtTkObjref, 4, 4, "KAVObject", Passing::Value, ConstKind::None},
};

inline constexpr std::size_t baseTypeCount = std::size(baseTypes);

// The rows' spellings with their lengths, so that a search compares lengths first.
inline constexpr auto baseTypeSpellings = [] {
    std::array<std::string_view, baseTypeCount> all{};
    for (std::size_t i = 0; i < baseTypeCount; ++i) all[i] = baseTypes[i].idl;
    return all;
}();

constexpr const BaseType* findBaseType(std::string_view idl) {
    for (std::size_t i = 0; i < baseTypeCount; ++i)
        if (baseTypeSpellings[i] == idl) return &baseTypes[i];
    return nullptr;
}

// The row of a basic kind (the first row of that kind), null for constructed kinds.
constexpr const BaseType* baseTypeOfKind(int kind) {
    for (const BaseType& b : baseTypes)
        if (kind == b.kind) return &b;
    return nullptr;
}

// True when `words` ("unsigned", "long") is a keyword spelling or begins one.
constexpr bool startsBaseType(std::string_view words) {
    for (const BaseType& b : baseTypes) {
        std::string_view idl = b.idl;
        if (b.keyword && idl.substr(0, words.size()) == words &&
            (idl.size() == words.size() || idl[words.size()] == ' '))
            return true;
    }
    return false;
}

}  // namespace kavc
