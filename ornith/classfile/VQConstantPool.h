#pragma once
// The read cursor over class-file bytes and the constant pool decoded from it.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "ornith/base/VQEndian.h"
#include "ornith/classfile/VQModifiedUTF8.h"

namespace ornith {

// A cursor over bytes it does not own. Reads past the end yield -1; there is no error flag.
struct VQByteStream {
    const uint8_t* bytes;
    uint32_t position;
    uint32_t length;
};

// One byte (0 to 255), or -1 at the end with the position left unchanged.
inline int32_t VQReadByte(VQByteStream& stream) {
    if (stream.position < stream.length) return stream.bytes[stream.position++];
    return -1;
}

// Big-endian u2; exactly -1 when any of its bytes lies past the end.
inline int32_t VQReadU2(VQByteStream& stream) {
    if (stream.length - stream.position >= 2 && stream.position <= stream.length) {
        const uint8_t* p = stream.bytes + stream.position;
        stream.position += 2;
        return VQLoadBE16(p);
    }
    stream.position = stream.length;
    return -1;
}

// Big-endian u4 as a signed value; exactly -1 when any of its bytes lies past the end.
inline int32_t VQReadU4(VQByteStream& stream) {
    if (stream.length - stream.position >= 4 && stream.position <= stream.length) {
        const uint8_t* p = stream.bytes + stream.position;
        stream.position += 4;
        return static_cast<int32_t>(VQLoadBE32(p));
    }
    stream.position = stream.length;
    return -1;
}

// Moves the cursor n bytes on, stopping at the end.
inline void VQSkipBytes(VQByteStream& stream, uint32_t n) {
    uint64_t to = uint64_t{stream.position} + n;
    stream.position = to > stream.length ? stream.length : static_cast<uint32_t>(to);
}

// Bytes left before the end.
inline uint32_t VQBytesLeft(const VQByteStream& stream) {
    return stream.position < stream.length ? stream.length - stream.position : 0;
}

// Constant tags the pool knows, including those of later class-file versions.
enum VQConstantTag : int {
    kVQConstantUtf8 = 1,
    kVQConstantUnicode = 2,
    kVQConstantInteger = 3,
    kVQConstantFloat = 4,
    kVQConstantLong = 5,
    kVQConstantDouble = 6,
    kVQConstantClass = 7,
    kVQConstantString = 8,
    kVQConstantFieldref = 9,
    kVQConstantMethodref = 10,
    kVQConstantInterfaceMethodref = 11,
    kVQConstantNameAndType = 12,
    kVQConstantMethodHandle = 15,
    kVQConstantMethodType = 16,
    kVQConstantDynamic = 17,
    kVQConstantInvokeDynamic = 18,
    kVQConstantModule = 19,
    kVQConstantPackage = 20,
};

// The decoded pool: one allocation holding `count` pointers into the class data, entry i
// pointing at the byte after entry i's tag (null for index 0 and for the slot after a
// Long or Double). `end` bounds the class data so that no decoder reads past it.
struct VQConstantPool {
    int32_t count;
    const uint8_t* end;
    const uint8_t** entries;
};

// Reads the pool from the stream's position (the constant_pool_count field) and leaves
// the position after the last entry. Raises VQInvalidArgumentException
// "unknown constant type %d" for a tag it does not know (-1 when the data ends).
// The caller gives the pool back with VQCloseConstantPool.
VQConstantPool* VQOpenConstantPool(VQByteStream& stream);

// The text of the Utf8 (or 16-bit Unicode) entry at the index, decoded into UTF-8.
// Raises VQInvalidArgumentException "bad constant pool index %d" for an index outside
// the pool, an empty slot or an entry of another kind.
std::string VQStringValueAtIndex(const VQConstantPool& pool, int32_t index);

void VQCloseConstantPool(VQConstantPool* pool);

struct VQConstantPoolCloser {
    void operator()(VQConstantPool* pool) const { VQCloseConstantPool(pool); }
};
using VQConstantPoolHandle = std::unique_ptr<VQConstantPool, VQConstantPoolCloser>;

// Checked access for decoders. Each raises "bad constant pool index %d" when the index
// is outside the pool, names an empty slot, or (for the tag-specific ones) an entry of
// another kind, or when the entry's body would run past the class data.
int VQTagAtIndex(const VQConstantPool& pool, int32_t index);
const uint8_t* VQEntryAtIndex(const VQConstantPool& pool, int32_t index, int tag,
                              uint32_t bodyLength);
// The bytes of the Utf8 entry at the index when they are plain ASCII, so that its text is
// the bytes themselves; none for anything else (another kind, a bad index, text that
// needs decoding), which VQStringValueAtIndex then handles or reports.
std::optional<std::string_view> VQPlainTextAtIndex(const VQConstantPool& pool, int32_t index);
// The dotted name of the Class entry at the index (java/lang/Object -> java.lang.Object).
std::string VQClassNameAtIndex(const VQConstantPool& pool, int32_t index);

}  // namespace ornith
