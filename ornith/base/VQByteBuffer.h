#pragma once
// Immutable bytes: the whole content of a class file or of an archive member.
//
// A buffer always owns its bytes. Files are read, never mapped: a library cannot install
// a SIGBUS handler, and a mapped file that another process shrinks kills the host.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <optional>
#include <span>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace ornith {

enum class VQFileStatus : uint8_t;  // VQFile.h

// An allocator whose resize leaves new bytes uninitialised, for buffers that a read or an
// inflate fills whole: zeroing them first cost a tenth of listing a class path of jars.
template <class T>
struct VQUninitialisedAllocator : std::allocator<T> {
    template <class U>
    struct rebind {
        using other = VQUninitialisedAllocator<U>;
    };
    using std::allocator<T>::allocator;
    template <class U>
    void construct(U* at) noexcept(std::is_nothrow_default_constructible_v<U>) {
        ::new (static_cast<void*>(at)) U;
    }
    template <class U, class... Args>
    void construct(U* at, Args&&... args) {
        ::new (static_cast<void*>(at)) U(std::forward<Args>(args)...);
    }
};
// Scratch bytes that are written before they are read.
using VQRawBytes = std::vector<uint8_t, VQUninitialisedAllocator<uint8_t>>;

// A large buffer that lives as long as its owner (an index read whole). From a mebibyte
// up it takes whole huge pages where the system grants them: on a virtual machine,
// first touching each small page of a fresh buffer cost ten times the read that filled
// it. The bytes are uninitialised.
class VQLargeBytes {
public:
    VQLargeBytes() noexcept = default;
    explicit VQLargeBytes(size_t length);  // std::bad_alloc when there is no memory
    ~VQLargeBytes();
    VQLargeBytes(VQLargeBytes&& other) noexcept;
    VQLargeBytes& operator=(VQLargeBytes&& other) noexcept;
    VQLargeBytes(const VQLargeBytes&) = delete;
    VQLargeBytes& operator=(const VQLargeBytes&) = delete;

    uint8_t* data() noexcept { return _bytes; }
    const uint8_t* data() const noexcept { return _bytes; }
    size_t size() const noexcept { return _size; }

private:
    void release() noexcept;
    uint8_t* _bytes = nullptr;
    size_t _size = 0;
    void* _mapping = nullptr;  // when the bytes were mapped, not allocated
    size_t _mappingLength = 0;
};

// Files and members larger than this are refused as unreadable, so that a hostile
// length cannot make the library allocate without bound.
inline constexpr uint64_t kVQMaxDataLength = uint64_t{1} << 30;

class VQByteBuffer {
public:
    // Copies the bytes.
    static std::shared_ptr<const VQByteBuffer> bufferWithBytes(const void* bytes, size_t length);
    static std::shared_ptr<const VQByteBuffer> bufferWithVector(std::vector<uint8_t> bytes);
    // An uninitialised buffer of the given length, filled by the caller before it is shared.
    static std::shared_ptr<VQByteBuffer> bufferWithLength(size_t length);
    // The whole content of a regular file; null when the path names no regular file,
    // cannot be read, or is larger than kVQMaxDataLength (*status, when given, says which).
    static std::shared_ptr<const VQByteBuffer> bufferWithContentsOfFile(
        const std::string& path, VQFileStatus* status = nullptr);

    const uint8_t* bytes() const noexcept { return _bytes.get(); }
    uint8_t* mutableBytes() noexcept { return _bytes.get(); }
    size_t length() const noexcept { return _length; }
    std::span<const uint8_t> span() const noexcept { return {_bytes.get(), _length}; }

    VQByteBuffer(std::unique_ptr<uint8_t[]> bytes, size_t length)
        : _bytes(std::move(bytes)), _length(length) {}

private:
    std::unique_ptr<uint8_t[]> _bytes;
    size_t _length;
};

// True when the path names an existing regular file (symbolic links followed).
bool VQIsRegularFile(const std::string& path);
// True when something exists at the path; *isDirectory tells whether it is a directory.
bool VQFileExists(const std::string& path, bool* isDirectory = nullptr);

}  // namespace ornith
