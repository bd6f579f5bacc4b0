#include "ornith/stores/zipfile.h"

#include <libdeflate.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "ornith/base/VQByteCursor.h"
#include "ornith/base/VQEndian.h"
#include "ornith/base/VQException.h"
#include "ornith/base/VQFile.h"
#include "ornith/base/VQFormat.h"

namespace ornith {
namespace {

struct Registration {
    VQZipArchiveCallback callback = nullptr;
    void* context = nullptr;
};

Registration& registration() {
    static Registration pair;
    return pair;
}

constexpr uint32_t kMaxCommentLength = 65535;
// The tail searched first for the end record: enough for short archive comments, and for
// the whole directory of a small archive.
constexpr uint64_t kShortTail = 16 * 1024;
constexpr uint32_t kMagic32 = 0xFFFFFFFF;

// ---- The records, read through named fields ----

// The end-of-central-directory record.
struct EndRecord {
    static constexpr uint32_t kSignature = 0x06054B50;
    static constexpr size_t kSize = 22;
    const uint8_t* p;
    uint32_t signature() const { return VQLoadLE32(p); }
    uint16_t entryCount() const { return VQLoadLE16(p + 10); }
    uint32_t directorySize() const { return VQLoadLE32(p + 12); }
    uint32_t directoryOffset() const { return VQLoadLE32(p + 16); }
    uint16_t commentLength() const { return VQLoadLE16(p + 20); }
};

// The zip64 locator, which lies right before the end record when there is a zip64 record.
struct Zip64Locator {
    static constexpr uint32_t kSignature = 0x07064B50;
    static constexpr size_t kSize = 20;
    const uint8_t* p;
    uint32_t signature() const { return VQLoadLE32(p); }
    uint64_t recordOffset() const { return VQLoadLE64(p + 8); }
};

// The zip64 end-of-central-directory record.
struct Zip64EndRecord {
    static constexpr uint32_t kSignature = 0x06064B50;
    static constexpr size_t kSize = 56;
    const uint8_t* p;
    uint32_t signature() const { return VQLoadLE32(p); }
    uint64_t entryCount() const { return VQLoadLE64(p + 32); }
    uint64_t directorySize() const { return VQLoadLE64(p + 40); }
    uint64_t directoryOffset() const { return VQLoadLE64(p + 48); }
};

struct CentralRecord {
    static constexpr uint32_t kSignature = 0x02014B50;
    static constexpr size_t kSize = 46;
    const uint8_t* p;
    uint16_t method() const { return VQLoadLE16(p + 10); }
    uint32_t compressedSize() const { return VQLoadLE32(p + 20); }
    uint32_t uncompressedSize() const { return VQLoadLE32(p + 24); }
    uint16_t nameLength() const { return VQLoadLE16(p + 28); }
    uint16_t extraLength() const { return VQLoadLE16(p + 30); }
    uint16_t commentLength() const { return VQLoadLE16(p + 32); }
    uint32_t localHeaderOffset() const { return VQLoadLE32(p + 42); }
    const uint8_t* name() const { return p + kSize; }
    // The whole record: the fixed part, then its name, extra field and comment.
    uint64_t length() const {
        return uint64_t{kSize} + nameLength() + extraLength() + commentLength();
    }
};

struct LocalHeader {
    static constexpr size_t kSize = 30;
    const uint8_t* p;
    // Bytes 1 to 3 of "PK\3\4"; the first is not examined, as it never was.
    bool hasSignature() const { return p[1] == 0x4B && p[2] == 0x03 && p[3] == 0x04; }
    uint16_t nameLength() const { return VQLoadLE16(p + 26); }
    uint16_t extraLength() const { return VQLoadLE16(p + 28); }
    uint64_t length() const { return uint64_t{kSize} + nameLength() + extraLength(); }
};

// The zip64 extended-information extra field (id 1) holds, in this order and only for
// the fields whose central value is all ones: uncompressed size, compressed size, local
// header offset. A field the extra data does not supply keeps its all-ones value, which
// then fails where it is used (a read past the end of the file).
constexpr uint16_t kZip64ExtraId = 1;

struct MemberValues {
    uint64_t length, compressedLength, localHeaderOffset;
};

MemberValues memberValues(CentralRecord record, std::span<const uint8_t> extra) {
    MemberValues values{record.uncompressedSize(), record.compressedSize(),
                        record.localHeaderOffset()};
    if (values.length != kMagic32 && values.compressedLength != kMagic32 &&
        values.localHeaderOffset != kMagic32)
        return values;
    VQByteCursor cursor(extra);
    uint16_t id = 0, size = 0;
    while (cursor.le16(id) && cursor.le16(size)) {
        std::span<const uint8_t> data = cursor.bytes(size);
        if (!cursor.ok()) break;
        if (id != kZip64ExtraId) continue;
        VQByteCursor field(data);
        for (uint64_t* value :
             {&values.length, &values.compressedLength, &values.localHeaderOffset}) {
            if (*value != kMagic32) continue;
            uint64_t wide = 0;
            if (!field.le64(wide)) break;
            *value = wide;
        }
        break;
    }
    return values;
}

// ---- Where the bytes come from ----

// An archive in memory or in a file. view() hands out n bytes at an offset: a pointer
// into the memory it holds, or into the scratch vector after a read; null when the
// bytes are not all there.
class Source {
public:
    explicit Source(uint64_t size) : _size(size) {}
    virtual ~Source() = default;
    uint64_t size() const { return _size; }
    virtual const uint8_t* view(uint64_t offset, size_t n, std::vector<uint8_t>& scratch) const = 0;

protected:
    bool inside(uint64_t offset, uint64_t n) const {
        return offset <= _size && n <= _size - offset;
    }
    uint64_t _size;
};

class SpanSource final : public Source {
public:
    explicit SpanSource(std::span<const uint8_t> bytes) : Source(bytes.size()), _bytes(bytes) {}
    const uint8_t* view(uint64_t offset, size_t n, std::vector<uint8_t>&) const override {
        return inside(offset, n) ? _bytes.data() + offset : nullptr;
    }

private:
    std::span<const uint8_t> _bytes;
};

class FileSource final : public Source {
public:
    explicit FileSource(const VQFile& file) : Source(file.size()), _file(file) {}
    const uint8_t* view(uint64_t offset, size_t n, std::vector<uint8_t>& scratch) const override {
        if (!inside(offset, n)) return nullptr;
        if (scratch.size() < n) scratch.resize(n);
        return _file.readAt(offset, scratch.data(), n) == VQFileStatus::ok ? scratch.data()
                                                                           : nullptr;
    }

private:
    const VQFile& _file;
};

// ---- Finding the directory ----

struct Directory {
    const uint8_t* bytes = nullptr;  // the whole central directory
    uint64_t size = 0;
    uint64_t count = 0;
    uint64_t start = 0;           // where it lies in the file
    uint64_t recordedOffset = 0;  // where the end record says it lies
    std::vector<uint8_t> owned;   // holds bytes when they were read from a file
};

// Directories larger than this are refused: no real archive comes near it, and the whole
// directory is read into memory.
constexpr uint64_t kMaxDirectorySize = kVQMaxDataLength;

bool hasSignatureAt(const Source& source, uint64_t offset, uint32_t signature,
                    std::vector<uint8_t>& scratch) {
    const uint8_t* p = source.view(offset, 4, scratch);
    return p && VQLoadLE32(p) == signature;
}

// Finds the end record by searching backwards over the last 22 + 65,535 bytes. A
// candidate counts when its comment reaches exactly to the end of the file, when the
// directory it describes starts with a central-directory signature, or when a zip64
// locator precedes it; so a comment after the archive reads normally and a fake
// signature inside a comment is passed over. -1 when there is none.
int64_t findEndRecord(const Source& source, const uint8_t* tail, uint64_t tailStart,
                      std::vector<uint8_t>& scratch) {
    const uint64_t size = source.size();
    const uint64_t last = size - EndRecord::kSize;
    const uint64_t first =
        std::max(last > kMaxCommentLength ? last - kMaxCommentLength : 0, tailStart);
    for (uint64_t at = last + 1; at-- > first;) {
        const EndRecord end{tail + (at - tailStart)};
        if (end.signature() != EndRecord::kSignature) continue;
        if (at + EndRecord::kSize + end.commentLength() == size) return static_cast<int64_t>(at);
        const uint64_t directorySize = end.directorySize();
        if (directorySize >= 4 && directorySize <= at &&
            hasSignatureAt(source, at - directorySize, CentralRecord::kSignature, scratch))
            return static_cast<int64_t>(at);
        if (at >= Zip64Locator::kSize &&
            hasSignatureAt(source, at - Zip64Locator::kSize, Zip64Locator::kSignature, scratch))
            return static_cast<int64_t>(at);
    }
    return -1;
}

// The zip64 record, when a locator before the end record leads to one: at its recorded
// offset, else right before the locator (where bytes put before the archive have moved
// it). Null when there is none.
const uint8_t* findZip64Record(const Source& source, uint64_t endRecord, uint64_t* recordAt,
                               std::vector<uint8_t>& scratch) {
    if (endRecord < Zip64Locator::kSize + Zip64EndRecord::kSize) return nullptr;
    const uint64_t locatorAt = endRecord - Zip64Locator::kSize;
    std::vector<uint8_t> locatorScratch;
    const uint8_t* locatorBytes = source.view(locatorAt, Zip64Locator::kSize, locatorScratch);
    if (!locatorBytes) return nullptr;
    const Zip64Locator locator{locatorBytes};
    if (locator.signature() != Zip64Locator::kSignature) return nullptr;
    for (uint64_t candidate : {locator.recordOffset(), locatorAt - Zip64EndRecord::kSize}) {
        if (candidate > locatorAt - Zip64EndRecord::kSize) continue;
        const uint8_t* p = source.view(candidate, Zip64EndRecord::kSize, scratch);
        if (p && Zip64EndRecord{p}.signature() == Zip64EndRecord::kSignature) {
            *recordAt = candidate;
            return p;
        }
    }
    return nullptr;
}

// Reads the end records and the directory. 0, or the walk's -1 / -2.
int locateDirectory(const Source& source, Directory& directory) {
    const uint64_t size = source.size();
    if (size <= EndRecord::kSize) return -1;
    // Most archives end with their end record: a short tail is searched first, and the
    // longest a comment allows only when that finds nothing. The search runs from the end
    // backwards, so both find the same record.
    std::vector<uint8_t> tailScratch, scratch;
    uint64_t tailStart = 0;
    const uint8_t* tail = nullptr;
    int64_t found = -1;
    for (const uint64_t window : {kShortTail, uint64_t{EndRecord::kSize} + kMaxCommentLength}) {
        const uint64_t tailLength = std::min<uint64_t>(size, window);
        tailStart = size - tailLength;
        tail = source.view(tailStart, static_cast<size_t>(tailLength), tailScratch);
        if (!tail) return -2;
        found = findEndRecord(source, tail, tailStart, scratch);
        if (found >= 0 || tailLength == size) break;
    }
    if (found < 0) return -1;
    const uint64_t endRecord = static_cast<uint64_t>(found);
    const EndRecord end{tail + (endRecord - tailStart)};

    // The directory is the bytes right before the end record, or before the zip64 record.
    uint64_t directoryEnd = endRecord;
    uint64_t zip64At = 0;
    if (const uint8_t* record = findZip64Record(source, endRecord, &zip64At, scratch)) {
        const Zip64EndRecord zip64{record};
        directory.count = zip64.entryCount();
        directory.size = zip64.directorySize();
        directory.recordedOffset = zip64.directoryOffset();
        directoryEnd = zip64At;
    } else {
        directory.count = end.entryCount();
        directory.size = end.directorySize();
        directory.recordedOffset = end.directoryOffset();
    }
    if (directory.size > directoryEnd) return -2;
    if (directory.size > kMaxDirectorySize) return -1;
    directory.start = directoryEnd - directory.size;
    if (directory.start >= tailStart) {
        // Read with the tail already (the directory of a small archive).
        directory.owned = std::move(tailScratch);
        directory.bytes = tail + (directory.start - tailStart);
        return 0;
    }
    directory.bytes =
        source.view(directory.start, static_cast<size_t>(directory.size), directory.owned);
    if (!directory.bytes) return -2;
    return 0;
}

// Where the directory says a member's local header lies, moved by the bytes before the
// archive. Those show as a directory that lies elsewhere than its recorded offset; but a
// garbage offset field shows the same, so the move is made only when it lands on a
// local header where the recorded offset does not. Decided on the first member.
uint64_t decideShift(const Source& source, const Directory& directory, bool* negative) {
    *negative = false;
    if (directory.start == directory.recordedOffset || directory.count == 0 ||
        directory.size < CentralRecord::kSize)
        return 0;
    const CentralRecord first{directory.bytes};
    const uint64_t nameEnd = CentralRecord::kSize + first.nameLength();
    if (nameEnd > directory.size) return 0;
    const uint64_t extraLength = std::min<uint64_t>(first.extraLength(), directory.size - nameEnd);
    const uint64_t local =
        memberValues(first, {directory.bytes + nameEnd, static_cast<size_t>(extraLength)})
            .localHeaderOffset;
    const bool forward = directory.start > directory.recordedOffset;
    const uint64_t shift = forward ? directory.start - directory.recordedOffset
                                   : directory.recordedOffset - directory.start;
    if (!forward && local < shift) return 0;
    const uint64_t moved = forward ? local + shift : local - shift;
    if (moved < local && forward) return 0;  // wrapped
    std::vector<uint8_t> scratch;
    auto isLocalHeader = [&](uint64_t at) {
        const uint8_t* p = source.view(at, LocalHeader::kSize, scratch);
        return p && LocalHeader{p}.hasSignature();
    };
    if (!isLocalHeader(moved) || isLocalHeader(local)) return 0;
    *negative = !forward;
    return shift;
}

// Walks the records, calling onMember(record values, name) for each. onMember returns 0
// to go on, or the walk's result to stop with.
template <typename OnMember>
int walkRecords(const Source& source, const Directory& directory, OnMember&& onMember) {
    bool negative = false;
    const uint64_t shift = decideShift(source, directory, &negative);
    uint64_t offset = 0;
    // An entry count larger than the directory holds ends at the first record that is
    // not there, after reporting those that are; the loop is bounded by the directory.
    for (uint64_t i = 0; i < directory.count; ++i) {
        if (offset + CentralRecord::kSize > directory.size) return -1;
        const CentralRecord record{directory.bytes + offset};
        const uint64_t nameEnd = offset + CentralRecord::kSize + record.nameLength();
        if (nameEnd > directory.size) return -1;
        const uint64_t extraLength =
            std::min<uint64_t>(record.extraLength(), directory.size - nameEnd);
        MemberValues values =
            memberValues(record, {directory.bytes + nameEnd, static_cast<size_t>(extraLength)});
        bool outside = false;
        if (negative) {
            if (values.localHeaderOffset < shift) outside = true;
            values.localHeaderOffset -= shift;
        } else {
            if (values.localHeaderOffset + shift < values.localHeaderOffset) outside = true;
            values.localHeaderOffset += shift;
        }
        const std::string_view name(reinterpret_cast<const char*>(record.name()),
                                    record.nameLength());
        if (const int stop = onMember(values, name, static_cast<int32_t>(record.method()), outside))
            return stop;
        offset += record.length();
    }
    return 0;
}

// The full walk: every local header is read to place the member's data. report(name,
// location, length, method, compressedLength) returns 0 to go on, or the walk's result.
template <typename Report>
int walkArchive(const Source& source, Report&& report) {
    Directory directory;
    if (const int failed = locateDirectory(source, directory)) return failed;
    // Names are handed out NUL-terminated; a name is at most 65,535 bytes.
    std::unique_ptr<char[]> name(new char[65536]);
    std::vector<uint8_t> scratch;
    return walkRecords(source, directory,
                       [&](const MemberValues& values, std::string_view memberName, int32_t method,
                           bool outside) -> int {
                           if (outside) return -2;
                           const uint8_t* p =
                               source.view(values.localHeaderOffset, LocalHeader::kSize, scratch);
                           if (!p) return -2;
                           const LocalHeader header{p};
                           if (!header.hasSignature()) return -1;
                           // The local lengths place the data: the local extra field may differ
                           // from the central one.
                           const uint64_t location = values.localHeaderOffset + header.length();
                           std::memcpy(name.get(), memberName.data(), memberName.size());
                           name[memberName.size()] = '\0';
                           return report(static_cast<const char*>(name.get()), location,
                                         values.length, method, values.compressedLength);
                       });
}

// Reports to a 64-bit callback.
auto reportTo(VQZipArchiveCallback64 callback, void* context) {
    return [callback, context](const char* name, uint64_t location, uint64_t length, int32_t method,
                               uint64_t compressedLength) {
        if (callback) callback(name, location, length, method, compressedLength, context);
        return 0;
    };
}

// Reports to a 32-bit callback, which cannot say where a member beyond 4 GiB lies: the
// walk ends there with -1.
auto reportTo(VQZipArchiveCallback callback, void* context) {
    return [callback, context](const char* name, uint64_t location, uint64_t length, int32_t method,
                               uint64_t compressedLength) {
        if (location > UINT32_MAX || length > UINT32_MAX || compressedLength > UINT32_MAX)
            return -1;
        if (callback)
            callback(name, static_cast<uint32_t>(location), static_cast<uint32_t>(length), method,
                     static_cast<uint32_t>(compressedLength), context);
        return 0;
    };
}

int walkDirectory(const Source& source, VQZipDirectoryCallback callback, void* context) {
    Directory directory;
    if (const int failed = locateDirectory(source, directory)) return failed;
    return walkRecords(source, directory,
                       [&](const MemberValues& values, std::string_view name, int32_t method,
                           bool outside) -> int {
                           // Reported all the same: reading it fails.
                           VQZipDirectoryMember member{
                               name, outside ? UINT64_MAX : values.localHeaderOffset, values.length,
                               values.compressedLength, method};
                           if (callback) callback(member, context);
                           return 0;
                       });
}

// Archives up to this size are read whole for a full walk, which then makes no system
// call per member; larger ones are walked with one 30-byte read per local header.
constexpr uint64_t kReadWholeLimit = 64 << 20;

template <typename Report>
int walkArchiveAt(const std::string& path, Report report) {
    VQFile file = VQFile::openRegular(path);
    if (!file) return -1;
    if (file.size() <= kReadWholeLimit) {
        std::vector<uint8_t> bytes(static_cast<size_t>(file.size()));
        // A file that shrank since it was opened reads short: treated as unreadable.
        if (file.readAt(0, bytes.data(), bytes.size()) != VQFileStatus::ok) return -2;
        file.close();
        return walkArchive(SpanSource(bytes), report);
    }
    return walkArchive(FileSource(file), report);
}

[[noreturn]] void raiseCorrupt(const std::string& path, const char* why) {
    throw VQInvalidArgumentException(VQFormat("Corrupt zip file %s (%s).", path.c_str(), why),
                                     VQErrorKind::corruptArchive);
}

struct DecompressorFree {
    void operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }
};

// One decompressor and one input buffer per thread, reused across reads: a jar is read
// member by member, and allocating either per member would cost more than inflating a
// typical class file.
libdeflate_decompressor* threadDecompressor() {
    thread_local std::unique_ptr<libdeflate_decompressor, DecompressorFree> decompressor(
        libdeflate_alloc_decompressor());
    if (!decompressor) throw std::bad_alloc();
    return decompressor.get();
}

constexpr uint64_t kMaxDeflateRatio = 1032;
constexpr uint64_t kMaxDeflateSlack = 1024;

// Compressed inputs up to this size reuse the thread's buffer; larger ones get their
// own, so that one huge member does not pin memory for the rest of the thread's life.
constexpr size_t kKeptScratch = 1 << 20;

// Checks made before anything is opened or allocated.
void checkMember(const std::string& path, uint64_t length, int32_t compressionMethod,
                 uint64_t compressedLength) {
    if (compressionMethod != 0 && compressionMethod != 8)
        throw VQInvalidArgumentException(VQFormat("Unsupported compression type %d in zip file %s",
                                                  compressionMethod, path.c_str()),
                                         VQErrorKind::unsupportedArchive);
    // The output is exactly the recorded length, so a hostile archive can make us allocate
    // no more than it declares; this caps what it may declare.
    // A stored member's compressed size is not used: it is read by its length.
    if (length > kVQMaxDataLength ||
        (compressionMethod == 8 && compressedLength > kVQMaxDataLength))
        raiseCorrupt(path, "member too large");
    if (compressionMethod == 8) {
        // No deflate stream is empty; libdeflate is not even asked.
        if (compressedLength == 0) raiseCorrupt(path, "invalid compressed data");
        // Deflate expands at most 1032 to 1, so a length beyond that cannot come out
        // whole, and a few hostile bytes must not make us allocate up to the cap first.
        if (length > compressedLength * kMaxDeflateRatio + kMaxDeflateSlack)
            raiseCorrupt(path, "wrong uncompressed size");
    }
}

std::shared_ptr<const VQByteBuffer> inflate(const std::string& path, const uint8_t* input,
                                            size_t compressedLength, size_t length) {
    auto buffer = VQByteBuffer::bufferWithLength(length);
    size_t produced = 0;
    const libdeflate_result result = libdeflate_deflate_decompress(
        threadDecompressor(), input, compressedLength, buffer->mutableBytes(), length, &produced);
    if (result == LIBDEFLATE_BAD_DATA) raiseCorrupt(path, "invalid compressed data");
    if (result != LIBDEFLATE_SUCCESS || produced != length)
        raiseCorrupt(path, "wrong uncompressed size");
    return buffer;
}

// The member at a known data location, from an open file, after checkMember.
std::shared_ptr<const VQByteBuffer> readData(const VQFile& file, const std::string& path,
                                             uint64_t location, uint64_t length,
                                             int32_t compressionMethod, uint64_t compressedLength) {
    const uint64_t stored = compressionMethod == 0 ? length : compressedLength;
    // Checked before anything is allocated: a lying size cannot make us allocate first.
    if (location > file.size() || stored > file.size() - location)
        raiseCorrupt(path, "unexpected end of file");
    if (compressionMethod == 0) {
        auto buffer = VQByteBuffer::bufferWithLength(static_cast<size_t>(length));
        const VQFileStatus status =
            file.readAt(location, buffer->mutableBytes(), static_cast<size_t>(length));
        if (status != VQFileStatus::ok) raiseCorrupt(path, VQFileStatusText(status));
        return buffer;
    }
    thread_local std::vector<uint8_t> keptScratch;
    std::vector<uint8_t> ownScratch;
    std::vector<uint8_t>& input = compressedLength <= kKeptScratch ? keptScratch : ownScratch;
    if (input.size() < compressedLength) input.resize(static_cast<size_t>(compressedLength));
    const VQFileStatus status =
        file.readAt(location, input.data(), static_cast<size_t>(compressedLength));
    if (status != VQFileStatus::ok) raiseCorrupt(path, VQFileStatusText(status));
    return inflate(path, input.data(), static_cast<size_t>(compressedLength),
                   static_cast<size_t>(length));
}

}  // namespace

