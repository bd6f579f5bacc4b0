#pragma once
// javap's text of a method body: what it prints for a method's Code attribute under -c,
// -l, -v and -constants, and its block of a type-annotation attribute.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace ornith {

class VQJavaClass;
class VQJavaMethod;

struct VQJavapCodeOptions {
    bool instructions = false;  // -c
    bool lines = false;         // -l
    bool verbose = false;       // -v
    bool constants = false;     // -constants
};

// Everything javap prints for the method's Code attribute under these options, at its
// indentation for a member: "    Code:\n" and the instructions with -c; with -l alone,
// the "    LineNumberTable:" and "    LocalVariableTable:" blocks without "Code:"; with
// -v, "stack=, locals=, args_size=", the exception table, StackMapTable, the code's type
// annotations, and so on. Nothing for a method without Code or a class that keeps no
// bytes. A Code attribute that cannot be decoded prints what javap would print or,
// where javap fails, a line naming the fault; nothing is read outside the attribute.
void VQAppendJavapCode(const VQJavaClass& owner, const VQJavaMethod& method,
                       const VQJavapCodeOptions& options, std::string& out);

// The -v block of one RuntimeVisibleTypeAnnotations or RuntimeInvisibleTypeAnnotations
// attribute of a class, field or method, given the attribute's info bytes, at javap's
// indentation for that place (the spaces before the attribute's name line).
void VQAppendJavapTypeAnnotations(const VQJavaClass& owner, std::string_view attributeName,
                                  std::span<const uint8_t> info, int indent, std::string& out);

}  // namespace ornith
