#pragma once
// Generic signatures (the text of a Signature attribute) as trees, and their Java text.
//
// A class signature gives type parameters, superclass and superinterfaces; a method
// signature type parameters, parameters, result and throws; a field signature one type.
// The parsers accept method and field descriptors too, since a descriptor is a signature
// without generics, so a member without a Signature attribute gets the same tree.
//
// Parsing takes time linear in the text and nests no deeper than kVQMaxSignatureDepth;
// anything malformed (or nested deeper) gives no tree at all, never a part of one.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ornith {

// Type arguments inside type arguments and array components deeper than this make a
// signature malformed: javac writes a few levels and at most 255 dimensions, hostile
// input could write thousands.
inline constexpr uint32_t kVQMaxSignatureDepth = 300;

struct VQSignatureType;

// One argument of a class type: `T` (exact), `? extends T` ('+'), `? super T` ('-') or
// `?` ('*', which has no bound).
struct VQTypeArgument {
    enum class Kind : uint8_t { exact, extends, super, unbounded };
    Kind kind = Kind::exact;
    std::vector<VQSignatureType> bound;  // one type, or none for `?`
};

// One name of a class type with the arguments given to it. The first segment holds the
// binary name in its '/' form (java/util/Map$Entry); each later one the simple name of a
// member class written after a '.' (the `Inner` of Outer<T>.Inner).
struct VQClassTypeSegment {
    std::string name;
    std::vector<VQTypeArgument> arguments;
};

struct VQSignatureType {
    enum class Kind : uint8_t { base, classType, typeVariable, array };
    Kind kind = Kind::base;
    char baseType = 'V';                       // base: one of B C D F I J S Z V
    std::string variable;                      // typeVariable: its identifier
    std::vector<VQClassTypeSegment> segments;  // classType: outermost first
    std::vector<VQSignatureType> component;    // array: exactly one element

    // Java text: int, java.util.List<? extends T>, p.Outer<T>.Inner, T[], void.
    std::string javaText() const;
    void appendJavaText(std::string& out) const;
    // True for the plain java/lang/Object, which declarations leave unsaid as a bound.
    bool isObject() const noexcept;
};

struct VQTypeParameter {
    std::string name;
    std::optional<VQSignatureType> classBound;  // absent when only interface bounds follow
    std::vector<VQSignatureType> interfaceBounds;
};

struct VQClassSignature {
    std::vector<VQTypeParameter> typeParameters;
    VQSignatureType superclass;
    std::vector<VQSignatureType> interfaces;
};

struct VQMethodSignature {
    std::vector<VQTypeParameter> typeParameters;
    std::vector<VQSignatureType> parameters;
    VQSignatureType result;
    std::vector<VQSignatureType> exceptions;  // class types or type variables
};

std::optional<VQClassSignature> VQParseClassSignature(std::string_view text);
std::optional<VQMethodSignature> VQParseMethodSignature(std::string_view text);
// A field signature or a field descriptor: one type that takes the whole text.
std::optional<VQSignatureType> VQParseTypeSignature(std::string_view text);

// The Java text of a method signature's parts, as the tree of VQParseMethodSignature
// gives them (appendJavaText, VQTypeParametersText), read straight from the text with
// no tree between: for a view that prints a signature and keeps nothing of it.
struct VQMethodSignatureText {
    std::string typeParameters;  // "<K, V extends java.lang.Comparable<V>>", or empty
    std::string parameters;      // "(K, java.util.List<? extends V>[])"
    std::string result;          // "void", "java.util.Map$Entry<K, V>"
    std::string exceptions;      // the thrown types joined by ", "; empty when none
};
// False, with `out` in no particular state, exactly when VQParseMethodSignature gives
// nothing. objectBounds: a class bound of java.lang.Object is spelled out too.
bool VQMethodSignatureTextOf(std::string_view text, bool objectBounds, VQMethodSignatureText& out);

// A field signature's (or field descriptor's) Java text appended to `out`, read in the
// same way: what VQParseTypeSignature's tree gives through appendJavaText, and false
// exactly when that tree is not made (with `out` then in no particular state).
bool VQAppendTypeSignatureText(std::string_view text, std::string& out);

// "<K, V extends java.lang.Comparable<V>>": an Object class bound is left out, further
// bounds joined by " & ". Nothing for an empty list.
std::string VQTypeParametersText(const std::vector<VQTypeParameter>& parameters);
void VQAppendTypeParametersText(const std::vector<VQTypeParameter>& parameters, std::string& out);

}  // namespace ornith
