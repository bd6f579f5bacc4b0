#include "ornith/model/VQJavapVerbose.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <exception>
#include <optional>
#include <vector>

#include "ornith/base/VQByteCursor.h"
#include "ornith/base/VQException.h"
#include "ornith/classfile/VQJavaNumberText.h"
#include "ornith/model/VQJavaSignature.h"
#include "ornith/model/VQJavapAnnotationText.h"
#include "ornith/model/VQJavapCode.h"

namespace ornith {

// ---- The line writer --------------------------------------------------------------------

namespace {

// Columns count UTF-16 units, as javap's do: a four-byte sequence is two of them.
size_t unitsOf(std::string_view run) {
    size_t units = 0;
    for (const char c : run) {
        const auto byte = static_cast<unsigned char>(c);
        units += static_cast<size_t>((byte & 0xC0) != 0x80) + static_cast<size_t>(byte >= 0xF0);
    }
    return units;
}

}  // namespace

// Text goes into the line as it is, and the line's trailing spaces are cut when it ends:
// the same line as holding spaces back until something follows them, with one copy.
void VQJavapLineWriter::startLine() {
    if (_lineOpen) return;
    _lineOpen = true;
    _lineStart = _out.size();
    _out.append(indentSpaces(), ' ');
}

void VQJavapLineWriter::append(std::string_view text) {
    if (text.empty()) return;
    startLine();
    _out += text;
}

size_t VQJavapLineWriter::visibleLength() const noexcept {
    size_t end = _out.size();
    while (end > _lineStart && _out[end - 1] == ' ') --end;
    return end - _lineStart;
}

void VQJavapLineWriter::printLaidOut(std::string_view text) {
    if (_pendingNewline) {
        _pendingNewline = false;
        println();
    }
    // The filter sees the text whole, line breaks too, and what it gives is laid out.
    if (_filter) {
        _filtered.clear();
        appendFiltered(text, _filtered);
        text = _filtered;
    }
    for (;;) {
        const size_t end = text.find('\n');
        append(text.substr(0, end));
        if (end == std::string_view::npos) return;
        println();
        text.remove_prefix(end + 1);
    }
}

void VQJavapLineWriter::appendFiltered(std::string_view text, std::string& out) {
    if (_filterKeepsPlainAscii && isPlainAscii(text))
        out.append(text);
    else
        _filter(text, out);
}

void VQJavapLineWriter::printPlain(std::string_view text) {
    if (_filter || _pendingNewline) return print(text);
    append(text);
}

void VQJavapLineWriter::printNumber(int64_t number) {
    char digits[24];
    const auto made = std::to_chars(digits, digits + sizeof digits, number);
    printPlain(std::string_view(digits, static_cast<size_t>(made.ptr - digits)));
}

void VQJavapLineWriter::println() {
    if (_lineOpen) {
        _out.resize(_lineStart + visibleLength());
        _lineOpen = false;
    }
    _out.push_back('\n');
}

void VQJavapLineWriter::report(std::string_view text) {
    std::string line = "Error: ";
    line.append(text).push_back('\n');
    if (!_lineOpen) {
        _out += line;
        return;
    }
    _out.insert(_lineStart, line);
    _lineStart += line.size();
}

void VQJavapLineWriter::printLines(std::string_view text) {
    if (text.empty()) return;
    if (_pendingNewline) {
        _pendingNewline = false;
        println();
    }
    if (!_lineOpen) {
        // Between lines the text goes out as it is: it is laid out already, and its lines
        // end in no space.
        if (!_filter) {
            _out.append(text);
            if (text.back() != '\n') _out.push_back('\n');
            return;
        }
        while (!text.empty()) {
            const size_t end = text.find('\n');
            appendFiltered(text.substr(0, end), _out);
            _out.push_back('\n');
            if (end == std::string_view::npos) break;
            text.remove_prefix(end + 1);
        }
        return;
    }
    const int indent = _indent;
    _indent = 0;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        print(text.substr(0, end));
        println();
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    _indent = indent;
}

std::string* VQJavapLineWriter::laidOutLines() {
    return _filter || _lineOpen || _pendingNewline ? nullptr : &_out;
}

size_t VQJavapLineWriter::indentSpaces() const noexcept {
    return static_cast<size_t>(std::max(_indent, 0)) * 2;
}

void VQJavapLineWriter::tab() {
    startLine();
    const size_t column = commentColumn();
    const size_t at = unitsOf(std::string_view(_out).substr(_lineStart, visibleLength()));
    _out.append(column <= at ? 1 : column - at, ' ');
}

void VQJavapClassFile::open() {
    if (_opened) return;
    _opened = true;
    try {
        _pool = _class.constantPool();
        _layout = _class.classFileLayout();
        if (!_pool || !_layout) {
            _pool = nullptr;
            _layout = nullptr;
            _failure = "the class file's bytes were not kept";
        }
    } catch (const VQException& e) {
        _pool = nullptr;
        _layout = nullptr;
        _failure = e.reason();
    }
}

namespace {

// ---- Reading attribute bytes ------------------------------------------------------------

// A bounded big-endian reader: a read past the end gives 0 and marks the reader failed,
// so a printer checks once, where it matters, rather than before every read.
struct Reader {
    std::span<const uint8_t> bytes;
    size_t at = 0;
    bool failed = false;

