#pragma once
// What javap -v adds to the class's text (VQJavapText.h), read from the class file the
// class keeps: the versions, flags and indexes of the header, the constant pool, each
// member's flags and attributes, and the class's attributes after its closing brace. The
// pool and the layout are opened on first need, so the plain views never pay for them.
//
// A class without kept bytes (made from lent bytes) has nothing to read: the listing then
// says so in one line where the pool would be. A malformed attribute prints a line that
// names it, and the rest of the class still prints.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "ornith/classfile/VQClassFileLayout.h"
#include "ornith/classfile/VQConstantPoolEntries.h"
#include "ornith/model/VQJavaClass.h"
#include "ornith/model/VQJavapText.h"

namespace ornith {

// javap's line writer: spaces are held back and written only before the next visible
// character, so a line never ends in spaces; a '\n' in printed text starts a new line;
// every line starts with two spaces per level of indentation; tab() moves to the comment
// column (40 past the indentation), or one space on when the line is already there.
// A line is built in the output itself; text appended to the output between lines by
// others comes before the next line.
class VQJavapLineWriter {
public:
    using Filter = void (*)(std::string_view, std::string&);
    // filterKeepsPlainAscii: as VQJavapOptions has it.
    VQJavapLineWriter(std::string& out, Filter filter, int indent = 0,
                      bool filterKeepsPlainAscii = false)
        : _out(out),
          _filter(filter),
          _filterKeepsPlainAscii(filterKeepsPlainAscii),
          _indent(indent) {}

    // Inline for the common case, text with no line break to lay out and nothing for the
    // filter to change (a literal's search for either is folded away where it is written).
    void print(std::string_view text) {
        if (_pendingNewline || (_filter ? !(_filterKeepsPlainAscii && isPlainAscii(text))
                                        : text.find('\n') != std::string_view::npos))
            return printLaidOut(text);
        append(text);
    }
    // Text that holds no line break, such as the writer's caller made itself.
    void printPlain(std::string_view text);
    void printNumber(int64_t number);
    void println(std::string_view text) {
        print(text);
        println();
    }
    void println();
    // Lines already indented as a whole (each ended by '\n'), written through the filter
    // as they are.
    void printLines(std::string_view text);
    // The output itself, for a caller that appends whole lines laid out already, as
    // printLines would write them; null while a line is open or a blank line pending, and
    // when the writer filters.
    std::string* laidOutLines();
    void indent(int delta) { _indent += delta; }
    // The spaces a line starts with at the current indentation, and the column tab()
    // moves to, for a caller that lays out a line of its own.
    size_t indentSpaces() const noexcept;
    size_t commentColumn() const noexcept { return indentSpaces() + 40; }
    void tab();
    // A blank line before whatever is printed next (javap's separator between methods).
    void setPendingNewline(bool pending) { _pendingNewline = pending; }
    // javap's report of a fault it prints past: "Error: " and the text on a line of its
    // own, written at once, so ahead of the line being built and of a pending blank line.
    void report(std::string_view text);

private:
    static constexpr bool isPlainAscii(std::string_view text) noexcept {
        for (const char c : text)
            if (static_cast<unsigned char>(c) - 0x20u >= 0x5Fu) return false;
        return true;
    }
    void printLaidOut(std::string_view text);
    // The filter's text for a piece, the piece itself when the filter would give it back.
    void appendFiltered(std::string_view text, std::string& out);
    void startLine();
    void append(std::string_view text);
    // The line's length without the spaces at its end, which are not written until
    // something follows them.
    size_t visibleLength() const noexcept;

    std::string& _out;
    Filter _filter;
    bool _filterKeepsPlainAscii;
    std::string _filtered;
    size_t _lineStart = 0;  // where the open line starts in _out
    bool _lineOpen = false;
    int _indent = 0;
    bool _pendingNewline = false;
};

// The class file behind a class: its pool and layout (the class's own, opened once),
// or why there are none.
class VQJavapClassFile {
public:
    explicit VQJavapClassFile(const VQJavaClass& javaClass) : _class(javaClass) {}

    // Null when the class keeps no bytes or they do not decode (failure() says why).
    const VQConstantPoolEntries* pool() {
        open();
        return _pool;
    }
    const VQClassFileLayout* layout() {
        open();
        return _layout;
    }
    const std::string& failure() {
        open();
        return _failure;
    }
    const VQJavaClass& javaClass() const noexcept { return _class; }

private:
    void open();

    const VQJavaClass& _class;
    bool _opened = false;
    const VQConstantPoolEntries* _pool = nullptr;
    const VQClassFileLayout* _layout = nullptr;
    std::string _failure;
};

// Where in the class file an attribute list is: the access flags javap shows and the
// attributes it recognises differ by place.
enum class VQJavapPlace { classFile, field, method, recordComponent };

// Where a set of access flags stands: each version of the class-file format defines its
// own bits for each of these.
enum class VQJavapFlagPlace { classFile, field, method, innerClass };

// The bits of `flags` that the file's version (javap's reading of major and minor: an
// unknown or preview version is read as the latest) defines at the place. Each time javap
// reads a set with other bits it reports them, and so does this ("Error: Access Flags:
// Unmatched bit position 0x2 for location CLASS for class file format RELEASE_25").
uint32_t VQJavapDefinedFlags(VQJavapLineWriter& w, uint32_t flags, VQJavapFlagPlace place,
                             uint16_t major, uint16_t minor);

// "flags: (0x0021) ACC_PUBLIC, ACC_SUPER" (a line) for the flags of that place: the names
// of the defined bits, and for a class the other bits as numbers.
void VQPrintJavapFlags(VQJavapLineWriter& w, uint32_t flags, VQJavapFlagPlace place, uint16_t major,
                       uint16_t minor);

// The lines after the class's header line under -v: versions, flags, this_class,
// super_class, the counts, and the constant pool.
void VQPrintJavapClassSummary(VQJavapLineWriter& w, VQJavapClassFile& file);

// How a Code attribute is printed: the caller's printer (javap's -c view of it), given
// the method's place in the layout and the attribute.
struct VQJavapCodePrinter {
    void (*print)(void* context, size_t methodIndex, const VQLayoutAttribute& code,
                  VQJavapLineWriter& w) = nullptr;
    void* context = nullptr;
};

// Every attribute of the list as javap -v prints it, in file order. `methodIndex` names
// the method whose attributes these are (for Code); `access` the least access an
// InnerClasses entry must have to be listed (javap's -public ... -p).
void VQPrintJavapAttributes(VQJavapLineWriter& w, VQJavapClassFile& file,
                            std::span<const VQLayoutAttribute> attributes, VQJavapPlace place,
                            size_t methodIndex, VQJavapAccess access,
                            const VQJavapCodePrinter& code);

}  // namespace ornith
