#include "ToolEntryReasons.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace ornith::tool {

namespace {

// The system's words come capitalised; the tool's other reasons read in lower case.
std::string lowerFirst(std::string text) {
    if (!text.empty() && text[0] >= 'A' && text[0] <= 'Z')
        text[0] = static_cast<char>(text[0] - 'A' + 'a');
    return text;
}

std::string systemReason(int error) {
    return lowerFirst(std::strerror(error));
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

}  // namespace

std::optional<std::string> unopenableFileReason(const std::string& path) {
    const Descriptor file(path);
    if (file.get() < 0) return systemReason(errno);
    return std::nullopt;
}

std::optional<std::string> unusableArchiveReason(const VQZipFileStore& store) {
    const VQException* failure = store.indexFailure();
    if (!failure) return std::nullopt;
    return failure->kind() == VQErrorKind::unreadableFile ? lowerFirst(failure->reason())
                                                          : failure->reason();
}

std::optional<std::string> unreadableDirectoryReason(const std::string& path) {
    DIR* directory = ::opendir(path.c_str());
    if (!directory) return systemReason(errno);
    ::closedir(directory);
    return std::nullopt;
}

}  // namespace ornith::tool
