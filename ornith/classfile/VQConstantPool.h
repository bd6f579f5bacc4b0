#pragma once
// The read cursor over class-file bytes and the constant pool decoded from it.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

#include "ornith/base/VQEndian.h"
#include "ornith/base/VQException.h"
#include "ornith/classfile/VQModifiedUTF8.h"

namespace ornith {

class VQParseContext;

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
// Long or Double). `begin` and `end` bound the class data, so that no decoder reads past
// it and a failure can say where in the file it happened. `context` is the parse the
// pool belongs to (null for a pool opened on its own): the decoders of its attributes
// find their scratch there.
struct VQConstantPool {
    int32_t count;
    const uint8_t* end;
    const uint8_t** entries;
    const uint8_t* begin;
    VQParseContext* context;
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

// ---- Failures as values ----------------------------------------------------------------

// Why a pool lookup, or the opening of a pool, failed.
struct VQPoolFailure {
    static constexpr uint32_t kNoOffset = UINT32_MAX;
    VQErrorKind kind = VQErrorKind::badPoolIndex;
    // badPoolIndex: the index looked up; unknownConstant: the tag read.
    int32_t value = 0;
    // Where in the class data decoding stopped; kNoOffset when the failing step cannot
    // know (a lookup knows the index, not where the index was read from).
    uint32_t offset = kNoOffset;
};

// Raises the failure as VQInvalidArgumentException with its kind and its text: "bad
// constant pool index %d", "unknown constant type %d" or "Truncated java .class file".
// The second form gives the offset where the caller read what failed.
[[noreturn]] void VQRaisePoolFailure(const VQPoolFailure& failure);
[[noreturn]] void VQRaisePoolFailure(VQPoolFailure failure, uint32_t offset);

// A value, or the failure that prevented it.
template <class T>
class [[nodiscard]] VQPoolResult {
public:
    VQPoolResult(T value) noexcept(std::is_nothrow_move_constructible_v<T>)  // NOLINT: implicit
        : _value(std::move(value)) {}
    VQPoolResult(VQPoolFailure failure) noexcept  // NOLINT: implicit on purpose
        : _failure(failure), _failed(true) {}

    explicit operator bool() const noexcept { return !_failed; }
    const T& operator*() const noexcept { return _value; }
    T& operator*() noexcept { return _value; }
    const T* operator->() const noexcept { return &_value; }
    const VQPoolFailure& failure() const noexcept { return _failure; }

    // The value, or the failure raised (with the offset, when given, where the caller
    // read the index).
    T orRaise() && {
        if (_failed) VQRaisePoolFailure(_failure);
        return std::move(_value);
    }
    T orRaiseAt(uint32_t offset) && {
        if (_failed) VQRaisePoolFailure(_failure, offset);
        return std::move(_value);
    }

private:
    T _value{};
    VQPoolFailure _failure{};
    bool _failed = false;
};

// Success without a value.
struct VQPoolDone {};
using VQPoolStatus = VQPoolResult<VQPoolDone>;

// The text of a string entry as the pool holds it: modified UTF-8 for Utf8, UTF-16BE for
// the old 16-bit Unicode kind.
struct VQPoolText {
    std::string_view bytes;
    bool utf16 = false;
    // Utf8 and plain ASCII: the bytes are the text itself.
    bool plain() const noexcept {
        return !utf16 && VQIsASCII(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    }
};

// ---- The reader --------------------------------------------------------------------------

// Every lookup by pool index in the class-file layer: the checks an index must pass (in
// the pool, not an empty slot, the kind asked for, a body that lies within the class
// data) are made here once, and a lookup that fails says why instead of raising. The
// raising functions of this header are these plus VQRaisePoolFailure.
class VQPoolReader {
public:
    explicit VQPoolReader(const VQConstantPool& pool) noexcept : _pool(pool) {}

    const VQConstantPool& pool() const noexcept { return _pool; }

