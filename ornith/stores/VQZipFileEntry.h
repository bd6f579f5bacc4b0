#pragma once
// Where one class file lies inside an archive, as the archive's directory recorded it.

#include <cstdint>
#include <string>

namespace ornith {

class VQZipFileEntry {
public:
    // A stored member: its compressed length is its length.
    VQZipFileEntry(std::string name, uint32_t locationInZipFile, uint32_t length, int32_t compressionMethod)
        : VQZipFileEntry(std::move(name), locationInZipFile, length, compressionMethod, length) {}
    VQZipFileEntry(std::string name, uint32_t locationInZipFile, uint32_t length, int32_t compressionMethod,
                   uint32_t compressedLength)
        : _name(std::move(name)),
          _location(locationInZipFile),
          _length(length),
          _compressionMethod(compressionMethod),
          _compressedLength(compressedLength) {}

    // The class's bare name (Object for java/lang/Object.class).
    const std::string& name() const noexcept { return _name; }
    // Offset from the start of the archive file of the member's first data byte.
    uint32_t locationInZipFile() const noexcept { return _location; }
    // Uncompressed length.
    uint32_t length() const noexcept { return _length; }
    // 0 stored, 8 deflated.
    int32_t compressionMethod() const noexcept { return _compressionMethod; }
    // Bytes the member occupies in the archive.
    uint32_t compressedLength() const noexcept { return _compressedLength; }

    const std::string& description() const noexcept { return _name; }

private:
    std::string _name;
    uint32_t _location;
    uint32_t _length;
    int32_t _compressionMethod;
    uint32_t _compressedLength;
};

}  // namespace ornith
