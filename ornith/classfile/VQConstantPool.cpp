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
#include "ornith/classfile/VQPathUtilities.h"

namespace ornith {

namespace {

[[noreturn]] void badIndex(int32_t index) {
    throw VQInvalidArgumentException(VQFormat("bad constant pool index %d", index),
                                     VQErrorKind::badPoolIndex);
}

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

// How one entry is stepped over in the walk's fast loop: the body is `fixed` bytes plus,
// for the two string kinds, the u2 count that starts it (masked in, so that choosing
// costs no branch: tags come in no predictable order). `extraSlot` is 1 for the kinds
// that take two indexes. fixed == 0 marks a tag the pool does not know.
struct Step {
    uint8_t fixed;
    uint8_t extraSlot;
    uint16_t countMask;
};
constexpr auto kStep = [] {
    std::array<Step, 256> step{};
    for (size_t tag = 0; tag < 256; ++tag) {
        const int size = kBodySize[tag];
        if (size == kCounted)
            step[tag] = Step{2, 0, 0xFFFF};
        else
            step[tag] =
                Step{static_cast<uint8_t>(size), static_cast<uint8_t>(size == 8 ? 1 : 0), 0};
    }
    return step;
}();

// How far ahead of the walk the class data is prefetched.
constexpr ptrdiff_t kPrefetchAhead = 512;

// The pool's block with its capacity in front, so that a closed pool can be kept for the
// next one on the same thread: a parse opens one pool per class file, and most pools fit
// in the block the previous one used.
struct PoolBlock {
    size_t slots;
    VQConstantPool pool;
};

constexpr size_t kMinimumSlots = 1024;       // the pools of nearly all real classes fit
constexpr size_t kLargestKeptSlots = 16384;  // a larger block (over 128 KB) is given back, not kept

struct KeptBlock {
    PoolBlock* block = nullptr;
    ~KeptBlock() { std::free(block); }
};
thread_local KeptBlock keptBlock;

PoolBlock* blockFromPool(VQConstantPool* pool) {
    return reinterpret_cast<PoolBlock*>(reinterpret_cast<char*>(pool) - offsetof(PoolBlock, pool));
}

}  // namespace

VQConstantPool* VQOpenConstantPool(VQByteStream& stream) {
    const int32_t count = VQReadU2(stream);
    // The data ended inside the count: the first tag would read as -1 too.
    if (count < 0)
        throw VQInvalidArgumentException("unknown constant type -1", VQErrorKind::unknownConstant);

    // One slot more than the count, so that the fast loop may always clear the slot after
    // the entry it records.
    const size_t slots = static_cast<size_t>(count) + 1;
    PoolBlock* block = keptBlock.block;
    keptBlock.block = nullptr;
    if (!block || block->slots < slots) {
        // The kept block is too small: it gives way to a larger one, which is the one kept
        // afterwards, so that a run of large pools does not allocate for each.
        std::free(block);
        const size_t capacity = std::max(slots, kMinimumSlots);
        block = static_cast<PoolBlock*>(
            std::malloc(sizeof(PoolBlock) + capacity * sizeof(const uint8_t*)));
        if (!block) throw std::bad_alloc();
        block->slots = capacity;
    }
    VQConstantPool* pool = &block->pool;
    pool->count = count;
    pool->end = stream.bytes + stream.length;
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
        const Step step = kStep[p[0]];
        if (step.fixed == 0) break;
        const size_t body = step.fixed + (size_t{VQLoadBE16(p + 1)} & step.countMask);
        if (body >= static_cast<size_t>(end - p)) break;
        pool->entries[i] = p + 1;
        pool->entries[i + 1] = nullptr;
        p += 1 + body;
        i += 1 + step.extraSlot;
    }
    for (; i < n; ++i) {
        const int tag = p < end ? *p++ : -1;
        const int size = tag < 0 ? 0 : kBodySize[static_cast<size_t>(tag)];
        if (size == 0) {
            VQCloseConstantPool(pool);
            throw VQInvalidArgumentException(VQFormat("unknown constant type %d", tag),
                                             VQErrorKind::unknownConstant);
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

void VQCloseConstantPool(VQConstantPool* pool) {
    if (!pool) return;
    PoolBlock* block = blockFromPool(pool);
    if (!keptBlock.block && block->slots <= kLargestKeptSlots) {
        keptBlock.block = block;
        return;
    }
    std::free(block);
}

int VQTagAtIndex(const VQConstantPool& pool, int32_t index) {
    if (index <= 0 || index >= pool.count || pool.entries[index] == nullptr) badIndex(index);
    return pool.entries[index][-1];
}

const uint8_t* VQEntryAtIndex(const VQConstantPool& pool, int32_t index, int tag,
                              uint32_t bodyLength) {
    if (VQTagAtIndex(pool, index) != tag) badIndex(index);
    const uint8_t* body = pool.entries[index];
    if (static_cast<size_t>(pool.end - body) < bodyLength) badIndex(index);
    return body;
}

namespace {

// The text of the string entry (Utf8 or Unicode) at the index, with its tag and byte
// count; null when the index names no such entry or the text runs past the class data.
const uint8_t* countedText(const VQConstantPool& pool, int32_t index, int& tag, size_t& length) {
    if (index <= 0 || index >= pool.count || pool.entries[index] == nullptr) return nullptr;
    const uint8_t* body = pool.entries[index];
    tag = body[-1];
    if (tag != kVQConstantUtf8 && tag != kVQConstantUnicode) return nullptr;
    const size_t available = static_cast<size_t>(pool.end - body);
    if (available < 2) return nullptr;
    length = VQLoadBE16(body);
    if (available - 2 < length) return nullptr;
    return body + 2;
}

}  // namespace

std::string VQStringValueAtIndex(const VQConstantPool& pool, int32_t index) {
    int tag = 0;
    size_t n = 0;
    const uint8_t* text = countedText(pool, index, tag, n);
    if (!text) badIndex(index);

    if (tag == kVQConstantUtf8) {
        // Names and descriptors are nearly always plain ASCII, whose modified UTF-8 is the
        // text itself: one copy, no decoding.
        if (VQIsASCII(text, n)) return std::string(reinterpret_cast<const char*>(text), n);
        std::string out;
        out.reserve(n);
        VQAppendModifiedUTF8(out, text, n);
        return out;
    }
    std::string out;
    out.reserve(n + n / 2);
    VQAppendUTF16BE(out, text, n);
    return out;
}

std::optional<std::string_view> VQPlainTextAtIndex(const VQConstantPool& pool, int32_t index) {
    int tag = 0;
    size_t n = 0;
    const uint8_t* text = countedText(pool, index, tag, n);
    if (!text || tag != kVQConstantUtf8 || !VQIsASCII(text, n)) return std::nullopt;
    return std::string_view(reinterpret_cast<const char*>(text), n);
}

std::string VQClassNameAtIndex(const VQConstantPool& pool, int32_t index) {
    const uint8_t* body = VQEntryAtIndex(pool, index, kVQConstantClass, 2);
    // Converted in place: a second string per name would cost an allocation.
    std::string name = VQStringValueAtIndex(pool, VQLoadBE16(body));
    convertPathToJavaIdentifierInPlace(name);
    return name;
}

}  // namespace ornith
