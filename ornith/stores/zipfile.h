#pragma once
// A small reader for zip archives: a walk over the central directory that reports every
// member to a registered callback, and a reader for one member's bytes (stored or
// deflated). No archive stays open between calls.
//
// Beyond the plain format the reader copes with what real archives carry: an archive
// comment after the end record, bytes before the archive (executable jars, .jmod files),
// local extra fields that differ from the central ones, data descriptors.

#include <cstdint>
#include <memory>
#include <string>

#include "ornith/base/VQByteBuffer.h"

namespace ornith {

// Called once per member, in central-directory order.
//   name             the member's name as stored, NUL-terminated, valid only during the call
//   location         offset from the start of the file of the member's first data byte
//   length           uncompressed size, from the central directory
//   compressionMethod  0 stored, 8 deflated, anything else as recorded
//   compressedLength compressed size, from the central directory
//   context          the registered context
using VQZipArchiveCallback = void (*)(const char* name, uint32_t location, uint32_t length,
                                      int32_t compressionMethod, uint32_t compressedLength,
                                      void* context);

// Replaces the process-wide callback and context (null, null clears them). Not
// synchronised: a caller registers, walks and clears on one thread.
void _VQ_register_zip_archive_callback(VQZipArchiveCallback callback, void* context);

// Walks the archive's central directory, calling the registered callback per member.
// 0: every member walked. -1: the file cannot be opened or is not a regular file; it is
// 22 bytes or shorter; no end record is found; the entry count cannot fit the directory;
// a record or its name runs past the directory; a local header lacks its signature; a
// member's data runs past the end of the file. -2: the directory would start before the
// file; a local header lies (partly) outside the file. Members reported before a failure
// stay reported. Never raises on its own (a callback may).
int _VQ_read_zip_archive(const std::string& path);

// The same walk, reporting to the given callback and context instead of the registered
// pair (which it neither reads nor changes). Safe while another thread constructs a store.
int _VQ_walk_zip_archive(const std::string& path, VQZipArchiveCallback callback, void* context);

// The member's bytes: exactly `length` of them. Method 0 is read as it lies; method 8 is
// inflated from `compressedLength` bytes. Raises VQInvalidArgumentException:
//   "Unsupported compression type %d in zip file %s"   other methods (nothing is opened)
//   "Can't open zip file %s any more (%s) - I swear it used to be there!"
//   "Corrupt zip file %@ (%s)."   with the system's error text, or with "member too large"
//       (length above 1 GiB), "unexpected end of file" (data past the end of the file),
//       "invalid compressed data", "wrong uncompressed size".
std::shared_ptr<const VQByteBuffer> _VQ_read_zip_data(const std::string& path, uint32_t location,
                                                      uint32_t length, int32_t compressionMethod,
                                                      uint32_t compressedLength);
// Stored members: the compressed length is the length.
inline std::shared_ptr<const VQByteBuffer> _VQ_read_zip_data(const std::string& path,
                                                             uint32_t location, uint32_t length,
                                                             int32_t compressionMethod) {
    return _VQ_read_zip_data(path, location, length, compressionMethod, length);
}

}  // namespace ornith
