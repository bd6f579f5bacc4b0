#pragma once
// Files that the tool's end-to-end tests lay out before they run the tool.

#include <filesystem>
#include <fstream>
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

}  // namespace ornith::tool::testing
