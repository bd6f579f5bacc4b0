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
    VQZipFileEntry(std::string name, uint64_t locationInZipFile, uint64_t length,
                   int32_t compressionMethod)
        : VQZipFileEntry(std::move(name), locationInZipFile, length, compressionMethod, length) {}
    VQZipFileEntry(std::string name, uint64_t locationInZipFile, uint64_t length,
                   int32_t compressionMethod, uint64_t compressedLength)
        : _ownedName(std::make_shared<const std::string>(std::move(name))),
          _nameBytes(_ownedName->data()),
          _nameLength(_ownedName->size()),
          _location(locationInZipFile),
          _length(length),
          _compressedLength(compressedLength),
          _compressionMethod(compressionMethod) {}

    // The class's bare name (Object for java/lang/Object.class).
    std::string_view name() const noexcept { return {_nameBytes, _nameLength}; }
    // Offset from the start of the archive file of the member's first data byte. A store
    // learns it from the member's local header when the member is first read or its
    // entry first asked for; 0 when that header is bad.
    uint64_t locationInZipFile() const noexcept { return _locationKnown ? _location : 0; }
    // Uncompressed length.
    uint64_t length() const noexcept { return _length; }
    // 0 stored, 8 deflated.
    int32_t compressionMethod() const noexcept { return _compressionMethod; }
    // Bytes the member occupies in the archive.
    uint64_t compressedLength() const noexcept { return _compressedLength; }

    std::string_view description() const noexcept { return name(); }

private:
    friend class VQZipFileStore;

    // An entry of a store, whose name lies in the store's own name storage: indexing a
    // large archive then costs no allocation per class. It holds where the member's local
    // header lies until the store reads that header.
    struct AtLocalHeader {};
    VQZipFileEntry(AtLocalHeader, std::string_view name, uint64_t localHeaderOffset,
                   uint64_t length, int32_t compressionMethod, uint64_t compressedLength) noexcept
        : _nameBytes(name.data()),
          _nameLength(name.size()),
          _location(localHeaderOffset),
          _length(length),
          _compressedLength(compressedLength),
          _localHeader(localHeaderOffset),
          _compressionMethod(compressionMethod),
          _locationKnown(false) {}
    static constexpr uint64_t kNoLocalHeader = UINT64_MAX;

    // Keeps the name of an entry made on its own alive, at a fixed address; null for
    // entries of a store.
    std::shared_ptr<const std::string> _ownedName;
    const char* _nameBytes;
    size_t _nameLength;
    // The data's offset once known.
    mutable uint64_t _location;
    uint64_t _length;
    uint64_t _compressedLength;
    // Where the local header lies; kNoLocalHeader for an entry made with its data's offset.
    uint64_t _localHeader = kNoLocalHeader;
    int32_t _compressionMethod;
    mutable bool _locationKnown = true;
};

}  // namespace ornith
