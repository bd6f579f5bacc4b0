#include "ornith/classfile/VQConstantPool.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <new>

#include "ornith/base/VQException.h"
#include "ornith/base/VQFormat.h"
#include "ornith/classfile/VQModifiedUTF8.h"
#include "ornith/classfile/VQParseContext.h"
#include "ornith/classfile/VQPathUtilities.h"

namespace ornith {

namespace {

// Body size by tag: the fixed sizes, kCounted for the two string kinds (a u2 byte count
// and that many bytes), 0 for tags the pool does not know.
constexpr int8_t kCounted = -1;
constexpr auto kBodySize = [] {
    std::array<int8_t, 256> size{};
    size[kVQConstantUtf8] = size[kVQConstantUnicode] = kCounted;
    size[kVQConstantClass] = size[kVQConstantString] = size[kVQConstantMethodType] = 2;
    size[kVQConstantModule] = size[kVQConstantPackage] = 2;
    size[kVQConstantMethodHandle] = 3;
    size[kVQConstantInteger] = size[kVQConstantFloat] = 4;
    size[kVQConstantFieldref] = size[kVQConstantMethodref] = size[kVQConstantInterfaceMethodref] =
        4;
    size[kVQConstantNameAndType] = size[kVQConstantDynamic] = size[kVQConstantInvokeDynamic] = 4;
    size[kVQConstantLong] = size[kVQConstantDouble] =
        8;  // the only kinds of size 8, and they take two indexes
    return size;
}();

}  // namespace

namespace {

// How one entry is stepped over in the walk's fast loop. The loop is a chain (each entry's
// length gives the next one's position), so the fixed body size of a tag comes from a
// shift of a constant rather than a second load: four bits per tag, tags 0-15 in one
// word and 16-31 in the other, 0 for the tags the pool does not know. The two string
// kinds add the u2 count that starts their body (masked in: tags come in no predictable
// order, so choosing must cost no branch); a size of 8 is the two kinds that take two
// indexes.
constexpr uint64_t fixedSizes(size_t firstTag) {
    uint64_t sizes = 0;
    for (size_t tag = firstTag; tag < firstTag + 16; ++tag) {
        const int size = kBodySize[tag];
        sizes |= uint64_t(size == kCounted ? 2 : size) << ((tag - firstTag) * 4);
    }
    return sizes;
}
constexpr uint64_t kFixedSizesLow = fixedSizes(0);
constexpr uint64_t kFixedSizesHigh = fixedSizes(16);
static_assert(kVQConstantUtf8 == 1 && kVQConstantUnicode == 2);

// How far ahead of the walk the class data is prefetched.
constexpr ptrdiff_t kPrefetchAhead = 512;

constexpr size_t kMinimumSlots = 1024;       // the pools of nearly all real classes fit
constexpr size_t kLargestKeptSlots = 16384;  // a larger block (over 128 KB) is given back, not kept

}  // namespace

namespace parsing {

// The pool's block with its capacity in front, so that a closed pool can be kept by its
// context for the next parse: a host parses one class file after another, and most pools
// fit in the block the previous one used.
struct PoolBlock {
    size_t slots;
    VQConstantPool pool;
};

}  // namespace parsing

namespace {

using parsing::PoolBlock;

PoolBlock* blockFromPool(VQConstantPool* pool) {
    return reinterpret_cast<PoolBlock*>(reinterpret_cast<char*>(pool) - offsetof(PoolBlock, pool));
}

VQPoolFailure truncatedAt(const uint8_t* at, const uint8_t* begin) {
    return VQPoolFailure{VQErrorKind::truncatedClassFile, -1, static_cast<uint32_t>(at - begin)};
}

}  // namespace

VQPoolResult<VQConstantPool*> parsing::openConstantPool(VQByteStream& stream,
                                                        VQParseContext* context) {
    const uint8_t* const begin = stream.bytes;
    const uint8_t* const countAt = begin + std::min(stream.position, stream.length);
    const int32_t count = VQReadU2(stream);
    // The data ended inside the count.
    if (count < 0) return truncatedAt(countAt, begin);

    // One slot more than the count, so that the fast loop may always clear the slot after
    // the entry it records.
    const size_t slots = static_cast<size_t>(count) + 1;
    PoolBlock* block = nullptr;
    if (context) std::swap(block, context->keptBlock);
    if (!block || block->slots < slots) {
        // The kept block is too small: it gives way to a larger one, which is the one kept
        // afterwards, so that a run of large pools does not allocate for each.
        std::free(block);
        const size_t capacity = std::max(slots, context ? kMinimumSlots : slots);
        block = static_cast<PoolBlock*>(
            std::malloc(sizeof(PoolBlock) + capacity * sizeof(const uint8_t*)));
        if (!block) throw std::bad_alloc();
        block->slots = capacity;
    }
    VQConstantPool* pool = &block->pool;
    pool->count = count;
    pool->begin = begin;
    pool->end = stream.bytes + stream.length;
    pool->context = context;
    pool->entries =
        reinterpret_cast<const uint8_t**>(reinterpret_cast<char*>(block) + sizeof(PoolBlock));
    pool->entries[0] = nullptr;

    // The walk is the one loop every parse goes through whole, and a chain: each entry's
    // length gives the next one's position. The fast loop keeps that chain to a load of
    // the tag, a load of its step and an add, with the string count read beside it; it
    // hands anything unusual (an unknown tag, an entry running past the end, the last
    // few bytes) to the careful loop below, which picks up at the same entry.
    const uint8_t* p = stream.bytes + stream.position;
    const uint8_t* const end = pool->end;
    const uint32_t n = static_cast<uint32_t>(count);
    uint32_t i = 1;
    while (i < n && end - p >= 3) {
        // Class data read long ago (a set of class files parsed in a row) comes from main
        // memory; asking for the bytes a little ahead overlaps that wait with the walk.
        // Never past the data: a prefetch is only a hint, but the address stays ours.
        __builtin_prefetch(end - p > kPrefetchAhead ? p + kPrefetchAhead : end - 1);
        const uint32_t tag = p[0];
        if (tag >= 32) break;
        const uint64_t sizes = tag < 16 ? kFixedSizesLow : kFixedSizesHigh;
        const uint32_t fixed = static_cast<uint32_t>(sizes >> ((tag & 15) * 4)) & 15;
        if (fixed == 0) break;
        const uint32_t countMask = 0u - static_cast<uint32_t>(tag - 1 < 2);
        const size_t body = fixed + (uint32_t{VQLoadBE16(p + 1)} & countMask);
        if (body >= static_cast<size_t>(end - p)) break;
        pool->entries[i] = p + 1;
        pool->entries[i + 1] = nullptr;
        p += 1 + body;
        i += 1 + (fixed == 8);
    }
    // The careful loop: an entry cut short by the end of the data stops the walk there
    // when another entry is still due; the last one may run to the end, where the class
    // header that follows it is then missing.
    for (; i < n; ++i) {
        if (p >= end) {
            VQCloseConstantPool(pool);
            return truncatedAt(end, begin);
        }
        const uint8_t* const tagAt = p;
        const int tag = *p++;
        const int size = kBodySize[static_cast<size_t>(tag)];
        if (size == 0) {
            VQCloseConstantPool(pool);
            return VQPoolFailure{VQErrorKind::unknownConstant, tag,
                                 static_cast<uint32_t>(tagAt - begin)};
        }
        pool->entries[i] = p;
        const size_t left = static_cast<size_t>(end - p);
        size_t body = static_cast<size_t>(size);
        // A byte count cut short by the end leaves the cursor at the end, as a count that
        // runs past the end does.
        if (size == kCounted) body = left < 2 ? left : 2 + size_t{VQLoadBE16(p)};
        p = body < left ? p + body : end;
        if (size == 8 && ++i < n) pool->entries[i] = nullptr;
    }
    stream.position = static_cast<uint32_t>(p - stream.bytes);
    return pool;
}

VQConstantPool* VQOpenConstantPool(VQByteStream& stream) {
    VQPoolResult<VQConstantPool*> opened = parsing::openConstantPool(stream, nullptr);
    // Data that ends where a tag is due reads as the tag -1.
    if (!opened && opened.failure().kind == VQErrorKind::truncatedClassFile)
        throw VQInvalidArgumentException("unknown constant type -1",
                                         VQErrorKind::truncatedClassFile, opened.failure().offset);
    return std::move(opened).orRaise();
}

void VQCloseConstantPool(VQConstantPool* pool) {
    if (!pool) return;
    PoolBlock* block = blockFromPool(pool);
    VQParseContext* context = pool->context;
    if (context && !context->keptBlock && block->slots <= kLargestKeptSlots) {
        context->keptBlock = block;
        return;
    }
    std::free(block);
}

void parsing::freePoolBlock(PoolBlock* block) noexcept {
    std::free(block);
}

void VQRaisePoolFailure(const VQPoolFailure& failure) {
    const std::optional<uint64_t> offset = failure.offset == VQPoolFailure::kNoOffset
                                               ? std::nullopt
                                               : std::optional<uint64_t>(failure.offset);
    switch (failure.kind) {
        case VQErrorKind::unknownConstant:
            throw VQInvalidArgumentException(VQFormat("unknown constant type %d", failure.value),
                                             failure.kind, offset);
        case VQErrorKind::truncatedClassFile:
            throw VQInvalidArgumentException("Truncated java .class file", failure.kind, offset);
        default:
            throw VQInvalidArgumentException(VQFormat("bad constant pool index %d", failure.value),
                                             failure.kind, offset);
    }
}

void VQRaisePoolFailure(VQPoolFailure failure, uint32_t offset) {
    if (offset != VQPoolFailure::kNoOffset) failure.offset = offset;
    VQRaisePoolFailure(failure);
}

void VQPoolReader::decode(const VQPoolText& text, std::string& out) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.bytes.data());
    const size_t n = text.bytes.size();
    out.clear();
    if (text.utf16) {
        out.reserve(n + n / 2);
        VQAppendUTF16BE(out, bytes, n);
    } else {
        out.reserve(n);
        VQAppendModifiedUTF8(out, bytes, n);
    }
}

