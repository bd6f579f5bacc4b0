#include "ornith/classfile/VQNestingAttributes.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "ornith/base/VQEndian.h"
#include "ornith/classfile/VQAttributeReading.h"
#include "ornith/classfile/VQModifiedUTF8.h"
#include "ornith/classfile/VQParseContext.h"
#include "ornith/classfile/VQPathUtilities.h"
#include "ornith/classfile/VQSharedWithTail.h"

namespace ornith {

namespace {

const std::string kInnerClasses = "InnerClasses";
const std::string kEnclosingMethod = "EnclosingMethod";
const std::string kNestHost = "NestHost";
const std::string kNestMembers = "NestMembers";
const std::string kPermittedSubclasses = "PermittedSubclasses";

// The byte length of the name of the Class entry at the index (0 when there is none):
// enough to reserve a block before the names are decoded into it.
size_t classNameLength(const VQPoolReader& reader, uint16_t index) {
    const VQPoolResult<std::string_view> name = reader.classNameBytes(index);
    return name ? name->size() : 0;
}

// The most name text one InnerClasses attribute may hold. Rows are eight bytes and may all
// name the same 64 KiB name, so a small attribute could otherwise ask for gigabytes (and
// offsets past what a row can hold); real ones hold a few kilobytes.
constexpr size_t kMaxNameText = size_t{64} << 20;
constexpr size_t kKeptScratch = size_t{1} << 20;

}  // namespace

VQNameBlock::Range VQNameBlock::add(std::string_view text) {
    const Range range{static_cast<uint32_t>(_text.size()), static_cast<uint32_t>(text.size())};
    _text.append(text);
    return range;
}

// ---- InnerClasses ---------------------------------------------------------------------

// What an attribute decodes to before room is made for it. In the usual attribute every
// name is plain ASCII, and the outer and simple names are the ends of the inner name or
// stand on their own: their bytes are then left where the pool has them until they are
// copied and converted in one pass. Any other attribute is built the general way in the
// parse's buffers. Either way the result is copied into one block of exactly its size.
class VQJavaInnerClassesAttribute::Decoding {
public:
    Decoding(VQByteStream& stream, const VQConstantPool& pool);
    ~Decoding();
    Decoding(const Decoding&) = delete;
    Decoding& operator=(const Decoding&) = delete;

    bool malformed() const noexcept { return _malformed; }
    uint16_t count() const noexcept { return _count; }
    size_t textBytes() const noexcept { return _textBytes; }
    size_t blockBytes() const noexcept { return size_t{_count} * sizeof(Row) + _textBytes; }
    // Writes the rows, then their names, into blockBytes() bytes.
    void fill(uint8_t* block) const;

private:
    // A row's names as the pool holds them.
    struct RawRow {
        std::string_view inner, outer, simple;
        bool hasOuter, outerInInner, hasSimple, simpleInInner;
    };
    // What a decoding works in, kept in the parse's context so that no decode allocates
    // once the buffers have grown to the largest attribute met: the raw rows, or the rows
    // and names of the general way and a name decoded on its way into them.
    struct Scratch {
        std::vector<RawRow> raws;
        std::vector<Row> rows;
        VQNameBlock names;
        std::string text;
    };

    bool decodePlain(const uint8_t* rowBytes, const VQPoolReader& reader);
    void decodeGeneral(VQByteCursor in, const VQPoolReader& reader);

