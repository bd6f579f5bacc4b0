#pragma once
// A small reader for zip archives.
//
// VQZipArchive is the reader: it reads an archive's central directory, hands out its
// members as views of their directory records, and reads a member's bytes (stored or
// deflated). An archive is a whole file, a window of bytes inside another archive (a
// stored member, such as a jar inside a jar, read in place) or bytes in memory (an
// inflated nested archive). The exported _VQ_ functions are the walk and the data reader
// of the original interface, each a thin layer over the class.
//
// Beyond the plain format the reader copes with what real archives carry: an archive
// comment after the end record, bytes before the archive (executable jars, .jmod files),
// local extra fields that differ from the central ones, data descriptors, and zip64
// (more than 65,535 members, offsets and sizes beyond 4 GiB).
//
// Files are read with positioned reads, never mapped: an archive that another process
// shrinks gives a failed read, never SIGBUS in the host.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "ornith/base/VQByteBuffer.h"
#include "ornith/base/VQException.h"
#include "ornith/base/VQFile.h"

struct libdeflate_decompressor;

namespace ornith {

// ---- The original interface ----

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
// synchronised: a caller registers, walks and clears on one thread. Nothing in the
// library walks through it any more; it serves hosts of the original interface.
void _VQ_register_zip_archive_callback(VQZipArchiveCallback callback, void* context);

// Walks the archive's central directory and every member's local header, calling the
// registered callback per member. 0: every member walked. -1: the file cannot be opened
// or is not a regular file; it is 22 bytes or shorter; no end record is found; a record
// or its name runs past the directory (so an entry count larger than the directory holds
// ends the walk after the members that are there); a local header lacks its signature; a
// member lies beyond 4 GiB. -2: the directory would start before the file; a local
// header lies (partly) outside the file. Members reported before a failure stay
// reported. A member whose data runs past the end of the file is reported; reading it
// fails. Never raises on its own (a callback may).
int _VQ_read_zip_archive(const std::string& path);

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

// ---- The archive ----

// One member as its central-directory record describes it. The name points into the
// archive's copy of the directory: valid while the archive lives and keeps its directory.
struct VQZipMember {
    // The offset the directory gives when it places a local header outside the archive.
    static constexpr uint64_t kOutside = UINT64_MAX;

    std::string_view name;       // as stored, not NUL-terminated
    uint64_t localHeaderOffset;  // from the start of the archive, prefix shift applied
    uint64_t length;             // uncompressed size
    uint64_t compressedLength;   // bytes in the archive
    int32_t compressionMethod;   // 0 stored, 8 deflated, anything else as recorded
    uint16_t flags;              // general purpose flags
};

// Why an archive could not be read (as far as it was), in the walk's terms.
struct VQZipProblem {
    int result = 0;  // 0 (no problem), or the walk's -1 or -2
    VQErrorKind kind = VQErrorKind::other;
    const char* reason = "";         // static text: "not a zip archive (no end of central ...)"
    std::optional<uint64_t> offset;  // in the archive, where known
    explicit operator bool() const noexcept { return result != 0; }
};
// What inflating needs between reads: a decompressor and an input buffer, both made on
// first need and reused, so that reading a jar member by member allocates nothing but
// each member's own buffer. An archive has one of its own; a caller that reads many
// archives in turn may share one. Used by one thread at a time.
class VQZipReadContext {
public:
    VQZipReadContext() = default;
    VQZipReadContext(VQZipReadContext&&) noexcept = default;
    VQZipReadContext& operator=(VQZipReadContext&&) noexcept = default;

    libdeflate_decompressor* decompressor();
    // At least n bytes; buffers beyond a bound are given back after the read that needed
    // them, so that one huge member does not pin its size for the context's life.
    uint8_t* input(size_t n);
    void releaseLargeInput() noexcept;

    // Reads that walk a file in order (a whole archive read member after member) are served
    // from a window read ahead, growing while the order holds: one system call per window
    // instead of one per member. Kept by VQZipArchive::read; see there.
    struct ReadAhead {
        std::unique_ptr<uint8_t[]> bytes;
        size_t capacity = 0;
        uint64_t serial = 0;  // the open file it was read from; 0 for none
        uint64_t start = 0;   // the window: [start, start + length) of that file
        size_t length = 0;
        size_t size = 0;       // of the next window
        uint64_t lastAt = 0;   // where the last read began ...
        uint64_t lastEnd = 0;  // ... and ended
    };
    ReadAhead ahead;

private:
    struct Free {
        void operator()(libdeflate_decompressor* d) const noexcept;
    };
    std::unique_ptr<libdeflate_decompressor, Free> _decompressor;
    VQRawBytes _input;
};

class VQZipArchive {
public:
    // A closed archive with no source: reads fail as an archive that cannot be opened.
    VQZipArchive() = default;
    VQZipArchive(VQZipArchive&&) noexcept = default;
    VQZipArchive& operator=(VQZipArchive&&) noexcept = default;

