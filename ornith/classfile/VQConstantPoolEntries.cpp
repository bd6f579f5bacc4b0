#include "ornith/classfile/VQConstantPoolEntries.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdio>
#include <cstring>

#include "ornith/base/VQEndian.h"
#include "ornith/base/VQException.h"
#include "ornith/base/VQText.h"
#include "ornith/classfile/VQJavaNumberText.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace ornith {

namespace {

// Body bytes of the kinds that have a fixed size; 0 for the counted and unknown ones.
uint32_t fixedBodySize(int tag) noexcept {
    switch (tag) {
        case kVQConstantClass:
        case kVQConstantString:
        case kVQConstantMethodType:
        case kVQConstantModule:
        case kVQConstantPackage:
            return 2;
        case kVQConstantMethodHandle:
            return 3;
        case kVQConstantInteger:
        case kVQConstantFloat:
        case kVQConstantFieldref:
        case kVQConstantMethodref:
        case kVQConstantInterfaceMethodref:
        case kVQConstantNameAndType:
        case kVQConstantDynamic:
        case kVQConstantInvokeDynamic:
            return 4;
        case kVQConstantLong:
        case kVQConstantDouble:
            return 8;
        default:
            return 0;
    }
}

// Kinds whose body is made of references to other entries (a method handle's first
// byte, its reference kind, aside).
bool holdsIndexes(int tag) noexcept {
    const uint32_t length = fixedBodySize(tag);
    return length != 0 && length != 8 && tag != kVQConstantInteger && tag != kVQConstantFloat;
}

// The names of each kind: in javap's listing of the pool, and where an instruction or an
// attribute names an entry.
struct KindNames {
    int tag;
    const char* listing;
    const char* reference;
};

constexpr KindNames kKindNames[] = {
    {kVQConstantUtf8, "Utf8", "Utf8"},
    {kVQConstantInteger, "Integer", "int"},
    {kVQConstantFloat, "Float", "float"},
    {kVQConstantLong, "Long", "long"},
    {kVQConstantDouble, "Double", "double"},
    {kVQConstantClass, "Class", "class"},
    {kVQConstantString, "String", "String"},
    {kVQConstantFieldref, "Fieldref", "Field"},
    {kVQConstantMethodref, "Methodref", "Method"},
    {kVQConstantInterfaceMethodref, "InterfaceMethodref", "InterfaceMethod"},
    {kVQConstantNameAndType, "NameAndType", "NameAndType"},
    {kVQConstantMethodHandle, "MethodHandle", "MethodHandle"},
    {kVQConstantMethodType, "MethodType", "MethodType"},
    {kVQConstantDynamic, "Dynamic", "Dynamic"},
    {kVQConstantInvokeDynamic, "InvokeDynamic", "InvokeDynamic"},
    // javap's listing has no name of its own for these two.
    {kVQConstantModule, "Unknown", "Module"},
    {kVQConstantPackage, "Unknown", "Package"},
};

const KindNames* kindNamesOf(int tag) noexcept {
    for (const KindNames& names : kKindNames)
        if (names.tag == tag) return &names;
    return nullptr;
}

bool isMemberRef(int tag) noexcept {
    return tag == kVQConstantFieldref || tag == kVQConstantMethodref ||
           tag == kVQConstantInterfaceMethodref;
}

// Kinds whose one reference names a Utf8 entry.
bool namesText(int tag) noexcept {
    return tag == kVQConstantClass || tag == kVQConstantString || tag == kVQConstantMethodType ||
           tag == kVQConstantModule || tag == kVQConstantPackage;
}

// Modified UTF-8 to the UTF-16 units Java reads from it. A byte that starts no
// well-formed sequence becomes U+FFFD on its own.
void appendModifiedUTF8Units(std::u16string& out, const uint8_t* p, size_t length) {
    const uint8_t* end = p + length;
    while (p < end) {
        const uint8_t b = *p;
        if (b < 0x80) {
            out.push_back(b);
            ++p;
        } else if ((b & 0xE0) == 0xC0 && end - p >= 2 && (p[1] & 0xC0) == 0x80) {
            out.push_back(static_cast<char16_t>(((b & 0x1F) << 6) | (p[1] & 0x3F)));
            p += 2;
        } else if ((b & 0xF0) == 0xE0 && end - p >= 3 && (p[1] & 0xC0) == 0x80 &&
                   (p[2] & 0xC0) == 0x80) {
            out.push_back(
                static_cast<char16_t>(((b & 0x0F) << 12) | ((p[1] & 0x3F) << 6) | (p[2] & 0x3F)));
            p += 3;
        } else {
            out.push_back(u'\uFFFD');
            ++p;
        }
    }
}

// Character.isJavaIdentifierStart and isJavaIdentifierPart for what class files hold.
// ASCII exactly; above it every character counts as a letter except the C1 controls,
// which Java ignores inside an identifier: a name javac wrote is never quoted for it.
constexpr bool isIdentifierStart(uint32_t c) noexcept {
    if (c < 0x80) return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '$' || c == '_';
    return c > 0x9F && c != kVQReplacementCharacter;
}
constexpr bool isIdentifierPart(uint32_t c) noexcept {
    if (isIdentifierStart(c) || (c >= '0' && c <= '9')) return true;
    return c <= 0x08 || (c >= 0x0E && c <= 0x1B) || (c >= 0x7F && c <= 0x9F);
}

// isIdentifierStart and isIdentifierPart (with '/' a part of a name) over ASCII.
constexpr uint8_t kNameStart = 1;
constexpr uint8_t kNamePart = 2;
constexpr auto kASCIINameClass = [] {
    std::array<uint8_t, 128> classes{};
    for (uint32_t c = 0; c < 128; ++c)
        classes[c] = static_cast<uint8_t>((isIdentifierStart(c) ? kNameStart : 0) |
                                          (c == '/' || isIdentifierPart(c) ? kNamePart : 0));
    return classes;
}();

// The bytes a string constant shows as they are: printable ASCII but for the escaped
// quotes and backslash.
constexpr auto kPlainStringByte = [] {
    std::array<bool, 256> plain{};
    for (size_t c = 0x20; c < 0x7F; ++c) plain[c] = c != '"' && c != '\'' && c != '\\';
    return plain;
}();

void appendHexUnit(uint32_t unit, std::string& out) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "\\u%04x", unit & 0xFFFF);
    out += buffer;
}

}  // namespace