VQFile VQZipOpenForRead(const std::string& path) {
    errno = 0;
    VQFileStatus status = VQFileStatus::ok;
    VQFile file = VQFile::openRegular(path, &status);
    if (file) return file;
    // The system's words where there are some, as the message always gave them.
    const char* why = status == VQFileStatus::notFound     ? std::strerror(ENOENT)
                      : status == VQFileStatus::notRegular ? "not a regular file"
                      : errno                              ? std::strerror(errno)
                                                           : VQFileStatusText(status);
    throw VQInvalidArgumentException(
        VQFormat("Can't open zip file %s any more (%s) - I swear it used to be there!",
                 path.c_str(), why),
        VQErrorKind::unreadableFile);
}

namespace {

// Local headers longer than this (name and extra field) take a second read.
constexpr uint64_t kLocalHeaderAllowance = 512;

}  // namespace

void _VQ_register_zip_archive_callback(VQZipArchiveCallback callback, void* context) {
    registration() = Registration{callback, context};
}

int _VQ_read_zip_archive(const std::string& path) {
    const Registration reg = registration();
    return _VQ_walk_zip_archive(path, reg.callback, reg.context);
}

int _VQ_walk_zip_archive(const std::string& path, VQZipArchiveCallback callback, void* context) {
    return walkArchiveAt(path, reportTo(callback, context));
}

