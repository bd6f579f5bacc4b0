#include "ornith/stores/zipfile.h"

#include <fcntl.h>
#include <libdeflate.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "ornith/base/VQException.h"
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

constexpr uint32_t kEndRecordSize = 22;
constexpr uint32_t kMaxCommentLength = 65535;
constexpr uint32_t kCentralRecordSize = 46;
constexpr uint32_t kLocalHeaderSize = 30;
// Below this size one read() is cheaper than setting up and tearing down a mapping.
constexpr uint64_t kMapThreshold = 256 * 1024;
// How many records ahead the walk prefetches local headers. Further ahead mostly lands
// on pages that are not mapped yet, where a prefetch does nothing.
constexpr int kPrefetchDistance = 4;

inline uint32_t le16(const uint8_t* p) {
    return uint32_t{p[0]} | (uint32_t{p[1]} << 8);
}
inline uint32_t le32(const uint8_t* p) {
    return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}

// A central-directory record's whole length: the fixed part, then its name, extra field
// and comment.
inline uint64_t centralRecordLength(const uint8_t* record) {
    return kCentralRecordSize + le16(record + 28) + le16(record + 30) + le16(record + 32);
}

// An open descriptor, closed on every way out.
class FileDescriptor {
public:
    FileDescriptor() = default;
    ~FileDescriptor() { close(); }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    // Opens a regular file for reading. FIFOs and devices are opened without waiting and
    // then refused, so a hostile name can never block the caller. False with errno set
    // (0 when the object is not a regular file).
    bool open(const std::string& path) {
        if (path.find('\0') != std::string::npos) {
            errno = ENOENT;
            return false;
        }
        _fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
        if (_fd < 0) return false;
        if (::fstat(_fd, &_st) != 0) {
            int saved = errno;
            close();
            errno = saved;
            return false;
        }
        if (!S_ISREG(_st.st_mode)) {
            close();
            errno = 0;
            return false;
        }
        return true;
    }
    void close() {
        if (_fd >= 0) ::close(_fd);
        _fd = -1;
    }
    int fd() const { return _fd; }
    uint64_t size() const { return static_cast<uint64_t>(_st.st_size); }

private:
    int _fd = -1;
    struct stat _st {};
};

