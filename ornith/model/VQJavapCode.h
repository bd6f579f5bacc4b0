#pragma once
// javap's text of a method body: what it prints for a method's Code attribute under -c,
// -l, -v and -constants, and its block of a type-annotation attribute.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ornith {

class VQConstantPoolEntries;
class VQJavaClass;
class VQJavaMethod;

// The comments of the pool entries a class's instructions name ("Method ...", "String
// ..."), each made once: a class names the same entries from many methods. It is bound
// to one class's pool, which must outlive it. Not for several threads at once.
class VQJavapReferenceTexts {
public:
    explicit VQJavapReferenceTexts(const VQConstantPoolEntries& pool) : _pool(pool) {}

    const VQConstantPoolEntries& pool() const noexcept { return _pool; }
    // The comment of the entry, or "???" when an entry it leads to does not hold; valid
    // until the next call.
    std::string_view text(uint32_t index, uint32_t thisClass);

private:
    struct Span {
        uint32_t start = 0;
        uint32_t length = 0;  // 0: not made yet (no comment is empty)
    };
    const VQConstantPoolEntries& _pool;
    std::vector<Span> _spans;  // by pool index, into _texts
    std::string _texts;
};

struct VQJavapCodeOptions {
    bool instructions = false;  // -c
    bool lines = false;         // -l
    bool verbose = false;       // -v
    bool constants = false;     // -constants
    // Where the comments of the class's references are kept from one method to the
    // next; made afresh for each method when null or bound to another pool.
    VQJavapReferenceTexts* references = nullptr;
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