int _VQ_walk_zip_archive64(const std::string& path, VQZipArchiveCallback64 callback,
                           void* context) {
    return walkArchiveAt(path, reportTo(callback, context));
}

int VQZipWalkArchiveBytes(std::span<const uint8_t> archive, VQZipArchiveCallback64 callback,
                          void* context) {
    return walkArchive(SpanSource(archive), reportTo(callback, context));
}

int VQZipWalkDirectory(const VQFile& file, VQZipDirectoryCallback callback, void* context) {
    if (!file) return -1;
    return walkDirectory(FileSource(file), callback, context);
}

int VQZipWalkDirectoryBytes(std::span<const uint8_t> archive, VQZipDirectoryCallback callback,
                            void* context) {
    return walkDirectory(SpanSource(archive), callback, context);
}

std::shared_ptr<const VQByteBuffer> _VQ_read_zip_data(const std::string& path, uint32_t location,
                                                      uint32_t length, int32_t compressionMethod,
                                                      uint32_t compressedLength) {
    return _VQ_read_zip_data64(path, location, length, compressionMethod, compressedLength);
}

std::shared_ptr<const VQByteBuffer> _VQ_read_zip_data64(const std::string& path, uint64_t location,
                                                        uint64_t length, int32_t compressionMethod,
                                                        uint64_t compressedLength) {
    checkMember(path, length, compressionMethod, compressedLength);
    const VQFile file = VQZipOpenForRead(path);
    return readData(file, path, location, length, compressionMethod, compressedLength);
}