std::unique_ptr<const VQConstantPoolEntries> VQConstantPoolEntries::entriesOfClassFile(
    std::span<const uint8_t> classFile) {
    if (classFile.size() > UINT32_MAX)
        throw VQInvalidArgumentException("Truncated java .class file",
                                         VQErrorKind::truncatedClassFile);
    VQByteStream stream{classFile.data(), 0, static_cast<uint32_t>(classFile.size())};
    if (VQReadU4(stream) != static_cast<int32_t>(0xCAFEBABEu))
        throw VQInvalidArgumentException("Not a java .class file", VQErrorKind::notClassFile, 0);
    VQSkipBytes(stream, 4);
    VQConstantPoolHandle pool(parsing::openConstantPool(stream, nullptr).orRaise());
    return std::unique_ptr<const VQConstantPoolEntries>(
        new VQConstantPoolEntries(std::move(pool), stream.position));
}

int VQConstantPoolEntries::tag(uint32_t index) const noexcept {
    if (index == 0 || index >= size()) return 0;
    const uint8_t* entry = _pool->entries[index];
    return entry ? entry[-1] : 0;
}

uint32_t VQConstantPoolEntries::offsetOf(uint32_t index) const noexcept {
    if (tag(index) == 0) return 0;
    return static_cast<uint32_t>(_pool->entries[index] - 1 - _pool->begin);
}

