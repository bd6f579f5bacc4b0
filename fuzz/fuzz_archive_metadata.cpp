// What the inventory reads from an archive's own files, over arbitrary bytes: the
// properties of a pom.properties file, the Maven coordinates and package URL made of
// them, and the manifest's identifying attributes. Coordinates are never empty, and a
// package URL holds nothing a URL would have to escape.

#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/FuzzSupport.h"
// The tool's source, compiled in: the library's builds of the fuzz targets link the
// library alone.
#include "tools/ToolInventoryMetadata.cpp"

using namespace ornith::tool;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (const auto& [key, value] : parseProperties(text))
        ORNITH_FUZZ_CHECK(key.size() <= size * 3 && value.size() <= size * 3);
    if (const auto coordinates = mavenCoordinatesFromPomProperties(text)) {
        ORNITH_FUZZ_CHECK(!coordinates->groupId.empty() && !coordinates->artifactId.empty() &&
                          !coordinates->version.empty());
        const std::string purl = mavenPackageUrl(*coordinates);
        ORNITH_FUZZ_CHECK(purl.starts_with("pkg:maven/"));
        for (const char c : purl.substr(10))
            ORNITH_FUZZ_CHECK(c > ' ' && c < 127 && c != '?' && c != '#');
    }
    const ManifestFacts facts = manifestFacts({data, size});
    for (const auto* value :
         {&facts.implementationTitle, &facts.implementationVersion, &facts.automaticModuleName})
        if (*value) ORNITH_FUZZ_CHECK(!(*value)->empty());
    return 0;
}
