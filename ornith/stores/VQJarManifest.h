#pragma once
// The main section of a jar's manifest (META-INF/MANIFEST.MF), and the resolution of the
// paths its Class-Path attribute names.
//
// The main section runs to the first empty line. Lines end in CR LF, LF or CR; a line
// that begins with one space continues the one before it. Attribute names are compared
// without regard to case; of an attribute given twice the last counts. Parsing is linear
// in the manifest's length and never fails: text that is no attribute is passed over.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ornith {

class VQJarManifest {
public:
    // Manifests larger than this are not read (a store logs one line and ignores them).
    static constexpr uint64_t kMaxLength = 16u << 20;

    VQJarManifest() = default;
    explicit VQJarManifest(std::span<const uint8_t> bytes);

    // The attribute's value, or absent.
    std::optional<std::string> mainAttribute(std::string_view name) const;
    // "Multi-Release: true" (the value without regard to case).
    bool isMultiRelease() const;
    // The Class-Path attribute split at spaces, empty pieces dropped.
    std::vector<std::string> classPath() const;

private:
    std::vector<std::pair<std::string, std::string>> _attributes;
};

// The file a Class-Path entry names, resolved as a URL against the jar's own location:
// a relative path against the jar's directory, an absolute path as given, a "file:" URL
// by its path; "%XX" escapes decoded and "." and ".." segments removed (never above the
// root). Absent for other schemes and for what names no file.
std::optional<std::string> VQResolveClassPathEntry(std::string_view jarPath,
                                                   std::string_view entry);

}  // namespace ornith