const uint8_t* VQConstantPoolEntries::body(uint32_t index, int tag,
                                           uint32_t length) const noexcept {
    if (index >= size()) return nullptr;
    VQPoolResult<const uint8_t*> found =
        VQPoolReader(*_pool).entry(static_cast<int32_t>(index), tag, length);
    return found ? *found : nullptr;
}

uint16_t VQConstantPoolEntries::firstIndex(uint32_t index) const noexcept {
    const int kind = tag(index);
    if (!holdsIndexes(kind)) return 0;
    const uint8_t* at = body(index, kind, fixedBodySize(kind));
    if (!at) return 0;
    return kind == kVQConstantMethodHandle ? at[0] : VQLoadBE16(at);
}

uint16_t VQConstantPoolEntries::secondIndex(uint32_t index) const noexcept {
    const int kind = tag(index);
    if (kind == kVQConstantMethodHandle) {
        const uint8_t* at = body(index, kind, 3);
        return at ? VQLoadBE16(at + 1) : 0;
    }
    if (!isMemberRef(kind) && kind != kVQConstantNameAndType && kind != kVQConstantDynamic &&
        kind != kVQConstantInvokeDynamic)
        return 0;
    const uint8_t* at = body(index, kind, 4);
    return at ? VQLoadBE16(at + 2) : 0;
}

int32_t VQConstantPoolEntries::intValue(uint32_t index) const noexcept {
    const uint8_t* at = body(index, kVQConstantInteger, 4);
    return at ? static_cast<int32_t>(VQLoadBE32(at)) : 0;
}

float VQConstantPoolEntries::floatValue(uint32_t index) const noexcept {
    const uint8_t* at = body(index, kVQConstantFloat, 4);
    return at ? std::bit_cast<float>(VQLoadBE32(at)) : 0.0f;
}

int64_t VQConstantPoolEntries::longValue(uint32_t index) const noexcept {
    const uint8_t* at = body(index, kVQConstantLong, 8);
    return at ? static_cast<int64_t>(VQLoadBE64(at)) : 0;
}

double VQConstantPoolEntries::doubleValue(uint32_t index) const noexcept {
    const uint8_t* at = body(index, kVQConstantDouble, 8);
    return at ? std::bit_cast<double>(VQLoadBE64(at)) : 0.0;
}

std::string_view VQConstantPoolEntries::modifiedUTF8(uint32_t index) const noexcept {
    if (index >= size()) return {};
    VQPoolResult<std::string_view> found = VQPoolReader(*_pool).utf8(static_cast<int32_t>(index));
    return found ? *found : std::string_view();
}

bool VQConstantPoolEntries::text(uint32_t index, std::string& out) const {
    out.clear();
    if (namesText(tag(index))) index = firstIndex(index);
    if (index == 0 || index >= size()) return false;
    return static_cast<bool>(VQPoolReader(*_pool).textInto(static_cast<int32_t>(index), out));
}

bool VQConstantPoolEntries::textView(uint32_t index, std::string& scratch,
                                     std::string_view& view) const {
    if (namesText(tag(index))) index = firstIndex(index);
    if (index == 0 || index >= size()) return false;
    VQPoolResult<std::string_view> found =
        VQPoolReader(*_pool).textView(static_cast<int32_t>(index), scratch);
    if (!found) return false;
    view = *found;
    return true;
}

bool VQConstantPoolEntries::utf16(uint32_t index, std::u16string& out) const {
    out.clear();
    if (namesText(tag(index))) index = firstIndex(index);
    if (index == 0 || index >= size()) return false;
    VQPoolResult<VQPoolText> found = VQPoolReader(*_pool).text(static_cast<int32_t>(index));
    if (!found) return false;
    const auto* bytes = reinterpret_cast<const uint8_t*>(found->bytes.data());
    if (found->utf16) {
        for (size_t i = 0; i + 1 < found->bytes.size(); i += 2)
            out.push_back(static_cast<char16_t>(VQLoadBE16(bytes + i)));
    } else {
        appendModifiedUTF8Units(out, bytes, found->bytes.size());
    }
    return true;
}

