#pragma once
// A small reader for zip archives: a walk over the central directory that reports every
// member to a callback, and a reader for one member's bytes (stored or deflated).
//
// Beyond the plain format the reader copes with what real archives carry: an archive
// comment after the end record, bytes before the archive (executable jars, .jmod files),
// local extra fields that differ from the central ones, data descriptors, and zip64
// (more than 65,535 members, offsets and sizes beyond 4 GiB).
//
// Files are read, never mapped: an archive that another process shrinks during a walk
// gives a failed read, never SIGBUS in the host.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "ornith/base/VQByteBuffer.h"

namespace ornith {

class VQFile;

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
// 22 bytes or shorter; no end record is found; a record or its name runs past the
// directory (so an entry count larger than the directory holds ends the walk after the
// members that are there); a local header lacks its signature; a member lies beyond
// 4 GiB (the 64-bit walk reports it). -2: the directory would start before the file; a
// local header lies (partly) outside the file. Members reported before a failure stay
// reported. A member whose data runs past the end of the file is reported; reading it
// fails. Never raises on its own (a callback may).
int _VQ_read_zip_archive(const std::string& path);

// The same walk, reporting to the given callback and context instead of the registered
// pair (which it neither reads nor changes). Safe while another thread constructs a store.
int _VQ_walk_zip_archive(const std::string& path, VQZipArchiveCallback callback, void* context);

// The 64-bit walk: as above, with locations and sizes beyond 4 GiB reported as they are.
using VQZipArchiveCallback64 = void (*)(const char* name, uint64_t location, uint64_t length,
                                        int32_t compressionMethod, uint64_t compressedLength,
                                        void* context);
int _VQ_walk_zip_archive64(const std::string& path, VQZipArchiveCallback64 callback, void* context);
// The 64-bit walk over an archive held in memory.
int VQZipWalkArchiveBytes(std::span<const uint8_t> archive, VQZipArchiveCallback64 callback,
                          void* context);

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
// The same read at a 64-bit location.
std::shared_ptr<const VQByteBuffer> _VQ_read_zip_data64(const std::string& path, uint64_t location,
                                                        uint64_t length, int32_t compressionMethod,
                                                        uint64_t compressedLength);

// ---- The directory alone, for stores ----
//
// A store needs no local header until it reads a member, and on a large archive the local
// headers, spread over the whole file, are most of what a full walk costs. This walk
// reads the end records and the central directory only (plus, when the directory's
// recorded offset is off, the first member's local header, to decide whether bytes
// precede the archive), and reports where each member's local header lies.

struct VQZipDirectoryMember {
    std::string_view name;       // as stored; valid only during the call
    uint64_t localHeaderOffset;  // from the start of the file, prefix shift applied
    uint64_t length;             // uncompressed size
    uint64_t compressedLength;   // bytes in the archive
    int32_t compressionMethod;
};
using VQZipDirectoryCallback = void (*)(const VQZipDirectoryMember& member, void* context);

// 0, -1 or -2 as the walk above, except that local headers are not looked at: a member
// with a bad or missing local header is reported and fails when it is read.
int VQZipWalkDirectory(const VQFile& file, VQZipDirectoryCallback callback, void* context);
int VQZipWalkDirectoryBytes(std::span<const uint8_t> archive, VQZipDirectoryCallback callback,
                            void* context);

// Reads a member from an open archive, given where its local header lies: the header is
// read and checked here, with the data, in one read for most members. Raises as
// _VQ_read_zip_data, and "Corrupt zip file %s (invalid local header)." when the header
// lacks its signature or lies outside the file. *dataLocation, when given, receives the
// offset of the member's first data byte.
std::shared_ptr<const VQByteBuffer> VQZipReadMember(const VQFile& file, const std::string& path,
                                                    uint64_t localHeaderOffset, uint64_t length,
                                                    int32_t compressionMethod,
                                                    uint64_t compressedLength,
                                                    uint64_t* dataLocation = nullptr);
// Opens an archive for reading; raises "Can't open zip file %s any more (%s) - I swear
// it used to be there!" when it cannot.
VQFile VQZipOpenForRead(const std::string& path);
// Where a member's data begins, from its local header; false when the header is bad.
bool VQZipDataLocation(const VQFile& file, uint64_t localHeaderOffset, uint64_t* dataLocation);

}  // namespace ornith
