// The jar store over arbitrary bytes: the index built from the walk, every package listed
// from the root down, every class read. Whatever the store lists it must also say it
// contains, and a class it reads has exactly the length its entry records. The module
// store, which indexes on first use, must build the same index whichever question comes
// first. Odd-sized inputs are read as multi-release jars.
//
// The same bytes are then read as an outer archive: every member opened as a nested
// archive (or a directory) and indexed, and the layouts worked out, within a small
// inflate budget and depth, which nothing may exceed.

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "ornith/base/VQLog.h"
#include "ornith/stores/VQJarFileStore.h"
#include "ornith/stores/VQJmodFileStore.h"
#include "ornith/stores/VQNestedArchives.h"

using namespace ornith;

namespace {

std::string qualify(const std::string& package, const std::string& bareName) {
    return package.empty() ? bareName : package + "." + bareName;
}

// Members as nested archives: the first few of them, and one level deeper through each,
// so that a member that holds (or overlaps) its own archive is met.
void readNested(const std::string& path) {
    VQNestingOptions options;
    options.maxDepth = 3;
    options.inflateBudget = 1 << 20;
    VQNestedArchives nested(options);
    constexpr size_t kMembers = 8;
    std::vector<std::string> entries;
    try {
        const auto& outer = nested.archive(path);
        for (size_t i = 0; i < outer.members.size() && i < kMembers; ++i)
            entries.push_back(path + "!/" + std::string(outer.members[i].name));
        for (const VQArchiveLayout layout : {VQArchiveLayout::automatic, VQArchiveLayout::boot,
                                             VQArchiveLayout::war, VQArchiveLayout::ear})
            for (std::string& entry : nested.layoutEntries(path, layout))
                entries.push_back(std::move(entry));
    } catch (const VQException&) {
        return;
    }
    for (size_t i = 0; i < entries.size() && i < 4 * kMembers; ++i) {
        try {
            const auto store = nested.storeForEntry(entries[i]);
            (void)store->description();
            ORNITH_FUZZ_CHECK(store->name() == entries[i]);
            if (VQSplitNestedEntry(entries[i]).size() < 3) {
                const auto& inner = nested.archive(entries[i]);
                for (size_t j = 0; j < inner.members.size() && j < kMembers; ++j)
                    entries.push_back(entries[i] + "!/" + std::string(inner.members[j].name));
            }
        } catch (const VQException&) {
            // Refused with a reason: damaged, self-nesting, too deep or over budget.
        }
        ORNITH_FUZZ_CHECK(nested.inflatedBytes() <= options.inflateBudget);
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // A member that cannot be read is logged; the line is of no interest here.
    VQSetLogSink([](std::string_view) {});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static fuzz::ScratchFile file(".jar");
    const std::string& path = file.write(data, size);

    // Half the inputs are read as multi-release jars for release 17.
    VQJarFileStore store(path);
    if (size % 2) store.setOptions({17, nullptr});
    (void)store.description();

    {
        const VQJmodFileStore describedFirst(path);
        const std::string index = describedFirst.description();
        const VQJmodFileStore askedFirst(path);
        const bool hasRoot = askedFirst.containsPackageName("");
        ORNITH_FUZZ_CHECK(askedFirst.description() == index);
        ORNITH_FUZZ_CHECK(hasRoot == describedFirst.containsPackageName(""));
    }

    // Walks the package tree without recursion: hostile names nest thousands deep.
    std::vector<std::string> pending;
    if (store.containsPackageName("")) pending.emplace_back();
    size_t visited = 0;
    while (!pending.empty()) {
        const std::string package = std::move(pending.back());
        pending.pop_back();
        ORNITH_FUZZ_CHECK(++visited <= size);  // every package costs the archive at least a byte
        if (auto subpackages = store.packageNamesInPackage(package)) {
            ORNITH_FUZZ_CHECK(!subpackages->empty());
            for (const auto& name : *subpackages) {
                std::string qualified = qualify(package, name);
                // A member whose dotted name starts with "." (".a/B.class", or a resource
                // ".a") indexes the package ".a", which the root lists as "a" (or "." as
                // ""): the root qualifies nothing, and removing the last component of ".a"
                // leaves the root.
                if (package.empty() && (name.empty() || !store.containsPackageName(qualified)))
                    qualified = "." + name;
                ORNITH_FUZZ_CHECK(store.containsPackageName(qualified));
                pending.push_back(std::move(qualified));
            }
        }
        if (auto classes = store.classNamesInPackage(package)) {
            ORNITH_FUZZ_CHECK(!classes->empty());
            for (const auto& name : *classes) {
                const std::string qualified = qualify(package, name);
                ORNITH_FUZZ_CHECK(store.containsClassName(qualified));
                const VQZipFileEntry* entry = store.entryForClassName(qualified);
                ORNITH_FUZZ_CHECK(entry != nullptr);
                const uint64_t length = entry->length();
                if (const auto bytes = store.dataForClassName(qualified))
                    ORNITH_FUZZ_CHECK(bytes->length() == length);
            }
        }
    }
    readNested(path);
    return 0;
}
