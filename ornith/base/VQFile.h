#pragma once
// The one place the library opens and reads files.
//
// Only regular files are opened, and never in a way that waits: a FIFO or a device
// named like a class file or an archive is refused, not blocked on. Reads are
// positioned and go into memory the caller owns, and failures come back as a status
// (never through errno), so a decoder above this layer can work on bytes alone.

#include <cstddef>
#include <cstdint>
#include <string>

namespace ornith {

enum class VQFileStatus : uint8_t {
    ok,
    notFound,    // nothing at the path (or a path holding a NUL byte)
    notRegular,  // a directory, FIFO, device or socket
    tooLarge,    // larger than the caller's limit
    unreadable,  // open or read failed (permissions, I/O error)
    shortRead,   // the file ended before the bytes asked for: it shrank, or a length lied
};

// "no such file or directory", "not a regular file", ... for messages.
const char* VQFileStatusText(VQFileStatus status) noexcept;

class VQFile {
public:
    VQFile() = default;
    ~VQFile();
    VQFile(VQFile&& other) noexcept;
    VQFile& operator=(VQFile&& other) noexcept;
    VQFile(const VQFile&) = delete;
    VQFile& operator=(const VQFile&) = delete;

    // Opens a regular file for reading. maxLength bounds the size the file may have when
    // opened (tooLarge beyond it). On failure the result is closed and *status says why.
    static VQFile openRegular(const std::string& path, VQFileStatus* status = nullptr,
                              uint64_t maxLength = UINT64_MAX);

    bool isOpen() const noexcept { return _fd >= 0; }
    explicit operator bool() const noexcept { return isOpen(); }
    // The size when the file was opened; the file may have changed since.
    uint64_t size() const noexcept { return _size; }
    int descriptor() const noexcept { return _fd; }

    // Reads exactly length bytes from offset (retrying short and interrupted reads);
    // shortRead when the file ends first, whatever its size was at open.
    VQFileStatus readAt(uint64_t offset, void* into, size_t length) const noexcept;

    void close() noexcept;

private:
    int _fd = -1;
    uint64_t _size = 0;
};

}  // namespace ornith