    bool has(size_t n) {
        if (bytes.size() - at < n) failed = true;
        return !failed;
    }
    uint8_t u1() { return has(1) ? bytes[at++] : 0; }
    uint16_t u2() {
        if (!has(2)) return 0;
        const uint16_t v = static_cast<uint16_t>(bytes[at] << 8 | bytes[at + 1]);
        at += 2;
        return v;
    }
    uint32_t u4() {
        const uint32_t high = u2();
        return high << 16 | u2();
    }
    bool atEnd() const { return at == bytes.size(); }
};

std::string hash(uint32_t index) {
    return "#" + std::to_string(index);
}

std::string hex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%x", value);
    return text;
}

void appendDotted(std::string_view text, std::string& out) {
    for (char c : text) out.push_back(c == '/' ? '.' : c);
}

// What one attribute printer needs.
struct Printer {
    VQJavapLineWriter& w;
    VQJavapClassFile& file;
    const VQConstantPoolEntries& pool;
    const VQClassFileLayout& layout;
    VQJavapAccess access;

    // javap's stringValue of an entry: a number or text as such, anything else as its
    // comment in the pool listing; "???" for an index that holds nothing.
    std::string value(uint32_t index) const {
        std::string out;
        const int tag = pool.tag(index);
        const bool plain = tag == 1 || (tag >= 3 && tag <= 6);
        if (!(plain ? pool.appendJavapOperands(index, out) : pool.appendJavapValue(index, out)))
            return "???";
        return out;
    }
    // javap's write of an entry: its kind and value ("class java/lang/Object").
    std::string reference(uint32_t index) const {
        if (index == 0) return "#0";
        std::string out;
        if (!pool.appendJavapReference(index, layout.thisClass(), out)) return "???";
        return out;
    }
    // The text of a Utf8 entry (or of the one a Class, String, ... names) as it is.
    std::string text(uint32_t index) const {
        std::string out;
        if (!pool.text(index, out)) return "???";
        return out;
    }
    std::string javaName(uint32_t index) const {
        std::string out;
        appendDotted(text(index), out);
        return out;
    }
};

// ---- Flags -------------------------------------------------------------------------------

struct FlagName {
    uint32_t bit;
    const char* name;
};

// In the order of the JDK's access-flag enumeration, which javap lists them in.
constexpr FlagName kClassFlags[] = {
    {0x0001, "ACC_PUBLIC"},     {0x0010, "ACC_FINAL"},    {0x0020, "ACC_SUPER"},
    {0x0200, "ACC_INTERFACE"},  {0x0400, "ACC_ABSTRACT"}, {0x1000, "ACC_SYNTHETIC"},
    {0x2000, "ACC_ANNOTATION"}, {0x4000, "ACC_ENUM"},     {0x8000, "ACC_MODULE"}};
constexpr FlagName kFieldFlags[] = {
    {0x0001, "ACC_PUBLIC"},    {0x0002, "ACC_PRIVATE"},   {0x0004, "ACC_PROTECTED"},
    {0x0008, "ACC_STATIC"},    {0x0010, "ACC_FINAL"},     {0x0040, "ACC_VOLATILE"},
    {0x0080, "ACC_TRANSIENT"}, {0x1000, "ACC_SYNTHETIC"}, {0x4000, "ACC_ENUM"}};
constexpr FlagName kMethodFlags[] = {
    {0x0001, "ACC_PUBLIC"},   {0x0002, "ACC_PRIVATE"}, {0x0004, "ACC_PROTECTED"},
    {0x0008, "ACC_STATIC"},   {0x0010, "ACC_FINAL"},   {0x0020, "ACC_SYNCHRONIZED"},
    {0x0040, "ACC_BRIDGE"},   {0x0080, "ACC_VARARGS"}, {0x0100, "ACC_NATIVE"},
    {0x0400, "ACC_ABSTRACT"}, {0x0800, "ACC_STRICT"},  {0x1000, "ACC_SYNTHETIC"}};

// javap's release of a class file: RELEASE_1 for major 45, one more for each major
// after it; the latest for a major it does not know, and for a preview file (a minor
// version from major 56 on).
constexpr int kLatestRelease = 25;
int releaseOf(uint16_t major, uint16_t minor) {
    if (major < 45 || major > 44 + kLatestRelease) return kLatestRelease;
    if (major >= 56 && minor != 0) return kLatestRelease;
    return major == 45 ? 1 : major - 44;
}

// The bits each place defines, by release: what the JDK's table of access flags and
// their history gives.
uint32_t definedMask(VQJavapFlagPlace place, int release) {
    switch (place) {
        case VQJavapFlagPlace::classFile:  // synthetic, annotation and enum from 5, module from 9
            return release <= 4 ? 0x0631 : release <= 8 ? 0x7631 : 0xF631;
        case VQJavapFlagPlace::field:  // synthetic and enum from 5
            return release <= 4 ? 0x00DF : 0x50DF;
        case VQJavapFlagPlace::method:
            // strict from 1.2 until 17; bridge, varargs and synthetic from 5
            return release <= 1 ? 0x053F : release <= 4 ? 0x0D3F : release <= 16 ? 0x1DFF : 0x15FF;
        case VQJavapFlagPlace::innerClass:  // synthetic, annotation and enum from 5
            return release <= 4 ? 0x061F : 0x761F;
    }
    return 0;
}

const char* locationName(VQJavapFlagPlace place) {
    switch (place) {
        case VQJavapFlagPlace::classFile:
            return "CLASS";
        case VQJavapFlagPlace::field:
            return "FIELD";
        case VQJavapFlagPlace::method:
            return "METHOD";
        case VQJavapFlagPlace::innerClass:
            return "INNER_CLASS";
    }
    return "";
}

}  // namespace

