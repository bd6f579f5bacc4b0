#include "ornith/classfile/VQConstantPool.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <new>

#include "ornith/base/VQException.h"
#include "ornith/base/VQFormat.h"
#include "ornith/classfile/VQPathUtilities.h"

namespace ornith {

namespace {

[[noreturn]] void badIndex(int32_t index) {
    throw VQInvalidArgumentException(VQFormat("bad constant pool index %d", index));
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

void appendCodePoint(std::string& out, uint32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        const char s[2] = {static_cast<char>(0xC0 | (c >> 6)),
                           static_cast<char>(0x80 | (c & 0x3F))};
        out.append(s, 2);
    } else if (c < 0x10000) {
        const char s[3] = {static_cast<char>(0xE0 | (c >> 12)),
                           static_cast<char>(0x80 | ((c >> 6) & 0x3F)),
                           static_cast<char>(0x80 | (c & 0x3F))};
        out.append(s, 3);
    } else {
        const char s[4] = {
            static_cast<char>(0xF0 | (c >> 18)), static_cast<char>(0x80 | ((c >> 12) & 0x3F)),
            static_cast<char>(0x80 | ((c >> 6) & 0x3F)), static_cast<char>(0x80 | (c & 0x3F))};
        out.append(s, 4);
    }
}

constexpr uint32_t kReplacement = 0xFFFD;

inline bool isContinuation(uint8_t b) {
    return (b & 0xC0) == 0x80;
}

// Length of the longest run of ASCII bytes at the start.
size_t asciiPrefix(const uint8_t* bytes, size_t length) {
    size_t i = 0;
    for (; i + 8 <= length; i += 8) {
        uint64_t word;
        std::memcpy(&word, bytes + i, 8);
        if (word & 0x8080808080808080ull) break;
    }
    while (i < length && bytes[i] < 0x80) ++i;
    return i;
}

// True when no byte has its top bit set. Branch-light for the short texts of names and
// descriptors: whole words, the last one overlapping, and single bytes only below 8.
inline bool isAscii(const uint8_t* bytes, size_t length) {
    uint64_t seen = 0;
    if (length >= 8) {
        uint64_t word;
        for (size_t i = 0; i + 8 < length; i += 8) {
            std::memcpy(&word, bytes + i, 8);
            seen |= word;
        }
        std::memcpy(&word, bytes + length - 8, 8);
        seen |= word;
    } else {
        for (size_t i = 0; i < length; ++i) seen |= bytes[i];
    }
    return (seen & 0x8080808080808080ull) == 0;
}

// A three-byte surrogate sequence ED A0..BF 80..BF at p (with at least 3 bytes left);
// returns the surrogate, or 0 when there is none.
inline uint32_t surrogateAt(const uint8_t* p, size_t left) {
    if (left >= 3 && p[0] == 0xED && p[1] >= 0xA0 && p[1] <= 0xBF && isContinuation(p[2]))
        return 0xD000u | (uint32_t{p[1] & 0x3Fu} << 6) | (p[2] & 0x3Fu);
    return 0;
}

}  // namespace

namespace {

// Length of the longest run at the start that is its own UTF-8: ASCII and every well-formed
// sequence of standard UTF-8 except the surrogates (ED A0..BF), which the class-file form
// writes one by one. C0 80 and anything ill-formed end the run.
size_t verbatimPrefix(const uint8_t* bytes, size_t length) {
    size_t i = 0;
    while (i < length) {
        const uint8_t b = bytes[i];
        if (b < 0x80) {
            i += asciiPrefix(bytes + i, length - i);
            continue;
        }
        const size_t left = length - i;
        const uint8_t* p = bytes + i;
        if (b >= 0xC2 && b <= 0xDF) {
            if (left < 2 || !isContinuation(p[1])) break;
            i += 2;
        } else if (b >= 0xE0 && b <= 0xEF) {
            const uint8_t lo = b == 0xE0 ? 0xA0 : 0x80;
            const uint8_t hi = b == 0xED ? 0x9F : 0xBF;
            if (left < 3 || p[1] < lo || p[1] > hi || !isContinuation(p[2])) break;
            i += 3;
        } else if (b >= 0xF0 && b <= 0xF4) {
            const uint8_t lo = b == 0xF0 ? 0x90 : 0x80;
            const uint8_t hi = b == 0xF4 ? 0x8F : 0xBF;
            if (left < 4 || p[1] < lo || p[1] > hi || !isContinuation(p[2]) ||
                !isContinuation(p[3]))
                break;
            i += 4;
        } else {
            break;
        }
    }
    return i;
}

}  // namespace

void VQAppendModifiedUTF8(std::string& out, const uint8_t* bytes, size_t length) {
    size_t i = 0;
    while (i < length) {
        // Text that is already standard UTF-8 is copied in runs; only what differs from it
        // (U+0000, surrogates, ill-formed bytes) is decoded below, one character at a time.
        if (size_t run = verbatimPrefix(bytes + i, length - i)) {
            out.append(reinterpret_cast<const char*>(bytes + i), run);
            i += run;
            if (i == length) break;
        }
        const uint8_t b = bytes[i];
        const size_t left = length - i;
        // The class-file form of U+0000.
        if (b == 0xC0 && left >= 2 && bytes[i + 1] == 0x80) {
            out.push_back('\0');
            i += 2;
            continue;
        }
        // Surrogates written one by one as three-byte sequences: a high one followed by a
        // low one is a single supplementary character; any other is a lone surrogate.
        if (uint32_t high = surrogateAt(bytes + i, left)) {
            if (high <= 0xDBFF) {
                if (uint32_t low = surrogateAt(bytes + i + 3, left - 3); low >= 0xDC00) {
                    appendCodePoint(out, 0x10000 + ((high - 0xD800) << 10) + (low - 0xDC00));
                    i += 6;
                    continue;
                }
            }
            appendCodePoint(out, kReplacement);
            i += 3;
            continue;
        }
        // Standard UTF-8 (Unicode table 3-7). `need` continuation bytes follow the lead; the
        // first of them has its own range. An ill-formed sequence yields one replacement per
        // maximal subpart: the lead plus the continuation bytes that were valid so far.
        int need;
        uint8_t lo = 0x80, hi = 0xBF;
        uint32_t c;
        if (b >= 0xC2 && b <= 0xDF) {
            need = 1, c = b & 0x1F;
        } else if (b >= 0xE0 && b <= 0xEF) {
            need = 2, c = b & 0x0F;
            if (b == 0xE0) lo = 0xA0;
            // ED A0..BF is a surrogate, taken above when complete; an incomplete one is one
            // ill-formed subpart like any other prefix of a three-byte sequence.
        } else if (b >= 0xF0 && b <= 0xF4) {
            need = 3, c = b & 0x07;
            if (b == 0xF0) lo = 0x90;
            if (b == 0xF4) hi = 0x8F;
        } else {
            appendCodePoint(out, kReplacement);
            ++i;
            continue;
        }
        size_t j = i + 1;
        int got = 0;
        for (; got < need && j < length; ++got, ++j) {
            const uint8_t cb = bytes[j];
            const uint8_t l = got == 0 ? lo : 0x80;
            const uint8_t h = got == 0 ? hi : 0xBF;
            if (cb < l || cb > h) break;
            c = (c << 6) | (cb & 0x3F);
        }
        appendCodePoint(out, got == need ? c : kReplacement);
        i = j;
    }
}

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
    if (count < 0) throw VQInvalidArgumentException("unknown constant type -1");

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
        const size_t body = step.fixed + (((size_t{p[1]} << 8) | p[2]) & step.countMask);
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
            throw VQInvalidArgumentException(VQFormat("unknown constant type %d", tag));
        }
        pool->entries[i] = p;
        const size_t left = static_cast<size_t>(end - p);
        size_t body = static_cast<size_t>(size);
        // A byte count cut short by the end leaves the cursor at the end, as a count that
        // runs past the end does.
        if (size == kCounted) body = left < 2 ? left : 2 + ((size_t{p[0]} << 8) | p[1]);
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
    length = (size_t{body[0]} << 8) | body[1];
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
        if (isAscii(text, n)) return std::string(reinterpret_cast<const char*>(text), n);
        std::string out;
        out.reserve(n);
        VQAppendModifiedUTF8(out, text, n);
        return out;
    }
    std::string out;
    // 16-bit units, big-endian like every other number in the file. A lone surrogate or
    // an odd trailing byte becomes U+FFFD.
    out.reserve(n + n / 2);
    for (size_t k = 0; k < n; k += 2) {
        if (k + 1 == n) {
            appendCodePoint(out, kReplacement);
            break;
        }
        uint32_t unit = (uint32_t{text[k]} << 8) | text[k + 1];
        if (unit >= 0xD800 && unit <= 0xDBFF && k + 3 < n) {
            uint32_t low = (uint32_t{text[k + 2]} << 8) | text[k + 3];
            if (low >= 0xDC00 && low <= 0xDFFF) {
                appendCodePoint(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
                k += 2;
                continue;
            }
        }
        appendCodePoint(out, unit >= 0xD800 && unit <= 0xDFFF ? kReplacement : unit);
    }
    return out;
}

std::optional<std::string_view> VQPlainTextAtIndex(const VQConstantPool& pool, int32_t index) {
    int tag = 0;
    size_t n = 0;
    const uint8_t* text = countedText(pool, index, tag, n);
    if (!text || tag != kVQConstantUtf8 || !isAscii(text, n)) return std::nullopt;
    return std::string_view(reinterpret_cast<const char*>(text), n);
}

std::string VQClassNameAtIndex(const VQConstantPool& pool, int32_t index) {
    const uint8_t* body = VQEntryAtIndex(pool, index, kVQConstantClass, 2);
    // Converted in place: a second string per name would cost an allocation.
    std::string name = VQStringValueAtIndex(pool, (int32_t{body[0]} << 8) | body[1]);
    convertPathToJavaIdentifierInPlace(name);
    return name;
}

}  // namespace ornith
