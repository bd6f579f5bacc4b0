#include "ornith/base/VQByteBuffer.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace ornith {
namespace {

// Below this size a read() is cheaper than setting up and tearing down a mapping.
constexpr size_t kMapThreshold = 256 * 1024;

// Opens a regular file without blocking on FIFOs or devices; -1 on failure.
int openRegular(const std::string& path, struct stat* st) {
    if (path.find('\0') != std::string::npos) return -1;
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return -1;
    if (::fstat(fd, st) != 0 || !S_ISREG(st->st_mode) ||
        static_cast<uint64_t>(st->st_size) > kVQMaxDataLength) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool readFully(int fd, uint8_t* into, size_t length) {
    size_t done = 0;
    while (done < length) {
        ssize_t n = ::read(fd, into + done, length - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) return false;  // the file shrank under us
        done += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

std::shared_ptr<const VQByteBuffer> VQByteBuffer::bufferWithBytes(const void* bytes,
                                                                  size_t length) {
    auto buffer = bufferWithLength(length);
    if (length) std::memcpy(buffer->mutableBytes(), bytes, length);
    return buffer;
}

std::shared_ptr<const VQByteBuffer> VQByteBuffer::bufferWithVector(std::vector<uint8_t> bytes) {
    return bufferWithBytes(bytes.data(), bytes.size());
}

std::shared_ptr<VQByteBuffer> VQByteBuffer::bufferWithLength(size_t length) {
    // new[] without () leaves the bytes uninitialised: the caller fills them.
    std::unique_ptr<uint8_t[]> bytes(new uint8_t[length ? length : 1]);
    return std::make_shared<VQByteBuffer>(std::move(bytes), length);
}

std::shared_ptr<const VQByteBuffer> VQByteBuffer::bufferWithContentsOfFile(
    const std::string& path) {
    struct stat st;
    int fd = openRegular(path, &st);
    if (fd < 0) return nullptr;
    auto length = static_cast<size_t>(st.st_size);
    auto buffer = bufferWithLength(length);
    bool ok = readFully(fd, buffer->mutableBytes(), length);
    ::close(fd);
    if (!ok) return nullptr;
    return buffer;
}

VQMappedFile::VQMappedFile(const std::string& path) {
    struct stat st;
    int fd = openRegular(path, &st);
    if (fd < 0) return;
    _length = static_cast<size_t>(st.st_size);
    if (_length == 0) {
        _ok = true;
    } else if (_length < kMapThreshold) {
        _copy.reset(new uint8_t[_length]);
        _ok = readFully(fd, _copy.get(), _length);
        _data = _copy.get();
    } else {
        void* map = ::mmap(nullptr, _length, PROT_READ, MAP_PRIVATE, fd, 0);
        if (map != MAP_FAILED) {
            _map = map;
            _data = static_cast<const uint8_t*>(map);
            _ok = true;
        }
    }
    ::close(fd);
    if (!_ok) _length = 0;
}

VQMappedFile::~VQMappedFile() {
    if (_map) ::munmap(_map, _length);
}

bool VQIsRegularFile(const std::string& path) {
    if (path.find('\0') != std::string::npos) return false;
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool VQFileExists(const std::string& path, bool* isDirectory) {
    if (isDirectory) *isDirectory = false;
    if (path.find('\0') != std::string::npos) return false;
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return false;
    if (isDirectory) *isDirectory = S_ISDIR(st.st_mode);
    return true;
}

}  // namespace ornith