uint32_t VQJavapDefinedFlags(VQJavapLineWriter& w, uint32_t flags, VQJavapFlagPlace place,
                             uint16_t major, uint16_t minor) {
    const int release = releaseOf(major, minor);
    const uint32_t defined = definedMask(place, release);
    if (const uint32_t unmatched = flags & ~defined) {
        char text[128];
        std::snprintf(text, sizeof text,
                      "Access Flags: Unmatched bit position 0x%x for location %s for class file "
                      "format RELEASE_%d",
                      unmatched, locationName(place), release);
        w.report(text);
    }
    return flags & defined;
}

void VQPrintJavapFlags(VQJavapLineWriter& w, uint32_t flags, VQJavapFlagPlace place, uint16_t major,
                       uint16_t minor) {
    const uint32_t defined = VQJavapDefinedFlags(w, flags, place, major, minor);
    char head[32];
    std::snprintf(head, sizeof head, "flags: (0x%04x) ", flags);
    std::string line = head;
    std::span<const FlagName> names;
    switch (place) {
        case VQJavapFlagPlace::classFile:
            names = kClassFlags;
            break;
        case VQJavapFlagPlace::field:
            names = kFieldFlags;
            break;
        case VQJavapFlagPlace::method:
            names = kMethodFlags;
            break;
        case VQJavapFlagPlace::innerClass:  // javap prints no such line
            break;
    }
    uint32_t left = flags;
    const char* separator = "";
    for (const FlagName& name : names) {
        if (!(defined & name.bit)) continue;
        line.append(separator).append(name.name);
        separator = ", ";
        left &= ~name.bit;
    }
    // A class's bits that no flag names are shown as numbers; a member's are dropped.
    if (place == VQJavapFlagPlace::classFile) {
        for (uint32_t bit = 0x8000; bit; bit >>= 1) {
            if (!(left & bit)) continue;
            line.append(separator).append("0x" + hex(bit));
            separator = ", ";
        }
    }
    w.println(line);
}

void VQPrintJavapClassSummary(VQJavapLineWriter& w, VQJavapClassFile& file) {
    const VQConstantPoolEntries* pool = file.pool();
    const VQClassFileLayout* layout = file.layout();
    if (!pool || !layout) {
        w.indent(+1);
        w.println("Error: " + file.failure());
        w.indent(-1);
        return;
    }
    Printer p{w, file, *pool, *layout, VQJavapAccess::all};
    w.indent(+1);
    w.println("minor version: " + std::to_string(layout->minorVersion()));
    w.println("major version: " + std::to_string(layout->majorVersion()));
    VQPrintJavapFlags(w, layout->accessFlags(), VQJavapFlagPlace::classFile, layout->majorVersion(),
                      layout->minorVersion());
    w.print("this_class: " + hash(layout->thisClass()));
    w.tab();
    w.println("// " + p.text(layout->thisClass()));
    w.print("super_class: " + hash(layout->superClass()));
    if (layout->superClass()) {
        w.tab();
        w.print("// " + p.text(layout->superClass()));
    }
    w.println();
    w.println("interfaces: " + std::to_string(layout->interfaces().size()) +
              ", fields: " + std::to_string(layout->fields().size()) +
              ", methods: " + std::to_string(layout->methods().size()) +
              ", attributes: " + std::to_string(layout->attributes().size()));
    w.indent(-1);

    w.println("Constant pool:");
    w.indent(+1);
    const uint32_t size = pool->size();
    const int width = static_cast<int>(std::to_string(size).size()) + 1;
    std::string line;
    for (uint32_t index = 1; index < size;) {
        const int tag = pool->tag(index);
        if (tag == 0) {
            ++index;
            continue;
        }
        char head[64];
        std::snprintf(head, sizeof head, "%*s = %-18s ", width, hash(index).c_str(),
                      VQConstantPoolEntries::kindName(tag));
        w.print(head);
        line.clear();
        pool->appendJavapOperands(index, line);
        w.print(line);
        const bool plain = tag == 1 || (tag >= 3 && tag <= 6);
        if (!plain) {
            line.clear();
            w.tab();
            if (pool->appendJavapValue(index, line))
                w.print((tag == 16 ? "//  " : "// ") + line);
            else
                w.print("// ???");
        }
        w.println();
        index += tag == 5 || tag == 6 ? 2 : 1;
    }
    w.indent(-1);
}

