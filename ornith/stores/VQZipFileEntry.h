#pragma once
// Where one class file lies inside an archive, as the archive's directory recorded it.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace ornith {

class VQZipFileStore;

class VQZipFileEntry {
public:
    // A stored member: its compressed length is its length. The entry owns the name.
    VQZipFileEntry(std::string name, uint32_t locationInZipFile, uint32_t length,
                   int32_t compressionMethod)
        : VQZipFileEntry(std::move(name), locationInZipFile, length, compressionMethod, length) {}
    VQZipFileEntry(std::string name, uint32_t locationInZipFile, uint32_t length,
                   int32_t compressionMethod, uint32_t compressedLength)
        : _ownedName(std::make_shared<const std::string>(std::move(name))),
          _nameBytes(_ownedName->data()),
          _nameLength(_ownedName->size()),
          _location(locationInZipFile),
          _length(length),
          _compressionMethod(compressionMethod),
          _compressedLength(compressedLength) {}

    // The class's bare name (Object for java/lang/Object.class).
    std::string_view name() const noexcept { return {_nameBytes, _nameLength}; }
    // Offset from the start of the archive file of the member's first data byte.
    uint32_t locationInZipFile() const noexcept { return _location; }
    // Uncompressed length.
    uint32_t length() const noexcept { return _length; }
    // 0 stored, 8 deflated.
    int32_t compressionMethod() const noexcept { return _compressionMethod; }
    // Bytes the member occupies in the archive.
    uint32_t compressedLength() const noexcept { return _compressedLength; }

    std::string_view description() const noexcept { return name(); }

private:
    friend class VQZipFileStore;

    // An entry of a store, whose name lies in the store's own name storage: indexing a
    // large archive then costs no allocation per class.
    struct InStore {};
    VQZipFileEntry(InStore, std::string_view name, uint32_t locationInZipFile, uint32_t length,
                   int32_t compressionMethod, uint32_t compressedLength) noexcept
        : _nameBytes(name.data()),
          _nameLength(name.size()),
          _location(locationInZipFile),
          _length(length),
          _compressionMethod(compressionMethod),
          _compressedLength(compressedLength) {}

    // Keeps the name of an entry made on its own alive, at a fixed address; null for
    // entries of a store.
    std::shared_ptr<const std::string> _ownedName;
    const char* _nameBytes;
    size_t _nameLength;
    uint32_t _location;
    uint32_t _length;
    int32_t _compressionMethod;
    uint32_t _compressedLength;
};

}  // namespace ornith
