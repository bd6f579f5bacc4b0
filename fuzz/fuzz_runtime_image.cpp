// The runtime-image store over arbitrary bytes: construction either refuses the file or
// yields a store whose every answer is safe. Every package reachable from the root is
// listed, and what a listing names must be found by name; every resource the index
// names is read. What a listing names is found by name. No answer may read outside the file or
// loop.

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "ornith/base/VQException.h"
#include "ornith/base/VQLog.h"
#include "ornith/stores/VQRuntimeImageStore.h"

using namespace ornith;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Unreadable resources are logged; the lines are of no interest here.
    VQSetLogSink([](std::string_view) {});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static fuzz::ScratchFile file("-modules");
    const std::string& path = file.write(data, size);

    std::unique_ptr<VQRuntimeImageStore> store;
    try {
        store = std::make_unique<VQRuntimeImageStore>(path);
    } catch (const VQInvalidArgumentException&) {
        return 0;
    }

    for (const std::string& name : store->resourceNames()) (void)store->dataForResourceName(name);
    (void)store->moduleNames();

    ORNITH_FUZZ_CHECK(store->containsPackageName(""));
    std::vector<std::string> pending{""};
    size_t visited = 0;
    while (!pending.empty()) {
        const std::string package = std::move(pending.back());
        pending.pop_back();
        // Every package is a location of its own in the index, which lies within the file.
        ORNITH_FUZZ_CHECK(++visited <= size);
        if (auto subpackages = store->packageNamesInPackage(package)) {
            for (const auto& name : *subpackages) {
                std::string qualified = package.empty() ? name : package + "." + name;
                ORNITH_FUZZ_CHECK(store->containsPackageName(qualified));
                pending.push_back(std::move(qualified));
            }
        }
        if (auto classes = store->classNamesInPackage(package)) {
            for (const auto& name : *classes) {
                const std::string qualified = package.empty() ? name : package + "." + name;
                ORNITH_FUZZ_CHECK(store->containsClassName(qualified));
                (void)store->dataForClassName(qualified);
            }
        }
    }
    return 0;
}