    // The tag of the entry at the index.
    VQPoolResult<int> tag(int32_t index) const noexcept {
        if (index <= 0 || index >= _pool.count || _pool.entries[index] == nullptr)
            return bad(index);
        return int{_pool.entries[index][-1]};
    }
    // The body of the entry at the index, when it has the tag and bodyLength bytes.
    VQPoolResult<const uint8_t*> entry(int32_t index, int tag, uint32_t bodyLength) const noexcept {
        if (index <= 0 || index >= _pool.count) return bad(index);
        const uint8_t* body = _pool.entries[index];
        if (!body || body[-1] != tag || static_cast<size_t>(_pool.end - body) < bodyLength)
            return bad(index);
        return body;
    }
    // The text of the Utf8 or Unicode entry at the index, all of it within the data.
    VQPoolResult<VQPoolText> text(int32_t index) const noexcept {
        if (index <= 0 || index >= _pool.count) return bad(index);
        const uint8_t* body = _pool.entries[index];
        if (!body || (body[-1] != kVQConstantUtf8 && body[-1] != kVQConstantUnicode))
            return bad(index);
        const size_t available = static_cast<size_t>(_pool.end - body);
        if (available < 2 || available - 2 < VQLoadBE16(body)) return bad(index);
        return VQPoolText{{reinterpret_cast<const char*>(body + 2), VQLoadBE16(body)},
                          body[-1] == kVQConstantUnicode};
    }
    // The bytes of the Utf8 entry at the index (a Unicode entry fails).
    VQPoolResult<std::string_view> utf8(int32_t index) const noexcept {
        VQPoolResult<VQPoolText> found = text(index);
        if (!found) return found.failure();
        if (found->utf16) return bad(index);
        return found->bytes;
    }
    // The bytes of the Utf8 entry that names the Class entry at the index.
    VQPoolResult<std::string_view> classNameBytes(int32_t index) const noexcept {
        VQPoolResult<const uint8_t*> body = entry(index, kVQConstantClass, 2);
        if (!body) return body.failure();
        return utf8(VQLoadBE16(*body));
    }
    // True when the Utf8 entry at the index is exactly `text` (compared without decoding).
    bool textEquals(int32_t index, std::string_view text) const noexcept {
        VQPoolResult<std::string_view> found = utf8(index);
        return found && *found == text;
    }

    // The text in UTF-8: the class bytes themselves when plain ASCII, else decoded into
    // `scratch` (whose view it then is).
    VQPoolResult<std::string_view> textView(int32_t index, std::string& scratch) const {
        VQPoolResult<VQPoolText> found = text(index);
        if (!found) return found.failure();
        if (found->plain()) return found->bytes;
        decode(*found, scratch);
        return std::string_view(scratch);
    }
    // The text in UTF-8, replacing `out`.
    VQPoolStatus textInto(int32_t index, std::string& out) const;
    // The text as a string of its own.
    VQPoolResult<std::string> string(int32_t index) const;

    // The dotted name of the Class entry at the index (java/lang/Object ->
    // java.lang.Object), made in `out`; a failure of the name's own entry names its index.
    VQPoolResult<std::string_view> dottedClassName(int32_t index, std::string& out) const;
    // The dotted name as a string of its own.
    VQPoolResult<std::string> className(int32_t index) const;
    // Appends the dotted name to `out`. When the name is plain ASCII, `plain` (if given)
    // is set to its bytes in the pool, of which the appended text is the '.' form byte
    // for byte; else it is set empty. On failure `out` is as it was.
    VQPoolStatus appendDottedClassName(int32_t index, std::string& out,
                                       std::string_view* plain = nullptr) const;

    // The offset in the class data of a byte of it (where an index was read, say), for
    // the failure raised about it; kNoOffset for a byte outside the data.
    uint32_t offsetOf(const uint8_t* at) const noexcept {
        if (!_pool.begin || at < _pool.begin || at > _pool.end) return VQPoolFailure::kNoOffset;
        return static_cast<uint32_t>(at - _pool.begin);
    }

private:
    static VQPoolFailure bad(int32_t index) noexcept {
        return VQPoolFailure{VQErrorKind::badPoolIndex, index, VQPoolFailure::kNoOffset};
    }
    static void decode(const VQPoolText& text, std::string& out);

    const VQConstantPool& _pool;
};

// The raising forms, for decoders that fail the parse. Each raises "bad constant pool
// index %d" when the index is outside the pool, names an empty slot, or (for the
// tag-specific ones) an entry of another kind, or when the entry's body would run past
// the class data.
inline int VQTagAtIndex(const VQConstantPool& pool, int32_t index) {
    return VQPoolReader(pool).tag(index).orRaise();
}
inline const uint8_t* VQEntryAtIndex(const VQConstantPool& pool, int32_t index, int tag,
                                     uint32_t bodyLength) {
    return VQPoolReader(pool).entry(index, tag, bodyLength).orRaise();
}
// The bytes of the Utf8 entry at the index when they are plain ASCII, so that its text is
// the bytes themselves; none for anything else (another kind, a bad index, text that
// needs decoding), which VQStringValueAtIndex then handles or reports.
std::optional<std::string_view> VQPlainTextAtIndex(const VQConstantPool& pool, int32_t index);
// The dotted name of the Class entry at the index (java/lang/Object -> java.lang.Object).
std::string VQClassNameAtIndex(const VQConstantPool& pool, int32_t index);

namespace parsing {

// VQOpenConstantPool with its failure as a value: unknownConstant with the tag read, or
// truncatedClassFile where the data ends inside the count or before an entry is
// complete, each with the offset where it happened. A context lends the block it kept
// from its last pool and ties the pool to itself; without one the pool has a block of
// its own. The pool is given back with VQCloseConstantPool either way.
VQPoolResult<VQConstantPool*> openConstantPool(VQByteStream& stream, VQParseContext* context);

}  // namespace parsing

}  // namespace ornith