const char* VQConstantPoolEntries::kindName(int tag) noexcept {
    const KindNames* names = kindNamesOf(tag);
    return names ? names->listing : "Unknown";
}

const char* VQConstantPoolEntries::referenceKindName(int tag) noexcept {
    const KindNames* names = kindNamesOf(tag);
    return names ? names->reference : "Unknown";
}

bool VQConstantPoolEntries::appendJavapOperands(uint32_t index, std::string& out) const {
    const int kind = tag(index);
    if (kind == 0) return false;
    // Numbers and text are their own operands; every other kind shows the indexes it
    // holds (a method handle its reference kind first, as a number).
    if (!holdsIndexes(kind)) return appendJavapValue(index, out);
    const uint32_t length = fixedBodySize(kind);
    if (!body(index, kind, length)) return false;
    if (kind != kVQConstantMethodHandle) out += '#';
    out += std::to_string(firstIndex(index));
    if (length == 2) return true;
    out += isMemberRef(kind) ? ".#" : ":#";
    out += std::to_string(secondIndex(index));
    return true;
}

bool VQConstantPoolEntries::appendName(uint32_t utf8Index, std::string& out) const {
    std::string scratch;
    std::string_view name;
    if (!textView(utf8Index, scratch, name) || tag(utf8Index) == kVQConstantString) return false;
    VQAppendJavapCheckedName(name, out);
    return true;
}

bool VQConstantPoolEntries::appendValue(uint32_t index, std::string& out, int depth) const {
    const int kind = tag(index);
    // The deepest chain is MethodHandle, member, NameAndType: a deeper one is malformed.
    if (depth > 3) return false;
    const size_t mark = out.size();
    auto fail = [&] {
        out.resize(mark);
        return false;
    };
    switch (kind) {
        case kVQConstantClass:
        case kVQConstantModule:
        case kVQConstantPackage:
            if (tag(firstIndex(index)) != kVQConstantUtf8) return false;
            return appendName(firstIndex(index), out);
        case kVQConstantInteger:
            if (!body(index, kind, 4)) return false;
            out += std::to_string(intValue(index));
            return true;
        case kVQConstantFloat:
            if (!body(index, kind, 4)) return false;
            out += VQJavaFloatText(floatValue(index));
            out += 'f';
            return true;
        case kVQConstantLong:
            if (!body(index, kind, 8)) return false;
            out += std::to_string(longValue(index));
            out += 'l';
            return true;
        case kVQConstantDouble:
            if (!body(index, kind, 8)) return false;
            out += VQJavaDoubleText(doubleValue(index));
            out += 'd';
            return true;
        case kVQConstantFieldref:
        case kVQConstantMethodref:
        case kVQConstantInterfaceMethodref:
            if (!appendMember(index, kind, 0, out)) return fail();
            return true;
        case kVQConstantNameAndType:
            if (!appendNameAndType(firstIndex(index), secondIndex(index), out)) return fail();
            return true;
        case kVQConstantDynamic:
        case kVQConstantInvokeDynamic: {
            if (tag(secondIndex(index)) != kVQConstantNameAndType) return false;
            out += '#';
            out += std::to_string(firstIndex(index));
            out += ':';
            if (!appendValue(secondIndex(index), out, depth + 1)) return fail();
            return true;
        }
        case kVQConstantMethodHandle: {
            static constexpr const char* kKinds[] = {nullptr,
                                                     "REF_getField",
                                                     "REF_getStatic",
                                                     "REF_putField",
                                                     "REF_putStatic",
                                                     "REF_invokeVirtual",
                                                     "REF_invokeStatic",
                                                     "REF_invokeSpecial",
                                                     "REF_newInvokeSpecial",
                                                     "REF_invokeInterface"};
            const uint32_t refKind = firstIndex(index);
            const uint32_t member = secondIndex(index);
            if (refKind == 0 || refKind > 9 || !isMemberRef(tag(member))) return false;
            out += kKinds[refKind];
            out += ' ';
            if (!appendValue(member, out, depth + 1)) return fail();
            return true;
        }
        case kVQConstantMethodType: {
            std::string scratch;
            std::string_view descriptor;
            if (tag(firstIndex(index)) != kVQConstantUtf8 || !textView(index, scratch, descriptor))
                return false;
            out += descriptor;
            return true;
        }
        case kVQConstantString:
            if (tag(firstIndex(index)) != kVQConstantUtf8) return false;
            return appendValue(firstIndex(index), out, depth + 1);
        case kVQConstantUtf8: {
            // Most string constants are printable ASCII with nothing to escape: the bytes
            // as they stand.
            const std::string_view bytes = modifiedUTF8(index);
            if (!bytes.empty() && std::all_of(bytes.begin(), bytes.end(), [](char c) {
                    return kPlainStringByte[static_cast<uint8_t>(c)];
                })) {
                out += bytes;
                return true;
            }
            std::u16string units;
            if (!utf16(index, units)) return false;
            VQAppendJavapStringUnits(units, out);
            return true;
        }
        default:
            return false;
    }
}