VQPoolStatus VQPoolReader::textInto(int32_t index, std::string& out) const {
    VQPoolResult<VQPoolText> found = text(index);
    if (!found) return found.failure();
    // Names and descriptors are nearly always plain ASCII, whose modified UTF-8 is the
    // text itself: one copy, no decoding.
    if (found->plain())
        out.assign(found->bytes);
    else
        decode(*found, out);
    return VQPoolDone{};
}

VQPoolResult<std::string> VQPoolReader::string(int32_t index) const {
    std::string out;
    VQPoolStatus done = textInto(index, out);
    if (!done) return done.failure();
    return out;
}

VQPoolResult<std::string_view> VQPoolReader::dottedClassName(int32_t index,
                                                             std::string& out) const {
    VQPoolResult<const uint8_t*> body = entry(index, kVQConstantClass, 2);
    if (!body) return body.failure();
    VQPoolStatus done = textInto(VQLoadBE16(*body), out);
    if (!done) return done.failure();
    convertPathToJavaIdentifierInPlace(out);
    return std::string_view(out);
}

VQPoolResult<std::string> VQPoolReader::className(int32_t index) const {
    // Converted in place: a second string per name would cost an allocation.
    std::string out;
    VQPoolResult<std::string_view> made = dottedClassName(index, out);
    if (!made) return made.failure();
    return out;
}

