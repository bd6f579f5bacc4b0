#include "ornith/base/VQByteBuffer.h"

#include "ornith/base/VQFile.h"

#include <sys/stat.h>

#include <cstring>

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