namespace {

// ---- Annotations ------------------------------------------------------------------------

// Runs one of the shared annotation printers over the reader's bytes from where it
// stands: the reader then stands past what it read, or is failed.
template <class Print>
void readWith(Reader& r, Print print) {
    VQByteCursor cursor(r.bytes);
    if (r.failed || !cursor.seek(r.at) || !print(cursor)) {
        r.failed = true;
        return;
    }
    r.at = cursor.position();
}

void printElementValue(Printer& p, Reader& r, bool resolve) {
    readWith(
        r, [&](VQByteCursor& c) { return javap::printJavapElementValue(p.w, p.pool, c, resolve); });
}

void printAnnotation(Printer& p, Reader& r, bool resolve) {
    readWith(r,
             [&](VQByteCursor& c) { return javap::printJavapAnnotation(p.w, p.pool, c, resolve); });
}

// Both forms of an annotation, the resolved one a level in.
void printAnnotationBoth(Printer& p, Reader& r) {
    const size_t start = r.at;
    printAnnotation(p, r, false);
    if (r.failed) return;
    p.w.println();
    p.w.indent(+1);
    Reader again{r.bytes, start};
    printAnnotation(p, again, true);
    r.failed = again.failed;
    p.w.indent(-1);
}

// A counted list of annotations, each numbered in both forms.
void printAnnotationList(Printer& p, Reader& r) {
    const uint16_t count = r.u2();
    for (uint16_t i = 0; i < count && !r.failed; ++i) {
        p.w.print(std::to_string(i) + ": ");
        printAnnotationBoth(p, r);
        p.w.println();
    }
}

void printAnnotations(Printer& p, Reader& r, std::string_view title) {
    p.w.println(title);
    p.w.indent(+1);
    printAnnotationList(p, r);
    p.w.indent(-1);
}

void printParameterAnnotations(Printer& p, Reader& r, std::string_view title) {
    p.w.println(title);
    p.w.indent(+1);
    const uint8_t parameters = r.u1();
    for (uint8_t parameter = 0; parameter < parameters && !r.failed; ++parameter) {
        p.w.println("parameter " + std::to_string(parameter) + ": ");
        p.w.indent(+1);
        printAnnotationList(p, r);
        p.w.indent(-1);
    }
    p.w.indent(-1);
}

// ---- Modules ----------------------------------------------------------------------------

// The names of a module's, a requirement's and an export's flags, in javap's order.
constexpr FlagName kModuleFlags[] = {
    {0x0020, " ACC_OPEN"}, {0x8000, " ACC_MANDATED"}, {0x1000, " ACC_SYNTHETIC"}};
constexpr FlagName kRequiresFlags[] = {{0x0020, " ACC_TRANSITIVE"},
                                       {0x0040, " ACC_STATIC_PHASE"},
                                       {0x1000, " ACC_SYNTHETIC"},
                                       {0x8000, " ACC_MANDATED"}};
constexpr FlagName kExportsFlags[] = {{0x8000, " ACC_MANDATED"}, {0x1000, " ACC_SYNTHETIC"}};

// "#12,20   // name ACC_OPEN": an entry with its flags, the line left open.
void printFlaggedEntry(Printer& p, uint16_t index, uint16_t flags,
                       std::span<const FlagName> names) {
    p.w.print(hash(index) + "," + hex(flags));
    p.w.tab();
    p.w.print("// " + p.value(index));
    for (const FlagName& name : names)
        if (flags & name.bit) p.w.print(name.name);
}

// "#12   // prefix value" on a line of its own.
void printEntryLine(Printer& p, uint16_t index, std::string_view prefix) {
    p.w.print(hash(index));
    p.w.tab();
    p.w.println(std::string(prefix) + p.value(index));
}

// A version's index, and its text when there is one.
void printVersion(Printer& p, uint16_t version) {
    p.w.print(hash(version));
    if (version) {
        p.w.tab();
        p.w.print("// " + p.value(version));
    }
    p.w.println();
}

// The count that opens a table of the attribute: "3   // requires".
uint16_t printTableCount(Printer& p, Reader& r, const char* title) {
    const uint16_t count = r.u2();
    p.w.print(std::to_string(count));
    p.w.tab();
    p.w.println(std::string("// ") + title);
    return count;
}

void printExportsOrOpens(Printer& p, Reader& r, const char* title) {
    const uint16_t count = printTableCount(p, r, title);
    p.w.indent(+1);
    for (uint16_t i = 0; i < count && !r.failed; ++i) {
        const uint16_t package = r.u2();
        const uint16_t flags = r.u2();
        const uint16_t targets = r.u2();
        if (r.failed) break;
        printFlaggedEntry(p, package, flags, kExportsFlags);
        if (targets == 0) {
            p.w.println();
            continue;
        }
        p.w.println(" to ... " + std::to_string(targets));
        p.w.indent(+1);
        for (uint16_t t = 0; t < targets && !r.failed; ++t) printEntryLine(p, r.u2(), "// ... to ");
        p.w.indent(-1);
    }
    p.w.indent(-1);
}

void printModule(Printer& p, Reader& r) {
    p.w.println("Module:");
    p.w.indent(+1);
    const uint16_t name = r.u2();
    const uint16_t flags = r.u2();
    const uint16_t version = r.u2();
    printFlaggedEntry(p, name, flags, kModuleFlags);
    p.w.println();
    printVersion(p, version);

    const uint16_t requiresCount = printTableCount(p, r, "requires");
    p.w.indent(+1);
    for (uint16_t i = 0; i < requiresCount && !r.failed; ++i) {
        const uint16_t module = r.u2();
        const uint16_t requireFlags = r.u2();
        const uint16_t requireVersion = r.u2();
        if (r.failed) break;
        printFlaggedEntry(p, module, requireFlags, kRequiresFlags);
        p.w.println();
        printVersion(p, requireVersion);
    }
    p.w.indent(-1);
    printExportsOrOpens(p, r, "exports");
    printExportsOrOpens(p, r, "opens");

    const uint16_t uses = printTableCount(p, r, "uses");
    p.w.indent(+1);
    for (uint16_t i = 0; i < uses && !r.failed; ++i) printEntryLine(p, r.u2(), "// ");
    p.w.indent(-1);

    const uint16_t provides = printTableCount(p, r, "provides");
    p.w.indent(+1);
    for (uint16_t i = 0; i < provides && !r.failed; ++i) {
        const uint16_t service = r.u2();
        const uint16_t count = r.u2();
        if (r.failed) break;
        p.w.print(hash(service));
        p.w.tab();
        p.w.println("// " + p.value(service) + " with ... " + std::to_string(count));
        p.w.indent(+1);
        for (uint16_t k = 0; k < count && !r.failed; ++k) printEntryLine(p, r.u2(), "// ... with ");
        p.w.indent(-1);
    }
    p.w.indent(-1);
    p.w.indent(-1);
}

// ---- Every attribute --------------------------------------------------------------------

void printAttribute(Printer& p, const VQLayoutAttribute& attribute, VQJavapPlace place,
                    size_t methodIndex, const VQJavapCodePrinter& code);

void printList(Printer& p, std::span<const VQLayoutAttribute> attributes, VQJavapPlace place,
               size_t methodIndex, const VQJavapCodePrinter& code) {
    for (const VQLayoutAttribute& attribute : attributes)
        printAttribute(p, attribute, place, methodIndex, code);
}

void printUnknown(Printer& p, const VQLayoutAttribute& attribute, std::string_view name) {
    char text[8];
    p.w.print("  ");
    p.w.print(name);
    p.w.print(": ");
    std::snprintf(text, sizeof text, "%X", static_cast<unsigned>(attribute.info.size()));
    p.w.print(std::string("length = 0x") + text + " (unknown attribute)");
    p.w.println();
    p.w.print("   ");
    size_t column = 0;
    for (uint8_t byte : attribute.info) {
        std::snprintf(text, sizeof text, "%02X", byte);
        p.w.print(text);
        if (++column == 16) {
            p.w.println();
            p.w.print("   ");
            column = 0;
        } else {
            p.w.print(" ");
        }
    }
    p.w.println();
}

// The Record attribute: each component as a declaration, its descriptor and attributes.
void printRecord(Printer& p, Reader& r, const VQJavapCodePrinter& code) {
    p.w.println("Record:");
    p.w.indent(+1);
    const uint16_t count = r.u2();
    for (uint16_t i = 0; i < count && !r.failed; ++i) {
        const uint16_t name = r.u2();
        const uint16_t descriptor = r.u2();
        const uint16_t attributeCount = r.u2();
        if (r.failed) break;
        // The component's attributes, as VQLayoutAttribute views of the same bytes.
        std::vector<VQLayoutAttribute> attributes;
        std::string signature;
        for (uint16_t k = 0; k < attributeCount && !r.failed; ++k) {
            const uint16_t attributeName = r.u2();
            const uint32_t length = r.u4();
            if (r.failed || !r.has(length)) break;
            VQLayoutAttribute attribute{attributeName, p.pool.modifiedUTF8(attributeName),
                                        r.bytes.subspan(r.at, length), 0};
            r.at += length;
            if (attribute.name == "Signature" && length == 2)
                signature =
                    p.text(static_cast<uint32_t>(attribute.info[0] << 8 | attribute.info[1]));
            attributes.push_back(attribute);
        }
        if (r.failed) break;
        const std::string descriptorText = p.text(descriptor);
        std::optional<VQSignatureType> type =
            VQParseTypeSignature(signature.empty() ? descriptorText : signature);
        std::string declaration;
        appendDotted(type ? type->javaText() : descriptorText, declaration);
        p.w.print(declaration);
        p.w.print(" ");
        p.w.print(p.text(name));
        p.w.print(";");
        p.w.println();
        p.w.indent(+1);
        p.w.println("descriptor: " + descriptorText);
        printList(p, attributes, VQJavapPlace::recordComponent, 0, code);
        p.w.println();
        p.w.indent(-1);
    }
    p.w.indent(-1);
}

void printInnerClasses(Printer& p, Reader& r) {
    const uint16_t count = r.u2();
    bool first = true;
    for (uint16_t i = 0; i < count && !r.failed; ++i) {
        const uint16_t inner = r.u2();
        const uint16_t outer = r.u2();
        const uint16_t name = r.u2();
        const uint16_t flags = r.u2();
        if (r.failed) break;
        const bool isPublic = flags & 0x0001, isPrivate = flags & 0x0002,
                   isProtected = flags & 0x0004;
        bool shown = true;
        switch (p.access) {
            case VQJavapAccess::publicOnly:
                shown = isPublic && !isProtected && !isPrivate;
                break;
            case VQJavapAccess::protectedOrMore:
                shown = (isPublic || isProtected) && !isPrivate;
                break;
            case VQJavapAccess::packageOrMore:
                shown = !isPrivate;
                break;
            case VQJavapAccess::all:
                break;
        }
        if (!shown) continue;
        if (first) {
            p.w.println("InnerClasses:");
            p.w.indent(+1);
            first = false;
        }
        static constexpr FlagName kModifiers[] = {{0x0001, "public"},    {0x0002, "private"},
                                                  {0x0004, "protected"}, {0x0008, "static"},
                                                  {0x0010, "final"},     {0x0400, "abstract"}};
        const uint32_t defined =
            VQJavapDefinedFlags(p.w, flags, VQJavapFlagPlace::innerClass, p.layout.majorVersion(),
                                p.layout.minorVersion());
        for (const FlagName& modifier : kModifiers) {
            if (!(defined & modifier.bit)) continue;
            if (modifier.bit == 0x0400 && (flags & 0x0200)) continue;
            p.w.print(std::string(modifier.name) + " ");
        }
        if (name) p.w.print(hash(name) + "= ");
        p.w.print(hash(inner));
        if (outer) p.w.print(" of " + hash(outer));
        p.w.print(";");
        p.w.tab();
        p.w.print("// ");
        if (name) p.w.print(p.text(name) + "=");
        p.w.print(p.reference(inner));
        if (outer) p.w.print(" of " + p.reference(outer));
        p.w.println();
    }
    if (!first) p.w.indent(-1);
}

void printVariableTable(Printer& p, Reader& r, const char* title) {
    p.w.println(title);
    p.w.indent(+1);
    p.w.println("Start  Length  Slot  Name   Signature");
    const uint16_t count = r.u2();
    for (uint16_t i = 0; i < count && !r.failed; ++i) {
        const uint16_t start = r.u2(), length = r.u2(), name = r.u2(), type = r.u2(), slot = r.u2();
        if (r.failed) break;
        char head[64];
        std::snprintf(head, sizeof head, "%5u %7u %5u ", start, length, slot);
        std::string nameText = p.value(name);
        if (nameText.size() < 5) nameText.insert(0, 5 - nameText.size(), ' ');
        p.w.println(head + nameText + "   " + p.value(type));
    }
    p.w.indent(-1);
}

void printCharacterRanges(Printer& p, Reader& r) {
    p.w.println("CharacterRangeTable:");
    p.w.indent(+1);
    const uint16_t count = r.u2();
    static constexpr FlagName kFlags[] = {
        {0x0001, ", statement"},       {0x0002, ", block"},       {0x0004, ", assignment"},
        {0x0008, ", flow-controller"}, {0x0010, ", flow-target"}, {0x0020, ", invoke"},
        {0x0040, ", create"},          {0x0080, ", branch-true"}, {0x0100, ", branch-false"}};
    for (uint16_t i = 0; i < count && !r.failed; ++i) {
        const uint16_t start = r.u2(), end = r.u2();
        const uint32_t rangeStart = r.u4(), rangeEnd = r.u4();
        const uint16_t flags = r.u2();
        if (r.failed) break;
        char text[160];
        std::snprintf(text, sizeof text, "    %2u, %2u, %6x, %6x, %4x", start, end, rangeStart,
                      rangeEnd, flags);
        p.w.print(text);
        p.w.tab();
        std::snprintf(text, sizeof text, "// %2u, %2u, %4u:%02u, %4u:%02u", start, end,
                      rangeStart >> 10, rangeStart & 0x3ff, rangeEnd >> 10, rangeEnd & 0x3ff);
        p.w.print(text);
        for (const FlagName& flag : kFlags)
            if (flags & flag.bit) p.w.print(flag.name);
        p.w.println();
    }
    p.w.indent(-1);
}

// The attributes javap decodes, by name; anything else it dumps in hex.
void printAttribute(Printer& p, const VQLayoutAttribute& attribute, VQJavapPlace place,
                    size_t methodIndex, const VQJavapCodePrinter& code) {
    Reader r{attribute.info};
    std::string name;
    if (!p.pool.text(attribute.nameIndex, name)) name = "???";
    auto index = [&] { return static_cast<uint32_t>(r.u2()); };

    if (name == "Code") {
        if (place == VQJavapPlace::method && code.print)
            code.print(code.context, methodIndex, attribute, p.w);
        return;
    }
    if (name == "RuntimeVisibleTypeAnnotations" || name == "RuntimeInvisibleTypeAnnotations") {
        std::string text;
        VQAppendJavapTypeAnnotations(p.file.javaClass(), name, attribute.info,
                                     place == VQJavapPlace::classFile ? 0 : 4, text);
        p.w.printLines(text);
        return;
    }
    if (name == "AnnotationDefault") {
        p.w.println("AnnotationDefault:");
        p.w.indent(+1);
        p.w.print("default_value: ");
        const size_t start = r.at;
        printElementValue(p, r, false);
        p.w.println();
        p.w.indent(+1);
        Reader again{r.bytes, start};
        if (!r.failed) printElementValue(p, again, true);
        r.failed = r.failed || again.failed;
        p.w.indent(-1);
        p.w.indent(-1);
        p.w.println();
    } else if (name == "BootstrapMethods") {
        p.w.println("BootstrapMethods:");
        const uint16_t count = r.u2();
        for (uint16_t i = 0; i < count && !r.failed; ++i) {
            const uint32_t method = index();
            const uint16_t arguments = r.u2();
            if (r.failed) break;
            p.w.indent(+1);
            p.w.print(std::to_string(i) + ": " + hash(method) + " ");
            p.w.println(p.value(method));
            p.w.indent(+1);
            p.w.println("Method arguments:");
            p.w.indent(+1);
            for (uint16_t k = 0; k < arguments && !r.failed; ++k) {
                const uint32_t argument = index();
                p.w.print(hash(argument) + " ");
                p.w.println(p.value(argument));
            }
            p.w.indent(-3);
        }
    } else if (name == "CharacterRangeTable") {
        printCharacterRanges(p, r);
    } else if (name == "CompilationID" || name == "SourceID") {
        // javap ends neither with a line break.
        p.w.print(p.reference(index()));
    } else if (name == "ConstantValue") {
        p.w.print("ConstantValue: ");
        p.w.print(p.reference(index()));
        p.w.println();
    } else if (name == "Deprecated") {
        p.w.println("Deprecated: true");
    } else if (name == "EnclosingMethod") {
        const uint32_t owner = index();
        const uint32_t method = index();
        if (r.failed) {
            p.w.println("Error: malformed EnclosingMethod attribute");
            return;
        }
        p.w.print("EnclosingMethod: " + hash(owner) + ".#" + std::to_string(method));
        p.w.tab();
        p.w.print("// " + p.javaName(owner));
        if (method) p.w.print("." + p.text(p.pool.firstIndex(method)));
        p.w.println();
    } else if (name == "Exceptions") {
        p.w.println("Exceptions:");
        p.w.indent(+1);
        p.w.print("throws ");
        const uint16_t count = r.u2();
        for (uint16_t i = 0; i < count && !r.failed; ++i) {
            if (i) p.w.print(", ");
            p.w.print(p.javaName(index()));
        }
        p.w.println();
        p.w.indent(-1);
    } else if (name == "InnerClasses") {
        printInnerClasses(p, r);
    } else if (name == "LineNumberTable") {
        p.w.println("LineNumberTable:");
        p.w.indent(+1);
        const uint16_t count = r.u2();
        for (uint16_t i = 0; i < count && !r.failed; ++i) {
            const uint16_t start = r.u2();
            const uint16_t line = r.u2();
            if (!r.failed)
                p.w.println("line " + std::to_string(line) + ": " + std::to_string(start));
        }
        p.w.indent(-1);
    } else if (name == "LocalVariableTable") {
        printVariableTable(p, r, "LocalVariableTable:");
    } else if (name == "LocalVariableTypeTable") {
        printVariableTable(p, r, "LocalVariableTypeTable:");
    } else if (name == "NestHost") {
        p.w.print("NestHost: ");
        p.w.print(p.reference(index()));
        p.w.println();
    } else if (name == "MethodParameters") {
        p.w.println("MethodParameters:");
        p.w.indent(+1);
        p.w.println("Name                           Flags");
        const uint8_t count = r.u1();
        for (uint8_t i = 0; i < count && !r.failed; ++i) {
            const uint32_t parameter = index();
            const uint16_t flags = r.u2();
            if (r.failed) break;
            std::string line = parameter ? p.value(parameter) : "<no name>";
            if (line.size() < 31) line.append(31 - line.size(), ' ');
            if (flags & 0x0010) line.append("final ");
            if (flags & 0x8000) line.append("mandated ");
            if (flags & 0x1000) line.append("synthetic");
            p.w.println(line);
        }
        p.w.indent(-1);
    } else if (name == "Module") {
        printModule(p, r);
    } else if (name == "ModuleHashes") {
        p.w.println("ModuleHashes:");
        p.w.indent(+1);
        const uint32_t algorithm = index();
        p.w.print("algorithm: " + hash(algorithm));
        p.w.tab();
        p.w.println("// " + p.text(algorithm));
        const uint16_t count = r.u2();
        p.w.print(std::to_string(count));
        p.w.tab();
        p.w.println("// hashes");
        for (uint16_t i = 0; i < count && !r.failed; ++i) {
            const uint32_t module = index();
            const uint16_t length = r.u2();
            if (r.failed || !r.has(length)) break;
            p.w.print(hash(module));
            p.w.tab();
            p.w.println("// " + p.text(module));
            p.w.println("hash_length: " + std::to_string(length));
            std::string bytes;
            char text[4];
            for (uint16_t k = 0; k < length; ++k) {
                std::snprintf(text, sizeof text, "%02x", r.u1());
                bytes.append(text);
            }
            p.w.println("hash: [" + bytes + "]");
        }
        p.w.indent(-1);
    } else if (name == "ModuleMainClass") {
        const uint32_t main = index();
        p.w.print("ModuleMainClass: " + hash(main));
        p.w.tab();
        p.w.print("// " + p.javaName(main));
        p.w.println();
    } else if (name == "ModulePackages") {
        p.w.println("ModulePackages: ");
        p.w.indent(+1);
        const uint16_t count = r.u2();
        for (uint16_t i = 0; i < count && !r.failed; ++i) {
            const uint32_t package = index();
            p.w.print(hash(package));
            p.w.tab();
            p.w.println("// " + p.javaName(package));
        }
        p.w.indent(-1);
    } else if (name == "ModuleResolution") {
        p.w.println("ModuleResolution:");
        p.w.indent(+1);
        const uint16_t flags = r.u2();
        p.w.print(hex(flags));
        p.w.tab();
        p.w.print("// ");
        if (flags & 0x0001) p.w.print(" DO_NOT_RESOLVE_BY_DEFAULT");
        if (flags & 0x0002) p.w.print(" WARN_DEPRECATED");
        if (flags & 0x0004) p.w.print(" WARN_DEPRECATED_FOR_REMOVAL");
        if (flags & 0x0008) p.w.print(" WARN_INCUBATING");
        p.w.println();
        p.w.indent(-1);
    } else if (name == "ModuleTarget") {
        p.w.println("ModuleTarget:");
        p.w.indent(+1);
        const uint32_t platform = index();
        p.w.print("target_platform: " + hash(platform));
        p.w.tab();
        p.w.println("// " + p.text(platform));
        p.w.indent(-1);
    } else if (name == "NestMembers" || name == "PermittedSubclasses") {
        p.w.println(name + ":");
        p.w.indent(+1);
        const uint16_t count = r.u2();
        for (uint16_t i = 0; i < count && !r.failed; ++i) {
            const uint32_t member = index();
            if (!r.failed) p.w.println(p.value(member));
        }
        p.w.indent(-1);
    } else if (name == "Record") {
        printRecord(p, r, code);
    } else if (name == "RuntimeVisibleAnnotations" || name == "RuntimeInvisibleAnnotations") {
        printAnnotations(p, r, name + ":");
    } else if (name == "RuntimeVisibleParameterAnnotations" ||
               name == "RuntimeInvisibleParameterAnnotations") {
        printParameterAnnotations(p, r, name + ":");
    } else if (name == "Signature") {
        const uint32_t signature = index();
        p.w.print("Signature: " + hash(signature));
        p.w.tab();
        p.w.println("// " + p.text(signature));
    } else if (name == "SourceDebugExtension") {
        p.w.println("SourceDebugExtension:");
        p.w.indent(+1);
        // The contents as lines, however they are broken; empty lines are dropped.
        std::string_view text(reinterpret_cast<const char*>(attribute.info.data()),
                              attribute.info.size());
        while (!text.empty()) {
            const size_t end = text.find_first_of("\r\n");
            if (end != 0) p.w.println(text.substr(0, end));
            if (end == std::string_view::npos) break;
            text.remove_prefix(end);
            text.remove_prefix(std::min(text.find_first_not_of("\r\n"), text.size()));
        }
        p.w.indent(-1);
        r.at = r.bytes.size();
    } else if (name == "SourceFile") {
        p.w.println("SourceFile: \"" + p.text(index()) + "\"");
    } else if (name == "Synthetic") {
        p.w.println("Synthetic: true");
    } else if (name == "StackMapTable") {
        // Meaningful only inside Code, where the code's own printer shows it.
        return;
    } else {
        printUnknown(p, attribute, name);
        return;
    }
    if (r.failed) p.w.println("Error: malformed " + name + " attribute");
}

}  // namespace

void VQPrintJavapAttributes(VQJavapLineWriter& w, VQJavapClassFile& file,
                            std::span<const VQLayoutAttribute> attributes, VQJavapPlace place,
                            size_t methodIndex, VQJavapAccess access,
                            const VQJavapCodePrinter& code) {
    const VQConstantPoolEntries* pool = file.pool();
    const VQClassFileLayout* layout = file.layout();
    if (!pool || !layout) return;
    Printer p{w, file, *pool, *layout, access};
    printList(p, attributes, place, methodIndex, code);
}

}  // namespace ornith
