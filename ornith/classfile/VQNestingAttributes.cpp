#include "ornith/classfile/VQNestingAttributes.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "ornith/base/VQEndian.h"
#include "ornith/classfile/VQAttributeReading.h"

namespace ornith {

namespace {

const std::string kInnerClasses = "InnerClasses";
const std::string kEnclosingMethod = "EnclosingMethod";
const std::string kNestHost = "NestHost";
const std::string kNestMembers = "NestMembers";
const std::string kPermittedSubclasses = "PermittedSubclasses";

// A name decoded on its way into a block: one buffer per thread, so that no decode
// allocates once the buffer has grown to the longest name met.
std::string& scratch() {
    thread_local std::string text;
    return text;
}

// The byte length of the name of the Class entry at the index (0 when there is none):
// enough to reserve a block before the names are decoded into it.
size_t classNameLength(const VQConstantPool& pool, uint32_t index) {
    const uint8_t* body = parsing::poolEntryAt(pool, index, kVQConstantClass, 2);
    if (!body) return 0;
    const uint8_t* text = parsing::poolEntryAt(pool, VQLoadBE16(body), kVQConstantUtf8, 2);
    return text ? VQLoadBE16(text) : 0;
}

}  // namespace

VQNameBlock::Range VQNameBlock::add(std::string_view text) {
    const Range range{static_cast<uint32_t>(_text.size()), static_cast<uint32_t>(text.size())};
    _text.append(text);
    return range;
}

// ---- InnerClasses ---------------------------------------------------------------------

VQJavaInnerClassesAttribute::VQJavaInnerClassesAttribute(const std::string&, VQByteStream& stream,
                                                         const VQConstantPool& pool) {
    VQByteCursor in = parsing::attributeCursor(stream);
    uint16_t count = 0;
    // Eight bytes per row and nothing after them: the count is checked before any room
    // is made for it.
    if (!in.be16(count) || in.remaining() != size_t{count} * 8) {
        _malformed = true;
        return;
    }
    // Rows and names are gathered in buffers of the thread, then copied into one block
    // of exactly their size.
    thread_local std::vector<Row> rows;
    thread_local VQNameBlock names;
    rows.clear();
    names.clear();
    std::string& text = scratch();
    for (size_t i = 0; i < count; ++i) {
        uint16_t inner = 0, outer = 0, simple = 0, flags = 0;
        in.be16(inner), in.be16(outer), in.be16(simple), in.be16(flags);
        Row row{};
        row.flags = flags;
        std::string& block = names.storage();
        const auto innerStart = static_cast<uint32_t>(block.size());
        std::string_view rawInner;
        if (!parsing::appendDottedClassName(pool, inner, block, &rawInner)) break;
        row.inner = {innerStart, static_cast<uint32_t>(block.size() - innerStart)};
        // javac names a member class Outer$Simple: the outer name and the simple name are
        // then the two ends of the inner name, and take no room of their own. Both are
        // compared with the inner name as the pool holds it, so that the usual case
        // decodes and copies nothing.
        if (outer != 0) {
            const std::optional<std::string_view> raw = parsing::poolRawClassNameAt(pool, outer);
            if (!rawInner.empty() && raw && !raw->empty() && rawInner.starts_with(*raw) &&
                raw->back() != '/' && raw->back() != '\\') {
                row.outer = {row.inner.offset, static_cast<uint32_t>(raw->size())};
            } else {
                if (!parsing::poolClassNameAt(pool, outer, text)) break;
                const std::string_view innerName = *names.text(row.inner);
                row.outer =
                    innerName.starts_with(text)
                        ? VQNameBlock::Range{row.inner.offset, static_cast<uint32_t>(text.size())}
                        : names.add(text);
            }
        }
        if (simple != 0) {
            const std::optional<std::string_view> raw = parsing::poolRawTextAt(pool, simple);
            if (!rawInner.empty() && raw && rawInner.ends_with(*raw) &&
                std::none_of(raw->begin(), raw->end(),
                             [](char c) { return c == '/' || c == '\\'; })) {
                row.simple = {
                    row.inner.offset + row.inner.length - static_cast<uint32_t>(raw->size()),
                    static_cast<uint32_t>(raw->size())};
            } else {
                if (!parsing::poolTextAt(pool, simple, text)) break;
                const std::string_view innerName = *names.text(row.inner);
                if (innerName.ends_with(text))
                    row.simple = {
                        row.inner.offset + static_cast<uint32_t>(innerName.size() - text.size()),
                        static_cast<uint32_t>(text.size())};
                else
                    row.simple = names.add(text);
            }
        }
        rows.push_back(row);
    }
    if (rows.size() != count) {
        _malformed = true;
        return;
    }
    const std::string& allText = names.storage();
    const size_t rowBytes = rows.size() * sizeof(Row);
    _data = std::make_unique_for_overwrite<uint8_t[]>(rowBytes + allText.size());
    if (rowBytes) std::memcpy(_data.get(), rows.data(), rowBytes);
    if (!allText.empty()) std::memcpy(_data.get() + rowBytes, allText.data(), allText.size());
    _count = count;
    _textLength = static_cast<uint32_t>(allText.size());
}

const std::string& VQJavaInnerClassesAttribute::typeName() const {
    return kInnerClasses;
}

VQJavaInnerClassesAttribute::Row VQJavaInnerClassesAttribute::rowAt(size_t index) const noexcept {
    Row row;
    std::memcpy(&row, _data.get() + index * sizeof(Row), sizeof(Row));
    return row;
}

std::string_view VQJavaInnerClassesAttribute::textOf(VQNameBlock::Range range) const noexcept {
    const char* text = reinterpret_cast<const char*>(_data.get() + _count * sizeof(Row));
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
    _malformed = !in.be16(classIndex) || !in.be16(methodIndex) || !in.atEnd() ||
                 !parsing::poolClassNameAt(pool, classIndex, _className);
    if (!_malformed && methodIndex != 0) {
        const uint8_t* nameAndType =
            parsing::poolEntryAt(pool, methodIndex, kVQConstantNameAndType, 4);
        std::string name, descriptor;
        if (nameAndType && parsing::poolTextAt(pool, VQLoadBE16(nameAndType), name) &&
            parsing::poolTextAt(pool, VQLoadBE16(nameAndType + 2), descriptor)) {
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
    _malformed =
        !in.be16(index) || !in.atEnd() || !parsing::poolClassNameAt(pool, index, _hostClassName);
    if (_malformed) _hostClassName.clear();
}

std::shared_ptr<const VQJavaAttribute> VQJavaNestHostAttribute::attributeWithData(
    const std::string& name, VQByteStream& stream, const VQConstantPool& pool) {
    thread_local std::shared_ptr<const VQJavaNestHostAttribute> last;
    VQByteCursor in = parsing::attributeCursor(stream);
    uint16_t index = 0;
    std::string& text = scratch();
    if (last && in.be16(index) && in.atEnd() && parsing::poolClassNameAt(pool, index, text) &&
        text == last->hostClassName())
        return last;
    auto made = std::make_shared<const VQJavaNestHostAttribute>(name, stream, pool);
    if (!made->isMalformed()) last = made;
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
    size_t textBytes = 0;
    for (size_t i = 0; i < count; ++i)
        textBytes += classNameLength(pool, VQLoadBE16(in.current() + i * 2));
    _names.storage().reserve(textBytes);
    _classes.reserve(count);
    std::string& block = _names.storage();
    for (size_t i = 0; i < count; ++i) {
        uint16_t index = 0;
        in.be16(index);
        const auto start = static_cast<uint32_t>(block.size());
        if (!parsing::appendDottedClassName(pool, index, block)) {
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
