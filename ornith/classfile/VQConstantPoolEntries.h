#pragma once
// The constant pool of kept class-file bytes as a list of entries: what a view that
// shows the pool, or the instructions that name it, needs of each entry, read from the
// bytes when asked.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "ornith/classfile/VQConstantPool.h"

namespace ornith {

class VQConstantPoolEntries {
public:
    // Opens the pool of a whole class file. Raises as the parse does: "Not a java .class
    // file" for a file without the magic, "Truncated java .class file" or "unknown
    // constant type %d" for a pool that does not decode. The bytes must outlive the pool.
    static std::unique_ptr<const VQConstantPoolEntries> entriesOfClassFile(
        std::span<const uint8_t> classFile);

    VQConstantPoolEntries(const VQConstantPoolEntries&) = delete;
    VQConstantPoolEntries& operator=(const VQConstantPoolEntries&) = delete;

    // constant_pool_count: valid indexes are 1 to size() - 1, less the empty slots.
    uint32_t size() const noexcept { return static_cast<uint32_t>(_pool->count); }
    // The tag of the entry; 0 for index 0, the slot after a Long or Double, or an index
    // outside the pool.
    int tag(uint32_t index) const noexcept;
    bool isValid(uint32_t index) const noexcept { return tag(index) != 0; }
    // Where the pool ends in the class file: the access_flags field.
    uint32_t endOffset() const noexcept { return _endOffset; }
    // The offset in the class file of the entry's tag byte; 0 for an empty slot.
    uint32_t offsetOf(uint32_t index) const noexcept;

    // The indexes an entry refers to: Class, String, MethodType, Module and Package refer
    // to one (first); Fieldref, Methodref and InterfaceMethodref to the class and the
    // NameAndType; NameAndType to the name and the descriptor; Dynamic and
    // InvokeDynamic to the bootstrap method (first, an index into BootstrapMethods) and
    // the NameAndType; MethodHandle to its kind (first, 1 to 9) and the member. 0 where
    // the entry has none.
    uint16_t firstIndex(uint32_t index) const noexcept;
    uint16_t secondIndex(uint32_t index) const noexcept;

    // Number values; 0 for an entry of another kind.
    int32_t intValue(uint32_t index) const noexcept;
    float floatValue(uint32_t index) const noexcept;
    int64_t longValue(uint32_t index) const noexcept;
    double doubleValue(uint32_t index) const noexcept;

    // The text of a Utf8 entry, or of the Utf8 entry a Class, String, MethodType, Module
    // or Package entry names: in UTF-8 (a lone surrogate becomes U+FFFD), and as the
    // UTF-16 units Java holds (which keep a lone surrogate as it is). False, with `out`
    // emptied, for an index that names no text.
    bool text(uint32_t index, std::string& out) const;
    bool utf16(uint32_t index, std::u16string& out) const;
    // The Utf8 entry's bytes as the file holds them (modified UTF-8); empty for another
    // kind.
    std::string_view modifiedUTF8(uint32_t index) const noexcept;

    // ---- javap's text ------------------------------------------------------------------
    // The kind word of the "Constant pool:" listing (Methodref, Utf8, ...; "Unknown" for
    // Module, Package and the old Unicode kind, as javap has it).
    static const char* kindName(int tag) noexcept;
    // The kind word -c prints before an instruction's operand (Method, Field, class,
    // String, int, ...).
    static const char* referenceKindName(int tag) noexcept;
    // The listing's operands of the entry: "#1.#2", "#7", "#3:#4", "6:#30", or the value
    // of a number or Utf8 entry. False, with nothing appended, for an index that names
    // no entry.
    bool appendJavapOperands(uint32_t index, std::string& out) const;
    // The text after "// " in the listing: java/lang/Object."<init>":()V,
    // REF_invokeStatic ..., the escaped text of a string. False when an entry it leads to
    // does not hold (nothing is appended then).
    bool appendJavapValue(uint32_t index, std::string& out) const;
    // The comment -c prints after an instruction that names the entry, without the
    // "// ": "Method java/lang/Object."<init>":()V"; a member of the class itself
    // (thisClass, the this_class index) is named by its NameAndType alone, as javap
    // does. False when an entry it leads to does not hold.
    bool appendJavapReference(uint32_t index, uint32_t thisClass, std::string& out) const;

    // The pool the class-file layer's readers take (VQPoolReader).
    const VQConstantPool& pool() const noexcept { return *_pool; }

private:
    VQConstantPoolEntries(VQConstantPoolHandle pool, uint32_t endOffset) noexcept
        : _pool(std::move(pool)), _endOffset(endOffset) {}
    const uint8_t* body(uint32_t index, int tag, uint32_t length) const noexcept;
    bool appendValue(uint32_t index, std::string& out, int depth) const;
    bool appendName(uint32_t utf8Index, std::string& out) const;
    // "owner.name:descriptor" of a Fieldref, Methodref or InterfaceMethodref of this kind,
    // "name:descriptor" alone for a member of thisClass (0: of no class). False, with part
    // of the text appended, when an entry it leads to does not hold.
    bool appendMember(uint32_t index, int kind, uint32_t thisClass, std::string& out) const;
    // "name:descriptor" of a NameAndType's two Utf8 entries, on the same terms.
    bool appendNameAndType(uint32_t name, uint32_t type, std::string& out) const;
    // text() as a view of the class bytes when they are the text, else of `scratch`.
    bool textView(uint32_t index, std::string& scratch, std::string_view& view) const;

    VQConstantPoolHandle _pool;
    uint32_t _endOffset;
};

// Java's check of a binary name as javap makes it: a name whose '/'-separated parts are
// all identifiers is appended as it is, any other quoted and escaped ("<init>"); "" for
// an empty one.
void VQAppendJavapCheckedName(std::string_view utf8, std::string& out);
// javap's text of a string constant given as UTF-16 units: \t \n \r \b \f \" \' \\ for
// those, \uXXXX for another control character, '?' for a lone surrogate (as javap's
// UTF-8 output writes it), the character in UTF-8 otherwise.
void VQAppendJavapStringUnits(std::u16string_view units, std::string& out);

}  // namespace ornith
