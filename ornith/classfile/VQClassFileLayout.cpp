#include "ornith/classfile/VQClassFileLayout.h"

#include <algorithm>

#include "ornith/base/VQByteCursor.h"
#include "ornith/base/VQException.h"

namespace ornith {

namespace {

[[noreturn]] void truncatedAt(size_t offset) {
    throw VQInvalidArgumentException("Truncated java .class file", VQErrorKind::truncatedClassFile,
                                     offset);
}

uint16_t readU2(VQByteCursor& cursor) {
    uint16_t value = 0;
    if (!cursor.be16(value)) truncatedAt(cursor.position());
    return value;
}

// Each record takes at least this many bytes: a count from the file never reserves more
// than the bytes left could hold.
size_t boundedCount(const VQByteCursor& cursor, uint32_t count, size_t recordBytes) {
    return std::min<size_t>(count, cursor.remaining() / recordBytes);
}

}  // namespace

const VQLayoutAttribute* VQLayoutMember::attribute(std::string_view name) const noexcept {
    for (const VQLayoutAttribute& a : attributes)
        if (a.name == name) return &a;
    return nullptr;
}

const VQLayoutAttribute* VQClassFileLayout::attribute(std::string_view name) const noexcept {
    for (const VQLayoutAttribute& a : _classAttributes)
        if (a.name == name) return &a;
    return nullptr;
}

std::unique_ptr<const VQClassFileLayout> VQClassFileLayout::layoutOfClassFile(
    std::span<const uint8_t> classFile, const VQConstantPoolEntries& pool) {
    std::unique_ptr<VQClassFileLayout> layout(new VQClassFileLayout());
    if (classFile.size() < 8) truncatedAt(classFile.size());
    layout->_minor = VQLoadBE16(classFile.data() + 4);
    layout->_major = VQLoadBE16(classFile.data() + 6);

    VQByteCursor cursor(classFile);
    if (!cursor.seek(pool.endOffset())) truncatedAt(classFile.size());
    layout->_access = readU2(cursor);
    layout->_thisClass = readU2(cursor);
    layout->_superClass = readU2(cursor);
    const uint16_t interfaceCount = readU2(cursor);
    layout->_interfaces.reserve(boundedCount(cursor, interfaceCount, 2));
    for (uint32_t i = 0; i < interfaceCount; ++i) layout->_interfaces.push_back(readU2(cursor));

    // Attributes are gathered in one list first and the members' spans made afterwards,
    // when the list no longer moves.
    struct Pending {
        VQLayoutMember member;
        size_t first;
        size_t count;
    };
    std::vector<Pending> fields;
    std::vector<Pending> methods;
    auto readAttributes = [&](size_t& first, size_t& count) {
        const uint16_t n = readU2(cursor);
        first = layout->_allAttributes.size();
        count = n;
        for (uint32_t i = 0; i < n; ++i) {
            VQLayoutAttribute attribute{};
            attribute.offset = static_cast<uint32_t>(cursor.position());
            attribute.nameIndex = readU2(cursor);
            uint32_t length = 0;
            if (!cursor.be32(length)) truncatedAt(cursor.position());
            const size_t infoAt = cursor.position();
            attribute.info = cursor.bytes(length);
            if (!cursor.ok()) truncatedAt(infoAt);
            attribute.name = pool.modifiedUTF8(attribute.nameIndex);
            layout->_allAttributes.push_back(attribute);
        }
    };
    auto readMembers = [&](std::vector<Pending>& into) {
        const uint16_t n = readU2(cursor);
        into.reserve(boundedCount(cursor, n, 8));
        for (uint32_t i = 0; i < n; ++i) {
            Pending pending{};
            pending.member.offset = static_cast<uint32_t>(cursor.position());
            pending.member.accessFlags = readU2(cursor);
            pending.member.nameIndex = readU2(cursor);
            pending.member.descriptorIndex = readU2(cursor);
            readAttributes(pending.first, pending.count);
            into.push_back(pending);
        }
    };
    readMembers(fields);
    readMembers(methods);
    size_t classFirst = 0;
    size_t classCount = 0;
    readAttributes(classFirst, classCount);

    const std::span<const VQLayoutAttribute> all(layout->_allAttributes);
    auto finish = [&](std::vector<Pending>& pending, std::vector<VQLayoutMember>& into) {
        into.reserve(pending.size());
        for (Pending& p : pending) {
            p.member.attributes = all.subspan(p.first, p.count);
            into.push_back(p.member);
        }
    };
    finish(fields, layout->_fields);
    finish(methods, layout->_methods);
    layout->_classAttributes = all.subspan(classFirst, classCount);
    return layout;
}

}  // namespace ornith
