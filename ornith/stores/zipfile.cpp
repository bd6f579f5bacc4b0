#include "ornith/stores/zipfile.h"

#include <libdeflate.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <utility>
#include <vector>

#include "ornith/base/VQByteCursor.h"
#include "ornith/base/VQEndian.h"
#include "ornith/base/VQFormat.h"

namespace ornith {
namespace {

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
    uint16_t flags() const { return VQLoadLE16(p + 8); }
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

// ---- Finding the directory ----

// Directories larger than this are refused: no real archive comes near it, and the whole
// directory is read into memory.
constexpr uint64_t kMaxDirectorySize = kVQMaxDataLength;

bool hasSignatureAt(const VQZipArchive& source, uint64_t offset, uint32_t signature,
                    VQRawBytes& scratch) {
    const uint8_t* p = source.view(offset, 4, scratch);
    return p && VQLoadLE32(p) == signature;
}

// Finds the end record by searching backwards over the last 22 + 65,535 bytes. A
// candidate counts when its comment reaches exactly to the end of the file, when the
// directory it describes starts with a central-directory signature, or when a zip64
// locator precedes it; so a comment after the archive reads normally and a fake
// signature inside a comment is passed over. -1 when there is none.
int64_t findEndRecord(const VQZipArchive& source, const uint8_t* tail, uint64_t tailStart,
                      VQRawBytes& scratch) {
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
const uint8_t* findZip64Record(const VQZipArchive& source, uint64_t endRecord, uint64_t* recordAt,
                               VQRawBytes& scratch) {
    if (endRecord < Zip64Locator::kSize + Zip64EndRecord::kSize) return nullptr;
    const uint64_t locatorAt = endRecord - Zip64Locator::kSize;
    VQRawBytes locatorScratch;
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

// ---- Limits and reasons ----

// What a store reports for a file that holds no archive at all: a text file, a truncated
// archive, a file of zeros.
constexpr const char* kNoEndRecord = "not a zip archive (no end of central directory record)";

constexpr uint64_t kMaxDeflateRatio = 1032;
constexpr uint64_t kMaxDeflateSlack = 1024;
// Compressed inputs up to this size stay in the context's buffer for the next read.
constexpr size_t kKeptScratch = 1 << 20;
// Local headers longer than this (name and extra field) take a second read.
constexpr uint64_t kLocalHeaderAllowance = 512;
// Archives up to this size are read whole for the walk of _VQ_read_zip_archive, which
// then makes no system call per local header; larger ones are read as the walk goes.
constexpr uint64_t kReadWholeLimit = 64 << 20;

VQErrorKind kindOf(VQFileStatus status) {
    return status == VQFileStatus::unreadable ? VQErrorKind::unreadableFile
                                              : VQErrorKind::corruptArchive;
}

[[noreturn]] void raiseCorrupt(const std::string& name, const char* why,
                               VQErrorKind kind = VQErrorKind::corruptArchive,
                               std::optional<uint64_t> offset = std::nullopt) {
    throw VQInvalidArgumentException(VQFormat("Corrupt zip file %s (%s).", name.c_str(), why), kind,
                                     offset, why);
}

VQFile openOrRaise(const std::string& path) {
    errno = 0;
    VQFileStatus status = VQFileStatus::ok;
    VQFile file = VQFile::openRegular(path, &status);
    if (file) return file;
    // The system's words where there are some, as the message always gave them.
    const int error = errno;
    const char* why = status == VQFileStatus::notFound     ? std::strerror(ENOENT)
                      : status == VQFileStatus::notRegular ? "not a regular file"
                      : error                              ? std::strerror(error)
                                                           : VQFileStatusText(status);
    throw VQInvalidArgumentException(
        VQFormat("Can't open zip file %s any more (%s) - I swear it used to be there!",
                 path.c_str(), why),
        VQErrorKind::unreadableFile);
}

// Checks made before anything is opened or allocated.
void checkMember(const std::string& name, uint64_t length, int32_t compressionMethod,
                 uint64_t compressedLength) {
    if (compressionMethod != 0 && compressionMethod != 8)
        throw VQInvalidArgumentException(VQFormat("Unsupported compression type %d in zip file %s",
                                                  compressionMethod, name.c_str()),
                                         VQErrorKind::unsupportedArchive);
    // The output is exactly the recorded length, so a hostile archive can make us allocate
    // no more than it declares; this caps what it may declare.
    // A stored member's compressed size is not used: it is read by its length.
    if (length > kVQMaxDataLength ||
        (compressionMethod == 8 && compressedLength > kVQMaxDataLength))
        raiseCorrupt(name, "member too large", VQErrorKind::unsupportedArchive);
    if (compressionMethod == 8) {
        // No deflate stream is empty; libdeflate is not even asked.
        if (compressedLength == 0) raiseCorrupt(name, "invalid compressed data");
        // Deflate expands at most 1032 to 1, so a length beyond that cannot come out
        // whole, and a few hostile bytes must not make us allocate up to the cap first.
        if (length > compressedLength * kMaxDeflateRatio + kMaxDeflateSlack)
            raiseCorrupt(name, "wrong uncompressed size");
    }
}

std::shared_ptr<const VQByteBuffer> inflate(VQZipReadContext& context, const std::string& name,
                                            const uint8_t* input, size_t compressedLength,
                                            size_t length, uint64_t location) {
    auto buffer = VQByteBuffer::bufferWithLength(length);
    size_t produced = 0;
    const libdeflate_result result = libdeflate_deflate_decompress(
        context.decompressor(), input, compressedLength, buffer->mutableBytes(), length, &produced);
    if (result == LIBDEFLATE_BAD_DATA)
        raiseCorrupt(name, "invalid compressed data", VQErrorKind::corruptArchive, location);
    if (result != LIBDEFLATE_SUCCESS || produced != length)
        raiseCorrupt(name, "wrong uncompressed size", VQErrorKind::corruptArchive, location);
    return buffer;
}

// Gives a large input buffer back when the read that needed it ends, however it ends.
struct ReleaseLargeInput {
    VQZipReadContext& context;
    ~ReleaseLargeInput() { context.releaseLargeInput(); }
};

}  // namespace

// ---- The read context ----

void VQZipReadContext::Free::operator()(libdeflate_decompressor* d) const noexcept {
    libdeflate_free_decompressor(d);
}

libdeflate_decompressor* VQZipReadContext::decompressor() {
    if (!_decompressor) {
        _decompressor.reset(libdeflate_alloc_decompressor());
        if (!_decompressor) throw std::bad_alloc();
    }
    return _decompressor.get();
}

uint8_t* VQZipReadContext::input(size_t n) {
    if (_input.size() < n) _input.resize(n);
    return _input.data();
}

void VQZipReadContext::releaseLargeInput() noexcept {
    if (_input.size() > kKeptScratch) VQRawBytes().swap(_input);
}

// ---- Sources ----

VQZipArchive VQZipArchive::openFile(const std::string& path) {
    return withFile(openOrRaise(path), path);
}

VQZipArchive VQZipArchive::withFile(VQFile file, std::string path) {
    VQZipArchive archive;
    archive._kind = Kind::file;
    archive._name = std::move(path);
    archive._size = file.size();
    archive._file = std::move(file);
    return archive;
}

VQZipArchive VQZipArchive::withBytes(std::span<const uint8_t> bytes, std::string name) {
    VQZipArchive archive;
    archive._kind = Kind::memory;
    archive._name = std::move(name);
    archive._bytes = bytes.data();
    archive._size = bytes.size();
    return archive;
}

VQZipArchive VQZipArchive::withBuffer(std::shared_ptr<const VQByteBuffer> bytes, std::string name) {
    VQZipArchive archive =
        withBytes(bytes ? bytes->span() : std::span<const uint8_t>(), std::move(name));
    archive._buffer = std::move(bytes);
    return archive;
}

VQZipArchive VQZipArchive::window(std::shared_ptr<const VQZipArchive> outer, uint64_t offset,
                                  uint64_t length, std::string name) {
    if (!outer) throw VQInvalidArgumentException("A zip window needs an archive to lie in");
    if (offset > outer->size() || length > outer->size() - offset)
        raiseCorrupt(outer->name(), "unexpected end of file", VQErrorKind::corruptArchive, offset);
    VQZipArchive archive;
    archive._name = std::move(name);
    archive._size = length;
    switch (outer->_kind) {
        case Kind::memory:
            archive._kind = Kind::memory;
            archive._bytes = outer->_bytes + offset;
            archive._buffer = outer->_buffer;
            archive._outer = std::move(outer);
            break;
        case Kind::window:
            // A window in a window reads straight from the file both lie in.
            archive._kind = Kind::window;
            archive._base = outer->_base + offset;
            archive._outer = outer->_outer;
            break;
        case Kind::file:
        case Kind::none:
            archive._kind = Kind::window;
            archive._base = offset;
            archive._outer = std::move(outer);
            break;
    }
    return archive;
}

VQZipArchive VQZipArchive::nestedArchive(std::shared_ptr<const VQZipArchive> outer,
                                         const VQZipMember& member,
                                         std::optional<std::string> name) {
    if (!outer) throw VQInvalidArgumentException("A nested zip archive needs an outer archive");
    std::string nestedName =
        name ? std::move(*name) : outer->name() + "!/" + std::string(member.name);
    if (member.compressionMethod != 0) {
        // Inflated whole: a deflated stream cannot be read from the middle.
        auto bytes = outer->read(member);
        return withBuffer(std::move(bytes), std::move(nestedName));
    }
    outer->ensureOpen();
    bool unreadable = false;
    const std::optional<uint64_t> location =
        member.localHeaderOffset == VQZipMember::kOutside
            ? std::nullopt
            : outer->dataLocation(member.localHeaderOffset, &unreadable);
    if (!location)
        raiseCorrupt(outer->name(), "invalid local header", VQErrorKind::corruptArchive,
                     member.localHeaderOffset == VQZipMember::kOutside
                         ? std::nullopt
                         : std::optional<uint64_t>(member.localHeaderOffset));
    return window(std::move(outer), *location, member.length, std::move(nestedName));
}

void VQZipArchive::closeFile() noexcept {
    _file.close();
    _readSerial = 0;
    _context.ahead = VQZipReadContext::ReadAhead();
}

void VQZipArchive::ensureOpen() const {
    if (_kind == Kind::window) {
        _outer->ensureOpen();
        return;
    }
    if (_kind != Kind::file || _file) return;
    VQFile file = openOrRaise(_name);
    // Offsets from the directory would land anywhere in another archive.
    if (file.size() != _size) raiseCorrupt(_name, "the archive changed since it was indexed");
    _file = std::move(file);
}

VQFileStatus VQZipArchive::readRaw(uint64_t offset, void* into, size_t n) const {
    if (offset > _size || n > _size - offset) return VQFileStatus::shortRead;
    switch (_kind) {
        case Kind::file:
            return _file.readAt(offset, into, n);
        case Kind::window:
            return _outer->readRaw(_base + offset, into, n);
        case Kind::memory:
            if (n) std::memcpy(into, _bytes + offset, n);
            return VQFileStatus::ok;
        case Kind::none:
            break;
    }
    return VQFileStatus::unreadable;
}

const uint8_t* VQZipArchive::view(uint64_t offset, size_t n, VQRawBytes& scratch) const {
    if (offset > _size || n > _size - offset) return nullptr;
    if (_kind == Kind::memory) return _bytes + offset;
    if (scratch.size() < n) scratch.resize(n);
    return readRaw(offset, scratch.data(), n) == VQFileStatus::ok ? scratch.data() : nullptr;
}

void VQZipArchive::setProblem(int result, VQErrorKind kind, const char* reason,
                              std::optional<uint64_t> offset) const {
    _problem = VQZipProblem{result, kind, reason, offset};
}

// ---- The directory ----

int VQZipArchive::readDirectory() {
    releaseDirectory();
    _problem = VQZipProblem{};
    _count = 0;
    _shift = 0;
    _shiftBack = false;
    const uint64_t size = _size;
    if (size <= EndRecord::kSize) {
        // An archive of no members is its end record alone: it walks as -1 like any file
        // this short, but it is no damage to report.
        VQRawBytes recordScratch;
        const uint8_t* only =
            size == EndRecord::kSize ? view(0, EndRecord::kSize, recordScratch) : nullptr;
        if (!only || EndRecord{only}.signature() != EndRecord::kSignature ||
            EndRecord{only}.entryCount() != 0)
            setProblem(-1, VQErrorKind::corruptArchive, kNoEndRecord);
        return -1;
    }
    // Most archives end with their end record: a short tail is searched first, and the
    // longest a comment allows only when that finds nothing. The search runs from the end
    // backwards, so both find the same record.
    VQRawBytes tailScratch, scratch;
    uint64_t tailStart = 0;
    const uint8_t* tail = nullptr;
    int64_t found = -1;
    for (const uint64_t window : {kShortTail, uint64_t{EndRecord::kSize} + kMaxCommentLength}) {
        const uint64_t tailLength = std::min<uint64_t>(size, window);
        tailStart = size - tailLength;
        tail = view(tailStart, static_cast<size_t>(tailLength), tailScratch);
        if (!tail) {
            setProblem(-2, VQErrorKind::unreadableFile, "the end of the archive cannot be read",
                       tailStart);
            return -2;
        }
        found = findEndRecord(*this, tail, tailStart, scratch);
        if (found >= 0 || tailLength == size) break;
    }
    if (found < 0) {
        setProblem(-1, VQErrorKind::corruptArchive, kNoEndRecord);
        return -1;
    }
    const uint64_t endRecord = static_cast<uint64_t>(found);
    const EndRecord end{tail + (endRecord - tailStart)};

    // The directory is the bytes right before the end record, or before the zip64 record.
    uint64_t directoryEnd = endRecord;
    uint64_t zip64At = 0;
    uint64_t count = 0, directorySize = 0, recordedOffset = 0;
    if (const uint8_t* record = findZip64Record(*this, endRecord, &zip64At, scratch)) {
        const Zip64EndRecord zip64{record};
        count = zip64.entryCount();
        directorySize = zip64.directorySize();
        recordedOffset = zip64.directoryOffset();
        directoryEnd = zip64At;
    } else {
        count = end.entryCount();
        directorySize = end.directorySize();
        recordedOffset = end.directoryOffset();
    }
    if (directorySize > directoryEnd) {
        setProblem(-2, VQErrorKind::corruptArchive,
                   "central directory runs past the start of the file", endRecord);
        return -2;
    }
    if (directorySize > kMaxDirectorySize) {
        setProblem(-1, VQErrorKind::unsupportedArchive,
                   "archive too large (central directory above 1 GiB)", endRecord);
        return -1;
    }
    const uint64_t start = directoryEnd - directorySize;
    if (start >= tailStart) {
        // Read with the tail already (the directory of a small archive).
        _directoryCopy = std::move(tailScratch);
        _directory = tail + (start - tailStart);
    } else {
        _directory = view(start, static_cast<size_t>(directorySize), _directoryCopy);
        if (!_directory) {
            setProblem(-2, VQErrorKind::unreadableFile, "the central directory cannot be read",
                       start);
            return -2;
        }
    }
    _directorySize = directorySize;
    _directoryStart = start;
    _count = count;
    decideShift(recordedOffset);
    return 0;
}

void VQZipArchive::releaseDirectory() noexcept {
    VQRawBytes().swap(_directoryCopy);
    _directory = nullptr;
    _directorySize = 0;
    _count = 0;
}

// Where the directory says a member's local header lies, moved by the bytes before the
// archive. Those show as a directory that lies elsewhere than its recorded offset; but a
// garbage offset field shows the same, so the move is made only when it lands on a
// local header where the recorded offset does not. Decided on the first member.
void VQZipArchive::decideShift(uint64_t recordedOffset) {
    _shift = 0;
    _shiftBack = false;
    if (_directoryStart == recordedOffset || _count == 0 || _directorySize < CentralRecord::kSize)
        return;
    const CentralRecord first{_directory};
    const uint64_t nameEnd = CentralRecord::kSize + first.nameLength();
    if (nameEnd > _directorySize) return;
    const uint64_t extraLength = std::min<uint64_t>(first.extraLength(), _directorySize - nameEnd);
    const uint64_t local =
        memberValues(first, {_directory + nameEnd, static_cast<size_t>(extraLength)})
            .localHeaderOffset;
    const bool forward = _directoryStart > recordedOffset;
    const uint64_t shift =
        forward ? _directoryStart - recordedOffset : recordedOffset - _directoryStart;
    if (!forward && local < shift) return;
    const uint64_t moved = forward ? local + shift : local - shift;
    if (moved < local && forward) return;  // wrapped
    auto isLocalHeader = [&](uint64_t at) {
        uint8_t bytes[LocalHeader::kSize];
        return readRaw(at, bytes, sizeof bytes) == VQFileStatus::ok &&
               LocalHeader{bytes}.hasSignature();
    };
    if (!isLocalHeader(moved) || isLocalHeader(local)) return;
    _shift = shift;
    _shiftBack = !forward;
}

bool VQZipArchive::nextMember(Cursor& cursor, VQZipMember& member) const {
    if (cursor.result != 0 || cursor.index >= _count) return false;
    // An entry count larger than the directory holds ends at the first record that is
    // not there, after reporting those that are; the walk is bounded by the directory.
    const uint64_t offset = cursor.offset;
    if (offset + CentralRecord::kSize > _directorySize) {
        cursor.result = -1;
        setProblem(-1, VQErrorKind::corruptArchive,
                   "central directory record runs past the directory",
                   _directoryStart + std::min(offset, _directorySize));
        return false;
    }
    const CentralRecord record{_directory + offset};
    const uint64_t nameEnd = offset + CentralRecord::kSize + record.nameLength();
    if (nameEnd > _directorySize) {
        cursor.result = -1;
        setProblem(-1, VQErrorKind::corruptArchive, "member name runs past the central directory",
                   _directoryStart + offset);
        return false;
    }
    const uint64_t extraLength = std::min<uint64_t>(record.extraLength(), _directorySize - nameEnd);
    const MemberValues values =
        memberValues(record, {_directory + nameEnd, static_cast<size_t>(extraLength)});
    uint64_t local = values.localHeaderOffset;
    if (_shiftBack)
        local = local < _shift ? VQZipMember::kOutside : local - _shift;
    else
        local = local + _shift < local ? VQZipMember::kOutside : local + _shift;
    member = VQZipMember{
        std::string_view(reinterpret_cast<const char*>(record.name()), record.nameLength()),
        local,
        values.length,
        values.compressedLength,
        static_cast<int32_t>(record.method()),
        record.flags()};
    cursor.offset = offset + record.length();
    ++cursor.index;
    return true;
}

// ---- Reading ----

namespace {

// Read-ahead windows: the first one after two reads in order, doubling up to the largest.
constexpr size_t kFirstReadAhead = 32 << 10;
constexpr size_t kLargestReadAhead = 256 << 10;
// Bytes between one member's read and the next that still count as reading in order
// (a data descriptor lies there).
constexpr uint64_t kInOrderGap = 64;

std::atomic<uint64_t> lastReadSerial{0};

}  // namespace

const uint8_t* VQZipArchive::readAhead(VQZipReadContext& context, uint64_t at, size_t want) const {
    // Only a whole file costs a system call per read; a window's outer archive and memory
    // do not, and a window of a window could outlive what its outer archive reads.
    if (_kind != Kind::file || want > kLargestReadAhead) return nullptr;
    if (_readSerial == 0) _readSerial = lastReadSerial.fetch_add(1, std::memory_order_relaxed) + 1;
    VQZipReadContext::ReadAhead& ahead = context.ahead;
    const bool sameFile = ahead.serial == _readSerial;
    const bool inOrder = sameFile && at >= ahead.lastAt && at <= ahead.lastEnd + kInOrderGap;
    if (!sameFile) ahead.length = 0;
    ahead.serial = _readSerial;
    ahead.lastAt = at;
    ahead.lastEnd = at + want;
    if (ahead.length && at >= ahead.start && at - ahead.start <= ahead.length &&
        want <= ahead.length - (at - ahead.start))
        return ahead.bytes.get() + (at - ahead.start);
    if (!inOrder) {
        ahead.size = 0;
        ahead.length = 0;
        return nullptr;
    }
    ahead.size = ahead.size ? std::min(ahead.size * 2, kLargestReadAhead) : kFirstReadAhead;
    // want never runs past the end: read() caps it at the archive's size.
    const size_t length =
        static_cast<size_t>(std::min<uint64_t>(std::max(ahead.size, want), _size - at));
    if (ahead.capacity < length) {
        // Not a vector: its bytes would be zeroed first, only to be read over.
        ahead.bytes.reset(new uint8_t[length]);
        ahead.capacity = length;
    }
    ahead.length = 0;
    // A file that shrank may still hold the member, if not the whole window: the caller's
    // own read says which.
    if (readRaw(at, ahead.bytes.get(), length) != VQFileStatus::ok) return nullptr;
    ahead.start = at;
    ahead.length = length;
    return ahead.bytes.get();
}

std::optional<uint64_t> VQZipArchive::dataLocation(uint64_t localHeaderOffset,
                                                   bool* unreadable) const {
    uint8_t bytes[LocalHeader::kSize];
    const bool read = readRaw(localHeaderOffset, bytes, sizeof bytes) == VQFileStatus::ok;
    if (unreadable) *unreadable = !read;
    if (!read) return std::nullopt;
    const LocalHeader header{bytes};
    if (!header.hasSignature()) return std::nullopt;
    // The local lengths place the data: the local extra field may differ from the
    // central one.
    return localHeaderOffset + header.length();
}

std::shared_ptr<const VQByteBuffer> VQZipArchive::readData(uint64_t location, uint64_t length,
                                                           int32_t compressionMethod,
                                                           uint64_t compressedLength,
                                                           VQZipReadContext* context) const {
    checkMember(_name, length, compressionMethod, compressedLength);
    ensureOpen();
    const uint64_t stored = compressionMethod == 0 ? length : compressedLength;
    // Checked before anything is allocated: a lying size cannot make us allocate first.
    if (location > _size || stored > _size - location)
        raiseCorrupt(_name, "unexpected end of file", VQErrorKind::corruptArchive, location);
    if (compressionMethod == 0) {
        auto buffer = VQByteBuffer::bufferWithLength(static_cast<size_t>(length));
        const VQFileStatus status =
            readRaw(location, buffer->mutableBytes(), static_cast<size_t>(length));
        if (status != VQFileStatus::ok)
            raiseCorrupt(_name, VQFileStatusText(status), kindOf(status), location);
        return buffer;
    }
    VQZipReadContext& scratch = context ? *context : _context;
    const ReleaseLargeInput release{scratch};
    uint8_t* input = scratch.input(static_cast<size_t>(compressedLength));
    const VQFileStatus status = readRaw(location, input, static_cast<size_t>(compressedLength));
    if (status != VQFileStatus::ok)
        raiseCorrupt(_name, VQFileStatusText(status), kindOf(status), location);
    return inflate(scratch, _name, input, static_cast<size_t>(compressedLength),
                   static_cast<size_t>(length), location);
}

std::shared_ptr<const VQByteBuffer> VQZipArchive::read(const VQZipMember& member,
                                                       VQZipReadContext* context,
                                                       uint64_t* dataLocation) const {
    ensureOpen();
    checkMember(_name, member.length, member.compressionMethod, member.compressedLength);
    const uint64_t at = member.localHeaderOffset;
    if (at > _size || _size - at < LocalHeader::kSize)
        raiseCorrupt(_name, "invalid local header", VQErrorKind::corruptArchive,
                     at == VQZipMember::kOutside ? std::nullopt : std::optional<uint64_t>(at));
    const uint64_t stored = member.compressionMethod == 0 ? member.length : member.compressedLength;
    // One read for the header and the data of most members: the header's name and extra
    // field are guessed to fit an allowance, and read again when they do not.
    const uint64_t want =
        std::min<uint64_t>(LocalHeader::kSize + kLocalHeaderAllowance + stored, _size - at);
    VQZipReadContext& scratch = context ? *context : _context;
    const ReleaseLargeInput release{scratch};
    const uint8_t* input = readAhead(scratch, at, static_cast<size_t>(want));
    if (!input) {
        uint8_t* into = scratch.input(static_cast<size_t>(want));
        const VQFileStatus status = readRaw(at, into, static_cast<size_t>(want));
        if (status != VQFileStatus::ok)
            raiseCorrupt(_name, VQFileStatusText(status), kindOf(status), at);
        input = into;
    }
    const LocalHeader header{input};
    if (!header.hasSignature())
        raiseCorrupt(_name, "invalid local header", VQErrorKind::corruptArchive, at);
    const uint64_t location = at + header.length();
    if (dataLocation) *dataLocation = location;
    if (header.length() + stored > want)
        return readData(location, member.length, member.compressionMethod, member.compressedLength,
                        &scratch);
    const uint8_t* data = input + header.length();
    if (member.compressionMethod == 0)
        return VQByteBuffer::bufferWithBytes(data, static_cast<size_t>(member.length));
    return inflate(scratch, _name, data, static_cast<size_t>(member.compressedLength),
                   static_cast<size_t>(member.length), location);
}

// ---- The original interface ----

namespace {

struct Registration {
    VQZipArchiveCallback callback = nullptr;
    void* context = nullptr;
};

// The specified process-wide pair: one registration shared by every thread.
Registration& registration() {
    static Registration pair;
    return pair;
}

}  // namespace

void _VQ_register_zip_archive_callback(VQZipArchiveCallback callback, void* context) {
    registration() = Registration{callback, context};
}

int _VQ_read_zip_archive(const std::string& path) {
    const Registration reg = registration();
    VQFile file = VQFile::openRegular(path);
    if (!file) return -1;
    std::vector<uint8_t> whole;
    VQZipArchive archive;
    if (file.size() <= kReadWholeLimit) {
        whole.resize(static_cast<size_t>(file.size()));
        // A file that shrank since it was opened reads short: treated as unreadable.
        if (file.readAt(0, whole.data(), whole.size()) != VQFileStatus::ok) return -2;
        file.close();
        archive = VQZipArchive::withBytes(whole, path);
    } else {
        archive = VQZipArchive::withFile(std::move(file), path);
    }
    if (const int failed = archive.readDirectory()) return failed;
    // Names are handed out NUL-terminated; a name is at most 65,535 bytes.
    std::unique_ptr<char[]> name(new char[65536]);
    return archive.forEachMemberWithData([&](const VQZipMember& member, uint64_t location) {
        // The callback cannot say where a member beyond 4 GiB lies: the walk ends there.
        if (location > UINT32_MAX || member.length > UINT32_MAX ||
            member.compressedLength > UINT32_MAX)
            return -1;
        std::memcpy(name.get(), member.name.data(), member.name.size());
        name[member.name.size()] = '\0';
        if (reg.callback)
            reg.callback(name.get(), static_cast<uint32_t>(location),
                         static_cast<uint32_t>(member.length), member.compressionMethod,
                         static_cast<uint32_t>(member.compressedLength), reg.context);
        return 0;
    });
}

std::shared_ptr<const VQByteBuffer> _VQ_read_zip_data(const std::string& path, uint32_t location,
                                                      uint32_t length, int32_t compressionMethod,
                                                      uint32_t compressedLength) {
    // Refused before anything is opened.
    checkMember(path, length, compressionMethod, compressedLength);
    return VQZipArchive::openFile(path).readData(location, length, compressionMethod,
                                                 compressedLength);
}

}  // namespace ornith
