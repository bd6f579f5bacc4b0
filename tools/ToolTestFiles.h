#pragma once
// Files that the tool's end-to-end tests lay out before they run the tool.

#include <openssl/evp.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "ornith/testing/ClassFileWriter.h"

namespace ornith::tool::testing {

// The bytes of a class with no members, as a string to write or to put in an archive.
inline std::string classFile(const std::string& internalName) {
    ornith::testing::ClassFileWriter w;
    w.setThisClass(internalName);
    w.setSuperClass("java/lang/Object");
    const auto bytes = w.bytes();
    return std::string(bytes.begin(), bytes.end());
}

inline void writeFile(const std::filesystem::path& path, const std::string& content) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
}

// The bytes' SHA-256 digest in lower-case hex, taken here as the tool's own is checked.
inline std::string sha256(const std::string& bytes) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_sha256(), nullptr);
    std::ostringstream hex;
    for (unsigned int i = 0; i < length; ++i)
        hex << "0123456789abcdef"[digest[i] >> 4] << "0123456789abcdef"[digest[i] & 15];
    return hex.str();
}

}  // namespace ornith::tool::testing