bool VQConstantPoolEntries::appendJavapValue(uint32_t index, std::string& out) const {
    return appendValue(index, out, 0);
}

bool VQConstantPoolEntries::appendJavapReference(uint32_t index, uint32_t thisClass,
                                                 std::string& out) const {
    const int kind = tag(index);
    if (kind == 0) return false;
    const size_t mark = out.size();
    out += referenceKindName(kind);
    out += ' ';
    const bool shown =
        isMemberRef(kind) ? appendMember(index, kind, thisClass, out) : appendValue(index, out, 0);
    if (!shown) {
        out.resize(mark);
        return false;
    }
    return true;
}

bool VQConstantPoolEntries::appendNameAndType(uint32_t name, uint32_t type,
                                              std::string& out) const {
    if (tag(name) != kVQConstantUtf8 || tag(type) != kVQConstantUtf8 || !appendName(name, out))
        return false;
    out += ':';
    std::string scratch;
    const VQPoolResult<std::string_view> descriptor =
        VQPoolReader(*_pool).textView(static_cast<int32_t>(type), scratch);
    if (!descriptor) return false;
    out += *descriptor;
    return true;
}

bool VQConstantPoolEntries::appendMember(uint32_t index, int kind, uint32_t thisClass,
                                         std::string& out) const {
    // Nearly every comment -c prints names a member: its entries are read once here, each
    // checked for its kind and for a body within the data.
    const VQPoolReader reader(*_pool);
    const VQPoolResult<const uint8_t*> member = reader.entry(static_cast<int32_t>(index), kind, 4);
    if (!member) return false;
    const uint16_t owner = VQLoadBE16(*member);
    const VQPoolResult<const uint8_t*> nameAndType =
        reader.entry(VQLoadBE16(*member + 2), kVQConstantNameAndType, 4);
    if (!nameAndType) return false;
    // A member of the class itself is named by its NameAndType alone.
    if (thisClass == 0 || owner != thisClass) {
        const VQPoolResult<const uint8_t*> ownerClass = reader.entry(owner, kVQConstantClass, 2);
        if (!ownerClass || tag(VQLoadBE16(*ownerClass)) != kVQConstantUtf8 ||
            !appendName(VQLoadBE16(*ownerClass), out))
            return false;
        out += '.';
    }
    return appendNameAndType(VQLoadBE16(*nameAndType), VQLoadBE16(*nameAndType + 2), out);
}

