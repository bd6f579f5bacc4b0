#include "ornith/base/VQFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace ornith {

const char* VQFileStatusText(VQFileStatus status) noexcept {
    switch (status) {
        case VQFileStatus::ok:
            return "ok";
        case VQFileStatus::notFound:
            return "no such file or directory";
        case VQFileStatus::notRegular:
            return "not a regular file";
        case VQFileStatus::tooLarge:
            return "file too large";
        case VQFileStatus::unreadable:
            return "cannot be read";
        case VQFileStatus::shortRead:
            return "unexpected end of file";
    }
    return "cannot be read";
}

VQFile::~VQFile() {
    close();
}

VQFile::VQFile(VQFile&& other) noexcept
    : _fd(std::exchange(other._fd, -1)), _size(std::exchange(other._size, 0)) {}

VQFile& VQFile::operator=(VQFile&& other) noexcept {
    if (this != &other) {
        close();
        _fd = std::exchange(other._fd, -1);
        _size = std::exchange(other._size, 0);
    }
    return *this;
}

void VQFile::close() noexcept {
    if (_fd >= 0) ::close(_fd);
    _fd = -1;
    _size = 0;
}

VQFile VQFile::openRegular(const std::string& path, VQFileStatus* status, uint64_t maxLength) {
    VQFileStatus ignored;
    VQFileStatus& result = status ? *status : ignored;
    VQFile file;
    if (path.empty() || path.find('\0') != std::string::npos) {
        result = VQFileStatus::notFound;
        return file;
    }
    // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        result = (errno == ENOENT || errno == ENOTDIR) ? VQFileStatus::notFound
                                                       : VQFileStatus::unreadable;
        return file;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        ::close(fd);
        result = VQFileStatus::unreadable;
        return file;
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        result = VQFileStatus::notRegular;
        return file;
    }
    if (static_cast<uint64_t>(st.st_size) > maxLength) {
        ::close(fd);
        result = VQFileStatus::tooLarge;
        return file;
    }
    file._fd = fd;
    file._size = static_cast<uint64_t>(st.st_size);
    result = VQFileStatus::ok;
    return file;
}

VQFileStatus VQFile::readAt(uint64_t offset, void* into, size_t length) const noexcept {
    if (_fd < 0) return VQFileStatus::unreadable;
    auto* out = static_cast<uint8_t*>(into);
    size_t done = 0;
    while (done < length) {
        const uint64_t at = offset + done;
        if (at < offset || at > static_cast<uint64_t>(INT64_MAX)) return VQFileStatus::shortRead;
        const ssize_t n = ::pread(_fd, out + done, length - done, static_cast<off_t>(at));
        if (n < 0) {
            if (errno == EINTR) continue;
            return VQFileStatus::unreadable;
        }
        if (n == 0) return VQFileStatus::shortRead;
        done += static_cast<size_t>(n);
    }
    return VQFileStatus::ok;
}

}  // namespace ornith
