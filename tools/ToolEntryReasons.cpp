#include "ToolEntryReasons.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

namespace ornith::tool {

namespace {

// strerror's text with a lower-case first letter, as the tool's other reasons read.
std::string systemReason(int error) {
    std::string text = std::strerror(error);
    if (!text.empty() && text[0] >= 'A' && text[0] <= 'Z')
        text[0] = static_cast<char>(text[0] - 'A' + 'a');
    return text;
}

class Descriptor {
public:
    explicit Descriptor(const std::string& path)
        : _fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)) {}
    ~Descriptor() {
        if (_fd >= 0) ::close(_fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const noexcept { return _fd; }

private:
    int _fd;
};

// The end of central directory record lies in the last 22 bytes of an archive, or before
// a comment of at most 65,535 bytes.
constexpr size_t kEndRecordLength = 22;
constexpr size_t kEndRecordSearch = kEndRecordLength + 65535;

bool hasEndRecord(int fd, uint64_t size) {
    if (size < kEndRecordLength) return false;
    const size_t length = static_cast<size_t>(std::min<uint64_t>(size, kEndRecordSearch));
    std::vector<unsigned char> tail(length);
    size_t done = 0;
    while (done < length) {
        const ssize_t got = ::pread(fd, tail.data() + done, length - done,
                                    static_cast<off_t>(size - length + done));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        done += static_cast<size_t>(got);
    }
    for (size_t at = length - kEndRecordLength + 1; at-- > 0;)
        if (tail[at] == 'P' && tail[at + 1] == 'K' && tail[at + 2] == 5 && tail[at + 3] == 6)
            return true;
    return false;
}

}  // namespace

std::optional<std::string> unopenableFileReason(const std::string& path) {
    const Descriptor file(path);
    if (file.get() < 0) return systemReason(errno);
    return std::nullopt;
}

std::optional<std::string> unusableArchiveReason(const std::string& path) {
    const Descriptor file(path);
    if (file.get() < 0) return systemReason(errno);
    struct stat status {};
    if (::fstat(file.get(), &status) != 0) return systemReason(errno);
    if (!S_ISREG(status.st_mode)) return "not a regular file";
    const auto size = static_cast<uint64_t>(status.st_size);
    if (!hasEndRecord(file.get(), size))
        return std::string("not a zip archive (no end of central directory record)");
    return std::nullopt;
}

std::optional<std::string> unreadableDirectoryReason(const std::string& path) {
    DIR* directory = ::opendir(path.c_str());
    if (!directory) return systemReason(errno);
    ::closedir(directory);
    return std::nullopt;
}

}  // namespace ornith::tool