void VQAppendJavapCheckedName(std::string_view utf8, std::string& out) {
    if (utf8.empty()) {
        out += "\"\"";
        return;
    }
    const auto* p = reinterpret_cast<const uint8_t*>(utf8.data());
    const uint8_t* end = p + utf8.size();
    uint32_t previous = '/';
    bool plain = true;
#if defined(__SSE2__)
    // Sixteen bytes at a time while they are all name characters with a start after
    // each '/'; the block where that fails is read again below, one by one.
    {
        auto within = [](__m128i v, char low, char high) {
            const __m128i shifted = _mm_sub_epi8(v, _mm_set1_epi8(low));
            const __m128i span = _mm_set1_epi8(static_cast<char>(high - low));
            return _mm_cmpeq_epi8(_mm_min_epu8(shifted, span), shifted);
        };
        unsigned afterSlash = 1;  // the first character starts a part
        for (; end - p >= 16; p += 16) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
            const __m128i start =
                _mm_or_si128(_mm_or_si128(within(v, 'a', 'z'), within(v, 'A', 'Z')),
                             _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('$')),
                                          _mm_cmpeq_epi8(v, _mm_set1_epi8('_'))));
            const __m128i slash = _mm_cmpeq_epi8(v, _mm_set1_epi8('/'));
            const auto starts = static_cast<unsigned>(_mm_movemask_epi8(start));
            const auto slashes = static_cast<unsigned>(_mm_movemask_epi8(slash));
            const auto parts =
                static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(start, within(v, '0', '9'))));
            const unsigned mustStart = ((slashes << 1) | afterSlash) & 0xFFFF;
            if ((parts | slashes) != 0xFFFF || (mustStart & ~starts) != 0) break;
            afterSlash = slashes >> 15;
            previous = p[15];
        }
    }
#endif
    // ASCII, which nearly every name is, settles by table; the first other byte goes on
    // by decoding.
    for (; p < end && *p < 0x80; ++p) {
        const uint8_t c = *p;
        if (!(kASCIINameClass[c] & (previous == '/' ? kNameStart : kNamePart))) {
            plain = false;
            break;
        }
        previous = c;
    }
    while (plain && p < end) {
        const VQUTF8Step step = VQDecodeUTF8(p, end);
        const uint32_t c = step.value;
        p += step.length;
        if ((previous == '/' && !isIdentifierStart(c)) || (c != '/' && !isIdentifierPart(c))) {
            plain = false;
            break;
        }
        previous = c;
    }
    if (plain) {
        out += utf8;
        return;
    }
    out += '"';
    // Quoted for its characters ("<init>"), most names hold nothing to escape.
    if (utf8.find_first_of("\\\"\n\t") == std::string_view::npos) {
        out += utf8;
        out += '"';
        return;
    }
    for (char c : utf8) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '"':
                out += "\\\"";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                out += c;
        }
    }
    out += '"';
}

void VQAppendJavapStringUnits(std::u16string_view units, std::string& out) {
    for (size_t i = 0; i < units.size(); ++i) {
        const char16_t c = units[i];
        switch (c) {
            case u'\t':
                out += "\\t";
                continue;
            case u'\n':
                out += "\\n";
                continue;
            case u'\r':
                out += "\\r";
                continue;
            case u'\b':
                out += "\\b";
                continue;
            case u'\f':
                out += "\\f";
                continue;
            case u'"':
                out += "\\\"";
                continue;
            case u'\'':
                out += "\\'";
                continue;
            case u'\\':
                out += "\\\\";
                continue;
            default:
                break;
        }
        if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) {
            appendHexUnit(c, out);
        } else if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
                   units[i + 1] <= 0xDFFF) {
            VQAppendUTF8(out, 0x10000 + ((uint32_t{c} - 0xD800) << 10) + (units[i + 1] - 0xDC00));
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            // What javap's UTF-8 output makes of a unit that encodes no character.
            out += '?';
        } else {
            VQAppendUTF8(out, c);
        }
    }
}

}  // namespace ornith
