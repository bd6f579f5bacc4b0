#pragma once
// What an archive says about itself, for `ornith inventory`: the Maven coordinates of a
// META-INF/maven/GROUP/ARTIFACT/pom.properties file and the main manifest's
// identifying attributes. Both read hostile bytes: linear in their length, never failing.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ornith::tool {

struct MavenCoordinates {
    std::string groupId, artifactId, version;
    bool operator==(const MavenCoordinates&) const = default;
};

// The properties of a Java properties file, as java.util.Properties reads them: "#" and
// "!" comments, "key=value", "key: value" or "key value", lines continued by a trailing
// backslash, and the escapes \t \n \r \f \uXXXX (any other escaped character stands for
// itself). A key given twice keeps its last value.
std::vector<std::pair<std::string, std::string>> parseProperties(std::string_view text);

// groupId, artifactId and version from pom.properties; absent when any is missing or empty.
std::optional<MavenCoordinates> mavenCoordinatesFromPomProperties(std::string_view text);

// The manifest's attributes that name what an archive is.
struct ManifestFacts {
    std::optional<std::string> implementationTitle, implementationVersion, automaticModuleName;
    bool multiRelease = false;
};
ManifestFacts manifestFacts(std::span<const uint8_t> manifest);

// pkg:maven/GROUP/ARTIFACT@VERSION, each part percent-encoded where a package URL
// requires it.
std::string mavenPackageUrl(const MavenCoordinates& coordinates);

}  // namespace ornith::tool
