#pragma once
// The lines javap -sysinfo and -v print about a class's file: where it is (a path, or the
// jar: and jrt: forms for a member of an archive or a runtime image), when it was last
// changed, its size and its SHA-256 digest.

#include <cstdint>
#include <span>
#include <string>

#include "ornith/model/VQJavapText.h"

namespace ornith {
class VQClassLibrary;
}

namespace ornith::tool {

// A class file named on the command line.
VQJavapFileInfo javapFileInfoForFile(const std::string& path, std::span<const uint8_t> bytes);
// A class of the library: the first of its stores that holds it, as a lookup finds it.
VQJavapFileInfo javapFileInfoForClass(const VQClassLibrary& library, const std::string& className,
                                      std::span<const uint8_t> bytes);

// "file:///a%20b/x.jar": javap's URI text of an absolute path.
std::string fileUriText(const std::string& absolutePath);

}  // namespace ornith::tool
