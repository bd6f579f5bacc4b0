#include "ornith/classfile/VQClassFileParsing.h"

#include <algorithm>

#include "ornith/base/VQFormat.h"
#include "ornith/classfile/VQPathUtilities.h"

namespace ornith::parsing {

void throwTruncated() {
    throw VQInvalidArgumentException("Truncated java .class file", VQErrorKind::truncatedClassFile);
}

namespace {

uint32_t readU4(VQByteStream& stream) {
    if (VQBytesLeft(stream) < 4) throwTruncated();
    return static_cast<uint32_t>(VQReadU4(stream));
}

// How far past the constant pool a parse asks for class data ahead of its walk.
constexpr uint32_t kPrefetchReach = 64 * 1024;

}  // namespace

VQConstantPoolHandle openClassFile(VQByteStream& stream) {
    if (VQReadU4(stream) != static_cast<int32_t>(0xCAFEBABEu))
        throw VQInvalidArgumentException("Not a java .class file", VQErrorKind::notClassFile);
    // minor_version and major_version: every version is accepted.
    VQSkipBytes(stream, 4);
    VQConstantPoolHandle pool(VQOpenConstantPool(stream));
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

std::optional<VQAttributeList> decodeAttributes(VQByteStream& stream, const VQConstantPool& pool,
                                                AttributeNameMemo* memo) {
    VQAttributeList list;
    if (!decodeAttributesInto(stream, pool, memo, list)) return std::nullopt;
    return list;
}

bool decodeAttributesInto(VQByteStream& stream, const VQConstantPool& pool, AttributeNameMemo* memo,
                          VQAttributeList& list) {
    list.clear();
    const uint16_t count = readU2(stream);
    if (count == 0) return false;
    // An attribute record takes at least six bytes; a count beyond that is not reserved for.
    list.reserve(std::min<uint32_t>(count, VQBytesLeft(stream) / 6));
    for (uint32_t i = 0; i < count; ++i) {
        const int32_t nameIndex = readU2(stream);
        const uint32_t length = readU4(stream);
        if (length > VQBytesLeft(stream)) throwTruncated();
        // The attribute sees exactly its own info bytes, however many it chooses to read.
        VQByteStream info{stream.bytes + stream.position, 0, length};
        list.push_back(attributeAtNameIndex(pool, nameIndex, info, memo));
        VQSkipBytes(stream, length);
    }
    return true;
}

namespace {

thread_local ViewScratch threadScratch;
thread_local bool threadScratchInUse = false;

}  // namespace

ViewScratchLease::ViewScratchLease() : _scratch(&threadScratch), _own(false) {
    if (threadScratchInUse) {
        _scratch = new ViewScratch();
        _own = true;
    }
    threadScratchInUse = true;
}

ViewScratchLease::~ViewScratchLease() {
    if (_own) {
        delete _scratch;
        return;
    }
    // Attribute objects that the builder did not take go now, not with the next parse.
    _scratch->attributes.clear();
    threadScratchInUse = false;
}

std::string_view textAtIndex(const VQConstantPool& pool, int32_t index, std::string& scratch) {
    if (std::optional<std::string_view> plain = VQPlainTextAtIndex(pool, index)) return *plain;
    // Text that needs decoding, or an entry that is not text at all (which raises here).
    scratch = VQStringValueAtIndex(pool, index);
    return scratch;
}

std::string_view classNameAtIndex(const VQConstantPool& pool, int32_t index, std::string& scratch) {
    const uint8_t* body = VQEntryAtIndex(pool, index, kVQConstantClass, 2);
    const int32_t nameIndex = VQLoadBE16(body);
    if (std::optional<std::string_view> plain = VQPlainTextAtIndex(pool, nameIndex))
        scratch.assign(*plain);
    else
        scratch = VQStringValueAtIndex(pool, nameIndex);
    convertPathToJavaIdentifierInPlace(scratch);
    return scratch;
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

bool nameStartsWithAngle(const VQConstantPool& pool, int32_t index) {
    const int tag = VQTagAtIndex(pool, index);
    if (tag != kVQConstantUtf8 && tag != kVQConstantUnicode)
        throw VQInvalidArgumentException(VQFormat("bad constant pool index %d", index),
                                         VQErrorKind::badPoolIndex);
    const uint8_t* body = VQEntryAtIndex(pool, index, tag, 2);
    const uint32_t n = VQLoadBE16(body);
    VQEntryAtIndex(pool, index, tag,
                   n + 2);  // the whole text must be there, as for its string value
    if (tag == kVQConstantUtf8) return n >= 1 && body[2] == '<';
    return n >= 2 && body[2] == 0 && body[3] == '<';
}

}  // namespace ornith::parsing
