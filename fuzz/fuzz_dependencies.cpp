// The dependency scanner over arbitrary bytes, as a class file and as descriptor and
// signature text. A scan never raises; what it yields is sorted, each name once, never
// the class itself, never empty; a second scan of the same bytes yields the same.

#include <algorithm>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "ornith/library/VQDependencies.h"

using namespace ornith;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static VQDependencyScanner scanner(VQDependencyScanner::Options{true});
    const std::span<const uint8_t> bytes(data, size);
    const VQClassReferences& found = scanner.scanClassData(bytes);
    const std::vector<std::string> first(found.referencedClasses.begin(),
                                         found.referencedClasses.end());
    ORNITH_FUZZ_CHECK(std::adjacent_find(first.begin(), first.end(),
                                         [](const std::string& a, const std::string& b) {
                                             return !(a < b);
                                         }) == first.end());
    for (const std::string& name : first) {
        ORNITH_FUZZ_CHECK(!name.empty());
        ORNITH_FUZZ_CHECK(name != found.className);
    }
    const bool failed = found.failure.has_value();
    const VQClassReferences& again = scanner.scanClassData(bytes);
    ORNITH_FUZZ_CHECK(again.failure.has_value() == failed);
    ORNITH_FUZZ_CHECK(std::equal(first.begin(), first.end(), again.referencedClasses.begin(),
                                 again.referencedClasses.end()));

    const std::string_view text(reinterpret_cast<const char*>(data), size);
    (void)scanner.addDescriptor(text);
    (void)scanner.addSignature(text);
    return 0;
}