    // ---- Sources ----

    // A whole file. Raises "Can't open zip file %s any more (%s) - I swear it used to be
    // there!" (unreadableFile) when it cannot be opened.
    static VQZipArchive openFile(const std::string& path);
    // A whole file, opened by the caller. The path names it in messages and is where a
    // closed file is opened again (closeFile).
    static VQZipArchive withFile(VQFile file, std::string path);
    // Bytes in memory, kept alive by the archive.
    static VQZipArchive withBuffer(std::shared_ptr<const VQByteBuffer> bytes, std::string name);
    // Bytes in memory that the caller keeps alive while the archive is used.
    static VQZipArchive withBytes(std::span<const uint8_t> bytes, std::string name);
    // The bytes [offset, offset + length) of another archive, read in place: reads go to
    // the outer archive's source, never beyond the window. The outer archive is kept alive.
    static VQZipArchive window(std::shared_ptr<const VQZipArchive> outer, uint64_t offset,
                               uint64_t length, std::string name);
    // A member of another archive opened as an archive: a stored member as a window, a
    // deflated one inflated into memory. Raises as read() does; the name defaults to
    // "outer!/member".
    static VQZipArchive nestedArchive(std::shared_ptr<const VQZipArchive> outer,
                                      const VQZipMember& member,
                                      std::optional<std::string> name = std::nullopt);

    // The path or name given at construction, as messages show it.
    const std::string& name() const noexcept { return _name; }
    // The archive's size in bytes (for a file, when it was first opened).
    uint64_t size() const noexcept { return _size; }
    bool isWindow() const noexcept { return _kind == Kind::window; }
    bool isInMemory() const noexcept { return _kind == Kind::memory; }

    // A whole file is closed until the next read, which opens it again and refuses a file
    // whose size has changed ("the archive changed since it was indexed"); other sources
    // have nothing to close. True when the file is open.
    void closeFile() noexcept;
    bool isFileOpen() const noexcept { return _file.isOpen(); }
    // Opens a closed file again (for a window, its outer archive's); the reads open it
    // themselves. Raises as openFile, or "Corrupt zip file %s (the archive changed since
    // it was indexed)." for a file of another size.
    void ensureOpen() const;

    // ---- The directory ----

    // Reads the end records and the whole central directory (plus, when the directory's
    // recorded offset is off, the first member's local header, to decide whether bytes
    // precede the archive). 0, or the walk's -1 / -2 with problem() saying why.
    int readDirectory();
    // Drops the copy of the directory (the members' names with it); reads still work.
    void releaseDirectory() noexcept;
    // Why the last readDirectory or walk over the members stopped; empty when it did not.
    const VQZipProblem& problem() const noexcept { return _problem; }
    // The number of members the end record announces (the directory may hold fewer).
    uint64_t announcedCount() const noexcept { return _count; }
    // Where the central directory begins, after readDirectory: a member's data lies
    // before it, so a member that reaches into it overlaps the archive's own records.
    uint64_t directoryStart() const noexcept { return _directoryStart; }