VQPoolStatus VQPoolReader::appendDottedClassName(int32_t index, std::string& out,
                                                 std::string_view* plain) const {
    if (plain) *plain = {};
    if (VQPoolResult<std::string_view> raw = classNameBytes(index)) {
        // Copied, converted and checked for plain ASCII in one pass over the bytes (a loop
        // the compiler vectorizes); anything else is taken back and decoded in full below.
        const size_t start = out.size(), n = raw->size();
        out.resize(start + n);
        const auto* from = reinterpret_cast<const unsigned char*>(raw->data());
        auto* to = reinterpret_cast<unsigned char*>(out.data() + start);
        unsigned char seen = 0;
        for (size_t i = 0; i < n; ++i) {
            const unsigned char c = from[i];
            seen |= c;
            to[i] = c == '/' || c == '\\' ? '.' : c;
        }
        // A name that ends in a separator loses it when converted: the full way then.
        if (seen < 0x80 && (n == 0 || to[n - 1] != '.' || from[n - 1] == '.')) {
            if (plain) *plain = *raw;
            return VQPoolDone{};
        }
        out.resize(start);
    }
    VQPoolResult<std::string> decoded = className(index);
    if (!decoded) return decoded.failure();
    out.append(*decoded);
    return VQPoolDone{};
}

std::string VQStringValueAtIndex(const VQConstantPool& pool, int32_t index) {
    return VQPoolReader(pool).string(index).orRaise();
}

std::optional<std::string_view> VQPlainTextAtIndex(const VQConstantPool& pool, int32_t index) {
    const VQPoolResult<VQPoolText> text = VQPoolReader(pool).text(index);
    if (!text || !text->plain()) return std::nullopt;
    return text->bytes;
}

std::string VQClassNameAtIndex(const VQConstantPool& pool, int32_t index) {
    return VQPoolReader(pool).className(index).orRaise();
}

}  // namespace ornith
