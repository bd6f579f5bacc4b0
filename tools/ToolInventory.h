#pragma once
// `ornith inventory`: one record per archive, nested archives included, saying what each
// is: its bytes (size, SHA-256, SHA-1 of the archive's own bytes), the Maven coordinates
// it carries (more than one set: a shaded jar), its manifest's names, its module, its
// classes and the packages it holds outside its own group.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ToolInventoryMetadata.h"
#include "ornith/stores/VQNestedArchives.h"

namespace ornith::tool {

struct ArchiveRecord {
    std::string path;              // as given; a nested one as OUTER!/MEMBER
    std::optional<size_t> parent;  // index of the record of the archive that holds it
    size_t depth = 0;
    uint64_t size = 0;
    std::string sha256, sha1;             // lower-case hex; empty when the bytes could not be read
    std::vector<MavenCoordinates> maven;  // in archive order
    ManifestFacts manifest;
    std::optional<std::string> moduleName, moduleVersion;
    uint64_t classCount = 0;
    int minClassVersion = 0, maxClassVersion = 0;  // major versions; 0 with no classes
    std::vector<std::string> foreignPackages;      // top-level packages outside the group
    std::optional<std::string> problem;            // why it could not be read (in full)
    std::vector<size_t> children;

    // The coordinates that name the archive itself: those whose artifact the file is
    // named after, else the first; null when it has none.
    const MavenCoordinates* primaryCoordinates() const;
};

// The records of an archive and of every archive inside it, depth first, parents first.
// Failures of nested archives are kept in their records; the outer file's own failure as
// well. nesting bounds the depth and what deflated nested archives may inflate.
void inventoryArchive(const std::string& path, const VQNestingOptions& nesting,
                      std::vector<ArchiveRecord>& records);

enum class InventoryFormat { text, json, cyclonedx };
std::string inventoryText(const std::vector<ArchiveRecord>& records);
// One JSON object per record and line.
std::string inventoryJsonLines(const std::vector<ArchiveRecord>& records);
// A CycloneDX 1.5 bill of materials: a component per archive, nested ones inside their
// parents' components.
std::string inventoryCycloneDx(const std::vector<ArchiveRecord>& records, const char* toolVersion);

}  // namespace ornith::tool