// Reads exactly `length` bytes at `offset`; false on an error (errno set) or a short file
// (errno 0).
bool readAt(int fd, uint8_t* into, size_t length, uint64_t offset) {
    size_t done = 0;
    while (done < length) {
        ssize_t n = ::pread(fd, into + done, length - done, static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) {
            errno = 0;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

// The whole archive, in memory for the length of one walk: read when small, mapped when
// large. Either way the walk itself makes no system call per member.
class ArchiveView {
public:
    ArchiveView() = default;
    ~ArchiveView() {
        if (_map) ::munmap(_map, _size);
    }
    ArchiveView(const ArchiveView&) = delete;
    ArchiveView& operator=(const ArchiveView&) = delete;

    bool open(const std::string& path) {
        FileDescriptor file;
        if (!file.open(path)) return false;
        _size = file.size();
        if (_size == 0) return true;
        if (_size < kMapThreshold) {
            _copy.reset(new uint8_t[_size]);
            if (!readAt(file.fd(), _copy.get(), _size, 0)) return false;
            _data = _copy.get();
            return true;
        }
        if (_size > SIZE_MAX) return false;
        void* map = ::mmap(nullptr, _size, PROT_READ, MAP_PRIVATE, file.fd(), 0);
        if (map == MAP_FAILED) return false;
        _map = map;
        _data = static_cast<const uint8_t*>(map);
        return true;
    }
    const uint8_t* data() const { return _data; }
    uint64_t size() const { return _size; }

private:
    const uint8_t* _data = nullptr;
    uint64_t _size = 0;
    void* _map = nullptr;
    std::unique_ptr<uint8_t[]> _copy;
};

// Finds the end record by searching backwards over the last 22 + 65,535 bytes. A
// candidate counts when its comment reaches exactly to the end of the file, or when the
// directory it describes starts with a central-directory signature; so a comment after
// the archive reads normally and a fake signature inside a comment is passed over.
// Returns the record's offset, or -1 when there is none.
int64_t findEndRecord(const uint8_t* data, uint64_t size) {
    const uint64_t last = size - kEndRecordSize;
    const uint64_t first = last > kMaxCommentLength ? last - kMaxCommentLength : 0;
    for (uint64_t at = last + 1; at-- > first;) {
        const uint8_t* p = data + at;
        if (p[0] != 0x50 || p[1] != 0x4B || p[2] != 0x05 || p[3] != 0x06) continue;
        if (at + kEndRecordSize + le16(p + 20) == size) return static_cast<int64_t>(at);
        const uint64_t directorySize = le32(p + 12);
        if (directorySize >= 4 && directorySize <= at) {
            const uint8_t* d = data + (at - directorySize);
            if (d[0] == 0x50 && d[1] == 0x4B && d[2] == 0x01 && d[3] == 0x02)
                return static_cast<int64_t>(at);
        }
    }
    return -1;
}

[[noreturn]] void raiseCorrupt(const std::string& path, const char* why) {
    throw VQInvalidArgumentException(VQFormat("Corrupt zip file %s (%s).", path.c_str(), why));
}

// The error text for a failed read: the system's, or ours when the file simply ended.
const char* readFailureText() {
    return errno ? std::strerror(errno) : "unexpected end of file";
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

}  // namespace

void _VQ_register_zip_archive_callback(VQZipArchiveCallback callback, void* context) {
    registration() = Registration{callback, context};
}

int _VQ_read_zip_archive(const std::string& path) {
    const Registration reg = registration();
    return _VQ_walk_zip_archive(path, reg.callback, reg.context);
}

int _VQ_walk_zip_archive(const std::string& path, VQZipArchiveCallback callback, void* context) {
    ArchiveView view;
    if (!view.open(path)) return -1;
    const uint64_t size = view.size();
    if (size <= kEndRecordSize) return -1;
    const uint8_t* data = view.data();

    const int64_t found = findEndRecord(data, size);
    if (found < 0) return -1;
    const uint64_t endRecord = static_cast<uint64_t>(found);
    const uint8_t* end = data + endRecord;
    const uint32_t count = le16(end + 10);
    const uint64_t directorySize = le32(end + 12);
    const uint64_t recordedOffset = le32(end + 16);

    // The directory is the bytes right before the end record. Where the end record says
    // it starts elsewhere, the difference is data put before the archive (a launcher
    // script, a .jmod header), and every local header offset moves by the same amount.
    if (directorySize > endRecord) return -2;
    const uint64_t directoryStart = endRecord - directorySize;
    const int64_t shift =
        static_cast<int64_t>(directoryStart) - static_cast<int64_t>(recordedOffset);
    if (count > directorySize / kCentralRecordSize) return -1;

    const uint8_t* directory = data + directoryStart;

    // The local headers are the walk's cost: each usually lies on a page of its own, far
    // from the last. A second cursor runs ahead through the directory and prefetches the
    // local header some records on, so that its cache miss overlaps the callback's work.
    uint64_t ahead = 0;
    uint32_t aheadIndex = 0;
    auto prefetchAhead = [&] {
        if (aheadIndex >= count || ahead + kCentralRecordSize > directorySize) return;
        const uint8_t* record = directory + ahead;
        const int64_t local = static_cast<int64_t>(le32(record + 42)) + shift;
        if (local >= 0 && static_cast<uint64_t>(local) + kLocalHeaderSize <= size)
            __builtin_prefetch(data + local);
        ahead += centralRecordLength(record);
        ++aheadIndex;
    };
    for (int i = 0; i < kPrefetchDistance; ++i) prefetchAhead();

    // Names are handed out NUL-terminated; a name is at most 65,535 bytes.
    std::unique_ptr<char[]> name(callback ? new char[65536] : nullptr);

    uint64_t offset = 0;
    for (uint32_t i = 0; i < count; ++i) {
        prefetchAhead();
        if (offset + kCentralRecordSize > directorySize) return -1;
        const uint8_t* record = directory + offset;
        const uint32_t nameLength = le16(record + 28);
        if (offset + kCentralRecordSize + nameLength > directorySize) return -1;
        const int32_t method = static_cast<int32_t>(le16(record + 10));
        const uint32_t compressedLength = le32(record + 20);
        const uint32_t length = le32(record + 24);

        const int64_t local = static_cast<int64_t>(le32(record + 42)) + shift;
        if (local < 0 || static_cast<uint64_t>(local) + kLocalHeaderSize > size) return -2;
        const uint8_t* header = data + local;
        if (header[1] != 0x4B || header[2] != 0x03 || header[3] != 0x04) return -1;
        // The local lengths place the data: the local extra field may differ from the central one.
        const uint64_t location =
            static_cast<uint64_t>(local) + kLocalHeaderSize + le16(header + 26) + le16(header + 28);
        if (location + compressedLength > size || location > UINT32_MAX) return -1;

        if (callback) {
            std::memcpy(name.get(), record + kCentralRecordSize, nameLength);
            name[nameLength] = '\0';
            callback(name.get(), static_cast<uint32_t>(location), length, method, compressedLength,
                     context);
        }
        offset += centralRecordLength(record);
    }
    return 0;
}

std::shared_ptr<const VQByteBuffer> _VQ_read_zip_data(const std::string& path, uint32_t location,
                                                      uint32_t length, int32_t compressionMethod,
                                                      uint32_t compressedLength) {
    if (compressionMethod != 0 && compressionMethod != 8)
        throw VQInvalidArgumentException(VQFormat("Unsupported compression type %d in zip file %s",
                                                  compressionMethod, path.c_str()));
    // The output is exactly the recorded length, so a hostile archive can make us allocate
    // no more than it declares; this caps what it may declare.
    if (length > kVQMaxDataLength || compressedLength > kVQMaxDataLength)
        raiseCorrupt(path, "member too large");

    FileDescriptor file;
    if (!file.open(path))
        throw VQInvalidArgumentException(
            VQFormat("Can't open zip file %s any more (%s) - I swear it used to be there!",
                     path.c_str(), errno ? std::strerror(errno) : "not a regular file"));

    const uint32_t stored = compressionMethod == 0 ? length : compressedLength;
    // Checked before anything is allocated: a lying size cannot make us allocate first.
    if (uint64_t{location} + stored > file.size()) raiseCorrupt(path, "unexpected end of file");

    if (compressionMethod == 0) {
        auto buffer = VQByteBuffer::bufferWithLength(length);
        if (!readAt(file.fd(), buffer->mutableBytes(), length, location))
            raiseCorrupt(path, readFailureText());
        return buffer;
    }

    // No deflate stream is empty; libdeflate is not even asked.
    if (compressedLength == 0) raiseCorrupt(path, "invalid compressed data");
    // Deflate expands at most 1032 to 1, so a length beyond that cannot come out whole,
    // and a few hostile bytes must not make us allocate up to the size cap first.
    if (length > uint64_t{compressedLength} * kMaxDeflateRatio + kMaxDeflateSlack)
        raiseCorrupt(path, "wrong uncompressed size");
    thread_local std::vector<uint8_t> keptScratch;
    std::vector<uint8_t> ownScratch;
    std::vector<uint8_t>& input = compressedLength <= kKeptScratch ? keptScratch : ownScratch;
    if (input.size() < compressedLength) input.resize(compressedLength);
    if (!readAt(file.fd(), input.data(), compressedLength, location))
        raiseCorrupt(path, readFailureText());
    file.close();

    auto buffer = VQByteBuffer::bufferWithLength(length);
    size_t produced = 0;
    libdeflate_result result =
        libdeflate_deflate_decompress(threadDecompressor(), input.data(), compressedLength,
                                      buffer->mutableBytes(), length, &produced);
    if (result == LIBDEFLATE_BAD_DATA) raiseCorrupt(path, "invalid compressed data");
    if (result != LIBDEFLATE_SUCCESS || produced != length)
        raiseCorrupt(path, "wrong uncompressed size");
    return buffer;
}

}  // namespace ornith