    Scratch _local;  // for a pool opened on its own
    Scratch& _scratch;
    const uint8_t* _rowBytes = nullptr;
    size_t _textBytes = 0;
    uint16_t _count = 0;
    bool _plain = false;
    bool _malformed = false;
};

VQJavaInnerClassesAttribute::Decoding::Decoding(VQByteStream& stream, const VQConstantPool& pool)
    : _scratch(parsing::scratchFor(pool, _local)) {
    const VQPoolReader reader(pool);
    VQByteCursor in = parsing::attributeCursor(stream);
    // Eight bytes per row and nothing after them: the count is checked before any room
    // is made for it.
    if (!in.be16(_count) || in.remaining() != size_t{_count} * 8) {
        _malformed = true;
        _count = 0;
        return;
    }
    _rowBytes = in.current();
    _plain = decodePlain(_rowBytes, reader);
    if (!_plain) decodeGeneral(in, reader);
    // Rows that name the same long names over and over are refused before any room is
    // made for them (the general way stops as soon as its text passes the bound).
    if (_textBytes > kMaxNameText) _malformed = true;
    if (_malformed) _count = 0, _textBytes = 0;
}

bool VQJavaInnerClassesAttribute::Decoding::decodePlain(const uint8_t* rowBytes,
                                                        const VQPoolReader& reader) {
    // A class name that ends in a separator, and a simple name that holds one, convert
    // differently from the rest: the general way then.
    const auto isSeparator = [](char c) { return c == '/' || c == '\\'; };
    const auto plain = [](std::string_view text) {
        return VQIsASCII(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    };
    std::vector<RawRow>& raws = _scratch.raws;
    raws.resize(_count);
    _textBytes = 0;
    for (size_t i = 0; i < _count; ++i) {
        const uint8_t* in = rowBytes + i * 8;
        RawRow& raw = raws[i];
        const VQPoolResult<std::string_view> inner = reader.classNameBytes(VQLoadBE16(in));
        if (!inner || inner->empty() || isSeparator(inner->back()) || !plain(*inner)) return false;
        raw.inner = *inner;
        _textBytes += inner->size();
        raw.hasOuter = VQLoadBE16(in + 2) != 0;
        if (raw.hasOuter) {
            const VQPoolResult<std::string_view> outer = reader.classNameBytes(VQLoadBE16(in + 2));
            if (!outer || outer->empty() || isSeparator(outer->back())) return false;
            raw.outer = *outer;
            // javac names a member class Outer$Simple: the outer name is then the start of
            // the inner one and takes no room of its own.
            raw.outerInInner = inner->starts_with(*outer);
            if (!raw.outerInInner) {
                if (!plain(*outer)) return false;
                _textBytes += outer->size();
            }
        }
        raw.hasSimple = VQLoadBE16(in + 4) != 0;
        if (raw.hasSimple) {
            const VQPoolResult<std::string_view> simple = reader.utf8(VQLoadBE16(in + 4));
            if (!simple || std::any_of(simple->begin(), simple->end(), isSeparator)) return false;
            raw.simple = *simple;
            raw.simpleInInner = inner->ends_with(*simple);
            if (!raw.simpleInInner) {
                if (!plain(*simple)) return false;
                _textBytes += simple->size();
            }
        }
    }
    return true;
}

void VQJavaInnerClassesAttribute::Decoding::decodeGeneral(VQByteCursor in,
                                                          const VQPoolReader& reader) {
    std::vector<Row>& rows = _scratch.rows;
    VQNameBlock& names = _scratch.names;
    rows.clear();
    names.clear();
    std::string& text = _scratch.text;
    for (size_t i = 0; i < _count; ++i) {
        uint16_t inner = 0, outer = 0, simple = 0, flags = 0;
        in.be16(inner), in.be16(outer), in.be16(simple), in.be16(flags);
        Row row{};
        row.flags = flags;
        std::string& block = names.storage();
        const auto innerStart = static_cast<uint32_t>(block.size());
        std::string_view rawInner;
        if (!reader.appendDottedClassName(inner, block, &rawInner)) break;
        row.inner = {innerStart, static_cast<uint32_t>(block.size() - innerStart)};
        // The outer and simple names are compared with the inner name as the pool holds
        // it, so that a name at one of its ends is decoded and copied no more.
        if (outer != 0) {
            const VQPoolResult<std::string_view> raw = reader.classNameBytes(outer);
            if (!rawInner.empty() && raw && !raw->empty() && rawInner.starts_with(*raw) &&
                raw->back() != '/' && raw->back() != '\\') {
                row.outer = {row.inner.offset, static_cast<uint32_t>(raw->size())};
            } else {
                if (!reader.dottedClassName(outer, text)) break;
                const std::string_view innerName = *names.text(row.inner);
                row.outer =
                    innerName.starts_with(text)
                        ? VQNameBlock::Range{row.inner.offset, static_cast<uint32_t>(text.size())}
                        : names.add(text);
            }
        }
        if (simple != 0) {
            const VQPoolResult<std::string_view> raw = reader.utf8(simple);
            if (!rawInner.empty() && raw && rawInner.ends_with(*raw) &&
                std::none_of(raw->begin(), raw->end(),
                             [](char c) { return c == '/' || c == '\\'; })) {
                row.simple = {
                    row.inner.offset + row.inner.length - static_cast<uint32_t>(raw->size()),
                    static_cast<uint32_t>(raw->size())};
            } else {
                if (!reader.textInto(simple, text)) break;
                const std::string_view innerName = *names.text(row.inner);
                if (innerName.ends_with(text))
                    row.simple = {
                        row.inner.offset + static_cast<uint32_t>(innerName.size() - text.size()),
                        static_cast<uint32_t>(text.size())};
                else
                    row.simple = names.add(text);
            }
        }
        if (names.storage().size() > kMaxNameText) break;
        rows.push_back(row);
    }
    _malformed = rows.size() != _count;
    _textBytes = names.storage().size();
}

VQJavaInnerClassesAttribute::Decoding::~Decoding() {
    // The parse's buffers keep what they grew to, but not a hostile attribute's worth.
    if (!_plain && _scratch.names.storage().capacity() > kKeptScratch)
        _scratch.names.storage() = std::string();
}

void VQJavaInnerClassesAttribute::Decoding::fill(uint8_t* block) const {
    const size_t rowBytes = size_t{_count} * sizeof(Row);
    char* const text = reinterpret_cast<char*>(block + rowBytes);
    if (!_plain) {
        if (rowBytes) std::memcpy(block, _scratch.rows.data(), rowBytes);
        if (_textBytes) std::memcpy(text, _scratch.names.storage().data(), _textBytes);
        return;
    }
    const std::vector<RawRow>& raws = _scratch.raws;
    uint32_t used = 0;
    const auto place = [&](std::string_view name) {
        const VQNameBlock::Range range{used, static_cast<uint32_t>(name.size())};
        std::memcpy(text + used, name.data(), name.size());
        used += static_cast<uint32_t>(name.size());
        return range;
    };
    for (size_t i = 0; i < _count; ++i) {
        const RawRow& raw = raws[i];
        Row row{};
        row.flags = VQLoadBE16(_rowBytes + i * 8 + 6);
        row.inner = place(raw.inner);
        if (raw.hasOuter)
            row.outer =
                raw.outerInInner
                    ? VQNameBlock::Range{row.inner.offset, static_cast<uint32_t>(raw.outer.size())}
                    : place(raw.outer);
        if (raw.hasSimple)
            row.simple = raw.simpleInInner
                             ? VQNameBlock::Range{row.inner.offset + row.inner.length -
                                                      static_cast<uint32_t>(raw.simple.size()),
                                                  static_cast<uint32_t>(raw.simple.size())}
                             : place(raw.simple);
        std::memcpy(block + i * sizeof(Row), &row, sizeof(Row));
    }
    // Every name to its dotted form in one pass; simple names hold no separator, so it
    // leaves them as they are.
    convertSeparatorsToDots(text, _textBytes);
}

VQJavaInnerClassesAttribute::VQJavaInnerClassesAttribute(const std::string&, VQByteStream& stream,
                                                         const VQConstantPool& pool) {
    const Decoding decoding(stream, pool);
    _owned = std::make_unique_for_overwrite<uint8_t[]>(decoding.blockBytes());
    adopt(decoding, _owned.get());
}

VQJavaInnerClassesAttribute::VQJavaInnerClassesAttribute(const VQTailRequest& block,
                                                         const Decoding& decoding) {
    adopt(decoding, block.tail);
}

void VQJavaInnerClassesAttribute::adopt(const Decoding& decoding, uint8_t* block) {
    _malformed = decoding.malformed();
    decoding.fill(block);
    _data = block;
    _count = decoding.count();
    _textLength = static_cast<uint32_t>(decoding.textBytes());
}

std::shared_ptr<const VQJavaAttribute> VQJavaInnerClassesAttribute::attributeWithData(
    const std::string&, VQByteStream& stream, const VQConstantPool& pool) {
    const Decoding decoding(stream, pool);
    return VQMakeSharedWithTail<const VQJavaInnerClassesAttribute>(decoding.blockBytes(), decoding);
}

const std::string& VQJavaInnerClassesAttribute::typeName() const {
    return kInnerClasses;
}

VQJavaInnerClassesAttribute::Row VQJavaInnerClassesAttribute::rowAt(size_t index) const noexcept {
    Row row;
    std::memcpy(&row, _data + index * sizeof(Row), sizeof(Row));
    return row;
}

std::string_view VQJavaInnerClassesAttribute::textOf(VQNameBlock::Range range) const noexcept {
    const char* text = reinterpret_cast<const char*>(_data + _count * sizeof(Row));
    return std::string_view(text + range.offset, range.length);
}

VQInnerClassEntry VQJavaInnerClassesAttribute::entryAtIndex(size_t index) const {
    if (index >= _count) throw std::out_of_range("VQJavaInnerClassesAttribute::entryAtIndex");
    const Row row = rowAt(index);
    VQInnerClassEntry entry{textOf(row.inner), std::nullopt, std::nullopt, row.flags};
    if (row.outer.offset != VQNameBlock::kAbsent) entry.outerClassName = textOf(row.outer);
    if (row.simple.offset != VQNameBlock::kAbsent) entry.simpleName = textOf(row.simple);
    return entry;
}

std::optional<VQInnerClassEntry> VQJavaInnerClassesAttribute::entryForClassName(
    std::string_view dottedName) const {
    for (size_t i = 0; i < _count; ++i)
        if (textOf(rowAt(i).inner) == dottedName) return entryAtIndex(i);
    return std::nullopt;
}

// ---- EnclosingMethod -------------------------------------------------------------------

VQJavaEnclosingMethodAttribute::VQJavaEnclosingMethodAttribute(const std::string&,
                                                               VQByteStream& stream,
                                                               const VQConstantPool& pool) {
    VQByteCursor in = parsing::attributeCursor(stream);
    uint16_t classIndex = 0, methodIndex = 0;
    const VQPoolReader reader(pool);
    _malformed = !in.be16(classIndex) || !in.be16(methodIndex) || !in.atEnd() ||
                 !reader.dottedClassName(classIndex, _className);
    if (!_malformed && methodIndex != 0) {
        const VQPoolResult<const uint8_t*> nameAndType =
            reader.entry(methodIndex, kVQConstantNameAndType, 4);
        std::string name, descriptor;
        if (nameAndType && reader.textInto(VQLoadBE16(*nameAndType), name) &&
            reader.textInto(VQLoadBE16(*nameAndType + 2), descriptor)) {
            _methodName = std::move(name);
            _descriptor = std::move(descriptor);
        } else {
            _malformed = true;
        }
    }
    if (_malformed) _className.clear();
}

const std::string& VQJavaEnclosingMethodAttribute::typeName() const {
    return kEnclosingMethod;
}

// ---- NestHost --------------------------------------------------------------------------

VQJavaNestHostAttribute::VQJavaNestHostAttribute(const std::string&, VQByteStream& stream,
                                                 const VQConstantPool& pool) {
    VQByteCursor in = parsing::attributeCursor(stream);
    uint16_t index = 0;
    _malformed = !in.be16(index) || !in.atEnd() ||
                 !VQPoolReader(pool).dottedClassName(index, _hostClassName);
    if (_malformed) _hostClassName.clear();
}

std::shared_ptr<const VQJavaAttribute> VQJavaNestHostAttribute::attributeWithData(
    const std::string& name, VQByteStream& stream, const VQConstantPool& pool) {
    // The classes of one nest, parsed one after another, name the same host: the parse's
    // context keeps the last one made, to be shared while the host stays the same.
    struct Scratch {
        std::shared_ptr<const VQJavaNestHostAttribute> last;
        std::string text;
    };
    Scratch local;
    Scratch& scratch = parsing::scratchFor(pool, local);
    VQByteCursor in = parsing::attributeCursor(stream);
    uint16_t index = 0;
    if (scratch.last && in.be16(index) && in.atEnd() &&
        VQPoolReader(pool).dottedClassName(index, scratch.text) &&
        scratch.text == scratch.last->hostClassName())
        return scratch.last;
    auto made = std::make_shared<const VQJavaNestHostAttribute>(name, stream, pool);
    if (!made->isMalformed()) scratch.last = made;
    return made;
}

const std::string& VQJavaNestHostAttribute::typeName() const {
    return kNestHost;
}

// ---- NestMembers, PermittedSubclasses --------------------------------------------------

VQJavaClassListAttribute::VQJavaClassListAttribute(const std::string& name, VQByteStream& stream,
                                                   const VQConstantPool& pool)
    : _permittedSubclasses(name == kPermittedSubclasses) {
    VQByteCursor in = parsing::attributeCursor(stream);
    uint16_t count = 0;
    if (!in.be16(count) || in.remaining() != size_t{count} * 2) {
        _malformed = true;
        return;
    }
    const VQPoolReader reader(pool);
    size_t textBytes = 0;
    for (size_t i = 0; i < count; ++i)
        textBytes += classNameLength(reader, VQLoadBE16(in.current() + i * 2));
    _names.storage().reserve(textBytes);
    _classes.reserve(count);
    std::string& block = _names.storage();
    for (size_t i = 0; i < count; ++i) {
        uint16_t index = 0;
        in.be16(index);
        const auto start = static_cast<uint32_t>(block.size());
        if (!reader.appendDottedClassName(index, block)) {
            _malformed = true;
            _classes = {};
            _names = {};
            return;
        }
        _classes.push_back({start, static_cast<uint32_t>(block.size() - start)});
    }
}

const std::string& VQJavaClassListAttribute::typeName() const {
    return _permittedSubclasses ? kPermittedSubclasses : kNestMembers;
}

std::string_view VQJavaClassListAttribute::classNameAtIndex(size_t index) const {
    return *_names.text(_classes.at(index));
}

std::vector<std::string> VQJavaClassListAttribute::classNames() const {
    std::vector<std::string> names;
    names.reserve(_classes.size());
    for (const auto& range : _classes) names.emplace_back(*_names.text(range));
    return names;
}

}  // namespace ornith
