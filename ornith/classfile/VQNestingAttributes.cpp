#include "ornith/classfile/VQNestingAttributes.h"

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
    size_t textBytes = 0;
    for (size_t i = 0; i < count; ++i)
        textBytes += classNameLength(pool, VQLoadBE16(in.current() + i * 8));
    _names.storage().reserve(textBytes);
    _entries.reserve(count);

    std::string& text = scratch();
    for (size_t i = 0; i < count; ++i) {
        uint16_t inner = 0, outer = 0, simple = 0, flags = 0;
        in.be16(inner), in.be16(outer), in.be16(simple), in.be16(flags);
        Row row{};
        row.flags = flags;
        if (!parsing::poolClassNameAt(pool, inner, text)) break;
        row.inner = _names.add(text);
        const std::string_view innerName = *_names.text(row.inner);
        // javac names a member class Outer$Simple: the outer name and the simple name are
        // then the two ends of the inner name, and take no room of their own.
        if (outer != 0) {
            if (!parsing::poolClassNameAt(pool, outer, text)) break;
            if (innerName.starts_with(text))
                row.outer = {row.inner.offset, static_cast<uint32_t>(text.size())};
            else
                row.outer = _names.add(text);
        }
        if (simple != 0) {
            if (!parsing::poolTextAt(pool, simple, text)) break;
            const std::string_view name = *_names.text(row.inner);
            if (name.ends_with(text))
                row.simple = {row.inner.offset + static_cast<uint32_t>(name.size() - text.size()),
                              static_cast<uint32_t>(text.size())};
            else
                row.simple = _names.add(text);
        }
        _entries.push_back(row);
    }
    if (_entries.size() != count) {
        _malformed = true;
        _entries = {};
        _names = {};
    }
}

const std::string& VQJavaInnerClassesAttribute::typeName() const {
    return kInnerClasses;
}

VQInnerClassEntry VQJavaInnerClassesAttribute::entryAtIndex(size_t index) const {
    const Row& row = _entries.at(index);
    return {*_names.text(row.inner), _names.text(row.outer), _names.text(row.simple), row.flags};
}

std::optional<VQInnerClassEntry> VQJavaInnerClassesAttribute::entryForClassName(
    std::string_view dottedName) const {
    for (size_t i = 0; i < _entries.size(); ++i)
        if (*_names.text(_entries[i].inner) == dottedName) return entryAtIndex(i);
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
    std::string& text = scratch();
    for (size_t i = 0; i < count; ++i) {
        uint16_t index = 0;
        in.be16(index);
        if (!parsing::poolClassNameAt(pool, index, text)) {
            _malformed = true;
            _classes = {};
            _names = {};
            return;
        }
        _classes.push_back(_names.add(text));
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
