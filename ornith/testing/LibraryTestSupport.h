#pragma once
// Class files and class paths made up for the library tests. Tests only.

#include <optional>
#include <string>
#include <string_view>

#include "ornith/testing/ClassFileWriter.h"
#include "ornith/testing/StoreTestSupport.h"
#include "ornith/testing/ZipWriter.h"

namespace ornith::testing {

// A class file for the internal name (a/b/C), extending `superclass` (none when absent),
// with one int field named `marker` so that two copies of a class can be told apart.
inline std::string classBytes(std::string_view internalName,
                              std::optional<std::string_view> superclass = "java/lang/Object",
                              std::string_view marker = "") {
    ClassFileWriter w;
    w.setThisClass(internalName);
    if (superclass) w.setSuperClass(*superclass);
    if (!marker.empty()) w.addField(0x0001, marker, "I");
    const Bytes bytes = w.bytes();
    return std::string(bytes.begin(), bytes.end());
}

// Writes ROOT/a/b/C.class for the internal name a/b/C.
inline void writeClass(const std::string& root, std::string_view internalName,
                       std::optional<std::string_view> superclass = "java/lang/Object",
                       std::string_view marker = "") {
    writeFile(root + "/" + std::string(internalName) + ".class",
              classBytes(internalName, superclass, marker));
}

// The name of the marker field of a class made by classBytes, or "" without one.
template <class Class>
std::string markerOf(const Class& javaClass) {
    return javaClass && javaClass->fields() && !javaClass->fields()->empty()
               ? std::string(javaClass->fields()->front()->name())
               : std::string();
}

}  // namespace ornith::testing