    // Iteration over the members in directory order, after readDirectory:
    //   VQZipMemberCursor cursor; VQZipMember m;
    //   while (archive.nextMember(cursor, m)) ...;   then cursor.result is 0, -1 or -2
    // A record or name that runs past the directory ends the walk with -1 (problem()
    // says which). A member whose local header the directory places outside the archive
    // is reported with localHeaderOffset kOutside.
    struct Cursor {
        uint64_t index = 0, offset = 0;
        int result = 0;
    };
    bool nextMember(Cursor& cursor, VQZipMember& member) const;
    // Calls f(member) per member; f returns 0 to go on, anything else to stop with it.
    template <typename F>
    int forEachMember(F&& f) const {
        Cursor cursor;
        VQZipMember member;
        while (nextMember(cursor, member))
            if (const int stop = f(member)) return stop;
        return cursor.result;
    }
    // The same with every member's local header read to place its data: f(member,
    // dataLocation). Ends with -2 at a local header outside the archive (or unreadable),
    // with -1 at one that lacks its signature.
    template <typename F>
    int forEachMemberWithData(F&& f) const {
        return forEachMember([&](const VQZipMember& member) -> int {
            bool unreadable = true;
            const std::optional<uint64_t> location =
                member.localHeaderOffset == VQZipMember::kOutside
                    ? std::nullopt
                    : dataLocation(member.localHeaderOffset, &unreadable);
            if (!location) {
                const int result = unreadable ? -2 : -1;
                setProblem(result, VQErrorKind::corruptArchive,
                           unreadable ? "local header outside the archive" : "invalid local header",
                           member.localHeaderOffset == VQZipMember::kOutside
                               ? std::nullopt
                               : std::optional<uint64_t>(member.localHeaderOffset));
                return result;
            }
            return f(member, *location);
        });
    }

    // ---- Reading ----

    // Where the member's data begins, from its local header; nullopt when the header lies
    // outside the archive or cannot be read (*unreadable, when given, is set true) or
    // lacks its signature (*unreadable set false).
    std::optional<uint64_t> dataLocation(uint64_t localHeaderOffset,
                                         bool* unreadable = nullptr) const;

    // The member's bytes, read with its local header (in one read for most members).
    // Raises VQInvalidArgumentException: "Unsupported compression type %d in zip file %s"
    // (unsupportedArchive), "Corrupt zip file %s (%s)." with "invalid local header",
    // "member too large", "unexpected end of file", "invalid compressed data", "wrong
    // uncompressed size" or the system's text, and the open failure of a closed file.
    // The scratch is the context's, or the archive's own. *dataLocation, when given,
    // receives the offset of the member's first data byte.
    std::shared_ptr<const VQByteBuffer> read(const VQZipMember& member,
                                             VQZipReadContext* context = nullptr,
                                             uint64_t* dataLocation = nullptr) const;
    // The same given where the data begins (the local header is not read).
    std::shared_ptr<const VQByteBuffer> readData(uint64_t location, uint64_t length,
                                                 int32_t compressionMethod,
                                                 uint64_t compressedLength,
                                                 VQZipReadContext* context = nullptr) const;

    // Reads exactly n bytes at an offset of the archive; shortRead beyond its end.
    VQFileStatus readRaw(uint64_t offset, void* into, size_t n) const;
    // n bytes at an offset: a pointer into memory the archive holds, or into the scratch
    // after a read; null when they are not all there.
    const uint8_t* view(uint64_t offset, size_t n, VQRawBytes& scratch) const;

private:
    enum class Kind : uint8_t { none, file, window, memory };

    // Decides, on the first member, whether bytes before the archive move its offsets.
    void decideShift(uint64_t recordedOffset);
    // `want` bytes at `at` from the context's read-ahead window, read anew when reads go
    // through the file in order; null when the caller is to read them itself.
    const uint8_t* readAhead(VQZipReadContext& context, uint64_t at, size_t want) const;
    void setProblem(int result, VQErrorKind kind, const char* reason,
                    std::optional<uint64_t> offset = std::nullopt) const;

    Kind _kind = Kind::none;
    std::string _name;
    uint64_t _size = 0;
    mutable VQFile _file;                         // a whole file
    std::shared_ptr<const VQZipArchive> _outer;   // a window: the archive that holds it
    uint64_t _base = 0;                           // the window's start in _outer
    const uint8_t* _bytes = nullptr;              // memory
    std::shared_ptr<const VQByteBuffer> _buffer;  // keeps memory alive, when owned

    // The directory, once read.
    VQRawBytes _directoryCopy;
    const uint8_t* _directory = nullptr;
    uint64_t _directorySize = 0;
    uint64_t _count = 0;
    uint64_t _directoryStart = 0;
    uint64_t _shift = 0;  // bytes before the archive, added to (or taken from) offsets
    bool _shiftBack = false;
    mutable VQZipProblem _problem;

    mutable VQZipReadContext _context;
    // Numbers the file as opened, for read-ahead windows: 0 until a read gives it one, and
    // again when the file is closed (a file opened anew may hold other bytes).
    mutable uint64_t _readSerial = 0;
};

}  // namespace ornith