bool VQZipDataLocation(const VQFile& file, uint64_t localHeaderOffset, uint64_t* dataLocation) {
    uint8_t bytes[LocalHeader::kSize];
    if (localHeaderOffset > file.size() || file.size() - localHeaderOffset < LocalHeader::kSize ||
        file.readAt(localHeaderOffset, bytes, sizeof bytes) != VQFileStatus::ok)
        return false;
    const LocalHeader header{bytes};
    if (!header.hasSignature()) return false;
    *dataLocation = localHeaderOffset + header.length();
    return true;
}

std::shared_ptr<const VQByteBuffer> VQZipReadMember(const VQFile& file, const std::string& path,
                                                    uint64_t localHeaderOffset, uint64_t length,
                                                    int32_t compressionMethod,
                                                    uint64_t compressedLength,
                                                    uint64_t* dataLocation) {
    checkMember(path, length, compressionMethod, compressedLength);
    const uint64_t size = file.size();
    if (localHeaderOffset > size || size - localHeaderOffset < LocalHeader::kSize)
        raiseCorrupt(path, "invalid local header");
    const uint64_t stored = compressionMethod == 0 ? length : compressedLength;
    // One read for the header and the data of most members: the header's name and extra
    // field are guessed to fit an allowance, and read again when they do not.
    const uint64_t want = std::min<uint64_t>(LocalHeader::kSize + kLocalHeaderAllowance + stored,
                                             size - localHeaderOffset);
    thread_local std::vector<uint8_t> keptScratch;
    std::vector<uint8_t> ownScratch;
    std::vector<uint8_t>& input = want <= kKeptScratch ? keptScratch : ownScratch;
    if (input.size() < want) input.resize(static_cast<size_t>(want));
    const VQFileStatus status =
        file.readAt(localHeaderOffset, input.data(), static_cast<size_t>(want));
    if (status != VQFileStatus::ok) raiseCorrupt(path, VQFileStatusText(status));
    const LocalHeader header{input.data()};
    if (!header.hasSignature()) raiseCorrupt(path, "invalid local header");
    const uint64_t location = localHeaderOffset + header.length();
    if (dataLocation) *dataLocation = location;
    if (header.length() + stored > want)
        return readData(file, path, location, length, compressionMethod, compressedLength);
    const uint8_t* data = input.data() + header.length();
    if (compressionMethod == 0)
        return VQByteBuffer::bufferWithBytes(data, static_cast<size_t>(length));
    return inflate(path, data, static_cast<size_t>(compressedLength), static_cast<size_t>(length));
}

}  // namespace ornith
