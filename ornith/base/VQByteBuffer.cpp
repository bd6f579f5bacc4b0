#include "ornith/base/VQByteBuffer.h"

#include "ornith/base/VQFile.h"

#include <sys/mman.h>
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

namespace ornith {
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

std::shared_ptr<const VQByteBuffer> VQByteBuffer::bufferWithContentsOfFile(const std::string& path,
                                                                           VQFileStatus* status) {
    VQFileStatus ignored;
    VQFileStatus& result = status ? *status : ignored;
    VQFile file = VQFile::openRegular(path, &result, kVQMaxDataLength);
    if (!file) return nullptr;
    const auto length = static_cast<size_t>(file.size());
    auto buffer = bufferWithLength(length);
    result = file.readAt(0, buffer->mutableBytes(), length);
    if (result != VQFileStatus::ok) return nullptr;
    return buffer;
}

namespace {
constexpr size_t kHugePage = size_t{2} << 20;
constexpr size_t kLargeFrom = size_t{1} << 20;
}  // namespace

VQLargeBytes::VQLargeBytes(size_t length) : _size(length) {
    if (length >= kLargeFrom && length <= SIZE_MAX - 2 * kHugePage) {
        // Room to start on a huge-page boundary; what lies outside the pages is given back.
        const size_t pages = (length + kHugePage - 1) / kHugePage * kHugePage;
        const size_t mapped = pages + kHugePage;
        void* region =
            ::mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (region != MAP_FAILED) {
            const auto start = reinterpret_cast<uintptr_t>(region);
            const uintptr_t aligned = (start + kHugePage - 1) & ~uintptr_t{kHugePage - 1};
            if (aligned > start) ::munmap(region, aligned - start);
            const uintptr_t end = aligned + pages;
            if (start + mapped > end) ::munmap(reinterpret_cast<void*>(end), start + mapped - end);
            _mapping = reinterpret_cast<void*>(aligned);
            _mappingLength = pages;
            // Only advice: where huge pages are off, the memory is ordinary pages.
            ::madvise(_mapping, _mappingLength, MADV_HUGEPAGE);
            _bytes = static_cast<uint8_t*>(_mapping);
            return;
        }
    }
    _bytes = static_cast<uint8_t*>(std::malloc(length ? length : 1));
    if (!_bytes) throw std::bad_alloc();
}

VQLargeBytes::~VQLargeBytes() {
    release();
}

VQLargeBytes::VQLargeBytes(VQLargeBytes&& other) noexcept
    : _bytes(std::exchange(other._bytes, nullptr)),
      _size(std::exchange(other._size, 0)),
      _mapping(std::exchange(other._mapping, nullptr)),
      _mappingLength(std::exchange(other._mappingLength, 0)) {}

VQLargeBytes& VQLargeBytes::operator=(VQLargeBytes&& other) noexcept {
    if (this != &other) {
        release();
        _bytes = std::exchange(other._bytes, nullptr);
        _size = std::exchange(other._size, 0);
        _mapping = std::exchange(other._mapping, nullptr);
        _mappingLength = std::exchange(other._mappingLength, 0);
    }
    return *this;
}

void VQLargeBytes::release() noexcept {
    if (_mapping)
        ::munmap(_mapping, _mappingLength);
    else
        std::free(_bytes);
    _bytes = nullptr;
    _size = 0;
    _mapping = nullptr;
    _mappingLength = 0;
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
