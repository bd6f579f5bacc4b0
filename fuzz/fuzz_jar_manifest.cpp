// Jar manifests over arbitrary bytes: the main section's attributes, and every Class-Path
// entry resolved against a jar. A resolved entry is an absolute path with no "." or ".."
// segment left.

#include <cstdint>
#include <string>

#include "fuzz/FuzzSupport.h"
#include "ornith/stores/VQJarManifest.h"

using namespace ornith;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const VQJarManifest manifest({data, size});
    (void)manifest.isMultiRelease();
    (void)manifest.mainAttribute("Main-Class");
    for (const std::string& entry : manifest.classPath()) {
        ORNITH_FUZZ_CHECK(!entry.empty() && entry.find(' ') == std::string::npos);
        const auto path = VQResolveClassPathEntry("/opt/app/lib/main.jar", entry);
        if (!path) continue;
        ORNITH_FUZZ_CHECK(!path->empty() && (*path)[0] == '/');
        ORNITH_FUZZ_CHECK(path->find("/../") == std::string::npos && !path->ends_with("/..") &&
                          path->find("/./") == std::string::npos);
    }
    return 0;
}
